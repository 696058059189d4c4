#include "io/exports.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "file_fixture.h"
#include "io/files.h"
#include "io/profile_file.h"

namespace tarvex {
namespace {

using testing::FileFixture;
using testing::slurp;

std::vector<std::string> linesOf(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);)
    lines.push_back(l);
  return lines;
}

bool sameCharts(const ChartStore& a, const std::map<std::string, Series>& before) {
  for (const auto& [key, series] : before) {
    const auto& now = a.series(key).points;
    if (now.size() != series.points.size()) return false;
    for (std::size_t i = 0; i < now.size(); ++i) {
      if (now[i].x != series.points[i].x || now[i].y != series.points[i].y) return false;
    }
  }
  return true;
}

TEST(Exports, IonScatteringCurveLinesAreThePlottedPoints) {
  FileFixture f;
  f.meisMode();
  f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  f.session.run("Updateplot");
  for (double& v : f.session.state().elementProfiles["Hf"].values)
    v = 1.0;
  f.session.run("CalcSimulation");
  const auto plotted = f.series("ChartPrinc.SeriesBessel").points;
  f.host.fileAnswers = {f.path("b.simulation")};
  f.session.run("SaveAnaliticMEIS");
  const auto lines = linesOf(slurp(f.path("b.simulation")));
  ASSERT_EQ(lines.size(), 1000u);
  EXPECT_EQ(lines[0].substr(0, 5), "90   ");
  EXPECT_EQ(lines.back().substr(0, 8), "99.99   ");
  ASSERT_EQ(plotted.size(), 1000u);
  for (std::size_t k = 0; k < lines.size(); ++k)
    ASSERT_EQ(lines[k], formatG6(plotted[k].x) + "   " + formatG6(plotted[k].y));

  // A finer spread: the export follows the plot's spacing without redrawing the chart.
  f.set("TFMEIS.EditGauss", "40");
  const auto charts = f.session.charts().all();
  f.host.fileAnswers = {f.path("c.simulation")};
  f.session.run("SaveAnaliticMEIS");
  EXPECT_EQ(linesOf(slurp(f.path("c.simulation"))).size(), 10000u);
  EXPECT_TRUE(sameCharts(f.session.charts(), charts));

  f.set("TFMEIS.EditSimMin", "90.5");
  f.host.fileAnswers = {f.path("d.simulation")};
  f.session.run("SaveAnaliticMEIS");
  EXPECT_EQ(f.host.messages.back(),
            "'90.5' is not a valid integer value (Options, Ion Scattering: \"Min (keV)\")");
  EXPECT_FALSE(std::filesystem::exists(f.path("d.simulation")));
  EXPECT_TRUE(sameCharts(f.session.charts(), charts));
}

TEST(Exports, ExportAllAndReload) {
  FileFixture f;
  f.host.fileAnswers = {f.write("run.dat", "150 10\n151 20\n152 30\n")};
  f.session.run("Loaddata");
  f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  f.session.state().nraProfile.values.assign(2000, 1.0);
  f.session.run("CalcSimulation");
  f.host.fileAnswers = {f.path("run.simulation")};
  f.session.run("ExplortAll");
  EXPECT_TRUE(f.host.messages.empty());
  EXPECT_EQ(f.host.dialogs.back().fileName, f.path("run.simulation"));  // prefilled
  for (const char* name : {"run.simulation", "run.exp", "run.pro", "run_profile.txt"}) {
    EXPECT_TRUE(std::filesystem::exists(f.path(name))) << name;
  }
  EXPECT_EQ(f.host.statuses.back(), "Profile saved!");
  EXPECT_EQ(slurp(f.path("run.exp")), "150   10\n151   20\n152   30\n");
  ProfileHeader h;
  EXPECT_EQ(decodeProfile(slurp(f.path("run.pro")), &h).values,
            f.session.state().nraProfile.values);
  EXPECT_EQ(h.dose, 8.0);
  // The ".exp" file is an ordinary data file.
  f.host.fileAnswers = {f.path("run.exp")};
  f.session.run("Loaddata");
  EXPECT_EQ(f.series("ChartPrinc.SeriesExp").points.size(), 3u);
}

