#include "fit/fit.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <limits>
#include <stdexcept>
#include <utility>

#include "core/cancel.h"
#include "core/limits.h"
#include "core/numtext.h"
#include "fit/fit_statistics.h"
#include "fit/solver.h"

namespace tarvex {

// ---- Reports ----------------------------------------------------------------------------------

std::string fitReportText(const FitReport& r, char sep) {
  std::string text = "Fit of " + std::to_string(r.values.size()) + " parameters to " +
                     std::to_string(r.points) + " measured points:\n";
  for (const FitValue& v : r.values) {
    const bool undetermined = std::count(r.undetermined.begin(), r.undetermined.end(), v.name) != 0;
    text += "  " + v.name + " = ";
    if (v.atBound) {
      text += formatGeneral(v.value, 6, sep) + " (at its bound)\n";
    } else if (undetermined) {
      text += formatGeneral(v.value, 6, sep) +
              (v.uncertainty > 0.0 ? " ± " + formatGeneral(v.uncertainty, 2, sep) : "") +
              " (not determined)\n";
    } else {
      text += formatWithUncertainty(v.value, v.uncertainty, sep) + "\n";
    }
  }
  text += "  Deviance: " + formatGeneral(r.deviance, 5, sep) + ", expected " +
          formatGeneral(r.expectedDeviance, 5, sep) + " ± " +
          formatGeneral(r.devianceSpread, 2, sep) + " for counting statistics: deviance ratio " +
          formatGeneral(r.devianceRatio, 4, sep) + " (" + std::to_string(r.degreesOfFreedom) +
          " degrees of freedom)\n";
  if (r.uncertaintyScale != 1.0) {
    text += "  Uncertainties scaled by " + formatGeneral(r.uncertaintyScale, 3, sep) +
            " (the square root of the deviance ratio): the data scatter more than counting "
            "statistics allow\n";
  }
  text += "  Evaluations: " + std::to_string(r.evaluations) +
          ", iterations: " + std::to_string(r.iterations) +
          ", time: " + formatGeneral(r.seconds, 3, sep) + " s\n";
  for (const std::string& w : r.warnings)
    text += "  Warning: " + w + "\n";
  return text;
}

// ---- The reach of an excitation curve -----------------------------------------------------------

std::string ExcitationReach::describe(char sep) const {
  const std::string window = byVector ? "\"Step size (eV):\" " + formatGeneral(step, 6, sep) +
                                            " × \"Vector size:\" " + formatGeneral(bins, 15, sep)
                                      : "\"Max Energy (keV):\" " + formatGeneral(maxEnergy, 6, sep);
  return formatGeneral(depth, 4, sep) + " Å the excitation curve reaches (" + window +
         " at a \"Stopping Power:\" of " + formatGeneral(stopping, 6, sep) + " eV/Å)";
}

std::string ExcitationReach::raise(double depthToHold, char sep) const {
  const double ev = 1.25 * depthToHold * stopping;
  if (byVector) {
    return "raise \"Vector size:\" to at least " + formatGeneral(std::ceil(ev / step), 15, sep);
  }
  const double keV = ev * 0.001;
  const double unit = std::pow(10.0, std::floor(std::log10(keV)) - 1.0);
  return "raise \"Max Energy (keV):\" to at least " +
         formatGeneral(std::ceil(keV / unit) * unit, 6, sep) + " keV";
}

ExcitationReach excitationReach(double stopping, double maxEnergy, bool byVector, double step,
                                double bins) {
  ExcitationReach r;
  r.stopping = stopping;
  r.maxEnergy = maxEnergy;
  double window = 1000.0 * maxEnergy;
  if (byVector) {
    r.byVector = true;
    r.step = step;
    r.bins = bins;
    window = step * bins;
  }
  // The calculation refuses values without a meaning itself.
  if (r.stopping > 0.0 && window > 0.0 && std::isfinite(window / r.stopping)) {
    r.depth = window / r.stopping;
  }
  return r;
}

void checkFitLayers(FitModel& m, std::size_t columns) {
  if (m.layers.empty()) throw std::invalid_argument("The fit model has no layer");
  if (static_cast<int>(m.layers.size()) > kMaxFitLayers) {
    throw std::invalid_argument("The fit model holds at most " + std::to_string(kMaxFitLayers) +
                                " layers");
  }
  for (FitLayer& l : m.layers) {
    if (l.concentration.size() != columns) {
      l.concentration.resize(columns, l.concentration.empty() ? FitParameter{0.0, false, 0.0}
                                                              : l.concentration.back());
    }
  }
}

namespace {

// ---- Parameters -------------------------------------------------------------------------------

// What a parameter stands for: its physical range.
enum class Quantity { depth, amount, other };  // Å (0 up), at least 0, any value

struct Slot {
  FitParameter* p;
  std::string name;
  Quantity quantity = Quantity::other;
  int thicknessOf = -1;  // the layer whose thickness it is
  double typical = 1.0;  // a size below which its difference steps do not shrink
};

std::vector<Slot> allSlots(FitModel& m, const std::vector<std::string>& elements, bool nra) {
  std::vector<Slot> slots;
  for (std::size_t k = 0; k < m.layers.size(); ++k) {
    FitLayer& l = m.layers[k];
    const std::string layer = "Layer " + std::to_string(k + 1) + " ";
    slots.push_back({&l.thickness, layer + "thickness (Å)", Quantity::depth, static_cast<int>(k)});
    for (std::size_t e = 0; e < l.concentration.size(); ++e) {
      const std::string what =
          nra ? "concentration"
              : (e < elements.size() ? elements[e] : "element " + std::to_string(e + 1)) +
                    " concentration";
      slots.push_back({&l.concentration[e], layer + what, Quantity::amount, -1, 0.01});
    }
    slots.push_back({&l.sigma, layer + "edge σ (Å)", Quantity::depth});
  }
  slots.push_back({&m.dose, "Ion dose", Quantity::amount});
  slots.push_back({&m.shift, "Shift (keV)"});
  slots.push_back({&m.background, "Background"});
  slots.push_back({&m.spread, "Beam spread (eV)", Quantity::amount});
  return slots;
}

// Bounds through a change of variable (the solver itself is unbounded).
double toExternal(const FitParameter& p, double u) {
  const bool lo = std::isfinite(p.lower), hi = std::isfinite(p.upper);
  if (lo && hi) return p.lower + (p.upper - p.lower) * 0.5 * (std::sin(u) + 1.0);
  if (lo) return p.lower - 1.0 + std::sqrt(u * u + 1.0);
  if (hi) return p.upper + 1.0 - std::sqrt(u * u + 1.0);
  return u;
}

double toInternal(const FitParameter& p, double x) {
  const bool lo = std::isfinite(p.lower), hi = std::isfinite(p.upper);
  if (lo && hi)
    return std::asin(std::clamp(2.0 * (x - p.lower) / (p.upper - p.lower) - 1.0, -1.0, 1.0));
  if (lo) return std::sqrt(std::max(0.0, (x - p.lower + 1.0) * (x - p.lower + 1.0) - 1.0));
  if (hi) return std::sqrt(std::max(0.0, (p.upper - x + 1.0) * (p.upper - x + 1.0) - 1.0));
  return x;
}

// The deviance of a correct model exceeds its expectation by more than two of its standard
// deviations in about one fit in 44, by more than three in about one in 740 (it is nearly normal
// for more than a few dozen points). Beyond two the data scatter more than counting statistics
// allow, and the uncertainties are scaled by the square root of the deviance ratio; beyond three
// the curve does not follow the data.
constexpr double kOverdispersedSpreads = 2.0;
constexpr double kPoorFitSpreads = 3.0;
// A parameter whose bound raises the deviance by less than this lies within a tenth of its
// standard uncertainty of the bound (the deviance grows by 1 at one standard uncertainty).
constexpr double kAtBoundDeviance = 0.01;

// The goodness of fit of a model to counts: the Poisson deviance, and its mean and spread for
// data that scatter by counting statistics alone about the model.
struct Goodness {
  double deviance = 0.0;
  double expected = 0.0;  // the sum of the points' means, less one per determined parameter
  double spread = 0.0;    // standard deviation
  double ratio() const { return deviance / std::max(expected, 1e-3); }
  double excess() const { return spread > 0.0 ? (deviance - expected) / spread : 0.0; }
};

Goodness goodnessOf(const std::vector<double>& y, const std::vector<double>& model,
                    std::size_t parameters) {
  Goodness g;
  double variance = 0.0;
  for (std::size_t i = 0; i < y.size(); ++i) {
    g.deviance += devianceTerm(y[i], model[i]);
    const DevianceMoments d = devianceMoments(model[i]);
    g.expected += d.mean;
    variance += d.variance;
  }
  g.expected -= static_cast<double>(parameters);
  g.spread = std::sqrt(variance);
  return g;
}

}  // namespace

struct LayeredFit::Impl {
  LayeredFitProblem pr;
  FitModel& m = pr.model;
  std::vector<Slot> free;
  std::vector<double> start;  // the start values of the free parameters
  // The measured points inside the curve's energy window.
  std::vector<double> x, y;
  // The model at the last positions the solver evaluated, for the progress line.
  std::deque<std::pair<std::vector<double>, std::vector<double>>> recent;
  // The last calculated curve with dose 1 and no background, and what it was calculated from.
  std::vector<double> shapeKey;
  FitCurve curve;
  int evaluations = 0;
  const ModelRun* run = nullptr;
  // The depth grid: the profile's own points, more while the layers and the tails of their
  // edges reach past them, at most limitPoints.
  double step = 0.1;
  double contamination = 0.0;
  long long surface = 0;  // index of the point at the sample's surface
  int basePoints = 0;
  int limitPoints = 0;

