#include "nra/analytic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/collision_table.h"
#include "core/physics.h"

#include "support/recording_host.h"

namespace tarvex {
namespace {

using testing::SessionFixture;

// Area, mean and variance on the keV scale: bin 0 holds the point mass times s^2 = 1/(s*0.001).
struct Moments {
  double area, mean, variance;
};
Moments moments(const spectro& c) {
  double a = 0, m = 0, m2 = 0;
  for (int i = 0; i < c.size(); ++i) {
    const double w = c.values[i] * 0.01;  // keV bin width
    const double e = i * 0.01;
    a += w;
    m += w * e;
    m2 += w * e * e;
  }
  return {a, m / a, m2 / a - (m / a) * (m / a)};
}

TEST(AnalyticCurve, GridIsTenElectronvolts) {
  profile p(10.0, 0.005);
  const spectro c = analyticExcitationCurve(p, 5.0, 548.56, 6.62);
  EXPECT_EQ(c.size(), 500);
  EXPECT_EQ(c.step, 10.0);
  EXPECT_EQ(c.offset, 0.0);
}

TEST(AnalyticCurve, SurfacePointHasNoLoss) {
  profile p(10.0, 0.005);
  p.values[0] = 0.5;
  const spectro c = analyticExcitationCurve(p, 5.0, 548.56, 6.62);
  EXPECT_EQ(c.values[0], static_cast<double>(static_cast<float>(0.5 * 0.005 * 100)));
  for (int i = 1; i < c.size(); ++i)
    ASSERT_EQ(c.values[i], 0.0) << i;
}

TEST(AnalyticCurve, SingleDepthHasTheStoppingAndStragglingMoments) {
  const double s = 548.56, omega = 6.62;
  for (int k : {400, 1000, 1800}) {
    profile p(10.0, 0.005);
    p.values[k] = 1.0;
    const double d = k * 0.005;
    const Moments m = moments(analyticExcitationCurve(p, 30.0, s, omega));
    EXPECT_NEAR(m.area, 0.005, 0.005 * 2e-3) << k;
    EXPECT_NEAR(m.mean, s * d * 0.001, s * d * 0.001 * 0.01) << k;
    EXPECT_NEAR(m.variance, omega * omega * d * 0.001, omega * omega * d * 0.001 * 0.05) << k;
  }
}

TEST(AnalyticCurve, ThickLayersStayFinite) {
  // 1 um at 3.365 eV/A: e^-mu alone underflows a double long before the end of the layer.
  profile p(9800.0, 1.0);
  for (double& v : p.values)
    v = 1.0;
  const spectro c = analyticExcitationCurve(p, 50.0, 3.365, 1.4287);
  double peak = 0.0;
  for (double v : c.values) {
    ASSERT_TRUE(std::isfinite(v));
    peak = std::max(peak, v);
  }
  EXPECT_GT(peak, 0.0);
  // The plateau: the middle of the layer (about 16.5 keV of loss) is as high as near the surface.
  EXPECT_NEAR(c.values[1650] / c.values[300], 1.0, 0.05);
  EXPECT_LT(c.values[4900], 1e-3 * peak);  // beyond the back edge (33 keV)
}

// The density in double precision must store exactly the floats of the extended-precision
// density, from the surface (mu = 0) through thin and thick layers to exponents beyond the
// range of a double, for the few tail values that round to subnormal floats and for negative
// concentrations; rows of every length modulo the four bins done side by side.
TEST(BesselLossValues, StoreTheFloatsOfTheExtendedPrecisionDensity) {
  const double gs[] = {0.05, 2.0, 73.0, 1100.0, 25000.0};
  const double mus[] = {0.0, 1e-9, 3e-4, 0.02, 0.7, 5.0, 48.0, 650.0, 2.0e4};
  const double cs[] = {1.0, 0.146, 32.03, -2.5};
  std::vector<float> row;
  long compared = 0;
  for (double g : gs) {
    for (double mu : mus) {
      for (double c : cs) {
        for (double scale : {1.0, 0.005, 1e-30}) {
          row.assign(static_cast<std::size_t>(300 + compared % 7), -1.0f);
          besselLossRow(c, mu, g, scale, row);
          EXPECT_EQ(row[0], -1.0f);  // bin 0 is the caller's
          for (std::size_t j = 1; j < row.size(); ++j) {
            const double e = static_cast<double>(j) * 10.0 * 0.001;
            const float want = static_cast<float>(besselLossDensity(c, mu, g, e) * scale);
            const float one = besselLossValue(c, mu, g, e, scale);
            ASSERT_EQ(std::memcmp(&want, &row[j], sizeof want), 0)
                << "row g " << g << " mu " << mu << " c " << c << " bin " << j;
            ASSERT_EQ(std::memcmp(&want, &one, sizeof want), 0)
                << "value g " << g << " mu " << mu << " c " << c << " bin " << j;
            ++compared;
          }
        }
      }
    }
  }
  EXPECT_GT(compared, 100000);
}

// Long rows reach deep into the tails, where the exponent leaves the range of a double and
// every value is a float zero: the row holds exactly the floats of the per-bin density there
// too (zeros of the concentration's sign), on both sides of the peak, while its support (what
// is evaluated at all) stops where the tail can no longer reach the smallest float.
TEST(BesselLossValues, DeepTailsAreTheZerosOfTheDensity) {
  struct Case {
    double c, mu, g, scale;
  };
  // The default stopping and straggling (g = 25/keV) at 10 A (mu = 137) and 1 um, a thick
  // layer (mu beyond 700: the rising side underflows too), a negative concentration and a
  // scale that brings the whole row near the smallest float.
  const Case cases[] = {{1.0, 137.0, 25.03, 0.005},  {1.0, 1.37e4, 25.03, 0.005},
                        {-2.5, 48.0, 73.0, 1.0},     {0.146, 0.7, 1100.0, 1.0},
                        {32.03, 2.0e4, 0.05, 1e-30}, {1.0, 900.0, 2.0, 1e-40}};
  std::vector<float> row;
  for (const Case& k : cases) {
    const std::size_t bins = 30001;
    row.assign(bins, -1.0f);
    besselLossRow(k.c, k.mu, k.g, k.scale, row);
    for (std::size_t j = 1; j < bins; ++j) {
      const float want =
          besselLossValue(k.c, k.mu, k.g, static_cast<double>(j) * 10.0 * 0.001, k.scale);
      ASSERT_EQ(std::memcmp(&want, &row[j], sizeof want), 0)
          << "mu " << k.mu << " g " << k.g << " c " << k.c << " bin " << j;
    }
    const BesselSupport s = besselLossSupport(k.c, k.mu, k.g, k.scale, bins);
    ASSERT_LE(s.lo, s.hi);
    for (std::size_t j = 1; j < bins; ++j) {
      if (j >= s.lo && j < s.hi) continue;
      ASSERT_EQ(row[j], 0.0f) << "mu " << k.mu << " bin " << j << " outside the support";
    }
  }
  // The default layer's tail ends within 40 keV of loss; the thick layer's support starts
  // well above bin 1 and ends well below the grid's end.
  EXPECT_LT(besselLossSupport(1.0, 137.0, 25.03, 0.005, 400000).hi, 4000u);
  const BesselSupport thick = besselLossSupport(1.0, 1.37e4, 25.03, 0.005, 400000);
  EXPECT_GT(thick.lo, 30000u);
  EXPECT_LT(thick.hi, 120000u);
}

// The curve is the depth sum of the per-bin densities, however long the grid: a reference sum
// of besselLossValue over every bin, to the single precision the curve is stored in.
TEST(AnalyticCurve, LongGridsHoldTheSumOfThePerBinDensities) {
  profile p(10.0, 0.05);
  for (int k = 0; k < p.count; ++k)
    p.values[k] = 0.5 + 0.5 * std::sin(0.3 * k);
  const double emax = 80.0, s = 548.56, omega = 6.62;
  const spectro c = analyticExcitationCurve(p, emax, s, omega);
  const double g = 2.0 * s / (omega * omega);
  std::vector<double> want(static_cast<std::size_t>(c.size()), 0.0);
  for (int k = 0; k < p.count; ++k) {
    const double mu = s * g * (k * p.step * 0.001);
    want[0] += static_cast<float>(std::exp(-mu) * p.values[k] * p.step * 100.0);
    for (int i = 1; i < c.size(); ++i)
      want[i] += besselLossValue(p.values[k], mu, g, i * 10.0 * 0.001, p.step);
  }
  int nonZero = 0;
  for (int i = 0; i < c.size(); ++i) {
    EXPECT_NEAR(c.values[i], want[i], 1e-6 * std::fabs(want[i])) << i;
    nonZero += want[i] != 0.0 ? 1 : 0;
  }
  EXPECT_GT(nonZero, 100);
  EXPECT_LT(nonZero, c.size() / 2);  // the grid reaches far beyond the layer's losses
}

// A row started further up leaves the bins below its start alone.
TEST(BesselLossValues, RowFromAGivenBin) {
  std::vector<float> whole(40), part(40, 7.0f);
  besselLossRow(1.0, 0.5, 3.0, 1.0, whole);
  besselLossRow(1.0, 0.5, 3.0, 1.0, part, 13);
  for (std::size_t j = 0; j < 13; ++j)
    EXPECT_EQ(part[j], 7.0f);
  for (std::size_t j = 13; j < 40; ++j)
    EXPECT_EQ(part[j], whole[j]);
}

TEST(CalcAnaliticExcitation, BroadensAndPlots) {
  SessionFixture f;
  f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  profile& p = f.session.state().nraProfile;
  for (int i = 0; i < p.count; ++i)
    p.values[i] = 1.0;
  f.session.run("CalcSimulation");
  const spectro& c = f.session.state().analyticExcitation;
  const double sigma = 100.0 * 0.4246645150331238;
  EXPECT_EQ(c.size(), 500 + 200 + static_cast<int>(std::ceil(8 * sigma / 10)));
  EXPECT_DOUBLE_EQ(c.offset, 1000.0 + 4 * sigma);
  EXPECT_EQ(f.host.statuses, (std::vector<std::string>{
                                 "Calculating the analitic excitation curve...",
                                 "Lorentzian convolution...", "Gaussian convolution...", "Done!"}));
  EXPECT_EQ(f.session.state().undoProfile.unpack().values, p.values);
  // A plateau is kept as one value, and "Undo" gives back every point after an edit.
  EXPECT_LT(f.session.state().undoProfile.bytes(), 256u);
  const profile calculated = p;
  p.values[7] = -0.0;
  p.values[1500] = std::nan("");
  f.session.run("Undo");
  EXPECT_EQ(
      std::memcmp(p.values.data(), calculated.values.data(), p.values.size() * sizeof(double)), 0);
  EXPECT_EQ(p.count, calculated.count);
  const auto& pts = f.series("ChartPrinc.SeriesBessel").points;
  ASSERT_EQ(pts.size(), static_cast<std::size_t>(c.size()));
  EXPECT_DOUBLE_EQ(pts[0].x, 151.0 - c.offset * 0.001);
  EXPECT_DOUBLE_EQ(pts[10].y, c.values[10] * 8);
  EXPECT_EQ(f.series("ChartNRPSpec.SeriesBessel").points.size(), pts.size());
}

TEST(CalcAnaliticExcitation, WithoutConvolveOrProfileNothingIsBroadened) {
  SessionFixture f;
  f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  f.session.run("CalcSimulation");  // all concentrations 0: a flat zero curve
  EXPECT_EQ(f.session.state().analyticExcitation.size(), 500);
  EXPECT_EQ(f.session.state().analyticExcitation.integral(), 0.0);
  f.session.state().nraProfile.values[100] = 1.0;
  f.session.setCheckedAsClick("TFOptions.CheckConv", false);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.session.state().analyticExcitation.size(), 500);
  EXPECT_EQ(f.session.state().analyticExcitation.offset, 0.0);
  EXPECT_GT(f.session.state().analyticExcitation.integral(), 0.0);
}

TEST(CalcAnaliticExcitation, StepEditDoesNotMatter) {
  SessionFixture f;
  f.set("TFNRP.EditStep", "4");
  f.session.setCheckedAsClick("TFOptions.CheckConv", false);
  f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.session.state().analyticExcitation.step, 10.0);
  EXPECT_EQ(f.session.state().analyticExcitation.size(), 500);
}

