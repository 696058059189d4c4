#include "convert.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "core/limits.h"

namespace tarvex::py {

void refuse(const std::string& argument, const std::string& why) {
  throw std::invalid_argument(argument + ": " + why);
}

double finite(double value, const char* argument) {
  if (!std::isfinite(value)) refuse(argument, "must be a finite number");
  return value;
}

double positive(double value, const char* argument) {
  if (!std::isfinite(value) || !(value > 0.0)) refuse(argument, "must be a finite number above 0");
  return value;
}

double nonNegative(double value, const char* argument) {
  if (!std::isfinite(value) || value < 0.0) refuse(argument, "must be a finite number, at least 0");
  return value;
}

int whole(long long value, const char* argument, long long low, long long high) {
  if (value < low || value > high) {
    refuse(argument, "must lie between " + std::to_string(low) + " and " + std::to_string(high));
  }
  return static_cast<int>(value);
}

std::vector<double> finiteVector(const pyb::object& values, const char* argument) {
  pyb::array_t<double, pyb::array::c_style | pyb::array::forcecast> a;
  try {
    a = pyb::array_t<double, pyb::array::c_style | pyb::array::forcecast>::ensure(values);
  } catch (const pyb::error_already_set&) {
    a = {};
  }
  if (!a) refuse(argument, "must be a one-dimensional array of numbers");
  if (a.ndim() != 1)
    refuse(argument, "must be one-dimensional, not of shape with " + std::to_string(a.ndim()) +
                         " dimensions");
  if (static_cast<double>(a.size()) > kMaxGridPoints) {
    refuse(argument,
           "holds more than " + std::to_string(static_cast<long long>(kMaxGridPoints)) + " values");
  }
  std::vector<double> v(a.data(), a.data() + a.size());
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (!std::isfinite(v[i])) {
      refuse(argument, "value " + std::to_string(i) + " is not a finite number");
    }
  }
  return v;
}

namespace {

FitParameter parameterValue(const pyb::handle& h, const std::string& what, bool depth) {
  double v = 0.0;
  try {
    v = h.cast<double>();
  } catch (const pyb::cast_error&) {
    refuse(what, "must be a number");
  }
  if (!std::isfinite(v)) refuse(what, "must be a finite number");
  if (depth && v < 0.0) refuse(what, "must be at least 0");
  FitParameter p;
  p.value = v;
  if (depth) p.lower = 0.0;
  return p;
}

}  // namespace

