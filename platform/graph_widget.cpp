// TarvoGraph: rectangles, curves and cross-hair cursors on fixed or automatic
// axes, drawn with QCustomPlot; and the deferred drawing shared with the strip
// chart.
#include "platform/graph_widget.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/ui.h"

namespace {

// How long drawing waits after the first plotting call of a frame.
constexpr int kRenderDelayMs = 3;

QColor Rgb(int rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb) & 0xFFFFFFu); }

QFont TickFont(const QFont& base) {
  QFont f = base;
  f.setPointSizeF(std::max(6.0, base.pointSizeF() > 0 ? base.pointSizeF() - 1 : 8.0));
  return f;
}

}  // namespace

// The white ground of the whole widget, drawn first into the lowest paint
// buffer: that buffer is then opaque and the widget copies it to the screen
// instead of filling the ground and blending the buffer over it.
class TarvoBackdrop : public QCPLayerable {
 public:
  TarvoBackdrop(QCustomPlot* plot, const QString& layer) : QCPLayerable(plot, layer) {
    setAntialiased(false);
  }

 protected:
  void applyDefaultAntialiasingHint(QCPPainter* painter) const override {
    applyAntialiasingHint(painter, false, QCP::aeNone);
  }
  void draw(QCPPainter* painter) override {
    // The layer clips one row short at the bottom; the ground covers it all.
    painter->setClipping(false);
    painter->fillRect(clipRect(), Qt::white);
  }
};

// The lowest paint buffer: it only ever holds the opaque ground and what is
// drawn on it, so it is cleared to white instead of to transparent and keeps
// an opaque pixel format. Copying it to the screen is then a plain copy of
// rows, where a buffer with an alpha channel goes through the generic
// compositing path (which even hands the rows to worker threads).
class TarvoGroundBuffer : public QCPPaintBufferPixmap {
 public:
  using QCPPaintBufferPixmap::QCPPaintBufferPixmap;
  void clear(const QColor&) override { mBuffer.fill(Qt::white); }
};

// A cursor: vertical and horizontal line across the plot area through its
// position, with an optional square point marker. A cursor exactly on the
// edge of the axis range stays visible on the edge.
class TarvoCursorItem : public QCPAbstractItem {
 public:
  explicit TarvoCursorItem(QCustomPlot* plot)
      : QCPAbstractItem(plot), position(createPosition(QStringLiteral("position"))) {
    position->setType(QCPItemPosition::ptPlotCoords);
    position->setAxes(plot->xAxis, plot->yAxis);
    setAntialiased(false);
    setSelectable(false);
  }
  QCPItemPosition* const position;
  QPen pen;
  bool marker = false;

  double selectTest(const QPointF&, bool, QVariant*) const override { return -1; }

 protected:
  void draw(QCPPainter* painter) override {
    const QPointF c = position->pixelPosition();
    const QRect clip = clipRect();
    if (!std::isfinite(c.x()) || !std::isfinite(c.y())) return;
    const bool xIn = c.x() >= clip.left() - 1.5 && c.x() <= clip.right() + 1.5;
    const bool yIn = c.y() >= clip.top() - 1.5 && c.y() <= clip.bottom() + 1.5;
    const double x = std::clamp(c.x(), double(clip.left()), double(clip.right()));
    const double y = std::clamp(c.y(), double(clip.top()), double(clip.bottom()));
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    if (xIn) painter->drawLine(QLineF(x, clip.top(), x, clip.bottom()));
    if (yIn) painter->drawLine(QLineF(clip.left(), y, clip.right(), y));
    if (marker && xIn && yIn) {
      painter->setPen(QPen(Qt::black, 1));
      painter->setBrush(pen.color());
      painter->drawRect(QRectF(x - 3.5, y - 3.5, 7, 7));
    }
  }
};

// A filled rectangle between two corners in graph coordinates. However
// narrow in data (an edge bar a few pixels wide on a 4096-pixel axis), it is
// drawn at least 3 screen pixels wide, so it stays visible.
class TarvoRectItem : public QCPAbstractItem {
 public:
  explicit TarvoRectItem(QCustomPlot* plot)
      : QCPAbstractItem(plot),
        corner1(createPosition(QStringLiteral("corner1"))),
        corner2(createPosition(QStringLiteral("corner2"))) {
    for (QCPItemPosition* p : {corner1, corner2}) {
      p->setType(QCPItemPosition::ptPlotCoords);
      p->setAxes(plot->xAxis, plot->yAxis);
    }
    setAntialiased(false);
    setSelectable(false);
  }
  QCPItemPosition* const corner1;
  QCPItemPosition* const corner2;
  QPen pen;
  QBrush brush;

