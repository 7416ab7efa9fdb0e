// The line's rule: at most one transaction on the line at a time. Checked from
// the sensor model's own record of every request and of when its reply ended.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/panels.h"
#include "link/commands.h"
#include "link/line.h"
#include "link/link.h"
#include "link/xflash.h"
#include "measure/run.h"
#include "platform/clock.h"
#include "platform/popup.h"
#include "platform/popup_script.h"
#include "platform/serial.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "recorder/recorder.h"
#include "tests/support/frames.h"
#include "tests/support/harness.h"

namespace {

using tarvo_sim::Request;
using tarvo_sim::SensorSim;

constexpr double kFrameTime = 35 * SensorSim::kByteTime;  // first to last byte of a request

// Every way the record breaks the line's rule, as readable lines.
std::vector<std::string> Violations(const SensorSim& s) {
  std::vector<std::string> out;
  const auto& r = s.requests();
  auto name = [&](size_t i) {
    return "#" + std::to_string(i) + " cmd " + std::to_string(r[i].command) + " at " +
           std::to_string(r[i].time);
  };
  for (size_t i = 1; i < r.size(); ++i) {
    const double start = r[i].time - kFrameTime, prevStart = r[i - 1].time - kFrameTime;
    const bool replyDone = r[i - 1].replyEnd < 0 || start >= r[i - 1].replyEnd - 1e-9;
    if (!replyDone && start < prevStart + TIMEOUT) out.push_back("overlaps reply: " + name(i));
  }
  for (size_t i = 0; i < r.size(); ++i) {
    if (r[i].command == kCmdVideoBlock && r[i].argument == 0 && r[i].words[0] == 0) {
      const int want[3][2] = {{64, 0}, {0, 1}, {64, 1}};
      for (int k = 0; k < 3; ++k) {
        const size_t j = i + 1 + k;
        if (j >= r.size()) break;  // a pass cut short by a time-out or the end
        if (r[j].command != kCmdVideoBlock || r[j].argument != want[k][0] ||
            r[j].words[0] != want[k][1])
          out.push_back("video pass broken: " + name(j));
      }
    }
    if (r[i].command == kCmdClearXFlash) {
      for (size_t j = i + 1; j < i + 1 + kXFlashFrames; ++j)
        if (j >= r.size() || r[j].command != kCmdWriteXFlash) {
          out.push_back("upload broken after " + name(i));
          break;
        }
    }
  }
  return out;
}

class LineRuleTest : public PacedSensorTest {
 protected:
  void SetUp() override {
    PacedSensorTest::SetUp();
    ScriptPopups(true);
    dir_ = tframes::MakeTempDir();
    std::snprintf(recfile_name, sizeof recfile_name, "%s", (dir_ + "/TARVORecord.dat").c_str());
    std::string text;
    for (int i = 0; i < kLinValues; ++i) text += std::to_string(i) + "\n";
    tframes::WriteFile(dir_ + "/XF-LINEAR.DAT", text);
    SetCtrlAttribute(pCalib, CALIB_BTNWriteXFMA, ATTR_VISIBLE, 1);
    SetCtrlAttribute(pCalib, CALIB_BTNWriteXFSL, ATTR_VISIBLE, 1);
    if (!PanelVisible(pPopUp)) ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
    sim().ClearRequests();
  }
  void At(double dt, std::function<void()> f) { ScheduleAt(Timer() + dt, std::move(f)); }
  // Runs f at the first moment after dt at which a video pass holds the line.
  void DuringPass(double dt, std::function<void()> f) {
    At(dt, [this, f] {
      if (LineBusy())
        f();
      else
        DuringPass(0.005, f);
    });
  }
  // STOP (and STOP RECORD) every 2 s in [from, to): ends loops that start late.
  void KeepStopping(double from, double to) {
    for (double t = from; t < to; t += 2)
      At(t, [] {
        ClickCtrl(pPopUp, POPUP_BTNStopRecord);
        ClickCtrl(pHandle, MAIN_BTNStop);
      });
  }
  void Upload(int button) {
    QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, dir_ + "/XF-LINEAR.DAT");
    FireCtrlEvent(pCalib, button, EVENT_COMMIT);
  }
  void Record(int records) {
    EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, 0);
    EnterCtrlVal(pPopUp, POPUP_NEDITRecSamples, records);
    ClickCtrl(pPopUp, POPUP_BTNStartRecord);
  }
  std::string dir_;
};

