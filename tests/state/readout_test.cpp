#include "state/readout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarvex {
namespace {

TEST(CursorReadout, PanelFormats) {
  struct {
    double value;
    bool energy;
    char sep;
    const char* text;
  } rows[] = {
      {95.123, true, '.', "E: 95.123 keV"},         {95.12349, true, '.', "E: 95.123 keV"},
      {151, true, '.', "E: 151.000 keV"},           {-0.5, true, '.', "E: -0.500 keV"},
      {1683.3, true, ',', "E: 1683,300 keV"},       {1234567.0, true, '.', "E: 1.23457E+06 keV"},
      {1234.5, false, '.', "Counts: 1234.5"},       {0.0, false, '.', "Counts: 0.0"},
      {12.34, false, ',', "Counts: 12,3"},          {-3.04, false, '.', "Counts: -3.0"},
      {123456.0, false, '.', "Counts: 1.2346E+05"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(r.energy ? energyReadout(r.value, r.sep) : countsReadout(r.value, r.sep), r.text)
        << r.value;
  }
}

TEST(CursorReadout, NonFiniteValuesStillFormat) {
  // An empty logarithmic axis can map a pixel to infinity: the panel shows it, nothing throws.
  EXPECT_FALSE(energyReadout(std::numeric_limits<double>::infinity()).empty());
  EXPECT_FALSE(countsReadout(std::nan("")).empty());
}

}  // namespace
}  // namespace tarvex
