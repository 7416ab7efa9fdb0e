// The service tools: the protocol monitor's record of the line and the
// comparison of the parameter sets.
#include <unistd.h>

#include "link/xflash.h"
#include "monitor/compare.h"
#include "monitor/monitor.h"
#include "monitor/trace.h"
#include "platform/log_controls.h"
#include "tests/support/scripted_app.h"

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

// The line of an entry: direction, command name, decoded words, hex bytes.
TEST(Trace, EntryLineNamesTheCommandDecodesTheWordsAndShowsHex) {
  std::vector<uint16_t> words;
  for (uint16_t i = 0; i < 15; ++i) words.push_back(800 + i);
  Bytes version(72);
  const std::string text = "TARVO-LT-MS V3.03";
  std::copy(text.begin(), text.end(), version.begin() + 3);
  // What went out, what came back (if anything); parts of the last entry's line.
  const struct {
    Bytes sent, reply;
    std::vector<std::string> parts;
  } cases[] = {
      {Request(8),
       tframes::MeasurementFrame({1005, 1231, 1005, 0xFFFF, 0xFFFF}),
       {"from sensor", "8 measurement", "Aval=1005 Bval=1231", "umValue=-1",
        "| 00 AA 00 08 03 ED"}},
      {Request(7), version, {"7 firmware version", "text \"TARVO-LT-MS V3.03\"  |"}},
      {tframes::OrdinaryFrame(1, words, 0), {}, {"to sensor", "set 0: w0=800", " w8=808 w9=809 "}},
      {tframes::OrdinaryFrame(3, words, 1), {}, {" w10=810 w11-12=53216043 w13-14="}},
  };
  for (const auto& c : cases) {
    Feed f;
    f.Event(LineEventKind::kSent, c.sent);
    f.Received(c.reply);
    f.Event(LineEventKind::kTaken, c.reply);
    const std::string line = FormatEntry(f.trace.at(f.trace.size() - 1));
    for (const std::string& part : c.parts) EXPECT_NE(line.find(part), std::string::npos) << line;
  }
}

// ---- The monitor in the running program -------------------------------------

class MonitorTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ClickCtrl(pHandle, MAIN_TOGGBTN_Monitor);
    SetCtrlVal(pMonitor, MONITOR_RINGMonitorFilter, 0);  // everything
    FireCtrlEvent(pMonitor, MONITOR_RINGMonitorFilter, EVENT_COMMIT);
    ClickCtrl(pMonitor, MONITOR_BTNMonitorClear);
    sim().SetPacing(true);
    sim().ClearRequests();
    sim().RecordReplyBytes(true);
  }
  void TearDown() override {
    ClickCtrl(pHandle, MAIN_TOGGBTN_Monitor);
    AppTest::TearDown();
  }
  // The lines the monitor's list shows.
  static std::vector<std::string> Shown() {
    std::vector<std::string> out;
    char line[2048];
    for (int i = 0; GetTextBoxLine(pMonitor, MONITOR_TEXTMonitor, i, line, sizeof line) == 0; ++i)
      if (line[0]) out.push_back(line);
    return out;
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
  for (size_t i = 0; i < req.size(); ++i) {
    std::vector<uint16_t> w = {req[i].sync, req[i].command, req[i].argument};
    w.insert(w.end(), req[i].words.begin(), req[i].words.end());
    ASSERT_EQ(Bytes(sent[i]->bytes.begin(), sent[i]->bytes.begin() + sent[i]->length),
              tframes::WordsToBytes(w))
        << "request " << i;
  }
  const auto commands = tframes::SentCommands(sim());
  for (uint16_t c : {8, 9, 2, 101, 102})
    EXPECT_NE(std::count(commands.begin(), commands.end(), c), 0) << c;

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
  QueueFileAnswer(VAL_NEW_FILE_SELECTED, path);
  ClickCtrl(pMonitor, MONITOR_BTNMonitorSave);
  EXPECT_EQ(CtrlText(pMonitor, MONITOR_TEXTMonitorStatus), "Trace saved to " + path);
  const std::vector<std::string> saved = tframes::Lines(tframes::ReadAll(path));
  EXPECT_EQ(saved, Shown());
  EXPECT_EQ(saved.size(), static_cast<size_t>(unframed));
  for (const std::string& line : saved) EXPECT_NE(line.find("UNFRAMED"), std::string::npos) << line;
}

// Entries that arrive while the list is paused appear on RESUME, once.
TEST_F(MonitorTest, PausedEntriesAppearOnResumeOnce) {
  ClickCtrl(pMonitor, MONITOR_TOGGBTNMonitorPause);
  ClickCtrl(pHandle, MAIN_BTNGet);
  RunFor(0.5);
  EXPECT_TRUE(Shown().empty());
  ClickCtrl(pMonitor, MONITOR_TOGGBTNMonitorPause);
  EXPECT_EQ(Shown().size(), 6u);
  ClickCtrl(pHandle, MAIN_BTNGet);
  // The list follows a quarter of a second later, in real time.
  for (int i = 0; i < 300 && Shown().size() == 6; ++i) {
    usleep(10000);
    ProcessSystemEvents();
  }
  const std::vector<std::string> shown = Shown();
  ASSERT_EQ(shown.size(), 12u);
  for (size_t i = 0; i < shown.size(); ++i)
    EXPECT_EQ(shown[i], FormatEntry(MonitorTrace().at(i))) << i;
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
};

TEST_F(CompareTest, ReadsRamAndEepromOnlyAndFlagsTheWordsChangedInRam) {
  sim().ram[0][8] = 1234;  // a word without a control
  sim().ram[1][12] = 1;    // the high half of a 32-bit value
  sim().ClearRequests();
  const Parameter before = parameter;
  ClickCtrl(pHandle, MAIN_BTNCompare);

  const auto& req = sim().requests();
  ASSERT_EQ(req.size(), 6u);
  for (size_t i = 0; i < req.size(); ++i)
    EXPECT_EQ(Longs({req[i].command, req[i].argument}), Longs({i < 3 ? 2 : 4, long(i % 3)}));
  EXPECT_EQ(std::memcmp(&before, &parameter, sizeof parameter), 0);
  EXPECT_EQ(CtrlText(pCompare, COMPARE_TEXTCompareStatus), "2 words differ between RAM and EEPROM");
  // Set 0 has 14 rows, sets 1 and 2 have 13 each.
  const struct {
    int row;
    std::string word, ram;
    int highlighted;
  } rows[] = {{7, "7", Cell(7, kColEeprom), 0},
              {8, "8", "1234", 1},
              {14 + 11, "11-12", std::to_string(65536 + sim().ram[1][11]), 1},
              {40, "", "", -1}};
  for (const auto& r : rows) {
    EXPECT_EQ(Cell(r.row, kColWord), r.word) << r.row;
    EXPECT_EQ(Cell(r.row, kColRam), r.ram) << r.row;
    EXPECT_EQ(Highlighted(r.row), r.highlighted) << r.row;
  }
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
