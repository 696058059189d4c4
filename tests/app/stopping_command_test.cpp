// The stopping window's commands on a session: bad input named by its field with nothing
// written, "Apply" into each mode's fields in their units (checked against the calculator at
// the energies each mode needs), "Undo apply", a change of mode, and tables of the user's own.
#include "app/stopping_command.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "core/numtext.h"
#include "meis/setup.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

using testing::SessionFixture;
using testing::TempDir;

struct StoppingFixture : SessionFixture {
  // Opens the window as the menu does (the energy and ion of the current mode).
  void open() { EXPECT_TRUE(session.run("ShowStopping")); }
  // Clicks a control; true when the command ran and did not fail.
  bool press(const std::string& key) { return session.click(key) && !session.lastCommandFailed(); }
  double value(const std::string& key) { return parseFloat(text(key)); }
  void selectItem(const std::string& key, const std::string& item) {
    const Control& c = session.controls().get(key);
    for (std::size_t i = 0; i < c.items.size(); ++i) {
      if (c.items[i] == item) {
        session.select(key, static_cast<int>(i));
        return;
      }
    }
    FAIL() << item << " is no item of " << key;
  }
};

StoppingRequest request(const std::string& formula, double density, double energy,
                        StragglingModel model = StragglingModel::Bohr) {
  StoppingRequest r;
  r.formula = formula;
  r.density = {SampleDensity::Kind::GramsPerCm3, density};
  r.energyKeV = energy;
  r.straggling = model;
  return r;
}

// The calculator alone, on the built-in data.
StoppingResult direct(StoppingIon ion, const StoppingRequest& r) {
  return computeStopping(StoppingSources(ion), r);
}

// The texts hold four significant digits at least.
void expectClose(double shown, double want, const std::string& what) {
  EXPECT_NEAR(shown, want, 5.1e-4 * std::fabs(want)) << what;
}

// ---- Bad input ----------------------------------------------------------------------------------

TEST(StoppingWindow, BadInputNamesItsFieldAndWritesNothingIntoTheMode) {
  struct Case {
    const char* key;
    const char* text;
    const char* field;  // how the message names it
  };
  const Case cases[] = {
      {"TFStopping.EditFormula", "HfXx2", "Stopping: \"Formula\": "},
      {"TFStopping.EditFormula", "Hf(O2", "Stopping: \"Formula\": "},
      {"TFStopping.EditFormula", "", "Stopping: \"Formula\": "},
      {"TFStopping.EditDensity", "0", "Stopping: \"Density\": "},
      {"TFStopping.EditDensity", "-9.68", "Stopping: \"Density\": "},
      {"TFStopping.EditDensity", "dense", "Stopping: \"Density\": "},
      {"TFStopping.EditEnergy", "0", "Stopping: \"Energy (keV)\": "},
      {"TFStopping.EditEnergy", "fast", "Stopping: \"Energy (keV)\": "},
      {"TFStopping.EditEnergy", "1e12", "Stopping: \"Energy (keV)\": "},  // beyond the data
      {"TFStopping.ComboIon", "Li", "Stopping: \"Ion\": "},
      {"TFStopping.ComboStraggling", "Lindhard", "Stopping: \"Straggling model\": "},
  };
  for (const bool nra : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(nra ? "resonant NRA, " : "ion scattering, ") + c.key + " " + c.text);
      StoppingFixture f;
      if (!nra) f.meisMode();
      f.open();
      const std::string frame = nra ? "TFNRP" : "TFMEIS";
      const std::string dedx = f.text(frame + ".Editdedx");
      const std::string s = f.text(frame + ".EditS");
      ASSERT_TRUE(f.press("TFStopping.ButtonCalculate")) << f.host.messages.back();
      ASSERT_FALSE(f.text("TFStopping.EditStopping").empty());
      f.set(c.key, c.text);
      for (const char* button : {"TFStopping.ButtonCalculate", "TFStopping.ButtonApply"}) {
        f.host.messages.clear();
        EXPECT_FALSE(f.press(button));
        ASSERT_EQ(f.host.messages.size(), 1u);
        EXPECT_EQ(f.host.messages[0].rfind(c.field, 0), 0u) << f.host.messages[0];
        EXPECT_EQ(f.text("TFStopping.StatusStopping"), f.host.messages[0]);
        // The results of the earlier calculation are gone; the mode's fields are as they were.
        EXPECT_EQ(f.text("TFStopping.EditStopping"), "");
        EXPECT_EQ(f.text("TFStopping.EditStraggling"), "");
        EXPECT_EQ(f.text("TFStopping.MemoResult"), "");
        EXPECT_TRUE(f.series("ChartStopping.SeriesStopping").points.empty());
        EXPECT_EQ(f.text(frame + ".Editdedx"), dedx);
        EXPECT_EQ(f.text(frame + ".EditS"), s);
        EXPECT_FALSE(f.session.controls().enabled("TFStopping.ButtonUndo"));
      }
    }
  }
}

