// tarvex.fit: the program's layered fit of a resonant NRA curve or of an ion-scattering spectrum,
// and its least-squares solver for a model of the caller's own.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>

#include "bindings.h"
#include "convert.h"
#include "core/limits.h"
#include "fit/fit.h"
#include "fit/fit_statistics.h"
#include "fit/model_curves.h"
#include "fit/solver.h"
#include "meis_input.h"
#include "nra/analytic.h"
#include "nra/numeric.h"

namespace tarvex::py {
namespace {

struct FitResult : Result {};

// The fit's parameters: the Python name, the program's name and the parameter.
struct Named {
  std::string name, programName;
  FitParameter* p;
};

// Layer K's concentration is "concentrationK" in resonant NRA and "concentrationK_<element>" for
// each element of an ion-scattering composition; the spread is "beam_spread_ev" in resonant NRA
// and "spread_ev" in ion scattering, as the models name it.
std::vector<Named> namedParameters(FitModel& m, const std::vector<std::string>& elements) {
  std::vector<Named> out;
  for (std::size_t k = 0; k < m.layers.size(); ++k) {
    const std::string n = std::to_string(k + 1);
    const std::string layer = "Layer " + n + " ";
    out.push_back({"thickness" + n, layer + "thickness (Å)", &m.layers[k].thickness});
    if (elements.empty()) {
      out.push_back({"concentration" + n, layer + "concentration", &m.layers[k].concentration[0]});
    } else {
      for (std::size_t e = 0; e < elements.size(); ++e) {
        out.push_back({"concentration" + n + "_" + elements[e],
                       layer + elements[e] + " concentration", &m.layers[k].concentration[e]});
      }
    }
    out.push_back({"sigma" + n, layer + "edge σ (Å)", &m.layers[k].sigma});
  }
  out.push_back({"dose", "Ion dose", &m.dose});
  out.push_back({"shift_kev", "Shift (keV)", &m.shift});
  out.push_back({"background", "Background", &m.background});
  out.push_back({elements.empty() ? "beam_spread_ev" : "spread_ev", "Beam spread (eV)", &m.spread});
  return out;
}

// The ion-scattering model the fit calls, with table caches of its own.
FitCurveFunction meisCurve(const std::string& model, const MeisCommon& c, bool autoGrid,
                           double tableStep, long long collisions, long long bins,
                           const pyb::object& crossSection, double density,
                           const pyb::object& sccFile, double sccShift) {
  const MeisPlotWindow window = c.window;
  if (model == "gaussian" || model == "bessel") {
    const bool gaussian = model == "gaussian";
    auto in = std::make_shared<ClosedFormInput>(closedFormInput(c, gaussian));
    return [in, gaussian, window](std::vector<profile> profiles, double spread) {
      in->profiles = profilesByElement(std::move(profiles), in->elements);
      in->frame.run.spread = spread;
      const MeisSpectra spectra = gaussian ? gaussianSpectra(*in) : besselSpectra(*in);
      return meisFitCurve(spectra, window, in->elements, in->frame.convolve, spread);
    };
  }
  if (model == "meis-numeric") {
    auto in = std::make_shared<NumericMeisInput>(
        numericMeisInput(c, autoGrid, tableStep, collisions, bins));
    auto cache = std::make_shared<MeisTableCache>();
    return [in, cache, window](std::vector<profile> profiles, double spread) {
      in->profiles = profilesByElement(std::move(profiles), in->elements);
      in->spread = spread;
      const NumericMeisResult r = numericMeisSpectra(*in, *cache);
      if (!r.plan.refusal.empty()) throw std::invalid_argument(r.plan.refusal);
      return meisFitCurve(r.spectra, window, in->elements, in->convolve, spread);
    };
  }
  auto in = std::make_shared<ExternalMeisInput>(
      externalMeisInput(c, crossSection, density, collisions, sccFile, sccShift));
  auto cache = std::make_shared<ExtTableCache>();
  return [in, cache, window](std::vector<profile> profiles, double spread) {
    in->profiles = profilesByElement(std::move(profiles), in->elements);
    in->frame.run.spread = spread;
    const ExternalMeisResult r = externalMeisSpectra(*in, *cache);
    return meisFitCurve(r.spectra, window, in->elements, in->frame.convolve, spread);
  };
}

std::pair<double, double> boundPair(const pyb::handle& h, const std::string& name) {
  try {
    const auto t = h.cast<std::pair<pyb::object, pyb::object>>();
    const double lo = t.first.is_none() ? -INFINITY : t.first.cast<double>();
    const double hi = t.second.is_none() ? INFINITY : t.second.cast<double>();
    if (std::isnan(lo) || std::isnan(hi) || !(lo < hi))
      refuse("bounds", name + ": lower must lie below upper");
    return {lo, hi};
  } catch (const pyb::cast_error&) {
    refuse("bounds", name + ": must be a pair (lower, upper), None for no bound");
  }
}

pyb::object layered(const pyb::object& energy, const pyb::object& counts, const pyb::object& layers,
                    const pyb::object& free, const pyb::object& bounds, const std::string& model,
                    double dose, double shift, double background, double spread,
                    const pyb::object& step, double start, double resonance, double maxEnergy,
                    double stopping, double straggling, double resonanceFwhm, bool convolve,
                    bool autoGrid, double tableStep, const pyb::object& collisionsArg,
                    long long bins, long long maxIterations, const pyb::object& elements,
                    double ionEnergy, double spreadEv, double mass, double z, double thetaIn,
                    double thetaOut, double stoppingEvNm, double stragglingEv2Nm, double deltaE,
                    bool scc, long long windowMin, long long windowMax,
                    const pyb::object& crossSection, double density, const pyb::object& sccFile,
                    double sccShift) {
  LayeredFitProblem pr;
  pr.measuredX = finiteVector(energy, "energy_kev");
  pr.measuredY = finiteVector(counts, "counts");
  if (pr.measuredX.size() != pr.measuredY.size()) {
    refuse("counts", "has " + std::to_string(pr.measuredY.size()) + " values, energy_kev " +
                         std::to_string(pr.measuredX.size()));
  }
  const bool nra = model == "numeric" || model == "analytic";
  if (!nra && model != "gaussian" && model != "bessel" && model != "meis-numeric" &&
      model != "external") {
    refuse("model",
           "must be 'numeric' or 'analytic' (resonant NRA), or 'gaussian', 'bessel', "
           "'meis-numeric' or 'external' (ion scattering)");
  }
  pr.nra = nra;
  // The numeric models' highest number of collisions: 5, the external model's 100.
  long long collisions = model == "external" ? 100 : 5;
  if (!collisionsArg.is_none()) {
    try {
      collisions = collisionsArg.cast<long long>();
    } catch (const pyb::cast_error&) {
      refuse("collisions", "must be a whole number");
    }
  }
  std::optional<MeisCommon> meis;
  if (nra) {
    if (!elements.is_none()) {
      refuse("elements",
             "is for the ion-scattering models; model '" + model + "' fits a resonant NRA curve");
    }
  } else {
    if (elements.is_none()) {
      refuse("elements",
             "the ion-scattering models need the composition: name -> (Z, mass, "
             "sigma_ev)");
    }
    meis = meisCommon(elements, pyb::none(), step, start, layers, ionEnergy, spreadEv, mass, z,
                      thetaIn, thetaOut, stoppingEvNm, stragglingEv2Nm, deltaE, convolve, scc,
                      windowMin, windowMax, dose, background);
    if (meis->elements.size() > static_cast<std::size_t>(kMaxFitElements)) {
      refuse("elements", "the fit holds at most " + std::to_string(kMaxFitElements) + " elements");
    }
    for (const auto& [name, e] : meis->elements)
      pr.elements.push_back(name);
  }
  FitModel m = defaultFitModel();
  m.layers = fitLayers(layers, pr.elements);
  for (FitLayer& l : m.layers) {
    for (FitParameter& c : l.concentration)
      c.lower = 0.0;
  }
  m.dose.value = finite(dose, "dose");
  m.shift.value = finite(shift, "shift_kev");
  m.background.value = finite(background, "background");
  m.spread.value = nra ? nonNegative(spread, "beam_spread_ev") : nonNegative(spreadEv, "spread_ev");
  m.maxIterations = whole(maxIterations, "max_iterations", 1, 100000);
  std::vector<Named> named = namedParameters(m, pr.elements);
  const auto find = [&](const std::string& n, const char* arg) -> Named& {
    for (Named& p : named)
      if (p.name == n) return p;
    std::string known;
    for (const Named& p : named)
      known += (known.empty() ? "" : ", ") + p.name;
    refuse(arg, "no parameter '" + n + "' (the parameters: " + known + ")");
  };
  for (Named& p : named)
    p.p->free = false;
  if (free.is_none()) {
    for (FitLayer& l : m.layers) {
      l.thickness.free = true;
      for (FitParameter& c : l.concentration)
        c.free = true;
    }
  } else {
    if (pyb::isinstance<pyb::str>(free)) refuse("free", "must be a list of parameter names");
    for (const auto& n : free)
      find(pyb::str(n), "free").p->free = true;
  }
  if (!bounds.is_none()) {
    if (!pyb::isinstance<pyb::dict>(bounds))
      refuse("bounds", "must be a dict name: (lower, upper)");
    for (const auto& [key, value] : bounds.cast<pyb::dict>()) {
      Named& p = find(pyb::str(key), "bounds");
      std::tie(p.p->lower, p.p->upper) = boundPair(value, p.name);
    }
  }
  const double s = step.is_none() ? (nra ? 0.005 : 0.01) : positive(step.cast<double>(), "step");
  nonNegative(start, "start");
  pr.grid = layerGrid(m.layers, s, start);
  pr.grid.values.clear();
  if (!nra) {
    pr.curve = meisCurve(model, *meis, autoGrid, tableStep, collisions, bins, crossSection, density,
                         sccFile, sccShift);
  } else {
    positive(resonance, "resonance_kev");
    positive(maxEnergy, "max_energy_kev");
    positive(stopping, "stopping");
    positive(straggling, "straggling");
    nonNegative(resonanceFwhm, "resonance_fwhm_ev");
    ExcitationBroadening b{convolve, resonanceFwhm, spread};
    const bool byVector = model == "numeric" && !autoGrid;
    if (byVector) {
      positive(tableStep, "table_step_ev");
      whole(collisions, "collisions", 1, 100000);
      whole(bins, "bins", 2, static_cast<long long>(kMaxGridPoints));
    }
    pr.reach = excitationReach(stopping, maxEnergy, byVector, byVector ? tableStep : 0.0,
                               byVector ? static_cast<double>(bins) : 0.0);
    if (model == "numeric") {
      auto in = std::make_shared<NraNumericInput>();
      in->table = {resonance,
                   maxEnergy,
                   stopping,
                   straggling,
                   autoGrid,
                   tableStep,
                   static_cast<int>(collisions),
                   static_cast<int>(bins)};
      in->broadening = b;
      auto cache = std::make_shared<NraNumericCache>();
      pr.curve = [in, cache, resonance](std::vector<profile> profiles, double sp) {
        in->depth = std::move(profiles.front());
        in->broadening.beamSpread = sp;
        return excitationFitCurve(numericExcitationCurve(*in, *cache).curve, resonance);
      };
    } else {
      auto in = std::make_shared<NraAnalyticInput>();
      *in = {maxEnergy, stopping, straggling, b, {}};
      pr.curve = [in, resonance](std::vector<profile> profiles, double sp) {
        in->depth = std::move(profiles.front());
        in->broadening.beamSpread = sp;
        return excitationFitCurve(analyticExcitation(*in), resonance);
      };
    }
  }
  pr.model = m;

  const std::vector<std::string> elementNames = pr.elements;
  LayeredFitResult r;
  {
    pyb::gil_scoped_release release;
    const Interruptible interruptible;
    LayeredFit fit(std::move(pr));
    r = fit.run();
  }
  if (!r.report.done) {
    std::string why;
    for (const auto& [name, reason] : r.reasons)
      why += (why.empty() ? "" : "; ") + name + ": " + reason;
    throw FitGivenUp("The fit could not determine " + why);
  }
  FitModel best = r.model;
  const std::vector<Named> bestNamed = namedParameters(best, elementNames);
  FitResult out;
  pyb::list names;
  pyb::dict values, uncertainties, atBound;
  std::vector<double> u;
  for (const FitValue& v : r.report.values) {
    std::string n = v.name;
    for (const Named& p : bestNamed)
      if (p.programName == v.name) n = p.name;
    names.append(n);
    values[n.c_str()] = v.value;
    uncertainties[n.c_str()] = v.uncertainty;
    atBound[n.c_str()] = v.atBound;
    u.push_back(v.uncertainty);
  }
  const std::size_t k = u.size();
  pyb::array_t<double> cov({k, k}), corr({k, k});
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t j = 0; j < k; ++j) {
      const double c = i < r.report.correlation.size() && j < r.report.correlation[i].size()
                           ? r.report.correlation[i][j]
                           : (i == j ? 1.0 : 0.0);
      corr.mutable_at(i, j) = c;
      cov.mutable_at(i, j) = c * u[i] * u[j];
    }
  }
  pyb::list bestLayers;
  for (const FitLayer& l : best.layers) {
    if (elementNames.empty()) {
      bestLayers.append(
          pyb::make_tuple(l.thickness.value, l.concentration[0].value, l.sigma.value));
      continue;
    }
    pyb::dict c;
    for (std::size_t e = 0; e < elementNames.size() && e < l.concentration.size(); ++e)
      c[elementNames[e].c_str()] = l.concentration[e].value;
    bestLayers.append(pyb::make_tuple(l.thickness.value, c, l.sigma.value));
  }
  out.fields["names"] = names;
  out.fields["values"] = values;
  out.fields["uncertainties"] = uncertainties;
  out.fields["at_bound"] = atBound;
  out.fields["covariance"] = cov;
  out.fields["correlation"] = corr;
  out.fields["layers"] = bestLayers;
  out.fields["dose"] = best.dose.value;
  out.fields["shift_kev"] = best.shift.value;
  out.fields["background"] = best.background.value;
  out.fields[elementNames.empty() ? "beam_spread_ev" : "spread_ev"] = best.spread.value;
  out.fields["model"] = model;
  out.fields["deviance"] = r.report.deviance;
  out.fields["expected_deviance"] = r.report.expectedDeviance;
  out.fields["deviance_ratio"] = r.report.devianceRatio;
  out.fields["reduced_chi2"] = r.report.devianceRatio;
  out.fields["uncertainty_scale"] = r.report.uncertaintyScale;
  out.fields["points"] = r.report.points;
  out.fields["degrees_of_freedom"] = r.report.degreesOfFreedom;
  out.fields["evaluations"] = r.report.evaluations;
  out.fields["iterations"] = r.report.iterations;
  out.fields["warnings"] = pyb::cast(r.report.warnings);
  out.fields["report"] = fitReportText(r.report);
  return pyb::cast(std::move(out));
}

