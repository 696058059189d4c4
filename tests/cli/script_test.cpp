#include "cli/script.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/stopping_command.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

using testing::TempDir;

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

std::string readFile(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Runs the tarvex-cli program with a shell command line's arguments and environment.
ScriptRun runProgram(const std::string& arguments, const std::string& input, const TempDir& dir,
                     const std::string& environment = "") {
  { std::ofstream(dir.file("stdin.txt")) << input; }
  const std::string command = "cd '" + dir.path().string() + "' && " + environment + " '" +
                              TARVEX_CLI + "' " + arguments + " < '" + dir.file("stdin.txt") +
                              "' > '" + dir.file("stdout.txt") + "' 2> '" + dir.file("stderr.txt") +
                              "'";
  const int raw = std::system(command.c_str());
  const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return {status, readFile(dir.path() / "stdout.txt"), readFile(dir.path() / "stderr.txt")};
}

// The process's C locale with ',' decimals for the lifetime of the object, where it exists.
struct CommaLocale {
  bool available = false;
  CommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8"}) {
      if (std::setlocale(LC_ALL, name) != nullptr) {
        available = *std::localeconv()->decimal_point == ',';
        if (available) return;
      }
    }
    std::setlocale(LC_ALL, "C");
  }
  ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
};
constexpr const char* kNoCommaLocale =
    "the locale de_DE.UTF-8 is not installed (scripts/setup.sh generates it)";

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
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "151\noff\nO\n\n");
}

TEST(Script, AFailedCommandFailsTheScriptWhichRunsOn) {
  const ScriptRun r = runText(
      "check TFOptions.RadioGauss on\n"
      "run CalcSimulation\n"
      "set TFNRP.EditMaxDepth x\n"
      "run Updateplot\n"
      "print TFNRP.EditMaxDepth\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(
      r.out,
      "message: Gaussian calculation not ready for NRP\n"
      "message: 'x' is not a valid floating point value (Options, Resonant NRA: \"Thickness\")\n"
      "x\n");
  EXPECT_NE(r.err.find("failed: line 2: run CalcSimulation"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("failed: line 4: run Updateplot"), std::string::npos) << r.err;
}

// Exit status 0 only when every command succeeded.
TEST(Script, ExitStatus) {
  TempDir dir("status");
  struct {
    std::string script;
    int status;
  } cases[] = {
      {"print TFNRP.EditEnrg\nrun CalcSimulation\nrun Sigma\n", 0},
      {"set TFNRP.EditEnrg abc\nrun CalcSimulation\n", 1},         // conversion error
      {"set TFMEIS.EditProfstep 0\nclick TFMEIS.ButtonAdd\n", 1},  // refused input
      {"series ChartPrinc.SeriesBessel " + dir.file("no/such/folder.txt") + "\n", 1},
      {"answer open " + dir.file("missing.dat") + "\nrun Loaddata\n", 1},  // unreadable
      {"set TFBackground.EditEs 500\nselect TFBackground.Bkgrdradio Linear\nrun Preview\n", 1},
      {"check TFOptions.RadioAnalitic on\nclick TFNRP.ButtonCalculate\n", 1},  // disabled
      {"run CalcSimulation\nrun Nothing\nprint TFNRP.EditEnrg\n", 2},
  };
  for (const auto& c : cases) {
    const ScriptRun r = runText(c.script);
    EXPECT_EQ(r.status, c.status) << c.script << r.out << r.err;
  }
}

// The external cross-section model with "SCC" on and its SCC file missing: tarvex-cli ends
// with status 1, the message names the file and where it was looked for (once), and the run
// never reports itself ready. With the closed-form correction the same script succeeds.
TEST(Program, AMissingSccFileFailsTheExternalCrossSectionRun) {
  TempDir dir("scc");
  const std::string script =
      "check TFOptions.RadioMEIS on\n"
      "set TFMEIS.EditElname Hf\n"
      "click TFMEIS.ButtonAdd\n"
      "set TFMEIS.EditElname O\nset TFMEIS.EditMass 16\nset TFMEIS.EditZ 8\n"
      "click TFMEIS.ButtonAdd\n"
      "select TFrameMEISSample.ComboEl_list Hf\n"
      "set TFMEIS.Editx2 10\nset TFMEIS.Editc1 0.33\nset TFMEIS.Editc2 0.33\nrun Drawline\n"
      "check TFOptions.RadioExternal on\n"
      "set TFExternCS.EditCSFile " +
      std::string(TARVEX_SOURCE_DIR) + "/examples/crosssection-10eV.dat\n";
  const std::string run = "run CalcSimulation\nprint TFTarvex3.StatusBar1.3\n";
  const ScriptRun failed = runProgram("", script + run, dir);
  EXPECT_EQ(failed.status, 1) << failed.out << failed.err;
  const std::string message =
      "Cannot open \"scc.dat\", named by \"SCC file:\" in the \"External "
      "cross section\" window: there is no such file in the folder " +
      dir.path().string();
  const std::string shown = failed.out + failed.err;
  const std::size_t at = shown.find(message);
  EXPECT_NE(at, std::string::npos) << shown;
  EXPECT_EQ(shown.find(message, at + 1), std::string::npos) << "more than once";
  EXPECT_EQ((failed.out + failed.err).find("calculation ready"), std::string::npos)
      << failed.out << failed.err;
  EXPECT_NE(failed.out.find("Numeric ECS ERROR!"), std::string::npos) << failed.out;

  const ScriptRun basic = runProgram("", script + "check TFExternCS.RadioSCCBasic on\n" + run, dir);
  EXPECT_EQ(basic.status, 0) << basic.out << basic.err;
  EXPECT_NE(basic.out.find("External cross section calculation ready!"), std::string::npos);
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
               {"\n\ncheck TFNRP.EditEnrg on\n", "line 3: TFNRP.EditEnrg is not a check box"},
               {"expect ChartPrinc.SeriesExp area 1\n", "line 1: expect ChartPrinc.SeriesExp"},
               {"expect ChartPrinc.SeriesExp points many\n", "N must be a number, not 'many'"},
               {"expect ChartPrinc.SeriesExp width 1\n", "takes points N, area VALUE TOL"}};
  for (auto c : cases) {
    const ScriptRun r = runText(c.script);
    EXPECT_EQ(r.status, 2) << c.script;
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
  }
}

