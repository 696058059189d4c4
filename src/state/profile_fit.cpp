#include "state/profile_fit.h"

#include <cfloat>
#include <cmath>
#include <stdexcept>

#include "core/limits.h"
#include "core/numtext.h"

namespace tarvex {

int pointsFor(double thickness, double step, const std::string& stepField,
              const std::string& thicknessName) {
  if (!(step > 0.0) || !std::isfinite(step)) {
    throw std::invalid_argument(stepField + " must be a positive depth step (Å), not " +
                                formatGeneral(step));
  }
  const double q = thickness / step;
  if (!std::isfinite(q) || q > kMaxGridPoints) {
    throw std::invalid_argument(thicknessName + " of " + formatGeneral(thickness) +
                                " Å at a depth step of " + formatGeneral(step) + " Å needs " +
                                formatGeneral(std::ceil(q)) + " points, more than the " +
                                formatGeneral(kMaxGridPoints) + " a depth profile can hold");
  }
  if (!(q > 0.0)) return 0;
  const double whole = std::nearbyint(q);
  // The quotient of a product count*step by step lands within a few ulps of count.
  if (q > whole && q - whole <= 4.0 * DBL_EPSILON * whole) return static_cast<int>(whole);
  return static_cast<int>(std::ceil(q));
}

void checkProfilesTogether(double together, std::size_t profiles, const std::string& stepField,
                           const std::string& thicknessName) {
  if (together <= kMaxGridPoints) return;
  throw std::invalid_argument(formatGeneral(static_cast<double>(profiles)) +
                              " element profiles need " + formatGeneral(together) +
                              " points together, more than the " + formatGeneral(kMaxGridPoints) +
                              " all depth profiles can hold (a larger " + stepField +
                              " or a smaller " + thicknessName + " brings it down)");
}

void fitThickness(profile& p, double thickness, const std::string& thicknessName) {
  const int n = pointsFor(thickness, p.step, "The depth step", thicknessName);
  p.count = n;
  p.values.resize(static_cast<std::size_t>(n), 0.0);
}

}  // namespace tarvex
