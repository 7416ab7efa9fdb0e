// Teach: the sensor takes its current edge positions as the new setpoints;
// the sets are read back and the setpoints marked in the bar graphs. The
// setpoint fields mark a typed-in setpoint before it is sent.
#include "measure/teach.h"

#include <cstdint>

#include "app/help.h"
#include "app/panels.h"
#include "link/commands.h"
#include "link/frame.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"
#include "link/transfer.h"
#include "measure/run.h"
#include "params/panels.h"
#include "platform/clock.h"
#include "platform/ui.h"

namespace {

constexpr const char* kTeachSentText = "New setpoint value teached!";
constexpr const char* kTeachTimeoutText = "Timeout RS232-Line!";
constexpr double kReadBackPause = 0.1;

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

  // The teach and its read-back are one transaction on the line. Pressed
  // inside a running RUN loop, the request waits for the loop's reply.
  AcquireLine();
  parameter.command = kCmdTeach;
  GetPanelValues();
  CopyVarsToPP(0);
  LineSend(kCmdTeach, 0, pp);
  ShowStatusText(kTeachSentText);

  // A loop's measurement reply is not the answer: the wait goes on.
  if (LineWaitReply(kNotMeasurement)) {
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
  ReleaseLine();

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
