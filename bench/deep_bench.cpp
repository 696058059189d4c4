// The layered resonant-NRA model on the buried-film case: a 1 µm Al film under 11 µm of Si,
// stopping from the tables, a tabulated (Breit-Wigner) cross section, beam spread and Doppler
// broadening, 845 beam energies; beside a plain direct reference of the same physics: fixed
// small depth steps (Euler for the mean and the variance) and the Gaussian average of the
// cross section by Simpson's rule over +-8 standard deviations at every step.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/parallel.h"
#include "nra/deep.h"

namespace {

using namespace tarvex;

DeepNraInput buriedFilm() {
  const StoppingSources protons(StoppingIon::Proton);
  DeepNraInput in;
  const auto layer = [&](const char* formula, const char* density, double um, double f) {
    const StoppingRequest r{formula, parseDensity(density), 1683.57, StragglingModel::Bohr};
    DeepLayer l;
    l.name = formula;
    l.atomsPerCm3 = computeStopping(protons, r).atomsPerCm3;
    l.arealDensity = um * 1e4 * l.atomsPerCm3 * 1e-23;
    l.reactingFraction = f;
    l.loss = tabulatedLayerLoss(protons, r, 1.0, 2200.0);
    return l;
  };
  in.layers = {layer("Si", "2.33", 11.0, 0.0), layer("Al", "2.70", 1.0, 1.0)};
  in.crossSection.kind = CrossSection::Kind::Table;
  in.crossSection.units = "mb/sr";
  for (double e = 1680.0; e <= 1687.0 + 1e-9; e += 0.01) {  // a 100 eV Breit-Wigner, 10 eV steps
    const double x = (e - 1683.57) / 0.05;
    in.crossSection.tableKeV.push_back(e);
    in.crossSection.tableSigma.push_back(50.0 / (1 + x * x));
  }
  in.doppler = {300.0, 0.0, 1.007276, 26.98};
  in.beamFwhmEv = 300.0;
  in.e0MinKeV = 1681.57;
  in.e0MaxKeV = 2103.57;
  in.e0StepEv = 500.0;
  return in;
}

double sigmaAt(const CrossSection& xs, double eEv) {
  return xs.at(eEv);
}

// The plain reference: Euler steps of 2 eV of mean loss (200 Å steps in the overlayer), and
// Simpson's rule with 400 intervals for every Gaussian average.
std::vector<double> direct(const DeepNraInput& in) {
  std::vector<double> out;
  for (double e0 = in.e0MinKeV * 1000.0; e0 <= in.e0MaxKeV * 1000.0 + 1e-6; e0 += in.e0StepEv) {
    double e = e0;
    double v = std::pow(in.beamFwhmEv / 2.3548200450309493, 2);
    double y = 0.0;
    for (const DeepLayer& l : in.layers) {
      const double t = l.thicknessAngstrom();
      for (double x = 0.0; x < t;) {
        const double s = l.loss.stoppingAt(e);
        const double dx = std::min(t - x, l.reactingFraction > 0.0 ? 2.0 / s : 200.0);
        const double em = e - 0.5 * dx * s;
        if (l.reactingFraction > 0.0) {
          const double d = in.doppler.sigmaAt(em);
          const double sd = std::sqrt(v + d * d);
          const int n = 400;
          const double h = 16.0 * sd / n;
          double sum = 0.0;
          for (int k = 0; k <= n; ++k) {
            const double ee = em - 8.0 * sd + k * h;
            const double g = std::exp(-0.5 * std::pow((ee - em) / sd, 2)) / (2.5066282746 * sd);
            sum += (k == 0 || k == n ? 1 : (k % 2 ? 4 : 2)) * g * sigmaAt(in.crossSection, ee);
          }
          y += l.reactingFraction * l.atomsPerCm3 * 1e-8 * dx * sum * h / 3.0 * 1e-27;
        }
        v += dx * (l.loss.stragglingAt(e) - 2.0 * l.loss.stoppingSlopeAt(e) * v);
        e -= dx * s;
        x += dx;
      }
    }
    out.push_back(y);
  }
  return out;
}

void BM_LayeredBuriedFilm(benchmark::State& state) {
  const DeepNraInput in = buriedFilm();
  const int before = workerThreads();
  setWorkerThreads(static_cast<int>(state.range(0)));
  DeepNraResult r;
  for (auto _ : state) {
    r = deepExcitationCurve(in);
    benchmark::DoNotOptimize(r.yield.data());
  }
  setWorkerThreads(before);
  state.counters["energies"] = static_cast<double>(r.yield.size());
}

void BM_LayeredBuriedFilmDirect(benchmark::State& state) {
  const DeepNraInput in = buriedFilm();
  const DeepNraResult model = deepExcitationCurve(in);
  std::vector<double> ref;
  for (auto _ : state) {
    ref = direct(in);
    benchmark::DoNotOptimize(ref.data());
  }
  const double peak = *std::max_element(ref.begin(), ref.end());
  double dev = 0.0;
  for (std::size_t i = 0; i < ref.size(); ++i)
    dev = std::max(dev, std::abs(ref[i] - model.yield[i]));
  state.counters["maxRelDev"] = dev / peak;
}

}  // namespace

BENCHMARK(BM_LayeredBuriedFilm)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LayeredBuriedFilmDirect)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK_MAIN();
