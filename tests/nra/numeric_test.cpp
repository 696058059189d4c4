#include "nra/numeric.h"
#include "app/nra_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <random>
#include <utility>

#include "support/recording_host.h"

namespace tarvex {
namespace {

using testing::SessionFixture;

struct NumericFixture : SessionFixture {
  NumericFixture() { session.setCheckedAsClick("TFOptions.RadioNumeric", true); }
  int builds() const {
    int n = 0;
    for (const std::string& t : host.statuses)
      n += t == "Calculating numeric convolutions...";
    return n;
  }
  const WorkingState& st() { return session.state(); }
};

// A unique temporary folder of one test, removed at its end.
struct TempFolder {
  std::filesystem::path path;
  TempFolder() {
    std::random_device rd;
    path = std::filesystem::temp_directory_path() /
           ("tarvex-nra-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(path);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
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

// A layer that the numeric curve sees: concentration 1 over the first 5 A.
void layer(Session& s) {
  profile& p = s.state().nraProfile;
  for (int i = 0; i < 1000; ++i)
    p.values[static_cast<std::size_t>(i)] = 1.0;
}

// The curve a fresh session computes with "Stopping Power:" at the given value.
spectro freshCurve(const char* stopping) {
  NumericFixture f;
  layer(f.session);
  f.set("TFNRP.Editdedx", stopping);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.host.statuses.back(), "Done!");
  return f.session.state().numericExcitation;
}

TEST(SingleCollision, DefaultResonance) {
  const SingleCollision c = singleCollision(151, 548.56, 6.62);
  EXPECT_NEAR(c.emax, 328.948, 1e-3);
  EXPECT_NEAR(c.r, 0.0125172, 1e-7);
  EXPECT_NEAR(c.emin, 5.7571, 1e-4);
  EXPECT_NEAR(c.lambda, 23.705, 1e-3);
  EXPECT_NEAR(c.sigma1, 36.495, 1e-3);
  EXPECT_NEAR(548.56 / c.lambda, 23.141, 1e-3);
}

TEST(CalcNRPAutos, AutoModeOnTheDefaultEdits) {
  NumericFixture f;
  f.session.run("CalcNRPAutos");
  EXPECT_EQ(f.text("TFNRP.EditStep"), "4.03");
  EXPECT_EQ(f.text("TFNRP.EditNc"), "258");
  EXPECT_EQ(f.text("TFNRP.EditVecsize"), "1241");
  EXPECT_EQ(f.text("TFNRP.EditEmin"), "5.757");
  EXPECT_EQ(f.text("TFNRP.EditEmax"), "328.95");
  EXPECT_EQ(f.text("TFTarvex3.StatusBar1.0"), "258 done!");
  const auto& t = f.st().nraLossDistributions;
  ASSERT_EQ(t.size(), 259u);
  EXPECT_NEAR(t[1].step, 0.7 * singleCollision(151, 548.56, 6.62).emin, 1e-15);  // not 4.03
  EXPECT_EQ(t[0].values[0], static_cast<double>(static_cast<float>(1.0 / t[0].step)));
  EXPECT_NEAR(t[0].integral(), 1.0, 1e-7);
  EXPECT_NEAR(t[1].integral(), 1.0, 1e-14);
  EXPECT_NEAR(t[100].integral(), 1.0, 1e-6);  // a little of the 1/E^2 tail is past the grid
  EXPECT_TRUE(f.st().nraAutoValid);
  const std::string& log = f.session.logText();
  EXPECT_EQ(log.substr(0, 36), "Auto #1: \nIntegral:\t1\nM1:\t1\n\nAuto #2");
  EXPECT_NE(log.find("Auto #2: \nIntegral:\t 1\nM1:\t 1"), std::string::npos);
  EXPECT_NE(log.find("Auto #258: "), std::string::npos);
}

TEST(CalcNRPAutos, ManualOneCollision) {
  NumericFixture f;
  f.session.setCheckedAsClick("TFNRP.CheckAuto", false);
  f.set("TFNRP.EditNc", "1");
  f.set("TFNRP.EditStep", "10");
  f.set("TFNRP.EditVecsize", "100");
  std::vector<std::string> panel0;
  f.session.controls().observe([&](const std::string& k) {
    if (k == "TFTarvex3.StatusBar1.0") panel0.push_back(f.text(k));
  });
  f.session.run("CalcNRPAutos");
  EXPECT_EQ(f.st().nraLossDistributions.size(), 2u);
  EXPECT_EQ(panel0, (std::vector<std::string>{"1 of 1 OK!", "1 done!"}));
  EXPECT_EQ(f.session.logText().find("Auto #2"), std::string::npos);
}

TEST(CalcNRPAutos, RefusesWhatCannotHoldTheDistributions) {
  struct {
    const char *nc, *step, *bins, *message;
  } cases[] = {
      {"5", "10", "30", "Error! Check parameters!"},  // the grid ends before Emax
      {"5", "0", "100000", "Error! Check parameters!"},
      {"0", "10", "100", "# Convolutions: 0 must be at least 1"},
      {"-3", "10", "100", "# Convolutions: -3 must be at least 1"},
      {"5", "10", "33",
       "Vector size: 33 bins of 10 eV cannot hold the single-collision distribution up to Emax "
       "(328.95 eV); it needs 34"},
      {"5", "400", "1000",
       "Step size (eV): 400 leaves no bin between Emin (5.757 eV) and Emax "
       "(328.95 eV)"},
      {"5", "-10", "-100", "Step size (eV): -10 must be a positive number of eV"},
      {"200000", "10", "100000",
       "# Convolutions: 200000 and Vector size: 100000 give a collision table of 2E10 values "
       "(200001 distributions of 100000 bins); the limit is 1E8 values"}};
  for (auto c : cases) {
    NumericFixture f;
    f.session.run("CalcNRPAutos");  // a valid table first
    const std::vector<spectro> before = f.st().nraLossDistributions;
    f.session.setCheckedAsClick("TFNRP.CheckAuto", false);
    f.set("TFNRP.EditNc", c.nc);
    f.set("TFNRP.EditStep", c.step);
    f.set("TFNRP.EditVecsize", c.bins);
    f.session.run("CalcNRPAutos");
    EXPECT_EQ(f.host.messages, std::vector<std::string>{c.message}) << c.nc << " " << c.step;
    EXPECT_FALSE(f.st().nraAutoValid);
    ASSERT_EQ(f.st().nraLossDistributions.size(), before.size());
    EXPECT_EQ(f.st().nraLossDistributions[7].values, before[7].values);
    // The whole curve command ends with its error status, never "Done!".
    f.host.messages.clear();
    f.session.run("CalcSimulation");
    EXPECT_EQ(f.host.statuses.back(), "Numeric ERROR!") << c.nc << " " << c.step;
    EXPECT_FALSE(f.host.messages.empty());
    EXPECT_EQ(f.host.messages.front(), c.message);
  }
}

TEST(CalcNumericExcitation, CachesTheTablesUntilAParameterChanges) {
  NumericFixture f;
  f.session.state().nraProfile.values.assign(2000, 1.0);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.builds(), 1);
  const spectro* first = &f.st().nraLossDistributions[5];
  const auto copy = *first;
  f.set("TFNRP.EditGauss", "50");  // beam spread: no rebuild
  f.set("TFNRP.EditLor", "20");
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.builds(), 1);
  EXPECT_EQ(&f.st().nraLossDistributions[5], first);
  EXPECT_EQ(f.st().nraLossDistributions[5].values, copy.values);
  EXPECT_EQ(f.host.statuses.back(), "Done!");

