// Resonant NRA engines against direct references of the same steps.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "core/physics.h"
#include "nra/analytic.h"

namespace {

using tarvex::profile;
using tarvex::spectro;

profile defaultFilled() {
  profile p(10.0, 0.005);
  for (double& v : p.values) v = 1.0;
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
  for (int i = 0; i < n; ++i) r.values[i] = static_cast<float>(acc[i]);
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

void BM_AnalyticExcitationDirect(benchmark::State& state) {
  const profile p = defaultFilled();
  for (auto _ : state) benchmark::DoNotOptimize(directAnalytic(p, 5.0, 548.56, 6.62));
}

BENCHMARK(BM_AnalyticExcitation)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AnalyticExcitationDirect)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
