// Data charts (series of many points that the user zooms and pans with the
// mouse) and the image export of every graph control. A data chart calls its
// control's callback with EVENT_VAL_CHANGED after the user has zoomed or
// panned, and with EVENT_RIGHT_CLICK like every control.
#pragma once
#include <string>
#include <vector>

// Series are numbered from 0; yAxis VAL_LEFT_YAXIS or VAL_RIGHT_YAXIS. A
// series is hidden until it is made visible.
int PlotChartSeries(int panel, int control, int series, const double* x, const double* y,
                    int numPoints, int color, int yAxis, const char* name);
int SetChartSeriesVisible(int panel, int control, int series, int visible);

// Text of a tick of the top axis, from the value shown there.
using ChartLabelFn = std::string (*)(double value);
// The top axis shows offset + scale * x, each tick labelled by `labelFn`;
// a scale of 0 leaves it without numbers.
int SetChartTopAxis(int panel, int control, double offset, double scale, const char* label,
                    ChartLabelFn labelFn);

// The full view: x from xMin to xMax, the value axes fitted to what the
// visible series hold.
int ResetChartView(int panel, int control, double xMin, double xMax);
// The value axes fitted to the visible series; the x range stays.
int FitChartValueAxes(int panel, int control);
// The x range shown now (after the user's zoom and pan), and setting it.
int GetChartXRange(int panel, int control, double* min, double* max);
int SetChartXRange(int panel, int control, double min, double max);
// The points a series holds now.
int GetChartSeries(int panel, int control, int series, std::vector<double>* xs,
                   std::vector<double>* ys);

// Writes graph controls of one panel (graphs, strip charts, data charts) as a
// PNG image, drawn by the plotting library's own export: one control at its
// size on the screen; several as they lie on the panel, in one image of the
// rectangle that holds them all. 0, or a negative value when the image cannot
// be written or a control is no graph.
int SaveGraphImage(int panel, const int* controls, int count, const char* path);
