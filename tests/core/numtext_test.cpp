#include "core/numtext.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarvex {
namespace {

TEST(NumberText, ParsesWhatAUserTypes) {
  struct {
    const char* text;
    char sep;
    double want;
  } cases[] = {{"151", '.', 151.0}, {"548.56", '.', 548.56}, {" -2.5e-3 ", '.', -2.5e-3},
               {"+.5", '.', 0.5},   {"5.", '.', 5.0},        {"2.8e22", '.', 2.8e22},
               {"1,5", ',', 1.5},   {"1E5", '.', 1e5},       {"1e-400", '.', 0.0}};
  for (auto c : cases)
    EXPECT_DOUBLE_EQ(parseFloat(c.text, c.sep), c.want) << c.text;
}

TEST(NumberText, RefusesWithTheUserMessage) {
  for (const char* bad :
       {"", " ", "abc", "1.2.3", "1,5", "e5", "1e", "--1", "nan", "inf", "0x10", "1e999", "5 6"}) {
    try {
      parseFloat(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const ConversionError& e) {
      EXPECT_EQ(std::string(e.what()),
                "'" + std::string(bad) + "' is not a valid floating point value");
    }
  }
  EXPECT_THROW(parseFloat("1.5", ','), ConversionError);
}

TEST(NumberText, Integers) {
  EXPECT_EQ(parseInt("72"), 72);
  EXPECT_EQ(parseInt(" -3 "), -3);
  EXPECT_EQ(parseInt("+8"), 8);
  for (const char* bad : {"7.5", "", "x", "99999999999", "+-1", "1e2"}) {
    try {
      parseInt(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const ConversionError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(bad) + "' is not a valid integer value");
    }
  }
}

TEST(NumberText, GeneralFormat) {
  struct {
    double value;
    const char* want;
  } cases[] = {{72, "72"},
               {178.5, "178.5"},
               {216.8, "216.8"},
               {2001 * 0.005, "10.005"},
               {0.1 + 0.2, "0.3"},
               {0, "0"},
               {-0.25, "-0.25"},
               {1e-5, "0.00001"},
               {1.5e-6, "1.5E-6"},
               {1e20, "1E20"},
               {123456789012345678.0, "1.23456789012346E17"},
               {100000000000000.0, "100000000000000"},
               {1.0 / 3.0, "0.333333333333333"}};
  for (auto c : cases)
    EXPECT_EQ(formatGeneral(c.value), c.want) << c.value;
  EXPECT_EQ(formatGeneral(10.005, 15, ','), "10,005");
}

TEST(NumberText, FixedFormat) {
  EXPECT_EQ(formatFixed(10.0, 5, 3), "10.000");
  EXPECT_EQ(formatFixed(0.12345, 5, 3), "0.123");
  EXPECT_EQ(formatFixed(95.1234, 6, 3), "95.123");
  EXPECT_EQ(formatFixed(1234.5, 5, 1, ','), "1234,5");
  EXPECT_EQ(formatFixed(123456.7, 5, 3), "1.2346E+05");
}

}  // namespace
}  // namespace tarvex
