// The line's rule: at most one transaction on the line at a time. The guard
// that holds requests back while the line is held, and the rule checked from
// the sensor model's own record of every request and of when its reply ended.

#include <random>

#include "link/xflash.h"
#include "tests/support/scripted_app.h"

namespace {

using namespace tframes;
using tarvo_sim::Request;
using tarvo_sim::SensorSim;

// ---- The guard -------------------------------------------------------------------

// What ran, in order, with its arguments; "busy" when the line was held meanwhile.
std::vector<std::string> g_ran;
void* g_data = nullptr;
int RecordingCallback(int panel, int control, int event, void* data, int d1, int d2) {
  if (DeferIfLineBusy(RecordingCallback, panel, control, event, data, d1, d2)) return 0;
  g_ran.push_back(std::to_string(panel) + " " + std::to_string(control) + " " +
                  std::to_string(event) + " " + std::to_string(d1) + " " + std::to_string(d2) +
                  (LineBusy() ? " busy" : ""));
  if (data) g_data = data;
  return 0;
}
void PlainAction() {
  if (!DeferIfLineBusy(PlainAction)) g_ran.push_back(LineBusy() ? "plain busy" : "plain");
}

using LineGuardTest = ScriptedAppTest;

// For each holder: what is clicked meanwhile waits, named after the outermost
// holder still on the line, at most kMaxDeferred of it, and runs in click order
// with the arguments of the click once the last hold is released.
TEST_F(LineGuardTest, HeldBackRequestsRunInClickOrderAndTheHolderNamesTheWait) {
  // clang-format off
  const std::tuple<LineOwner, const char*, const char*> owners[] = {
      {kOwnerVideo, kLineBusyText, kLineBusyFullText}, {kOwnerUpload, kUploadBusyText, kUploadBusyFullText},
      {kOwnerTransaction, kTransactionBusyText, kTransactionBusyFullText}};
  // clang-format on
  int tag = 0;
  for (const auto& [owner, text, full] : owners) {
    g_ran.clear();
    RecordingCallback(1, 2, 3, nullptr, 4, 5);  // a free line: at once
    AcquireLine(owner);
    AcquireLine();  // a transaction inside: the outer owner still names the wait
    EXPECT_EQ(LineUploading(), owner == kOwnerUpload ? 1 : 0);
    PlainAction();
    std::vector<std::string> shown{Status()}, want{"1 2 3 4 5", "plain"};
    for (int i = 1; i <= kMaxDeferred; ++i) {
      RecordingCallback(i, 7, EVENT_COMMIT, i == 2 ? &tag : nullptr, i, -i);
      shown.push_back(Status());
      if (i < kMaxDeferred)
        want.push_back(std::to_string(i) + " 7 " + std::to_string(EVENT_COMMIT) + " " +
                       std::to_string(i) + " " + std::to_string(-i));
    }
    EXPECT_EQ(shown.front() + "|" + shown.back(), std::string(text) + "|" + full);
    ReleaseLine();
    EXPECT_EQ(Longs({long(g_ran.size()), DeferredCount()}), Longs({1, kMaxDeferred}));
    for (int i = 0; i < 2; ++i) ReleaseLine();  // an extra release is harmless
    EXPECT_EQ(g_ran, want);
    EXPECT_EQ(Longs({LineBusy(), g_data == &tag}), Longs({0, 1}));
  }
  // A released inner hold names the wait no longer.
  AcquireLine();
  AcquireLine(kOwnerVideo);
  ReleaseLine();
  RecordingCallback(0, 0, EVENT_COMMIT, nullptr, 0, 0);
  EXPECT_EQ(Status(), kTransactionBusyText);
  ReleaseLine();
}

// ---- The rule, from the model's record --------------------------------------------

constexpr double kFrameTime = 35 * SensorSim::kByteTime;  // first to last byte of a request

// Every way the record breaks the line's rule, as readable lines.
std::vector<std::string> Violations(const SensorSim& s) {
  std::vector<std::string> out;
  const auto& r = s.requests();
  auto name = [&](size_t i) {
    return "#" + std::to_string(i) + " at " + std::to_string(r[i].time);
  };
  for (size_t i = 1; i < r.size(); ++i) {
    const double start = r[i].time - kFrameTime, prevStart = r[i - 1].time - kFrameTime;
    const bool replyDone = r[i - 1].replyEnd < 0 || start >= r[i - 1].replyEnd - 1e-9;
    if (!replyDone && start < prevStart + TIMEOUT) out.push_back("overlaps reply: " + name(i));
  }
  for (size_t i = 0; i < r.size(); ++i) {
    if (r[i].command == kCmdVideoBlock && r[i].argument == 0 && r[i].words[0] == 0) {
      const int want[3][2] = {{64, 0}, {0, 1}, {64, 1}};
      for (size_t k = 0; k < 3 && i + 1 + k < r.size(); ++k) {  // a pass may be cut short
        const Request& b = r[i + 1 + k];
        if (b.command != kCmdVideoBlock || b.argument != want[k][0] || b.words[0] != want[k][1])
          out.push_back("video pass broken: " + name(i + 1 + k));
      }
    }
    if (r[i].command == kCmdClearXFlash)
      for (size_t j = i + 1; j < i + 1 + kXFlashFrames; ++j)
        if (j >= r.size() || r[j].command != kCmdWriteXFlash) {
          out.push_back("upload broken after " + name(i));
          break;
        }
  }
  return out;
}
using LineRuleTest = LoopTest;

TEST_F(LineRuleTest, VideoStoppedWhileWaitingForRunsReplyRunsNoPass) {
  sim().SetAnswerDelay(0.3);
  After(0.5, [] {
    After(0.01, [] { Click(MAIN_BTNStop); });
    Click(MAIN_BTNVideo);
  });
  Click(MAIN_BTNRun);
  EXPECT_EQ(RequestCount(sim(), kCmdVideoBlock), 0);
  EXPECT_EQ(stop_flag, 1);
}

TEST_F(LineRuleTest, AnUploadHoldsTheLineAndASecondOneIsRefused) {
  std::string refusal;
  After(1.0, [&] {
    Upload(CALIB_BTNWriteXFSL);
    refusal = Status();
    Click(MAIN_BTNGet);  // held back until the upload is over
  });
  Upload(CALIB_BTNWriteXFMA);
  EXPECT_EQ(refusal, kUploadTwiceText);
  EXPECT_EQ(RequestCount(sim(), kCmdFetchRam), 3);  // the GET ran afterwards
  // An upload clicked while a loop runs is refused.
  After(0.5, [&] {
    Upload(CALIB_BTNWriteXFSL);
    refusal = Status();
  });
  After(1.0, [] { Click(MAIN_BTNStop); });
  Click(MAIN_BTNRun);
  EXPECT_EQ(refusal, kUploadInLoopText);
  EXPECT_EQ(RequestCount(sim(), kCmdClearXFlash), 1);
}

TEST_F(LineRuleTest, WhatIsHeldBackIsDroppedWhenTheWindowCloses) {
  double closedAt = -1;
  std::string dropped;
  WhenLineBusy(0.5, [&] {
    ChoosePort(1);
    Click(MAIN_BTNGet);
    EXPECT_EQ(DeferredCount(), 2);
    closedAt = Timer();
    FirePanelEvent(pHandle, EVENT_CLOSE);
    dropped = Status();
  });
  Click(MAIN_BTNVideo);
  RunFor(2.0);
  EXPECT_TRUE(QuitRequested());
  EXPECT_EQ(dropped, "2 held-back requests dropped");
  EXPECT_EQ(RequestCount(sim(), kCmdEcho) + RequestCount(sim(), kCmdFetchRam), 0);
  EXPECT_EQ(RequestCount(sim(), kCmdMeasure, closedAt + 0.1), 0);
}

// Every loop with every other button clicked at random moments: the line's
// rule holds throughout, each loop can still be stopped, and closing the
// window ends the program.
TEST_F(LineRuleTest, RandomClicksNeverPutTwoTransactionsOnTheLine) {
  std::mt19937 rng(20261207);
  std::vector<std::function<void()>> clicks = {[this] { Upload(CALIB_BTNWriteXFSL); },
                                               [] { ClickCtrl(pPopUp, POPUP_BTNStartRecord); },
                                               [] { ClickCtrl(pPopUp, POPUP_BTNStopRecord); }};
  for (int c : {MAIN_BTNGet, MAIN_BTNSend, MAIN_ButtonTeach, MAIN_ButtonReset, MAIN_BTNVideo,
                MAIN_BTNRun, MAIN_BTNStop})
    clicks.push_back([c] { Click(c); });
  const std::vector<std::function<void()>> loops = {
      [] { Click(MAIN_BTNRun); }, [] { Click(MAIN_BTNVideo); }, [] { RecordEveryReply(100000); },
      [this] { Upload(CALIB_BTNWriteXFMA); }};
  constexpr int kClicksPerLoop = 60;
  constexpr double kSpan = 30.0;  // seconds of simulated time per loop
  int clicked = 0;
  for (size_t l = 0; l <= loops.size(); ++l) {
    SCOPED_TRACE(l);
    const bool closing = l == loops.size();
    std::uniform_real_distribution<double> when(0.05, kSpan);
    std::uniform_int_distribution<size_t> which(0, clicks.size() - 1);
    for (int k = 0; k < kClicksPerLoop; ++k)
      After(when(rng), [&, c = clicks[which(rng)]] {
        ++clicked;
        c();
      });
    if (closing) After(kSpan + 0.5, [] { FirePanelEvent(pHandle, EVENT_CLOSE); });
    for (double t = kSpan + 0.5; t < kSpan + 40; t += 2)  // a held-back RUN may start late
      After(t, [] {
        ClickCtrl(pPopUp, POPUP_BTNStopRecord);
        Click(MAIN_BTNStop);
      });
    const double started = Timer();
    loops[closing ? 0 : l]();
    RunFor(kSpan + 42.0 - (Timer() - started));
    ClearSchedule();
    EXPECT_EQ(Longs({stop_flag, LineBusy()}), Longs({1, 0}));
    EXPECT_EQ(Violations(sim()), std::vector<std::string>{});
    if (closing) EXPECT_TRUE(QuitRequested());
    sim().ClearRequests();
  }
  EXPECT_GE(clicked, 200);
}

}  // namespace
