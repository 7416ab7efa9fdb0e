// Recording viewer and graph export: reading recorder files, statistics,
// the reduced drawing, the viewer panel, and the PNG + CSV export.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "app/panels.h"
#include "platform/chart.h"
#include "platform/clock.h"
#include "platform/graph_probe.h"
#include "platform/popup.h"
#include "platform/popup_script.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "tests/support/frames.h"
#include "tests/support/harness.h"
#include "viewer/csv.h"
#include "viewer/export.h"
#include "viewer/rec_reader.h"
#include "viewer/rec_stats.h"
#include "viewer/viewer.h"

namespace {

using tframes::Lines;
using tframes::ReadAll;
using tframes::WriteFile;

Recording Parse(const std::string& text, size_t chunk = 0) {
  Recording r;
  RecParser p(&r);
  if (chunk == 0) chunk = text.size() + 1;
  for (size_t i = 0; i < text.size(); i += chunk)
    p.Feed(text.data() + i, std::min(chunk, text.size() - i));
  p.Finish();
  return r;
}

// A small recording whose figures are worked out by hand below.
const std::string kHandFile =
    "03-07-2024 23:59:58  TARVO-RECORDER-FILE: Time-Interval[s]: 2\r\n"
    "SETPOINT-VALUE [\xB5m]: 37000\r\n"
    "1000\t1200\t1000\t37000\t1\t1\r\n"
    "1010\t1210\t1010\t37010\t1\t2\r\n"
    "not a record\r\n"
    "990\t1190\t990\t36990\t1\t1\r\n"
    "1000\t1200\t1000\r\n"
    "1040\t1240\t1040\t37040\t1\t0";  // the last line without a line end

TEST(RecReader, HeaderAndRecordsWhateverTheLineEndsAndMicroSign) {
  std::string lf = kHandFile, utf8 = kHandFile;
  for (size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
  utf8.replace(utf8.find('\xB5'), 1, "\xC2\xB5");
  for (const std::string& text : {kHandFile, lf, utf8}) {
    for (size_t chunk : {size_t(0), size_t(1), size_t(7)}) {
      const Recording r = Parse(text, chunk);
      ASSERT_TRUE(r.header.haveStart && r.header.haveSetpoint);
      EXPECT_EQ(r.header.month * 100 + r.header.day, 307);
      EXPECT_EQ(r.header.year, 2024);
      EXPECT_EQ(r.header.hour * 10000 + r.header.minute * 100 + r.header.second, 235958);
      EXPECT_EQ(r.header.interval, 2u);
      EXPECT_EQ(r.header.setpoint, 37000u);
      ASSERT_EQ(r.rows.size(), 4u);
      EXPECT_EQ(r.rows[3], (RecRow{1040, 1240, 1040, 37040, 1, 0}));
      EXPECT_EQ(r.skipped, 2);
      EXPECT_EQ(r.firstSkippedLine, 5);
    }
  }
}

TEST(RecReader, WhatIsNotSixIntegers) {
  struct Case {
    const char* line;
    bool record;
  } cases[] = {
      {"1\t2\t3\t4\t5\t6", true},
      {"  -1 2\t3  4 5 +6  ", true},
      {"0\t0\t0\t-2147483648\t0\t0", true},
      {"0\t0\t0\t2147483648\t0\t0", false},
      {"1\t2\t3\t4\t5", false},
      {"1\t2\t3\t4\t5\t6\t7", false},
      {"1\t2\t3\t4\t5\t6x", false},
      {"1\t2\t3\t4\t5\t-", false},
      {"", false},
      {"1,2,3,4,5,6", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    RecRow row{};
    const std::string s = c.line;
    EXPECT_EQ(ParseRecLine(s.data(), s.data() + s.size(), &row), c.record);
  }
  // No header: every line is a record or skipped.
  const Recording r = Parse("1\t2\t3\t4\t5\t6\n\nSETPOINT-VALUE [um]: 5\n");
  EXPECT_FALSE(r.header.haveStart);
  EXPECT_EQ(r.rows.size(), 1u);
  EXPECT_EQ(r.skipped, 2);  // the empty line; a header line out of place
}

TEST(RecStats, HandComputedFile) {
  const Recording r = Parse(kHandFile);
  const ValueStats um = ComputeValueStats(r.rows, kRecUmValue);
  // 37000, 37010, 36990, 37040: mean 37010, squares 100 + 0 + 400 + 900.
  EXPECT_EQ(um.count, 4);
  EXPECT_EQ(um.min, 36990);
  EXPECT_EQ(um.max, 37040);
  EXPECT_DOUBLE_EQ(um.mean, 37010.0);
  EXPECT_NEAR(um.stddev, std::sqrt(1400.0 / 3.0), 1e-9);
  EXPECT_DOUBLE_EQ(ComputeValueStats(r.rows, 5).mean, 1.0);
  // Band 10 around 37000: the limits belong to it, only 37040 lies outside.
  const BandCount b = CountOutsideBand(r.rows, kRecUmValue, 37000, 10);
  EXPECT_EQ(b.outside, 1);
  EXPECT_DOUBLE_EQ(b.percent, 25.0);
  EXPECT_EQ(CountOutsideBand(r.rows, kRecUmValue, 37000, 9).outside, 3);
  EXPECT_EQ(ComputeValueStats({}, 0).count, 0);
}

TEST(RecStats, TimeOfDayAndCsvNames) {
  const Recording r = Parse(kHandFile);
  EXPECT_EQ(RecordTimeOfDay(r.header, 0), "23:59:58");
  EXPECT_EQ(RecordTimeOfDay(r.header, 1), "+1d 00:00:00");
  EXPECT_EQ(FormatTimeOfDay(2 * 86400 + 3661), "+2d 01:01:01");
  EXPECT_EQ(CsvPathBeside("/a/b.png"), "/a/b.csv");
  EXPECT_EQ(CsvPathBeside("/a.b/c"), "/a.b/c.csv");
  EXPECT_EQ(CsvPathBeside("/a/.png"), "/a/.png.csv");
}

TEST(RecStats, DecimationKeepsEveryPeakAndOrder) {
  std::vector<RecRow> rows(10000);
  for (size_t i = 0; i < rows.size(); ++i) rows[i][0] = static_cast<int32_t>(i % 97);
  rows[4321][0] = 5000;
  rows[8765][0] = -5000;
  std::vector<double> xs, ys;
  DecimateValues(rows, 0, rows.size(), 0, 100, &xs, &ys);
  EXPECT_LE(xs.size(), 200u);
  EXPECT_NE(std::find(xs.begin(), xs.end(), 4322.0), xs.end());  // record = index + 1
  EXPECT_EQ(*std::max_element(ys.begin(), ys.end()), 5000);
  EXPECT_EQ(*std::min_element(ys.begin(), ys.end()), -5000);
  EXPECT_TRUE(std::is_sorted(xs.begin(), xs.end()));
  EXPECT_EQ(std::adjacent_find(xs.begin(), xs.end()), xs.end());
  // A short range is drawn point by point.
  DecimateValues(rows, 4300, 4400, 0, 100, &xs, &ys);
  ASSERT_EQ(xs.size(), 100u);
  EXPECT_EQ(xs.front(), 4301);
  EXPECT_EQ(ys[21], 5000);
}

// ---- The viewer panel and the export --------------------------------------

// PNG width and height from the image header.
std::pair<int, int> PngSize(const std::string& path) {
  const std::string b = ReadAll(path);
  if (b.size() < 24 || b.compare(1, 3, "PNG") != 0) return {0, 0};
  auto word = [&b](int at) {
    return (uint8_t(b[at]) << 24) | (uint8_t(b[at + 1]) << 16) | (uint8_t(b[at + 2]) << 8) |
           uint8_t(b[at + 3]);
  };
  return {word(16), word(20)};
}

std::vector<std::string> CsvRow(const std::string& line) {
  std::vector<std::string> cells;
  std::string cell;
  for (char c : line) {
    if (c == ',')
      cells.push_back(cell), cell.clear();
    else if (c != '\r')
      cell += c;
  }
  cells.push_back(cell);
  return cells;
}

std::string Cell(int row, int column) {
  char text[64];
  GetTableCellVal(pViewer, VIEWER_TABLEViewerStats, row, column, text, sizeof text);
  return text;
}

class ViewerTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    dir_ = tframes::MakeTempDir();
    ScriptPopups(true);
  }
  // Replies at the line rate, as a real sensor gives them.
  void PrepareSensor(tarvo_sim::SensorSim& s) override { s.SetPacing(true); }
  void TearDown() override {
    ScriptPopups(false);
    AppTest::TearDown();
  }
  // Exports through `button` into <dir>/<name>; the CSV's lines.
  std::vector<std::string> Export(int panel, int button, const std::string& name) {
    QueueFileAnswer(VAL_NEW_FILE_SELECTED, dir_ + "/" + name + ".png");
    ClickCtrl(panel, button);
    return Lines(ReadAll(dir_ + "/" + name + ".csv"));
  }
  std::string dir_;
};

TEST_F(ViewerTest, OpensTheRecorderFileAndNeverTouchesTheLine) {
  const std::string file = dir_ + "/hand.dat";
  WriteFile(file, kHandFile);
  ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  sim().ClearRequests();
  QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, file);
  ClickCtrl(pPopUp, POPUP_BTNViewRecord);
  RunFor(0.5);
  EXPECT_TRUE(sim().requests().empty());
  ASSERT_GT(pViewer, 0);
  EXPECT_TRUE(PanelVisible(pViewer));
  EXPECT_EQ(PopupCalls().back().text, "TARVORecord.dat");  // the current recorder file
  EXPECT_EQ(CtrlText(pViewer, VIEWER_TEXTViewerStatus),
            "4 records read; 2 lines skipped (not six integers), the first in line 5.");
  EXPECT_NE(CtrlText(pViewer, VIEWER_TEXTViewerHeader).find("Setpoint 37000"), std::string::npos);
  EXPECT_EQ(Cell(kRecUmValue, 2), "36990");
  EXPECT_EQ(Cell(kRecUmValue, 4), "37010.000");
  EnterCtrlVal(pViewer, VIEWER_NEDITViewerBand, 10);
  EXPECT_EQ(Cell(kRecUmValue, 6), "1");
  EXPECT_EQ(Cell(kRecUmValue, 7), "25.00");
  EXPECT_EQ(ReadAll(file), kHandFile);

