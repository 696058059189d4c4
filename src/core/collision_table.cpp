#include "core/collision_table.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <stop_token>
#include <system_error>
#include <thread>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "core/cancel.h"
#include "core/convolution.h"
#include "core/limits.h"
#include "core/numtext.h"
#include "core/parallel.h"
#include "core/physics.h"

namespace tarvex {

double maxElectronTransfer(double e0, double m1) {
  return 4.0 / m1 * e0 * 0.54461699;
}

CollisionRange solveCollisionRange(double emax, double d, double s, int iterations) {
  CollisionRange r;
  r.emax = emax;
  r.emin = r.emax * std::exp(-r.emax * d / s);
  for (int i = 0; i < iterations; ++i)
    r.emin = r.emax * std::exp((r.emin - r.emax) * d / s);
  r.mean = std::log(r.emax / r.emin) * r.emin * r.emax / (r.emax - r.emin);
  return r;
}

double singleLossDeviation(const CollisionRange& r) {
  return std::sqrt(r.emin * r.emax - r.mean * r.mean);
}

CollisionGrid autoCollisionGrid(const CollisionRange& r, double lossKeV, double maxStep) {
  CollisionGrid g;
  g.step = 0.7 * r.emin;
  if (g.step > maxStep) g.step = maxStep;
  g.nc = std::trunc(std::ceil((30.0 * singleLossDeviation(r) + 1000.0 * lossKeV) / r.mean));
  g.bins = std::trunc(std::ceil(1000.0 * lossKeV / g.step));
  return g;
}

bool autoGridWritable(const CollisionGrid& g) {
  return std::isfinite(g.step) && g.step > 0.0 && std::isfinite(g.nc) && g.nc >= 1.0 &&
         std::isfinite(g.bins) && g.bins >= 1.0;
}

std::string collisionGridRefusal(const CollisionGrid& g, double emax, double copies,
                                 const std::string& sizeFields, char sep) {
  const auto text = [sep](double v, int digits = 15) { return formatGeneral(v, digits, sep); };
  if (!(g.bins * g.step >= emax)) return "Error! Check parameters!";
  if (!(std::isfinite(g.step) && g.step > 0.0)) {
    return "Step size (eV): " + text(g.step) + " must be a positive number of eV";
  }
  if (g.nc < 1.0) return "# Convolutions: " + text(g.nc) + " must be at least 1";
  // The single-collision distribution reaches the bin after emax.
  const double needed = std::floor(emax / g.step) + 2.0;
  if (g.bins < needed) {
    return "Vector size: " + text(g.bins) + " bins of " + text(g.step, 5) +
           " eV cannot hold the single-collision distribution up to Emax (" + text(emax, 5) +
           " eV); it needs " + text(needed);
  }
  if (!collisionTableFits(g.nc, g.bins, copies)) {
    return sizeFields + collisionTableSizeText(g.nc, g.bins, copies, sep) + "; " +
           collisionTableLimitText(sep);
  }
  return {};
}

std::string collisionBinRefusal(double step, double emin, double emax, char sep) {
  if (!(std::ceil(emin / step) > std::floor(emax / step))) return {};
  return "Step size (eV): " + formatGeneral(step, 15, sep) + " leaves no bin between Emin (" +
         formatGeneral(emin, 4, sep) + " eV) and Emax (" + formatGeneral(emax, 5, sep) + " eV)";
}

double collisionTableValues(double nc, double bins, double copies) {
  return (nc + 1.0) * bins * copies;
}

bool collisionTableFits(double nc, double bins, double copies) {
  return collisionTableValues(nc, bins, copies) <= kMaxTableValues;
}

std::string collisionTableSizeText(double nc, double bins, double copies, char sep) {
  std::string text = "a collision table of " +
                     formatGeneral(collisionTableValues(nc, bins, copies), 3, sep) + " values (" +
                     formatGeneral(nc + 1.0, 15, sep) + " distributions of " +
                     formatGeneral(bins, 15, sep) + " bins";
  if (copies != 1.0) text += ", for " + formatGeneral(copies, 15, sep) + " elements";
  return text + ")";
}

std::string collisionTableLimitText(char sep) {
  return "the limit is " + formatGeneral(kMaxTableValues, 3, sep) + " values";
}

double curveMemoryValues(double bins) {
  return bins * 20.0;
}

bool curveFitsInMemory(double bins) {
  return curveMemoryValues(bins) <= kMaxTableValues;
}

void checkPoissonWork(double points, double orders) {
  const double terms = points * orders;
  if (terms > kMaxPoissonTerms) {
    throw std::invalid_argument("A profile of " + formatGeneral(points) + " points weighted over " +
                                formatGeneral(orders) + " collision orders needs " +
                                formatGeneral(terms, 3) + " Poisson terms; the limit is " +
                                formatGeneral(kMaxPoissonTerms, 3) +
                                " (a larger profile step or fewer convolutions bring it down)");
  }
}

namespace {

// Whether rounding d to single precision gives the same float as rounding any value within a
// relative 2^-39 of d: d is finite and lies well away from the midpoint between two floats.
bool floatRoundingIsSafe(double d) {
  const double a = std::fabs(d);
  if (!(a <= static_cast<double>(std::numeric_limits<float>::max()))) return false;
  if (a >= static_cast<double>(std::numeric_limits<float>::min())) {
    // A normal float keeps the top 23 of the 52 fraction bits: the 29 bits it drops decide the
    // rounding, which flips where they equal 2^28.
    const std::uint64_t dropped = std::bit_cast<std::uint64_t>(a) & ((std::uint64_t{1} << 29) - 1);
    const std::uint64_t half = std::uint64_t{1} << 28;
    const std::uint64_t distance = dropped > half ? dropped - half : half - dropped;
    return distance > (std::uint64_t{1} << 13);
  }
  // Below the normal floats: the midpoint towards d, exact in double.
  const float f = static_cast<float>(a);
  if (static_cast<double>(f) == a) return true;
  const float next = std::nextafter(f, static_cast<double>(f) < a ? 1.0f : 0.0f);
  const double midpoint = 0.5 * (static_cast<double>(f) + static_cast<double>(next));
  return std::fabs(a - midpoint) > 0x1p-39 * a;
}

}  // namespace

float besselLossValue(double c, double mu, double g, double e, double scale) {
  // The same steps as the extended-precision density, in double: their rounding differs from
  // it by a few units of 1e-16 relative, far inside the band floatRoundingIsSafe leaves.
  const double q = g * mu * e;
  const double a = 2.0 * std::sqrt(q);
  const double front = c * mu * g;
  double d = 0.0;
  bool inRange = false;
  if (a < 3.75) {
    const double exponent = -mu - g * e;
    if (std::fabs(exponent) < 700.0) {
      const double i1 = besselI1Small(a);
      d = front * std::exp(exponent) * i1 / std::sqrt(q + 1e-7) * scale;
      inRange = true;
    }
  } else {
    // The exponential of I1 joins the loss exponential, as in the extended-precision density.
    const double exponent = (-mu - g * e) + a;
    if (std::fabs(exponent) < 700.0) {
      const double u = 3.75 / a;
      const double poly = besselI1LargeScaled(u);
      d = front * (std::exp(exponent) / std::sqrt(a)) * poly / std::sqrt(q + 1e-7) * scale;
      inRange = true;
    }
  }
  if (inRange && floatRoundingIsSafe(d)) return static_cast<float>(d);
  return static_cast<float>(besselLossDensity(c, mu, g, e) * scale);
}

namespace {

void besselLossRowScalar(double c, double mu, double g, double scale, std::span<float> row,
                         std::size_t from) {
  for (std::size_t j = from; j < row.size(); ++j)
    row[j] = besselLossValue(c, mu, g, static_cast<double>(j) * 10.0 * 0.001, scale);
}

#if defined(__x86_64__)
// Four bins side by side. The exponential is its own (a degree-13 polynomial after reduction by
// ln 2, within a few units of 1e-16 of the library's); every lane whose value could round to
// another float than the extended-precision density's, or lies outside the plain range, is
// redone by besselLossValue.
__attribute__((target("avx2,fma"))) void besselLossRowAvx2(double c, double mu, double g,
                                                           double scale, std::span<float> row,
                                                           std::size_t first) {
  const std::size_t n = row.size();
  const __m256d gm = _mm256_set1_pd(g * mu);
  const __m256d gv = _mm256_set1_pd(g);
  const __m256d muv = _mm256_set1_pd(mu);
  const __m256d front = _mm256_set1_pd(c * mu * g * scale);
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d limit = _mm256_set1_pd(700.0);
  const __m256d branch = _mm256_set1_pd(3.75);
  const __m256d absMask = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
  const __m256d floatMin = _mm256_set1_pd(static_cast<double>(std::numeric_limits<float>::min()));
  const __m256d floatMax = _mm256_set1_pd(static_cast<double>(std::numeric_limits<float>::max()));
  // Below this a value rounds to a float zero whatever the last bits.
  const __m256d zeroBelow = _mm256_set1_pd(0x1p-150 * (1.0 - 0x1p-38));
  const __m256i dropMask = _mm256_set1_epi64x((std::int64_t{1} << 29) - 1);
  const __m256i nearLow = _mm256_set1_epi64x((std::int64_t{1} << 28) - (std::int64_t{1} << 13) - 1);
  const __m256i nearHigh =
      _mm256_set1_epi64x((std::int64_t{1} << 28) + (std::int64_t{1} << 13) + 1);
  const __m256d shifter = _mm256_set1_pd(0x1.8p52);
  std::size_t j = std::max<std::size_t>(first, 1);
  for (; j + 4 <= n; j += 4) {
    const double jd = static_cast<double>(j);
    const __m256d e = _mm256_mul_pd(
        _mm256_mul_pd(_mm256_setr_pd(jd, jd + 1.0, jd + 2.0, jd + 3.0), _mm256_set1_pd(10.0)),
        _mm256_set1_pd(0.001));
    const __m256d q = _mm256_mul_pd(gm, e);
    const __m256d a = _mm256_mul_pd(_mm256_set1_pd(2.0), _mm256_sqrt_pd(q));
    const __m256d small = _mm256_cmp_pd(a, branch, _CMP_LT_OQ);
    const __m256d lossExponent =
        _mm256_sub_pd(_mm256_sub_pd(_mm256_setzero_pd(), muv), _mm256_mul_pd(gv, e));
    const __m256d x = _mm256_blendv_pd(_mm256_add_pd(lossExponent, a), lossExponent, small);
    // exp(x) = 2^k exp(r), r = x - k ln 2.
    const __m256d k = _mm256_round_pd(_mm256_mul_pd(x, _mm256_set1_pd(1.4426950408889634)),
                                      _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    __m256d r = _mm256_fnmadd_pd(k, _mm256_set1_pd(0.6931471805599453), x);
    r = _mm256_fnmadd_pd(k, _mm256_set1_pd(2.3190468138462996e-17), r);
    __m256d p = _mm256_set1_pd(1.0 / 6227020800.0);
    p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0 / 479001600.0));
    p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0 / 39916800.0));
    p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0 / 3628800.0));
    p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0 / 362880.0));
    p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0 / 40320.0));
    p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0 / 5040.0));
    p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0 / 720.0));
    p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0 / 120.0));
    p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0 / 24.0));
    p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0 / 6.0));
    p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(0.5));
    p = _mm256_fmadd_pd(p, r, one);
    p = _mm256_fmadd_pd(p, r, one);
    const __m256i kBits = _mm256_sub_epi64(_mm256_castpd_si256(_mm256_add_pd(k, shifter)),
                                           _mm256_castpd_si256(shifter));
    const __m256d twoK = _mm256_castsi256_pd(
        _mm256_slli_epi64(_mm256_add_epi64(kBits, _mm256_set1_epi64x(1023)), 52));
    const __m256d expX = _mm256_mul_pd(p, twoK);
    // Below the branch point: I1(a) by its series polynomial.
    const __m256d t = _mm256_mul_pd(a, _mm256_set1_pd(0.26666666666666666));
    const __m256d y = _mm256_mul_pd(t, t);
    __m256d i1 = _mm256_set1_pd(0.00032411);
    i1 = _mm256_fmadd_pd(i1, y, _mm256_set1_pd(0.00301532));
    i1 = _mm256_fmadd_pd(i1, y, _mm256_set1_pd(0.02658733));
    i1 = _mm256_fmadd_pd(i1, y, _mm256_set1_pd(0.15084934));
    i1 = _mm256_fmadd_pd(i1, y, _mm256_set1_pd(0.51498869));
    i1 = _mm256_fmadd_pd(i1, y, _mm256_set1_pd(0.87890594));
    i1 = _mm256_fmadd_pd(i1, y, _mm256_set1_pd(0.5));
    i1 = _mm256_mul_pd(i1, a);
    // Above it: the asymptotic polynomial over sqrt(a), its exponential being part of x.
    const __m256d u = _mm256_div_pd(branch, a);
    __m256d poly = _mm256_set1_pd(-0.00420059);
    poly = _mm256_fmadd_pd(poly, u, _mm256_set1_pd(0.01787654));
    poly = _mm256_fmadd_pd(poly, u, _mm256_set1_pd(-0.02895312));
    poly = _mm256_fmadd_pd(poly, u, _mm256_set1_pd(0.02282967));
    poly = _mm256_fmadd_pd(poly, u, _mm256_set1_pd(-0.01031555));
    poly = _mm256_fmadd_pd(poly, u, _mm256_set1_pd(0.00163801));
    poly = _mm256_fmadd_pd(poly, u, _mm256_set1_pd(-0.00362018));
    poly = _mm256_fmadd_pd(poly, u, _mm256_set1_pd(-0.03988024));
    poly = _mm256_fmadd_pd(poly, u, _mm256_set1_pd(0.39894228));
    poly = _mm256_div_pd(poly, _mm256_sqrt_pd(a));
    const __m256d bessel = _mm256_blendv_pd(poly, i1, small);
    const __m256d d = _mm256_div_pd(_mm256_mul_pd(_mm256_mul_pd(front, expX), bessel),
                                    _mm256_sqrt_pd(_mm256_add_pd(q, _mm256_set1_pd(1e-7))));
    // Which lanes can be kept: the exponent inside the plain range, and the value either
    // rounding to zero or a normal float away from a rounding midpoint.
    const __m256d ad = _mm256_and_pd(d, absMask);
    const __m256d inRange = _mm256_cmp_pd(_mm256_and_pd(x, absMask), limit, _CMP_LT_OQ);
    const __m256d zero = _mm256_cmp_pd(ad, zeroBelow, _CMP_LT_OQ);
    const __m256d normal = _mm256_and_pd(_mm256_cmp_pd(ad, floatMin, _CMP_GE_OQ),
                                         _mm256_cmp_pd(ad, floatMax, _CMP_LE_OQ));
    const __m256i dropped = _mm256_and_si256(_mm256_castpd_si256(ad), dropMask);
    const __m256i nearMid = _mm256_and_si256(_mm256_cmpgt_epi64(dropped, nearLow),
                                             _mm256_cmpgt_epi64(nearHigh, dropped));
    const __m256d keep = _mm256_and_pd(
        inRange, _mm256_or_pd(zero, _mm256_andnot_pd(_mm256_castsi256_pd(nearMid), normal)));
    _mm_storeu_ps(&row[j], _mm256_cvtpd_ps(d));
    const int kept = _mm256_movemask_pd(keep);
    if (kept != 0xF) {
      for (int lane = 0; lane < 4; ++lane) {
        if ((kept >> lane) & 1) continue;
        const std::size_t m = j + static_cast<std::size_t>(lane);
        row[m] = besselLossValue(c, mu, g, static_cast<double>(m) * 10.0 * 0.001, scale);
      }
    }
  }
  besselLossRowScalar(c, mu, g, scale, row, j);
}
#endif

}  // namespace

