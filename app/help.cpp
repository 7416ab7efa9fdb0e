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
    {MAIN_BTNStatusHistory, MAIN_TEXTHelp, false, -196, -92,
     "STATUS-HISTORY-BUTTON:\nLists the last 50 status texts\nwith the time each appeared,\n"
     "newest first (kept until exit)."},
    {MAIN_BTNExport, MAIN_TEXTHelp, false, -300, -100,
     "EXPORT-BUTTON:\nSave the chart area as shown now:\nthe value history or the video\n"
     "curves as PNG image, its data as\nCSV file beside it (same name)."},
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

// Shows (or, when it is shown, hides) the help box of an entry beside its control.
void PlaceHelp(int panel, const HelpEntry& h) {
  int top = 0, left = 0, height = 0, width = 0;
  GetCtrlBoundingRect(panel, h.control, &top, &left, &height, &width);
  SetCtrlAttribute(panel, h.box, ATTR_LEFT, left + (h.besideRight ? width : 0) + h.dx);
  SetCtrlAttribute(panel, h.box, ATTR_TOP, top + h.dy);
  int visible = 0;
  GetCtrlAttribute(panel, h.box, ATTR_VISIBLE, &visible);
  SetCtrlAttribute(panel, h.box, ATTR_VISIBLE, visible ? 0 : 1);
  SetCtrlVal(panel, h.box, h.text);
}

int HideBox(int box, int event) {
  if (event == EVENT_LEFT_CLICK || event == EVENT_RIGHT_CLICK)
    SetCtrlAttribute(pHandle, box, ATTR_VISIBLE, 0);
  return 0;
}

}  // namespace

void ShowHelp(int control) {
  for (const HelpEntry& h : kHelp) {
    if (h.control != control) continue;
    PlaceHelp(pHandle, h);
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

// ---- Help on the recorder popup and the recording viewer ------------------------

namespace {

struct ToolHelpEntry {
  const int* panel;  // the panel's handle global
  HelpEntry help;
};

constexpr const char* kViewValueHelp =
    "VALUE-SWITCHES:\nChoose the values drawn. Result [\u00b5m]\nuses the right axis, the "
    "others the\nleft one. Statistics cover every\nvalue and every record.";

const ToolHelpEntry kToolHelp[] = {
    {&pPopUp,
     {POPUP_BTNViewRecord, POPUP_TEXTRecHelp, false, -200, 36,
      "VIEW-BUTTON:\nOpen a recorder file in the recording viewer: chart, header\nand "
      "statistics of every record. The file is only read, never changed."}},
    {&pViewer,
     {VIEWER_GRAPHViewer, VIEWER_TEXTViewerHelp, false, 320, 20,
      "VIEWER-GRAPH:\nThe recorded values over the record\nnumber, the time of day on top.\n"
      "Wheel: zoom, drag: pan (left button).\nLarge files are drawn reduced; every\n"
      "peak stays visible."}},
    {&pViewer, {VIEWER_CHKViewAval, VIEWER_TEXTViewerHelp, false, 0, 30, kViewValueHelp}},
    {&pViewer, {VIEWER_CHKViewBval, VIEWER_TEXTViewerHelp, false, 0, 30, kViewValueHelp}},
    {&pViewer, {VIEWER_CHKViewMvalue, VIEWER_TEXTViewerHelp, false, 0, 30, kViewValueHelp}},
    {&pViewer, {VIEWER_CHKViewUmValue, VIEWER_TEXTViewerHelp, false, 0, 30, kViewValueHelp}},
    {&pViewer, {VIEWER_CHKViewEdcntA, VIEWER_TEXTViewerHelp, false, -200, 30, kViewValueHelp}},
    {&pViewer, {VIEWER_CHKViewEdcntB, VIEWER_TEXTViewerHelp, false, -200, 30, kViewValueHelp}},
    {&pViewer,
     {VIEWER_BTNViewerReset, VIEWER_TEXTViewerHelp, false, -330, 30,
      "RESET-VIEW-BUTTON:\nShow every record again, with the\nvalue axes fitted to the "
      "values drawn."}},
    {&pViewer,
     {VIEWER_BTNViewerExport, VIEWER_TEXTViewerHelp, false, -330, 30,
      "EXPORT-BUTTON:\nSave the chart as shown now as PNG\nimage, and the records in view "
      "with\nthe values drawn as CSV file beside\nit (same name)."}},
    {&pViewer,
     {VIEWER_NEDITViewerBand, VIEWER_TEXTViewerHelp, false, -330, -120,
      "BAND:\nHalf width of a band around the\nsetpoint of the file, in \u00b5m. The "
      "table\ncounts the records whose result [\u00b5m]\nlies outside it, and their share."}},
    {&pViewer,
     {VIEWER_TABLEViewerStats, VIEWER_TEXTViewerHelp, false, 330, -120,
      "STATISTICS:\nCount, minimum, maximum, mean and\nstandard deviation (n-1) of each "
      "value\nover every record of the file."}},
    {&pViewer,
     {VIEWER_TEXTViewerHeader, VIEWER_TEXTViewerHelp, false, 330, 0,
      "HEADER:\nStart date and time, interval and\nsetpoint from the file's two header\n"
      "lines, the number of records and\nthe path of the file."}},
    {&pViewer,
     {VIEWER_TEXTViewerStatus, VIEWER_TEXTViewerHelp, false, 330, -120,
      "STATUS:\nHow many records were read and how\nmany lines were skipped because they\n"
      "are not six whole numbers; the\noutcome of an export."}},
};

}  // namespace

void ShowToolHelp(int panel, int control) {
  for (const ToolHelpEntry& e : kToolHelp) {
    if (*e.panel != panel || e.help.control != control) continue;
    PlaceHelp(panel, e.help);
    return;
  }
}

int CC_HelpTextTool(int panel, int control, int event, void*, int, int) {
  if (event == EVENT_LEFT_CLICK || event == EVENT_RIGHT_CLICK)
    SetCtrlAttribute(panel, control, ATTR_VISIBLE, 0);
  return 0;
}
