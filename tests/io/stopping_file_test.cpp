#include "io/stopping_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "io/files.h"
#include "temp_folder.h"

namespace tarvex {
namespace {

const std::string kFixtures = std::string(TARVEX_SOURCE_DIR) + "/tests/data/stopping/";

std::string fixture(const std::string& name) {
  std::string s;
  EXPECT_TRUE(readWholeFile(kFixtures + name, &s, 1 << 20)) << name;
  return s;
}

std::string replaced(std::string s, const std::string& from, const std::string& to) {
  const auto at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

std::string refusal(const std::string& text) {
  try {
    parseStoppingText(text, "table.txt");
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "(accepted)";
}

void expectRelative(double actual, double expected) {
  EXPECT_NEAR(actual, expected, 1e-12 * std::fabs(expected));
}

// One unit of each kind, at 5e22 atoms/cm3 and atoms of 28.085 g/mol, in eV/(1e15 atoms/cm2):
// 1 eV/Å = 1e8 eV/cm / 5e22 cm^-3 = 2e-15 eV cm^2 = 2 eV/(1e15 atoms/cm2);
// 1 MeV cm2/g = 1e6 eV cm2/g * 28.085 g/mol / 6.02214076e23 /mol = 0.0466362... eV/(1e15/cm2).
TEST(StoppingUnits, ConvertToElectronVoltsPer1e15AtomsPerCm2) {
  const double perMeVCm2PerG = 28.085e21 / 6.02214076e23;
  const struct {
    const char* text;
    double expected;
  } cases[] = {
      {"eV/(1e15 atoms/cm2)", 1.0},
      {"eV / (1E15 atoms/cm^2)", 1.0},
      {"eV/(10^15 atoms/cm2)", 1.0},
      {"eV/(E15 atoms/cm2)", 1.0},
      {"eV cm2/1e15 atoms", 1.0},
      {"eV/(1e15 atoms/cm\xC2\xB2)", 1.0},
      {"eV/A", 2.0},
      {"eV/\xC3\x85", 2.0},
      {"eV / Angstrom", 2.0},
      {"eV/nm", 0.2},
      {"keV/um", 0.2},
      {"keV/\xC2\xB5m", 0.2},
      {"keV / micron", 0.2},
      {"MeV/mm", 0.2},
      {"MeV cm2/g", perMeVCm2PerG},
      {"MeV cm^2/g", perMeVCm2PerG},
      {"MeV/(g/cm2)", perMeVCm2PerG},
      {"keV/(mg/cm2)", perMeVCm2PerG},
      {"MeV / (mg/cm2)", 1000.0 * perMeVCm2PerG},
      {"keV / (ug/cm2)", 1000.0 * perMeVCm2PerG},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto unit = parseStoppingUnit(c.text);
    ASSERT_TRUE(unit.has_value());
    expectRelative(toAtomicStopping(1.0, *unit, 5e22, 28.085), c.expected);
    expectRelative(toAtomicStopping(3.5, *unit, 5e22, 28.085), 3.5 * c.expected);
  }
  for (const char* unknown :
       {"", "eV", "keV/A", "eV/(1e16 atoms/cm2)", "L.S.S. reduced units", "MeV/(g/cm3)", "barn"}) {
    SCOPED_TRACE(unknown);
    EXPECT_FALSE(parseStoppingUnit(unknown).has_value());
  }
}

TEST(StoppingFile, TwoColumnTableInTheDefaultUnits) {
  const StoppingFile f = readStoppingFile(kFixtures + "si_protons.txt");
  EXPECT_EQ(f.format, "two-column table");
  ASSERT_TRUE(f.ion.has_value());
  EXPECT_EQ(*f.ion, StoppingIon::Proton);
  EXPECT_EQ(f.target, "Si");
  ASSERT_EQ(f.parts.size(), 1u);
  EXPECT_EQ(f.parts[0].z, 14);
  EXPECT_EQ(f.parts[0].count, 1.0);
  EXPECT_FALSE(f.densityGPerCm3.has_value());
  EXPECT_EQ(f.perAtom.energies(), (std::vector<double>{10, 50, 100, 500}));
  EXPECT_EQ(f.perAtom.values(), (std::vector<double>{8.0, 12.5, 13.9, 8.2}));
  EXPECT_EQ(f.perAtom.at(50.0), 12.5);
  EXPECT_EQ(f.perAtom.source(), "user table si_protons.txt (two-column table)");
  EXPECT_NE(f.unitsRead.find("eV/(1e15 atoms/cm2)"), std::string::npos);
}

// HfO2 at 9.68 g/cm3: 9.68 * 6.02214076e23 / (178.49 + 2 * 15.999) * 3 = 8.30845310e22 atoms
// per cm3, so 30 eV/Å is 30 / (8.30845310e22 * 1e-23) = 36.1078045 eV/(1e15 atoms/cm2).
TEST(StoppingFile, TwoColumnTablePerLengthWithDensityAndTarget) {
  const StoppingFile f = parseStoppingText(fixture("hfo2_helium_ev_per_angstrom.txt"), "h.txt");
  ASSERT_TRUE(f.ion.has_value());
  EXPECT_EQ(*f.ion, StoppingIon::Helium);
  EXPECT_EQ(f.target, "HfO2");
  ASSERT_EQ(f.parts.size(), 2u);
  EXPECT_EQ(f.parts[0].z, 72);
  EXPECT_EQ(f.parts[1].z, 8);
  EXPECT_EQ(f.parts[1].count, 2.0);
  ASSERT_TRUE(f.densityGPerCm3.has_value());
  EXPECT_EQ(*f.densityGPerCm3, 9.68);
  ASSERT_TRUE(f.atomsPerCm3.has_value());
  expectRelative(*f.atomsPerCm3, 8.308453102808712e22);
  EXPECT_EQ(f.unitsRead, "eV/A");
  EXPECT_EQ(f.perAtom.energies(), (std::vector<double>{50, 100, 400, 1000}));
  expectRelative(f.perAtom.at(100.0), 36.10780445984386);
}

// The header's own atomic density: 16.5 eV/Å / (8.3086e22 * 1e-23) = 19.8589413 per 1e15.
TEST(StoppingFile, SrimTableOfProtonsInHafniumOxide) {
  const StoppingFile f = readStoppingFile(kFixtures + "hfo2_protons_srim.txt");
  EXPECT_EQ(f.format, "SRIM stopping table");
  ASSERT_TRUE(f.ion.has_value());
  EXPECT_EQ(*f.ion, StoppingIon::Proton);
  EXPECT_EQ(f.target, "HfO2");
  ASSERT_EQ(f.parts.size(), 2u);
  EXPECT_EQ(f.parts[0].z, 72);
  EXPECT_NEAR(f.parts[0].count, 0.3333, 1e-12);
  EXPECT_EQ(f.parts[1].z, 8);
  EXPECT_NEAR(f.parts[1].count, 0.6667, 1e-12);
  EXPECT_EQ(f.densityGPerCm3, 9.68);
  EXPECT_EQ(f.atomsPerCm3, 8.3086e22);
  EXPECT_EQ(f.unitsRead, "eV / Angstrom");
  // 900 eV, 1 keV, 10 keV, 100 keV, 1 MeV.
  EXPECT_EQ(f.perAtom.energies(), (std::vector<double>{0.9, 1, 10, 100, 1000}));
  expectRelative(f.perAtom.at(100.0), 19.85894133789086);
  expectRelative(f.perAtom.at(0.9), 3.550537996774427);
  EXPECT_EQ(f.perAtom.source(), "user table hfo2_protons_srim.txt (SRIM stopping table)");
}

// MeV/(mg/cm2) is 1000 MeV cm2/g; an atom's mass from the header is 2.3212 g/cm3 / 4.9766e22
// atoms/cm3 = 28.0886 g/mol: 1.29 MeV/(mg/cm2) = 1.29e24 * 2.3212 / 4.9766e22 = 60.1685488.
TEST(StoppingFile, SrimTableOfHeliumInSiliconPerMass) {
  const std::string text = fixture("si_helium_srim.txt");
  const StoppingFile f = parseStoppingText(text, "si.txt");
  ASSERT_TRUE(f.ion.has_value());
  EXPECT_EQ(*f.ion, StoppingIon::Helium);
  EXPECT_EQ(f.target, "Si");
  ASSERT_EQ(f.parts.size(), 1u);
  EXPECT_EQ(f.parts[0].z, 14);
  EXPECT_EQ(f.parts[0].count, 1.0);
  EXPECT_EQ(f.unitsRead, "MeV / (mg/cm2)");
  EXPECT_EQ(f.perAtom.energies(), (std::vector<double>{10, 100, 1000, 2000}));
  expectRelative(f.perAtom.at(1000.0), 60.168548808423424);

  // Written where the decimal separator is a comma.
  std::string comma = text;
  for (std::size_t k = 1; k + 1 < comma.size(); ++k)
    if (comma[k] == '.' && std::isdigit(static_cast<unsigned char>(comma[k - 1])) &&
        std::isdigit(static_cast<unsigned char>(comma[k + 1])))
      comma[k] = ',';
  const StoppingFile g = parseStoppingText(comma, "si.txt");
  EXPECT_EQ(g.perAtom.energies(), f.perAtom.energies());
  EXPECT_EQ(g.perAtom.values(), f.perAtom.values());
}

TEST(StoppingFile, RefusesMalformedTablesWithAMessage) {
  const std::string srim = fixture("hfo2_protons_srim.txt");
  const std::string table = "10 1\n20 2\n";
  const struct {
    std::string text;
    std::vector<std::string> words;
  } cases[] = {
      {"", {"table.txt", "0 rows", "at least two"}},
      {"# only a comment\n10 1\n", {"1 row", "at least two"}},
      {fixture("unsorted.txt"), {"line 5", "increase", "50 keV", "100 keV"}},
      {"10 1\n10 2\n", {"line 2", "increase"}},
      {"0 1\n10 2\n", {"line 1", "energy 0 keV", "not positive"}},
      {"10 1\n20 -2\n", {"line 2", "stopping -2", "not positive"}},
      {"10 1\n20 0\n", {"line 2", "not positive"}},
      {"10 1\n20 nan\n", {"line 2", "\"nan\"", "not a finite number"}},
      {"10 1\n1e400 2\n", {"line 2", "not a finite number"}},
      {"10 1\n20\n", {"line 2", "two numbers", "this one 1"}},
      {"10 1 3\n20 2 4\n", {"line 1", "two numbers", "this one 3"}},
      {"10 1\n20 abc\n", {"line 2", "\"abc\"", "not a number"}},
      {"Energy Stopping\n10 1\n20 2\n", {"line 1", "\"Energy\"", "not a number"}},
      {"# units: furlongs\n" + table,
       {"line 1", "\"furlongs\"", "not known", "eV/(1e15 atoms/cm2)", "eV/Angstrom", "MeV cm2/g",
        "keV/um"}},
      {"# units: eV/A\n# units: eV/nm\n" + table, {"line 2", "second"}},
      {"# units: eV/A\n" + table, {"per length", "density", "target"}},
      {"# units: keV/um\n# density: 2.33\n" + table, {"per length", "target"}},
      {"# units: MeV cm2/g\n# density: 2.33\n" + table, {"per mass", "target"}},
      {"# units: eV/A\n# target: Si\n# density: 1e-20\n10 1\n20 1e300\n",
       {"line 5", "no usable value"}},
      {"# ion: Li\n" + table, {"line 1", "\"Li\"", "proton", "alpha"}},
      {"# target: Xx2\n" + table, {"line 1", "\"Xx2\"", "no element or formula"}},
      {"# density: -1 g/cm3\n" + table, {"line 1", "density", "g/cm3"}},
      {"# density: 2.3 kg/m3\n" + table, {"line 1", "density"}},
      {fixture("srim_no_units.txt"), {"Stopping Units", "eV/Angstrom"}},
      {fixture("srim_reduced_units.txt"), {"line 19", "reduced units", "MeV/(mg/cm2)"}},
      {replaced(srim, "eV / Angstrom", "furlongs"), {"line 20", "\"furlongs\"", "not known"}},
      {replaced(srim, "Hydrogen [1] , Mass = 1.008", "Lithium [3] , Mass = 7.016"),
       {"line 9", "\"Lithium\"", "Z = 3", "only protons and helium ions"}},
      {replaced(srim, "Hydrogen [1] , Mass = 1.008", "Hydrogen [1] , Mass = 2.014"),
       {"line 9", "mass 2.014", "only protons and helium ions"}},
      {replaced(srim, "Ion = Hydrogen [1]", "Ion = Hydrogen"), {"line 9", "atomic number"}},
      {replaced(srim, "  1.00 keV ", "  1.00 kV  "), {"line 27", "row of the table"}},
      {replaced(srim, "  1.00 keV   3.100E+00  1.780E-01", "  1.00 keV   3.100E+00"),
       {"line 27", "row of the table"}},
      {replaced(srim, "  1.00 keV ", "  0.50 keV "), {"line 27", "increase"}},
      {replaced(srim, "  1.00 keV   3.100E+00", "  1.00 keV  -3.100E+00"),
       {"line 27", "not positive"}},
      {srim.substr(0, srim.find("-----------------------------------------------------------")),
       {"cut short"}},
      {replaced(srim, "     Hf     72", "     Hf     99"), {"line 16", "atomic number 99"}},
      {replaced(replaced(srim, "9.6800E+00 g/cm3 = 8.3086E+22 atoms/cm3", "9.6800E+00 g/cm3"),
                "     Hf     72    033.33    084.80   \r\n      O      8    066.67    015.20   ",
                ""),
       {"per length", "density"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 80));
    const std::string message = refusal(c.text);
    for (const auto& w : c.words)
      EXPECT_NE(message.find(w), std::string::npos) << "\"" << w << "\" not in: " << message;
  }
}

TEST(StoppingFile, ReadsTheFileOfAPathOrSaysWhyNot) {
  testing::TempFolder folder;
  const auto message = [](const std::filesystem::path& p) {
    try {
      readStoppingFile(p);
    } catch (const std::invalid_argument& e) {
      return std::string(e.what());
    }
    return std::string("(accepted)");
  };
  const std::string missing = folder.path("missing.txt");
  EXPECT_NE(message(missing).find("missing.txt does not exist"), std::string::npos);
  EXPECT_NE(message(folder.dir()).find("is a folder"), std::string::npos);
  const std::string big = folder.write("big.txt", std::string(kMaxStoppingFileBytes + 1, '1'));
  EXPECT_NE(message(big).find("10 MB"), std::string::npos);
  // A name in the messages and the source is the file's own, not the folder's.
  const std::string bad = folder.write("mine.txt", "10 1\n5 2\n");
  EXPECT_EQ(message(bad).rfind("mine.txt, line 2:", 0), 0u) << message(bad);
  const std::string good = folder.write("good.txt",
                                        "\xEF\xBB\xBF# units: eV/nm\r\n# density: "
                                        "5e22 atoms/cm3\r\n10 1\r\n20 2\r\n");
  const StoppingFile f = readStoppingFile(good);
  EXPECT_EQ(f.perAtom.source(), "user table good.txt (two-column table)");
  // 1 eV/nm = 0.1 eV/Å; at 5e22 atoms/cm3 that is 0.2 eV/(1e15 atoms/cm2).
  expectRelative(f.perAtom.at(10.0), 0.2);
  EXPECT_FALSE(f.densityGPerCm3.has_value());
}

// Every prefix of each fixture, and random damage to it, is read or refused: never a crash or
// another exception.
TEST(StoppingFile, DamagedBytesAreReadOrRefused) {
  std::mt19937 random(27);
  for (const char* name :
       {"si_protons.txt", "hfo2_helium_ev_per_angstrom.txt", "hfo2_protons_srim.txt",
        "si_helium_srim.txt", "unsorted.txt", "srim_reduced_units.txt", "srim_no_units.txt"}) {
    SCOPED_TRACE(name);
    const std::string text = fixture(name);
    int refused = 0;
    for (std::size_t n = 0; n <= text.size(); ++n) {
      try {
        parseStoppingText(std::string_view(text).substr(0, n), name);
      } catch (const std::invalid_argument&) {
        ++refused;
      }
    }
    EXPECT_GT(refused, 0);
    for (int trial = 0; trial < 300; ++trial) {
      std::string damaged = text;
      const int edits = 1 + static_cast<int>(random() % 8);
      for (int e = 0; e < edits && !damaged.empty(); ++e) {
        const std::size_t at = random() % damaged.size();
        const char byte = static_cast<char>(random() % 256);
        switch (random() % 3) {
          case 0:
            damaged[at] = byte;
            break;
          case 1:
            damaged.insert(damaged.begin() + static_cast<std::ptrdiff_t>(at), byte);
            break;
          default:
            damaged.erase(at, 1 + random() % 16);
        }
      }
      try {
        parseStoppingText(damaged, name);
      } catch (const std::invalid_argument&) {
      }
    }
  }
}

}  // namespace
}  // namespace tarvex
