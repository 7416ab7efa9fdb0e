// RUN, STOP and RESET as the user works them, against the sensor model or a
// scripted line, on the virtual clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/panels.h"
#include "display/bargraph.h"
#include "link/link.h"
#include "link/payload.h"
#include "measure/run.h"
#include "platform/clock.h"
#include "platform/graph_probe.h"
#include "platform/port_backend.h"
#include "platform/sim_port.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "support/frames.h"
#include "support/harness.h"

namespace {

using tframes::WordAt;
auto Requests = tframes::SentWith;

int StripUpdates() { return StripChartUpdates(pHandle, MAIN_STRIPHistory); }
double NumVal(int control) { return tframes::NumVal(pHandle, control); }

// Set 0 as it goes out as a payload.
std::vector<uint16_t> Set0Words() {
  std::vector<uint16_t> w(parameter.set0, parameter.set0 + 13);
  w.push_back(static_cast<uint16_t>(parameter.set0Long & 0xFFFF));
  w.push_back(static_cast<uint16_t>(parameter.set0Long >> 16));
  return w;
}

void StopAt(double t) {
  ScheduleAt(t, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
}

// The sensor model paced at the line rate, as a real sensor answers: each
// request/reply pair takes 37.5 ms on the line.
class RunTest : public PacedSensorTest {};

// A request's bytes take this long on the line; the model time-stamps a request
// with the arrival of its last byte.
constexpr double kFrameTime = 36 * tarvo_sim::SensorSim::kByteTime;

}  // namespace

TEST_F(RunTest, EveryReplyIsShownUntilStop) {
  sim().edgeA = 1000;
  sim().edgeB = 1200;
  const int repliesBefore = sim().RepliesSent();
  sim().ClearRequests();
  const int updatesBefore = StripUpdates();
  const double t0 = Timer();

  bool dimmedRun = false, dimmedRec = false, dimmedOther = true, stripShown = false,
       videoShown = true;
  int flagWhileRunning = -1;
  ScheduleAt(t0 + 0.5, [&] {
    dimmedRun = CtrlDimmed(pHandle, MAIN_BTNRun);
    dimmedRec = CtrlDimmed(pPopUp, POPUP_BTNStartRecord);
    dimmedOther = CtrlDimmed(pHandle, MAIN_BTNVideo) || CtrlDimmed(pHandle, MAIN_ButtonTeach) ||
                  CtrlDimmed(pHandle, MAIN_ButtonReset) || CtrlDimmed(pHandle, MAIN_BTNGet) ||
                  CtrlDimmed(pHandle, MAIN_BTNSend);
    stripShown = CtrlVisible(pHandle, MAIN_STRIPHistory) &&
                 CtrlVisible(pHandle, MAIN_GRAPHBarMaster) &&
                 CtrlVisible(pHandle, MAIN_GRAPHBarSlave);
    videoShown =
        CtrlVisible(pHandle, MAIN_GRAPHDataMaster) || CtrlVisible(pHandle, MAIN_GRAPHDataSlave);
    flagWhileRunning = stop_flag;
  });
  StopAt(t0 + 1.0);
  ClickCtrl(pHandle, MAIN_BTNRun);

  EXPECT_TRUE(dimmedRun);
  EXPECT_TRUE(dimmedRec);
  EXPECT_FALSE(dimmedOther);
  EXPECT_TRUE(stripShown);
  EXPECT_FALSE(videoShown);
  EXPECT_EQ(flagWhileRunning, 0);

  const auto reqs = Requests(sim(), 8);
  ASSERT_GT(reqs.size(), 20u);
  EXPECT_EQ(sim().requests().size(), reqs.size());  // nothing but measurement requests
  // Every request after the first carries parameter set 0.
  const auto set0 = Set0Words();
  for (size_t i = 1; i < reqs.size(); ++i) {
    EXPECT_EQ(reqs[i].argument, 0);
    EXPECT_EQ(std::vector<uint16_t>(reqs[i].words.begin(), reqs[i].words.end()), set0) << i;
  }
  // One request per reply, and every reply but possibly the last one drawn.
  const int replies = sim().RepliesSent() - repliesBefore;
  EXPECT_GE(replies, static_cast<int>(reqs.size()) - 1);
  EXPECT_LE(replies, static_cast<int>(reqs.size()));
  const int drawn = StripUpdates() - updatesBefore;
  EXPECT_GE(drawn, static_cast<int>(reqs.size()) - 1);
  EXPECT_LE(drawn, static_cast<int>(reqs.size()));
  // Nothing goes out after STOP.
  EXPECT_LE(reqs.back().time, t0 + 1.0 + kFrameTime + 0.002);
  // STOP paused 0.2 s, then the loop ended within one pass.
  EXPECT_GE(Timer(), t0 + 1.2);
  EXPECT_LT(Timer(), t0 + 1.25);

  const auto words = sim().MeasurementWords();
  EXPECT_EQ(NumVal(MAIN_NUMAval), 1000);
  EXPECT_EQ(NumVal(MAIN_NUMBval), 1200);
  EXPECT_EQ(NumVal(MAIN_NUMMvalue), words[2]);
  EXPECT_EQ(Aval, 1000);
  EXPECT_EQ(GetStripTrace(pHandle, MAIN_STRIPHistory, 4).back(), Mvalue);

  EXPECT_EQ(stop_flag, 1);
  for (int c : {MAIN_BTNRun, MAIN_BTNVideo, MAIN_ButtonTeach, MAIN_ButtonReset})
    EXPECT_FALSE(CtrlDimmed(pHandle, c)) << c;
  EXPECT_FALSE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
  // The graphs keep the RUN layout.
  EXPECT_TRUE(CtrlVisible(pHandle, MAIN_STRIPHistory));
  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_GRAPHDataMaster));
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Line Ok!");
}

