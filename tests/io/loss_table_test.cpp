#include "io/loss_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace tarvex {
namespace {

using testing::TempFolder;

spectro readText(const std::string& text, int bins) {
  spectro t(bins, 1.0);
  std::istringstream in(text);
  readLossTable(in, t);
  return t;
}

TEST(LossTable, ReadsByTheIndexRule) {
  struct {
    const char* text;
    std::vector<double> want;
  } cases[] = {{"3 0.5\n  1\t0.1\n3 2.5e-1\n", {0, 0.1f, 0, 0.25, 0}},
               {"4 1\n1 2\n", {0, 0, 0, 0, 1}},       // index n-1 first: nothing after it
               {"3 3\n2 2\n1 1\n", {0, 1, 2, 3, 0}},  // descending, all read
               {"1 1\n9 9\n2 2\n", {0, 1, 0, 0, 0}},  // past the grid: not stored, ends
               {"12.5 3\n", {0, 0, 0, 0, 0}},         // index 12, value 0.5, then index 3
               {"1.5 3 2\n", {0, 0.5, 0, 2, 0}},      // index 1 value .5; index 3 value 2
               {"1 1\nx 2\n2 2\n", {0, 1, 0, 0, 0}},  // a word ends the data
               {"1 1,5 2 2\n", {0, 1, 0, 0, 0}},      // a comma too
               {"-1 7 2 2", {0, 0, 2, 0, 0}},         // negative index not stored
               {"\xEF\xBB\xBF"
                "1 1\r\n2 2\r\n",
                {0, 1, 2, 0, 0}},                  // byte-order mark and CR LF
               {"1 1e-400 2 2", {0, 0, 2, 0, 0}},  // an underflow is zero
               {"", {0, 0, 0, 0, 0}},
               {"2", {0, 0, 0, 0, 0}}};  // an index without a value
  for (const auto& c : cases) {
    EXPECT_EQ(readText(c.text, 5).values, c.want) << c.text;
  }
  spectro t(5, 1.0);
  std::istringstream in("1 0.1");
  readLossTable(in, t);
  EXPECT_EQ(t.values[1], static_cast<double>(0.1f));  // single precision: 0.100000001490116
}

// What the report says about a file: counts, the line of the first pair not used and the
// words of the notice.
TEST(LossTable, ReportsEveryPairItDoesNotUse) {
  struct {
    const char* text;
    long long stored, notUsed, firstLine;
    const char* noticeHas;  // "" for no notice
  } cases[] = {
      {"0 1\n1 2\n2 3\n3 4\n4 5\n", 5, 0, 0, ""},  // follows the rule
      {"0 1\n1 2\n", 2, 0, 0, ""},
      {"4 5\n0 1\n1 2\n", 1, 2, 2, "index 4 on line 1 ended the table"},  // unsorted
      {"0 1\n7 2\n1 3\n2 4\n", 1, 3, 2, "index 7 lies beyond the grid 0 to 4"},
      {"0 1\n-2 5\n1 1\n", 2, 1, 2, "index -2 is negative"},
      {"1 1\n2 2\n1 3\n", 2, 1, 1, "index 1 is given again on line 3"},
      {"Loss Value\n1 1\n", 0, 0, 0, "line 1: 'Loss' is not a number"},
      {"1 1\n2 x\n3 3\n", 1, 1, 2, "'x' is not a number"},
      {"1 1\n2", 1, 1, 2, "index 2 has no value"},
      {"0 1\n9 1e300\n", 1, 1, 2, "not finite"},  // out of the grid: not used, not refused
  };
  for (const auto& c : cases) {
    spectro t(5, 1.0);
    const LossTableRead r = readLossTableText(c.text, "cs.dat", t);
    EXPECT_TRUE(r.ok()) << c.text;
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.stored, c.stored) << c.text;
    EXPECT_EQ(r.notUsed, c.notUsed) << c.text;
    EXPECT_EQ(r.firstUnusedLine, c.firstLine) << c.text;
    if (*c.noticeHas == '\0') {
      EXPECT_EQ(r.notice, "") << c.text;
    } else {
      EXPECT_NE(r.notice.find(c.noticeHas), std::string::npos) << c.text << " -> " << r.notice;
      EXPECT_EQ(r.notice.rfind("\"cs.dat\"", 0), 0u) << r.notice;
    }
  }
}