  explicit Impl(LayeredFitProblem problem) : pr(std::move(problem)) {}

  // Depth below the surface down to which the layers hold anything: the deepest lower boundary
  // plus four widths of its edge (the step is within 3.2e-5 of its full height there).
  static double layersReach(const std::vector<FitLayer>& layers) {
    double depth = 0.0, reach = 0.0;
    for (const FitLayer& l : layers) {
      depth += std::max(0.0, l.thickness.value);
      reach = std::max(reach, depth + 4.0 * std::max(0.0, l.sigma.value));
    }
    return reach;
  }

  // Points that hold the layers down to `reach`, and one whole cell below them.
  int pointsDownTo(double reach) const {
    const double n = static_cast<double>(surface) + std::ceil(reach / step + 0.5) + 1.0;
    return static_cast<int>(std::clamp(n, 0.0, 2.0 * kMaxGridPoints));
  }

  double depthOf(int points) const { return points * step - contamination; }

  void startGrid() {
    const profile& p = pr.grid;
    step = p.step;
    contamination = p.startDepth;
    surface = std::max(0LL, static_cast<long long>(std::floor(p.startDepth / p.step)));
    basePoints = p.count;
    // A thickness free to grow may take the layers to four times the depth of the sample or of
    // the starting layers, whichever is deeper.
    const double deepest =
        4.0 * std::max(depthOf(basePoints), std::max(layersReach(m.layers), 10.0 * step));
    limitPoints =
        std::max(basePoints, std::min(pointsDownTo(deepest), static_cast<int>(kMaxGridPoints)));
  }

