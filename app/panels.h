// The panels of the panel file "TARVO-MS-LT-ScopeV303.uir" and the numbers of
// their controls. These numbers are the contract with the panel file: every
// control below carries the same number in its "ctrlId" property there.
#pragma once

constexpr const char* kPanelFile = "TARVO-MS-LT-ScopeV303.uir";

// Panel resources.
constexpr int CALIB = 1;
constexpr int MAIN = 2;
constexpr int PARA0 = 3;
constexpr int PARA1 = 4;
constexpr int PARA2 = 5;
constexpr int POPUP = 6;

// Panel handles, filled at start-up.
extern int pHandle;  // main panel
extern int pPara0;   // parameter set 0
extern int pPara1;   // parameter set 1 (master sensor A)
extern int pPara2;   // parameter set 2 (slave sensor B)
extern int pCalib;   // calibration
extern int pPopUp;   // data recorder popup

// Main panel.
constexpr int MAIN_DECOHeader = 1;
constexpr int MAIN_PICTLogo = 2;
constexpr int MAIN_BTNRun = 3;
constexpr int MAIN_BTNVideo = 4;
constexpr int MAIN_BTNStop = 5;
constexpr int MAIN_BTNGet = 6;
constexpr int MAIN_BTNSend = 7;
constexpr int MAIN_RBTFile = 8;
constexpr int MAIN_RBTEeprom = 9;
constexpr int MAIN_RBTRam = 10;
constexpr int MAIN_ButtonTeach = 11;
constexpr int MAIN_ButtonReset = 12;
constexpr int MAIN_DropDCom = 13;
constexpr int MAIN_TOGGBTN_Recorder = 14;
constexpr int MAIN_TOGGBTN_Para0 = 15;
constexpr int MAIN_TOGGBTN_Para1 = 16;
constexpr int MAIN_TOGGBTN_Para2 = 17;
constexpr int MAIN_TOGGBTN_Calib = 18;
constexpr int MAIN_TEXTStatus = 19;
constexpr int MAIN_GRAPHDataMaster = 20;
constexpr int MAIN_GRAPHBarMaster = 21;
constexpr int MAIN_GRAPHBarSlave = 22;
constexpr int MAIN_GRAPHDataSlave = 23;
constexpr int MAIN_STRIPHistory = 24;
constexpr int MAIN_TOGBTN_Zoom = 25;
constexpr int MAIN_TEXTHelp = 26;
constexpr int MAIN_TEXTHelp2 = 27;
constexpr int MAIN_NUMAval = 28;
constexpr int MAIN_NUMBval = 29;
constexpr int MAIN_NUMMvalue = 30;
constexpr int MAIN_NUMValueMM = 31;
constexpr int MAIN_NUMTolUpMM = 32;
constexpr int MAIN_NUMTolLoMM = 33;
constexpr int MAIN_NUMAnaMin = 34;
constexpr int MAIN_NUMAnaMax = 35;
// The button at the end of the status line that lists the earlier status texts.
constexpr int MAIN_BTNStatusHistory = 45;

// Calibration panel.
constexpr int CALIB_CTRLCalibSet0 = 1;
constexpr int CALIB_CTRLScaleA = 2;
constexpr int CALIB_CTRLScaleB = 3;
constexpr int CALIB_TEXTSensorInfo = 7;
constexpr int CALIB_BTNWriteXFMA = 8;
constexpr int CALIB_BTNWriteXFSL = 9;

// Parameter set 0 panel.
constexpr int PARA0_DropEvalMode = 1;
constexpr int PARA0_CTRLPara0W1 = 2;
constexpr int PARA0_DROPAnaMode = 3;
constexpr int PARA0_DROPHardwareMode = 4;
constexpr int PARA0_CTRLPara0W4 = 5;
constexpr int PARA0_CTRLPara0W5 = 6;
constexpr int PARA0_CTRLTolLo = 7;
constexpr int PARA0_CTRLTolUp = 8;

