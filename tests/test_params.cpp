// Parameter panels and parameter file: range rules, scale factors, the mode
// rules, the panel refresh and read-back, the panel selection, and the file
// written and read through SEND and GET.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/panels.h"
#include "display/bargraph.h"
#include "display/video.h"
#include "link/identify.h"
#include "link/link.h"
#include "link/payload.h"
#include "link/transfer.h"
#include "params/panels.h"
#include "params/parafile.h"
#include "params/parafile_format.h"
#include "params/rules.h"
#include "platform/graph_probe.h"
#include "platform/popup.h"
#include "platform/popup_script.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "tests/support/frames.h"
#include "tests/support/harness.h"

namespace {

Parameter StartValues() {
  Parameter p{};
  const uint16_t s0[13] = {1, 0, 0, 1, 1, 1, 100, 100, 0, 0, 0, 0, 0};
  const uint16_t s1[11] = {500, 1, 50, 512, 1, 4096, 0, 0, 0, 0, 0};
  std::memcpy(p.set0, s0, sizeof s0);
  std::memcpy(p.set1, s1, sizeof s1);
  std::memcpy(p.set2, s1, sizeof s1);
  p.set0Long = 37000;
  p.set1Long[0] = p.set2Long[0] = 1024;
  p.set1Long[1] = p.set2Long[1] = 37000;
  return p;
}

bool SameSets(const Parameter& a, const Parameter& b) {
  return std::memcmp(a.set0, b.set0, sizeof a.set0) == 0 && a.set0Long == b.set0Long &&
         std::memcmp(a.set1, b.set1, sizeof a.set1) == 0 &&
         std::memcmp(a.set1Long, b.set1Long, sizeof a.set1Long) == 0 &&
         std::memcmp(a.set2, b.set2, sizeof a.set2) == 0 &&
         std::memcmp(a.set2Long, b.set2Long, sizeof a.set2Long) == 0;
}

// ---- range rules -------------------------------------------------------------

TEST(RangeRules, ValuesAboveTheirLimitTakeTheReplacement) {
  Parameter p = StartValues();
  p.set0[0] = 7;      // -> 1
  p.set0[1] = 2;      // -> 1
  p.set0[2] = 9;      // -> 0
  p.set0[3] = 5;      // -> 1
  p.set0[4] = 2049;   // -> 1
  p.set0[5] = 3;      // -> 1
  p.set0[6] = 4097;   // -> 4096
  p.set0[7] = 60000;  // -> 4096
  p.set1[0] = 1001;   // -> 500
  p.set1[1] = 2;      // -> 0
  p.set1[2] = 256;    // -> 128
  p.set1[3] = 5000;   // -> 2048
  p.set1[4] = 4097;   // -> 1
  p.set1[5] = 5000;   // -> 4096
  p.set1[6] = 7;      // -> 0
  std::memcpy(p.set2, p.set1, sizeof p.set1);
  ApplyRangeRules(p, 4096);
  const uint16_t want0[8] = {1, 1, 0, 1, 1, 1, 4096, 4096};
  const uint16_t wantS[7] = {500, 0, 128, 2048, 1, 4096, 0};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(p.set0[i], want0[i]) << "set0[" << i << "]";
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(p.set1[i], wantS[i]) << "set1[" << i << "]";
    EXPECT_EQ(p.set2[i], wantS[i]) << "set2[" << i << "]";
  }
}

TEST(RangeRules, LimitsThemselvesAndWordsWithoutControlStay) {
  Parameter p = StartValues();
  p.set0[0] = 4;
  p.set0[2] = 4;
  p.set0[4] = 2048;
  p.set0[6] = p.set0[7] = 1024;
  p.set1[0] = 1000;
  p.set1[2] = 255;
  p.set1[3] = p.set1[4] = p.set1[5] = 1024;
  std::memcpy(p.set2, p.set1, 7 * sizeof(uint16_t));
  for (int i = 8; i < 13; ++i) p.set0[i] = 60000;
  for (int i = 7; i < 11; ++i) p.set1[i] = p.set2[i] = 65535;
  p.set1Long[1] = 0xFFFFFFFFu;
  const Parameter before = p;
  ApplyRangeRules(p, 1024);
  EXPECT_TRUE(SameSets(p, before));
  // The pixel rules follow the current pixel count.
  ApplyRangeRules(p, 1000);
  EXPECT_EQ(p.set0[6], 1000);
  EXPECT_EQ(p.set1[3], 500);
  EXPECT_EQ(p.set1[4], 1);
  EXPECT_EQ(p.set1[5], 1000);
}