  double limitDepth() const { return depthOf(limitPoints); }

  int gridPointsFor(const FitModel& model) const {
    return std::clamp(pointsDownTo(layersReach(model.layers)), basePoints, limitPoints);
  }

  std::vector<profile> profilesOf(const FitModel& model) const {
    const int points = gridPointsFor(model);
    const std::size_t columns = pr.nra ? 1 : pr.elements.size();
    std::vector<profile> profiles;
    profiles.reserve(columns);
    for (std::size_t e = 0; e < columns; ++e) {
      profile grid;
      grid.step = pr.grid.step;
      grid.startDepth = pr.grid.startDepth;
      grid.count = points;
      grid.values.resize(static_cast<std::size_t>(points));
      profiles.push_back(layeredProfile(std::move(grid), model.layers, e));
    }
    return profiles;
  }

  std::vector<double> shapeValues() const {
    std::vector<double> v;
    for (const FitLayer& l : m.layers) {
      v.push_back(l.thickness.value);
      v.push_back(l.sigma.value);
      for (const FitParameter& c : l.concentration)
        v.push_back(c.value);
    }
    v.push_back(m.spread.value);
    return v;
  }

  std::string describe() const {
    std::string text;
    for (const Slot& sl : free)
      text += (text.empty() ? "" : ", ") + sl.name + " = " + formatGeneral(sl.p->value, 6, pr.sep);
    return text;
  }

