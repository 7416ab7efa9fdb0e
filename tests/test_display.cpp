// Bar graphs, tolerance window and value history: the arithmetic on its own,
// as tables, then one check of what each drawing call shows.
#include <gtest/gtest.h>
#include <unistd.h>

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
#include "support/frames.h"
#include "support/harness.h"

using tframes::Rects;

// ---------------------------------------------------------------------------
// Pure arithmetic

TEST(Target, FollowsTheEvaluationMode) {
  struct Row {
    uint16_t mode, n, expect;
    bool known;
  } rows[] = {{0, 4096, 1200, true}, {1, 4096, 1000, true}, {2, 4096, 5992, true},
              {3, 2048, 2048, true}, {4, 4096, 4096, true}, {7, 4096, 4096, false}};
  uint16_t t = 77;
  for (const Row& r : rows) {  // an unknown mode keeps the previous target
    EXPECT_EQ(TargetForMode(r.mode, 1000, 1200, r.n, &t), r.known) << r.mode;
    EXPECT_EQ(t, r.expect) << r.mode;
  }
}

TEST(Tolerance, HardwareModeBoundsAndMillimetres) {
  // Hardware modes 1, 3 and 4 take the poti for both bounds.
  for (auto [hw, lo, up] :
       {std::array<uint16_t, 3>{0, 11, 22}, {1, 30, 30}, {2, 11, 22}, {3, 30, 30}, {4, 30, 30}}) {
    uint16_t gotUp = 0, gotLo = 0;
    TolerancesForHardwareMode(hw, 11, 22, 30, &gotUp, &gotLo);
    EXPECT_EQ(std::make_pair(gotLo, gotUp), std::make_pair(lo, up)) << hw;
  }
  // The last two: a lower bound below 0 means no lower limit; above 65535 still counts.
  struct Row {
    uint16_t t, lo, up, v;
    bool inside;
  } rows[] = {{500, 10, 20, 520, true},  {500, 10, 20, 521, false}, {500, 10, 20, 490, true},
              {500, 10, 20, 489, false}, {10, 100, 20, 0, true},    {65000, 0, 1000, 65535, true}};
  for (const Row& r : rows)
    EXPECT_EQ(InsideTolerance(r.t, r.lo, r.up, r.v), r.inside) << r.t << " " << r.v;
  EXPECT_DOUBLE_EQ(ToleranceMM(37000, 20), 37000.0 * 20 / 1024000.0);
  EXPECT_GT(ToleranceMM(0x80000000u, 1), 0.0);  // unsigned scale factor
  for (auto c : {std::pair<int, int>{0, 1}, {1, 1}, {4196, 4096}, {4096, 4096}, {1234, 1234}})
    EXPECT_EQ(ClampCursor(c.first, 4096), c.second) << c.first;
}