// ---- scale factors, modes, threshold lines -----------------------------------

TEST(ScaleFactor, PanelValueTimes1024TruncatedModulo2To32) {
  EXPECT_EQ(ScaleToField(8.0), 8192u);
  EXPECT_EQ(ScaleToField(static_cast<double>(7.8f)), 7987u);  // 7987.2
  EXPECT_EQ(ScaleToField(7.8), 7987u);
  EXPECT_EQ(ScaleToField(0.0009), 0u);
  EXPECT_EQ(ScaleToField(-1.0), 4294966272u);      // -1024 modulo 2^32
  EXPECT_EQ(ScaleToField(-0.5005), 4294966784u);   // -512.512 truncated toward zero
  EXPECT_EQ(ScaleToField(5000000.0), 825032704u);  // 5.12e9 modulo 2^32
  EXPECT_EQ(ScaleToField(std::nan("")), 0u);
  EXPECT_EQ(ScaleToField(INFINITY), 0u);
  EXPECT_FLOAT_EQ(FieldToScale(8192), 8.0f);
  EXPECT_FLOAT_EQ(FieldToScale(7987), 7.7998046875f);
  EXPECT_FLOAT_EQ(FieldToScale(0xFFFFFFFFu), 4194304.0f);  // rounded to single precision
  EXPECT_DOUBLE_EQ(PixelsToMM(8.0f, 100), 0.8);
}

TEST(EvalMode, TableOfTargetDimmingAndAxis) {
  const uint16_t V = 4096, A = 1000, B = 1500;
  struct Row { uint16_t mode, tVal; bool dimA, dimB; uint16_t axis; bool noMarker; } rows[] = {
      {0, B, true, false, V, true},        {1, A, false, true, V, true},
      {2, 5692, false, false, 8192, true}, {3, V, true, true, 8192, false},
      {4, V, false, false, 8192, false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.mode);
    const EvalModeEffect e = EvalModeRule(r.mode, A, B, V);
    EXPECT_TRUE(e.valid);
    EXPECT_EQ(e.tVal, r.tVal);
    EXPECT_EQ(e.teachADimmed, r.dimA);
    EXPECT_EQ(e.teachBDimmed, r.dimB);
    EXPECT_EQ(e.yaxisMAX, r.axis);
    EXPECT_EQ(e.cursorNoMarker, r.noMarker);
  }
  EXPECT_FALSE(EvalModeRule(5, A, B, V).valid);
  // Mode 2 wraps modulo 65536.
  EXPECT_EQ(EvalModeRule(2, 0, 0, 40000).tVal, 14464);
  EXPECT_EQ(EvalModeRule(2, 5000, 5000, 4096).tVal, static_cast<uint16_t>(8192 - 10000));
}

TEST(ThresholdLine, PercentOfFullScaleIn32Bits) {
  EXPECT_EQ(ThresholdLineValue(50, 256), 128);
  EXPECT_EQ(ThresholdLineValue(255, 256), 652);
  EXPECT_EQ(ThresholdLineValue(33, 256), 84);
  EXPECT_EQ(ThresholdLineValue(100, 1024), 1024);
  EXPECT_EQ(ThresholdLineValue(1000, 65535), static_cast<uint16_t>(655350));
}

// ---- file format ---------------------------------------------------------------