  // The model's curve for the current layers and spread (unless they are those of the last one).
  void calculate() {
    std::vector<double> key = shapeValues();
    if (key == shapeKey) return;
    shapeKey.clear();
    try {
      curve = pr.curve(profilesOf(m), m.spread.value);
    } catch (const Cancelled&) {
      throw;
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& e) {
      throw FitGivenUp("The fit stopped: the calculation failed at " + describe() + " (" +
                       e.what() + ")");
    }
    if (curve.x.size() < 2 || curve.x.size() != curve.y.size()) {
      throw FitGivenUp("The fit stopped: the model gave no curve");
    }
    shapeKey = std::move(key);
  }

  double curveAt(double e) const {
    const std::vector<double>& cx = curve.x;
    const std::vector<double>& cy = curve.y;
    if (e <= cx.front()) return cy.front();
    if (e >= cx.back()) return cy.back();
    const auto it = std::upper_bound(cx.begin(), cx.end(), e);
    const std::size_t j = static_cast<std::size_t>(it - cx.begin());
    const double t = (e - cx[j - 1]) / (cx[j] - cx[j - 1]);
    return cy[j - 1] + t * (cy[j] - cy[j - 1]);
  }

  double modelAt(double measuredX) const {
    const double e = measuredX + m.shift.value;
    const double bg = pr.flatBackground ? m.background.value : lineValue(pr.line, e);
    return bg + m.dose.value * curveAt(e);
  }

  void setInternal(const std::vector<double>& u) {
    for (std::size_t j = 0; j < free.size(); ++j)
      free[j].p->value = toExternal(*free[j].p, u[j]);
  }

