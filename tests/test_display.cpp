// Bar graphs, tolerance window and value history: the arithmetic on its own,
// then what the graphs and displays show after a drawing call.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/panels.h"
#include "display/bargraph.h"
#include "display/history.h"
#include "display/tolerance.h"
#include "link/identify.h"
#include "link/payload.h"
#include "params/panels.h"
#include "platform/graph_probe.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "support/harness.h"

// ---------------------------------------------------------------------------
// Pure arithmetic

TEST(Target, FollowsTheEvaluationMode) {
  uint16_t t = 77;
  EXPECT_TRUE(TargetForMode(0, 1000, 1200, 4096, &t));
  EXPECT_EQ(t, 1200);
  EXPECT_TRUE(TargetForMode(1, 1000, 1200, 4096, &t));
  EXPECT_EQ(t, 1000);
  EXPECT_TRUE(TargetForMode(2, 1000, 1200, 4096, &t));
  EXPECT_EQ(t, 5992);
  EXPECT_TRUE(TargetForMode(3, 1000, 1200, 2048, &t));
  EXPECT_EQ(t, 2048);
  EXPECT_TRUE(TargetForMode(4, 1000, 1200, 4096, &t));
  EXPECT_EQ(t, 4096);
  // A mode no drop-down offers keeps the previous target.
  EXPECT_FALSE(TargetForMode(7, 1000, 1200, 4096, &t));
  EXPECT_EQ(t, 4096);
}

TEST(Target, ZeroToleranceWordsAreRaisedToOne) {
  uint16_t lo = 0, up = 0;
  RaiseZeroTolerances(&lo, &up);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(up, 1);
  lo = 5;
  up = 0;
  RaiseZeroTolerances(&lo, &up);
  EXPECT_EQ(lo, 5);
  EXPECT_EQ(up, 1);
}

TEST(Tolerance, HardwareModeChoosesWordsOrPoti) {
  uint16_t up = 0, lo = 0;
  for (uint16_t hw : {0, 2}) {
    TolerancesForHardwareMode(hw, 11, 22, 30, &up, &lo);
    EXPECT_EQ(lo, 11) << hw;
    EXPECT_EQ(up, 22) << hw;
  }
  for (uint16_t hw : {1, 3, 4}) {
    TolerancesForHardwareMode(hw, 11, 22, 30, &up, &lo);
    EXPECT_EQ(lo, 30) << hw;
    EXPECT_EQ(up, 30) << hw;
  }
}

TEST(Tolerance, BoundsAreInsideAndSigned) {
  EXPECT_TRUE(InsideTolerance(500, 10, 20, 520));
  EXPECT_FALSE(InsideTolerance(500, 10, 20, 521));
  EXPECT_TRUE(InsideTolerance(500, 10, 20, 490));
  EXPECT_FALSE(InsideTolerance(500, 10, 20, 489));
  // A lower bound below 0 means no lower limit (no unsigned wrap-around).
  EXPECT_TRUE(InsideTolerance(10, 100, 20, 0));
  EXPECT_TRUE(InsideTolerance(10, 100, 20, 30));
  EXPECT_FALSE(InsideTolerance(10, 100, 20, 31));
  // An upper bound above 65535 still counts.
  EXPECT_TRUE(InsideTolerance(65000, 0, 1000, 65535));
}

TEST(Tolerance, MillimetresUseTheUnsignedScaleFactor) {
  EXPECT_DOUBLE_EQ(ToleranceMM(1024, 1000), 1.0);
  EXPECT_DOUBLE_EQ(ToleranceMM(37000, 20), 37000.0 * 20 / 1024000.0);
  EXPECT_GT(ToleranceMM(0x80000000u, 1), 0.0);
}

TEST(Cursor, ClampedToOneAndN) {
  EXPECT_EQ(ClampCursor(0, 4096), 1);
  EXPECT_EQ(ClampCursor(1, 4096), 1);
  EXPECT_EQ(ClampCursor(4196, 4096), 4096);
  EXPECT_EQ(ClampCursor(4096, 4096), 4096);
  EXPECT_EQ(ClampCursor(1234, 4096), 1234);
}

namespace {
TolWindowInput Input(uint16_t mode, uint16_t posA, uint16_t posB, uint16_t lo, uint16_t up,
                     uint16_t setA, uint16_t setB, uint16_t edA, uint16_t edB, uint16_t n = 4096) {
  return TolWindowInput{mode, posA, posB, lo, up, setA, setB, edA, edB, n};
}
}  // namespace

