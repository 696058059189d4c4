// What a new user meets first: a field that does not convert is named with its window, the
// first "Calculate" over the empty start profile says why its curve is flat, and the thickness
// the settings bring back is the thickness of the profile.
#include <gtest/gtest.h>

#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

using testing::SessionFixture;

struct BadField {
  const char* key;
  const char* text;
  char separator;
  const char* action;
  const char* message;
};

class FieldMessages : public ::testing::TestWithParam<BadField> {};

// The conversion's own text first, exactly; then the window and caption of the field, and a
// word on the decimal separator where the text used the other one.
TEST_P(FieldMessages, NameTheFieldAndItsWindow) {
  const BadField& b = GetParam();
  SessionFixture f;
  f.session.setDecimalSeparator(b.separator);
  f.set(b.key, b.text);
  // A layer's concentration counts once an element is named beside it.
  const std::string key = b.key;
  if (key.rfind("TFLayers.EditQtd", 0) == 0) f.set("TFLayers.EditEl" + key.substr(16), "Hf");
  if (std::string(b.key).rfind("TFMEIS", 0) == 0) f.meisMode();
  // A button of a builder window runs no action of its own: it is clicked.
  const std::string action = b.action;
  if (action.find('.') != std::string::npos) {
    f.session.click(action);
  } else {
    f.session.run(action);
  }
  ASSERT_FALSE(f.host.messages.empty());
  EXPECT_EQ(f.host.messages.back(), b.message);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, FieldMessages,
    ::testing::Values(
        BadField{"TFNRP.EditMaxE", "", '.', "CalcSimulation",
                 "'' is not a valid floating point value (Options, Resonant NRA: \"Max Energy "
                 "(keV)\")"},
        BadField{"TFOptions.EditMult", "1.5", ',', "Preview",
                 "'1.5' is not a valid floating point value (Options: \"Ion dose\"; the decimal "
                 "separator is ',')"},
        BadField{"TFOptions.EditMult", "1,5", '.', "Preview",
                 "'1,5' is not a valid floating point value (Options: \"Ion dose\"; the decimal "
                 "separator is '.')"},
        BadField{"TFNRP.EditSigma", "x", '.', "Adderfc",
                 "'x' is not a valid floating point value (Options, Resonant NRA: \"Sigma\" in "
                 "\"Add erfc\")"},
        BadField{"TFMEIS.EditSimMin", "90.5", '.', "CalcSimulation",
                 "'90.5' is not a valid integer value (Options, Ion Scattering: \"Min (keV)\")"},
        BadField{"TFBackground.EditYs", "", '.', "Preview",
                 "'' is not a valid floating point value (Background playground: \"Ys\")"},
        BadField{"TFHG.EditQtd3", "lots", '.', "TFHG.Button1",
                 "'lots' is not a valid floating point value (Uniform sample: \"Qtd\", row 3)"},
        BadField{"TFLayers.EditQtd2L3", "", '.', "TFLayers.BitBtn3",
                 "'' is not a valid floating point value (Layered sample: \"%\", layer 3, slot "
                 "2)"}));

// The first "Calculate" after start-up: the profile is empty, the curve a flat zero line.
TEST(EmptyProfile, TheStatusSaysWhereToDrawIt) {
  SessionFixture f;
  f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.text("TFTarvex3.StatusBar1.3"),
            "The profile is empty: draw a layer in the Sample window first");
  // With a layer drawn the calculation ends as it always did.
  f.set("TFNRP.Editx1", "0");
  f.set("TFNRP.Editx2", "5");
  f.session.run("Drawline");
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.text("TFTarvex3.StatusBar1.3"), "Done!");
}

// The settings keep "Thickness" but no profile: after a restart the start profile takes that
// thickness, so that the field and the profile agree.
TEST(StartUp, TheRestoredThicknessIsTheProfiles) {
  testing::TempDir folder("first-use");
  {
    SessionFixture f;
    f.session.state().startDirectory = folder.path().string();
    f.set("TFNRP.EditMaxDepth", "9800");
    f.set("TFNRP.EditCont", "2");
    f.session.run("Updateplot");
    f.session.run("SaveParameters");
  }
  SessionFixture f;
  f.session.state().startDirectory = folder.path().string();
  f.session.run("StartUp");
  const profile& p = f.session.state().nraProfile;
  EXPECT_EQ(f.text("TFNRP.EditMaxDepth"), "9800");
  EXPECT_DOUBLE_EQ(p.count * p.step - p.startDepth, 9800.0);
  EXPECT_DOUBLE_EQ(p.startDepth, 2.0);
  // "Update plot" finds nothing to change: no edit to undo.
  f.session.run("Updateplot");
  EXPECT_EQ(f.session.editHistory().undoCount(true), 0u);
}

// A saved thickness no profile may have: the fields show the start profile's size instead.
TEST(StartUp, AThicknessBeyondAnyProfileGivesWayToTheProfile) {
  testing::TempDir folder("first-use");
  {
    SessionFixture f;
    f.session.state().startDirectory = folder.path().string();
    f.set("TFNRP.EditMaxDepth", "1E30");
    f.session.run("SaveParameters");
  }
  SessionFixture f;
  f.session.state().startDirectory = folder.path().string();
  f.session.run("StartUp");
  EXPECT_EQ(f.text("TFNRP.EditMaxDepth"), "10");
  EXPECT_EQ(f.session.state().nraProfile.count, 2000);
  EXPECT_TRUE(f.host.messages.empty());
}

}  // namespace
}  // namespace tarvex
