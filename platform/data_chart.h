// The data chart control of the panel file: a few named series of many
// points over a common x axis, values on the left or right axis, a top axis
// that shows x converted (record number to time of day), a legend, and
// zoom and pan with the mouse (wheel and drag). Internal to platform/.
#pragma once
#include <string>
#include <vector>

#include "platform/graph_widget.h"

class TarvoDataChart : public TarvoPlotBase {
  Q_OBJECT
 public:
  explicit TarvoDataChart(QWidget* parent = nullptr);

  // Axis labels from the panel file's properties (xLabel, yLabel, y2Label).
  void configureFromProperties();

  // Series are numbered from 0; axis VAL_LEFT_YAXIS or VAL_RIGHT_YAXIS.
  bool setSeries(int series, const double* x, const double* y, int n, int color, int axis,
                 const QString& name);
  bool setSeriesVisible(int series, bool visible);
  bool seriesData(int series, std::vector<double>* xs, std::vector<double>* ys) const;

  using LabelFn = std::string (*)(double value);
  // The top axis shows offset + scale * x; scale 0 shows no numbers on it.
  void setTopAxis(double offset, double scale, const QString& label, LabelFn fn);

  // Full view: x from min to max, the value axes fitted to the visible series.
  void resetView(double xMin, double xMax);
  // The value axes fitted to the visible series; x stays.
  void fitValueAxes();
  bool setXRange(double min, double max);
  void xRange(double* min, double* max) const;

 signals:
  // The user zoomed or panned (once per burst of changes).
  void viewChanged();

 private:
  void syncTopAxis();
  QCPGraph* graph(int series) const;

  std::vector<QCPGraph*> series_;
  double topOffset_ = 0, topScale_ = 0;
  bool programmatic_ = false;  // the program, not the user, changes the range
  QTimer viewTimer_;
};
