// Speed of the least-squares fits: synthetic data made from known parameters with seeded
// Poisson noise, fitted from a start 20-30 % off. The reference is the truth the data were made
// from: once per run each benchmark checks that every free parameter is recovered within three
// standard uncertainties (the run fails otherwise). The collision tables are built before the
// timing starts, as they are after the first "Calculate" of a session.
//
//   bench_fit --benchmark_repetitions=3
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/fit_command.h"
#include "app/meis_readers.h"
#include "app/nra_commands.h"
#include "bench_support.h"
#include "fit/fit.h"
#include "meis/closed_form.h"
#include "nra/numeric.h"
#include "state/session.h"

namespace {

using tarvex::FitModel;
using tarvex::FitParameter;
using tarvex::Session;

struct Case {
  bool nra = true;
  std::string series;
  FitModel truth;  // with the free flags of the fit
  FitModel start;  // the same, 20-30 % off
  double shift = 0.0, background = 0.0;
  double startShift = 0.0, startBackground = 0.0;
  std::map<std::string, double> expected;  // free parameter name -> true value
};

// The plotted curve of the model's layers (dose and background from the fields).
std::vector<tarvex::ChartPoint> curveFor(Session& s, const FitModel& m, const std::string& series) {
  if (s.nraMode()) {
    s.state().nraProfile = tarvex::layeredProfile(s.state().nraProfile, m.layers, 0);
  } else {
    std::size_t e = 0;
    for (const auto& [name, el] : s.state().elementMap) {
      tarvex::profile& p = s.state().elementProfiles[name];
      p = tarvex::layeredProfile(p, m.layers, e++);
    }
  }
  s.guarded([&] { s.CalcSimulation(); });
  return s.charts().series(series).points;
}

// Every `every`-th point of the curve with Poisson noise, at energies moved by -shift.
void measure(Session& s, const std::vector<tarvex::ChartPoint>& curve, double shift, int every,
             unsigned seed) {
  std::mt19937 rng(seed);
  auto& points = s.state().measuredPoints;
  points.clear();
  for (std::size_t i = 0; i < curve.size(); i += static_cast<std::size_t>(every)) {
    std::poisson_distribution<int> counts(std::max(curve[i].y, 1e-9));
    points.push_back({static_cast<float>(curve[i].x - shift), static_cast<float>(counts(rng))});
  }
  points.push_back({0.0f, 0.0f});  // the entry the reader leaves after the last line
}

// Puts the start of the fit back: empty profiles, the start values in the fields.
void toStart(Session& s, const Case& c) {
  if (c.nra) {
    std::fill(s.state().nraProfile.values.begin(), s.state().nraProfile.values.end(), 0.0);
  } else {
    for (auto& [name, p] : s.state().elementProfiles)
      std::fill(p.values.begin(), p.values.end(), 0.0);
  }
  s.setNumber("TFOptions.EditShift", c.startShift);
  s.setNumber("TFBackground.EditYs", c.startBackground);
  tarvex::setFitModel(s, c.start);
}

// Runs the fit once; false (with the reason) when it failed or missed the truth.
bool fitAndCheck(Session& s, const Case& c, std::string& why) {
  toStart(s, c);
  s.run("Fit");
  const tarvex::FitReport& r = tarvex::lastFitReport(s);
  if (s.lastCommandFailed() || !r.done) {
    why = "the fit failed";
    return false;
  }
  if (r.values.size() != c.expected.size()) {
    why = "unexpected number of free parameters";
    return false;
  }
  for (const tarvex::FitValue& v : r.values) {
    const auto it = c.expected.find(v.name);
    if (it == c.expected.end() || !(v.uncertainty > 0.0) ||
        std::fabs(v.value - it->second) > 3.0 * v.uncertainty) {
      why = v.name + " = " + std::to_string(v.value) + " +- " + std::to_string(v.uncertainty) +
            " misses its true value";
      return false;
    }
  }
  if (r.devianceRatio < 0.7 || r.devianceRatio > 1.4) {
    why = "deviance ratio " + std::to_string(r.devianceRatio);
    return false;
  }
  return true;
}

void runFit(benchmark::State& state, Session& s, const Case& c) {
  std::string why;
  if (!fitAndCheck(s, c, why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  const tarvex::FitReport first = tarvex::lastFitReport(s);
  for (auto _ : state) {
    state.PauseTiming();
    toStart(s, c);
    state.ResumeTiming();
    s.run("Fit");
  }
  state.counters["evaluations"] = first.evaluations;
  state.counters["iterations"] = first.iterations;
  state.counters["points"] = first.points;
  state.counters["deviance_ratio"] = first.devianceRatio;
}

// The numeric excitation curve at the default resonance: a 6 A layer with a 1 A edge under a
// flat background, the measured energies shifted; thickness, concentration, edge width, shift
// and background free.
Case resonantNumericCase(Session& s) {
  tarvex::registerAllActions(s);
  s.setNumber("TFOptions.EditMult", 4000.0);
  Case c;
  c.series = "ChartPrinc.SeriesPrinc";
  c.shift = 0.1;
  c.background = 100.0;
  c.truth = tarvex::currentFitModel(s);
  c.truth.layers.resize(1);
  c.truth.layers[0].thickness = {6.0, true, 0.0};
  c.truth.layers[0].concentration = {FitParameter{1.0, true, 0.0}};
  c.truth.layers[0].sigma = {1.0, true, 0.0};
  c.truth.shift.free = true;
  c.truth.background.free = true;
  auto curve = curveFor(s, c.truth, c.series);
  for (auto& p : curve)
    p.y += c.background;
  measure(s, curve, c.shift, 8, 1234);
  c.start = c.truth;
  c.start.layers[0].thickness.value = 6.0 * 1.25;
  c.start.layers[0].concentration[0].value = 0.75;
  c.start.layers[0].sigma.value = 1.3;
  c.startShift = c.shift * 1.25;
  c.startBackground = c.background * 0.75;
  c.expected = {{"Layer 1 thickness (Å)", 6.0},
                {"Layer 1 concentration", 1.0},
                {"Layer 1 edge σ (Å)", 1.0},
                {"Shift (keV)", c.shift},
                {"Background", c.background}};
  return c;
}

void BM_FitResonantNumeric(benchmark::State& state) {
  bench::QuietHost host;
  Session s{host};
  const Case c = resonantNumericCase(s);
  runFit(state, s, c);
}
BENCHMARK(BM_FitResonantNumeric)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The Bessel ion-scattering spectrum of one layer of hafnium and oxygen (8 A, 1 A edge) under a
// flat background: thickness, both concentrations, edge width, shift and background free.
Case ionScatteringBesselCase(Session& s) {
  tarvex::registerAllActions(s);
  s.setCheckedAsClick("TFOptions.RadioMEIS", true);
  s.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  s.controls().setText("TFMEIS.EditElname", "Hf");
  s.click("TFMEIS.ButtonAdd");
  s.controls().setText("TFMEIS.EditMass", "16");
  s.controls().setText("TFMEIS.EditZ", "8");
  s.controls().setText("TFMEIS.EditElname", "O");
  s.click("TFMEIS.ButtonAdd");
  s.controls().setText("TFMEIS.EditSimMin", "80");
  s.setNumber("TFOptions.EditMult", 200.0);
  Case c;
  c.nra = false;
  c.series = "ChartPrinc.SeriesBessel";
  c.shift = 0.2;
  c.background = 20.0;
  s.setNumber("TFBackground.EditYs", c.background);
  c.truth = tarvex::currentFitModel(s);
  c.truth.layers.resize(1);
  c.truth.layers[0].thickness = {8.0, true, 0.0};
  c.truth.layers[0].concentration = {FitParameter{0.3, true, 0.0}, FitParameter{0.6, true, 0.0}};
  c.truth.layers[0].sigma = {1.0, true, 0.0};
  c.truth.shift.free = true;
  c.truth.background.free = true;
  const auto curve = curveFor(s, c.truth, c.series);  // the background is in the plotted curve
  measure(s, curve, c.shift, 10, 2024);
  c.start = c.truth;
  c.start.layers[0].thickness.value = 8.0 * 0.75;
  c.start.layers[0].concentration[0].value = 0.3 * 1.25;
  c.start.layers[0].concentration[1].value = 0.6 * 0.8;
  c.start.layers[0].sigma.value = 1.3;
  c.startShift = c.shift * 1.25;
  c.startBackground = c.background * 0.75;
  c.expected = {{"Layer 1 thickness (Å)", 8.0},   {"Layer 1 Hf concentration", 0.3},
                {"Layer 1 O concentration", 0.6}, {"Layer 1 edge σ (Å)", 1.0},
                {"Shift (keV)", c.shift},         {"Background", c.background}};
  return c;
}

void BM_FitIonScatteringBessel(benchmark::State& state) {
  bench::QuietHost host;
  Session s{host};
  const Case c = ionScatteringBesselCase(s);
  runFit(state, s, c);
}
BENCHMARK(BM_FitIonScatteringBessel)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// ---- One evaluation of the fit against one call of its model --------------------------------
//
// An evaluation builds the layered profiles, calls the model and reads the counts at the
// measured points; the model call alone gets the same profiles ready-made. Both alternate
// between two thicknesses, so that every call calculates a new curve; both start with the
// collision tables built.

// The fit of a case at its start, and its free values with the first thickness 0.5 A deeper.
struct Evaluation {
  std::unique_ptr<tarvex::LayeredFit> fit;
  std::vector<double> values[2];
  std::vector<tarvex::profile> profiles[2];
};

Evaluation evaluationOf(Session& s, const Case& c) {
  toStart(s, c);
  s.guarded([&] { s.CalcSimulation(); });
  Evaluation e;
  e.fit = std::make_unique<tarvex::LayeredFit>(
      tarvex::sessionFitProblem(s, tarvex::currentFitModel(s)));
  tarvex::FitModel m = c.start;
  std::vector<double> v;
  for (const tarvex::FitLayer& l : m.layers) {
    v.push_back(l.thickness.value);
    for (const FitParameter& p : l.concentration)
      v.push_back(p.value);
    v.push_back(l.sigma.value);
  }
  v.push_back(c.startShift);
  v.push_back(c.startBackground);
  e.values[0] = v;
  e.profiles[0] = e.fit->profilesOf(m);
  v.front() += 0.5;
  m.layers.front().thickness.value += 0.5;
  e.values[1] = v;
  e.profiles[1] = e.fit->profilesOf(m);
  return e;
}

void BM_EvaluationResonantNumeric(benchmark::State& state) {
  bench::QuietHost host;
  Session s{host};
  const Case c = resonantNumericCase(s);
  Evaluation e = evaluationOf(s, c);
  int k = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(e.fit->evaluate(e.values[k ^= 1]));
}
BENCHMARK(BM_EvaluationResonantNumeric)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ModelCallResonantNumeric(benchmark::State& state) {
  bench::QuietHost host;
  Session s{host};
  const Case c = resonantNumericCase(s);
  Evaluation e = evaluationOf(s, c);
  tarvex::NraNumericInput in = tarvex::readNraNumericInput(s);
  tarvex::NraNumericCache cache;
  tarvex::numericExcitationCurve(in, cache);
  int k = 0;
  for (auto _ : state) {
    k ^= 1;
    in.depth = e.profiles[k].front();
    benchmark::DoNotOptimize(tarvex::numericExcitationCurve(in, cache));
  }
}
BENCHMARK(BM_ModelCallResonantNumeric)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EvaluationIonScatteringBessel(benchmark::State& state) {
  bench::QuietHost host;
  Session s{host};
  const Case c = ionScatteringBesselCase(s);
  Evaluation e = evaluationOf(s, c);
  int k = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(e.fit->evaluate(e.values[k ^= 1]));
}
BENCHMARK(BM_EvaluationIonScatteringBessel)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ModelCallIonScatteringBessel(benchmark::State& state) {
  bench::QuietHost host;
  Session s{host};
  const Case c = ionScatteringBesselCase(s);
  Evaluation e = evaluationOf(s, c);
  tarvex::ClosedFormInput in = tarvex::readClosedFormInput(s, false);
  std::map<std::string, tarvex::profile> profiles[2];
  for (int k = 0; k < 2; ++k) {
    std::size_t j = 0;
    for (const auto& [name, el] : in.elements)
      profiles[k][name] = e.profiles[k][j++];
  }
  int k = 0;
  for (auto _ : state) {
    k ^= 1;
    in.profiles = profiles[k];
    benchmark::DoNotOptimize(tarvex::besselSpectra(in));
  }
}
BENCHMARK(BM_ModelCallIonScatteringBessel)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
