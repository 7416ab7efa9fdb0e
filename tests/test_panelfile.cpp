// The panel file against the program: every numbered control is where the
// program looks for it, starts in the state the program expects, holds the
// values the program writes into it, and the layout keeps every control and
// every help box readable.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/callbacks.h"
#include "app/panels.h"
#include "link/payload.h"
#include "params/panels.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"

namespace {

struct Ctrl {
  int resource;  // panel resource (MAIN, PARA0, ...)
  int id;
  const char* name;
};

#define C(res, name) \
  { res, res##_##name, #name }
// Every control number the program uses.
const Ctrl kControls[] = {
    C(MAIN, DECOHeader),
    C(MAIN, PICTLogo),
    C(MAIN, BTNRun),
    C(MAIN, BTNVideo),
    C(MAIN, BTNStop),
    C(MAIN, BTNGet),
    C(MAIN, BTNSend),
    C(MAIN, RBTFile),
    C(MAIN, RBTEeprom),
    C(MAIN, RBTRam),
    C(MAIN, ButtonTeach),
    C(MAIN, ButtonReset),
    C(MAIN, DropDCom),
    C(MAIN, TOGGBTN_Recorder),
    C(MAIN, TOGGBTN_Para0),
    C(MAIN, TOGGBTN_Para1),
    C(MAIN, TOGGBTN_Para2),
    C(MAIN, TOGGBTN_Calib),
    C(MAIN, TEXTStatus),
    C(MAIN, GRAPHDataMaster),
    C(MAIN, GRAPHBarMaster),
    C(MAIN, GRAPHBarSlave),
    C(MAIN, GRAPHDataSlave),
    C(MAIN, STRIPHistory),
    C(MAIN, TOGBTN_Zoom),
    C(MAIN, TEXTHelp),
    C(MAIN, TEXTHelp2),
    C(MAIN, NUMAval),
    C(MAIN, NUMBval),
    C(MAIN, NUMMvalue),
    C(MAIN, NUMValueMM),
    C(MAIN, NUMTolUpMM),
    C(MAIN, NUMTolLoMM),
    C(MAIN, NUMAnaMin),
    C(MAIN, NUMAnaMax),
    C(CALIB, CTRLCalibSet0),
    C(CALIB, CTRLScaleA),
    C(CALIB, CTRLScaleB),
    C(CALIB, TEXTSensorInfo),
    C(CALIB, BTNWriteXFMA),
    C(CALIB, BTNWriteXFSL),
    C(PARA0, DropEvalMode),
    C(PARA0, CTRLPara0W1),
    C(PARA0, DROPAnaMode),
    C(PARA0, DROPHardwareMode),
    C(PARA0, CTRLPara0W4),
    C(PARA0, CTRLPara0W5),
    C(PARA0, CTRLTolLo),
    C(PARA0, CTRLTolUp),
    C(PARA1, CTRLPara1W0),
    C(PARA1, CTRLPara1W1),
    C(PARA1, SLIDEVideoTHD_A),
    C(PARA1, NEDITeachA),
    C(PARA1, CTRLPara1W4),
    C(PARA1, CTRLPara1W5),
    C(PARA1, CTRLPara1W6),
    C(PARA1, CTRLPara1Aux),
    C(PARA2, CTRLPara2W0),
    C(PARA2, CTRLPara2W1),
    C(PARA2, SLIDEVideoTHD_B),
    C(PARA2, NEDITeachB),
    C(PARA2, CTRLPara2W4),
    C(PARA2, CTRLPara2W5),
    C(PARA2, CTRLPara2W6),
    C(POPUP, NEDITRecTime),
    C(POPUP, NEDITRecSamples),
    C(POPUP, NUMRecDays),
    C(POPUP, NUMRecHours),
    C(POPUP, NUMRecMinutes),
    C(POPUP, NUMRecSeconds),
    C(POPUP, NUMRecCount),
    C(POPUP, TEXTRecFile),
    C(POPUP, TEXTRecStatus),
    C(POPUP, RecordFileNameBtn),
    C(POPUP, BTNStartRecord),
    C(POPUP, BTNStopRecord),
    C(PARA1, NUMVideoTHD_A),
    C(PARA2, NUMVideoTHD_B),
};

// The numeric edits that carry a 16-bit parameter word.
const Ctrl kWordEdits[] = {
    C(PARA0, CTRLPara0W1), C(PARA0, CTRLPara0W4),  C(PARA0, CTRLPara0W5),     C(PARA0, CTRLTolLo),
    C(PARA0, CTRLTolUp),   C(PARA1, CTRLPara1W0),  C(PARA1, CTRLPara1W1),     C(PARA1, NEDITeachA),
    C(PARA1, CTRLPara1W4), C(PARA1, CTRLPara1W5),  C(PARA1, CTRLPara1W6),     C(PARA2, CTRLPara2W0),
    C(PARA2, CTRLPara2W1), C(PARA2, NEDITeachB),   C(PARA2, CTRLPara2W4),     C(PARA2, CTRLPara2W5),
    C(PARA2, CTRLPara2W6), C(POPUP, NEDITRecTime), C(POPUP, NEDITRecSamples),
};
#undef C

struct Rect {
  int top = 0, left = 0, height = 0, width = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
  bool Overlaps(const Rect& o) const {
    return left < o.right() && o.left < right() && top < o.bottom() && o.top < bottom();
  }
};

std::string Describe(const Rect& r) {
  return "left " + std::to_string(r.left) + " top " + std::to_string(r.top) + " width " +
         std::to_string(r.width) + " height " + std::to_string(r.height);
}

class PanelFile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static char arg0[] = "test_panelfile";
    static char* argv[] = {arg0, nullptr};
    ASSERT_EQ(InitCVIRTE(1, argv), 0);
    RegisterAppCallbacks();
  }

