// Data recorder: duration display, file layout, the recording loop on the
// virtual clock, the file dialogue, stopping, and file trouble.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/panels.h"
#include "link/link.h"
#include "link/payload.h"
#include "measure/run.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/popup.h"
#include "platform/popup_script.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "recorder/rec_file.h"
#include "recorder/record_format.h"
#include "recorder/recorder.h"
#include "tests/support/frames.h"
#include "tests/support/harness.h"

namespace {

using tframes::Lines;
using tframes::MakeTempDir;
using tframes::ReadAll;
using tframes::WriteFile;

// ---- Pure pieces -----------------------------------------------------------

TEST(RecordFormat, DurationSplit) {
  struct Row {
    uint16_t interval, records;
    unsigned days;
    int h, m, sec;
  } rows[] = {{3600, 30, 1, 6, 0, 0},
              {61, 61, 0, 1, 2, 1},              // 1 day 6 h; 3721 s
              {65535, 65535, 49708, 18, 3, 45},  // 4294836225 s: no overflow
              {0, 500, 0, 0, 0, 0}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.interval) + " x " + std::to_string(r.records));
    const RecDuration d = SplitRecDuration(r.interval, r.records);
    EXPECT_EQ(d.days, r.days);
    EXPECT_EQ(d.hours, r.h);
    EXPECT_EQ(d.minutes, r.m);
    EXPECT_EQ(d.seconds, r.sec);
  }
}

TEST(RecordFormat, HeaderAndRecordBytes) {
  char buf[200];
  int n = FormatRecHeaderLine1(buf, sizeof buf, "03-07-2024", "09:05:01", 5);
  EXPECT_EQ(std::string(buf, n),
            "03-07-2024 09:05:01  TARVO-RECORDER-FILE: Time-Interval[s]: 5\r\n");
  n = FormatRecHeaderLine1(buf, sizeof buf, "12-31-1999", "23:59:59", 65535);
  EXPECT_EQ(std::string(buf, n),
            "12-31-1999 23:59:59  TARVO-RECORDER-FILE: Time-Interval[s]: 65535\r\n");

  n = FormatRecHeaderLine2(buf, sizeof buf, 37000);
  const std::string line2(buf, n);
  EXPECT_EQ(line2, std::string("SETPOINT-VALUE [") + '\xB5' + "m]: 37000\r\n");
  EXPECT_EQ(line2.size(), 28u);  // the micro sign is one byte
  n = FormatRecHeaderLine2(buf, sizeof buf, 4294967295u);
  EXPECT_EQ(std::string(buf, n).substr(21), "4294967295\r\n");

  n = FormatRecLine(buf, sizeof buf, 1000, 1200, 65535, -1, 0, 3);
  EXPECT_EQ(std::string(buf, n), "1000\t1200\t65535\t-1\t0\t3\r\n");
  n = FormatRecLine(buf, sizeof buf, 0, 0, 0, -2147483647 - 1, 65535, 65535);
  EXPECT_EQ(std::string(buf, n), "0\t0\t0\t-2147483648\t65535\t65535\r\n");

  // Too small a buffer is refused, not cut.
  EXPECT_EQ(FormatRecLine(buf, 10, 1000, 1200, 65535, -1, 0, 3), -1);
}

TEST(RecordFormat, ReferenceSecondWrapsAt65536) {
  EXPECT_EQ(RecSecond(3.99), 3);
  EXPECT_EQ(RecSecond(65535.5), 65535);
  EXPECT_EQ(RecSecond(65536.7), 0);
  EXPECT_EQ(RecSecond(2.0 * 65536 + 17.2), 17);
  // Across the wrap the elapsed whole seconds stay right.
  EXPECT_EQ(RecElapsed(65538.2, RecSecond(65534.9)), 4);
  EXPECT_EQ(RecElapsed(65536.0, 65535), 1);
  EXPECT_EQ(RecElapsed(100.4, RecSecond(95.999)), 5);
  EXPECT_EQ(RecElapsed(95.999, RecSecond(95.001)), 0);
}