  // Manual mode takes the step as its field shows it (4.03, not the Auto step 4.02999...):
  // one rebuild. Then changing only the count rebuilds once, through the change test.
  f.session.setCheckedAsClick("TFNRP.CheckAuto", false);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.builds(), 2);
  EXPECT_EQ(f.st().nraLossDistributions[1].step, 4.03);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.builds(), 2);
  f.set("TFNRP.EditNc", "100");
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.builds(), 3);
  EXPECT_EQ(f.st().nraLossDistributions.size(), 101u);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.builds(), 3);
}

TEST(CalcNumericExcitation, TablesFollowTheirParametersWhateverMovedTheBaseline) {
  // Whatever consumes the change of "Stopping Power:" before the next curve (a run that fails
  // on a number elsewhere, a run of the other mode, "Save Param"), the curve is that of a fresh
  // session with the new stopping.
  const spectro fresh = freshCurve("700");
  struct {
    const char* what;
    std::function<void(NumericFixture&)> consume;
  } paths[] = {
      {"a run failing on a number elsewhere",
       [](NumericFixture& f) {
         f.set("TFMEIS.EditS", "20740x");
         f.session.run("CalcSimulation");
         EXPECT_EQ(
             f.host.messages.back(),
             "'20740x' is not a valid floating point value (Options, Ion Scattering: \"dW^2/dx: "
             "(eV^2/nm)\")");
         EXPECT_EQ(f.host.statuses.back(), "Numeric ERROR!");
         f.set("TFMEIS.EditS", "20740");
       }},
      {"an ion-scattering numeric run",
       [](NumericFixture& f) {
         f.meisMode();
         f.session.run("CalcSimulation");
         f.session.setCheckedAsClick("TFOptions.RadioNRP", true);
       }},
      {"Save Param",
       [](NumericFixture& f) {
         TempFolder dir;
         f.session.state().startDirectory = dir.path.string();
         f.session.run("SaveParameters");
       }},
  };
  for (const auto& path : paths) {
    NumericFixture f;
    layer(f.session);
    f.session.run("CalcSimulation");
    ASSERT_EQ(f.text("TFNRP.EditNc"), "258");
    f.set("TFNRP.Editdedx", "700");
    path.consume(f);
    f.session.run("CalcSimulation");
    EXPECT_EQ(f.text("TFNRP.EditNc"), "611") << path.what;
    EXPECT_EQ(f.st().nraLossDistributions.size(), 612u) << path.what;
    EXPECT_EQ(f.st().numericExcitation.values, fresh.values) << path.what;
    EXPECT_EQ(f.host.statuses.back(), "Done!") << path.what;
  }
}

