// Recording viewer and graph export: reading recorder files, statistics,
// the reduced drawing, the viewer panel, and the PNG + CSV export.
#include <gtest/gtest.h>

#include <QImage>
#include <QStringList>
#include <string>
#include <vector>

#include "platform/chart.h"
#include "tests/support/scripted_app.h"
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

// Read from a file (chunk 0), fed byte by byte or in pieces of 7; the times
// of day and CSV names; lines that are not six integers; the reduced drawing
// (a short range drawn point by point: the viewer's zoom below).
TEST(RecReader, HeaderRecordsAndTimesWhateverTheLineEndsAndMicroSign) {
  std::string lf = kHandFile, utf8 = kHandFile;
  for (size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
  utf8.replace(utf8.find('\xB5'), 1, "\xC2\xB5");
  const std::string path = tframes::MakeTempDir() + "/hand.dat";
  for (const std::string& text : {kHandFile, lf, utf8}) {
    WriteFile(path, text);
    for (size_t chunk : {size_t(0), size_t(1), size_t(7)}) {
      Recording r = Parse(text, chunk);
      if (chunk == 0) EXPECT_EQ(ReadRecordingFile(path.c_str(), &r), 0);
      const RecHeader& h = r.header;
      EXPECT_EQ(
          Longs({h.haveStart, h.haveSetpoint, h.month, h.day, h.year, h.hour, h.minute, h.second,
                 h.interval, h.setpoint, long(r.rows.size()), r.skipped, r.firstSkippedLine}),
          Longs({1, 1, 3, 7, 2024, 23, 59, 58, 2, 37000, 4, 2, 5}));
      EXPECT_EQ(r.rows.back(), (RecRow{1040, 1240, 1040, 37040, 1, 0}));
    }
  }
  const RecHeader& h = Parse(kHandFile).header;
  EXPECT_EQ(std::vector<std::string>({RecordTimeOfDay(h, 0), RecordTimeOfDay(h, 1),
                                      FormatTimeOfDay(2 * 86400 + 3661), CsvPathBeside("/a/b.png"),
                                      CsvPathBeside("/a.b/c"), CsvPathBeside("/a/.png")}),
            std::vector<std::string>({"23:59:58", "+1d 00:00:00", "+2d 01:01:01", "/a/b.csv",
                                      "/a.b/c.csv", "/a/.png.csv"}));
  // Without a header every line is a record or skipped: the first three are records, then
  // an empty line and a header line out of place.
  const Recording r = Parse(
      "1\t2\t3\t4\t5\t6\n  -1 2\t3  4 5 +6  "
      "\n0\t0\t0\t-2147483648\t0\t0\n0\t0\t0\t2147483648\t0\t0\n"
      "1\t2\t3\t4\t5\n1\t2\t3\t4\t5\t6\t7\n1\t2\t3\t4\t5\t6x\n1\t2\t3\t4\t5\t-\n1,2,3,4,5,6\n\n"
      "SETPOINT-VALUE [um]: 5\n");
  EXPECT_EQ(Longs({r.header.haveStart, long(r.rows.size()), r.skipped, r.firstSkippedLine}),
            Longs({0, 3, 8, 4}));
  // The reduced drawing keeps every peak and the order of the records.
  std::vector<RecRow> rows(10000);
  for (size_t i = 0; i < rows.size(); ++i) rows[i][0] = static_cast<int32_t>(i % 97);
  rows[4321][0] = 5000;
  rows[8765][0] = -5000;
  std::vector<double> xs, ys;
  DecimateValues(rows, 0, rows.size(), 0, 100, &xs, &ys);
  // Record = index + 1.
  EXPECT_TRUE(xs.size() <= 200 && std::count(xs.begin(), xs.end(), 4322.0) == 1) << xs.size();
  const auto [lo, hi] = std::minmax_element(ys.begin(), ys.end());
  EXPECT_EQ(std::make_pair(*lo, *hi), std::make_pair(-5000.0, 5000.0));
  EXPECT_EQ(std::adjacent_find(xs.begin(), xs.end(), std::greater_equal<>()), xs.end());
}

// ---- The viewer panel and the export --------------------------------------

// Whether a PNG file is as large as main panel controls `top` to `bottom` stacked.
bool PngCovers(const std::string& path, int top, int bottom) {
  int t = 0, l = 0, h = 0, w = 0, bottomTop = 0, bottomHeight = 0;
  GetCtrlBoundingRect(pHandle, bottom, &bottomTop, &l, &bottomHeight, &w);
  GetCtrlBoundingRect(pHandle, top, &t, &l, &h, &w);
  return QImage(QString::fromStdString(path), "PNG").size() ==
         QSize(w, bottomTop + bottomHeight - t);
}

QStringList CsvRow(const std::string& line) {
  return QString::fromStdString(line).remove('\r').split(',');
}
// The numbers of a CSV line after its first cell.
std::vector<double> CsvNumbers(const std::string& line) {
  std::vector<double> v;
  for (const QString& cell : CsvRow(line).mid(1)) v.push_back(cell.toDouble());
  return v;
}

// Cells `from` to `to` of a row of the statistics, blank-separated.
std::string Cells(int row, int from, int to) {
  std::string out;
  for (char text[64]; from <= to; ++from) {
    GetTableCellVal(pViewer, VIEWER_TABLEViewerStats, row, from, text, sizeof text);
    out += (out.empty() ? "" : " ") + std::string(text);
  }
  return out;
}

class ViewerTest : public PacedSensorTest {
 protected:
  // Exports through `button` into <dir>/<name>; the CSV's lines.
  std::vector<std::string> Export(int panel, int button, const std::string& name) {
    QueueFileAnswer(VAL_NEW_FILE_SELECTED, dir_ + "/" + name + ".png");
    ClickCtrl(panel, button);
    return Lines(ReadAll(dir_ + "/" + name + ".csv"));
  }
  std::string dir_ = tframes::MakeTempDir();
};

TEST_F(ViewerTest, OpensRecordingsWithoutTheLineZoomsAndExportsTheRecordsInView) {
  const std::string file = dir_ + "/hand.dat";
  WriteFile(file, kHandFile);
  ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  sim().ClearRequests();
  QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, file);
  ClickCtrl(pPopUp, POPUP_BTNViewRecord);
  RunFor(0.5);
  ASSERT_GT(pViewer, 0);
  EXPECT_TRUE(sim().requests().empty() && PanelVisible(pViewer));
  EXPECT_EQ(PopupCalls().back().text, "TARVORecord.dat");  // the current recorder file
  EXPECT_EQ(CtrlText(pViewer, VIEWER_TEXTViewerStatus),
            "4 records read; 2 lines skipped (not six integers), the first in line 5.");
  // 37000, 37010, 36990, 37040: mean 37010, squares 100 + 0 + 400 + 900 over n - 1;
  // edge count A 1 in every record.
  EXPECT_EQ(Cells(kRecUmValue, 1, 5) + " " + Cells(4, 4, 4),
            "4 36990 37040 37010.000 21.602 1.000");
  EXPECT_NE(CtrlText(pViewer, VIEWER_TEXTViewerHeader).find("Setpoint 37000"), std::string::npos);
  // Band 10 around 37000: the limits belong to it, only 37040 lies outside.
  EnterCtrlVal(pViewer, VIEWER_NEDITViewerBand, 10);
  const std::string band10 = Cells(kRecUmValue, 6, 7);
  EnterCtrlVal(pViewer, VIEWER_NEDITViewerBand, 9);
  EXPECT_EQ(band10 + " " + Cells(kRecUmValue, 6, 7), "1 25.00 3 75.00");
  EXPECT_EQ(ReadAll(file), kHandFile);

  // A file that cannot be read leaves the recording shown.
  EXPECT_EQ(OpenRecordingInViewer((dir_ + "/missing.dat").c_str()), kRecFileCannotOpen);
  EXPECT_EQ(ViewerRecording().rows.size(), 4u);

  // A long recording is drawn reduced; a zoom redraws at full resolution and
  // the export takes the records in view.
  std::string text = "01-02-2025 08:00:00  TARVO-RECORDER-FILE: Time-Interval[s]: 10\n";
  for (int i = 0; i < 50000; ++i)
    text += "1\t2\t" + std::to_string(i % 1000) + "\t" + std::to_string(37000 + i) + "\t1\t1\n";
  WriteFile(dir_ + "/long.dat", text);
  ASSERT_EQ(OpenRecordingInViewer((dir_ + "/long.dat").c_str()), 0);
  std::vector<double> xs, ys;
  GetChartSeries(pViewer, VIEWER_GRAPHViewer, kRecUmValue, &xs, &ys);
  EXPECT_TRUE(xs.size() < 5000u && ys.back() == 37000 + 49999);  // reduced

  SetChartXRange(pViewer, VIEWER_GRAPHViewer, 100, 110);  // records 100 to 110
  FireCtrlEvent(pViewer, VIEWER_GRAPHViewer, EVENT_VAL_CHANGED);
  GetChartSeries(pViewer, VIEWER_GRAPHViewer, kRecUmValue, &xs, &ys);
  // Every record, one beyond each edge.
  EXPECT_EQ(std::make_tuple(xs.size(), xs.front(), ys.front()),
            std::make_tuple(size_t{13}, 99.0, 37098.0));

  const auto csv = Export(pViewer, VIEWER_BTNViewerExport, "zoom");
  ASSERT_EQ(csv.size(), 12u);  // a heading: record, time, the two values drawn
  EXPECT_EQ(
      (QString::number(CsvRow(csv[0]).size()) + " " + CsvRow(csv[1]).join(' ')).toStdString() +
          " " + PopupCalls().back().text,
      "4 100 08:16:40 99 37099 long.png");

  // The export never replaces the recording.
  QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, dir_ + "/long.png");
  WriteFile(dir_ + "/long.csv", "");
  ASSERT_EQ(OpenRecordingInViewer((dir_ + "/long.csv").c_str()), 0);
  ClickCtrl(pViewer, VIEWER_BTNViewerExport);
  EXPECT_EQ(CtrlText(pViewer, VIEWER_TEXTViewerStatus), kExportRefusedText);
  EXPECT_EQ(ReadAll(dir_ + "/long.csv"), "");
}