TEST_F(LineRuleTest, GetSendAndResetDuringRunWaitForItsReply) {
  At(0.5, [] { ClickCtrl(pHandle, MAIN_BTNGet); });
  At(1.3, [] { ClickCtrl(pHandle, MAIN_BTNSend); });
  At(1.9, [] { ClickCtrl(pHandle, MAIN_ButtonReset); });
  At(2.6, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(Violations(sim()), std::vector<std::string>{});
  EXPECT_EQ(RequestCount(sim(), kCmdFetchRam), 3);
  EXPECT_EQ(RequestCount(sim(), kCmdSendRam), 3);
  EXPECT_EQ(RequestCount(sim(), kCmdResetMaxMin), 1);
  EXPECT_GT(RequestCount(sim(), kCmdMeasure, 2.2), 5);  // RUN went on after each of them
}

TEST_F(LineRuleTest, StopThenRunDuringAVideoPassWaitsForThePass) {
  DuringPass(0.5, [] {
    ClickCtrl(pHandle, MAIN_BTNStop);
    ClickCtrl(pHandle, MAIN_BTNRun);  // held back: runs once the pass has ended
  });
  At(1.5, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, MAIN_BTNVideo);
  EXPECT_EQ(Violations(sim()), std::vector<std::string>{});
  EXPECT_GT(RequestCount(sim(), kCmdMeasure, 1.0), 10);
  EXPECT_EQ(Status(), "Line Ok!");
}

TEST_F(LineRuleTest, VideoStoppedWhileWaitingForRunsReplyRunsNoPass) {
  sim().SetAnswerDelay(0.3);
  At(0.5, [this] {
    At(0.01, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
    ClickCtrl(pHandle, MAIN_BTNVideo);
  });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(RequestCount(sim(), kCmdVideoBlock), 0);
  EXPECT_EQ(stop_flag, 1);
}

TEST_F(LineRuleTest, AnUploadHoldsTheLineAndASecondOneIsRefused) {
  std::string refusal;
  At(1.0, [&] {
    Upload(CALIB_BTNWriteXFSL);
    refusal = Status();
    ClickCtrl(pHandle, MAIN_BTNGet);   // held back until the upload is over
    ClickCtrl(pHandle, MAIN_BTNRun);
  });
  KeepStopping(2.0, 40.0);
  Upload(CALIB_BTNWriteXFMA);  // RUN, held back, runs at its end
  ClearSchedule();
  EXPECT_EQ(refusal, kUploadTwiceText);
  EXPECT_EQ(RequestCount(sim(), kCmdClearXFlash), 1);
  EXPECT_EQ(RequestCount(sim(), kCmdWriteXFlash), kXFlashFrames);
  EXPECT_EQ(Violations(sim()), std::vector<std::string>{});
  EXPECT_EQ(RequestCount(sim(), kCmdFetchRam), 3);  // the GET ran afterwards, then RUN
  EXPECT_GT(RequestCount(sim(), kCmdMeasure), 5);
  EXPECT_EQ(stop_flag, 1);
  // An upload clicked while a loop runs is refused.
  At(0.5, [&] { Upload(CALIB_BTNWriteXFSL); refusal = Status(); });
  At(1.0, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(refusal, kUploadInLoopText);
  EXPECT_EQ(RequestCount(sim(), kCmdClearXFlash), 1);
}

TEST_F(LineRuleTest, WhatIsHeldBackIsDroppedWhenTheWindowCloses) {
  double closedAt = -1;
  std::string dropped;
  DuringPass(0.5, [&] {
    SetCtrlVal(pHandle, MAIN_DropDCom, 1);
    FireCtrlEvent(pHandle, MAIN_DropDCom, EVENT_COMMIT);
    ClickCtrl(pHandle, MAIN_BTNGet);
    EXPECT_EQ(DeferredCount(), 2);
    closedAt = Timer();
    FirePanelEvent(pHandle, EVENT_CLOSE);
    dropped = Status();
  });
  ClickCtrl(pHandle, MAIN_BTNVideo);
  RunFor(2.0);
  EXPECT_TRUE(QuitRequested());
  EXPECT_EQ(dropped, "2 held-back requests dropped");
  EXPECT_EQ(DeferredCount(), 0);
  EXPECT_EQ(RequestCount(sim(), kCmdEcho), 0);  // no connect sequence after the close
  EXPECT_EQ(RequestCount(sim(), kCmdFetchRam), 0);
  EXPECT_EQ(RequestCount(sim(), kCmdMeasure, closedAt + 0.1), 0);
}

// Every loop with every other button clicked at random moments: the line's
// rule holds throughout, each loop can still be stopped, and closing the
// window ends the program.
TEST_F(LineRuleTest, RandomClicksNeverPutTwoTransactionsOnTheLine) {
  std::mt19937 rng(20261207);
  const std::vector<std::function<void()>> clicks = {
      [] { ClickCtrl(pHandle, MAIN_BTNGet); },
      [] { ClickCtrl(pHandle, MAIN_BTNSend); },
      [] { ClickCtrl(pHandle, MAIN_ButtonTeach); },
      [] { ClickCtrl(pHandle, MAIN_ButtonReset); },
      [] { ClickCtrl(pHandle, MAIN_BTNVideo); },
      [] { ClickCtrl(pHandle, MAIN_BTNRun); },
      [] { ClickCtrl(pHandle, MAIN_BTNStop); },
      [] { ClickCtrl(pPopUp, POPUP_BTNStartRecord); },
      [] { ClickCtrl(pPopUp, POPUP_BTNStopRecord); },
      [this] { Upload(CALIB_BTNWriteXFSL); },
  };
  const std::vector<std::function<void()>> loops = {
      [] { ClickCtrl(pHandle, MAIN_BTNRun); }, [] { ClickCtrl(pHandle, MAIN_BTNVideo); },
      [this] { Record(100000); }, [this] { Upload(CALIB_BTNWriteXFMA); }};
  constexpr int kClicksPerLoop = 60;
  constexpr double kSpan = 30.0;  // seconds of simulated time per loop
  int clicked = 0;
  for (size_t l = 0; l <= loops.size(); ++l) {
    SCOPED_TRACE(l);
    const bool closing = l == loops.size();
    std::uniform_real_distribution<double> when(0.05, kSpan);
    std::uniform_int_distribution<size_t> which(0, clicks.size() - 1);
    for (int k = 0; k < kClicksPerLoop; ++k)
      At(when(rng), [&, c = clicks[which(rng)]] {
        ++clicked;
        c();
      });
    if (closing) At(kSpan + 0.5, [] { FirePanelEvent(pHandle, EVENT_CLOSE); });
    KeepStopping(kSpan + 0.5, kSpan + 40);  // a held-back RUN may start late
    const double started = Timer();
    loops[closing ? 0 : l]();
    RunFor(kSpan + 42.0 - (Timer() - started));
    ClearSchedule();
    EXPECT_EQ(stop_flag, 1);
    EXPECT_EQ(LineBusy(), 0);
    EXPECT_EQ(Violations(sim()), std::vector<std::string>{});
    if (closing) EXPECT_TRUE(QuitRequested());
    sim().ClearRequests();
  }
  EXPECT_GE(clicked, 200);
}

}  // namespace
