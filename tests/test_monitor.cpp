// The service tools: the protocol monitor's record of the line and the
// comparison of the parameter sets.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/panels.h"
#include "link/frame.h"
#include "link/link.h"
#include "link/payload.h"
#include "link/transfer.h"
#include "link/xflash.h"
#include "monitor/compare.h"
#include "monitor/monitor.h"
#include "monitor/trace.h"
#include "platform/clock.h"
#include "platform/log_controls.h"
#include "platform/popup.h"
#include "platform/popup_script.h"
#include "platform/serial.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "tests/support/frames.h"
#include "tests/support/harness.h"

namespace {

using tframes::Bytes;

// ---- Splitting the port events into entries --------------------------------

struct Feed {
  Trace trace;
  void Event(LineEventKind kind, const Bytes& b) {
    trace.Take(LineEvent{kind, 1, Timer(), 0, b.data(), static_cast<int>(b.size())});
  }
  void Received(const Bytes& b) { Event(LineEventKind::kArrived, b); }
};

Bytes Request(uint16_t command) { return tframes::OrdinaryFrame(command); }

TEST(Trace, SplitsWhatTheProgramTookAndWhatItThrewAway) {
  struct Case {
    const char* what;
    uint16_t request;
    size_t arrived;
    size_t taken;  // then the rest is flushed
    std::vector<std::pair<TraceKind, size_t>> replies;
  } cases[] = {
      {"frame and 4 stray bytes", 2, 40, 36, {{TraceKind::kFrame, 36}, {TraceKind::kDiscarded, 4}}},
      {"version reply", 7, 72, 72, {{TraceKind::kFrame, 72}}},
      {"short block", 9, 127, 127, {{TraceKind::kPartial, 127}}},
      {"block with extra bytes", 9, 130, 130, {{TraceKind::kFrame, 128}, {TraceKind::kStray, 2}}},
      {"nothing taken", 8, 20, 0, {{TraceKind::kDiscarded, 20}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Feed f;
    f.Event(LineEventKind::kOpened, {});
    f.Event(LineEventKind::kSent, Request(c.request));
    Bytes in(c.arrived);
    for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i + 1);
    f.Received(in);
    if (c.taken) f.Event(LineEventKind::kTaken, Bytes(in.begin(), in.begin() + c.taken));
    if (c.arrived > c.taken)
      f.Event(LineEventKind::kDiscarded, Bytes(in.begin() + c.taken, in.end()));
    ASSERT_EQ(f.trace.size(), 1 + c.replies.size());
    EXPECT_EQ(f.trace.at(0).dir, TraceDir::kToSensor);
    size_t offset = 0;
    for (size_t k = 0; k < c.replies.size(); ++k) {
      const TraceEntry& e = f.trace.at(1 + k);
      EXPECT_EQ(e.dir, TraceDir::kFromSensor);
      EXPECT_EQ(e.kind, c.replies[k].first);
      EXPECT_EQ(e.length, c.replies[k].second);
      EXPECT_EQ(e.bytes[0], in[offset]);
      offset += e.length;
      EXPECT_EQ(FormatEntry(e).find("UNFRAMED") != std::string::npos, e.kind != TraceKind::kFrame);
    }
  }
}

TEST(Trace, KeepsTheNewest20000Entries) {
  Feed f;
  for (int i = 0; i < 30000; ++i) {
    Bytes b = Request(8);
    b[4] = static_cast<uint8_t>(i >> 8);
    b[5] = static_cast<uint8_t>(i);
    f.Event(LineEventKind::kSent, b);
  }
  ASSERT_EQ(f.trace.size(), kTraceCapacity);
  EXPECT_EQ(f.trace.added(), 30000u);
  EXPECT_EQ(f.trace.at(0).argument, 10000);
  EXPECT_EQ(f.trace.at(kTraceCapacity - 1).argument, 29999);
}

TEST(Trace, EntryLineNamesTheCommandDecodesTheWordsAndShowsHex) {
  Feed f;
  f.Event(LineEventKind::kSent, Request(8));
  const Bytes reply = tframes::MeasurementFrame({1005, 1231, 1005, 0xFFFF, 0xFFFF});
  f.Received(reply);
  f.Event(LineEventKind::kTaken, reply);
  const std::string line = FormatEntry(f.trace.at(1));
  EXPECT_NE(line.find("from sensor"), std::string::npos);
  EXPECT_NE(line.find("8 measurement"), std::string::npos);
  EXPECT_NE(line.find("Aval=1005 Bval=1231"), std::string::npos);
  EXPECT_NE(line.find("umValue=-1"), std::string::npos);
  EXPECT_NE(line.find("| 00 AA 00 08 03 ED"), std::string::npos);
}

// ---- The monitor in the running program -------------------------------------

class MonitorTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ClickCtrl(pHandle, MAIN_TOGGBTN_Monitor);
    ClickCtrl(pMonitor, MONITOR_BTNMonitorClear);
    sim().SetPacing(true);
    sim().ClearRequests();
    sim().RecordReplyBytes(true);
  }
  void TearDown() override {
    ClickCtrl(pHandle, MAIN_TOGGBTN_Monitor);
    AppTest::TearDown();
  }
  void StopAfter(double seconds) {
    ScheduleAt(Timer() + seconds, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  }
  std::vector<const TraceEntry*> Entries(TraceDir dir) {
    std::vector<const TraceEntry*> out;
    for (size_t i = 0; i < MonitorTrace().size(); ++i)
      if (MonitorTrace().at(i).dir == dir) out.push_back(&MonitorTrace().at(i));
    return out;
  }
};

TEST_F(MonitorTest, EntriesEqualTheLineByteForByteOverRunVideoGetAndUpload) {
  StopAfter(0.5);
  ClickCtrl(pHandle, MAIN_BTNRun);
  StopAfter(0.5);
  ClickCtrl(pHandle, MAIN_BTNVideo);
  ClickCtrl(pHandle, MAIN_BTNGet);
  ASSERT_EQ(ClearXFLASH(), 1);
  BeginXFLASHUpload();
  for (uint16_t page = 0; page < 3; ++page) WriteXFLASH(0, page, linArray);
  RunFor(0.2);
  FlushInQ(com);  // whatever still waits becomes an entry

  // To the sensor: one entry per request the model received, same bytes.
  const auto sent = Entries(TraceDir::kToSensor);
  const auto& req = sim().requests();
  ASSERT_EQ(sent.size(), req.size());
  std::vector<uint16_t> commands;
  for (size_t i = 0; i < req.size(); ++i) {
    std::vector<uint16_t> w = {req[i].sync, req[i].command, req[i].argument};
    w.insert(w.end(), req[i].words.begin(), req[i].words.end());
    const Bytes expect = tframes::WordsToBytes(w);
    ASSERT_EQ(Bytes(sent[i]->bytes.begin(), sent[i]->bytes.begin() + sent[i]->length), expect)
        << "request " << i;
    if (commands.empty() || commands.back() != req[i].command) commands.push_back(req[i].command);
  }
  for (uint16_t c : {8, 9, 2, 101, 102})
    EXPECT_NE(std::find(commands.begin(), commands.end(), c), commands.end()) << c;

  // From the sensor: every byte the model put on the line, in order, and the
  // data blocks as single entries.
  Bytes got;
  int blocks = 0;
  for (const TraceEntry* e : Entries(TraceDir::kFromSensor)) {
    got.insert(got.end(), e->bytes.begin(), e->bytes.begin() + e->length);
    if (e->kind == TraceKind::kFrame && e->length == 128) ++blocks;
  }
  EXPECT_EQ(got, sim().replyBytes());
  EXPECT_GE(blocks, 4);
}

TEST_F(MonitorTest, StrayBytesAndShortBlocksAreMarkedUnframed) {
  sim().faults().strayBytes = 1;
  ClickCtrl(pHandle, MAIN_BTNGet);
  sim().faults().strayBytes = 0;
  sim().faults().shortVideo = true;
  StopAfter(0.3);
  ClickCtrl(pHandle, MAIN_BTNVideo);
  int discarded = 0, partial = 0, unframed = 0;
  for (const TraceEntry* e : Entries(TraceDir::kFromSensor)) {
    if (e->kind != TraceKind::kFrame) ++unframed;
    if (e->kind == TraceKind::kDiscarded && e->length == 1) ++discarded;
    if (e->kind != TraceKind::kFrame && e->length == 127) ++partial;
  }
  EXPECT_GE(discarded, 2);
  EXPECT_GE(partial, 1);
  // The unframed filter shows those entries only, and SAVE writes them.
  SetCtrlVal(pMonitor, MONITOR_RINGMonitorFilter, 14);
  FireCtrlEvent(pMonitor, MONITOR_RINGMonitorFilter, EVENT_COMMIT);
  const std::string path = tframes::MakeTempDir() + "/TARVOtrace.txt";
  ScriptPopups(true);
  QueueFileAnswer(VAL_NEW_FILE_SELECTED, path);
  ClickCtrl(pMonitor, MONITOR_BTNMonitorSave);
  std::FILE* f = std::fopen(path.c_str(), "r");
  ASSERT_NE(f, nullptr);
  char line[2048];
  int lines = 0;
  while (std::fgets(line, sizeof line, f)) {
    EXPECT_NE(std::strstr(line, "UNFRAMED"), nullptr) << line;
    ++lines;
  }
  std::fclose(f);
  EXPECT_EQ(lines, unframed);
}

// ---- The set comparison ------------------------------------------------------

class CompareTest : public AppTest {
 protected:
  std::string Cell(int row, int column) {
    char text[64] = "";
    GetTableCellText(pCompare, COMPARE_TABLECompare, row, column, text, sizeof text);
    return text;
  }
  int Highlighted(int row) {
    int on = -1;
    GetTableRowHighlight(pCompare, COMPARE_TABLECompare, row, &on);
    return on;
  }
  static constexpr int kSet1Word3Row = 14 + 3;  // set 0 has 14 rows
};

TEST_F(CompareTest, ReadsRamAndEepromOnlyAndFlagsAWordChangedInRam) {
  sim().ram[1][3] = 1234;
  sim().ClearRequests();
  const Parameter before = parameter;
  ClickCtrl(pHandle, MAIN_BTNCompare);

  const auto& req = sim().requests();
  ASSERT_EQ(req.size(), 6u);
  for (size_t i = 0; i < req.size(); ++i) {
    EXPECT_EQ(req[i].command, i < 3 ? 2 : 4);
    EXPECT_EQ(req[i].argument, i % 3);
  }
  EXPECT_EQ(std::memcmp(&before, &parameter, sizeof parameter), 0);
  EXPECT_EQ(CtrlText(pCompare, COMPARE_TEXTCompareStatus), "1 word differs between RAM and EEPROM");
  EXPECT_EQ(Cell(kSet1Word3Row, kColRam), "1234");
  EXPECT_EQ(Cell(kSet1Word3Row, kColEeprom), Cell(kSet1Word3Row, kColPanel));
  EXPECT_EQ(Highlighted(kSet1Word3Row), 1);
  EXPECT_EQ(Highlighted(kSet1Word3Row - 1), 0);
}

TEST_F(CompareTest, SilentSensorLeavesColumnsUnread) {
  sim().faults().silent = true;
  ClickCtrl(pHandle, MAIN_BTNCompare);
  EXPECT_EQ(Cell(0, kColRam), kCompareUnreadText);
  EXPECT_EQ(Cell(39, kColEeprom), kCompareUnreadText);
  EXPECT_EQ(Cell(0, kColPanel), "1");
  EXPECT_EQ(CtrlText(pCompare, COMPARE_TEXTCompareStatus).rfind(kCompareUnreadPrefix, 0), 0u);
}

}  // namespace
