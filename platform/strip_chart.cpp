// TarvoStripChart: scrolling traces on QCustomPlot, newest point at the right.
#include "platform/strip_chart.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/ui.h"

namespace {

constexpr int kMaxTraces = 32;
constexpr int kMaxPointsPerScreen = 100000;
// Colours of traces nobody has coloured yet.
constexpr int kDefaultColours[] = {0x0000C0, 0xC00000, 0x008000, 0x000000, 0xC000C0, 0x00A0A0};

QColor Rgb(int rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb) & 0xFFFFFFu); }

}  // namespace

TarvoStripChart::TarvoStripChart(QWidget* parent) : TarvoPlotBase(parent) {
  setTraceCount(1);
  setPointsPerScreen(100);
}

void TarvoStripChart::configureFromProperties() {
  bool ok = false;
  const int traces = property("traces").toInt(&ok);
  if (ok && traces >= 1) setTraceCount(std::min(traces, kMaxTraces));
  const int pps = property("pointsPerScreen").toInt(&ok);
  if (ok && pps >= 2) setPointsPerScreen(std::min(pps, kMaxPointsPerScreen));
  bool ok0 = false, ok1 = false;
  const double y0 = property("yMin").toDouble(&ok0);
  const double y1 = property("yMax").toDouble(&ok1);
  if (ok0 && ok1 && y1 > y0) {
    yAxis->setRange(y0, y1);
    yAxis2->setRange(y0, y1);
  }
  markDirty(kDirtyAll);
}

void TarvoStripChart::applyPen(Trace& t) {
  // Thickness 1 marks a reference trace (limits, target): thin and dashed,
  // so it stands apart from the measured traces drawn solid and wider.
  const QPen pen = t.thickness == 1 ? QPen(Rgb(t.color), 1, Qt::DashLine)
                                    : QPen(Rgb(t.color), std::clamp(t.thickness, 2, 8));
  if (t.graph->pen() != pen) {
    t.graph->setPen(pen);
    markDirty(kDirtyPlots);
  }
}

void TarvoStripChart::setTraceCount(int n) {
  n = std::clamp(n, 1, kMaxTraces);
  while (static_cast<int>(traces_.size()) > n) {
    removePlottable(traces_.back().graph);
    traces_.pop_back();
  }
  while (static_cast<int>(traces_.size()) < n) {
    Trace t;
    t.graph = new QCPGraph(xAxis, yAxis);
    t.graph->setLayer(plotLayer());
    t.graph->setSelectable(QCP::stNone);
    t.graph->setAdaptiveSampling(false);
    // Thin lines without antialiasing: a history redrawn at every frame costs a
    // third of the time, and the lines stay sharp.
    t.graph->setAntialiased(false);
    t.color = kDefaultColours[traces_.size() % std::size(kDefaultColours)];
    t.ring.assign(static_cast<size_t>(pointsPerScreen_), 0.0);
    applyPen(t);
    traces_.push_back(std::move(t));
  }
  markDirty(kDirtyAll);
}

void TarvoStripChart::setPointsPerScreen(int n) {
  n = std::clamp(n, 2, kMaxPointsPerScreen);
  for (Trace& t : traces_) {
    // Keep the newest points that still fit.
    std::vector<double> keep;
    const int k = std::min(t.size, n);
    keep.reserve(static_cast<size_t>(n));
    for (int i = t.size - k; i < t.size; ++i) keep.push_back(t.ring[(t.head + i) % t.ring.size()]);
    keep.resize(static_cast<size_t>(n), 0.0);
    t.ring.swap(keep);
    t.head = 0;
    t.size = k;
    t.changed = true;
  }
  pointsPerScreen_ = n;
  xAxis->setRange(0, n - 1);
  for (Trace& t : traces_) syncData(t);
  markDirty(kDirtyAll);
}

void TarvoStripChart::pushPoint(Trace& t, double v) {
  const int cap = static_cast<int>(t.ring.size());
  const bool same = t.size > 0 && t.ring[(t.head + t.size - 1) % cap] == v;
  t.flat = same ? t.flat + 1 : 1;
  // A full trace of one value looks the same after the scroll: nothing to redraw.
  if (same && t.size == cap && t.flat > cap) {
    t.head = (t.head + 1) % cap;
    return;
  }
  if (t.size < cap) {
    t.ring[(t.head + t.size) % cap] = v;
    ++t.size;
  } else {
    t.ring[t.head] = v;
    t.head = (t.head + 1) % cap;
  }
  t.changed = true;
}

// Copies a trace into its graph: the newest point at the right edge.
void TarvoStripChart::syncData(Trace& t) {
  if (!t.changed) return;
  t.changed = false;
  const int cap = static_cast<int>(t.ring.size());
  const int x0 = pointsPerScreen_ - t.size;
  QSharedPointer<QCPGraphDataContainer> data = t.graph->data();
  if (data->size() == t.size) {
    int i = 0;
    for (auto it = data->begin(); it != data->end(); ++it, ++i) {
      it->key = x0 + i;
      it->value = t.ring[(t.head + i) % cap];
    }
  } else {
    QVector<QCPGraphData> points(t.size);
    for (int i = 0; i < t.size; ++i) points[i] = QCPGraphData(x0 + i, t.ring[(t.head + i) % cap]);
    data->set(points, true);
  }
}

