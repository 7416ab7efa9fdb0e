// Data recorder: duration display, file layout, the recording loop on the
// virtual clock, the file dialogue, stopping, and file trouble.
#include <sys/stat.h>

#include <cmath>

#include "platform/files.h"
#include "recorder/rec_file.h"
#include "recorder/record_format.h"
#include "recorder/recorder.h"
#include "tests/support/scripted_app.h"

namespace {

using namespace tframes;

// ---- Pure pieces -----------------------------------------------------------

TEST(RecFile, RecordBytesAndAFullStoreCountsTheLostRecords) {
  char b[200];
  auto text = [&b](int n) { return n < 0 ? std::string("refused") : std::string(b, n); };
  EXPECT_EQ(std::vector<std::string>(
                {text(FormatRecHeaderLine1(b, sizeof b, "03-07-2024", "09:05:01", 65535)),
                 text(FormatRecHeaderLine2(b, sizeof b, 4294967295u)),
                 text(FormatRecLine(b, sizeof b, 1000, 1200, 65535, -1, 0, 3)),
                 text(FormatRecLine(b, sizeof b, 0, 0, 0, -2147483647 - 1, 65535, 65535)),
                 text(FormatRecLine(b, 10, 1000, 1200, 65535, -1, 0, 3))}),  // too small
            std::vector<std::string>(
                {"03-07-2024 09:05:01  TARVO-RECORDER-FILE: Time-Interval[s]: 65535\r\n",
                 "SETPOINT-VALUE [\xB5m]: 4294967295\r\n", "1000\t1200\t65535\t-1\t0\t3\r\n",
                 "0\t0\t0\t-2147483648\t65535\t65535\r\n", "refused"}));  // not cut
  // A full store of records not yet written counts the ones it could not keep.
  static RecFileWriter w;
  RecWriterStart(w, (MakeTempDir() + "/nodir/rec.dat").c_str());
  const std::string rec = std::string(100, 'x') + "\r\n";
  const long fit = static_cast<long>(kRecPendingBytes / rec.size());
  for (long i = 0; i < fit + 7; ++i) RecWriterAddRecord(w, rec.data(), rec.size());
  EXPECT_EQ(Longs({RecWriterRecordsNotWritten(w), w.recordsLost}), Longs({fit + 7, 7}));
}

// ---- The recorder in the running program -----------------------------------

class RecorderTest : public PacedSensorTest {
 protected:
  void SetUp() override {
    PacedSensorTest::SetUp();
    dir_ = MakeTempDir();
    std::snprintf(recfile_name, sizeof recfile_name, "%s/TARVORecord.dat", dir_.c_str());
    ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  }
  // Runs a whole recording; returns the virtual seconds it took.
  double Record(int interval, int records) {
    EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, interval);
    EnterCtrlVal(pPopUp, POPUP_NEDITRecSamples, records);
    const double t0 = Timer();
    ClickCtrl(pPopUp, POPUP_BTNStartRecord);
    return Timer() - t0;
  }
  // RUN, the recorder's start, VIDEO and TEACH dimmed.
  static Longs Dimmed() {
    return {CtrlDimmed(pHandle, MAIN_BTNRun), CtrlDimmed(pPopUp, POPUP_BTNStartRecord),
            CtrlDimmed(pHandle, MAIN_BTNVideo), CtrlDimmed(pHandle, MAIN_ButtonTeach)};
  }
  std::vector<std::string> RecordLines() {
    std::vector<std::string> lines = Lines(ReadAll(recfile_name));
    lines.erase(lines.begin(), lines.begin() + std::min<size_t>(2, lines.size()));
    return lines;
  }
  // The record line the sensor model's words should give.
  std::string ExpectedRecord() {
    const auto w = sim().MeasurementWords();
    char buf[128];
    std::snprintf(buf, sizeof buf, "%u\t%u\t%u\t%d\t%u\t%u\r", w[0], w[1], w[2],
                  static_cast<int32_t>(w[3] | uint32_t{w[4]} << 16), w[6], w[7]);
    return buf;
  }
  std::string dir_;
};