  double selectTest(const QPointF&, bool, QVariant*) const override { return -1; }

 protected:
  void draw(QCPPainter* painter) override {
    QRectF r = QRectF(corner1->pixelPosition(), corner2->pixelPosition()).normalized();
    if (!std::isfinite(r.x()) || !std::isfinite(r.y()) || !std::isfinite(r.width()) ||
        !std::isfinite(r.height()))
      return;
    if (r.width() < 3) r.adjust(-(3 - r.width()) / 2, 0, (3 - r.width()) / 2, 0);
    if (r.height() < 1) r.setHeight(1);
    if (!r.intersects(clipRect())) return;
    painter->setPen(pen);
    painter->setBrush(brush);
    painter->drawRect(r.adjusted(0, 0, -1, -1));
  }
};

// ---- TarvoPlotBase --------------------------------------------------------------

TarvoPlotBase::TarvoPlotBase(QWidget* parent) : QCustomPlot(parent) {
  // The plot keeps the buffers it finds and only adds the ones it lacks: with
  // every layer logical, this one buffer holds the ground, grid and axes.
  mPaintBuffers.append(QSharedPointer<QCPAbstractPaintBuffer>(
      new TarvoGroundBuffer(viewport().size(), mBufferDevicePixelRatio)));
  layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmLogical);
  addLayer(QStringLiteral("backdrop"), layer(QStringLiteral("background")), limBelow);
  new TarvoBackdrop(this, QStringLiteral("backdrop"));
  // Plots and cursors on top of everything else (they are clipped to the axis
  // rectangle, so the axes stay visible), drawn by paintEvent only.
  addLayer(QStringLiteral("plots"), layer(QStringLiteral("overlay")), limAbove);
  plotLayer_ = layer(QStringLiteral("plots"));
  plotLayer_->setVisible(false);
  setCurrentLayer(plotLayer_);
  setBackground(Qt::white);
  // The plot paints every pixel of itself: nothing beneath needs painting.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setInteractions(QCP::Interactions());
  const QFont ticks = TickFont(font());
  for (QCPAxis* a : {xAxis, yAxis}) {
    a->setTickLabelFont(ticks);
    a->setLabelFont(ticks);
    a->grid()->setPen(QPen(QColor(210, 210, 210), 0, Qt::DotLine));
  }
  xAxis->setRange(0, 10);
  yAxis->setRange(0, 10);
  yAxis2->setRange(0, 10);
  renderTimer_.setSingleShot(true);
  renderTimer_.setTimerType(Qt::PreciseTimer);
  renderTimer_.setInterval(kRenderDelayMs);
  connect(&renderTimer_, &QTimer::timeout, this, &TarvoPlotBase::renderNow);
}

void TarvoPlotBase::markDirty(int what) {
  dirty_ |= what;
  if (!renderTimer_.isActive()) renderTimer_.start();
}

void TarvoPlotBase::setAxisRangeIfChanged(QCPAxis* axis, double min, double max) {
  const QCPRange r = axis->range();
  if (r.lower == min && r.upper == max) return;
  axis->setRange(min, max);
  markDirty(kDirtyAll);
}

void TarvoPlotBase::renderNow() { render(rpRefreshHint); }

void TarvoPlotBase::render(RefreshPriority refresh) {
  if (!dirty_) return;
  // Hidden graphs draw nothing; they catch up when shown.
  if (!isVisible()) return;
  beforeRender();
  const int what = dirty_;
  dirty_ = 0;
  ++renders_;
  if (what & kDirtyAll) {
    replot(refresh);
    return;
  }
  if (what & kDirtyPlots) update(plotArea());
}

QRect TarvoPlotBase::plotArea() const {
  // The layers clip one pixel above the axis rectangle.
  return axisRect()->rect().adjusted(-1, -2, 1, 1);
}

namespace {
// The plot layer's own drawing of its children (each with its clip and
// antialiasing), reached through a class derived from the layer.
struct LayerDraw : QCPLayer {
  static constexpr auto kDraw = &LayerDraw::draw;
};
// Shows the plot layer, which the plot's own drawing leaves out, for a scope.
class PlotsShown {
 public:
  explicit PlotsShown(QCPLayer* layer) : layer_(layer) { layer_->setVisible(true); }
  ~PlotsShown() { layer_->setVisible(false); }

 private:
  QCPLayer* layer_;
};
}  // namespace

