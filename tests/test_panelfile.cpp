// The panel file against the program, as the start-up loads it: every numbered
// control is where the program looks for it, starts in the state the program
// expects, holds the values the program writes into it, and the layout keeps
// every control and every help box readable.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <utility>

#include "app/panels.h"
#include "link/payload.h"
#include "params/panels.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "tests/support/harness.h"

namespace {

struct Rect {
  int top = 0, left = 0, height = 0, width = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
  bool Inside(int w, int h) const { return left >= 0 && top >= 0 && right() <= w && bottom() <= h; }
  bool Overlaps(const Rect& o) const {
    return left < o.right() && o.left < right() && top < o.bottom() && o.top < bottom();
  }
};
std::ostream& operator<<(std::ostream& os, const Rect& r) {
  return os << "left " << r.left << " top " << r.top << " width " << r.width << " height "
            << r.height;
}

Rect Bounds(int panel, int control) {
  Rect r;
  EXPECT_EQ(GetCtrlBoundingRect(panel, control, &r.top, &r.left, &r.height, &r.width), 0)
      << "control " << control;
  return r;
}
int PanelAttr(int panel, int attribute) {
  int v = -1;
  GetPanelAttribute(panel, attribute, &v);
  return v;
}
// A panel's own rectangle, where its parent places it.
Rect PanelRect(int panel) {
  return {PanelAttr(panel, ATTR_TOP), PanelAttr(panel, ATTR_LEFT), PanelAttr(panel, ATTR_HEIGHT),
          PanelAttr(panel, ATTR_WIDTH)};
}
int Attr(int panel, int control, int attribute) {
  int v = -1;
  EXPECT_EQ(GetCtrlAttribute(panel, control, attribute, &v), 0) << control;
  return v;
}

// Every control number the program uses, as runs of numbers per panel.
struct Run {
  int resource, first, last;
};
const Run kNumbered[] = {{MAIN, MAIN_DECOHeader, MAIN_NUMAnaMax},
                         {CALIB, CALIB_CTRLCalibSet0, CALIB_CTRLScaleB},
                         {CALIB, CALIB_TEXTSensorInfo, CALIB_BTNWriteXFSL},
                         {PARA0, PARA0_DropEvalMode, PARA0_CTRLTolUp},
                         {PARA1, PARA1_CTRLPara1W0, PARA1_NUMVideoTHD_A},
                         {PARA2, PARA2_CTRLPara2W0, PARA2_NUMVideoTHD_B},
                         {POPUP, POPUP_NEDITRecTime, POPUP_BTNStopRecord}};

int Handle(int resource) {
  const int handles[] = {0, pCalib, pHandle, pPara0, pPara1, pPara2, pPopUp};
  return handles[resource];
}

template <class F>
void ForEachControl(F f) {
  for (const Run& r : kNumbered)
    for (int id = r.first; id <= r.last; ++id) {
      SCOPED_TRACE("panel " + std::to_string(r.resource) + " control " + std::to_string(id));
      f(Handle(r.resource), id);
    }
}

// The program started with nothing answering on its port: the panels as the
// panel file and the start-up leave them.
class PanelFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(StartApp(nullptr), 0); }
  void TearDown() override { StopApp(); }
};

