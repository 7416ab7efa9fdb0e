// Graph controls of the panel file, drawn with QCustomPlot: TarvoGraph (XY
// graph with rectangles, curves and up to two cross-hair cursors) and the base
// both it and the strip chart share. Internal to platform/.
#pragma once
#include <qcustomplot.h>

#include <QTimer>
#include <array>
#include <vector>

#include "platform/graph_probe.h"

// Plotting calls only record what changed; the drawing happens a few
// milliseconds later during event processing, and only for what changed:
// the ground, grid and axes are drawn into one opaque buffer, while plots and
// cursors are drawn straight onto the widget when it paints, over that
// buffer. A new frame of bars, traces or cursors then repaints only the plot
// area: one copy of that part of the buffer and the plots themselves, with no
// buffer of their own to clear and blend. The short delay lets a measurement
// loop put its next request on the line first, so the drawing overlaps the
// wait for the reply instead of delaying the request; the many calls of one
// frame are drawn once.
class TarvoPlotBase : public QCustomPlot {
  Q_OBJECT
 public:
  explicit TarvoPlotBase(QWidget* parent = nullptr);
  // Times the widget has drawn its content (full or partial), for benchmarks.
  int renderCount() const { return renders_; }
  // Draws what is pending now (normally done during event processing).
  void renderNow();
  // Brings what an image of the graph shows up to date (automatic axes), also
  // when the graph is hidden and draws nothing.
  void prepareImage() { beforeRender(); }
  // The graph as an image, plots included, at its own size.
  QPixmap image();

 protected:
  enum Dirty { kDirtyPlots = 1, kDirtyAll = 4 };
  void markDirty(int what);
  // Plots and cursors (cursors on top).
  QCPLayer* plotLayer() const { return plotLayer_; }
  // Sets an axis range; marks the axes for redrawing only if it changed.
  void setAxisRangeIfChanged(QCPAxis* axis, double min, double max);
  // Called before drawing: automatic scaling of axes, drawing order.
  virtual void beforeRender() {}

  void showEvent(QShowEvent* e) override;
  // A paint that comes before the deferred drawing (an expose, a grab) draws
  // what is pending first, so the widget never shows stale content.
  void paintEvent(QPaintEvent* e) override;

 private:
  void render(RefreshPriority refresh);
  // The part of the widget the plots and cursors may cover.
  QRect plotArea() const;
  // Draws the plots and cursors. The plot's own drawing leaves them out: their
  // layer is hidden but for this call.
  void drawPlots(QCPPainter* painter);

  QCPLayer* plotLayer_ = nullptr;
  int dirty_ = 0;
  QTimer renderTimer_;
  int renders_ = 0;
};

class TarvoCursorItem;
class TarvoRectItem;

class TarvoGraph : public TarvoPlotBase {
  Q_OBJECT
 public:
  explicit TarvoGraph(QWidget* parent = nullptr);

  // Cursors, axis ranges and labels from the panel file's properties
  // (cursors, xMin, xMax, yMin, yMax, xLabel, yLabel).
  void configureFromProperties();

  // Plots. Handles are > 0; -1 deletes all. Returns false for an unknown handle.
  bool deletePlots(int handle);
  int plotRectangle(double x1, double y1, double x2, double y2, int frameColor, int fillColor);
  int plotXY(const double* x, const unsigned short* y, int n, int plotStyle, int pointStyle,
             int lineStyle, int color);
  std::vector<PlotInfo> plots() const;

  // Axes: VAL_XAXIS, VAL_LEFT_YAXIS, VAL_RIGHT_YAXIS; mode VAL_MANUAL or
  // VAL_AUTOSCALE. Returns 0 or a negative value for a bad axis or range.
  int setScaling(int axis, int mode, double min, double max);
  bool axisRange(int axis, double* min, double* max) const;
  bool tickLabelsShown(int axis) const;

  // Cursors are numbered from 1.
  int cursorCount() const { return static_cast<int>(cursors_.size()); }
  bool setCursorPos(int cursor, double x, double y);
  bool cursorPos(int cursor, double* x, double* y) const;
  bool setCursorPointStyle(int cursor, int style);
  bool cursorPointStyle(int cursor, int* style) const;
  void setCursorCount(int n);
  // Fits the automatically scaled axes to what is plotted.
  void updateAutoscale();

 protected:
  void beforeRender() override;

 private:
  struct Plot {
    int handle = 0;
    bool active = false;
    TarvoRectItem* rect = nullptr;
    QCPCurve* curve = nullptr;
    PlotInfo info;
  };
  struct Cursor {
    TarvoCursorItem* item = nullptr;
    double x = 0, y = 0;
    int pointStyle = 0;
  };
  QCPAxis* axisFor(int axis) const;
  Plot& takeSlot(std::vector<Plot>& pool);
  void raiseAboveOthers(QCPLayerable* obj, const Plot* previous);
  const Plot* lastPlot() const;

  std::vector<Plot> rects_;
  std::vector<Plot> curves_;
  std::vector<std::pair<bool, int>>
      order_;  // active plots in drawing order: (is curve, pool index)
  std::vector<Cursor> cursors_;
  std::array<bool, 3> autoscale_{false, false, false};
  int nextHandle_ = 1;
  bool cursorsBelow_ = false;  // a plot was put above the cursors
};