TEST(TolWindow, SingleWindowModesAndTheirClamps) {
  TolWindow w[2];
  // Mode 1: the lower edge below 0 becomes 1.
  ASSERT_EQ(TolWindows(Input(1, 0, 0, 100, 20, 10, 0, 0, 0), w), 1);
  EXPECT_EQ(w[0].graph, kBarMaster);
  EXPECT_EQ(w[0].lo, 1);
  EXPECT_EQ(w[0].hi, 30);
  // A lower edge of exactly 0 stays.
  ASSERT_EQ(TolWindows(Input(1, 0, 0, 10, 20, 10, 0, 0, 0), w), 1);
  EXPECT_EQ(w[0].lo, 0);
  // Mode 0: the upper edge at N or beyond ends exactly at N; N - 1 stays.
  ASSERT_EQ(TolWindows(Input(0, 0, 0, 10, 20, 0, 4090, 0, 0), w), 1);
  EXPECT_EQ(w[0].graph, kBarSlave);
  EXPECT_EQ(w[0].lo, 4080);
  EXPECT_EQ(w[0].hi, 4096);
  ASSERT_EQ(TolWindows(Input(0, 0, 0, 10, 5, 0, 4090, 0, 0), w), 1);
  EXPECT_EQ(w[0].hi, 4095);
  ASSERT_EQ(TolWindows(Input(0, 0, 0, 10, 6, 0, 4090, 0, 0), w), 1);
  EXPECT_EQ(w[0].hi, 4096);
}

TEST(TolWindow, SumModeFollowsTheEdgesOnlyWhenBothAreSeen) {
  TolWindow w[2];
  ASSERT_EQ(TolWindows(Input(2, 990, 1180, 20, 20, 1000, 1200, 1, 1), w), 2);
  EXPECT_EQ(w[0].graph, kBarMaster);
  EXPECT_EQ(w[0].lo, 995);
  EXPECT_EQ(w[0].hi, 1015);
  EXPECT_EQ(w[1].graph, kBarSlave);
  EXPECT_EQ(w[1].lo, 1185);
  EXPECT_EQ(w[1].hi, 1205);
  for (auto counts : {std::pair<int, int>{1, 0}, {0, 1}, {0, 0}}) {
    ASSERT_EQ(TolWindows(Input(2, 990, 1180, 20, 20, 1000, 1200, counts.first, counts.second), w),
              2);
    EXPECT_EQ(w[0].lo, 990);
    EXPECT_EQ(w[0].hi, 1010);
    EXPECT_EQ(w[1].lo, 1190);
    EXPECT_EQ(w[1].hi, 1210);
  }
}

TEST(TolWindow, SumModeHalvesRoundTowardZero) {
  TolWindow w[2];
  // d = 2200 - 2231 = -31, d/2 = -15 (not -16); tollo 21 / 2 = 10, tolup 21 / 2 = 10.
  ASSERT_EQ(TolWindows(Input(2, 1015, 1216, 21, 21, 1000, 1200, 3, 2), w), 2);
  EXPECT_EQ(w[0].lo, -15 + 1015 - 10);
  EXPECT_EQ(w[0].hi, -15 + 1015 + 10);
  EXPECT_EQ(w[1].lo, -15 + 1216 - 10);
  EXPECT_EQ(w[1].hi, -15 + 1216 + 10);
  // Clamped at both ends.
  ASSERT_EQ(TolWindows(Input(2, 5, 4090, 40, 40, 0, 4096, 0, 0), w), 2);
  EXPECT_EQ(w[0].lo, 1);
  EXPECT_EQ(w[1].hi, 4096);
}

TEST(TolWindow, DeviationModesAreNotClampedAndOtherModesDrawNothing) {
  TolWindow w[2];
  for (uint16_t mode : {3, 4}) {
    ASSERT_EQ(TolWindows(Input(mode, 0, 0, 30, 5000, 0, 0, 0, 0, 2048), w), 2);
    EXPECT_EQ(w[0].graph, kBarMaster);
    EXPECT_EQ(w[0].lo, 1);
    EXPECT_EQ(w[0].hi, 5000);
    EXPECT_EQ(w[1].graph, kBarSlave);
    EXPECT_EQ(w[1].lo, 1);
    EXPECT_EQ(w[1].hi, 30);
  }
  EXPECT_EQ(TolWindows(Input(7, 0, 0, 30, 50, 100, 100, 1, 1), w), 0);
}

