// The least-squares fit: synthetic data from known parameters with Poisson noise, recovered
// within their uncertainties; fits that cannot start, stop half-way or are undone leave every
// field, profile and curve as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>

#include "app/fit_command.h"
#include "app/fit_controls.h"
#include "core/numtext.h"
#include "fit/fit_fixture.h"
#include "fit/fit_statistics.h"
#include "support/recording_host.h"

namespace tarvex {
namespace {

using testing::FitFixture;
using testing::SessionFixture;

// Every field but the log and the status texts (a stopped command reports "Stopped", the fit
// window's progress line why the fit ended).
std::map<std::string, std::string> fields(const Session& s) {
  std::map<std::string, std::string> out;
  for (const auto& [key, c] : s.controls().all()) {
    if (key == "TFLog.EditLog" || key == "TFrameNRPSample.StatusDraw" ||
        key == "TFTarvex3.StatusBar1.3" || key == "TFFit.StatusFit") {
      continue;
    }
    out[key] = c.text + "|" + std::to_string(c.checked) + std::to_string(c.enabled) + "|" +
               std::to_string(c.itemIndex);
  }
  return out;
}

std::vector<double> curveValues(Session& s, const std::string& key) {
  std::vector<double> v;
  for (const ChartPoint& p : s.charts().series(key).points)
    v.push_back(p.y);
  return v;
}

// Every fitted value is one of the expected ones and lies within three of its uncertainties,
// with the deviance ratio of a good fit.
void expectFound(const FitReport& r, const std::map<std::string, double>& expected) {
  ASSERT_EQ(r.values.size(), expected.size());
  for (const FitValue& v : r.values) {
    SCOPED_TRACE(v.name);
    ASSERT_TRUE(expected.count(v.name));
    EXPECT_GT(v.uncertainty, 0.0);
    EXPECT_LT(std::fabs(v.value - expected.at(v.name)), 3.0 * v.uncertainty) << v.value;
  }
  EXPECT_LT(r.devianceRatio, 1.3);
}

// A 6 Å layer with a 1 Å edge under a flat background, the measured energies shifted.
struct NraTruth {
  double thickness = 6.0, concentration = 1.0, sigma = 1.0, shift = 0.1, background = 100.0;
};

// Synthetic data of the numeric excitation curve; the fit model starts 20-30 % off.
void prepareNra(FitFixture& f, const NraTruth& truth, unsigned seed) {
  Session& s = f.session;
  s.setNumber("TFOptions.EditMult", 4000.0);
  FitModel m = defaultFitModel();
  m.layers[0].thickness.value = truth.thickness;
  m.layers[0].concentration[0].value = truth.concentration;
  m.layers[0].sigma.value = truth.sigma;
  std::vector<ChartPoint> curve;
  ASSERT_TRUE(s.guarded([&] { curve = f.curveFor(m, "ChartPrinc.SeriesPrinc"); }));
  for (ChartPoint& p : curve)
    p.y += truth.background;
  f.measure(curve, truth.shift, 8, seed);
  s.state().nraProfile = defaultProfile();
  s.setNumber("TFOptions.EditShift", truth.shift * 1.25);
  s.setNumber("TFBackground.EditYs", truth.background * 0.75);
  FitModel start = currentFitModel(s);
  start.layers[0].thickness = {truth.thickness * 1.25, true, 0.0};
  start.layers[0].concentration[0] = {truth.concentration * 0.75, true, 0.0};
  start.layers[0].sigma = {truth.sigma * 1.3, true, 0.0};
  start.shift.free = true;
  start.background.free = true;
  setFitModel(s, start);
}

TEST(Fit, RecoversTheLayerOfAResonantCurveWithinItsUncertainties) {
  FitFixture f;
  const NraTruth truth;
  prepareNra(f, truth, 1234);
  ASSERT_TRUE(f.session.run("Fit"));
  ASSERT_FALSE(f.session.lastCommandFailed()) << f.lastMessage();
  const FitReport& r = lastFitReport(f.session);
  ASSERT_TRUE(r.done);
  const std::map<std::string, double> expected = {{"Layer 1 thickness (Å)", truth.thickness},
                                                  {"Layer 1 concentration", truth.concentration},
                                                  {"Layer 1 edge σ (Å)", truth.sigma},
                                                  {"Shift (keV)", truth.shift},
                                                  {"Background", truth.background}};
  expectFound(r, expected);
  EXPECT_GT(r.devianceRatio, 0.75);
  // The best values are in the fields and the profile, and the log says what was found.
  Session& s = f.session;
  EXPECT_NEAR(s.number("TFOptions.EditShift"), r.values[3].value, 1e-9);
  EXPECT_NEAR(s.number("TFBackground.EditYs"), r.values[4].value, 1e-9);
  const profile want = layeredProfile(s.state().nraProfile, currentFitModel(s).layers, 0);
  EXPECT_EQ(s.state().nraProfile.values, want.values);
  // The sample window draws the layers found.
  const auto& drawn = s.charts().series("ChartNRPProf.SeriesAmostra").points;
  ASSERT_EQ(drawn.size(), want.values.size());
  for (std::size_t i = 0; i < drawn.size(); ++i)
    ASSERT_EQ(drawn[i].y, want.values[i]) << i;
  EXPECT_NE(s.logText().find("deviance ratio"), std::string::npos);
  // The fit window's result text: every best value with its uncertainty, the deviance
  // ratio, the evaluations and the time; its progress line says the fit is done.
  const std::string& memo = s.controls().text("TFFit.MemoResult");
  for (const FitValue& v : r.values)
    EXPECT_NE(memo.find("  " + v.name + " = "), std::string::npos) << memo;
  EXPECT_NE(memo.find(" ± "), std::string::npos);
  EXPECT_NE(memo.find("deviance ratio"), std::string::npos);
  EXPECT_NE(memo.find("Evaluations: " + std::to_string(r.evaluations)), std::string::npos);
  EXPECT_NE(memo.find(" s\n"), std::string::npos);
  EXPECT_EQ(s.controls().text("TFFit.StatusFit").rfind("Fit done: ", 0), 0u)
      << s.controls().text("TFFit.StatusFit");
  EXPECT_EQ(memo.find("does not follow the data"), std::string::npos);
  // The progress shows the end of the fit: its iterations and deviance ratio, in the fit
  // window and, short, in the first panel of the status bar.
  const std::string iterations = std::to_string(r.iterations);
  EXPECT_NE(memo.find("iterations: " + iterations + ","), std::string::npos) << memo;
  EXPECT_EQ(s.controls()
                .text("TFFit.StatusFit")
                .rfind("Fit done: " + iterations + " iterations, deviance ratio ", 0),
            0u)
      << s.controls().text("TFFit.StatusFit");
  EXPECT_EQ(s.controls().text("TFTarvex3.StatusBar1.0"),
            "Iter. " + iterations + ": " + formatGeneral(r.devianceRatio, 3));
}

// While the fit runs, the windows show the user's dose and background (their start values,
// then the fitted ones), never the unit dose and zero background of a bare curve.
TEST(Fit, TheFieldsKeepTheUsersValuesWhileItRuns) {
  FitFixture f;
  prepareNra(f, NraTruth{}, 5);
  Session& s = f.session;
  FitModel start = currentFitModel(s);
  start.dose.free = true;
  start.layers[0].concentration[0].free = false;  // the dose takes its part
  setFitModel(s, start);
  const std::string background = s.controls().text("TFBackground.EditYs");
  std::set<std::string> doses, backgrounds;
  f.host.onProcessEvents = [&] {
    if (!s.busy()) return;
    doses.insert(s.controls().text("TFOptions.EditMult"));
    backgrounds.insert(s.controls().text("TFBackground.EditYs"));
  };
  ASSERT_TRUE(s.run("Fit"));
  ASSERT_FALSE(s.lastCommandFailed()) << f.lastMessage();
  // The start values, and the fitted ones once the fit has written them and draws its result.
  const std::string dose = s.controls().text("TFOptions.EditMult");
  EXPECT_NE(dose, "4000");
  EXPECT_EQ(doses, (std::set<std::string>{"4000", dose}));
  EXPECT_EQ(backgrounds,
            (std::set<std::string>{background, s.controls().text("TFBackground.EditYs")}));
}

// A fit that ends far from the data (here the layer is held at a third of its thickness) is
// done, but its result and progress line say that the curve does not follow the data.
TEST(Fit, AFitThatMissesTheDataSaysSo) {
  FitFixture f;
  prepareNra(f, NraTruth{}, 11);
  Session& s = f.session;
  FitModel start = currentFitModel(s);
  start.layers[0].thickness = {2.0, false, 0.0};
  start.layers[0].sigma.free = false;
  setFitModel(s, start);
  ASSERT_TRUE(s.run("Fit"));
  ASSERT_FALSE(s.lastCommandFailed()) << f.lastMessage();
  const FitReport& r = lastFitReport(s);
  ASSERT_GT(r.devianceRatio, 3.0);
  EXPECT_NE(
      s.controls().text("TFFit.MemoResult").find("Warning: the curve does not follow the data"),
      std::string::npos);
  EXPECT_NE(s.controls().text("TFFit.StatusFit").find("; the curve does not follow the data"),
            std::string::npos)
      << s.controls().text("TFFit.StatusFit");
}

// An ion-scattering spectrum without background (most points expect less than a count) of a
// 5 Å hafnium layer, fitted with its thickness held: at the true thickness the deviance agrees
// with its expectation, 0.5 Å off it lies far above it and the fit says the curve does not
// follow the data.
TEST(Fit, AThicknessHalfAnAngstromOffIsFlagged) {
  for (const double off : {0.0, 0.5}) {
    SCOPED_TRACE(off);
    FitFixture f;
    Session& s = f.session;
    f.fastHafniumSpectrum();
    s.setNumber("TFOptions.EditMult", 18.0);
    s.setNumber("TFBackground.EditYs", 0.0);
    FitModel truth = currentFitModel(s);
    truth.layers[0].thickness = {5.0, false, 0.0};
    truth.layers[0].concentration = {FitParameter{0.4, true, 0.0}};
    truth.layers[0].sigma = {1.0, false, 0.0};
    std::vector<ChartPoint> curve;
    ASSERT_TRUE(s.guarded([&] { curve = f.curveFor(truth, "ChartPrinc.SeriesBessel"); }));
    ASSERT_GT(
        std::max_element(curve.begin(), curve.end(), [](auto& a, auto& b) { return a.y < b.y; })->y,
        3000.0);
    f.measure(curve, 0.0, 4, 808);
    FitModel start = truth;
    start.layers[0].thickness.value += off;
    start.layers[0].concentration[0].value = 0.3;
    setFitModel(s, start);
    ASSERT_TRUE(s.run("Fit"));
    ASSERT_FALSE(s.lastCommandFailed()) << f.lastMessage();
    const FitReport& r = lastFitReport(s);
    const std::string& memo = s.controls().text("TFFit.MemoResult");
    const bool flagged =
        memo.find("Warning: the curve does not follow the data") != std::string::npos;
    if (off == 0.0) {
      EXPECT_LT(std::fabs(r.deviance - r.expectedDeviance), 3.0 * r.devianceSpread) << memo;
      EXPECT_EQ(r.uncertaintyScale, 1.0);
      EXPECT_FALSE(flagged) << memo;
    } else {
      EXPECT_GT(r.deviance - r.expectedDeviance, 3.0 * r.devianceSpread) << memo;
      EXPECT_TRUE(flagged) << memo;
      // The uncertainties widened for the excess, and the result says so.
      EXPECT_GT(r.uncertaintyScale, 1.0);
      EXPECT_NE(memo.find("Uncertainties scaled by"), std::string::npos);
    }
  }
}

TEST(Fit, UndoFitPutsBackFieldsProfileAndCurve) {
  FitFixture f;
  prepareNra(f, NraTruth{}, 99);
  Session& s = f.session;
  ASSERT_TRUE(s.guarded([&] { s.CalcSimulation(); }));
  const auto before = fields(s);
  const profile p = s.state().nraProfile;
  const auto curve = curveValues(s, "ChartPrinc.SeriesPrinc");
  ASSERT_TRUE(s.run("Fit"));
  ASSERT_FALSE(s.lastCommandFailed()) << f.lastMessage();
  ASSERT_NE(s.state().nraProfile.values, p.values);
  ASSERT_TRUE(s.run("UndoFit"));
  EXPECT_FALSE(s.lastCommandFailed()) << f.lastMessage();
  EXPECT_EQ(fields(s), before);
  EXPECT_EQ(s.state().nraProfile.values, p.values);
  EXPECT_EQ(curveValues(s, "ChartPrinc.SeriesPrinc"), curve);
  // Only once.
  s.run("UndoFit");
  EXPECT_TRUE(s.lastCommandFailed());
}

// A beam spread cannot be negative: a free spread is bounded below by 0 unless the user sets
// another bound, so data measured with almost no spread are fitted instead of stopping the
// calculation half-way with a negative spread.
TEST(Fit, AFreeBeamSpreadStaysAtOrAboveZero) {
  FitFixture f;
  Session& s = f.session;
  f.set("TFNRP.EditGauss", "1");
  prepareNra(f, NraTruth{}, 77);
  f.set("TFNRP.EditGauss", "60");
  FitModel start = currentFitModel(s);
  EXPECT_EQ(start.spread.lower, 0.0);
  start.spread.free = true;
  setFitModel(s, start);
  ASSERT_TRUE(s.run("Fit"));
  ASSERT_FALSE(s.lastCommandFailed()) << f.lastMessage();
  EXPECT_GE(s.number("TFNRP.EditGauss"), 0.0);
  EXPECT_LT(s.number("TFNRP.EditGauss"), 60.0);
}

// Fits that cannot start say why and change nothing.
TEST(Fit, RefusesWhatCannotBeFittedAndChangesNothing) {
  struct Case {
    const char* name;
    std::function<void(FitFixture&)> setup;
    const char* says;
  };
  const Case cases[] = {
      {"nothing free",
       [](FitFixture& f) {
         FitModel m = currentFitModel(f.session);
         m.layers[0].thickness.free = false;
         m.layers[0].concentration[0].free = false;
         m.shift.free = m.background.free = false;
         m.layers[0].sigma.free = false;
         setFitModel(f.session, m);
       },
       "every parameter of the fit model is fixed"},
      {"no data", [](FitFixture& f) { f.session.state().measuredPoints.clear(); },
       "No measured points"},
      {"model not ready",
       [](FitFixture& f) { f.session.controls().setChecked("TFOptions.RadioGauss", true); },
       "choose Numeric or Bessel"},
      {"linear background free",
       [](FitFixture& f) { f.session.controls().setItemIndex("TFBackground.Bkgrdradio", 1); },
       "flat background"},
      {"no counts at all",
       [](FitFixture& f) {
         for (auto& p : f.session.state().measuredPoints)
           p.y = 0.0f;
       },
       "The measured data hold no counts"},
      {"no counts inside the plotted window",
       [](FitFixture& f) {
         auto& points = f.session.state().measuredPoints;
         for (auto& p : points)
           p.y = 0.0f;
         // Counts far above the excitation curve only.
         points.insert(points.end() - 1, {170.0f, 50.0f});
       },
       "inside the plotted energy window (149.83 to 157.173 keV) hold no counts"},
      {"a start deeper than the curve reaches",
       [](FitFixture& f) {
         FitModel m = currentFitModel(f.session);
         m.layers[0].thickness.value = 12.0;
         setFitModel(f.session, m);
       },
       "Layer 1 reaches down to 12 Å, deeper than the 9.115 Å the excitation curve reaches "
       "(\"Max Energy (keV):\" 5 at a \"Stopping Power:\" of 548.56 eV/Å): raise \"Max Energy "
       "(keV):\" to at least 8.3 keV"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FitFixture f;
    prepareNra(f, NraTruth{}, 7);
    c.setup(f);
    Session& s = f.session;
    const auto before = fields(s);
    const profile p = s.state().nraProfile;
    const auto curve = curveValues(s, "ChartPrinc.SeriesPrinc");
    s.run("Fit");
    EXPECT_TRUE(s.lastCommandFailed());
    EXPECT_NE(f.lastMessage().find(c.says), std::string::npos) << f.lastMessage();
    // The fit window's progress line says why too.
    EXPECT_NE(s.controls().text("TFFit.StatusFit").find(c.says), std::string::npos);
    EXPECT_EQ(fields(s), before);
    EXPECT_EQ(s.state().nraProfile.values, p.values);
    EXPECT_EQ(curveValues(s, "ChartPrinc.SeriesPrinc"), curve);
  }
}

TEST(Fit, StoppedHalfWayLeavesEverythingAsBefore) {
  FitFixture f;
  prepareNra(f, NraTruth{}, 5);
  Session& s = f.session;
  const auto before = fields(s);
  const profile p = s.state().nraProfile;
  const auto curve = curveValues(s, "ChartPrinc.SeriesPrinc");
  const std::string log = s.logText();
  int events = 0;
  f.host.onProcessEvents = [&] {
    if (++events == 40) s.run("Stop");
  };
  s.run("Fit");
  EXPECT_TRUE(s.lastCommandFailed());
  EXPECT_GE(events, 40);
  EXPECT_EQ(s.controls().text("TFTarvex3.StatusBar1.3"), "Stopped");
  EXPECT_EQ(s.controls().text("TFFit.StatusFit").rfind("Stopped", 0), 0u);
  EXPECT_EQ(fields(s), before);
  EXPECT_EQ(s.state().nraProfile.values, p.values);
  EXPECT_EQ(curveValues(s, "ChartPrinc.SeriesPrinc"), curve);
  EXPECT_EQ(s.logText(), log);
  EXPECT_FALSE(lastFitReport(s).done);
}

// Hafnium and oxygen in one layer: their concentrations are told apart by their kinematic
// factors, the thickness by the width of both peaks.
TEST(Fit, RecoversATwoElementLayerOfAnIonScatteringSpectrum) {
  FitFixture f;
  Session& s = f.session;
  f.meisMode();
  s.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  // A coarser depth step and a shorter loss range than the defaults: a fast curve.
  f.set("TFMEIS.EditProfstep", "0.05");
  f.set("TFMEIS.EditDeltaE", "2");
  // A flat background under the whole window: every point has counts.
  f.set("TFBackground.EditYs", "20");
  f.addElement("Hf");
  f.set("TFMEIS.EditMass", "16");
  f.set("TFMEIS.EditZ", "8");
  f.addElement("O");
  f.set("TFMEIS.EditSimMin", "80");
  s.setNumber("TFOptions.EditMult", 200.0);
  FitModel truth = defaultFitModel();
  truth.layers[0].thickness.value = 8.0;
  truth.layers[0].sigma.value = 1.0;
  truth.layers[0].concentration = {FitParameter{0.3, true, 0.0}, FitParameter{0.6, true, 0.0}};
  std::vector<ChartPoint> curve;
  ASSERT_TRUE(s.guarded([&] { curve = f.curveFor(truth, "ChartPrinc.SeriesBessel"); }));
  f.measure(curve, 0.0, 10, 2024);
  for (auto& [name, p] : s.state().elementProfiles)
    std::fill(p.values.begin(), p.values.end(), 0.0);
  FitModel start = truth;
  start.layers[0].thickness.value = 8.0 * 0.75;
  start.layers[0].concentration[0].value = 0.3 * 1.25;
  start.layers[0].concentration[1].value = 0.6 * 0.8;
  setFitModel(s, start);
  ASSERT_TRUE(s.run("Fit"));
  ASSERT_FALSE(s.lastCommandFailed()) << f.lastMessage();
  const FitReport& r = lastFitReport(s);
  const std::map<std::string, double> expected = {{"Layer 1 thickness (Å)", 8.0},
                                                  {"Layer 1 Hf concentration", 0.3},
                                                  {"Layer 1 O concentration", 0.6}};
  expectFound(r, expected);
  EXPECT_GT(r.devianceRatio, 0.75);
  // Each element's profile is its column of the layer table.
  EXPECT_EQ(s.state().elementProfiles.at("O").values,
            layeredProfile(s.state().elementProfiles.at("O"), currentFitModel(s).layers, 1).values);
}

// The yield of one element depends on the product of the dose and its concentration: the fit
// names the pair.
TEST(Fit, WarnsOfParametersTheDataCannotTellApart) {
  FitFixture f;
  prepareNra(f, NraTruth{}, 3);
  FitModel m = currentFitModel(f.session);
  m.dose.free = true;
  m.shift.free = m.background.free = false;
  m.layers[0].sigma.free = false;
  setFitModel(f.session, m);
  f.session.run("Fit");
  const FitReport& r = lastFitReport(f.session);
  ASSERT_TRUE(r.done) << f.lastMessage();
  ASSERT_FALSE(r.warnings.empty());
  EXPECT_NE(r.warnings[0].find("Layer 1 concentration and Ion dose"), std::string::npos)
      << r.warnings[0];
  EXPECT_NE(f.session.logText().find("fix one of them"), std::string::npos);
  EXPECT_NE(f.session.controls().text("TFFit.MemoResult").find("Warning: Layer 1 concentration"),
            std::string::npos);
}

// A layer drawn over the whole profile, as a user draws one before "From profile": the layer
// found reaches the end of the profile, and the fit must be free to make it thinner or thicker
// than the profile is deep. The data come from a layer of another thickness and concentration.
struct FromProfileCase {
  const char* name;
  bool nra;
  double thickness;  // of the layer the data come from, Å
  double concentration;
};

void prepareFromProfile(FitFixture& f, const FromProfileCase& c) {
  Session& s = f.session;
  std::string series = "ChartPrinc.SeriesPrinc", depth = "TFNRP.EditMaxDepth";
  double background = 100.0;
  if (c.nra) {
    s.setNumber("TFOptions.EditMult", 4000.0);
    // An excitation curve long enough to see the deepest layer whole.
    f.set("TFNRP.EditMaxE", "10");
  } else {
    // A coarse, fast ion-scattering spectrum of hafnium (as in the two-element fit above).
    f.fastHafniumSpectrum();
    s.setNumber("TFOptions.EditMult", 200.0);
    series = "ChartPrinc.SeriesBessel";
    depth = "TFMEIS.EditMaxDepth";
    background = 20.0;
  }
  // The data from a sample deep enough for the layer, then the sample of 10 Å the user works on.
  f.set(depth, "20");
  ASSERT_TRUE(s.guarded([&] { s.Updateplot(); }));
  FitModel truth = defaultFitModel();
  truth.layers[0].thickness.value = c.thickness;
  truth.layers[0].concentration[0].value = c.concentration;
  std::vector<ChartPoint> curve;
  ASSERT_TRUE(s.guarded([&] { curve = f.curveFor(truth, series); }));
  for (ChartPoint& p : curve)
    p.y += background;
  f.measure(curve, 0.0, c.nra ? 8 : 10, 4321);
  f.set(depth, "10");
  ASSERT_TRUE(s.guarded([&] { s.Updateplot(); }));
  FitModel drawn = defaultFitModel();
  drawn.layers[0].thickness.value = 10.0;
  drawn.layers[0].concentration[0].value = 0.5;
  ASSERT_TRUE(s.guarded([&] { f.curveFor(drawn, series); }));
  s.setNumber("TFBackground.EditYs", background * 0.75);
  FitModel start = currentFitModel(s);
  start.layers.resize(1);
  start.layers[0].thickness.free = true;
  start.layers[0].concentration[0].free = true;
  start.layers[0].sigma = {0.0, false, 0.0};
  start.background.free = true;
  setFitModel(s, start);
}

TEST(Fit, FromALayerFillingTheProfileTheThicknessMovesBothWays) {
  const FromProfileCase cases[] = {
      {"resonant NRA, thinner", true, 6.0, 0.7},
      {"resonant NRA, thicker", true, 13.0, 0.7},
      {"ion scattering, thinner", false, 8.0, 0.4},
  };
  for (const FromProfileCase& c : cases) {
    SCOPED_TRACE(c.name);
    FitFixture f;
    prepareFromProfile(f, c);
    Session& s = f.session;
    ASSERT_TRUE(s.run("FitFromProfile"));
    ASSERT_FALSE(s.lastCommandFailed()) << f.lastMessage();
    const FitModel proposed = currentFitModel(s);
    ASSERT_EQ(proposed.layers.size(), 1u);
    ASSERT_GT(proposed.layers[0].thickness.value, 9.9);  // down to the end of the profile
    const ChartAxes axesBefore = s.charts().axes("ChartNRPProf");
    ASSERT_TRUE(s.run("Fit"));
    ASSERT_FALSE(s.lastCommandFailed()) << f.lastMessage();
    const FitReport& r = lastFitReport(s);
    ASSERT_TRUE(r.done);
    EXPECT_TRUE(r.undetermined.empty());
    const std::map<std::string, double> expected = {
        {"Layer 1 thickness (Å)", c.thickness},
        {c.nra ? "Layer 1 concentration" : "Layer 1 Hf concentration", c.concentration},
        {"Background", c.nra ? 100.0 : 20.0}};
    expectFound(r, expected);
    EXPECT_EQ(s.controls().text("TFFit.StatusFit").rfind("Fit done: ", 0), 0u)
        << s.controls().text("TFFit.StatusFit");
    // The profile holds the whole layer found, on a grid as deep as the thickness field says.
    const profile& p = c.nra ? s.state().nraProfile : s.state().elementProfiles.at("Hf");
    const double depth = s.number(c.nra ? "TFNRP.EditMaxDepth" : "TFMEIS.EditMaxDepth");
    EXPECT_NEAR(depth, p.count * p.step - p.startDepth, 1e-9);
    EXPECT_GT(depth, r.values[0].value);
    EXPECT_EQ(p.values, layeredProfile(p, currentFitModel(s).layers, 0).values);
    if (c.thickness < 10.0) {
      EXPECT_EQ(depth, 10.0);  // a thinner layer needs no deeper grid
    } else {
      // The deeper profile is shown whole; "Undo fit" gives back the depth axis as well.
      EXPECT_GT(s.charts().axes("ChartNRPProf").bottom.max, 10.0);
      ASSERT_TRUE(s.run("UndoFit"));
      EXPECT_EQ(s.charts().axes("ChartNRPProf"), axesBefore);
    }
  }
}

// The edge between two layers of one concentration has no step: its width changes nothing, and
// the fit says so instead of reporting it as found.
TEST(Fit, AParameterTheCurveDoesNotDependOnIsReportedUndetermined) {
  FitFixture f;
  prepareNra(f, NraTruth{}, 11);
  Session& s = f.session;
  FitModel m = currentFitModel(s);
  m.layers[0].thickness.value = 3.0;
  m.layers[0].sigma = {0.5, true, 0.0};
  FitLayer below = m.layers[0];
  below.thickness = {4.0, true, 0.0};
  below.concentration[0].free = false;
  below.sigma = {1.0, false, 0.0};
  m.layers.push_back(below);
  m.layers[1].concentration[0].value = m.layers[0].concentration[0].value;
  m.layers[0].concentration[0].free = false;
  m.shift.free = m.background.free = false;
  setFitModel(s, m);
  auto before = fields(s);
  const profile p = s.state().nraProfile;
  const auto curve = curveValues(s, "ChartPrinc.SeriesPrinc");
  s.run("Fit");
  EXPECT_TRUE(s.lastCommandFailed());
  const std::string message = f.lastMessage();
  EXPECT_NE(message.find("could not determine Layer 1 edge σ (Å)"), std::string::npos) << message;
  EXPECT_EQ(message.find("Layer 1 thickness"), std::string::npos) << message;
  EXPECT_EQ(s.controls().text("TFFit.StatusFit"), message);
  EXPECT_EQ(s.controls().text("TFTarvex3.StatusBar1.3"),
            "Fit ended: Layer 1 edge σ (Å) could not be determined");
  // The result text shows what the fit reached and marks the parameter.
  const std::string& memo = s.controls().text("TFFit.MemoResult");
  EXPECT_NE(memo.find("  Layer 1 edge σ (Å) = "), std::string::npos) << memo;
  EXPECT_NE(memo.find(" (not determined)\n"), std::string::npos) << memo;
  EXPECT_NE(memo.find("Warning: Layer 1 edge σ (Å) could not be determined: the curve does not "
                      "change with it"),
            std::string::npos)
      << memo;
  EXPECT_NE(s.logText().find("(not determined)"), std::string::npos);
  // No result: fields (but the result text), profile and curve as before, nothing to undo.
  auto after = fields(s);
  after.erase("TFFit.MemoResult");
  before.erase("TFFit.MemoResult");
  EXPECT_EQ(after, before);
  EXPECT_EQ(s.state().nraProfile.values, p.values);
  EXPECT_EQ(curveValues(s, "ChartPrinc.SeriesPrinc"), curve);
  EXPECT_FALSE(lastFitReport(s).done);
  s.run("UndoFit");
  EXPECT_TRUE(s.lastCommandFailed());
}

// A parameter whose best value lies on its bound (a sharp edge, an empty layer) is reported
// there, left out of the uncertainties, and the others are fitted as usual. The data are the
// model's expected counts themselves, so that the best values are the true ones.
TEST(Fit, AParameterThatEndsAtItsBoundIsReportedThere) {
  struct Case {
    const char* name;
    std::vector<FitLayer> truth;
    std::function<void(FitModel&)> start;  // the start from the truth
    std::string atBound;
  };
  const auto layer = [](double thickness, double concentration, double sigma) {
    return FitLayer{
        {thickness, true, 0.0}, {FitParameter{concentration, true, 0.0}}, {sigma, false, 0.0}};
  };
  const Case cases[] = {
      {"sharp edge",
       {layer(5.0, 1.0, 0.0)},
       [](FitModel& m) {
         m.layers[0].sigma = {1.0, true, 0.0};
         m.layers[0].thickness.value = 6.0;
       },
       "Layer 1 edge σ (Å)"},
      {"empty surface layer",
       {layer(2.0, 0.0, 0.5), layer(4.0, 1.0, 0.5)},
       [](FitModel& m) { m.layers[0].concentration[0].value = 0.2; },
       "Layer 1 concentration"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FitFixture f;
    Session& s = f.session;
    s.setNumber("TFOptions.EditMult", 4000.0);
    s.setNumber("TFBackground.EditYs", 20.0);
    FitModel truth = currentFitModel(s);
    truth.layers = c.truth;
    std::vector<ChartPoint> curve;
    ASSERT_TRUE(s.guarded([&] { curve = f.curveFor(truth, "ChartPrinc.SeriesPrinc"); }));
    auto& points = s.state().measuredPoints;
    points.clear();
    for (std::size_t i = 0; i < curve.size(); i += 8)
      points.push_back({static_cast<float>(curve[i].x), static_cast<float>(curve[i].y)});
    points.push_back({0.0f, 0.0f});
    FitModel start = truth;
    c.start(start);
    setFitModel(s, start);
    ASSERT_TRUE(s.run("Fit"));
    ASSERT_FALSE(s.lastCommandFailed()) << f.lastMessage();
    const FitReport& r = lastFitReport(s);
    ASSERT_TRUE(r.done);
    for (const FitValue& v : r.values) {
      SCOPED_TRACE(v.name);
      if (v.name == c.atBound) {
        EXPECT_TRUE(v.atBound);
        EXPECT_EQ(v.value, 0.0);
        EXPECT_EQ(v.uncertainty, 0.0);
      } else {
        EXPECT_FALSE(v.atBound);
        EXPECT_GT(v.uncertainty, 0.0);
        EXPECT_LT(v.uncertainty, 0.05);
      }
    }
    EXPECT_TRUE(r.undetermined.empty());
    const std::string& memo = s.controls().text("TFFit.MemoResult");
    EXPECT_NE(memo.find("  " + c.atBound + " = 0 (at its bound)\n"), std::string::npos) << memo;
    EXPECT_NE(memo.find("Warning: " + c.atBound + " ended at its bound"), std::string::npos);
    // The values found are in the fields and the profile.
    const FitModel found = currentFitModel(s);
    for (std::size_t k = 0; k < truth.layers.size(); ++k) {
      EXPECT_NEAR(found.layers[k].thickness.value, truth.layers[k].thickness.value, 1e-3);
      EXPECT_NEAR(found.layers[k].concentration[0].value, truth.layers[k].concentration[0].value,
                  1e-4);
    }
    EXPECT_EQ(found.layers[0].sigma.value, truth.layers[0].sigma.value);
  }
}

// A layer thicker than the excitation curve reaches: the fit cannot find where it ends, and
// says which field widens the curve instead of blaming its own depth limit.
TEST(Fit, ALayerRunningBeyondTheCurveNamesTheFieldToRaise) {
  FitFixture f;
  Session& s = f.session;
  s.setNumber("TFOptions.EditMult", 4000.0);
  s.setNumber("TFBackground.EditYs", 20.0);
  FitModel truth = currentFitModel(s);
  truth.layers[0].thickness = {12.0, true, 0.0};
  std::vector<ChartPoint> curve;
  ASSERT_TRUE(s.guarded([&] { curve = f.curveFor(truth, "ChartPrinc.SeriesPrinc"); }));
  f.measure(curve, 0.0, 8, 42);
  FitModel start = truth;
  start.layers[0].thickness.value = 8.0;  // inside the 9.1 Å the curve reaches
  setFitModel(s, start);
  const auto before = fields(s);
  s.run("Fit");
  EXPECT_TRUE(s.lastCommandFailed());
  const std::string message = f.lastMessage();
  EXPECT_NE(message.find("could not determine Layer 1 thickness (Å): its layer ends at "),
            std::string::npos)
      << message;
  EXPECT_NE(message.find("deeper than the 9.115 Å the excitation curve reaches (\"Max Energy "
                         "(keV):\" 5 at a \"Stopping Power:\" of 548.56 eV/Å): raise \"Max "
                         "Energy (keV):\" to at least"),
            std::string::npos)
      << message;
  EXPECT_EQ(message.find("the fit calculates"), std::string::npos) << message;
  auto after = fields(s);
  after.erase("TFFit.MemoResult");
  auto was = before;
  was.erase("TFFit.MemoResult");
  EXPECT_EQ(after, was);
}

// "From profile" reads the layers back from a profile drawn by the model.
TEST(Fit, FromProfileReadsLayersAndEdgesBack) {
  FitFixture f;
  Session& s = f.session;
  std::vector<FitLayer> layers(2);
  layers[0].thickness.value = 3.0;
  layers[0].concentration = {FitParameter{0.5}};
  layers[0].sigma.value = 0.4;
  layers[1].thickness.value = 4.0;
  layers[1].concentration = {FitParameter{1.5}};
  layers[1].sigma.value = 0.0;
  s.state().nraProfile = layeredProfile(s.state().nraProfile, layers, 0);
  ASSERT_TRUE(s.run("FitFromProfile"));
  ASSERT_FALSE(s.lastCommandFailed()) << f.lastMessage();
  const FitModel m = currentFitModel(s);
  ASSERT_EQ(m.layers.size(), 2u);
  EXPECT_NEAR(m.layers[0].thickness.value, 3.0, 0.01);
  EXPECT_NEAR(m.layers[0].sigma.value, 0.4, 0.02);
  EXPECT_NEAR(m.layers[0].concentration[0].value, 0.5, 1e-6);
  EXPECT_NEAR(m.layers[1].thickness.value, 4.0, 0.01);
  EXPECT_NEAR(m.layers[1].sigma.value, 0.0, 0.01);
  EXPECT_NEAR(m.layers[1].concentration[0].value, 1.5, 1e-6);
  // The free boxes of the layer before stay.
  EXPECT_TRUE(m.layers[0].thickness.free);

  // A wide edge into the substrate: its tail is no layer of its own.
  layers[1].sigma.value = 0.75;
  s.state().nraProfile = layeredProfile(s.state().nraProfile, layers, 0);
  ASSERT_TRUE(s.run("FitFromProfile"));
  const FitModel tail = currentFitModel(s);
  ASSERT_EQ(tail.layers.size(), 2u);
  EXPECT_NEAR(tail.layers[1].sigma.value, 0.75, 0.02);

  // A graded layer drawn as a line between empty stretches: the empty surface stays a layer
  // and the line becomes one at its middle level, instead of one layer over the whole profile.
  std::fill(s.state().nraProfile.values.begin(), s.state().nraProfile.values.end(), 0.0);
  f.set("TFNRP.Editx1", "1");
  f.set("TFNRP.Editx2", "6");
  f.set("TFNRP.Editc1", "1");
  f.set("TFNRP.Editc2", "0.5");
  ASSERT_TRUE(s.run("Drawline"));
  ASSERT_TRUE(s.run("FitFromProfile"));
  const FitModel graded = currentFitModel(s);
  ASSERT_EQ(graded.layers.size(), 2u);
  EXPECT_NEAR(graded.layers[0].thickness.value, 1.0, 0.01);
  EXPECT_EQ(graded.layers[0].concentration[0].value, 0.0);
  EXPECT_NEAR(graded.layers[1].thickness.value, 5.0, 0.01);
  EXPECT_NEAR(graded.layers[1].concentration[0].value, 0.75, 0.001);
}

// The fit window's fields hold the model: what is written reads back the same, bounds included,
// and "From profile" fills them.
TEST(Fit, WindowFieldsHoldTheModel) {
  FitFixture f;
  Session& s = f.session;
  if (!hasFitControls(s)) GTEST_SKIP() << "the control catalogue has no fit window yet";
  s.setDecimalSeparator(',');
  FitModel m = defaultFitModel();
  m.layers.push_back({{2.5, false, 0.0, 9.0}, {FitParameter{0.125, true}}, {0.75, true, 0.0}});
  m.dose.free = true;
  m.dose.lower = 1.0;
  m.maxIterations = 40;
  fitModelToControls(s, m, {});
  EXPECT_EQ(s.controls().text("TFFit.EditThickL2"), "2,5");
  FitModel back;
  ASSERT_TRUE(s.guarded([&] { back = fitModelFromControls(s, 1); }));
  ASSERT_EQ(back.layers.size(), 2u);
  EXPECT_EQ(back.layers[1].thickness.value, 2.5);
  EXPECT_EQ(back.layers[1].thickness.upper, 9.0);
  EXPECT_FALSE(back.layers[1].thickness.free);
  EXPECT_EQ(back.layers[1].concentration[0].value, 0.125);
  EXPECT_TRUE(std::isinf(back.layers[1].concentration[0].lower));
  EXPECT_EQ(back.layers[1].sigma.value, 0.75);
  EXPECT_TRUE(back.dose.free);
  EXPECT_EQ(back.dose.lower, 1.0);
  EXPECT_EQ(back.maxIterations, 40);

  s.state().nraProfile = layeredProfile(s.state().nraProfile, m.layers, 0);
  f.set("TFFit.EditLayers", "1");
  ASSERT_TRUE(s.run("FitFromProfile"));
  EXPECT_EQ(s.controls().text("TFFit.EditLayers"), "2");
  EXPECT_NEAR(s.number("TFFit.EditSigmaL2"), 0.75, 0.02);
}

// The result text rounds each value to the second significant digit of its uncertainty.
TEST(FitStatistics, ValuesAreWrittenToTheSecondDigitOfTheirUncertainty) {
  struct Case {
    double value, uncertainty;
    char separator;
    const char* text;
  };
  const Case cases[] = {
      {12.3412, 0.5634, '.', "12.34 ± 0.56"},
      {12.3412, 0.5634, ',', "12,34 ± 0,56"},
      {6.0123, 0.0996, '.', "6.01 ± 0.10"},  // the uncertainty rounds up to a new digit
      {4012.3, 63.2, '.', "4012 ± 63"},
      {56789.0, 1234.0, '.', "56800 ± 1200"},
      {0.000432, 1.8e5, '.', "0 ± 180000"},
      {-0.0049, 0.0123, '.', "-0.005 ± 0.012"},
      {-0.0004, 0.0123, '.', "0.000 ± 0.012"},  // no sign on a zero
      {3.9e-12, 1.234e-13, '.', "(3.90 ± 0.12)E-12"},
      {1.5e7, 2.3e5, '.', "(1.500 ± 0.023)E7"},
      {0.999, 1.0, '.', "1.0 ± 1.0"},
      {6.0043, 0.0, '.', "6.0043"},  // no uncertainty: six significant digits
      {1.5e-6, std::nan(""), '.', "1.5E-6"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(formatWithUncertainty(c.value, c.uncertainty, c.separator), c.text)
        << c.value << " ± " << c.uncertainty;
  }
}

}  // namespace
}  // namespace tarvex