TEST(TolWindow, EveryModeWithItsClamps) {
  // in: mode, posA, posB, tollo, tolup, setA, setB, edcntA, edcntB, n (0 = 4096);
  // then the window count and {graph, lo, hi} of the first, {lo, hi} of the second.
  struct Row {
    TolWindowInput in;
    int count, g0, lo0, hi0, lo1, hi1;
  } rows[] = {
      {{1, 0, 0, 100, 20, 10, 0, 0, 0}, 1, kBarMaster, 1, 30, 0, 0},  // lower edge below 0 -> 1
      {{1, 0, 0, 10, 20, 10, 0, 0, 0}, 1, kBarMaster, 0, 30, 0, 0},   // exactly 0 stays
      {{0, 0, 0, 10, 20, 0, 4090, 0, 0}, 1, kBarSlave, 4080, 4096, 0, 0},  // beyond N -> N
      {{0, 0, 0, 10, 5, 0, 4090, 0, 0}, 1, kBarSlave, 4080, 4095, 0, 0},   // N - 1 stays
      // Sum mode: around the edges when both are seen, else around the setpoints.
      {{2, 990, 1180, 20, 20, 1000, 1200, 1, 1}, 2, kBarMaster, 995, 1015, 1185, 1205},
      {{2, 990, 1180, 20, 20, 1000, 1200, 1, 0}, 2, kBarMaster, 990, 1010, 1190, 1210},
      {{2, 990, 1180, 20, 20, 1000, 1200, 0, 1}, 2, kBarMaster, 990, 1010, 1190, 1210},
      // d = 2200 - 2231 = -31, d/2 = -15 (not -16); 21 / 2 = 10.
      {{2, 1015, 1216, 21, 21, 1000, 1200, 3, 2}, 2, kBarMaster, 990, 1010, 1191, 1211},
      {{2, 5, 4090, 40, 40, 0, 4096, 0, 0}, 2, kBarMaster, 1, 20, 4076, 4096},
      // Deviation modes: the allowed deviations, not clamped.
      {{3, 0, 0, 30, 5000, 0, 0, 0, 0, 2048}, 2, kBarMaster, 1, 5000, 1, 30},
      {{4, 0, 0, 30, 5000, 0, 0, 0, 0, 2048}, 2, kBarMaster, 1, 5000, 1, 30},
      {{7, 0, 0, 30, 50, 100, 100, 1, 1}, 0, 0, 0, 0, 0, 0},
  };
  for (Row& r : rows) {
    if (r.in.n == 0) r.in.n = 4096;
    TolWindow w[2] = {};
    ASSERT_EQ(TolWindows(r.in, w), r.count) << &r - rows;
    EXPECT_EQ(std::vector<int>({w[0].graph, w[0].lo, w[0].hi, w[1].graph, w[1].lo, w[1].hi}),
              std::vector<int>({r.g0, r.lo0, r.hi0, r.count == 2 ? kBarSlave : 0, r.lo1, r.hi1}))
        << &r - rows;
  }
}

TEST(Deviation, CursorsAndCapInModesThreeAndFour) {
  // N = 2048: values above 2N are capped (2N - 1 is not); x -1: no cursor to place.
  using D = DeviationCursors;
  struct Row {
    uint16_t mode, mvalue;
    int show;
    double x;
    uint16_t capped;
  } rows[] = {{3, 2100, D::kMaster, 52, 2100},     {3, 5000, D::kMaster, 2048, 4096},
              {4, 4095, D::kMaster, 2047, 4095},   {4, 2000, D::kSlave, 48, 2000},
              {3, 2048, D::kBothHidden, -1, 2048}, {0, 5000, D::kUntouched, -1, 5000},
              {2, 5000, D::kUntouched, -1, 5000},  {7, 5000, D::kUntouched, -1, 5000}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.mode) + " " + std::to_string(r.mvalue));
    const DeviationCursors d = DeviationFor(r.mode, r.mvalue, 2048);
    EXPECT_EQ(std::make_pair(static_cast<int>(d.show), d.mvalue), std::make_pair(r.show, r.capped));
    if (r.x >= 0) EXPECT_DOUBLE_EQ(d.x, r.x);
  }
}