// A file as written, by hand: set 0, set 1, set 2, 15 words each.
// clang-format off
const char kExpectedFile[] =  // set 0, set 1, set 2: three rows each
    "         1\r\n" "         0\r\n" "         0\r\n" "         1\r\n" "         1\r\n"
    "         1\r\n" "       100\r\n" "       100\r\n" "         8\r\n" "         9\r\n"
    "        10\r\n" "        11\r\n" "        12\r\n" "     37000\r\n" "         0\r\n"
    "       500\r\n" "         1\r\n" "        50\r\n" "       512\r\n" "         1\r\n"
    "      4096\r\n" "         0\r\n" "         7\r\n" "     65535\r\n" "         9\r\n"
    "        10\r\n" "      8192\r\n" "         0\r\n" "      4464\r\n" "         1\r\n"
    "       400\r\n" "         0\r\n" "        60\r\n" "       700\r\n" "         2\r\n"
    "      4000\r\n" "         1\r\n" "         0\r\n" "         0\r\n" "         0\r\n"
    "       123\r\n" "      7987\r\n" "         0\r\n" "     65535\r\n" "     65535\r\n";
// clang-format on

// clang-format off
const uint32_t kFileWords[45] = {
    1,   0, 0,  1,   1, 1,    100, 100, 8,  9,  10, 11,   12, 37000, 0,       // set 0
    500, 1, 50, 512, 1, 4096, 0,   7,   65535, 9, 10, 8192, 0, 4464,  1,     // set 1
    400, 0, 60, 700, 2, 4000, 1,   0,   0,  0,  123, 7987, 0, 65535, 65535};  // set 2
// clang-format on

// The sets that kFileWords hold.
Parameter FileSets() {
  Parameter p = StartValues();
  for (int i = 8; i < 13; ++i) p.set0[i] = static_cast<uint16_t>(i);
  p.set1[7] = 7;
  p.set1[8] = 65535;
  p.set1[9] = 9;
  p.set1[10] = 10;
  p.set1Long[0] = 8192;
  p.set1Long[1] = 70000;
  const uint16_t s2[11] = {400, 0, 60, 700, 2, 4000, 1, 0, 0, 0, 123};
  std::memcpy(p.set2, s2, sizeof s2);
  p.set2Long[0] = 7987;
  p.set2Long[1] = 0xFFFFFFFFu;
  return p;
}

TEST(ParaFileFormat, WritesTenWideRightAlignedLines) {
  char out[kParaFileBytes];
  const size_t n = FormatParaFile(kFileWords, out, sizeof out);
  ASSERT_EQ(n, sizeof kExpectedFile - 1);
  EXPECT_EQ(std::string(out, n), std::string(kExpectedFile));
  const uint32_t big[45] = {4294967295u};
  ASSERT_EQ(FormatParaFile(big, out, sizeof out), kParaFileBytes);
  EXPECT_EQ(std::string(out, 12), "4294967295\r\n");
  char small[100];
  EXPECT_EQ(FormatParaFile(big, small, sizeof small), 0u);
}

TEST(ParaFileFormat, ReadsCrLfAndLfAlike) {
  uint32_t v[45] = {};
  ASSERT_EQ(ParseParaFile(kExpectedFile, sizeof kExpectedFile - 1, v), kParaOk);
  EXPECT_EQ(0, std::memcmp(v, kFileWords, sizeof v));

  std::string lf;
  for (const char* c = kExpectedFile; *c; ++c)
    if (*c != '\r') lf += *c;
  uint32_t w[45] = {};
  ASSERT_EQ(ParseParaFile(lf.data(), lf.size(), w), kParaOk);
  EXPECT_EQ(0, std::memcmp(w, kFileWords, sizeof w));

  // No line end after the last value, and trailing blank lines.
  std::string tail = lf.substr(0, lf.size() - 1) + "";
  ASSERT_EQ(ParseParaFile(tail.data(), tail.size(), w), kParaOk);
  tail = lf + "\r\n\n";
  ASSERT_EQ(ParseParaFile(tail.data(), tail.size(), w), kParaOk);
  EXPECT_EQ(w[44], 65535u);
}