// A table of one bin (the spectrum it would correct is not calculated yet) holds no pair, and
// the notice says so instead of naming an index that ended nothing.
TEST(LossTable, ATableOfOneBinHoldsNoPair) {
  spectro one(1, 1.0);
  const LossTableRead r = readLossTableText("0 1\n1 2\n", "cs.dat", one);
  EXPECT_EQ(r.stored, 0);
  EXPECT_EQ(r.notUsed, 2);
  EXPECT_NE(r.notice.find("a table of 1 bin holds no pair"), std::string::npos) << r.notice;
}

// The same pairs shuffled no longer give a silently shorter table: the report counts what the
// reading rule left out.
TEST(LossTable, AShuffledTableSaysHowMuchWasLeftOut) {
  std::string sorted, shuffled;
  for (int i = 0; i < 100; ++i)
    sorted += std::to_string(i) + " 1\n";
  for (int i = 0; i < 100; ++i)
    shuffled += std::to_string((i * 37) % 100) + " 1\n";
  spectro a(100, 1.0), b(100, 1.0);
  const LossTableRead ra = readLossTableText(sorted, "a", a);
  const LossTableRead rb = readLossTableText(shuffled, "b", b);
  EXPECT_EQ(ra.stored, 100);
  EXPECT_EQ(ra.notice, "");
  EXPECT_EQ(rb.stored + rb.notUsed, 100);
  EXPECT_LT(rb.stored, 100);
  EXPECT_EQ(b.integral(), static_cast<double>(rb.stored));
  EXPECT_NE(rb.notice.find(std::to_string(rb.notUsed) + " pairs not used"), std::string::npos);
}

// Values that are not finite in single precision refuse the file: the message names the file
// and the line, and the table is as it was.
TEST(LossTable, RefusesValuesNotFiniteInSinglePrecision) {
  const char* cases[] = {"1 1\n2 1e300\n", "1 1\n2 1e39\n",  "1 1\n2 -3.5e38\n", "1 1\n2 nan\n",
                         "1 1\n2 -Inf\n",  "1 1\n2 1e400\n", "1 1\n2 INFINITY\n"};
  for (const char* text : cases) {
    spectro t(5, 1.0);
    t.values[4] = 7.0;
    const LossTableRead r = readLossTableText(text, "scc.dat", t);
    EXPECT_FALSE(r.ok()) << text;
    EXPECT_NE(r.error.find("\"scc.dat\", line 2"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("not finite in single precision"), std::string::npos) << r.error;
    EXPECT_EQ(t.values, (std::vector<double>{0, 0, 0, 0, 7})) << text;
    EXPECT_EQ(r.stored, 0);
  }
  spectro t(5, 1.0);
  EXPECT_TRUE(readLossTableText("1 3.4028234e38\n", "x", t).ok());  // the largest float
  EXPECT_EQ(t.values[1], 3.4028234663852886e38);
}

TEST(LossTable, AFileThatCannotBeOpenedSaysSoWithItsName) {
  TempFolder tmp;
  for (const std::string& file : {tmp.path("missing.dat"), tmp.dir()}) {
    spectro t(5, 1.0);
    t.values[2] = 7;
    const LossTableRead r = readLossTableReport(file, t);
    EXPECT_FALSE(r.opened);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.error, "Cannot open \"" + file + "\"");
    EXPECT_EQ(t.values[2], 7.0);
    readLossTable(file, t);  // the old form too
    EXPECT_EQ(t.values[2], 7.0);
  }
  spectro t(10, 1.0);
  const LossTableRead r = readLossTableReport(tmp.write("cs.dat", "10 1e-16\n3 1\n"), t);
  EXPECT_TRUE(r.opened);
  EXPECT_EQ(r.stored, 0);
  EXPECT_EQ(r.notUsed, 2);
  EXPECT_EQ(r.notice.rfind(
                std::string("\"").append(tmp.path("cs.dat")).append("\": 2 pairs not used"), 0),
            0u)
      << r.notice;
}

TEST(LossTable, MomentsOfTheSccExample) {
  spectro t(5000, 1.0);
  ASSERT_TRUE(readLossTableText("0 0.25\n1 0.5\n2 0.25\n", "scc", t).ok());
  const LossMoments m = lossMoments(t);
  EXPECT_DOUBLE_EQ(m.first, 1.0);
  EXPECT_DOUBLE_EQ(m.second, 1.5);
  spectro cs(5000, 1.0);
  ASSERT_TRUE(readLossTableText("10 1e-16\n", "cs", cs).ok());
  EXPECT_EQ(cs.values[10], static_cast<double>(1e-16f));
  EXPECT_DOUBLE_EQ(lossMoments(cs).first * 2.8e22 * 1e-7, 10 * 2.8e22 * 1e-7 * 1e-16f);
}

}  // namespace
}  // namespace tarvex
