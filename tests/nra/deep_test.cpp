#include "nra/deep.h"
#include "nra/numeric.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace tarvex {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kN = 6e22;  // atoms/cm^3 of the test layers

// Stopping S(E) = a (E / 1 MeV)^-p eV/Å, tabulated: log-log interpolation makes it exact, so
// closed forms of the power law are the reference.
struct PowerLaw {
  double a = 8.0;
  double p = 0.6;
  double omega2 = 400.0;  // eV^2/Å, constant
  double s(double eEv) const { return a * std::pow(eEv / 1e6, -p); }
  // Depth (Å) over which the mean energy falls from e0 to e1.
  double depth(double e0, double e1) const {
    return (std::pow(e0 / 1e6, p + 1) - std::pow(e1 / 1e6, p + 1)) * 1e6 / ((p + 1) * a);
  }
  // The energy after a depth t from e0.
  double after(double e0, double t) const {
    return 1e6 * std::pow(std::pow(e0 / 1e6, p + 1) - t * (p + 1) * a / 1e6, 1.0 / (p + 1));
  }
  LayerLoss loss() const {
    LayerLoss l;
    for (int i = 0; i <= 60; ++i) {
      const double e = 1e4 * std::pow(1e3, i / 60.0);  // 10 keV .. 10 MeV
      l.energyEv.push_back(e);
      l.stopping.push_back(s(e));
      l.straggling.push_back(omega2);
    }
    return l;
  }
};

DeepLayer layer(double thicknessAngstrom, double fraction, const LayerLoss& loss) {
  DeepLayer l;
  l.atomsPerCm3 = kN;
  l.arealDensity = thicknessAngstrom * kN * 1e-23;
  l.reactingFraction = fraction;
  l.loss = loss;
  return l;
}

CrossSection lorentzian(double erKeV, double widthEv) {
  CrossSection xs;
  xs.resonanceKeV = erKeV;
  xs.widthEv = widthEv;
  return xs;
}

double at(const DeepNraResult& r, double eKeV) {
  const auto it = std::lower_bound(r.energyKeV.begin(), r.energyKeV.end(), eKeV - 1e-9);
  return r.yield[static_cast<std::size_t>(it - r.energyKeV.begin())];
}

// Beam energy (keV) where the curve first rises through half of `level`.
double halfRise(const DeepNraResult& r, double level) {
  for (std::size_t i = 1; i < r.yield.size(); ++i)
    if (r.yield[i] >= 0.5 * level) {
      const double t = (0.5 * level - r.yield[i - 1]) / (r.yield[i] - r.yield[i - 1]);
      return r.energyKeV[i - 1] + t * (r.energyKeV[i] - r.energyKeV[i - 1]);
    }
  return NAN;
}

// A thick target under a narrow resonance: the plateau is the resonance's area over the
// stopping cross section at the resonance, fraction * N * (pi Gamma / 2) / S(E_R), straggling
// and beam spread only smearing it.
TEST(DeepNra, ThickTargetPlateauIsTheAreaOverTheStopping) {
  const PowerLaw law;
  DeepNraInput in;
  in.layers = {layer(2e5, 0.25, law.loss())};  // 20 µm: far more than the curve's 60 keV
  in.crossSection = lorentzian(1000.0, 100.0);
  in.beamFwhmEv = 300.0;
  in.e0MinKeV = 990.0;
  in.e0MaxKeV = 1060.0;
  in.e0StepEv = 500.0;
  const DeepNraResult r = deepExcitationCurve(in);
  const double plateau = 0.25 * 1000.0 / law.s(1e6);  // Å per keV
  EXPECT_NEAR(at(r, 1040.0), plateau, 1e-3 * plateau);
  // The plateau falls as the stopping at the resonance does not change: flat within 1e-3.
  EXPECT_NEAR(at(r, 1060.0), plateau, 1e-3 * plateau);
  EXPECT_EQ(r.yieldUnit, "Å of the reacting nuclide per keV");
  // Half the plateau where the beam meets the resonance at the surface.
  EXPECT_NEAR(halfRise(r, plateau), 1000.0, 0.1);
}

