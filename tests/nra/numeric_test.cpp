#include "nra/numeric.h"

#include <gtest/gtest.h>

#include <cmath>

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
    const char *nc, *step, *bins;
  } cases[] = {{"5", "10", "30"},   // the grid ends before Emax
               {"0", "10", "100"},  // no collision at all
               {"-3", "10", "100"},
               {"5", "10", "33"},            // reaches Emax but not the bin after it
               {"5", "0", "100000"},         // no step
               {"200000", "10", "100000"}};  // more than memory holds
  for (auto c : cases) {
    NumericFixture f;
    f.session.run("CalcNRPAutos");  // a valid table first
    const auto before = f.st().nraLossDistributions.size();
    f.session.setCheckedAsClick("TFNRP.CheckAuto", false);
    f.set("TFNRP.EditNc", c.nc);
    f.set("TFNRP.EditStep", c.step);
    f.set("TFNRP.EditVecsize", c.bins);
    f.session.run("CalcNRPAutos");
    EXPECT_EQ(f.host.messages, std::vector<std::string>{"Error! Check parameters!"}) << c.nc;
    EXPECT_FALSE(f.st().nraAutoValid);
    EXPECT_EQ(f.st().nraLossDistributions.size(), before);
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

  // Manual mode: changing only the count rebuilds once, through the change test.
  f.session.setCheckedAsClick("TFNRP.CheckAuto", false);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.builds(), 1);
  f.set("TFNRP.EditNc", "100");
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.builds(), 2);
  EXPECT_EQ(f.st().nraLossDistributions.size(), 101u);
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.builds(), 2);
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
