// Collision tables, kernel broadening and convolution: the library against the direct sums.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/collision_table.h"
#include "core/convolution.h"
#include "core/parallel.h"
#include "core/profile.h"
#include "core/spectro.h"

namespace {

using tarvex::spectro;

// ---- Direct references, written out as the plain formulas --------------------------------

using bench::directConvolve;

void directBroadenGaussian(spectro& s, double fwhm) {
  bench::directBroaden(s, fwhm, true);
}

// ---- Cases ----------------------------------------------------------------------------------

struct TableCase {
  int bins;
  double step, emin, emax;
  int convolutions;
};
constexpr TableCase kDefaultNra{1241, 4.02999, 5.7571, 328.948, 257};
constexpr TableCase kThickFilm{8103, 6.17, 8.82, 3667.0, 1035};

std::vector<spectro> buildTable(const TableCase& c, int convolutions,
                                spectro (*conv)(const spectro&, const spectro&)) {
  std::vector<spectro> t;
  t.reserve(convolutions + 1);
  spectro one(c.bins, c.step);
  one.makeSingleCollision(c.bins, c.step, c.emin, c.emax);
  t.push_back(one);
  for (int k = 1; k <= convolutions; ++k)
    t.push_back(conv(one, t.back()));
  return t;
}

spectro libraryConvolve(const spectro& a, const spectro& b) {
  return tarvex::convolve(a, b);
}

// Largest deviation of got from want, relative to want's largest value.
double relativeDeviation(const spectro& got, const spectro& want) {
  double peak = 0.0, dev = 0.0;
  for (double v : want.values)
    peak = std::max(peak, std::fabs(v));
  for (std::size_t i = 0; i < want.values.size(); ++i) {
    dev = std::max(dev, std::fabs(got.values[i] - want.values[i]));
  }
  return peak > 0 ? dev / peak : dev;
}

bool checkEqual(benchmark::State& state, const std::vector<spectro>& got,
                const std::vector<spectro>& want) {
  double worst = 0.0;
  for (std::size_t k = 0; k < want.size(); ++k) {
    worst = std::max(worst, relativeDeviation(got[k], want[k]));
  }
  state.counters["maxRelDev"] = worst;
  if (worst > 1e-12) {
    state.SkipWithError("result differs from the direct reference");
    return false;
  }
  return true;
}

// (a) the default resonant-NRA collision table.
void BM_DefaultNraTable(benchmark::State& state) {
  if (!checkEqual(state, buildTable(kDefaultNra, kDefaultNra.convolutions, libraryConvolve),
                  buildTable(kDefaultNra, kDefaultNra.convolutions, directConvolve))) {
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(buildTable(kDefaultNra, kDefaultNra.convolutions, libraryConvolve));
  }
}
void BM_DefaultNraTableDirect(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(buildTable(kDefaultNra, kDefaultNra.convolutions, directConvolve));
  }
}

// (b) a 1 um aluminium film at the 1683 keV resonance, Max Energy 50 keV. The direct reference
// is timed over its first 100 convolutions (each costs the same); scale by 10.35.
void BM_ThickFilmTable(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  if (!checkEqual(state, buildTable(kThickFilm, n, libraryConvolve),
                  buildTable(kThickFilm, n, directConvolve))) {
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(buildTable(kThickFilm, kThickFilm.convolutions, libraryConvolve));
  }
}
void BM_ThickFilmTableDirect100(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(buildTable(kThickFilm, 100, directConvolve));
}

// (c) one Gaussian broadening.
spectro smoothCurve(int bins, double step) {
  spectro s(bins, step);
  for (int i = 0; i < bins; ++i)
    s.values[i] = 1.0 + std::sin(0.01 * i) * std::exp(-1e-4 * i);
  return s;
}

void BM_BroadenGaussian(benchmark::State& state) {
  const int bins = static_cast<int>(state.range(0));
  const double step = bins == 2000 ? 4.0 : 6.17;
  const double fwhm = bins == 2000 ? 100.0 : 1000.0;
  const spectro in = smoothCurve(bins, step);
  spectro fast = in, slow = in;
  fast.broadenGaussian(fwhm);
  directBroadenGaussian(slow, fwhm);
  if (!checkEqual(state, {fast}, {slow})) return;
  for (auto _ : state) {
    spectro s = in;
    s.broadenGaussian(fwhm);
    benchmark::DoNotOptimize(s.values.data());
  }
}
void BM_BroadenGaussianDirect(benchmark::State& state) {
  const int bins = static_cast<int>(state.range(0));
  const spectro in = smoothCurve(bins, bins == 2000 ? 4.0 : 6.17);
  for (auto _ : state) {
    spectro s = in;
    directBroadenGaussian(s, bins == 2000 ? 100.0 : 1000.0);
    benchmark::DoNotOptimize(s.values.data());
  }
}