// "Export all" writes its ".pro" once, together with the profile listing: when the ".pro"
// cannot be written there is one message, and the listing keeps its old content.
TEST(Exports, ExportAllWritesTheProfileOnceAndWithItsListing) {
  FileFixture f;
  f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  std::filesystem::create_directories(f.path("run.pro/in-the-way"));
  f.write("run_profile.txt", "old listing");
  f.host.fileAnswers = {f.path("run.simulation")};
  f.session.run("ExplortAll");
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_NE(f.host.messages[0].find(f.path("run.pro")), std::string::npos);
  EXPECT_EQ(slurp(f.path("run_profile.txt")), "old listing");
  // The set is written whole or not at all.
  EXPECT_FALSE(std::filesystem::exists(f.path("run.exp")));
  EXPECT_FALSE(std::filesystem::exists(f.path("run.simulation")));
  EXPECT_TRUE(f.host.statuses.empty() || f.host.statuses.back() != "Profile saved!");
}

// The files a write-fault seam saw, and the one it refuses (a disk that fills up there).
std::vector<std::string> faultSeen;
std::string faultAt;
bool recordFault(const std::string& path) {
  faultSeen.push_back(fileNameOnly(path));
  return fileNameOnly(path) == faultAt;
}
struct WriteFault {
  explicit WriteFault(const std::string& at) {
    faultSeen.clear();
    faultAt = at;
    setWriteFaultForTesting(&recordFault);
  }
  ~WriteFault() { setWriteFaultForTesting(nullptr); }
};

// "Export all" and the "Ultra Exporter" on a disk that fills up half-way: the writing stops at
// the first file that fails, the message names it, and every file of the set keeps what it
// held (none is new, no temporary is left); once there is space again the whole set is new.
TEST(Exports, ASetThatCannotBeWrittenWholeLeavesEveryFileAsItWas) {
  struct Case {
    bool meis;
    const char* action;
    std::vector<std::string> files;  // in the order they are written
    const char* failing;
  };
  const Case cases[] = {
      {false, "ExplortAll", {"run.simulation", "run.exp", "run.pro", "run_profile.txt"}, "run.exp"},
      {false,
       "ExplortAll",
       {"run.simulation", "run.exp", "run.pro", "run_profile.txt"},
       "run_profile.txt"},
      {true,
       "ExplortAll",
       {"run.simulation", "run.exp", "run_Hf_profile.txt", "run.pro"},
       "run.simulation"},
      {true,
       "Ultraexporter",
       {"run-Bessel.simulation", "run-Amsel.simulation", "run-AO.simulation",
        "run-Gauss.simulation", "run.exp", "run_Hf_profile.txt", "run.pro"},
       "run-AO.simulation"},
  };
  for (const Case& c : cases) {
    FileFixture f;
    if (c.meis) {
      f.meisMode();
      f.addElement("Hf");
    } else {
      f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
      f.session.state().nraProfile.values.assign(2000, 1.0);
      f.session.run("CalcSimulation");
    }
    f.set("TFLayers.EditFileName", f.path("run"));
    for (const std::string& name : c.files)
      f.write(name, "old " + name);
    const auto before = std::distance(std::filesystem::directory_iterator(f.dir),
                                      std::filesystem::directory_iterator());
    {
      WriteFault fault(c.failing);
      f.host.fileAnswers = {f.path("run.simulation")};
      f.session.run(c.action);
      // Nothing after the failing file was attempted.
      ASSERT_FALSE(faultSeen.empty()) << c.action;
      EXPECT_EQ(faultSeen.back(), c.failing) << c.action;
    }
    ASSERT_EQ(f.host.messages.size(), 1u) << c.action << " " << c.failing;
    EXPECT_NE(f.host.messages[0].find(f.path(c.failing)), std::string::npos) << f.host.messages[0];
    for (const std::string& name : c.files)
      EXPECT_EQ(slurp(f.path(name)), "old " + name) << c.action << " " << c.failing;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(f.dir),
                            std::filesystem::directory_iterator()),
              before)
        << "a temporary was left";
    EXPECT_TRUE(f.host.statuses.empty() || f.host.statuses.back() != "Profile saved!");
    // With space again: every file of the set is new.
    f.host.fileAnswers = {f.path("run.simulation")};
    f.session.run(c.action);
    EXPECT_EQ(f.host.messages.size(), 1u);
    for (const std::string& name : c.files)
      EXPECT_NE(slurp(f.path(name)), "old " + name) << c.action << " " << name;
  }
}