namespace {

// The density's bins [from, to): the vector path where the processor has it.
void besselLossBins(double c, double mu, double g, double scale, std::span<float> row,
                    std::size_t from) {
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  if (avx2) {
    besselLossRowAvx2(c, mu, g, scale, row, from);
    return;
  }
#endif
  besselLossRowScalar(c, mu, g, scale, row, std::max<std::size_t>(from, 1));
}

}  // namespace

BesselSupport besselLossSupport(double c, double mu, double g, double scale, std::size_t bins) {
  BesselSupport whole{1, std::max<std::size_t>(bins, 1)};
  const double front = c * mu * g * scale;
  if (!(mu > 0.0) || !(g > 0.0) || !std::isfinite(mu) || !std::isfinite(g) ||
      !std::isfinite(front) || front == 0.0 || bins < 2) {
    return whole;
  }
  const double logFront = std::log(std::fabs(front));
  // Below 2^-150 a value rounds to a float zero. The bound holds both branches of the density:
  // I1(a) / sqrt(q) <= e^a for a < 3.75 (within the 2e-8 of its polynomial), and the asymptotic
  // polynomial over sqrt(a q) stays below 0.12 above it.
  const double floor = -150.0 * 0.6931471805599453;
  const auto negligible = [&](std::size_t j) {
    const double e = static_cast<double>(j) * 10.0 * 0.001;
    const double ge = g * e;
    const double a = 2.0 * std::sqrt(g * mu * e);
    // The exponent is a difference of terms up to mu + ge + a: its rounding is a few units of
    // 1e-16 of them, far inside the margin.
    const double margin = 1.0 + 1e-10 * (mu + ge + a);
    return logFront + ((-mu - ge) + a) + margin < floor;
  };
  const double peak = mu / g / 0.01;  // the bin of the exponent's maximum
  // Rising side: bins 1 .. below the peak, negligible up to some bin.
  std::size_t lo = 1;
  {
    std::size_t top = peak < static_cast<double>(bins) ? static_cast<std::size_t>(peak) : bins;
    if (top > 1 && negligible(1)) {
      // negligible(lo) holds, the first bin that is not lies in (lo, top] (or beyond).
      std::size_t bad = top;
      if (negligible(top)) {
        lo = top;
      } else {
        while (bad - lo > 1) {
          const std::size_t mid = lo + (bad - lo) / 2;
          (negligible(mid) ? lo : bad) = mid;
        }
        lo = bad;
      }
    }
  }
  // Falling side: just past the peak (by a relative 1e-6, where the exponent's slope is
  // -g (1 - 5e-7) while the margin's is below 2e-10 g) the bound only falls.
  std::size_t hi = bins;
  const double fall = peak * (1.0 + 1e-6) + 1.0;
  if (fall < static_cast<double>(bins)) {
    std::size_t good = static_cast<std::size_t>(std::ceil(fall));
    good = std::max(good, lo);
    if (good < bins && negligible(bins - 1)) {
      if (negligible(good)) {
        hi = good;
      } else {
        std::size_t cut = bins - 1;  // negligible(cut) holds, negligible(good) does not
        while (cut - good > 1) {
          const std::size_t mid = good + (cut - good) / 2;
          (negligible(mid) ? cut : good) = mid;
        }
        hi = cut;
      }
    }
  }
  if (hi < lo) hi = lo;
  return {lo, hi};
}

