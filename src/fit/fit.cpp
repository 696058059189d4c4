#include "fit/fit.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_vector.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <exception>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>

#include "core/cancel.h"
#include "core/limits.h"
#include "core/numtext.h"
#include "core/physics.h"
#include "fit/fit_controls.h"
#include "fit/fit_statistics.h"
#include "state/session.h"

namespace tarvex {
namespace {

// What a fit can put back: every field, the working state and every chart series.
struct Snapshot {
  std::map<std::string, Control> controls;
  WorkingState state;
  std::map<std::string, Series> series;
  std::map<std::string, ChartAxes> axes;
  FitModel model;
};

struct FitSessionState {
  FitModel model = defaultFitModel();
  FitReport report;
  std::optional<Snapshot> undo;
};

// One fit state per session, created when the session registers the fit's actions.
std::map<const Session*, std::shared_ptr<FitSessionState>>& registry() {
  static std::map<const Session*, std::shared_ptr<FitSessionState>> r;
  return r;
}

FitSessionState& stateOf(Session& s) {
  auto& r = registry();
  auto it = r.find(&s);
  if (it == r.end()) it = r.emplace(&s, std::make_shared<FitSessionState>()).first;
  return *it->second;
}

constexpr const char* kLog = "TFLog.EditLog";
// The fit window's progress line and result text.
constexpr const char* kStatus = "TFFit.StatusFit";
constexpr const char* kMemo = "TFFit.MemoResult";

void fitStatus(Session& s, const std::string& text) {
  if (s.controls().has(kStatus)) s.controls().setText(kStatus, text);
}

// A fit that ended without a result, after it put everything back.
class FitGivenUp : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

Snapshot takeSnapshot(Session& s) {
  return {s.controls().all(), s.state(), s.charts().all(), s.charts().allAxes(), stateOf(s).model};
}

// Puts the fields back (the log keeps what was written meanwhile) and, when whole, the working
// state; otherwise only the profiles and curves a fit changes.
void restore(Session& s, const Snapshot& snap, bool whole) {
  ControlStore& c = s.controls();
  for (const auto& [key, was] : snap.controls) {
    if (key == kLog || !c.has(key)) continue;
    const Control& now = c.get(key);
    if (now.items != was.items) c.setItems(key, was.items);
    if (now.itemIndex != was.itemIndex) c.setItemIndex(key, was.itemIndex);
    if (now.text != was.text) c.setText(key, was.text);
    if (now.checked != was.checked) c.setChecked(key, was.checked);
    if (now.enabled != was.enabled) c.setEnabled(key, was.enabled);
    if (now.visible != was.visible) c.setVisible(key, was.visible);
  }
  WorkingState& st = s.state();
  if (whole) {
    st = snap.state;
  } else {
    st.nraProfile = snap.state.nraProfile;
    st.undoProfile = snap.state.undoProfile;
    st.elementProfiles = snap.state.elementProfiles;
    st.numericExcitation = snap.state.numericExcitation;
    st.analyticExcitation = snap.state.analyticExcitation;
    st.besselSpectra = snap.state.besselSpectra;
    st.numericSpectra = snap.state.numericSpectra;
    st.gaussianSpectra = snap.state.gaussianSpectra;
    st.extCsSpectra = snap.state.extCsSpectra;
  }
  ChartStore& ch = s.charts();
  for (const auto& [key, was] : snap.series) {
    if (!ch.has(key)) continue;
    const auto& now = ch.series(key).points;
    const bool same = now.size() == was.points.size() &&
                      std::equal(now.begin(), now.end(), was.points.begin(),
                                 [](const ChartPoint& a, const ChartPoint& b) {
                                   return a.x == b.x && a.y == b.y && a.colour == b.colour;
                                 });
    if (!same) ch.setPoints(key, was.points);
  }
  // The axes as they were (a fit that deepened the profile widened its depth axis); a chart
  // first ranged by the fit goes back to automatic.
  std::vector<std::string> charts;
  for (const auto& [chart, now] : ch.allAxes())
    charts.push_back(chart);
  for (const std::string& chart : charts) {
    const auto it = snap.axes.find(chart);
    ch.setAxes(chart, it == snap.axes.end() ? ChartAxes{} : it->second);
  }
  stateOf(s).model = snap.model;
}

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

// ---- The fit ----------------------------------------------------------------------------------

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

// The depth the resonant excitation curve reaches: its energy window above the resonance over
// the stopping power, and the fields that set the window.
struct ExcitationReach {
  double depth = std::numeric_limits<double>::infinity();  // Å
  double stopping = 0.0;                                   // eV/Å
  bool byVector = false;  // the numeric model's own grid ("Step size" × "Vector size")
  double maxEnergy = 0.0, step = 0.0, bins = 0.0;

