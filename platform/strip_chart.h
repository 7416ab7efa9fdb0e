// The strip chart control of the panel file: a number of traces that scroll
// from right to left, each keeping the last "points per screen" values.
// Internal to platform/.
#pragma once
#include <vector>

#include "platform/graph_widget.h"

class TarvoStripChart : public TarvoPlotBase {
  Q_OBJECT
 public:
  explicit TarvoStripChart(QWidget* parent = nullptr);

  // traces, pointsPerScreen, yMin, yMax from the panel file's properties.
  void configureFromProperties();

  // Appends count values taken from values[start], values[start + skip + 1],
  // ...; value k of the call goes to trace (k mod traces) + 1.
  int plot(const double* values, int count, int start, int skip);
  void clear();
  int updates() const { return updates_; }

  // ATTR_NUM_TRACES, ATTR_POINTS_PER_SCREEN, ATTR_SCROLL_MODE.
  int setChartAttribute(int attribute, int value);
  int chartAttribute(int attribute, int* value) const;
  // ATTR_TRACE_COLOR, ATTR_TRACE_THICKNESS; traces are numbered from 1.
  int setTraceAttribute(int trace, int attribute, int value);
  int traceAttribute(int trace, int attribute, int* value) const;

  int setScaling(int axis, int mode, double min, double max);
  bool axisRange(int axis, double* min, double* max) const;
  std::vector<double> tracePoints(int trace) const;
  // Fits an automatically scaled value axis to the traces.
  void updateAutoscale();

 protected:
  void beforeRender() override { updateAutoscale(); }

 private:
  struct Trace {
    QCPGraph* graph = nullptr;
    std::vector<double> ring;  // capacity = points per screen
    int head = 0;              // index of the oldest point
    int size = 0;
    int color = 0;
    int thickness = 2;
    bool changed = false;
    int flat = 0;  // how many of the newest points equal the newest one
  };
  void setTraceCount(int n);
  void setPointsPerScreen(int n);
  void applyPen(Trace& t);
  void pushPoint(Trace& t, double v);
  void syncData(Trace& t);

  std::vector<Trace> traces_;
  int pointsPerScreen_ = 100;
  int scrollMode_ = 1;
  int updates_ = 0;
  bool autoscaleY_ = false;
};
