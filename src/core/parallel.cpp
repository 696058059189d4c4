#include "core/parallel.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvex {
namespace {

// Workers kept alive for the whole run: starting threads per call would cost more than the
// millisecond jobs they share.
class Pool {
 public:
  explicit Pool(int workers) {
    for (int w = 1; w < workers; ++w)
      threads_.emplace_back([this, w] { loop(w); });
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

  // Runs job(w) for w = 0..workers-1, w = 0 on the calling thread.
  void run(int workers, const std::function<void(int)>& job) {
    std::lock_guard<std::mutex> serial(callMutex_);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job_ = &job;
      workers_ = workers;
      pending_ = workers - 1;
      ++generation_;
    }
    wake_.notify_all();
    job(0);
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [this] { return pending_ == 0; });
    job_ = nullptr;
  }

 private:
  void loop(int w) {
    inWorker() = true;
    unsigned long seen = 0;
    for (;;) {
      const std::function<void(int)>* job = nullptr;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
        if (stop_) return;
        seen = generation_;
        if (w >= workers_) continue;
        job = job_;
      }
      (*job)(w);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        --pending_;
      }
      finished_.notify_one();
    }
  }

 public:
  static bool& inWorker() {
    thread_local bool flag = false;
    return flag;
  }

 private:
  std::vector<std::thread> threads_;
  std::mutex callMutex_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  const std::function<void(int)>* job_ = nullptr;
  int workers_ = 0;
  int pending_ = 0;
  unsigned long generation_ = 0;
  bool stop_ = false;
};

int coreCount() {
  // Asking for the core count reads a system file: once is enough.
  static const int cores =
      static_cast<int>(std::min(8u, std::max(1u, std::thread::hardware_concurrency())));
  return cores;
}

Pool& pool() {
  static Pool p(coreCount());
  return p;
}

}  // namespace

int workerCount(int items) {
  return std::max(1, std::min(items, coreCount()));
}

void parallelFor(int items, const std::function<void(int, int, int)>& body) {
  const int workers = workerCount(items);
  if (workers <= 1 || Pool::inWorker()) {
    if (items > 0) body(0, 0, items);
    return;
  }
  std::exception_ptr failure;
  std::mutex m;
  pool().run(workers, [&](int w) {
    const int begin = static_cast<int>(static_cast<long long>(items) * w / workers);
    const int end = static_cast<int>(static_cast<long long>(items) * (w + 1) / workers);
    try {
      body(w, begin, end);
    } catch (...) {
      std::lock_guard<std::mutex> lock(m);
      if (!failure) failure = std::current_exception();
    }
  });
  if (failure) std::rethrow_exception(failure);
}

}  // namespace tarvex