TEST_F(ViewerTest, MainPanelExportsTheHistoryOrTheVideoCurvesAsShown) {
  for (int i = 1; i <= 10; ++i) After(0.1 * i, [this, i] { sim().edgeA = 900 + i; });
  StopAfter(1.5);
  ClickCtrl(pHandle, MAIN_BTNRun);
  auto csv = Export(pHandle, MAIN_BTNExport, "history");
  ASSERT_EQ(csv.size(), 101u);
  EXPECT_EQ(PopupCalls().back().text + " " + CsvRow(csv[0])[4].toStdString(),
            "TARVOhistory.png Mvalue [px]");
  for (int t = 1; t <= 5; ++t) {
    const std::vector<double> trace = GetStripTrace(pHandle, MAIN_STRIPHistory, t);
    for (size_t i = 0; i < 100; ++i)
      ASSERT_EQ(CsvNumbers(csv[i + 1])[t - 1], trace[trace.size() - 100 + i]) << t << " " << i;
  }
  EXPECT_TRUE(PngCovers(dir_ + "/history.png", MAIN_STRIPHistory, MAIN_STRIPHistory));

  StopAfter(2.0);
  ClickCtrl(pHandle, MAIN_BTNVideo);
  csv = Export(pHandle, MAIN_BTNExport, "video");
  const auto master = GetGraphPlots(pHandle, MAIN_GRAPHDataMaster);
  const auto slave = GetGraphPlots(pHandle, MAIN_GRAPHDataSlave);
  ASSERT_EQ(Longs({long(master.size()), long(csv.size())}), Longs({2, 129}));
  for (size_t i = 0; i < 128; ++i)
    ASSERT_EQ(CsvNumbers(csv[i + 1]),
              (std::vector<double>{master[0].xs[i], master[0].ys[i], master[1].ys[i],
                                   slave[0].ys[i], slave[1].ys[i]}));
  EXPECT_TRUE(PngCovers(dir_ + "/video.png", MAIN_GRAPHDataMaster, MAIN_GRAPHDataSlave));
  EXPECT_EQ(PopupCalls().back().text + " " + Status(), "TARVOvideo.png Exported video.png + .csv");

  // A path too long for the dialogue exports nothing.
  QueueFileAnswer(VAL_NEW_FILE_SELECTED, dir_ + "/" + std::string(1100, 'x') + ".png");
  ClickCtrl(pHandle, MAIN_BTNExport);
  EXPECT_EQ(Status(), "Exported video.png + .csv");
}

}  // namespace