TEST(ParaFileFormat, RejectsWhatIsNotFortyFiveNumbersAndKeepsTheOutput) {
  uint32_t v[45];
  for (auto& x : v) x = 77;
  std::string s(kExpectedFile);
  const std::string truncated = s.substr(0, 12 * 30);
  EXPECT_EQ(ParseParaFile(truncated.data(), truncated.size(), v), kParaTooFew);
  EXPECT_EQ(ParseParaFile("", 0, v), kParaTooFew);
  const std::string extra = s + "         5\r\n";
  EXPECT_EQ(ParseParaFile(extra.data(), extra.size(), v), kParaTooMany);
  std::string bad = s;
  bad[9] = 'x';
  EXPECT_EQ(ParseParaFile(bad.data(), bad.size(), v), kParaBadNumber);
  std::string neg = s;
  neg[8] = '-';
  EXPECT_EQ(ParseParaFile(neg.data(), neg.size(), v), kParaBadNumber);
  std::string huge = "4294967296\n" + s.substr(12);
  EXPECT_EQ(ParseParaFile(huge.data(), huge.size(), v), kParaOutOfRange);
  std::string nul = s;
  nul[3] = '\0';
  EXPECT_EQ(ParseParaFile(nul.data(), nul.size(), v), kParaBadNumber);
  for (auto x : v) EXPECT_EQ(x, 77u);
  // The largest 32-bit value is still a number.
  std::string max = "4294967295\n" + s.substr(12);
  EXPECT_EQ(ParseParaFile(max.data(), max.size(), v), kParaOk);
  EXPECT_EQ(v[0], 4294967295u);
}

// ---- panels in the running program ---------------------------------------------

class ParamPanels : public AppTest {
 protected:
  void Refresh(const Parameter& p) {
    parameter = p;
    SetPanelValues();
  }
  unsigned short Val16(int panel, int control) {
    unsigned short v = 0;
    GetCtrlVal(panel, control, &v);
    return v;
  }
  int Ring(int control) {
    int v = -1;
    GetCtrlVal(pPara0, control, &v);
    return v;
  }
};

TEST_F(ParamPanels, RefreshCorrectsOutOfRangeValuesAndShowsThem) {
  ASSERT_EQ(ccdvirtpixel, 4096);
  Parameter p = StartValues();
  p.set1[3] = 5000;
  p.set0[0] = 7;
  p.set2[4] = 4097;
  p.set2[5] = 4097;
  Refresh(p);
  EXPECT_EQ(parameter.set1[3], 2048);
  EXPECT_EQ(Val16(pPara1, PARA1_NEDITeachA), 2048);
  EXPECT_EQ(parameter.set0[0], 1);
  EXPECT_EQ(Ring(PARA0_DropEvalMode), 1);
  EXPECT_EQ(parameter.set2[4], 1);
  EXPECT_EQ(Val16(pPara2, PARA2_CTRLPara2W4), 1);
  EXPECT_EQ(parameter.set2[5], 4096);
  EXPECT_EQ(Val16(pPara2, PARA2_CTRLPara2W5), 4096);
  // Evaluation mode 1: B's setpoint dimmed, target = setpoint A, axis = N.
  EXPECT_TRUE(CtrlDimmed(pPara2, PARA2_NEDITeachB));
  EXPECT_FALSE(CtrlDimmed(pPara1, PARA1_NEDITeachA));
  EXPECT_EQ(tVal, 2048);
  EXPECT_EQ(yaxisMAX, 4096);
  double lo = -1, hi = -1;
  GetAxisRange(pHandle, MAIN_STRIPHistory, VAL_LEFT_YAXIS, &lo, &hi);
  EXPECT_EQ(hi - lo, 4096.0);

  // Mode 2: target A + B, both setpoints editable, axis 2N.
  p.set0[0] = 2;
  p.set1[3] = 1000;
  p.set2[3] = 1500;
  Refresh(p);
  EXPECT_EQ(tVal, 5692);
  EXPECT_EQ(yaxisMAX, 8192);
  EXPECT_FALSE(CtrlDimmed(pPara1, PARA1_NEDITeachA));
  EXPECT_FALSE(CtrlDimmed(pPara2, PARA2_NEDITeachB));
  GetAxisRange(pHandle, MAIN_STRIPHistory, VAL_LEFT_YAXIS, &lo, &hi);
  EXPECT_EQ(hi, 8192.0);
  p.set0[0] = 3;
  Refresh(p);
  EXPECT_EQ(tVal, 4096);
  EXPECT_TRUE(CtrlDimmed(pPara1, PARA1_NEDITeachA));
  EXPECT_TRUE(CtrlDimmed(pPara2, PARA2_NEDITeachB));
}

