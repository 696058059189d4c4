// The ion-scattering engines on hostile inputs and on paths that used to leave stale or
// half-built tables: a clear message, the model's error status, nothing already computed lost.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "support/recording_host.h"

namespace tarvex {
namespace {

// A unique temporary folder of one test, removed at its end.
struct TempFolder {
  std::filesystem::path path;
  TempFolder() {
    std::random_device rd;
    path = std::filesystem::temp_directory_path() /
           ("tarvex-meis-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(path);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string write(const std::string& name, const std::string& text) const {
    std::string file = (path / name).string();
    std::ofstream(file) << text;
    return file;
  }
};

// A host that presses "Stop" after a number of event points (while the tables are being built).
struct StoppingHost : testing::RecordingHost {
  Session* session = nullptr;
  int stopAfter = -1;
  void processEvents() override {
    testing::RecordingHost::processEvents();
    if (session != nullptr && stopAfter >= 0 && eventsProcessed > stopAfter) {
      session->requestStop();
    }
  }
};

std::string repositoryCrossSection() {
  return std::string(TARVEX_SOURCE_DIR) + "/examples/crosssection-10eV.dat";
}

struct Model {
  const char* radio;
  const char* ready;
  const char* error;
  std::map<std::string, spectro> WorkingState::*spectra;
};

const Model kGaussian{"TFOptions.RadioGauss", "Gaussian calculation ready",
                      "Gaussian calculation ERROR!", &WorkingState::gaussianSpectra};
const Model kBessel{"TFOptions.RadioAnalitic", "Bessel calculation ready!",
                    "Bessel calculation ERROR!", &WorkingState::besselSpectra};
const Model kNumeric{"TFOptions.RadioNumeric", "Numeric calculation ready!", "Numeric ERROR!",
                     &WorkingState::numericSpectra};
const Model kExternal{"TFOptions.RadioExternal", "External cross section calculation ready!",
                      "Numeric ECS ERROR!", &WorkingState::extCsSpectra};

// A session in ion-scattering mode with a 10 A layer of the default element (Hf).
struct Sample {
  StoppingHost host;
  Session session{host};
  explicit Sample(const Model& m) {
    host.session = &session;
    registerAllActions(session);
    session.setCheckedAsClick("TFOptions.RadioMEIS", true);
    session.setCheckedAsClick(m.radio, true);
    set("TFExternCS.EditCSFile", repositoryCrossSection());
    // The single-collision correction in its closed form: the default SCC file is not here.
    session.setCheckedAsClick("TFExternCS.RadioSCCBasic", true);
    set("TFMEIS.EditElname", "Hf");
    session.click("TFMEIS.ButtonAdd");
    set("TFMEIS.EditMaxDepth", "10");
    session.run("Updateplot");
    for (auto& [name, p] : session.state().elementProfiles) {
      for (double& v : p.values)
        v = 1.0;
    }
  }
  void set(const std::string& key, const std::string& text) {
    session.controls().setText(key, text);
  }
  const std::string& text(const std::string& key) { return session.controls().text(key); }
  int logCount(const std::string& what) const {
    int n = 0;
    const std::string& log = session.logText();
    for (std::size_t at = 0; (at = log.find(what, at)) != std::string::npos; ++at)
      ++n;
    return n;
  }
};

std::vector<double> freshSpectrum(const Model& m, const std::function<void(Sample&)>& setUp) {
  Sample f(m);
  setUp(f);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.host.statuses.back(), m.ready);
  return (f.session.state().*m.spectra).at("Hf").values;
}

TEST(MeisEngineChecks, ImpossibleInputsAreRefusedBeforeAnythingChanges) {
  struct Case {
    const Model* model;
    const char *field, *value, *message;
  };
  const char* theta90 =
      "Theta in: 90 leaves no path into the sample: the angle must be below 90 degrees";
  const char* theta95 =
      "Theta out: -95 leaves no path out of the sample: the angle must be below 90 degrees";
  const char* heavy =
      "Projectile mass: 178.5 is not lighter than the element Hf (mass 178.5): nothing is "
      "scattered back";
  const char* spread = "Energy Spread (eV): -5 is not a width: it must be zero or positive";
  const Case cases[] = {
      {&kGaussian, "TFMEIS.EditTIn", "90", theta90},
      {&kBessel, "TFMEIS.EditTIn", "90", theta90},
      {&kNumeric, "TFMEIS.EditTIn", "90", theta90},
      {&kExternal, "TFMEIS.EditTIn", "90", theta90},
      {&kGaussian, "TFMEIS.EditTOut", "-95", theta95},
      {&kNumeric, "TFMEIS.EditTOut", "-95", theta95},
      {&kExternal, "TFMEIS.EditTOut", "-95", theta95},
      {&kGaussian, "TFMEIS.EditPmass", "178.5", heavy},
      {&kBessel, "TFMEIS.EditPmass", "178.5", heavy},
      {&kNumeric, "TFMEIS.EditPmass", "178.5", heavy},
      {&kExternal, "TFMEIS.EditPmass", "178.5", heavy},
      {&kBessel, "TFMEIS.EditPmass", "0", "Projectile mass: 0 must be positive"},
      {&kBessel, "TFMEIS.EditGauss", "-5", spread},
      {&kNumeric, "TFMEIS.EditGauss", "-5", spread},
      {&kExternal, "TFMEIS.EditGauss", "-5", spread},
      {&kGaussian, "TFMEIS.EditDeltaE", "0",
       "Delta E (keV): 0 leaves no energy grid: it must be positive"},
      {&kBessel, "TFMEIS.EditDeltaE", "0",
       "Delta E (keV): 0 leaves no energy grid: it must be positive"},
      {&kExternal, "TFMEIS.EditDeltaE", "0",
       "Delta E (keV): 0 leaves no energy grid of 1 eV bins: it must be 0.002 or more"},
      {&kBessel, "TFMEIS.EditS", "0", "dW^2/dx: (eV^2/nm) 0 must be positive"},
      {&kBessel, "TFMEIS.Editdedx", "-192", "dE/dx: (eV/nm) -192 must be positive"},
      {&kGaussian, "TFMEIS.EditS", "-1", "dW^2/dx: (eV^2/nm) -1 must not be negative"},
      {&kGaussian, "TFMEIS.EditDeltaE", "4e5",
       "Delta E (keV): 400000 needs 4E7 bins of 10 eV, 8E8 values in memory; the limit is 1E8 "
       "values"},
  };
  for (const Case& c : cases) {
    Sample f(*c.model);
    f.session.run("CalcSimulation");
    ASSERT_EQ(f.host.statuses.back(), c.model->ready) << c.model->radio;
    const std::vector<double> before = (f.session.state().*(c.model->spectra)).at("Hf").values;
    const std::string log = f.session.logText();
    f.set(c.field, c.value);
    f.session.run("CalcSimulation");
    EXPECT_EQ(f.host.messages, std::vector<std::string>{c.message})
        << c.model->radio << " " << c.field;
    EXPECT_EQ(f.host.statuses.back(), c.model->error) << c.model->radio << " " << c.field;
    EXPECT_EQ((f.session.state().*(c.model->spectra)).at("Hf").values, before)
        << c.model->radio << " " << c.field;
    EXPECT_EQ(f.session.logText(), log) << c.model->radio << " " << c.field;
  }
}

// A spread far wider than the spectrum's window is refused at once in every model that
// broadens, naming the field, before the grid grows to tens of millions of points; the stored
// spectrum stays. (The Gaussian model holds the spread in its density on the window's grid.)
TEST(MeisEngineChecks, SpreadsAbsurdForTheWindowAreRefused) {
  struct Case {
    const Model* model;
    const char* message;
  };
  const Case cases[] = {
      {&kBessel,
       "Energy Spread (eV): 99999999 is far wider than the calculated window (500 bins of 10 eV): "
       "its broadening would add 3.4E7 bins; the window takes widths up to 2.94E4 eV"},
      {&kNumeric,
       "Energy Spread (eV): 99999999 is far wider than the calculated window (500 bins of 10 eV): "
       "its broadening would add 3.4E7 bins; the window takes widths up to 2.94E4 eV"},
      {&kExternal,
       "Energy Spread (eV): 99999999 is far wider than the calculated window (5000 bins of 1 eV): "
       "its broadening would add 3.4E8 bins; the window takes widths up to 1.47E4 eV"},
  };
  for (const Case& c : cases) {
    Sample f(*c.model);
    f.session.run("CalcSimulation");
    ASSERT_EQ(f.host.statuses.back(), c.model->ready) << c.model->radio;
    const std::vector<double> before = (f.session.state().*(c.model->spectra)).at("Hf").values;
    f.set("TFMEIS.EditGauss", "99999999");
    f.session.run("CalcSimulation");
    EXPECT_EQ(f.host.messages, std::vector<std::string>{c.message}) << c.model->radio;
    EXPECT_EQ(f.host.statuses.back(), c.model->error) << c.model->radio;
    EXPECT_EQ((f.session.state().*(c.model->spectra)).at("Hf").values, before) << c.model->radio;
    // A spread as wide as the window is broadened as before.
    f.host.messages.clear();
    f.set("TFMEIS.EditGauss", "5000");
    f.session.run("CalcSimulation");
    EXPECT_TRUE(f.host.messages.empty()) << c.model->radio;
    EXPECT_EQ(f.host.statuses.back(), c.model->ready) << c.model->radio;
  }
}

// Every point of the main and report ion-scattering charts, in series order.
std::vector<double> drawnPoints(Sample& f) {
  std::vector<double> xy;
  for (const auto& [key, series] : f.session.charts().all()) {
    if (key.rfind("ChartPrinc.", 0) != 0 && key.rfind("ChartMEISSpec.", 0) != 0) continue;
    for (const ChartPoint& p : series.points) {
      xy.push_back(p.x);
      xy.push_back(p.y);
    }
  }
  return xy;
}

TEST(MeisEngineChecks, MeaninglessBeamAndLossValuesGetTheSameWordsInEveryModel) {
  // A beam of no energy, a stopping that is not positive (deeper layers at or above the surface
  // edge) or a negative spread has no spectrum. Each model refuses it before anything changes,
  // in the same words; the numeric model keeps its general words and names the field below.
  struct Case {
    const Model* model;
    const char *field, *value;
    std::string message;
  };
  const std::string general = "Error! Check parameters!\n";
  const std::string dedx50 = "dE/dx: (eV/nm) -50 must be positive";
  const std::string dedx0 = "dE/dx: (eV/nm) 0 must be positive";
  const std::string e0 = "Ion energy (keV): 0 must be positive";
  const std::string e100 = "Ion energy (keV): -100 must be positive";
  const std::string spread = "Energy Spread (eV): -5 is not a width: it must be zero or positive";
  const Case cases[] = {
      {&kGaussian, "TFMEIS.Editdedx", "-50", dedx50},
      {&kBessel, "TFMEIS.Editdedx", "-50", dedx50},
      {&kNumeric, "TFMEIS.Editdedx", "-50", general + dedx50},
      {&kGaussian, "TFMEIS.Editdedx", "0", dedx0},
      {&kBessel, "TFMEIS.Editdedx", "0", dedx0},
      {&kNumeric, "TFMEIS.Editdedx", "0", general + dedx0},
      {&kNumeric, "TFMEIS.EditS", "-1", general + "dW^2/dx: (eV^2/nm) -1 must be positive"},
      {&kGaussian, "TFMEIS.EditGauss", "-5", spread},
      {&kGaussian, "TFMEIS.EditEnrg", "0", e0},
      {&kBessel, "TFMEIS.EditEnrg", "0", e0},
      {&kNumeric, "TFMEIS.EditEnrg", "0", general + e0},
      {&kExternal, "TFMEIS.EditEnrg", "0", e0},
      {&kGaussian, "TFMEIS.EditEnrg", "-100", e100},
      {&kBessel, "TFMEIS.EditEnrg", "-100", e100},
      {&kNumeric, "TFMEIS.EditEnrg", "-100", general + e100},
      {&kExternal, "TFMEIS.EditEnrg", "-100", e100},
  };
  for (const Case& c : cases) {
    const std::string what = std::string(c.model->radio) + " " + c.field + " " + c.value;
    Sample f(*c.model);
    f.session.run("CalcSimulation");
    ASSERT_EQ(f.host.statuses.back(), c.model->ready) << what;
    const std::vector<double> before = (f.session.state().*(c.model->spectra)).at("Hf").values;
    const std::vector<double> drawn = drawnPoints(f);
    ASSERT_FALSE(drawn.empty()) << what;
    const std::string log = f.session.logText();
    f.set(c.field, c.value);
    f.session.run("CalcSimulation");
    // The numeric model shows its box once per attempt to build the tables.
    EXPECT_FALSE(f.host.messages.empty()) << what;
    for (const std::string& m : f.host.messages)
      EXPECT_EQ(m, c.message) << what;
    EXPECT_EQ(f.host.statuses.back().rfind(c.model->error, 0), 0u) << what;
    EXPECT_EQ((f.session.state().*(c.model->spectra)).at("Hf").values, before) << what;
    EXPECT_EQ(drawnPoints(f), drawn) << what;
    // The numeric model logs its element before it finds the tables cannot be built.
    if (c.model != &kNumeric) {
      EXPECT_EQ(f.session.logText(), log) << what;
    }
  }
}

TEST(MeisEngineChecks, AnEmptyWindowStillComputesTheSpectra) {
  // "Min (keV)" at or above "Max (keV)" only leaves nothing to draw: the spectra are computed
  // and stored, and a wider window shows them without another run.
  for (const Model* m : {&kGaussian, &kBessel}) {
    Sample fresh(*m);
    fresh.session.run("CalcSimulation");
    const std::vector<double> drawn = drawnPoints(fresh);
    for (const char* min : {"100", "101"}) {
      Sample f(*m);
      f.set("TFMEIS.EditSimMin", min);
      f.session.run("CalcSimulation");
      EXPECT_TRUE(f.host.messages.empty()) << m->radio << " " << min;
      EXPECT_EQ(f.host.statuses.back(), m->ready) << m->radio << " " << min;
      EXPECT_TRUE(drawnPoints(f).empty()) << m->radio << " " << min;
      EXPECT_EQ((f.session.state().*(m->spectra)).at("Hf").values,
                (fresh.session.state().*(m->spectra)).at("Hf").values);
      f.set("TFMEIS.EditSimMin", "90");
      f.session.run("Preview");
      EXPECT_EQ(drawnPoints(f), drawn) << m->radio << " " << min;
    }
  }
}

TEST(MeisEngineChecks, HeavyProjectilesAreRefusedOnlyWhereNothingReachesTheDetector) {
  // Hf has mass 178.5. Through 60 degrees (60 in, 60 out) a projectile of mass 200 is still
  // scattered forward (A sin(theta) = 0.97); through 120 degrees, or at mass 210 (1.02), not.
  struct {
    const char *thetaIn, *thetaOut, *mass;
    bool refused;
  } cases[] = {
      {"60", "60", "200", false},
      {"60", "60", "210", true},
      {"30", "30", "200", true},
      {"60", "60", "178.5", false},
  };
  for (const auto& c : cases) {
    Sample f(kGaussian);
    f.set("TFMEIS.EditTIn", c.thetaIn);
    f.set("TFMEIS.EditTOut", c.thetaOut);
    f.set("TFMEIS.EditPmass", c.mass);
    f.session.run("CalcSimulation");
    const bool refused =
        !f.host.messages.empty() &&
        f.host.messages.front().find("is not lighter than the element Hf") != std::string::npos;
    EXPECT_EQ(refused, c.refused) << c.thetaIn << " " << c.thetaOut << " " << c.mass;
    EXPECT_EQ(f.host.statuses.back(), c.refused ? kGaussian.error : kGaussian.ready)
        << c.thetaIn << " " << c.thetaOut << " " << c.mass;
  }
}

TEST(MeisEngineChecks, NumericAutoModeNeverWritesWhatIsNotANumber) {
  // Straggling 0, or 20 typed in the wrong unit, leaves no smallest loss: step 0 and counts
  // that are not numbers. A Delta E of 1000 keV needs tables far beyond the memory.
  struct {
    const char *field, *value, *message;
  } cases[] = {
      {"TFMEIS.EditS", "0", "Error! Check parameters!\ndW^2/dx: (eV^2/nm) 0 must be positive"},
      {"TFMEIS.EditS", "20", "Error! Check parameters!"},
      {"TFMEIS.EditDeltaE", "1000",
       "Delta E (keV): 1000 needs a collision table of 1.15E9 values (11472 distributions of "
       "100000 bins); the limit is 1E8 values"},
  };
  for (const auto& c : cases) {
    Sample f(kNumeric);
    f.session.run("CalcSimulation");
    const std::vector<double> before = f.session.state().numericSpectra.at("Hf").values;
    f.set(c.field, c.value);
    f.session.run("CalcSimulation");
    ASSERT_FALSE(f.host.messages.empty()) << c.value;
    for (const std::string& m : f.host.messages)
      EXPECT_EQ(m, c.message) << c.value;
    EXPECT_EQ(f.host.statuses.back().rfind("Numeric ERROR!", 0), 0u) << c.value;
    EXPECT_EQ(f.text("TFMEIS.EditStep"), "10") << c.value;
    EXPECT_EQ(f.text("TFMEIS.EditNc"), "72") << c.value;
    EXPECT_EQ(f.text("TFMEIS.EditVecsize"), "500") << c.value;
    EXPECT_EQ(f.session.state().numericSpectra.at("Hf").values, before);
    // The fields still convert: every later command runs, with the value corrected.
    f.set(c.field, c.field == std::string("TFMEIS.EditS") ? "20740" : "5");
    f.host.messages.clear();
    f.session.run("CalcSimulation");
    EXPECT_TRUE(f.host.messages.empty()) << c.value;
    EXPECT_EQ(f.host.statuses.back(), "Numeric calculation ready!") << c.value;
    EXPECT_EQ(f.session.state().numericSpectra.at("Hf").values, before) << c.value;
  }
}

TEST(MeisEngineChecks, NumericManualGridMessagesNameTheField) {
  struct {
    const char *step, *nc, *bins, *message;
  } cases[] = {
      {"300", "5", "500",
       "Step size (eV): 300 leaves no bin between Emin (42.85 eV) and Emax (217.85 eV) of Hf"},
      {"10", "0", "500", "# Convolutions: 0 must be at least 1"},
      {"10", "5", "20", "Error! Check parameters!"},
      {"10", "5", "22",
       "Vector size: 22 bins of 10 eV cannot hold the single-collision distribution up to Emax "
       "(217.85 eV); it needs 23"},
  };
  for (const auto& c : cases) {
    Sample f(kNumeric);
    f.session.setCheckedAsClick("TFMEIS.CheckAuto", false);
    f.set("TFMEIS.EditStep", c.step);
    f.set("TFMEIS.EditNc", c.nc);
    f.set("TFMEIS.EditVecsize", c.bins);
    f.session.run("CalcSimulation");
    ASSERT_FALSE(f.host.messages.empty()) << c.step;
    EXPECT_EQ(f.host.messages.front(), c.message);
    EXPECT_EQ(f.host.statuses.back(), "Numeric ERROR!");
    EXPECT_FALSE(f.session.state().meisAutoValid);
  }
}

TEST(MeisEngineChecks, NumericTablesFollowTheirParametersWhateverMovedTheBaseline) {
  const std::vector<double> fresh =
      freshSpectrum(kNumeric, [](Sample& f) { f.set("TFMEIS.Editdedx", "300"); });
  struct {
    const char* what;
    std::function<void(Sample&)> consume;
  } paths[] = {
      {"a run failing on a number read after the stopping",
       [](Sample& f) {
         f.set("TFMEIS.EditVecsize", "500x");
         f.session.run("CalcSimulation");
         EXPECT_EQ(f.host.statuses.back(), "Numeric ERROR!");
         f.set("TFMEIS.EditVecsize", "500");
       }},
      {"a resonant NRA numeric run",
       [](Sample& f) {
         f.session.setCheckedAsClick("TFOptions.RadioNRP", true);
         f.session.run("CalcSimulation");
         f.session.setCheckedAsClick("TFOptions.RadioMEIS", true);
       }},
      {"Save Param",
       [](Sample& f) {
         TempFolder dir;
         f.session.state().startDirectory = dir.path.string();
         f.session.run("SaveParameters");
       }},
  };
  for (const auto& path : paths) {
    Sample f(kNumeric);
    f.session.run("CalcSimulation");
    ASSERT_EQ(f.text("TFMEIS.EditNc"), "72");
    f.set("TFMEIS.Editdedx", "300");
    path.consume(f);
    f.session.run("CalcSimulation");
    EXPECT_EQ(f.host.statuses.back(), "Numeric calculation ready!") << path.what;
    EXPECT_EQ(f.session.state().numericSpectra.at("Hf").values, fresh) << path.what;
  }
}

TEST(MeisEngineChecks, AStoppedBuildLeavesThePreviousTables) {
  for (const Model* m : {&kNumeric, &kExternal}) {
    const bool numeric = m == &kNumeric;
    const char* field = numeric ? "TFMEIS.Editdedx" : "TFExternCS.EditNcExt";
    const char* value = numeric ? "300" : "150";
    const std::vector<double> fresh = freshSpectrum(*m, [&](Sample& f) { f.set(field, value); });
    Sample f(*m);
    f.session.run("CalcSimulation");
    const WorkingState& st = f.session.state();
    const auto numericTables = st.numericLossDistributions;
    const auto extTables = st.extCsLossDistributions;
    const auto numericKeys = st.numericTableKeys;
    const auto extKeys = st.extCsTableKeys;
    const std::vector<double> before = (st.*(m->spectra)).at("Hf").values;

    f.set(field, value);
    f.host.stopAfter = f.host.eventsProcessed + 30;  // inside the convolutions
    f.session.run("CalcSimulation");
    EXPECT_EQ(f.host.statuses.back(), "Stopped") << m->radio;
    EXPECT_TRUE(numeric ? st.meisAutoValid : st.meisExtAutoValid);
    ASSERT_EQ(st.numericLossDistributions.size(), numericTables.size());
    for (const auto& [name, table] : numericTables) {
      ASSERT_EQ(st.numericLossDistributions.at(name).size(), table.size()) << name;
      for (std::size_t k = 0; k < table.size(); ++k)
        ASSERT_EQ(st.numericLossDistributions.at(name)[k].values, table[k].values);
    }
    EXPECT_EQ(st.extCsLossDistributions, extTables);  // the very same shared tables
    EXPECT_EQ(st.numericTableKeys, numericKeys);
    EXPECT_EQ(st.extCsTableKeys, extKeys);
    EXPECT_EQ((st.*(m->spectra)).at("Hf").values, before);

    f.host.stopAfter = -1;
    f.session.run("CalcSimulation");
    EXPECT_EQ(f.host.statuses.back(), m->ready) << m->radio;
    EXPECT_EQ((st.*(m->spectra)).at("Hf").values, fresh) << m->radio;
  }
}

TEST(MeisEngineChecks, ExternalTablesFollowTheCrossSectionFile) {
  TempFolder dir;
  const std::string a = dir.write("a.dat", "10 1e-16\n");
  const std::string b = dir.write("b.dat", "10 1e-16\n20 1e-16\n");
  const auto withFile = [](const std::string& file) {
    return [file](Sample& f) { f.set("TFExternCS.EditCSFile", file); };
  };
  const std::vector<double> freshA = freshSpectrum(kExternal, withFile(a));
  const std::vector<double> freshB = freshSpectrum(kExternal, withFile(b));
  ASSERT_NE(freshA, freshB);

  Sample f(kExternal);
  f.set("TFExternCS.EditCSFile", a);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.session.state().extCsSpectra.at("Hf").values, freshA);
  f.set("TFExternCS.EditCSFile", b);  // another file
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.session.state().extCsSpectra.at("Hf").values, freshB);
  dir.write("b.dat", "10 1e-16\n");  // the same file with other contents
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.session.state().extCsSpectra.at("Hf").values, freshA);
  EXPECT_EQ(f.logCount("Numeric convolutions ECS"), 3);
  f.session.run("CalcSimulation");  // nothing changed: no build
  EXPECT_EQ(f.logCount("Numeric convolutions ECS"), 3);
  EXPECT_EQ(f.host.statuses.back(), kExternal.ready);
}

