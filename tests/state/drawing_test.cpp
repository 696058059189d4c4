#include "state/drawing.h"

#include <gtest/gtest.h>

#include "support/recording_host.h"

namespace tarvex {
namespace {

using testing::SessionFixture;

void mouse(SessionFixture& f, const char* chart, double x, double y, bool down,
           bool shift = false) {
  ASSERT_TRUE(profileMouse(f.session, {chart, x, y, down, shift}));
}

// Indices of the points in which two profiles differ.
std::vector<int> changed(const profile& a, const profile& b) {
  std::vector<int> out;
  for (int i = 0; i < a.count; ++i) {
    if (a.values[i] != b.values[i]) out.push_back(i);
  }
  return out;
}

TEST(Drawing, AStrokeNeedsAMoveWithTheButtonUpFirst) {
  SessionFixture f;
  const profile before = f.session.state().nraProfile;
  mouse(f, "ChartNRPProf", 2.0, 0.5, true);
  mouse(f, "ChartNRPProf", 4.0, 0.5, true);
  EXPECT_TRUE(changed(before, f.session.state().nraProfile).empty());
  EXPECT_FALSE(drawingArmed(f.session, "ChartNRPProf"));
}

TEST(Drawing, AStrokeChangesExactlyThePointsBetweenItsEnds) {
  SessionFixture f;
  const profile before = f.session.state().nraProfile;
  mouse(f, "ChartNRPProf", 2.0, 0.2, false);
  mouse(f, "ChartNRPProf", 3.0, 0.6, true);
  mouse(f, "ChartNRPProf", 2.5, 1.0, true);  // backwards: the smaller depth first
  profile want = before;
  want.drawLine(2.0, 0.2, 3.0, 0.6);
  want.drawLine(2.5, 1.0, 3.0, 0.6);
  const profile& p = f.session.state().nraProfile;
  EXPECT_EQ(p.values, want.values);
  const std::vector<int> idx = changed(before, p);
  ASSERT_FALSE(idx.empty());
  EXPECT_EQ(idx.front(), 400);
  EXPECT_EQ(idx.back(), 599);
  EXPECT_EQ(idx.size(), 200U);
  // The chart shows the stroke while the button is down.
  EXPECT_EQ(f.series("ChartNRPProf.SeriesAmostra").points[450].y, p.values[450]);
  // Releasing and moving on draws no more.
  mouse(f, "ChartNRPProf", 8.0, 0.9, false);
  EXPECT_EQ(p.values, want.values);
}

TEST(Drawing, ShiftAndZoomModeDrawNothing) {
  SessionFixture f;
  const profile before = f.session.state().nraProfile;
  mouse(f, "ChartNRPProf", 2.0, 0.5, false);
  mouse(f, "ChartNRPProf", 4.0, 0.5, true, true);
  EXPECT_TRUE(changed(before, f.session.state().nraProfile).empty());

  ASSERT_TRUE(f.session.click("TFSample.EnableZoom1"));
  EXPECT_FALSE(drawingEnabled(f.session));
  EXPECT_EQ(f.session.controls().get("TFSample.EnableZoom1").caption, "Disable Zoom");
  EXPECT_EQ(f.series("ChartNRPProf.SeriesAmostra").points.front().colour, colours::blue);
  mouse(f, "ChartNRPProf", 2.0, 0.5, false);
  mouse(f, "ChartNRPProf", 4.0, 0.5, true);
  EXPECT_TRUE(changed(before, f.session.state().nraProfile).empty());

  // Back to drawing: the toggle disarmed the chart, so the first move down draws nothing.
  ASSERT_TRUE(f.session.click("TFSample.EnableZoom1"));
  EXPECT_TRUE(drawingEnabled(f.session));
  EXPECT_EQ(f.session.controls().get("TFSample.EnableZoom1").caption, "Enable Zoom");
  EXPECT_EQ(f.series("ChartNRPProf.SeriesAmostra").points.front().colour, colours::red);
  mouse(f, "ChartNRPProf", 4.0, 0.5, true);
  EXPECT_TRUE(changed(before, f.session.state().nraProfile).empty());
}

TEST(Drawing, TheElementBoxChoosesTheProfileDrawn) {
  SessionFixture f;
  f.meisMode();
  // No element chosen: the ion-scattering chart does not draw.
  mouse(f, "ChartMEISProf", 1.0, 0.5, false);
  EXPECT_FALSE(drawingArmed(f.session, "ChartMEISProf"));
  f.addElement("Hf");
  f.addElement("O");
  f.session.run("Updateplot");
  const auto& combo = f.session.controls().get("TFrameMEISSample.ComboEl_list");
  ASSERT_EQ(combo.items.size(), 2U);
  for (int k = 0; k < 2; ++k) {
    ASSERT_TRUE(f.session.select("TFrameMEISSample.ComboEl_list", k));
    const std::string name = combo.items[static_cast<std::size_t>(k)];
    mouse(f, "ChartMEISProf", 1.0, 0.25 * (k + 1), false);
    mouse(f, "ChartMEISProf", 3.0, 0.25 * (k + 1), true);
    const profile& p = f.session.state().elementProfiles.at(name);
    EXPECT_DOUBLE_EQ(p.values[static_cast<std::size_t>(2.0 / p.step)], 0.25 * (k + 1)) << name;
  }
  const auto& profiles = f.session.state().elementProfiles;
  EXPECT_DOUBLE_EQ(profiles.at(combo.items[0]).integral() * 2,
                   profiles.at(combo.items[1]).integral());
  EXPECT_EQ(f.session.state().nraProfile.integral(), 0.0);
}

TEST(Drawing, SmoothInIonScatteringModeSmoothsEveryElement) {
  SessionFixture f;
  f.meisMode();
  f.addElement("Hf");
  f.addElement("O");
  f.session.run("Updateplot");
  std::map<std::string, profile> want;
  for (const auto& [name, record] : f.session.state().elementMap) {
    profile& p = f.session.state().elementProfiles[name];
    p.drawLine(1.0, 1.0, 3.0, 1.0);
    want[name] = p;
    want[name].smooth(1);
  }
  f.session.run("Smooth");
  ASSERT_EQ(want.size(), 2U);
  for (const auto& [name, p] : want)
    EXPECT_EQ(f.session.state().elementProfiles.at(name).values, p.values) << name;
}

TEST(Drawing, MouseLines) {
  const auto m = parseProfileMouse("ChartMEISProf 2.5 0.25 down shift");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->chart, "ChartMEISProf");
  EXPECT_EQ(m->depth, 2.5);
  EXPECT_EQ(m->concentration, 0.25);
  EXPECT_TRUE(m->leftDown);
  EXPECT_TRUE(m->shift);
  for (const char* bad : {"ChartPrinc 1 1 up", "ChartNRPProf 1 up", "ChartNRPProf 1 1 left",
                          "ChartNRPProf x 1 up", "ChartNRPProf 1 1 up ctrl"})
    EXPECT_FALSE(parseProfileMouse(bad)) << bad;
}

}  // namespace
}  // namespace tarvex