// ---- A model of the caller's own ---------------------------------------------------------------

double toExternal(double lo, double hi, double u) {
  const bool l = std::isfinite(lo), h = std::isfinite(hi);
  if (l && h) return lo + (hi - lo) * 0.5 * (std::sin(u) + 1.0);
  if (l) return lo - 1.0 + std::sqrt(u * u + 1.0);
  if (h) return hi + 1.0 - std::sqrt(u * u + 1.0);
  return u;
}

double toInternal(double lo, double hi, double x) {
  const bool l = std::isfinite(lo), h = std::isfinite(hi);
  if (l && h) return std::asin(std::clamp(2.0 * (x - lo) / (hi - lo) - 1.0, -1.0, 1.0));
  if (l) return std::sqrt(std::max(0.0, (x - lo + 1.0) * (x - lo + 1.0) - 1.0));
  if (h) return std::sqrt(std::max(0.0, (hi - x + 1.0) * (hi - x + 1.0) - 1.0));
  return x;
}

// The model's counts at the measured energies: an array of one value per point, or a curve
// (energy_kev, counts) interpolated linearly (0 outside it).
std::vector<double> modelAt(const pyb::object& value, const std::vector<double>& x) {
  if (pyb::hasattr(value, "energy_kev") && pyb::hasattr(value, "counts")) {
    const std::vector<double> cx = finiteVector(value.attr("energy_kev"), "function's energy_kev");
    const std::vector<double> cy = finiteVector(value.attr("counts"), "function's counts");
    if (cx.size() != cy.size()) refuse("function", "returned a curve of unequal arrays");
    std::vector<double> m(x.size(), 0.0);
    for (std::size_t i = 0; i < x.size(); ++i) {
      const auto it = std::upper_bound(cx.begin(), cx.end(), x[i]);
      if (it == cx.begin() || it == cx.end()) continue;
      const std::size_t j = static_cast<std::size_t>(it - cx.begin());
      const double t = (x[i] - cx[j - 1]) / (cx[j] - cx[j - 1]);
      m[i] = cy[j - 1] + t * (cy[j] - cy[j - 1]);
    }
    return m;
  }
  std::vector<double> m = finiteVector(value, "function's result");
  if (m.size() != x.size()) {
    refuse("function", "returned " + std::to_string(m.size()) + " values for " +
                           std::to_string(x.size()) + " points");
  }
  return m;
}

