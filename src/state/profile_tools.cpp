// The profile display and the numeric profile tools: "Update plot", erfc steps, lines,
// smoothing and undo, acting on the profile the sample window shows.
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "core/numtext.h"
#include "state/profile_fit.h"
#include "state/session.h"

namespace tarvex {
namespace {

// Number of profile points the charts show: floor(count*step/step), as the display has always
// computed it (a rounding below a whole number leaves out the last point).
int shownPoints(const profile& p) {
  const double n = std::floor(static_cast<double>(p.count) * p.step / p.step);
  return n > 0.0 ? static_cast<int>(n) : 0;
}

std::vector<ChartPoint> profilePoints(const profile& p, Colour colour) {
  const int n = shownPoints(p);
  std::vector<ChartPoint> points;
  points.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    points.push_back({i * p.step, p.values[i], colour});
  return points;
}

constexpr const char* kThicknessWithLayer = "\"Thickness\" plus \"Contamination\"";

}  // namespace

void Session::updatebkgrnd() {
  const double es = number("TFBackground.EditEs");
  const double ys = number("TFBackground.EditYs");
  const double ef = number("TFBackground.EditEf");
  const double yf = number("TFBackground.EditYf");
  const int item = controls_.get("TFBackground.Bkgrdradio").itemIndex;
  if (item == 0) {
    setLine(state_.nraBackgroundLine, 0.0, ys, 1.0, ys);
    setLine(state_.meisBackgroundLine, 0.0, ys, 1.0, ys);
  } else if (item == 1) {
    // A line through two points at one energy has no slope: every curve would be non-finite.
    if (es == ef) {
      throw std::invalid_argument(
          "The linear background needs two different energies: Es and "
          "Ef are both " +
          formatGeneral(es, 15, decimalSeparator_) + " keV");
    }
    setLine(state_.nraBackgroundLine, es, ys, ef, yf);
    setLine(state_.meisBackgroundLine, es, ys, ef, yf);
  }
}

void Session::Updateplot() {
  // Every field is read and the new profiles are built aside; they replace the old ones only
  // when all of them could be built, so a refused thickness leaves every profile as it was.
  if (nraMode()) {
    const double t = number("TFNRP.EditMaxDepth");
    const double c = number("TFNRP.EditCont");
    const double cmax = number("TFNRP.EditCmax");
    profile p = state_.nraProfile;
    const int before = p.count;
    p.setStart(c);
    fitThickness(p, t + c, kThicknessWithLayer);
    state_.nraProfile = std::move(p);
    const profile& fitted = state_.nraProfile;
    if (fitted.count != before) {
      charts_.setBottom("ChartNRPProf", 0.0, t + c);
      charts_.setLeft("ChartNRPProf", 0.0, cmax);
    }
    setNumber("TFNRP.EditMaxDepth", fitted.count * fitted.step - c);
    return;
  }
  if (controls_.get("TFMEIS.ListElements").items.empty()) AddElement();
  eventPoint();
  const double t = number("TFMEIS.EditMaxDepth");
  const double c = number("TFMEIS.EditCont");
  const double cmax = number("TFMEIS.EditCmax");
  std::map<std::string, profile> profiles = state_.elementProfiles;
  for (auto& [name, p] : profiles) {
    p.setStart(c);
    fitThickness(p, t + c, kThicknessWithLayer);
  }
  for (auto& [name, p] : profiles)
    state_.elementProfiles[name] = std::move(p);  // into the same entries: references stay
  charts_.setBottom("ChartMEISProf", 0.0, t + c);
  charts_.setLeft("ChartMEISProf", 0.0, cmax);
  const profile& cp = currentProfile();
  setNumber("TFMEIS.EditMaxDepth", cp.count * cp.step - c);
  state_.currentProfile = {false, controls_.text("TFrameMEISSample.ComboEl_list")};
  state_.elementProfiles[state_.currentProfile.element];
  Plotprofile();
}

void Session::Plotprofile() {
  // Red while drawing, blue in zoom mode.
  const Colour colour = controls_.checked("TFSample.EnableZoom1") ? colours::red : colours::blue;
  if (nraMode()) {
    charts_.setPoints("ChartNRPProf.SeriesAmostra", profilePoints(state_.nraProfile, colour));
    return;
  }
  const std::string name = controls_.text("TFrameMEISSample.ComboEl_list");
  if (name.empty()) return;
  const profile& p = currentProfile();
  charts_.setPoints("ChartMEISProf.SeriesAmostra", profilePoints(p, colour));
  controls_.setText("TFrameMEISSample.StatusDraw.0",
                    "Total " + name + ": " + formatFixed(p.integral(), 5, 3, decimalSeparator_));
  for (const auto& [key, record] : state_.elementMap)
    state_.elementProfiles[key];
  const profile& cp = currentProfile();
  const Colour sumColour = charts_.colour("ChartMEISProf.SeriesSum");
  std::vector<ChartPoint> total;
  total.reserve(static_cast<std::size_t>(std::max(cp.count, 0)));
  for (int i = 0; i < cp.count; ++i) {
    double sum = 0.0;
    for (const auto& [key, record] : state_.elementMap) {
      const profile& e = state_.elementProfiles.at(key);
      if (i < e.count) sum += e.values[i];  // a shorter profile holds nothing there
    }
    total.push_back({i * cp.step, sum, sumColour});
  }
  charts_.setPoints("ChartMEISProf.SeriesSum", std::move(total));
}

void Session::erfcTool(bool add, bool keep) {
  if (!nraMode() && controls_.text("TFrameMEISSample.ComboEl_list").empty()) {
    Plotprofile();
    return;
  }
  const std::string f = frame();
  const double h = number(f + ".Editqtd");
  const double sigma = number(f + ".EditSigma");
  if (!keep) {
    if (add) {
      currentProfile().addErfc(h, sigma);
    } else {
      currentProfile().subtractErfc(h, sigma);
    }
    Plotprofile();
    return;
  }
  const profile kept = currentProfile();
  if (add) {
    currentProfile().addErfc(h, sigma);
  } else {
    currentProfile().subtractErfc(h, sigma);
  }
  try {
    CalcSimulation();
  } catch (...) {
    // A trial never keeps its step, even when the calculation stops half-way.
    currentProfile() = kept;
    Plotprofile();
    throw;
  }
  currentProfile() = kept;
  Plotprofile();
}

void Session::Adderfc() {
  erfcTool(true, false);
}
void Session::Substracterfc() {
  erfcTool(false, false);
}
void Session::Tryadderfc() {
  erfcTool(true, true);
}
void Session::Trysubtract() {
  erfcTool(false, true);
}

void Session::Drawline() {
  const std::string f = frame();
  const double x1 = number(f + ".Editx1");
  const double x2 = number(f + ".Editx2");
  const double c1 = number(f + ".Editc1");
  const double c2 = number(f + ".Editc2");
  currentProfile().drawLine(x1, c1, x2, c2);
  Plotprofile();
}

void Session::Smooth() {
  if (nraMode()) {
    profile& p = currentProfile();
    for (int i = 0; i < 3; ++i)
      p.smooth(5);
  } else {
    for (const auto& [name, record] : state_.elementMap)
      state_.elementProfiles[name].smooth(1);
  }
  Plotprofile();
}

void Session::Undo() {
  state_.nraProfile = state_.undoProfile;
  Plotprofile();
}

}  // namespace tarvex