// The same with a constant cross section over a wide energy range: the yield is the integral of
// dE / S(E) over the energies the cross section covers, a closed form of the power law.
TEST(DeepNra, ThickTargetYieldOfAConstantCrossSectionFollowsTheStopping) {
  const PowerLaw law;
  DeepNraInput in;
  in.layers = {layer(1e6, 1.0, law.loss())};
  in.crossSection.kind = CrossSection::Kind::Table;
  in.crossSection.tableKeV = {500.0, 3000.0};
  in.crossSection.tableSigma = {2.0, 2.0};
  in.crossSection.units = "mb";
  in.e0MinKeV = 800.0;
  in.e0MaxKeV = 2000.0;
  in.e0StepEv = 200e3;
  const DeepNraResult r = deepExcitationCurve(in);
  for (std::size_t i = 0; i < r.energyKeV.size(); ++i) {
    const double e0 = r.energyKeV[i] * 1e3;
    // 2 mb times the atoms/cm^2 between e0 and 500 keV.
    const double expected = 2e-27 * kN * 1e-8 * law.depth(e0, 5e5);
    EXPECT_NEAR(r.yield[i], expected, 2e-4 * expected) << e0;
  }
  EXPECT_EQ(r.yieldUnit, "per incident ion");
}

// A film under an overlayer: its edge sits where the overlayer's energy loss puts it, and the
// beam's energy distribution arriving at the film has the mean and variance of the transport
// equations, V(E) = S(E)^2 [V0 / S(E0)^2 + Omega^2 * integral of dE / S^3].
TEST(DeepNra, BuriedFilmEdgeAndTheBeamArrivingAtIt) {
  const PowerLaw law;
  const double over = 2e4;  // 2 µm overlayer
  DeepNraInput in;
  in.layers = {layer(over, 0.0, law.loss()), layer(1e4, 0.5, law.loss())};
  in.crossSection = lorentzian(1000.0, 100.0);
  in.beamFwhmEv = 500.0;
  const double edge = law.after(1e6, -over) / 1e3;  // the E0 that arrives with E_R
  ASSERT_NEAR(law.depth(edge * 1e3, 1e6), over, 1e-6 * over);
  in.e0MinKeV = edge - 15.0;
  in.e0MaxKeV = edge + 15.0;
  in.e0StepEv = 100.0;
  const DeepNraResult r = deepExcitationCurve(in);

  // Mean energy and variance on arriving at the film, for the highest beam energy.
  const double e0 = in.e0MaxKeV * 1e3;
  const double e1 = law.after(e0, over);
  EXPECT_NEAR(r.layerTopEnergyKeV[1] * 1e3, e1, 1e-5 * (e0 - e1));
  const double v0 = std::pow(500.0 / 2.3548200450309493, 2);
  // integral of dE/S^3 from e1 to e0, S^-3 = a^-3 (E/1e6)^(3p).
  const double q = 3 * law.p + 1;
  const double integral =
      (std::pow(e0 / 1e6, q) - std::pow(e1 / 1e6, q)) * 1e6 / (q * std::pow(law.a, 3));
  const double v1 = std::pow(law.s(e1), 2) * (v0 / std::pow(law.s(e0), 2) + law.omega2 * integral);
  EXPECT_NEAR(std::pow(r.layerTopSigmaEv[1], 2), v1, 2e-3 * v1);

  // The edge at half the plateau of the buried film.
  const double plateau = 0.5 * 1000.0 / law.s(1e6);
  EXPECT_NEAR(halfRise(r, plateau), edge, 0.05);
  EXPECT_NEAR(at(r, edge + 10.0), plateau, 3e-3 * plateau);
}

// Halving the depth step changes the curve by less than 1e-4 of its peak.
TEST(DeepNra, HalvingTheDepthStepChangesTheCurveByLessThan1e4OfItsPeak) {
  const PowerLaw law;
  DeepNraInput in;
  in.layers = {layer(1e4, 0.0, law.loss()), layer(5e3, 1.0, law.loss())};
  in.layers[1].profile = {{0.0, 0.2}, {2000.0, 1.0}, {4000.0, 0.5}};
  in.crossSection = lorentzian(1000.0, 100.0);
  in.doppler = {300.0, 0.0, 1.007276, 27.0};
  const double edge = law.after(1e6, -1e4) / 1e3;
  in.e0MinKeV = std::round(edge) - 10.0;
  in.e0MaxKeV = std::round(edge) + 50.0;
  in.e0StepEv = 250.0;
  const DeepNraResult coarse = deepExcitationCurve(in);
  in.widthFraction /= 2;
  in.maxStepEv /= 2;
  const DeepNraResult fine = deepExcitationCurve(in);
  const double peak = *std::max_element(fine.yield.begin(), fine.yield.end());
  for (std::size_t i = 0; i < fine.yield.size(); ++i)
    EXPECT_NEAR(coarse.yield[i], fine.yield[i], 1e-4 * peak) << fine.energyKeV[i];
}

