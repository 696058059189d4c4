// What every binding of the module shares: checks of the arguments a caller passes (each
// refusal a ValueError naming the argument), depth profiles from NumPy arrays or layers, and
// NumPy arrays from the program's vectors.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "core/profile.h"
#include "fit/fit_model.h"

namespace tarvex::py {

namespace pyb = pybind11;

// Raised for bad input; pybind11 turns it into ValueError.
[[noreturn]] void refuse(const std::string& argument, const std::string& why);

// A finite number (anything else refused, naming the argument).
double finite(double value, const char* argument);
double positive(double value, const char* argument);     // finite and > 0
double nonNegative(double value, const char* argument);  // finite and >= 0
// A whole number in [low, high].
int whole(long long value, const char* argument, long long low, long long high);

// The depth profile of a model call: `concentration` (a 1-D array, one value per point from the
// surface down) with `step` and `start` (Å), or `layers` on a grid of `step` (Å; the program's
// start-up 0.005 when None) and `start`. Exactly one of the two must be given.
profile depthProfile(const pyb::object& concentration, const pyb::object& step, double start,
                     const pyb::object& layers);

// Layers as the fit model holds them: a sequence of (thickness, concentration[, sigma]) or of
// dicts with "thickness", "concentration" and optional "sigma" (Å). `columns` concentrations per
// layer (a number for one column, a sequence or a dict by element name for several).
std::vector<FitLayer> fitLayers(const pyb::object& layers, const std::vector<std::string>& elements,
                                const char* argument = "layers");
// A profile grid of `step` (Å) and `start` deep enough for the layers and their edges.
profile layerGrid(const std::vector<FitLayer>& layers, double step, double start);

// A new NumPy array holding a copy of the values.
pyb::array_t<double> toArray(const std::vector<double>& values);
// A NumPy array that takes the vector over (no copy).
pyb::array_t<double> toArray(std::vector<double>&& values);
// The values of a 1-D array-like of finite numbers (refused otherwise, naming the argument).
std::vector<double> finiteVector(const pyb::object& values, const char* argument);

}  // namespace tarvex::py
