// RUN, STOP, RESET and TEACH as the user works them, against the sensor model
// or a scripted line, on the virtual clock.

#include "measure/teach.h"
#include "tests/support/scripted_app.h"

using namespace tframes;

namespace {

// A request's bytes take this long on the line; the model time-stamps a request
// with the arrival of its last byte.
constexpr double kFrameTime = 36 * tarvo_sim::SensorSim::kByteTime;

int StripUpdates() { return StripChartUpdates(pHandle, MAIN_STRIPHistory); }
// Cursor c of the master and of the slave bar graph: x, y, x, y.
std::vector<double> Cursors(int c) {
  return {CursorX(pHandle, MAIN_GRAPHBarMaster, c), CursorY(pHandle, MAIN_GRAPHBarMaster, c),
          CursorX(pHandle, MAIN_GRAPHBarSlave, c), CursorY(pHandle, MAIN_GRAPHBarSlave, c)};
}
// RUN, VIDEO, TEACH, RESET dimmed, the recorder's start dimmed, RUN's layout of the graphs.
Longs ButtonsAndLayout() {
  Longs out;
  for (int c : {MAIN_BTNRun, MAIN_BTNVideo, MAIN_ButtonTeach, MAIN_ButtonReset})
    out.push_back(CtrlDimmed(pHandle, c));
  out.push_back(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
  for (int c : {MAIN_STRIPHistory, MAIN_GRAPHBarMaster, MAIN_GRAPHBarSlave, MAIN_GRAPHDataMaster})
    out.push_back(CtrlVisible(pHandle, c));
  return out;
}

// The sensor model paced at the line rate, as a real sensor answers: each
// request/reply pair takes 37.5 ms on the line.
using RunTest = PacedSensorTest;

TEST_F(RunTest, EveryReplyIsShownUntilStopOneFramePerRequestReplyPair) {
  sim().ClearRequests();
  const int repliesBefore = sim().RepliesSent(), updatesBefore = StripUpdates();
  const double t0 = Timer();
  Longs during;
  After(0.5, [&] { during = ButtonsAndLayout(); });
  StopAfter(3.0);
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(during, Longs({1, 0, 0, 0, 1, 1, 1, 1, 0}));
  EXPECT_EQ(ButtonsAndLayout(), Longs({0, 0, 0, 0, 0, 1, 1, 1, 0}));  // RUN's layout stays
  // 36 bytes each way at 19200 baud: 37.5 ms per frame, no delay of the loop's own.
  // Every request after the first carries parameter set 0, and nothing else goes out.
  const auto reqs = SentWith(sim(), kCmdMeasure);
  const long n = reqs.size(), replies = sim().RepliesSent() - repliesBefore,
             drawn = StripUpdates() - updatesBefore;
  EXPECT_TRUE(n >= 76 && n <= 81) << n;
  EXPECT_EQ(sim().requests().size(), reqs.size());
  for (size_t i = 1; i < reqs.size(); ++i) EXPECT_EQ(reqs[i].words, HeldSet(0)) << i;
  // One request per reply, and every reply but possibly the last drawn.
  EXPECT_TRUE(replies >= n - 1 && replies <= n && drawn >= n - 1 && drawn <= n)
      << n << " " << replies << " " << drawn;
  // Nothing goes out after STOP; it paused 0.2 s, then the loop ended within one pass.
  EXPECT_LE(reqs.back().time, t0 + 3.0 + kFrameTime + 0.002);
  EXPECT_TRUE(Timer() >= t0 + 3.2 && Timer() < t0 + 3.25) << Timer() - t0;
  EXPECT_EQ(long(NumVal(pHandle, MAIN_NUMMvalue)), sim().MeasurementWords()[2]);
  EXPECT_EQ(Status(), "Line Ok!");
  // The reply to the last request, still on its way at STOP, is not cut: the
  // next transaction goes out once it has landed, not after its time-out.
  const double stopped = Timer();
  ClickCtrl(pHandle, MAIN_BTNGet);
  EXPECT_LT(SentWith(sim(), kCmdFetchRam).at(0).time, stopped + 3 * kFrameTime);
}

// STOP's commit alone does not stop; a silent sensor ends the loop 3 s after
// the last request, and the recorder's start stays dimmed until STOP.
TEST_F(RunTest, StopNeedsALeftClickAndASilentSensorEndsTheLoopAfterThreeSeconds) {
  const double t0 = Timer();
  int flagAfterCommit = -1;
  After(0.3, [] { FireCtrlEvent(pHandle, MAIN_BTNStop, EVENT_COMMIT); });
  After(0.4, [&] { flagAfterCommit = stop_flag; });
  After(0.5, [] { FireCtrlEvent(pHandle, MAIN_BTNStop, EVENT_LEFT_CLICK); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(flagAfterCommit, 0);
  EXPECT_NEAR(Timer(), t0 + 0.7, 0.05);
  sim().ClearRequests();
  After(0.5, [this] { sim().faults().silent = true; });
  ClickCtrl(pHandle, MAIN_BTNRun);
  const auto reqs = SentWith(sim(), kCmdMeasure);
  ASSERT_FALSE(reqs.empty());
  const double waited = Timer() - (reqs.back().time - kFrameTime);
  EXPECT_TRUE(waited > 3.0 && waited < 3.02) << waited;
  EXPECT_EQ(Status(), "Timeout RS232-Line!");
  EXPECT_EQ(ButtonsAndLayout(), Longs({0, 0, 0, 0, 1, 1, 1, 1, 0}));
  ClickCtrl(pHandle, MAIN_BTNStop);
  EXPECT_EQ(Longs({stop_flag, CtrlDimmed(pPopUp, POPUP_BTNStartRecord)}), Longs({1, 0}));
}

TEST_F(RunTest, ResetIsAnsweredOrTimesOut) {
  const std::tuple<double, bool, const char*, double> cases[] = {
      // delay, silent, text, duration
      {0.5, false, "Reset Max/Min OK!", 0.5 + 2 * kFrameTime},
      {0, true, "Timeout-RS-232...", TIMEOUT}};
  for (const auto& [delay, silent, status, took] : cases) {
    sim().ClearRequests();
    sim().SetAnswerDelay(delay);
    sim().faults().silent = silent;
    std::string during;
    After(0.2, [&] { during = Status(); });
    const double t0 = Timer();
    ClickCtrl(pHandle, MAIN_ButtonReset);
    EXPECT_EQ(during + "|" + Status(), std::string("Reset Max/Min values...|") + status);
    EXPECT_NEAR(Timer(), t0 + took, 0.01);
    EXPECT_EQ(SentCommands(sim()), std::vector<uint16_t>{kCmdResetMaxMin});
  }
}

// ---- a line with nothing or something odd at the far end ------------------------

using RunLineTest = ScriptedAppTest;

// RUN whose first reply is no measurement ends after one more request; a
// short write hides "Line Ok!"; a loop's late measurement reply is no reset answer.
TEST_F(RunLineTest, OddRepliesAndShortWritesEndTheLoop) {
  line_->ReplyToNextWrite(0.05, OrdinaryFrame(kCmdFetchRam, std::vector<uint16_t>(15, 0x1234)));
  const double t0 = Timer();
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(Status(), "Timeout RS232-Line!");
  // The second request went out on the loop's first pass with set 0 as payload;
  // nothing was drawn from the odd reply.
  EXPECT_EQ(SentCommands(), (std::vector<uint16_t>{8, 8}));
  EXPECT_TRUE(LastSentAt() >= t0 + TIMEOUT && StripUpdates() == 0);
  EXPECT_EQ(LastSent(), RequestWithSet(kCmdMeasure, 0));

  SetCtrlVal(pHandle, MAIN_TEXTStatus, "before");
  line_->SetAccept(20);
  std::string during;
  After(1.0, [&] { during = Status(); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(during + "|" + Status(), "before|Timeout RS232-Line!");
  line_->SetAccept(-1);
  line_->ReplyToNextWrite(0.05, MeasurementFrame({1000, 1200}));
  FireCtrlEvent(pHandle, MAIN_ButtonReset, EVENT_COMMIT);
  EXPECT_EQ(Status(), "Timeout-RS-232...");
}

// The teach reads the panels first and sends one frame, the teach command with
// set 0 as the panels hold it; unanswered, it stops and places the cursors at
// the setpoints. A measurement reply that reaches the teach wait first (a RUN
// loop's request answered meanwhile) is not the teach answer: the read-back
// waits for the real one, so it cannot be taken for parameter set 0.
TEST_F(RunLineTest, SetpointsMoveCursorTwoTeachPlacesTheCursorsAndWaitsForItsOwnAnswer) {
  // A typed setpoint moves cursor 2 at once, without traffic; other events
  // leave it, and the sets take the value only at the next read of the panels.
  const Parameter saved = parameter;
  DisplayPanel(pPara1);
  DisplayPanel(pPara2);
  EnterCtrlVal(pPara1, PARA1_NEDITeachA, 300);
  EnterCtrlVal(pPara2, PARA2_NEDITeachB, 2500);
  SetCtrlVal(pPara1, PARA1_NEDITeachA, 900);
  FireCtrlEvent(pPara1, PARA1_NEDITeachA, EVENT_VAL_CHANGED);
  FireCtrlEvent(pPara1, PARA1_NEDITeachA, EVENT_RIGHT_CLICK);
  EXPECT_EQ(Cursors(2), (std::vector<double>{300, 1.0, 2500, 1.0}));
  EXPECT_EQ(Sent().size(), 0u);
  EXPECT_EQ(Longs({parameter.set1[3], parameter.set2[3]}), Longs({saved.set1[3], saved.set2[3]}));

  SetCtrlVal(pPara1, PARA1_NEDITeachA, 700);
  SetCtrlVal(pPara2, PARA2_NEDITeachB, 1700);
  stop_flag = 0;
  std::string early;
  After(0.05, [&] { early = Status(); });
  ClickCtrl(pHandle, MAIN_ButtonTeach);
  EXPECT_EQ(early + "|" + Status() + std::to_string(stop_flag),
            "New setpoint value teached!|Timeout RS232-Line!1");
  ASSERT_EQ(SentCommands(), std::vector<uint16_t>{kCmdTeach});
  EXPECT_EQ(LastSent(), RequestWithSet(kCmdTeach, 0));
  EXPECT_EQ(Cursors(1), (std::vector<double>{700, 0.75, 1700, 0.75}));

  first_ = line_->writes().size();
  const double t = Timer();
  line_->ReplyToNextWrite(0.01, MeasurementFrame({1000}, 0));
  line_->Arrive(t + 0.03, OrdinaryFrame(kCmdTeach, {1111, 2222}));
  for (uint16_t w : {40, 1111, 2222})
    line_->ReplyToNextWrite(0.05, OrdinaryFrame(kCmdFetchRam, {w, 1, 50, w, 1, 4096, w}));
  ClickCtrl(pHandle, MAIN_ButtonTeach);
  ASSERT_EQ(SentCommands(), (std::vector<uint16_t>{6, 2, 2, 2}));
  EXPECT_GE(line_->writes()[first_ + 1].time, t + 0.03);  // the read-back after the answer
  EXPECT_EQ(Longs({parameter.set0[6], parameter.set1[3], parameter.set2[3]}),
            Longs({40, 1111, 2222}));
  EXPECT_EQ(Cursors(1), (std::vector<double>{1111, 0.75, 2222, 0.75}));
}

}  // namespace