// The depth weights of a curve are kept for a re-run over the same profile: any change of a
// point, of the step or of the number of points must give the curve of a session that never
// saw the old profile. Each expected curve is computed before the run on the old profile, so
// that nothing of it can be what the re-run reads back.
TEST(CalcNumericExcitation, EveryChangeOfTheProfileReachesTheCurve) {
  const auto ramp = [](profile& p) {
    for (int i = 0; i < 1500; ++i)
      p.values[static_cast<std::size_t>(i)] = 1.0 - i / 3000.0;
  };
  struct {
    const char* what;
    std::function<void(profile&)> change;
  } cases[] = {
      {"one deep point", [](profile& p) { p.values[1400] = 0.25; }},
      {"two points swapped", [](profile& p) { std::swap(p.values[10], p.values[1000]); }},
      {"the last point of the count", [](profile& p) { p.count = 1400; }},
      {"the step", [](profile& p) { p.step = 0.006; }},
  };
  for (const auto& c : cases) {
    NumericFixture fresh;
    ramp(fresh.session.state().nraProfile);
    c.change(fresh.session.state().nraProfile);
    fresh.session.run("CalcSimulation");
    ASSERT_EQ(fresh.host.statuses.back(), "Done!") << c.what;

    NumericFixture f;
    ramp(f.session.state().nraProfile);
    f.session.run("CalcSimulation");
    const spectro before = f.st().numericExcitation;
    f.session.run("CalcSimulation");
    EXPECT_EQ(f.st().numericExcitation.values, before.values) << c.what;
    c.change(f.session.state().nraProfile);
    f.session.run("CalcSimulation");
    EXPECT_EQ(f.host.statuses.back(), "Done!") << c.what;
    EXPECT_NE(f.st().numericExcitation.values, before.values) << c.what;
    EXPECT_EQ(f.st().numericExcitation.values, fresh.st().numericExcitation.values) << c.what;
  }
}