  // Loads the panels as the program does, into the program's handles.
  void SetUp() override {
    pHandle = LoadPanel(0, kPanelFile, MAIN);
    ASSERT_GT(pHandle, 0);
    pPara0 = LoadPanel(pHandle, kPanelFile, PARA0);
    pPara1 = LoadPanel(pHandle, kPanelFile, PARA1);
    pPara2 = LoadPanel(pHandle, kPanelFile, PARA2);
    pCalib = LoadPanel(pHandle, kPanelFile, CALIB);
    pPopUp = LoadPanel(0, kPanelFile, POPUP);
    ASSERT_GT(pPara0, 0);
    ASSERT_GT(pPara1, 0);
    ASSERT_GT(pPara2, 0);
    ASSERT_GT(pCalib, 0);
    ASSERT_GT(pPopUp, 0);
  }

  void TearDown() override {
    for (int* h : {&pPara0, &pPara1, &pPara2, &pCalib, &pPopUp, &pHandle}) {
      if (*h > 0) DiscardPanel(*h);
      *h = 0;
    }
  }

  static int Handle(int resource) {
    switch (resource) {
      case MAIN:
        return pHandle;
      case PARA0:
        return pPara0;
      case PARA1:
        return pPara1;
      case PARA2:
        return pPara2;
      case CALIB:
        return pCalib;
      default:
        return pPopUp;
    }
  }

  static Rect Bounds(int panel, int control) {
    Rect r;
    EXPECT_EQ(GetCtrlBoundingRect(panel, control, &r.top, &r.left, &r.height, &r.width), 0)
        << "control " << control;
    return r;
  }

  static void PanelSize(int panel, int* width, int* height) {
    ASSERT_EQ(GetPanelAttribute(panel, ATTR_WIDTH, width), 0);
    ASSERT_EQ(GetPanelAttribute(panel, ATTR_HEIGHT, height), 0);
  }

  // The rectangle the program gives the child panels inside the main panel.
  static Rect ChildArea() {
    Rect r;
    r.left = 8;
    r.top = 98;
    PanelSize(pPara0, &r.width, &r.height);
    return r;
  }

  static bool Visible(int panel, int control) {
    int v = -1;
    EXPECT_EQ(GetCtrlAttribute(panel, control, ATTR_VISIBLE, &v), 0);
    return v != 0;
  }
};

