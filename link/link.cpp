// The serial link: opening the port, the receive notification, the reply
// wait, the connect sequence and the port drop-down.
#include "link/link.h"

#include <cstring>

#include "app/help.h"
#include "app/panels.h"
#include "link/frame.h"
#include "link/identify.h"
#include "link/line.h"
#include "link/transfer.h"
#include "measure/run.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "platform/ui.h"

const double TIMEOUT = 1.5;
const int eventMask = 0x8006;
const int MAXPOINT = 128;

int com;
int rx_flag;
int graph_flag;
int nBytesW;
int nBytesR;
char szStatus[73];

namespace {

// Pause between the transactions of the connect sequence (sensor side needs it).
constexpr double kStepPause = 0.1;

}  // namespace

void SetStatus(const char* text) {
  if (text == nullptr) text = "";
  size_t n = std::strlen(text);
  if (n > sizeof szStatus - 1) n = sizeof szStatus - 1;
  std::memmove(szStatus, text, n);
  szStatus[n] = '\0';
}

void ShowStatus() { SetCtrlVal(pHandle, MAIN_TEXTStatus, szStatus); }

void ShowStatusText(const char* text) {
  SetStatus(text);
  ShowStatus();
}

const char* ComErrorText(int result) {
  switch (result) {
    case -1:
      return "Unknown system error";
    case -2:
      return "Invalid port number";
    case -3:
      return "Port is not open";
    case -4:
      return "Unknown I/0 error";
    case -6:
      return "No serial port found";
    case -7:
      return "Cannot open port";
    case -13:
      return "Invalid parameter";
    case -99:
      return "Timeout";
    default:
      return "RS-232 error!";  // -5, -8 to -12 and every other code
  }
}

void InitRS232(int port) {
  const int result = LineOpen(port);
  if (result < 0) {
    ShowStatusText(ComErrorText(result));
    return;
  }
  // The whole sequence is one transaction: what is clicked meanwhile follows it.
  AcquireLine();
  ConnectSequence(port);
  ReleaseLine();
}

void ConnectSequence(int port) {
  if (CheckComLine(port) != 1) {  // its own text stays in the status line
    ShowStatus();
    return;
  }

  Delay(kStepPause);
  if (GetHARDWAREInfo() == 0) SetStatus("Error reading HARDWARE-info!");

  Delay(kStepPause);
  PushGET(1, 0);
  Delay(kStepPause);
  PushGET(1, 1);
  Delay(kStepPause);
  PushGET(1, 2);

  Delay(kStepPause);
  if (GetVERSIONInfo() < 72) SetStatus("Error reading firmware-info!");
  ShowStatus();
}

void RX_Receive_Function(int port, int events, void* data) {
  (void)port;
  (void)data;
  if ((events & LWRS_RECEIVE) == 0) return;  // event character / output empty only
  const int n = LineReadRaw(kFrameBytes);
  if (n == kFrameBytes) {
    graph_flag = GetRxBuf();
    rx_flag = 1;
    LineFrameTaken();
  }
  // One notification, one frame: whatever else is waiting is dropped (and a
  // read that came up short is no frame at all).
  LineFlush();
}

int WaitRxFull() {
  if (LineWaitReply(kAnyFrame)) return 1;
  SetStatus("Timeout-RS-232...");
  return 0;
}

int CC_DropDCom(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2) {
  switch (event) {
    case EVENT_COMMIT: {
      stop_flag = 1;  // a running loop ends at its next pass
      // While something holds the line the new port is opened once it is
      // free, so that the connect sequence can fetch the sets.
      if (DeferIfLineBusy(CC_DropDCom, panel, control, event, callbackData, eventData1, eventData2))
        break;
      // What was held back was meant for the old port.
      DropDeferred();
      LineClosePort();
      int port = com;
      GetCtrlVal(panel, control, &port);
      com = port;
      ShowStatusText("Init COM-Port ...");
      InitRS232(com);
      break;
    }
    case EVENT_RIGHT_CLICK:
      ShowHelp(control);
      break;
    default:
      break;
  }
  return 0;
}