TEST(StoppingWindow, AProjectileNeitherProtonNorHeliumIsNamedAndNothingIsApplied) {
  StoppingFixture f;
  f.meisMode();
  f.set("TFMEIS.EditZp", "3");
  f.open();
  EXPECT_NE(f.text("TFStopping.StatusStopping").find("only protons and helium ions"),
            std::string::npos)
      << f.text("TFStopping.StatusStopping");
  EXPECT_FALSE(f.press("TFStopping.ButtonApply"));
  EXPECT_NE(f.host.messages.back().find("only protons and helium ions are supported"),
            std::string::npos)
      << f.host.messages.back();
  EXPECT_EQ(f.text("TFMEIS.Editdedx"), "192");
  EXPECT_EQ(f.text("TFMEIS.EditS"), "20740");
}

// ---- Apply --------------------------------------------------------------------------------------

TEST(StoppingWindow, ApplyWritesTheResonantNraFieldsAtTheResonanceEnergy) {
  for (const auto& [model, name] : {std::pair{StragglingModel::Bohr, "Bohr"},
                                    std::pair{StragglingModel::Chu, "Chu (Yang et al.)"}}) {
    SCOPED_TRACE(name);
    StoppingFixture f;
    f.set("TFNRP.EditEnrg", "172");
    f.open();
    EXPECT_EQ(f.text("TFStopping.EditEnergy"), "172");
    EXPECT_EQ(f.text("TFStopping.ComboIon"), "H");
    EXPECT_EQ(f.text("TFStopping.EditFormula"), "HfO2");
    EXPECT_EQ(f.text("TFStopping.EditDensity"), "9.68");
    f.selectItem("TFStopping.ComboStraggling", name);
    ASSERT_TRUE(f.press("TFStopping.ButtonApply")) << f.host.messages.back();
    const StoppingResult r = direct(StoppingIon::Proton, request("HfO2", 9.68, 172.0, model));
    // "Stopping Power:" in eV/Å; "Straggling:" Omega, whose square is keV^2 per 1000 Å.
    expectClose(f.value("TFNRP.Editdedx"), r.evPerAngstrom, "stopping");
    expectClose(f.value("TFNRP.EditS"), std::sqrt(r.stragglingEv2PerAngstrom / 1000.0),
                "straggling");
    EXPECT_EQ(f.text("TFStopping.EditStopping"), f.text("TFNRP.Editdedx"));
    EXPECT_EQ(f.text("TFStopping.EditStraggling"), f.text("TFNRP.EditS"));
    EXPECT_EQ(f.text("TFStopping.PanelStoppingUnit"), "eV/Å");
    // The status line says what was written, and the ion-scattering fields are untouched.
    EXPECT_NE(f.host.statuses.back().find("\"Stopping Power:\" " + f.text("TFNRP.Editdedx")),
              std::string::npos)
        << f.host.statuses.back();
    EXPECT_EQ(f.text("TFMEIS.Editdedx"), "192");
    EXPECT_TRUE(f.session.controls().enabled("TFStopping.ButtonUndo"));
    // Every element and the compound with their sources, and the chart with the energy marked.
    const std::string memo = f.text("TFStopping.MemoResult");
    for (const ElementStoppingLine& e : r.elements)
      EXPECT_NE(memo.find(e.source), std::string::npos) << memo;
    EXPECT_NE(memo.find(r.compoundSource), std::string::npos) << memo;
    EXPECT_GT(f.series("ChartStopping.SeriesStopping").points.size(), 50u);
    ASSERT_FALSE(f.series("ChartStopping.SeriesPoints").points.empty());
    EXPECT_EQ(f.series("ChartStopping.SeriesPoints").points[0].x, 172.0);
  }
}

