// Read-back of what the graph controls show, for tests and the screenshot helper.
#pragma once
#include <vector>

struct PlotInfo {
  enum Kind { kRectangle, kXY } kind = kRectangle;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // rectangle corners
  int frameColor = 0, fillColor = 0;      // rectangle colours
  std::vector<double> xs, ys;             // XY curve
  int color = 0, plotStyle = 0, pointStyle = 0, lineStyle = 0;
};
std::vector<PlotInfo> GetGraphPlots(int panel, int control);
// Fixed range of an axis (VAL_XAXIS, VAL_LEFT_YAXIS, VAL_RIGHT_YAXIS).
void GetAxisRange(int panel, int control, int axis, double* min, double* max);
// Whether an axis of a graph shows tick labels.
bool AxisTickLabelsShown(int panel, int control, int axis);
// Points currently held by one strip-chart trace (1-based), oldest first.
std::vector<double> GetStripTrace(int panel, int control, int trace);
int GetTraceAttribute(int panel, int control, int trace, int attribute, int* value);
// Number of PlotStripChart calls since the panel was loaded.
int StripChartUpdates(int panel, int control);
