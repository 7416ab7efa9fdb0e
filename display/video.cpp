// Video signal: the VIDEO loop and the intensity curves with their threshold
// lines. The data blocks come from the line's block reader.
#include "display/video.h"

#include "app/help.h"
#include "app/panels.h"
#include "display/bargraph.h"
#include "link/identify.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"
#include "link/transfer.h"
#include "link/video_blocks.h"
#include "measure/run.h"
#include "platform/clock.h"
#include "platform/ui.h"

uint16_t thdArrayA[128];
uint16_t thdArrayB[128];

namespace {

constexpr int kSamples = 128;
constexpr int kCurveColor = 0xFF0000;
constexpr int kThresholdColor = 0x008000;

void PlotVideoCurve(int control, const uint16_t* video, const uint16_t* threshold,
                    const double* x) {
  SetAxisScalingMode(pHandle, control, VAL_RIGHT_YAXIS, VAL_MANUAL, 0.0, YMAXADC);
  SetAxisScalingMode(pHandle, control, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, YMAXADC);
  DeleteGraphPlot(pHandle, control, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
  PlotXY(pHandle, control, x, video, kSamples, VAL_FAT_LINE, VAL_SIMPLE_DOT, VAL_SOLID, 1,
         kCurveColor);
  PlotXY(pHandle, control, x, threshold, kSamples, VAL_FAT_LINE, VAL_SIMPLE_DOT, VAL_SOLID, 1,
         kThresholdColor);
}

void SetVideoButtonsDimmed(int dimmed) {
  SetCtrlAttribute(pHandle, MAIN_BTNRun, ATTR_DIMMED, dimmed);
  SetCtrlAttribute(pHandle, MAIN_BTNVideo, ATTR_DIMMED, dimmed);
  SetCtrlAttribute(pHandle, MAIN_ButtonTeach, ATTR_DIMMED, dimmed);
}

}  // namespace

// ---- threshold lines and curves ------------------------------------------------

void FillThresholdLine(uint16_t* line, uint16_t percent) {
  const uint16_t value = static_cast<uint16_t>(static_cast<uint32_t>(percent) * YMAXADC / 100u);
  for (int i = 0; i < MAXPOINT; ++i) line[i] = value;
}

void PlotVIDEOCurveA(const uint16_t* video, const uint16_t* threshold, const double* x) {
  PlotVideoCurve(MAIN_GRAPHDataMaster, video, threshold, x);
}

void PlotVIDEOCurveB(const uint16_t* video, const uint16_t* threshold, const double* x) {
  PlotVideoCurve(MAIN_GRAPHDataSlave, video, threshold, x);
}

// ---- the video loop -----------------------------------------------------------

void PushVIDEO() {
  SetCtrlAttribute(pHandle, MAIN_STRIPHistory, ATTR_VISIBLE, 0);
  SetCtrlAttribute(pHandle, MAIN_GRAPHDataMaster, ATTR_VISIBLE, 1);
  SetCtrlAttribute(pHandle, MAIN_GRAPHDataSlave, ATTR_VISIBLE, 1);
  SetVideoButtonsDimmed(1);
  // STOP counts from here on, also while a running loop's reply is awaited:
  // that reply must be in before the first pass takes the line.
  stop_flag = 0;
  LoopBegin();
  LineWaitFree();

  while (stop_flag == 0) {
    AcquireLine(kOwnerVideo);
    if (PushGETRAW() != 1) {
      stop_flag = 1;
    } else {
      CopyPPtoRAWVars();
      if (ReadVideoBlocks()) {
        const double n = ccdvirtpixel;
        SetAxisScalingMode(pHandle, MAIN_GRAPHDataMaster, VAL_XAXIS, VAL_MANUAL, 1.0, n);
        SetAxisScalingMode(pHandle, MAIN_GRAPHDataSlave, VAL_XAXIS, VAL_MANUAL, 1.0, n);
        PlotVIDEOCurveA(adcbufA, thdArrayA, xArray8);
        PlotVIDEOCurveB(adcbufB, thdArrayB, xArray8);
        PlotVIDEOBarGraph();
      }
    }
    ReleaseLine();  // held-back transactions run here, with the handler on
    ProcessSystemEvents();
  }

  LoopEnd();
  SetVideoButtonsDimmed(0);
  LineHandlerOn();
  LineFlush();
}

// ---- callbacks -------------------------------------------------------------------

int CC_BTNVideo(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2) {
  if (event == EVENT_COMMIT) {
    if (DeferIfLineBusy(CC_BTNVideo, panel, control, event, callbackData, eventData1, eventData2))
      return 0;
    SetCtrlAttribute(pPopUp, POPUP_BTNStartRecord, ATTR_DIMMED, 1);
    SetCtrlVal(pHandle, MAIN_RBTRam, 1);
    target = 1;
    SetCtrlVal(pHandle, MAIN_RBTEeprom, 0);
    SetCtrlVal(pHandle, MAIN_RBTFile, 0);
    PushVIDEO();
  } else if (event == EVENT_RIGHT_CLICK) {
    ShowHelp(MAIN_BTNVideo);
  }
  return 0;
}

void ShowVideoThresholds() {
  int value = 0;
  GetCtrlVal(pPara1, PARA1_SLIDEVideoTHD_A, &value);
  SetCtrlVal(pPara1, PARA1_NUMVideoTHD_A, value);
  value = 0;
  GetCtrlVal(pPara2, PARA2_SLIDEVideoTHD_B, &value);
  SetCtrlVal(pPara2, PARA2_NUMVideoTHD_B, value);
}

int CC_SLIDEVideoTHD_A(int, int, int event, void*, int, int) {
  if (event == EVENT_VAL_CHANGED) {
    int value = 0;
    GetCtrlVal(pPara1, PARA1_SLIDEVideoTHD_A, &value);
    SetCtrlVal(pPara1, PARA1_NUMVideoTHD_A, value);
    FillThresholdLine(thdArrayA, static_cast<uint16_t>(value));
    PlotVIDEOCurveA(adcbufA, thdArrayA, xArray8);
  }
  return 0;
}

int CC_SLIDEVideoTHD_B(int, int, int event, void*, int, int) {
  if (event == EVENT_VAL_CHANGED) {
    int value = 0;
    GetCtrlVal(pPara2, PARA2_SLIDEVideoTHD_B, &value);
    SetCtrlVal(pPara2, PARA2_NUMVideoTHD_B, value);
    FillThresholdLine(thdArrayB, static_cast<uint16_t>(value));
    PlotVIDEOCurveB(adcbufB, thdArrayB, xArray8);
  }
  return 0;
}

int CC_GRAPHDataMaster(int, int, int event, void*, int, int) {
  if (event == EVENT_RIGHT_CLICK) ShowHelp(MAIN_GRAPHDataMaster);
  return 0;
}

int CC_GRAPHDataSlave(int, int, int event, void*, int, int) {
  if (event == EVENT_RIGHT_CLICK) ShowHelp(MAIN_GRAPHDataSlave);
  return 0;
}
