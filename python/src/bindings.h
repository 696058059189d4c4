// The parts of the module, each registered by its own function, and the result objects they
// share.
#pragma once

#include <pybind11/pybind11.h>

#include <chrono>
#include <mutex>
#include <string>

#include "core/cancel.h"

namespace tarvex::py {

namespace pyb = pybind11;

// A result: named values (NumPy arrays, numbers, texts) read as attributes. Pickles as its
// values, so that results travel between processes (a Dask cluster's workers).
struct Result {
  pyb::dict fields;
};

// Registers a result class `name` in `scope` (a subclass of tarvex.Result) with its docstring.
template <typename T>
void registerResult(pyb::module_& scope, const char* name, const char* doc);

void registerResultBase(pyb::module_& m);

// Lets Ctrl+C stop a model that runs without the GIL. For its lifetime the calling thread has a
// cancel token of its own and an event pump that, at most every 20 ms, takes the GIL and lets
// Python run its signal handlers (the long loops call the pump where they look for a stop). A
// KeyboardInterrupt they raise requests the token: the model ends with Cancelled at its next
// cancel point, and the call raises the KeyboardInterrupt (see the translator registered by the
// module). Python runs signal handlers in its main thread only: calls from other threads run to
// their end, as Python code in them does.
class Interruptible {
 public:
  Interruptible() = default;
  Interruptible(const Interruptible&) = delete;
  Interruptible& operator=(const Interruptible&) = delete;

 private:
  static void pump(void* self);
  CancelToken token_;
  CancelScope cancel_{token_};
  EventPumpScope pump_{&Interruptible::pump, this};
  std::chrono::steady_clock::time_point next_ = std::chrono::steady_clock::now();
};

// Runs fn on the caller's shared cache (taking turns with the other threads that use it), or on
// this thread's own cache when the caller passed none.
template <typename Shared, typename Own, typename Fn>
decltype(auto) onCache(Shared* shared, Own& own, Fn&& fn) {
  if (shared == nullptr) return fn(own);
  std::lock_guard<std::mutex> lock(shared->mutex);
  return fn(shared->cache);
}

// Turns tarvex::Cancelled into the KeyboardInterrupt that caused it.
void registerInterrupts();
void registerNra(pyb::module_& m);
void registerSession(pyb::module_& m);
void registerFit(pyb::module_& m);
void registerMeis(pyb::module_& m);
void registerStopping(pyb::module_& m);

}  // namespace tarvex::py

namespace tarvex::py {

template <typename T>
void registerResult(pyb::module_& scope, const char* name, const char* doc) {
  pyb::class_<T, Result>(scope, name, doc)
      .def(pyb::pickle([](const T& r) { return r.fields; },
                       [](pyb::dict d) {
                         T r;
                         r.fields = std::move(d);
                         return r;
                       }));
}

}  // namespace tarvex::py
