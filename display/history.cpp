// Value history strip chart: the last 100 samples of five traces.
#include "display/history.h"

#include "app/panels.h"
#include "display/bargraph.h"
#include "display/tolerance.h"
#include "link/payload.h"
#include "params/panels.h"
#include "platform/ui.h"

double arrayNORM[500] = {};

namespace {

constexpr int kTraces = 5;
constexpr int kSamples = 100;
constexpr int kValues = kTraces * kSamples;
constexpr int kPointsPerScreen = 101;
constexpr int kTraceColour[kTraces] = {0x008000, 0x008000, 0x000000, 0xFF0000, 0xFF0000};

constexpr int kErrNumPoints = -20003;
constexpr int kErrShift = -20102;

}  // namespace

int Shift(const double* input, int n, int shifts, double* output) {
  if (n < 1) return kErrNumPoints;
  if (shifts >= n || shifts <= -n) return kErrShift;
  if (shifts > 0) {
    // From the last element down, so that input and output may be one array.
    for (int i = n - 1; i >= shifts; --i) output[i] = input[i - shifts];
    for (int i = 0; i < shifts; ++i) output[i] = 0.0;
  } else if (shifts < 0) {
    const int s = -shifts;
    for (int i = 0; i < n - s; ++i) output[i] = input[i + s];
    for (int i = n - s; i < n; ++i) output[i] = 0.0;
  } else if (input != output) {
    for (int i = 0; i < n; ++i) output[i] = input[i];
  }
  return 0;
}

int Copy1D(const double* input, int n, double* output) {
  if (n < 1) return kErrNumPoints;
  if (input != output) {
    for (int i = 0; i < n; ++i) output[i] = input[i];
  }
  return 0;
}

void PlotRAWGraph() {
  const double aux = AuxValueFor(parameter.set0[2], Mvalue, anaMax, anaMin, yaxisMAX);
  UpdateTargetAndTolerances();

  Shift(arrayNORM, kValues, -kTraces, arrayNORM);
  const HistoryLimits limits = LimitsFor(tVal, tollo, tolup, yaxisMAX);
  const ZoomRange zoom = ZoomRangeFor(tVal, tollo, tolup, Mvalue, yaxisMAX);

  double* sample = arrayNORM + kValues - kTraces;
  sample[0] = limits.upper;
  sample[1] = limits.lower;
  sample[2] = tVal;
  sample[3] = Mvalue;
  sample[4] = aux;

  SetCtrlAttribute(pHandle, MAIN_STRIPHistory, ATTR_NUM_TRACES, kTraces);
  for (int trace = 1; trace <= 3; ++trace)
    SetTraceAttribute(pHandle, MAIN_STRIPHistory, trace, ATTR_TRACE_THICKNESS, 1);
  SetCtrlAttribute(pHandle, MAIN_STRIPHistory, ATTR_POINTS_PER_SCREEN, kPointsPerScreen);
  SetCtrlAttribute(pHandle, MAIN_STRIPHistory, ATTR_SCROLL_MODE, 1);

  int zoomOn = 0;
  GetCtrlVal(pHandle, MAIN_TOGBTN_Zoom, &zoomOn);
  if (zoomOn)
    SetAxisScalingMode(pHandle, MAIN_STRIPHistory, VAL_LEFT_YAXIS, VAL_MANUAL, zoom.lo, zoom.hi);
  else
    SetAxisScalingMode(pHandle, MAIN_STRIPHistory, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, yaxisMAX);

  for (int trace = 1; trace <= kTraces; ++trace)
    SetTraceAttribute(pHandle, MAIN_STRIPHistory, trace, ATTR_TRACE_COLOR, kTraceColour[trace - 1]);

  PlotStripChart(pHandle, MAIN_STRIPHistory, arrayNORM, kValues, 0, 0);
}

// The zoom state is read at the next history update.
int CC_TOGBTN_Zoom(int, int, int, void*, int, int) { return 0; }