TEST(History, LimitsZoomRangesAndAuxiliaryValue) {
  const HistoryLimits a = LimitsFor(30, 50, 10, 4096), b = LimitsFor(4090, 10, 20, 4096);
  EXPECT_EQ(std::vector<int>({a.upper, a.lower, b.upper, b.lower}),
            std::vector<int>({40, 1, 4095, 4080}));
  // The last three: a target at or above the top of the axis gives the band of the
  // same width just below the top.
  struct Zoom {
    uint16_t t, lo, up, m, axis;
    int zlo, zhi;
  } zooms[] = {{500, 10, 10, 505, 4096, 480, 520},      {500, 10, 10, 530, 4096, 480, 570},
               {500, 10, 10, 470, 4096, 430, 520},      {500, 50, 19, 505, 4096, 480, 520},
               {500, 50, 50, 505, 4096, 400, 600},      {500, 50, 50, 700, 4096, 400, 800},
               {500, 50, 50, 300, 4096, 200, 600},      {30, 50, 50, 5, 4096, 1, 130},
               {4000, 50, 100, 4050, 4096, 3900, 4095}, {2048, 10, 10, 2048, 2048, 2007, 2047},
               {9000, 50, 50, 9000, 8192, 7991, 8191},  {500, 10, 10, 505, 1, 1, 2}};
  for (const Zoom& z : zooms) {
    const ZoomRange r = ZoomRangeFor(z.t, z.lo, z.up, z.m, z.axis);
    EXPECT_EQ(std::make_pair(r.lo, r.hi), std::make_pair(z.zlo, z.zhi))
        << z.t << " " << z.lo << " " << z.up << " " << z.m << " to " << z.axis;
  }
  struct Aux {
    uint16_t mode, anaMin;
    int expect;
  } aux[] = {{0, 100, 700}, {1, 100, 900}, {3, 100, 900}, {2, 100, 100},
             {4, 100, 100}, {2, 4095, 1},  {4, 4095, 1},  {4, 4094, 4094}};
  for (const Aux& a : aux)
    EXPECT_EQ(AuxValueFor(a.mode, 700, 900, a.anaMin, 4096), a.expect) << a.mode;
}

TEST(ArrayOps, ShiftBothWaysInPlaceWithinTheArrayAndErrors) {
  struct Row {
    int by;
    std::vector<double> expect;
  } rows[] = {
      {-2, {3, 4, 5, 0, 0}}, {2, {0, 0, 1, 2, 3}}, {0, {1, 2, 3, 4, 5}}, {-1, {2, 3, 4, 5, 0}}};
  for (const Row& r : rows) {
    // Into another array and in place; what lies past the 5 values is never touched.
    double src[8] = {1, 2, 3, 4, 5, 6, 7, 8}, out[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    ASSERT_EQ(Shift(src, 5, r.by, out), 0);
    ASSERT_EQ(Shift(src, 5, r.by, src), 0);
    EXPECT_EQ(std::vector<double>(out, out + 5), r.expect) << r.by;
    EXPECT_EQ(std::vector<double>(src, src + 5), r.expect) << r.by;
    EXPECT_EQ(std::vector<double>(out + 5, out + 8), std::vector<double>(3, 9.0)) << r.by;
    EXPECT_EQ(std::vector<double>(src + 5, src + 8), (std::vector<double>{6, 7, 8})) << r.by;
  }
  const double src[5] = {1, 2, 3, 4, 5};
  double untouched[5] = {9, 9, 9, 9, 9};
  EXPECT_EQ(std::vector<int>({Shift(src, 5, 5, untouched), Shift(src, 5, -5, untouched),
                              Shift(src, 0, 1, untouched)}),
            std::vector<int>({-20102, -20102, -20003}));
  EXPECT_EQ(std::vector<double>(untouched, untouched + 5), std::vector<double>(5, 9.0));
}

// ---------------------------------------------------------------------------
// Drawing, against the real panels

namespace {

using Span = std::pair<double, double>;
double CursorX(int control, int cursor) { return tframes::CursorX(pHandle, control, cursor); }
std::vector<int> PointStyles() {
  std::vector<int> styles;
  for (int g : {MAIN_GRAPHBarMaster, MAIN_GRAPHBarSlave}) {
    int style = -1;
    GetCursorAttribute(pHandle, g, 2, ATTR_CURSOR_POINT_STYLE, &style);
    styles.push_back(style);
  }
  return styles;
}
// The rectangles of one colour on a bar graph, as {x1, x2}.
std::vector<Span> Spans(int graph, int colour) {
  std::vector<Span> out;
  for (const auto& r : Rects(pHandle, graph, colour)) out.emplace_back(r.x1, r.x2);
  return out;
}
std::vector<double> Trace(int t) { return GetStripTrace(pHandle, MAIN_STRIPHistory, t); }
Span YRange() { return tframes::AxisRange(pHandle, MAIN_STRIPHistory, VAL_LEFT_YAXIS); }

// A measurement as a reply would leave it, in a known parameter state.
class DrawTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ccdvirtpixel = yaxisMAX = 4096;
    parameter.set0[0] = 1;                      // evaluation mode
    parameter.set0[2] = parameter.set0[3] = 0;  // analog and hardware mode
    parameter.set0[6] = 20;
    parameter.set0[7] = 30;
    parameter.set1[3] = Aval = Mvalue = 1000;
    parameter.set2[3] = Bval = 1200;
    parameter.set1Long[0] = 2048;  // 2 um per pixel
    umValue = 12345;
    poti = anaMax = anaMin = 0;
    edcntA = edcntB = 1;
    peakwA = peakwB = 4;
    SetCtrlVal(pHandle, MAIN_TOGBTN_Zoom, 0);
  }
};

}  // namespace

