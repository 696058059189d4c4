#include "core/poisson_weights.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "core/parallel.h"
#include "core/profile.h"

namespace tarvex {
namespace {

// Costs shaped like the depth weighting's (growing with depth), with zeros and a single spike.
std::vector<double> costPattern(int kind, int items) {
  std::vector<double> c(static_cast<std::size_t>(items), 0.0);
  for (int i = 0; i < items; ++i) {
    const double x = static_cast<double>(i);
    switch (kind) {
      case 0:
        c[i] = 24.0 + 20.0 * std::sqrt(x);
        break;
      case 1:
        c[i] = 1.0;
        break;
      case 2:
        c[i] = (i % 5 == 0) ? 0.0 : 3.0 + (i * 7919 % 13);
        break;
      case 3:
        c[i] = i == items / 2 ? 1e6 : 0.0;
        break;
      default:
        c[i] = 0.0;
        break;
    }
  }
  return c;
}

TEST(SplitByCost, EveryItemInExactlyOneSliceOfAboutEqualCost) {
  for (int kind = 0; kind <= 4; ++kind) {
    for (int items = 0; items <= 70; ++items) {
      const std::vector<double> cost = costPattern(kind, items);
      const double total = std::accumulate(cost.begin(), cost.end(), 0.0);
      const double largest = cost.empty() ? 0.0 : *std::max_element(cost.begin(), cost.end());
      for (int slices = 1; slices <= 16; ++slices) {
        const std::string where = "kind " + std::to_string(kind) + " items " +
                                  std::to_string(items) + " slices " + std::to_string(slices);
        const std::vector<int> b = splitByCost(cost, slices);
        ASSERT_EQ(b.size(), static_cast<std::size_t>(slices) + 1) << where;
        ASSERT_EQ(b.front(), 0) << where;
        ASSERT_EQ(b.back(), items) << where;
        std::vector<int> seen(static_cast<std::size_t>(items), 0);
        for (int s = 0; s < slices; ++s) {
          ASSERT_LE(b[s], b[s + 1]) << where;
          double sliceCost = 0.0;
          for (int i = b[s]; i < b[s + 1]; ++i) {
            ++seen[static_cast<std::size_t>(i)];
            sliceCost += cost[static_cast<std::size_t>(i)];
          }
          EXPECT_LE(sliceCost, total / slices + largest + 1e-9 * total) << where << " slice " << s;
        }
        for (int i = 0; i < items; ++i)
          ASSERT_EQ(seen[static_cast<std::size_t>(i)], 1) << where << " item " << i;
      }
    }
  }
  EXPECT_THROW(splitByCost(std::vector<double>{1.0}, 0), std::invalid_argument);
}

// The weights of every depth group against the single weights (each its own pass, powers and
// factorial in logarithms): groups that start at the surface, depths alone where the means of
// four neighbours differ too much, windows cut off by the end of the table (means far beyond
// the highest collision number), zeros inside groups, lengths that are no multiple of four,
// and a negative rate.
TEST(PoissonWeights, EqualTheSingleWeightsAcrossTheirPaths) {
  struct Case {
    int points;
    double step, a;
    int nmax;
  };
  const Case cases[] = {{4097, 0.005, 51.0, 257}, {1001, 0.01, 7.1, 72}, {403, 1.0, 1.3, 700},
                        {257, 3.0, 2.5, 40},      {2003, 0.05, 0.9, 60}, {90, 0.5, 0.3, 5},
                        {1500, 2.0, 30.0, 1200},  {333, 0.1, -0.05, 30}, {50, 1e-3, 1e-9, 3}};
  for (const Case& c : cases) {
    profile p(c.points * c.step, c.step);
    p.count = c.points;
    p.values.assign(static_cast<std::size_t>(c.points), 0.0);
    for (int i = 0; i < c.points; ++i)
      p.values[i] = (i % 11 == 3 || i % 4 == 1) ? 0.0 : 1.0 + 0.5 * std::sin(0.37 * i);
    const std::vector<double> all = poissonWeights(p.values, p.step, c.nmax, c.a, 1.0);
    ASSERT_EQ(all.size(), static_cast<std::size_t>(c.nmax) + 1);
    double peak = 0.0;
    for (double w : all)
      peak = std::max(peak, std::fabs(w));
    ASSERT_GT(peak, 0.0);
    for (int k = 0; k <= c.nmax; ++k) {
      ASSERT_NEAR(all[k], p.collisionWeight(k, c.a, 1.0), 1e-12 * peak)
          << "points " << c.points << " a " << c.a << " k " << k;
    }
  }
}

// The slices are fixed by the problem, so the weights have the same bits on any number of
// threads.
TEST(PoissonWeights, SameBitsOnAnyNumberOfThreads) {
  profile p(800.0, 0.005);
  for (int i = 0; i < p.count; ++i)
    p.values[i] = 1.0 + 0.3 * std::sin(1e-4 * i);
  const int before = workerThreads();
  setWorkerThreads(1);
  const std::vector<double> one = p.collisionWeights(120, 0.08, 1.0);
  for (int threads : {2, 3, 16}) {
    setWorkerThreads(threads);
    EXPECT_EQ(p.collisionWeights(120, 0.08, 1.0), one) << threads << " threads";
  }
  setWorkerThreads(before);
}

}  // namespace
}  // namespace tarvex
