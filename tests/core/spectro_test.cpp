#include "core/spectro.h"

#include "core/cancel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace tarvex {
namespace {

spectro spike(int n, double step, int bin, double value = 1.0) {
  spectro s(n, step);
  s.values[bin] = value;
  return s;
}

spectro bumpy(int n, double step) {
  spectro s(n, step);
  for (int i = 0; i < n; ++i)
    s.values[i] = 1.0 + std::sin(0.05 * i) + (i % 7 == 0 ? 0.5 : 0.0);
  return s;
}

double maxAbs(const std::vector<double>& v) {
  double m = 0.0;
  for (double x : v)
    m = std::max(m, std::fabs(x));
  return m;
}

void expectClose(const std::vector<double>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size());
  const double tol = 1e-12 * maxAbs(want);
  for (std::size_t i = 0; i < want.size(); ++i)
    ASSERT_NEAR(got[i], want[i], tol) << "bin " << i;
}

// Direct O(n'^2) broadening as the program has always computed it; the test oracle.
std::vector<double> directKernel(const spectro& in, int grown, double (*kernel)(double, double),
                                 double width, double centre) {
  std::vector<double> v = in.values;
  v.resize(grown, 0.0);
  std::vector<double> r(grown, 0.0);
  for (int i = 0; i < grown; ++i) {
    for (int j = 0; j <= i; ++j)
      r[i] += v[j] * kernel((i - j - centre) * in.step, width);
  }
  double s = 0.0;
  for (double x : r)
    s += x;
  const double f = s * in.step / in.integral();
  for (double& x : r)
    x /= f;
  return r;
}

double gaussKernel(double x, double sigma) {
  return std::exp(-0.5 * (x * x) / (sigma * sigma));
}
double lorentzKernel(double x, double gamma) {
  return 1.0 / (x * x + gamma * gamma);
}

TEST(Spectro, ConstructionAndBasicMeasures) {
  const spectro empty;
  EXPECT_TRUE(empty.values.empty());
  EXPECT_EQ(empty.offset, 0.0);
  EXPECT_EQ(empty.step, 1.0);

  spectro s = spike(8, 10.0, 3, 0.5);
  EXPECT_DOUBLE_EQ(s.mean(), 3.0);  // a bin index, not 30
  EXPECT_DOUBLE_EQ(s.secondMoment(), 90.0);
  EXPECT_DOUBLE_EQ(s.integral(), 5.0);
  EXPECT_DOUBLE_EQ(scale(s, 2.0).integral(), 10.0);

  s.offset = 7.0;
  s.clear();
  EXPECT_EQ(s.size(), 8);
  EXPECT_EQ(s.step, 10.0);
  EXPECT_EQ(s.offset, 0.0);
  EXPECT_EQ(s.integral(), 0.0);
}

TEST(Spectro, NormalizeToArea) {
  spectro s = bumpy(50, 2.0);
  s.normalize();
  EXPECT_NEAR(s.integral(), 1.0, 1e-14);
  s.normalize(1000.0);
  EXPECT_NEAR(s.integral(), 1000.0, 1e-10);
}

TEST(Spectro, SetValueStoresSinglePrecisionAndChecksTheIndex) {
  spectro s(3, 1.0);
  s.setValue(1, static_cast<float>(0.1));
  EXPECT_EQ(s.values[1], static_cast<double>(0.1f));
  EXPECT_NE(s.values[1], 0.1);
  EXPECT_THROW(s.setValue(3, 1.0f), std::out_of_range);
  EXPECT_THROW(s.setValue(-1, 1.0f), std::out_of_range);
}

TEST(Spectro, ResizeKeepsTheFrontAndPadsWithZeros) {
  spectro s = bumpy(10, 1.0);
  const double v4 = s.values[4];
  s.resize(5);
  EXPECT_EQ(s.size(), 5);
  s.resize(12);
  EXPECT_EQ(s.values[4], v4);
  EXPECT_EQ(s.values[11], 0.0);
  EXPECT_THROW(s.resize(-1), std::invalid_argument);
}

TEST(Spectro, Interpolate) {
  spectro s(5, 2.0);
  s.values = {1.0, 3.0, 5.0, 7.0, 9.0};
  s.offset = 1.0;  // bin i lies at 2i - 1
  struct {
    double x, want;
  } cases[] = {{-1.0, 1.0}, {0.0, 2.0}, {3.0, 5.0},  {4.0, 6.0}, {5.0, 7.0},  {6.9, 8.9},
               {7.0, 0.0},  {50., 0.0}, {-1.1, 0.0}, {NAN, 0.0}, {1e300, 0.0}};
  for (auto c : cases)
    EXPECT_DOUBLE_EQ(s.interpolate(c.x), c.want) << "x = " << c.x;
}

