// The layered target from the target window's fields: what "Calculate" reads, what it refuses
// (naming the field, keeping the last curve), and that the one-value models stay as they were
// while the target is not layered.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

#include "app/stopping_command.h"
#include "app/target_command.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

using testing::SessionFixture;

struct TargetFixture : SessionFixture {
  TargetFixture() {
    set("TFNRP.EditEnrg", "991.86");
    set("TFNRP.EditLor", "100");
    set("TFNRP.EditMaxE", "20");
    session.setCheckedAsClick("TFTarget.CheckLayered", true);
    set("TFTarget.EditThick1", "500 nm");
    set("TFTarget.EditFormula1", "Al2O3");
    set("TFTarget.EditDensity1", "3.95");
    set("TFTarget.EditFraction1", "0.4");
    set("TFTarget.EditStep", "200");
  }
};

TEST(TargetThickness, UnitsAndRefusals) {
  const double n = 6e22;
  EXPECT_DOUBLE_EQ(parseThickness("100", n), 1000.0 * n * 1e-23);
  EXPECT_DOUBLE_EQ(parseThickness("100 nm", n), 1000.0 * n * 1e-23);
  EXPECT_DOUBLE_EQ(parseThickness("1.5 um", n), 15000.0 * n * 1e-23);
  EXPECT_DOUBLE_EQ(parseThickness("250 A", n), 250.0 * n * 1e-23);
  EXPECT_DOUBLE_EQ(parseThickness("600 1e15/cm2", n), 600.0);
  EXPECT_DOUBLE_EQ(parseThickness("600 tfu", n), 600.0);
  for (const char* bad : {"", "nm", "-5", "0", "5 furlongs", "nan"})
    EXPECT_THROW(parseThickness(bad, n), std::invalid_argument) << bad;
}

TEST(TargetCommand, ReadsTheLayersAndDrawsTheCurve) {
  TargetFixture f;
  const DeepNraInput in = readLayeredInput(f.session);
  ASSERT_EQ(in.layers.size(), 1u);
  const DeepLayer& l = in.layers[0];
  // Al2O3 at 3.95 g/cm3: 5 atoms per 101.96 g/mol.
  const double atoms = 3.95 / (2 * 26.9815385 + 3 * 15.999) * 6.02214076e23 * 5;
  EXPECT_NEAR(l.atomsPerCm3, atoms, 1e-9 * atoms);
  EXPECT_NEAR(l.arealDensity, 5000.0 * atoms * 1e-23, 1e-6);
  EXPECT_DOUBLE_EQ(l.reactingFraction, 0.4);
  EXPECT_FALSE(l.loss.energyEv.empty());  // from the tables
  EXPECT_DOUBLE_EQ(in.crossSection.widthEv, 100.0);
  EXPECT_DOUBLE_EQ(in.e0MinKeV, 989.86);
  EXPECT_DOUBLE_EQ(in.e0MaxKeV, 1011.86);
  EXPECT_TRUE(f.session.run("CalcSimulation"));
  EXPECT_EQ(f.host.statuses.back(), "Done!");
  const Series& curve = f.series("ChartPrinc.SeriesPrinc");
  ASSERT_EQ(curve.points.size(), 111u);  // 989.86 .. 1011.86 keV in 200 eV steps
  EXPECT_NEAR(curve.points.front().x, 989.86, 1e-9);
  EXPECT_NEAR(curve.points.back().x, 1011.86, 1e-9);
  EXPECT_NE(f.text("TFTarget.MemoResult").find("Layer 1 Al2O3"), std::string::npos);
}

TEST(TargetCommand, RefusesBadFieldsNamingThemAndKeepsTheLastCurve) {
  struct Case {
    const char* key;
    const char* text;
    const char* words;
  };
  const Case cases[] = {
      {"TFTarget.EditLayers", "7", "\"Layers:\""},
      {"TFTarget.EditLayers", "1.5", "\"Layers:\""},
      {"TFTarget.EditThick1", "-3 nm", "\"Thickness 1\""},
      {"TFTarget.EditFormula1", "Al2Q3", "\"Composition 1\""},
      {"TFTarget.EditDensity1", "0", "\"Density 1\""},
      {"TFTarget.EditFraction1", "1.2", "\"Reacting fraction 1\""},
      {"TFTarget.EditS1", "-1", "\"Stopping 1\""},
      {"TFTarget.EditW1", "5", "\"Straggling 1\""},
      {"TFTarget.EditTemperature", "-10", "below 0 K"},
      {"TFTarget.EditStep", "0", "\"Beam energy step (eV):\""},
      // Work that would run for minutes is refused before it starts.
      {"TFTarget.EditStep", "1", "raise the beam energy step"},
      {"TFTarget.EditFraction1", "0", "reaches the cross section"},
      {"TFTarget.EditFormula1", "Al0.3O0.6", "add up to 0.9, not 1"},
  };
  for (const Case& c : cases) {
    TargetFixture f;
    ASSERT_TRUE(f.session.run("CalcSimulation"));
    const std::vector<ChartPoint> before = f.series("ChartPrinc.SeriesPrinc").points;
    f.set(c.key, c.text);
    f.host.messages.clear();
    f.session.run("CalcSimulation");
    ASSERT_FALSE(f.host.messages.empty()) << c.key;
    EXPECT_NE(f.host.messages.back().find(c.words), std::string::npos)
        << c.key << ": " << f.host.messages.back();
    EXPECT_EQ(f.series("ChartPrinc.SeriesPrinc").points.size(), before.size()) << c.key;
    EXPECT_EQ(f.host.statuses.back(), "Layered target ERROR!") << c.key;
  }
}

