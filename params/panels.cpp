// The four parameter panels: sets into controls and back, the range rules, the
// dimming and visibility that follow the modes, and the panel selection.
#include "params/panels.h"

#include "app/panels.h"
#include "display/bargraph.h"
#include "display/video.h"
#include "link/identify.h"
#include "link/link.h"
#include "link/payload.h"
#include "params/rules.h"
#include "platform/ui.h"

uint16_t yaxisMAX = 2048;

namespace {

constexpr int kGreyRect = 0xA0A0A0;

// Reads a 16-bit control into `field`; a failed read leaves the field alone.
void Read16(int panel, int control, uint16_t& field) {
  unsigned short v = 0;
  if (GetCtrlVal(panel, control, &v) >= 0) field = v;
}

// A ring's value is its item index.
void ReadRing(int panel, int control, uint16_t& field) {
  int v = 0;
  if (GetCtrlVal(panel, control, &v) >= 0) field = static_cast<uint16_t>(v);
}

void ReadScale(int control, uint32_t& field) {
  float v = 0;
  if (GetCtrlVal(pCalib, control, &v) >= 0) field = ScaleToField(v);
}

// The controls that sets 1 and 2 share in layout, in payload-word order 0..6.
struct SensorControls {
  int w0, w1, threshold, teach, w4, w5, w6;
};
constexpr SensorControls kSet1Ctrls{PARA1_CTRLPara1W0, PARA1_CTRLPara1W1, PARA1_SLIDEVideoTHD_A,
                                    PARA1_NEDITeachA,  PARA1_CTRLPara1W4, PARA1_CTRLPara1W5,
                                    PARA1_CTRLPara1W6};
constexpr SensorControls kSet2Ctrls{PARA2_CTRLPara2W0, PARA2_CTRLPara2W1, PARA2_SLIDEVideoTHD_B,
                                    PARA2_NEDITeachB,  PARA2_CTRLPara2W4, PARA2_CTRLPara2W5,
                                    PARA2_CTRLPara2W6};

void ReadSensorSet(int panel, const SensorControls& c, uint16_t* s) {
  Read16(panel, c.w0, s[0]);
  Read16(panel, c.w1, s[1]);
  Read16(panel, c.threshold, s[2]);
  Read16(panel, c.teach, s[3]);
  Read16(panel, c.w4, s[4]);
  Read16(panel, c.w5, s[5]);
  Read16(panel, c.w6, s[6]);
}

void WriteSensorSet(int panel, const SensorControls& c, const uint16_t* s) {
  SetCtrlVal(panel, c.w0, static_cast<int>(s[0]));
  SetCtrlVal(panel, c.w1, static_cast<int>(s[1]));
  SetCtrlVal(panel, c.threshold, static_cast<int>(s[2]));
  SetCtrlVal(panel, c.teach, static_cast<int>(s[3]));
  SetCtrlVal(panel, c.w4, static_cast<int>(s[4]));
  SetCtrlVal(panel, c.w5, static_cast<int>(s[5]));
  SetCtrlVal(panel, c.w6, static_cast<int>(s[6]));
}

void ApplyTeachDimming(const EvalModeEffect& e) {
  SetCtrlAttribute(pPara1, PARA1_NEDITeachA, ATTR_DIMMED, e.teachADimmed ? 1 : 0);
  SetCtrlAttribute(pPara2, PARA2_NEDITeachB, ATTR_DIMMED, e.teachBDimmed ? 1 : 0);
}

// The four panel toggles act as one group: the button's own panel is shown,
// the other three are hidden; a left click turns the other buttons off.
struct PanelChoice {
  int button;
  int* panel;
};
const PanelChoice kChoices[4] = {{MAIN_TOGGBTN_Para0, &pPara0},
                                 {MAIN_TOGGBTN_Para1, &pPara1},
                                 {MAIN_TOGGBTN_Para2, &pPara2},
                                 {MAIN_TOGGBTN_Calib, &pCalib}};

void SelectPanel(int which, int event) {
  if (event == EVENT_LEFT_CLICK) {
    for (int i = 0; i < 4; ++i)
      if (i != which) SetCtrlVal(pHandle, kChoices[i].button, 0);
  } else if (event == EVENT_COMMIT) {
    for (int i = 0; i < 4; ++i)
      if (i != which) HidePanel(*kChoices[i].panel);
    DisplayPanel(*kChoices[which].panel);
  }
}

}  // namespace