TEST_F(ParamPanels, ScaleFactorsShowDividedAndReadBackTruncated) {
  Parameter p = StartValues();
  p.set1Long[0] = 8192;
  p.set0[7] = 100;
  p.set0[6] = 50;
  Refresh(p);
  float shown = 0;
  GetCtrlVal(pCalib, CALIB_CTRLScaleA, &shown);
  EXPECT_FLOAT_EQ(shown, 8.0f);
  double up = 0, lo = 0;
  GetCtrlVal(pHandle, MAIN_NUMTolUpMM, &up);
  GetCtrlVal(pHandle, MAIN_NUMTolLoMM, &lo);
  EXPECT_NEAR(up, 0.8, 1e-9);
  EXPECT_NEAR(lo, 0.4, 1e-9);

  SetCtrlVal(pCalib, CALIB_CTRLScaleA, 7.8);
  GetPanelValues();
  EXPECT_EQ(parameter.set1Long[0], 7987u);
}

TEST_F(ParamPanels, ThresholdLinesAndGreyBands) {
  YMAXADC = 256;
  Parameter p = StartValues();
  p.set1[2] = 255;
  p.set2[2] = 50;
  p.set0[3] = 3;
  Refresh(p);
  for (int i = 0; i < 128; ++i) {
    ASSERT_EQ(thdArrayA[i], 652);
    ASSERT_EQ(thdArrayB[i], 128);
  }
  // The video graphs were redrawn with the new threshold lines.
  bool sawLine = false;
  for (const PlotInfo& pl : GetGraphPlots(pHandle, MAIN_GRAPHDataMaster))
    if (pl.kind == PlotInfo::kXY && pl.color == 0x008000) {
      sawLine = true;
      ASSERT_EQ(pl.ys.size(), 128u);
      EXPECT_EQ(pl.ys[0], 652.0);
      EXPECT_EQ(pl.ys[127], 652.0);
    }
  EXPECT_TRUE(sawLine);
  for (int graph : {MAIN_GRAPHBarMaster, MAIN_GRAPHBarSlave}) {
    bool grey = false;
    for (const PlotInfo& pl : GetGraphPlots(pHandle, graph))
      if (pl.kind == PlotInfo::kRectangle && pl.fillColor == 0xA0A0A0 &&
          pl.frameColor == 0xA0A0A0 && pl.x1 == 0 && pl.y1 == 0 && pl.x2 == 4095 && pl.y2 == 1)
        grey = true;
    EXPECT_TRUE(grey) << "graph " << graph;
  }
}

// Refresh and ring follow one rule, and neither leaves the other's dimming behind.
TEST_F(ParamPanels, HardwareModeDimsTheToleranceFieldsOnRefreshAndRingAlike) {
  const auto expectDimming = [](uint16_t mode, const char* by) {
    const bool dim = mode == 1 || mode == 3;
    EXPECT_EQ(CtrlDimmed(pPara0, PARA0_CTRLTolLo), dim) << by << " mode " << mode;
    EXPECT_EQ(CtrlDimmed(pPara0, PARA0_CTRLTolUp), dim) << by << " mode " << mode;
    EXPECT_FALSE(CtrlDimmed(pPara1, PARA1_SLIDEVideoTHD_A));
    EXPECT_FALSE(CtrlDimmed(pPara2, PARA2_SLIDEVideoTHD_B));
  };
  for (uint16_t mode = 0; mode <= 4; ++mode) {
    Parameter p = StartValues();
    p.set0[3] = mode;
    Refresh(p);
    expectDimming(mode, "refresh");
    const uint16_t other = (mode == 1 || mode == 3) ? 2 : 3;
    SetCtrlVal(pPara0, PARA0_DROPHardwareMode, other);
    FireCtrlEvent(pPara0, PARA0_DROPHardwareMode, EVENT_COMMIT);
    expectDimming(other, "ring");
  }
}

