// "Undo edit" and "Redo edit": the edit history of the profile tools in both modes.
#include "state/edit_history.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "cli/script.h"
#include "state/drawing.h"
#include "support/recording_host.h"

namespace tarvex {
namespace {

using testing::SessionFixture;

void mouse(SessionFixture& f, const char* chart, double x, double y, bool down) {
  ASSERT_TRUE(profileMouse(f.session, {chart, x, y, down, false}));
}

// A stroke of three segments after an armed move, ended by releasing the button.
void stroke(SessionFixture& f, const char* chart, double from, double to, double c) {
  mouse(f, chart, from, c, false);
  mouse(f, chart, from, c, true);
  mouse(f, chart, (2 * from + to) / 3, c * 1.5, true);
  mouse(f, chart, (from + 2 * to) / 3, c * 0.5, true);
  mouse(f, chart, to, c, true);
  mouse(f, chart, to, c, false);
}

void line(SessionFixture& f, const std::string& frame, double x1, double x2, double c) {
  f.set(frame + ".Editx1", std::to_string(x1));
  f.set(frame + ".Editx2", std::to_string(x2));
  f.set(frame + ".Editc1", std::to_string(c));
  f.set(frame + ".Editc2", std::to_string(c));
  ASSERT_TRUE(f.session.run("Drawline"));
}

// Two elements in ion-scattering mode, Si shown.
void twoElements(SessionFixture& f) {
  f.meisMode();
  f.addElement("Hf");
  f.addElement("Si");
  f.session.select("TFrameMEISSample.ComboEl_list", 1);
  ASSERT_EQ(f.text("TFrameMEISSample.ComboEl_list"), "Si");
}

TEST(PackedValues, GivesBackEveryBitOfWhatWasPacked) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<std::vector<double>> cases = {
      {},
      {1.0},
      {0.0, 0.0, 0.0, 0.0, 0.0, 0.0},
      {0.0, -0.0, 0.0, -0.0, 1.0, 1.0, 1.0, 2.0},
      {nan, nan, nan, 3.0, 4.0, 4.0, 5.0, 5.0, 5.0, 5.0},
      {1.0, 2.0, 3.0, 4.0, 5.0},
  };
  for (const std::vector<double>& v : cases) {
    const PackedValues packed = PackedValues::pack(v.data(), v.size());
    ASSERT_EQ(packed.size(), v.size());
    std::vector<double> out(v.size(), 7.0);
    packed.unpack(out.data());
    for (std::size_t i = 0; i < v.size(); ++i)
      EXPECT_EQ(std::bit_cast<std::uint64_t>(out[i]), std::bit_cast<std::uint64_t>(v[i])) << i;
  }
  // A flat stretch of a million points is kept as one value.
  const std::vector<double> flat(1000000, 0.25);
  EXPECT_LT(PackedValues::pack(flat.data(), flat.size()).bytes(), 64u);
}

TEST(EditHistory, AStrokeIsOneEditUndoneAndRedonePointForPointInBothModes) {
  for (const bool nra : {true, false}) {
    SCOPED_TRACE(nra ? "resonant NRA" : "ion scattering");
    SessionFixture f;
    if (!nra) twoElements(f);
    const char* chart = nra ? "ChartNRPProf" : "ChartMEISProf";
    const std::string series = std::string(chart) + ".SeriesAmostra";
    const profile before = f.session.currentProfile();
    stroke(f, chart, 2.0, 6.0, 0.8);
    const profile drawn = f.session.currentProfile();
    ASSERT_NE(drawn.values, before.values);
    EXPECT_EQ(f.session.editHistory().undoCount(nra), 1u);
    EXPECT_EQ(f.session.editHistory().undoCount(!nra), 0u);
    // A stroke keeps only the stretch it changed.
    EXPECT_LT(f.session.editHistory().bytes(), 16000u);

    ASSERT_TRUE(f.session.run("UndoEdit"));
    EXPECT_EQ(f.session.currentProfile().values, before.values);
    EXPECT_EQ(f.series(series).points[300].y, before.values[300]);  // replotted
    EXPECT_EQ(f.host.statuses.back(), "Undone: Stroke");
    ASSERT_TRUE(f.session.run("RedoEdit"));
    EXPECT_EQ(f.session.currentProfile().values, drawn.values);
    EXPECT_EQ(f.series(series).points[300].y, drawn.values[300]);
    EXPECT_EQ(f.host.statuses.back(), "Redone: Stroke");
    ASSERT_TRUE(f.session.run("RedoEdit"));
    EXPECT_EQ(f.host.statuses.back(), "Nothing to redo");
    EXPECT_EQ(f.session.currentProfile().values, drawn.values);
  }
}

TEST(EditHistory, AnotherCommandEndsTheStroke) {
  SessionFixture f;
  mouse(f, "ChartNRPProf", 1.0, 0.5, false);
  mouse(f, "ChartNRPProf", 1.0, 0.5, true);
  mouse(f, "ChartNRPProf", 3.0, 0.5, true);
  const profile first = f.session.state().nraProfile;
  f.session.run("Plotprofile");  // the button still down, but the stroke is over
  mouse(f, "ChartNRPProf", 5.0, 0.9, true);
  mouse(f, "ChartNRPProf", 5.0, 0.9, false);
  EXPECT_EQ(f.session.editHistory().undoCount(true), 2u);
  f.session.run("UndoEdit");
  EXPECT_EQ(f.session.state().nraProfile.values, first.values);
}

TEST(EditHistory, KeepsTheLastFiftyEditsAndANewEditClearsTheRedoList) {
  SessionFixture f;
  std::vector<profile> states{f.session.state().nraProfile};
  for (int k = 1; k <= 51; ++k) {
    line(f, "TFNRP", 0.0, 9.0, 0.01 * k);
    states.push_back(f.session.state().nraProfile);
  }
  EXPECT_EQ(f.session.editHistory().undoCount(true), 50u);
  for (int k = 50; k >= 1; --k) {
    ASSERT_TRUE(f.session.run("UndoEdit"));
    ASSERT_EQ(f.session.state().nraProfile.values, states[k].values) << k;
  }
  f.session.run("UndoEdit");
  EXPECT_EQ(f.host.statuses.back(), "Nothing to undo");
  EXPECT_EQ(f.session.state().nraProfile.values, states[1].values);

  f.session.run("RedoEdit");
  f.session.run("RedoEdit");
  EXPECT_EQ(f.session.state().nraProfile.values, states[3].values);
  EXPECT_EQ(f.session.editHistory().redoCount(true), 48u);
  f.set("TFNRP.Editqtd", "0.5");
  f.set("TFNRP.EditSigma", "0.3");
  f.session.run("Adderfc");
  EXPECT_EQ(f.session.editHistory().redoCount(true), 0u);
  f.session.run("RedoEdit");
  EXPECT_EQ(f.host.statuses.back(), "Nothing to redo");
  f.session.run("UndoEdit");
  EXPECT_EQ(f.session.state().nraProfile.values, states[3].values);
}

TEST(EditHistory, EachToolIsAnEdit) {
  SessionFixture f;
  profile& p = f.session.state().nraProfile;
  f.set("TFNRP.Editqtd", "0.7");
  f.set("TFNRP.EditSigma", "2");
  struct Step {
    const char* action;
    const char* what;
  };
  const Step steps[] = {{"Adderfc", "Add erfc"},
                        {"Smooth", "Smooth"},
                        {"Substracterfc", "Subtract erfc"},
                        {"Drawline", "Draw line"}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.action);
    const profile before = p;
    ASSERT_TRUE(f.session.run(s.action));
    ASSERT_NE(p.values, before.values);
    const profile after = p;
    f.session.run("UndoEdit");
    EXPECT_EQ(f.host.statuses.back(), std::string("Undone: ") + s.what);
    EXPECT_EQ(p.values, before.values);
    f.session.run("RedoEdit");
    EXPECT_EQ(p.values, after.values);
  }
  // A trial step leaves the profile as it was, even when its calculation first fitted the
  // profile to a new thickness: no edit, and the edits before it still undo.
  const std::size_t edits = f.session.editHistory().undoCount(true);
  const profile kept = p;
  f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  f.set("TFNRP.EditMaxDepth", "12");
  ASSERT_TRUE(f.session.run("Tryadderfc"));
  EXPECT_EQ(p.values, kept.values);
  EXPECT_EQ(f.session.editHistory().undoCount(true), edits);
  f.session.run("UndoEdit");
  EXPECT_EQ(f.host.statuses.back(), "Undone: Draw line");
}