TEST(Script, StatusGoesToStandardErrorAndSeriesToFiles) {
  TempDir dir("series");
  const std::string path = dir.file("bessel_series.txt");
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

// The stopping window's controls from a script, as in the window: the values computed, written
// into the resonant NRA fields, undone; bad input fails the script and writes nothing.
TEST(Script, TheStoppingWindowCalculatesAppliesAndUndoes) {
  const ScriptRun r = runText(
      "click TFTarvex3.Stopping1\n"
      "print TFStopping.EditEnergy\n"
      "set TFStopping.EditFormula HfO2\n"
      "set TFStopping.EditDensity 9.68 g/cm3\n"
      "set TFStopping.EditEnergy 100\n"
      "click TFStopping.ButtonCalculate\n"
      "print TFStopping.EditStopping\n"
      "print TFStopping.EditStraggling\n"
      "click TFStopping.ButtonApply\n"
      "print TFNRP.Editdedx\n"
      "print TFNRP.EditS\n"
      "click TFStopping.ButtonUndo\n"
      "expect TFNRP.Editdedx 548.56\n"
      "expect TFNRP.EditS 6.62\n");
  EXPECT_EQ(r.status, 0) << r.err;
  StoppingRequest q;
  q.formula = "HfO2";
  q.density = {SampleDensity::Kind::GramsPerCm3, 9.68};
  q.energyKeV = 100.0;
  const StoppingResult at = computeStopping(StoppingSources(StoppingIon::Proton), q);
  const std::string dedx = stoppingFieldText(at.evPerAngstrom, '.');
  const std::string omega = stoppingFieldText(std::sqrt(at.stragglingEv2PerAngstrom / 1000.0), '.');
  EXPECT_EQ(r.out, "151\n" + dedx + "\n" + omega + "\n" + dedx + "\n" + omega + "\n");
  EXPECT_NE(r.err.find("status: Stopping applied: \"Stopping Power:\" " + dedx), std::string::npos)
      << r.err;

  const ScriptRun bad = runText(
      "set TFStopping.EditDensity 0\n"
      "click TFStopping.ButtonApply\n"
      "expect TFNRP.Editdedx 548.56\n"
      "click TFStopping.ButtonUndo\n");
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("message: Stopping: \"Density\""), std::string::npos) << bad.out;
  EXPECT_NE(bad.err.find("line 2"), std::string::npos) << bad.err;
  EXPECT_EQ(bad.err.find("line 3"), std::string::npos) << bad.err;
  // Nothing applied, nothing to undo: the button is disabled.
  EXPECT_NE(bad.err.find("ignored: TFStopping.ButtonUndo is disabled"), std::string::npos)
      << bad.err;
}