TEST(StoppingWindow, ApplyWritesTheIonScatteringMeanOfInboundAndOutbound) {
  struct Case {
    const char* ion;
    const char* z;
    const char* mass;
    StoppingIon stopping;
    bool oxygenChosen;  // oxygen selected in the element list; else the element box's hafnium
  };
  const Case cases[] = {{"H", "1", "1", StoppingIon::Proton, false},
                        {"He", "2", "4.0026", StoppingIon::Helium, false},
                        {"H", "1", "1", StoppingIon::Proton, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.ion) + (c.oxygenChosen ? " on O" : " on Hf"));
    StoppingFixture f;
    f.meisMode();
    f.set("TFMEIS.EditEnrg", "120");
    f.set("TFMEIS.EditZp", c.z);
    f.set("TFMEIS.EditPmass", c.mass);
    f.set("TFMEIS.EditTIn", "10");
    f.set("TFMEIS.EditTOut", "60");
    double m2 = 178.5;
    if (c.oxygenChosen) {
      f.set("TFMEIS.EditZ", "8");
      f.set("TFMEIS.EditMass", "15.999");
      f.addElement("O");
      f.set("TFMEIS.EditElname", "Hf");
      f.set("TFMEIS.EditMass", "178.5");
      f.session.select("TFMEIS.ListElements", 0);
      f.set("TFMEIS.EditMass", "178.5");  // the list's choice counts, not the box
      m2 = 15.999;
    }
    f.open();
    EXPECT_EQ(f.text("TFStopping.EditEnergy"), "120");
    EXPECT_EQ(f.text("TFStopping.ComboIon"), c.ion);
    ASSERT_TRUE(f.press("TFStopping.ButtonApply")) << f.host.messages.back();
    const double k = kinematicFactor(std::stod(c.mass), m2, 110.0);
    const StoppingResult in = direct(c.stopping, request("HfO2", 9.68, 120.0));
    const StoppingResult out = direct(c.stopping, request("HfO2", 9.68, k * 120.0));
    // "dE/dx: (eV/nm)" and "dW^2/dx: (eV^2/nm)": 10 Å to the nm.
    expectClose(f.value("TFMEIS.Editdedx"), 10.0 * (in.evPerAngstrom + out.evPerAngstrom) / 2.0,
                "stopping");
    expectClose(f.value("TFMEIS.EditS"),
                10.0 * (in.stragglingEv2PerAngstrom + out.stragglingEv2PerAngstrom) / 2.0,
                "straggling");
    EXPECT_EQ(f.text("TFNRP.Editdedx"), "548.56");
    const std::string memo = f.text("TFStopping.MemoResult");
    EXPECT_NE(memo.find("mean of inbound (E0 = 120 keV) and outbound (K·E0 = " +
                        formatGeneral(k * 120.0, 5) + " keV"),
              std::string::npos)
        << memo;
    EXPECT_EQ(f.text("TFStopping.PanelStoppingUnit"), "eV/nm");
    EXPECT_EQ(f.text("TFStopping.PanelStragglingUnit"), "eV²/nm");
    EXPECT_EQ(f.series("ChartStopping.SeriesPoints").points.size(), 2u);
  }
}

// ---- Undo apply ---------------------------------------------------------------------------------

TEST(StoppingWindow, UndoApplyPutsBackWhatTheFieldsHeldOneApplyAtATime) {
  StoppingFixture f;
  f.open();
  ASSERT_TRUE(f.press("TFStopping.ButtonApply")) << f.host.messages.back();
  const std::string bohr = f.text("TFNRP.EditS");
  EXPECT_NE(bohr, "6.62");
  f.selectItem("TFStopping.ComboStraggling", "Chu (Yang et al.)");
  ASSERT_TRUE(f.press("TFStopping.ButtonApply"));
  EXPECT_NE(f.text("TFNRP.EditS"), bohr);
  ASSERT_TRUE(f.press("TFStopping.ButtonUndo"));
  EXPECT_EQ(f.text("TFNRP.EditS"), bohr);
  ASSERT_TRUE(f.press("TFStopping.ButtonUndo"));
  EXPECT_EQ(f.text("TFNRP.Editdedx"), "548.56");
  EXPECT_EQ(f.text("TFNRP.EditS"), "6.62");
  EXPECT_NE(f.host.statuses.back().find("\"Stopping Power:\" 548.56"), std::string::npos)
      << f.host.statuses.back();
  // Nothing left to undo: the button is disabled, and the action says so.
  EXPECT_FALSE(f.session.controls().enabled("TFStopping.ButtonUndo"));
  EXPECT_FALSE(f.session.click("TFStopping.ButtonUndo"));
  EXPECT_TRUE(f.session.run("UndoStopping"));
  EXPECT_TRUE(f.session.lastCommandFailed());
}

TEST(StoppingWindow, UndoApplyLeavesAFieldTheUserChangedSince) {
  StoppingFixture f;
  f.open();
  ASSERT_TRUE(f.press("TFStopping.ButtonApply"));
  f.set("TFNRP.Editdedx", "500");
  EXPECT_FALSE(f.press("TFStopping.ButtonUndo"));
  EXPECT_NE(f.host.messages.back().find("\"Stopping Power:\" was changed since"), std::string::npos)
      << f.host.messages.back();
  EXPECT_EQ(f.text("TFNRP.Editdedx"), "500");
  EXPECT_NE(f.text("TFNRP.EditS"), "6.62");
}

