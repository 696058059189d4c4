// How every engine command ends when it fails: its error status, and running out of memory
// reported in the program's words. A stopped command keeps the status "Stopped".
#pragma once

#include <cmath>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/cancel.h"
#include "core/curve_checks.h"
#include "core/numtext.h"
#include "core/profile.h"
#include "core/spectro.h"
#include "state/session.h"

namespace tarvex {

// Runs body. When it fails (not when it is stopped) the status becomes errorStatus and the
// failure propagates; std::bad_alloc becomes "Not enough memory for <what>".
template <typename Body>
void runEngineCommand(Session& s, const std::string& errorStatus, const std::string& what,
                      Body&& body) {
  try {
    try {
      body();
    } catch (const std::bad_alloc&) {
      throw std::runtime_error("Not enough memory for " + what);
    }
  } catch (const Cancelled&) {
    throw;
  } catch (const std::exception&) {
    s.SetStatus(errorStatus);
    throw;
  }
}

// Refuses a calculated curve that left the range of the numbers it is kept in, in the
// session's number format.
inline void requireFiniteCurve(Session& s, const spectro& curve, const std::string& what,
                               const profile& p) {
  requireFiniteCurve(curve, what, p, s.decimalSeparator());
}

// Refuses to draw a curve whose points, scaled by the ion dose and lifted by the background,
// are not numbers any more; the chart keeps what it showed.
inline void requireDrawable(Session& s, const std::vector<ChartPoint>& points) {
  for (const ChartPoint& p : points) {
    if (std::isfinite(p.x) && std::isfinite(p.y)) continue;
    throw std::invalid_argument("The curve cannot be drawn: with \"Ion dose:\" " +
                                s.controls().text("TFOptions.EditMult") +
                                " and the background its values go beyond the range of numbers");
  }
}

}  // namespace tarvex
