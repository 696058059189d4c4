#include "core/parallel.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvex {

int workerCount(int items) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  return std::max(1, std::min({items, static_cast<int>(cores), 8}));
}

void parallelFor(int items, const std::function<void(int, int, int)>& body) {
  const int workers = workerCount(items);
  if (workers <= 1) {
    if (items > 0) body(0, 0, items);
    return;
  }
  std::exception_ptr failure;
  std::mutex m;
  std::vector<std::thread> threads;
  threads.reserve(static_cast<std::size_t>(workers));
  for (int w = 0; w < workers; ++w) {
    const int begin = static_cast<int>(static_cast<long long>(items) * w / workers);
    const int end = static_cast<int>(static_cast<long long>(items) * (w + 1) / workers);
    threads.emplace_back([&, w, begin, end] {
      try {
        body(w, begin, end);
      } catch (...) {
        std::lock_guard<std::mutex> lock(m);
        if (!failure) failure = std::current_exception();
      }
    });
  }
  for (std::thread& t : threads)
    t.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace tarvex