TEST_F(RunTest, MovingEdgesReachTheDisplaysFrameByFrame) {
  const double t0 = Timer();
  std::vector<double> shownA;
  for (int i = 1; i <= 5; ++i) {
    ScheduleAt(t0 + 0.2 * i, [this, i] { sim().edgeA = 1000 + 10 * i; });
    ScheduleAt(t0 + 0.2 * i + 0.1, [&] { shownA.push_back(NumVal(MAIN_NUMAval)); });
  }
  StopAt(t0 + 1.2);
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(shownA, (std::vector<double>{1010, 1020, 1030, 1040, 1050}));
  double x = 0, y = 0;
  GetGraphCursor(pHandle, MAIN_GRAPHBarMaster, 1, &x, &y);
  EXPECT_EQ(x, 1050.0);
}

TEST_F(RunTest, PacedLineGivesOneFramePerRequestReplyPair) {
  sim().SetPacing(true);
  sim().ClearRequests();
  const double t0 = Timer();
  StopAt(t0 + 3.0);
  ClickCtrl(pHandle, MAIN_BTNRun);
  // 36 bytes each way at 19200 baud: 37.5 ms per frame, no delay of the loop's own.
  const auto n = Requests(sim(), 8).size();
  EXPECT_GE(n, 76u);
  EXPECT_LE(n, 81u);
  // The reply to the last request, still on its way at STOP, is not cut: the
  // next transaction goes out once it has landed, not after its time-out.
  const double stopped = Timer();
  ClickCtrl(pHandle, MAIN_BTNGet);
  const auto fetches = Requests(sim(), 2);
  ASSERT_EQ(fetches.size(), 3u);
  EXPECT_LT(fetches[0].time, stopped + 3 * kFrameTime);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Parameter-frame received! - Line Ok!");
}

TEST_F(RunTest, StopNeedsALeftClickNotACommit) {
  const double t0 = Timer();
  int flagAfterCommit = -1;
  ScheduleAt(t0 + 0.3, [] { FireCtrlEvent(pHandle, MAIN_BTNStop, EVENT_COMMIT); });
  ScheduleAt(t0 + 0.4, [&] { flagAfterCommit = stop_flag; });
  ScheduleAt(t0 + 0.5, [] { FireCtrlEvent(pHandle, MAIN_BTNStop, EVENT_LEFT_CLICK); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(flagAfterCommit, 0);
  EXPECT_NEAR(Timer(), t0 + 0.7, 0.05);
}

TEST_F(RunTest, SensorFallingSilentEndsTheLoopAfterThreeSeconds) {
  sim().ClearRequests();
  const double t0 = Timer();
  ScheduleAt(t0 + 0.5, [this] { sim().faults().silent = true; });
  ClickCtrl(pHandle, MAIN_BTNRun);
  const auto reqs = Requests(sim(), 8);
  ASSERT_FALSE(reqs.empty());
  const double waited = Timer() - (reqs.back().time - kFrameTime);
  EXPECT_GT(waited, 3.0);
  EXPECT_LT(waited, 3.02);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Timeout RS232-Line!");
  EXPECT_EQ(stop_flag, 1);
  EXPECT_FALSE(CtrlDimmed(pHandle, MAIN_BTNRun));
  // The recorder's start stays dimmed until STOP.
  EXPECT_TRUE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
  ClickCtrl(pHandle, MAIN_BTNStop);
  EXPECT_FALSE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
}

TEST_F(RunTest, ResetNestedInTheLoopLeavesItRunning) {
  sim().ClearRequests();
  const double t0 = Timer();
  ScheduleAt(t0 + 0.5, [] { ClickCtrl(pHandle, MAIN_ButtonReset); });
  StopAt(t0 + 1.0);
  ClickCtrl(pHandle, MAIN_BTNRun);
  const auto& all = sim().requests();
  size_t reset = all.size();
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i].command == 11) reset = i;
  ASSERT_LT(reset, all.size());
  size_t after = 0;
  for (size_t i = reset; i < all.size(); ++i) after += all[i].command == 8;
  EXPECT_GT(after, 5u);
}

