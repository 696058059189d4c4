#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "app/meis_readers.h"
#include "io/loss_table.h"
#include "support/recording_host.h"

namespace tarvex {
namespace {

using testing::SessionFixture;

struct MeisFixture : SessionFixture {
  explicit MeisFixture(const char* model = "TFOptions.RadioNumeric") {
    meisMode();
    session.setCheckedAsClick(model, true);
  }
  // A uniform layer of thickness t (A) of the editor's element, on the frame's profile step.
  void uniformLayer(double t) {
    set("TFMEIS.EditMaxDepth", std::to_string(t));
    session.run("Updateplot");
    for (auto& [name, p] : session.state().elementProfiles) {
      for (double& v : p.values)
        v = 1.0;
    }
  }
  int tableBuilds() const {
    int n = 0;
    const std::string& log = session.logText();
    for (std::size_t at = 0; (at = log.find("Auto #1:", at)) != std::string::npos; ++at)
      ++n;
    return n;
  }
  const spectro& spectrum(const std::map<std::string, spectro>& m, const char* name = "Hf") {
    return m.at(name);
  }
};

// Yield and mean detected energy (eV) of a result spectrum.
struct Summary {
  double yield, meanEnergy;
};
Summary summarize(const spectro& s) {
  double y = 0, e = 0;
  for (int j = 0; j < s.size(); ++j) {
    y += s.values[j];
    e += s.values[j] * (s.offset - j * s.step);
  }
  return {y * s.step, e / y};
}

TEST(ElementSetupTest, DefaultsOfTheDefaultElement) {
  MeisRun run;
  run.e0 = 100;
  run.m1 = 1;
  run.z1 = 1;
  run.thetaIn = 0;
  run.thetaOut = 70;
  run.stopping = 192;
  run.straggling = 20740;
  const element hf{"Hf", 72, 178.5, 216.8};
  const ElementSetup e = prepareElement(hf, run);
  EXPECT_DOUBLE_EQ(e.theta, 110.0);
  EXPECT_NEAR(e.k, 0.98508, 1e-5);
  EXPECT_NEAR(e.fS, 3.9089, 1e-4);
  EXPECT_NEAR(e.fW, 3.8942, 1e-4);
  EXPECT_NEAR(e.dedxEf, 75.05, 1e-2);
  EXPECT_NEAR(e.sEf, 8076.5, 0.1);
  const CollisionRange r = collisionEnergyRange(100, 1, e.dedxEf, e.sEf);
  EXPECT_NEAR(r.emax, 217.85, 1e-2);
  EXPECT_NEAR(r.emin, 42.85, 1e-2);
  EXPECT_NEAR(r.mean, 86.73, 1e-2);
  EXPECT_NEAR(e.dedxEf / r.mean, 0.8653, 1e-4);
  const double beta = e.dedxEf * 2000 / e.sEf;
  EXPECT_NEAR(beta, 18.585, 1e-3);
  EXPECT_NEAR(e.dedxEf * beta, 1394.8, 0.1);

  run.thetaOut = 0;
  const ElementSetup back = prepareElement(hf, run);
  EXPECT_DOUBLE_EQ(back.theta, 180.0);
  EXPECT_DOUBLE_EQ(back.fS, back.k + 1);
  EXPECT_DOUBLE_EQ(back.fW, back.k * back.k + 1);
}

TEST(NumericMeis, TablesOfTheDefaults) {
  MeisFixture f;
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.text("TFMEIS.EditEmax"), "217.85");
  EXPECT_EQ(f.text("TFMEIS.EditEmin"), "43.28");
  EXPECT_EQ(f.text("TFMEIS.EditStep"), "10");
  EXPECT_EQ(f.text("TFMEIS.EditNc"), "72");
  EXPECT_EQ(f.text("TFMEIS.EditVecsize"), "500");
  const auto& t = f.session.state().numericLossDistributions.at("Hf");
  ASSERT_EQ(t.size(), 73u);
  EXPECT_EQ(t[40].size(), 500);
  EXPECT_EQ(t[40].step, 10.0);
  EXPECT_TRUE(f.session.state().meisAutoValid);
  EXPECT_EQ(f.host.statuses.back(),
            "The profile is empty: draw a layer in the Sample window first");
  EXPECT_NE(f.session.logText().find("Auto #1: \tIntegral= 1\tM1= "), std::string::npos);
}

TEST(NumericMeis, TablesAreReusedUntilAParameterChanges) {
  MeisFixture f;
  f.uniformLayer(10);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.tableBuilds(), 1);
  const spectro before = f.spectrum(f.session.state().numericSpectra);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.tableBuilds(), 1);
  f.set("TFMEIS.EditGauss", "90");  // the spread is not part of the tables
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.tableBuilds(), 1);
  EXPECT_NE(f.spectrum(f.session.state().numericSpectra).values, before.values);
  f.set("TFMEIS.EditTOut", "60");
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.tableBuilds(), 2);
}