TEST(Deviation, CursorsAndCapInModesThreeAndFour) {
  DeviationCursors d = DeviationFor(3, 2100, 2048);
  EXPECT_EQ(d.show, DeviationCursors::kMaster);
  EXPECT_DOUBLE_EQ(d.x, 52);
  EXPECT_EQ(d.mvalue, 2100);

  d = DeviationFor(3, 5000, 2048);
  EXPECT_EQ(d.show, DeviationCursors::kMaster);
  EXPECT_EQ(d.mvalue, 4096);
  EXPECT_DOUBLE_EQ(d.x, 2048);

  d = DeviationFor(4, 4095, 2048);  // 2N - 1 is not capped
  EXPECT_EQ(d.mvalue, 4095);
  EXPECT_DOUBLE_EQ(d.x, 2047);

  d = DeviationFor(4, 2000, 2048);
  EXPECT_EQ(d.show, DeviationCursors::kSlave);
  EXPECT_DOUBLE_EQ(d.x, 48);

  d = DeviationFor(3, 2048, 2048);
  EXPECT_EQ(d.show, DeviationCursors::kBothHidden);

  for (uint16_t mode : {0, 1, 2, 7}) {
    d = DeviationFor(mode, 5000, 2048);
    EXPECT_EQ(d.show, DeviationCursors::kUntouched);
    EXPECT_EQ(d.mvalue, 5000);
  }
}

TEST(History, LimitsAreClampedToTheValueRange) {
  HistoryLimits l = LimitsFor(30, 50, 10, 4096);
  EXPECT_EQ(l.lower, 1);
  EXPECT_EQ(l.upper, 40);
  l = LimitsFor(4090, 10, 20, 4096);
  EXPECT_EQ(l.upper, 4095);
  EXPECT_EQ(l.lower, 4080);
}

TEST(History, ZoomRangeNarrowAndWideTolerances) {
  auto z = ZoomRangeFor(500, 10, 10, 505, 4096);
  EXPECT_EQ(z.lo, 480);
  EXPECT_EQ(z.hi, 520);
  z = ZoomRangeFor(500, 10, 10, 530, 4096);
  EXPECT_EQ(z.lo, 480);
  EXPECT_EQ(z.hi, 570);
  z = ZoomRangeFor(500, 10, 10, 470, 4096);
  EXPECT_EQ(z.lo, 430);
  EXPECT_EQ(z.hi, 520);
  // Only one tolerance below 20 is enough for the narrow band.
  z = ZoomRangeFor(500, 50, 19, 505, 4096);
  EXPECT_EQ(z.lo, 480);
  EXPECT_EQ(z.hi, 520);

  z = ZoomRangeFor(500, 50, 50, 505, 4096);
  EXPECT_EQ(z.lo, 400);
  EXPECT_EQ(z.hi, 600);
  z = ZoomRangeFor(500, 50, 50, 700, 4096);
  EXPECT_EQ(z.lo, 400);
  EXPECT_EQ(z.hi, 800);
  z = ZoomRangeFor(500, 50, 50, 300, 4096);
  EXPECT_EQ(z.lo, 200);
  EXPECT_EQ(z.hi, 600);
}

TEST(History, ZoomRangeClamps) {
  auto z = ZoomRangeFor(30, 50, 50, 5, 4096);
  EXPECT_EQ(z.lo, 1);
  EXPECT_EQ(z.hi, 130);
  z = ZoomRangeFor(4000, 50, 100, 4050, 4096);
  EXPECT_EQ(z.hi, 4095);
  EXPECT_EQ(z.lo, 3900);
}

TEST(History, AuxiliaryValueByAnalogMode) {
  EXPECT_EQ(AuxValueFor(0, 700, 900, 100, 4096), 700);
  EXPECT_EQ(AuxValueFor(1, 700, 900, 100, 4096), 900);
  EXPECT_EQ(AuxValueFor(3, 700, 900, 100, 4096), 900);
  EXPECT_EQ(AuxValueFor(2, 700, 900, 100, 4096), 100);
  EXPECT_EQ(AuxValueFor(4, 700, 900, 100, 4096), 100);
  EXPECT_EQ(AuxValueFor(2, 700, 900, 4095, 4096), 1);
  EXPECT_EQ(AuxValueFor(4, 700, 900, 4095, 4096), 1);
  EXPECT_EQ(AuxValueFor(4, 700, 900, 4094, 4096), 4094);
}