TEST_F(ParamPanels, EveryControlReadsBackWhatTheRefreshWrote) {
  const Parameter want = FileSets();
  Refresh(want);
  // Scramble every field that has a control; the panels must bring them back.
  Parameter scrambled = want;
  for (int i = 0; i < 8; ++i) scrambled.set0[i] = 3;
  for (int i = 0; i < 7; ++i) scrambled.set1[i] = scrambled.set2[i] = 3;
  scrambled.set0Long = 3;
  scrambled.set1Long[0] = scrambled.set2Long[0] = 3;
  parameter = scrambled;
  GetPanelValues();
  EXPECT_TRUE(SameSets(parameter, want));
}

TEST_F(ParamPanels, AnalogModeRingHidesAndShowsAtOnce) {
  Parameter p = StartValues();
  p.set0[2] = 0;
  Refresh(p);
  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_ButtonReset));
  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_NUMAnaMax));
  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_NUMAnaMin));
  SetCtrlVal(pPara0, PARA0_DROPAnaMode, 2);
  FireCtrlEvent(pPara0, PARA0_DROPAnaMode, EVENT_COMMIT);
  EXPECT_TRUE(CtrlVisible(pHandle, MAIN_ButtonReset));
  EXPECT_TRUE(CtrlVisible(pHandle, MAIN_NUMAnaMax));
  EXPECT_TRUE(CtrlVisible(pHandle, MAIN_NUMAnaMin));
  EXPECT_EQ(parameter.set0[2], 0);  // the ring changes no variable
  SetCtrlVal(pPara0, PARA0_DROPAnaMode, 0);
  FireCtrlEvent(pPara0, PARA0_DROPAnaMode, EVENT_VAL_CHANGED);  // only commit acts
  EXPECT_TRUE(CtrlVisible(pHandle, MAIN_ButtonReset));
  FireCtrlEvent(pPara0, PARA0_DROPAnaMode, EVENT_COMMIT);
  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_ButtonReset));
}

TEST_F(ParamPanels, EvalRingAppliesItsRule) {
  Parameter p = StartValues();
  Refresh(p);  // mode 1
  const uint16_t tBefore = tVal;
  SetCursorAttribute(pHandle, MAIN_GRAPHBarMaster, 2, ATTR_CURSOR_POINT_STYLE, VAL_SOLID_SQUARE);
  SetCursorAttribute(pHandle, MAIN_GRAPHBarSlave, 2, ATTR_CURSOR_POINT_STYLE, VAL_SOLID_SQUARE);
  SetCtrlVal(pPara0, PARA0_DropEvalMode, 4);
  FireCtrlEvent(pPara0, PARA0_DropEvalMode, EVENT_COMMIT);
  int style = 0;
  GetCursorAttribute(pHandle, MAIN_GRAPHBarMaster, 2, ATTR_CURSOR_POINT_STYLE, &style);
  EXPECT_EQ(style, VAL_SOLID_SQUARE);  // modes 3 and 4 leave the cursor alone
  EXPECT_EQ(yaxisMAX, 8192);
  SetCtrlVal(pPara0, PARA0_DropEvalMode, 0);
  FireCtrlEvent(pPara0, PARA0_DropEvalMode, EVENT_COMMIT);
  EXPECT_TRUE(CtrlDimmed(pPara1, PARA1_NEDITeachA));
  EXPECT_FALSE(CtrlDimmed(pPara2, PARA2_NEDITeachB));
  EXPECT_EQ(yaxisMAX, 4096);
  GetCursorAttribute(pHandle, MAIN_GRAPHBarMaster, 2, ATTR_CURSOR_POINT_STYLE, &style);
  EXPECT_EQ(style, VAL_NO_POINT);
  GetCursorAttribute(pHandle, MAIN_GRAPHBarSlave, 2, ATTR_CURSOR_POINT_STYLE, &style);
  EXPECT_EQ(style, VAL_NO_POINT);
  EXPECT_EQ(tVal, tBefore);         // the target follows at the next refresh
  EXPECT_EQ(parameter.set0[0], 1);  // the variable at the next read of the panels
}

