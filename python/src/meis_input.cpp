// The ion-scattering models' inputs from keyword arguments.
#include "meis_input.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <functional>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "convert.h"
#include "core/limits.h"
#include "io/files.h"
#include "io/loss_table.h"

namespace tarvex::py {
namespace {

// The largest loss-table file read, as the program reads it (256 MiB).
constexpr std::size_t kMaxLossFileBytes = std::size_t{1} << 28;

std::map<std::string, profile> elementProfiles(const pyb::object& profiles, const pyb::object& step,
                                               double start, const pyb::object& layers,
                                               const std::map<std::string, element>& elements) {
  nonNegative(start, "start");
  if (profiles.is_none() == layers.is_none()) {
    refuse("profiles", "give either profiles (a dict of arrays, with their step) or layers");
  }
  std::map<std::string, profile> out;
  if (!profiles.is_none()) {
    if (!pyb::isinstance<pyb::dict>(profiles)) refuse("profiles", "must be a dict name -> array");
    const double s = step.is_none() ? 0.01 : positive(step.cast<double>(), "step");
    for (const auto& [key, value] : profiles.cast<pyb::dict>()) {
      const std::string name = pyb::str(key);
      if (elements.count(name) == 0) {
        refuse("profiles", "names '" + name + "', which is not an element of the composition");
      }
      const std::string arg = "profiles['" + name + "']";
      profile p;
      p.values = finiteVector(pyb::reinterpret_borrow<pyb::object>(value), arg.c_str());
      p.count = static_cast<int>(p.values.size());
      p.step = s;
      p.startDepth = start;
      out[name] = std::move(p);
    }
    return out;
  }
  const double s = step.is_none() ? 0.01 : positive(step.cast<double>(), "step");
  std::vector<std::string> names;
  for (const auto& [name, e] : elements)
    names.push_back(name);
  const std::vector<FitLayer> l = fitLayers(layers, names);
  const profile grid = layerGrid(l, s, start);
  for (std::size_t e = 0; e < names.size(); ++e)
    out[names[e]] = layeredProfile(grid, l, e);
  return out;
}

// A loss table on the 1 eV grid of `bins` bins: from a file, by the program's reader, or from an
// array (value i: loss i eV).
spectro lossTable(const pyb::object& source, int bins, const char* argument,
                  std::string* identity) {
  spectro t(bins, 1.0);
  if (pyb::isinstance<pyb::str>(source)) {
    const std::string file = source.cast<std::string>();
    std::string content;
    if (!readWholeFile(file, &content, kMaxLossFileBytes)) {
      const LossTableRead failed = readLossTableReport(file, t);
      refuse(argument, failed.opened ? failed.error : "cannot open '" + file + "'");
    }
    const LossTableRead read = readLossTableText(content, file, t);
    if (!read.ok()) refuse(argument, read.error);
    if (identity != nullptr) {
      *identity = file + "\n" + std::to_string(content.size()) + ":" +
                  std::to_string(std::hash<std::string>{}(content));
    }
    return t;
  }
  const std::vector<double> v = finiteVector(source, argument);
  for (std::size_t i = 0; i < v.size() && i < t.values.size(); ++i)
    t.setValue(static_cast<int>(i), static_cast<float>(v[i]));
  if (identity != nullptr) {
    const std::string bytes(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(double));
    *identity = "array\n" + std::to_string(v.size()) + ":" +
                std::to_string(std::hash<std::string>{}(bytes));
  }
  return t;
}

}  // namespace

std::map<std::string, element> meisComposition(const pyb::object& elements) {
  if (!pyb::isinstance<pyb::dict>(elements) || pyb::len(elements) == 0) {
    refuse("elements", "must be a dict of at least one element: name -> (Z, mass, sigma_ev)");
  }
  std::map<std::string, element> out;
  for (const auto& [key, value] : elements.cast<pyb::dict>()) {
    element e;
    e.name = pyb::str(key);
    const std::string arg = "elements['" + e.name + "']";
    if (e.name.empty()) refuse("elements", "an element needs a name");
    try {
      if (pyb::isinstance<pyb::dict>(value)) {
        const auto d = value.cast<pyb::dict>();
        e.Z = d["Z"].cast<double>();
        e.mass = d["mass"].cast<double>();
        e.sigma = d["sigma"].cast<double>();
      } else {
        const auto t = value.cast<std::tuple<double, double, double>>();
        e.Z = std::get<0>(t);
        e.mass = std::get<1>(t);
        e.sigma = std::get<2>(t);
      }
    } catch (const pyb::cast_error&) {
      refuse(arg, "must be (Z, mass, sigma_ev) or a dict with 'Z', 'mass' and 'sigma'");
    } catch (const pyb::error_already_set&) {
      refuse(arg, "must be (Z, mass, sigma_ev) or a dict with 'Z', 'mass' and 'sigma'");
    }
    positive(e.Z, (arg + " Z").c_str());
    positive(e.mass, (arg + " mass").c_str());
    nonNegative(e.sigma, (arg + " sigma").c_str());
    out[e.name] = e;
  }
  return out;
}

MeisCommon meisCommon(const pyb::object& elements, const pyb::object& profiles,
                      const pyb::object& step, double start, const pyb::object& layers,
                      double ionEnergy, double spread, double mass, double z, double thetaIn,
                      double thetaOut, double stopping, double straggling, double deltaE,
                      bool convolve, bool scc, long long windowMin, long long windowMax,
                      double dose, double background) {
  MeisCommon c;
  c.run.e0 = finite(ionEnergy, "ion_energy_kev");
  c.run.spread = finite(spread, "spread_ev");
  c.run.m1 = finite(mass, "projectile_mass");
  c.run.z1 = finite(z, "projectile_z");
  c.run.thetaIn = finite(thetaIn, "theta_in");
  c.run.thetaOut = finite(thetaOut, "theta_out");
  c.run.stopping = finite(stopping, "stopping_ev_per_nm");
  c.run.straggling = finite(straggling, "straggling_ev2_per_nm");
  c.deltaE = finite(deltaE, "delta_e_kev");
  c.convolve = convolve;
  c.scc = scc;
  const long long limit = static_cast<long long>(kMaxGridPoints);
  c.window.min = whole(windowMin, "window_min_kev", -limit, limit);
  c.window.max = whole(windowMax, "window_max_kev", -limit, limit);
  if (c.window.max <= c.window.min) refuse("window_max_kev", "must lie above window_min_kev");
  c.window.dose = finite(dose, "dose");
  c.background = finite(background, "background");
  c.window.background = backgroundLine{0.0, c.background, 1.0, c.background};
  c.window.step = meisPlotStep(convolve, spread);
  if (!meisWindowFits(c.window)) refuse("window_max_kev", "gives a window of too many points");
  c.elements = meisComposition(elements);
  c.profiles = elementProfiles(profiles, step, start, layers, c.elements);
  return c;
}

ClosedFormInput closedFormInput(const MeisCommon& c, bool gaussian) {
  ClosedFormInput in;
  in.frame.run = c.run;
  // The Gaussian model reads the spread only to broaden.
  if (gaussian && !c.convolve) in.frame.run.spread = 0.0;
  in.frame.deltaE = c.deltaE;
  in.frame.convolve = c.convolve;
  in.frame.scc = c.scc;
  in.elements = c.elements;
  in.profiles = c.profiles;
  return in;
}

NumericMeisInput numericMeisInput(const MeisCommon& c, bool autoGrid, double tableStep,
                                  long long collisions, long long bins) {
  NumericMeisInput in;
  in.tables.run = c.run;
  in.tables.deltaE = c.deltaE;
  in.tables.autoMode = autoGrid;
  if (!autoGrid) {
    in.tables.step = positive(tableStep, "table_step_ev");
    in.tables.nc = whole(collisions, "collisions", 1, 100000);
    in.tables.bins = whole(bins, "bins", 2, static_cast<long long>(kMaxGridPoints));
  }
  in.spread = c.run.spread;
  in.convolve = c.convolve;
  in.scc = c.scc;
  in.elements = c.elements;
  in.profiles = c.profiles;
  return in;
}

ExternalMeisInput externalMeisInput(const MeisCommon& c, const pyb::object& crossSection,
                                    double density, long long collisions,
                                    const pyb::object& sccFile, double sccShift) {
  ExternalMeisInput in;
  in.frame.run = c.run;
  in.frame.density = positive(density, "density");
  in.frame.convolve = c.convolve;
  in.frame.scc = c.scc;
  in.frame.sccBasic = sccFile.is_none();
  in.tables.thetaIn = c.run.thetaIn;
  in.tables.thetaOut = c.run.thetaOut;
  in.tables.nc = whole(collisions, "collisions", 1, 100000);
  in.tables.deltaE = c.deltaE;
  in.tables.m1 = c.run.m1;
  in.tables.density = in.frame.density;
  if (const std::string refusal = extGridRefusal(in.tables); !refusal.empty()) {
    throw std::invalid_argument(refusal);
  }
  const int bins = static_cast<int>(extTableBinCount(c.deltaE));
  if (crossSection.is_none()) refuse("cross_section", "a file or an array of dsigma/dE is needed");
  in.crossSection.values =
      lossTable(crossSection, bins, "cross_section", &in.crossSection.identity);
  in.crossSection.source =
      pyb::isinstance<pyb::str>(crossSection) ? crossSection.cast<std::string>() : "array";
  if (!sccFile.is_none()) {
    in.scc.table = lossTable(sccFile, bins, "scc_file", nullptr);
    in.scc.shift = finite(sccShift, "scc_shift_ev");
  }
  in.elements = c.elements;
  in.profiles = c.profiles;
  return in;
}

}  // namespace tarvex::py
