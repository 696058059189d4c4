#include "core/numtext.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <locale>
#include <string>
#include <vector>

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

// A windowed program takes its C locale from the system; with German settings printf writes
// ',' decimals. The number text of the controls must not notice.
class UnderCommaLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    savedC_ = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
      GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (scripts/setup.sh generates it)";
    }
    try {
      savedCpp_ = std::locale::global(std::locale("de_DE.UTF-8"));
    } catch (const std::runtime_error&) {
      std::setlocale(LC_ALL, savedC_.c_str());
      GTEST_SKIP() << "the C++ library cannot open the locale de_DE.UTF-8";
    }
    changed_ = true;
    // Make sure the locale really has ',' decimals, or the test proves nothing.
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    ASSERT_STREQ(buf, "1,5");
  }
  void TearDown() override {
    if (!changed_) return;
    std::locale::global(savedCpp_);
    std::setlocale(LC_ALL, savedC_.c_str());
  }

 private:
  std::string savedC_;
  std::locale savedCpp_;
  bool changed_ = false;
};

struct Formatted {
  std::string general, general6, fixed, fixedComma, scientific;
};

Formatted formatAll(double v) {
  return {formatGeneral(v), formatGeneral(v, 6, ','), formatFixed(v, 5, 3),
          formatFixed(v, 5, 3, ','), formatFixed(v, 3, 2)};
}

const std::vector<double>& samples() {
  static const std::vector<double> v = {10.005,  2001 * 0.005, 178.5,    -0.25,  1.5e-6, 1e20,
                                        1.0 / 3, 123456.7,     -9.875e7, 0.0001, 72,     1e-300};
  return v;
}

TEST_F(UnderCommaLocale, FormatsAsInTheCLocale) {
  EXPECT_EQ(formatGeneral(10.005), "10.005");
  EXPECT_EQ(formatGeneral(1.5e-6), "1.5E-6");
  EXPECT_EQ(formatGeneral(10.005, 15, ','), "10,005");
  EXPECT_EQ(formatFixed(95.1234, 6, 3), "95.123");
  EXPECT_EQ(formatFixed(123456.7, 5, 3), "1.2346E+05");
  EXPECT_EQ(formatFixed(1234.5, 5, 1, ','), "1234,5");
  // Every layout of every sample equal to what the "C" locale gives.
  std::vector<Formatted> here;
  for (double v : samples())
    here.push_back(formatAll(v));
  const std::string german = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  for (std::size_t i = 0; i < samples().size(); ++i) {
    const Formatted c = formatAll(samples()[i]);
    EXPECT_EQ(here[i].general, c.general) << samples()[i];
    EXPECT_EQ(here[i].general6, c.general6) << samples()[i];
    EXPECT_EQ(here[i].fixed, c.fixed) << samples()[i];
    EXPECT_EQ(here[i].fixedComma, c.fixedComma) << samples()[i];
    EXPECT_EQ(here[i].scientific, c.scientific) << samples()[i];
  }
  std::setlocale(LC_ALL, german.c_str());
}

TEST_F(UnderCommaLocale, ParsesOnlyTheSessionSeparator) {
  EXPECT_DOUBLE_EQ(parseFloat("548.56"), 548.56);
  EXPECT_DOUBLE_EQ(parseFloat("1,5", ','), 1.5);
  EXPECT_DOUBLE_EQ(parseFloat(" -2.5e-3 "), -2.5e-3);
  EXPECT_THROW(parseFloat("1,5"), ConversionError);
  EXPECT_THROW(parseFloat("1.5", ','), ConversionError);
  EXPECT_EQ(parseInt("-3"), -3);
  EXPECT_THROW(parseInt("1.000"), ConversionError);
  // What is written reads back as the same number.
  for (double v : samples()) {
    EXPECT_EQ(parseFloat(formatGeneral(v, 17)), v) << v;
    EXPECT_EQ(parseFloat(formatGeneral(v, 17, ','), ','), v) << v;
  }
}

}  // namespace
}  // namespace tarvex
