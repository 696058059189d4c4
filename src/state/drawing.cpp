#include "state/drawing.h"

#include <array>
#include <map>
#include <sstream>

#include "core/numtext.h"

namespace tarvex {
namespace {

// The pen of one chart: armed once the mouse has been over it with the button up, and the last
// position seen, from which the next segment of a stroke starts.
struct Pen {
  bool armed = false;
  double depth = 0.0;
  double concentration = 0.0;
};

using Pens = std::array<Pen, 2>;  // resonant NRA chart, ion-scattering chart

// The pens live as long as the sample window, that is as long as the session; the window
// itself is a front end, so they are kept here per session.
std::map<const Session*, Pens>& allPens() {
  static std::map<const Session*, Pens> pens;
  return pens;
}

Pens& pensOf(const Session& s) {
  return allPens()[&s];
}

int chartIndex(const std::string& chart) {
  if (chart == "ChartNRPProf") return 0;
  if (chart == "ChartMEISProf") return 1;
  return -1;
}

constexpr const char* kZoomItem = "TFSample.EnableZoom1";

void mouseMove(Session& s, const ProfileMouse& e) {
  const int index = chartIndex(e.chart);
  if (index < 0) throw std::invalid_argument("There is no profile chart " + e.chart);
  const bool nraChart = index == 0;
  // Releasing the button ends the stroke: everything drawn since the press is one edit.
  if (!e.leftDown) s.editHistory().endStroke(s.state());
  // An element profile is drawn only when an element is chosen.
  if (!nraChart && s.controls().text("TFrameMEISSample.ComboEl_list").empty()) return;
  if (!drawingEnabled(s) || e.shift) return;
  Pen& pen = pensOf(s)[static_cast<std::size_t>(index)];
  if (!e.leftDown) {
    pen.armed = true;
  } else if (pen.armed) {
    const ProfileRef target = nraChart ? ProfileRef{true, {}} : s.state().currentProfile;
    profile& p = nraChart ? s.state().nraProfile : s.currentProfile();
    // The points this segment can reach, as they are before it.
    const auto [from, to] = lineReach(p, pen.depth, e.depth);
    s.editHistory().strokeSegment(s.state(), target, from, to);
    if (pen.depth <= e.depth) {
      p.drawLine(pen.depth, pen.concentration, e.depth, e.concentration);
    } else {
      p.drawLine(e.depth, e.concentration, pen.depth, pen.concentration);
    }
  }
  pen.depth = e.depth;
  pen.concentration = e.concentration;
  if (e.leftDown) s.Plotprofile();
}

}  // namespace

void registerDrawingActions(Session& session) {
  pensOf(session) = Pens{};
  session.controls().onClick(kZoomItem, [&session] { toggleZoom(session); });
}

bool drawingEnabled(const Session& session) {
  return session.controls().checked(kZoomItem);
}

bool drawingArmed(const Session& session, const std::string& chart) {
  const int index = chartIndex(chart);
  return index >= 0 && pensOf(session)[static_cast<std::size_t>(index)].armed;
}

void toggleZoom(Session& session) {
  ControlStore& c = session.controls();
  if (c.checked(kZoomItem)) {
    c.setChecked(kZoomItem, false);
    c.setCaption(kZoomItem, "Disable Zoom");
  } else {
    c.setChecked(kZoomItem, true);
    c.setCaption(kZoomItem, "Enable Zoom");
  }
  for (Pen& pen : pensOf(session))
    pen.armed = false;
  session.Plotprofile();
}

bool profileMouse(Session& session, const ProfileMouse& event) {
  return session.drawingCommand([&] { mouseMove(session, event); });
}

std::optional<ProfileMouse> parseProfileMouse(const std::string& text) {
  std::istringstream in(text);
  ProfileMouse m;
  std::string x;
  std::string y;
  std::string button;
  std::string extra;
  if (!(in >> m.chart >> x >> y >> button)) return std::nullopt;
  if (chartIndex(m.chart) < 0) return std::nullopt;
  if (button != "up" && button != "down") return std::nullopt;
  m.leftDown = button == "down";
  if (in >> extra) {
    if (extra != "shift") return std::nullopt;
    m.shift = true;
    if (in >> extra) return std::nullopt;
  }
  try {
    m.depth = parseFloat(x);
    m.concentration = parseFloat(y);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  return m;
}

}  // namespace tarvex