TEST(NumericMeis, ASurfacePointIsOneBinAtTheEdge) {
  MeisFixture f;
  f.session.setCheckedAsClick("TFOptions.CheckConv", false);
  f.session.setCheckedAsClick("TFMEIS.CheckSCCorr", false);
  f.session.run("Updateplot");
  f.session.state().elementProfiles["Hf"].values[0] = 1.0;
  f.session.run("CalcSimulation");
  const spectro& s = f.spectrum(f.session.state().numericSpectra);
  MeisRun run = readMeisRun(f.session);
  const ElementSetup e = prepareElement(f.session.state().elementMap.at("Hf"), run);
  const double h = 0.01;
  EXPECT_NEAR(s.values[0], 1000 * h * e.sigma * static_cast<float>(1.0 / 10), 1e-9);
  for (int j = 1; j < s.size(); ++j)
    ASSERT_EQ(s.values[j], 0.0);
  EXPECT_DOUBLE_EQ(s.offset, e.k * 100 * 1000);
}

TEST(NumericMeis, RefusedParameters) {
  MeisFixture f;
  f.set("TFMEIS.EditDeltaE", "0.1");
  f.session.run("CalcSimulation");
  ASSERT_FALSE(f.host.messages.empty());
  EXPECT_EQ(f.host.messages.front(), "Error! Check parameters!");
  EXPECT_FALSE(f.session.state().meisAutoValid);
  EXPECT_EQ(f.host.statuses.back(), "Numeric ERROR!");
}

TEST(MeisModels, ClosedFormAndNumericAgreeOnYieldAndEnergy) {
  struct Result {
    Summary s;
  };
  const auto run = [](const char* model, const char* action,
                      std::map<std::string, spectro> WorkingState::*map) {
    MeisFixture f(model);
    f.session.setCheckedAsClick("TFMEIS.CheckSCCorr", false);
    f.uniformLayer(10);
    f.session.run(action);
    EXPECT_TRUE(f.host.messages.empty()) << model;
    return summarize((f.session.state().*map).at("Hf"));
  };
  const Summary gauss =
      run("TFOptions.RadioGauss", "CalcGaussianMEIS", &WorkingState::gaussianSpectra);
  const Summary numeric =
      run("TFOptions.RadioNumeric", "CalcNumericMEIS", &WorkingState::numericSpectra);
  const Summary bessel =
      run("TFOptions.RadioAnalitic", "CalcAnaliticMEIS", &WorkingState::besselSpectra);
  EXPECT_NEAR(numeric.yield / gauss.yield, 1.0, 1e-4);
  EXPECT_NEAR(numeric.meanEnergy, gauss.meanEnergy, 1.0);
  EXPECT_NEAR(bessel.yield / gauss.yield, 1.0 - 0.0067, 0.001);
  EXPECT_NEAR(bessel.meanEnergy, gauss.meanEnergy, 5.0);
}

TEST(GaussianMeis, GridMarginAndBins) {
  MeisFixture f("TFOptions.RadioGauss");
  f.set("TFMEIS.EditDeltaE", "5.001");
  f.session.run("Updateplot");
  f.session.state().elementProfiles["Hf"].values[0] = 1.0;
  f.session.setCheckedAsClick("TFMEIS.CheckSCCorr", false);
  f.session.run("CalcSimulation");
  const spectro& s = f.spectrum(f.session.state().gaussianSpectra);
  EXPECT_EQ(s.size(), 501);
  const ElementSetup e =
      prepareElement(f.session.state().elementMap.at("Hf"), readMeisRun(f.session));
  EXPECT_DOUBLE_EQ(s.offset, 1000 * e.k * 100 + 1000 * 2.0);
  const int peak =
      static_cast<int>(std::max_element(s.values.begin(), s.values.end()) - s.values.begin());
  EXPECT_EQ(peak, 200);  // the surface Gaussian sits 2 keV below the top of the grid
  EXPECT_EQ(f.host.statuses.back(), "Gaussian calculation ready");
}

