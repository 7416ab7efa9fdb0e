// The table of callback names: the panel file names each control's callback,
// and the panels are wired to the functions through this table.
#include "app/callbacks.h"

#include "app/help.h"
#include "app/startup.h"
#include "app/status_history.h"
#include "display/history.h"
#include "display/video.h"
#include "link/link.h"
#include "link/transfer.h"
#include "link/xflash.h"
#include "measure/run.h"
#include "measure/teach.h"
#include "monitor/compare.h"
#include "monitor/monitor.h"
#include "params/panels.h"
#include "recorder/recorder.h"
#include "viewer/export.h"
#include "viewer/viewer.h"

namespace {
#define CTRL(fn) \
  { #fn, fn, nullptr }
#define PANEL(fn) \
  { #fn, nullptr, fn }
const CallbackEntry kCallbacks[] = {
    PANEL(CC_PANEL),
    PANEL(CC_POPUP),
    CTRL(CC_BTNRun),
    CTRL(CC_BTNStop),
    CTRL(CC_ButtonReset),
    CTRL(CC_ButtonTeach),
    CTRL(CC_NEDITeachA),
    CTRL(CC_NEDITeachB),
    CTRL(CC_NEDITTolLeff),
    CTRL(CC_BTNVideo),
    CTRL(CC_SLIDEVideoTHD_A),
    CTRL(CC_SLIDEVideoTHD_B),
    CTRL(CC_GRAPHDataMaster),
    CTRL(CC_GRAPHDataSlave),
    CTRL(CC_TOGBTN_Zoom),
    CTRL(CC_BTNGet),
    CTRL(CC_BTNSend),
    CTRL(CC_RBTRam),
    CTRL(CC_RBTEeprom),
    CTRL(CC_RBTFile),
    CTRL(CC_DropDCom),
    CTRL(CC_BTNWriteXFMA),
    CTRL(CC_BTNWriteXFSL),
    CTRL(CC_DropEvalMode),
    CTRL(CC_DROPHardwareMode),
    CTRL(CC_DROPAnaMode),
    CTRL(CC_TOGGBTN_Para0),
    CTRL(CC_TOGGBTN_Para1),
    CTRL(CC_TOGGBTN_Para2),
    CTRL(CC_TOGGBTN_Calib),
    CTRL(CC_TOGGBTN_Recorder),
    CTRL(CC_NEDITRecTime),
    CTRL(CC_NEDITRecSamples),
    CTRL(CC_RecordFileNameBtn),
    CTRL(CC_BTNStartRecord),
    CTRL(CC_BTNStopRecord),
    CTRL(CC_HelpText1),
    CTRL(CC_HelpText2),
    CTRL(CC_BTNStatusHistory),
    // Recording viewer and graph export.
    PANEL(CC_VIEWER),
    CTRL(CC_BTNExport),
    CTRL(CC_BTNViewRecord),
    CTRL(CC_CHKViewValue),
    CTRL(CC_BTNViewerReset),
    CTRL(CC_BTNViewerExport),
    CTRL(CC_GRAPHViewer),
    CTRL(CC_NEDITViewerBand),
    CTRL(CC_ViewerDisplay),
    CTRL(CC_HelpTextTool),
    // Service tools: protocol monitor and set comparison.
    PANEL(CC_MONITOR),
    PANEL(CC_COMPARE),
    CTRL(CC_TOGGBTN_Monitor),
    CTRL(CC_TOGGBTNMonitorPause),
    CTRL(CC_BTNMonitorClear),
    CTRL(CC_RINGMonitorFilter),
    CTRL(CC_BTNMonitorSave),
    CTRL(CC_TEXTMonitor),
    CTRL(CC_BTNCompare),
    CTRL(CC_TABLECompare),
};
#undef CTRL
#undef PANEL
}  // namespace

void RegisterAppCallbacks() {
  RegisterCallbacks(kCallbacks, sizeof kCallbacks / sizeof kCallbacks[0]);
}
