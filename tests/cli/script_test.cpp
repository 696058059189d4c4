#include "cli/script.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tarvex {
namespace {

struct ScriptRun {
  int status;
  std::string out, err;
};

ScriptRun runText(const std::string& script) {
  std::istringstream in(script);
  std::ostringstream out, err;
  const int status = runScript(in, out, err);
  return {status, out.str(), err.str()};
}

TEST(Script, PrintsControlsAndRunsHandlers) {
  const ScriptRun r = runText(
      "# comment\n"
      "\n"
      "print TFNRP.EditEnrg\n"
      "check TFOptions.RadioMEIS on\n"
      "print TFOptions.RadioNRP\n"
      "set TFMEIS.EditElname O\n"
      "click TFMEIS.ButtonAdd\n"
      "click TFMEIS.ButtonAdd\n"
      "print TFMEIS.ListElements\n"
      "set TFMEIS.EditElname \n"
      "print TFMEIS.EditElname\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "151\noff\nO\n\n");
}

TEST(Script, MessagesGoToOutputAndTheScriptGoesOn) {
  const ScriptRun r = runText(
      "check TFOptions.RadioGauss on\n"
      "run CalcSimulation\n"
      "set TFNRP.EditMaxDepth x\n"
      "run Updateplot\n"
      "print TFNRP.EditMaxDepth\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "message: Gaussian calculation not ready for NRP\n"
            "message: 'x' is not a valid floating point value\n"
            "x\n");
}

TEST(Script, UnknownNamesStopWithTheLineNumber) {
  struct {
    const char* script;
    const char* error;
  } cases[] = {{"print TFNRP.EditEnrg\nfrobnicate\n", "line 2: unknown command 'frobnicate'"},
               {"click TFNRP.Nothing\n", "line 1: unknown control 'TFNRP.Nothing'"},
               {"run Nothing\n", "line 1: unknown action 'Nothing'"},
               {"select TFBackground.Bkgrdradio Curved\n", "line 1: unknown item 'Curved'"},
               {"series ChartPrinc.Nothing\n", "line 1: unknown series 'ChartPrinc.Nothing'"},
               {"\n\ncheck TFNRP.EditEnrg on\n", "line 3: TFNRP.EditEnrg is not a check box"}};
  for (auto c : cases) {
    const ScriptRun r = runText(c.script);
    EXPECT_EQ(r.status, 2) << c.script;
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
  }
}

TEST(Script, StatusGoesToStandardErrorAndSeriesToFiles) {
  const std::string path = ::testing::TempDir() + "bessel_series.txt";
  const ScriptRun r = runText(
      "check TFOptions.RadioAnalitic on\n"
      "set TFNRP.Editx1 0\nset TFNRP.Editx2 10\n"
      "run Drawline\n"
      "run CalcSimulation\n"
      "series ChartPrinc.SeriesBessel " +
      path +
      "\n"
      "series ChartNRPProf.SeriesAmostra\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("status: Done!"), std::string::npos);
  std::ifstream f(path);
  std::string first;
  std::getline(f, first);
  double x = 0, y = 0;
  std::istringstream(first) >> x >> y;
  EXPECT_LT(x, 151.0);
  int lines = 1;
  for (std::string l; std::getline(f, l);)
    ++lines;
  EXPECT_EQ(lines, 500 + 200 + 34);
  EXPECT_NE(r.out.find("0.0050000000000000001 1\n"), std::string::npos);
}

TEST(Script, DisabledControlsAreNotPressed) {
  const ScriptRun r = runText(
      "check TFOptions.RadioAnalitic on\n"
      "click TFNRP.ButtonCalculate\n"
      "print TFTarvex3.StatusBar1.3\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "\n");
  EXPECT_NE(r.err.find("ignored: TFNRP.ButtonCalculate is disabled"), std::string::npos);
}

TEST(Script, TheExamplesRun) {
  const char* dir = TARVEX_SOURCE_DIR;
  // The examples name their files relative to the source folder.
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  int examples = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(dir) + "/examples")) {
    if (entry.path().extension() != ".tvx") continue;
    std::ifstream script(entry.path());
    std::ostringstream out, err;
    EXPECT_EQ(runScript(script, out, err), 0) << entry.path() << err.str();
    EXPECT_EQ(out.str().find("message:"), std::string::npos) << entry.path() << out.str();
    EXPECT_EQ(out.str().find("nan"), std::string::npos) << entry.path();
    EXPECT_GT(out.str().size(), 1000u) << entry.path();  // a curve was printed
    ++examples;
  }
  std::filesystem::current_path(previous);
  EXPECT_GE(examples, 4);
}

}  // namespace
}  // namespace tarvex

namespace tarvex {
namespace {

// Runs a script in a folder of its own (the parameter files live in the working folder).
struct InFolder {
  std::filesystem::path previous = std::filesystem::current_path();
  explicit InFolder(const std::filesystem::path& dir) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
  }
  ~InFolder() { std::filesystem::current_path(previous); }
};

TEST(Script, SaveLoadExportAndReloadRoundTrip) {
  const auto dir = std::filesystem::path(::testing::TempDir()) / "tarvex_cli_roundtrip";
  InFolder folder(dir);
  { std::ofstream("spectrum.dat") << "150 5\n151 9\n152 4\n"; }
  const std::string d = dir.string() + "/";
  const ScriptRun first = runText(
      "set TFNRP.EditEnrg 152.5\n"
      "set TFOptions.EditMult 4\n"
      "check TFOptions.RadioAnalitic on\n"
      "run SaveParameters\n"
      "answer open " +
      d +
      "spectrum.dat\n"
      "run Loaddata\n"
      "set TFNRP.Editx2 6\n"
      "run Drawline\n"
      "answer save " +
      d +
      "run.pro\n"
      "run SaveProfile\n"
      "run CalcSimulation\n"
      "answer save " +
      d +
      "run.simulation\n"
      "run ExplortAll\n"
      "series ChartPrinc.SeriesBessel " +
      d + "shown.txt\n");
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out, "") << first.out;
  for (const char* f : {"tarvex.ini", "run.pro", "run_profile.txt", "run.simulation", "run.exp"}) {
    EXPECT_TRUE(std::filesystem::exists(dir / f)) << f;
  }
  const ScriptRun second = runText(
      "run LoadParameters\n"
      "print TFNRP.EditEnrg\n"
      "print TFOptions.RadioAnalitic\n"
      "answer open " +
      d +
      "run.pro\n"
      "run LoadProfile\n"
      "print TFOptions.EditMult\n"
      "answer open " +
      d +
      "run.exp\n"
      "run Loaddata\n"
      "series ChartPrinc.SeriesExp\n"
      "run CalcSimulation\n"
      "series ChartPrinc.SeriesBessel " +
      d + "again.txt\n");
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(second.out, "152.5\non\n4\n150 5\n151 9\n152 4\n");
  std::ifstream a(dir / "shown.txt"), b(dir / "again.txt");
  const std::string sa((std::istreambuf_iterator<char>(a)), std::istreambuf_iterator<char>());
  const std::string sb((std::istreambuf_iterator<char>(b)), std::istreambuf_iterator<char>());
  EXPECT_FALSE(sa.empty());
  EXPECT_EQ(sa, sb);  // the reloaded profile and parameters give the same curve
}

}  // namespace
}  // namespace tarvex
