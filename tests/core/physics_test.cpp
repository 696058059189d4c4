#include "core/physics.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarvex {
namespace {

TEST(Physics, BackgroundLine) {
  backgroundLine flat;
  setLine(flat, 0, 5, 1, 5);
  for (double x : {-100.0, 0.0, 0.3, 250.0, 1e6})
    EXPECT_EQ(lineValue(flat, x), 5.0) << x;
  backgroundLine slope;
  setLine(slope, 0, 0, 500, 10);
  EXPECT_DOUBLE_EQ(lineValue(slope, 250), 5.0);
  backgroundLine shifted;
  setLine(shifted, 100, 2, 300, 6);
  EXPECT_DOUBLE_EQ(lineValue(shifted, 200), 4.0);
  backgroundLine degenerate;
  setLine(degenerate, 10, 0, 10, 5);
  EXPECT_FALSE(std::isfinite(lineValue(degenerate, 3)));
}

TEST(Physics, GaussianLossIsANormalisedDensity) {
  for (double x : {0.0, 5.0, 40.0}) {
    double s = 0.0;
    const double de = 0.25;
    for (double e = -2000; e < 4000; e += de)
      s += gaussianLoss(e, 50.0, 30.0, 19.2, x, 10.0) * de;
    EXPECT_NEAR(s, 1.0, 1e-9) << x;
  }
  EXPECT_DOUBLE_EQ(gaussianLoss(10.0, 1.0, 0.0, 2.0, 0.0, 10.0), 1.0 / std::sqrt(2 * M_PI));
}

TEST(Physics, BesselI0AndI1) {
  EXPECT_EQ(besselI0(0), 1.0L);
  EXPECT_EQ(besselI1(0), 0.0L);
  EXPECT_NEAR(static_cast<double>(besselI0(3.75)), 9.11895, 1e-4);
  EXPECT_NEAR(static_cast<double>(besselI1(1)), 0.565159, 1e-6);
  EXPECT_NEAR(static_cast<double>(besselI1(4)), 9.75947, 1e-4);
  EXPECT_EQ(besselI1(-4), -besselI1(4));
  EXPECT_EQ(besselI0(-2.5), besselI0(2.5));
  // Both branches meet at 3.75 within the approximations' accuracy.
  EXPECT_NEAR(static_cast<double>(besselI0(3.7499999) / besselI0(3.75)), 1.0, 1e-6);
  EXPECT_NEAR(static_cast<double>(besselI1(3.7499999) / besselI1(3.75)), 1.0, 1e-6);
  // Large arguments stay finite in extended precision where a double would overflow.
  EXPECT_TRUE(std::isfinite(besselI0(1000.0L)));
}

TEST(Physics, BesselIn) {
  EXPECT_NEAR(static_cast<double>(besselIn(2, 1)), 0.135748, 1e-6);
  EXPECT_EQ(besselIn(3, 0), 0.0L);
  EXPECT_NEAR(static_cast<double>(besselIn(2, -1)), static_cast<double>(besselIn(2, 1)), 1e-15);
  EXPECT_NEAR(static_cast<double>(besselIn(3, -1)), -static_cast<double>(besselIn(3, 1)), 1e-15);
  EXPECT_EQ(besselIn(0, 2), besselI0(2));
  EXPECT_EQ(besselIn(1, 2), besselI1(2));
  // Recurrence I_{n-1} - I_{n+1} = (2n/x) I_n.
  const long double x = 7.5L;
  for (int n = 2; n < 12; ++n) {
    const long double lhs = besselIn(n - 1, x) - besselIn(n + 1, x);
    EXPECT_NEAR(static_cast<double>(lhs / (2.0L * n / x * besselIn(n, x))), 1.0, 1e-5) << n;
  }
  EXPECT_THROW(besselIn(-1, 1.0), std::invalid_argument);
}

TEST(Physics, RutherfordCrossSection) {
  const double at100 = rutherfordCrossSection(0, 120, 1, 22, 1, 48, 100);
  EXPECT_NEAR(at100, 6.0524, 1e-4);
  const double at50 = rutherfordCrossSection(0, 120, 1, 22, 1, 48, 50);
  EXPECT_NEAR(at50 / 4.0, 5.8709, 1e-4);
  EXPECT_LT(at50, 4.0 * at100);
  // No 0.922 factor for a hydrogen target.
  const double h = rutherfordCrossSection(0, 120, 1, 1, 1, 48, 100);
  const double scr = 1.0 + 0.04873 * std::sqrt(2.0) / 100.0;
  const double r = 24.31 * std::pow(14.4 / 100.0 * 0.25, 2) / scr;
  const double s = std::sin(120 * 0.017453292519943295);
  const double w = std::sqrt(1.0 - s * s / (48.0 * 48.0));
  EXPECT_NEAR(h, r * std::pow(-0.5 + w, 2) / (std::pow(s, 4) * w), 1e-12);
  EXPECT_NEAR(rutherfordCrossSection(60, 120, 1, 22, 1, 48, 100), 2.0 * at100, 1e-12);
}

}  // namespace
}  // namespace tarvex