TEST_F(PanelFile, ControlsLieInsideTheirPanelsBelowTheHeaderAndBesideTheChildArea) {
  const Rect main = PanelRect(pHandle), child = PanelRect(pPara0);
  EXPECT_LE(main.width, 1280);
  EXPECT_LE(main.height, 800);
  EXPECT_TRUE(PanelRect(pPopUp).width <= 1280 && PanelRect(pPopUp).height <= 800);
  // The four child panels take turns in one rectangle inside the main panel.
  EXPECT_TRUE(child.Inside(main.width, main.height)) << child;
  for (int p : {pPara1, pPara2, pCalib}) {
    EXPECT_EQ(PanelRect(p).width, child.width);
    EXPECT_EQ(PanelRect(p).height, child.height);
  }
  // The header band spans the top; the logo leaves the title line (top 32) free.
  const Rect header = Bounds(pHandle, MAIN_DECOHeader), logo = Bounds(pHandle, MAIN_PICTLogo);
  EXPECT_EQ(header.left + header.top, 0);
  EXPECT_EQ(header.width, main.width);
  EXPECT_LE(header.bottom(), child.top);
  EXPECT_LE(logo.bottom(), 32);
  EXPECT_LE(logo.right(), header.right());

  ForEachControl([&](int panel, int id) {
    const Rect r = Bounds(panel, id);
    EXPECT_GT(r.width, 0);
    EXPECT_GT(r.height, 0);
    EXPECT_TRUE(r.Inside(PanelAttr(panel, ATTR_WIDTH), PanelAttr(panel, ATTR_HEIGHT))) << r;
    if (panel != pHandle || id <= MAIN_PICTLogo) return;
    EXPECT_GE(r.top, header.bottom()) << r;
    EXPECT_FALSE(r.Overlaps(child)) << r << " lies under the parameter panels";
  });
}

TEST_F(PanelFile, HelpBoxesLandOnTheMainPanelBesideTheChildArea) {
  const Rect main = PanelRect(pHandle), child = PanelRect(pPara0);
  for (int control : {MAIN_BTNRun, MAIN_BTNVideo, MAIN_BTNStop, MAIN_ButtonTeach, MAIN_ButtonReset,
                      MAIN_DropDCom, MAIN_BTNSend, MAIN_BTNGet, MAIN_TOGGBTN_Recorder,
                      MAIN_GRAPHDataSlave, MAIN_GRAPHDataMaster}) {
    SCOPED_TRACE(control);
    const int box = control == MAIN_DropDCom || control == MAIN_GRAPHDataSlave ||
                            control == MAIN_GRAPHDataMaster
                        ? MAIN_TEXTHelp2
                        : MAIN_TEXTHelp;
    ASSERT_EQ(FireCtrlEvent(pHandle, control, EVENT_RIGHT_CLICK), 0);
    ASSERT_EQ(Attr(pHandle, box, ATTR_VISIBLE), 1);
    const Rect r = Bounds(pHandle, box);
    EXPECT_TRUE(r.Inside(main.width, main.height)) << r;
    EXPECT_FALSE(r.Overlaps(child)) << r << " would lie under the parameter panels";
    FireCtrlEvent(pHandle, control, EVENT_RIGHT_CLICK);
  }
}

TEST_F(PanelFile, StartStatesAndValues) {
  // Hidden: the help boxes, the video graphs, the upload buttons, and (analog
  // output off) RESET with the analog displays. Dimmed: the tolerance words
  // (hardware mode 1).
  const std::set<std::pair<int, int>> hidden = {
      {pHandle, MAIN_TEXTHelp},       {pHandle, MAIN_TEXTHelp2},    {pHandle, MAIN_GRAPHDataMaster},
      {pHandle, MAIN_GRAPHDataSlave}, {pCalib, CALIB_BTNWriteXFMA}, {pCalib, CALIB_BTNWriteXFSL},
      {pHandle, MAIN_ButtonReset},    {pHandle, MAIN_NUMAnaMax},    {pHandle, MAIN_NUMAnaMin}};
  const std::set<std::pair<int, int>> dimmed = {{pPara0, PARA0_CTRLTolLo},
                                                {pPara0, PARA0_CTRLTolUp}};
  ForEachControl([&](int panel, int id) {
    EXPECT_EQ(Attr(panel, id, ATTR_VISIBLE), hidden.count({panel, id}) ? 0 : 1);
    EXPECT_EQ(Attr(panel, id, ATTR_DIMMED), static_cast<int>(dimmed.count({panel, id})));
  });

  const struct {
    int panel, control, value;
  } values[] = {{pHandle, MAIN_RBTRam, 1},        {pHandle, MAIN_RBTEeprom, 0},
                {pHandle, MAIN_RBTFile, 0},       {pHandle, MAIN_TOGGBTN_Para0, 1},
                {pHandle, MAIN_TOGGBTN_Para1, 0}, {pHandle, MAIN_TOGGBTN_Para2, 0},
                {pHandle, MAIN_TOGGBTN_Calib, 0}, {pHandle, MAIN_TOGBTN_Zoom, 0},
                {pPopUp, POPUP_NEDITRecTime, 1},  {pPopUp, POPUP_NEDITRecSamples, 100}};
  for (const auto& v : values) {
    int got = -1;
    EXPECT_EQ(GetCtrlVal(v.panel, v.control, &got), 0) << v.control;
    EXPECT_EQ(got, v.value) << v.control;
  }
  EXPECT_EQ(CtrlText(pPopUp, POPUP_TEXTRecStatus), "DATA-RECORDER");
  // The sensor description is replaced line by line (lines 0 to 3).
  for (int line = 0; line < 4; ++line)
    EXPECT_EQ(ReplaceTextBoxLine(pCalib, CALIB_TEXTSensorInfo, line, "x"), 0) << line;

  // The sets the start-up read from the panels are the record's start values.
  const Parameter read = parameter;
  SetParameterStartValues();
  EXPECT_EQ(std::memcmp(read.set0, parameter.set0, sizeof read.set0), 0);
  EXPECT_EQ(std::memcmp(read.set1, parameter.set1, sizeof read.set1), 0);
  EXPECT_EQ(std::memcmp(read.set2, parameter.set2, sizeof read.set2), 0);
  EXPECT_EQ(read.set0Long, parameter.set0Long);
  EXPECT_EQ(read.set1Long[0], parameter.set1Long[0]);
  EXPECT_EQ(read.set2Long[0], parameter.set2Long[0]);
}

