// Ion-scattering "Calculate" for a uniform 10 A sample of seven elements, each model beside a
// direct reference of the same steps (serial depth sums, O(N^2) convolutions and kernels, one
// power-and-factorial Poisson weight per collision number, one table build per element).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/meis_readers.h"
#include "bench_support.h"
#include "core/physics.h"

namespace {

using tarvex::spectro;

using bench::QuietHost;

const std::string& crossSectionFile() {
  // A smooth dsigma/dE from 1 to 500 eV (about the stopping of the frame's defaults).
  static const std::string path = [] {
    const std::string p = "/tmp/tarvex_bench_cs.dat";
    std::ofstream f(p);
    for (int i = 1; i <= 500; ++i)
      f << i << ' ' << 1.4e-17 / (1.0 + 0.01 * i * i / 25.0) << '\n';
    return p;
  }();
  return path;
}

struct Sample {
  QuietHost host;
  tarvex::Session session{host};
  explicit Sample(const char* model) {
    tarvex::registerAllActions(session);
    tarvex::ControlStore& c = session.controls();
    session.setCheckedAsClick("TFOptions.RadioMEIS", true);
    session.setCheckedAsClick(model, true);
    c.setText("TFExternCS.EditCSFile", crossSectionFile());
    c.setText("TFExternCS.EditSCCFile", "");
    session.setCheckedAsClick("TFExternCS.RadioSCCBasic", true);
    struct El {
      const char *name, *z, *m, *qtd;
    };
    const El els[] = {{"Hafnium174", "72", "174", "0.146"},
                      {"Hafnium176", "72", "176", "4.8"},
                      {"Hafnium177", "72", "177", "17"},
                      {"Hafnium178", "72", "178", "24.9"},
                      {"Hafnium179", "72", "179", "12.43"},
                      {"Hafnium180", "72", "180", "32.03"},
                      {"Zr", "40", "91.2", "10"}};
    for (const El& e : els) {
      c.setText("TFMEIS.EditElname", e.name);
      c.setText("TFMEIS.EditZ", e.z);
      c.setText("TFMEIS.EditMass", e.m);
      c.setText("TFMEIS.EditSCL", "216.8");
      session.click("TFMEIS.ButtonAdd");
      auto& p = session.state().elementProfiles[e.name];
      for (double& v : p.values)
        v = std::stod(e.qtd);
    }
  }
};

// ---- Direct references ----------------------------------------------------------------------

using bench::directConvolve;

void directGauss(spectro& s, double fwhm) {
  bench::directBroaden(s, fwhm, true);
}

void directExponential(spectro& s, double rate) {
  const double a0 = s.integral();
  const double ls = rate * s.step;
  std::vector<double> r(s.values.size(), 0.0);
  for (std::size_t i = 0; i < r.size(); ++i) {
    for (std::size_t k = 0; k <= i; ++k)
      r[i] += ls * s.values[k] * std::exp(-ls * double(i - k));
  }
  s.values = r;
  s.normalize(a0);
}

double directWeight(const tarvex::profile& p, int n, double a) {
  long double s = 0.0L;
  for (int i = 0; i < p.count; ++i) {
    const long double x = static_cast<long double>(i) * p.step;
    s += p.values[i] * std::pow(x, n) * std::exp(-a * i * p.step);
  }
  return static_cast<double>(1000.0L * std::pow(static_cast<long double>(a), n) /
                             tarvex::factorial(n) * s);
}

using Reference = std::map<std::string, spectro> (*)(Sample&);

tarvex::MeisRun runOf(Sample& s) {
  tarvex::MeisRun r = tarvex::readMeisRun(s.session);
  return r;
}

std::map<std::string, spectro> referenceClosedForm(Sample& s, bool gaussian) {
  std::map<std::string, spectro> out;
  const tarvex::MeisRun run = runOf(s);
  for (const auto& [name, el] : s.session.state().elementMap) {
    tarvex::ElementSetup e = tarvex::prepareElement(el, run);
    const tarvex::profile& p = s.session.state().elementProfiles.at(name);
    spectro sp(500, 10.0);
    const double beta = e.dedxEf * 2000.0 / e.sEf, nu = e.dedxEf * beta;
    const double sb = run.spread * 0.0004246645150331238, m = 0.02 * run.e0;
    const double sefG = run.straggling * 0.0001 * e.fW;
    for (int i = 0; i < p.count; ++i) {
      const double c = p.values[i], x = p.step * i * 0.001, lambda = nu * x;
      for (int j = 0; j < 500; ++j) {
        const long double v = gaussian
                                  ? tarvex::gaussianLoss(j / 100.0, sb, sefG, e.dedxEf, x, m) * c
                              : j == 0 ? (std::exp(-lambda) * c) * 100.0
                                       : tarvex::besselLossDensity(c, lambda, beta, j * 0.01);
        sp.values[j] += p.step * e.sigma * static_cast<float>(v);
      }
    }
    sp.offset = gaussian ? 1000.0 * e.k * run.e0 + 1000.0 * m : e.k * run.e0 * 1000.0;
    if (!gaussian) directGauss(sp, run.spread);
    directExponential(sp, 1.0 / el.sigma);
    out[name] = sp;
  }
  return out;
}

std::map<std::string, spectro> referenceGaussian(Sample& s) {
  return referenceClosedForm(s, true);
}
std::map<std::string, spectro> referenceBessel(Sample& s) {
  return referenceClosedForm(s, false);
}

std::map<std::string, spectro> referenceTables(Sample& s, bool external) {
  std::map<std::string, spectro> out;
  const tarvex::MeisRun run = runOf(s);
  for (const auto& [name, el] : s.session.state().elementMap) {
    const tarvex::ElementSetup e = tarvex::prepareElement(el, run);
    const tarvex::profile& p = s.session.state().elementProfiles.at(name);
    std::vector<spectro> t;
    double rate = 0.0;
    if (external) {
      t.assign(101, spectro(5000, 1.0));
      t[0].values[0] = 0.9f;
      std::ifstream f(crossSectionFile());
      int i = 0;
      double v = 0.0;
      while (f >> i >> v)
        t[1].values[i] = static_cast<float>(v);
      double sum = 0.0;
      for (double x : t[1].values)
        sum += x;
      constexpr double kDeg = 3.141592653589793 / 180.0;
      rate = sum * 2.8e22 *
             (e.k / std::cos(run.thetaIn * kDeg) + 1 / std::cos(run.thetaOut * kDeg)) * 1e-8;
      t[1].normalize();
    } else {
      const tarvex::CollisionRange r =
          tarvex::collisionEnergyRange(run.e0, run.m1, e.dedxEf, e.sEf);
      rate = e.dedxEf / r.mean;
      t.assign(73, spectro(500, 10.0));
      t[0].values[0] = static_cast<float>(0.1);
      t[1].makeSingleCollision(500, 10.0, r.emin, r.emax);
    }
    for (std::size_t k = 2; k < t.size(); ++k)
      t[k] = directConvolve(t[1], t[k - 1]);
    spectro sp(t[1].size(), t[1].step);
    for (std::size_t k = 0; k < t.size(); ++k) {
      const double w = directWeight(p, static_cast<int>(k), rate);
      for (int j = 0; j < sp.size(); ++j)
        sp.values[j] += (t[k].values[j] * w) * (p.step * e.sigma);
    }
    sp.offset = e.k * run.e0 * 1000.0;
    if (external) {
      directExponential(sp, 1.0 / el.sigma);
      directGauss(sp, run.spread);
    } else {
      directGauss(sp, run.spread);
      directExponential(sp, 1.0 / el.sigma);
    }
    out[name] = sp;
  }
  return out;
}

std::map<std::string, spectro> referenceNumeric(Sample& s) {
  return referenceTables(s, false);
}
std::map<std::string, spectro> referenceExternal(Sample& s) {
  return referenceTables(s, true);
}

struct Model {
  const char* radio;
  std::map<std::string, spectro> tarvex::WorkingState::*spectra;
  Reference reference;
};

const Model kModels[] = {
    {"TFOptions.RadioGauss", &tarvex::WorkingState::gaussianSpectra, referenceGaussian},
    {"TFOptions.RadioAnalitic", &tarvex::WorkingState::besselSpectra, referenceBessel},
    {"TFOptions.RadioNumeric", &tarvex::WorkingState::numericSpectra, referenceNumeric},
    {"TFOptions.RadioExternal", &tarvex::WorkingState::extCsSpectra, referenceExternal}};

void BM_MeisCalculate(benchmark::State& state) {
  const Model& m = kModels[state.range(0)];
  {
    Sample check(m.radio);
    check.session.run("CalcSimulation");
    const auto want = m.reference(check);
    double worst = 0.0;
    for (const auto& [name, ref] : want) {
      const spectro& got = (check.session.state().*m.spectra).at(name);
      double peak = 0.0, dev = 0.0;
      for (int j = 0; j < ref.size(); ++j) {
        peak = std::max(peak, std::fabs(ref.values[j]));
        dev = std::max(dev, std::fabs(got.values[j] - ref.values[j]));
      }
      if (got.size() != ref.size() || got.offset != ref.offset) dev = 1.0, peak = 1.0;
      worst = std::max(worst, dev / peak);
    }
    state.counters["maxRelDev"] = worst;
    if (worst > 1e-9) {
      state.SkipWithError("result differs from the direct reference");
      return;
    }
  }
  for (auto _ : state) {
    state.PauseTiming();
    Sample s(m.radio);
    state.ResumeTiming();
    s.session.run("CalcSimulation");
  }
}

void BM_MeisCalculateCached(benchmark::State& state) {
  Sample s(kModels[state.range(0)].radio);
  s.session.run("CalcSimulation");
  for (auto _ : state)
    s.session.run("CalcSimulation");
}

void BM_MeisCalculateDirect(benchmark::State& state) {
  Sample s(kModels[state.range(0)].radio);
  s.session.run("Updateplot");
  for (auto _ : state)
    benchmark::DoNotOptimize(kModels[state.range(0)].reference(s));
}

BENCHMARK(BM_MeisCalculate)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MeisCalculateCached)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MeisCalculateDirect)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