void ShowAnalogDisplays(uint16_t analogMode) {
  const int visible = AnalogModeShowsDisplays(analogMode) ? 1 : 0;
  SetCtrlAttribute(pHandle, MAIN_NUMAnaMax, ATTR_VISIBLE, visible);
  SetCtrlAttribute(pHandle, MAIN_NUMAnaMin, ATTR_VISIBLE, visible);
  SetCtrlAttribute(pHandle, MAIN_ButtonReset, ATTR_VISIBLE, visible);
}

void ApplyHardwareModeDimming(uint16_t hardwareMode) {
  // In these modes the sensor takes its tolerance from outside: the tolerance
  // words are not used.
  const int dim = HardwareModeDims(hardwareMode) ? 1 : 0;
  SetCtrlAttribute(pPara0, PARA0_CTRLTolLo, ATTR_DIMMED, dim);
  SetCtrlAttribute(pPara0, PARA0_CTRLTolUp, ATTR_DIMMED, dim);
}

void GetPanelValues() {
  Parameter& p = parameter;
  ReadRing(pPara0, PARA0_DropEvalMode, p.set0[0]);
  Read16(pPara0, PARA0_CTRLPara0W1, p.set0[1]);
  ReadRing(pPara0, PARA0_DROPAnaMode, p.set0[2]);
  ReadRing(pPara0, PARA0_DROPHardwareMode, p.set0[3]);
  Read16(pPara0, PARA0_CTRLPara0W4, p.set0[4]);
  Read16(pPara0, PARA0_CTRLPara0W5, p.set0[5]);
  Read16(pPara0, PARA0_CTRLTolLo, p.set0[6]);
  Read16(pPara0, PARA0_CTRLTolUp, p.set0[7]);
  unsigned int calib = 0;
  if (GetCtrlVal(pCalib, CALIB_CTRLCalibSet0, &calib) >= 0) p.set0Long = calib;

  ReadSensorSet(pPara1, kSet1Ctrls, p.set1);
  ReadScale(CALIB_CTRLScaleA, p.set1Long[0]);

  ReadSensorSet(pPara2, kSet2Ctrls, p.set2);
  ReadScale(CALIB_CTRLScaleB, p.set2Long[0]);
}

