// Right-click help texts beside the main-panel controls, and the header band
// with logo, maker's lines, title and version.
#include "app/help.h"

#include "app/panels.h"
#include "app/startup.h"
#include "platform/ui.h"

namespace {

// Where the help box goes: left = control left (+ control width when
// besideRight) + dx, top = control top + dy.
struct HelpEntry {
  int control;
  int box;
  bool besideRight;
  int dx;
  int dy;
  const char* text;
};

constexpr HelpEntry kHelp[] = {
    {MAIN_BTNRun, MAIN_TEXTHelp, true, 10, -20,
     "START-BUTTON:\nStart the continuous serial RS232\ndata-transfer between PC and TARVO\n"
     "sensor. 16 words are transferred!"},
    {MAIN_BTNVideo, MAIN_TEXTHelp, true, 10, -20,
     "VIDEO-BUTTON:\nTransfer video-signal (pixel-info)\n= intensity profile at CCD-line,\n"
     "via RS232 communication to PC."},
    {MAIN_BTNStop, MAIN_TEXTHelp, true, 10, -20,
     "STOP-BUTTON:\nStops the serial RS232-data-\ntransfer between PC and\nTARVO sensor."},
    {MAIN_ButtonTeach, MAIN_TEXTHelp, false, -200, -20,
     "TEACH-BUTTON:\nStart teach procedure at TARVO-\nsensor. The actual pixel-position ==\n"
     "new teach value!"},
    {MAIN_ButtonReset, MAIN_TEXTHelp, true, 10, -60,
     "RESET-BUTTON:\nReset the actual maxima und minima\nvalues at the TARVO-hardware.\n"
     "No software/hardware reset is done !"},
    {MAIN_DropDCom, MAIN_TEXTHelp2, true, 20, -120,
     "DROP-DOWN-CONNECT:\nSelect the port-number of the serial RS232 communication "
     "interface of the PC.\n\nThe port-number can be found under:\n"
     "<Start>/System-Settings/Hardware/..."},
    {MAIN_BTNSend, MAIN_TEXTHelp, true, 20, -25,
     "SEND-BUTTON:\nSend parameter-frame to EEPROM-\nor RAM-memory of the TARVO-sensor!"},
    {MAIN_BTNGet, MAIN_TEXTHelp, true, 20, -25,
     "GET-BUTTON:\nGet parameter-frame of TARVO-\nsensor from EEPROM-memory\n"
     "or RAM-memory ..."},
    {MAIN_TOGGBTN_Recorder, MAIN_TEXTHelp, true, 10, -50,
     "RECORDER-BUTTON:\nOpen a new Popup-Window for\nthe TARVO data recorder..."},
    {MAIN_GRAPHDataSlave, MAIN_TEXTHelp2, false, 60, 30,
     "VIDEO-GRAPH-SLAVE:\nVisualizes the actual video signal\nof the SLAVE-sensor. The video\n"
     "signal represents the analog-value\nof each pixel over the CCD-line.\n"
     "Because of the limited baudrate via\nthe serial RS232 interface, the\n"
     "video graph is refreshed slowly !"},
    {MAIN_GRAPHDataMaster, MAIN_TEXTHelp2, false, 40, 30,
     "VIDEO-GRAPH-MASTER:\nVisualizes the actual video signal\nof the MASTER-sensor. The video\n"
     "signal represents the analog-value\nof each pixel over the CCD-line.\n"
     "Because of the limited baudrate via\nthe serial RS232 interface, the\n"
     "video graph is refreshed slowly !"},
    // Service tools.
    {MAIN_TOGGBTN_Monitor, MAIN_TEXTHelp, true, 10, -80,
     "PROTOCOL-MONITOR:\nOpens a window that lists every\nframe on the RS232 line, with\n"
     "times, decoded words and hex bytes."},
    {MAIN_BTNCompare, MAIN_TEXTHelp, true, 10, -25,
     "COMPARE-BUTTON:\nReads the sets from RAM and EEPROM\n(nothing is written) and shows them\n"
     "beside the panels and the file."},
};

constexpr int kHeaderColor = 0x0080FF;
constexpr int kHeaderTextColor = 0xFFFFFF;

// The maker's address lines in the header.
constexpr const char* kCompanyLine = "Velmora GmbH";
constexpr const char* kPhoneLine = "Tel. +49 (0)711 555 0170";
constexpr const char* kWebLine = "www.velmora-sensors.de";

int HideBox(int box, int event) {
  if (event == EVENT_LEFT_CLICK || event == EVENT_RIGHT_CLICK)
    SetCtrlAttribute(pHandle, box, ATTR_VISIBLE, 0);
  return 0;
}

}  // namespace

