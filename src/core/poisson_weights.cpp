#include "core/poisson_weights.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <stdexcept>

#include "core/cancel.h"
#include "core/parallel.h"

namespace tarvex {
namespace {

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__)
#define TARVEX_POISSON_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TARVEX_POISSON_CLONES
#endif

// Four consecutive collision numbers side by side.
typedef double v4d __attribute__((vector_size(32)));

// Tables and block sums are indexed k + kPad, so that a group of four collision numbers may
// reach a little below 0 and above the table without a bounds test in the inner loop.
constexpr int kPad = 8;

struct Tables {
  // rise[k + kPad] = 1/((k+1)(k+2)(k+3)(k+4)): P(k+4; m) = P(k; m) m^4 rise[k].
  std::vector<double> rise;
  // fall[k + kPad] = (k+1)(k+2)(k+3)(k+4), 0 for k = -4..-1: P(k; m) = P(k+4; m) fall[k] / m^4.
  std::vector<double> fall;
  std::vector<double> inverse;  // 1/k
  // ln k! - k ln k + k, the part of ln k! that Stirling's leading terms leave: small, so the
  // first term of a depth is taken in double without the cancellation of k ln m - ln k!.
  std::vector<double> stirlingRest;
  // ln k!, for the rare depths whose Poisson mean is not positive.
  std::vector<long double> lnFactorial;
};

Tables makeTables(std::size_t n) {
  Tables t;
  const std::size_t size = n + 2 * kPad;
  t.rise.assign(size, 0.0);
  t.fall.assign(size, 0.0);
  t.inverse.assign(size, 0.0);
  for (std::size_t s = 0; s < size; ++s) {
    const long double k = static_cast<long double>(s) - kPad;
    const long double p = (k + 1.0L) * (k + 2.0L) * (k + 3.0L) * (k + 4.0L);
    if (k >= 0.0L) t.rise[s] = static_cast<double>(1.0L / p);
    if (k >= -4.0L) t.fall[s] = k < 0.0L ? 0.0 : static_cast<double>(p);
    if (s >= 1 && s < n + kPad) t.inverse[s] = 1.0 / static_cast<double>(s);
  }
  t.lnFactorial.assign(n, 0.0L);
  t.stirlingRest.assign(n, 0.0);
  for (std::size_t k = 2; k < n; ++k) {
    const long double kl = static_cast<long double>(k);
    t.lnFactorial[k] = t.lnFactorial[k - 1] + std::log(kl);
    t.stirlingRest[k] = static_cast<double>(t.lnFactorial[k] - kl * std::log(kl) + kl);
  }
  if (n > 1) t.stirlingRest[1] = 1.0;  // ln 1! - 1 ln 1 + 1
  return t;
}

// Poisson terms further than 10 standard deviations from the mean are below 1e-21 of the largest
// and are left out.
struct Window {
  int lo = 0, hi = -1;
  bool empty = true;
};

Window windowOf(double m, std::size_t n) {
  Window w;
  if (!std::isfinite(m)) return w;  // no finite mean (or none a double holds): every term is 0
  const double spread = 10.0 * std::sqrt(std::max(m, 0.0)) + 8.0;
  const double lowest = m - spread;
  if (lowest >= static_cast<double>(n)) return w;
  w.lo = lowest > 1.0 ? static_cast<int>(lowest) : 0;
  w.hi = static_cast<int>(std::min(m + spread, static_cast<double>(n) - 1.0));
  w.empty = false;
  return w;
}

// ln P(k; m) for m > 0 in double: k ln(m/k) + k - m - (ln k! - k ln k + k), with ln(m/k) as
// log1p((m-k)/k). Its rounding is a few units of 1e-16 times |m - k|, so near the mean of the
// distribution the first term is as exact as a double holds.
double logPoisson(const Tables& t, double m, int k) {
  if (k == 0) return -m;
  const double kd = static_cast<double>(k);
  return kd * std::log1p((m - kd) / kd) + (kd - m) - t.stirlingRest[static_cast<std::size_t>(k)];
}

// ln(P(k; m) / P(k; m0)) = k ln(m/m0) - (m - m0) for neighbouring depths, whose means differ by
// a tiny fraction: the series of ln(1+x) there, exact to rounding, in place of a library call.
double logRatio(int k, double m0, double m0Inverse, double m) {
  const double delta = m - m0;
  const double x = delta * m0Inverse;
  const double ln = std::fabs(x) < 0x1p-10
                        ? x * (1.0 - x * (0.5 - x * (1.0 / 3.0 - x * (0.25 - x * (0.2 - x / 6.0)))))
                        : std::log1p(x);
  return static_cast<double>(k) * ln - delta;
}

// e^y, by its series where y is tiny.
double expNearZero(double y) {
  if (std::fabs(y) >= 0x1p-10) return std::exp(y);
  return 1.0 + y * (1.0 + y * (0.5 + y * (1.0 / 6.0 + y * (1.0 / 24.0 + y / 120.0))));
}

// Adds sum_j P(k; m[j]) * start-scaled terms into block[k + kPad]: start[j] = v_j P(k0; m[j]), and
// every term follows from it by P(k+4) = P(k) m^4 rise[k] upwards and P(k) = P(k+4) fall[k] / m^4
// downwards, four collision numbers of four depths at a time. The run covers [lo, hi] and up to
// three numbers beyond each end (each end's terms are the smallest of the run).
TARVEX_POISSON_CLONES
void addGroup(const Tables& t, const double* m, const double* start, int k0, int lo, int hi,
              double* block) {
  const double* rise = t.rise.data() + kPad;
  const double* fall = t.fall.data() + kPad;
  const double* inverse = t.inverse.data();
  double* out = block + kPad;
  v4d up[4], down[4];
  double m4[4], mInv4[4];
  for (int j = 0; j < 4; ++j) {
    const double mj = m[j];
    const double mInv = 1.0 / mj;
    double a[4], d[4];
    a[0] = start[j];
    for (int q = 1; q < 4; ++q)
      a[q] = a[q - 1] * (mj * inverse[k0 + q]);
    // P(k-1) = P(k) k/m, which reaches 0 at k = 0 and stays there.
    double below = start[j];
    for (int q = 3; q >= 0; --q) {
      const int k = k0 - (3 - q);
      below = k > 0 ? below * (static_cast<double>(k) * mInv) : 0.0;
      d[q] = below;
    }
    std::memcpy(&up[j], a, sizeof a);
    std::memcpy(&down[j], d, sizeof d);
    m4[j] = (mj * mj) * (mj * mj);
    mInv4[j] = (mInv * mInv) * (mInv * mInv);
  }
  for (int kb = k0;; kb += 4) {
    v4d sum, b, r;
    sum = (up[0] + up[1]) + (up[2] + up[3]);
    std::memcpy(&b, out + kb, sizeof b);
    b += sum;
    std::memcpy(out + kb, &b, sizeof b);
    if (kb + 4 > hi) break;
    std::memcpy(&r, rise + kb, sizeof r);
    for (int j = 0; j < 4; ++j)
      up[j] *= m4[j] * r;
  }
  for (int kb = k0 - 4; kb + 3 >= lo; kb -= 4) {
    v4d sum, b, f;
    sum = (down[0] + down[1]) + (down[2] + down[3]);
    std::memcpy(&b, out + kb, sizeof b);
    b += sum;
    std::memcpy(out + kb, &b, sizeof b);
    if (kb - 1 < lo) break;
    std::memcpy(&f, fall + kb - 4, sizeof f);
    for (int j = 0; j < 4; ++j)
      down[j] *= mInv4[j] * f;
  }
}

// A chunk of depths is the unit the work is split by; a block the unit of a stop check.
constexpr int kChunk = 1024;
constexpr int kBlock = 256;  // divides kChunk
// Setting up one depth (its window, one logarithm and one exponential) costs about as much as
// this many Poisson terms.
constexpr double kDepthCost = 24.0;

}  // namespace

