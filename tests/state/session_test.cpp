#include <gtest/gtest.h>

#include <cmath>

#include <set>

#include "core/numtext.h"
#include "support/recording_host.h"

namespace tarvex {
namespace {

using testing::SessionFixture;

TEST(Catalogue, KeysAreUniqueAndNameTheirForm) {
  std::set<std::string> keys;
  for (const ControlSpec& c : controlCatalogue()) {
    EXPECT_TRUE(keys.insert(c.key).second) << "duplicate " << c.key;
    const std::string key = c.key;
    if (c.kind != ControlKind::Form && c.kind != ControlKind::Frame) {
      EXPECT_NE(key.find('.'), std::string::npos) << key;
    }
  }
}

// The store's start-up state is the catalogue's, row by row (a radio group, and a combo box
// given items, shows its first item).
TEST(Catalogue, TheStoreStartsFromTheCatalogue) {
  ControlStore c;
  for (const ControlSpec& spec : controlCatalogue()) {
    const Control& got = c.get(spec.key);
    EXPECT_EQ(got.kind, spec.kind) << spec.key;
    EXPECT_EQ(got.caption, spec.caption) << spec.key;
    EXPECT_EQ(got.checked, spec.checked) << spec.key;
    EXPECT_EQ(got.enabled, spec.enabled) << spec.key;
    EXPECT_EQ(got.action, spec.action) << spec.key;
    if (spec.kind == ControlKind::RadioGroup || (spec.kind == ControlKind::Combo && *spec.text)) {
      ASSERT_FALSE(got.items.empty()) << spec.key;
      EXPECT_EQ(got.itemIndex, 0) << spec.key;
      EXPECT_EQ(got.text, got.items.front()) << spec.key;
    } else {
      EXPECT_EQ(got.text, spec.text) << spec.key;
    }
  }
  EXPECT_EQ(c.all().size(), controlCatalogue().size());
}

// Every action a button or menu item runs, and every entry of the action list, is a command of
// the program; the report pages bring the report actions.
TEST(Catalogue, EveryBoundActionIsRegistered) {
  SessionFixture f;
  const std::set<std::string> reports = {"Report", "ShowReport", "PreviewNRPReport",
                                         "PreviewMEISReport"};
  for (const ControlSpec& spec : controlCatalogue()) {
    if (*spec.action && !reports.count(spec.action)) {
      EXPECT_TRUE(f.session.hasAction(spec.action)) << spec.key << " runs " << spec.action;
    }
  }
  for (const ActionSpec& a : actionCatalogue()) {
    if (!reports.count(a.name)) {
      EXPECT_TRUE(f.session.hasAction(a.name)) << a.name;
    }
  }
}

TEST(Catalogue, EveryParameterSlotMirrorsAnEditAndStartsFromItsText) {
  SessionFixture f;
  for (std::size_t i = 0; i < kParamControls.size(); ++i) {
    if (!*kParamControls[i]) {
      EXPECT_EQ(f.session.state().paramValues[i], 0.0) << i;
      continue;
    }
    EXPECT_EQ(f.session.controls().get(kParamControls[i]).kind, ControlKind::Edit) << i;
    EXPECT_EQ(f.session.state().paramValues[i], parseFloat(f.text(kParamControls[i]))) << i;
  }
  EXPECT_EQ(f.session.state().paramValues[param::ionDose], 8.0);
  EXPECT_EQ(f.session.state().optionFlags[flag::modeNra], 1.0);
  EXPECT_EQ(f.session.state().optionFlags[flag::modeMeis], 0.0);
}

TEST(ControlStore, RadioButtonsExcludeEachOtherWithinTheirGroup) {
  ControlStore c;
  c.setChecked("TFOptions.RadioGauss", true);
  EXPECT_FALSE(c.checked("TFOptions.RadioNumeric"));
  EXPECT_TRUE(c.checked("TFOptions.RadioNRP"));  // another group
  std::vector<std::string> changed;
  c.observe([&](const std::string& k) { changed.push_back(k); });
  c.setChecked("TFOptions.RadioMEIS", true);
  EXPECT_FALSE(c.checked("TFOptions.RadioNRP"));
  EXPECT_EQ(changed, (std::vector<std::string>{"TFOptions.RadioNRP", "TFOptions.RadioMEIS"}));
}

TEST(WorkingState, StartUp) {
  SessionFixture f;
  const WorkingState& s = f.session.state();
  EXPECT_EQ(s.nraProfile.count, 2000);
  EXPECT_EQ(s.nraProfile.step, 0.005);
  EXPECT_EQ(s.undoProfile.count(), 0);
  EXPECT_EQ(s.undoProfile.step(), 0.1);
  EXPECT_TRUE(s.elementMap.empty());
  EXPECT_FALSE(s.nraAutoValid);
  EXPECT_TRUE(s.currentProfile.nra);
  EXPECT_FALSE(s.startDirectory.empty());
}

TEST(ParametersChanged, OnlyTheTableParametersCount) {
  struct {
    const char* key;
    const char* text;
    bool changed;
  } cases[] = {{"TFNRP.EditLor", "50", false},      {"TFNRP.EditGauss", "70", false},
               {"TFOptions.EditMult", "3", false},  {"TFOptions.EditBack", "1", false},
               {"TFNRP.EditMaxDepth", "20", false}, {"TFNRP.EditStep", "4", true},
               {"TFNRP.EditNc", "7", true},         {"TFMEIS.EditTOut", "60", true},
               {"TFMEIS.EditVecsize", "999", true}, {"TFNRP.EditEnrg", "151.0", false}};
  for (auto c : cases) {
    SessionFixture f;
    EXPECT_FALSE(f.session.parametersChanged());
    f.set(c.key, c.text);
    EXPECT_EQ(f.session.parametersChanged(), c.changed) << c.key;
    EXPECT_FALSE(f.session.parametersChanged()) << c.key << " second test";
  }
}

TEST(ParametersChanged, AnAddedElementForcesOneChange) {
  SessionFixture f;
  f.meisMode();
  f.session.parametersChanged();
  f.addElement("O");
  EXPECT_TRUE(f.session.parametersChanged());
  EXPECT_FALSE(f.session.parametersChanged());
  f.addElement("O");
  f.addElement("Si");  // two presses, each marks
  EXPECT_TRUE(f.session.parametersChanged());
  f.session.click("TFMEIS.Button1");  // "^" never does
  EXPECT_FALSE(f.session.parametersChanged());
}

// A test that stops on a field that does not convert moves no baseline: the change made before
// it is still reported once the field is mended, so the tables are rebuilt for it.
TEST(ParametersChanged, AFailedTestChangesNothing) {
  SessionFixture f;
  EXPECT_FALSE(f.session.parametersChanged());
  const WorkingState before = f.session.state();
  f.set("TFNRP.Editdedx", "700");
  f.set("TFMEIS.EditS", "x");  // a later slot
  EXPECT_THROW(f.session.parametersChanged(), ConversionError);
  EXPECT_EQ(f.session.state().paramValues, before.paramValues);
  EXPECT_EQ(f.session.state().paramSnapshot, before.paramSnapshot);
  f.set("TFMEIS.EditS", "20740");
  EXPECT_TRUE(f.session.parametersChanged());
  EXPECT_EQ(f.session.state().paramValues[param::nraStoppingPower], 700.0);
  EXPECT_FALSE(f.session.parametersChanged());
}

TEST(StatusAndLog, BothPlacesShowTheLastText) {
  SessionFixture f;
  f.session.SetStatus("first");
  f.session.SetStatus("second");
  EXPECT_EQ(f.text("TFrameNRPSample.StatusDraw"), "second");
  EXPECT_EQ(f.text("TFTarvex3.StatusBar1.3"), "second");
  EXPECT_EQ(f.host.statuses, (std::vector<std::string>{"first", "second"}));
  EXPECT_GE(f.host.eventsProcessed, 2);
  f.session.SetStatus("");
  EXPECT_EQ(f.text("TFTarvex3.StatusBar1.3"), "");
  f.session.logAppend("a");
  f.session.logAppend("b\n");
  f.session.logAppend("c");
  EXPECT_EQ(f.session.logText(), "ab\nc");
}

TEST(Dispatch, UnsupportedNraModelsOnlyShowTheirMessage) {
  for (auto [radio, message] :
       {std::pair{"TFOptions.RadioGauss", "Gaussian calculation not ready for NRP"},
        std::pair{"TFOptions.RadioExternal", "External cross section not ready for NRP"}}) {
    SessionFixture f;
    f.session.setCheckedAsClick(radio, true);
    f.session.controls().setItemIndex("TFBackground.Bkgrdradio", 0);
    f.set("TFBackground.EditYs", "5");
    f.session.run("CalcSimulation");
    EXPECT_EQ(f.host.messages, std::vector<std::string>{message});
    EXPECT_EQ(lineValue(f.session.state().nraBackgroundLine, 77.0), 5.0);  // updated first
    EXPECT_TRUE(f.series("ChartPrinc.SeriesBessel").points.empty());
  }
}

TEST(Dispatch, CurvesPlottedBeforeAnyBackgroundUpdateHaveNoBackground) {
  // The ion-scattering engines run straight from start-up, without "Calculate" updating the
  // background lines first: the curve has no background, not a line through one point.
  for (const char* engine : {"CalcGaussianMEIS", "CalcAnaliticMEIS"}) {
    SessionFixture f;
    f.session.run(engine);
    for (const char* key : {"ChartPrinc.SeriesGauss", "ChartPrinc.SeriesBessel"}) {
      for (const ChartPoint& p : f.series(key).points)
        ASSERT_TRUE(std::isfinite(p.y)) << engine << " " << key << " at " << p.x;
    }
  }
  EXPECT_EQ(lineValue(WorkingState().nraBackgroundLine, 151.0), 0.0);
  EXPECT_EQ(lineValue(WorkingState().meisBackgroundLine, 90.0), 0.0);
}

TEST(Dispatch, BackgroundLines) {
  SessionFixture f;
  f.set("TFBackground.EditYs", "5");
  f.session.updatebkgrnd();
  EXPECT_EQ(lineValue(f.session.state().meisBackgroundLine, 123.0), 5.0);
  f.session.select("TFBackground.Bkgrdradio", 1);
  f.set("TFBackground.EditYs", "0");
  f.set("TFBackground.EditYf", "10");
  f.session.updatebkgrnd();
  EXPECT_DOUBLE_EQ(lineValue(f.session.state().nraBackgroundLine, 250.0), 5.0);
  EXPECT_DOUBLE_EQ(lineValue(f.session.state().meisBackgroundLine, 250.0), 5.0);

  // Es equal to Ef gives no line: refused, both lines as they were, no curve drawn non-finite.
  f.session.run("CalcSimulation");
  const auto before = f.series("ChartPrinc.SeriesPrinc").points;
  f.set("TFBackground.EditEs", "500");
  f.session.run("Preview");
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_EQ(f.host.messages[0],
            "The linear background needs two different energies: Es and Ef are both 500 keV");
  EXPECT_DOUBLE_EQ(lineValue(f.session.state().nraBackgroundLine, 250.0), 5.0);
  EXPECT_DOUBLE_EQ(lineValue(f.session.state().meisBackgroundLine, 250.0), 5.0);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.host.messages.size(), 2u);
  const auto& after = f.series("ChartPrinc.SeriesPrinc").points;
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < after.size(); ++i)
    ASSERT_EQ(after[i].y, before[i].y);
}