// A disabled control takes no click, check or selection: in resonant NRA mode the ion-scattering
// element box must not send the profile tools to an element's profile.
TEST(Script, DisabledControlsAreNotPressed) {
  const ScriptRun r = runText(
      "check TFOptions.RadioMEIS on\n"
      "click TFMEIS.ButtonAdd\n"
      "check TFOptions.RadioNRP on\n"
      "select TFrameMEISSample.ComboEl_list Hf\n"
      "set TFNRP.Editx2 10\n"
      "run Drawline\n"
      "expect ChartNRPProf.SeriesAmostra at 5 1 0\n"
      "check TFOptions.RadioAnalitic on\n"
      "click TFNRP.ButtonCalculate\n"
      "check TFNRP.CheckAuto off\n"
      "print TFTarvex3.StatusBar1.3\n"
      "print TFNRP.CheckAuto\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "\non\n");
  for (const char* key :
       {"TFrameMEISSample.ComboEl_list", "TFNRP.ButtonCalculate", "TFNRP.CheckAuto"}) {
    EXPECT_NE(r.err.find(std::string("ignored: ") + key + " is disabled"), std::string::npos)
        << r.err;
  }
  EXPECT_EQ(r.err.find("failed: line 7"), std::string::npos) << r.err;
}

TEST(Script, ARadioButtonIsNotUncheckedAsAClickCannotDoIt) {
  const ScriptRun r = runText(
      "check TFOptions.RadioNRP off\n"
      "print TFOptions.RadioNRP\n"
      "print TFOptions.RadioMEIS\n"
      "check TFOptions.RadioMEIS off\n");  // already off: nothing to do
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "on\noff\n");
  EXPECT_NE(r.err.find("failed: line 1"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("failed: line 4"), std::string::npos) << r.err;
}

TEST(Script, ExpectationsStateTheLineTheExpectedAndTheFoundValue) {
  // "Sigma": 241 points from 60 to 300 keV, the cross section relative to 100 keV.
  const std::string prelude = "run Sigma\nset TFNRP.EditEnrg 151\n";
  struct {
    const char* line;
    const char* failure;  // nullptr: the expectation holds
  } cases[] = {
      {"expect TFNRP.EditEnrg 151", nullptr},
      {"expect TFNRP.EditEnrg 152", "expected '152', found '151'"},
      {"expect TFOptions.RadioNRP on", nullptr},
      {"expect TFOptions.CheckConv off", "expected 'off', found 'on'"},
      {"expect ChartPrinc.SeriesGauss points 241", nullptr},
      {"expect ChartPrinc.SeriesGauss points 240", "expected 240 points, found 241 points"},
      {"expect ChartPrinc.SeriesGauss at 100 1 1e-12", nullptr},
      {"expect ChartPrinc.SeriesGauss at 100.5 1.1 0.01", "found 0.99"},
      {"expect ChartPrinc.SeriesGauss at 400 1 1", "no point around 400"},
      {"expect ChartPrinc.SeriesExp area 0 0", nullptr},
      {"expect ChartPrinc.SeriesGauss mean 1e9 0.5", "expected mean 1e9 within 0.5, found 1"},
  };
  for (auto c : cases) {
    const ScriptRun r = runText(prelude + c.line + "\n");
    if (c.failure == nullptr) {
      EXPECT_EQ(r.status, 0) << c.line << r.err;
      continue;
    }
    EXPECT_EQ(r.status, 1) << c.line;
    EXPECT_NE(r.err.find(std::string("failed: line 3: ") + c.line + ": "), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(c.failure), std::string::npos) << r.err;
  }
  // The area is the sum of y times the spacing of x: a line through (0, 0) and (10, 10).
  const ScriptRun line = runText(
      "set TFNRP.Editx1 0\nset TFNRP.Editx2 10\nset TFNRP.Editc1 0\nset TFNRP.Editc2 10\n"
      "run Drawline\n"
      "expect ChartNRPProf.SeriesAmostra area 50 0.001\n"
      "expect ChartNRPProf.SeriesAmostra area 51 0.001\n"
      "expect ChartNRPProf.SeriesAmostra at 2.5025 2.5025 1e-6\n");
  EXPECT_EQ(line.status, 1);
  EXPECT_EQ(line.err.find("failed: line 6"), std::string::npos) << line.err;
  EXPECT_NE(line.err.find("failed: line 7"), std::string::npos) << line.err;
  EXPECT_EQ(line.err.find("failed: line 8"), std::string::npos) << line.err;
}

TEST(Script, HelpListsTheLinesAndTheActionsWithTheirCaptions) {
  const ScriptRun r = runText("help\n");
  EXPECT_EQ(r.status, 0);
  for (const char* text :
       {"expect Chart.Series area VALUE TOL", "expect Chart.Series at X", "answer open PATH",
        "ClearPlots              \"Clear Plots\"  (Plots)",
        "Loaddata                \"Load data\"  (File-Load)", "Sigma", "Stop", "Exit status"}) {
    EXPECT_NE(r.out.find(text), std::string::npos) << text;
  }
}

// Every example states the numbers it must give; the examples hold under a ',' locale too, and
// tarvex-cli prints the same there.
TEST(Script, TheExamplesHoldTheirNumbers) {
  const std::filesystem::path source = TARVEX_SOURCE_DIR;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(source);  // the examples name their files from here
  std::map<std::string, std::string> outputs;
  for (const auto& entry : std::filesystem::directory_iterator(source / "examples")) {
    if (entry.path().extension() != ".tvx") continue;
    std::ifstream script(entry.path());
    const std::string text((std::istreambuf_iterator<char>(script)),
                           std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\nexpect "), std::string::npos) << entry.path() << " states nothing";
    const ScriptRun r = runText(text);
    EXPECT_EQ(r.status, 0) << entry.path() << r.err;
    EXPECT_EQ(r.out.find("message:"), std::string::npos) << entry.path() << r.out;
    EXPECT_EQ(r.out.find("nan"), std::string::npos) << entry.path();
    outputs[entry.path().filename().string()] = r.out;
  }
  std::filesystem::current_path(previous);
  EXPECT_GE(outputs.size(), 4u);

  TempDir dir("examples");
  for (const auto& [name, out] : outputs) {
    const ScriptRun r =
        runProgram(std::string("'").append((source / "examples" / name).string()).append("'"), "",
                   dir, "cd '" + source.string() + "' && LC_ALL=de_DE.UTF-8");
    EXPECT_EQ(r.status, 0) << name << r.err;
    EXPECT_TRUE(r.out == out) << name << " prints otherwise under LC_ALL=de_DE.UTF-8";
  }
}

// Parameters, data, a profile and the exports written by one session and read back by another
// give the same curve, in the C locale and in a ',' locale.
void roundTrip() {
  TempDir dir("roundtrip");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());  // the parameter files live in the working folder
  { std::ofstream("spectrum.dat") << "150 5\n151 9\n152 4\n"; }
  const std::string d = dir.path().string() + "/";
  const ScriptRun first = runText(
      "set TFNRP.EditEnrg 152.5\n"
      "set TFOptions.EditMult 4\n"
      "set TFNRP.EditMaxDepth 10.0001\n"
      "run Updateplot\n"
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
    EXPECT_TRUE(std::filesystem::exists(dir.path() / f)) << f;
  }
  const ScriptRun second = runText(
      "run LoadParameters\n"
      "print TFNRP.EditEnrg\n"
      "print TFOptions.RadioAnalitic\n"
      "expect TFNRP.EditMaxDepth 10.005\n"
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
  std::filesystem::current_path(previous);
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(second.out, "152.5\non\n4\n150 5\n151 9\n152 4\n");
  const std::string shown = readFile(dir.path() / "shown.txt");
  EXPECT_FALSE(shown.empty());
  EXPECT_TRUE(shown == readFile(dir.path() / "again.txt")) << "not the same curve";
}

TEST(Script, SaveLoadExportAndReloadRoundTrip) {
  roundTrip();
}

TEST(Script, SaveLoadExportAndReloadRoundTripUnderACommaLocale) {
  CommaLocale locale;
  if (!locale.available) GTEST_SKIP() << kNoCommaLocale;
  roundTrip();
}

TEST(Program, HelpVersionAndWhatItCannotRun) {
  TempDir dir("program");
  const ScriptRun help = runProgram("--help", "", dir);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("expect Chart.Series points N"), std::string::npos);
  EXPECT_NE(help.out.find("CalcSimulation"), std::string::npos);
  const ScriptRun version = runProgram("--version", "", dir);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tarvex-cli 3.0.0.12\n");
  const ScriptRun folder =
      runProgram(std::string("'").append(dir.path().string()).append("'"), "", dir);
  EXPECT_EQ(folder.status, 2);
  EXPECT_NE(folder.err.find("is a folder, not a script"), std::string::npos) << folder.err;
  const ScriptRun missing = runProgram("no-such-script.tvx", "", dir);
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("cannot open no-such-script.tvx"), std::string::npos);
  EXPECT_EQ(runProgram("--frobnicate", "", dir).status, 2);
  const ScriptRun piped = runProgram("", "print TFNRP.EditEnrg\nrun Nothing\n", dir);
  EXPECT_EQ(piped.status, 2);
  EXPECT_EQ(piped.out, "151\n");
}

