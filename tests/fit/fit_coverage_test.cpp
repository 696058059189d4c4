// The fit's uncertainties checked by repetition: many data sets drawn with seeded Poisson noise
// from one known curve, each fitted; the truth must lie within one standard uncertainty of the
// result in about 68 % of the fits and within two in about 95 %, without a bias of note, and the
// deviance must average its expected value. Among the cases: an ion-scattering spectrum without
// background (most points expect less than a count) at a high and at a low peak, and a
// resonant excitation curve over a low background.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "fit/fit.h"
#include "fit/fit_fixture.h"
#include "support/recording_host.h"

namespace tarvex {
namespace {

using testing::FitFixture;

// Fewer data sets in a build with checks (the sanitizer build): the tolerances follow.
#ifdef NDEBUG
constexpr int kRealisations = 160;
#else
constexpr int kRealisations = 40;
#endif

struct CoverageCase {
  const char* name;
  bool nra;
  double dose;
  double background;  // flat, counts
  bool backgroundFree;
  int every;  // every n-th point of the curve is measured
};

struct Ensemble {
  int fits = 0;
  std::map<std::string, std::vector<double>> pulls;       // (found - true) / uncertainty
  double deviance = 0.0, expected = 0.0, variance = 0.0;  // sums over the fits
  double peak = 0.0;
};

Ensemble runEnsemble(const CoverageCase& c, unsigned seed) {
  FitFixture f;
  Session& s = f.session;
  std::string series = "ChartPrinc.SeriesPrinc";
  FitModel truth = defaultFitModel();
  if (c.nra) {
    truth.layers[0].thickness = {5.0, true, 0.0};
    truth.layers[0].concentration = {FitParameter{0.8, true, 0.0}};
    truth.layers[0].sigma = {1.0, false, 0.0};
  } else {
    // A fast, coarse spectrum of hafnium, as the other ion-scattering fits use.
    f.fastHafniumSpectrum();
    series = "ChartPrinc.SeriesBessel";
    truth.layers[0].thickness = {5.0, true, 0.0};
    truth.layers[0].concentration = {FitParameter{0.4, true, 0.0}};
    truth.layers[0].sigma = {1.0, false, 0.0};
  }
  s.setNumber("TFOptions.EditMult", c.dose);
  s.setNumber("TFBackground.EditYs", c.background);
  truth.background.free = c.backgroundFree;
  setFitModel(s, truth);
  // The curve of the truth, background included.
  std::vector<ChartPoint> curve;
  EXPECT_TRUE(s.guarded([&] {
    s.state().nraProfile = layeredProfile(s.state().nraProfile, truth.layers, 0);
    for (auto& [name, p] : s.state().elementProfiles)
      p = layeredProfile(p, truth.layers, 0);
    s.CalcSimulation();
    curve = s.charts().series(series).points;
  }));
  Ensemble out;
  for (const ChartPoint& p : curve)
    out.peak = std::max(out.peak, p.y);
  const std::map<std::string, double> expected = {
      {"Layer 1 thickness (Å)", truth.layers[0].thickness.value},
      {c.nra ? "Layer 1 concentration" : "Layer 1 Hf concentration",
       truth.layers[0].concentration[0].value},
      {"Background", c.background}};
  std::mt19937 rng(seed);
  for (int k = 0; k < kRealisations; ++k) {
    auto& points = s.state().measuredPoints;
    points.clear();
    for (std::size_t i = 0; i < curve.size(); i += static_cast<std::size_t>(c.every)) {
      std::poisson_distribution<int> counts(std::max(curve[i].y, 1e-12));
      points.push_back({static_cast<float>(curve[i].x), static_cast<float>(counts(rng))});
    }
    points.push_back({0.0f, 0.0f});  // the entry the reader leaves after the last line
    // Each fit starts 10 % off the truth.
    FitModel start = truth;
    start.layers[0].thickness.value *= 1.1;
    start.layers[0].concentration[0].value *= 0.9;
    s.setNumber("TFBackground.EditYs", c.background * 1.1);
    setFitModel(s, start);
    s.run("Fit");
    const FitReport& r = lastFitReport(s);
    if (s.lastCommandFailed() || !r.done) {
      ADD_FAILURE() << c.name << ": fit " << k
                    << " failed: " << (f.host.messages.empty() ? "" : f.host.messages.back());
      continue;
    }
    ++out.fits;
    for (const FitValue& v : r.values) {
      EXPECT_GT(v.uncertainty, 0.0) << v.name;
      out.pulls[v.name].push_back((v.value - expected.at(v.name)) / v.uncertainty);
    }
    out.deviance += r.deviance;
    out.expected += r.expectedDeviance;
    out.variance += r.devianceSpread * r.devianceSpread;
  }
  return out;
}

TEST(FitCoverage, UncertaintiesCoverTheTruthAsOftenAsTheyShould) {
  const CoverageCase cases[] = {
      {"ion scattering without background, high peak", false, 18.0, 0.0, false, 4},
      {"ion scattering without background, peak of 10 counts", false, 0.044, 0.0, false, 4},
      {"resonant NRA over a background of 3 counts", true, 40.0, 3.0, true, 4},
  };
  const double n = kRealisations;
  // Three standard errors of a fraction measured in n fits.
  const auto tolerance = [n](double fraction) {
    return 3.0 * std::sqrt(fraction * (1 - fraction) / n);
  };
  unsigned seed = 20261211;
  for (const CoverageCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Ensemble e = runEnsemble(c, seed++);
    ASSERT_EQ(e.fits, kRealisations);
    std::printf("%s (peak %.0f counts, %d fits):\n", c.name, e.peak, e.fits);
    for (const auto& [name, pulls] : e.pulls) {
      SCOPED_TRACE(name);
      double within1 = 0.0, within2 = 0.0, mean = 0.0;
      for (const double z : pulls) {
        within1 += std::fabs(z) <= 1.0 ? 1.0 : 0.0;
        within2 += std::fabs(z) <= 2.0 ? 1.0 : 0.0;
        mean += z;
      }
      within1 /= n;
      within2 /= n;
      mean /= n;
      std::printf("  %s: within 1 sigma %.3f, within 2 sigma %.3f, mean pull %+.3f\n", name.c_str(),
                  within1, within2, mean);
      EXPECT_NEAR(within1, 0.6827, tolerance(0.6827));
      EXPECT_NEAR(within2, 0.9545, tolerance(0.9545));
      // The bias, in standard uncertainties: three standard errors of the mean pull.
      EXPECT_LT(std::fabs(mean), 3.0 / std::sqrt(n));
    }
    const double deviance = e.deviance / n, expected = e.expected / n;
    std::printf("  deviance: mean %.1f, expected %.1f (spread of one fit %.1f)\n", deviance,
                expected, std::sqrt(e.variance / n));
    EXPECT_NEAR(deviance, expected, 3.0 * std::sqrt(e.variance / n / n));
  }
}

}  // namespace
}  // namespace tarvex
