// Moving the three parameter sets between the panels and the sensor's RAM or
// EEPROM, or a parameter file: GET, SEND and the choice of target.
#include "link/transfer.h"

#include "app/help.h"
#include "app/panels.h"
#include "app/startup.h"
#include "display/bargraph.h"
#include "display/video.h"
#include "link/frame.h"
#include "link/link.h"
#include "link/payload.h"
#include "params/panels.h"
#include "params/parafile.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/popup.h"
#include "platform/serial.h"
#include "platform/ui.h"

int target = 1;

namespace {

constexpr double kPause = 0.1;  // between the frames of one GET or SEND

// Waits for the reply to a fetch. A frame that does not echo the fetch's
// command (a measurement reply of a running loop, the answer to a transaction
// nested in the wait) is not the set: it is passed over and the wait goes on
// within the same time-out. Returns 1 when the parameter frame came.
int WaitParameterFrame(uint16_t command) {
  const double t0 = Timer();
  for (;;) {
    ProcessSystemEvents();
    if (rx_flag) {
      const uint16_t echo = static_cast<uint16_t>(szReadBuf[2] << 8 | szReadBuf[3]);
      if (!graph_flag && echo == command) return 1;
      rx_flag = 0;
    }
    if (Timer() - t0 > TIMEOUT) return 0;
  }
}

// Radio buttons: switching one on selects its target; switching the selected
// one off falls back to RAM.
void SelectTarget(int panel, int control, int newTarget) {
  int on = 0;
  GetCtrlVal(panel, control, &on);
  if (on) {
    target = newTarget;
    SetCtrlVal(pHandle, MAIN_RBTRam, newTarget == 1 ? 1 : 0);
    SetCtrlVal(pHandle, MAIN_RBTEeprom, newTarget == 2 ? 1 : 0);
    SetCtrlVal(pHandle, MAIN_RBTFile, newTarget == 3 ? 1 : 0);
  } else {
    target = 1;
    SetCtrlVal(pHandle, MAIN_RBTRam, 1);
  }
}

// SEND to the file: ask for the file, ask before replacing one, write it.
void SendToFile() {
  char chosen[sizeof file_name] = "";
  const int r =
      FileSelectPopup(proj_dir, "TARVOpara.cfg", "*.cfg", "TARVO-MS-Series Parameter File",
                      VAL_OK_BUTTON, 0, 1, 1, 1, chosen, sizeof chosen);
  if (r == VAL_NO_FILE_SELECTED) return;
  for (size_t i = 0; i < sizeof file_name; ++i) {
    file_name[i] = chosen[i];
    if (!chosen[i]) break;
  }
  file_name[sizeof file_name - 1] = '\0';
  if (r == VAL_EXISTING_FILE_SELECTED &&
      ConfirmPopup("ATTENTION!", "Output-File already exist! - Overwrite ?") != 1)
    return;
  // SendParaToFile replaces an existing file only once the new one is complete.
  SendParaToFile();
}

}  // namespace

void PushGET(uint16_t memory, uint16_t set) {
  if (memory != 3 && LineBusy()) {
    // A video pass owns the line: the fetch is refused and the set keeps its words.
    SetStatus(kLineBusyFullText);
  } else if (memory != 3) {
    if (memory == 1) parameter.command = 2;
    if (memory == 2) parameter.command = 4;
    CopyVarsToPP(set);
    FlushInQ(com);
    FlushOutQ(com);
    FillTxBuf(parameter.command, set, pp);
    rx_flag = 0;
    nBytesW = ComWrt(com, reinterpret_cast<const char*>(szWriteBuf), kFrameBytes);
    if (nBytesW == kFrameBytes) ShowStatusText("Waiting for parameter-frame ...");
    if (nBytesW < 0) {
      // The port is closed or the device has gone: no reply can come.
      SetStatus(ComLost(com) ? kDeviceLostText : ComErrorText(nBytesW));
    } else if (WaitParameterFrame(parameter.command)) {
      GetRxBuf();
      CopyPPtoVars(set);
      SetStatus("Parameter-frame received! - Line Ok!");
    } else {
      SetStatus("Timeout-RS-232...");
    }
  }
  ShowStatus();
  if (set == 2) {
    SetPanelValues();
    int mode = 0;
    GetCtrlVal(pPara0, PARA0_DropEvalMode, &mode);
    PlotTOLWindow(static_cast<uint16_t>(mode), parameter.set1[3], parameter.set2[3]);
  }
}

int CC_BTNGet(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2) {
  if (event == EVENT_RIGHT_CLICK) {
    ShowHelp(control);
    return 0;
  }
  if (event != EVENT_COMMIT) return 0;
  // While a video pass owns the line the GET runs as soon as the pass is over.
  if (target != 3 &&
      DeferIfLineBusy(CC_BTNGet, panel, control, event, callbackData, eventData1, eventData2))
    return 0;
  if (target == 3) ReadParaFromFile();
  if (target == 1) parameter.command = 2;
  if (target == 2) parameter.command = 4;
  const uint16_t memory = static_cast<uint16_t>(target);
  for (uint16_t set = 0; set < 3; ++set) {
    PushGET(memory, set);
    Delay(kPause);
  }
  return 0;
}

int CC_BTNSend(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2) {
  if (event == EVENT_RIGHT_CLICK) {
    ShowHelp(control);
    return 0;
  }
  if (event != EVENT_COMMIT) return 0;
  if (target != 3 &&
      DeferIfLineBusy(CC_BTNSend, panel, control, event, callbackData, eventData1, eventData2))
    return 0;
  ShowStatusText("Transmit...");
  if (target == 3) {
    SendToFile();
    return 0;
  }
  parameter.header = 0x0055;
  parameter.command = target == 2 ? 3 : 1;
  GetPanelValues();
  static const char* const kProgress[3] = {"Sending Para-Frame 0 ...", "Sending Para-Frame 1 ...",
                                           "Line Ok!"};
  for (uint16_t n = 0; n < 3; ++n) {
    parameter.setNumber = n;
    CopyVarsToPP(n);
    FlushInQ(com);
    FlushOutQ(com);
    rx_flag = 0;
    FillTxBuf(parameter.command, n, pp);
    nBytesW = ComWrt(com, reinterpret_cast<const char*>(szWriteBuf), kFrameBytes);
    ProcessSystemEvents();
    if (nBytesW == kFrameBytes) ShowStatusText(kProgress[n]);
    if (n < 2) Delay(kPause);
  }
  return 0;
}

int CC_RBTRam(int panel, int control, int event, void*, int, int) {
  if (event == EVENT_VAL_CHANGED) SelectTarget(panel, control, 1);
  return 0;
}

int CC_RBTEeprom(int panel, int control, int event, void*, int, int) {
  if (event == EVENT_VAL_CHANGED) SelectTarget(panel, control, 2);
  return 0;
}

int CC_RBTFile(int panel, int control, int event, void*, int, int) {
  if (event == EVENT_VAL_CHANGED) SelectTarget(panel, control, 3);
  return 0;
}