TEST(RecFile, KeepsWhatCannotBeWrittenAndWritesItLater) {
  const std::string dir = MakeTempDir();
  const std::string sub = dir + "/later";
  const std::string path = sub + "/rec.dat";
  static RecFileWriter w;
  EXPECT_EQ(RecWriterStart(w, path.c_str()), 0);  // nothing to delete is fine
  EXPECT_NE(RecWriterAddHeader(w, "H1\r\n", 4), 0);
  EXPECT_NE(RecWriterAddHeader(w, "H2\r\n", 4), 0);
  EXPECT_TRUE(RecWriterHeaderPending(w));
  EXPECT_NE(RecWriterAddRecord(w, "1\r\n", 3), 0);
  EXPECT_NE(RecWriterAddRecord(w, "2\r\n", 3), 0);
  EXPECT_EQ(RecWriterRecordsNotWritten(w), 2);

  ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
  EXPECT_EQ(RecWriterAddRecord(w, "3\r\n", 3), 0);
  EXPECT_EQ(RecWriterRecordsNotWritten(w), 0);
  EXPECT_FALSE(RecWriterHeaderPending(w));
  EXPECT_EQ(ReadAll(path), "H1\r\nH2\r\n1\r\n2\r\n3\r\n");

  // Starting again removes the old file.
  EXPECT_EQ(RecWriterStart(w, path.c_str()), 0);
  EXPECT_FALSE(FileExists(path.c_str()));
}

TEST(RecFile, FullStoreCountsLostRecords) {
  static RecFileWriter w;
  const std::string path = MakeTempDir() + "/nodir/rec.dat";
  RecWriterStart(w, path.c_str());
  std::string rec(100, 'x');
  rec += "\r\n";
  const long fit = static_cast<long>(kRecPendingBytes / rec.size());
  for (long i = 0; i < fit + 7; ++i) RecWriterAddRecord(w, rec.data(), rec.size());
  EXPECT_EQ(RecWriterRecordsNotWritten(w), fit + 7);
  EXPECT_EQ(w.recordsLost, 7);
}

// ---- The recorder in the running program -----------------------------------

class RecorderTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    dir_ = MakeTempDir();
    SetRecFile(dir_ + "/TARVORecord.dat");
  }
  void SetRecFile(const std::string& path) {
    std::snprintf(recfile_name, sizeof recfile_name, "%s", path.c_str());
  }
  void ShowPopup() {
    if (!PanelVisible(pPopUp)) ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  }
  // Runs a whole recording; returns the virtual seconds it took.
  double Record(int interval, int records) {
    ShowPopup();
    EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, interval);
    EnterCtrlVal(pPopUp, POPUP_NEDITRecSamples, records);
    const double t0 = Timer();
    ClickCtrl(pPopUp, POPUP_BTNStartRecord);
    return Timer() - t0;
  }
  std::vector<std::string> RecordLines() {
    std::vector<std::string> lines = Lines(ReadAll(recfile_name));
    if (lines.size() >= 2) lines.erase(lines.begin(), lines.begin() + 2);
    return lines;
  }
  // The record line the sensor model's words should give.
  std::string ExpectedRecord() {
    const auto w = sim().MeasurementWords();
    char buf[128];
    const int32_t um =
        static_cast<int32_t>(static_cast<uint32_t>(w[3]) | (static_cast<uint32_t>(w[4]) << 16));
    std::snprintf(buf, sizeof buf, "%u\t%u\t%u\t%d\t%u\t%u\r", unsigned{w[0]}, unsigned{w[1]},
                  unsigned{w[2]}, static_cast<int>(um), unsigned{w[6]}, unsigned{w[7]});
    return buf;
  }
  std::string dir_;
};

