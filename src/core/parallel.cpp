#include "core/parallel.h"

#include "core/cancel.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvex {
namespace {

// Enough slices for two to eight threads to share uneven work, few enough that the partial
// results kept per slice stay small.
constexpr int kMaxSlices = 16;
// A thread count beyond this comes from a mistyped setting, not from a machine.
constexpr int kMaxThreads = 256;

// Set on every thread while it runs slices: a nested parallelFor must not wait for the pool
// it is part of.
bool& insideSlice() {
  thread_local bool flag = false;
  return flag;
}

class SliceGuard {
 public:
  SliceGuard() { insideSlice() = true; }
  ~SliceGuard() { insideSlice() = false; }
  SliceGuard(const SliceGuard&) = delete;
  SliceGuard& operator=(const SliceGuard&) = delete;
};

// Threads kept alive for the whole run: starting threads per call would cost more than the
// millisecond jobs they share.
class Pool {
 public:
  explicit Pool(int threads) {
    for (int t = 1; t < threads; ++t)
      threads_.emplace_back([this] { loop(); });
  }
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;
  ~Pool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
      t.join();
  }

  int size() const { return static_cast<int>(threads_.size()) + 1; }

  // Runs job() on every thread of the pool (the calling thread included) and waits for all.
  void run(const std::function<void()>& job) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job_ = &job;
      pending_ = size() - 1;
      ++generation_;
    }
    wake_.notify_all();
    job();
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [this] { return pending_ == 0; });
    job_ = nullptr;
  }

 private:
  void loop() {
    unsigned long seen = 0;
    for (;;) {
      const std::function<void()>* job = nullptr;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
        if (stop_) return;
        seen = generation_;
        job = job_;
      }
      (*job)();
      {
        std::lock_guard<std::mutex> lock(mutex_);
        --pending_;
      }
      finished_.notify_one();
    }
  }

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  const std::function<void()>* job_ = nullptr;
  int pending_ = 0;
  unsigned long generation_ = 0;
  bool stop_ = false;
};

int coreCount() {
  return static_cast<int>(std::min(8u, std::max(1u, std::thread::hardware_concurrency())));
}

int threadsFromEnvironment() {
  const char* text = std::getenv("TARVEX_THREADS");
  const int n = text == nullptr ? 0 : threadsFromSetting(text);
  return n > 0 ? n : coreCount();
}

// One parallel run at a time; a change of the thread count waits for the run to end.
std::mutex& runMutex() {
  static std::mutex m;
  return m;
}

struct PoolState {
  std::atomic<int> threads{threadsFromEnvironment()};
  std::unique_ptr<Pool> pool;  // made on first use, with `threads` threads
};

PoolState& state() {
  static PoolState s;
  return s;
}

void runSlices(int items, int slices, const std::function<void(int, int, int)>& body, int s) {
  const int begin = static_cast<int>(static_cast<long long>(items) * s / slices);
  const int end = static_cast<int>(static_cast<long long>(items) * (s + 1) / slices);
  body(s, begin, end);
}

}  // namespace

int threadsFromSetting(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  int n = 0;
  const char* last = text.data() + text.size();
  const auto r = std::from_chars(text.data(), last, n);
  if (text.empty() || r.ec != std::errc() || r.ptr != last || n < 1) return 0;
  return std::min(n, kMaxThreads);
}

int sliceCount(int items) {
  return std::max(1, std::min(items, kMaxSlices));
}

int workerCount(int items) {
  return sliceCount(items);
}

int workerThreads() {
  return state().threads.load();
}

void setWorkerThreads(int threads) {
  threads = std::clamp(threads, 1, kMaxThreads);
  std::lock_guard<std::mutex> lock(runMutex());
  PoolState& s = state();
  if (s.threads == threads) return;
  s.pool.reset();
  s.threads = threads;
}

void parallelFor(int items, const std::function<void(int, int, int)>& body) {
  if (items <= 0) return;
  const int slices = sliceCount(items);
  if (slices == 1 || insideSlice()) {
    for (int s = 0; s < slices; ++s)
      runSlices(items, slices, body, s);
    return;
  }
  // One run on the pool at a time. A call from another thread while one runs does its slices
  // itself rather than wait: a caller never waits for another caller, whatever that one waits
  // for in its slices (a front end's event pump taking a lock the waiting caller holds), and the
  // slices and their order of combination are the same, so are the bits.
  std::unique_lock<std::mutex> lock(runMutex(), std::try_to_lock);
  if (!lock.owns_lock()) {
    const SliceGuard inside;
    for (int s = 0; s < slices; ++s)
      runSlices(items, slices, body, s);
    return;
  }
  PoolState& st = state();
  if (st.threads == 1) {
    const SliceGuard inside;
    for (int s = 0; s < slices; ++s)
      runSlices(items, slices, body, s);
    return;
  }
  if (!st.pool) st.pool = std::make_unique<Pool>(st.threads);

  // Slices are handed out from the last one down: in depth sums the deeper slices tend to cost
  // more, and starting with them keeps the threads finishing together.
  std::atomic<int> next{0};
  std::atomic<bool> failed{false};
  std::vector<std::exception_ptr> failures(static_cast<std::size_t>(slices));
  CancelToken* const token = activeCancelToken();
  st.pool->run([&] {
    const SliceGuard inside;
    const CancelScope stop(token);
    for (;;) {
      if (failed.load(std::memory_order_relaxed)) break;
      const int taken = next.fetch_add(1, std::memory_order_relaxed);
      if (taken >= slices) break;
      const int s = slices - 1 - taken;
      try {
        runSlices(items, slices, body, s);
      } catch (...) {
        failures[static_cast<std::size_t>(s)] = std::current_exception();
        failed.store(true, std::memory_order_relaxed);
      }
    }
  });
  for (const std::exception_ptr& f : failures) {
    if (f) std::rethrow_exception(f);
  }
}

}  // namespace tarvex
