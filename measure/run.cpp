// Continuous measurement: the RUN loop, STOP, and the reset of the sensor's
// stored maxima and minima.
#include "measure/run.h"

#include "display/video.h"

#include "app/help.h"
#include "app/panels.h"
#include "display/bargraph.h"
#include "display/history.h"
#include "link/frame.h"
#include "link/link.h"
#include "link/payload.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "platform/ui.h"

int stop_flag = 1;

namespace {
int g_runLoops = 0;  // RUN loops under way (1 while RUN runs)
}

int RunLoopActive() { return g_runLoops > 0 ? 1 : 0; }

namespace {

constexpr uint16_t kCmdMeasure = 8;
constexpr uint16_t kCmdResetMaxMin = 11;

constexpr const char* kTextLineOk = "Line Ok!";
constexpr const char* kTextTimeout = "Timeout RS232-Line!";
constexpr const char* kTextResetSent = "Reset Max/Min values...";
constexpr const char* kTextResetOk = "Reset Max/Min OK!";
constexpr const char* kTextResetTimeout = "Timeout-RS-232...";

void ShowLine(const char* text) { SetCtrlVal(pHandle, MAIN_TEXTStatus, text); }

void FlushBothQueues() {
  FlushInQ(com);
  FlushOutQ(com);
}

void SendRequest(uint16_t command, const uint16_t* payload) {
  FillTxBuf(command, 0, payload);
  nBytesW = ComWrt(com, reinterpret_cast<const char*>(szWriteBuf), kFrameBytes);
}

}  // namespace

int PushGETRAW() {
  FlushBothQueues();
  parameter.command = kCmdMeasure;
  parameter.setNumber = 0;
  SendRequest(kCmdMeasure, pp);  // the payload carries no meaning here
  if (nBytesW == kFrameBytes) ShowLine(kTextLineOk);

  graph_flag = 0;
  const double start = Timer();
  for (;;) {
    if (graph_flag == 1) return 1;
    ProcessSystemEvents();
    // A reply taken in the last pass still counts.
    if (graph_flag == 1) return 1;
    if (ComLost(com)) {
      ShowStatusText(kDeviceLostText);
      stop_flag = 1;
      return 0;
    }
    if (Timer() - start > TIMEOUT) {
      ShowLine(kTextTimeout);
      stop_flag = 1;
      return 0;
    }
  }
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

  ++g_runLoops;
  double requestTime = Timer();
  PushGETRAW();  // a time-out has set stop_flag, which ends the loop on its first pass

  do {
    if (graph_flag == 1) {
      // A measurement reply is in pp: show it.
      CopyPPtoRAWVars();
      PlotVIDEOBarGraph();
      PlotRAWGraph();
      graph_flag = 0;
      FlushBothQueues();
    }
    if (rx_flag == 1) {
      // Any reply paces the next request, with parameter set 0 as payload.
      FlushBothQueues();
      CopyVarsToPP(0);
      FillTxBuf(kCmdMeasure, 0, pp);
      rx_flag = 0;
      requestTime = Timer();
      nBytesW = ComWrt(com, reinterpret_cast<const char*>(szWriteBuf), kFrameBytes);
    }
    if (ComLost(com)) {
      ShowStatusText(kDeviceLostText);
      stop_flag = 1;
      break;
    }
    if (Timer() - requestTime > 2 * TIMEOUT) {
      ShowLine(kTextTimeout);
      stop_flag = 1;
      break;
    }
    ProcessSystemEvents();
  } while (stop_flag == 0);

  --g_runLoops;
  rx_flag = 0;
  graph_flag = 0;
  FlushBothQueues();
  SetCtrlAttribute(pHandle, MAIN_BTNRun, ATTR_DIMMED, 0);
}

void ResetMaxMin() {
  // While a video pass reads a block with the receive handler off, the reset
  // waits for the pass to free the line instead of mixing into the block.
  if (DeferIfLineBusy(ResetMaxMin)) return;
  parameter.command = kCmdResetMaxMin;
  FlushBothQueues();
  rx_flag = 0;
  SendRequest(kCmdResetMaxMin, pp);  // any payload; the sensor only needs the command
  ShowLine(kTextResetSent);

  const double start = Timer();
  while (rx_flag != 1) {
    ProcessSystemEvents();
    if (rx_flag != 1 && Timer() - start >= TIMEOUT) break;
  }
  // Any reply confirms the reset; its content is not examined.
  ShowStatusText(rx_flag == 1 ? kTextResetOk : kTextResetTimeout);
}

int CC_BTNRun(int, int control, int event, void*, int, int) {
  if (event == EVENT_COMMIT)
    PushRUN();
  else if (event == EVENT_RIGHT_CLICK)
    ShowHelp(control);
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