// A measured-data file as a detector program writes it: comments and more digits than the
// ".exp" format keeps.
constexpr const char* kRun17 =
    "; run 17, 100 keV H+, Hf on Si\n; detector calib 0.123456 keV/ch\n"
    "90.0001 25.81\n90.05 26.53\n97.123456 2200.7\n";

std::string keptMessage(const std::string& path) {
  return "\"" + path + "\" kept unchanged: the measured data were loaded from it";
}

// Ways of naming one file of a test folder.
enum class Spelling { Absolute, RelativeToWorkingFolder, WithDotSegments };
std::string spell(const FileFixture& f, const std::string& name, Spelling how) {
  namespace fs = std::filesystem;
  switch (how) {
    case Spelling::Absolute:
      break;
    case Spelling::RelativeToWorkingFolder:
      return (fs::relative(f.dir, fs::current_path()) / name).string();
    case Spelling::WithDotSegments:
      fs::create_directories(f.path("sub"));
      return f.dir + "/./sub/../" + name;
  }
  return f.path(name);
}

// "Export all" with the suggested name next to the loaded data file: the data file is never
// rewritten (its comments and digits would be lost), whatever spelling reaches it; every other
// file is written and the status and log name the file that was kept.
TEST(Exports, ExportAllNeverOverwritesTheLoadedDataFile) {
  struct Case {
    const char* what;
    const char* data;  // the file the points are loaded from
    Spelling load, save;
    bool removeData;   // the data file is gone when the export runs
    const char* kept;  // the extension of the file left alone, or nullptr
  };
  const Case cases[] = {
      {"same name", "run17.exp", Spelling::Absolute, Spelling::Absolute, false, ".exp"},
      {"loaded relative, saved absolute", "run17.exp", Spelling::RelativeToWorkingFolder,
       Spelling::Absolute, false, ".exp"},
      {"loaded absolute, saved relative", "run17.exp", Spelling::Absolute,
       Spelling::RelativeToWorkingFolder, false, ".exp"},
      {"dot segments", "run17.exp", Spelling::WithDotSegments, Spelling::Absolute, false, ".exp"},
      {"data named like the curve file", "run17.simulation", Spelling::Absolute,
       Spelling::WithDotSegments, false, ".simulation"},
      {"data file of another name", "run17.dat", Spelling::Absolute, Spelling::Absolute, false,
       nullptr},
      {"data file removed since", "run17.exp", Spelling::Absolute, Spelling::Absolute, true,
       nullptr},
  };
  const std::string exported = "90.0001   25.81\n90.05   26.53\n97.1235   2200.7\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FileFixture f;
    f.write(c.data, kRun17);
    f.host.fileAnswers = {spell(f, c.data, c.load)};
    f.session.run("Loaddata");
    ASSERT_EQ(f.series("ChartPrinc.SeriesExp").points.size(), 3u);
    if (c.removeData) std::filesystem::remove(f.path(c.data));
    f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
    f.session.state().nraProfile.values.assign(2000, 1.0);
    const std::string chosen = spell(f, "run17.simulation", c.save);
    f.host.fileAnswers = {chosen};
    f.session.run("ExplortAll");
    EXPECT_TRUE(f.host.messages.empty());
    for (const char* name : {"run17.simulation", "run17.exp", "run17.pro", "run17_profile.txt"}) {
      EXPECT_TRUE(std::filesystem::exists(f.path(name))) << name;
    }
    if (c.kept == nullptr) {
      EXPECT_EQ(slurp(f.path("run17.exp")), exported);
      EXPECT_EQ(f.host.statuses.back(), "Profile saved!");
      EXPECT_EQ(f.session.logText().find("kept unchanged"), std::string::npos);
      continue;
    }
    EXPECT_EQ(slurp(f.path(std::string("run17") + c.kept)), kRun17);
    const std::string message = keptMessage(changeExtension(chosen, c.kept));
    EXPECT_EQ(f.host.statuses.back(), message);
    EXPECT_NE(f.session.logText().find(message + "\n"), std::string::npos);
    if (std::string(c.kept) != ".exp") {
      EXPECT_EQ(slurp(f.path("run17.exp")), exported);
    }
    ProfileHeader h;
    EXPECT_EQ(decodeProfile(slurp(f.path("run17.pro")), &h).values,
              f.session.state().nraProfile.values);
  }
}