pyb::object custom(const pyb::object& function, const pyb::object& energy,
                   const pyb::object& counts, const pyb::dict& startValues,
                   const pyb::object& bounds, const pyb::object& sigma, long long maxIterations) {
  if (!PyCallable_Check(function.ptr())) refuse("function", "must be callable");
  const std::vector<double> x = finiteVector(energy, "energy_kev");
  const std::vector<double> y = finiteVector(counts, "counts");
  if (x.size() != y.size()) refuse("counts", "has another length than energy_kev");
  std::vector<double> s;
  if (!sigma.is_none()) {
    s = finiteVector(sigma, "sigma");
    if (s.size() != y.size()) refuse("sigma", "has another length than counts");
    for (double v : s)
      if (!(v > 0.0)) refuse("sigma", "every uncertainty must be above 0");
  }
  std::vector<std::string> names;
  std::vector<double> x0, lo, hi;
  for (const auto& [key, value] : startValues) {
    names.push_back(pyb::str(key));
    x0.push_back(finite(value.cast<double>(), "start"));
    lo.push_back(-INFINITY);
    hi.push_back(INFINITY);
  }
  if (names.empty()) refuse("start", "names no parameter to fit");
  if (!bounds.is_none()) {
    for (const auto& [key, value] : bounds.cast<pyb::dict>()) {
      const std::string n = pyb::str(key);
      const auto it = std::find(names.begin(), names.end(), n);
      if (it == names.end()) refuse("bounds", "names '" + n + "', which is not in start");
      const auto j = static_cast<std::size_t>(it - names.begin());
      std::tie(lo[j], hi[j]) = boundPair(value, n);
      if (x0[j] < lo[j] || x0[j] > hi[j]) refuse("start", n + " lies outside its bounds");
    }
  }
  const std::size_t k = names.size();
  int evaluations = 0;
  const auto model = [&](const std::vector<double>& p) {
    pyb::dict kw;
    for (std::size_t j = 0; j < k; ++j)
      kw[names[j].c_str()] = p[j];
    ++evaluations;
    return modelAt(function(**kw), x);
  };
  const auto residuals = [&](const std::vector<double>& m, std::vector<double>& r) {
    for (std::size_t i = 0; i < y.size(); ++i)
      r[i] = s.empty() ? devianceResidual(y[i], m[i]) : (m[i] - y[i]) / s[i];
  };
  const auto external = [&](const std::vector<double>& u) {
    std::vector<double> p(k);
    for (std::size_t j = 0; j < k; ++j)
      p[j] = toExternal(lo[j], hi[j], u[j]);
    return p;
  };
  LeastSquaresProblem problem;
  problem.residuals = y.size();
  problem.f = [&](const std::vector<double>& u, std::vector<double>& r) {
    residuals(model(external(u)), r);
  };
  std::vector<double> u0(k);
  for (std::size_t j = 0; j < k; ++j)
    u0[j] = toInternal(lo[j], hi[j], x0[j]);
  SolverOptions options;
  options.maxIterations = whole(maxIterations, "max_iterations", 1, 100000);
  const SolverResult sr = solveLeastSquares(problem, u0, options);
  if (sr.end == SolverEnd::failed) throw FitGivenUp("The fit failed: " + sr.message);
  const std::vector<double> best = external(sr.u);
  std::vector<double> r0(y.size());
  residuals(model(best), r0);
  // The covariance from the Jacobian of the residuals in the parameters themselves.
  std::vector<std::vector<double>> jac(y.size(), std::vector<double>(k));
  for (std::size_t j = 0; j < k; ++j) {
    std::vector<double> p = best;
    const double h = 1e-6 * std::max(std::fabs(p[j]), 1e-3);
    p[j] += h;
    std::vector<double> r(y.size());
    residuals(model(p), r);
    for (std::size_t i = 0; i < y.size(); ++i)
      jac[i][j] = (r[i] - r0[i]) / h;
  }
  const auto cov = leastSquaresCovariance(jac);
  double chi2 = 0.0;
  for (double v : r0)
    chi2 += v * v;
  FitResult out;
  pyb::dict values, uncertainties;
  pyb::array_t<double> c({k, k});
  for (std::size_t i = 0; i < k; ++i) {
    values[names[i].c_str()] = best[i];
    uncertainties[names[i].c_str()] = std::sqrt(std::max(0.0, cov[i][i]));
    for (std::size_t j = 0; j < k; ++j)
      c.mutable_at(i, j) = cov[i][j];
  }
  const double dof = static_cast<double>(y.size()) - static_cast<double>(k);
  out.fields["names"] = pyb::cast(names);
  out.fields["values"] = values;
  out.fields["uncertainties"] = uncertainties;
  out.fields["covariance"] = c;
  out.fields[sigma.is_none() ? "deviance" : "chi2"] = chi2;
  out.fields["reduced_chi2"] = dof > 0 ? chi2 / dof : NAN;
  out.fields["degrees_of_freedom"] = dof;
  out.fields["evaluations"] = evaluations;
  out.fields["iterations"] = sr.iterations;
  out.fields["converged"] = sr.end == SolverEnd::converged || sr.end == SolverEnd::noProgress;
  return pyb::cast(std::move(out));
}

}  // namespace

