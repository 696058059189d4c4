#include "core/profile.h"

#include "core/cancel.h"
#include "core/limits.h"
#include "core/numtext.h"
#include "core/poisson_weights.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>
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
    double c = slope * static_cast<double>(i) * step + intercept;
    if (!std::isfinite(c)) {
      // A steep line between concentrations near the largest numbers overflows in the slope
      // form; the weighted mean of its ends stays within them.
      const double t = (static_cast<double>(i) * step - x1) / (x2 - x1);
      c = c1 * (1.0 - t) + c2 * t;
    }
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
  const std::size_t points = std::min(values.size(), static_cast<std::size_t>(std::max(count, 0)));
  return poissonWeights(std::span<const double>(values).first(points), step, nmax, a, b);
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
