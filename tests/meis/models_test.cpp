// The ion-scattering models as functions: each gives, bit for bit, the spectra its command
// stores, and runs, refuses, stops and keeps its tables without any session.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/meis_readers.h"
#include "cli/script.h"
#include "io/loss_table.h"
#include "meis/closed_form.h"
#include "meis/external.h"
#include "meis/numeric.h"
#include "meis/plots.h"
#include "support/recording_host.h"

namespace tarvex {
namespace {

const std::string kSource = TARVEX_SOURCE_DIR;

// The model selected in the options, with the map its command stores the spectra in.
enum class Model { gaussian, bessel, numeric, external };

Model selectedModel(const Session& s) {
  const ControlStore& c = s.controls();
  if (c.checked("TFOptions.RadioGauss")) return Model::gaussian;
  if (c.checked("TFOptions.RadioAnalitic")) return Model::bessel;
  if (c.checked("TFOptions.RadioNumeric")) return Model::numeric;
  return Model::external;
}

const std::map<std::string, spectro>& stored(const Session& s, Model m) {
  const WorkingState& st = s.state();
  switch (m) {
    case Model::gaussian:
      return st.gaussianSpectra;
    case Model::bessel:
      return st.besselSpectra;
    case Model::numeric:
      return st.numericSpectra;
    case Model::external:
      break;
  }
  return st.extCsSpectra;
}

// The spectra of the selected model computed from the session's values by the model function
// alone, with fresh caches (every table is built anew).
MeisSpectra modelSpectra(Session& s, Model m) {
  switch (m) {
    case Model::gaussian:
    case Model::bessel: {
      const ClosedFormInput in = readClosedFormInput(s, m == Model::gaussian);
      return m == Model::gaussian ? gaussianSpectra(in) : besselSpectra(in);
    }
    case Model::numeric: {
      MeisTableCache cache;
      return numericMeisSpectra(readNumericMeisInput(s), cache).spectra;
    }
    case Model::external:
      break;
  }
  ExtTableCache cache;
  return externalMeisSpectra(readExternalMeisInput(s), cache).spectra;
}

// Compares what the command stored for every element with the model function's spectra.
void expectSameSpectra(Session& s, Model m, const std::string& what) {
  const MeisSpectra model = modelSpectra(s, m);
  ASSERT_EQ(model.refusal, "") << what;
  const auto& command = stored(s, m);
  ASSERT_EQ(model.elements.size(), s.state().elementMap.size()) << what;
  for (const auto& [name, r] : model.elements) {
    ASSERT_EQ(r.refusal, "") << what << " " << name;
    const spectro& c = command.at(name);
    EXPECT_EQ(r.spectrum.values, c.values) << what << " " << name;
    EXPECT_EQ(r.spectrum.offset, c.offset) << what << " " << name;
    EXPECT_EQ(r.spectrum.step, c.step) << what << " " << name;
  }
}

// Runs an example line by line in the repository's folder (the examples name their files from
// there); after every line that changed the selected model's spectra, compares them with the
// model function's. Returns how many comparisons were made.
int compareAlongExample(const std::string& name) {
  struct InSource {
    std::filesystem::path before = std::filesystem::current_path();
    InSource() { std::filesystem::current_path(kSource); }
    ~InSource() { std::filesystem::current_path(before); }
  } inSource;
  std::ostringstream out, err;
  int compared = 0;
  {
    ScriptRunner script(out, err);
    std::ifstream in(kSource + "/examples/" + name);
    std::string line;
    std::map<Model, std::map<std::string, std::vector<double>>> last;
    for (int number = 1; std::getline(in, line); ++number) {
      script.line(line, number);
      Session& s = script.session();
      if (!s.controls().checked("TFOptions.RadioMEIS")) continue;
      const Model m = selectedModel(s);
      std::map<std::string, std::vector<double>> now;
      for (const auto& [element, sp] : stored(s, m))
        now[element] = sp.values;
      if (now == last[m]) continue;
      last[m] = now;
      expectSameSpectra(s, m, name + ":" + std::to_string(number));
      ++compared;
    }
    EXPECT_FALSE(script.failed()) << name << "\n" << err.str();
  }
  return compared;
}

TEST(MeisModelFunctions, GiveTheCommandsSpectraAlongTheExamples) {
  // Every model in meis-models.tvx; the sample builders' Gaussian runs in the other two.
  EXPECT_EQ(compareAlongExample("meis-models.tvx"), 4);
  EXPECT_GE(compareAlongExample("uniform-sample.tvx"), 1);
  EXPECT_GE(compareAlongExample("layered-sample.tvx"), 2);
}

// A session in ion-scattering mode with a 10 A layer of the default element (Hf) and O.
struct Layer : testing::SessionFixture {
  explicit Layer(const char* model) {
    meisMode();
    session.setCheckedAsClick(model, true);
    set("TFExternCS.EditCSFile", kSource + "/examples/crosssection-10eV.dat");
    session.setCheckedAsClick("TFExternCS.RadioSCCBasic", true);
    addElement("Hf");
    set("TFMEIS.EditMass", "16");
    set("TFMEIS.EditZ", "8");
    set("TFMEIS.EditSCL", "102.2");
    addElement("O");
    set("TFMEIS.EditMaxDepth", "10");
    session.run("Updateplot");
    double c = 0.25;
    for (auto& [name, p] : session.state().elementProfiles) {
      for (std::size_t i = 0; i < p.values.size(); ++i)
        p.values[i] = i % 7 == 3 ? 0.0 : c;
      c += 0.5;
    }
  }
};

TEST(MeisModelFunctions, GiveTheCommandsSpectraForEveryOption) {
  struct Case {
    const char* radio;
    Model model;
    const char *field, *value;
  };
  const Case cases[] = {
      {"TFOptions.RadioGauss", Model::gaussian, "", ""},
      {"TFOptions.RadioGauss", Model::gaussian, "TFOptions.CheckConv", "off"},
      {"TFOptions.RadioGauss", Model::gaussian, "TFMEIS.EditS", "0"},
      {"TFOptions.RadioAnalitic", Model::bessel, "", ""},
      {"TFOptions.RadioAnalitic", Model::bessel, "TFMEIS.CheckSCCorr", "off"},
      {"TFOptions.RadioAnalitic", Model::bessel, "TFMEIS.EditGauss", "40"},
      {"TFOptions.RadioNumeric", Model::numeric, "", ""},
      {"TFOptions.RadioNumeric", Model::numeric, "TFOptions.CheckConv", "off"},
      {"TFOptions.RadioNumeric", Model::numeric, "TFMEIS.CheckAuto", "off"},
      {"TFOptions.RadioExternal", Model::external, "", ""},
      {"TFOptions.RadioExternal", Model::external, "TFMEIS.CheckSCCorr", "off"},
      {"TFOptions.RadioExternal", Model::external, "TFExternCS.EditNcExt", "40"},
  };
  for (const Case& c : cases) {
    const std::string what = std::string(c.radio) + " " + c.field + " " + c.value;
    Layer f(c.radio);
    if (std::string(c.value) == "off") {
      f.session.setCheckedAsClick(c.field, false);
    } else if (*c.field != '\0') {
      f.set(c.field, c.value);
    }
    f.session.run("CalcSimulation");
    ASSERT_TRUE(f.host.messages.empty()) << what << ": " << f.host.messages.front();
    expectSameSpectra(f.session, c.model, what);
  }
}

TEST(MeisModelFunctions, TheTotalIsThePlottedCurve) {
  Layer f("TFOptions.RadioAnalitic");
  f.set("TFBackground.EditYs", "3");
  f.session.run("CalcSimulation");
  f.set("TFMEIS.EditSimMin", "95");
  f.session.run("Preview");
  const std::vector<ChartPoint>& points = f.series("ChartPrinc.SeriesBessel").points;
  const MeisTotal t = meisTotal(readMeisPlotWindow(f.session, false), f.session.state().elementMap,
                                f.session.state().besselSpectra);
  ASSERT_EQ(points.size(), t.y.size());
  ASSERT_EQ(points.size(), 500u);
  for (std::size_t k = 0; k < points.size(); ++k) {
    ASSERT_EQ(points[k].x, t.e[k]) << k;
    ASSERT_EQ(points[k].y, t.y[k]) << k;
  }
}

// ---- Without a session ------------------------------------------------------------------

const element kHf{"Hf", 72, 178.5, 216.8};
const element kO{"O", 8, 16, 102.2};

MeisRun defaultRun() {
  MeisRun r;
  r.e0 = 100;
  r.spread = 180;
  r.m1 = 1;
  r.z1 = 1;
  r.thetaIn = 0;
  r.thetaOut = 70;
  r.stopping = 192;
  r.straggling = 20740;
  return r;
}

profile layer(double thickness, double c) {
  profile p(thickness, 0.01);
  for (double& v : p.values)
    v = c;
  return p;
}

NumericMeisInput numericInput() {
  NumericMeisInput in;
  in.tables.run = defaultRun();
  in.tables.deltaE = 5;
  in.spread = 180;
  in.convolve = true;
  in.scc = true;
  in.elements = {{"Hf", kHf}, {"O", kO}};
  in.profiles = {{"Hf", layer(10, 0.33)}, {"O", layer(10, 0.67)}};
  return in;
}

ExternalMeisInput externalInput() {
  ExternalMeisInput in;
  in.frame.run = defaultRun();
  in.frame.density = 2.8e22;
  in.frame.convolve = true;
  in.frame.scc = true;
  in.tables = {0, 70, 30, 2, 1, 2.8e22};
  in.crossSection.values = spectro(2000, 1.0);
  in.crossSection.values.values[10] = 1e-16;
  in.crossSection.values.values[25] = 5e-17;
  in.crossSection.source = "cs.dat";
  in.crossSection.identity = "cs.dat 1";
  in.elements = {{"Hf", kHf}, {"O", kO}};
  in.profiles = {{"Hf", layer(10, 0.33)}, {"O", layer(10, 0.67)}};
  return in;
}

// Listens to a model: its stages in order and the last advance.
struct Recorder : Progress {
  std::vector<std::pair<ModelStage, std::string>> stages;
  int advances = 0, pauses = 0, lastDone = 0, lastTotal = 0;
  void stage(ModelStage s, const std::string& subject) override { stages.emplace_back(s, subject); }
  void advance(int done, int total) override {
    ++advances;
    lastDone = done;
    lastTotal = total;
  }
  void pause() override { ++pauses; }
};

TEST(MeisModelFunctions, ClosedFormsRunAndRefuseWithoutASession) {
  ClosedFormInput in;
  in.frame.run = defaultRun();
  in.frame.deltaE = 5;
  in.frame.convolve = true;
  in.frame.scc = false;
  in.elements = {{"Hf", kHf}};
  in.profiles = {{"Hf", layer(10, 1.0)}};
  Recorder rec;
  const MeisSpectra g = gaussianSpectra(in, {&rec, nullptr});
  const MeisSpectra b = besselSpectra(in);
  ASSERT_EQ(g.refusal, "");
  ASSERT_EQ(b.refusal, "");
  EXPECT_EQ(rec.stages,
            (std::vector<std::pair<ModelStage, std::string>>{{ModelStage::curve, "Hf"}}));
  // The Bessel model lacks 0.7 % of the yield by construction.
  EXPECT_NEAR(b.elements.at("Hf").spectrum.integral() / g.elements.at("Hf").spectrum.integral(),
              1.0 - 0.0067, 1e-3);

  struct {
    const char* what;
    std::function<void(ClosedFormInput&)> change;
    std::string refusal;
  } refused[] = {
      {"grazing", [](ClosedFormInput& i) { i.frame.run.thetaOut = 90; },
       "Theta out: 90 leaves no path out of the sample: the angle must be below 90 degrees"},
      {"no grid", [](ClosedFormInput& i) { i.frame.deltaE = 0; },
       "Delta E (keV): 0 leaves no energy grid: it must be positive"},
      {"comma",
       [](ClosedFormInput& i) {
         i.frame.run.e0 = -1.5;
         i.frame.decimalSeparator = ',';
       },
       "Ion energy (keV): -1,5 must be positive"},
  };
  for (const auto& c : refused) {
    ClosedFormInput bad = in;
    c.change(bad);
    for (const MeisSpectra& r : {gaussianSpectra(bad), besselSpectra(bad)}) {
      EXPECT_EQ(r.refusal, c.refusal) << c.what;
      EXPECT_TRUE(r.elements.empty()) << c.what;
    }
  }
}

TEST(MeisModelFunctions, AStopEndsAClosedFormRun) {
  ClosedFormInput in;
  in.frame.run = defaultRun();
  in.frame.deltaE = 5;
  in.elements = {{"Hf", kHf}};
  in.profiles = {{"Hf", layer(10, 1.0)}};
  CancelToken stop;
  stop.request();
  EXPECT_THROW(besselSpectra(in, {nullptr, &stop}), Cancelled);
  EXPECT_THROW(gaussianElementSpectrum(in.frame, "Hf", kHf, in.profiles["Hf"], {nullptr, &stop}),
               Cancelled);
}

TEST(MeisModelFunctions, NumericTablesAreKeptInTheCallersCache) {
  NumericMeisInput in = numericInput();
  MeisTableCache cache;
  Recorder rec;
  const NumericMeisResult first = numericMeisSpectra(in, cache, {&rec, nullptr});
  ASSERT_EQ(first.spectra.refusal, "");
  // What the command shows: Emin and Emax of the run, the grid of Auto mode.
  EXPECT_NEAR(first.plan.range.emax, 217.85, 1e-2);
  EXPECT_EQ(first.plan.grid.step, 10.0);
  EXPECT_EQ(first.plan.grid.nc, 72.0);
  EXPECT_EQ(first.plan.grid.bins, 500.0);
  ASSERT_EQ(first.built.size(), 2u);
  EXPECT_EQ(first.built.at("Hf").size(), 72u);
  EXPECT_NEAR(first.built.at("Hf")[0].integral, 1.0, 1e-3);
  EXPECT_EQ(rec.lastDone, 72);
  EXPECT_EQ(rec.lastTotal, 72);
  EXPECT_EQ(rec.stages.front(), std::make_pair(ModelStage::collisionTable, std::string("Hf")));
  EXPECT_EQ(rec.stages.back(), std::make_pair(ModelStage::curve, std::string("O")));
  EXPECT_EQ(cache.tables.at("O").size(), 73u);

  // The same values again: no table is built, the spectra are the same.
  const spectro* const hfTable = cache.tables.at("Hf").data();
  const NumericMeisResult again = numericMeisSpectra(in, cache);
  EXPECT_TRUE(again.built.empty());
  EXPECT_EQ(cache.tables.at("Hf").data(), hfTable);
  EXPECT_EQ(again.spectra.elements.at("O").spectrum.values,
            first.spectra.elements.at("O").spectrum.values);
  // The spread is not part of the tables; the stopping is.
  in.spread = 90;
  EXPECT_TRUE(numericMeisSpectra(in, cache).built.empty());
  const std::vector<double> oldO = first.spectra.elements.at("O").spectrum.values;
  in.tables.run.stopping = 300;
  const NumericMeisResult changed = numericMeisSpectra(in, cache);
  EXPECT_EQ(changed.built.size(), 2u);
  EXPECT_EQ(cache.keys.at("Hf"), meisTableKey(in.tables, kHf));

  // A stop while a table is built leaves the cache as it was.
  const auto tables = cache.tables;
  const auto keys = cache.keys;
  in.tables.run.stopping = 250;
  CancelToken stop;
  struct Stopper : Progress {
    CancelToken* token = nullptr;
    void advance(int done, int) override {
      if (done == 20) token->request();
    }
  } stopper;
  stopper.token = &stop;
  EXPECT_THROW(numericMeisSpectra(in, cache, {&stopper, &stop}), Cancelled);
  EXPECT_EQ(cache.keys, keys);
  ASSERT_EQ(cache.tables.size(), tables.size());
  for (const auto& [name, table] : tables) {
    ASSERT_EQ(cache.tables.at(name).size(), table.size());
    for (std::size_t k = 0; k < table.size(); ++k)
      ASSERT_EQ(cache.tables.at(name)[k].values, table[k].values) << name << " " << k;
  }
}

TEST(MeisModelFunctions, NumericRefusalsAreData) {
  struct {
    const char* what;
    std::function<void(NumericMeisInput&)> change;
    std::string refusal;
  } cases[] = {
      {"heavy", [](NumericMeisInput& i) { i.tables.run.m1 = 20; },
       "Projectile mass: 20 is not lighter than the element O (mass 16): nothing is scattered "
       "back"},
      {"spread", [](NumericMeisInput& i) { i.spread = -5; },
       "Energy Spread (eV): -5 is not a width: it must be zero or positive"},
      {"stopping", [](NumericMeisInput& i) { i.tables.run.stopping = 0; },
       "Error! Check parameters!\ndE/dx: (eV/nm) 0 must be positive"},
      {"manual grid",
       [](NumericMeisInput& i) {
         i.tables.autoMode = false;
         i.tables.step = 10;
         i.tables.nc = 0;
         i.tables.bins = 500;
       },
       "# Convolutions: 0 must be at least 1"},
  };
  for (const auto& c : cases) {
    NumericMeisInput in = numericInput();
    c.change(in);
    MeisTableCache cache;
    const NumericMeisResult r = numericMeisSpectra(in, cache);
    EXPECT_EQ(r.spectra.refusal, c.refusal) << c.what;
    EXPECT_TRUE(r.spectra.elements.empty()) << c.what;
    EXPECT_TRUE(cache.tables.empty()) << c.what;
  }
}

TEST(MeisModelFunctions, ExternalTableIsSharedCachedAndKeptOnAStop) {
  ExternalMeisInput in = externalInput();
  ExtTableCache cache;
  const ExternalMeisResult first = externalMeisSpectra(in, cache);
  ASSERT_EQ(first.spectra.refusal, "");
  EXPECT_EQ(first.built.size(), 30u);
  EXPECT_EQ(cache.tables.at("Hf"), cache.tables.at("O"));  // one table, shared
  EXPECT_EQ(cache.tables.at("Hf")->size(), 31u);
  // The collision rate: (1e-16 + 5e-17) cm^2 x 2.8e22 cm^-3 x fS 3.9089 x 1e-8 cm/A.
  const ExtElementSetup e =
      extElementSetup(in.frame, kHf, *cache.tables.at("Hf"), cache.crossSection);
  EXPECT_NEAR(e.m, 1.5e-16 * 2.8e22 * 3.9089 * 1e-8, 1e-5);
  EXPECT_DOUBLE_EQ(e.m0, 1.0);
  EXPECT_NEAR(e.m1, (10 * 2 + 25) / 3.0, 1e-9);

  const auto shared = cache.tables.at("Hf");
  EXPECT_TRUE(externalMeisSpectra(in, cache).built.empty());
  EXPECT_EQ(cache.tables.at("Hf"), shared);
  // Another content of the cross section: the table is built again.
  in.crossSection.values.values[25] = 0;
  in.crossSection.identity = "cs.dat 2";
  CancelToken stop;
  stop.request();
  EXPECT_THROW(externalMeisSpectra(in, cache, {nullptr, &stop}), Cancelled);
  EXPECT_EQ(cache.tables.at("Hf"), shared);
  EXPECT_EQ(cache.keys.at("O"), extTableKey(externalInput().tables, "cs.dat 1"));
  const ExternalMeisResult rebuilt = externalMeisSpectra(in, cache);
  EXPECT_EQ(rebuilt.built.size(), 30u);
  EXPECT_NE(cache.tables.at("Hf"), shared);
  EXPECT_NE(rebuilt.spectra.elements.at("Hf").spectrum.values,
            first.spectra.elements.at("Hf").spectrum.values);

  // The SCC file's correction: a table concentrated at 0 eV moves the spectrum by the shift.
  in.frame.sccBasic = false;
  in.frame.convolve = false;
  in.scc.table = spectro(2000, 1.0);
  in.scc.table.values[0] = 1.0;
  in.scc.shift = 35;
  const ExternalMeisResult shifted = externalMeisSpectra(in, cache);
  in.frame.scc = false;
  const ExternalMeisResult plain = externalMeisSpectra(in, cache);
  EXPECT_EQ(shifted.spectra.elements.at("O").spectrum.offset,
            plain.spectra.elements.at("O").spectrum.offset + 35.0);

  // Asked for, a correction without values cannot be made: refused, not skipped.
  in.frame.scc = true;
  in.scc.table = spectro(2000, 1.0);
  EXPECT_EQ(externalMeisSpectra(in, cache).spectra.refusal,
            "\"SCC\" asks for the correction of an SCC file, and no correction (values that "
            "sum to more than 0) was given");

  // A cross section without any loss above 0 eV is refused; the cache stays.
  in.crossSection.values = spectro(2000, 1.0);
  in.crossSection.values.values[0] = 1e-16;
  in.crossSection.identity = "zero";
  const ExternalMeisResult none = externalMeisSpectra(in, cache);
  EXPECT_EQ(none.spectra.refusal,
            "The cross section file cs.dat holds no loss value above 0 eV: there is no "
            "collision to count");
  EXPECT_EQ(cache.keys.at("O").text, "cs.dat 2");
}

TEST(MeisModelFunctions, TheTotalOfAWindow) {
  spectro hf(5, 10.0);
  hf.values = {1, 2, 3, 4, 5};
  hf.offset = 1000.0;  // bin j at 1000 - 10 j eV
  MeisPlotWindow w;
  w.dose = 2;
  w.step = meisPlotStep(true, 40);  // sharp: 1 eV
  EXPECT_EQ(w.step, 1.0);
  EXPECT_EQ(meisPlotStep(true, 50), 10.0);
  EXPECT_EQ(meisPlotStep(false, 180), 1.0);
  w.step = 10;
  w.min = 0;
  w.max = 1;
  w.background = {0, 1, 1, 1};  // a flat line at 1
  const std::map<std::string, element> elements{{"Hf", kHf}, {"O", kO}};
  const MeisTotal t = meisTotal(w, elements, {{"Hf", hf}, {"Si", hf}});
  ASSERT_EQ(t.y.size(), 100u);
  EXPECT_DOUBLE_EQ(t.e[97], 0.97);
  EXPECT_EQ(t.y[97], 1 + 2 * 4.0);  // 970 eV: bin 3 of Hf; O has none, Si is not drawn
  EXPECT_EQ(t.y[99], 1 + 2 * 2.0);
  EXPECT_EQ(t.y[96], 1.0);  // the last bin is the grid's end
  EXPECT_EQ(t.y[50], 1.0);
  w.max = 2000000;
  EXPECT_FALSE(meisWindowFits(w));
  EXPECT_TRUE(meisTotal(w, elements, {}).y.empty());
}

}  // namespace
}  // namespace tarvex