TEST(Spectro, AddAndConvolveUseTheShorterLengthAndTheRightGrid) {
  spectro a = bumpy(10, 2.0);
  spectro b = bumpy(7, 3.0);
  a.offset = 5.0;
  b.offset = 4.0;
  const spectro sum = add(a, b);
  EXPECT_EQ(sum.size(), 7);
  EXPECT_EQ(sum.step, 3.0);
  EXPECT_EQ(sum.offset, 0.0);
  EXPECT_DOUBLE_EQ(sum.values[6], a.values[6] + b.values[6]);

  const spectro c = convolve(a, b);
  EXPECT_EQ(c.size(), 7);
  EXPECT_EQ(c.step, 3.0);
  EXPECT_EQ(c.offset, 4.0);
  double r3 = 0.0;
  for (int h = 0; h <= 3; ++h)
    r3 += a.values[h] * b.values[3 - h];
  EXPECT_NEAR(c.values[3], a.step * r3, 1e-12 * c.values[3]);
}

TEST(Spectro, ConvolutionOfUnitAreasHasUnitArea) {
  spectro one(1241, 4.02999);
  one.makeSingleCollision(1241, 4.02999, 5.7571, 328.948);
  spectro k = one;
  for (int n = 2; n <= 10; ++n) {
    k = convolve(one, k);
    EXPECT_NEAR(k.integral(), 1.0, 1e-12) << n << " collisions";
  }
}

TEST(Spectro, GaussianBroadeningKeepsAreaAndPeakAbscissa) {
  const double step = 4.0, fwhm = 100.0;
  const spectro in = spike(200, step, 20, 3.0);
  spectro s = in;
  s.broadenGaussian(fwhm);
  const double sigma = fwhm * 0.4246645150331238;
  EXPECT_EQ(s.size(), 200 + static_cast<int>(std::ceil(8 * sigma / step)));
  EXPECT_DOUBLE_EQ(s.offset, 4 * sigma);
  EXPECT_NEAR(s.integral(), in.integral(), 1e-12);
  const int peak =
      static_cast<int>(std::max_element(s.values.begin(), s.values.end()) - s.values.begin());
  EXPECT_EQ(peak, static_cast<int>(std::lround(20 + 4 * sigma / step)));
  EXPECT_NEAR(peak * step - s.offset, 20 * step, step);
  expectClose(s.values, directKernel(in, s.size(), gaussKernel, sigma, 4 * sigma / step));
}

TEST(Spectro, KernelBroadeningsEqualTheDirectSums) {
  const spectro in = bumpy(400, 4.0);
  spectro g = in;
  g.broadenGaussian(100.0);
  const double sigma = 100.0 * 0.4246645150331238;
  expectClose(g.values, directKernel(in, g.size(), gaussKernel, sigma, 4 * sigma / 4.0));

  spectro l = in;
  l.broadenLorentzian(25.0);
  EXPECT_EQ(l.size(), 400 + 125);
  EXPECT_DOUBLE_EQ(l.offset, 250.0);
  expectClose(l.values, directKernel(in, l.size(), lorentzKernel, 25.0, 10 * 25.0 / 4.0));

  spectro e = in;
  e.offset = 3.0;
  e.convolveExponential(0.01);
  EXPECT_EQ(e.size(), in.size());
  EXPECT_EQ(e.offset, 3.0);
  std::vector<double> want(in.values.size());
  const double ls = 0.01 * in.step;
  for (std::size_t i = 0; i < want.size(); ++i) {
    for (std::size_t k = 0; k <= i; ++k) {
      want[i] += ls * in.values[k] * std::exp(-ls * static_cast<double>(i - k));
    }
  }
  double s = 0.0;
  for (double x : want)
    s += x;
  for (double& x : want)
    x /= s * in.step / in.integral();
  expectClose(e.values, want);
}