int TarvoStripChart::plot(const double* values, int count, int start, int skip) {
  if (!values || count < 0 || start < 0 || skip < 0) return -1;
  const int n = static_cast<int>(traces_.size());
  const long step = static_cast<long>(skip) + 1;
  for (int k = 0; k < count; ++k) pushPoint(traces_[k % n], values[start + k * step]);
  bool changed = false;
  for (Trace& t : traces_) {
    changed = changed || t.changed;
    syncData(t);
  }
  ++updates_;
  if (changed) markDirty(kDirtyPlots);
  return 0;
}

void TarvoStripChart::clear() {
  for (Trace& t : traces_) {
    t.head = 0;
    t.size = 0;
    t.changed = true;
    syncData(t);
  }
  markDirty(kDirtyPlots);
}

int TarvoStripChart::setChartAttribute(int attribute, int value) {
  switch (attribute) {
    case ATTR_NUM_TRACES:
      if (value < 1 || value > kMaxTraces) return -1;
      if (value != static_cast<int>(traces_.size())) setTraceCount(value);
      return 0;
    case ATTR_POINTS_PER_SCREEN:
      if (value < 2 || value > kMaxPointsPerScreen) return -1;
      if (value != pointsPerScreen_) setPointsPerScreen(value);
      return 0;
    case ATTR_SCROLL_MODE:
      // Continuous scrolling is the only way this chart moves.
      scrollMode_ = value;
      return 0;
    default:
      return -1;
  }
}

int TarvoStripChart::chartAttribute(int attribute, int* value) const {
  switch (attribute) {
    case ATTR_NUM_TRACES:
      *value = static_cast<int>(traces_.size());
      return 0;
    case ATTR_POINTS_PER_SCREEN:
      *value = pointsPerScreen_;
      return 0;
    case ATTR_SCROLL_MODE:
      *value = scrollMode_;
      return 0;
    default:
      return -1;
  }
}

int TarvoStripChart::setTraceAttribute(int trace, int attribute, int value) {
  if (trace < 1 || trace > static_cast<int>(traces_.size())) return -1;
  Trace& t = traces_[trace - 1];
  switch (attribute) {
    case ATTR_TRACE_COLOR:
      t.color = value & 0xFFFFFF;
      applyPen(t);
      return 0;
    case ATTR_TRACE_THICKNESS:
      if (value < 1) return -1;
      t.thickness = value;
      applyPen(t);
      return 0;
    default:
      return -1;
  }
}

int TarvoStripChart::traceAttribute(int trace, int attribute, int* value) const {
  if (trace < 1 || trace > static_cast<int>(traces_.size()) || !value) return -1;
  const Trace& t = traces_[trace - 1];
  switch (attribute) {
    case ATTR_TRACE_COLOR:
      *value = t.color;
      return 0;
    case ATTR_TRACE_THICKNESS:
      *value = t.thickness;
      return 0;
    default:
      return -1;
  }
}

int TarvoStripChart::setScaling(int axis, int mode, double min, double max) {
  QCPAxis* a = axis == VAL_LEFT_YAXIS ? yAxis : axis == VAL_RIGHT_YAXIS ? yAxis2 : nullptr;
  if (!a) return -1;  // the time axis scrolls by itself
  if (mode == VAL_AUTOSCALE) {
    if (axis == VAL_LEFT_YAXIS) autoscaleY_ = true;
    markDirty(kDirtyAll);
    return 0;
  }
  if (mode != VAL_MANUAL || !std::isfinite(min) || !std::isfinite(max) || !(max > min)) return -1;
  if (axis == VAL_LEFT_YAXIS) autoscaleY_ = false;
  setAxisRangeIfChanged(a, min, max);
  return 0;
}

bool TarvoStripChart::axisRange(int axis, double* min, double* max) const {
  QCPAxis* a = axis == VAL_XAXIS         ? xAxis
               : axis == VAL_LEFT_YAXIS  ? yAxis
               : axis == VAL_RIGHT_YAXIS ? yAxis2
                                         : nullptr;
  if (!a) return false;
  if (min) *min = a->range().lower;
  if (max) *max = a->range().upper;
  return true;
}

std::vector<double> TarvoStripChart::tracePoints(int trace) const {
  std::vector<double> out;
  if (trace < 1 || trace > static_cast<int>(traces_.size())) return out;
  const Trace& t = traces_[trace - 1];
  out.reserve(static_cast<size_t>(t.size));
  for (int i = 0; i < t.size; ++i) out.push_back(t.ring[(t.head + i) % t.ring.size()]);
  return out;
}

void TarvoStripChart::updateAutoscale() {
  if (!autoscaleY_) return;
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (const Trace& t : traces_)
    for (int i = 0; i < t.size; ++i) {
      const double v = t.ring[(t.head + i) % t.ring.size()];
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  if (!(hi >= lo)) return;
  if (hi == lo) {
    lo -= 1;
    hi += 1;
  }
  if (yAxis->range().lower != lo || yAxis->range().upper != hi) {
    yAxis->setRange(lo, hi);
    markDirty(kDirtyAll);
  }
}