TEST(EditHistory, UpdatePlotBufferAndUndoAreEditsWithTheirShape) {
  SessionFixture f;
  profile& p = f.session.state().nraProfile;
  line(f, "TFNRP", 1.0, 4.0, 0.5);
  const profile drawn = p;
  ASSERT_TRUE(f.session.run("StoreBuffer1"));
  f.set("TFNRP.EditMaxDepth", "20");
  f.set("TFNRP.EditCont", "2");
  f.session.run("Updateplot");
  const profile thick = p;
  ASSERT_NE(thick.count, drawn.count);
  f.session.run("LoadBuffer1");
  EXPECT_EQ(p.count, drawn.count);
  // The resonant calculations' copy, restored by "Undo".
  f.session.state().undoProfile = PackedProfile(profile(3.0, 0.005));
  f.session.run("Undo");
  EXPECT_EQ(p.count, 600);

  f.session.run("UndoEdit");  // "Undo"
  EXPECT_EQ(p.values, drawn.values);
  f.session.run("UndoEdit");  // "Load buffer 1"
  EXPECT_EQ(p.values, thick.values);
  EXPECT_EQ(p.count, thick.count);
  EXPECT_EQ(p.startDepth, 2.0);
  f.session.run("UndoEdit");  // "Update plot"
  EXPECT_EQ(p.values, drawn.values);
  EXPECT_EQ(p.count, drawn.count);
  EXPECT_EQ(p.startDepth, 0.0);
  // The fields it read follow the profile: a later "Update plot" keeps it as it is.
  EXPECT_EQ(f.text("TFNRP.EditMaxDepth"), "10");
  EXPECT_EQ(f.text("TFNRP.EditCont"), "0");
  f.session.run("Updateplot");
  EXPECT_EQ(p.values, drawn.values);
  f.session.run("RedoEdit");
  EXPECT_EQ(p.values, thick.values);
  EXPECT_EQ(p.startDepth, 2.0);
  EXPECT_EQ(f.text("TFNRP.EditMaxDepth"), "20");
  EXPECT_EQ(f.text("TFNRP.EditCont"), "2");
}

