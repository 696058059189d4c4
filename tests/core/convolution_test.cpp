#include "core/convolution.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace tarvex {
namespace {

std::vector<double> naive(const std::vector<double>& a, const std::vector<double>& b,
                          std::size_t n) {
  std::vector<double> r(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    double s = 0.0;
    for (std::size_t h = 0; h <= i; ++h) {
      if (h < a.size() && i - h < b.size()) s += a[h] * b[i - h];
    }
    r[i] = s;
  }
  return r;
}

// Non-zero on [lo, hi), zero elsewhere, n long.
std::vector<double> block(std::size_t n, std::size_t lo, std::size_t hi, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(0.1, 1.0);
  std::vector<double> v(n, 0.0);
  for (std::size_t i = lo; i < hi && i < n; ++i)
    v[i] = u(gen);
  return v;
}

double maxAbs(const std::vector<double>& v) {
  double m = 0.0;
  for (double x : v)
    m = std::max(m, std::fabs(x));
  return m;
}

struct Case {
  const char* name;
  std::size_t na, alo, ahi, nb, blo, bhi, nout;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class ConvolutionCases : public ::testing::TestWithParam<Case> {};

TEST_P(ConvolutionCases, EveryPathEqualsTheDirectSum) {
  const Case c = GetParam();
  const auto a = block(c.na, c.alo, c.ahi, 1);
  const auto b = block(c.nb, c.blo, c.bhi, 2);
  const auto ref = naive(a, b, c.nout);
  const double tol = 1e-12 * std::max(maxAbs(ref), 1e-300);
  using Fn = void (*)(std::span<const double>, std::span<const double>, std::span<double>);
  for (Fn fn : {Fn{causalConvolve}, Fn{causalConvolveDirect}, Fn{causalConvolveFft}}) {
    std::vector<double> out(c.nout, 123.0);
    fn(a, b, out);
    for (std::size_t i = 0; i < c.nout; ++i) {
      ASSERT_NEAR(out[i], ref[i], tol) << c.name << " bin " << i;
      // Where the direct sum is exactly zero the fast paths must be too.
      if (ref[i] == 0.0) {
        ASSERT_EQ(out[i], 0.0) << c.name << " bin " << i;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Supports, ConvolutionCases,
    ::testing::Values(Case{"dense", 300, 0, 300, 300, 0, 300, 300},
                      Case{"narrowLeft", 1241, 1, 83, 1241, 5, 900, 1241},
                      Case{"narrowRight", 1241, 5, 900, 1241, 1, 83, 1241},
                      Case{"supportPastEnd", 500, 200, 500, 500, 250, 500, 500},
                      Case{"beyondOutput", 400, 390, 400, 400, 20, 30, 400},
                      Case{"shorterOperands", 50, 0, 50, 70, 10, 70, 200},
                      Case{"emptyLeft", 100, 0, 0, 100, 0, 100, 100},
                      Case{"singleBins", 64, 7, 8, 64, 9, 10, 64},
                      Case{"largeFft", 5000, 0, 5000, 5000, 0, 5000, 5000}),
    [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

TEST(Convolution, EmptyOutputIsFine) {
  std::vector<double> a{1, 2, 3};
  std::vector<double> out;
  causalConvolve(a, a, out);
  SUCCEED();
}

TEST(Convolution, RepeatedFftConvolutionsStayWithinTolerance) {
  // A chain of n-fold distributions, as the collision tables build them, on a grid that holds
  // their whole support.
  std::vector<double> one = block(2048, 3, 60, 5);
  double area = 0.0;
  for (double v : one)
    area += v;
  for (double& v : one)
    v /= area;
  std::vector<double> fast = one, slow = one;
  for (int k = 0; k < 30; ++k) {
    std::vector<double> f(2048), s(2048);
    causalConvolveFft(one, fast, f);
    causalConvolveDirect(one, slow, s);
    fast.swap(f);
    slow.swap(s);
  }
  const double tol = 1e-12 * maxAbs(slow);
  for (std::size_t i = 0; i < slow.size(); ++i)
    ASSERT_NEAR(fast[i], slow[i], tol) << i;
}

}  // namespace
}  // namespace tarvex
