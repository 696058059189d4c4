// The parts of the module, each registered by its own function, and the result objects they
// share.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

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
void registerNra(pyb::module_& m);
void registerSession(pyb::module_& m);
void registerFit(pyb::module_& m);
void registerMeis(pyb::module_& m);

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
