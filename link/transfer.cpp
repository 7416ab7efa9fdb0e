// Moving the three parameter sets between the panels and the sensor's RAM or
// EEPROM, or a parameter file: GET, SEND and the choice of target.
#include "link/transfer.h"

#include <cstdio>

#include "app/help.h"
#include "app/panels.h"
#include "app/startup.h"
#include "display/bargraph.h"
#include "link/commands.h"
#include "link/frame.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"
#include "params/panels.h"
#include "params/parafile.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/popup.h"
#include "platform/ui.h"

int target = 1;

namespace {

constexpr double kPause = 0.1;  // between the frames of one GET or SEND

// The common start of the GET and SEND buttons: right click shows the help
// text; a commit that must wait for the line is held back. 1 when the
// transfer goes ahead now.
int TransferClick(DeferredCallback self, int panel, int control, int event, void* callbackData,
                  int eventData1, int eventData2) {
  if (event == EVENT_RIGHT_CLICK) {
    ShowHelp(control);
    return 0;
  }
  if (event != EVENT_COMMIT) return 0;
  if (target != 3 &&
      DeferIfLineBusy(self, panel, control, event, callbackData, eventData1, eventData2))
    return 0;
  return 1;
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
  if (r == VAL_PATH_TOO_LONG) ShowStatusText(kPathTooLongText);
  if (r != VAL_EXISTING_FILE_SELECTED && r != VAL_NEW_FILE_SELECTED) return;
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
  if (memory != 3) {
    if (memory == 1) parameter.command = kCmdFetchRam;
    if (memory == 2) parameter.command = kCmdFetchEeprom;
    CopyVarsToPP(set);
    LineSend(parameter.command, set, pp);
    if (nBytesW == kFrameBytes) ShowStatusText("Waiting for parameter-frame ...");
    if (nBytesW < 0) {
      // The port is closed or the device has gone: no reply can come.
      SetStatus(LineLost() ? kDeviceLostText : ComErrorText(nBytesW));
    } else if (LineWaitReply(kEchoOfCommand, parameter.command)) {
      // Only a frame that echoes the fetch is the set: a loop's late
      // measurement reply is passed over within the same time-out.
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
  if (!TransferClick(CC_BTNGet, panel, control, event, callbackData, eventData1, eventData2))
    return 0;
  if (target == 3) ReadParaFromFile();
  if (target == 1) parameter.command = kCmdFetchRam;
  if (target == 2) parameter.command = kCmdFetchEeprom;
  const uint16_t memory = static_cast<uint16_t>(target);
  AcquireLine();
  for (uint16_t set = 0; set < 3; ++set) {
    PushGET(memory, set);
    Delay(kPause);
  }
  ReleaseLine();
  return 0;
}

int CC_BTNSend(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2) {
  if (!TransferClick(CC_BTNSend, panel, control, event, callbackData, eventData1, eventData2))
    return 0;
  ShowStatusText("Transmit...");
  if (target == 3) {
    SendToFile();
    return 0;
  }
  parameter.header = 0x0055;
  parameter.command = target == 2 ? kCmdSendEeprom : kCmdSendRam;
  GetPanelValues();
  static const char* const kProgress[3] = {"Sending Para-Frame 0 ...", "Sending Para-Frame 1 ...",
                                           "Line Ok!"};
  AcquireLine();
  int accepted = 0;  // "Line Ok!" only when the sensor got all three sets
  for (uint16_t n = 0; n < 3; ++n) {
    parameter.setNumber = n;
    CopyVarsToPP(n);
    LineSend(parameter.command, n, pp);
    ProcessSystemEvents();
    if (nBytesW == kFrameBytes) ++accepted;
    if (nBytesW == kFrameBytes && (n < 2 || accepted == 3)) ShowStatusText(kProgress[n]);
    if (n < 2) Delay(kPause);
  }
  if (accepted < 3) {
    char text[73];
    std::snprintf(text, sizeof text, "SEND incomplete: %d of 3 sets not sent!", 3 - accepted);
    ShowStatusText(text);
  }
  ReleaseLine();
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