// Days, hours, minutes and seconds of interval x records follow either edit,
// which also clears the record count. The service code as interval reveals
// the upload buttons, which other values leave as they are.
TEST_F(RecorderTest, DurationFieldsFollowBothEditsAndTheServiceCodeThenTheFileIsChosen) {
  const std::tuple<int, int, const char*> rows[] = {
      // first edit, second, shown
      {POPUP_NEDITRecSamples, 61, "0 1 2 1 0"},  // 61 x 61 = 3721 s
      {POPUP_NEDITRecTime, 65535, "49708 18 3 45 0"}};
  for (const auto& [first, value, want] : rows) {
    SetCtrlVal(pPopUp, POPUP_NUMRecCount, 17);
    EnterCtrlVal(pPopUp, first, value);
    EnterCtrlVal(pPopUp, POPUP_NEDITRecSamples + POPUP_NEDITRecTime - first, value);
    std::string shown;
    for (int c : {POPUP_NUMRecDays, POPUP_NUMRecHours, POPUP_NUMRecMinutes, POPUP_NUMRecSeconds,
                  POPUP_NUMRecCount})
      shown += (shown.empty() ? "" : " ") + CtrlText(pPopUp, c);
    EXPECT_EQ(shown, want);
  }
  DisplayPanel(pCalib);
  Longs shown;
  for (int interval : {6172, 6173, 10}) {
    EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, interval);
    shown.push_back(CtrlVisible(pCalib, CALIB_BTNWriteXFSL) +
                    CtrlVisible(pCalib, CALIB_BTNWriteXFMA));
  }
  EXPECT_EQ(shown, Longs({0, 2, 2}));

  // An existing file chosen is deleted at once; a new name is taken without
  // touching anything; cancel keeps the name, and so does a path too long for
  // the field: it is refused, not cut, and the file stays.
  const std::string old = dir_ + "/old.dat", fresh = dir_ + "/fresh.dat";
  const std::string sub = dir_ + "/" + std::string(150, 'a');
  mkdir(sub.c_str(), 0755);
  const std::string chosen = sub + "/" + std::string(150, 'b') + ".dat";
  for (const std::string& f : {old, fresh, chosen}) WriteFile(f, f);
  QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, old);
  ClickCtrl(pPopUp, POPUP_RecordFileNameBtn);
  EXPECT_FALSE(FileExists(old.c_str()));
  const std::pair<int, std::string> later[] = {{VAL_NEW_FILE_SELECTED, fresh},
                                               {VAL_NO_FILE_SELECTED, ""},
                                               {VAL_EXISTING_FILE_SELECTED, chosen}};
  for (const auto& [answer, path] : later) {
    QueueFileAnswer(answer, path);
    ClickCtrl(pPopUp, POPUP_RecordFileNameBtn);
    EXPECT_EQ(std::string(recfile_name) + " " + CtrlText(pPopUp, POPUP_TEXTRecFile),
              fresh + " " + fresh);
  }
  EXPECT_EQ(Status(), kPathTooLongText);
  for (const std::string& f : {fresh, chosen}) EXPECT_EQ(ReadAll(f), f);
}