// (d) one convolution of two full 5000-bin distributions.
void BM_ConvolveFull(benchmark::State& state) {
  const spectro a = smoothCurve(5000, 1.0);
  const spectro b = smoothCurve(5000, 1.0);
  if (!checkEqual(state, {tarvex::convolve(a, b)}, {directConvolve(a, b)})) return;
  for (auto _ : state)
    benchmark::DoNotOptimize(tarvex::convolve(a, b));
}
void BM_ConvolveFullDirect(benchmark::State& state) {
  const spectro a = smoothCurve(5000, 1.0);
  const spectro b = smoothCurve(5000, 1.0);
  for (auto _ : state)
    benchmark::DoNotOptimize(directConvolve(a, b));
}

// (e) Poisson weights of a 1 um film: "Thickness" 9800 at 0.005 A (1.96 million depths), up to
// 1035 collisions, 0.08 collisions per A. Checked against the single weights (each its own
// pass with powers and factorial in logarithms) at collision numbers from the surface's to the
// deepest point's. Argument: threads.
tarvex::profile thickFilmProfile() {
  tarvex::profile p(9800.0, 0.005);
  for (int i = 0; i < p.count; ++i)
    p.values[i] = 1.0 + 0.3 * std::sin(1e-5 * i);
  return p;
}

void BM_PoissonWeightsThickFilm(benchmark::State& state) {
  const int previous = tarvex::workerThreads();
  tarvex::setWorkerThreads(static_cast<int>(state.range(0)));
  const tarvex::profile p = thickFilmProfile();
  const std::vector<double> all = p.collisionWeights(1035, 0.08, 1.0);
  const double peak = *std::max_element(all.begin(), all.end());
  double worst = 0.0;
  for (int n : {0, 1, 2, 40, 150, 300, 500, 784, 900, 1000, 1035})
    worst = std::max(worst, std::fabs(all[n] - p.collisionWeight(n, 0.08, 1.0)) / peak);
  state.counters["maxRelDev"] = worst;
  if (worst > 1e-12) {
    state.SkipWithError("result differs from the direct reference");
  } else {
    for (auto _ : state)
      benchmark::DoNotOptimize(p.collisionWeights(1035, 0.08, 1.0));
  }
  tarvex::setWorkerThreads(previous);
}

// (f) Memory of a table build and of a broadening: the library writes each row of a table and
// each broadened curve once, into a new vector built from the transform's outputs with the zeros
// on either side. The reference is the same computation into a zero-filled vector that the
// convolution then writes over.
std::vector<spectro> tableZeroFilledRows(const TableCase& c) {
  std::vector<spectro> t;
  t.reserve(c.convolutions + 1);
  spectro one(c.bins, c.step);
  one.makeSingleCollision(c.bins, c.step, c.emin, c.emax);
  t.push_back(one);
  for (int k = 1; k <= c.convolutions; ++k) {
    spectro r;
    r.step = one.step;
    r.values = std::vector<double>(static_cast<std::size_t>(c.bins));
    tarvex::causalConvolve(one.values, t.back().values, r.values, one.step);
    t.push_back(std::move(r));
  }
  return t;
}

// Both on pages the process holds already: the freed table stays with the process between
// iterations (no trimming of the heap's top), as in a session that builds tables again and again.
void keepFreedMemory() {
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
}

void BM_TableRowsWrittenOnce(benchmark::State& state) {
  keepFreedMemory();
  const TableCase& c = state.range(0) == 0 ? kDefaultNra : kThickFilm;
  if (!checkEqual(state, buildTable(c, c.convolutions, libraryConvolve), tableZeroFilledRows(c))) {
    return;
  }
  for (auto _ : state)
    benchmark::DoNotOptimize(buildTable(c, c.convolutions, libraryConvolve));
}
void BM_TableRowsZeroFilled(benchmark::State& state) {
  keepFreedMemory();
  const TableCase& c = state.range(0) == 0 ? kDefaultNra : kThickFilm;
  for (auto _ : state)
    benchmark::DoNotOptimize(tableZeroFilledRows(c));
}

