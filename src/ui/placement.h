// Where the windows go on the screen: the windows shown at the first start side by side, so that
// none covers another's menu, chart or status bar, and a window opened later beside the one that
// opened it. Plain rectangles in screen pixels, frames (title bar and borders) included.
#pragma once

#include <vector>

namespace tarvex::ui {

struct Rect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  int right() const { return x + w; }
  int bottom() const { return y + h; }
  bool operator==(const Rect&) const = default;
};

bool intersects(const Rect& a, const Rect& b);
bool contains(const Rect& outer, const Rect& inner);
// The area two rectangles share (0 when they do not meet).
long long overlapArea(const Rect& a, const Rect& b);

// The size a window asks for and the least it can do with, frame included.
struct WindowSize {
  int w = 0;
  int h = 0;
  int minW = 0;
  int minH = 0;
};

// The four windows the program shows at start and where they go.
struct FirstStart {
  Rect main;
  Rect sample;
  Rect options;
  Rect externCs;
  // False when the screen is too small for them side by side: they then overlap as little as
  // the screen allows, the main window first and whole.
  bool sideBySide = false;
};

// Places the main window at the top left of the available area `screen`, and the sample,
// Options and external cross-section windows around it without overlap, `gap` pixels apart.
// On a large screen every window keeps the size it asks for (two rows: main and sample over
// Options and external cross section); on a lower one they go in two columns and the windows
// with a chart (main, sample) give up height down to their minimum.
FirstStart placeFirstStart(const Rect& screen, const WindowSize& main, const WindowSize& sample,
                           const WindowSize& options, const WindowSize& externCs, int gap);

// A window opened later: beside `opener` (right, left, below or above, in that order of
// preference) inside `screen`, where it covers least of the `others` that are on screen; it
// is made smaller (not below its minimum) when the screen is smaller than it.
Rect placeBeside(const Rect& screen, const Rect& opener, const WindowSize& window,
                 const std::vector<Rect>& others, int gap);

}  // namespace tarvex::ui