void besselLossRow(double c, double mu, double g, double scale, std::span<float> row,
                   std::size_t first) {
  first = std::max<std::size_t>(first, 1);
  if (first >= row.size()) return;
  // The deep tails round to zero: they are written as such, not evaluated (far out in them
  // every value would need the extended-precision density).
  const BesselSupport s = besselLossSupport(c, mu, g, scale, row.size());
  const float zero = std::copysign(0.0f, static_cast<float>(c * scale));
  const std::size_t lo = std::max(first, s.lo);
  const std::size_t hi = std::max(lo, s.hi);
  std::fill(row.begin() + static_cast<std::ptrdiff_t>(first),
            row.begin() + static_cast<std::ptrdiff_t>(lo), zero);
  std::fill(row.begin() + static_cast<std::ptrdiff_t>(hi), row.end(), zero);
  if (hi > lo) besselLossBins(c, mu, g, scale, row.first(hi), lo);
}

DistributionStats distributionStats(const spectro& d) {
  // The two sums of integral() and mean() in their own order, side by side.
  double sum = 0.0;
  double moment = 0.0;
  const double* v = d.values.data();
  const std::size_t n = d.values.size();
  for (std::size_t i = 0; i < n; ++i) {
    sum += v[i];
    moment += static_cast<double>(i) * d.step * v[i];
  }
  DistributionStats st;
  st.integral = d.step * sum;
  st.mean = moment / st.integral;
  return st;
}

