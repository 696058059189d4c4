#include "meis/plots.h"

#include <algorithm>
#include <cmath>

#include "core/limits.h"

namespace tarvex {

double meisPlotStep(bool convolve, double spread) {
  double step = convolve ? 10.0 : 1.0;
  if (!(spread >= 50.0)) step = 1.0;
  return step;
}

namespace {

double lowIndex(const MeisPlotWindow& w) {
  return std::trunc(w.min * 1000.0 / w.step);
}
double highIndex(const MeisPlotWindow& w) {
  return std::trunc(w.max * 1000.0 / w.step);
}

}  // namespace

bool meisWindowFits(const MeisPlotWindow& w) {
  return !(highIndex(w) > kMaxGridPoints || lowIndex(w) < -kMaxGridPoints);
}

MeisTotal meisTotal(const MeisPlotWindow& w, const std::map<std::string, element>& elements,
                    const std::map<std::string, spectro>& spectra) {
  MeisTotal t;
  t.step = w.step;
  if (!meisWindowFits(w)) return t;
  t.first = static_cast<long long>(lowIndex(w));
  const long long n = static_cast<long long>(highIndex(w));
  // Only the points of the window, q = first .. n-1, are summed.
  const std::size_t count = static_cast<std::size_t>(std::max(0LL, n - t.first));
  std::vector<double> total(count, 0.0);
  const spectro none;  // an element never computed adds 0
  for (const auto& [name, record] : elements) {
    const auto it = spectra.find(name);
    const spectro& sp = it == spectra.end() ? none : it->second;
    for (std::size_t k = 0; k < count; ++k) {
      total[k] +=
          sp.interpolate(-static_cast<double>(t.first + static_cast<long long>(k)) * t.step);
    }
  }
  t.y.resize(count);
  t.e.resize(count);
  for (std::size_t k = 0; k < count; ++k) {
    t.e[k] = static_cast<double>(t.first + static_cast<long long>(k)) * 0.001 * t.step;
    t.y[k] = lineValue(w.background, t.e[k]) + w.dose * total[k];
  }
  return t;
}

}  // namespace tarvex