std::vector<int> splitByCost(std::span<const double> cost, int slices) {
  if (slices < 1) throw std::invalid_argument("splitByCost: at least one slice");
  const std::size_t items = cost.size();
  std::vector<int> bounds(static_cast<std::size_t>(slices) + 1, static_cast<int>(items));
  bounds[0] = 0;
  double total = 0.0;
  for (double c : cost)
    total += c;
  if (!(total > 0.0) || !std::isfinite(total)) {
    for (int s = 1; s < slices; ++s)
      bounds[static_cast<std::size_t>(s)] =
          static_cast<int>(items * static_cast<std::size_t>(s) / static_cast<std::size_t>(slices));
    return bounds;
  }
  // Slice s ends at the first item whose running total reaches s/slices of the whole.
  double running = 0.0;
  std::size_t item = 0;
  for (int s = 1; s < slices; ++s) {
    const double target = total * s / slices;
    while (item < items && running + cost[item] * 0.5 < target)
      running += cost[item++];
    bounds[static_cast<std::size_t>(s)] = static_cast<int>(item);
  }
  return bounds;
}

std::vector<double> poissonWeights(std::span<const double> values, double step, int nmax, double a,
                                   double b) {
  if (nmax < 0) throw std::invalid_argument("The number of collisions must not be negative");
  const std::size_t n = static_cast<std::size_t>(nmax) + 1;
  const int count = static_cast<int>(values.size());
  const Tables tables = makeTables(n);
  const long double ab = static_cast<long double>(a) * b;
  const auto meanAt = [&](int i) {
    return static_cast<double>(ab * (static_cast<long double>(i) * step));
  };

  // Deeper points have wider windows: the slices hold equal work, not equal numbers of depths.
  const int chunks = std::max(1, (count + kChunk - 1) / kChunk);
  std::vector<double> cost(static_cast<std::size_t>(chunks), 0.0);
  for (int c = 0; c < chunks; ++c) {
    const int first = c * kChunk;
    const int last = std::min(count, first + kChunk);
    const Window w = windowOf(meanAt(first + (last - first) / 2), n);
    const double terms = w.empty ? 0.0 : static_cast<double>(w.hi - w.lo + 1);
    cost[static_cast<std::size_t>(c)] = static_cast<double>(last - first) * (kDepthCost + terms);
  }
  const int slices = sliceCount(chunks);
  const std::vector<int> bounds = splitByCost(cost, slices);

  // One partial sum per slice, added in slice order: the same bits on any number of threads.
  std::vector<std::vector<long double>> partial(static_cast<std::size_t>(slices),
                                                std::vector<long double>(n, 0.0L));
  parallelFor(slices, [&](int, int sliceBegin, int sliceEnd) {
    // Each block of depths is summed in double, then added to the extended-precision totals:
    // the rounding of a few hundred double additions stays far below 1e-13.
    std::vector<double> block(n + 2 * kPad, 0.0);
    for (int slice = sliceBegin; slice < sliceEnd; ++slice) {
      std::vector<long double>& sums = partial[static_cast<std::size_t>(slice)];
      int touchedLo = static_cast<int>(n), touchedHi = 0;  // k range of block in use
      // A block of depths takes well under a millisecond: the place to look for a stop.
      const auto flush = [&] {
        for (int k = std::max(touchedLo, 0); k < std::min(touchedHi, static_cast<int>(n)); ++k)
          sums[static_cast<std::size_t>(k)] += block[static_cast<std::size_t>(k) + kPad];
        if (touchedLo < touchedHi) {
          std::fill(block.begin() + touchedLo + kPad, block.begin() + touchedHi + kPad, 0.0);
        }
        touchedLo = static_cast<int>(n);
        touchedHi = 0;
        checkCancel();
      };
      const auto run = [&](const double* m, const double* start, int k0, int lo, int hi) {
        touchedLo = std::min(touchedLo, lo - 3);
        touchedHi = std::max(touchedHi, hi + 4);
        addGroup(tables, m, start, k0, lo, hi, block.data());
      };
      // A depth whose Poisson mean is not positive (no path, or a rate without physical
      // meaning): the direct Poisson form, a whole table's worth of exponentials.
      const auto direct = [&](double v, int i) {
        checkCancel();
        const long double mu = ab * (static_cast<long double>(i) * step);
        for (std::size_t k = 0; k < n; ++k) {
          const long double sign = (mu < 0.0L && k % 2 == 1) ? -1.0L : 1.0L;
          sums[k] +=
              v * (k == 0
                       ? std::exp(-mu)
                       : std::exp(k * std::log(std::fabs(mu)) - mu - tables.lnFactorial[k]) * sign);
        }
      };
      // One depth alone, its run started at the collision number nearest its mean.
      const auto single = [&](double v, double m, const Window& w) {
        const int k0 = static_cast<int>(
            std::clamp(std::nearbyint(m), static_cast<double>(w.lo), static_cast<double>(w.hi)));
        const double ms[4] = {m, 1.0, 1.0, 1.0};
        const double start[4] = {v * std::exp(logPoisson(tables, m, k0)), 0.0, 0.0, 0.0};
        run(ms, start, k0, w.lo, w.hi);
      };
      const int from = std::min(count, bounds[static_cast<std::size_t>(slice)] * kChunk);
      const int to = std::min(count, bounds[static_cast<std::size_t>(slice) + 1] * kChunk);
      for (int i = from; i < to; i += 4) {
        if ((i - from) % kBlock == 0) flush();
        const int lanes = std::min(4, to - i);
        double v[4] = {0.0, 0.0, 0.0, 0.0};
        bool any = false;
        for (int j = 0; j < lanes; ++j) {
          v[j] = values[static_cast<std::size_t>(i) + static_cast<std::size_t>(j)];
          any = any || v[j] != 0.0;
        }
        if (!any) continue;
        // Four neighbouring depths share one run of collision numbers when their windows
        // nearly coincide; otherwise each depth goes alone. The means grow with depth, so the
        // first and the last depth of the group bound the windows of all four.
        double m[4] = {1.0, 1.0, 1.0, 1.0};
        bool positive = true;
        for (int j = 0; j < lanes; ++j) {
          m[j] = meanAt(i + j);
          positive = positive && m[j] > 0.0;
        }
        const Window first = windowOf(m[0], n);
        if (positive && first.empty) continue;  // no term of any of the four lies in the table
        const Window last = windowOf(m[lanes - 1], n);
        bool together = positive && !last.empty && last.hi - first.hi <= 16;
        double start[4] = {0.0, 0.0, 0.0, 0.0};
        const int lo = first.lo, hi = last.hi;
        int k0 = 0;
        if (together) {
          k0 = static_cast<int>(
              std::clamp(std::nearbyint(m[0]), static_cast<double>(lo), static_cast<double>(hi)));
          // The first depth's term from the logarithm, the others' from their ratio to it.
          const double l0 = logPoisson(tables, m[0], k0);
          const double t0 = std::exp(l0);
          const double m0Inverse = 1.0 / m[0];
          together = l0 > -600.0;
          for (int j = 0; j < lanes && together; ++j) {
            if (v[j] == 0.0) continue;
            const double y = j == 0 ? 0.0 : logRatio(k0, m[0], m0Inverse, m[j]);
            together = l0 + y > -600.0;
            start[j] = v[j] * (t0 * expNearZero(y));
          }
        }
        if (together) {
          run(m, start, k0, lo, hi);
          continue;
        }
        for (int j = 0; j < lanes; ++j) {
          if (v[j] == 0.0) continue;
          if (!(m[j] > 0.0)) {
            direct(v[j], i + j);
          } else if (const Window w = windowOf(m[j], n); !w.empty) {
            single(v[j], m[j], w);
          }
        }
      }
      flush();
    }
  });
  std::vector<double> w(n);
  for (std::size_t k = 0; k < n; ++k) {
    long double s = 0.0L;
    for (const auto& part : partial)
      s += part[k];
    w[k] = static_cast<double>(1000.0L * s);
  }
  return w;
}

}  // namespace tarvex