TEST(StoppingWindow, ResultsAreMarkedWhenAFieldTheyCameFromChanges) {
  StoppingFixture f;
  f.open();
  ASSERT_TRUE(f.press("TFStopping.ButtonCalculate"));
  // Opening the window again with the same energy and ion keeps them as they are.
  f.open();
  EXPECT_NE(f.text("TFStopping.EditStopping"), "");
  EXPECT_EQ(f.text("TFStopping.StatusStopping"), "");
  f.set("TFStopping.EditDensity", "9.7");
  EXPECT_NE(f.text("TFStopping.StatusStopping").find("values shown are for protons in HfO2 at 151"),
            std::string::npos)
      << f.text("TFStopping.StatusStopping");
  EXPECT_NE(f.text("TFStopping.EditStopping"), "");
  // Apply takes the fields as they are now.
  ASSERT_TRUE(f.press("TFStopping.ButtonApply"));
  const StoppingResult r = direct(StoppingIon::Proton, request("HfO2", 9.7, 151.0));
  expectClose(f.value("TFNRP.Editdedx"), r.evPerAngstrom, "stopping");
}

// ---- The mode
// ------------------------------------------------------------------------------------

TEST(StoppingWindow, AChangeOfModeBringsThatModesEnergyAndIon) {
  StoppingFixture f;
  f.set("TFMEIS.EditEnrg", "130");
  f.set("TFMEIS.EditZp", "2");
  f.set("TFMEIS.EditPmass", "4");
  f.open();
  EXPECT_EQ(f.text("TFStopping.EditEnergy"), "151");
  EXPECT_EQ(f.text("TFStopping.ComboIon"), "H");
  ASSERT_TRUE(f.press("TFStopping.ButtonCalculate"));
  f.meisMode();
  EXPECT_EQ(f.text("TFStopping.EditEnergy"), "130");
  EXPECT_EQ(f.text("TFStopping.ComboIon"), "He");
  EXPECT_EQ(f.text("TFStopping.PanelIon"), "helium ions");
  EXPECT_EQ(f.text("TFStopping.PanelStoppingUnit"), "eV/nm");
  // The resonant NRA values no longer stand.
  EXPECT_EQ(f.text("TFStopping.EditStopping"), "");
  EXPECT_TRUE(f.series("ChartStopping.SeriesStopping").points.empty());
  f.session.setCheckedAsClick("TFOptions.RadioNRP", true);
  EXPECT_EQ(f.text("TFStopping.EditEnergy"), "151");
  EXPECT_EQ(f.text("TFStopping.ComboIon"), "H");
}

// ---- Tables of one's own ----------------------------------------------------------------------

StoppingFile tableFile(std::vector<FormulaPart> parts, double scale) {
  StoppingFile t;
  t.ion = StoppingIon::Proton;
  t.parts = std::move(parts);
  t.perAtom = StoppingTable({1.0, 10.0, 100.0, 1000.0},
                            {5.0 * scale, 12.0 * scale, 20.0 * scale, 9.0 * scale}, "");
  t.format = "two columns";
  return t;
}

