// Freehand drawing on the sample window's profile charts and the window's zoom mode. The mouse
// of either front end (the real charts, or tarvex-cli's "mouse" line) arrives here in chart
// values, so a stroke gives the same profile wherever it comes from.
#pragma once

#include <optional>
#include <string>

#include "state/session.h"

namespace tarvex {

// One mouse event over a profile chart: "ChartNRPProf" or "ChartMEISProf", the depth and the
// concentration under the cursor, the left button and the Shift key.
struct ProfileMouse {
  std::string chart;
  double depth = 0.0;
  double concentration = 0.0;
  bool leftDown = false;
  bool shift = false;
};

// Hooks the zoom-mode menu item up and starts both charts disarmed, with no previous position.
void registerDrawingActions(Session& session);

// A mouse move over a profile chart, as one command of user input (refused while busy).
// Returns false when it was refused.
bool profileMouse(Session& session, const ProfileMouse& event);

// Toggles between drawing and zoom mode ("Enable Zoom" / "Disable Zoom", a double click).
void toggleZoom(Session& session);
// Whether the mouse draws (false in zoom mode).
bool drawingEnabled(const Session& session);
// Whether the chart has seen the mouse with the left button up since the last mode toggle.
bool drawingArmed(const Session& session, const std::string& chart);

// Reads "CHART X Y up|down [shift]" (numbers with '.'); nothing when it is malformed.
std::optional<ProfileMouse> parseProfileMouse(const std::string& text);

}  // namespace tarvex