TEST(BesselMeis, SurfacePointIsTheNoCollisionBin) {
  MeisFixture f("TFOptions.RadioAnalitic");
  f.session.setCheckedAsClick("TFOptions.CheckConv", false);
  f.session.setCheckedAsClick("TFMEIS.CheckSCCorr", false);
  f.session.run("Updateplot");
  f.session.state().elementProfiles["Hf"].values[0] = 0.5;
  f.session.run("CalcSimulation");
  const spectro& s = f.spectrum(f.session.state().besselSpectra);
  const ElementSetup e =
      prepareElement(f.session.state().elementMap.at("Hf"), readMeisRun(f.session));
  EXPECT_NEAR(s.values[0], 0.01 * e.sigma * 50.0, 1e-9);
  for (int j = 1; j < s.size(); ++j)
    ASSERT_EQ(s.values[j], 0.0);
  EXPECT_EQ(f.host.statuses.back(), "Bessel calculation ready!");
}

TEST(MeisModels, ZeroProfilesGiveZeroSpectraWithoutPostProcessing) {
  for (const char* model :
       {"TFOptions.RadioGauss", "TFOptions.RadioAnalitic", "TFOptions.RadioNumeric"}) {
    MeisFixture f(model);
    f.session.run("CalcSimulation");
    const WorkingState& st = f.session.state();
    const spectro& s = std::string(model) == "TFOptions.RadioGauss" ? st.gaussianSpectra.at("Hf")
                       : std::string(model) == "TFOptions.RadioAnalitic"
                           ? st.besselSpectra.at("Hf")
                           : st.numericSpectra.at("Hf");
    EXPECT_EQ(s.integral(), 0.0) << model;
    EXPECT_EQ(s.size(), 500) << model;  // not grown by a broadening
  }
}

TEST(MeisModels, SccKeepsTheYield) {
  MeisFixture on("TFOptions.RadioAnalitic");
  on.uniformLayer(10);
  on.session.run("CalcSimulation");
  MeisFixture off("TFOptions.RadioAnalitic");
  off.session.setCheckedAsClick("TFMEIS.CheckSCCorr", false);
  off.uniformLayer(10);
  off.session.run("CalcSimulation");
  const spectro& a = on.spectrum(on.session.state().besselSpectra);
  const spectro& b = off.spectrum(off.session.state().besselSpectra);
  EXPECT_NEAR(a.integral() / b.integral(), 1.0, 1e-12);
  EXPECT_LT(summarize(a).meanEnergy, summarize(b).meanEnergy - 100);  // the tail lowers it
}

TEST(MeisModels, AFailureHalfWayKeepsTheElementsDone) {
  MeisFixture f("TFOptions.RadioAnalitic");
  f.addElement("Hf");
  f.addElement("O");
  f.uniformLayer(10);
  f.set("TFMEIS.EditSimMax", "1e2");
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.host.messages.back(),
            "'1e2' is not a valid integer value (Options, Ion Scattering: \"Max (keV)\")");
  const auto& spectra = f.session.state().besselSpectra;
  EXPECT_GT(spectra.at("Hf").integral(), 0.0);  // done before the plot failed
  EXPECT_EQ(spectra.count("O"), 0u);            // never reached
}

TEST(MeisModels, AnImpossibleEnergyRangeIsRefused) {
  for (const char* deltaE : {"1e300", "-1e300"}) {
    MeisFixture f("TFOptions.RadioGauss");
    f.set("TFMEIS.EditDeltaE", deltaE);
    f.session.run("CalcSimulation");
    ASSERT_FALSE(f.host.messages.empty()) << deltaE;
    EXPECT_EQ(f.host.messages.back().find("Delta E (keV): "), 0u) << f.host.messages.back();
  }
}