// A surface film far thinner than anything else: its curve is the cross section averaged over
// the beam's Gaussian, compared here with a brute-force Voigt integral across the regimes the
// model treats differently (beam narrow or wide against the resonance, near and in the tails).
TEST(DeepNra, ThinFilmCurveIsTheVoigtProfile) {
  LayerLoss constant;
  constant.constantStopping = 1e-6;  // the beam loses nothing in the film
  constant.constantStraggling = 0.0;
  for (double beam : {10.0, 100.0, 1000.0, 5000.0}) {  // FWHM, eV; the resonance is 100 eV wide
    DeepNraInput in;
    in.layers = {layer(1.0, 1.0, constant)};
    in.crossSection = lorentzian(1000.0, 100.0);
    in.beamFwhmEv = beam;
    in.e0MinKeV = 980.0;
    in.e0MaxKeV = 1020.0;
    in.e0StepEv = 250.0;
    const DeepNraResult r = deepExcitationCurve(in);
    const double s = beam / 2.3548200450309493;
    for (std::size_t i = 0; i < r.energyKeV.size(); i += 4) {
      const double m = r.energyKeV[i] * 1e3;
      // Simpson over the Gaussian, +-10 s, 20000 intervals.
      const int n = 20000;
      const double h = 20 * s / n;
      double sum = 0.0;
      for (int k = 0; k <= n; ++k) {
        const double e = m - 10 * s + k * h;
        const double g = std::exp(-0.5 * std::pow((e - m) / s, 2)) / (std::sqrt(2 * kPi) * s);
        const double x = (e - 1e6) / 50.0;
        sum += (k == 0 || k == n ? 1 : (k % 2 ? 4 : 2)) * g / (1 + x * x);
      }
      // A unit-area Lorentzian per keV over a 1 Å film.
      const double voigt = sum * h / 3 * 1000.0 / (kPi * 50.0);
      EXPECT_NEAR(r.yield[i], voigt, 2e-5 * 1000.0 / (kPi * 50.0) + 2e-4 * voigt)
          << beam << " eV at " << m;
    }
  }
}

// A Breit-Wigner written as a table (as an R33 file holds it) gives the analytic Breit-Wigner's
// curve, up to the table's linear interpolation.
TEST(DeepNra, BreitWignerTableMatchesTheAnalyticBreitWigner) {
  const PowerLaw law;
  DeepNraInput in;
  in.layers = {layer(3e3, 0.6, law.loss())};
  in.crossSection.kind = CrossSection::Kind::BreitWigner;
  in.crossSection.resonanceKeV = 1000.0;
  in.crossSection.widthEv = 500.0;
  in.crossSection.peak = 80.0;
  in.crossSection.units = "mb/sr";
  in.beamFwhmEv = 200.0;
  in.e0MinKeV = 995.0;
  in.e0MaxKeV = 1030.0;
  in.e0StepEv = 500.0;
  const DeepNraResult analytic = deepExcitationCurve(in);
  CrossSection table;
  table.kind = CrossSection::Kind::Table;
  table.units = "mb/sr";
  for (double e = 900.0; e <= 1100.0 + 1e-9; e += 0.005) {  // 5 eV steps, 1 % of the width
    table.tableKeV.push_back(e);
    const double x = (e - 1000.0) / 0.25;
    table.tableSigma.push_back(80.0 / (1 + x * x));
  }
  in.crossSection = table;
  const DeepNraResult tabulated = deepExcitationCurve(in);
  const double peak = *std::max_element(analytic.yield.begin(), analytic.yield.end());
  for (std::size_t i = 0; i < analytic.yield.size(); ++i)
    EXPECT_NEAR(tabulated.yield[i], analytic.yield[i], 2e-3 * peak) << analytic.energyKeV[i];
  EXPECT_EQ(analytic.yieldUnit, "per incident ion and sr");
  // Per µC and msr: the ions in a µC, times 1e-3 sr.
  in.perMicroCoulombMsr = true;
  const DeepNraResult perCharge = deepExcitationCurve(in);
  EXPECT_NEAR(perCharge.yield[10], tabulated.yield[10] * 1e-6 / 1.602176634e-19 * 1e-3,
              1e-9 * perCharge.yield[10]);
  EXPECT_EQ(perCharge.yieldUnit, "counts per µC and msr");
}