// Three records 5 s apart, then the recording ends by itself; also across
// the wrap of the reference second at 65536. The file is replaced and starts
// with the two header lines, the current setpoint value (not the panel's) in
// the second. STOP RECORD or the main STOP ends a recording; while it runs
// the popup says so and the other loops' buttons are dimmed.
TEST_F(RecorderTest, ThreeRecordsFiveSecondsApartThenItStopsByItselfOrByEitherStop) {
  WriteFile(recfile_name, "stale\nstale\nstale\nstale\n");
  parameter.set1Long[1] = 123456;
  for (bool wrap : {false, true}) {
    SCOPED_TRACE(wrap);
    const double now = Timer();
    if (wrap) AdvanceVirtualClock(std::ceil(now / 65536.0) * 65536.0 - 6.3 - now);
    After(120, [] { stop_flag = 1; });  // watchdog only
    const double took = Record(5, 3);
    ClearSchedule();
    const std::vector<std::string> lines = Lines(ReadAll(recfile_name));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], std::string(DateStr()) + lines[0].substr(10, 11) +
                            "TARVO-RECORDER-FILE: Time-Interval[s]: 5\r");
    EXPECT_EQ(lines[1], "SETPOINT-VALUE [\xB5m]: 123456\r");
    // Each record lies 4 to 5 whole seconds (plus a reply) after the one before.
    EXPECT_TRUE(took >= 12.0 && took <= 15.2) << took;
    EXPECT_EQ(RecordLines(), std::vector<std::string>(3, ExpectedRecord()));
    EXPECT_EQ(CtrlText(pPopUp, POPUP_NUMRecCount) + " " + CtrlText(pPopUp, POPUP_TEXTRecStatus),
              "3 DATA-RECORDER");
    EXPECT_EQ(Dimmed(), Longs({0, 0, 1, 1}));
    ClickCtrl(pHandle, MAIN_BTNStop);
    EXPECT_EQ(Dimmed(), Longs({0, 0, 0, 0}));

    std::string status;
    bool dimmed = false;
    After(1.0, [&] {
      status = CtrlText(pPopUp, POPUP_TEXTRecStatus);
      dimmed = CtrlDimmed(pHandle, MAIN_BTNRun) && CtrlDimmed(pPopUp, POPUP_BTNStartRecord);
      wrap ? ClickCtrl(pHandle, MAIN_BTNStop) : ClickCtrl(pPopUp, POPUP_BTNStopRecord);
    });
    EXPECT_TRUE(Record(1, 1000) < 1.5 && RecordLines().size() <= 1u);
    EXPECT_EQ(status + (dimmed ? " dimmed " : " ") + CtrlText(pPopUp, POPUP_TEXTRecStatus),
              "DATA-RECORDER active ... dimmed DATA-RECORDER");
    EXPECT_EQ(Dimmed(), Longs({0, 0, 0, 0}));
  }
}

// Interval 0 records every reply. Silence and file trouble: what the status
// line says during the recording and at its end, and what reached the file
// (every record, once the file can be written again). Every request is a
// measurement with set 0.
TEST_F(RecorderTest, SilenceAndFileTroubleAreReportedAndNothingWrittenIsLost) {
  mkdir((dir_ + "/blocker.dat").c_str(), 0755);  // a file that cannot be deleted
  WriteFile(dir_ + "/blocker.dat/inside", "x");
  const struct {
    const char* file;
    int silentAfter, records;  // replies before the sensor falls silent (-1: never)
    double at;                 // when the status is read (and "not-yet" comes to exist)
    const char *during, *final;
    size_t lines;  // in the file, header included
  } rows[] = {{"blocker.dat", -1, 3, 0.01, "Recorder file cannot be deleted!",
               "Recorder file: 3 records not written!", 0},
              {"silent4.dat", 4, 100, 0, "", "Timeout RS232-Line!", 6},
              {"not-yet/rec.dat", -1, 40, 1,
               "Recorder file: ", "Recorder file: delayed records written.", 42},
              {"missing/rec.dat", 2, 12, 0, "",
               "Timeout RS232-Line! Recorder file: 2 records not written!", 0}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.file);
    std::snprintf(recfile_name, sizeof recfile_name, "%s/%s", dir_.c_str(), r.file);
    sim().faults().silentAfter = r.silentAfter < 0 ? -1 : sim().RepliesSent() + r.silentAfter;
    std::string during;
    EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, 0);
    EnterCtrlVal(pPopUp, POPUP_NEDITRecSamples, r.records);
    After(r.at, [&] {
      during = Status();
      if (r.at == 1) mkdir((dir_ + "/not-yet").c_str(), 0755);
    });
    ClickCtrl(pPopUp, POPUP_BTNStartRecord);
    ClearSchedule();
    EXPECT_EQ(during.rfind(r.during, 0), 0u) << during;
    EXPECT_EQ(Status(), r.final);
    EXPECT_EQ(Lines(ReadAll(recfile_name)).size(), r.lines);
    EXPECT_EQ(RecordLines(), std::vector<std::string>(r.lines ? r.lines - 2 : 0, ExpectedRecord()));
  }
  const auto set0 = HeldSet(0);
  for (const auto& req : SentWith(sim(), kCmdMeasure))
    EXPECT_TRUE(std::equal(set0.begin(), set0.end(), req.words.begin()));
}

}  // namespace