// Parameter set 1 panel (master sensor A).
constexpr int PARA1_CTRLPara1W0 = 1;
constexpr int PARA1_CTRLPara1W1 = 2;
constexpr int PARA1_SLIDEVideoTHD_A = 3;
constexpr int PARA1_NEDITeachA = 4;
constexpr int PARA1_CTRLPara1W4 = 5;
constexpr int PARA1_CTRLPara1W5 = 6;
constexpr int PARA1_CTRLPara1W6 = 7;
constexpr int PARA1_CTRLPara1Aux = 8;
constexpr int PARA1_NUMVideoTHD_A = 9;  // the slider's value

// Parameter set 2 panel (slave sensor B).
constexpr int PARA2_CTRLPara2W0 = 1;
constexpr int PARA2_CTRLPara2W1 = 2;
constexpr int PARA2_SLIDEVideoTHD_B = 3;
constexpr int PARA2_NEDITeachB = 4;
constexpr int PARA2_CTRLPara2W4 = 5;
constexpr int PARA2_CTRLPara2W5 = 6;
constexpr int PARA2_CTRLPara2W6 = 7;
constexpr int PARA2_NUMVideoTHD_B = 8;  // the slider's value

// Data recorder popup.
constexpr int POPUP_NEDITRecTime = 1;
constexpr int POPUP_NEDITRecSamples = 2;
constexpr int POPUP_NUMRecDays = 3;
constexpr int POPUP_NUMRecHours = 4;
constexpr int POPUP_NUMRecMinutes = 5;
constexpr int POPUP_NUMRecSeconds = 6;
constexpr int POPUP_NUMRecCount = 7;
constexpr int POPUP_TEXTRecFile = 8;
constexpr int POPUP_TEXTRecStatus = 9;
constexpr int POPUP_RecordFileNameBtn = 10;
constexpr int POPUP_BTNStartRecord = 11;
constexpr int POPUP_BTNStopRecord = 12;

// ---- Recording viewer and graph export ----------------------------------------
constexpr int VIEWER = 9;
extern int pViewer;  // recording viewer (loaded when first opened), 0 before

constexpr int MAIN_BTNExport = 40;
constexpr int POPUP_BTNViewRecord = 13;
constexpr int POPUP_TEXTRecHelp = 14;

constexpr int VIEWER_TEXTViewerHeader = 1;
constexpr int VIEWER_CHKViewAval = 2;  // the six value switches, in record order
constexpr int VIEWER_CHKViewBval = 3;
constexpr int VIEWER_CHKViewMvalue = 4;
constexpr int VIEWER_CHKViewUmValue = 5;
constexpr int VIEWER_CHKViewEdcntA = 6;
constexpr int VIEWER_CHKViewEdcntB = 7;
constexpr int VIEWER_BTNViewerReset = 8;
constexpr int VIEWER_BTNViewerExport = 9;
constexpr int VIEWER_GRAPHViewer = 10;
constexpr int VIEWER_NEDITViewerBand = 11;
constexpr int VIEWER_TABLEViewerStats = 12;
constexpr int VIEWER_TEXTViewerStatus = 13;
constexpr int VIEWER_TEXTViewerHelp = 14;
// ---- Service tools: protocol monitor and set comparison --------------------
constexpr int MONITOR = 7;
constexpr int COMPARE = 8;
extern int pMonitor;  // protocol monitor (loaded when first shown)
extern int pCompare;  // set comparison (loaded when first shown)

constexpr int MAIN_TOGGBTN_Monitor = 50;
constexpr int MAIN_BTNCompare = 51;

constexpr int MONITOR_TEXTMonitor = 1;
constexpr int MONITOR_TOGGBTNMonitorPause = 2;
constexpr int MONITOR_BTNMonitorClear = 3;
constexpr int MONITOR_RINGMonitorFilter = 4;
constexpr int MONITOR_BTNMonitorSave = 5;
constexpr int MONITOR_TEXTMonitorStatus = 6;

constexpr int COMPARE_TABLECompare = 1;
constexpr int COMPARE_TEXTCompareStatus = 2;