// A stop requested while a command runs ends it at its next cancel point with "Stopped"; no
// further line runs and the script ends with status 130.
TEST(Interrupt, StopsTheRunningCommandAndTheScript) {
  struct Tripwire : std::stringbuf {
    std::string pattern = "status: Calculating numeric convolutions";
    bool fired = false;
    std::streamsize xsputn(const char* s, std::streamsize n) override {
      const std::streamsize written = std::stringbuf::xsputn(s, n);
      if (!fired && str().find(pattern) != std::string::npos) {
        fired = true;
        interruptScript();
      }
      return written;
    }
  } tripwire;
  std::ostream err(&tripwire);
  std::istringstream script(
      "set TFNRP.Editx2 10\n"
      "run Drawline\n"
      "run CalcSimulation\n"
      "print TFNRP.EditEnrg\n");
  std::ostringstream out;
  EXPECT_EQ(runScript(script, out, err), 130);
  EXPECT_TRUE(tripwire.fired);
  EXPECT_EQ(out.str(), "");  // no message box, and the last line did not run
  EXPECT_NE(tripwire.str().find("status: Stopped"), std::string::npos) << tripwire.str();
  EXPECT_NE(tripwire.str().find("interrupted after line 3"), std::string::npos);
  EXPECT_EQ(tripwire.str().find("status: Done!"), std::string::npos);

  // The next script starts afresh.
  EXPECT_EQ(runText("run CalcSimulation\n").status, 0);
}