TEST_F(RecorderTest, DurationFieldsFollowBothEdits) {
  ShowPopup();
  SetCtrlVal(pPopUp, POPUP_NUMRecCount, 17);
  EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, 3600);
  EXPECT_EQ(CtrlText(pPopUp, POPUP_NUMRecCount), "0");
  SetCtrlVal(pPopUp, POPUP_NUMRecCount, 17);
  EnterCtrlVal(pPopUp, POPUP_NEDITRecSamples, 30);
  EXPECT_EQ(CtrlText(pPopUp, POPUP_NUMRecCount), "0");
  EXPECT_EQ(CtrlText(pPopUp, POPUP_NUMRecDays), "1");
  EXPECT_EQ(CtrlText(pPopUp, POPUP_NUMRecHours), "6");
  EXPECT_EQ(CtrlText(pPopUp, POPUP_NUMRecMinutes), "0");
  EXPECT_EQ(CtrlText(pPopUp, POPUP_NUMRecSeconds), "0");
  EnterCtrlVal(pPopUp, POPUP_NEDITRecSamples, 61);
  EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, 61);
  EXPECT_EQ(CtrlText(pPopUp, POPUP_NUMRecDays), "0");
  EXPECT_EQ(CtrlText(pPopUp, POPUP_NUMRecHours), "1");
  EXPECT_EQ(CtrlText(pPopUp, POPUP_NUMRecMinutes), "2");
  EXPECT_EQ(CtrlText(pPopUp, POPUP_NUMRecSeconds), "1");
}

TEST_F(RecorderTest, ServiceCodeRevealsTheUploadButtons) {
  auto shown = [] {
    return tframes::CtrlAttr(pCalib, CALIB_BTNWriteXFSL, ATTR_VISIBLE) +
           tframes::CtrlAttr(pCalib, CALIB_BTNWriteXFMA, ATTR_VISIBLE);
  };
  ASSERT_EQ(shown(), 0);  // hidden in normal use
  ShowPopup();
  EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, 6172);
  EXPECT_EQ(shown(), 0);
  EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, 6173);
  EXPECT_EQ(shown(), 2);
  unsigned short interval = 0;
  GetCtrlVal(pPopUp, POPUP_NEDITRecTime, &interval);
  EXPECT_EQ(interval, 6173);  // it is the interval, too
  EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, 10);
  EXPECT_EQ(shown(), 2);  // other values leave them as they are
}

TEST_F(RecorderTest, HeaderLinesAreByteExact) {
  parameter.set1Long[1] = 123456;  // the current value is written, not the panel's
  Record(7, 0);
  const std::string text = ReadAll(recfile_name);
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 2u) << text;  // no records wanted: header only
  EXPECT_TRUE(std::regex_match(lines[0],
                               std::regex(R"(\d\d-\d\d-\d{4} \d\d:\d\d:\d\d  TARVO-RECORDER-FILE: )"
                                          R"(Time-Interval\[s\]: 7\r)")))
      << lines[0];
  EXPECT_EQ(lines[0].substr(0, 10), std::string(DateStr()));
  EXPECT_EQ(lines[1], std::string("SETPOINT-VALUE [") + '\xB5' + "m]: 123456\r");
  EXPECT_EQ(CtrlText(pPopUp, POPUP_TEXTRecFile), std::string(recfile_name));
}

TEST_F(RecorderTest, IntervalZeroRecordsEveryReply) {
  sim().SetPacing(true);  // replies at the line rate
  const double took = Record(0, 25);
  const std::vector<std::string> recs = RecordLines();
  ASSERT_EQ(recs.size(), 25u);
  for (const std::string& r : recs) EXPECT_EQ(r, ExpectedRecord());
  EXPECT_EQ(CtrlText(pPopUp, POPUP_NUMRecCount), "25");
  // 25 request/reply round trips at 19200 baud take about 25 x 37.5 ms.
  EXPECT_LT(took, 25 * 0.0375 + 0.5);
  // The last reply was drawn before it was recorded.
  EXPECT_EQ(CtrlText(pHandle, MAIN_NUMAval), std::to_string(sim().MeasurementWords()[0]));
  // Every request asked for a measurement with set 0 as payload.
  for (const auto& req : sim().requests()) {
    if (req.command != 8) continue;
    EXPECT_EQ(req.words[0], parameter.set0[0]);
    EXPECT_EQ(req.words[13], static_cast<uint16_t>(parameter.set0Long & 0xFFFF));
  }
}

