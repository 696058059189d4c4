#include "fit/fit_statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarvex {

double devianceTerm(double y, double m) {
  if (!(y > 0.0)) return 2.0 * std::fabs(m);
  const double floor = 1e-6 * y;
  if (m >= floor) {
    // 2y (t - ln(1 + t)) with t = (m - y)/y, by its series where the difference would cancel.
    const double t = (m - y) / y;
    const double g = std::fabs(t) < 1e-2
                         ? t * t * (0.5 - t * (1.0 / 3.0 - t * (0.25 - t * (0.2 - t / 6.0))))
                         : t - std::log1p(t);
    return 2.0 * y * g;
  }
  // Below the floor: the expansion to second order at the floor, falling towards it.
  const double d0 = devianceTerm(y, floor);
  const double d1 = 2.0 * (1.0 - y / floor);
  const double d2 = 2.0 * y / (floor * floor);
  const double dm = m - floor;
  return d0 + d1 * dm + 0.5 * d2 * dm * dm;
}

double devianceResidual(double y, double m) {
  const double d = std::sqrt(std::max(0.0, devianceTerm(y, m)));
  return m >= y ? d : -d;
}

DevianceMoments devianceMoments(double m) {
  if (!(m > 0.0) || !std::isfinite(m)) return {};
  if (m > 100.0) {
    // The expansions in 1/m; within 1e-6 of the sums below from 100 counts on.
    const double w = 1.0 / m;
    return {1.0 + w / 6.0 + w * w / 6.0, 2.0 + 2.0 * w / 3.0 + 4.0 * w * w / 3.0};
  }
  // The sums over the counts k, up to 12 standard deviations above the mean.
  const int last = static_cast<int>(m + 12.0 * std::sqrt(m) + 30.0);
  double p = std::exp(-m);
  double mean = 0.0, square = 0.0;
  for (int k = 0; k <= last; ++k) {
    const double d = devianceTerm(k, m);
    mean += p * d;
    square += p * d * d;
    p *= m / (k + 1);
  }
  return {mean, std::max(0.0, square - mean * mean)};
}

namespace {

std::string withSeparator(std::string text, char sep) {
  for (char& c : text) {
    if (c == '.') c = sep;
  }
  return text;
}

std::string fixed(double v, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  std::string text = buffer;
  // A value that rounds to zero has no sign.
  if (text.find_first_not_of("-0.") == std::string::npos && text.front() == '-') text.erase(0, 1);
  return text;
}

}  // namespace

std::string formatWithUncertainty(double value, double uncertainty, char sep) {
  if (!std::isfinite(value)) return withSeparator(fixed(value, 0), sep);
  if (!(uncertainty > 0.0) || !std::isfinite(uncertainty)) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6g", value);
    std::string text = buffer;
    // The program's exponent form: "1.5E-06" -> "1.5E-6".
    const auto e = text.find('e');
    if (e != std::string::npos) {
      std::string mantissa = text.substr(0, e);
      const int exponent = std::stoi(text.substr(e + 1));
      text = mantissa + "E" + std::to_string(exponent);
    }
    return withSeparator(text, sep);
  }
  // The power of ten of the uncertainty's second significant digit (0.995 rounds to 1.0).
  int q = static_cast<int>(std::floor(std::log10(uncertainty))) - 1;
  if (std::round(uncertainty / std::pow(10.0, q)) >= 100.0) ++q;
  const double unit = std::pow(10.0, q);
  const double u = std::round(uncertainty / unit) * unit;
  const double v = std::round(value / unit) * unit;
  const double larger = std::max(std::fabs(v), u);
  const int top = static_cast<int>(std::floor(std::log10(larger)));
  if (top >= 6 || top < -3) {
    // A common power of ten: the larger of both written with one digit before the point.
    const double scale = std::pow(10.0, top);
    const int decimals = std::max(0, top - q);
    std::string text = "(";
    text += fixed(v / scale, decimals);
    text += " ± ";
    text += fixed(u / scale, decimals);
    text += ")E";
    text += std::to_string(top);
    return withSeparator(text, sep);
  }
  const int decimals = std::max(0, -q);
  return withSeparator(fixed(v, decimals) + " ± " + fixed(u, decimals), sep);
}

}  // namespace tarvex