TEST(MeisEngineChecks, ExternalFilesThatCannotServe) {
  TempFolder dir;
  struct {
    std::string file, message;
  } cases[] = {
      {(dir.path / "missing.dat").string(),
       "Cannot open \"" + (dir.path / "missing.dat").string() +
           "\", named by \"Cross section file:\" in the \"External cross section\" window: there "
           "is no such file in the folder " +
           dir.path.string() +
           ". Choose the file with the \"...\" button beside the field, or type its full name."},
      {dir.write("zero.dat", "0 5e-16\n"),
       "The cross section file " + (dir.path / "zero.dat").string() +
           " holds no loss value above 0 eV: there is no collision to count"},
  };
  for (const auto& c : cases) {
    Sample f(kExternal);
    f.session.run("CalcSimulation");
    const WorkingState& st = f.session.state();
    const auto tables = st.extCsLossDistributions;
    const std::vector<double> before = st.extCsSpectra.at("Hf").values;
    f.set("TFExternCS.EditCSFile", c.file);
    f.session.run("CalcSimulation");
    EXPECT_EQ(f.host.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(f.host.statuses.back(), "Numeric ECS ERROR!");
    EXPECT_EQ(st.extCsLossDistributions, tables);
    EXPECT_EQ(st.extCsSpectra.at("Hf").values, before);
    EXPECT_TRUE(st.meisExtAutoValid);  // the old tables stay valid for the old file
  }
}

// "SCC" on with an SCC file that cannot be read (the default "scc.dat" is not in the folder):
// the correction the user asked for cannot be made, so the run fails with one message that
// names the file, the field, the window and the folder searched; the element keeps the
// spectrum it had, and the status never says the calculation is ready.
TEST(MeisEngineChecks, AnSccFileThatCannotBeReadFailsTheRun) {
  Sample f(kExternal);
  f.session.run("CalcSimulation");
  ASSERT_EQ(f.host.statuses.back(), kExternal.ready);
  const WorkingState& st = f.session.state();
  const std::vector<double> before = st.extCsSpectra.at("Hf").values;
  // A second element: one message for the run, not one per element.
  f.set("TFMEIS.EditElname", "O");
  f.set("TFMEIS.EditMass", "16");
  f.set("TFMEIS.EditZ", "8");
  f.session.click("TFMEIS.ButtonAdd");
  f.session.setCheckedAsClick("TFExternCS.RadioSCCFile", true);
  const std::string missing = std::filesystem::current_path().string() + "/scc.dat";
  ASSERT_FALSE(std::filesystem::exists(missing));
  f.host.statuses.clear();
  f.session.run("CalcSimulation");
  EXPECT_TRUE(f.session.lastCommandFailed());
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_EQ(f.host.messages[0],
            "Cannot open \"scc.dat\", named by \"SCC file:\" in the \"External cross section\" "
            "window: there is no such file in the folder " +
                std::filesystem::current_path().lexically_normal().string() +
                ". Choose the file with the \"...\" button beside the field, or type its full "
                "name.\nThe external cross-section spectrum of Hf was not calculated: \"SCC\" asks "
                "for its correction.");
  EXPECT_EQ(f.host.statuses.back(), kExternal.error);
  for (const std::string& status : f.host.statuses) {
    EXPECT_NE(status, kExternal.ready) << "reported as ready after the failure";
  }
  EXPECT_EQ(st.extCsSpectra.at("Hf").values, before);
  // With the file there, the correction is made and the run is ready again.
  TempFolder dir;
  f.set("TFExternCS.EditSCCFile", dir.write("scc.dat", "0 0\n10 1\n20 0.5\n"));
  f.host.statuses.clear();
  f.session.run("CalcSimulation");
  EXPECT_FALSE(f.session.lastCommandFailed());
  EXPECT_EQ(f.host.statuses.back(), kExternal.ready);
  EXPECT_EQ(f.host.messages.size(), 1u);
}

}  // namespace
}  // namespace tarvex