TEST_F(PanelFile, EveryNumberedControlLiesInsideItsPanel) {
  for (const Ctrl& c : kControls) {
    SCOPED_TRACE(c.name);
    const int panel = Handle(c.resource);
    int w = 0, h = 0;
    PanelSize(panel, &w, &h);
    const Rect r = Bounds(panel, c.id);
    EXPECT_GT(r.width, 0);
    EXPECT_GT(r.height, 0);
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.right(), w) << Describe(r);
    EXPECT_LE(r.bottom(), h) << Describe(r);
  }
  // A number the file does not hold is refused, not mapped onto some control.
  Rect r;
  EXPECT_NE(GetCtrlBoundingRect(pHandle, 99, &r.top, &r.left, &r.height, &r.width), 0);
  EXPECT_NE(
      GetCtrlBoundingRect(pPara1, PARA1_NUMVideoTHD_A + 1, &r.top, &r.left, &r.height, &r.width),
      0);
}

TEST_F(PanelFile, PanelSizesFitTheScreenAndTheChildArea) {
  int mw = 0, mh = 0;
  PanelSize(pHandle, &mw, &mh);
  EXPECT_LE(mw, 1280);
  EXPECT_LE(mh, 800);

  // The four child panels take turns in one rectangle: one size for all.
  int w0 = 0, h0 = 0;
  PanelSize(pPara0, &w0, &h0);
  for (int p : {pPara1, pPara2, pCalib}) {
    int w = 0, h = 0;
    PanelSize(p, &w, &h);
    EXPECT_EQ(w, w0);
    EXPECT_EQ(h, h0);
  }
  const Rect child = ChildArea();
  EXPECT_LE(child.right(), mw);
  EXPECT_LE(child.bottom(), mh);

  int pw = 0, ph = 0;
  PanelSize(pPopUp, &pw, &ph);
  EXPECT_LE(pw, 1280);
  EXPECT_LE(ph, 800);
}

TEST_F(PanelFile, MainPanelKeepsHeaderAndChildAreaFree) {
  const Rect header = Bounds(pHandle, MAIN_DECOHeader);
  int mw = 0, mh = 0;
  PanelSize(pHandle, &mw, &mh);
  EXPECT_EQ(header.left, 0);
  EXPECT_EQ(header.top, 0);
  EXPECT_EQ(header.width, mw);
  // The child panels start at top 98, just below the band.
  EXPECT_LE(header.bottom(), 98);

  // The logo sits where the program puts it and leaves the title line (top 32) free.
  const Rect logo = Bounds(pHandle, MAIN_PICTLogo);
  EXPECT_LE(logo.bottom(), 32);
  EXPECT_LE(logo.right(), header.right());

  const Rect child = ChildArea();
  for (const Ctrl& c : kControls) {
    if (c.resource != MAIN || c.id == MAIN_DECOHeader || c.id == MAIN_PICTLogo) continue;
    SCOPED_TRACE(c.name);
    const Rect r = Bounds(pHandle, c.id);
    EXPECT_GE(r.top, header.bottom()) << Describe(r);
    EXPECT_FALSE(r.Overlaps(child)) << Describe(r) << " lies under the parameter panels";
  }
}

TEST_F(PanelFile, StartVisibilityAndDimming) {
  const Ctrl hidden[] = {
      {MAIN, MAIN_TEXTHelp, "TEXTHelp"},
      {MAIN, MAIN_TEXTHelp2, "TEXTHelp2"},
      {MAIN, MAIN_GRAPHDataMaster, "GRAPHDataMaster"},
      {MAIN, MAIN_GRAPHDataSlave, "GRAPHDataSlave"},
      {CALIB, CALIB_BTNWriteXFMA, "BTNWriteXFMA"},
      {CALIB, CALIB_BTNWriteXFSL, "BTNWriteXFSL"},
  };
  for (const Ctrl& c : kControls) {
    SCOPED_TRACE(c.name);
    bool expectHidden = false;
    for (const Ctrl& h : hidden) expectHidden |= (h.resource == c.resource && h.id == c.id);
    EXPECT_EQ(Visible(Handle(c.resource), c.id), !expectHidden);
    int dimmed = -1;
    EXPECT_EQ(GetCtrlAttribute(Handle(c.resource), c.id, ATTR_DIMMED, &dimmed), 0);
    EXPECT_EQ(dimmed, 0);
  }
}

