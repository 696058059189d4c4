#include "ui/placement.h"

#include <algorithm>
#include <tuple>

namespace tarvex::ui {

bool intersects(const Rect& a, const Rect& b) {
  return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

bool contains(const Rect& outer, const Rect& inner) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.right() <= outer.right() &&
         inner.bottom() <= outer.bottom();
}

long long overlapArea(const Rect& a, const Rect& b) {
  const long long w = std::min(a.right(), b.right()) - std::max(a.x, b.x);
  const long long h = std::min(a.bottom(), b.bottom()) - std::max(a.y, b.y);
  return w > 0 && h > 0 ? w * h : 0;
}

namespace {

// A size that fits the screen where the window can shrink that far.
int fitted(int wanted, int least, int room) {
  return std::max(std::min(wanted, room), std::min(least, wanted));
}

// r moved into the screen as far as it goes (its top left stays on screen if it is larger).
Rect clampInto(const Rect& screen, Rect r) {
  r.x = std::max(screen.x, std::min(r.x, screen.right() - r.w));
  r.y = std::max(screen.y, std::min(r.y, screen.bottom() - r.h));
  return r;
}

bool allInside(const Rect& screen, std::initializer_list<Rect> rects) {
  return std::all_of(rects.begin(), rects.end(),
                     [&](const Rect& r) { return contains(screen, r); });
}

}  // namespace

FirstStart placeFirstStart(const Rect& screen, const WindowSize& main, const WindowSize& sample,
                           const WindowSize& options, const WindowSize& externCs, int gap) {
  const int x0 = screen.x;
  const int y0 = screen.y;

  // Two rows, every window as large as it asks: the main and sample windows (the two charts)
  // on top, the two windows of parameters under them.
  {
    const int column2 = x0 + std::max(main.w, options.w) + gap;
    const int row2 = y0 + std::max(main.h, sample.h) + gap;
    const Rect m{x0, y0, main.w, main.h};
    const Rect s{column2, y0, sample.w, sample.h};
    const Rect o{x0, row2, options.w, options.h};
    const Rect e{column2, row2, externCs.w, externCs.h};
    if (allInside(screen, {m, s, o, e})) return {m, s, o, e, true};
  }

  // Two columns on a lower screen: each chart window over one of the windows of parameters,
  // the chart taking the height the other leaves. The main window keeps the taller share.
  const auto columns = [&](const WindowSize& underMain, const WindowSize& underSample, Rect* m,
                           Rect* s, Rect* u1, Rect* u2) {
    const int column2 = x0 + std::max(main.w, underMain.w) + gap;
    const int room2 = screen.right() - column2;
    const int mainH = screen.h - underMain.h - gap;
    const int sampleH = screen.h - underSample.h - gap;
    if (room2 < std::max(underSample.w, sample.minW) || mainH < main.minH ||
        sampleH < sample.minH) {
      return false;
    }
    const int sampleW = std::min(room2, std::max(sample.w, underSample.w));
    *m = {x0, y0, main.w, mainH};
    *u1 = {x0, y0 + mainH + gap, underMain.w, underMain.h};
    *s = {column2, y0, sampleW, sampleH};
    *u2 = {column2, y0 + sampleH + gap, underSample.w, underSample.h};
    return allInside(screen, {*m, *s, *u1, *u2});
  };
  FirstStart p;
  p.sideBySide = true;
  if (columns(externCs, options, &p.main, &p.sample, &p.externCs, &p.options)) return p;
  if (columns(options, externCs, &p.main, &p.sample, &p.options, &p.externCs)) return p;

  // A screen too small for them side by side: the main window whole at the top left, the
  // others each where it covers least of those already placed.
  p.sideBySide = false;
  p.main = {x0, y0, fitted(main.w, main.minW, screen.w), fitted(main.h, main.minH, screen.h)};
  std::vector<Rect> placed{p.main};
  p.sample = placeBeside(screen, p.main, sample, placed, gap);
  placed.push_back(p.sample);
  p.options = placeBeside(screen, p.main, options, placed, gap);
  placed.push_back(p.options);
  p.externCs = placeBeside(screen, p.main, externCs, placed, gap);
  return p;
}

Rect placeBeside(const Rect& screen, const Rect& opener, const WindowSize& window,
                 const std::vector<Rect>& others, int gap) {
  const int w = fitted(window.w, window.minW, screen.w);
  const int h = fitted(window.h, window.minH, screen.h);
  // Beside the opener the window gives up width (right, left) or height (below, above) down to
  // its least, if that is what it takes to leave the opener free.
  const int wRight = fitted(w, window.minW, screen.right() - opener.right() - gap);
  const int wLeft = fitted(w, window.minW, opener.x - gap - screen.x);
  const int hBelow = fitted(h, window.minH, screen.bottom() - opener.bottom() - gap);
  const int hAbove = fitted(h, window.minH, opener.y - gap - screen.y);
  const Rect candidates[] = {
      {opener.right() + gap, opener.y, wRight, h},      // right of the opener
      {opener.x - gap - wLeft, opener.y, wLeft, h},     // left of it
      {opener.x, opener.bottom() + gap, w, hBelow},     // below it
      {opener.x, opener.y - gap - hAbove, w, hAbove},   // above it
      {screen.right() - w, screen.bottom() - h, w, h},  // the screen's corners
      {screen.right() - w, screen.y, w, h},
      {screen.x, screen.bottom() - h, w, h},
      {screen.x, screen.y, w, h},
  };
  Rect best;
  std::tuple<long long, long long> bestScore{-1, -1};
  for (const Rect& c : candidates) {
    const Rect r = clampInto(screen, c);
    long long covered = 0;
    for (const Rect& o : others)
      covered += overlapArea(r, o);
    // The opener first: the window must not hide what the user opened it from.
    const std::tuple<long long, long long> score{overlapArea(r, opener), covered};
    if (std::get<0>(bestScore) < 0 || score < bestScore) {
      best = r;
      bestScore = score;
    }
  }
  return best;
}

}  // namespace tarvex::ui
