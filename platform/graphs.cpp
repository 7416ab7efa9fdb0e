// Graph and strip-chart services, and the read-back of what they show.
#include "platform/graph_probe.h"
#include "platform/graph_widget.h"
#include "platform/panel_registry.h"
#include "platform/strip_chart.h"
#include "platform/ui.h"

using namespace tarvo_ui;

int DeleteGraphPlot(int panel, int control, int plotHandle, int /*refresh*/) {
  int err = 0;
  // Drawing always waits for the next event processing, so the plots drawn
  // right after a delete replace the deleted ones without flicker.
  if (auto* g = FindCtrlAs<TarvoGraph>(panel, control, &err))
    return g->deletePlots(plotHandle) ? 0 : kErrValue;
  return err;
}

int PlotRectangle(int panel, int control, double x1, double y1, double x2, double y2,
                  int frameColor, int fillColor) {
  int err = 0;
  if (auto* g = FindCtrlAs<TarvoGraph>(panel, control, &err))
    return g->plotRectangle(x1, y1, x2, y2, frameColor, fillColor);
  return err;
}

int PlotXY(int panel, int control, const double* x, const unsigned short* y, int numPoints,
           int plotStyle, int pointStyle, int lineStyle, int /*pointFrequency*/, int color) {
  int err = 0;
  if (auto* g = FindCtrlAs<TarvoGraph>(panel, control, &err)) {
    const int h = g->plotXY(x, y, numPoints, plotStyle, pointStyle, lineStyle, color);
    return h > 0 ? h : kErrValue;
  }
  return err;
}

int PlotStripChart(int panel, int control, const double* values, int count, int start, int skip) {
  int err = 0;
  if (auto* s = FindCtrlAs<TarvoStripChart>(panel, control, &err))
    return s->plot(values, count, start, skip) == 0 ? 0 : kErrValue;
  return err;
}

int ClearStripChart(int panel, int control) {
  int err = 0;
  if (auto* s = FindCtrlAs<TarvoStripChart>(panel, control, &err)) {
    s->clear();
    return 0;
  }
  return err;
}

int SetTraceAttribute(int panel, int control, int trace, int attribute, int value) {
  int err = 0;
  if (auto* s = FindCtrlAs<TarvoStripChart>(panel, control, &err))
    return s->setTraceAttribute(trace, attribute, value) == 0 ? 0 : kErrAttribute;
  return err;
}

int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max) {
  int err = 0;
  QWidget* w = nullptr;
  if (!(w = FindCtrlAs<QWidget>(panel, control, &err))) return err;
  if (auto* g = qobject_cast<TarvoGraph*>(w))
    return g->setScaling(axis, mode, min, max) == 0 ? 0 : kErrValue;
  if (auto* s = qobject_cast<TarvoStripChart*>(w))
    return s->setScaling(axis, mode, min, max) == 0 ? 0 : kErrValue;
  return kErrControlType;
}

int SetGraphCursor(int panel, int control, int cursor, double x, double y) {
  int err = 0;
  if (auto* g = FindCtrlAs<TarvoGraph>(panel, control, &err))
    return g->setCursorPos(cursor, x, y) ? 0 : kErrValue;
  return err;
}

int GetGraphCursor(int panel, int control, int cursor, double* x, double* y) {
  int err = 0;
  if (auto* g = FindCtrlAs<TarvoGraph>(panel, control, &err))
    return g->cursorPos(cursor, x, y) ? 0 : kErrValue;
  return err;
}

int SetCursorAttribute(int panel, int control, int cursor, int attribute, int value) {
  int err = 0;
  auto* g = FindCtrlAs<TarvoGraph>(panel, control, &err);
  if (!g) return err;
  if (attribute != ATTR_CURSOR_POINT_STYLE) return kErrAttribute;
  return g->setCursorPointStyle(cursor, value) ? 0 : kErrValue;
}

int GetCursorAttribute(int panel, int control, int cursor, int attribute, int* value) {
  int err = 0;
  auto* g = FindCtrlAs<TarvoGraph>(panel, control, &err);
  if (!g) return err;
  if (attribute != ATTR_CURSOR_POINT_STYLE) return kErrAttribute;
  return g->cursorPointStyle(cursor, value) ? 0 : kErrValue;
}

// ---- Read-back ---------------------------------------------------------------

std::vector<PlotInfo> GetGraphPlots(int panel, int control) {
  int err = 0;
  if (auto* g = FindCtrlAs<TarvoGraph>(panel, control, &err)) return g->plots();
  return {};
}

bool AxisTickLabelsShown(int panel, int control, int axis) {
  int err = 0;
  auto* g = qobject_cast<TarvoGraph*>(FindCtrlAs<QWidget>(panel, control, &err));
  return g && g->tickLabelsShown(axis);
}

void GetAxisRange(int panel, int control, int axis, double* min, double* max) {
  int err = 0;
  QWidget* w = FindCtrlAs<QWidget>(panel, control, &err);
  bool ok = false;
  if (auto* g = qobject_cast<TarvoGraph*>(w)) {
    g->updateAutoscale();
    ok = g->axisRange(axis, min, max);
  }
  if (auto* s = qobject_cast<TarvoStripChart*>(w)) {
    s->updateAutoscale();
    ok = s->axisRange(axis, min, max);
  }
  if (!ok) {
    if (min) *min = 0;
    if (max) *max = 0;
  }
}

std::vector<double> GetStripTrace(int panel, int control, int trace) {
  int err = 0;
  if (auto* s = FindCtrlAs<TarvoStripChart>(panel, control, &err)) return s->tracePoints(trace);
  return {};
}

int GetTraceAttribute(int panel, int control, int trace, int attribute, int* value) {
  int err = 0;
  if (auto* s = FindCtrlAs<TarvoStripChart>(panel, control, &err))
    return s->traceAttribute(trace, attribute, value) == 0 ? 0 : kErrAttribute;
  return err;
}

int StripChartUpdates(int panel, int control) {
  int err = 0;
  if (auto* s = FindCtrlAs<TarvoStripChart>(panel, control, &err)) return s->updates();
  return 0;
}
