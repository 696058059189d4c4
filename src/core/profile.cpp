#include "core/profile.h"

#include "core/cancel.h"
#include "core/limits.h"
#include "core/numtext.h"
#include "core/parallel.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

namespace tarvex {
namespace {

// A whole number of points from a real one, refusing what does not fit an index.
long long wholePoints(double x) {
  if (!std::isfinite(x) || std::fabs(x) > kMaxGridPoints) {
    throw std::invalid_argument("The depth profile would need " + formatGeneral(x) +
                                " points, more than the " + formatGeneral(kMaxGridPoints) +
                                " it can hold: check the thickness and the depth step");
  }
  return static_cast<long long>(x);
}

}  // namespace

profile::profile(double thickness, double step_) : step(step_) {
  requireStep();
  setThickness(thickness);
}

void profile::requireStep() const {
  if (!(step > 0.0) || !std::isfinite(step)) {
    throw std::invalid_argument("The depth step must be positive (" + formatGeneral(step) + ")");
  }
}

void profile::setThickness(double thickness) {
  requireStep();
  const long long n = std::max(0LL, wholePoints(std::ceil(thickness / step)));
  count = static_cast<int>(n);
  values.resize(static_cast<std::size_t>(n), 0.0);
}

void profile::setStart(double d) {
  requireStep();
  const double delta = d - startDepth;
  const long long k = wholePoints(std::ceil(delta / step));
  const long long first = std::max(0LL, wholePoints(std::ceil(d / step)));
  if (delta < 0.0) {
    // Toward the surface: each value comes from |k| points deeper.
    for (long long i = first; i - k < count; ++i)
      values[i] = values[i - k];
    setThickness(count * step + delta);
  } else if (delta > 0.0) {
    const std::vector<double> before = values;
    setThickness(count * step + delta);
    for (long long i = first; i < count; ++i) {
      const long long from = i - k;
      values[i] = (from >= 0 && from < static_cast<long long>(before.size())) ? before[from] : 0.0;
    }
  }
  startDepth = d;
  const long long zeroEnd = std::min<long long>(first, count);
  for (long long i = 0; i < zeroEnd; ++i)
    values[i] = 0.0;
}

double profile::integral() const {
  double s = 0.0;
  for (int i = 0; i < count; ++i)
    s += values[i];
  return step * s;
}

void profile::setValue(int index, float value) {
  if (index < 0 || index >= count) {
    throw std::out_of_range("The depth profile has no point " + std::to_string(index) +
                            " (it has points 0 to " + std::to_string(count - 1) + ")");
  }
  values[index] = value;
}

void profile::smooth(int passes) {
  requireStep();
  std::vector<double> copy = values;
  const long long from = wholePoints(std::ceil(startDepth / step)) + 4;
  const long long to = static_cast<long long>(count) - 7;
  for (int pass = 0; pass <= passes; ++pass) {
    for (long long j = std::max(from, 3LL); j <= to; ++j) {
      copy[j] = (values[j - 3] + values[j - 2] + values[j - 1] + values[j] + values[j + 1] +
                 values[j + 2] + values[j + 3]) *
                (1.0 / 7.0);
    }
    values = copy;
  }
}

void profile::drawLine(double x1, double c1, double x2, double c2) {
  requireStep();
  if (!std::isfinite(x1) || !std::isfinite(x2)) return;
  const double depth = count * step;
  x1 = std::clamp(x1, 0.0, depth);
  x2 = std::clamp(x2, 0.0, depth);
  if (x1 == x2) return;
  const double a = std::min(x1, x2);
  const double b = std::max(x1, x2);
  const double slope = (c2 - c1) / (x2 - x1);
  const double intercept = c1 - slope * x1;
  const long long lo = wholePoints(std::floor(a / step));
  const long long hi = std::min<long long>(wholePoints(std::floor(b / step)), count);
  const long long start = wholePoints(std::floor(startDepth / step));
  for (long long i = std::max(lo, start + 1); i < hi; ++i) {
    const double c = slope * static_cast<double>(i) * step + intercept;
    values[i] = c < 0.0 ? 0.0 : c;
  }
}

void profile::erfcStep(double height, double sigma, double sign) {
  requireStep();
  const double reach = 4.0 * sigma / step;
  if (!(reach > 0.0)) return;  // no width (or NaN): nothing to add
  const double limit = std::min(static_cast<double>(count), std::trunc(reach));
  const double startPoints = startDepth / step;
  const long long s0 = wholePoints(std::floor(startPoints));
  const double scale = std::numbers::sqrt2 * sigma;
  for (long long i = std::max(0LL, wholePoints(std::ceil(startPoints)) + 1);
       static_cast<double>(i) < limit + startPoints && i < count; ++i) {
    values[i] += sign * height * erfcApprox((static_cast<double>(i - s0) * step) / scale);
  }
}

void profile::addErfc(double height, double sigma) {
  erfcStep(height, sigma, 1.0);
}

void profile::subtractErfc(double height, double sigma) {
  erfcStep(height, sigma, -1.0);
}

double profile::collisionWeight(int n, double a, double b) const {
  if (n < 0) throw std::invalid_argument("The number of collisions must not be negative");
  if (n == 0) {
    double s = 0.0;
    for (int i = 0; i < count; ++i) {
      if (i % 4096 == 0) checkCancel();
      s += values[i] * std::exp(-a * b * i * step);
    }
    return 1000.0 * s;
  }
  // (a b x)^n e^{-a b x} / n! evaluated as one exponential of its logarithm: the direct powers
  // and factorial overflow long before the product does (n ~ 1000 for micrometre films).
  const long double ab = static_cast<long double>(a) * b;
  const long double lnFact = std::lgamma(static_cast<long double>(n) + 1.0L);
  const bool negative = ab < 0.0L && (n % 2 == 1);
  long double s = 0.0L;
  for (int i = 1; i < count; ++i) {
    if (i % 4096 == 0) checkCancel();
    const double v = values[i];
    if (v == 0.0) continue;
    const long double mu = ab * (static_cast<long double>(i) * step);
    const long double term = std::exp(n * std::log(std::fabs(mu)) - mu - lnFact);
    s += v * term;
  }
  // Point 0 lies at depth 0, where no collision has happened yet.
  return static_cast<double>(1000.0L * (negative ? -s : s));
}

std::vector<double> profile::collisionWeights(int nmax, double a, double b) const {
  if (nmax < 0) throw std::invalid_argument("The number of collisions must not be negative");
  const std::size_t n = static_cast<std::size_t>(nmax) + 1;
  std::vector<double> inverse(n, 0.0);
  for (std::size_t k = 1; k < n; ++k)
    inverse[k] = 1.0 / static_cast<double>(k);
  // ln k! for every k of the table, summed once instead of a log-gamma per depth.
  std::vector<long double> lnFactorial(n, 0.0L);
  for (std::size_t k = 2; k < n; ++k) {
    lnFactorial[k] = lnFactorial[k - 1] + std::log(static_cast<long double>(k));
  }
  const long double ab = static_cast<long double>(a) * b;
  constexpr int kChunk = 1024;
  const int chunks = count / kChunk + 1;
  // One partial sum per slice of depths, added in slice order: the same bits on any machine.
  std::vector<std::vector<long double>> partial(static_cast<std::size_t>(sliceCount(chunks)),
                                                std::vector<long double>(n, 0.0L));
  parallelFor(chunks, [&](int slice, int begin, int end) {
    std::vector<long double>& sums = partial[static_cast<std::size_t>(slice)];
    // Each block of points is summed in double, then added to the extended-precision totals:
    // the rounding of a few hundred double additions stays far below 1e-13.
    constexpr int kBlock = 256;  // divides kChunk
    std::vector<double> block(n, 0.0);
    std::size_t touchedLo = n, touchedHi = 0;
    // A block of depths takes well under a millisecond: the place to look for a stop.
    const auto flush = [&] {
      for (std::size_t k = touchedLo; k < touchedHi; ++k) {
        sums[k] += block[k];
        block[k] = 0.0;
      }
      touchedLo = n;
      touchedHi = 0;
      checkCancel();
    };
    // Poisson terms further than 10 standard deviations from the mean are below 1e-21 of the
    // largest and are left out. Inside, P_k = P_{k-1} m/k from a first term taken in
    // logarithms: no power or factorial can overflow, whatever the depth.
    struct Window {
      long double m = 0.0L;
      std::size_t lo = 0, hi = 0;
      bool empty = true;
    };
    const auto window = [&](int i) {
      Window w;
      w.m = ab * (static_cast<long double>(i) * step);
      // The bounds in double: they can only move by one where m - spread lies within 1e-13 of a
      // whole number, which adds or drops a term below 1e-21 of the largest.
      const double md = static_cast<double>(w.m);
      // No finite Poisson mean (or none a double holds): every term is 0.
      if (!std::isfinite(md)) return w;
      const double spread = 10.0 * std::sqrt(std::max(md, 0.0)) + 8.0;
      const double lowest = md - spread;
      if (lowest >= static_cast<double>(n)) return w;
      w.lo = lowest > 1.0 ? static_cast<std::size_t>(lowest) : 0;
      w.hi = static_cast<std::size_t>(std::min(md + spread, static_cast<double>(n) - 1.0));
      w.empty = false;
      return w;
    };
    const auto logTerm = [&](long double m, std::size_t k) {
      return k == 0 ? -m : k * std::log(m) - m - lnFactorial[k];
    };
    const auto single = [&](int i) {
      const double v = values[i];
      if (v == 0.0) return;
      const long double m = ab * (static_cast<long double>(i) * step);
      if (m <= 0.0L) {
        // No path (or a rate without physical meaning): the direct Poisson form, a whole
        // table's worth of exponentials per depth.
        checkCancel();
        for (std::size_t k = 0; k < n; ++k) {
          sums[k] += v * (k == 0 ? std::exp(-m)
                                 : std::exp(k * std::log(std::fabs(m)) - m - lnFactorial[k]) *
                                       ((m < 0.0L && k % 2 == 1) ? -1.0L : 1.0L));
        }
        return;
      }
      const Window w = window(i);
      if (w.empty) return;
      double term = static_cast<double>(std::exp(logTerm(m, w.lo)));
      const double md = static_cast<double>(m);
      touchedLo = std::min(touchedLo, w.lo);
      touchedHi = std::max(touchedHi, w.hi + 1);
      for (std::size_t k = w.lo;;) {
        block[k] += v * term;
        if (++k > w.hi) break;
        term *= md * inverse[k];
      }
    };
    const int from = std::min(count, begin * kChunk);
    const int to = std::min(count, end * kChunk);
    for (int i = from; i < to; i += 4) {
      if ((i - from) % kBlock == 0) flush();
      if (to - i < 4) {
        for (int j = i; j < to; ++j)
          single(j);
        continue;
      }
      const double v[4] = {values[i], values[i + 1], values[i + 2], values[i + 3]};
      if (v[0] == 0.0 && v[1] == 0.0 && v[2] == 0.0 && v[3] == 0.0) continue;
      // Four neighbouring depths share one window of collision numbers: four independent
      // recurrences run side by side. Where their windows lie too far apart for the first
      // terms to be normal doubles, each depth goes alone.
      Window w[4];
      bool together = true;
      std::size_t lo = n, hi = 0;
      for (int j = 0; j < 4; ++j) {
        w[j] = window(i + j);
        together = together && !w[j].empty && w[j].m > 0.0L;
        lo = std::min(lo, w[j].lo);
        hi = std::max(hi, w[j].hi);
      }
      double term[4], md[4];
      for (int j = 0; j < 4 && together; ++j) {
        const long double l = logTerm(w[j].m, lo);
        together = l > -600.0L;
        // A double exponential suffices here: the logarithm's rounding to double costs at most
        // 600 * 1.1e-16 of relative accuracy, for terms that small.
        term[j] = std::exp(static_cast<double>(l));
        md[j] = static_cast<double>(w[j].m);
      }
      if (!together) {
        for (int j = 0; j < 4; ++j)
          single(i + j);
        continue;
      }
      touchedLo = std::min(touchedLo, lo);
      touchedHi = std::max(touchedHi, hi + 1);
      for (std::size_t k = lo;;) {
        block[k] += (v[0] * term[0] + v[1] * term[1]) + (v[2] * term[2] + v[3] * term[3]);
        if (++k > hi) break;
        for (int j = 0; j < 4; ++j)
          term[j] *= md[j] * inverse[k];
      }
    }
    flush();
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

double erfcApprox(double x) {
  // Partial sums of the Riemann sum, up to the index where the result turns negative; they are
  // summed in the same order as a fresh sum would be.
  static const std::vector<double> partial = [] {
    std::vector<double> p;
    double s = 0.0;
    for (int i = 0;; ++i) {
      const double t = 0.005 * i;
      s += std::exp(-(t * t));
      p.push_back(s);
      if (1.0 - (2.0 / std::sqrt(std::numbers::pi)) * 0.005 * s < 0.0) break;
    }
    return p;
  }();
  if (!(x >= 0.0)) return x < 0.0 ? 1.0 : x;  // empty sum below 0; NaN stays NaN
  const double idx = std::floor(x / 0.005);
  if (idx >= static_cast<double>(partial.size())) return 0.0;
  const double r =
      1.0 - (2.0 / std::sqrt(std::numbers::pi)) * 0.005 * partial[static_cast<std::size_t>(idx)];
  return r < 0.0 ? 0.0 : r;
}

long double factorial(int n) {
  long double f = 1.0L;
  for (int i = 2; i <= n; ++i)
    f *= i;
  return f;
}

const profile& defaultProfile() {
  static const profile p(10.0, 0.005);
  return p;
}

}  // namespace tarvex