TEST(StoppingWindow, ATableOfOnesOwnReplacesAnElementOrBraggsRuleForItsCompound) {
  StoppingFixture f;
  f.open();
  f.set("TFStopping.EditEnergy", "100");
  const StoppingResult builtIn = calculateStopping(f.session).atEnergy;

  const std::string oxygen = installStoppingTable(f.session, tableFile({{8, 1.0}}, 1.0), "o.txt");
  EXPECT_NE(oxygen.find("element O"), std::string::npos) << oxygen;
  StoppingResult r = calculateStopping(f.session).atEnergy;
  ASSERT_EQ(r.elements.size(), 2u);
  EXPECT_EQ(r.elements[0].atomic, builtIn.elements[0].atomic);  // hafnium as before
  EXPECT_EQ(r.elements[0].source, builtIn.elements[0].source);
  EXPECT_DOUBLE_EQ(r.elements[1].atomic, 20.0);
  EXPECT_NE(r.elements[1].source.find("o.txt"), std::string::npos) << r.elements[1].source;
  EXPECT_NEAR(r.perAtom, (builtIn.elements[0].atomic + 2.0 * 20.0) / 3.0, 1e-9 * r.perAtom);
  // Helium ions keep the built-in data.
  f.selectItem("TFStopping.ComboIon", "He");
  EXPECT_EQ(calculateStopping(f.session).atEnergy.elements[1].source,
            direct(StoppingIon::Helium, request("HfO2", 9.68, 100.0)).elements[1].source);
  f.selectItem("TFStopping.ComboIon", "H");

  // A compound table for HfO2 stands for Bragg's rule, for that composition only.
  installStoppingTable(f.session, tableFile({{72, 1.0}, {8, 2.0}}, 2.0), "hfo2.txt");
  r = calculateStopping(f.session).atEnergy;
  EXPECT_DOUBLE_EQ(r.perAtom, 40.0);
  EXPECT_NE(r.compoundSource.find("hfo2.txt"), std::string::npos) << r.compoundSource;
  f.set("TFStopping.EditFormula", "Hf2O4");  // the same ratios
  EXPECT_DOUBLE_EQ(calculateStopping(f.session).atEnergy.perAtom, 40.0);
  f.set("TFStopping.EditFormula", "HfO");
  EXPECT_EQ(calculateStopping(f.session).atEnergy.compoundSource.find("hfo2.txt"),
            std::string::npos);
  // The window lists the source of every number.
  f.set("TFStopping.EditFormula", "HfO2");
  ASSERT_TRUE(f.press("TFStopping.ButtonCalculate"));
  EXPECT_NE(f.text("TFStopping.MemoResult").find("hfo2.txt"), std::string::npos);
}

TEST(StoppingWindow, LoadTableAsksTheHostAndARefusedFileChangesNothing) {
  StoppingFixture f;
  f.open();
  ASSERT_TRUE(f.press("TFStopping.ButtonCalculate"));
  const std::string before = f.text("TFStopping.MemoResult");
  // Cancelled: nothing happens.
  EXPECT_TRUE(f.press("TFStopping.ButtonLoadTable"));
  ASSERT_EQ(f.host.dialogs.size(), 1u);
  EXPECT_EQ(f.host.dialogs[0].title, "Load table...");
  // A file that is no table: refused with its name, the data as they were.
  TempDir dir("stopping-table");
  const std::string bad = dir.file("bad.txt");
  {
    std::ofstream out(bad, std::ios::binary);
    out << "not a table\n\x01\x02\xff\n1 2 3 x\n";
  }
  f.host.fileAnswers.push_back(bad);
  EXPECT_FALSE(f.press("TFStopping.ButtonLoadTable"));
  EXPECT_NE(f.host.messages.back().find("bad.txt"), std::string::npos) << f.host.messages.back();
  EXPECT_NE(f.host.messages.back().find("nothing changed"), std::string::npos);
  ASSERT_TRUE(f.press("TFStopping.ButtonCalculate"));
  EXPECT_EQ(f.text("TFStopping.MemoResult"), before);

  // A stopping program's table of HfO2 stands for Bragg's rule; the window shows its numbers at
  // once, with their source.
  const std::string data = std::string(TARVEX_SOURCE_DIR) + "/tests/data/stopping/";
  f.set("TFStopping.EditEnergy", "100");
  f.host.fileAnswers.push_back(data + "hfo2_protons_srim.txt");
  ASSERT_TRUE(f.press("TFStopping.ButtonLoadTable")) << f.host.messages.back();
  EXPECT_NE(f.text("TFStopping.StatusStopping").find("compound HfO2"), std::string::npos)
      << f.text("TFStopping.StatusStopping");
  StoppingResult r = calculateStopping(f.session).atEnergy;
  EXPECT_NE(r.compoundSource.find("hfo2_protons_srim.txt"), std::string::npos);
  EXPECT_NEAR(r.evPerAngstrom, 16.5, 0.165);  // the table's eV/Å at the same density
  EXPECT_NE(f.text("TFStopping.MemoResult").find("hfo2_protons_srim.txt"), std::string::npos);
  // A two-column table of silicon replaces that element's data.
  f.set("TFStopping.EditFormula", "SiO2");
  f.set("TFStopping.EditDensity", "2.32");
  f.host.fileAnswers.push_back(data + "si_protons.txt");
  ASSERT_TRUE(f.press("TFStopping.ButtonLoadTable")) << f.host.messages.back();
  r = calculateStopping(f.session).atEnergy;
  ASSERT_EQ(r.elements.size(), 2u);
  EXPECT_DOUBLE_EQ(r.elements[0].atomic, 13.9);
  EXPECT_NE(r.elements[0].source.find("si_protons.txt"), std::string::npos);
  EXPECT_NE(f.text("TFStopping.MemoResult").find("si_protons.txt"), std::string::npos);
}

}  // namespace
}  // namespace tarvex
