// Data-chart services and the image export of graph controls.
#include "platform/chart.h"

#include <QPainter>
#include <QPixmap>

#include "platform/data_chart.h"
#include "platform/panel_registry.h"
#include "platform/ui.h"

using namespace tarvo_ui;

int PlotChartSeries(int panel, int control, int series, const double* x, const double* y,
                    int numPoints, int color, int yAxis, const char* name) {
  int err = 0;
  if (auto* c = FindCtrlAs<TarvoDataChart>(panel, control, &err))
    return c->setSeries(series, x, y, numPoints, color, yAxis, QString::fromUtf8(name ? name : ""))
               ? 0
               : kErrValue;
  return err;
}

int SetChartSeriesVisible(int panel, int control, int series, int visible) {
  int err = 0;
  if (auto* c = FindCtrlAs<TarvoDataChart>(panel, control, &err))
    return c->setSeriesVisible(series, visible != 0) ? 0 : kErrValue;
  return err;
}

int SetChartTopAxis(int panel, int control, double offset, double scale, const char* label,
                    ChartLabelFn labelFn) {
  int err = 0;
  if (auto* c = FindCtrlAs<TarvoDataChart>(panel, control, &err)) {
    c->setTopAxis(offset, scale, QString::fromUtf8(label ? label : ""), labelFn);
    return 0;
  }
  return err;
}

int ResetChartView(int panel, int control, double xMin, double xMax) {
  int err = 0;
  if (auto* c = FindCtrlAs<TarvoDataChart>(panel, control, &err)) {
    c->resetView(xMin, xMax);
    return 0;
  }
  return err;
}

int FitChartValueAxes(int panel, int control) {
  int err = 0;
  if (auto* c = FindCtrlAs<TarvoDataChart>(panel, control, &err)) {
    c->fitValueAxes();
    return 0;
  }
  return err;
}

int GetChartXRange(int panel, int control, double* min, double* max) {
  int err = 0;
  if (auto* c = FindCtrlAs<TarvoDataChart>(panel, control, &err)) {
    c->xRange(min, max);
    return 0;
  }
  return err;
}

int SetChartXRange(int panel, int control, double min, double max) {
  int err = 0;
  if (auto* c = FindCtrlAs<TarvoDataChart>(panel, control, &err))
    return c->setXRange(min, max) ? 0 : kErrValue;
  return err;
}

int GetChartSeries(int panel, int control, int series, std::vector<double>* xs,
                   std::vector<double>* ys) {
  int err = 0;
  if (auto* c = FindCtrlAs<TarvoDataChart>(panel, control, &err))
    return c->seriesData(series, xs, ys) ? 0 : kErrValue;
  return err;
}

int SaveGraphImage(int panel, const int* controls, int count, const char* path) {
  if (!controls || count < 1 || !path || !*path) return kErrValue;
  std::vector<TarvoPlotBase*> plots;
  QRect area;
  for (int i = 0; i < count; ++i) {
    int err = 0;
    auto* p = FindCtrlAs<TarvoPlotBase>(panel, controls[i], &err);
    if (!p) return err;
    p->prepareImage();
    plots.push_back(p);
    area = area.united(p->geometry());
  }
  const QString file = QString::fromLocal8Bit(path);
  if (plots.size() == 1) return plots[0]->image().save(file, "PNG") ? 0 : kErrFile;
  // Several graphs: each drawn by its own export, placed as on the panel.
  QPixmap image(area.size());
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    for (TarvoPlotBase* p : plots)
      painter.drawPixmap(p->geometry().topLeft() - area.topLeft(), p->image());
  }
  return image.save(file, "PNG") ? 0 : kErrFile;
}