void SetPanelValues() {
  Parameter& p = parameter;

  // 1. Range rules.
  ApplyRangeRules(p, ccdvirtpixel);

  // 2. Every control from its field.
  SetCtrlVal(pPara0, PARA0_DropEvalMode, static_cast<int>(p.set0[0]));
  SetCtrlVal(pPara0, PARA0_CTRLPara0W1, static_cast<int>(p.set0[1]));
  SetCtrlVal(pPara0, PARA0_DROPAnaMode, static_cast<int>(p.set0[2]));
  SetCtrlVal(pPara0, PARA0_DROPHardwareMode, static_cast<int>(p.set0[3]));
  SetCtrlVal(pPara0, PARA0_CTRLPara0W4, static_cast<int>(p.set0[4]));
  SetCtrlVal(pPara0, PARA0_CTRLPara0W5, static_cast<int>(p.set0[5]));
  SetCtrlVal(pPara0, PARA0_CTRLTolLo, static_cast<int>(p.set0[6]));
  SetCtrlVal(pPara0, PARA0_CTRLTolUp, static_cast<int>(p.set0[7]));
  SetCtrlVal(pCalib, CALIB_CTRLCalibSet0, static_cast<unsigned int>(p.set0Long));
  WriteSensorSet(pPara1, kSet1Ctrls, p.set1);
  WriteSensorSet(pPara2, kSet2Ctrls, p.set2);
  const float scaleA = FieldToScale(p.set1Long[0]);
  SetCtrlVal(pCalib, CALIB_CTRLScaleA, static_cast<double>(scaleA));
  SetCtrlVal(pCalib, CALIB_CTRLScaleB, static_cast<double>(FieldToScale(p.set2Long[0])));
  ShowVideoThresholds();

  // 3. Tolerance limits in millimetres, both with sensor A's scale factor.
  SetCtrlVal(pHandle, MAIN_NUMTolUpMM, PixelsToMM(scaleA, p.set0[7]));
  SetCtrlVal(pHandle, MAIN_NUMTolLoMM, PixelsToMM(scaleA, p.set0[6]));

  // 4. Evaluation mode.
  const EvalModeEffect e = EvalModeRule(p.set0[0], p.set1[3], p.set2[3], ccdvirtpixel);
  if (e.valid) {
    tVal = e.tVal;
    ApplyTeachDimming(e);
    yaxisMAX = e.yaxisMAX;
  }

  // 5. Hardware mode, by the same rule as its ring.
  ApplyHardwareModeDimming(p.set0[3]);

  // 6. Analog mode.
  ShowAnalogDisplays(p.set0[2]);

  // 7. Video threshold lines.
  const uint16_t lineA = ThresholdLineValue(p.set1[2], YMAXADC);
  const uint16_t lineB = ThresholdLineValue(p.set2[2], YMAXADC);
  for (int i = 0; i < MAXPOINT; ++i) {
    thdArrayA[i] = lineA;
    thdArrayB[i] = lineB;
  }

  // 8. Value axis of the history chart.
  SetAxisScalingMode(pHandle, MAIN_STRIPHistory, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, yaxisMAX);

  // 9. Video curves with the new threshold lines.
  PlotVIDEOCurveA(adcbufA, thdArrayA, xArray8);
  PlotVIDEOCurveB(adcbufB, thdArrayB, xArray8);

  // 10. Grey band in both bar graphs until their next drawing.
  const double right = static_cast<double>(ccdvirtpixel) - 1.0;
  PlotRectangle(pHandle, MAIN_GRAPHBarMaster, 0.0, 0.0, right, 1.0, kGreyRect, kGreyRect);
  PlotRectangle(pHandle, MAIN_GRAPHBarSlave, 0.0, 0.0, right, 1.0, kGreyRect, kGreyRect);
}

int CC_DropEvalMode(int panel, int control, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  int mode = 0;
  GetCtrlVal(panel, control, &mode);
  const EvalModeEffect e =
      EvalModeRule(static_cast<uint16_t>(mode), parameter.set1[3], parameter.set2[3], ccdvirtpixel);
  if (!e.valid) return 0;
  ApplyTeachDimming(e);
  yaxisMAX = e.yaxisMAX;
  if (e.cursorNoMarker) {
    SetCursorAttribute(pHandle, MAIN_GRAPHBarMaster, 2, ATTR_CURSOR_POINT_STYLE, VAL_NO_POINT);
    SetCursorAttribute(pHandle, MAIN_GRAPHBarSlave, 2, ATTR_CURSOR_POINT_STYLE, VAL_NO_POINT);
  }
  return 0;
}

int CC_DROPHardwareMode(int panel, int control, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  int mode = 0;
  GetCtrlVal(panel, control, &mode);
  ApplyHardwareModeDimming(static_cast<uint16_t>(mode));
  return 0;
}

int CC_DROPAnaMode(int panel, int control, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  int mode = 0;
  GetCtrlVal(panel, control, &mode);
  ShowAnalogDisplays(static_cast<uint16_t>(mode));
  return 0;
}

int CC_TOGGBTN_Para0(int, int, int event, void*, int, int) {
  SelectPanel(0, event);
  return 0;
}
int CC_TOGGBTN_Para1(int, int, int event, void*, int, int) {
  SelectPanel(1, event);
  return 0;
}
int CC_TOGGBTN_Para2(int, int, int event, void*, int, int) {
  SelectPanel(2, event);
  return 0;
}
int CC_TOGGBTN_Calib(int, int, int event, void*, int, int) {
  SelectPanel(3, event);
  return 0;
}
