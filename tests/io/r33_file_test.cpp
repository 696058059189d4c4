#include "io/r33_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "io/files.h"
#include "temp_folder.h"

namespace tarvex {
namespace {

using testing::TempFolder;

std::string fixturePath(const std::string& file) {
  return std::string(TARVEX_SOURCE_DIR) + "/tests/data/r33/" + file;
}

std::string fixture(const std::string& file) {
  std::string s;
  EXPECT_TRUE(readWholeFile(fixturePath(file), &s, 1 << 20)) << file;
  return s;
}

// A header every hand-written case starts from: the Data: line is line 4.
const std::string kHead = "Comment: hand written\n\nUnits: mb\nData:\n";

TEST(R33File, ReadsTheEvaluatedLithiumTable) {
  const R33File f = readR33(fixturePath("li7pa0n.r33"));
  EXPECT_EQ(f.reaction, "7Li(p,a0)4He");
  EXPECT_EQ(f.comment, "File created by R33 Manager version 0.1");
  EXPECT_EQ(f.source,
            "V.Paneta+(2012), Jour. Nucl. Instrum. Methods in Physics Res., Sect.B, Vol.288, p.53");
  EXPECT_EQ(f.units, "mb");
  EXPECT_FALSE(f.ratioToRutherford);
  EXPECT_EQ(f.distribution, "Energy");
  ASSERT_TRUE(f.thetaDeg.has_value());
  EXPECT_EQ(*f.thetaDeg, 160.0);
  EXPECT_EQ(f.masses, (std::vector<double>{1.0, 7.0, 4.0, 4.0}));
  EXPECT_EQ(f.zeds, (std::vector<int>{1, 3, 2, 2}));
  ASSERT_TRUE(f.qValueKeV.has_value());
  EXPECT_EQ(*f.qValueKeV, 17346.82);
  ASSERT_EQ(f.energyKeV.size(), 66u);
  ASSERT_EQ(f.sigma.size(), 66u);
  EXPECT_EQ(f.energyKeV.front(), 1498.0);
  EXPECT_EQ(f.energyError.front(), 3.0);
  EXPECT_EQ(f.sigma.front(), 2.21);
  EXPECT_EQ(f.sigmaError.front(), 0.09);
  EXPECT_EQ(f.energyKeV.back(), 6999.0);
  EXPECT_EQ(f.energyError.back(), 12.0);
  EXPECT_EQ(f.sigma.back(), 1.48);
  EXPECT_EQ(f.sigmaError.back(), 0.04);
  // The keys no field takes are kept, in order, with their values as given.
  ASSERT_GE(f.otherKeys.size(), 3u);
  EXPECT_EQ(f.otherKeys[0], (std::pair<std::string, std::string>{"Version", "R33"}));
  EXPECT_EQ(f.otherKeys[1], (std::pair<std::string, std::string>{"Name", "Valentina Paneta"}));
  bool serial = false;
  for (const auto& [k, v] : f.otherKeys)
    serial = serial || (k == "Serial Number" && v == "0");
  EXPECT_TRUE(serial);

  EXPECT_DOUBLE_EQ(r33Interpolate(f, 1548.0), (2.21 + 2.49) / 2);
  const auto table = r33Table(f);
  ASSERT_EQ(table.size(), 66u);
  EXPECT_EQ(table[1], (std::pair<double, double>{1598.0, 2.49}));
}

TEST(R33File, ReadsTheSyntheticStepWithCrLfAndBlankSeparatedRows) {
  const std::string text = fixture("non_rutherford_accuracy.r33");
  ASSERT_NE(text.find("\r\n"), std::string::npos);  // kept byte for byte
  const R33File f = parseR33(text, "non_rutherford_accuracy.r33");
  EXPECT_EQ(f.reaction, "16O(a,a0)16O");
  EXPECT_EQ(f.comment, "Test data");
  EXPECT_EQ(f.source, "Completely made up");
  EXPECT_EQ(f.units, "mb");
  EXPECT_EQ(f.thetaDeg, 160.0);
  EXPECT_EQ(f.masses, (std::vector<double>{4.0026, 15.9949, 4.0026, 15.9949}));
  EXPECT_EQ(f.zeds, (std::vector<int>{2, 8, 2, 8}));
  EXPECT_EQ(f.qValueKeV, 0.0);
  EXPECT_EQ(f.energyKeV, (std::vector<double>{1769, 2950, 2950.001, 3050.001, 3050.002, 3300}));
  EXPECT_EQ(f.sigma, (std::vector<double>{0, 0, 100, 100, 0, 0}));
  EXPECT_EQ(r33Interpolate(f, 3000.0), 100.0);
  EXPECT_NEAR(r33Interpolate(f, 2950.0005), 50.0, 1e-6);
}

TEST(R33File, AppliesFactorsUnitsAndTheFormatsLeeway) {
  struct {
    const char* what;
    std::string text;
    std::vector<double> e, de, s, ds;
    std::string units;
  } cases[] = {
      {"energy factor and offset, cross-section factor",
       "Comment: scaled\nEnfactors: 2.0, 10.0, 0.0, 0.0\nSigfactors: 0.5, 0.0\nUnits: mb/sr\n"
       "Data:\n100, 1, 4, 0.2\n200, 2, 6, 0.4\nEndData:\n",
       {210, 410},
       {2, 4},
       {2, 3},
       {0.1, 0.2},
       "mb/sr"},
      {"MeV in Units:, keys of any case and spacing, two numbers a row",
       "COMMENT : mev\nUNITS : MB / SR, MeV\nsigfactors  :2\nDATA :\n1.5 10\n2.5 20\nend data:\n",
       {1500, 2500},
       {0, 0},
       {20, 40},
       {0, 0},
       "mb/sr"},
      {"an energy-unit key, three numbers a row, ratio to Rutherford",
       "Comment: x\nEnergy units: MeV\nUnits: rr\nData:\n1.0, 0.01, 1.2\n2.0, 0.02, 1.1\n",
       {1000, 2000},
       {10, 20},
       {1.2, 1.1},
       {0, 0},
       "rr"},
      {"comments and blank lines between rows; text after EndData: is not read",
       kHead + "# first\n1e3\t0 5 0\n\n! second\n; third\n% fourth\n// fifth\nComment: sixth\n"
               "2e3,0,6,0,\nEndData:\nnot an R33 line\x01\n",
       {1000, 2000},
       {0, 0},
       {5, 6},
       {0, 0},
       "mb"},
      {"no EndData: at the end of the file: the table is read to the end",
       kHead + "+10 1\n20 2",
       {10, 20},
       {0, 0},
       {1, 2},
       {0, 0},
       "mb"},
      {"byte-order mark, lone CR line ends, numbers on the Data: line",
       "\xEF\xBB\xBF"
       "Comment: old Mac\rUnits: mb\rData: 5 1\r6 2\rEndData:\r",
       {5, 6},
       {0, 0},
       {1, 2},
       {0, 0},
       "mb"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    R33File f;
    ASSERT_NO_THROW(f = parseR33(c.text, "case.r33"));
    EXPECT_EQ(f.units, c.units);
    EXPECT_EQ(f.ratioToRutherford, c.units == "rr");
    ASSERT_EQ(f.energyKeV.size(), c.e.size());
    for (std::size_t k = 0; k < c.e.size(); ++k) {
      EXPECT_DOUBLE_EQ(f.energyKeV[k], c.e[k]) << k;
      EXPECT_DOUBLE_EQ(f.energyError[k], c.de[k]) << k;
      EXPECT_DOUBLE_EQ(f.sigma[k], c.s[k]) << k;
      EXPECT_DOUBLE_EQ(f.sigmaError[k], c.ds[k]) << k;
    }
  }
}

TEST(R33File, KeepsAMultiLineCommentAndTheOtherKeys) {
  const R33File f = parseR33(
      "Comment: first line\n  second: with a colon  \nthird\n\nSource: here\nReaction: "
      "27Al(p,g)28Si\nMasses: 1.007, 26.98, 0, 27.97\nComposition: \nX4Number: A1030002 "
      "20030227\nUnits: mb\nData:\n991 0.1\nEndData:\n",
      "c.r33");
  EXPECT_EQ(f.comment, "first line\n  second: with a colon\nthird");
  EXPECT_EQ(f.source, "here");
  EXPECT_EQ(f.reaction, "27Al(p,g)28Si");
  EXPECT_EQ(f.masses, (std::vector<double>{1.007, 26.98, 0, 27.97}));  // a gamma weighs nothing
  EXPECT_FALSE(f.thetaDeg.has_value());
  EXPECT_FALSE(f.qValueKeV.has_value());
  EXPECT_EQ(f.otherKeys, (std::vector<std::pair<std::string, std::string>>{
                             {"Composition", ""}, {"X4Number", "A1030002 20030227"}}));
}

TEST(R33File, RefusesFaultsNamingTheFileAndLine) {
  struct {
    std::string text;
    int line;
    std::vector<std::string> words;
  } cases[] = {
      {"Comment: nothing\n\nUnits: mb\n", 3, {"without a Data: line"}},
      {"", 1, {"without a Data: line"}},
      {kHead + "EndData:\n", 5, {"no rows", "line 4"}},
      {kHead + "# only a comment\n", 4, {"no rows"}},
      {kHead + "1000 1\n1100, abc\n", 6, {"'abc'", "not a number"}},
      {kHead + "1000 1\n1100 2\n1050 3\n", 7, {"lower", "line 6", "increase"}},
      {kHead + "1000 1\n1000 2\n", 6, {"repeats", "line 5"}},
      {kHead + "1000 -1\n", 5, {"negative cross section"}},
      {kHead + "1000 1 2 -0.1\n", 5, {"negative cross-section uncertainty"}},
      {kHead + "-5 1\n", 5, {"negative energy"}},
      {kHead + "1000 nan\n", 5, {"not finite"}},
      {kHead + "1000 1\n1100 inf\n", 6, {"not finite"}},
      {kHead + "1000 1e999\n", 5, {"beyond the range"}},
      {kHead + "1000 1\n11\x01"
               "00 2\n",
       6,
       {"binary"}},
      {std::string("Comment: a\0b\n", 13) + "Units: mb\nData:\n1 1\n", 1, {"binary"}},
      {kHead + "1000 1 2 3 4\n", 5, {"5 numbers", "2 to 4"}},
      {kHead + "1000\n", 5, {"1 number", "2 to 4"}},
      {kHead + "1000 1\nEndData\n", 6, {"'EndData' is not a number"}},
      {kHead + "1000 1 2 3\n1100 1\n", 6, {"first row (line 5) has 4"}},
      {kHead + "1000,,1\n", 5, {"two commas"}},
      {kHead + "1000 1\nUnits: mb/sr\n", 6, {"inside the table"}},
      {"Comment: c\n\nUnits: barn\nData:\n1 1\n", 3, {"'barn'", "mb, mb/sr or rr"}},
      {"Comment: c\n\nUnits: MeV\nData:\n1 1\n", 3, {"no unit of the cross section"}},
      {"Comment: c\n\nReaction: x\nData:\n1 1\n", 4, {"no Units:"}},
      {"Comment: c\n\nUnits: mb\nunits: mb/sr\nData:\n1 1\n", 4, {"second time", "line 3"}},
      {"Comment: c\n\nDistribution: Angle\nUnits: mb\nData:\n1 1\n", 3, {"energy distributions"}},
      {"Comment: c\n\nDistribution: Sideways\nUnits: mb\nData:\n1 1\n", 3, {"Energy nor Angle"}},
      {"Comment: c\n\nEnfactors: 1, 0, 0.5, 0\nUnits: mb\nData:\n1 1\n",
       3,
       {"Enfactors", "factor 3"}},
      {"Comment: c\n\nEnfactors: -1\nUnits: mb\nData:\n1 1\n", 3, {"must be positive"}},
      {"Comment: c\n\nSigfactors: 1, 0.1\nUnits: mb\nData:\n1 1\n", 3, {"Sigfactors", "second"}},
      {"Comment: c\n\nSigfactors: 0\nUnits: mb\nData:\n1 1\n", 3, {"must be positive"}},
      {"Comment: c\n\nTheta: 200\nUnits: mb\nData:\n1 1\n", 3, {"Theta", "180"}},
      {"Comment: c\n\nZeds: 1, 2.5\nUnits: mb\nData:\n1 1\n", 3, {"atomic number"}},
      {"Comment: c\n\nMasses: 1, 2, 3, 4, 5\nUnits: mb\nData:\n1 1\n", 3, {"at most 4"}},
      {"Comment: c\n\nEnergy units: furlong\nUnits: mb\nData:\n1 1\n", 3, {"keV, MeV"}},
      {"Comment: c\n\nwhat is this\nUnits: mb\nData:\n1 1\n", 3, {"'Key: value'"}},
      {"Comment: c\n\n1000 1\nUnits: mb\nData:\n1 1\n", 3, {"before the Data: line"}},
      {"Comment: c\n\nEndData:\n", 3, {"before any Data:"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      parseR33(c.text, "bad.r33");
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& e) {
      const std::string m = e.what();
      EXPECT_EQ(m.rfind("bad.r33, line " + std::to_string(c.line) + ": ", 0), 0u) << m;
      for (const auto& w : c.words)
        EXPECT_NE(m.find(w), std::string::npos) << "'" << w << "' not in: " << m;
    }
  }
}

TEST(R33File, RefusesFilesItCannotRead) {
  TempFolder folder;
  const auto expectRefused = [](const std::string& path, const std::string& words) {
    try {
      readR33(path);
      ADD_FAILURE() << path << " accepted";
    } catch (const std::invalid_argument& e) {
      const std::string m = e.what();
      EXPECT_NE(m.find(path), std::string::npos) << m;
      EXPECT_NE(m.find(words), std::string::npos) << m;
    }
  };
  expectRefused(folder.path("missing.r33"), "no such file");
  expectRefused(folder.dir(), "folder");
  const std::string big = folder.write("big.r33", kHead + "1 1\n");
  std::filesystem::resize_file(big, 50u * 1024u * 1024u + 1u);  // sparse: no disk written
  expectRefused(big, "50 MB");
  expectRefused(folder.write("nodata.r33", "Comment: x\n"), "line 1");
}

// A reader meets files cut short and damaged: each one is read or refused with
// std::invalid_argument, never anything else.
bool readsOrRefuses(const std::string& text, R33File* out) {
  try {
    *out = parseR33(text, "damaged.r33");
    return true;
  } catch (const std::invalid_argument&) {
    return false;
  } catch (...) {
    ADD_FAILURE() << "an exception other than invalid_argument for:\n" << text;
    return false;
  }
}

TEST(R33File, EveryTruncationIsReadOrRefused) {
  for (const char* file : {"li7pa0n.r33", "non_rutherford_accuracy.r33"}) {
    SCOPED_TRACE(file);
    const std::string text = fixture(file);
    const R33File whole = parseR33(text, file);
    std::size_t accepted = 0;
    for (std::size_t n = 0; n <= text.size(); ++n) {
      R33File f;
      if (!readsOrRefuses(text.substr(0, n), &f)) continue;
      ++accepted;
      // What a cut file gives is the start of the table; only its last row can be cut short.
      ASSERT_LE(f.energyKeV.size(), whole.energyKeV.size()) << n;
      for (std::size_t k = 0; k + 1 < f.energyKeV.size(); ++k) {
        ASSERT_EQ(f.energyKeV[k], whole.energyKeV[k]) << n;
        ASSERT_EQ(f.sigma[k], whole.sigma[k]) << n;
      }
    }
    EXPECT_GT(accepted, 0u);
    EXPECT_LT(accepted, text.size());
  }
}

TEST(R33File, RandomByteDamageIsReadOrRefused) {
  std::mt19937 rng(20260611);
  for (const char* file : {"li7pa0n.r33", "non_rutherford_accuracy.r33"}) {
    const std::string text = fixture(file);
    std::uniform_int_distribution<std::size_t> at(0, text.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255), flips(1, 4);
    int accepted = 0, refused = 0;
    for (int trial = 0; trial < 3000; ++trial) {
      std::string damaged = text;
      for (int k = flips(rng); k > 0; --k) {
        // Half the time a character of the text's own kind, to reach past the first check.
        const char pool[] = "0123456789.,:- \n\reE+aDdN";
        damaged[at(rng)] = trial % 2
                               ? static_cast<char>(byte(rng))
                               : pool[static_cast<std::size_t>(byte(rng)) % (sizeof pool - 1)];
      }
      R33File f;
      (readsOrRefuses(damaged, &f) ? accepted : refused)++;
    }
    EXPECT_GT(accepted, 0) << file;
    EXPECT_GT(refused, 0) << file;
  }
}

// A narrow resonance written as a table of the Breit-Wigner form and read back.
TEST(R33File, BreitWignerTableInterpolatesWithinTheLinearError) {
  const double sigma0 = 250.0, er = 991.88, gamma = 0.1, half = gamma / 2;
  const auto bw = [&](double e) {
    return sigma0 * half * half / ((e - er) * (e - er) + half * half);
  };
  // |sigma''| on an interval is largest at its ends or at an extreme of sigma'' inside it
  // (er and er +- half).
  const auto d2 = [&](double e) {
    const double x = e - er, q = x * x + half * half;
    return std::fabs(sigma0 * half * half * (6 * x * x - 2 * half * half) / (q * q * q));
  };
  const double h = 0.0125, from = er - 10 * gamma;
  const int n = 161;
  std::vector<double> grid;
  std::string text = "Comment: Breit-Wigner\n\nReaction: 27Al(p,g)28Si\nUnits: mb\nData:\n";
  for (int k = 0; k < n; ++k) {
    const double e = from + k * h;
    grid.push_back(e);
    char row[96];
    std::snprintf(row, sizeof row, "%.17g, 0, %.17g, 0\n", e, bw(e));
    text += row;
  }
  text += "EndData:\n";
  TempFolder folder;
  const R33File f = readR33(folder.write("bw.r33", text));
  ASSERT_EQ(f.energyKeV.size(), grid.size());

  for (const double e : grid) {
    bool outside = true;
    EXPECT_EQ(r33Interpolate(f, e, &outside), bw(e)) << e;
    EXPECT_FALSE(outside);
  }
  double worstShare = 0.0;
  for (int k = 0; k + 1 < n; ++k) {
    const double a = grid[k], b = grid[k + 1];
    double most = std::max(d2(a), d2(b));
    for (const double x : {er, er - half, er + half})
      if (x > a && x < b) most = std::max(most, d2(x));
    const double bound = (b - a) * (b - a) / 8 * most + 1e-12 * sigma0;
    for (const double t : {0.1, 0.25, 0.5, 0.75, 0.9}) {
      const double e = a + t * (b - a);
      const double err = std::fabs(r33Interpolate(f, e) - bw(e));
      EXPECT_LE(err, bound) << e;
      worstShare = std::max(worstShare, err / bound);
    }
  }
  // The bound is close to what a straight line between the rows misses near the peak.
  EXPECT_GT(worstShare, 0.5);

  bool outside = false;
  EXPECT_EQ(r33Interpolate(f, grid.front() - 1e-9, &outside), 0.0);
  EXPECT_TRUE(outside);
  EXPECT_EQ(r33Interpolate(f, grid.back() + 1.0, &outside), 0.0);
  EXPECT_TRUE(outside);
  EXPECT_EQ(r33Interpolate(f, grid.back(), &outside), bw(grid.back()));
  EXPECT_FALSE(outside);
  EXPECT_THROW(r33Interpolate(f, std::nan("")), std::invalid_argument);
  EXPECT_THROW(r33Interpolate(R33File{}, er), std::invalid_argument);
}

}  // namespace
}  // namespace tarvex