TEST(CalcNumericExcitation, AStoppedBuildLeavesThePreviousTables) {
  const spectro fresh = freshCurve("700");
  StoppingHost host;
  Session session(host);
  host.session = &session;
  registerAllActions(session);
  session.setCheckedAsClick("TFOptions.RadioNumeric", true);
  layer(session);
  session.run("CalcSimulation");
  const WorkingState& st = session.state();
  const std::vector<spectro> table = st.nraLossDistributions;
  const spectro curve = st.numericExcitation;
  const TableKey key = st.nraTableKey;
  ASSERT_EQ(table.size(), 259u);

  session.controls().setText("TFNRP.Editdedx", "700");
  host.stopAfter = host.eventsProcessed + 100;  // half-way through the 610 convolutions
  session.run("CalcSimulation");
  EXPECT_EQ(host.statuses.back(), "Stopped");
  EXPECT_LT(host.eventsProcessed, host.stopAfter + 5);  // at the next convolution
  ASSERT_EQ(st.nraLossDistributions.size(), table.size());
  for (std::size_t k = 0; k < table.size(); ++k)
    ASSERT_EQ(st.nraLossDistributions[k].values, table[k].values) << k;
  EXPECT_TRUE(st.nraAutoValid);
  EXPECT_EQ(st.nraTableKey, key);
  EXPECT_EQ(st.numericExcitation.values, curve.values);

  host.stopAfter = -1;
  session.run("CalcSimulation");
  EXPECT_EQ(session.controls().text("TFNRP.EditNc"), "611");
  EXPECT_EQ(st.numericExcitation.values, fresh.values);
}