TEST(TargetCommand, AnR33FileBecomesTheCrossSection) {
  TargetFixture f;
  testing::TempDir dir("target");
  const auto write = [&](const char* name, const char* text) {
    const std::string path = dir.file(name);
    std::ofstream(path) << text;
    return path;
  };
  const std::string path = write("bw.r33",
                                 "Reaction: 27Al(p,g)28Si\nUnits: mb/sr\nData:\n"
                                 "985, 0, 1, 0\n991.86, 0, 80, 0\n999, 0, 1, 0\nEndData:\n");
  f.host.fileAnswers.push_back(path);
  EXPECT_TRUE(f.session.run("LoadR33"));
  EXPECT_TRUE(f.session.controls().checked("TFTarget.RadioR33"));
  EXPECT_EQ(f.text("TFTarget.EditR33File"), path);
  const DeepNraInput in = readLayeredInput(f.session);
  EXPECT_EQ(in.crossSection.kind, CrossSection::Kind::Table);
  EXPECT_EQ(in.crossSection.tableSigma[1], 80.0);
  EXPECT_EQ(in.crossSection.units, "mb/sr");
  // A file that is refused changes nothing.
  const std::string bad = write("bad.r33", "Units: mb\nData:\n1000, 5\n900, 6\nEndData:\n");
  f.host.fileAnswers.push_back(bad);
  f.host.messages.clear();
  f.session.run("LoadR33");
  ASSERT_FALSE(f.host.messages.empty());
  EXPECT_NE(f.host.messages.back().find("bad.r33, line 4"), std::string::npos)
      << f.host.messages.back();
  EXPECT_EQ(f.text("TFTarget.EditR33File"), path);
  EXPECT_EQ(readLayeredInput(f.session).crossSection.tableSigma[1], 80.0);
}

// A table of the user's own, loaded in the Stopping window, is the layer's stopping.
TEST(TargetCommand, UsesTheStoppingTablesOfTheSession) {
  TargetFixture f;
  sessionStoppingSources(f.session, StoppingIon::Proton)
      .elements()
      .setUserTable(13, StoppingTable({1.0, 5000.0}, {40.0, 40.0}, "my aluminium"));
  const DeepNraInput in = readLayeredInput(f.session);
  EXPECT_NE(in.layers[0].loss.source.find("Bragg"), std::string::npos);
  // Al2O3: (2 x 40 + 3 x O) / 5 per atom; the aluminium part is the user's constant 40.
  const LayerLoss& loss = in.layers[0].loss;
  const double atoms = in.layers[0].atomsPerCm3;
  StoppingSources builtIn(StoppingIon::Proton);
  const double o = builtIn.elements().atomic(8, 500.0);
  const double expected = (2 * 40.0 + 3 * o) / 5 * atoms * 1e-23;  // eV/Å
  EXPECT_NEAR(loss.stoppingAt(500e3), expected, 1e-3 * expected);
}

// What the chart shows is what "Export all" writes; the fit, which runs the one-value models,
// refuses a layered target instead of publishing another model's curve.
TEST(TargetCommand, ExportAllWritesTheLayeredCurveAndTheFitRefusesIt) {
  TargetFixture f;
  ASSERT_TRUE(f.session.run("CalcSimulation"));
  testing::TempDir dir("target-export");
  const std::string file = dir.file("curve.dat");
  f.host.fileAnswers.push_back(file);
  f.session.run("ExplortAll");
  std::ifstream in(file);
  ASSERT_TRUE(in.good());
  double x = 0.0, y = 0.0;
  in >> x >> y;
  EXPECT_NEAR(x, 989.86, 1e-6);  // the layered curve's first beam energy
  f.host.messages.clear();
  f.session.run("Fit");
  ASSERT_FALSE(f.host.messages.empty());
  EXPECT_NE(f.host.messages.back().find("Layered target"), std::string::npos)
      << f.host.messages.back();
}

// While the target is not layered, "Calculate" runs the one-value models as before.
TEST(TargetCommand, AnUnlayeredTargetLeavesTheOneValueModels) {
  SessionFixture plain;
  SessionFixture unlayered;
  for (SessionFixture* f : {&plain, &unlayered}) {
    f->set("TFNRP.EditMaxE", "10");
    f->set("TFNRP.Editx2", "10");
    EXPECT_TRUE(f->session.run("Drawline"));
  }
  unlayered.set("TFTarget.EditFormula1", "Si");  // target fields filled but not used
  EXPECT_TRUE(plain.session.run("CalcSimulation"));
  EXPECT_TRUE(unlayered.session.run("CalcSimulation"));
  EXPECT_EQ(plain.series("ChartPrinc.SeriesBessel").points.size(),
            unlayered.series("ChartPrinc.SeriesBessel").points.size());
  EXPECT_EQ(plain.session.state().analyticExcitation.values,
            unlayered.session.state().analyticExcitation.values);
}

}  // namespace
}  // namespace tarvex
