// What the benchmarks share: a host that answers nothing, and the plain direct references.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/spectro.h"
#include "state/host.h"

namespace bench {

class QuietHost : public tarvex::Host {
 public:
  void showMessage(const std::string& m) override {
    std::fprintf(stderr, "message: %s\n", m.c_str());
  }
  bool askYesNo(const std::string&) override { return false; }
  std::optional<std::string> openFile(const tarvex::FileDialog&) override { return {}; }
  std::optional<std::string> saveFile(const tarvex::FileDialog&) override { return {}; }
};

// r[i] = a.step * sum_{h<=i} a[h] b[i-h], the plain O(n^2) sum.
inline tarvex::spectro directConvolve(const tarvex::spectro& a, const tarvex::spectro& b) {
  tarvex::spectro r;
  r.step = b.step;
  r.offset = b.offset;
  const std::size_t n = std::min(a.values.size(), b.values.size());
  r.values.assign(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    double s = 0.0;
    for (std::size_t h = 0; h <= i; ++h)
      s += a.values[h] * b.values[i - h];
    r.values[i] = a.step * s;
  }
  return r;
}

// Gaussian (FWHM width) or Lorentzian (half width) broadening as the plain O(n'^2) sum.
inline void directBroaden(tarvex::spectro& s, double width, bool gaussian) {
  const double sigma = width * 0.4246645150331238;
  const double grow = gaussian ? 8 * sigma : 20 * width;
  const double centre = (gaussian ? 4 * sigma : 10 * width) / s.step;
  const double a0 = s.integral();
  s.values.resize(static_cast<std::size_t>(std::ceil(grow / s.step)) + s.values.size(), 0.0);
  std::vector<double> r(s.values.size(), 0.0);
  for (std::size_t i = 0; i < r.size(); ++i) {
    for (std::size_t j = 0; j <= i; ++j) {
      const double x = (static_cast<double>(i) - static_cast<double>(j) - centre) * s.step;
      r[i] += s.values[j] *
              (gaussian ? std::exp(-0.5 * x * x / (sigma * sigma)) : 1.0 / (x * x + width * width));
    }
  }
  s.values = r;
  s.normalize(a0);
  s.offset += gaussian ? 4 * sigma : 10 * width;
}

}  // namespace bench