TEST(CalcAnaliticExcitation, ImpossibleInputsAreRefusedBeforeAnythingChanges) {
  struct {
    const char *field, *value, *message;
  } cases[] = {
      {"TFNRP.EditMaxE", "-1", "Max Energy (keV): -1 leaves no energy grid: it must be positive"},
      {"TFNRP.EditMaxE", "0", "Max Energy (keV): 0 leaves no energy grid: it must be positive"},
      {"TFNRP.EditMaxE", "4e5",
       "Max Energy (keV): 400000 needs 4E7 bins of 10 eV, 8E8 values in memory; the limit is 1E8 "
       "values"},
      {"TFNRP.EditS", "0",
       "Straggling: 0 leaves the loss per collision undefined: it must not be 0"},
      {"TFNRP.Editdedx", "0", "Stopping Power: 0 must be positive"},
      {"TFNRP.EditGauss", "-100",
       "Gaussian spread (eV): -100 is not a width: it must be zero or positive"},
      // Widths absurd for the window: refused before the curve is computed.
      {"TFNRP.EditGauss", "99999999",
       "Gaussian spread (eV): 99999999 is far wider than the calculated window (500 bins of 10 "
       "eV): its broadening would add 3.4E7 bins; the window takes widths up to 2.94E4 eV"},
      {"TFNRP.EditLor", "12345678",
       "Resonance FWHM (eV): 12345678 is far wider than the calculated window (500 bins of 10 "
       "eV): its broadening would add 2.47E7 bins; the window takes widths up to 5E3 eV"},
  };
  for (const auto& c : cases) {
    SessionFixture f;
    f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
    profile& p = f.session.state().nraProfile;
    for (int i = 0; i < p.count; ++i)
      p.values[static_cast<std::size_t>(i)] = 1.0;
    f.session.run("CalcSimulation");
    const spectro before = f.session.state().analyticExcitation;
    const profile undo = f.session.state().undoProfile.unpack();
    f.set(c.field, c.value);
    f.set("TFNRP.EditMaxDepth", "9.5");  // a profile update would drop points
    f.session.run("CalcSimulation");
    EXPECT_EQ(f.host.messages, std::vector<std::string>{c.message}) << c.value;
    EXPECT_EQ(f.host.statuses.back(), "Bessel calculation ERROR!") << c.value;
    EXPECT_EQ(f.session.state().analyticExcitation.values, before.values) << c.value;
    EXPECT_EQ(f.session.state().nraProfile.count, 2000) << c.value;
    EXPECT_EQ(f.session.state().undoProfile.unpack().values, undo.values) << c.value;
  }
}

TEST(CalcAnaliticExcitation, WorkBeyondTheLimitIsRefusedBeforeItStarts) {
  // 1e5 bins of 10 eV for each of 20 000 occupied points: 2e9 densities, minutes of work.
  SessionFixture f;
  f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  f.set("TFNRP.EditMaxE", "1000");
  f.set("TFNRP.EditMaxDepth", "100");
  f.session.run("Updateplot");
  for (double& v : f.session.state().nraProfile.values)
    v = 1.0;
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.host.messages,
            std::vector<std::string>{
                "Max Energy (keV): 1000 on a profile of 20000 occupied points needs 2E9 loss "
                "densities; the limit is 1E9 (a larger profile step or a smaller Max Energy "
                "brings it down)"});
  EXPECT_EQ(f.host.statuses.back(), "Bessel calculation ERROR!");
  EXPECT_TRUE(f.session.state().analyticExcitation.values.empty());
}

}  // namespace
}  // namespace tarvex