TEST_F(PanelFile, EditsHoldWholeWordsRingsEveryModeAndSlidersEveryPercent) {
  const std::pair<int, int> words[] = {
      {pPara0, PARA0_CTRLPara0W1},    {pPara0, PARA0_CTRLPara0W4}, {pPara0, PARA0_CTRLPara0W5},
      {pPara0, PARA0_CTRLTolLo},      {pPara0, PARA0_CTRLTolUp},   {pPara1, PARA1_CTRLPara1W0},
      {pPara1, PARA1_CTRLPara1W1},    {pPara1, PARA1_NEDITeachA},  {pPara1, PARA1_CTRLPara1W4},
      {pPara1, PARA1_CTRLPara1W5},    {pPara1, PARA1_CTRLPara1W6}, {pPara2, PARA2_CTRLPara2W0},
      {pPara2, PARA2_CTRLPara2W1},    {pPara2, PARA2_NEDITeachB},  {pPara2, PARA2_CTRLPara2W4},
      {pPara2, PARA2_CTRLPara2W5},    {pPara2, PARA2_CTRLPara2W6}, {pPopUp, POPUP_NEDITRecTime},
      {pPopUp, POPUP_NEDITRecSamples}};
  const struct {
    int panel, control, top;
  } rings[] = {{pPara0, PARA0_DropEvalMode, 4},
               {pPara0, PARA0_DROPAnaMode, 4},
               {pPara0, PARA0_DROPHardwareMode, 4},
               {pPara1, PARA1_SLIDEVideoTHD_A, 255},
               {pPara2, PARA2_SLIDEVideoTHD_B, 255}};
  for (const auto& w : words)
    for (unsigned int value : {0u, 6173u, 65535u}) {  // 6173: the service code
      ASSERT_EQ(SetCtrlVal(w.first, w.second, value), 0) << w.second;
      unsigned short got = 1;
      ASSERT_EQ(GetCtrlVal(w.first, w.second, &got), 0);
      EXPECT_EQ(got, value) << w.second;
    }
  for (const auto& r : rings) {
    int got = -1;
    ASSERT_EQ(SetCtrlVal(r.panel, r.control, r.top), 0) << r.control;
    ASSERT_EQ(GetCtrlVal(r.panel, r.control, &got), 0);
    EXPECT_EQ(got, r.top) << r.control;
  }
  // The 32-bit words of the calibration panel come back unchanged, so a GET
  // followed by a SEND never alters the sensor's calibration.
  for (uint32_t k : {1u, 1023u, 7987u, 1024u * 1000u + 511u, (1u << 24) - 1}) {
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

}  // namespace
