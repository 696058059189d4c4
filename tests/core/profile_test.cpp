#include "core/profile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace tarvex {
namespace {

profile ramp(int n, double step) {
  profile p(n * step, step);
  p.count = n;
  p.values.assign(n, 0.0);
  for (int i = 0; i < n; ++i)
    p.values[i] = 1.0 + 0.001 * i;
  return p;
}

TEST(Profile, ConstructionAndThickness) {
  const profile d;
  EXPECT_EQ(d.count, 0);
  EXPECT_EQ(d.step, 0.1);
  EXPECT_EQ(d.startDepth, 0.0);

  profile p(10.0, 0.005);
  EXPECT_EQ(p.count, 2000);
  EXPECT_EQ(p.values.size(), 2000u);
  p.setThickness(10.0001);
  EXPECT_EQ(p.count, 2001);
  p.setThickness(-3.0);  // no points rather than a negative count
  EXPECT_EQ(p.count, 0);
  EXPECT_TRUE(p.values.empty());
  EXPECT_THROW(p.setThickness(1e300), std::invalid_argument);
  EXPECT_THROW(profile(10.0, 0.0), std::invalid_argument);

  EXPECT_EQ(defaultProfile().count, 2000);
  EXPECT_EQ(defaultProfile().step, 0.005);
  EXPECT_EQ(defaultProfile().integral(), 0.0);
}

TEST(Profile, SetValueIsSinglePrecisionAndChecked) {
  profile p(1.0, 0.1);
  p.setValue(3, static_cast<float>(0.3));
  EXPECT_EQ(p.values[3], static_cast<double>(0.3f));
  EXPECT_THROW(p.setValue(10, 1.0f), std::out_of_range);
}

TEST(Profile, MovingTheStartDeeperAndBack) {
  const profile original = ramp(2000, 0.005);
  profile p = original;
  p.setStart(2.0);
  EXPECT_EQ(p.count, 2400);
  EXPECT_EQ(p.startDepth, 2.0);
  for (int i = 0; i < 400; ++i)
    ASSERT_EQ(p.values[i], 0.0) << i;
  for (int i = 0; i < 2000; ++i)
    ASSERT_EQ(p.values[i + 400], original.values[i]) << i;

  p.setStart(0.0);
  EXPECT_EQ(p.count, 2000);
  EXPECT_EQ(p.values, original.values);
}

TEST(Profile, StartAtANegativeDepthStaysInsideTheProfile) {
  profile p = ramp(100, 0.1);
  p.setStart(-1.0);
  EXPECT_LE(p.count, 100);
  EXPECT_EQ(static_cast<int>(p.values.size()), p.count);
}

TEST(Profile, DrawLine) {
  profile p(2.0, 0.01);
  p.values[0] = 0.25;
  p.values[100] = 0.5;
  profile q = p;
  p.drawLine(0, 1, 1, 1);
  q.drawLine(1, 1, 0, 1);
  EXPECT_EQ(p.values, q.values);
  EXPECT_EQ(p.values[0], 0.25);  // at the start
  for (int i = 1; i < 100; ++i)
    ASSERT_EQ(p.values[i], 1.0) << i;
  EXPECT_EQ(p.values[100], 0.5);  // the end point itself is not drawn

  profile r(1.0, 0.1);
  r.drawLine(-5.0, -1.0, 50.0, 1.0);  // clamped to [0, 1]; negative part cut to 0
  EXPECT_EQ(r.values[1], 0.0);
  EXPECT_GT(r.values[9], 0.0);
  profile s(1.0, 0.1);
  s.drawLine(NAN, 1.0, 0.5, 1.0);
  EXPECT_EQ(s.integral(), 0.0);
}

TEST(Profile, AddErfc) {
  profile p(4.5, 0.01);
  ASSERT_GE(p.count, 400);
  p.addErfc(1.0, 1.0);
  EXPECT_EQ(p.values[0], 0.0);
  EXPECT_NEAR(p.values[1], 0.98872, 1e-5);
  EXPECT_NEAR(p.values[100], 0.31422, 1e-5);
  EXPECT_NEAR(p.values[290], 0.00088, 1e-5);
  for (int i = 299; i < p.count; ++i)
    ASSERT_EQ(p.values[i], 0.0) << i;

  profile q = p;
  q.subtractErfc(1.0, 1.0);
  for (int i = 0; i < q.count; ++i)
    ASSERT_NEAR(q.values[i], 0.0, 1e-15);
  q.subtractErfc(1.0, 1.0);  // not clamped at zero
  EXPECT_LT(q.values[1], -0.9);

  profile none(1.0, 0.01);
  none.addErfc(1.0, 0.0);
  none.addErfc(1.0, -2.0);
  EXPECT_EQ(none.integral(), 0.0);
}

TEST(Profile, ErfcStepBelowAContaminationLayer) {
  profile p(4.0, 0.01);
  p.setStart(1.0);
  p.addErfc(2.0, 1.0);
  for (int i = 0; i <= 100; ++i)
    ASSERT_EQ(p.values[i], 0.0) << i;
  EXPECT_NEAR(p.values[101], 2 * 0.98872, 2e-5);
}

TEST(Profile, ErfcApprox) {
  EXPECT_NEAR(erfcApprox(0.0), 1.0 - 0.01 / std::sqrt(std::numbers::pi), 1e-15);
  EXPECT_NEAR(erfcApprox(1.0), 0.15344, 1e-5);
  EXPECT_EQ(erfcApprox(-0.5), 1.0);
  EXPECT_EQ(erfcApprox(2.2), 0.0);
  EXPECT_EQ(erfcApprox(1e9), 0.0);
  // The table of partial sums gives exactly what a fresh sum gives.
  for (double x : {0.0031, 0.2, 0.73, 1.5, 2.1, 2.11}) {
    double s = 0.0;
    for (int i = 0; i <= static_cast<int>(std::floor(x / 0.005)); ++i) {
      s += std::exp(-(0.005 * i) * (0.005 * i));
    }
    const double want = std::max(0.0, 1.0 - (2.0 / std::sqrt(std::numbers::pi)) * 0.005 * s);
    EXPECT_EQ(erfcApprox(x), want) << x;
  }
}

TEST(Profile, SmoothAveragesSevenPointsAndKeepsTheEdges) {
  profile p(3.0, 0.1);  // 30 points
  for (int i = 0; i < p.count; ++i)
    p.values[i] = (i % 2) ? 1.0 : 0.0;
  const profile before = p;
  p.smooth(0);
  for (int i = 0; i < 4; ++i)
    ASSERT_EQ(p.values[i], before.values[i]) << i;
  for (int i = p.count - 6; i < p.count; ++i)
    ASSERT_EQ(p.values[i], before.values[i]) << i;
  // Point 4 averages points 1..7: four ones and three zeros.
  EXPECT_DOUBLE_EQ(p.values[4], 4.0 / 7.0);
  EXPECT_DOUBLE_EQ(p.values[5], 3.0 / 7.0);

  profile tiny(1.0, 0.1);  // 10 points: nothing to smooth
  tiny.values[5] = 1.0;
  const profile t0 = tiny;
  tiny.smooth(3);
  EXPECT_EQ(tiny.values, t0.values);
}

TEST(Profile, CollisionWeight) {
  profile p(1.0, 0.1);
  p.values[0] = 1.0;
  EXPECT_DOUBLE_EQ(p.collisionWeight(0, 0.3, 1.0), 1000.0);
  EXPECT_EQ(p.collisionWeight(1, 0.3, 1.0), 0.0);
  EXPECT_EQ(p.collisionWeight(7, 0.3, 1.0), 0.0);
  EXPECT_THROW(p.collisionWeight(-1, 0.3, 1.0), std::invalid_argument);
}

TEST(Profile, CollisionWeightAgreesWithTheDirectPowers) {
  const profile p = ramp(500, 0.02);
  for (int n : {1, 2, 5, 20, 80, 150}) {
    for (double a : {0.05, 1.3, 17.0}) {
      for (double b : {1.0, 0.1}) {
        long double s = 0.0L;
        for (int i = 0; i < p.count; ++i) {
          const long double x = static_cast<long double>(i) * p.step * b;
          s += p.values[i] * std::pow(x, n) * std::exp(-a * b * i * p.step);
        }
        const long double direct =
            1000.0L * (std::pow(static_cast<long double>(a), n) / factorial(n)) * s;
        const double want = static_cast<double>(direct);
        if (!std::isfinite(want) || want < 1e-290) continue;
        EXPECT_NEAR(p.collisionWeight(n, a, b) / want, 1.0, 1e-12)
            << "n " << n << " a " << a << " b " << b;
      }
    }
  }
}

TEST(Profile, CollisionWeightsOfAThickFilmStayFiniteAndSumToThePoissonTotal) {
  // 1 um at 1 A: the direct powers overflow from about n = 1235 on.
  profile p(10000.0, 1.0);
  for (double& v : p.values)
    v = 1.0;
  const double a = 0.1;
  double total = 0.0;
  for (int n = 0; n < 1600; ++n) {
    const double w = p.collisionWeight(n, a, 1.0);
    ASSERT_TRUE(std::isfinite(w)) << n;
    total += w;
  }
  EXPECT_NEAR(total / (1000.0 * p.count), 1.0, 1e-9);
}

TEST(Profile, AllCollisionWeightsAtOnceEqualTheSingleOnes) {
  profile p = ramp(3000, 0.05);
  p.values[17] = 0.0;
  for (double a : {0.02, 0.9, 23.141}) {
    const int nmax = a < 1 ? 60 : 400;
    const std::vector<double> all = p.collisionWeights(nmax, a, 1.0);
    ASSERT_EQ(all.size(), static_cast<std::size_t>(nmax) + 1);
    double peak = 0.0;
    for (double w : all)
      peak = std::max(peak, w);
    for (int n = 0; n <= nmax; ++n) {
      ASSERT_NEAR(all[n], p.collisionWeight(n, a, 1.0), 1e-12 * peak) << "a " << a << " n " << n;
    }
  }
  // A thick film: the Poisson means reach far beyond the extended-precision range of e^-m.
  profile thick(20000.0, 1.0);
  for (double& v : thick.values)
    v = 1.0;
  const std::vector<double> w = thick.collisionWeights(30000, 1.3, 1.0);
  double total = 0.0, peak = 0.0;
  for (double x : w) {
    ASSERT_TRUE(std::isfinite(x));
    total += x;
    peak = std::max(peak, x);
  }
  EXPECT_NEAR(total / (1000.0 * thick.count), 1.0, 1e-9);
  for (int n : {0, 1, 700, 12000, 25000}) {
    EXPECT_NEAR(w[n], thick.collisionWeight(n, 1.3, 1.0), 1e-12 * peak) << n;
  }
}

TEST(Profile, CollisionWeightsOfAnInfiniteRateAreZero) {
  profile p(1.0, 0.1);
  for (double& v : p.values)
    v = 1.0;
  const std::vector<double> w = p.collisionWeights(20, 1e308, 1e10);
  EXPECT_EQ(w[0], 1000.0);  // the surface point, which no path reaches
  for (int n = 1; n <= 20; ++n)
    EXPECT_EQ(w[n], 0.0) << n;
}

TEST(Profile, Factorial) {
  EXPECT_EQ(factorial(-2), 1.0L);
  EXPECT_EQ(factorial(0), 1.0L);
  EXPECT_EQ(factorial(5), 120.0L);
  EXPECT_NEAR(static_cast<double>(factorial(20) / 2432902008176640000.0L), 1.0, 1e-18);
}

}  // namespace
}  // namespace tarvex