  std::string describe(char sep) const {
    const std::string window = byVector
                                   ? "\"Step size (eV):\" " + formatGeneral(step, 6, sep) +
                                         " × \"Vector size:\" " + formatGeneral(bins, 15, sep)
                                   : "\"Max Energy (keV):\" " + formatGeneral(maxEnergy, 6, sep);
    return formatGeneral(depth, 4, sep) + " Å the excitation curve reaches (" + window +
           " at a \"Stopping Power:\" of " + formatGeneral(stopping, 6, sep) + " eV/Å)";
  }

  // What to raise for a window that holds `depth` with a quarter to spare.
  std::string raise(double depthToHold, char sep) const {
    const double ev = 1.25 * depthToHold * stopping;
    if (byVector) {
      return "raise \"Vector size:\" to at least " + formatGeneral(std::ceil(ev / step), 15, sep);
    }
    const double keV = ev * 0.001;
    const double unit = std::pow(10.0, std::floor(std::log10(keV)) - 1.0);
    return "raise \"Max Energy (keV):\" to at least " +
           formatGeneral(std::ceil(keV / unit) * unit, 6, sep) + " keV";
  }
};

ExcitationReach excitationReach(Session& s, bool numeric) {
  ExcitationReach r;
  r.stopping = s.number("TFNRP.Editdedx");
  r.maxEnergy = s.number("TFNRP.EditMaxE");
  double window = 1000.0 * r.maxEnergy;
  if (numeric && !s.controls().checked("TFNRP.CheckAuto")) {
    r.byVector = true;
    r.step = s.number("TFNRP.EditStep");
    r.bins = s.number("TFNRP.EditVecsize");
    window = r.step * r.bins;
  }
  // The calculation refuses values without a meaning itself.
  if (r.stopping > 0.0 && window > 0.0 && std::isfinite(window / r.stopping)) {
    r.depth = window / r.stopping;
  }
  return r;
}

struct Fitter {
  Fitter(Session& session, FitModel model) : s(session), m(std::move(model)) {}
  Session& s;
  FitModel m;
  bool nra = true;
  std::string series;
  std::vector<std::string> elements;
  bool flatBackground = true;
  // The dose the curves are drawn with while the fit runs (the start value of "Ion dose:", so
  // that the fields show the user's values, not a bare curve's; constant, so that no table is
  // rebuilt for a new dose), and the text it is shown as.
  double drawnDose = 1.0;
  std::string drawnDoseText;
  std::string spreadField;
  std::vector<Slot> free;
  std::vector<double> start;  // the start values of the free parameters
  ExcitationReach reach;      // resonant NRA
  // The measured points inside the plotted window.
  std::vector<double> x, y;
  // The model at the last positions the solver evaluated, for the progress line.
  std::deque<std::pair<std::vector<double>, std::vector<double>>> recent;
  // The last calculated curve with dose 1 and no background, and what it was calculated from.
  std::vector<double> shapeKey;
  std::vector<double> curveX, curveY;
  backgroundLine line;
  int evaluations = 0;
  std::exception_ptr error;
  // The depth grid of the calculation: the profile's own points (with the thickness field's
  // text as it was), more while the layers and the tails of their edges reach past them, at
  // most limitPoints.
  std::string depthField;
  std::string depthText;
  double step = 0.1;
  double contamination = 0.0;
  long long surface = 0;  // index of the point at the sample's surface
  int basePoints = 0;
  int modelPoints = 0;
  int limitPoints = 0;

  // The profile of the current mode that gives the grid (every element's profile has the grid
  // of the thickness field).
  const profile& gridProfile() const {
    const WorkingState& st = s.state();
    if (nra) return st.nraProfile;
    for (const std::string& e : elements) {
      const auto it = st.elementProfiles.find(e);
      if (it != st.elementProfiles.end()) return it->second;
    }
    return defaultProfile();
  }

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
    const profile& p = gridProfile();
    step = p.step;
    contamination = p.startDepth;
    surface = std::max(0LL, static_cast<long long>(std::floor(p.startDepth / p.step)));
    basePoints = p.count;
    modelPoints = p.count;
    depthField = nra ? "TFNRP.EditMaxDepth" : "TFMEIS.EditMaxDepth";
    depthText = s.controls().text(depthField);
    // A thickness free to grow may take the layers to four times the depth of the sample or of
    // the starting layers, whichever is deeper.
    const double deepest =
        4.0 * std::max(depthOf(basePoints), std::max(layersReach(m.layers), 10.0 * step));
    limitPoints =
        std::max(basePoints, std::min(pointsDownTo(deepest), static_cast<int>(kMaxGridPoints)));
  }

  // The deepest depth the calculation can hold.
  double limitDepth() const { return depthOf(limitPoints); }