TEST(EditHistory, SmoothInIonScatteringIsUndoneForEveryElement) {
  SessionFixture f;
  twoElements(f);
  auto& profiles = f.session.state().elementProfiles;
  stroke(f, "ChartMEISProf", 2.0, 5.0, 0.6);  // Si
  f.session.select("TFrameMEISSample.ComboEl_list", 0);
  stroke(f, "ChartMEISProf", 3.0, 8.0, 0.3);  // Hf
  const std::map<std::string, profile> drawn = profiles;
  f.session.run("Smooth");
  ASSERT_NE(profiles.at("Hf").values, drawn.at("Hf").values);
  ASSERT_NE(profiles.at("Si").values, drawn.at("Si").values);
  f.session.run("UndoEdit");
  EXPECT_EQ(profiles.at("Hf").values, drawn.at("Hf").values);
  EXPECT_EQ(profiles.at("Si").values, drawn.at("Si").values);
  // The NRA profile has its own history: nothing there.
  f.session.setCheckedAsClick("TFOptions.RadioNRP", true);
  f.session.run("UndoEdit");
  EXPECT_EQ(f.host.statuses.back(), "Nothing to undo");
  f.meisMode();
  // Undoing the stroke on Si, while Hf is shown, shows Si.
  f.session.run("UndoEdit");  // the stroke on Hf
  f.session.run("UndoEdit");  // the stroke on Si
  EXPECT_EQ(f.text("TFrameMEISSample.ComboEl_list"), "Si");
  EXPECT_EQ(f.series("ChartMEISProf.SeriesAmostra").points[300].y, 0.0);
  for (double v : profiles.at("Si").values)
    ASSERT_EQ(v, 0.0);
}

TEST(EditHistory, AnUndoNeverBringsBackTheProfileOfADeletedElement) {
  SessionFixture f;
  twoElements(f);
  auto& profiles = f.session.state().elementProfiles;
  stroke(f, "ChartMEISProf", 2.0, 5.0, 0.6);  // Si
  f.session.select("TFrameMEISSample.ComboEl_list", 0);
  stroke(f, "ChartMEISProf", 3.0, 8.0, 0.3);  // Hf
  const profile hfDrawn = profiles.at("Hf");
  f.session.run("Smooth");  // Hf and Si
  f.set("TFMEIS.EditElname", "Si");
  f.session.click("TFMEIS.ButtonDel");
  const profile siKept = profiles.at("Si");  // the profile stays, its element is gone
  // The smoothing is undone for Hf only; the stroke on Si is gone from the history.
  f.session.run("UndoEdit");
  EXPECT_EQ(f.host.statuses.back(), "Undone: Smooth");
  EXPECT_EQ(profiles.at("Si").values, siKept.values);
  EXPECT_EQ(profiles.at("Hf").values, hfDrawn.values);
  f.session.run("UndoEdit");
  EXPECT_EQ(f.host.statuses.back(), "Undone: Stroke");
  f.session.run("UndoEdit");
  EXPECT_EQ(f.host.statuses.back(), "Nothing to undo");
  EXPECT_EQ(profiles.at("Si").values, siKept.values);
  // Added again under the same name, the element starts without history.
  f.addElement("Si");
  f.session.run("UndoEdit");
  EXPECT_EQ(profiles.at("Si").values, siKept.values);
}