TEST(ArrayOps, ShiftBothWaysInPlaceAndErrors) {
  const double src[5] = {1, 2, 3, 4, 5};
  double out[5];
  ASSERT_EQ(Shift(src, 5, -2, out), 0);
  EXPECT_EQ(std::vector<double>(out, out + 5), (std::vector<double>{3, 4, 5, 0, 0}));
  ASSERT_EQ(Shift(src, 5, 2, out), 0);
  EXPECT_EQ(std::vector<double>(out, out + 5), (std::vector<double>{0, 0, 1, 2, 3}));
  ASSERT_EQ(Shift(src, 5, 0, out), 0);
  EXPECT_EQ(std::vector<double>(out, out + 5), (std::vector<double>{1, 2, 3, 4, 5}));

  double same[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(Shift(same, 5, 2, same), 0);
  EXPECT_EQ(std::vector<double>(same, same + 5), (std::vector<double>{0, 0, 1, 2, 3}));
  double same2[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(Shift(same2, 5, -1, same2), 0);
  EXPECT_EQ(std::vector<double>(same2, same2 + 5), (std::vector<double>{2, 3, 4, 5, 0}));

  double untouched[5] = {9, 9, 9, 9, 9};
  EXPECT_EQ(Shift(src, 5, 5, untouched), -20102);
  EXPECT_EQ(Shift(src, 5, -5, untouched), -20102);
  EXPECT_EQ(Shift(src, 0, 1, untouched), -20003);
  EXPECT_EQ(std::vector<double>(untouched, untouched + 5), std::vector<double>(5, 9.0));

  EXPECT_EQ(Copy1D(src, 5, untouched), 0);
  EXPECT_EQ(std::vector<double>(untouched, untouched + 5), (std::vector<double>{1, 2, 3, 4, 5}));
  double keep[2] = {7, 7};
  EXPECT_EQ(Copy1D(src, 0, keep), -20003);
  EXPECT_EQ(keep[0], 7);
}

// ---------------------------------------------------------------------------
// Drawing, against the real panels

namespace {

std::vector<PlotInfo> Rects(int control, int colour) {
  std::vector<PlotInfo> out;
  for (const auto& p : GetGraphPlots(pHandle, control))
    if (p.kind == PlotInfo::kRectangle && p.fillColor == colour) out.push_back(p);
  return out;
}

double CursorX(int control, int cursor) {
  double x = -1, y = -1;
  GetGraphCursor(pHandle, control, cursor, &x, &y);
  return x;
}
double CursorY(int control, int cursor) {
  double x = -1, y = -1;
  GetGraphCursor(pHandle, control, cursor, &x, &y);
  return y;
}
int PointStyle(int control) {
  int style = -1;
  GetCursorAttribute(pHandle, control, 2, ATTR_CURSOR_POINT_STYLE, &style);
  return style;
}
int BgColour(int control) {
  int c = -1;
  GetCtrlAttribute(pHandle, control, ATTR_TEXT_BGCOLOR, &c);
  return c;
}
double Value(int panel, int control) {
  double v = -1;
  GetCtrlVal(panel, control, &v);
  return v;
}

// A measurement as a reply would leave it, in a known parameter state.
class DrawTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ccdvirtpixel = 4096;
    yaxisMAX = 4096;
    parameter.set0[0] = 1;  // evaluation mode
    parameter.set0[2] = 0;  // analog mode
    parameter.set0[3] = 0;  // hardware mode
    parameter.set0[6] = 20;
    parameter.set0[7] = 30;
    parameter.set1[3] = 1000;
    parameter.set2[3] = 1200;
    parameter.set1Long[0] = 1024;
    Aval = 1000;
    Bval = 1200;
    Mvalue = 1000;
    umValue = 12345;
    poti = 0;
    edcntA = edcntB = 1;
    peakwA = peakwB = 4;
    anaMax = 0;
    anaMin = 0;
    SetCtrlVal(pHandle, MAIN_TOGBTN_Zoom, 0);
  }
};

}  // namespace