// Each broadening gives the same bits whatever ran before it on the thread (the transform
// buffers it shares with every convolution are filled anew), and a broadening of another curve
// run by a window event while the first one looks for a stop leaves the first one's transforms
// alone.
TEST(Spectro, BroadeningsGiveTheSameBitsAfterOthersAndInsideOthers) {
  const auto bits = [](const spectro& s) {
    std::vector<std::uint64_t> b;
    for (double x : s.values)
      b.push_back(std::bit_cast<std::uint64_t>(x));
    return b;
  };
  const auto broadened = [](spectro s) {
    s.broadenGaussian(100.0);
    s.broadenLorentzian(25.0);
    s.convolveExponential(0.01);
    return s;
  };
  const spectro small = bumpy(400, 4.0), large = bumpy(5000, 1.5);
  const spectro smallAlone = broadened(small);
  const spectro largeAlone = broadened(large);
  EXPECT_EQ(bits(broadened(small)), bits(smallAlone));  // after the larger curve's broadenings

  struct Served {
    const spectro* curve = nullptr;
    spectro result;
    int calls = 0;
  } served{&small, {}, 0};
  spectro got;
  {
    const EventPumpScope pump(
        [](void* context) {
          auto* s = static_cast<Served*>(context);
          // The Gaussian's third stop check lies between the transforms of its convolution
          // (the first is in the kernel's table, the second at the convolution's start).
          if (++s->calls == 3) {
            spectro c = *s->curve;
            c.broadenGaussian(300.0);
            s->result = c;
          }
        },
        &served);
    got = broadened(large);
  }
  ASSERT_GE(served.calls, 3);
  spectro smallGaussian = small;
  smallGaussian.broadenGaussian(300.0);
  EXPECT_EQ(bits(served.result), bits(smallGaussian));
  EXPECT_EQ(bits(got), bits(largeAlone));
  EXPECT_EQ(bits(broadened(small)), bits(smallAlone));
}

TEST(Spectro, LorentzianOfHalfAStepGrowsTenBins) {
  spectro s = spike(30, 2.0, 5);
  s.broadenLorentzian(1.0);
  EXPECT_EQ(s.size(), 40);
}

TEST(Spectro, ZeroWidthLeavesTheDistributionUnchanged) {
  const spectro in = bumpy(100, 4.0);
  spectro g = in, l = in;
  g.broadenGaussian(0.0);
  l.broadenLorentzian(0.0);
  EXPECT_EQ(g.values, in.values);
  EXPECT_EQ(l.values, in.values);
  EXPECT_EQ(g.offset, 0.0);
  EXPECT_THROW(g.broadenGaussian(-1.0), std::invalid_argument);
  EXPECT_THROW(l.broadenLorentzian(NAN), std::invalid_argument);
  spectro zeroStep = in;
  zeroStep.step = 0.0;
  EXPECT_THROW(zeroStep.broadenGaussian(10.0), std::invalid_argument);
}

TEST(Spectro, SingleCollisionDistribution) {
  spectro s(600, 10.0);
  s.makeSingleCollision(600, 10.0, 0.5, 5000.0);
  EXPECT_NEAR(s.integral(), 1.0, 1e-14);
  for (int i = 0; i <= 500; ++i) {
    ASSERT_GT(s.values[i], 0.0) << i;
    if (i > 0) {
      ASSERT_LT(s.values[i], s.values[i - 1]) << i;
    }
  }
  for (int i = 501; i < 600; ++i)
    ASSERT_EQ(s.values[i], 0.0) << i;
  // Bin 500 reaches exactly up to Emax: half a bin of 1/E^2 above 4995 eV.
  const double area = (1.0 / 0.5 - 1.0 / 5000.0);
  EXPECT_NEAR(s.values[500] * area, (1.0 / 4995.0 - 1.0 / 5000.0) / 10.0, 1e-15);
  EXPECT_NEAR(s.values[0] * area, (1.0 / 0.5 - 1.0 / 5.0) / 10.0, 1e-12);
}

TEST(Spectro, SingleCollisionEdgesOfTheResonantNraTable) {
  spectro s(1241, 4.02999);
  s.makeSingleCollision(1241, 4.02999, 5.7571, 328.948);
  EXPECT_EQ(s.values[0], 0.0);
  EXPECT_GT(s.values[1], 0.0);   // bin 1 partly covered from Emin
  EXPECT_GT(s.values[82], 0.0);  // bin 82 partly covered up to Emax
  EXPECT_EQ(s.values[83], 0.0);
  // The density integrates to 1 over [Emin, Emax]: each bin holds its exact 1/E^2 share.
  const double norm = 1.0 / 5.7571 - 1.0 / 328.948;
  EXPECT_NEAR(s.values[40] * norm, (1 / 39.5 - 1 / 40.5) / (4.02999 * 4.02999), 1e-15);
}

TEST(Spectro, SingleCollisionRefusesWhatWouldLeaveTheGrid) {
  spectro s(10, 10.0);
  EXPECT_THROW(s.makeSingleCollision(501, 10.0, 0.5, 5000.0), std::invalid_argument);
  EXPECT_THROW(s.makeSingleCollision(600, 10.0, 0.0, 5000.0), std::invalid_argument);
  EXPECT_THROW(s.makeSingleCollision(600, 10.0, 21.0, 24.0), std::invalid_argument);
  EXPECT_THROW(s.makeSingleCollision(600, 0.0, 1.0, 50.0), std::invalid_argument);
  EXPECT_EQ(s.size(), 10);  // unchanged after a refusal
  s.makeSingleCollision(502, 10.0, 0.5, 5000.0);
  EXPECT_EQ(s.size(), 502);
}

}  // namespace
}  // namespace tarvex