// SIGINT: what finished is kept, nothing runs after it.
TEST(Interrupt, SigintEndsTarvexCli) {
  TempDir dir("sigint");
  int in[2], out[2];
  ASSERT_EQ(pipe(in), 0);
  ASSERT_EQ(pipe(out), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    close(in[0]);
    close(in[1]);
    close(out[0]);
    close(out[1]);
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    if (freopen("stderr.txt", "w", stderr) == nullptr) _exit(126);
    execl(TARVEX_CLI, TARVEX_CLI, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  const std::string first = "series ChartNRPProf.SeriesAmostra kept.txt\nprint TFNRP.EditEnrg\n";
  ASSERT_EQ(write(in[1], first.data(), first.size()), static_cast<ssize_t>(first.size()));
  std::string printed;
  char buf[256];
  while (printed.find("151\n") == std::string::npos) {
    const ssize_t n = read(out[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    ASSERT_GT(n, 0) << printed;
    printed.append(buf, static_cast<std::size_t>(n));
  }
  ASSERT_EQ(kill(pid, SIGINT), 0);
  // The signal is delivered before tarvex-cli reads on: this line must not run.
  const std::string second = "run SaveParameters\n";
  ASSERT_EQ(write(in[1], second.data(), second.size()), static_cast<ssize_t>(second.size()));
  close(in[1]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  close(out[0]);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "kept.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "tarvex.ini"));
  EXPECT_EQ(readFile(dir.path() / "stderr.txt"), "tarvex-cli: interrupted after line 2\n");
}

// "Save report as PDF..." in a script: the page of the mode as a PDF, written by tarvex-cli when
// it has the desktop program's page painter; without one the script is told so.
TEST(Program, WritesTheReportOfTheModeAsPdf) {
  TempDir dir("cli-report");
  // The toolkit and the font libraries keep some memory until the process ends.
  const std::string environment = std::string("LSAN_OPTIONS=suppressions=") + TARVEX_SOURCE_DIR +
                                  "/tests/ui/lsan.supp:print_suppressions=0";
  const ScriptRun run = runProgram("-",
                                   "set TFOptions.EditShift 0.25\n"
                                   "answer save nra.pdf\n"
                                   "run SaveReportPdf\n"
                                   "print TFReport.QRShift\n"
                                   "click TFOptions.RadioMEIS\n"
                                   "answer cancel\n"
                                   "run SaveReportPdf\n"
                                   "answer save meis.pdf\n"
                                   "run SaveReportPdf\n"
                                   "print TFReport.QRShiftMEIS\n",
                                   dir, environment);
  if (run.out.find("PDF reports need the libraries of the desktop program") != std::string::npos) {
    GTEST_SKIP() << "tarvex-cli was built without the desktop program's libraries";
  }
  ASSERT_EQ(run.status, exitStatus::ok) << run.out << run.err;
  EXPECT_EQ(run.out, "Shift (keV): 0.25\nShift (keV): 0.25\n");
  for (const char* name : {"nra.pdf", "meis.pdf"}) {
    const std::string pdf = readFile(dir.path() / name);
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-") << name;
    EXPECT_GT(pdf.size(), 5000U) << name;
  }
  // The two reports and the script's own files, nothing half written beside them.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 5);
}

TEST(Script, ReportPdfNeedsThePagePainter) {
  const ScriptRun run = runText("answer save never.pdf\nrun SaveReportPdf\n");
  EXPECT_EQ(run.status, exitStatus::failed);
  EXPECT_NE(run.out.find("message: PDF reports need the libraries of the desktop program"),
            std::string::npos)
      << run.out;
  EXPECT_FALSE(std::filesystem::exists("never.pdf"));
}

}  // namespace
}  // namespace tarvex