std::vector<FitLayer> fitLayers(const pyb::object& layers, const std::vector<std::string>& elements,
                                const char* argument) {
  if (!pyb::isinstance<pyb::sequence>(layers) || pyb::isinstance<pyb::str>(layers)) {
    refuse(argument, "must be a list of layers (thickness, concentration[, sigma])");
  }
  const auto seq = layers.cast<pyb::sequence>();
  if (seq.size() == 0) refuse(argument, "holds no layer");
  if (seq.size() > static_cast<std::size_t>(kMaxFitLayers)) {
    refuse(argument, "holds more than " + std::to_string(kMaxFitLayers) + " layers");
  }
  const std::size_t columns = elements.empty() ? 1 : elements.size();
  std::vector<FitLayer> out;
  for (std::size_t k = 0; k < seq.size(); ++k) {
    const std::string name = std::string(argument) + "[" + std::to_string(k) + "]";
    pyb::object thickness, concentration, sigma = pyb::float_(0.0);
    const pyb::object item = seq[k];
    if (pyb::isinstance<pyb::dict>(item)) {
      const auto d = item.cast<pyb::dict>();
      if (!d.contains("thickness") || !d.contains("concentration")) {
        refuse(name, "needs 'thickness' and 'concentration'");
      }
      thickness = d["thickness"];
      concentration = d["concentration"];
      if (d.contains("sigma")) sigma = d["sigma"];
    } else if (pyb::isinstance<pyb::sequence>(item) && !pyb::isinstance<pyb::str>(item)) {
      const auto t = item.cast<pyb::sequence>();
      if (t.size() < 2 || t.size() > 3) {
        refuse(name, "must be (thickness, concentration) or (thickness, concentration, sigma)");
      }
      thickness = t[0];
      concentration = t[1];
      if (t.size() == 3) sigma = t[2];
    } else {
      refuse(name, "must be a tuple (thickness, concentration[, sigma]) or a dict");
    }
    FitLayer l;
    l.thickness = parameterValue(thickness, name + " thickness", true);
    l.sigma = parameterValue(sigma, name + " sigma", true);
    if (elements.empty()) {
      l.concentration.push_back(parameterValue(concentration, name + " concentration", false));
    } else if (pyb::isinstance<pyb::dict>(concentration)) {
      const auto d = concentration.cast<pyb::dict>();
      for (const auto& [key, value] : d) {
        const std::string e = pyb::str(key);
        if (std::find(elements.begin(), elements.end(), e) == elements.end()) {
          refuse(name, "names the element '" + e + "' that is not in the composition");
        }
      }
      for (const std::string& e : elements) {
        l.concentration.push_back(
            d.contains(e) ? parameterValue(d[e.c_str()], name + " " + e, false) : FitParameter{});
      }
    } else if (pyb::isinstance<pyb::sequence>(concentration)) {
      const auto c = concentration.cast<pyb::sequence>();
      if (c.size() != columns) {
        refuse(name, "needs " + std::to_string(columns) + " concentrations, one per element");
      }
      for (std::size_t e = 0; e < columns; ++e)
        l.concentration.push_back(parameterValue(c[e], name + " " + elements[e], false));
    } else {
      refuse(name, "needs one concentration per element (a list or a dict by element)");
    }
    out.push_back(std::move(l));
  }
  return out;
}

profile layerGrid(const std::vector<FitLayer>& layers, double step, double start) {
  double depth = start;
  double widest = 0.0;
  for (const FitLayer& l : layers) {
    depth += l.thickness.value;
    widest = std::max(widest, l.sigma.value);
  }
  // Room for the deepest edge: four of its widths, and one point beyond.
  depth += 4.0 * widest + step;
  if (depth / step > kMaxGridPoints) {
    refuse("step", "gives a profile of more than " +
                       std::to_string(static_cast<long long>(kMaxGridPoints)) +
                       " points for these layers");
  }
  profile p(depth, step);
  p.startDepth = start;
  return p;
}

profile depthProfile(const pyb::object& concentration, const pyb::object& step, double start,
                     const pyb::object& layers) {
  nonNegative(start, "start");
  const bool haveArray = !concentration.is_none();
  const bool haveLayers = !layers.is_none();
  if (haveArray == haveLayers) {
    refuse("profile", "give either a concentration array (with its step) or layers");
  }
  if (haveArray) {
    if (step.is_none()) refuse("step", "the depth step (Å) of the concentration array is needed");
    const double s = positive(step.cast<double>(), "step");
    profile p;
    p.values = finiteVector(concentration, "profile");
    if (p.values.empty()) refuse("profile", "holds no point");
    p.count = static_cast<int>(p.values.size());
    p.step = s;
    p.startDepth = start;
    return p;
  }
  const double s = step.is_none() ? 0.005 : positive(step.cast<double>(), "step");
  const std::vector<FitLayer> l = fitLayers(layers, {});
  return layeredProfile(layerGrid(l, s, start), l, 0);
}

pyb::array_t<double> toArray(const std::vector<double>& values) {
  pyb::array_t<double> a(static_cast<pyb::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), a.mutable_data());
  return a;
}

pyb::array_t<double> toArray(std::vector<double>&& values) {
  auto* owned = new std::vector<double>(std::move(values));
  pyb::capsule free(owned, [](void* v) { delete static_cast<std::vector<double>*>(v); });
  return pyb::array_t<double>(static_cast<pyb::ssize_t>(owned->size()), owned->data(), free);
}

}  // namespace tarvex::py