TEST(DeepNra, DopplerWidthOfTheFreeGasAndTheDebyeSolid) {
  // Free gas: variance 2 E kT m1 / M2. Protons at 992 keV on 27Al at 300 K.
  const Doppler d{300.0, 0.0, 1.007276, 26.98154};
  const double kt = 8.617333262e-5 * 300.0;
  EXPECT_NEAR(d.sigmaAt(992e3), std::sqrt(2 * 992e3 * kt * 1.007276 / 26.98154), 1e-9);
  EXPECT_NEAR(d.sigmaAt(992e3) * 2.3548200450309493, 103.04, 0.01);  // FWHM, eV
  EXPECT_EQ(Doppler{}.sigmaAt(1e6), 0.0);
  // Lamb's effective temperature: the zero-point motion 3 theta / 8 at 0 K, and
  // T (1 + (theta/T)^2 / 20) well above theta.
  EXPECT_NEAR(debyeEffectiveTemperature(0.0, 428.0), 3 * 428.0 / 8, 1e-9);
  EXPECT_NEAR(debyeEffectiveTemperature(4280.0, 428.0), 4280.0 * (1 + 0.01 / 20), 0.05);
  EXPECT_GT(debyeEffectiveTemperature(300.0, 428.0), 300.0);
  EXPECT_EQ(debyeEffectiveTemperature(300.0, 0.0), 300.0);
}

