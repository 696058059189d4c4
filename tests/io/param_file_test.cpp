#include "io/param_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>

#include "file_fixture.h"
#include "io/files.h"

namespace tarvex {
namespace {

using testing::FileFixture;
using testing::slurp;

TEST(ParameterFiles, FirstStartThenCloseWritesTheDefaults) {
  FileFixture f;
  startUp(f.session);
  const std::string def = slurp(f.path("default.ini"));
  ASSERT_EQ(def.size(), 600u);
  const unsigned char head[24] = {0, 0, 0,    0,    0, 0, 0, 0, 0, 0, 0,    0,
                                  0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
  EXPECT_EQ(def.substr(0, 24), std::string(reinterpret_cast<const char*>(head), 24));
  const unsigned char dose[16] = {0, 0, 0, 0, 0, 0, 0x20, 0x40, 0, 0, 0, 0, 0, 0xE0, 0x62, 0x40};
  EXPECT_EQ(def.substr(144, 16), std::string(reinterpret_cast<const char*>(dose), 16));
  EXPECT_FALSE(std::filesystem::exists(f.path("tarvex.ini")));
  f.session.run("CloseMainWindow");
  EXPECT_EQ(slurp(f.path("tarvex.ini")), def);
}

// The files chosen in the "External cross section" window survive a restart: closing writes
// them beside tarvex.ini (whose 600 bytes stay as they are), the next start applies them.
// "default.ini" and its reset do not touch them; with "Remember Settings" off they are not
// applied; lines that name nothing of the window are left out.
TEST(ParameterFiles, TheChosenCrossSectionAndSccFilesAreKept) {
  FileFixture f;
  startUp(f.session);
  f.set("TFExternCS.EditCSFile", "/data/cs/H in HfO2 = 100 keV.dat");
  f.set("TFExternCS.EditSCCFile", "scc-hf.dat");
  f.session.run("CloseMainWindow");
  EXPECT_EQ(slurp(f.path("tarvex.ini")).size(), 600u);
  EXPECT_EQ(slurp(f.path("tarvex-files.conf")),
            "# Tarvex: the files chosen in the \"External cross section\" window\n"
            "TFExternCS.EditCSFile=/data/cs/H in HfO2 = 100 keV.dat\n"
            "TFExternCS.EditSCCFile=scc-hf.dat\n");

  FileFixture::Later g(f.dir);
  EXPECT_EQ(g.text("TFExternCS.EditCSFile"), "crosssection.dat");
  g.session.run("StartUp");
  EXPECT_TRUE(g.host.messages.empty());
  EXPECT_EQ(g.text("TFExternCS.EditCSFile"), "/data/cs/H in HfO2 = 100 keV.dat");
  EXPECT_EQ(g.text("TFExternCS.EditSCCFile"), "scc-hf.dat");

  // Comments, CR LF line ends and unknown lines.
  f.write("tarvex-files.conf",
          "# x\r\nTFExternCS.EditSCCFile=b.dat\r\nTFOptions.EditMult=99\r\nno line\r\n");
  FileFixture::Later h(f.dir);
  h.session.run("StartUp");
  EXPECT_EQ(h.text("TFExternCS.EditSCCFile"), "b.dat");
  EXPECT_EQ(h.text("TFExternCS.EditCSFile"), "crosssection.dat");
  EXPECT_EQ(h.text("TFOptions.EditMult"), "8");

  // "Remember Settings" off: the names stay as they are.
  f.write("tarvex-files.conf", "TFExternCS.EditSCCFile=c.dat\n");
  FileFixture::Later k(f.dir);
  k.session.run("StartUp");
  k.session.setCheckedAsClick("TFOptions.CheckRememberSettings", false);
  k.session.run("SaveParameters");
  k.set("TFExternCS.EditSCCFile", "typed.dat");
  k.session.run("LoadParameters");
  EXPECT_EQ(k.text("TFExternCS.EditSCCFile"), "typed.dat");
}

// A settings file that cannot be written (here a folder stands in its place) is reported, but
// it neither keeps the user's settings from being read at start-up nor keeps the program open:
// closing asks.
TEST(ParameterFiles, ASettingsFileThatCannotBeWrittenIsReportedNotFatal) {
  FileFixture f;
  f.set("TFOptions.EditMult", "3");
  f.session.setCheckedAsClick("TFOptions.RadioMEIS", true);
  f.session.run("SaveParameters");
  std::filesystem::create_directories(f.path("default.ini/in-the-way"));

  FileFixture::Later g(f.dir);
  g.session.run("StartUp");
  ASSERT_EQ(g.host.messages.size(), 1u);
  EXPECT_NE(g.host.messages[0].find("default.ini"), std::string::npos) << g.host.messages[0];
  EXPECT_EQ(g.text("TFOptions.EditMult"), "3");
  EXPECT_TRUE(g.session.controls().checked("TFOptions.RadioMEIS"));

  std::filesystem::remove(f.path("tarvex.ini"));
  std::filesystem::create_directories(f.path("tarvex.ini/in-the-way"));
  g.host.yesNoAnswers = {false};
  const std::size_t before = g.host.messages.size();
  g.session.run("CloseMainWindow");
  EXPECT_TRUE(g.session.lastCommandFailed());     // the user stays to mend it
  EXPECT_EQ(g.host.messages.size(), before + 1);  // the question alone
  g.host.yesNoAnswers = {true};
  g.session.run("CloseMainWindow");
  EXPECT_FALSE(g.session.lastCommandFailed());
  EXPECT_NE(g.host.messages.back().find("Close without saving the settings?"), std::string::npos);
  // A field that does not convert still keeps the window, without a question.
  g.set("TFOptions.EditMult", "x");
  const std::size_t asked = g.host.messages.size();
  g.session.run("CloseMainWindow");
  EXPECT_TRUE(g.session.lastCommandFailed());
  EXPECT_EQ(g.host.messages.size(), asked + 1);
}

// A "tarvex.ini" that is there but cannot be read (larger than any parameter file, or a
// folder) is refused with its name like any other refused settings file, at start-up too;
// the settings stay as they were. A missing one is no fault.
TEST(ParameterFiles, ASettingsFileTooLargeToReadIsRefusedByName) {
  FileFixture f;
  f.set("TFOptions.EditMult", "3");
  f.session.run("SaveParameters");
  std::string big = slurp(f.path("tarvex.ini"));
  big.resize((std::size_t{1} << 20) + 1, '\0');
  f.write("tarvex.ini", big);
  const std::string refused = std::string("The parameter file \"")
                                  .append(f.path("tarvex.ini"))
                                  .append("\" was not applied: ");
  f.set("TFOptions.EditMult", "5");
  f.session.run("LoadParameters");
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_EQ(f.host.messages[0],
            refused +
                "it holds 1048577 bytes, more than the 1048576 read of a parameter file "
                "(one holds 600)");
  EXPECT_TRUE(f.session.lastCommandFailed());
  EXPECT_EQ(f.text("TFOptions.EditMult"), "5");

  FileFixture::Later g(f.dir);
  g.session.run("StartUp");
  ASSERT_EQ(g.host.messages.size(), 1u);
  EXPECT_EQ(g.host.messages[0].rfind(refused, 0), 0u) << g.host.messages[0];
  EXPECT_EQ(g.text("TFOptions.EditMult"), "8");
  EXPECT_TRUE(std::filesystem::exists(f.path("default.ini")));  // written before

  std::filesystem::remove(f.path("tarvex.ini"));
  std::filesystem::create_directories(f.path("tarvex.ini/in-the-way"));
  g.session.run("LoadParameters");
  ASSERT_EQ(g.host.messages.size(), 2u);
  EXPECT_EQ(g.host.messages[1], refused + "it is not a file");

  std::filesystem::remove_all(f.path("tarvex.ini"));
  g.session.run("LoadParameters");
  EXPECT_EQ(g.host.messages.size(), 2u);
  EXPECT_FALSE(g.session.lastCommandFailed());
}

TEST(ParameterFiles, SaveLoadRoundTripAndReservedSlots) {
  FileFixture f;
  f.set("TFNRP.EditEnrg", "1E-5");
  f.set("TFMEIS.EditS", "20740");
  f.session.setCheckedAsClick("TFNRP.CheckAuto", false);
  f.session.setCheckedAsClick("TFOptions.RadioMEIS", true);
  f.session.run("SaveParameters");
  std::string bytes = slurp(f.path("tarvex.ini"));
  ASSERT_EQ(bytes.size(), 600u);
  bytes[600 - 8] = 0x11;  // a reserved slot another run wrote
  f.write("tarvex.ini", bytes);

  FileFixture::Later g(f.dir);
  g.session.run("LoadParameters");
  EXPECT_EQ(g.text("TFNRP.EditEnrg"), "0.00001");
  EXPECT_TRUE(g.session.controls().checked("TFOptions.RadioMEIS"));
  EXPECT_FALSE(g.session.controls().checked("TFOptions.RadioNRP"));
  EXPECT_FALSE(g.session.controls().checked("TFNRP.CheckAuto"));
  EXPECT_TRUE(g.session.controls().enabled("TFNRP.EditNc"));  // the handler ran
  EXPECT_TRUE(g.session.controls().get("TFMEIS").visible);    // ShowSelectedMode ran
  g.session.run("SaveParameters");
  EXPECT_EQ(slurp(f.path("tarvex.ini")), bytes);
}

TEST(ParameterFiles, RememberSettingsOffChangesNoControl) {
  FileFixture f;
  f.set("TFNRP.EditEnrg", "200");
  f.session.setCheckedAsClick("TFOptions.CheckRememberSettings", false);
  f.session.run("SaveParameters");
  FileFixture::Later g(f.dir);
  g.session.run("LoadParameters");
  EXPECT_EQ(g.text("TFNRP.EditEnrg"), "151");
  EXPECT_TRUE(g.session.controls().checked("TFOptions.CheckRememberSettings"));
}

TEST(ParameterFiles, LaterFlagsWinAndShortFilesKeepTheRest) {
  FileFixture f;
  f.session.gatherParameters();
  std::array<double, 15> flags = f.session.state().optionFlags;
  std::array<double, 60> values = f.session.state().paramValues;
  flags[flag::modeNra] = 1.0;
  flags[flag::modeMeis] = 1.0;
  flags[flag::modelBessel] = 0.0;
  flags[flag::modelNumeric] = 0.0;
  values[param::ionDose] = 3.5;
  const std::string bytes = encodeParameters(flags, values);
  f.write("tarvex.ini", bytes.substr(0, 120 + 8 * 4 + 3));  // the dose slot is whole
  f.set("TFNRP.EditEnrg", "222");
  f.session.run("LoadParameters");
  EXPECT_TRUE(f.session.controls().checked("TFOptions.RadioMEIS"));
  EXPECT_FALSE(f.session.controls().checked("TFOptions.RadioNRP"));
  EXPECT_FALSE(f.session.controls().checked("TFOptions.RadioNumeric"));
  EXPECT_FALSE(f.session.controls().checked("TFOptions.RadioAnalitic"));
  EXPECT_EQ(f.text("TFOptions.EditMult"), "3.5");
  EXPECT_EQ(f.text("TFNRP.EditEnrg"), "151");  // slot 4 came in part only: the record's value
}

TEST(ParameterFiles, ResetAsksFirst) {
  FileFixture f;
  f.session.run("Savedefaultparam");
  f.set("TFNRP.EditEnrg", "300");
  f.host.yesNoAnswers = {false};
  f.session.run("Loaddefaultparam");
  EXPECT_EQ(f.text("TFNRP.EditEnrg"), "300");
  EXPECT_EQ(f.host.messages.back(), "Load default settings?");
  f.host.yesNoAnswers = {true};
  f.session.run("Loaddefaultparam");
  EXPECT_EQ(f.text("TFNRP.EditEnrg"), "151");
}

TEST(ParameterFiles, ABadEditLeavesTheOldFile) {
  FileFixture f;
  f.session.run("SaveParameters");
  const std::string before = slurp(f.path("tarvex.ini"));
  f.set("TFOptions.EditMult", "eight");
  f.session.run("SaveParameters");
  EXPECT_EQ(f.host.messages.back(),
            "'eight' is not a valid floating point value (Options: \"Ion dose\")");
  EXPECT_EQ(slurp(f.path("tarvex.ini")), before);
}

// A NaN or an infinity anywhere in a parameter file, or a number its edit cannot show: the file
// is refused with a message naming it and the slot; the record, every control and the selected mode
// stay as they were.
TEST(ParameterFiles, NonFiniteNumbersRefuseTheFile) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct {
    std::size_t at;  // byte offset of the slot
    double value;
    const char* names;
  } cases[] = {
      {144, nan, "\"Ion dose:\" (TFOptions.EditMult), bytes 144-151 holds NaN"},
      {128, inf, "(TFOptions.EditBack), bytes 128-135 holds infinity"},
      {488, -inf, "a reserved value slot, bytes 488-495 holds infinity"},
      {24, nan, "(TFOptions.RadioMEIS), bytes 24-31 holds NaN"},
      {0, nan, "a reserved flag slot, bytes 0-7"},
      // The edit would show 1.79769313486232E308, above the largest double: no save could
      // read it back.
      {136, std::numeric_limits<double>::max(), "(TFOptions.EditShift), bytes 136-143 holds "},
  };
  for (const auto& c : cases) {
    FileFixture f;
    f.session.gatherParameters();
    std::array<double, 15> flags = f.session.state().optionFlags;
    std::array<double, 60> values = f.session.state().paramValues;
    flags[flag::modeMeis] = 1.0;  // a file that would also change the mode
    values[param::nraResonanceEnergy] = 222;
    std::string bytes = encodeParameters(flags, values);
    std::string slot;
    appendDouble(slot, c.value);
    bytes.replace(c.at, 8, slot);
    f.write("tarvex.ini", bytes);
    const auto recordFlags = f.session.state().optionFlags;
    const auto recordValues = f.session.state().paramValues;
    f.session.run("LoadParameters");
    ASSERT_EQ(f.host.messages.size(), 1u);
    const std::string& m = f.host.messages[0];
    EXPECT_NE(m.find(std::string("\"").append(f.path("tarvex.ini")).append("\"")),
              std::string::npos)
        << m;
    EXPECT_NE(m.find(c.names), std::string::npos) << m;
    EXPECT_EQ(f.text("TFNRP.EditEnrg"), "151");
    EXPECT_EQ(f.text("TFOptions.EditMult"), "8");
    EXPECT_TRUE(f.session.controls().checked("TFOptions.RadioNRP"));
    EXPECT_EQ(f.session.state().optionFlags, recordFlags);
    EXPECT_EQ(f.session.state().paramValues, recordValues);
    // Nothing shows a "NAN" that would block the next save.
    f.session.run("SaveParameters");
    EXPECT_EQ(f.host.messages.size(), 1u);
  }
}

}  // namespace
}  // namespace tarvex