TEST(MeisPlots, WindowStepsAndDose) {
  MeisFixture f("TFOptions.RadioAnalitic");
  f.uniformLayer(10);
  f.session.run("CalcSimulation");
  const auto& pts = f.series("ChartPrinc.SeriesBessel").points;
  ASSERT_EQ(pts.size(), 1000u);
  EXPECT_DOUBLE_EQ(pts.front().x, 90.0);
  EXPECT_NEAR(pts.back().x, 99.99, 1e-9);
  EXPECT_EQ(f.series("ChartMEISSpec.SeriesBessel").points.size(), 1000u);
  f.set("TFMEIS.EditGauss", "40");
  f.session.run("Preview");
  EXPECT_EQ(f.series("ChartPrinc.SeriesBessel").points.size(), 10000u);
  EXPECT_NEAR(f.series("ChartPrinc.SeriesBessel").points.back().x, 99.999, 1e-9);
  f.set("TFOptions.EditMult", "0");
  f.set("TFBackground.EditYs", "3");
  f.session.run("Preview");
  for (const ChartPoint& p : f.series("ChartPrinc.SeriesBessel").points)
    ASSERT_EQ(p.y, 3.0);
  f.set("TFMEIS.EditSimMax", "80");
  f.session.run("Preview");
  EXPECT_TRUE(f.series("ChartPrinc.SeriesBessel").points.empty());
  f.set("TFMEIS.EditSimMax", "99.5");
  f.set("TFMEIS.EditSimMin", "0");
  f.session.run("Preview");
  EXPECT_EQ(f.host.messages.back(),
            "'99.5' is not a valid integer value (Options, Ion Scattering: \"Max (keV)\")");
  EXPECT_TRUE(f.series("ChartPrinc.SeriesBessel").points.empty());  // kept as it was
}

TEST(MeisPlots, DeletedElementsAreNotDrawn) {
  MeisFixture f("TFOptions.RadioAnalitic");
  f.addElement("Hf");
  f.addElement("O");
  f.uniformLayer(10);
  f.session.run("CalcSimulation");
  double with = 0;
  for (const ChartPoint& p : f.series("ChartPrinc.SeriesBessel").points)
    with += p.y;
  f.set("TFMEIS.EditElname", "O");
  f.session.click("TFMEIS.ButtonDel");
  f.session.run("Preview");
  double without = 0;
  for (const ChartPoint& p : f.series("ChartPrinc.SeriesBessel").points)
    without += p.y;
  EXPECT_EQ(f.session.state().besselSpectra.count("O"), 1u);
  EXPECT_LT(without, with);
}

TEST(MeisPlots, NormalizeMakesTheElementsSumToOne) {
  MeisFixture f;
  f.addElement("Hf");
  f.addElement("O");
  auto& p = f.session.state().elementProfiles;
  p["Hf"].values[5] = 0.5;
  p["O"].values[5] = 0.25;
  p["O"].setThickness(2.0);  // shorter: nothing to read beyond its end
  p["Hf"].values[700] = 2.0;
  f.session.run("NormalizeMEISProfiles");
  EXPECT_EQ(p["Hf"].values[5], static_cast<double>(static_cast<float>(0.5 / 0.75)));
  EXPECT_EQ(p["O"].values[5], static_cast<double>(static_cast<float>(0.25 / 0.75)));
  EXPECT_EQ(p["Hf"].values[6], 0.0);
  EXPECT_EQ(p["Hf"].values[700], 1.0);
}

// ---- External cross section --------------------------------------------------------------

struct ExternalFixture : MeisFixture {
  std::string dir = ::testing::TempDir();
  ExternalFixture() : MeisFixture("TFOptions.RadioExternal") {}
  std::string write(const std::string& name, const std::string& text) {
    const std::string path = dir + name;
    std::ofstream(path) << text;
    return path;
  }
};

TEST(ExternalMeis, SingleBinCrossSection) {
  ExternalFixture f;
  f.set("TFExternCS.EditCSFile", f.write("cs10.dat", "10 1e-16\n"));
  f.session.setCheckedAsClick("TFMEIS.CheckSCCorr", false);
  f.uniformLayer(10);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.text("TFExternCS.Editdedx"), "2.8");
  EXPECT_EQ(f.text("TFExternCS.Editdw2dx"), "28");
  EXPECT_EQ(f.text("TFMEIS.EditStep"), "1");
  const auto& d = *f.session.state().extCsLossDistributions.at("Hf");
  ASSERT_EQ(d.size(), 101u);
  EXPECT_EQ(d[0].values[0], static_cast<double>(0.9f));
  EXPECT_DOUBLE_EQ(d[1].values[10], 1.0);
  EXPECT_NEAR(d[7].values[70], 1.0, 1e-12);
  const std::string& log = f.session.logText();
  const std::size_t at = log.find("\nm= ");
  ASSERT_NE(at, std::string::npos);
  // 1e-16 cm^2 * 2.8e22 cm^-3 = 2.8e6 collisions per cm = 0.028 per A one way, times the
  // path factor 3.9089: 0.10945 per A, consistent with the 2.8 eV/nm stopping shown above.
  EXPECT_NEAR(std::stod(log.substr(at + 4)), 0.10945, 1e-5);
  EXPECT_EQ(f.host.statuses.back(), "External cross section calculation ready!");
}

