// First simple bodies of the panel, control and graph services, so everything
// links while the Qt implementation is being completed.
#include <string>
#include <vector>

#include "platform/graph_probe.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"

void RegisterCallbacks(const CallbackEntry*, size_t) {}
int LoadPanel(int, const char*, int) { return -1; }
int DisplayPanel(int) { return -1; }
int HidePanel(int) { return -1; }
int DiscardPanel(int) { return -1; }
int SetPanelAttribute(int, int, int) { return -1; }
int GetPanelAttribute(int, int, int*) { return -1; }
int SetCtrlVal(int, int, int) { return -1; }
int SetCtrlVal(int, int, unsigned int) { return -1; }
int SetCtrlVal(int, int, double) { return -1; }
int SetCtrlVal(int, int, const char*) { return -1; }
int GetCtrlVal(int, int, int*) { return -1; }
int GetCtrlVal(int, int, unsigned short*) { return -1; }
int GetCtrlVal(int, int, unsigned int*) { return -1; }
int GetCtrlVal(int, int, float*) { return -1; }
int GetCtrlVal(int, int, double*) { return -1; }
int GetCtrlVal(int, int, char*, size_t) { return -1; }
int SetCtrlAttribute(int, int, int, int) { return -1; }
int SetCtrlAttribute(int, int, int, const char*) { return -1; }
int GetCtrlAttribute(int, int, int, int*) { return -1; }
int GetCtrlBoundingRect(int, int, int*, int*, int*, int*) { return -1; }
int ResetTextBox(int, int, const char*) { return -1; }
int ReplaceTextBoxLine(int, int, int, const char*) { return -1; }
int GetTextBoxLine(int, int, int, char*, size_t) { return -1; }
int NewCtrl(int, int, const char*, int, int) { return -1; }
int DisplayImageFile(int, int, const char*) { return -1; }
int DeleteGraphPlot(int, int, int, int) { return -1; }
int PlotRectangle(int, int, double, double, double, double, int, int) { return -1; }
int PlotXY(int, int, const double*, const unsigned short*, int, int, int, int, int, int) { return -1; }
int PlotStripChart(int, int, const double*, int, int, int) { return -1; }
int ClearStripChart(int, int) { return -1; }
int SetTraceAttribute(int, int, int, int, int) { return -1; }
int SetAxisScalingMode(int, int, int, int, double, double) { return -1; }
int SetGraphCursor(int, int, int, double, double) { return -1; }
int GetGraphCursor(int, int, int, double*, double*) { return -1; }
int SetCursorAttribute(int, int, int, int, int) { return -1; }
int GetCursorAttribute(int, int, int, int, int*) { return -1; }
std::vector<PlotInfo> GetGraphPlots(int, int) { return {}; }
void GetAxisRange(int, int, int, double*, double*) {}
std::vector<double> GetStripTrace(int, int, int) { return {}; }
int GetTraceAttribute(int, int, int, int, int*) { return -1; }
int StripChartUpdates(int, int) { return 0; }
int FireCtrlEvent(int, int, int) { return -1; }
int FirePanelEvent(int, int) { return -1; }
int ClickCtrl(int, int) { return -1; }
int RightClickCtrl(int, int) { return -1; }
int EnterCtrlVal(int, int, double) { return -1; }
bool CtrlDimmed(int, int) { return false; }
bool CtrlVisible(int, int) { return false; }
bool PanelVisible(int) { return false; }