TEST_F(DrawTest, NumericDisplaysAndMillimetres) {
  Aval = 1001;
  Bval = 1202;
  Mvalue = 1003;
  umValue = -1234;
  anaMax = 77;
  anaMin = 66;
  parameter.set1Long[0] = 2048;  // 2 um per pixel
  PlotVIDEOBarGraph();
  EXPECT_EQ(Value(pHandle, MAIN_NUMAval), 1001);
  EXPECT_EQ(Value(pHandle, MAIN_NUMBval), 1202);
  EXPECT_EQ(Value(pHandle, MAIN_NUMMvalue), 1003);
  EXPECT_NEAR(Value(pHandle, MAIN_NUMValueMM), -1.234, 1e-9);
  EXPECT_NEAR(Value(pHandle, MAIN_NUMTolUpMM), 0.060, 1e-9);
  EXPECT_NEAR(Value(pHandle, MAIN_NUMTolLoMM), 0.040, 1e-9);
  EXPECT_EQ(Value(pHandle, MAIN_NUMAnaMax), 77);
  EXPECT_EQ(Value(pHandle, MAIN_NUMAnaMin), 66);
  EXPECT_EQ(Value(pPara1, PARA1_NEDITeachA), 1000);
  EXPECT_EQ(Value(pPara2, PARA2_NEDITeachB), 1200);
  for (int g : {MAIN_GRAPHBarMaster, MAIN_GRAPHBarSlave}) {
    double lo = -1, hi = -1;
    GetAxisRange(pHandle, g, VAL_XAXIS, &lo, &hi);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 4096.0);
  }
}

TEST_F(DrawTest, EdgeBarsAndCursorsWithClamps) {
  Aval = 0;
  Bval = 4196;
  peakwA = 5;
  peakwB = 6;
  PlotVIDEOBarGraph();
  EXPECT_EQ(curposA, 1);
  EXPECT_EQ(curposB, 4096);
  for (int c : {1, 2}) {
    EXPECT_EQ(CursorX(MAIN_GRAPHBarMaster, c), 1.0);
    EXPECT_EQ(CursorY(MAIN_GRAPHBarMaster, c), 0.75);
    EXPECT_EQ(CursorX(MAIN_GRAPHBarSlave, c), 4096.0);
  }
  auto a = Rects(MAIN_GRAPHBarMaster, 0xFF0000);
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].x1, -2.0);  // centred on the raw edge, not on the cursor
  EXPECT_EQ(a[0].x2, 2.0);
  EXPECT_EQ(a[0].y1, 0.25);
  EXPECT_EQ(a[0].y2, 1.0);
  EXPECT_EQ(a[0].frameColor, 0xFF0000);
  auto b = Rects(MAIN_GRAPHBarSlave, 0xFF0000);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0].x1, 4193.0);
  EXPECT_EQ(b[0].x2, 4199.0);

  Aval = 1000;
  peakwA = 5;
  PlotVIDEOBarGraph();
  a = Rects(MAIN_GRAPHBarMaster, 0xFF0000);
  ASSERT_EQ(a.size(), 1u);  // the previous drawing is gone
  EXPECT_EQ(a[0].x1, 998.0);
  EXPECT_EQ(a[0].x2, 1002.0);
}

TEST_F(DrawTest, ToleranceColourAtTheBoundsAndWindow) {
  parameter.set0[0] = 1;
  parameter.set1[3] = 10;
  parameter.set0[6] = 100;
  parameter.set0[7] = 20;
  Mvalue = 0;
  PlotVIDEOBarGraph();
  EXPECT_EQ(BgColour(MAIN_NUMMvalue), 0x008000);
  EXPECT_EQ(BgColour(MAIN_NUMValueMM), 0x008000);
  auto w = Rects(MAIN_GRAPHBarMaster, 0x00FF00);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].x1, 1.0);
  EXPECT_EQ(w[0].x2, 30.0);
  EXPECT_EQ(w[0].y1, 0.0);
  EXPECT_EQ(w[0].y2, 0.35);
  EXPECT_TRUE(Rects(MAIN_GRAPHBarSlave, 0x00FF00).empty());

  Mvalue = 30;
  PlotVIDEOBarGraph();
  EXPECT_EQ(BgColour(MAIN_NUMMvalue), 0x008000);
  Mvalue = 31;
  PlotVIDEOBarGraph();
  EXPECT_EQ(BgColour(MAIN_NUMMvalue), 0xFF0000);
  EXPECT_EQ(BgColour(MAIN_NUMValueMM), 0xFF0000);
}

