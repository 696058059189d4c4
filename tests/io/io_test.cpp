#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "io/data_file.h"
#include "io/exports.h"
#include "io/files.h"
#include "io/param_file.h"
#include "io/profile_file.h"
#include "support/recording_host.h"

namespace tarvex {
namespace {

using testing::SessionFixture;

// A fresh folder under the test temporary directory for one test's files.
std::string freshDir(const std::string& name) {
  const auto dir = std::filesystem::path(::testing::TempDir()) / ("tarvex_io_" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

std::string slurp(const std::string& path) {
  std::string s;
  EXPECT_TRUE(readWholeFile(path, &s, 1 << 30)) << path;
  return s;
}

void spit(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

struct FileFixture : SessionFixture {
  std::string dir;
  // Another session in the same folder keeps what the first one wrote.
  FileFixture(const std::string& name, bool fresh = true)
      : dir(fresh
                ? freshDir(name)
                : (std::filesystem::path(::testing::TempDir()) / ("tarvex_io_" + name)).string()) {
    session.state().startDirectory = dir;
  }
  std::string path(const std::string& f) const { return dir + "/" + f; }
};

// ---- Shared helpers -------------------------------------------------------------------------

TEST(Files, NumbersAsPercentG) {
  struct {
    double v;
    const char* want;
  } cases[] = {{95.123456, "95.1235"},
               {100, "100"},
               {1234567, "1.23457e+06"},
               {0.00001, "1e-05"},
               {90.01, "90.01"},
               {-2.5, "-2.5"},
               {0, "0"},
               {99.99, "99.99"}};
  for (auto c : cases)
    EXPECT_EQ(formatG6(c.v), c.want) << c.v;
}

TEST(Files, ChangingExtensions) {
  EXPECT_EQ(changeExtension("run.pro", "_profile.txt"), "run_profile.txt");
  EXPECT_EQ(changeExtension("C:\\runs\\s12", "-Bessel.simulation"),
            "C:\\runs\\s12-Bessel.simulation");
  EXPECT_EQ(changeExtension("/a.b/run", ".exp"), "/a.b/run.exp");
  EXPECT_EQ(changeExtension("/a/run.x.simulation", ".pro"), "/a/run.x.pro");
  EXPECT_EQ(changeExtension("", "-Gauss.simulation"), "-Gauss.simulation");
  EXPECT_EQ(fileNameOnly("/data/x/spec.dat"), "spec.dat");
}

TEST(Files, AtomicWritesReportTheFileAndLeaveNoTemporary) {
  const std::string dir = freshDir("atomic");
  const std::string p = dir + "/a.txt";
  writeFileAtomically(p, "one");
  writeFileAtomically(p, "two");
  EXPECT_EQ(slurp(p), "two");
  EXPECT_FALSE(std::filesystem::exists(p + ".tmp~"));
  try {
    writeFileAtomically(dir + "/missing/b.txt", "x");
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("missing/b.txt"), std::string::npos);
  }
}

// ---- Parameter files ------------------------------------------------------------------------

TEST(ParameterFiles, FirstStartThenCloseWritesTheDefaults) {
  FileFixture f("params_first");
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

TEST(ParameterFiles, SaveLoadRoundTripAndReservedSlots) {
  FileFixture f("params_roundtrip");
  f.set("TFNRP.EditEnrg", "1E-5");
  f.set("TFMEIS.EditS", "20740");
  f.session.setCheckedAsClick("TFNRP.CheckAuto", false);
  f.session.setCheckedAsClick("TFOptions.RadioMEIS", true);
  f.session.run("SaveParameters");
  std::string bytes = slurp(f.path("tarvex.ini"));
  ASSERT_EQ(bytes.size(), 600u);
  bytes[600 - 8] = 0x11;  // a reserved slot another run wrote
  spit(f.path("tarvex.ini"), bytes);

  FileFixture g("params_roundtrip", false);
  g.session.run("LoadParameters");
  EXPECT_EQ(g.text("TFNRP.EditEnrg"), "0.00001");
  EXPECT_TRUE(g.session.controls().checked("TFOptions.RadioMEIS"));
  EXPECT_FALSE(g.session.controls().checked("TFOptions.RadioNRP"));
  EXPECT_FALSE(g.session.controls().checked("TFNRP.CheckAuto"));
  EXPECT_TRUE(g.session.controls().enabled("TFNRP.EditNc"));  // the handler ran
  EXPECT_TRUE(g.session.controls().get("TFMEIS").visible);    // ShowSelectedMode ran
  g.session.run("SaveParameters");
  EXPECT_EQ(slurp(g.path("tarvex.ini")), bytes);
}

TEST(ParameterFiles, RememberSettingsOffChangesNoControl) {
  FileFixture f("params_remember");
  f.set("TFNRP.EditEnrg", "200");
  f.session.setCheckedAsClick("TFOptions.CheckRememberSettings", false);
  f.session.run("SaveParameters");
  FileFixture g("params_remember", false);
  g.session.run("LoadParameters");
  EXPECT_EQ(g.text("TFNRP.EditEnrg"), "151");
  EXPECT_TRUE(g.session.controls().checked("TFOptions.CheckRememberSettings"));
}

TEST(ParameterFiles, LaterFlagsWinAndShortFilesKeepTheRest) {
  FileFixture f("params_flags");
  std::array<double, 15> flags{};
  std::array<double, 60> values{};
  f.session.gatherParameters();
  flags = f.session.state().optionFlags;
  values = f.session.state().paramValues;
  flags[flag::modeNra] = 1.0;
  flags[flag::modeMeis] = 1.0;
  flags[flag::modelBessel] = 0.0;
  flags[flag::modelNumeric] = 0.0;
  values[param::ionDose] = 3.5;
  std::string bytes = encodeParameters(flags, values);
  spit(f.path("tarvex.ini"), bytes.substr(0, 120 + 8 * 4 + 3));  // the dose slot is whole
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
  FileFixture f("params_reset");
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
  FileFixture f("params_bad");
  f.session.run("SaveParameters");
  const std::string before = slurp(f.path("tarvex.ini"));
  f.set("TFOptions.EditMult", "eight");
  f.session.run("SaveParameters");
  EXPECT_EQ(f.host.messages.back(), "'eight' is not a valid floating point value");
  EXPECT_EQ(slurp(f.path("tarvex.ini")), before);
}

// ---- Measured data --------------------------------------------------------------------------

std::vector<datapoint> parse(const std::string& text, bool* ok = nullptr) {
  std::vector<datapoint> p;
  const bool r = parseDataFile(text, &p);
  if (ok) *ok = r;
  return p;
}

TEST(DataFiles, StreamSemantics) {
  struct {
    const char* text;
    std::vector<std::pair<float, float>> pairs;  // the entries consumers use (all but the last)
    std::size_t entries;
    bool ok;
  } cases[] = {
      {"; sample A, 400 keV, detector 2\n100.0 12\n100.5 15\n101.0 19 ; end of first block\n101.5 "
       "22\n",
       {{100.0f, 12}, {100.5f, 15}, {101.0f, 19}, {101.5f, 22}},
       5,
       true},
      {"", {}, 1, true},
      {";only a comment\n\n", {}, 1, true},
      {"1 2\n3 4\n", {{1, 2}, {3, 4}}, 3, true},
      {"1 2\n3 4", {{1, 2}}, 2, true},
      {"1\n2\n3\n4\n", {{1, 2}, {3, 4}}, 3, true},
      {";comment 5 6\n7 8\n", {{7, 8}}, 2, true},
      {"1e2 3.5E-1\n", {{100, 0.35f}}, 2, true},
      {"150.2\t1234\r\n", {{150.2f, 1234}}, 2, true},
      {"1 ;x\n2\n", {}, 1, false},
      {"1,5 2,5\n", {}, 1, false},
      {"1 2\n3 4\nend\n", {{1, 2}, {3, 4}}, 3, false},
  };
  for (const auto& c : cases) {
    bool ok = false;
    const auto p = parse(c.text, &ok);
    EXPECT_EQ(ok, c.ok) << c.text;
    ASSERT_EQ(p.size(), c.entries) << c.text;
    for (std::size_t i = 0; i < c.pairs.size(); ++i) {
      EXPECT_EQ(p[i].x, c.pairs[i].first) << c.text;
      EXPECT_EQ(p[i].y, c.pairs[i].second) << c.text;
    }
  }
}

TEST(DataFiles, TheEntryLimit) {
  std::string ok, over;
  for (int i = 0; i < 19999; ++i)
    ok += "1 2\n";
  over = ok + "1 2\n";
  bool r = false;
  EXPECT_EQ(parse(ok, &r).size(), 20000u);
  EXPECT_TRUE(r);
  EXPECT_EQ(parse(over, &r).size(), 20000u);
  EXPECT_FALSE(r);
}

TEST(DataFiles, LoadPlotsAndNamesTheFile) {
  FileFixture f("data_load");
  spit(f.path("spec.dat"), "1 2\n3 4\n");
  f.host.fileAnswers = {f.path("spec.dat")};
  f.set("TFOptions.EditShift", "0.5");
  f.session.run("Loaddata");
  EXPECT_EQ(f.text("TFTarvex3.StatusBar1.2"), "spec.dat");
  const auto& pts = f.series("ChartPrinc.SeriesExp").points;
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_EQ(pts[1].x, 3.5);
  EXPECT_EQ(f.host.dialogs[0].defaultExt, "dat");

  spit(f.path("bad.dat"), "5 6\n1,5 2,5\n");
  f.host.fileAnswers = {f.path("bad.dat")};
  f.session.run("Loaddata");
  EXPECT_EQ(f.host.messages, std::vector<std::string>{"File Error!"});
  EXPECT_EQ(f.session.state().measuredPoints.size(), 2u);  // (5, 6) and the failed entry
  EXPECT_EQ(f.text("TFTarvex3.StatusBar1.2"), "bad.dat");
  f.host.fileAnswers = {std::nullopt};
  f.session.run("Loaddata");
  EXPECT_EQ(f.session.state().measuredPoints.size(), 2u);  // cancelled: nothing changes
}

// ---- Profile files --------------------------------------------------------------------------

TEST(ProfileFiles, TheSmallExample) {
  profile p(2.5, 0.5);
  p.values = {0, 0, 0.2, 0.7, 1};
  p.startDepth = 1;
  const std::string bin = encodeProfile(p, {});
  EXPECT_EQ(bin.size(), 88u);
  double h[3];
  std::memcpy(h, bin.data(), 24);
  EXPECT_EQ(h[0], 1.0);
  EXPECT_EQ(h[1], 0.5);
  EXPECT_EQ(h[2], 2.5);
  EXPECT_EQ(profileText(p), "1   0.2\n1.5   0.7\n2   1\n");
}

TEST(ProfileFiles, SaveAndLoadBackInResonantNra) {
  FileFixture f("profile_nra");
  profile& p = f.session.state().nraProfile;
  for (int i = 0; i < p.count; ++i)
    p.values[i] = 0.1 * std::sin(0.01 * i) + 0.5;
  f.set("TFOptions.EditBack", "3");
  f.set("TFOptions.EditMult", "2.5");
  f.set("TFOptions.EditShift", "-0.25");
  f.host.fileAnswers = {f.path("x.pro")};
  f.session.run("SaveProfile");
  EXPECT_EQ(f.host.statuses.back(), "Profile saved!");
  EXPECT_EQ(slurp(f.path("x.pro")).size(), 48u + 16000u);
  std::istringstream text(slurp(f.path("x_profile.txt")));
  int lines = 0;
  std::string last;
  for (std::string l; std::getline(text, l); ++lines)
    last = l;
  EXPECT_EQ(lines, 2000);
  EXPECT_EQ(last.substr(0, 8), "9.995   ");

  SessionFixture g;
  g.host.fileAnswers = {f.path("x.pro")};
  g.session.run("LoadProfile");
  const profile& q = g.session.state().nraProfile;
  ASSERT_EQ(q.count, p.count);
  EXPECT_EQ(q.step, p.step);
  for (int i = 0; i < q.count; ++i)
    ASSERT_EQ(q.values[i], static_cast<double>(static_cast<float>(p.values[i])));
  EXPECT_EQ(g.text("TFOptions.EditBack"), "3");
  EXPECT_EQ(g.text("TFOptions.EditMult"), "2.5");
  EXPECT_EQ(g.text("TFOptions.EditShift"), "-0.25");
  EXPECT_EQ(g.text("TFrameNRPSample.StatusDraw"), "Profile loaded from file!");
}

TEST(ProfileFiles, BadFilesAreRefusedAndChangeNothing) {
  FileFixture f("profile_bad");
  profile good(2.5, 0.5);
  const std::string bytes = encodeProfile(good, {1, 2, 3});
  struct {
    const char* name;
    std::string content;
  } cases[] = {{"short.pro", bytes.substr(0, 60)},
               {"header.pro", bytes.substr(0, 40)},
               {"empty.pro", ""},
               {"nan.pro", std::string(8, '\0') + std::string(8, '\xff') + bytes.substr(16)}};
  for (const auto& c : cases) {
    spit(f.path(c.name), c.content);
    f.host.fileAnswers = {f.path(c.name)};
    f.session.run("LoadProfile");
    EXPECT_NE(f.host.messages.back().find(c.name), std::string::npos) << f.host.messages.back();
    EXPECT_EQ(f.session.state().nraProfile.count, 2000) << c.name;
    EXPECT_EQ(f.text("TFOptions.EditMult"), "8") << c.name;
  }
  f.host.fileAnswers = {f.path("nothing-here.pro")};
  f.session.run("LoadProfile");
  EXPECT_NE(f.host.messages.back().find("nothing-here.pro"), std::string::npos);
}

TEST(ProfileFiles, IonScatteringWritesOneTextFilePerElement) {
  FileFixture f("profile_meis");
  f.meisMode();
  f.addElement("O");
  f.addElement("Hf");
  f.host.fileAnswers = {f.path("s.pro")};
  f.session.run("SaveProfile");
  EXPECT_TRUE(std::filesystem::exists(f.path("s_Hf_profile.txt")));
  EXPECT_TRUE(std::filesystem::exists(f.path("s_O_profile.txt")));
  EXPECT_FALSE(std::filesystem::exists(f.path("s.pro")));
}

TEST(ProfileFiles, Buffers) {
  SessionFixture f;
  f.session.run("LoadBuffer2");
  EXPECT_EQ(f.session.state().nraProfile.count, 0);
  EXPECT_EQ(f.session.state().nraProfile.step, 0.1);
  f.session.state().nraProfile = profile(3.0, 0.01);
  f.session.state().nraProfile.setStart(1.0);
  f.session.state().nraProfile.values[250] = 0.5;
  const profile stored = f.session.state().nraProfile;
  f.session.run("StoreBuffer1");
  f.session.state().nraProfile.values[250] = 0.0;
  f.session.run("LoadBuffer1");
  EXPECT_EQ(f.session.state().nraProfile.values, stored.values);
  EXPECT_EQ(f.session.state().nraProfile.startDepth, 1.0);
}

TEST(ProfileFiles, AFileThatCannotBeCreatedIsReported) {
  FileFixture f("profile_fail");
  f.host.fileAnswers = {f.path("no/such/dir/x.pro")};
  f.session.run("SaveProfile");
  ASSERT_EQ(f.host.messages.size(), 2u);
  EXPECT_NE(f.host.messages[0].find("no/such/dir/x.pro"), std::string::npos);
  EXPECT_NE(f.host.messages[1].find("x_profile.txt"), std::string::npos);
  EXPECT_TRUE(f.host.statuses.empty() || f.host.statuses.back() != "Profile saved!");
}

// ---- Exports --------------------------------------------------------------------------------

TEST(Exports, IonScatteringCurveLines) {
  FileFixture f("export_meis");
  f.meisMode();
  f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  f.session.run("Updateplot");
  for (double& v : f.session.state().elementProfiles["Hf"].values)
    v = 1.0;
  f.session.run("CalcSimulation");
  f.host.fileAnswers = {f.path("b.simulation")};
  f.session.run("SaveAnaliticMEIS");
  std::istringstream text(slurp(f.path("b.simulation")));
  std::vector<std::string> lines;
  for (std::string l; std::getline(text, l);)
    lines.push_back(l);
  ASSERT_EQ(lines.size(), 1000u);
  EXPECT_EQ(lines[0].substr(0, 5), "90   ");
  EXPECT_EQ(lines.back().substr(0, 8), "99.99   ");
  const auto& pts = f.series("ChartPrinc.SeriesBessel").points;
  EXPECT_EQ(lines[700], formatG6(pts[700].x) + "   " + formatG6(pts[700].y));

  f.set("TFMEIS.EditGauss", "40");
  f.host.fileAnswers = {f.path("c.simulation")};
  f.session.run("SaveAnaliticMEIS");
  std::istringstream fine(slurp(f.path("c.simulation")));
  int n = 0;
  for (std::string l; std::getline(fine, l);)
    ++n;
  EXPECT_EQ(n, 10000);

  f.set("TFMEIS.EditSimMin", "90.5");
  f.host.fileAnswers = {f.path("d.simulation")};
  f.session.run("SaveAnaliticMEIS");
  EXPECT_EQ(f.host.messages.back(), "'90.5' is not a valid integer value");
}

TEST(Exports, ExportAllAndReload) {
  FileFixture f("export_all");
  spit(f.path("run.dat"), "150 10\n151 20\n152 30\n");
  f.host.fileAnswers = {f.path("run.dat")};
  f.session.run("Loaddata");
  f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  f.session.state().nraProfile.values.assign(2000, 1.0);
  f.session.run("CalcSimulation");
  f.host.fileAnswers = {f.path("run.simulation")};
  f.session.run("ExplortAll");
  EXPECT_EQ(f.host.dialogs.back().fileName, f.path("run.simulation"));  // prefilled
  for (const char* name : {"run.simulation", "run.exp", "run.pro", "run_profile.txt"}) {
    EXPECT_TRUE(std::filesystem::exists(f.path(name))) << name;
  }
  EXPECT_EQ(slurp(f.path("run.exp")), "150   10\n151   20\n152   30\n");
  // The ".exp" file is an ordinary data file.
  f.host.fileAnswers = {f.path("run.exp")};
  f.session.run("Loaddata");
  EXPECT_EQ(f.series("ChartPrinc.SeriesExp").points.size(), 3u);
}

TEST(Exports, UltraExporterNames) {
  FileFixture f("export_ultra");
  f.meisMode();
  f.addElement("Hf");
  f.set("TFLayers.EditFileName", f.path("s12"));
  f.session.run("Ultraexporter");
  for (const char* name : {"s12-Bessel.simulation", "s12-Amsel.simulation", "s12-AO.simulation",
                           "s12-Gauss.simulation", "s12.exp", "s12.pro", "s12_Hf_profile.txt"}) {
    EXPECT_TRUE(std::filesystem::exists(f.path(name))) << name;
  }
}

}  // namespace
}  // namespace tarvex