void registerFit(pyb::module_& m) {
  using namespace pybind11::literals;
  pyb::register_exception<FitGivenUp>(m, "FitError", PyExc_RuntimeError).doc() =
      "A fit that could not start or ended without a result; the message says why.";
  registerResult<FitResult>(m, "Result", R"doc(
A fit's result: names (free parameters in order), values, uncertainties (standard, by name),
covariance (NumPy matrix in the order of names), reduced_chi2, degrees_of_freedom, evaluations,
iterations; the layered fit also gives deviance, expected_deviance, deviance_ratio (=
reduced_chi2), correlation, at_bound, layers (best (thickness, concentration, sigma); in ion
scattering the concentration is {element: value}), dose, shift_kev, background, beam_spread_ev
(resonant NRA) or spread_ev (ion scattering), model, warnings and the program's report text.
)doc");
  m.def("layered", &layered, R"doc(
Fits a layered sample's curve to measured counts, as the program's fit does: the Poisson
likelihood of the counts (signed roots of the deviance as residuals), the program's
least-squares solver, bounds by a change of variable. The curve is a resonant NRA excitation
curve or an ion-scattering spectrum (the total over the plot window), scaled by the dose and
raised by the flat background.

    energy_kev, counts: the measured points (beam energy or detected energy, keV; counts).
    layers: the start values from the surface down. Resonant NRA: (thickness_A,
        concentration[, sigma_A]); ion scattering: (thickness_A, {element: concentration}
        [, sigma_A]) or (thickness_A, [one concentration per element in name order]
        [, sigma_A]), as tarvex.meis.* take them (a missing element: 0).
    free: names of the free parameters: thicknessK, sigmaK (layer K from 1), the concentrations
        concentrationK (resonant NRA) or concentrationK_<element> (ion scattering, e.g.
        concentration1_Hf), dose, shift_kev, background, and the spread: beam_spread_ev
        (resonant NRA) or spread_ev (ion scattering). Default: every layer's thickness and
        concentrations.
    bounds: {name: (lower, upper)}, None for no bound. Thicknesses, widths, concentrations and
        the spread are at least 0 already.
    model: resonant NRA: "numeric" or "analytic"; ion scattering: "gaussian", "bessel",
        "meis-numeric" (the numeric model of tarvex.meis.numeric) or "external" (the external
        cross-section model of tarvex.meis.external).
    dose (8), shift_kev (0, added to the measured energies), background (0, flat): start
        values, fitted when free.
    step: depth grid of the profiles (Å), 0.005 in resonant NRA, 0.01 in ion scattering;
    start: depth where the sample begins, 0.
    max_iterations: 100.
Resonant NRA, the model's values as in tarvex.nra.numeric:
    beam_spread_ev 100 (start value), resonance_kev 151, max_energy_kev 5, stopping 548.56,
    straggling 6.62, resonance_fwhm_ev 100, convolve True, auto True, table_step_ev 10,
    collisions 5, bins 1000.
Ion scattering, the model's values as in tarvex.meis.*:
    elements: the composition, {name: (Z, mass, sigma_ev)} (required).
    spread_ev 180 (start value of the spread), ion_energy_kev 100, projectile_mass 1,
    projectile_z 1, theta_in 0, theta_out 70, stopping_ev_per_nm 192, straggling_ev2_per_nm
    20740, delta_e_kev 5, convolve True, scc True, window_min_kev 90, window_max_kev 100 (the
    plot window the curve is computed on).
    "meis-numeric": auto True, table_step_ev 10, collisions 5, bins 1000.
    "external": cross_section (file or array, required), density 2.8e22, collisions 100,
    scc_file None, scc_shift_ev 35.

Returns a tarvex.fit.Result (in ion scattering, layers hold {element: concentration} and the
spread is spread_ev). Raises ValueError for bad arguments, tarvex.fit.FitError when the fit
cannot start or ends without determining every free parameter.
)doc",
        "energy_kev"_a, "counts"_a, "layers"_a, pyb::kw_only(), "free"_a = pyb::none(),
        "bounds"_a = pyb::none(), "model"_a = "numeric", "dose"_a = 8.0, "shift_kev"_a = 0.0,
        "background"_a = 0.0, "beam_spread_ev"_a = 100.0, "step"_a = pyb::none(), "start"_a = 0.0,
        "resonance_kev"_a = 151.0, "max_energy_kev"_a = 5.0, "stopping"_a = 548.56,
        "straggling"_a = 6.62, "resonance_fwhm_ev"_a = 100.0, "convolve"_a = true, "auto"_a = true,
        "table_step_ev"_a = 10.0, "collisions"_a = pyb::none(), "bins"_a = 1000,
        "max_iterations"_a = 100, "elements"_a = pyb::none(), "ion_energy_kev"_a = 100.0,
        "spread_ev"_a = 180.0, "projectile_mass"_a = 1.0, "projectile_z"_a = 1.0,
        "theta_in"_a = 0.0, "theta_out"_a = 70.0, "stopping_ev_per_nm"_a = 192.0,
        "straggling_ev2_per_nm"_a = 20740.0, "delta_e_kev"_a = 5.0, "scc"_a = true,
        "window_min_kev"_a = 90, "window_max_kev"_a = 100, "cross_section"_a = pyb::none(),
        "density"_a = 2.8e22, "scc_file"_a = pyb::none(), "scc_shift_ev"_a = 35.0);
  m.def("custom", &custom, R"doc(
Fits a model of your own with the program's least-squares solver.

    function: called as function(**parameters); returns the model's counts at the measured
        points (an array as long as counts), or a curve with energy_kev and counts (a
        tarvex.nra.Curve, say), interpolated linearly at energy_kev (0 outside it).
    energy_kev, counts: the measured points.
    start: {name: start value} of the parameters.
    bounds: {name: (lower, upper)}, None for no bound.
    sigma: the counts' standard uncertainties (least squares); None fits the Poisson
        likelihood of counts, as the program's fit does.
    max_iterations: 100.

Returns a tarvex.fit.Result (names, values, uncertainties, covariance, reduced_chi2,
evaluations, iterations, converged).
)doc",
        "function"_a, "energy_kev"_a, "counts"_a, "start"_a, pyb::kw_only(),
        "bounds"_a = pyb::none(), "sigma"_a = pyb::none(), "max_iterations"_a = 100);
}

}  // namespace tarvex::py