namespace {

// A table's memory is touched for the first time as it is built, and a first touch costs far
// more than the writing (a page fault per 4 KB page: about 10 us on a virtual machine, against
// about 1 us to fill the page). RowSupply has another core fault in zero-filled rows ahead of
// the convolutions, which then write into them; when it lags, the convolution makes its row
// itself, so the two cores share the faults. The values are those of a row made alone.
class RowSupply {
 public:
  // Below this many bytes of rows a thread costs more than the faults it takes over.
  static constexpr double kMinBytes = 256.0 * 1024.0;

  RowSupply(std::size_t rows, std::size_t bins) : bins_(bins), pool_(rows), target_(rows) {
    if (static_cast<double>(rows) * static_cast<double>(bins) * sizeof(double) < kMinBytes ||
        workerThreads() < 2) {
      return;
    }
    try {
      thread_ = std::jthread([this](std::stop_token stop) { produce(stop); });
    } catch (const std::system_error&) {
      // No thread to be had: every row is made by the convolutions.
    }
  }
  RowSupply(const RowSupply&) = delete;
  RowSupply& operator=(const RowSupply&) = delete;

  // The next zero-filled row of `bins` values made ahead, or nothing when none is ready yet
  // (the caller then makes one itself and one fewer is made ahead).
  bool take(std::vector<double>& row) {
    if (taken_ < ready_.load(std::memory_order_acquire)) {
      row = std::move(pool_[taken_++]);
      return true;
    }
    target_.fetch_sub(1, std::memory_order_relaxed);
    return false;
  }