void TarvoPlotBase::drawPlots(QCPPainter* painter) {
  PlotsShown shown(plotLayer_);
  (plotLayer_->*LayerDraw::kDraw)(painter);
}

QPixmap TarvoPlotBase::image() {
  PlotsShown shown(plotLayer_);
  return toPixmap();
}

void TarvoPlotBase::paintEvent(QPaintEvent* e) {
  if (dirty_) {
    renderTimer_.stop();
    // Already painting: what is pending is drawn now, and painted just below.
    render(rpQueuedRefresh);
  }
  // A buffer not drawn since it was resized or set up is drawn first.
  if (mPaintBuffers.isEmpty() || mPaintBuffers.first()->invalidated()) replot(rpQueuedRefresh);
  QCPPainter painter(this);
  if (!painter.isActive() || mPaintBuffers.isEmpty()) return;
  // The buffer holds the white ground, so it is copied, not blended; only the
  // part that needs painting is copied.
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  mPaintBuffers.first()->draw(&painter);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (e->rect().intersects(plotArea())) drawPlots(&painter);
}

void TarvoPlotBase::showEvent(QShowEvent* e) {
  QCustomPlot::showEvent(e);
  dirty_ |= kDirtyAll;
  renderNow();
}

// ---- TarvoGraph -----------------------------------------------------------------

TarvoGraph::TarvoGraph(QWidget* parent) : TarvoPlotBase(parent) {}

void TarvoGraph::configureFromProperties() {
  auto num = [this](const char* name, double fallback) {
    bool ok = false;
    const double v = property(name).toDouble(&ok);
    return ok ? v : fallback;
  };
  const double x0 = num("xMin", 0), x1 = num("xMax", 10);
  const double y0 = num("yMin", 0), y1 = num("yMax", 10);
  if (x1 > x0) xAxis->setRange(x0, x1);
  if (y1 > y0) {
    yAxis->setRange(y0, y1);
    yAxis2->setRange(y0, y1);
  }
  xAxis->setLabel(property("xLabel").toString());
  yAxis->setLabel(property("yLabel").toString());
  // A value axis that only holds bars and windows (0 to 1) can go without
  // tick marks, labels and grid: they would mean nothing to the reader.
  const QVariant yTicks = property("yTickLabels");
  const bool showYTicks = !yTicks.isValid() || yTicks.toBool();
  yAxis->setTicks(showYTicks);
  yAxis->setTickLabels(showYTicks);
  yAxis->grid()->setVisible(showYTicks);
  setCursorCount(std::clamp(property("cursors").toInt(), 0, 2));
  markDirty(kDirtyAll);
}

void TarvoGraph::setCursorCount(int n) {
  n = std::clamp(n, 0, 2);
  while (static_cast<int>(cursors_.size()) > n) {
    removeItem(cursors_.back().item);
    cursors_.pop_back();
  }
  while (static_cast<int>(cursors_.size()) < n) {
    Cursor c;
    c.item = new TarvoCursorItem(this);
    c.item->setLayer(plotLayer());
    // Cursor 1 solid dark blue, cursor 2 dashed black: both show where they meet.
    c.item->pen = cursors_.empty() ? QPen(QColor(0, 0, 170), 1) : QPen(Qt::black, 1, Qt::DashLine);
    c.x = xAxis->range().lower;
    c.y = yAxis->range().lower;
    c.pointStyle = VAL_NO_POINT;
    c.item->position->setCoords(c.x, c.y);
    cursors_.push_back(c);
  }
  markDirty(kDirtyPlots);
}

QCPAxis* TarvoGraph::axisFor(int axis) const {
  switch (axis) {
    case VAL_XAXIS:
      return xAxis;
    case VAL_LEFT_YAXIS:
      return yAxis;
    case VAL_RIGHT_YAXIS:
      return yAxis2;
    default:
      return nullptr;
  }
}

int TarvoGraph::setScaling(int axis, int mode, double min, double max) {
  QCPAxis* a = axisFor(axis);
  if (!a) return -1;
  if (mode == VAL_AUTOSCALE) {
    autoscale_[axis] = true;
    markDirty(kDirtyAll);
    return 0;
  }
  if (mode != VAL_MANUAL || !std::isfinite(min) || !std::isfinite(max) || !(max > min)) return -1;
  autoscale_[axis] = false;
  setAxisRangeIfChanged(a, min, max);
  return 0;
}

bool TarvoGraph::axisRange(int axis, double* min, double* max) const {
  QCPAxis* a = axisFor(axis);
  if (!a) return false;
  if (min) *min = a->range().lower;
  if (max) *max = a->range().upper;
  return true;
}