TEST_F(RecorderTest, IntervalFiveThreeRecordsThenStopsByItself) {
  sim().SetPacing(true);
  const double t0 = Timer();
  ScheduleAt(t0 + 120, [] { stop_flag = 1; });  // watchdog only
  const double took = Record(5, 3);
  const std::vector<std::string> recs = RecordLines();
  ASSERT_EQ(recs.size(), 3u);
  // Each record lies 4 to 5 whole seconds (plus a reply) after the one before.
  EXPECT_GE(took, 12.0);
  EXPECT_LE(took, 15.2);
  EXPECT_EQ(CtrlText(pPopUp, POPUP_NUMRecCount), "3");
  EXPECT_EQ(CtrlText(pPopUp, POPUP_TEXTRecStatus), "DATA-RECORDER");
  int bg = 0, fg = 1;
  GetCtrlAttribute(pPopUp, POPUP_TEXTRecStatus, ATTR_TEXT_BGCOLOR, &bg);
  GetCtrlAttribute(pPopUp, POPUP_TEXTRecStatus, ATTR_TEXT_COLOR, &fg);
  EXPECT_EQ(bg, 0xE0E0E0);
  EXPECT_EQ(fg, 0x000000);
  EXPECT_FALSE(CtrlDimmed(pHandle, MAIN_BTNRun));
  EXPECT_FALSE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
  EXPECT_TRUE(CtrlDimmed(pHandle, MAIN_BTNVideo));
  EXPECT_TRUE(CtrlDimmed(pHandle, MAIN_ButtonTeach));
  ClickCtrl(pHandle, MAIN_BTNStop);
  EXPECT_FALSE(CtrlDimmed(pHandle, MAIN_BTNVideo));
  EXPECT_FALSE(CtrlDimmed(pHandle, MAIN_ButtonTeach));
}

TEST_F(RecorderTest, ShowsActiveStateWhileRecording) {
  sim().SetPacing(true);
  std::string status;
  int bg = 0, fg = 0;
  bool dimmedRun = false, dimmedStart = false;
  ScheduleAt(Timer() + 1.0, [&] {
    status = CtrlText(pPopUp, POPUP_TEXTRecStatus);
    GetCtrlAttribute(pPopUp, POPUP_TEXTRecStatus, ATTR_TEXT_BGCOLOR, &bg);
    GetCtrlAttribute(pPopUp, POPUP_TEXTRecStatus, ATTR_TEXT_COLOR, &fg);
    dimmedRun = CtrlDimmed(pHandle, MAIN_BTNRun);
    dimmedStart = CtrlDimmed(pPopUp, POPUP_BTNStartRecord);
    ClickCtrl(pPopUp, POPUP_BTNStopRecord);
  });
  Record(1, 1000);
  EXPECT_EQ(status, "DATA-RECORDER active ...");
  EXPECT_EQ(bg, 0xFF0000);
  EXPECT_EQ(fg, 0xFFFFFF);
  EXPECT_TRUE(dimmedRun);
  EXPECT_TRUE(dimmedStart);
  // STOP-RECORD undims everything.
  for (int c : {MAIN_BTNRun, MAIN_BTNVideo, MAIN_ButtonTeach, MAIN_ButtonReset})
    EXPECT_FALSE(CtrlDimmed(pHandle, c)) << c;
  EXPECT_FALSE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
  EXPECT_EQ(stop_flag, 1);
  EXPECT_LE(RecordLines().size(), 1u);
}

