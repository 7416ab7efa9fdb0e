// The service tools: the protocol monitor's record of the line and the
// comparison of the parameter sets.
#include <unistd.h>

#include <numeric>

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
};

Bytes Request(uint16_t command) { return tframes::OrdinaryFrame(command); }
bool Unframed(const TraceEntry& e) { return FormatEntry(e).find("UNFRAMED") != std::string::npos; }

TEST(Trace, SplitsWhatTheProgramTookAndWhatItThrewAwayAndKeepsTheNewest) {
  using K = TraceKind;
  using Runs = std::vector<std::pair<K, size_t>>;
  // Request, bytes arrived, bytes taken (the rest is flushed), the entries of the reply.
  const std::tuple<uint16_t, size_t, size_t, Runs> cases[] = {
      {2, 40, 36, {{K::kFrame, 36}, {K::kDiscarded, 4}}},
      {7, 72, 72, {{K::kFrame, 72}}},
      {9, 127, 127, {{K::kPartial, 127}}},
      {9, 130, 130, {{K::kFrame, 128}, {K::kStray, 2}}},
      {8, 20, 0, {{K::kDiscarded, 20}}}};
  for (const auto& [request, arrived, taken, replies] : cases) {
    Feed f;
    f.Event(LineEventKind::kOpened, {});
    f.Event(LineEventKind::kSent, Request(request));
    Bytes in(arrived);
    std::iota(in.begin(), in.end(), uint8_t{1});
    f.Event(LineEventKind::kArrived, in);
    if (taken) f.Event(LineEventKind::kTaken, Bytes(in.begin(), in.begin() + taken));
    if (arrived > taken) f.Event(LineEventKind::kDiscarded, Bytes(in.begin() + taken, in.end()));
    Runs got;
    for (size_t k = 1, offset = 0; k < f.trace.size(); offset += f.trace.at(k++).length) {
      const TraceEntry& e = f.trace.at(k);
      got.emplace_back(e.kind, e.length);
      EXPECT_EQ(Longs({long(e.dir), e.bytes[0], Unframed(e)}),
                Longs({long(TraceDir::kFromSensor), in[offset], e.kind != TraceKind::kFrame}));
    }
    EXPECT_EQ(got, replies) << arrived << " bytes after request " << request;
  }
  // Only the newest entries are kept.
  Feed f;
  for (int i = 0; i < 30000; ++i)
    f.Event(LineEventKind::kSent, tframes::OrdinaryFrame(8, {}, static_cast<uint16_t>(i)));
  EXPECT_EQ(Longs({long(f.trace.size()), long(f.trace.added()), f.trace.at(0).argument,
                   f.trace.at(kTraceCapacity - 1).argument}),
            Longs({long(kTraceCapacity), 30000, 10000, 29999}));
}

// The line of an entry: direction, command name, decoded words, hex bytes.
TEST(Trace, EntryLineNamesTheCommandDecodesTheWordsAndShowsHex) {
  std::vector<uint16_t> words(15);
  std::iota(words.begin(), words.end(), uint16_t{800});
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
    f.Event(LineEventKind::kArrived, c.reply);
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
    Filter(0);  // everything
    ClickCtrl(pMonitor, MONITOR_BTNMonitorClear);
    sim().SetPacing(true);
    sim().ClearRequests();
    sim().RecordReplyBytes(true);
  }
  static void Filter(int item) {
    SetCtrlVal(pMonitor, MONITOR_RINGMonitorFilter, item);
    FireCtrlEvent(pMonitor, MONITOR_RINGMonitorFilter, EVENT_COMMIT);
  }
  // The lines the monitor's list shows.
  static std::vector<std::string> Shown() {
    std::vector<std::string> out;
    char line[2048];
    for (int i = 0; GetTextBoxLine(pMonitor, MONITOR_TEXTMonitor, i, line, sizeof line) == 0; ++i)
      if (line[0]) out.push_back(line);
    return out;
  }
};