bool TarvoGraph::tickLabelsShown(int axis) const {
  QCPAxis* a = axisFor(axis);
  return a && a->visible() && a->tickLabels();
}

void TarvoGraph::beforeRender() {
  updateAutoscale();
  // Cursors stay on top of plots made after them.
  if (cursorsBelow_) {
    cursorsBelow_ = false;
    for (Cursor& c : cursors_) c.item->setLayer(plotLayer());
  }
}

void TarvoGraph::updateAutoscale() {
  for (int axis = 0; axis < 3; ++axis) {
    if (!autoscale_[axis]) continue;
    const bool isX = axis == VAL_XAXIS;
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const PlotInfo& p : plots()) {
      if (p.kind == PlotInfo::kRectangle) {
        for (double v :
             isX ? std::array<double, 2>{p.x1, p.x2} : std::array<double, 2>{p.y1, p.y2}) {
          lo = std::min(lo, v);
          hi = std::max(hi, v);
        }
      } else {
        for (double v : isX ? p.xs : p.ys) {
          lo = std::min(lo, v);
          hi = std::max(hi, v);
        }
      }
    }
    if (!(hi >= lo)) continue;  // nothing plotted
    if (hi == lo) {
      lo -= 1;
      hi += 1;
    }
    QCPAxis* a = axisFor(axis);
    if (a->range().lower != lo || a->range().upper != hi) {
      a->setRange(lo, hi);
      markDirty(kDirtyAll);
    }
  }
}

const TarvoGraph::Plot* TarvoGraph::lastPlot() const {
  if (order_.empty()) return nullptr;
  const auto& [isCurve, index] = order_.back();
  return isCurve ? &curves_[index] : &rects_[index];
}

TarvoGraph::Plot& TarvoGraph::takeSlot(std::vector<Plot>& pool) {
  for (Plot& p : pool)
    if (!p.active) return p;
  pool.emplace_back();
  return pool.back();
}

// A reused plot object keeps its place in the drawing order; a plot made
// after another must lie on top of it.
void TarvoGraph::raiseAboveOthers(QCPLayerable* obj, const Plot* previous) {
  if (!previous) return;
  QCPLayerable* prev = previous->curve ? static_cast<QCPLayerable*>(previous->curve)
                                       : static_cast<QCPLayerable*>(previous->rect);
  const QList<QCPLayerable*> children = plotLayer()->children();
  if (children.indexOf(obj) < children.indexOf(prev)) {
    obj->setLayer(plotLayer());
    cursorsBelow_ = true;
  }
}

bool TarvoGraph::deletePlots(int handle) {
  if (handle == VAL_ALL_PLOTS) {
    for (Plot& p : rects_)
      if (p.active) {
        p.active = false;
        p.rect->setVisible(false);
      }
    for (Plot& p : curves_)
      if (p.active) {
        p.active = false;
        p.curve->setVisible(false);
      }
    if (!order_.empty()) markDirty(kDirtyPlots);
    order_.clear();
    return true;
  }
  for (size_t i = 0; i < order_.size(); ++i) {
    Plot& p = order_[i].first ? curves_[order_[i].second] : rects_[order_[i].second];
    if (p.handle != handle) continue;
    p.active = false;
    if (p.rect) p.rect->setVisible(false);
    if (p.curve) p.curve->setVisible(false);
    order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(i));
    markDirty(kDirtyPlots);
    return true;
  }
  return false;
}

int TarvoGraph::plotRectangle(double x1, double y1, double x2, double y2, int frameColor,
                              int fillColor) {
  const Plot* previous = lastPlot();
  Plot& p = takeSlot(rects_);
  if (!p.rect) {
    p.rect = new TarvoRectItem(this);
    p.rect->setLayer(plotLayer());
    cursorsBelow_ = true;
  } else {
    raiseAboveOthers(p.rect, previous);
  }
  p.rect->corner1->setCoords(x1, y1);
  p.rect->corner2->setCoords(x2, y2);
  p.rect->pen = QPen(Rgb(frameColor), 1);
  p.rect->brush = QBrush(Rgb(fillColor));
  p.rect->setVisible(true);
  p.active = true;
  p.handle = nextHandle_++;
  if (nextHandle_ <= 0) nextHandle_ = 1;
  p.info.kind = PlotInfo::kRectangle;
  p.info.x1 = x1;
  p.info.y1 = y1;
  p.info.x2 = x2;
  p.info.y2 = y2;
  p.info.frameColor = frameColor & 0xFFFFFF;
  p.info.fillColor = fillColor & 0xFFFFFF;
  order_.emplace_back(false, static_cast<int>(&p - rects_.data()));
  markDirty(kDirtyPlots);
  return p.handle;
}