void ShowHelp(int control) {
  for (const HelpEntry& h : kHelp) {
    if (h.control != control) continue;
    int top = 0, left = 0, height = 0, width = 0;
    GetCtrlBoundingRect(pHandle, control, &top, &left, &height, &width);
    SetCtrlAttribute(pHandle, h.box, ATTR_LEFT, left + (h.besideRight ? width : 0) + h.dx);
    SetCtrlAttribute(pHandle, h.box, ATTR_TOP, top + h.dy);
    int visible = 0;
    GetCtrlAttribute(pHandle, h.box, ATTR_VISIBLE, &visible);
    SetCtrlAttribute(pHandle, h.box, ATTR_VISIBLE, visible ? 0 : 1);
    SetCtrlVal(pHandle, h.box, h.text);
    return;
  }
}

void ShowInfoText(int bgColor, int textColor, const char* text, int left, int top, int pointSize) {
  const int ctrl = NewCtrl(pHandle, CTRL_TEXT_MSG, "", top, left);
  if (ctrl < 0) return;
  SetCtrlAttribute(pHandle, ctrl, ATTR_TEXT_FONT, "NIApp");
  SetCtrlAttribute(pHandle, ctrl, ATTR_TEXT_BGCOLOR, bgColor);
  SetCtrlAttribute(pHandle, ctrl, ATTR_TEXT_COLOR, textColor);
  SetCtrlAttribute(pHandle, ctrl, ATTR_TEXT_POINT_SIZE, pointSize);
  SetCtrlVal(pHandle, ctrl, text);
}

void ShowLogo(int mode) {
  (void)mode;  // the header has one layout
  SetCtrlAttribute(pHandle, MAIN_DECOHeader, ATTR_FRAME_COLOR, kHeaderColor);
  SetCtrlAttribute(pHandle, MAIN_PICTLogo, ATTR_TOP, 8);
  SetCtrlAttribute(pHandle, MAIN_PICTLogo, ATTR_LEFT, 300);
  DisplayImageFile(pHandle, MAIN_PICTLogo, "vm.bmp");  // a missing file leaves it empty

  ShowInfoText(kHeaderColor, kHeaderTextColor, kCompanyLine, 15, 9, 11);
  ShowInfoText(kHeaderColor, kHeaderTextColor, kPhoneLine, 15, 24, 11);
  ShowInfoText(kHeaderColor, kHeaderTextColor, kWebLine, 15, 39, 11);
  ShowInfoText(kHeaderColor, kHeaderTextColor, szSoftName, 300, 32, 18);
  ShowInfoText(kHeaderColor, kHeaderTextColor, szSoftVersion, 480, 38, 11);
}

int CC_HelpText1(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2) {
  (void)panel;
  (void)control;
  (void)callbackData;
  (void)eventData1;
  (void)eventData2;
  return HideBox(MAIN_TEXTHelp, event);
}

int CC_HelpText2(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2) {
  (void)panel;
  (void)control;
  (void)callbackData;
  (void)eventData1;
  (void)eventData2;
  return HideBox(MAIN_TEXTHelp2, event);
}
