#include "state/charts.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace tarvex {
namespace {

std::vector<ChartPoint> line(double x0, int n) {
  std::vector<ChartPoint> p;
  for (int i = 0; i < n; ++i)
    p.push_back({x0 + i, 1.0 + i, colours::black});
  return p;
}

// The main chart keeps each mode's points apart: a write to the mode not shown waits aside, a
// switch shows it and keeps the other, and other charts have one set of points for both.
TEST(ChartStoreModes, EachModeKeepsItsPointsAndShowsThemAgain) {
  ChartStore charts;
  std::map<std::string, int> told;
  charts.observe([&](const std::string& key) { ++told[key]; });
  ASSERT_EQ(charts.shownMode(), ChartMode::Nra);
  EXPECT_TRUE(charts.perMode("ChartPrinc.SeriesPrinc"));
  EXPECT_FALSE(charts.perMode("ChartMEISSpec.SeriesPrinc"));

  charts.setPoints("ChartPrinc.SeriesPrinc", line(150, 3), ChartMode::Nra);
  charts.setPoints("ChartPrinc.SeriesPrinc", line(90, 5), ChartMode::Meis);
  charts.setPoints("ChartPrinc.SeriesExp", "Measured: a.dat", line(91, 2), ChartMode::Meis);
  EXPECT_EQ(told["ChartPrinc.SeriesPrinc"], 1);  // the hidden write tells nobody
  EXPECT_EQ(charts.series("ChartPrinc.SeriesPrinc").points.size(), 3U);
  EXPECT_TRUE(charts.series("ChartPrinc.SeriesExp").points.empty());
  EXPECT_EQ(charts.series("ChartPrinc.SeriesExp").title, "Data");
  EXPECT_EQ(charts.series("ChartPrinc.SeriesPrinc", ChartMode::Meis).points.size(), 5U);

  told.clear();
  charts.showMode(ChartMode::Meis);
  EXPECT_EQ(charts.series("ChartPrinc.SeriesPrinc").points.front().x, 90.0);
  EXPECT_EQ(charts.series("ChartPrinc.SeriesExp").points.size(), 2U);
  EXPECT_EQ(charts.series("ChartPrinc.SeriesExp").title, "Measured: a.dat");
  EXPECT_EQ(charts.series("ChartPrinc.SeriesPrinc", ChartMode::Nra).points.front().x, 150.0);
  EXPECT_EQ(told["ChartPrinc.SeriesPrinc"], 1);
  EXPECT_EQ(told["ChartPrinc.SeriesExp"], 1);
  EXPECT_EQ(told["ChartPrinc.SeriesBessel"], 0);  // empty in both modes: nothing changed
  EXPECT_EQ(told["ChartPrinc"], 1);               // the axes fit what is shown now

  // Showing the mode shown changes nothing; switching back puts the first mode's points back.
  told.clear();
  charts.showMode(ChartMode::Meis);
  EXPECT_TRUE(told.empty());
  charts.showMode(ChartMode::Nra);
  EXPECT_EQ(charts.series("ChartPrinc.SeriesPrinc").points.size(), 3U);
  EXPECT_TRUE(charts.series("ChartPrinc.SeriesExp").points.empty());
  EXPECT_EQ(charts.series("ChartPrinc.SeriesExp").title, "Data");

  // A chart of one mode ignores the mode of a write.
  charts.setPoints("ChartMEISSpec.SeriesPrinc", line(90, 4), ChartMode::Meis);
  EXPECT_EQ(charts.series("ChartMEISSpec.SeriesPrinc").points.size(), 4U);

  charts.clearEveryMode("ChartPrinc.SeriesPrinc");
  EXPECT_TRUE(charts.series("ChartPrinc.SeriesPrinc").points.empty());
  EXPECT_TRUE(charts.series("ChartPrinc.SeriesPrinc", ChartMode::Meis).points.empty());
}

}  // namespace
}  // namespace tarvex