TEST_F(DrawTest, BarGraphsInEveryEvaluationMode) {
  Aval = 0;
  Bval = 4196;
  Mvalue = 1031;  // just outside: the window reaches 1030
  umValue = -1234;
  anaMax = 77;
  anaMin = 66;
  peakwA = 5;
  peakwB = 6;
  PlotVIDEOBarGraph();
  const struct {
    int panel, control;
    double v;
  } shown[] = {{pHandle, MAIN_NUMAval, 0},        {pHandle, MAIN_NUMBval, 4196},
               {pHandle, MAIN_NUMMvalue, 1031},   {pHandle, MAIN_NUMValueMM, -1.234},
               {pHandle, MAIN_NUMTolUpMM, 0.060}, {pHandle, MAIN_NUMTolLoMM, 0.040},
               {pHandle, MAIN_NUMAnaMax, 77},     {pHandle, MAIN_NUMAnaMin, 66},
               {pPara1, PARA1_NEDITeachA, 1000},  {pPara2, PARA2_NEDITeachB, 1200}};
  for (const auto& s : shown)
    EXPECT_NEAR(tframes::NumVal(s.panel, s.control), s.v, 1e-9) << s.control;
  for (int c : {MAIN_NUMMvalue, MAIN_NUMValueMM})
    EXPECT_EQ(tframes::CtrlAttr(pHandle, c, ATTR_TEXT_BGCOLOR), kColourOutside) << c;
  // Cursors clamped to 1..N, the bars on the raw edges.
  for (int c : {1, 2})
    EXPECT_EQ(Span(CursorX(MAIN_GRAPHBarMaster, c), CursorX(MAIN_GRAPHBarSlave, c)), Span(1, 4096));
  EXPECT_EQ(Spans(MAIN_GRAPHBarMaster, kColourEdgeBar), std::vector<Span>({{-2, 2}}));
  EXPECT_EQ(Spans(MAIN_GRAPHBarSlave, kColourEdgeBar), std::vector<Span>({{4193, 4199}}));
  EXPECT_EQ(Spans(MAIN_GRAPHBarMaster, kColourTolWindow), std::vector<Span>({{980, 1030}}));

  // Hardware mode 1: the poti replaces the tolerance words.
  parameter.set0[3] = 1;
  poti = 30;
  Mvalue = 1030;
  PlotVIDEOBarGraph();
  EXPECT_EQ(tframes::CtrlAttr(pHandle, MAIN_NUMMvalue, ATTR_TEXT_BGCOLOR), kColourInside);
  EXPECT_EQ(Spans(MAIN_GRAPHBarMaster, kColourTolWindow), std::vector<Span>({{970, 1030}}));

  // Sum mode raises zero tolerances in the set.
  parameter.set0[0] = 2;
  parameter.set0[3] = parameter.set0[6] = parameter.set0[7] = 0;
  PlotVIDEOBarGraph();
  EXPECT_EQ(std::vector<int>({parameter.set0[6], parameter.set0[7], tollo, tolup}),
            std::vector<int>({1, 1, 1, 1}));

  // Deviation modes: the cursors, and the cap the history sees.
  ccdvirtpixel = 2048;
  parameter.set0[0] = 3;
  Mvalue = 5000;
  PlotVIDEOBarGraph();
  EXPECT_EQ(std::make_pair(int(Mvalue), CursorX(MAIN_GRAPHBarMaster, 2)),
            std::make_pair(4096, 2048.0));
  EXPECT_EQ(PointStyles(), std::vector<int>({VAL_SOLID_SQUARE, VAL_NO_POINT}));

  parameter.set0[0] = 4;
  Mvalue = 2000;
  PlotVIDEOBarGraph();
  EXPECT_EQ(CursorX(MAIN_GRAPHBarSlave, 2), 48.0);
  EXPECT_EQ(PointStyles(), std::vector<int>({VAL_NO_POINT, VAL_SOLID_SQUARE}));
  Mvalue = 2048;
  PlotVIDEOBarGraph();
  EXPECT_EQ(PointStyles(), std::vector<int>({VAL_NO_POINT, VAL_NO_POINT}));
  // An unknown mode leaves the cursors as they were.
  SetCursorAttribute(pHandle, MAIN_GRAPHBarMaster, 2, ATTR_CURSOR_POINT_STYLE, VAL_SOLID_SQUARE);
  parameter.set0[0] = 7;
  PlotVIDEOBarGraph();
  EXPECT_EQ(PointStyles(), std::vector<int>({VAL_SOLID_SQUARE, VAL_NO_POINT}));
}

