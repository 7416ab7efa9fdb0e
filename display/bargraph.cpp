// Bar graphs, tolerance window and numeric displays.
#include "display/bargraph.h"

#include "app/panels.h"
#include "display/tolerance.h"
#include "link/identify.h"
#include "link/payload.h"
#include "platform/ui.h"

uint16_t tVal = 0, tolup = 0, tollo = 0, curposA = 0, curposB = 0;

namespace {

constexpr double kCursorY = 0.75;
constexpr double kBarBottom = 0.25, kBarTop = 1.0;
constexpr double kWindowBottom = 0.0, kWindowTop = 0.35;

int BarControl(BarGraphId graph) {
  return graph == kBarMaster ? MAIN_GRAPHBarMaster : MAIN_GRAPHBarSlave;
}

void DrawEdgeBar(int control, uint16_t edge, uint16_t peakw) {
  const int h = EdgeBarHalfWidth(peakw);
  PlotRectangle(pHandle, control, static_cast<double>(edge - h), kBarBottom,
                static_cast<double>(edge + h), kBarTop, kColourEdgeBar, kColourEdgeBar);
}

void ShowCursorPoint(int control, bool shown) {
  SetCursorAttribute(pHandle, control, 2, ATTR_CURSOR_POINT_STYLE,
                     shown ? VAL_SOLID_SQUARE : VAL_NO_POINT);
}

}  // namespace

void UpdateTargetAndTolerances() {
  const uint16_t mode = parameter.set0[0];
  TargetForMode(mode, parameter.set1[3], parameter.set2[3], ccdvirtpixel, &tVal);
  if (mode == 2) RaiseZeroTolerances(&parameter.set0[6], &parameter.set0[7]);
  TolerancesForHardwareMode(parameter.set0[3], parameter.set0[6], parameter.set0[7], poti, &tolup,
                            &tollo);
}

void PlotVIDEOBarGraph() {
  const uint16_t n = ccdvirtpixel;
  const uint16_t mode = parameter.set0[0];

  SetCtrlVal(pHandle, MAIN_NUMBval, static_cast<int>(Bval));
  SetCtrlVal(pHandle, MAIN_NUMAval, static_cast<int>(Aval));
  SetCtrlVal(pHandle, MAIN_NUMMvalue, static_cast<int>(Mvalue));
  SetCtrlVal(pPara1, PARA1_NEDITeachA, static_cast<int>(parameter.set1[3]));
  SetCtrlVal(pPara2, PARA2_NEDITeachB, static_cast<int>(parameter.set2[3]));
  SetCtrlVal(pHandle, MAIN_NUMAnaMax, static_cast<int>(anaMax));
  SetCtrlVal(pHandle, MAIN_NUMAnaMin, static_cast<int>(anaMin));

  UpdateTargetAndTolerances();

  const int colour = InsideTolerance(tVal, tollo, tolup, Mvalue) ? kColourInside : kColourOutside;
  SetCtrlAttribute(pHandle, MAIN_NUMValueMM, ATTR_TEXT_BGCOLOR, colour);
  SetCtrlAttribute(pHandle, MAIN_NUMMvalue, ATTR_TEXT_BGCOLOR, colour);

  SetCtrlVal(pHandle, MAIN_NUMValueMM, static_cast<double>(umValue) / 1000.0);
  SetCtrlVal(pHandle, MAIN_NUMTolUpMM, ToleranceMM(parameter.set1Long[0], tolup));
  SetCtrlVal(pHandle, MAIN_NUMTolLoMM, ToleranceMM(parameter.set1Long[0], tollo));

  curposA = ClampCursor(Aval, n);
  curposB = ClampCursor(Bval, n);

  for (int control : {MAIN_GRAPHBarMaster, MAIN_GRAPHBarSlave}) {
    SetAxisScalingMode(pHandle, control, VAL_XAXIS, VAL_MANUAL, 0.0, n);
    DeleteGraphPlot(pHandle, control, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
  }
  SetGraphCursor(pHandle, MAIN_GRAPHBarMaster, 1, curposA, kCursorY);
  SetGraphCursor(pHandle, MAIN_GRAPHBarMaster, 2, curposA, kCursorY);
  SetGraphCursor(pHandle, MAIN_GRAPHBarSlave, 1, curposB, kCursorY);
  SetGraphCursor(pHandle, MAIN_GRAPHBarSlave, 2, curposB, kCursorY);

  // The bars sit on the raw edge positions, not on the clamped cursors.
  DrawEdgeBar(MAIN_GRAPHBarMaster, Aval, peakwA);
  DrawEdgeBar(MAIN_GRAPHBarSlave, Bval, peakwB);

  const DeviationCursors dev = DeviationFor(mode, Mvalue, n);
  switch (dev.show) {
    case DeviationCursors::kUntouched:
      break;
    case DeviationCursors::kMaster:
      ShowCursorPoint(MAIN_GRAPHBarSlave, false);
      ShowCursorPoint(MAIN_GRAPHBarMaster, true);
      Mvalue = dev.mvalue;  // capped; the history and the recorder see this value
      SetGraphCursor(pHandle, MAIN_GRAPHBarMaster, 2, dev.x, kCursorY);
      break;
    case DeviationCursors::kSlave:
      ShowCursorPoint(MAIN_GRAPHBarMaster, false);
      ShowCursorPoint(MAIN_GRAPHBarSlave, true);
      SetGraphCursor(pHandle, MAIN_GRAPHBarSlave, 2, dev.x, kCursorY);
      break;
    case DeviationCursors::kBothHidden:
      ShowCursorPoint(MAIN_GRAPHBarMaster, false);
      ShowCursorPoint(MAIN_GRAPHBarSlave, false);
      break;
  }

  PlotTOLWindow(mode, curposA, curposB);
}

void PlotTOLWindow(uint16_t evalMode, uint16_t posA, uint16_t posB) {
  const TolWindowInput in{evalMode,          posA,   posB,   tollo,       tolup, parameter.set1[3],
                          parameter.set2[3], edcntA, edcntB, ccdvirtpixel};
  TolWindow windows[2];
  const int count = TolWindows(in, windows);
  for (int i = 0; i < count; ++i) {
    PlotRectangle(pHandle, BarControl(windows[i].graph), windows[i].lo, kWindowBottom,
                  windows[i].hi, kWindowTop, kColourTolWindow, kColourTolWindow);
  }
}
