// The main chart shows the curves and the measured data of the selected mode only: a switch of
// mode hides the other mode's series, keeps them and shows them again on the way back.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "io/data_file.h"
#include "io/exports.h"
#include "support/recording_host.h"

namespace tarvex {
namespace {

using testing::SessionFixture;

const char* const kMainSeries[] = {"ChartPrinc.SeriesExp", "ChartPrinc.SeriesPrinc",
                                   "ChartPrinc.SeriesBessel", "ChartPrinc.SeriesGauss",
                                   "ChartPrinc.SeriesExtCS"};

// The energy range of every point the main chart shows.
std::pair<double, double> shownRange(SessionFixture& f) {
  double lo = 1e300;
  double hi = -1e300;
  for (const char* key : kMainSeries) {
    for (const ChartPoint& p : f.series(key).points) {
      lo = std::min(lo, p.x);
      hi = std::max(hi, p.x);
    }
  }
  return {lo, hi};
}

struct ModesFixture : SessionFixture {
  // A numeric excitation curve and measured points near the 151 keV resonance, then an
  // ion-scattering spectrum of the Gaussian model over 90-100 keV.
  ModesFixture() {
    spectro c(1000, 4.0);
    for (int i = 0; i < c.size(); ++i)
      c.values[i] = i < 500 ? 1.0 : 0.0;
    session.state().numericExcitation = c;
    EXPECT_TRUE(session.run("Preview"));
    loadDataContent(session, "/data/n15.dat", "150.5 2\n152 9\n154 8\n156 1\n157 0\n");
    meisMode();
    session.setCheckedAsClick("TFOptions.RadioGauss", true);
    set("TFMEIS.EditMaxDepth", "10");
    EXPECT_TRUE(session.run("Updateplot"));
    for (auto& [name, p] : session.state().elementProfiles) {
      for (double& v : p.values)
        v = 1.0;
    }
    EXPECT_TRUE(session.run("CalcSimulation"));
  }
};

TEST(ChartModes, EachModeShowsItsOwnCurvesAndData) {
  ModesFixture f;
  // Ion scattering: the Gaussian spectrum alone, within its window; the NRA data are kept.
  EXPECT_EQ(f.series("ChartPrinc.SeriesGauss").points.size(), 1000U);
  EXPECT_TRUE(f.series("ChartPrinc.SeriesPrinc").points.empty());
  EXPECT_TRUE(f.series("ChartPrinc.SeriesExp").points.empty());
  auto [lo, hi] = shownRange(f);
  EXPECT_GE(lo, 90.0);
  EXPECT_LT(hi, 100.0);
  EXPECT_EQ(f.session.charts().series("ChartPrinc.SeriesExp", ChartMode::Nra).points.size(), 5U);

  // Back to resonant NRA: its curve and data return, the spectrum is kept aside.
  f.session.setCheckedAsClick("TFOptions.RadioNRP", true);
  EXPECT_TRUE(f.series("ChartPrinc.SeriesGauss").points.empty());
  EXPECT_EQ(f.series("ChartPrinc.SeriesPrinc").points.size(), 1000U);
  EXPECT_EQ(f.series("ChartPrinc.SeriesExp").points.size(), 5U);
  EXPECT_EQ(f.series("ChartPrinc.SeriesExp").title, "Measured: n15.dat");
  std::tie(lo, hi) = shownRange(f);
  EXPECT_GE(lo, 150.0);
  EXPECT_LE(hi, 157.0);
  // A preview in this mode leaves the ion-scattering spectrum where it is.
  ASSERT_TRUE(f.session.run("Preview"));
  EXPECT_TRUE(f.series("ChartPrinc.SeriesGauss").points.empty());

  f.session.setCheckedAsClick("TFOptions.RadioMEIS", true);
  EXPECT_EQ(f.series("ChartPrinc.SeriesGauss").points.size(), 1000U);
  EXPECT_TRUE(f.series("ChartPrinc.SeriesPrinc").points.empty());

  // "Clear Plots" clears both modes.
  ASSERT_TRUE(f.session.run("ClearPlots"));
  f.session.setCheckedAsClick("TFOptions.RadioNRP", true);
  for (const char* key : kMainSeries)
    EXPECT_TRUE(f.series(key).points.empty()) << key;
}

// Data loaded in ion-scattering mode belong to it and replace the data of the other mode: one
// data set is loaded at a time.
TEST(ChartModes, DataBelongToTheModeTheyWereLoadedIn) {
  ModesFixture f;
  loadDataContent(f.session, "/data/hfo2.dat", "95 2\n96 9\n97 3\n");
  EXPECT_EQ(f.series("ChartPrinc.SeriesExp").points.size(), 3U);
  EXPECT_EQ(f.series("ChartPrinc.SeriesExp").title, "Measured: hfo2.dat");
  f.session.setCheckedAsClick("TFOptions.RadioNRP", true);
  EXPECT_TRUE(f.series("ChartPrinc.SeriesExp").points.empty());
  EXPECT_EQ(f.series("ChartPrinc.SeriesPrinc").points.size(), 1000U);
}

// The ion-scattering exports draw their curve even in resonant NRA mode, and leave the chart of
// each mode as it was.
TEST(ChartModes, IonScatteringExportInResonantModeKeepsBothCharts) {
  ModesFixture f;
  f.session.setCheckedAsClick("TFOptions.RadioNRP", true);
  const auto curve = meisCurve(f.session, MeisModel::Gaussian);
  EXPECT_EQ(curve.size(), 1000U);
  EXPECT_TRUE(f.series("ChartPrinc.SeriesGauss").points.empty());
  EXPECT_EQ(f.session.charts().series("ChartPrinc.SeriesGauss", ChartMode::Meis).points.size(),
            1000U);
  EXPECT_EQ(f.series("ChartPrinc.SeriesPrinc").points.size(), 1000U);
}

}  // namespace
}  // namespace tarvex
