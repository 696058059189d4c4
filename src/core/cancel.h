// Cooperative cancel of long work. "Stop" requests it; the long loops (table builds, Poisson
// weights, depth sums, convolutions) call checkCancel() at least every ~10 ms of work, which
// throws Cancelled once a stop was requested. Thread-safe: workers of parallelFor check it too.
#pragma once

#include <atomic>
#include <stdexcept>

namespace tarvex {

// Thrown by checkCancel(); a command that ends with it ends like an error, status "Stopped".
class Cancelled : public std::runtime_error {
 public:
  Cancelled() : std::runtime_error("Stopped") {}
};

class CancelToken {
 public:
  void request() { flag_.store(true, std::memory_order_relaxed); }
  void reset() { flag_.store(false, std::memory_order_relaxed); }
  bool requested() const { return flag_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> flag_{false};
};

// The token of the command that runs now on this thread (none outside a command: never
// cancelled). The worker threads of parallelFor run with the token of the thread that called it.
CancelToken* activeCancelToken();

// Installs a token on this thread for the lifetime of the scope (the session does this around
// each command; parallelFor around the slices a worker runs for another thread).
class CancelScope {
 public:
  explicit CancelScope(CancelToken& token);
  // No token (nullptr): nothing stops the work of the scope.
  explicit CancelScope(CancelToken* token);
  ~CancelScope();
  CancelScope(const CancelScope&) = delete;
  CancelScope& operator=(const CancelScope&) = delete;

 private:
  CancelToken* previous_;
};

// The thread that runs a command may serve its pending window events at the points where the
// long loops look for a stop, so the windows stay responsive through a long table or weighting.
// The pump is installed on that thread alone (worker threads never call it), is not called
// again while it runs, and decides itself how often it does any work.
using EventPump = void (*)(void* context);
class EventPumpScope {
 public:
  EventPumpScope(EventPump pump, void* context);
  ~EventPumpScope();
  EventPumpScope(const EventPumpScope&) = delete;
  EventPumpScope& operator=(const EventPumpScope&) = delete;

 private:
  EventPump previousPump_;
  void* previousContext_;
};

// Runs this thread's event pump, if any, then throws Cancelled when the active token has been
// requested. Cheap: a thread-local load and one atomic load.
void checkCancel();
inline bool cancelRequested() {
  const CancelToken* t = activeCancelToken();
  return t != nullptr && t->requested();
}

}  // namespace tarvex