TEST_F(ParamPanels, ToggleButtonsShowOnePanelAtATime) {
  const int buttons[4] = {MAIN_TOGGBTN_Para0, MAIN_TOGGBTN_Para1, MAIN_TOGGBTN_Para2,
                          MAIN_TOGGBTN_Calib};
  const int panels[4] = {pPara0, pPara1, pPara2, pCalib};
  EXPECT_TRUE(PanelVisible(pPara0));
  for (int b = 3; b >= 0; --b) {
    for (int i = 0; i < 4; ++i) SetCtrlVal(pHandle, buttons[i], 1);
    ClickCtrl(pHandle, buttons[b]);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(PanelVisible(panels[i]), i == b) << "button " << b << " panel " << i;
      int on = -1;
      GetCtrlVal(pHandle, buttons[i], &on);
      if (i != b) EXPECT_EQ(on, 0) << "button " << b << " toggle " << i;
    }
  }
  // A commit alone shows the button's panel whatever its state.
  SetCtrlVal(pHandle, MAIN_TOGGBTN_Calib, 0);
  FireCtrlEvent(pHandle, MAIN_TOGGBTN_Calib, EVENT_COMMIT);
  EXPECT_TRUE(PanelVisible(pCalib));
  EXPECT_FALSE(PanelVisible(pPara0));
}

// ---- the parameter file through SEND and GET -------------------------------------

class ParamFile : public ParamPanels {
 protected:
  void SetUp() override {
    ParamPanels::SetUp();
    dir_ = tframes::MakeTempDir();
    target = 3;
    ClearPopupCalls();
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    ParamPanels::TearDown();
  }
  std::string Path(const char* name) { return dir_ + "/" + name; }
  void Save(int answer, const std::string& path) {
    QueueFileAnswer(answer, path);
    FireCtrlEvent(pHandle, MAIN_BTNSend, EVENT_COMMIT);
  }
  void Load(const std::string& path) {
    QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, path);
    FireCtrlEvent(pHandle, MAIN_BTNGet, EVENT_COMMIT);
  }
  std::string dir_;
};

TEST_F(ParamFile, SaveWritesTheExpectedBytesAndLoadRestoresEveryWord) {
  Refresh(FileSets());
  const std::string path = Path("TARVOpara.cfg");
  Save(VAL_NEW_FILE_SELECTED, path);
  EXPECT_EQ(tframes::ReadAll(path), std::string(kExpectedFile));
  EXPECT_EQ(std::string(file_name), path);
  ASSERT_EQ(PopupCalls().size(), 1u);
  EXPECT_EQ(PopupCalls()[0].kind, "file");
  EXPECT_EQ(PopupCalls()[0].title, "TARVO-MS-Series Parameter File");
  EXPECT_EQ(PopupCalls()[0].text, "TARVOpara.cfg");
  EXPECT_EQ(PopupCalls()[0].pattern, "*.cfg");
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Transmit...");
  EXPECT_EQ(pp[0], 400);  // pp is left holding set 2
  EXPECT_EQ(pp[14], 65535);

  parameter = StartValues();
  SetPanelValues();
  Load(path);
  EXPECT_TRUE(SameSets(parameter, FileSets()));
  EXPECT_EQ(PopupCalls().back().title, "TARVO-MS-Series-Parameter-File");
  unsigned short teachB = 0;
  GetCtrlVal(pPara2, PARA2_NEDITeachB, &teachB);
  EXPECT_EQ(teachB, 700);
}