TEST(ExternalMeis, OneBuildForAllElementsThenReuse) {
  ExternalFixture f;
  f.set("TFExternCS.EditCSFile", f.write("cs.dat", "5 1e-17\n10 2e-17\n20 1e-17\n"));
  f.addElement("Hf");
  f.addElement("O");
  f.addElement("Si");
  f.uniformLayer(10);
  f.session.run("CalcSimulation");
  const auto& tables = f.session.state().extCsLossDistributions;
  EXPECT_EQ(tables.at("Hf"), tables.at("Si"));  // one table, shared
  EXPECT_EQ((*tables.at("Hf"))[50].values.size(), 5000u);
  const auto builds = [&] {
    int n = 0;
    const std::string& log = f.session.logText();
    for (std::size_t at = 0; (at = log.find("Numeric convolutions ECS", at)) != std::string::npos;
         ++at)
      ++n;
    return n;
  };
  EXPECT_EQ(builds(), 3);  // one build, logged per element
  f.session.run("CalcSimulation");
  EXPECT_EQ(builds(), 3);
  f.set("TFExternCS.EditDensity", "3e22");  // read at every run, not part of the tables
  f.session.run("CalcSimulation");
  EXPECT_EQ(builds(), 3);
  // Tables of another collision count would give another spectrum than a fresh start.
  f.set("TFExternCS.EditNcExt", "101");
  f.session.run("CalcSimulation");
  EXPECT_EQ(builds(), 6);
  EXPECT_EQ(f.session.state().extCsLossDistributions.at("O")->size(), 102u);
}

TEST(ExternalMeis, SccFileShiftsTheSpectrum) {
  ExternalFixture f;
  f.set("TFExternCS.EditCSFile", f.write("cs2.dat", "10 1e-16\n"));
  f.set("TFExternCS.EditSCCFile", f.write("scc0.dat", "0 1\n"));
  f.session.setCheckedAsClick("TFOptions.CheckConv", false);
  f.uniformLayer(10);
  f.session.run("CalcSimulation");
  const spectro shifted = f.session.state().extCsSpectra.at("Hf");
  f.session.setCheckedAsClick("TFMEIS.CheckSCCorr", false);
  f.session.run("CalcSimulation");
  const spectro plain = f.session.state().extCsSpectra.at("Hf");
  EXPECT_DOUBLE_EQ(shifted.offset, plain.offset + 35.0);
  ASSERT_EQ(shifted.size(), plain.size());
  for (int j = 0; j < plain.size(); ++j)
    ASSERT_NEAR(shifted.values[j], plain.values[j], 1e-9 * plain.values[0]);

  f.session.setCheckedAsClick("TFMEIS.CheckSCCorr", true);
  f.session.setCheckedAsClick("TFExternCS.RadioSCCBasic", true);
  f.session.run("CalcSimulation");
  EXPECT_DOUBLE_EQ(f.session.state().extCsSpectra.at("Hf").offset, plain.offset);
}

TEST(ExternalMeis, NoCrossSectionMeansNoTables) {
  ExternalFixture f;
  f.set("TFExternCS.EditCSFile", "");
  f.host.fileAnswers = {std::nullopt, std::nullopt, std::nullopt};  // the user cancels
  f.uniformLayer(10);
  f.session.run("CalcSimulation");
  EXPECT_FALSE(f.session.state().meisExtAutoValid);
  EXPECT_EQ(f.host.statuses.back(), "Numeric ECS ERROR!");
  EXPECT_FALSE(f.host.dialogs.empty());
  EXPECT_EQ(f.host.dialogs[0].defaultExt, "dat");
}

