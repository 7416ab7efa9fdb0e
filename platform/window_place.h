// Where top-level windows go on the screen: plain rectangles in screen pixels,
// no widgets, so the rules can be checked directly.
#pragma once
#include <vector>

struct ScreenRect {
  int left = 0, top = 0, width = 0, height = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
  bool Contains(const ScreenRect& r) const {
    return r.left >= left && r.top >= top && r.right() <= right() && r.bottom() <= bottom();
  }
  bool Overlaps(const ScreenRect& r) const {
    return r.left < right() && left < r.right() && r.top < bottom() && top < r.bottom();
  }
};

struct ScreenPoint {
  int x = 0, y = 0;
};

// Space left between windows, and between a window and the edge of the main
// window it lies over.
constexpr int kWindowGap = 8;

// Where a further top-level window of `width` x `height` (frame included)
// opens, given the screen's available area, the main window (frame included),
// the parts of the main window that must stay in sight (`keepClear`: the
// parameter panels, the status line) and the other windows open (`open`):
//  1. beside the main window, right of it and else left of it, at its top or
//     below a window open there, where the screen has room for all of it;
//  2. else over the main window, as far right and then as low as it goes
//     without covering `keepClear` or `open` (the graph area, in practice);
//  3. else the same, allowed to cover other windows;
//  4. else at the bottom right of the main window.
// The result always keeps as much of the window on the screen as fits.
ScreenPoint PlaceWindow(const ScreenRect& screen, const ScreenRect& mainWindow,
                        const std::vector<ScreenRect>& keepClear, int width, int height,
                        const std::vector<ScreenRect>& open);

// The window size that shows content of `contentW` x `contentH` in an
// available area of `availW` x `availH` (both without frame): the content's
// own size where it fits; otherwise the content goes into a scroll area
// (`scroll` true) whose scroll bars are `bar` pixels thick, as large as the
// area allows.
struct WindowFit {
  int width = 0, height = 0;
  bool scroll = false;
};
WindowFit FitWindow(int availW, int availH, int contentW, int contentH, int bar);