// The exporter without a dialog keeps the loaded data file the same way.
TEST(Exports, UltraExporterNeverOverwritesTheLoadedDataFile) {
  FileFixture f;
  f.meisMode();
  f.addElement("Hf");
  f.host.fileAnswers = {f.write("s12.exp", kRun17)};
  f.session.run("Loaddata");
  f.set("TFLayers.EditFileName", f.path("s12"));
  f.session.run("Ultraexporter");
  EXPECT_TRUE(f.host.messages.empty());
  EXPECT_EQ(slurp(f.path("s12.exp")), kRun17);
  for (const char* name :
       {"s12-Bessel.simulation", "s12-Gauss.simulation", "s12.pro", "s12_Hf_profile.txt"}) {
    EXPECT_TRUE(std::filesystem::exists(f.path(name))) << name;
  }
  EXPECT_EQ(f.host.statuses.back(), keptMessage(f.path("s12.exp")));
}

// A data file that failed to load leaves the earlier points on the chart: the file they came
// from is still kept, and so is the file that failed (it is the user's, whatever it holds).
TEST(Exports, ADataFileThatFailedToLoadLeavesBothFilesProtected) {
  FileFixture f;
  f.host.fileAnswers = {f.write("run17.exp", kRun17)};
  f.session.run("Loaddata");
  const std::string notes = "; notes only, no pair\n";
  f.host.fileAnswers = {f.write("notes.exp", notes)};
  f.session.run("Loaddata");
  ASSERT_EQ(f.host.messages.size(), 1u);
  ASSERT_EQ(f.series("ChartPrinc.SeriesExp").points.size(), 3u);
  f.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  f.session.state().nraProfile.values.assign(2000, 1.0);
  f.host.fileAnswers = {f.path("run17.simulation")};
  f.session.run("ExplortAll");
  EXPECT_EQ(slurp(f.path("run17.exp")), kRun17);
  EXPECT_EQ(f.host.statuses.back(), keptMessage(f.path("run17.exp")));
  f.host.fileAnswers = {f.path("notes.simulation")};
  f.session.run("ExplortAll");
  EXPECT_EQ(slurp(f.path("notes.exp")), notes);
  EXPECT_EQ(f.host.statuses.back(),
            std::string("\"")
                .append(f.path("notes.exp"))
                .append("\" kept unchanged: it was chosen as a measured-data file"));
  EXPECT_EQ(f.host.messages.size(), 1u);
}

TEST(Exports, SaveProfileWritesBothFilesOrNeither) {
  FileFixture f;
  f.write("x.pro", "old pro");
  std::filesystem::create_directories(f.path("x_profile.txt/in-the-way"));
  f.host.fileAnswers = {f.path("x.pro")};
  f.session.run("SaveProfile");
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_NE(f.host.messages[0].find("x_profile.txt"), std::string::npos);
  EXPECT_EQ(slurp(f.path("x.pro")), "old pro");
  EXPECT_TRUE(f.host.statuses.empty() || f.host.statuses.back() != "Profile saved!");
  f.host.fileAnswers = {f.path("no/such/dir/y.pro")};
  f.session.run("SaveProfile");
  ASSERT_EQ(f.host.messages.size(), 2u);
  EXPECT_NE(f.host.messages[1].find("no/such/dir/y.pro"), std::string::npos);
}

TEST(Exports, UltraExporterNamesAndLeavesTheChartsAlone) {
  FileFixture f;
  f.meisMode();
  f.addElement("Hf");
  f.set("TFLayers.EditFileName", f.path("s12"));
  const auto charts = f.session.charts().all();
  f.session.run("Ultraexporter");
  EXPECT_TRUE(f.host.messages.empty());
  for (const char* name : {"s12-Bessel.simulation", "s12-Amsel.simulation", "s12-AO.simulation",
                           "s12-Gauss.simulation", "s12.exp", "s12.pro", "s12_Hf_profile.txt"}) {
    EXPECT_TRUE(std::filesystem::exists(f.path(name))) << name;
  }
  // Never calculated: the background line alone over the window.
  const auto lines = linesOf(slurp(f.path("s12-Gauss.simulation")));
  ASSERT_EQ(lines.size(), 1000u);
  EXPECT_EQ(lines[0].substr(0, 5), "90   ");
  EXPECT_TRUE(sameCharts(f.session.charts(), charts));
  ProfileHeader h;
  EXPECT_EQ(decodeProfile(slurp(f.path("s12.pro")), &h).count, 2000);
}

}  // namespace
}  // namespace tarvex