TEST(CalcNumericExcitation, ARefusedBroadeningKeepsTheStoredCurve) {
  struct {
    const char *field, *value, *message;
  } cases[] = {
      {"TFNRP.EditGauss", "-5",
       "Gaussian spread (eV): -5 is not a width: it must be zero or "
       "positive"},
      {"TFNRP.EditLor", "-1e-3",
       "Resonance FWHM (eV): -0.001 is not a width: it must be zero or "
       "positive"},
      // Widths far beyond the window of 1241 bins: refused at once, naming the field.
      {"TFNRP.EditLor", "1e9",
       "Resonance FWHM (eV): 1000000000 is far wider than the calculated window (1241 bins "
       "of 4.03 eV): its broadening would add 4.96E9 bins; the window takes widths up to "
       "2.5E3 eV"},
      {"TFNRP.EditLor", "12345678",
       "Resonance FWHM (eV): 12345678 is far wider than the calculated window (1241 bins "
       "of 4.03 eV): its broadening would add 6.13E7 bins; the window takes widths up to "
       "2.5E3 eV"},
      {"TFNRP.EditGauss", "99999999",
       "Gaussian spread (eV): 99999999 is far wider than the calculated window (1241 bins "
       "of 4.03 eV): its broadening would add 8.43E7 bins; the window takes widths up to "
       "1.47E4 eV"},
  };
  for (const auto& c : cases) {
    NumericFixture f;
    layer(f.session);
    f.session.run("CalcSimulation");
    const spectro before = f.st().numericExcitation;
    const auto points = f.series("ChartPrinc.SeriesPrinc").points.size();
    f.set(c.field, c.value);
    f.session.run("CalcSimulation");
    EXPECT_EQ(f.host.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(f.host.statuses.back(), "Numeric ERROR!");
    EXPECT_EQ(f.st().numericExcitation.values, before.values) << c.value;
    EXPECT_EQ(f.st().numericExcitation.offset, before.offset) << c.value;
    f.session.run("Preview");
    EXPECT_EQ(f.series("ChartPrinc.SeriesPrinc").points.size(), points);
  }
}

TEST(CalcNRPAutos, AutoModeNeverWritesWhatIsNotANumber) {
  // Straggling 0 leaves no smallest loss (Emin 0, step 0, counts not a number); a Max Energy of
  // 0 or below no grid; 2000 keV a table far beyond the memory.
  struct {
    const char *field, *value, *message;
  } cases[] = {
      {"TFNRP.EditS", "0", "Error! Check parameters!"},
      {"TFNRP.EditMaxE", "0", "Error! Check parameters!"},
      {"TFNRP.EditMaxE", "-3", "Error! Check parameters!"},
      {"TFNRP.EditMaxE", "2000",
       "Max Energy (keV): 2000 needs a collision table of 4.19E10 values (84418 distributions of "
       "496279 bins); the limit is 1E8 values"},
  };
  for (const auto& c : cases) {
    NumericFixture f;
    f.session.run("CalcNRPAutos");
    const auto table = f.st().nraLossDistributions.size();
    f.set(c.field, c.value);
    f.session.run("CalcNRPAutos");
    EXPECT_EQ(f.host.messages, std::vector<std::string>{c.message}) << c.value;
    EXPECT_EQ(f.text("TFNRP.EditStep"), "4.03") << c.value;
    EXPECT_EQ(f.text("TFNRP.EditNc"), "258") << c.value;
    EXPECT_EQ(f.text("TFNRP.EditVecsize"), "1241") << c.value;
    EXPECT_FALSE(f.st().nraAutoValid);
    EXPECT_EQ(f.st().nraLossDistributions.size(), table);
    // Every later command still reads the fields.
    f.set(c.field, c.field == std::string("TFNRP.EditS") ? "6.62" : "5");
    f.session.run("CalcSimulation");
    EXPECT_EQ(f.host.statuses.back(),
              "The profile is empty: draw a layer in the Sample window first")
        << c.value;
  }
}

// A table refused for its size is reported once per calculation, not once per build attempt.
TEST(CalcNumericExcitation, ARefusedTableIsReportedOnce) {
  NumericFixture f;
  f.set("TFNRP.EditMaxE", "400");
  f.session.run("CalcSimulation");
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_NE(f.host.messages[0].find("needs a collision table"), std::string::npos);
  EXPECT_EQ(f.host.statuses.back(), "Numeric ERROR!");
}

TEST(CalcNumericExcitation, StopsOnATooSmallEmin) {
  NumericFixture f;
  f.set("TFNRP.EditS", "3");  // S/Omega^2 large: Emin far below 0.5 eV
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.host.statuses.back(), "Numeric ERROR! Emin < 0.5 eV!");
  EXPECT_TRUE(f.st().nraLossDistributions.empty());
  EXPECT_TRUE(f.series("ChartPrinc.SeriesPrinc").points.empty());
}

TEST(CalcNumericExcitation, StopsWhenTheTablesWereRefused) {
  NumericFixture f;
  f.session.setCheckedAsClick("TFNRP.CheckAuto", false);
  f.set("TFNRP.EditVecsize", "3");
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.host.statuses.back(), "Numeric ERROR!");
  EXPECT_EQ(f.host.messages.front(), "Error! Check parameters!");
  EXPECT_TRUE(f.st().numericExcitation.values.empty());
}

TEST(CalcNumericExcitation, ZeroProfileGivesZeros) {
  NumericFixture f;
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.st().numericExcitation.size(), 1241);
  EXPECT_EQ(f.st().numericExcitation.integral(), 0.0);
  EXPECT_EQ(f.series("ChartPrinc.SeriesPrinc").points.size(), 1241u);
}

