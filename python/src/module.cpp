// The Python module tarvex: the program's models as functions of NumPy arrays, the whole program
// without windows (Session), and its fit.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "app/app.h"
#include "bindings.h"

namespace tarvex::py {
namespace {

// A value as a result's repr shows it: arrays by their shape, dicts of them in the same way.
std::string shortRepr(const pyb::handle& value) {
  if (pyb::hasattr(value, "shape") && pyb::hasattr(value, "dtype")) {
    return "array[" + std::string(pyb::str(value.attr("shape"))) + "]";
  }
  if (pyb::isinstance<pyb::dict>(value)) {
    std::string text = "{";
    bool first = true;
    for (const auto& [k, v] : value.cast<pyb::dict>()) {
      text += (first ? "" : ", ") + std::string(pyb::repr(k)) + ": " + shortRepr(v);
      first = false;
    }
    return text + "}";
  }
  return pyb::repr(value);
}

}  // namespace

void registerResultBase(pyb::module_& m) {
  pyb::class_<Result>(m, "Result", R"doc(
The result of a model or a fit: its values as attributes (NumPy arrays, numbers, texts).

``keys()`` lists the names, ``as_dict()`` gives them as a dict. Results pickle, so they travel
between processes (the workers of a Dask cluster).
)doc")
      .def("__getattr__",
           [](const Result& r, const std::string& name) -> pyb::object {
             if (!r.fields.contains(name)) {
               throw pyb::attribute_error("the result has no value '" + name + "'");
             }
             return r.fields[name.c_str()];
           })
      .def(
          "keys", [](const Result& r) { return pyb::list(r.fields.attr("keys")()); },
          "The names of the values.")
      .def(
          "as_dict", [](const Result& r) { return pyb::dict(r.fields); },
          "The values as a new dict.")
      .def("__dir__",
           [](pyb::object self) {
             pyb::list names = pyb::list(self.attr("__class__").attr("__dict__").attr("keys")());
             for (const auto& k : self.cast<const Result&>().fields)
               names.append(k.first);
             return names;
           })
      .def("__repr__", [](pyb::object self) {
        const Result& r = self.cast<const Result&>();
        std::string text = pyb::str(self.attr("__class__").attr("__qualname__"));
        text += "(";
        bool first = true;
        for (const auto& [key, value] : r.fields) {
          if (!first) text += ", ";
          first = false;
          text += std::string(pyb::str(key)) + "=";
          text += shortRepr(value);
        }
        return text + ")";
      });
}

void Interruptible::pump(void* self) {
  auto& me = *static_cast<Interruptible*>(self);
  const auto now = std::chrono::steady_clock::now();
  if (now < me.next_ || me.token_.requested()) return;
  me.next_ = now + std::chrono::milliseconds(20);
  const pyb::gil_scoped_acquire gil;
  // A handler's exception stays set on this thread until the call returns to Python.
  if (PyErr_CheckSignals() != 0) me.token_.request();
}

void registerInterrupts() {
  pyb::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const Cancelled&) {
      // The signal handler's exception, already set; a stop from elsewhere reads as one.
      if (PyErr_Occurred() == nullptr) PyErr_SetString(PyExc_KeyboardInterrupt, "Stopped");
    }
  });
}

}  // namespace tarvex::py

PYBIND11_MODULE(tarvex, m) {
  namespace py = tarvex::py;
  m.doc() = R"doc(
Tarvex from Python: ion-beam analysis of thin films.

tarvex.nra      resonant NRA excitation curves (numeric and analytic models)
tarvex.meis     ion-scattering spectra (Gaussian, Bessel, numeric, external cross section)
tarvex.fit      the program's layered fit and its least-squares solver on NumPy data
tarvex.Session  the whole program without windows, driven by script lines
tarvex.stopping stopping and straggling of protons and helium ions in a sample

Every model releases the GIL while it runs: Python threads run curves on all cores. Bad
arguments raise ValueError naming the argument.
)doc";
  m.attr("__version__") = tarvex::kVersion;
  py::registerResultBase(m);
  py::registerInterrupts();
  // Submodules are entered in sys.modules, so that `import tarvex.nra` works and their results
  // pickle by name.
  pybind11::module_ sys = pybind11::module_::import("sys");
  const auto sub = [&](const char* name, const char* doc) {
    pybind11::module_ s = m.def_submodule(name, doc);
    sys.attr("modules")[(std::string("tarvex.") + name).c_str()] = s;
    return s;
  };
  pybind11::module_ nra = sub("nra", "Resonant NRA excitation curves.");
  py::registerNra(nra);
  py::registerSession(m);
  pybind11::module_ fit = sub("fit", "The layered fit and the least-squares solver.");
  py::registerFit(fit);
  pybind11::module_ meis = sub("meis", "Ion-scattering spectra.");
  py::registerMeis(meis);
  py::registerStopping(m);
}