  // A file that cannot be read leaves the recording shown.
  EXPECT_EQ(OpenRecordingInViewer((dir_ + "/missing.dat").c_str()), kRecFileCannotOpen);
  EXPECT_EQ(ViewerRecording().rows.size(), 4u);
}

TEST_F(ViewerTest, ZoomRedrawsAtFullResolutionAndExportTakesTheRecordsInView) {
  std::string text = "01-02-2025 08:00:00  TARVO-RECORDER-FILE: Time-Interval[s]: 10\n";
  for (int i = 0; i < 50000; ++i)
    text += "1\t2\t" + std::to_string(i % 1000) + "\t" + std::to_string(37000 + i) + "\t1\t1\n";
  const std::string file = dir_ + "/long.dat";
  WriteFile(file, text);
  ASSERT_EQ(OpenRecordingInViewer(file.c_str()), 0);
  std::vector<double> xs, ys;
  GetChartSeries(pViewer, VIEWER_GRAPHViewer, kRecUmValue, &xs, &ys);
  EXPECT_LT(xs.size(), 5000u);  // reduced
  EXPECT_EQ(ys.back(), 37000 + 49999);

  SetChartXRange(pViewer, VIEWER_GRAPHViewer, 100, 110);  // records 100 to 110
  FireCtrlEvent(pViewer, VIEWER_GRAPHViewer, EVENT_VAL_CHANGED);
  GetChartSeries(pViewer, VIEWER_GRAPHViewer, kRecUmValue, &xs, &ys);
  ASSERT_EQ(xs.size(), 13u);  // every record, one beyond each edge
  EXPECT_EQ(xs.front(), 99);
  EXPECT_EQ(ys.front(), 37098);

  const auto csv = Export(pViewer, VIEWER_BTNViewerExport, "zoom");
  ASSERT_EQ(csv.size(), 12u);
  EXPECT_EQ(CsvRow(csv[0]).size(), 4u);  // record, time, the two values drawn
  EXPECT_EQ(CsvRow(csv[1]), (std::vector<std::string>{"100", "08:16:40", "99", "37099"}));
  EXPECT_EQ(PopupCalls().back().text, "long.png");

  // The export never replaces the recording.
  QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, dir_ + "/long.png");
  WriteFile(dir_ + "/long.csv", "");
  ASSERT_EQ(OpenRecordingInViewer((dir_ + "/long.csv").c_str()), 0);
  ClickCtrl(pViewer, VIEWER_BTNViewerExport);
  EXPECT_EQ(CtrlText(pViewer, VIEWER_TEXTViewerStatus), kExportRefusedText);
  EXPECT_EQ(ReadAll(dir_ + "/long.csv"), "");
}