TEST(EditHistory, AProfileChangedByOtherMeansIsNotOverwritten) {
  SessionFixture f;
  line(f, "TFNRP", 1.0, 4.0, 0.5);
  profile& p = f.session.state().nraProfile;
  p.values[300] = 9.0;  // as a command outside the history would
  const profile changed = p;
  f.session.run("UndoEdit");
  EXPECT_EQ(p.values, changed.values);
  EXPECT_EQ(f.host.statuses.back(),
            "The profile was changed by another command since: the edit history was cleared");
  EXPECT_EQ(f.session.editHistory().undoCount(true), 0u);
}

TEST(EditHistory, AFilmOfTwoMillionPointsKeepsItsHistoryWithinTheCap) {
  SessionFixture f;
  // A 1 um film at 0.005 A, every point different: nothing of it packs.
  profile film(10000.0, 0.005);
  ASSERT_EQ(film.count, 2000000);
  for (int i = 0; i < film.count; ++i)
    film.values[i] = 1.0 + 1e-7 * i;
  f.session.state().nraProfile = film;
  // A stroke on it keeps a few kilobytes.
  stroke(f, "ChartNRPProf", 5000.0, 5001.0, 0.5);
  EXPECT_LT(f.session.editHistory().bytes(), 200000u);
  EXPECT_LE(f.series("ChartNRPProf.SeriesAmostra").points.size(), 65536u);
  // Each line over the whole film keeps 16 MB: only the newest that fit in the cap stay.
  for (int k = 1; k <= 5; ++k) {
    f.set("TFNRP.Editx1", "0");
    f.set("TFNRP.Editx2", "10000");
    f.set("TFNRP.Editc1", "0");
    f.set("TFNRP.Editc2", std::to_string(k));
    f.session.run("Drawline");
  }
  EXPECT_LE(f.session.editHistory().bytes(), EditHistory::kMaxBytes);
  EXPECT_EQ(f.session.editHistory().undoCount(true), 4u);
  const profile last = f.session.state().nraProfile;
  f.session.run("UndoEdit");
  EXPECT_NE(f.session.state().nraProfile.values, last.values);
  f.session.run("RedoEdit");
  EXPECT_EQ(f.session.state().nraProfile.values, last.values);
}

TEST(EditHistory, RefusedWhileACommandRuns) {
  SessionFixture f;
  line(f, "TFNRP", 1.0, 4.0, 0.5);
  const profile drawn = f.session.state().nraProfile;
  bool ran = true;
  f.host.onProcessEvents = [&] { ran = f.session.run("UndoEdit"); };
  f.session.guarded([&] { f.session.eventPoint(); });
  f.host.onProcessEvents = nullptr;
  EXPECT_FALSE(ran);
  EXPECT_EQ(f.session.state().nraProfile.values, drawn.values);
  EXPECT_EQ(f.session.editHistory().undoCount(true), 1u);
}

TEST(EditHistory, AScriptGivesTheSameProfileAsTheSession) {
  const char* lines[] = {
      "mouse ChartNRPProf 2 0.2 up",
      "mouse ChartNRPProf 2 0.2 down",
      "mouse ChartNRPProf 3.5 0.9 down",
      "mouse ChartNRPProf 5 0.4 down",
      "mouse ChartNRPProf 5 0.4 up",
      "mouse ChartNRPProf 6 0.1 up",
      "mouse ChartNRPProf 6 0.1 down",
      "mouse ChartNRPProf 7 0.7 down",
      "mouse ChartNRPProf 7 0.7 up",
      "run UndoEdit",
      "run UndoEdit",
      "run RedoEdit",
  };
  std::ostringstream out;
  std::ostringstream err;
  ScriptRunner runner(out, err);
  int n = 0;
  for (const char* l : lines)
    runner.line(l, ++n);
  EXPECT_FALSE(runner.failed()) << err.str();

  SessionFixture f;
  mouse(f, "ChartNRPProf", 2, 0.2, false);
  mouse(f, "ChartNRPProf", 2, 0.2, true);
  mouse(f, "ChartNRPProf", 3.5, 0.9, true);
  mouse(f, "ChartNRPProf", 5, 0.4, true);
  mouse(f, "ChartNRPProf", 5, 0.4, false);
  const profile firstStroke = f.session.state().nraProfile;
  EXPECT_EQ(runner.session().state().nraProfile.values, firstStroke.values);
  EXPECT_NE(firstStroke.integral(), 0.0);
}

}  // namespace
}  // namespace tarvex