TEST_F(RunTest, ResetWithAnswer) {
  sim().ClearRequests();
  sim().SetAnswerDelay(0.5);
  const double t0 = Timer();
  std::string during;
  ScheduleAt(t0 + 0.2, [&] { during = CtrlText(pHandle, MAIN_TEXTStatus); });
  ClickCtrl(pHandle, MAIN_ButtonReset);
  EXPECT_EQ(during, "Reset Max/Min values...");
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Reset Max/Min OK!");
  EXPECT_STREQ(szStatus, "Reset Max/Min OK!");
  EXPECT_NEAR(Timer(), t0 + 0.5 + 2 * kFrameTime, 0.01);
  ASSERT_EQ(sim().requests().size(), 1u);
  EXPECT_EQ(sim().requests()[0].command, 11);
  EXPECT_EQ(sim().requests()[0].argument, 0);
  EXPECT_EQ(parameter.command, 11);
}

TEST_F(RunTest, ResetWithoutAnswer) {
  sim().faults().silent = true;
  const double t0 = Timer();
  std::string during;
  ScheduleAt(t0 + 1.4, [&] { during = CtrlText(pHandle, MAIN_TEXTStatus); });
  ClickCtrl(pHandle, MAIN_ButtonReset);
  EXPECT_EQ(during, "Reset Max/Min values...");
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Timeout-RS-232...");
  EXPECT_STREQ(szStatus, "Timeout-RS-232...");
  EXPECT_GE(Timer(), t0 + 1.5);
  EXPECT_LT(Timer(), t0 + 1.55);
}

// ---------------------------------------------------------------------------
// A line with nothing or something odd at the far end.

namespace {
class LineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    line_ = std::make_shared<ScriptedLine>();
    StartAppWithLine(line_);
    first_ = line_->writes().size();
  }
  void TearDown() override { StopApp(); }
  // Measurement requests written since start-up.
  std::vector<ScriptedLine::Sent> Measurements() const {
    std::vector<ScriptedLine::Sent> out;
    for (size_t i = first_; i < line_->writes().size(); ++i)
      if (line_->writes()[i].bytes.size() >= 36 && WordAt(line_->writes()[i].bytes, 2) == 8)
        out.push_back(line_->writes()[i]);
    return out;
  }
  std::shared_ptr<ScriptedLine> line_;
  size_t first_ = 0;
};
}  // namespace

TEST_F(LineTest, RunWithoutSensorTimesOutAndCanRunAgain) {
  for (int round = 0; round < 2; ++round) {
    const double t0 = Timer();
    std::string during;
    ScheduleAt(t0 + 1.4, [&] { during = CtrlText(pHandle, MAIN_TEXTStatus); });
    ClickCtrl(pHandle, MAIN_BTNRun);
    EXPECT_EQ(during, "Line Ok!") << round;
    EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Timeout RS232-Line!") << round;
    EXPECT_GE(Timer(), t0 + 1.5) << round;
    EXPECT_LT(Timer(), t0 + 1.55) << round;
    EXPECT_EQ(stop_flag, 1);
    EXPECT_FALSE(CtrlDimmed(pHandle, MAIN_BTNRun));
    EXPECT_EQ(Measurements().size(), static_cast<size_t>(round + 1));
  }
}

TEST_F(LineTest, NonMeasurementFirstReplyEndsAfterOneMoreRequest) {
  line_->ReplyToNextWrite(0.05, tframes::FilledFrame(2, 0x1234));
  const double t0 = Timer();
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Timeout RS232-Line!");
  EXPECT_EQ(stop_flag, 1);
  EXPECT_GE(Timer(), t0 + 1.5);
  EXPECT_LT(Timer(), t0 + 1.55);
  const auto reqs = Measurements();
  ASSERT_EQ(reqs.size(), 2u);
  // The second request went out on the loop's first pass with set 0 as payload.
  EXPECT_GE(reqs[1].time, t0 + 1.5);
  const auto set0 = Set0Words();
  for (int i = 0; i < 15; ++i) EXPECT_EQ(WordAt(reqs[1].bytes, 6 + 2 * i), set0[i]) << i;
  // Nothing was drawn from the odd reply.
  EXPECT_EQ(StripChartUpdates(pHandle, MAIN_STRIPHistory), 0);
}

TEST_F(LineTest, ShortWriteHidesLineOk) {
  SetCtrlVal(pHandle, MAIN_TEXTStatus, "before");
  line_->SetAccept(20);
  const double t0 = Timer();
  std::string during;
  ScheduleAt(t0 + 1.0, [&] { during = CtrlText(pHandle, MAIN_TEXTStatus); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(during, "before");
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Timeout RS232-Line!");
}

TEST_F(LineTest, ResetTakesNoMeasurementFrameAsItsAnswer) {
  // A loop's late measurement reply is no confirmation of the reset.
  line_->ReplyToNextWrite(0.05, tframes::MeasurementFrame({1000, 1200}));
  FireCtrlEvent(pHandle, MAIN_ButtonReset, EVENT_COMMIT);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Timeout-RS-232...");
}