TEST(Dispatch, HideTwiceGivesTheExpandedHeight) {
  SessionFixture f;
  EXPECT_EQ(f.session.optionsClientHeight(), 416);
  f.session.click("TFOptions.ButtonHide");
  EXPECT_EQ(f.session.optionsClientHeight(), 32);
  EXPECT_EQ(f.session.controls().get("TFOptions.ButtonHide").caption, "Show");
  f.session.click("TFOptions.ButtonHide");
  EXPECT_EQ(f.session.optionsClientHeight(), 419);
  EXPECT_EQ(f.session.controls().get("TFOptions.ButtonHide").caption, "Hide");
}

TEST(Dispatch, NumericControlsFollowModelAndAutoMode) {
  SessionFixture f;
  ControlStore& c = f.session.controls();
  const char* numeric[] = {"EditNc", "EditStep", "EditVecsize"};
  f.session.setCheckedAsClick("TFOptions.RadioGauss", true);
  for (const char* fr : {"TFNRP", "TFMEIS"}) {
    EXPECT_FALSE(c.enabled(std::string(fr) + ".ButtonCalculate"));
    EXPECT_FALSE(c.enabled(std::string(fr) + ".CheckAuto"));
  }
  // "External CS" has no handler: nothing changes until another button is clicked.
  f.session.setCheckedAsClick("TFOptions.RadioExternal", true);
  EXPECT_FALSE(c.enabled("TFNRP.ButtonCalculate"));
  f.session.setCheckedAsClick("TFOptions.RadioNumeric", true);
  EXPECT_TRUE(c.enabled("TFNRP.ButtonCalculate"));
  EXPECT_TRUE(c.enabled("TFNRP.CheckAuto"));
  for (const char* n : numeric)
    EXPECT_FALSE(c.enabled(std::string("TFNRP.") + n)) << n;
  EXPECT_FALSE(c.enabled("TFMEIS.ButtonCalculate"));  // ShowNumeric touches the NRA frame only
  f.session.setCheckedAsClick("TFOptions.RadioNRP", true);  // the mode clicked again
  EXPECT_TRUE(c.enabled("TFMEIS.ButtonCalculate"));
  EXPECT_TRUE(c.enabled("TFMEIS.CheckAuto"));
  for (const char* n : numeric)
    EXPECT_FALSE(c.enabled(std::string("TFMEIS.") + n)) << n;
  f.session.setCheckedAsClick("TFNRP.CheckAuto", false);
  for (const char* n : numeric)
    EXPECT_TRUE(c.enabled(std::string("TFNRP.") + n)) << n;
}