TEST_F(ParamFile, ALoadedOutOfRangeWordIsCorrectedAndSavedCorrected) {
  std::string text(kExpectedFile);
  text.replace(0, 10, "         9");
  // A value above 16 bits loads as its low half.
  text.replace(12 * 8, 10, "     65544");
  const std::string path = Path("nine.cfg");
  tframes::WriteFile(path, text);
  Load(path);
  EXPECT_EQ(parameter.set0[0], 1);
  EXPECT_EQ(parameter.set0[8], 8);
  int ring = -1;
  GetCtrlVal(pPara0, PARA0_DropEvalMode, &ring);
  EXPECT_EQ(ring, 1);
  const std::string out = Path("out.cfg");
  Save(VAL_NEW_FILE_SELECTED, out);
  EXPECT_EQ(tframes::ReadAll(out).substr(0, 12), "         1\r\n");
  EXPECT_EQ(tframes::ReadAll(out).substr(12 * 8, 12), "         8\r\n");
}

TEST_F(ParamFile, AnUnreadableFileChangesNoSetAndSaysSo) {
  Refresh(FileSets());
  const Parameter before = parameter;
  const std::string truncated = Path("short.cfg");
  tframes::WriteFile(truncated, std::string(kExpectedFile).substr(0, 12 * 44 + 5));
  Load(truncated);
  EXPECT_TRUE(SameSets(parameter, before));
  std::string status = CtrlText(pHandle, MAIN_TEXTStatus);
  EXPECT_EQ(status.rfind("Parameter file unreadable - sets unchanged!", 0), 0u) << status;

  Load(Path("missing.cfg"));
  EXPECT_TRUE(SameSets(parameter, before));
  status = CtrlText(pHandle, MAIN_TEXTStatus);
  EXPECT_EQ(status.rfind("Parameter file unreadable - sets unchanged!", 0), 0u) << status;

  // A good file afterwards clears the message.
  const std::string good = Path("good.cfg");
  tframes::WriteFile(good, kExpectedFile);
  Load(good);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Parameter file loaded!");
}

TEST_F(ParamFile, CancelledDialoguesStaySilentAndChangeNothing) {
  Refresh(FileSets());
  const Parameter before = parameter;
  ShowStatusText("previous");
  QueueFileAnswer(VAL_NO_FILE_SELECTED, "");
  FireCtrlEvent(pHandle, MAIN_BTNGet, EVENT_COMMIT);
  EXPECT_TRUE(SameSets(parameter, before));
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "previous");

  QueueFileAnswer(VAL_NO_FILE_SELECTED, "");
  FireCtrlEvent(pHandle, MAIN_BTNSend, EVENT_COMMIT);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Transmit...");
}

TEST_F(ParamFile, AnUnwritablePathIsReported) {
  Refresh(FileSets());
  Save(VAL_NEW_FILE_SELECTED, Path("no-such-dir/x.cfg"));
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus),
            "Parameter file not written: No such file or directory");
}

TEST_F(ParamFile, OverwriteWhereNoNewFileCanBeMadeWritesInPlace) {
  Refresh(FileSets());
  const std::string path = Path("old.cfg");
  tframes::WriteFile(path, "old contents\n");
  // Nothing new can be created beside the file (the name of the temporary
  // file is taken), but the file itself can be written.
  std::filesystem::create_directory(path + ".tmp~");
  QueueConfirmAnswer(1);
  Save(VAL_EXISTING_FILE_SELECTED, path);
  EXPECT_EQ(tframes::ReadAll(path), std::string(kExpectedFile));
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Transmit...");
}

TEST_F(ParamFile, OverwriteOnlyAfterYes) {
  Refresh(FileSets());
  const std::string path = Path("old.cfg");
  tframes::WriteFile(path, "old contents\n");
  QueueConfirmAnswer(0);
  Save(VAL_EXISTING_FILE_SELECTED, path);
  EXPECT_EQ(tframes::ReadAll(path), "old contents\n");
  ASSERT_EQ(PopupCalls().size(), 2u);
  EXPECT_EQ(PopupCalls()[1].kind, "confirm");
  EXPECT_EQ(PopupCalls()[1].title, "ATTENTION!");
  EXPECT_EQ(PopupCalls()[1].text, "Output-File already exist! - Overwrite ?");
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Transmit...");

  QueueConfirmAnswer(1);
  Save(VAL_EXISTING_FILE_SELECTED, path);
  EXPECT_EQ(tframes::ReadAll(path), std::string(kExpectedFile));
}

}  // namespace