// Entries that arrive while the list is paused appear on RESUME, once. Over
// RUN, VIDEO, GET with stray bytes and short blocks the entries equal the line
// byte for byte (how replies split into entries: the Trace tests).
TEST_F(MonitorTest, PausedEntriesAppearOnceEntriesEqualTheLineAndUnframedOnesAreSaved) {
  ClickCtrl(pMonitor, MONITOR_TOGGBTNMonitorPause);
  ClickCtrl(pHandle, MAIN_BTNGet);
  RunFor(0.5);
  EXPECT_TRUE(Shown().empty());
  ClickCtrl(pMonitor, MONITOR_TOGGBTNMonitorPause);
  EXPECT_EQ(Shown().size(), 6u);
  ClickCtrl(pHandle, MAIN_BTNGet);
  // The list follows a quarter of a second later, in real time.
  for (int i = 0; i < 300 && Shown().size() < 12; ++i) usleep(10000), ProcessSystemEvents();
  std::vector<std::string> shown;
  for (size_t i = 0; i < 12; ++i) shown.push_back(FormatEntry(MonitorTrace().at(i)));
  EXPECT_EQ(Shown(), shown);

  StopAfter(0.5);
  ClickCtrl(pHandle, MAIN_BTNRun);
  StopAfter(0.5);
  ClickCtrl(pHandle, MAIN_BTNVideo);
  sim().faults().strayBytes = 1;
  ClickCtrl(pHandle, MAIN_BTNGet);
  sim().faults() = {};
  sim().faults().shortVideo = true;
  StopAfter(0.3);
  ClickCtrl(pHandle, MAIN_BTNVideo);
  sim().faults() = {};
  RunFor(0.2);
  FlushInQ(com);  // whatever still waits becomes an entry

  // To the sensor: one entry per request the model received, same bytes.
  std::vector<std::pair<Bytes, TraceKind>> want;
  for (const auto& r : sim().requests())
    want.emplace_back(tframes::WordsToBytes({r.words.begin(), r.words.end()}, 36,
                                            {r.sync, r.command, r.argument}),
                      TraceKind::kFrame);
  // From the sensor: every byte the model put on the line, in order, at least
  // two stray bytes and a short block unframed.
  std::vector<std::pair<Bytes, TraceKind>> sent;
  Bytes got;
  size_t unframed = 0;
  for (size_t i = 0; i < MonitorTrace().size(); ++i) {
    const TraceEntry& e = MonitorTrace().at(i);
    const Bytes bytes(e.bytes.begin(), e.bytes.begin() + e.length);
    if (e.dir == TraceDir::kToSensor) sent.emplace_back(bytes, e.kind);
    if (e.dir != TraceDir::kFromSensor) continue;
    got.insert(got.end(), bytes.begin(), bytes.end());
    unframed += e.kind != TraceKind::kFrame;
  }
  EXPECT_EQ(std::make_pair(sent, got), std::make_pair(want, sim().replyBytes()));
  EXPECT_GE(unframed, 3u);

  // The unframed filter shows those entries only, and SAVE writes them.
  Filter(14);
  const std::string path = tframes::MakeTempDir() + "/TARVOtrace.txt";
  QueueFileAnswer(VAL_NEW_FILE_SELECTED, path);
  ClickCtrl(pMonitor, MONITOR_BTNMonitorSave);
  EXPECT_EQ(CtrlText(pMonitor, MONITOR_TEXTMonitorStatus), "Trace saved to " + path);
  const std::vector<std::string> saved = tframes::Lines(tframes::ReadAll(path));
  EXPECT_EQ(Longs({saved == Shown(), long(saved.size())}), Longs({1, long(unframed)}));
}

// ---- The set comparison ------------------------------------------------------

std::string CompareCell(int row, int column) {
  char text[64] = "";
  GetTableCellText(pCompare, COMPARE_TABLECompare, row, column, text, sizeof text);
  return text;
}

using CompareTest = AppTest;

TEST_F(CompareTest, ReadsRamAndEepromOnlyAndFlagsTheWordsChangedInRam) {
  sim().ram[0][8] = 1234;  // a word without a control
  sim().ram[1][12] = 1;    // the high half of a 32-bit value
  sim().ClearRequests();
  const Parameter before = parameter;
  ClickCtrl(pHandle, MAIN_BTNCompare);

  Longs requests;  // command and argument: the three RAM sets, then the three EEPROM sets
  for (const auto& r : sim().requests()) requests.insert(requests.end(), {r.command, r.argument});
  EXPECT_EQ(requests, Longs({2, 0, 2, 1, 2, 2, 4, 0, 4, 1, 4, 2}));
  EXPECT_EQ(std::memcmp(&before, &parameter, sizeof parameter), 0);
  EXPECT_EQ(CtrlText(pCompare, COMPARE_TEXTCompareStatus), "2 words differ between RAM and EEPROM");
  // Set 0 has 14 rows, sets 1 and 2 have 13 each: row, word, RAM value, highlighted.
  const std::tuple<int, std::string, std::string, int> rows[] = {
      {7, "7", CompareCell(7, kColEeprom), 0},
      {8, "8", "1234", 1},
      {14 + 11, "11-12", std::to_string(65536 + sim().ram[1][11]), 1},
      {40, "", "", -1}};
  for (const auto& [row, word, ram, highlighted] : rows) {
    int on = -1;
    GetTableRowHighlight(pCompare, COMPARE_TABLECompare, row, &on);
    EXPECT_EQ(std::make_tuple(CompareCell(row, kColWord), CompareCell(row, kColRam), on),
              std::make_tuple(word, ram, highlighted))
        << row;
  }
  // A silent sensor leaves the columns unread.
  sim().faults().silent = true;
  ClickCtrl(pHandle, MAIN_BTNCompare);
  EXPECT_EQ(CompareCell(0, kColRam) + CompareCell(39, kColEeprom) + CompareCell(0, kColPanel),
            std::string(kCompareUnreadText) + kCompareUnreadText + "1");
  EXPECT_EQ(CtrlText(pCompare, COMPARE_TEXTCompareStatus).rfind(kCompareUnreadPrefix, 0), 0u);
}

}  // namespace