TEST_F(DrawTest, SlaveWindowEndsAtN) {
  parameter.set0[0] = 0;
  parameter.set2[3] = 4080;
  parameter.set0[7] = 30;
  Bval = 4080;
  PlotVIDEOBarGraph();
  auto w = Rects(MAIN_GRAPHBarSlave, 0x00FF00);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].x1, 4060.0);
  EXPECT_EQ(w[0].x2, 4096.0);
  EXPECT_EQ(tVal, 4080);
}

TEST_F(DrawTest, SumModeWindowsAndRaisedToleranceWord) {
  parameter.set0[0] = 2;
  parameter.set0[6] = parameter.set0[7] = 20;
  Aval = 990;
  Bval = 1180;
  edcntA = edcntB = 1;
  Mvalue = 5992;
  PlotVIDEOBarGraph();
  EXPECT_EQ(tVal, 5992);
  EXPECT_EQ(BgColour(MAIN_NUMMvalue), 0x008000);
  auto a = Rects(MAIN_GRAPHBarMaster, 0x00FF00);
  auto b = Rects(MAIN_GRAPHBarSlave, 0x00FF00);
  ASSERT_EQ(a.size(), 1u);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(a[0].x1, 995.0);
  EXPECT_EQ(a[0].x2, 1015.0);
  EXPECT_EQ(b[0].x1, 1185.0);
  EXPECT_EQ(b[0].x2, 1205.0);

  edcntB = 0;
  PlotVIDEOBarGraph();
  a = Rects(MAIN_GRAPHBarMaster, 0x00FF00);
  b = Rects(MAIN_GRAPHBarSlave, 0x00FF00);
  ASSERT_EQ(a.size(), 1u);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(a[0].x1, 990.0);
  EXPECT_EQ(a[0].x2, 1010.0);
  EXPECT_EQ(b[0].x1, 1190.0);
  EXPECT_EQ(b[0].x2, 1210.0);

  parameter.set0[6] = 0;
  PlotVIDEOBarGraph();
  EXPECT_EQ(parameter.set0[6], 1);
  EXPECT_EQ(tollo, 1);
}

TEST_F(DrawTest, DeviationCursorsAndCap) {
  ccdvirtpixel = 2048;
  parameter.set0[0] = 3;
  Mvalue = 2100;
  PlotVIDEOBarGraph();
  EXPECT_EQ(CursorX(MAIN_GRAPHBarMaster, 2), 52.0);
  EXPECT_EQ(CursorY(MAIN_GRAPHBarMaster, 2), 0.75);
  EXPECT_EQ(PointStyle(MAIN_GRAPHBarMaster), VAL_SOLID_SQUARE);
  EXPECT_EQ(PointStyle(MAIN_GRAPHBarSlave), VAL_NO_POINT);
  // Windows: the allowed deviations, unclamped.
  auto a = Rects(MAIN_GRAPHBarMaster, 0x00FF00);
  auto b = Rects(MAIN_GRAPHBarSlave, 0x00FF00);
  ASSERT_EQ(a.size(), 1u);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(a[0].x1, 1.0);
  EXPECT_EQ(a[0].x2, 30.0);
  EXPECT_EQ(b[0].x2, 20.0);

  Mvalue = 5000;
  PlotVIDEOBarGraph();
  EXPECT_EQ(Mvalue, 4096);
  EXPECT_EQ(CursorX(MAIN_GRAPHBarMaster, 2), 2048.0);

  parameter.set0[0] = 4;
  Mvalue = 2000;
  Bval = 1500;
  PlotVIDEOBarGraph();
  EXPECT_EQ(CursorX(MAIN_GRAPHBarSlave, 2), 48.0);
  EXPECT_EQ(CursorX(MAIN_GRAPHBarSlave, 1), 1500.0);
  EXPECT_EQ(PointStyle(MAIN_GRAPHBarMaster), VAL_NO_POINT);
  EXPECT_EQ(PointStyle(MAIN_GRAPHBarSlave), VAL_SOLID_SQUARE);

  Mvalue = 2048;
  PlotVIDEOBarGraph();
  EXPECT_EQ(PointStyle(MAIN_GRAPHBarMaster), VAL_NO_POINT);
  EXPECT_EQ(PointStyle(MAIN_GRAPHBarSlave), VAL_NO_POINT);
}

TEST_F(DrawTest, HardwareModePotiReplacesToleranceWords) {
  parameter.set0[3] = 1;
  poti = 30;
  PlotVIDEOBarGraph();
  EXPECT_EQ(tolup, 30);
  EXPECT_EQ(tollo, 30);
  auto w = Rects(MAIN_GRAPHBarMaster, 0x00FF00);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].x1, 970.0);
  EXPECT_EQ(w[0].x2, 1030.0);
}

