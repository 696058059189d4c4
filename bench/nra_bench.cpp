// Resonant NRA engines against direct references of the same steps.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "app/app.h"
#include "bench_support.h"
#include "core/physics.h"
#include "nra/analytic.h"
#include "nra/numeric.h"
#include "process_bench_reference.h"

namespace {

using tarvex::profile;
using tarvex::spectro;

profile defaultFilled() {
  profile p(10.0, 0.005);
  for (double& v : p.values)
    v = 1.0;
  return p;
}

// The analytic curve as a plain double loop over points and bins, every point visited.
spectro directAnalytic(const profile& p, double emax, double s, double omega) {
  const int n = static_cast<int>(std::ceil(emax * 1000.0 / 10.0));
  std::vector<double> acc(n, 0.0);
  const double g = 2.0 * s / (omega * omega);
  const double h = s * g;
  for (int k = 0; k < p.count; ++k) {
    const double c = p.values[k];
    const double dx = p.step;
    const double mu = h * k * dx * 0.001;
    acc[0] += static_cast<float>(std::exp(-mu) * c * dx * 100.0);
    for (int i = 1; i < n; ++i) {
      const double e = i * 10.0 * 0.001;
      const double q = g * mu * e;
      const long double w = c * mu * g * std::exp(static_cast<long double>(-mu - g * e)) *
                            tarvex::besselIn(1, 2.0 * std::sqrt(q)) / std::sqrt(q + 1e-7) * dx;
      acc[i] += static_cast<float>(w);
    }
  }
  spectro r(n, 10.0);
  for (int i = 0; i < n; ++i)
    r.values[i] = static_cast<float>(acc[i]);
  return r;
}

void BM_AnalyticExcitation(benchmark::State& state) {
  const profile p = defaultFilled();
  const spectro fast = tarvex::analyticExcitationCurve(p, 5.0, 548.56, 6.62);
  const spectro slow = directAnalytic(p, 5.0, 548.56, 6.62);
  double peak = 0.0, dev = 0.0;
  for (int i = 0; i < slow.size(); ++i) {
    peak = std::max(peak, std::fabs(slow.values[i]));
    dev = std::max(dev, std::fabs(fast.values[i] - slow.values[i]));
  }
  state.counters["maxRelDev"] = dev / peak;
  if (dev > 1e-6 * peak) state.SkipWithError("result differs from the direct reference");
  for (auto _ : state) {
    benchmark::DoNotOptimize(tarvex::analyticExcitationCurve(p, 5.0, 548.56, 6.62));
  }
}

// A grid reaching far beyond the layer's losses ("Max Energy" 400, 1000 and 4000 keV on the
// default 10 A layer): only the support of each depth's distribution is evaluated.
void BM_AnalyticExcitationLongGrid(benchmark::State& state) {
  const profile p = defaultFilled();
  const double emax = static_cast<double>(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(tarvex::analyticExcitationCurve(p, emax, 548.56, 6.62));
}

void BM_AnalyticExcitationDirect(benchmark::State& state) {
  const profile p = defaultFilled();
  for (auto _ : state)
    benchmark::DoNotOptimize(directAnalytic(p, 5.0, 548.56, 6.62));
}

// ---- Numeric excitation curve: the whole "Calculate" of the default numeric case ----------

using bench::QuietHost;

struct NumericCase {
  QuietHost host;
  tarvex::Session session{host};
  NumericCase() {
    tarvex::registerAllActions(session);
    session.state().nraProfile.values.assign(2000, 1.0);
  }
};

// The depth weights of a profile are kept for the rest of the process (a re-run over the same
// profile reads them back). A timed first run gets a profile of its own, its surface point
// differing from every earlier run's by a trace, so that it weights every depth as a first run
// does.
void firstRunProfile(NumericCase& c, int run) {
  c.session.state().nraProfile.values[0] += run * 1e-12;
}

using bench::directCurve;
using bench::directTable;

void BM_NumericExcitationFull(benchmark::State& state) {
  {
    NumericCase check;
    check.session.run("CalcSimulation");
    const spectro& fast = check.session.state().numericExcitation;
    const spectro slow = directCurve(directTable(), check.session.state().nraProfile);
    double peak = 0.0, dev = 0.0;
    for (int i = 0; i < slow.size(); ++i) {
      peak = std::max(peak, std::fabs(slow.values[i]));
      dev = std::max(dev, std::fabs(fast.values[i] - slow.values[i]));
    }
    state.counters["maxRelDev"] = dev / peak;
    if (fast.size() != slow.size() || dev > 1e-12 * peak) {
      state.SkipWithError("result differs from the direct reference");
      return;
    }
  }
  int run = 0;
  for (auto _ : state) {
    state.PauseTiming();
    NumericCase c;
    firstRunProfile(c, ++run);
    state.ResumeTiming();
    c.session.run("CalcSimulation");
  }
}

void BM_NumericExcitationCached(benchmark::State& state) {
  NumericCase c;
  c.session.run("CalcSimulation");
  for (auto _ : state)
    c.session.run("CalcSimulation");
}

void BM_NumericExcitationFullDirect(benchmark::State& state) {
  NumericCase c;
  for (auto _ : state) {
    benchmark::DoNotOptimize(directCurve(directTable(), c.session.state().nraProfile));
  }
}

void BM_NumericExcitationCachedDirect(benchmark::State& state) {
  NumericCase c;
  const std::vector<spectro> table = directTable();
  for (auto _ : state)
    benchmark::DoNotOptimize(directCurve(table, c.session.state().nraProfile));
}

// A 1 um film at 1683.3 keV, Max Energy 50 keV, "Thickness" 9800 at the default 0.005 A step.
void BM_NumericExcitationThickFilm(benchmark::State& state) {
  int run = 0;
  for (auto _ : state) {
    state.PauseTiming();
    NumericCase c;
    tarvex::ControlStore& k = c.session.controls();
    k.setText("TFNRP.EditEnrg", "1683.3");
    k.setText("TFNRP.Editdedx", "3.365");
    k.setText("TFNRP.EditS", "1.4287");
    k.setText("TFNRP.EditMaxE", "50");
    k.setText("TFNRP.EditMaxDepth", "9800");
    c.session.run("Updateplot");
    k.setText("TFNRP.Editx2", "9800");
    c.session.run("Drawline");
    firstRunProfile(c, ++run);
    state.ResumeTiming();
    c.session.run("CalcSimulation");
  }
}

// Its cached re-run: the tables are reused, the weights over 1.96 million depths are redone.
void BM_NumericExcitationThickFilmCached(benchmark::State& state) {
  NumericCase c;
  tarvex::ControlStore& k = c.session.controls();
  k.setText("TFNRP.EditEnrg", "1683.3");
  k.setText("TFNRP.Editdedx", "3.365");
  k.setText("TFNRP.EditS", "1.4287");
  k.setText("TFNRP.EditMaxE", "50");
  k.setText("TFNRP.EditMaxDepth", "9800");
  c.session.run("Updateplot");
  k.setText("TFNRP.Editx2", "9800");
  c.session.run("Drawline");
  c.session.run("CalcSimulation");
  for (auto _ : state)
    c.session.run("CalcSimulation");
}

BENCHMARK(BM_NumericExcitationFull)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NumericExcitationFullDirect)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NumericExcitationCached)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NumericExcitationCachedDirect)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NumericExcitationThickFilm)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_NumericExcitationThickFilmCached)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(BM_AnalyticExcitation)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AnalyticExcitationDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnalyticExcitationLongGrid)
    ->Arg(400)
    ->Arg(1000)
    ->Arg(4000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