  // The points of the calculation for the current layers; the thickness field says the same, so
  // that the calculation's "Update plot" keeps them.
  int gridPoints() {
    const int points = std::clamp(pointsDownTo(layersReach(m.layers)), basePoints, limitPoints);
    if (points != modelPoints) {
      if (points == basePoints) {
        s.controls().setText(depthField, depthText);
      } else {
        s.setNumber(depthField, depthOf(points));
      }
      modelPoints = points;
    }
    return points;
  }

  static profile& resize(profile& p, int points) {
    p.count = points;
    p.values.resize(static_cast<std::size_t>(points), 0.0);
    return p;
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

  // Runs the model's calculation for the current layers and spread (unless they are those of
  // the last one).
  void calculate() {
    std::vector<double> key = shapeValues();
    if (key == shapeKey) return;
    WorkingState& st = s.state();
    // Below the layers the sample holds nothing: the grid reaches past them, so that a layer
    // drawn down to the end of the profile can grow as well as shrink.
    const int grid = gridPoints();
    if (nra) {
      st.nraProfile = layeredProfile(resize(st.nraProfile, grid), m.layers, 0);
    } else {
      for (std::size_t e = 0; e < elements.size(); ++e) {
        profile& p = st.elementProfiles[elements[e]];
        p = layeredProfile(resize(p, grid), m.layers, e);
      }
    }
    s.setNumber(spreadField, m.spread.value);
    s.controls().setText("TFOptions.EditMult", drawnDoseText);
    const bool failedBefore = s.lastCommandFailed();
    shapeKey.clear();
    s.CalcSimulation();
    if (s.lastCommandFailed() && !failedBefore) {
      throw std::runtime_error("The fit stopped: the calculation failed at " + describe());
    }
    const auto& points = s.charts().series(series).points;
    if (points.size() < 2) throw std::runtime_error("The fit stopped: the model gave no curve");
    line = nra ? st.nraBackgroundLine : st.meisBackgroundLine;
    curveX.resize(points.size());
    curveY.resize(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
      curveX[i] = points[i].x;
      curveY[i] = (points[i].y - lineValue(line, points[i].x)) / drawnDose;
    }
    shapeKey = std::move(key);
  }

  std::string describe() {
    std::string text;
    for (const Slot& sl : free)
      text += (text.empty() ? "" : ", ") + sl.name + " = " +
              formatGeneral(sl.p->value, 6, s.decimalSeparator());
    return text;
  }

  double curveAt(double e) const {
    if (e <= curveX.front()) return curveY.front();
    if (e >= curveX.back()) return curveY.back();
    const auto it = std::upper_bound(curveX.begin(), curveX.end(), e);
    const std::size_t j = static_cast<std::size_t>(it - curveX.begin());
    const double t = (e - curveX[j - 1]) / (curveX[j] - curveX[j - 1]);
    return curveY[j - 1] + t * (curveY[j] - curveY[j - 1]);
  }

  double modelAt(double measuredX) const {
    const double e = measuredX + m.shift.value;
    const double bg = flatBackground ? m.background.value : lineValue(line, e);
    return bg + m.dose.value * curveAt(e);
  }

  void setInternal(const gsl_vector* u) {
    for (std::size_t j = 0; j < free.size(); ++j)
      free[j].p->value = toExternal(*free[j].p, gsl_vector_get(u, j));
  }

  // The model's counts at the measured points for the current parameters.
  std::vector<double> modelValues() {
    calculate();
    std::vector<double> values(x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
      values[i] = modelAt(x[i]);
    return values;
  }

  // The counts are fitted by their likelihood: the residuals are the signed square roots of
  // the Poisson deviance terms, whose sum the solver minimises.
  int residuals(const gsl_vector* u, gsl_vector* f) {
    try {
      ++evaluations;
      s.eventPoint();
      setInternal(u);
      std::vector<double> values = modelValues();
      for (std::size_t i = 0; i < x.size(); ++i)
        gsl_vector_set(f, i, devianceResidual(y[i], values[i]));
      std::vector<double> at(u->size);
      for (std::size_t j = 0; j < u->size; ++j)
        at[j] = gsl_vector_get(u, j);
      recent.emplace_back(std::move(at), std::move(values));
      // The accepted position and the differences of its Jacobian are among the last ones.
      while (recent.size() > 2 * free.size() + 4)
        recent.pop_front();
      return GSL_SUCCESS;
    } catch (...) {
      error = std::current_exception();
      return GSL_EBADFUNC;
    }
  }

  static int f(const gsl_vector* u, void* self, gsl_vector* out) {
    return static_cast<Fitter*>(self)->residuals(u, out);
  }

  // The progress line of the fit window and the short form in the first panel of the status bar
  // (whose width it keeps): iterations and deviance ratio.
  void showProgress(const std::string& line, int iterations, double ratio) {
    const char sep = s.decimalSeparator();
    s.setPanel(0, "Iter. " + std::to_string(iterations) + ": " + formatGeneral(ratio, 3, sep));
    fitStatus(s, line);
  }

  static void progress(const std::size_t iteration, void* self,
                       const gsl_multifit_nlinear_workspace* w) {
    Fitter& t = *static_cast<Fitter*>(self);
    const gsl_vector* u = gsl_multifit_nlinear_position(w);
    double ratio = std::numeric_limits<double>::quiet_NaN();
    for (auto it = t.recent.rbegin(); it != t.recent.rend(); ++it) {
      bool same = true;
      for (std::size_t j = 0; same && j < u->size; ++j)
        same = it->first[j] == gsl_vector_get(u, j);
      if (!same) continue;
      ratio = goodnessOf(t.y, it->second, t.free.size()).ratio();
      break;
    }
    const int n = static_cast<int>(iteration);
    t.showProgress("Fit: iteration " + std::to_string(n) + ", deviance ratio " +
                       formatGeneral(ratio, 4, t.s.decimalSeparator()) + ", " +
                       std::to_string(t.evaluations) + " evaluations",
                   n, ratio);
  }
};

struct GslHandlerOff {
  gsl_error_handler_t* old = gsl_set_error_handler_off();
  ~GslHandlerOff() { gsl_set_error_handler(old); }
  GslHandlerOff() = default;
  GslHandlerOff(const GslHandlerOff&) = delete;
  GslHandlerOff& operator=(const GslHandlerOff&) = delete;
};

template <class T, void (*Free)(T*)>
struct Owned {
  T* p;
  explicit Owned(T* q) : p(q) {}
  ~Owned() {
    if (p) Free(p);
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
};

// The model and its curve: refuses what cannot be fitted before anything changes.
void prepare(Session& s, Fitter& t) {
  const ControlStore& c = s.controls();
  t.nra = s.nraMode();
  const bool numeric = c.checked("TFOptions.RadioNumeric");
  const bool bessel = c.checked("TFOptions.RadioAnalitic");
  const bool gauss = c.checked("TFOptions.RadioGauss");
  const bool external = c.checked("TFOptions.RadioExternal");
  if (t.nra) {
    if (!numeric && !bessel) {
      throw std::invalid_argument(
          "The fit needs a model that calculates resonant NRA: choose Numeric or Bessel");
    }
    t.series = numeric ? "ChartPrinc.SeriesPrinc" : "ChartPrinc.SeriesBessel";
    t.spreadField = "TFNRP.EditGauss";
  } else {
    t.series = numeric  ? "ChartPrinc.SeriesPrinc"
               : bessel ? "ChartPrinc.SeriesBessel"
               : gauss  ? "ChartPrinc.SeriesGauss"
                        : "ChartPrinc.SeriesExtCS";
    (void)external;
    t.spreadField = "TFMEIS.EditGauss";
    for (const auto& [name, el] : s.state().elementMap)
      t.elements.push_back(name);
    if (t.elements.empty()) {
      throw std::invalid_argument("The fit needs a sample composition: add its elements first");
    }
    if (static_cast<int>(t.elements.size()) > kMaxFitElements) {
      throw std::invalid_argument("The fit model holds at most " + std::to_string(kMaxFitElements) +
                                  " elements; the composition has " +
                                  std::to_string(t.elements.size()));
    }
  }
  FitModel& m = t.m;
  if (m.layers.empty()) throw std::invalid_argument("The fit model has no layer");
  if (static_cast<int>(m.layers.size()) > kMaxFitLayers) {
    throw std::invalid_argument("The fit model holds at most " + std::to_string(kMaxFitLayers) +
                                " layers");
  }
  const std::size_t per = t.nra ? 1 : t.elements.size();
  for (FitLayer& l : m.layers) {
    if (l.concentration.size() != per) {
      l.concentration.resize(
          per, l.concentration.empty() ? FitParameter{0.0, false, 0.0} : l.concentration.back());
    }
  }
  // The scalar parameters start from their fields.
  m.dose.value = s.number("TFOptions.EditMult");
  if (std::isfinite(m.dose.value) && m.dose.value != 0.0) {
    t.drawnDose = m.dose.value;
    t.drawnDoseText = c.text("TFOptions.EditMult");
  } else {
    t.drawnDoseText = "1";
  }
  m.shift.value = s.number("TFOptions.EditShift");
  t.flatBackground = c.get("TFBackground.Bkgrdradio").itemIndex != 1;
  m.background.value = t.flatBackground ? s.number("TFBackground.EditYs") : 0.0;
  m.spread.value = s.number(t.spreadField);
  if (!t.flatBackground && m.background.free) {
    throw std::invalid_argument(
        "The fit varies a flat background only: choose \"Flat\" in the background window, or fix "
        "the background");
  }
  std::vector<Slot> slots = allSlots(m, t.elements, t.nra);
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
    t.free.push_back(sl);
    t.start.push_back(p.value);
  }
  if (t.free.empty()) {
    throw std::invalid_argument("Nothing to fit: every parameter of the fit model is fixed");
  }
  const auto& measured = s.state().measuredPoints;
  // The reader leaves one entry from the read that met the end of the file: never plotted.
  if (measured.size() < 2)
    throw std::invalid_argument("No measured points to fit: load data first");
  bool counts = false;
  for (std::size_t i = 0; i + 1 < measured.size() && !counts; ++i)
    counts = measured[i].y != 0.0f;
  if (!counts) {
    throw std::invalid_argument(
        "The measured data hold no counts (every point is 0): there is nothing to fit");
  }
  if (t.nra) {
    t.reach = excitationReach(s, numeric);
    // The end of a layer below what the curve reaches cannot be seen: its thickness cannot
    // be fitted.
    double bottom = 0.0, deepest = 0.0;
    int layer = -1;
    for (std::size_t k = 0; k < m.layers.size(); ++k) {
      bottom += std::max(0.0, m.layers[k].thickness.value);
      if (m.layers[k].thickness.free && bottom > t.reach.depth) {
        deepest = bottom;
        layer = static_cast<int>(k);
      }
    }
    if (layer >= 0) {
      const char sep = s.decimalSeparator();
      throw std::invalid_argument("Layer " + std::to_string(layer + 1) + " reaches down to " +
                                  formatGeneral(deepest, 6, sep) + " Å, deeper than the " +
                                  t.reach.describe(sep) + ": " + t.reach.raise(deepest, sep) +
                                  ", or start from thinner layers");
    }
  }
  t.startGrid();
}

// What the fit found, as the log and the fit window show it: each value rounded to the second
// significant digit of its uncertainty (the fields keep every digit).
std::string reportText(Session& s, const FitReport& r) {
  const char sep = s.decimalSeparator();
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

std::vector<std::string> elementNames(Session& s) {
  std::vector<std::string> names;
  if (!s.nraMode()) {
    for (const auto& [name, el] : s.state().elementMap)
      names.push_back(name);
  }
  return names;
}

// With the fit window's fields in the store, they are the model.
void readModelFields(Session& s, FitSessionState& fs) {
  if (!hasFitControls(s)) return;
  const std::size_t elements = s.nraMode() ? 1 : s.state().elementMap.size();
  fs.model = fitModelFromControls(s, elements);
}

void writeModelFields(Session& s, const FitModel& m) {
  if (hasFitControls(s)) fitModelToControls(s, m, elementNames(s));
}

void fit(Session& s) {
  FitSessionState& fs = stateOf(s);
  const auto started = std::chrono::steady_clock::now();
  readModelFields(s, fs);
  Fitter t(s, fs.model);
  prepare(s, t);
  const Snapshot before = takeSnapshot(s);
  const std::string logBefore = s.controls().text(kLog);
  const char sep = s.decimalSeparator();
  const auto giveUp = [&](const std::string& why) {
    restore(s, before, true);
    s.controls().setText(kLog, logBefore);
    throw FitGivenUp(why);
  };
  try {
    fitStatus(s, "Fitting...");
    s.SetStatus("Fitting...");
    t.calculate();
    // The measured points inside the plotted energy window.
    const auto& measured = s.state().measuredPoints;
    double total = 0.0;
    for (std::size_t i = 0; i + 1 < measured.size(); ++i) {
      const double e = static_cast<double>(measured[i].x) + t.m.shift.value;
      if (e < t.curveX.front() || e > t.curveX.back()) continue;
      const double y = measured[i].y;
      if (y < 0.0 || !std::isfinite(y)) {
        giveUp("The measured point at " + formatGeneral(measured[i].x, 6, sep) + " keV holds " +
               formatGeneral(y, 6, sep) +
               " counts: the fit needs counts, 0 or more, at every point inside the plotted "
               "energy window");
      }
      t.x.push_back(measured[i].x);
      t.y.push_back(y);
      total += y;
    }
    const std::size_t n = t.x.size(), p = t.free.size();
    const std::string window = formatGeneral(t.curveX.front(), 6, sep) + " to " +
                               formatGeneral(t.curveX.back(), 6, sep) + " keV";
    if (n <= p) {
      giveUp("Only " + std::to_string(n) +
             " measured points lie inside the plotted energy window (" + window +
             "): the fit needs more than its " + std::to_string(p) + " free parameters");
    }
    if (!(total > 0.0)) {
      giveUp("The measured points inside the plotted energy window (" + window +
             ") hold no counts: there is nothing to fit");
    }

    GslHandlerOff handler;
    gsl_multifit_nlinear_parameters params = gsl_multifit_nlinear_default_parameters();
    params.trs = gsl_multifit_nlinear_trs_lm;
    // The curves are single precision: a difference step far above their rounding.
    params.h_df = 1e-4;
    Owned<gsl_multifit_nlinear_workspace, gsl_multifit_nlinear_free> w{
        gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &params, n, p)};
    Owned<gsl_vector, gsl_vector_free> u0{gsl_vector_alloc(p)};
    if (!w.p || !u0.p) throw std::bad_alloc();
    for (std::size_t j = 0; j < p; ++j)
      gsl_vector_set(u0.p, j, toInternal(*t.free[j].p, t.free[j].p->value));
    gsl_multifit_nlinear_fdf fdf{};
    fdf.f = &Fitter::f;
    fdf.df = nullptr;
    fdf.fvv = nullptr;
    fdf.n = n;
    fdf.p = p;
    fdf.params = &t;
    // One solve: the residuals are the deviance's, so the least squares of the solver are the
    // maximum of the Poisson likelihood, at low counts as at high ones.
    int status = gsl_multifit_nlinear_init(u0.p, &fdf, w.p);
    int info = 0;
    if (status == GSL_SUCCESS) {
      status = gsl_multifit_nlinear_driver(static_cast<std::size_t>(t.m.maxIterations), 1e-8, 1e-8,
                                           0.0, &Fitter::progress, &t, &info, w.p);
    }
    if (t.error) std::rethrow_exception(t.error);
    const int iterations = static_cast<int>(gsl_multifit_nlinear_niter(w.p));
    if (status == GSL_EMAXITER) {
      giveUp("The fit did not converge within " + std::to_string(t.m.maxIterations) +
             " iterations; the fields are as before");
    }
    if (status != GSL_SUCCESS && status != GSL_ENOPROG) {
      giveUp(std::string("The fit failed: ") + gsl_strerror(status) + "; the fields are as before");
    }
    t.setInternal(gsl_multifit_nlinear_position(w.p));
    for (const Slot& sl : t.free) {
      if (!std::isfinite(sl.p->value)) {
        giveUp("The fit diverged (" + sl.name + "); the fields are as before");
      }
    }

    // ---- What the data say about each parameter, in its own units ----
    std::vector<double> value(p);
    for (std::size_t j = 0; j < p; ++j)
      value[j] = t.free[j].p->value;
    const auto evaluate = [&](const std::vector<double>& v) {
      for (std::size_t j = 0; j < p; ++j)
        t.free[j].p->value = v[j];
      ++t.evaluations;
      s.eventPoint();
      return t.modelValues();
    };
    std::vector<double> model = evaluate(value);
    const double deviance0 = goodnessOf(t.y, model, 0).deviance;
    if (!std::isfinite(deviance0)) giveUp("The fit diverged; the fields are as before");
    // The slopes of the model by forward differences, away from a bound.
    std::vector<std::vector<double>> slope(p, std::vector<double>(n, 0.0));
    std::vector<bool> flat(p, true);
    for (std::size_t j = 0; j < p; ++j) {
      const FitParameter& fp = *t.free[j].p;
      double h = 1e-4 * std::max({std::fabs(value[j]), std::fabs(t.start[j]), t.free[j].typical});
      if (value[j] + h > fp.upper) h = -h;
      std::vector<double> v = value;
      v[j] += h;
      const std::vector<double> moved = evaluate(v);
      for (std::size_t i = 0; i < n; ++i) {
        slope[j][i] = (moved[i] - model[i]) / h;
        if (slope[j][i] != 0.0) flat[j] = false;
      }
    }
    // The covariance of the likelihood (the inverse of the Fisher information, counts of mean
    // m carrying 1/m) of the parameters `use`, with the model `at`.
    const auto covarianceOf = [&](const std::vector<std::size_t>& use,
                                  const std::vector<double>& at) {
      std::vector<std::vector<double>> c(p, std::vector<double>(p, 0.0));
      if (use.empty()) return c;
      Owned<gsl_matrix, gsl_matrix_free> jac{gsl_matrix_alloc(n, use.size())};
      Owned<gsl_matrix, gsl_matrix_free> cov{gsl_matrix_alloc(use.size(), use.size())};
      if (!jac.p || !cov.p) throw std::bad_alloc();
      for (std::size_t i = 0; i < n; ++i) {
        const double root = std::sqrt(std::max(at[i], 1e-6));
        for (std::size_t k = 0; k < use.size(); ++k)
          gsl_matrix_set(jac.p, i, k, slope[use[k]][i] / root);
      }
      gsl_multifit_nlinear_covar(jac.p, 0.0, cov.p);
      for (std::size_t a = 0; a < use.size(); ++a) {
        for (std::size_t b = 0; b < use.size(); ++b)
          c[use[a]][use[b]] = gsl_matrix_get(cov.p, a, b);
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
      const FitParameter& fp = *t.free[j].p;
      if (flat[j]) {
        // No slope here: does the curve change with it at all (at the start, or a step away)?
        std::vector<double> v = value;
        v[j] = t.start[j] != value[j]
                   ? t.start[j]
                   : std::clamp(value[j] + 0.1 * std::max(std::fabs(value[j]), t.free[j].typical),
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
        if (goodnessOf(t.y, evaluate(v), 0).deviance - deviance0 < kAtBoundDeviance) {
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
      t.free[j].p->value = final[j];
    const auto covar = covarianceOf(determined, model);
    const Goodness g = goodnessOf(t.y, model, determined.size());

    FitReport r;
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
    r.evaluations = t.evaluations;
    r.iterations = iterations;
    r.correlation.assign(p, std::vector<double>(p, 0.0));
    for (std::size_t j = 0; j < p; ++j) {
      FitValue v{t.free[j].name, final[j], 0.0, found[j] == Found::atBound};
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
          r.warnings.push_back(t.free[j].name + " and " + t.free[k].name + " are correlated (" +
                               formatGeneral(r.correlation[j][k], 4, sep) +
                               "): the data cannot tell them apart; fix one of them");
        }
      }
    }
    // Far more deviance than counting statistics give: the model misses the data (too few
    // layers, a start far off), whatever the uncertainties say.
    const bool poor = g.excess() > kPoorFitSpreads;
    if (poor) {
      r.warnings.push_back("the curve does not follow the data (deviance ratio " +
                           formatGeneral(r.devianceRatio, 4, sep) + ", " +
                           formatGeneral(g.excess(), 3, sep) +
                           " standard deviations above the expected 1 ± " +
                           formatGeneral(g.spread / std::max(g.expected, 1e-3), 2, sep) +
                           "): add layers, free other parameters or start from other values");
    }
    for (std::size_t j = 0; j < p; ++j) {
      if (found[j] != Found::atBound) continue;
      r.warnings.push_back(t.free[j].name + " ended at its bound " +
                           formatGeneral(final[j], 6, sep) +
                           ": it is left out of the uncertainties of the others");
    }
    // A free parameter that ended far outside what it can be, beyond what the calculation
    // reaches, or that the curve does not depend on (or the data cannot tell from the others),
    // has no value the data determine: such a fit has no result.
    for (std::size_t j = 0; j < p; ++j) {
      const Slot& sl = t.free[j];
      const FitValue& v = r.values[j];
      std::string& why = reasons[j];
      if (found[j] == Found::determined) {
        const double cjj = covar[j][j];
        double bottom = 0.0;
        if (sl.thicknessOf >= 0) {
          for (int k = 0; k <= sl.thicknessOf; ++k)
            bottom += std::max(0.0, t.m.layers[static_cast<std::size_t>(k)].thickness.value);
        }
        if (sl.thicknessOf >= 0 && bottom > t.reach.depth) {
          why = "its layer ends at " + formatGeneral(bottom, 6, sep) + " Å, deeper than the " +
                t.reach.describe(sep) + ": " + t.reach.raise(bottom, sep);
        } else if (sl.quantity == Quantity::depth && v.value > t.limitDepth()) {
          why = formatGeneral(v.value, 6, sep) + " Å lies below the deepest " +
                formatGeneral(t.limitDepth(), 6, sep) + " Å the fit calculates";
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
    }
    if (!r.undetermined.empty()) {
      r.done = false;
      r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      restore(s, before, true);
      s.controls().setText(kLog, logBefore);
      const std::string text = reportText(s, r);
      s.logAppend(text + "\n");
      if (s.controls().has(kMemo)) s.controls().setText(kMemo, text);
      std::string names, why;
      std::size_t shown = 0;
      for (std::size_t j = 0; j < p; ++j) {
        if (reasons[j].empty()) continue;
        names += (shown == 0                           ? ""
                  : shown + 1 == r.undetermined.size() ? " and "
                                                       : ", ") +
                 t.free[j].name;
        why += (shown == 0 ? "" : ", ") + t.free[j].name + " (" + reasons[j] + ")";
        if (r.undetermined.size() == 1) why = t.free[j].name + ": " + reasons[j];
        ++shown;
      }
      s.SetStatus("Fit ended: " + names + " could not be determined");
      throw FitGivenUp("The fit could not determine " + why + "; the fields are as before");
    }
    // The best values into the fields and the profile, and their curve drawn: the profile from
    // the values as the fields show them, so that the fields give it again.
    if (hasFitControls(s)) {
      writeModelFields(s, t.m);
      const FitModel shown = fitModelFromControls(s, t.m.layers.front().concentration.size());
      for (std::size_t k = 0; k < t.m.layers.size(); ++k) {
        t.m.layers[k].thickness.value = shown.layers[k].thickness.value;
        t.m.layers[k].sigma.value = shown.layers[k].sigma.value;
        for (std::size_t e = 0; e < t.m.layers[k].concentration.size(); ++e)
          t.m.layers[k].concentration[e].value = shown.layers[k].concentration[e].value;
      }
    }
    t.shapeKey.clear();
    t.calculate();
    // A profile that had to reach deeper shows all of it, as "Update plot" shows a new one.
    if (t.nra && t.modelPoints != t.basePoints) {
      s.charts().setBottom("ChartNRPProf", 0.0, t.depthOf(t.modelPoints) + t.contamination);
    }
    s.Plotprofile();  // the sample window shows the layers found
    s.setNumber("TFOptions.EditMult", t.m.dose.value);
    s.setNumber("TFOptions.EditShift", t.m.shift.value);
    if (t.flatBackground) s.setNumber("TFBackground.EditYs", t.m.background.value);
    s.CalcSimulation();
    if (s.hasAction("PlotExp")) s.invoke("PlotExp");
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    fs.model = t.m;
    fs.report = r;
    fs.undo = before;
    s.controls().setText(kLog, logBefore);
    const std::string text = reportText(s, r);
    s.logAppend(text + "\n");
    if (s.controls().has(kMemo)) s.controls().setText(kMemo, text);
    // The progress shows how the fit ended.
    const std::string done =
        "Fit done: " + std::to_string(r.iterations) + " iterations, deviance ratio " +
        formatGeneral(r.devianceRatio, 4, sep) + ", " + std::to_string(r.evaluations) +
        " evaluations, " + formatGeneral(r.seconds, 3, sep) + " s";
    t.showProgress(poor ? done + "; the curve does not follow the data" : done, r.iterations,
                   r.devianceRatio);
    s.SetStatus("Fit done: deviance ratio " + formatGeneral(r.devianceRatio, 4, sep));
  } catch (const Cancelled&) {
    restore(s, before, true);
    s.controls().setText(kLog, logBefore);
    throw;
  } catch (const FitGivenUp&) {
    throw;  // already restored
  } catch (...) {
    restore(s, before, true);
    s.controls().setText(kLog, logBefore);
    throw;
  }
}

}  // namespace

FitModel currentFitModel(Session& s) {
  FitSessionState& fs = stateOf(s);
  readModelFields(s, fs);
  return fs.model;
}

void setFitModel(Session& s, const FitModel& m) {
  stateOf(s).model = m;
  writeModelFields(s, m);
}

const FitReport& lastFitReport(Session& s) {
  return stateOf(s).report;
}

void FitFromProfile(Session& s) {
  FitSessionState& fs = stateOf(s);
  std::vector<const profile*> profiles;
  if (s.nraMode()) {
    profiles.push_back(&s.state().nraProfile);
  } else {
    for (const auto& [name, el] : s.state().elementMap)
      profiles.push_back(&s.state().elementProfiles[name]);
    if (profiles.empty()) {
      throw std::invalid_argument("The sample has no elements: add its composition first");
    }
  }
  readModelFields(s, fs);
  std::vector<FitLayer> layers = layersFromProfiles(profiles, fs.model.layers);
  if (layers.empty()) throw std::invalid_argument("The profile holds no layer");
  fs.model.layers = std::move(layers);
  writeModelFields(s, fs.model);
  fitStatus(s, std::to_string(fs.model.layers.size()) +
                   (fs.model.layers.size() == 1 ? " layer" : " layers") + " from the profile");
}

void Fit(Session& s) {
  // Whatever ends the fit without a result, the window's progress line says so (the fields and
  // the profile are as before).
  try {
    fit(s);
  } catch (const Cancelled&) {
    fitStatus(s, "Stopped: the fields and the profile are as before");
    throw;
  } catch (const std::exception& e) {
    fitStatus(s, e.what());
    throw;
  }
}

void UndoFit(Session& s) {
  FitSessionState& fs = stateOf(s);
  if (!fs.undo) throw std::invalid_argument("No fit to undo");
  const Snapshot snap = std::move(*fs.undo);
  fs.undo.reset();
  restore(s, snap, false);
  fitStatus(s, "Fit undone: the fields and the profile as before the fit");
  s.SetStatus("Fit undone");
}

void registerFitActions(Session& s) {
  registry()[&s] = std::make_shared<FitSessionState>();
  s.registerAction("FitFromProfile", [&s] { FitFromProfile(s); });
  s.registerAction("Fit", [&s] { Fit(s); });
  s.registerAction("UndoFit", [&s] { UndoFit(s); });
}

}  // namespace tarvex