TEST_F(DrawTest, UnknownEvaluationModeKeepsTargetAndDrawsNoWindow) {
  parameter.set0[0] = 0;
  PlotVIDEOBarGraph();
  ASSERT_EQ(tVal, 1200);
  // Deviation cursor shown from an earlier deviation-mode frame.
  SetCursorAttribute(pHandle, MAIN_GRAPHBarMaster, 2, ATTR_CURSOR_POINT_STYLE, VAL_SOLID_SQUARE);
  SetGraphCursor(pHandle, MAIN_GRAPHBarMaster, 2, 77, 0.75);
  parameter.set0[0] = 7;
  Mvalue = 9000;
  PlotVIDEOBarGraph();
  EXPECT_EQ(tVal, 1200);
  EXPECT_EQ(Mvalue, 9000);
  EXPECT_TRUE(Rects(MAIN_GRAPHBarMaster, 0x00FF00).empty());
  EXPECT_TRUE(Rects(MAIN_GRAPHBarSlave, 0x00FF00).empty());
  EXPECT_EQ(Rects(MAIN_GRAPHBarMaster, 0xFF0000).size(), 1u);
  EXPECT_EQ(PointStyle(MAIN_GRAPHBarMaster), VAL_SOLID_SQUARE);
  EXPECT_EQ(CursorX(MAIN_GRAPHBarMaster, 2), 1000.0);  // step 10 still places it
}

TEST_F(DrawTest, ToleranceWindowOnItsOwnAddsToTheGraph) {
  PlotVIDEOBarGraph();
  const size_t before = GetGraphPlots(pHandle, MAIN_GRAPHBarMaster).size();
  PlotTOLWindow(1, parameter.set1[3], parameter.set2[3]);
  EXPECT_EQ(GetGraphPlots(pHandle, MAIN_GRAPHBarMaster).size(), before + 1);
}

// ---------------------------------------------------------------------------
// History

namespace {
std::vector<double> Trace(int t) { return GetStripTrace(pHandle, MAIN_STRIPHistory, t); }
void YRange(double* lo, double* hi) {
  GetAxisRange(pHandle, MAIN_STRIPHistory, VAL_LEFT_YAXIS, lo, hi);
}
}  // namespace

TEST_F(DrawTest, FirstUpdateShowsNinetyNineZerosThenTheSample) {
  std::fill(arrayNORM, arrayNORM + 500, 0.0);  // as after the program starts
  ClearStripChart(pHandle, MAIN_STRIPHistory);
  parameter.set0[0] = 1;
  Mvalue = 1010;
  PlotRAWGraph();
  const double expect[5] = {1030, 980, 1000, 1010, 1010};
  for (int t = 1; t <= 5; ++t) {
    auto tr = Trace(t);
    ASSERT_GE(tr.size(), 100u) << t;
    ASSERT_LE(tr.size(), 101u) << t;
    const size_t first = tr.size() - 100;
    for (size_t i = first; i < first + 99; ++i) EXPECT_EQ(tr[i], 0.0) << t << " " << i;
    EXPECT_EQ(tr.back(), expect[t - 1]) << t;
  }
  EXPECT_EQ(arrayNORM[495], 1030);
  EXPECT_EQ(arrayNORM[499], 1010);
}

TEST_F(DrawTest, HistoryShowsExactlyTheStoredSamples) {
  for (int i = 0; i < 130; ++i) {
    Mvalue = static_cast<uint16_t>(900 + i);
    PlotRAWGraph();
  }
  auto tr = Trace(4);
  ASSERT_EQ(tr.size(), 101u);
  for (int k = 0; k < 100; ++k) EXPECT_EQ(tr[1 + k], arrayNORM[5 * k + 3]);
  // One older point at the left edge: the newest sample of the update before.
  EXPECT_EQ(tr.front(), 1028.0);
  EXPECT_EQ(tr.back(), 1029.0);
  EXPECT_EQ(Trace(3).back(), 1000.0);
}