// Before the sensor ever named a known evaluation mode the target is 0; the
// program's own start state, so it is checked in a process of its own.
TEST(FirstFrame, UnknownEvaluationModeShowsTargetZeroAndNoWindow) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        StartApp(nullptr);
        parameter.set0[0] = 7;
        PlotVIDEOBarGraph();
        PlotRAWGraph();
        const bool windows = !Spans(MAIN_GRAPHBarMaster, kColourTolWindow).empty() ||
                             !Spans(MAIN_GRAPHBarSlave, kColourTolWindow).empty();
        _exit(arrayNORM[497] == 0 && !windows ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(DrawTest, HistoryStartsWithZerosKeepsOneOlderPointAndZoomsAtTheNextUpdate) {
  std::fill(arrayNORM, arrayNORM + 500, 0.0);  // as after the program starts
  ClearStripChart(pHandle, MAIN_STRIPHistory);
  Mvalue = 1010;
  PlotRAWGraph();
  const double expect[5] = {1030, 980, 1000, 1010, 1010};  // limits, target, value, auxiliary
  for (int t = 1; t <= 5; ++t) {
    std::vector<double> want(99, 0.0);
    want.push_back(expect[t - 1]);
    EXPECT_EQ(Trace(t), want) << t;
  }
  Mvalue = 1011;
  PlotRAWGraph();
  auto tr = Trace(4);
  ASSERT_EQ(tr.size(), 101u);
  EXPECT_EQ(std::vector<double>({tr[0], tr[99], tr[100]}), (std::vector<double>{1010, 1010, 1011}));

  // The zoom follows the toggle at the next update.
  parameter.set1[3] = 500;
  parameter.set0[6] = parameter.set0[7] = 10;
  Mvalue = 530;
  SetCtrlVal(pHandle, MAIN_TOGBTN_Zoom, 1);
  PlotRAWGraph();
  EXPECT_EQ(YRange(), Span(480, 570));
  // Switching the zoom off takes effect at the next update only.
  SetCtrlVal(pHandle, MAIN_TOGBTN_Zoom, 0);
  FireCtrlEvent(pHandle, MAIN_TOGBTN_Zoom, EVENT_COMMIT);
  EXPECT_EQ(YRange(), Span(480, 570));
  PlotRAWGraph();
  EXPECT_EQ(YRange(), Span(0, 4096));
}
