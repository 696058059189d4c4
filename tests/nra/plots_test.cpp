#include "app/nra_commands.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/recording_host.h"

namespace tarvex {
namespace {

using testing::SessionFixture;

TEST(NraPlots, DoseThenBackground) {
  SessionFixture f;
  spectro c(3, 4.0);
  c.values = {0.0, 1.0, 2.0};
  f.session.state().numericExcitation = c;
  f.set("TFBackground.EditYs", "5");
  f.session.run("Preview");
  const auto& pts = f.series("ChartPrinc.SeriesPrinc").points;
  ASSERT_EQ(pts.size(), 3u);
  EXPECT_DOUBLE_EQ(pts[1].x, 151.004);
  EXPECT_DOUBLE_EQ(pts[1].y, 13.0);
  EXPECT_EQ(pts[1].colour, colours::black);
  EXPECT_EQ(f.series("ChartNRPSpec.SeriesPrinc").points.size(), 3u);
}

TEST(NraPlots, BroadenedCurveStartsBelowTheResonance) {
  SessionFixture f;
  spectro c(200, 4.0);
  c.values[0] = 1.0;
  c.broadenGaussian(100.0);
  f.session.state().numericExcitation = c;
  PlotNumericExcitation(f.session);
  EXPECT_NEAR(f.series("ChartPrinc.SeriesPrinc").points[0].x, 151.0 - 0.16987, 1e-5);
}

TEST(NraPlots, MeasuredPointsLeaveOutTheLastEntry) {
  struct {
    std::vector<datapoint> points;
    std::size_t plotted;
  } cases[] = {{{}, 0}, {{{1, 2}}, 0}, {{{1, 2}, {3, 4}}, 1}, {{{1, 2}, {3, 4}, {5, 6}}, 2}};
  for (const auto& c : cases) {
    SessionFixture f;
    f.session.state().measuredPoints = c.points;
    f.set("TFOptions.EditShift", "0.5");
    f.session.run("PlotExp");
    const auto& pts = f.series("ChartPrinc.SeriesExp").points;
    ASSERT_EQ(pts.size(), c.plotted);
    if (c.plotted > 0) {
      EXPECT_DOUBLE_EQ(pts[0].x, 1.5);
      EXPECT_DOUBLE_EQ(pts[0].y, 2.0);
    }
  }
}

// A file of many thousand points is drawn at once: each chart is told once, with every point.
TEST(NraPlots, MeasuredPointsReachEachChartInOneNotification) {
  SessionFixture f;
  for (int i = 0; i < 1001; ++i)
    f.session.state().measuredPoints.push_back({static_cast<float>(i), 2.0f * i});
  std::map<std::string, std::vector<std::size_t>> told;
  f.session.charts().observe(
      [&](const std::string& key) { told[key].push_back(f.series(key).points.size()); });
  f.session.run("PlotExp");
  EXPECT_EQ(told["ChartPrinc.SeriesExp"], std::vector<std::size_t>{1000});
  EXPECT_EQ(told["ChartNRPSpec.SeriesExp"], std::vector<std::size_t>{1000});
  for (const char* key : {"ChartPrinc.SeriesExp", "ChartNRPSpec.SeriesExp"}) {
    const Series& series = f.series(key);
    EXPECT_EQ(series.points.back().x, 999.0);
    EXPECT_EQ(series.points.back().y, 1998.0);
    EXPECT_EQ(series.points.front().colour, series.colour);
  }
}

TEST(NraPlots, ClearPlotsDropsTheMeasuredPointsButKeepsTheResults) {
  SessionFixture f;
  f.session.state().measuredPoints = {{1, 2}, {3, 4}, {5, 6}};
  f.session.state().numericExcitation = spectro(10, 4.0);
  f.session.run("Preview");
  f.session.run("ClearPlots");
  EXPECT_TRUE(f.session.state().measuredPoints.empty());
  EXPECT_TRUE(f.series("ChartPrinc.SeriesPrinc").points.empty());
  f.session.run("Preview");
  EXPECT_EQ(f.series("ChartPrinc.SeriesPrinc").points.size(), 10u);
  EXPECT_TRUE(f.series("ChartPrinc.SeriesExp").points.empty());
}

}  // namespace
}  // namespace tarvex