int TarvoGraph::plotXY(const double* x, const unsigned short* y, int n, int plotStyle,
                       int pointStyle, int lineStyle, int color) {
  if (!x || !y || n < 1) return -1;
  const Plot* previous = lastPlot();
  Plot& p = takeSlot(curves_);
  if (!p.curve) {
    p.curve = new QCPCurve(xAxis, yAxis);
    p.curve->setLayer(plotLayer());
    p.curve->setSelectable(QCP::stNone);
    cursorsBelow_ = true;
  } else {
    raiseAboveOthers(p.curve, previous);
  }
  // Points in the order given (a curve, not a function of x); the data are
  // rewritten in place when the count stays the same.
  QSharedPointer<QCPCurveDataContainer> data = p.curve->data();
  if (data->size() == n) {
    int i = 0;
    for (auto it = data->begin(); it != data->end(); ++it, ++i) {
      it->key = x[i];
      it->value = y[i];
    }
  } else {
    QVector<QCPCurveData> points(n);
    for (int i = 0; i < n; ++i) points[i] = QCPCurveData(i, x[i], y[i]);
    data->set(points, true);
  }
  static const Qt::PenStyle kLineStyles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine,
                                             Qt::DashDotLine, Qt::DashDotDotLine};
  const Qt::PenStyle ls = lineStyle >= 0 && lineStyle < 5 ? kLineStyles[lineStyle] : Qt::SolidLine;
  const QPen pen(Rgb(color), plotStyle == VAL_FAT_LINE ? 2.5 : 1.0, ls, Qt::RoundCap,
                 Qt::RoundJoin);
  if (p.curve->pen() != pen) p.curve->setPen(pen);
  // Thin and fat lines are lines; scatter (2) and connected points (1) show
  // their points as well.
  const bool showPoints = plotStyle == 1 || plotStyle == 2;
  p.curve->setLineStyle(plotStyle == 2 ? QCPCurve::lsNone : QCPCurve::lsLine);
  p.curve->setScatterStyle(showPoints ? QCPScatterStyle(QCPScatterStyle::ssDisc, Rgb(color), 4)
                                      : QCPScatterStyle());
  p.curve->setVisible(true);
  p.active = true;
  p.handle = nextHandle_++;
  if (nextHandle_ <= 0) nextHandle_ = 1;
  p.info.kind = PlotInfo::kXY;
  p.info.xs.assign(x, x + n);
  p.info.ys.assign(y, y + n);
  p.info.color = color & 0xFFFFFF;
  p.info.plotStyle = plotStyle;
  p.info.pointStyle = pointStyle;
  p.info.lineStyle = lineStyle;
  order_.emplace_back(true, static_cast<int>(&p - curves_.data()));
  markDirty(kDirtyPlots);
  return p.handle;
}

std::vector<PlotInfo> TarvoGraph::plots() const {
  std::vector<PlotInfo> out;
  out.reserve(order_.size());
  for (const auto& [isCurve, index] : order_)
    out.push_back(isCurve ? curves_[index].info : rects_[index].info);
  return out;
}

bool TarvoGraph::setCursorPos(int cursor, double x, double y) {
  if (cursor < 1 || cursor > cursorCount()) return false;
  Cursor& c = cursors_[cursor - 1];
  if (c.x == x && c.y == y) return true;
  c.x = x;
  c.y = y;
  c.item->position->setCoords(x, y);
  markDirty(kDirtyPlots);
  return true;
}

bool TarvoGraph::cursorPos(int cursor, double* x, double* y) const {
  if (cursor < 1 || cursor > cursorCount()) return false;
  if (x) *x = cursors_[cursor - 1].x;
  if (y) *y = cursors_[cursor - 1].y;
  return true;
}

bool TarvoGraph::setCursorPointStyle(int cursor, int style) {
  if (cursor < 1 || cursor > cursorCount()) return false;
  Cursor& c = cursors_[cursor - 1];
  if (c.pointStyle == style) return true;
  c.pointStyle = style;
  c.item->marker = style != VAL_NO_POINT;
  markDirty(kDirtyPlots);
  return true;
}

bool TarvoGraph::cursorPointStyle(int cursor, int* style) const {
  if (cursor < 1 || cursor > cursorCount()) return false;
  if (style) *style = cursors_[cursor - 1].pointStyle;
  return true;
}
