#include "core/convolution.h"

#include "core/cancel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <thread>
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

// The bit patterns, so that signed zeros and the payloads of non-numbers count too.
std::vector<std::uint64_t> bitsOf(const std::vector<double>& v) {
  std::vector<std::uint64_t> b;
  for (double x : v)
    b.push_back(std::bit_cast<std::uint64_t>(x));
  return b;
}

// The new vector a table row is built as holds the very bits of the convolution into a buffer,
// on every path and with every kind of factor (negative ones turn the zeros' sign, infinite ones
// turn them into non-numbers).
TEST_P(ConvolutionCases, ANewVectorHoldsTheBitsOfTheConvolutionIntoABuffer) {
  const Case c = GetParam();
  const auto a = block(c.na, c.alo, c.ahi, 1);
  const auto b = block(c.nb, c.blo, c.bhi, 2);
  for (const double factor : {1.0, 4.02999, -2.5, 0.0, std::numeric_limits<double>::infinity()}) {
    std::vector<double> out(c.nout, 123.0);
    causalConvolve(a, b, out, factor);
    EXPECT_EQ(bitsOf(causalConvolution(a, b, c.nout, factor)), bitsOf(out))
        << c.name << ", factor " << factor;
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
                      Case{"largeFft", 5000, 0, 5000, 5000, 0, 5000, 5000},
                      Case{"threeTimesPowerOfTwo", 700, 0, 700, 700, 0, 60, 700},
                      Case{"oddProduct", 333, 0, 333, 333, 0, 333, 333},
                      Case{"threeOutputs", 2, 0, 2, 2, 0, 2, 3},
                      Case{"twoOutputs", 2, 0, 2, 1, 0, 1, 2}),
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

// The transform of an operand seen in the previous convolution is reused: the results must be
// the very bits of a fresh transform, whichever side the operand is on.
TEST(Convolution, AReusedTransformGivesTheSameBits) {
  const std::vector<double> one = block(4000, 3, 90, 7);
  const std::vector<double> x = block(4000, 10, 3000, 8);
  const std::vector<double> y = block(4000, 40, 3500, 9);
  const auto run = [](const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> out(4000);
    causalConvolveFft(a, b, out);
    return out;
  };
  const std::vector<double> fresh = run(x, one);  // nothing of `one` kept yet on this side
  run(one, y);                                    // keeps the transform of `one`
  EXPECT_EQ(run(one, x), fresh);
  EXPECT_EQ(run(x, one), fresh);
}

// Transform sizes of every form the plans come in (powers of two, 5 and 25 times a power of
// two), planned for the first time from two threads at once: each thread's results equal the
// direct sum and, bit for bit, those of the same convolutions run alone.
TEST(Convolution, PlansOfEverySizeShareAcrossThreads) {
  // Product lengths just below 2^k, 5*2^k and 25*2^k, and just above (the next size up).
  const std::vector<std::size_t> lengths = {255, 257, 319, 321, 399, 401, 1023, 1279, 1599, 3199};
  const auto convolveAll = [&] {
    std::vector<std::vector<double>> results;
    for (std::size_t len : lengths) {
      const std::size_t la = len / 3, lb = len + 1 - la;
      const auto a = block(la, 0, la, 11), b = block(lb, 0, lb, 12);
      std::vector<double> out(len);
      causalConvolveFft(a, b, out);
      results.push_back(out);
    }
    return results;
  };
  std::vector<std::vector<double>> first, second;
  std::thread t1([&] { first = convolveAll(); });
  std::thread t2([&] { second = convolveAll(); });
  t1.join();
  t2.join();
  const auto alone = convolveAll();
  EXPECT_EQ(first, alone);
  EXPECT_EQ(second, alone);
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    const std::size_t len = lengths[i], la = len / 3, lb = len + 1 - la;
    const auto ref = naive(block(la, 0, la, 11), block(lb, 0, lb, 12), len);
    const double tol = 1e-12 * maxAbs(ref);
    for (std::size_t k = 0; k < len; ++k)
      ASSERT_NEAR(alone[i][k], ref[k], tol) << "length " << len << " bin " << k;
  }
}

// A window event served while a convolution looks for a stop may run a convolution of its own on
// the same thread: each gets the very sums it gets alone. The stop checks looked at are those
// inside the work: within a long direct sum (a short operand against a long one, checked every
// million multiply-adds) and between the transforms of an FFT.
TEST(Convolution, AConvolutionRunWhileAnotherLooksForAStopLeavesItsBuffersAlone) {
  struct Pair {
    const char* name;
    std::vector<double> a, b;
  };
  const std::vector<Pair> outer = {
      {"long direct sum", block(200000, 0, 20, 21), block(200000, 0, 200000, 22)},
      {"FFT", block(5000, 0, 5000, 24), block(5000, 3, 4000, 25)}};
  const std::vector<Pair> inner = {{"direct sum", block(3000, 5, 2900, 23), block(3000, 0, 20, 21)},
                                   {"FFT", block(4000, 0, 4000, 26), block(4000, 0, 3900, 27)}};
  for (const Pair& o : outer) {
    for (const Pair& i : inner) {
      for (const bool intoBuffer : {false, true}) {
        const auto convolve = [intoBuffer](const Pair& p) {
          if (!intoBuffer) return causalConvolution(p.a, p.b, p.a.size());
          std::vector<double> out(p.a.size());
          causalConvolve(p.a, p.b, out);
          return out;
        };
        const std::vector<double> outerAlone = convolve(o);
        const std::vector<double> innerAlone = convolve(i);
        struct Served {
          std::function<void()> work;
          int calls = 0;
        } served;
        std::vector<double> innerServed;
        served.work = [&] { innerServed = convolve(i); };
        std::vector<double> got;
        {
          const EventPumpScope pump(
              [](void* context) {
                auto* s = static_cast<Served*>(context);
                // The first check is at the start; the second lies inside the work.
                if (++s->calls == 2) s->work();
              },
              &served);
          got = convolve(o);
        }
        const std::string what = std::string(i.name) + " inside " + o.name +
                                 (intoBuffer ? ", into a buffer" : ", into a new vector");
        ASSERT_GE(served.calls, 2) << what;
        EXPECT_EQ(bitsOf(innerServed), bitsOf(innerAlone)) << what;
        EXPECT_EQ(bitsOf(got), bitsOf(outerAlone)) << what;
      }
    }
  }
}

}  // namespace
}  // namespace tarvex