TEST_F(RecorderTest, NoSensorLeavesHeaderOnlyAndTimesOut) {
  sim().faults().silent = true;
  const double took = Record(0, 10);
  EXPECT_EQ(Lines(ReadAll(recfile_name)).size(), 2u);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Timeout RS232-Line!");
  EXPECT_GT(took, 1.5);
  EXPECT_LT(took, 1.7);
  EXPECT_EQ(stop_flag, 1);
  EXPECT_FALSE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
}

TEST_F(RecorderTest, SensorFallingSilentKeepsTheLinesWritten) {
  sim().SetPacing(true);
  sim().faults().silentAfter = sim().RepliesSent() + 4;
  Record(0, 100);
  EXPECT_EQ(RecordLines().size(), 4u);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Timeout RS232-Line!");
}

TEST_F(RecorderTest, IntervalHoldsAcrossTheWrapOfTheReferenceSecond) {
  sim().SetPacing(true);
  // Start a few seconds before the whole-second count passes 65536.
  const double now = Timer();
  const double target = std::ceil(now / 65536.0) * 65536.0 - 6.3;
  AdvanceVirtualClock(target - now);
  ScheduleAt(Timer() + 120, [] { stop_flag = 1; });  // watchdog only
  const double took = Record(5, 3);
  EXPECT_EQ(RecordLines().size(), 3u);
  EXPECT_GE(took, 12.0);
  EXPECT_LE(took, 15.2);
}

TEST_F(RecorderTest, ChoosingAnExistingFileDeletesItAtOnce) {
  const std::string old = dir_ + "/old.dat";
  WriteFile(old, "old content");
  ShowPopup();
  QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, old);
  ClickCtrl(pPopUp, POPUP_RecordFileNameBtn);
  EXPECT_FALSE(FileExists(old.c_str()));
  EXPECT_EQ(std::string(recfile_name), old);
  EXPECT_EQ(CtrlText(pPopUp, POPUP_TEXTRecFile), old);
  ASSERT_FALSE(PopupCalls().empty());
  const PopupCall& call = PopupCalls().back();
  EXPECT_EQ(call.kind, "file");
  EXPECT_EQ(call.title, "TARVO-Series Recorder-File:");
  EXPECT_EQ(call.text, "TARVOrecord.dat");
  EXPECT_EQ(call.pattern, "*.dat");

  // A new name is taken without touching anything.
  const std::string fresh = dir_ + "/fresh.dat";
  QueueFileAnswer(VAL_NEW_FILE_SELECTED, fresh);
  ClickCtrl(pPopUp, POPUP_RecordFileNameBtn);
  EXPECT_EQ(std::string(recfile_name), fresh);
  EXPECT_EQ(CtrlText(pPopUp, POPUP_TEXTRecFile), fresh);

  // Cancel keeps the previous choice.
  QueueFileAnswer(VAL_NO_FILE_SELECTED, "");
  ClickCtrl(pPopUp, POPUP_RecordFileNameBtn);
  EXPECT_EQ(std::string(recfile_name), fresh);
}

TEST_F(RecorderTest, PathTooLongForTheFieldIsRefusedNotCut) {
  // Both the chosen file and the file its first 260 characters name exist.
  const std::string sub = dir_ + "/" + std::string(150, 'a');
  mkdir(sub.c_str(), 0755);
  const std::string chosen = sub + "/" + std::string(150, 'b') + ".dat";
  const std::string cut = chosen.substr(0, sizeof recfile_name - 1);
  WriteFile(chosen, "chosen");
  WriteFile(cut, "another file");
  const std::string before = recfile_name;
  ShowPopup();
  QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, chosen);
  ClickCtrl(pPopUp, POPUP_RecordFileNameBtn);
  EXPECT_TRUE(FileExists(cut.c_str()));
  EXPECT_TRUE(FileExists(chosen.c_str()));
  EXPECT_EQ(std::string(recfile_name), before);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), kPathTooLongText);
}

