// Teach: the sensor takes its current edge positions as the new setpoints;
// the sets are read back and the setpoints marked in the bar graphs. The
// setpoint fields mark a typed-in setpoint before it is sent.
#include "measure/teach.h"

#include <cstdint>

#include "app/help.h"
#include "app/panels.h"
#include "display/video.h"
#include "link/frame.h"
#include "link/link.h"
#include "link/payload.h"
#include "link/transfer.h"
#include "measure/run.h"
#include "params/panels.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "platform/ui.h"

namespace {

constexpr const char* kTeachSentText = "New setpoint value teached!";
constexpr const char* kTeachTimeoutText = "Timeout RS232-Line!";
constexpr double kReadBackPause = 0.1;

// Waits for the sensor's answer to the teach request. A measurement reply
// (a running RUN loop's request answered meanwhile) is not the answer: it is
// left to the loop (graph_flag stays set) and the wait goes on. 1 on answer.
int WaitTeachReply() {
  const double t0 = Timer();
  for (;;) {
    if (rx_flag == 1) {
      if (graph_flag != 1) return 1;
      rx_flag = 0;
    }
    if (Timer() - t0 > TIMEOUT) return 0;
    ProcessSystemEvents();
  }
}

}  // namespace

int CC_ButtonTeach(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2) {
  if (event == EVENT_RIGHT_CLICK) {
    ShowHelp(MAIN_ButtonTeach);
    return 0;
  }
  if (event != EVENT_COMMIT) return 0;
  if (DeferIfLineBusy(CC_ButtonTeach, panel, control, event, callbackData, eventData1, eventData2))
    return 0;

  // Pressed inside a running RUN loop: its reply is still arriving; flushing
  // half of it would shift every frame that follows.
  if (RunLoopActive()) {
    const double t0 = Timer();
    while (rx_flag == 0 && Timer() - t0 <= TIMEOUT) ProcessSystemEvents();
  }
  parameter.command = 6;
  FlushInQ(com);
  FlushOutQ(com);
  GetPanelValues();
  CopyVarsToPP(0);
  FillTxBuf(6, 0, pp);
  nBytesW = ComWrt(com, reinterpret_cast<const char*>(szWriteBuf), kFrameBytes);
  ShowStatusText(kTeachSentText);
  rx_flag = 0;

  if (WaitTeachReply()) {
    PushGET(1, 0);
    Delay(kReadBackPause);
    PushGET(1, 1);
    Delay(kReadBackPause);
    PushGET(1, 2);
    Delay(kReadBackPause);
  } else {
    ShowStatusText(kTeachTimeoutText);
    stop_flag = 1;
  }

  SetGraphCursor(pHandle, MAIN_GRAPHBarMaster, 1, parameter.set1[3], 0.75);
  SetGraphCursor(pHandle, MAIN_GRAPHBarSlave, 1, parameter.set2[3], 0.75);
  return 0;
}

int CC_NEDITeachA(int, int, int event, void*, int, int) {
  if (event == EVENT_COMMIT) {
    unsigned short value = 0;
    GetCtrlVal(pPara1, PARA1_NEDITeachA, &value);
    SetGraphCursor(pHandle, MAIN_GRAPHBarMaster, 2, value, 1.0);
  }
  return 0;
}

int CC_NEDITeachB(int, int, int event, void*, int, int) {
  if (event == EVENT_COMMIT) {
    unsigned short value = 0;
    GetCtrlVal(pPara2, PARA2_NEDITeachB, &value);
    SetGraphCursor(pHandle, MAIN_GRAPHBarSlave, 2, value, 1.0);
  }
  return 0;
}

int CC_NEDITTolLeff(int, int, int, void*, int, int) { return 0; }