TEST(CalcNumericExcitation, AreaAndMomentsMatchThePhysics) {
  // A thin layer deep enough for many collisions, with every distribution inside the grid.
  NumericFixture f;
  f.session.setCheckedAsClick("TFOptions.CheckConv", false);
  f.set("TFNRP.EditMaxE", "8");
  profile& p = f.session.state().nraProfile;
  const int k = 1000;  // depth 5 A
  p.values[k] = 1.0;
  f.session.run("CalcSimulation");
  const spectro& c = f.st().numericExcitation;
  const SingleCollision sc = singleCollision(151, 548.56, 6.62);
  const double a = 548.56 / sc.lambda;
  const double depth = k * p.step;
  const int nc = static_cast<int>(f.st().nraLossDistributions.size()) - 1;
  long double poisson = 0.0L, term = std::exp(-static_cast<long double>(a * depth));
  for (int n = 0; n <= nc; ++n) {
    if (n > 0) term *= a * depth / n;
    poisson += term;
  }
  EXPECT_NEAR(c.integral() / (1000.0 * p.step * static_cast<double>(poisson)), 1.0, 1e-6);
  double m = 0, m2 = 0, area = 0;
  for (int i = 0; i < c.size(); ++i) {
    const double e = i * c.step;
    area += c.values[i];
    m += c.values[i] * e;
    m2 += c.values[i] * e * e;
  }
  const double mean = m / area;
  const double variance = m2 / area - mean * mean;
  const double straggling = 1000.0 * 6.62 * 6.62;  // eV^2 per A
  EXPECT_NEAR(mean / (548.56 * depth), 1.0, 0.01);
  EXPECT_NEAR(variance / (straggling * depth), 1.0, 0.005);
}

TEST(CalcNumericExcitation, AThickFilmGivesAPlateauAndBothEdges) {
  NumericFixture f;
  f.set("TFNRP.EditEnrg", "1683.3");
  f.set("TFNRP.Editdedx", "3.365");
  f.set("TFNRP.EditS", "1.4287");
  f.set("TFNRP.EditMaxE", "50");
  f.set("TFNRP.EditMaxDepth", "9800");
  f.session.run("Updateplot");
  f.set("TFNRP.Editx1", "0");
  f.set("TFNRP.Editx2", "9800");
  f.session.run("Drawline");
  f.session.run("CalcSimulation");
  // 1036 collisions (1035 convolutions) on 8104 bins of 6.17 eV.
  EXPECT_EQ(f.text("TFNRP.EditNc"), "1036");
  EXPECT_EQ(f.text("TFNRP.EditVecsize"), "8104");
  const spectro& c = f.st().numericExcitation;
  double peak = 0.0;
  for (double v : c.values) {
    ASSERT_TRUE(std::isfinite(v));
    peak = std::max(peak, v);
  }
  // Loss at energy E - E_R: rising edge at 0, plateau, falling edge at 3.365*9800 = 33 keV.
  const auto at = [&](double lossEv) { return c.interpolate(lossEv); };
  EXPECT_LT(at(-1000.0), 0.05 * peak);
  EXPECT_NEAR(at(10000.0) / at(20000.0), 1.0, 0.05);
  EXPECT_GT(at(16000.0), 0.5 * peak);
  EXPECT_LT(at(46000.0), 0.02 * peak);  // the back edge is 4.5 keV wide (straggling)
}

}  // namespace
}  // namespace tarvex

namespace tarvex {
namespace {

// The log's statistics, taken in one pass, are the integral and mean of the distribution to
// the last bit: the log text stays the same.
TEST(DistributionStats, EqualTheIntegralAndMeanBitForBit) {
  spectro single(1241, 4.03);
  single.makeSingleCollision(1241, 4.03, 5.76, 328.4);
  const spectro twice = convolve(single, single);
  spectro ragged(997, 0.7);
  for (int i = 0; i < ragged.size(); ++i)
    ragged.values[static_cast<std::size_t>(i)] = std::sin(0.37 * i) * std::exp(-0.004 * i) + 1.0;
  for (const spectro& d : {single, twice, ragged}) {
    const DistributionStats st = distributionStats(d);
    EXPECT_EQ(st.integral, d.integral());
    EXPECT_EQ(st.mean, d.mean());
  }
}

}  // namespace
}  // namespace tarvex