TEST_F(DrawTest, HistoryTraceStylesAndColours) {
  PlotRAWGraph();
  const int colours[5] = {0x008000, 0x008000, 0x000000, 0xFF0000, 0xFF0000};
  for (int t = 1; t <= 5; ++t) {
    int c = -1, style = -1;
    GetTraceAttribute(pHandle, MAIN_STRIPHistory, t, ATTR_TRACE_COLOR, &c);
    GetTraceAttribute(pHandle, MAIN_STRIPHistory, t, ATTR_TRACE_THICKNESS, &style);
    EXPECT_EQ(c, colours[t - 1]) << t;
    if (t <= 3)
      EXPECT_EQ(style, 1) << t;
    else
      EXPECT_NE(style, 1) << t;  // measured traces stay apart from the references
  }
  int traces = 0, points = 0;
  GetCtrlAttribute(pHandle, MAIN_STRIPHistory, ATTR_NUM_TRACES, &traces);
  GetCtrlAttribute(pHandle, MAIN_STRIPHistory, ATTR_POINTS_PER_SCREEN, &points);
  EXPECT_EQ(traces, 5);
  EXPECT_EQ(points, 101);
}

TEST_F(DrawTest, HistoryZoomRanges) {
  double lo = -1, hi = -1;
  parameter.set0[0] = 1;
  parameter.set1[3] = 500;
  parameter.set0[6] = parameter.set0[7] = 10;
  Mvalue = 505;
  PlotRAWGraph();
  YRange(&lo, &hi);
  EXPECT_EQ(lo, 0.0);
  EXPECT_EQ(hi, 4096.0);

  SetCtrlVal(pHandle, MAIN_TOGBTN_Zoom, 1);
  PlotRAWGraph();
  YRange(&lo, &hi);
  EXPECT_EQ(lo, 480.0);
  EXPECT_EQ(hi, 520.0);
  Mvalue = 530;
  PlotRAWGraph();
  YRange(&lo, &hi);
  EXPECT_EQ(lo, 480.0);
  EXPECT_EQ(hi, 570.0);
  Mvalue = 470;
  PlotRAWGraph();
  YRange(&lo, &hi);
  EXPECT_EQ(lo, 430.0);
  EXPECT_EQ(hi, 520.0);

  parameter.set0[6] = parameter.set0[7] = 50;
  Mvalue = 505;
  PlotRAWGraph();
  YRange(&lo, &hi);
  EXPECT_EQ(lo, 400.0);
  EXPECT_EQ(hi, 600.0);
  Mvalue = 700;
  PlotRAWGraph();
  YRange(&lo, &hi);
  EXPECT_EQ(lo, 400.0);
  EXPECT_EQ(hi, 800.0);

  // Switching the zoom off takes effect at the next update only.
  SetCtrlVal(pHandle, MAIN_TOGBTN_Zoom, 0);
  FireCtrlEvent(pHandle, MAIN_TOGBTN_Zoom, EVENT_COMMIT);
  YRange(&lo, &hi);
  EXPECT_EQ(hi, 800.0);
  PlotRAWGraph();
  YRange(&lo, &hi);
  EXPECT_EQ(lo, 0.0);
  EXPECT_EQ(hi, 4096.0);
}

TEST_F(DrawTest, HistoryLimitClampsAndAuxiliaryTrace) {
  SetCtrlVal(pHandle, MAIN_TOGBTN_Zoom, 1);
  parameter.set0[0] = 1;
  parameter.set1[3] = 30;
  parameter.set0[6] = 50;
  parameter.set0[7] = 50;
  Mvalue = 10;
  PlotRAWGraph();
  EXPECT_EQ(Trace(2).back(), 1.0);
  double lo = -1, hi = -1;
  YRange(&lo, &hi);
  EXPECT_EQ(lo, 1.0);

  parameter.set1[3] = 4080;
  Mvalue = 4080;
  parameter.set0[2] = 2;
  anaMin = 4095;
  PlotRAWGraph();
  EXPECT_EQ(Trace(1).back(), 4095.0);
  EXPECT_EQ(Trace(5).back(), 1.0);
  YRange(&lo, &hi);
  EXPECT_EQ(hi, 4095.0);

  parameter.set0[2] = 1;
  anaMax = 3333;
  PlotRAWGraph();
  EXPECT_EQ(Trace(5).back(), 3333.0);
}

TEST_F(DrawTest, HistoryRecordsTheCappedDeviationValue) {
  ccdvirtpixel = 2048;
  parameter.set0[0] = 3;
  Mvalue = 5000;
  PlotVIDEOBarGraph();
  PlotRAWGraph();
  EXPECT_EQ(Trace(4).back(), 4096.0);
  EXPECT_EQ(Trace(3).back(), 2048.0);
}