TEST_F(ViewerTest, MainPanelExportsTheHistoryOrTheVideoCurvesAsShown) {
  const double t0 = Timer();
  for (int i = 1; i <= 10; ++i) ScheduleAt(t0 + 0.1 * i, [this, i] { sim().edgeA = 900 + i; });
  ScheduleAt(t0 + 1.5, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  auto csv = Export(pHandle, MAIN_BTNExport, "history");
  EXPECT_EQ(PopupCalls().back().text, "TARVOhistory.png");
  ASSERT_EQ(csv.size(), 101u);
  EXPECT_EQ(CsvRow(csv[0])[4], "Mvalue [px]");
  for (int t = 1; t <= 5; ++t) {
    const std::vector<double> trace = GetStripTrace(pHandle, MAIN_STRIPHistory, t);
    for (size_t i = 0; i < 100; ++i)
      ASSERT_EQ(std::stod(CsvRow(csv[i + 1])[t]), trace[trace.size() - 100 + i]) << t << " " << i;
  }
  int top, left, h, w;
  GetCtrlBoundingRect(pHandle, MAIN_STRIPHistory, &top, &left, &h, &w);
  EXPECT_EQ(PngSize(dir_ + "/history.png"), std::make_pair(w, h));

  ScheduleAt(Timer() + 2.0, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, MAIN_BTNVideo);
  csv = Export(pHandle, MAIN_BTNExport, "video");
  EXPECT_EQ(PopupCalls().back().text, "TARVOvideo.png");
  const auto master = GetGraphPlots(pHandle, MAIN_GRAPHDataMaster);
  const auto slave = GetGraphPlots(pHandle, MAIN_GRAPHDataSlave);
  ASSERT_EQ(master.size(), 2u);
  ASSERT_EQ(csv.size(), 129u);
  for (size_t i = 0; i < 128; ++i) {
    const auto row = CsvRow(csv[i + 1]);
    ASSERT_EQ(std::stod(row[1]), master[0].xs[i]);
    ASSERT_EQ(std::stod(row[2]), master[0].ys[i]);
    ASSERT_EQ(std::stod(row[3]), master[1].ys[i]);
    ASSERT_EQ(std::stod(row[4]), slave[0].ys[i]);
    ASSERT_EQ(std::stod(row[5]), slave[1].ys[i]);
  }
  int top2, left2, h2, w2;
  GetCtrlBoundingRect(pHandle, MAIN_GRAPHDataMaster, &top, &left, &h, &w);
  GetCtrlBoundingRect(pHandle, MAIN_GRAPHDataSlave, &top2, &left2, &h2, &w2);
  EXPECT_EQ(PngSize(dir_ + "/video.png"), std::make_pair(w, top2 + h2 - top));
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Exported video.png + .csv");
}

// Every new control: a right click shows a text in its panel's help box,
// inside the panel; a click on the box hides it.
TEST_F(ViewerTest, EveryNewControlHasItsHelpInsideItsPanel) {
  WriteFile(dir_ + "/a.dat", kHandFile);
  ASSERT_EQ(OpenRecordingInViewer((dir_ + "/a.dat").c_str()), 0);
  ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  std::vector<std::array<int, 3>> cases = {{pHandle, MAIN_BTNExport, MAIN_TEXTHelp},
                                           {pPopUp, POPUP_BTNViewRecord, POPUP_TEXTRecHelp}};
  for (int c = VIEWER_TEXTViewerHeader; c <= VIEWER_TEXTViewerStatus; ++c)
    cases.push_back({pViewer, c, VIEWER_TEXTViewerHelp});
  for (const auto& [panel, control, box] : cases) {
    SCOPED_TRACE(std::to_string(panel) + "/" + std::to_string(control));
    int pw = 0, ph = 0, top = 0, left = 0, h = 0, w = 0;
    GetPanelAttribute(panel, ATTR_WIDTH, &pw);
    GetPanelAttribute(panel, ATTR_HEIGHT, &ph);
    ASSERT_EQ(GetCtrlBoundingRect(panel, control, &top, &left, &h, &w), 0);
    EXPECT_TRUE(left >= 0 && top >= 0 && left + w <= pw && top + h <= ph);
    RightClickCtrl(panel, control);
    ASSERT_TRUE(CtrlVisible(panel, box));
    EXPECT_GT(CtrlText(panel, box).size(), 20u);
    GetCtrlBoundingRect(panel, box, &top, &left, &h, &w);
    EXPECT_TRUE(left >= 0 && top >= 0 && left + w <= pw && top + h <= ph)
        << left << "," << top << " " << w << "x" << h;
    ClickCtrl(panel, box);
    EXPECT_FALSE(CtrlVisible(panel, box));
  }
}

}  // namespace