TEST_F(PanelFile, ParameterControlsStartWithTheRecordStartValues) {
  SetParameterStartValues();
  const Parameter start = parameter;
  // Spoil the record, then let the panels fill it as start-up does.
  std::memset(&parameter, 0xA5, sizeof parameter);
  GetPanelValues();

  for (int k = 0; k <= 7; ++k) EXPECT_EQ(parameter.set0[k], start.set0[k]) << "set0[" << k << "]";
  EXPECT_EQ(parameter.set0Long, start.set0Long);
  for (int k = 0; k <= 6; ++k) {
    EXPECT_EQ(parameter.set1[k], start.set1[k]) << "set1[" << k << "]";
    EXPECT_EQ(parameter.set2[k], start.set2[k]) << "set2[" << k << "]";
  }
  EXPECT_EQ(parameter.set1Long[0], start.set1Long[0]);
  EXPECT_EQ(parameter.set2Long[0], start.set2Long[0]);
}

TEST_F(PanelFile, SelectionsAndRecorderStartStates) {
  int v = -1;
  const struct {
    int panel, control, value;
    const char* name;
  } expected[] = {
      {pHandle, MAIN_RBTRam, 1, "RBTRam"},
      {pHandle, MAIN_RBTEeprom, 0, "RBTEeprom"},
      {pHandle, MAIN_RBTFile, 0, "RBTFile"},
      {pHandle, MAIN_TOGGBTN_Para0, 1, "TOGGBTN_Para0"},  // set 0 panel is shown at start
      {pHandle, MAIN_TOGGBTN_Para1, 0, "TOGGBTN_Para1"},
      {pHandle, MAIN_TOGGBTN_Para2, 0, "TOGGBTN_Para2"},
      {pHandle, MAIN_TOGGBTN_Calib, 0, "TOGGBTN_Calib"},
      {pHandle, MAIN_TOGGBTN_Recorder, 0, "TOGGBTN_Recorder"},
      {pHandle, MAIN_TOGBTN_Zoom, 0, "TOGBTN_Zoom"},
      {pPopUp, POPUP_NEDITRecTime, 1, "NEDITRecTime"},
      {pPopUp, POPUP_NEDITRecSamples, 100, "NEDITRecSamples"},
  };
  for (const auto& e : expected) {
    v = -1;
    EXPECT_EQ(GetCtrlVal(e.panel, e.control, &v), 0) << e.name;
    EXPECT_EQ(v, e.value) << e.name;
  }
  char text[80] = {};
  ASSERT_EQ(GetCtrlVal(pPopUp, POPUP_TEXTRecStatus, text, sizeof text), 0);
  EXPECT_STREQ(text, "DATA-RECORDER");

  // The sensor description is replaced line by line (lines 0 to 3).
  for (int line = 0; line < 4; ++line)
    EXPECT_EQ(ReplaceTextBoxLine(pCalib, CALIB_TEXTSensorInfo, line, "resolution    = +/-1"), 0)
        << "line " << line;
  EXPECT_EQ(ReplaceTextBoxLine(pPopUp, POPUP_TEXTRecFile, 0, "/tmp/TARVORecord.dat"), 0);
}

TEST_F(PanelFile, NumericEditsHoldWholeWordsAndTheServiceCode) {
  for (const Ctrl& c : kWordEdits) {
    SCOPED_TRACE(c.name);
    for (unsigned int value : {0u, 4096u, 65535u}) {
      ASSERT_EQ(SetCtrlVal(Handle(c.resource), c.id, value), 0);
      unsigned short got = 1;
      ASSERT_EQ(GetCtrlVal(Handle(c.resource), c.id, &got), 0);
      EXPECT_EQ(got, value);
    }
  }
  unsigned short code = 0;
  ASSERT_EQ(SetCtrlVal(pPopUp, POPUP_NEDITRecTime, 6173), 0);
  ASSERT_EQ(GetCtrlVal(pPopUp, POPUP_NEDITRecTime, &code), 0);
  EXPECT_EQ(code, 6173);

  // The rings offer modes 0 to 4, the sliders 0 to 255 percent.
  for (int ring : {PARA0_DropEvalMode, PARA0_DROPAnaMode, PARA0_DROPHardwareMode}) {
    int mode = -1;
    ASSERT_EQ(SetCtrlVal(pPara0, ring, 4), 0);
    ASSERT_EQ(GetCtrlVal(pPara0, ring, &mode), 0);
    EXPECT_EQ(mode, 4) << "ring " << ring;
  }
  for (int panel : {pPara1, pPara2}) {
    const int slider = panel == pPara1 ? PARA1_SLIDEVideoTHD_A : PARA2_SLIDEVideoTHD_B;
    unsigned short p = 0;
    ASSERT_EQ(SetCtrlVal(panel, slider, 255), 0);
    ASSERT_EQ(GetCtrlVal(panel, slider, &p), 0);
    EXPECT_EQ(p, 255);
  }
}