TEST(DeepNra, RefusesWhatHasNoCurveNamingIt) {
  const PowerLaw law;
  const auto base = [&] {
    DeepNraInput in;
    in.layers = {layer(1e4, 0.0, law.loss()), layer(1e4, 0.5, law.loss())};
    in.crossSection = lorentzian(1000.0, 100.0);
    in.e0MinKeV = 1000.0;
    in.e0MaxKeV = 1100.0;
    in.e0StepEv = 100.0;
    return in;
  };
  struct Case {
    const char* what;
    void (*change)(DeepNraInput&);
    const char* words;
  };
  const Case cases[] = {
      {"no layers", [](DeepNraInput& in) { in.layers.clear(); }, "no layers"},
      {"no density", [](DeepNraInput& in) { in.layers[1].atomsPerCm3 = 0; }, "Layer 2"},
      {"thickness", [](DeepNraInput& in) { in.layers[0].arealDensity = -1; }, "Layer 1"},
      {"fraction", [](DeepNraInput& in) { in.layers[1].reactingFraction = 1.5; },
       "between 0 and 1"},
      {"temperature", [](DeepNraInput& in) { in.doppler.temperatureK = -3; }, "below 0"},
      {"width", [](DeepNraInput& in) { in.crossSection.widthEv = 0; }, "width"},
      {"table",
       [](DeepNraInput& in) {
         in.crossSection.kind = CrossSection::Kind::Table;
         in.crossSection.tableKeV = {1.0};
         in.crossSection.tableSigma = {1.0};
       },
       "fewer than two"},
      {"unreachable", [](DeepNraInput& in) { in.e0MaxKeV = 1010.0; }, "reaches the cross section"},
      {"energies", [](DeepNraInput& in) { in.e0StepEv = 0; }, "beam energies"},
  };
  for (const auto& c : cases) {
    DeepNraInput in = base();
    c.change(in);
    try {
      deepExcitationCurve(in);
      ADD_FAILURE() << c.what << ": not refused";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos)
          << c.what << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace tarvex

namespace tarvex {
namespace {

// A surface film a few collisions thick: with the single-collision statistics on, the curve is
// the numeric model's (the same Poisson mixture of n-fold 1/E^2 losses), not the Gaussian one.
TEST(DeepNraSurface, ThinSurfaceFilmFollowsTheNumericModel) {
  const double stopping = 548.56;                  // eV/Å
  const double omega = 6.62;                       // sqrt(keV^2 per 1000 Å)
  const double variance = omega * omega * 1000.0;  // eV^2/Å
  NraNumericInput num;
  num.table = {151.0, 10.0, stopping, omega, true, 0.0, 0, 0};
  num.broadening = {true, 0.5, 300.0};
  num.depth = profile(10.0, 0.005);
  for (int i = 0; i < 1000; ++i)  // 5 Å
    num.depth.values[static_cast<std::size_t>(i)] = 1.0;
  NraNumericCache cache;
  const spectro reference = numericExcitationCurve(num, cache).curve;

  LayerLoss constant;
  constant.constantStopping = stopping;
  constant.constantStraggling = variance;
  DeepNraInput in;
  in.layers = {layer(5.0, 1.0, constant)};
  in.crossSection = lorentzian(151.0, 1.0);
  in.beamFwhmEv = 300.0;
  in.surface.on = true;
  in.e0MinKeV = 150.5;
  in.e0MaxKeV = 154.5;
  in.e0StepEv = 20.0;
  const DeepNraResult deep = deepExcitationCurve(in);
  EXPECT_GT(deep.handOverDepth, 5.0);  // the whole film is in the single-collision zone
  in.surface.on = false;
  const DeepNraResult gaussian = deepExcitationCurve(in);

  const auto referenceAt = [&](double eKeV) {
    const double bin = ((eKeV - 151.0) * 1000.0 + reference.offset) / reference.step;
    const auto i = static_cast<std::size_t>(std::floor(bin));
    const double t = bin - std::floor(bin);
    return reference.values[i] + t * (reference.values[i + 1] - reference.values[i]);
  };
  double refPeak = 0.0, deepPeak = 0.0, gaussPeak = 0.0;
  for (std::size_t i = 0; i < deep.energyKeV.size(); ++i) {
    refPeak = std::max(refPeak, referenceAt(deep.energyKeV[i]));
    deepPeak = std::max(deepPeak, deep.yield[i]);
    gaussPeak = std::max(gaussPeak, gaussian.yield[i]);
  }
  double worstDeep = 0.0, worstGauss = 0.0;
  for (std::size_t i = 0; i < deep.energyKeV.size(); ++i) {
    const double ref = referenceAt(deep.energyKeV[i]) / refPeak;
    worstDeep = std::max(worstDeep, std::abs(deep.yield[i] / deepPeak - ref));
    worstGauss = std::max(worstGauss, std::abs(gaussian.yield[i] / gaussPeak - ref));
  }
  // (The numeric model's collisions per Å use the exact mean loss per collision, this one the
  // binned table's, so that its mean loss is the stopping times the depth: they differ by 1 %.)
  EXPECT_LT(worstDeep, 0.015);
  EXPECT_GT(worstGauss, 0.02);  // the Gaussian misses the shape of a few collisions
}

// Deeper than the hand-over the loss is Gaussian with Bohr's variance: the single-collision
// mixture there has the stopping's mean and the straggling's variance, and a curve with the
// statistics on differs from the Gaussian one only near the surface; the change is continuous.
TEST(DeepNraSurface, GaussianLimitAndAContinuousHandOver) {
  StoppingSources protons(StoppingIon::Proton);
  const StoppingRequest si{"Si", parseDensity("2.33"), 400.0, StragglingModel::Bohr};
  const StoppingResult r = computeStopping(protons, si);
  NraTableParams p{
      400.0, 30.0, r.evPerAngstrom, std::sqrt(r.stragglingEv2PerAngstrom * 1e-3), true, 0.0, 0, 0};
  const NraTableBuild b = buildNraTable(p);
  ASSERT_TRUE(b.refusal.empty()) << b.refusal;
  const double perAngstrom = r.evPerAngstrom / b.collision.lambda;
  const double nc = static_cast<double>(b.table.size()) - 1;
  const double mu = nc - 6 * std::sqrt(nc);  // the hand-over
  const double x = mu / perAngstrom;
  double m0 = 0, m1 = 0, m2 = 0;
  double pk = std::exp(-mu);
  for (std::size_t k = 0; k < b.table.size(); ++k) {
    for (std::size_t i = 0; i < b.table[k].values.size(); ++i) {
      const double w = pk * b.table[k].values[i] * b.grid.step;
      const double e = static_cast<double>(i) * b.grid.step;
      m0 += w;
      m1 += w * e;
      m2 += w * e * e;
    }
    pk *= mu / static_cast<double>(k + 1);
  }
  const double mean = m1 / m0;
  EXPECT_NEAR(m0, 1.0, 1e-3);  // the table's grid ends at 30 keV
  EXPECT_NEAR(mean, r.evPerAngstrom * x, 0.01 * r.evPerAngstrom * x);
  EXPECT_NEAR(m2 / m0 - mean * mean, r.stragglingEv2PerAngstrom * x,
              0.03 * r.stragglingEv2PerAngstrom * x);

  // A thick silicon target: the plateau is the same with or without the statistics, and the
  // curve with them has no step where the Gaussian takes over.
  DeepNraInput in;
  in.layers = {layer(2e4, 1.0, tabulatedLayerLoss(protons, si, 100.0, 600.0))};
  in.layers[0].atomsPerCm3 = r.atomsPerCm3;
  in.layers[0].arealDensity = 2e4 * r.atomsPerCm3 * 1e-23;
  in.crossSection = lorentzian(400.0, 50.0);
  in.beamFwhmEv = 100.0;
  in.surface = {true, 30.0};
  in.e0MinKeV = 399.5;
  in.e0MaxKeV = 406.0;
  in.e0StepEv = 10.0;
  const DeepNraResult with = deepExcitationCurve(in);
  in.surface.on = false;
  const DeepNraResult without = deepExcitationCurve(in);
  ASSERT_GT(with.handOverDepth, 0.0);
  const double plateau = without.yield.back();
  EXPECT_NEAR(with.yield.back(), plateau, 1e-3 * plateau);

  // A 20 Å marker at depths across the hand-over: its peak's area is the cross section's area
  // times its atoms over the stopping whatever the loss distribution; the ratio of its height
  // with and without the statistics changes smoothly with the depth and is 1 from the hand-over
  // on (no step where the Gaussian takes over).
  const double xh = with.handOverDepth;
  in.beamFwhmEv = 0.0;
  in.crossSection = lorentzian(400.0, 20.0);
  std::vector<double> ratios;
  for (double d : {0.3, 0.5, 0.6, 0.8, 0.95, 1.0, 1.2}) {
    const double top = d * xh;
    in.layers[0].profile = {{0.0, 0.0}, {top, 0.0}, {top, 1.0}, {top + 20, 1.0}, {top + 20, 0.0}};
    const double loss = r.evPerAngstrom * top / 1000.0;  // keV to reach the marker
    const double spread = 8.0 * std::sqrt(r.stragglingEv2PerAngstrom * top) / 1000.0;
    in.e0MinKeV = 400.0 + loss - 3.0 - spread;
    in.e0MaxKeV = 400.0 + loss + 3.0 + spread;
    in.e0StepEv = 25.0;
    // Over beam energies the marker's peak is stretched by S(E0) / S(E_R): the beam loses less
    // on its way in at the higher energy.
    StoppingRequest atE0 = si;
    atE0.energyKeV = 400.0 + loss;
    const double stretch = computeStopping(protons, atE0).evPerAngstrom / r.evPerAngstrom;
    double height[2] = {0.0, 0.0};
    for (bool on : {true, false}) {
      in.surface.on = on;
      const DeepNraResult m = deepExcitationCurve(in);
      double area = 0.0;
      for (double y : m.yield)
        area += y * in.e0StepEv;
      // 20 Å (a sum over steps in eV of a yield per keV is 1000 times the area in keV)
      const double expected = 20.0 * 1000.0 * stretch;
      // (With the statistics, the blend of the two curves over the beam energy moves a marker's
      // area by up to 1 % where the marker's peak straddles the blend.)
      EXPECT_NEAR(area, expected, (on ? 1e-2 : 2e-3) * expected)
          << d << (on ? " with" : " without");
      height[on ? 0 : 1] = *std::max_element(m.yield.begin(), m.yield.end());
    }
    ratios.push_back(height[0] / height[1]);
    if (d > 1.0) {
      EXPECT_NEAR(ratios.back(), 1.0, 1e-6) << d;
    }
  }
  for (std::size_t i = 1; i < ratios.size(); ++i)
    EXPECT_NEAR(ratios[i], ratios[i - 1], 0.05) << i;
}

}  // namespace
}  // namespace tarvex
