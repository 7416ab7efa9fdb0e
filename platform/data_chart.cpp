// TarvoDataChart: series of many points with mouse zoom and pan, drawn with
// QCustomPlot's own interactions.
#include "platform/data_chart.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/ui.h"

namespace {

// Ticks at whole seconds, minutes or hours of the converted value; the text
// of each tick comes from the program.
class ConvertedTicker : public QCPAxisTickerTime {
 public:
  TarvoDataChart::LabelFn fn = nullptr;

 protected:
  QString getTickLabel(double tick, const QLocale& locale, QChar formatChar,
                       int precision) override {
    if (!fn) return QCPAxisTickerTime::getTickLabel(tick, locale, formatChar, precision);
    return QString::fromStdString(fn(tick));
  }
};

// The smallest and largest value of the visible series on one value axis.
bool ValueRange(const std::vector<QCPGraph*>& series, QCPAxis* axis, double* lo, double* hi) {
  *lo = std::numeric_limits<double>::infinity();
  *hi = -*lo;
  for (QCPGraph* g : series) {
    if (!g->visible() || g->valueAxis() != axis) continue;
    for (const QCPGraphData& d : *g->data()) {
      *lo = std::min(*lo, d.value);
      *hi = std::max(*hi, d.value);
    }
  }
  return *hi >= *lo;
}

}  // namespace

TarvoDataChart::TarvoDataChart(QWidget* parent) : TarvoPlotBase(parent) {
  setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  axisRect()->setRangeDragAxes({xAxis}, {yAxis, yAxis2});
  axisRect()->setRangeZoomAxes({xAxis}, {yAxis, yAxis2});
  yAxis2->setVisible(true);
  xAxis2->setVisible(true);
  xAxis2->setTicker(QSharedPointer<ConvertedTicker>::create());
  xAxis2->setTickLabels(false);
  for (QCPAxis* a : {xAxis2, yAxis2}) {
    a->setTickLabelFont(xAxis->tickLabelFont());
    a->setLabelFont(xAxis->labelFont());
  }
  legend->setVisible(true);
  legend->setFont(xAxis->tickLabelFont());
  legend->setBrush(QColor(255, 255, 255, 220));
  axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
  viewTimer_.setSingleShot(true);
  viewTimer_.setInterval(0);
  connect(&viewTimer_, &QTimer::timeout, this, &TarvoDataChart::viewChanged);
  connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this]() {
    syncTopAxis();
    if (!programmatic_) viewTimer_.start();
  });
}

void TarvoDataChart::configureFromProperties() {
  xAxis->setLabel(property("xLabel").toString());
  yAxis->setLabel(property("yLabel").toString());
  yAxis2->setLabel(property("y2Label").toString());
  markDirty(kDirtyAll);
}

QCPGraph* TarvoDataChart::graph(int series) const {
  return series >= 0 && series < static_cast<int>(series_.size()) ? series_[series] : nullptr;
}

bool TarvoDataChart::setSeries(int series, const double* x, const double* y, int n, int color,
                               int axis, const QString& name) {
  if (series < 0 || series > 63 || n < 0 || (n > 0 && (!x || !y))) return false;
  if (axis != VAL_LEFT_YAXIS && axis != VAL_RIGHT_YAXIS) return false;
  while (static_cast<int>(series_.size()) <= series) {
    QCPGraph* g = addGraph(xAxis, yAxis);
    g->setLayer(plotLayer());
    g->setSelectable(QCP::stNone);
    g->removeFromLegend();
    g->setVisible(false);
    series_.push_back(g);
  }
  QCPGraph* g = series_[series];
  QCPAxis* valueAxis = axis == VAL_RIGHT_YAXIS ? yAxis2 : yAxis;
  if (g->valueAxis() != valueAxis) g->setValueAxis(valueAxis);
  g->setPen(QPen(QColor::fromRgb(static_cast<QRgb>(color) & 0xFFFFFFu), 1));
  g->setName(name);
  QVector<QCPGraphData> points(n);
  for (int i = 0; i < n; ++i) points[i] = QCPGraphData(x[i], y[i]);
  g->data()->set(points, true);
  markDirty(kDirtyAll);
  return true;
}

bool TarvoDataChart::setSeriesVisible(int series, bool visible) {
  QCPGraph* g = graph(series);
  if (!g) return false;
  g->setVisible(visible);
  // The legend lists the visible series in their order.
  legend->clearItems();
  for (QCPGraph* s : series_)
    if (s->visible()) s->addToLegend();
  markDirty(kDirtyAll);
  return true;
}

bool TarvoDataChart::seriesData(int series, std::vector<double>* xs,
                                std::vector<double>* ys) const {
  QCPGraph* g = graph(series);
  if (!g) return false;
  xs->clear();
  ys->clear();
  for (const QCPGraphData& d : *g->data()) {
    xs->push_back(d.key);
    ys->push_back(d.value);
  }
  return true;
}

void TarvoDataChart::setTopAxis(double offset, double scale, const QString& label, LabelFn fn) {
  topOffset_ = offset;
  topScale_ = scale;
  static_cast<ConvertedTicker*>(xAxis2->ticker().data())->fn = fn;
  xAxis2->setLabel(label);
  xAxis2->setTickLabels(scale > 0);
  xAxis2->setTicks(scale > 0);
  syncTopAxis();
  markDirty(kDirtyAll);
}

void TarvoDataChart::syncTopAxis() {
  const QCPRange r = xAxis->range();
  if (topScale_ > 0)
    xAxis2->setRange(topOffset_ + topScale_ * r.lower, topOffset_ + topScale_ * r.upper);
  else
    xAxis2->setRange(r);
}

void TarvoDataChart::resetView(double xMin, double xMax) {
  if (!(xMax > xMin)) {
    xMin -= 0.5;
    xMax = xMin + 1.0;
  }
  programmatic_ = true;
  xAxis->setRange(xMin, xMax);
  programmatic_ = false;
  fitValueAxes();
}

void TarvoDataChart::fitValueAxes() {
  for (QCPAxis* axis : {yAxis, yAxis2}) {
    double lo = 0, hi = 0;
    if (!ValueRange(series_, axis, &lo, &hi)) continue;
    const double margin = hi > lo ? (hi - lo) * 0.05 : 1.0;
    axis->setRange(lo - margin, hi + margin);
  }
  markDirty(kDirtyAll);
}

bool TarvoDataChart::setXRange(double min, double max) {
  if (!std::isfinite(min) || !std::isfinite(max) || !(max > min)) return false;
  programmatic_ = true;
  xAxis->setRange(min, max);
  programmatic_ = false;
  markDirty(kDirtyAll);
  return true;
}

void TarvoDataChart::xRange(double* min, double* max) const {
  if (min) *min = xAxis->range().lower;
  if (max) *max = xAxis->range().upper;
}
