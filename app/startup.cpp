// Program start-up, the global start values, and shutdown.
#include "app/startup.h"

#include <cstdio>

#include "app/callbacks.h"
#include "app/help.h"
#include "app/panels.h"
#include "display/bargraph.h"
#include "display/video.h"
#include "link/frame.h"
#include "link/identify.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"
#include "link/transfer.h"
#include "link/xflash.h"
#include "measure/run.h"
#include "params/panels.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "recorder/recorder.h"
#include "viewer/viewer.h"

char szSoftVersion[73];
char szSoftName[73];
char proj_dir[261];

int pHandle;
int pPara0;
int pPara1;
int pPara2;
int pCalib;
int pPopUp;

namespace {

constexpr int kChildLeft = 8;
constexpr int kChildTop = 98;

void CopyText(char* dst, size_t size, const char* src) { std::snprintf(dst, size, "%s", src); }

// The link and identification state as it is when the process starts. A
// fresh process has these values already; restoring them matters only when
// the program is started more than once in one process (the test harness).
void RestoreInitialLinkState() {
  YMAXADC = 256;
  for (double& x : xArray8) x = 0.0;
  ccdtype = ccdresolution = pcbtype = ccdpixB = ccdpixE = softversion = hwtype = adcmax = 0;
  szVersion[0] = '\0';
  nBytesW = nBytesR = 0;
  for (uint16_t& w : pp) w = 0;
}

}  // namespace

void InitVars() {
  SetParameterStartValues();
  com = 1;
  target = 1;
  ccdmaxpixel = 1024;
  ccdsubpixel = 2048;
  ccdvirtpixel = 4096;
  yaxisMAX = 2048;
  rx_flag = 0;
  graph_flag = 0;
  stop_flag = 1;

  ShowStatusText("InitVars");
  SetCtrlVal(pHandle, MAIN_TOGGBTN_Recorder, 0);

  char path[sizeof recfile_name];
  CopyText(recfile_name, sizeof recfile_name, "TARVORecord.dat");
  if (MakePathname(proj_dir, recfile_name, path, sizeof path) >= 0)
    CopyText(recfile_name, sizeof recfile_name, path);
  ReplaceTextBoxLine(pPopUp, POPUP_TEXTRecFile, 0, recfile_name);

  CalcRecTime();

  CopyText(szSoftVersion, sizeof szSoftVersion, "Version 3.03");
  CopyText(szSoftName, sizeof szSoftName, "TARVO-LT-MS-Scope");
  ShowLogo(2);

  // The panel controls win over the start values above.
  GetPanelValues();

  DeleteGraphPlot(pHandle, MAIN_GRAPHBarMaster, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
  DeleteGraphPlot(pHandle, MAIN_GRAPHBarSlave, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
  SetGraphCursor(pHandle, MAIN_GRAPHBarMaster, 1, 0.0, 1.0);
  SetGraphCursor(pHandle, MAIN_GRAPHBarSlave, 1, 0.0, 1.0);
  SetCursorAttribute(pHandle, MAIN_GRAPHBarMaster, 2, ATTR_CURSOR_POINT_STYLE, VAL_NO_POINT);
  SetCursorAttribute(pHandle, MAIN_GRAPHBarSlave, 2, ATTR_CURSOR_POINT_STYLE, VAL_NO_POINT);
  PlotTOLWindow(parameter.set0[0], 0, 0);

  FillThresholdLine(thdArrayA, parameter.set1[2]);
  FillThresholdLine(thdArrayB, parameter.set2[2]);
}

void InitGUI() {
  const int children[] = {pPara0, pPara1, pPara2, pCalib};
  for (int panel : children) {
    SetPanelAttribute(panel, ATTR_LEFT, kChildLeft);
    SetPanelAttribute(panel, ATTR_TOP, kChildTop);
  }

  ApplyHardwareModeDimming(parameter.set0[3]);
  ShowAnalogDisplays(parameter.set0[2]);
  ShowVideoThresholds();
}

int AppStart(int argc, char** argv) {
  if (InitCVIRTE(argc, argv) < 0) return -1;
  RegisterAppCallbacks();

  if ((pHandle = LoadPanel(0, kPanelFile, MAIN)) < 0) return -1;
  if ((pPara0 = LoadPanel(pHandle, kPanelFile, PARA0)) < 0) return -1;
  if ((pPara1 = LoadPanel(pHandle, kPanelFile, PARA1)) < 0) return -1;
  if ((pPara2 = LoadPanel(pHandle, kPanelFile, PARA2)) < 0) return -1;
  if ((pCalib = LoadPanel(pHandle, kPanelFile, CALIB)) < 0) return -1;
  if ((pPopUp = LoadPanel(0, kPanelFile, POPUP)) < 0) return -1;

  GetProjectDir(proj_dir, sizeof proj_dir);
  RestoreInitialLinkState();
  InitVars();
  LineStart();

  SetCtrlVal(pHandle, MAIN_DropDCom, com);  // the drop-down shows the port in use
  InitRS232(com);
  InitGUI();

  DisplayPanel(pHandle);
  DisplayPanel(pPara0);
  return 0;
}

void AppFinish() {
  LineFinish();  // normally closed already by the main panel's close; harmless
  ViewerFinish();
  DiscardPanel(pPara0);
  DiscardPanel(pPara1);
  DiscardPanel(pPara2);
  DiscardPanel(pCalib);
  DiscardPanel(pPopUp);
  DiscardPanel(pHandle);
}

int TarvoMain(int argc, char** argv) {
  if (AppStart(argc, argv) < 0) return -1;
  RunUserInterface();
  AppFinish();
  return 0;
}

int CC_PANEL(int panel, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel;
  (void)callbackData;
  (void)eventData1;
  (void)eventData2;
  if (event == EVENT_CLOSE) {
    stop_flag = 1;
    // Nothing held back runs any more; an upload runs to its end on the open
    // port and the shutdown closes it then.
    LineShutdown();
    QuitUserInterface(0);
  }
  return 0;
}

int CC_POPUP(int panel, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel;
  (void)callbackData;
  (void)eventData1;
  (void)eventData2;
  if (event == EVENT_CLOSE) {
    stop_flag = 1;
    HidePanel(pPopUp);
    SetCtrlVal(pHandle, MAIN_TOGGBTN_Recorder, 0);
  }
  return 0;
}