TEST_F(RecorderTest, StartingAgainReplacesTheFile) {
  WriteFile(recfile_name, "stale\nstale\nstale\nstale\n");
  sim().SetPacing(true);
  Record(0, 2);
  const std::string text = ReadAll(recfile_name);
  EXPECT_EQ(text.find("stale"), std::string::npos);
  EXPECT_EQ(RecordLines().size(), 2u);
  Record(0, 1);
  EXPECT_EQ(RecordLines().size(), 1u);
}

TEST_F(RecorderTest, ClosingThePopupEndsTheRecording) {
  sim().SetPacing(true);
  ShowPopup();
  ScheduleAt(Timer() + 2.0, [] { FirePanelEvent(pPopUp, EVENT_CLOSE); });
  const double took = Record(0, 60000);
  EXPECT_LT(took, 2.5);
  EXPECT_FALSE(PanelVisible(pPopUp));
  int toggle = 1;
  GetCtrlVal(pHandle, MAIN_TOGGBTN_Recorder, &toggle);
  EXPECT_EQ(toggle, 0);
  EXPECT_EQ(CtrlText(pPopUp, POPUP_TEXTRecStatus), "DATA-RECORDER");
  const size_t written = RecordLines().size();
  EXPECT_GT(written, 10u);
  EXPECT_EQ(CtrlText(pPopUp, POPUP_NUMRecCount), std::to_string(written));
  // Nothing more is requested once it has ended.
  const size_t requests = sim().requests().size();
  RunFor(1.0);
  EXPECT_EQ(sim().requests().size(), requests);
  // The toggle shows it again.
  ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  EXPECT_TRUE(PanelVisible(pPopUp));
  ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  EXPECT_FALSE(PanelVisible(pPopUp));
}

TEST_F(RecorderTest, MainStopEndsTheRecording) {
  sim().SetPacing(true);
  ScheduleAt(Timer() + 1.0, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  const double took = Record(0, 60000);
  EXPECT_LT(took, 1.5);
  EXPECT_FALSE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
  EXPECT_EQ(CtrlText(pPopUp, POPUP_TEXTRecStatus), "DATA-RECORDER");
}

TEST_F(RecorderTest, FileThatCannotBeCreatedIsReportedAndCaughtUp) {
  sim().SetPacing(true);
  const std::string sub = dir_ + "/not-yet";
  SetRecFile(sub + "/rec.dat");
  std::string during;
  ScheduleAt(Timer() + 1.0, [&] {
    during = CtrlText(pHandle, MAIN_TEXTStatus);
    mkdir(sub.c_str(), 0755);  // the drive comes back
  });
  Record(0, 40);
  EXPECT_NE(during.find("not written"), std::string::npos) << during;
  // Nothing was lost: header and all 40 records are in the file, in order.
  const std::vector<std::string> lines = Lines(ReadAll(recfile_name));
  ASSERT_EQ(lines.size(), 42u);
  EXPECT_NE(lines[0].find("TARVO-RECORDER-FILE"), std::string::npos);
  EXPECT_EQ(lines[41], ExpectedRecord());
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Recorder file: delayed records written.");
}

TEST_F(RecorderTest, FileThatCannotBeDeletedIsReported) {
  sim().SetPacing(true);
  const std::string blocker = dir_ + "/rec.dat";
  mkdir(blocker.c_str(), 0755);
  WriteFile(blocker + "/inside", "x");
  SetRecFile(blocker);
  std::string first;
  ScheduleAt(Timer() + 0.01, [&] { first = CtrlText(pHandle, MAIN_TEXTStatus); });
  Record(0, 3);
  EXPECT_EQ(first, "Recorder file cannot be deleted!");
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Recorder file: 3 records not written!");
}

TEST_F(RecorderTest, TimeoutAndUnwrittenRecordsAreBothReported) {
  sim().SetPacing(true);
  SetRecFile(dir_ + "/missing/rec.dat");
  sim().faults().silentAfter = sim().RepliesSent() + 2;
  Record(0, 12);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus),
            "Timeout RS232-Line! Recorder file: 2 records not written!");
}

}  // namespace