 private:
  void produce(const std::stop_token& stop) {
    std::size_t made = 0;
    try {
      while (!stop.stop_requested() && made < target_.load(std::memory_order_relaxed) &&
             made < pool_.size()) {
        pool_[made] = std::vector<double>(bins_);
        ready_.store(++made, std::memory_order_release);
      }
    } catch (const std::bad_alloc&) {
      // Out of memory here: the convolutions make the remaining rows (or fail) themselves.
    }
  }

  const std::size_t bins_;
  // Row i is written by the supplying thread before ready_ passes i, and read by the builder
  // only after; the rows left over are destroyed after the thread has ended (thread_ is
  // declared last, so it is stopped and joined first).
  std::vector<std::vector<double>> pool_;
  std::atomic<std::size_t> ready_{0};
  std::atomic<std::size_t> target_;
  std::size_t taken_ = 0;
  std::jthread thread_;
};

}  // namespace

std::vector<spectro> buildCollisionTable(spectro zeroLoss, spectro single, int nc,
                                         const CollisionTableProgress& progress) {
  if (nc < 1) throw std::invalid_argument("a collision table needs at least one collision");
  if (!collisionTableFits(nc, single.size())) {
    throw std::invalid_argument(collisionTableSizeText(nc, single.size()) +
                                " is too large: " + collisionTableLimitText());
  }
  std::vector<spectro> table;
  table.reserve(static_cast<std::size_t>(nc) + 1);
  table.push_back(std::move(zeroLoss));
  table.push_back(std::move(single));
  if (progress) progress(1, table, distributionStats(table[1]));
  const spectro& one = table[1];
  RowSupply rows(static_cast<std::size_t>(nc) - 1, one.values.size());
  for (int k = 2; k <= nc; ++k) {
    checkCancel();
    // convolve(one, previous), into a row made ahead where one is ready.
    const spectro& previous = table[static_cast<std::size_t>(k) - 1];
    spectro next;
    next.step = previous.step;
    next.offset = previous.offset;
    const std::size_t n = std::min(one.values.size(), previous.values.size());
    if (n == one.values.size() && rows.take(next.values)) {
      causalConvolve(one.values, previous.values, next.values, one.step);
    } else {
      next.values = causalConvolution(one.values, previous.values, n, one.step);
    }
    table.push_back(std::move(next));
    if (progress) progress(k, table, distributionStats(table.back()));
  }
  return table;
}

spectro mixCollisionTable(const std::vector<spectro>& table, const std::vector<double>& weights,
                          double factor, MixOrder order) {
  if (table.size() < 2 || weights.size() < table.size()) {
    throw std::invalid_argument("mixCollisionTable: a weight for every distribution is needed");
  }
  spectro mix(table[1].size(), table[1].step);
  std::size_t len = mix.values.size();
  for (const spectro& d : table)
    len = std::min(len, d.values.size());
  mix.values.resize(len);
  double* out = mix.values.data();
  for (std::size_t k = 0; k < table.size(); ++k) {
    if (weights[k] == 0.0) continue;  // adds exactly nothing
    checkCancel();
    const double* d = table[k].values.data();
    if (order == MixOrder::weightTimesFactor) {
      const double w = weights[k] * factor;
      for (std::size_t i = 0; i < len; ++i)
        out[i] += w * d[i];
    } else {
      const double w = weights[k];
      for (std::size_t i = 0; i < len; ++i)
        out[i] += (d[i] * w) * factor;
    }
  }
  return mix;
}

}  // namespace tarvex
