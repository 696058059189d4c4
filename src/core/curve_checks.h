// Checks of a calculated curve before it is kept.
#pragma once

#include <cmath>
#include <stdexcept>
#include <string>

#include "core/numtext.h"
#include "core/profile.h"
#include "core/spectro.h"

namespace tarvex {

// Refuses a calculated curve that left the range of the numbers it is kept in (single
// precision, about 3.4E38): concentrations far beyond physical ones. Such a curve would be
// drawn as NaN and reported as done; the message names the profile's largest concentration.
// Numbers in the message use the decimal separator sep.
inline void requireFiniteCurve(const spectro& curve, const std::string& what, const profile& p,
                               char sep = '.') {
  for (const double v : curve.values) {
    if (std::isfinite(v)) continue;
    double largest = 0.0;
    for (int i = 0; i < p.count; ++i) {
      if (std::fabs(p.values[i]) > std::fabs(largest)) largest = p.values[i];
    }
    throw std::invalid_argument(what + " goes beyond the range of numbers a curve holds (about " +
                                formatGeneral(3.4e38, 3, sep) +
                                "): the profile's largest concentration is " +
                                formatGeneral(largest, 4, sep) +
                                "; scale the profile down or check the model's parameters");
  }
}

}  // namespace tarvex
