// Continuous measurement: the RUN loop, STOP, and the reset of the sensor's
// stored maxima and minima.
#include "measure/run.h"

#include "app/help.h"
#include "app/panels.h"
#include "display/bargraph.h"
#include "display/history.h"
#include "link/commands.h"
#include "link/frame.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"
#include "platform/clock.h"
#include "platform/ui.h"

int stop_flag = 1;

namespace {

constexpr const char* kTextLineOk = "Line Ok!";
constexpr const char* kTextTimeout = "Timeout RS232-Line!";
constexpr const char* kTextResetSent = "Reset Max/Min values...";
constexpr const char* kTextResetOk = "Reset Max/Min OK!";
constexpr const char* kTextResetTimeout = "Timeout-RS-232...";

void ShowLine(const char* text) { SetCtrlVal(pHandle, MAIN_TEXTStatus, text); }

}  // namespace

int MeasureLoopFailed(const MeasurePace& pace, double timeout) {
  int failure = 0;
  if (LineLost()) {
    ShowStatusText(kDeviceLostText);
    failure = kLoopDeviceLost;
  } else if (Timer() - pace.requestTime > timeout) {
    ShowLine(kTextTimeout);
    failure = kLoopTimedOut;
  }
  if (failure) stop_flag = 1;
  return failure;
}

int PushGETRAW() {
  parameter.command = kCmdMeasure;
  parameter.setNumber = 0;
  LineSend(kCmdMeasure, 0, pp);  // the payload carries no meaning here
  if (nBytesW == kFrameBytes) ShowLine(kTextLineOk);
  if (LineWaitReply(kMeasurement)) return 1;
  if (LineLost())
    ShowStatusText(kDeviceLostText);
  else
    ShowLine(kTextTimeout);
  stop_flag = 1;
  return 0;
}

void PushRUN() {
  SetCtrlAttribute(pHandle, MAIN_STRIPHistory, ATTR_VISIBLE, 1);
  SetCtrlAttribute(pHandle, MAIN_GRAPHBarMaster, ATTR_VISIBLE, 1);
  SetCtrlAttribute(pHandle, MAIN_GRAPHBarSlave, ATTR_VISIBLE, 1);
  SetCtrlAttribute(pHandle, MAIN_GRAPHDataMaster, ATTR_VISIBLE, 0);
  SetCtrlAttribute(pHandle, MAIN_GRAPHDataSlave, ATTR_VISIBLE, 0);

  SetCtrlAttribute(pPopUp, POPUP_BTNStartRecord, ATTR_DIMMED, 1);
  SetCtrlAttribute(pHandle, MAIN_BTNRun, ATTR_DIMMED, 1);

  stop_flag = 0;
  graph_flag = 0;
  rx_flag = 0;

  LoopBegin();
  PushGETRAW();  // a time-out has set stop_flag, which ends the loop on its first pass
  MeasurePace pace = MeasurePaceNow();

  do {
    if (graph_flag == 1) {
      // A measurement reply is in pp: show it.
      CopyPPtoRAWVars();
      PlotVIDEOBarGraph();
      PlotRAWGraph();
      graph_flag = 0;
      LineFlush();
    }
    // Any reply paces the next request, with parameter set 0 as payload.
    PaceMeasurement(pace);
    if (MeasureLoopFailed(pace, 2 * TIMEOUT)) break;
    ProcessSystemEventsUntil(pace.requestTime + 2 * TIMEOUT);
  } while (stop_flag == 0);

  LoopEnd();
  LineEndLoop();
  SetCtrlAttribute(pHandle, MAIN_BTNRun, ATTR_DIMMED, 0);
}

void ResetMaxMin() {
  // While a video pass reads a block with the receive handler off, the reset
  // waits for the pass to free the line instead of mixing into the block.
  if (DeferIfLineBusy(ResetMaxMin)) return;
  AcquireLine();
  parameter.command = kCmdResetMaxMin;
  LineSend(kCmdResetMaxMin, 0, pp);  // any payload; the sensor only needs the command
  ShowLine(kTextResetSent);
  // Any reply but a loop's measurement reply confirms the reset.
  const int answered = LineWaitReply(kNotMeasurement);
  ShowStatusText(answered ? kTextResetOk : kTextResetTimeout);
  ReleaseLine();
}

int CC_BTNRun(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2) {
  if (event == EVENT_COMMIT) {
    if (!DeferIfLineBusy(CC_BTNRun, panel, control, event, callbackData, eventData1, eventData2))
      PushRUN();
  } else if (event == EVENT_RIGHT_CLICK) {
    ShowHelp(control);
  }
  return 0;
}

int CC_BTNStop(int, int control, int event, void*, int, int) {
  if (event == EVENT_LEFT_CLICK) {
    stop_flag = 1;
    SetCtrlAttribute(pHandle, MAIN_BTNVideo, ATTR_DIMMED, 0);
    SetCtrlAttribute(pHandle, MAIN_BTNRun, ATTR_DIMMED, 0);
    SetCtrlAttribute(pHandle, MAIN_ButtonTeach, ATTR_DIMMED, 0);
    SetCtrlAttribute(pHandle, MAIN_ButtonReset, ATTR_DIMMED, 0);
    SetCtrlAttribute(pPopUp, POPUP_BTNStartRecord, ATTR_DIMMED, 0);
    Delay(0.2);
  } else if (event == EVENT_RIGHT_CLICK) {
    ShowHelp(control);
  }
  return 0;
}

int CC_ButtonReset(int, int control, int event, void*, int, int) {
  if (event == EVENT_COMMIT)
    ResetMaxMin();
  else if (event == EVENT_RIGHT_CLICK)
    ShowHelp(control);
  return 0;
}