TEST(Dispatch, ModeSwitchBringsTheFramesAndTheProfile) {
  SessionFixture f;
  ControlStore& c = f.session.controls();
  EXPECT_TRUE(c.get("TFNRP").visible);
  EXPECT_FALSE(c.enabled("TFMEIS"));
  EXPECT_EQ(f.series("ChartNRPProf.SeriesAmostra").points.size(), 2000u);
  f.meisMode();
  EXPECT_TRUE(c.get("TFMEIS").visible);
  EXPECT_FALSE(c.enabled("TFNRP"));
  EXPECT_TRUE(c.enabled("TFrameMEISSample"));
  EXPECT_FALSE(f.session.state().currentProfile.nra);
  // A disabled frame's buttons cannot be pressed.
  EXPECT_FALSE(f.session.click("TFNRP.Button3"));
}

TEST(Dispatch, OkHidesAndBackgroundShows) {
  SessionFixture f;
  f.session.click("TFOptions.Button2");
  EXPECT_FALSE(f.session.controls().get("TFOptions").visible);
  f.session.click("TFOptions.Button3");
  EXPECT_TRUE(f.session.controls().get("TFBackground").visible);
}

TEST(Actions, UnknownNamesAreRefusedAndFailuresBecomeMessages) {
  SessionFixture f;
  EXPECT_THROW(f.session.run("NoSuchThing"), UnknownAction);
  f.set("TFNRP.EditMaxDepth", "ten");
  f.session.run("Updateplot");
  EXPECT_EQ(
      f.host.messages,
      std::vector<std::string>{
          "'ten' is not a valid floating point value (Options, Resonant NRA: \"Thickness\")"});
  EXPECT_EQ(f.session.state().nraProfile.count, 2000);
}

}  // namespace
}  // namespace tarvex