TEST(ExternalMeis, SccWidthAndLoadScc) {
  ExternalFixture f;
  f.set("TFExternCS.EditCSFile", f.write("cs3.dat", "10 1e-16\n"));
  f.set("TFExternCS.EditSCCFile", f.write("scc3.dat", "0 0.25\n1 0.5\n2 0.25\n"));
  // Before any calculation there is nothing to correct, and the message says so.
  f.session.run("LoadSCC");
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_EQ(f.host.messages[0],
            "Hf has no external cross-section spectrum yet: calculate it with the \"External CS\" "
            "model first, then load the correction");
  EXPECT_EQ(f.text("TFExternCS.EditSigmaExtSCC"), "0");
  f.host.messages.clear();
  f.uniformLayer(10);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.text("TFExternCS.EditSigmaExtSCC"), "0.7071");
  const spectro before = f.session.state().extCsSpectra.at("Hf");
  f.session.run("LoadSCC");
  EXPECT_EQ(f.text("TFExternCS.EditSigmaExtSCC"), "0.707106781186548");
  const spectro& after = f.session.state().extCsSpectra.at("Hf");
  EXPECT_NEAR(after.integral(), before.integral(), 1e-9 * before.integral());
  EXPECT_NE(after.values, before.values);

  f.set("TFExternCS.EditSCCFile", f.write("empty.dat", "no numbers here\n"));
  const spectro kept = after;
  f.session.run("LoadSCC");
  EXPECT_EQ(f.session.state().extCsSpectra.at("Hf").values, kept.values);
}

TEST(ExternalMeis, ChooseButtonsWriteTheChosenPath) {
  ExternalFixture f;
  f.host.fileAnswers = {std::string("/data/cs.dat"), std::nullopt};
  f.session.click("TFExternCS.ButCSF");
  EXPECT_EQ(f.text("TFExternCS.EditCSFile"), "/data/cs.dat");
  EXPECT_EQ(f.host.dialogs[0].fileName, "crosssection.dat");
  f.session.click("TFExternCS.ButCSF");  // cancelled: unchanged
  EXPECT_EQ(f.text("TFExternCS.EditCSFile"), "/data/cs.dat");
}

// ---- Loss table reader --------------------------------------------------------------------

spectro readText(const std::string& text, int bins) {
  spectro t(bins, 1.0);
  std::istringstream in(text);
  readLossTable(in, t);
  return t;
}

TEST(LossTable, PairsByIndex) {
  const spectro t = readText("3 0.5\n  1\t0.1\n3 2.5e-1 7 1e40\n", 5);
  EXPECT_EQ(t.values[1], static_cast<double>(0.1f));
  EXPECT_EQ(t.values[3], 0.25);
  EXPECT_TRUE(std::isinf(t.values[4]) || t.values[4] == 0.0);
  EXPECT_EQ(t.values[0], 0.0);
}

TEST(LossTable, WhereTheReadingEnds) {
  struct {
    const char* text;
    std::vector<double> want;
  } cases[] = {{"4 1\n1 2\n", {0, 0, 0, 0, 1}},       // index n-1 first: nothing after it
               {"3 3\n2 2\n1 1\n", {0, 1, 2, 3, 0}},  // descending, all read
               {"1 1\n9 9\n2 2\n", {0, 1, 0, 0, 0}},  // past the grid: not stored, ends
               {"12.5 3\n", {0, 0, 0, 0, 0}},         // index 12, value 0.5, then index 3: no value
               {"1.5 3 2\n", {0, 0.5, 0, 0, 0}},      // index 1 value .5; index 3 value 2
               {"1 1\nx 2\n2 2\n", {0, 1, 0, 0, 0}},  // a word ends the data
               {"1 1,5 2 2\n", {0, 1, 0, 0, 0}},      // a comma too
               {"-1 7 2 2", {0, 0, 2, 0, 0}},         // negative index not stored
               {"", {0, 0, 0, 0, 0}},
               {"2", {0, 0, 0, 0, 0}}};  // an index without a value
  for (const auto& c : cases) {
    const spectro t = readText(c.text, 5);
    std::vector<double> want = c.want;
    if (std::string(c.text) == "1.5 3 2\n") want[3] = 2;
    EXPECT_EQ(t.values, want) << c.text;
  }
}

TEST(LossTable, UnopenableFileLeavesTheTable) {
  spectro t(5, 1.0);
  t.values[2] = 7;
  readLossTable("/nonexistent/dir/file.dat", t);
  EXPECT_EQ(t.values[2], 7.0);
}

}  // namespace
}  // namespace tarvex