  // The model's counts at the measured points for the current parameters.
  std::vector<double> modelValues() {
    calculate();
    std::vector<double> values(x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
      values[i] = modelAt(x[i]);
    return values;
  }

  std::vector<double> evaluate(const std::vector<double>& v) {
    for (std::size_t j = 0; j < free.size(); ++j)
      free[j].p->value = v[j];
    ++evaluations;
    run->pause();
    checkCancel();
    return modelValues();
  }

  void prepare();
  // Takes the measured points inside the curve's window at the start values (once).
  void selectWindow();
  LayeredFitResult fit(const std::function<void(const std::string&, int, double)>& onIteration);
};

void LayeredFit::Impl::prepare() {
  if (!pr.flatBackground && m.background.free) {
    throw std::invalid_argument(
        "The fit varies a flat background only: choose \"Flat\" in the background window, or fix "
        "the background");
  }
  std::vector<Slot> slots = allSlots(m, pr.elements, pr.nra);
  for (Slot& sl : slots) {
    FitParameter& p = *sl.p;
    if (!std::isfinite(p.value)) throw std::invalid_argument(sl.name + " is not a number");
    if (!p.free) continue;
    if (!(p.lower < p.upper)) {
      throw std::invalid_argument(sl.name + ": the lower bound must lie below the upper bound");
    }
    // A start on a bound has no slope in the bounded variable: start just inside.
    const double inside = 1e-3 * (std::fabs(p.value) + 1.0);
    if (std::isfinite(p.upper) && std::isfinite(p.lower)) {
      p.value = std::clamp(p.value, p.lower + std::min(inside, 0.01 * (p.upper - p.lower)),
                           p.upper - std::min(inside, 0.01 * (p.upper - p.lower)));
    } else {
      if (std::isfinite(p.lower)) p.value = std::max(p.value, p.lower + inside);
      if (std::isfinite(p.upper)) p.value = std::min(p.value, p.upper - inside);
    }
    free.push_back(sl);
    start.push_back(p.value);
  }
  if (free.empty()) {
    throw std::invalid_argument("Nothing to fit: every parameter of the fit model is fixed");
  }
  if (pr.measuredX.empty()) {
    throw std::invalid_argument("No measured points to fit: load data first");
  }
  bool counts = false;
  for (std::size_t i = 0; i < pr.measuredY.size() && !counts; ++i)
    counts = pr.measuredY[i] != 0.0;
  if (!counts) {
    throw std::invalid_argument(
        "The measured data hold no counts (every point is 0): there is nothing to fit");
  }
  if (pr.nra) {
    // The end of a layer below what the curve reaches cannot be seen: its thickness cannot
    // be fitted.
    double bottom = 0.0, deepest = 0.0;
    int layer = -1;
    for (std::size_t k = 0; k < m.layers.size(); ++k) {
      bottom += std::max(0.0, m.layers[k].thickness.value);
      if (m.layers[k].thickness.free && bottom > pr.reach.depth) {
        deepest = bottom;
        layer = static_cast<int>(k);
      }
    }
    if (layer >= 0) {
      const char sep = pr.sep;
      throw std::invalid_argument("Layer " + std::to_string(layer + 1) + " reaches down to " +
                                  formatGeneral(deepest, 6, sep) + " Å, deeper than the " +
                                  pr.reach.describe(sep) + ": " + pr.reach.raise(deepest, sep) +
                                  ", or start from thinner layers");
    }
  }
  startGrid();
}

void LayeredFit::Impl::selectWindow() {
  if (!x.empty()) return;
  const char sep = pr.sep;
  calculate();
  const std::size_t p = free.size();
  // The measured points inside the curve's energy window.
  std::vector<double> inX, inY;
  double total = 0.0;
  for (std::size_t i = 0; i < pr.measuredX.size(); ++i) {
    const double e = pr.measuredX[i] + m.shift.value;
    if (e < curve.x.front() || e > curve.x.back()) continue;
    const double count = pr.measuredY[i];
    if (count < 0.0 || !std::isfinite(count)) {
      throw FitGivenUp("The measured point at " + formatGeneral(pr.measuredX[i], 6, sep) +
                       " keV holds " + formatGeneral(count, 6, sep) +
                       " counts: the fit needs counts, 0 or more, at every point inside the "
                       "plotted energy window");
    }
    inX.push_back(pr.measuredX[i]);
    inY.push_back(count);
    total += count;
  }
  const std::size_t n = inX.size();
  const std::string window = formatGeneral(curve.x.front(), 6, sep) + " to " +
                             formatGeneral(curve.x.back(), 6, sep) + " keV";
  if (n <= p) {
    throw FitGivenUp("Only " + std::to_string(n) +
                     " measured points lie inside the plotted energy window (" + window +
                     "): the fit needs more than its " + std::to_string(p) + " free parameters");
  }
  if (!(total > 0.0)) {
    throw FitGivenUp("The measured points inside the plotted energy window (" + window +
                     ") hold no counts: there is nothing to fit");
  }
  x = std::move(inX);
  y = std::move(inY);
}

LayeredFitResult LayeredFit::Impl::fit(
    const std::function<void(const std::string&, int, double)>& onIteration) {
  const auto started = std::chrono::steady_clock::now();
  const char sep = pr.sep;
  selectWindow();
  const std::size_t n = x.size(), p = free.size();

  // One solve: the residuals are the deviance's, so the least squares of the solver are the
  // maximum of the Poisson likelihood, at low counts as at high ones.
  LeastSquaresProblem problem;
  problem.residuals = n;
  problem.f = [&](const std::vector<double>& u, std::vector<double>& r) {
    ++evaluations;
    run->pause();
    checkCancel();
    setInternal(u);
    std::vector<double> values = modelValues();
    for (std::size_t i = 0; i < n; ++i)
      r[i] = devianceResidual(y[i], values[i]);
    recent.emplace_back(u, std::move(values));
    // The accepted position and the differences of its Jacobian are among the last ones.
    while (recent.size() > 2 * free.size() + 4)
      recent.pop_front();
  };
  std::vector<double> u0(p);
  for (std::size_t j = 0; j < p; ++j)
    u0[j] = toInternal(*free[j].p, free[j].p->value);
  SolverOptions options;
  options.maxIterations = m.maxIterations;
  // The curves are single precision: a difference step far above their rounding.
  options.differenceStep = 1e-4;
  const SolverResult solved =
      solveLeastSquares(problem, u0, options, [&](int iteration, const std::vector<double>& u) {
        double ratio = std::numeric_limits<double>::quiet_NaN();
        for (auto it = recent.rbegin(); it != recent.rend(); ++it) {
          if (it->first != u) continue;
          ratio = goodnessOf(y, it->second, free.size()).ratio();
          break;
        }
        if (onIteration) {
          onIteration("Fit: iteration " + std::to_string(iteration) + ", deviance ratio " +
                          formatGeneral(ratio, 4, sep) + ", " + std::to_string(evaluations) +
                          " evaluations",
                      iteration, ratio);
        }
      });
  if (solved.end == SolverEnd::maxIterations) {
    throw FitGivenUp("The fit did not converge within " + std::to_string(m.maxIterations) +
                     " iterations; the fields are as before");
  }
  if (solved.end == SolverEnd::failed) {
    throw FitGivenUp("The fit failed: " + solved.message + "; the fields are as before");
  }
  setInternal(solved.u);
  for (const Slot& sl : free) {
    if (!std::isfinite(sl.p->value)) {
      throw FitGivenUp("The fit diverged (" + sl.name + "); the fields are as before");
    }
  }

  // ---- What the data say about each parameter, in its own units ----
  std::vector<double> value(p);
  for (std::size_t j = 0; j < p; ++j)
    value[j] = free[j].p->value;
  std::vector<double> model = evaluate(value);
  const double deviance0 = goodnessOf(y, model, 0).deviance;
  if (!std::isfinite(deviance0)) throw FitGivenUp("The fit diverged; the fields are as before");
  // The slopes of the model by forward differences, away from a bound.
  std::vector<std::vector<double>> slope(p, std::vector<double>(n, 0.0));
  std::vector<bool> flat(p, true);
  for (std::size_t j = 0; j < p; ++j) {
    const FitParameter& fp = *free[j].p;
    double h = 1e-4 * std::max({std::fabs(value[j]), std::fabs(start[j]), free[j].typical});
    if (value[j] + h > fp.upper) h = -h;
    std::vector<double> v = value;
    v[j] += h;
    const std::vector<double> moved = evaluate(v);
    for (std::size_t i = 0; i < n; ++i) {
      slope[j][i] = (moved[i] - model[i]) / h;
      if (slope[j][i] != 0.0) flat[j] = false;
    }
  }
  // The covariance of the likelihood (the inverse of the Fisher information, counts of mean m
  // carrying 1/m) of the parameters `use`, with the model `at`.
  const auto covarianceOf = [&](const std::vector<std::size_t>& use,
                                const std::vector<double>& at) {
    std::vector<std::vector<double>> jac(n, std::vector<double>(use.size()));
    for (std::size_t i = 0; i < n; ++i) {
      const double root = std::sqrt(std::max(at[i], 1e-6));
      for (std::size_t k = 0; k < use.size(); ++k)
        jac[i][k] = slope[use[k]][i] / root;
    }
    const std::vector<std::vector<double>> cov = leastSquaresCovariance(jac);
    std::vector<std::vector<double>> c(p, std::vector<double>(p, 0.0));
    for (std::size_t a = 0; a < use.size(); ++a) {
      for (std::size_t b = 0; b < use.size(); ++b)
        c[use[a]][use[b]] = cov[a][b];
    }
    return c;
  };
  std::vector<std::size_t> steep;
  for (std::size_t j = 0; j < p; ++j) {
    if (!flat[j]) steep.push_back(j);
  }
  const auto all = covarianceOf(steep, model);
  // Each parameter is determined, at its bound, or not determined.
  enum class Found { determined, atBound, undetermined };
  std::vector<Found> found(p, Found::determined);
  std::vector<std::string> reasons(p);
  std::vector<double> final = value;
  for (std::size_t j = 0; j < p; ++j) {
    const FitParameter& fp = *free[j].p;
    if (flat[j]) {
      // No slope here: does the curve change with it at all (at the start, or a step away)?
      std::vector<double> v = value;
      v[j] = start[j] != value[j]
                 ? start[j]
                 : std::clamp(value[j] + 0.1 * std::max(std::fabs(value[j]), free[j].typical),
                              fp.lower, fp.upper);
      if (evaluate(v) == model) {
        found[j] = Found::undetermined;
        reasons[j] = "the curve does not change with it";
        continue;
      }
    }
    const double cjj = all[j][j];
    const bool lower = value[j] - fp.lower <= fp.upper - value[j];
    const double bound = lower ? fp.lower : fp.upper;
    if (std::isfinite(bound) &&
        (flat[j] || !(cjj > 0.0) || std::fabs(value[j] - bound) < 3.0 * std::sqrt(cjj))) {
      std::vector<double> v = value;
      v[j] = bound;
      if (goodnessOf(y, evaluate(v), 0).deviance - deviance0 < kAtBoundDeviance) {
        found[j] = Found::atBound;
        final[j] = bound;
        continue;
      }
    }
    if (flat[j]) {
      found[j] = Found::undetermined;
      reasons[j] = "the curve does not change with it at " + formatGeneral(value[j], 6, sep);
    }
  }
  std::vector<std::size_t> determined;
  for (std::size_t j = 0; j < p; ++j) {
    if (found[j] == Found::determined) determined.push_back(j);
  }
  if (final != value) model = evaluate(final);
  for (std::size_t j = 0; j < p; ++j)
    free[j].p->value = final[j];
  const auto covar = covarianceOf(determined, model);
  const Goodness g = goodnessOf(y, model, determined.size());

  LayeredFitResult result;
  FitReport& r = result.report;
  r.done = true;
  r.points = static_cast<int>(n);
  r.degreesOfFreedom = static_cast<int>(n - determined.size());
  r.deviance = g.deviance;
  r.expectedDeviance = g.expected;
  r.devianceSpread = g.spread;
  r.devianceRatio = g.ratio();
  // Uncertainties from the likelihood as it is, unless the data scatter more than counting
  // statistics allow: then widened by the square root of the deviance ratio.
  r.uncertaintyScale = g.excess() > kOverdispersedSpreads ? std::sqrt(r.devianceRatio) : 1.0;
  r.evaluations = evaluations;
  r.iterations = solved.iterations;
  r.correlation.assign(p, std::vector<double>(p, 0.0));
  for (std::size_t j = 0; j < p; ++j) {
    FitValue v{free[j].name, final[j], 0.0, found[j] == Found::atBound};
    if (found[j] == Found::determined) {
      v.uncertainty = std::sqrt(std::max(0.0, covar[j][j])) * r.uncertaintyScale;
    }
    r.values.push_back(v);
    for (std::size_t k = 0; k < p; ++k) {
      const double cjj = covar[j][j], ckk = covar[k][k];
      r.correlation[j][k] = cjj > 0.0 && ckk > 0.0 ? covar[j][k] / std::sqrt(cjj * ckk) : 0.0;
    }
  }
  for (std::size_t j = 0; j < p; ++j) {
    for (std::size_t k = j + 1; k < p; ++k) {
      if (std::fabs(r.correlation[j][k]) > 0.99) {
        r.warnings.push_back(free[j].name + " and " + free[k].name + " are correlated (" +
                             formatGeneral(r.correlation[j][k], 4, sep) +
                             "): the data cannot tell them apart; fix one of them");
      }
    }
  }
  // Far more deviance than counting statistics give: the model misses the data (too few layers,
  // a start far off), whatever the uncertainties say.
  if (g.excess() > kPoorFitSpreads) {
    r.warnings.push_back("the curve does not follow the data (deviance ratio " +
                         formatGeneral(r.devianceRatio, 4, sep) + ", " +
                         formatGeneral(g.excess(), 3, sep) +
                         " standard deviations above the expected 1 ± " +
                         formatGeneral(g.spread / std::max(g.expected, 1e-3), 2, sep) +
                         "): add layers, free other parameters or start from other values");
  }
  for (std::size_t j = 0; j < p; ++j) {
    if (found[j] != Found::atBound) continue;
    r.warnings.push_back(free[j].name + " ended at its bound " + formatGeneral(final[j], 6, sep) +
                         ": it is left out of the uncertainties of the others");
  }
  // A free parameter that ended far outside what it can be, beyond what the calculation reaches,
  // or that the curve does not depend on (or the data cannot tell from the others), has no value
  // the data determine: such a fit has no result.
  for (std::size_t j = 0; j < p; ++j) {
    const Slot& sl = free[j];
    const FitValue& v = r.values[j];
    std::string& why = reasons[j];
    if (found[j] == Found::determined) {
      const double cjj = covar[j][j];
      double bottom = 0.0;
      if (sl.thicknessOf >= 0) {
        for (int k = 0; k <= sl.thicknessOf; ++k)
          bottom += std::max(0.0, m.layers[static_cast<std::size_t>(k)].thickness.value);
      }
      if (sl.thicknessOf >= 0 && bottom > pr.reach.depth) {
        why = "its layer ends at " + formatGeneral(bottom, 6, sep) + " Å, deeper than the " +
              pr.reach.describe(sep) + ": " + pr.reach.raise(bottom, sep);
      } else if (sl.quantity == Quantity::depth && v.value > limitDepth()) {
        why = formatGeneral(v.value, 6, sep) + " Å lies below the deepest " +
              formatGeneral(limitDepth(), 6, sep) + " Å the fit calculates";
      } else if (sl.quantity != Quantity::other && v.value < 0.0 &&
                 !(v.value + 3.0 * v.uncertainty >= 0.0)) {
        why = formatGeneral(v.value, 6, sep) + " lies outside its physical range (not below 0)";
      } else if (!std::isfinite(cjj) || !std::isfinite(v.uncertainty)) {
        why = "its uncertainty is not a number";
      } else if (!(cjj > 0.0)) {
        why = "the data cannot tell it from the other parameters";
      }
    }
    if (why.empty()) continue;
    r.undetermined.push_back(sl.name);
    r.warnings.push_back(sl.name + " could not be determined: " + why +
                         "; fix it or start from another value");
    result.reasons.emplace_back(sl.name, why);
  }
  r.done = r.undetermined.empty();
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  result.model = m;
  result.basePoints = basePoints;
  result.gridPoints = gridPointsFor(m);
  result.gridDepth = depthOf(result.gridPoints);
  return result;
}

LayeredFit::LayeredFit(LayeredFitProblem problem)
    : impl_(std::make_unique<Impl>(std::move(problem))) {
  impl_->prepare();
}

LayeredFit::~LayeredFit() = default;

LayeredFitResult LayeredFit::run(const ModelRun& run) {
  const ModelScope scope(run);
  impl_->run = &run;
  return impl_->fit(onIteration);
}

std::vector<double> LayeredFit::evaluate(const std::vector<double>& freeValues,
                                         const ModelRun& run) {
  const ModelScope scope(run);
  impl_->run = &run;
  impl_->selectWindow();
  if (freeValues.size() != impl_->free.size()) {
    throw std::invalid_argument("The fit has " + std::to_string(impl_->free.size()) +
                                " free parameters");
  }
  return impl_->evaluate(freeValues);
}

int LayeredFit::gridPointsFor(const FitModel& m) const {
  return impl_->gridPointsFor(m);
}

double LayeredFit::depthOf(int points) const {
  return impl_->depthOf(points);
}

std::vector<profile> LayeredFit::profilesOf(const FitModel& m) const {
  return impl_->profilesOf(m);
}

}  // namespace tarvex