// The 32-bit words shown on the calibration panel come back unchanged, so a
// GET followed by a SEND never alters the sensor's calibration.
TEST_F(PanelFile, CalibrationWordsSurviveThePanels) {
  SetParameterStartValues();
  const uint32_t scales[] = {1, 1023, 1024, 7987, 8191, 1024u * 1000u + 511u, (1u << 24) - 1};
  for (uint32_t k : scales) {
    SCOPED_TRACE(k);
    parameter.set1Long[0] = k;
    parameter.set2Long[0] = k + 1;
    parameter.set0Long = 4294967295u - k;
    SetPanelValues();
    parameter.set1Long[0] = parameter.set2Long[0] = parameter.set0Long = 0;
    GetPanelValues();
    EXPECT_EQ(parameter.set1Long[0], k);
    EXPECT_EQ(parameter.set2Long[0], k + 1);
    EXPECT_EQ(parameter.set0Long, 4294967295u - k);
  }
}

TEST_F(PanelFile, HelpBoxesLandOnTheMainPanel) {
  const struct {
    int control, box;
  } table[] = {{MAIN_BTNRun, MAIN_TEXTHelp},           {MAIN_BTNVideo, MAIN_TEXTHelp},
               {MAIN_BTNStop, MAIN_TEXTHelp},          {MAIN_ButtonTeach, MAIN_TEXTHelp},
               {MAIN_ButtonReset, MAIN_TEXTHelp},      {MAIN_DropDCom, MAIN_TEXTHelp2},
               {MAIN_BTNSend, MAIN_TEXTHelp},          {MAIN_BTNGet, MAIN_TEXTHelp},
               {MAIN_TOGGBTN_Recorder, MAIN_TEXTHelp}, {MAIN_GRAPHDataSlave, MAIN_TEXTHelp2},
               {MAIN_GRAPHDataMaster, MAIN_TEXTHelp2}};
  int mw = 0, mh = 0;
  PanelSize(pHandle, &mw, &mh);
  const Rect child = ChildArea();
  for (const auto& t : table) {
    SCOPED_TRACE(t.control);
    ASSERT_FALSE(Visible(pHandle, t.box));
    // The right click, as the control's callback receives it.
    ASSERT_EQ(FireCtrlEvent(pHandle, t.control, EVENT_RIGHT_CLICK), 0);
    ASSERT_TRUE(Visible(pHandle, t.box)) << "help box not shown";
    const Rect r = Bounds(pHandle, t.box);
    EXPECT_GE(r.left, 0) << Describe(r);
    EXPECT_GE(r.top, 0) << Describe(r);
    EXPECT_LE(r.right(), mw) << Describe(r);
    EXPECT_LE(r.bottom(), mh) << Describe(r);
    EXPECT_FALSE(r.Overlaps(child)) << Describe(r) << " would lie under the parameter panels";
    char text[400] = {};
    ASSERT_EQ(GetCtrlVal(pHandle, t.box, text, sizeof text), 0);
    EXPECT_NE(std::strchr(text, ':'), nullptr) << "no help text in the box";
    // A second right click hides it again.
    ASSERT_EQ(FireCtrlEvent(pHandle, t.control, EVENT_RIGHT_CLICK), 0);
    EXPECT_FALSE(Visible(pHandle, t.box));
  }
}

}  // namespace
