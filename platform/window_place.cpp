// Where top-level windows go on the screen (see window_place.h).
#include "platform/window_place.h"

#include <algorithm>
#include <functional>

namespace {

bool CoversAny(const ScreenRect& r, const std::vector<ScreenRect>& others) {
  return std::any_of(others.begin(), others.end(),
                     [&r](const ScreenRect& o) { return r.Overlaps(o); });
}

ScreenRect Intersection(const ScreenRect& a, const ScreenRect& b) {
  const int l = std::max(a.left, b.left), t = std::max(a.top, b.top);
  const int r = std::min(a.right(), b.right()), bt = std::min(a.bottom(), b.bottom());
  return {l, t, std::max(0, r - l), std::max(0, bt - t)};
}

int Clamp(int v, int lo, int hi) { return hi < lo ? lo : std::clamp(v, lo, hi); }

// The places along one axis where a window of `size` may start inside
// [lo, hi): at either end of the range and just beside each obstacle edge,
// in the order given by `before`.
std::vector<int> Stops(int lo, int hi, int size, const std::vector<int>& nearEdges,
                       const std::vector<int>& farEdges, std::function<bool(int, int)> before) {
  std::vector<int> v{hi - size, lo};
  for (int e : nearEdges) v.push_back(e - kWindowGap - size);
  for (int e : farEdges) v.push_back(e + kWindowGap);
  v.erase(std::remove_if(v.begin(), v.end(), [&](int s) { return s < lo || s + size > hi; }),
          v.end());
  std::sort(v.begin(), v.end(), before);
  v.erase(std::unique(v.begin(), v.end()), v.end());
  return v;
}

}  // namespace

ScreenPoint PlaceWindow(const ScreenRect& screen, const ScreenRect& mainWindow,
                        const std::vector<ScreenRect>& keepClear, int width, int height,
                        const std::vector<ScreenRect>& open) {
  // Beside the main window: its top, or below a window already open there.
  for (const int x : {mainWindow.right() + kWindowGap, mainWindow.left - kWindowGap - width}) {
    const int top = std::max(mainWindow.top, screen.top);
    std::vector<int> ys{top};
    for (const ScreenRect& o : open)
      if (o.bottom() + kWindowGap > top) ys.push_back(o.bottom() + kWindowGap);
    std::sort(ys.begin(), ys.end());
    for (const int y : ys) {
      const ScreenRect r{x, y, width, height};
      if (screen.Contains(r) && !CoversAny(r, open)) return {x, y};
    }
  }

  // Over the main window, right and low first, clear of what must stay in sight.
  const ScreenRect area =
      Intersection({mainWindow.left + kWindowGap, mainWindow.top + kWindowGap,
                    mainWindow.width - 2 * kWindowGap, mainWindow.height - 2 * kWindowGap},
                   screen);
  std::vector<ScreenRect> obstacles = keepClear;
  obstacles.insert(obstacles.end(), open.begin(), open.end());
  std::vector<int> lefts, rights, tops, bottoms;
  for (const ScreenRect& o : obstacles) {
    lefts.push_back(o.left);
    rights.push_back(o.right());
    tops.push_back(o.top);
    bottoms.push_back(o.bottom());
  }
  const auto later = std::greater<int>();
  const std::vector<int> xs = Stops(area.left, area.right(), width, lefts, rights, later);
  const std::vector<int> ys = Stops(area.top, area.bottom(), height, tops, bottoms, later);
  for (const bool mayCoverOthers : {false, true})
    for (const int x : xs)
      for (const int y : ys) {
        const ScreenRect r{x, y, width, height};
        if (!CoversAny(r, keepClear) && (mayCoverOthers || !CoversAny(r, open))) return {x, y};
      }

  // No such place: the bottom right of the main window, on the screen.
  const int x = std::min(mainWindow.right(), screen.right()) - kWindowGap - width;
  const int y = std::min(mainWindow.bottom(), screen.bottom()) - kWindowGap - height;
  return {Clamp(x, screen.left, screen.right() - width),
          Clamp(y, screen.top, screen.bottom() - height)};
}

WindowFit FitWindow(int availW, int availH, int contentW, int contentH, int bar) {
  bool wide = contentW > availW, tall = contentH > availH;
  // One scroll bar takes room the other direction may then lack.
  if (tall && !wide) wide = contentW + bar > availW;
  if (wide && !tall) tall = contentH + bar > availH;
  if (!wide && !tall) return {contentW, contentH, false};
  return {std::max(1, std::min(availW, contentW + (tall ? bar : 0))),
          std::max(1, std::min(availH, contentH + (wide ? bar : 0))), true};
}
