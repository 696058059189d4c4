#include <gtest/gtest.h>

#include <cmath>

#include "support/recording_host.h"

namespace tarvex {
namespace {

using testing::SessionFixture;

TEST(ProfileTools, ErfcAndLineActOnTheCurrentProfile) {
  SessionFixture f;
  f.set("TFNRP.Editqtd", "2");
  f.set("TFNRP.EditSigma", "1");
  f.session.run("Adderfc");
  const profile& p = f.session.state().nraProfile;
  EXPECT_NEAR(p.values[1], 2 * erfcApprox(0.005 / std::sqrt(2.0)), 1e-15);
  f.session.run("Substracterfc");
  for (double v : p.values)
    ASSERT_NEAR(v, 0.0, 1e-15);

  f.set("TFNRP.Editx1", "5");
  f.set("TFNRP.Editx2", "1");
  f.set("TFNRP.Editc1", "1");
  f.set("TFNRP.Editc2", "1");
  f.session.run("Drawline");
  EXPECT_EQ(p.values[200], 1.0);
  EXPECT_EQ(p.values[999], 1.0);
  EXPECT_EQ(p.values[1000], 0.0);
  EXPECT_EQ(f.series("ChartNRPProf.SeriesAmostra").points[500].y, 1.0);
}

TEST(ProfileTools, ABadFieldChangesNothing) {
  SessionFixture f;
  f.set("TFNRP.Editc2", "one");
  f.session.run("Drawline");
  EXPECT_EQ(
      f.host.messages.back(),
      "'one' is not a valid floating point value (Options, Resonant NRA: \"c2\" in \"Draw line\")");
  EXPECT_EQ(f.session.state().nraProfile.integral(), 0.0);
}

// Concentrations near the largest numbers: a steep line stays finite (its slope form would
// overflow to infinity), and a tool whose values leave the range changes nothing.
TEST(ProfileTools, ExtremeConcentrationsNeverPutInfinityIntoTheProfile) {
  SessionFixture f;
  const profile& p = f.session.state().nraProfile;
  f.set("TFNRP.Editx1", "0");
  f.set("TFNRP.Editx2", "1");
  f.set("TFNRP.Editc1", "-1e308");
  f.set("TFNRP.Editc2", "1E308");
  f.session.run("Drawline");
  ASSERT_TRUE(f.host.messages.empty());
  EXPECT_DOUBLE_EQ(p.values[150], 1e308 * 0.5);
  for (const ChartPoint& pt : f.series("ChartNRPProf.SeriesAmostra").points)
    ASSERT_TRUE(std::isfinite(pt.y)) << pt.x;

  struct Case {
    const char* tool;
    std::vector<std::pair<const char*, const char*>> fields;
    int runs;
    const char* named;
  } cases[] = {
      {"Substracterfc", {{"TFNRP.Editqtd", "1.5e308"}, {"TFNRP.EditSigma", "2"}}, 2, "\"Sigma\""},
      {"Adderfc", {{"TFNRP.Editqtd", "1e308"}, {"TFNRP.EditSigma", "1"}}, 2, "\"Max:\""},
  };
  for (const Case& c : cases) {
    SessionFixture g;
    for (const auto& [key, text] : c.fields)
      g.set(key, text);
    for (int i = 0; i < c.runs; ++i)
      g.session.run(c.tool);
    const profile& q = g.session.state().nraProfile;
    for (double v : q.values)
      ASSERT_TRUE(std::isfinite(v)) << c.tool;
    ASSERT_FALSE(g.host.messages.empty()) << c.tool;
    EXPECT_NE(g.host.messages.back().find(c.named), std::string::npos) << g.host.messages.back();
    for (const ChartPoint& pt : g.series("ChartNRPProf.SeriesAmostra").points)
      ASSERT_TRUE(std::isfinite(pt.y)) << c.tool;
    // Undo edit goes back past what was kept, not to a profile of infinities.
    g.session.run("UndoEdit");
    for (double v : q.values)
      ASSERT_TRUE(std::isfinite(v)) << c.tool;
  }
}

TEST(ProfileTools, TryAddErfcPlotsTheTrialButKeepsTheProfile) {
  SessionFixture f;
  f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  profile& p = f.session.state().nraProfile;
  for (int i = 0; i < 1000; ++i)
    p.values[i] = 1.0;
  const profile before = p;
  f.session.run("Tryadderfc");
  EXPECT_EQ(p.values, before.values);
  EXPECT_EQ(p.count, before.count);
  const auto trial = f.series("ChartPrinc.SeriesBessel").points;
  ASSERT_FALSE(trial.empty());
  f.session.run("CalcSimulation");
  const auto plain = f.series("ChartPrinc.SeriesBessel").points;
  ASSERT_EQ(trial.size(), plain.size());
  double diff = 0.0;
  for (std::size_t i = 0; i < plain.size(); ++i)
    diff += std::fabs(trial[i].y - plain[i].y);
  EXPECT_GT(diff, 0.0);
}

TEST(ProfileTools, ATrialThatFailsStillRestoresTheProfile) {
  SessionFixture f;
  f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  f.set("TFNRP.EditS", "broken");
  f.session.run("Tryadderfc");
  EXPECT_EQ(f.host.messages.back(),
            "'broken' is not a valid floating point value (Options, Resonant NRA: \"Straggling\")");
  EXPECT_EQ(f.session.state().nraProfile.integral(), 0.0);
}

TEST(ProfileTools, SmoothAndUndo) {
  SessionFixture f;
  profile& p = f.session.state().nraProfile;
  for (int i = 0; i < p.count; ++i)
    p.values[i] = (i / 100) % 2;
  const profile before = p;
  f.session.run("Smooth");
  EXPECT_NE(p.values, before.values);
  // "Undo" restores the copy taken by the last NRA calculation, whatever the mode.
  f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  f.session.run("CalcSimulation");
  const profile calculated = p;
  p.values[7] = 42.0;
  f.meisMode();
  f.addElement("Hf");
  f.session.state().elementProfiles["Hf"].values[3] = 9.0;
  f.session.run("Undo");
  EXPECT_EQ(f.session.state().nraProfile.values, calculated.values);
  EXPECT_EQ(f.session.state().elementProfiles["Hf"].values[3], 9.0);

  profile tiny(0.05, 0.005);  // 10 points: nothing to smooth
  tiny.values[5] = 1.0;
  SessionFixture g;
  g.session.state().nraProfile = tiny;
  g.session.run("Smooth");
  EXPECT_EQ(g.session.state().nraProfile.values, tiny.values);
}

TEST(ProfileTools, IonScatteringWithoutAnElementOnlyReplots) {
  SessionFixture f;
  f.meisMode();
  f.session.run("Adderfc");
  EXPECT_TRUE(f.session.state().elementMap.empty());
  EXPECT_TRUE(f.host.messages.empty());
}

TEST(ProfilePlot, TotalOverTheComposition) {
  SessionFixture f;
  f.meisMode();
  f.addElement("Hf");
  profile& hf = f.session.state().elementProfiles["Hf"];
  for (int i = 0; i < hf.count; ++i)
    hf.values[i] = 1.0;
  f.session.Plotprofile();
  EXPECT_EQ(f.text("TFrameMEISSample.StatusDraw.0"), "Total Hf: 10.000");
  const auto& sum = f.series("ChartMEISProf.SeriesSum").points;
  const auto& shown = f.series("ChartMEISProf.SeriesAmostra").points;
  ASSERT_EQ(sum.size(), 1000u);
  for (std::size_t i = 0; i < shown.size(); ++i)
    ASSERT_EQ(sum[i].y, shown[i].y);

  f.addElement("O");
  f.session.state().elementProfiles["O"].values.assign(1000, 0.5);
  f.session.state().elementProfiles["O"].setThickness(5.0);  // a shorter profile adds 0 below
  f.session.Plotprofile();
  EXPECT_EQ(sum[100].y, 1.5);
  EXPECT_EQ(sum[900].y, 1.0);
}

TEST(ProfileTools, UpdatePlotWithUnchangedFieldsStillClearsTheContaminationLayer) {
  // A second "Update plot" with the same fields changes nothing, except a value that found its
  // way into the contamination layer: that goes back to +0 as the first one left it.
  struct Case {
    double value;
    bool changes;
  };
  for (const Case& k : {Case{0.0, false}, Case{-0.0, true}, Case{5.0, true}}) {
    SessionFixture f;
    f.set("TFNRP.EditCont", "2");
    f.session.run("Updateplot");
    profile& p = f.session.state().nraProfile;
    const profile fitted = p;
    p.values[100] = k.value;
    const std::size_t edits = f.session.editHistory().undoCount(true);
    f.session.run("Updateplot");
    EXPECT_EQ(p.count, fitted.count);
    EXPECT_EQ(p.values, fitted.values);
    EXPECT_FALSE(std::signbit(p.values[100]));
    EXPECT_EQ(f.session.editHistory().undoCount(true), edits + (k.changes ? 1 : 0));
  }
}

}  // namespace
}  // namespace tarvex