// Tables on pages the process has not touched yet, as in a program that has just started: each
// iteration runs table_fresh_child, a fresh process that builds the table and reports how long
// the build took (wall clock). Library: buildCollisionTable, whose rows are faulted in ahead on
// another core while the convolutions run. Reference: the same chain on one thread, every row
// a zero-filled vector written over. Both tables end in the same values (checked on the sum of
// the last bins of all rows). Argument: 0 the default table, 1 the film's.
struct ChildResult {
  double seconds = -1.0;
  double checksum = 0.0;
};

ChildResult runChild(int tableCase, int mode) {
  const std::string command = std::string(TARVEX_TABLE_FRESH_CHILD) + " " +
                              std::to_string(tableCase) + " " + std::to_string(mode);
  ChildResult r;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return r;
  if (std::fscanf(pipe, "%lf %lf", &r.seconds, &r.checksum) != 2) r.seconds = -1.0;
  if (pclose(pipe) != 0) r.seconds = -1.0;
  return r;
}

void freshProcess(benchmark::State& state, int mode) {
  const int tableCase = static_cast<int>(state.range(0));
  const ChildResult library = runChild(tableCase, 0), plain = runChild(tableCase, 1);
  if (library.seconds < 0 || plain.seconds < 0 || library.checksum != plain.checksum) {
    state.SkipWithError("the fresh builds failed or differ");
    return;
  }
  for (auto _ : state) {
    const ChildResult r = runChild(tableCase, mode);
    if (r.seconds < 0) {
      state.SkipWithError("a fresh build failed");
      return;
    }
    state.SetIterationTime(r.seconds);
  }
}

void BM_TableFreshProcess(benchmark::State& state) {
  freshProcess(state, 0);
}
void BM_TableFreshProcessOneThread(benchmark::State& state) {
  freshProcess(state, 1);
}

// The broadening with its result in a zero-filled vector.
void broadenGaussianZeroFilled(spectro& s, double fwhm) {
  const double sigma = fwhm * tarvex::kSigmaPerFwhm;
  const double a0 = s.integral();
  std::vector<double> v = s.values;
  v.resize(static_cast<std::size_t>(tarvex::gaussianReachBins(fwhm, s.step)) + s.values.size(),
           0.0);
  const double c = 4.0 * sigma / s.step;
  std::vector<double> kernel(v.size());
  for (std::size_t d = 0; d < kernel.size(); ++d) {
    const double x = (static_cast<double>(d) - c) * s.step;
    kernel[d] = std::exp(-0.5 * (x * x) / (sigma * sigma));
  }
  std::vector<double> r(v.size());
  tarvex::causalConvolve(v, kernel, r);
  s.values = std::move(r);
  s.normalize(a0);
  s.offset += 4.0 * sigma;
}

void BM_BroadenGaussianWrittenOnce(benchmark::State& state) {
  const spectro in = smoothCurve(1241, 4.03);
  spectro fast = in, plain = in;
  fast.broadenGaussian(100.0);
  broadenGaussianZeroFilled(plain, 100.0);
  if (!checkEqual(state, {fast}, {plain})) return;
  for (auto _ : state) {
    spectro s = in;
    s.broadenGaussian(100.0);
    benchmark::DoNotOptimize(s.values.data());
  }
}
void BM_BroadenGaussianZeroFilled(benchmark::State& state) {
  const spectro in = smoothCurve(1241, 4.03);
  for (auto _ : state) {
    spectro s = in;
    broadenGaussianZeroFilled(s, 100.0);
    benchmark::DoNotOptimize(s.values.data());
  }
}

BENCHMARK(BM_DefaultNraTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DefaultNraTableDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThickFilmTable)->Arg(kThickFilm.convolutions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThickFilmTableDirect100)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BroadenGaussian)->Arg(2000)->Arg(8103)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BroadenGaussianDirect)->Arg(2000)->Arg(8103)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvolveFull)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvolveFullDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PoissonWeightsThickFilm)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TableRowsWrittenOnce)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TableRowsZeroFilled)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TableFreshProcess)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(9);
BENCHMARK(BM_TableFreshProcessOneThread)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(9);
BENCHMARK(BM_BroadenGaussianWrittenOnce)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BroadenGaussianZeroFilled)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
