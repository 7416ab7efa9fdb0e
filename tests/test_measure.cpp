// RUN, STOP, RESET and TEACH as the user works them, against the sensor model
// or a scripted line, on the virtual clock.

#include "measure/teach.h"
#include "tests/support/scripted_app.h"

namespace {

using tframes::WordAt;
// A request's bytes take this long on the line; the model time-stamps a request
// with the arrival of its last byte.
constexpr double kFrameTime = 36 * tarvo_sim::SensorSim::kByteTime;

int StripUpdates() { return StripChartUpdates(pHandle, MAIN_STRIPHistory); }
void StopAfter(double dt) {
  After(dt, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
}
std::vector<double> Cursor(int graph, int cursor) {
  double x = -1, y = -1;
  GetGraphCursor(pHandle, graph, cursor, &x, &y);
  return {x, y};
}

// The sensor model paced at the line rate, as a real sensor answers: each
// request/reply pair takes 37.5 ms on the line.
using RunTest = PacedSensorTest;

TEST_F(RunTest, EveryReplyIsShownUntilStop) {
  sim().ClearRequests();
  const int repliesBefore = sim().RepliesSent(), updatesBefore = StripUpdates();
  const double t0 = Timer();
  std::vector<bool> seen;  // RUN and the recorder dimmed, the rest usable, RUN's layout
  After(0.5, [&] {
    for (int c : {MAIN_BTNRun, MAIN_BTNVideo, MAIN_ButtonTeach, MAIN_ButtonReset, MAIN_BTNGet,
                  MAIN_BTNSend})
      seen.push_back(CtrlDimmed(pHandle, c));
    for (int c : {MAIN_STRIPHistory, MAIN_GRAPHBarMaster, MAIN_GRAPHBarSlave, MAIN_GRAPHDataMaster,
                  MAIN_GRAPHDataSlave})
      seen.push_back(CtrlVisible(pHandle, c));
    seen.push_back(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
    seen.push_back(stop_flag == 0);
  });
  StopAfter(1.0);
  ClickCtrl(pHandle, MAIN_BTNRun);
  // Every request after the first carries parameter set 0, and nothing else goes out.
  const auto reqs = tframes::SentWith(sim(), kCmdMeasure);
  ASSERT_GT(reqs.size(), 20u);
  EXPECT_EQ(sim().requests().size(), reqs.size());
  for (size_t i = 1; i < reqs.size(); ++i) EXPECT_EQ(reqs[i].words, HeldSet(0)) << i;
  // One request per reply, and every reply but possibly the last drawn.
  const int n = static_cast<int>(reqs.size()), replies = sim().RepliesSent() - repliesBefore;
  EXPECT_GE(replies, n - 1);
  EXPECT_LE(replies, n);
  EXPECT_GE(StripUpdates() - updatesBefore, n - 1);
  EXPECT_LE(StripUpdates() - updatesBefore, n);
  // Nothing goes out after STOP; it paused 0.2 s, then the loop ended within one pass.
  EXPECT_LE(reqs.back().time, t0 + 1.0 + kFrameTime + 0.002);
  EXPECT_GE(Timer(), t0 + 1.2);
  EXPECT_LT(Timer(), t0 + 1.25);
  EXPECT_EQ(tframes::NumVal(pHandle, MAIN_NUMAval), 1000);
  EXPECT_EQ(tframes::NumVal(pHandle, MAIN_NUMBval), 1200);
  EXPECT_EQ(tframes::NumVal(pHandle, MAIN_NUMMvalue), sim().MeasurementWords()[2]);
  EXPECT_EQ(GetStripTrace(pHandle, MAIN_STRIPHistory, 4).back(), Mvalue);
  EXPECT_EQ(Status(), "Line Ok!");
  EXPECT_EQ(stop_flag, 1);
  // While running, and after STOP (the graphs keep RUN's layout).
  std::vector<bool> after;
  for (int c : {MAIN_BTNRun, MAIN_BTNVideo, MAIN_ButtonTeach, MAIN_ButtonReset})
    after.push_back(CtrlDimmed(pHandle, c));
  after.push_back(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
  after.push_back(CtrlVisible(pHandle, MAIN_STRIPHistory) &&
                  !CtrlVisible(pHandle, MAIN_GRAPHDataMaster));
  EXPECT_EQ(seen, (std::vector<bool>{true, false, false, false, false, false, true, true, true,
                                     false, false, true, true}));
  EXPECT_EQ(after, (std::vector<bool>{false, false, false, false, false, true}));
}

TEST_F(RunTest, MovingEdgesReachTheDisplaysFrameByFrame) {
  std::vector<double> shownA;
  for (int i = 1; i <= 5; ++i) {
    After(0.2 * i, [this, i] { sim().edgeA = 1000 + 10 * i; });
    After(0.2 * i + 0.1, [&] { shownA.push_back(tframes::NumVal(pHandle, MAIN_NUMAval)); });
  }
  StopAfter(1.2);
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(shownA, (std::vector<double>{1010, 1020, 1030, 1040, 1050}));
  EXPECT_EQ(Cursor(MAIN_GRAPHBarMaster, 1)[0], 1050.0);
}

TEST_F(RunTest, APacedLineGivesOneFramePerRequestReplyPair) {
  sim().ClearRequests();
  StopAfter(3.0);
  ClickCtrl(pHandle, MAIN_BTNRun);
  // 36 bytes each way at 19200 baud: 37.5 ms per frame, no delay of the loop's own.
  EXPECT_GE(RequestCount(sim(), kCmdMeasure), 76);
  EXPECT_LE(RequestCount(sim(), kCmdMeasure), 81);
  // The reply to the last request, still on its way at STOP, is not cut: the
  // next transaction goes out once it has landed, not after its time-out.
  const double stopped = Timer();
  ClickCtrl(pHandle, MAIN_BTNGet);
  const auto fetches = tframes::SentWith(sim(), kCmdFetchRam);
  ASSERT_EQ(fetches.size(), 3u);
  EXPECT_LT(fetches[0].time, stopped + 3 * kFrameTime);
  EXPECT_EQ(Status(), "Parameter-frame received! - Line Ok!");
}

TEST_F(RunTest, StopNeedsALeftClickNotACommit) {
  const double t0 = Timer();
  int flagAfterCommit = -1;
  After(0.3, [] { FireCtrlEvent(pHandle, MAIN_BTNStop, EVENT_COMMIT); });
  After(0.4, [&] { flagAfterCommit = stop_flag; });
  After(0.5, [] { FireCtrlEvent(pHandle, MAIN_BTNStop, EVENT_LEFT_CLICK); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(flagAfterCommit, 0);
  EXPECT_NEAR(Timer(), t0 + 0.7, 0.05);
}

TEST_F(RunTest, ASensorFallingSilentEndsTheLoopAfterThreeSeconds) {
  sim().ClearRequests();
  After(0.5, [this] { sim().faults().silent = true; });
  ClickCtrl(pHandle, MAIN_BTNRun);
  const auto reqs = tframes::SentWith(sim(), kCmdMeasure);
  ASSERT_FALSE(reqs.empty());
  const double waited = Timer() - (reqs.back().time - kFrameTime);
  EXPECT_GT(waited, 3.0);
  EXPECT_LT(waited, 3.02);
  EXPECT_EQ(Status(), "Timeout RS232-Line!");
  EXPECT_EQ(stop_flag, 1);
  EXPECT_FALSE(CtrlDimmed(pHandle, MAIN_BTNRun));
  EXPECT_TRUE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));  // until STOP
  ClickCtrl(pHandle, MAIN_BTNStop);
  EXPECT_FALSE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
}

TEST_F(RunTest, ResetIsAnsweredOrTimesOutAndLeavesARunningLoopGoing) {
  struct Case {
    double delay;
    bool silent;
    const char* status;
    double took;
  } cases[] = {{0.5, false, "Reset Max/Min OK!", 0.5 + 2 * kFrameTime},
               {0, true, "Timeout-RS-232...", TIMEOUT}};
  for (const Case& c : cases) {
    sim().ClearRequests();
    sim().SetAnswerDelay(c.delay);
    sim().faults().silent = c.silent;
    std::string during;
    After(0.2, [&] { during = Status(); });
    const double t0 = Timer();
    ClickCtrl(pHandle, MAIN_ButtonReset);
    EXPECT_EQ(during, "Reset Max/Min values...");
    EXPECT_EQ(Status(), c.status);
    EXPECT_STREQ(szStatus, c.status);
    EXPECT_NEAR(Timer(), t0 + c.took, 0.01);
    EXPECT_EQ(tframes::SentCommands(sim()), std::vector<uint16_t>{kCmdResetMaxMin});
    EXPECT_EQ(parameter.command, kCmdResetMaxMin);
  }
  sim().SetAnswerDelay(0);
  sim().faults().silent = false;
  sim().ClearRequests();
  After(0.5, [] { ClickCtrl(pHandle, MAIN_ButtonReset); });
  StopAfter(1.0);
  ClickCtrl(pHandle, MAIN_BTNRun);
  const auto sent = tframes::SentCommands(sim());
  const auto reset = std::find(sent.begin(), sent.end(), kCmdResetMaxMin);
  ASSERT_NE(reset, sent.end());
  EXPECT_GT(std::count(reset, sent.end(), kCmdMeasure), 5);
}

TEST_F(RunTest, TeachReadsTheSetsBackAndMarksTheNewSetpoints) {
  sim().edgeA = 1500;
  sim().edgeB = 2100;
  SetCtrlVal(pPara0, PARA0_CTRLTolLo, 321);  // the panels at that moment are the payload
  sim().ClearRequests();
  ClickCtrl(pHandle, MAIN_ButtonTeach);
  const auto& req = sim().requests();
  EXPECT_EQ(tframes::SentCommands(sim()), (std::vector<uint16_t>{6, 2, 2, 2}));
  EXPECT_EQ(req[0].words[6], 321);
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(req[k].argument, k - 1);
    if (k > 1) EXPECT_NEAR(req[k].time - req[k - 1].time, 0.1 + 2 * kFrameTime, 0.01) << k;
  }
  EXPECT_EQ(parameter.set1[3], 1500);
  EXPECT_EQ(parameter.set2[3], 2100);
  EXPECT_EQ(tframes::IntVal(pPara1, PARA1_NEDITeachA), 1500);
  EXPECT_EQ(Cursor(MAIN_GRAPHBarMaster, 1), (std::vector<double>{1500, 0.75}));
  EXPECT_EQ(Cursor(MAIN_GRAPHBarSlave, 1), (std::vector<double>{2100, 0.75}));
  EXPECT_EQ(Status(), "Parameter-frame received! - Line Ok!");
}

// ---- a line with nothing or something odd at the far end ------------------------

using RunLineTest = ScriptedAppTest;

TEST_F(RunLineTest, RunWithoutSensorTimesOutAndCanRunAgain) {
  for (size_t round = 1; round <= 2; ++round) {
    const double t0 = Timer();
    std::string during;
    After(1.4, [&] { during = Status(); });
    ClickCtrl(pHandle, MAIN_BTNRun);
    EXPECT_EQ(during, "Line Ok!");
    EXPECT_EQ(Status(), "Timeout RS232-Line!");
    EXPECT_GT(Timer(), t0 + TIMEOUT);
    EXPECT_LT(Timer(), t0 + TIMEOUT + 0.05);
    EXPECT_EQ(stop_flag, 1);
    EXPECT_FALSE(CtrlDimmed(pHandle, MAIN_BTNRun));
    EXPECT_EQ(SentCommands(), std::vector<uint16_t>(round, kCmdMeasure));
  }
}

TEST_F(RunLineTest, ANonMeasurementFirstReplyEndsAfterOneMoreRequest) {
  line_->ReplyToNextWrite(0.05, tframes::FilledFrame(kCmdFetchRam, 0x1234));
  const double t0 = Timer();
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(Status(), "Timeout RS232-Line!");
  EXPECT_GT(Timer(), t0 + TIMEOUT);
  EXPECT_LT(Timer(), t0 + TIMEOUT + 0.05);
  // The second request went out on the loop's first pass with set 0 as payload.
  EXPECT_EQ(SentCommands(), (std::vector<uint16_t>{8, 8}));
  EXPECT_GE(LastSentAt(), t0 + TIMEOUT);
  EXPECT_EQ(LastSent(), RequestWithSet(kCmdMeasure, 0));
  EXPECT_EQ(StripUpdates(), 0);  // nothing was drawn from the odd reply
}

TEST_F(RunLineTest, AShortWriteHidesLineOkAndAMeasurementIsNoResetAnswer) {
  SetCtrlVal(pHandle, MAIN_TEXTStatus, "before");
  line_->SetAccept(20);
  std::string during;
  After(1.0, [&] { during = Status(); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(during, "before");
  EXPECT_EQ(Status(), "Timeout RS232-Line!");
  // A loop's late measurement reply is no confirmation of the reset.
  line_->SetAccept(-1);
  line_->ReplyToNextWrite(0.05, tframes::MeasurementFrame({1000, 1200}));
  FireCtrlEvent(pHandle, MAIN_ButtonReset, EVENT_COMMIT);
  EXPECT_EQ(Status(), "Timeout-RS-232...");
}

TEST_F(RunLineTest, TeachWithoutAnswerStopsAndPlacesTheCursorsFromTheSets) {
  SetCtrlVal(pPara1, PARA1_NEDITeachA, 700);  // the teach reads the panels first
  SetCtrlVal(pPara2, PARA2_NEDITeachB, 1700);
  stop_flag = 0;
  std::string early;
  After(0.05, [&] { early = Status(); });
  const double t0 = Timer();
  ClickCtrl(pHandle, MAIN_ButtonTeach);
  EXPECT_EQ(early, "New setpoint value teached!");
  EXPECT_EQ(Status(), "Timeout RS232-Line!");
  EXPECT_GT(Timer() - t0, TIMEOUT);
  EXPECT_LT(Timer() - t0, TIMEOUT + 0.1);
  EXPECT_EQ(stop_flag, 1);
  // One frame only: the teach command with parameter set 0 (as the panels hold it).
  ASSERT_EQ(SentCommands(), std::vector<uint16_t>{kCmdTeach});
  EXPECT_EQ(parameter.command, kCmdTeach);
  EXPECT_EQ(LastSent(), RequestWithSet(kCmdTeach, 0));
  EXPECT_EQ(Cursor(MAIN_GRAPHBarMaster, 1), (std::vector<double>{700, 0.75}));
  EXPECT_EQ(Cursor(MAIN_GRAPHBarSlave, 1), (std::vector<double>{1700, 0.75}));
}

// A measurement reply that reaches the teach wait first (a RUN loop's request
// answered meanwhile) is not the teach answer: the read-back waits for the
// real one, so it cannot be taken for parameter set 0.
TEST_F(RunLineTest, AMeasurementReplyIsNotTakenForTheTeachAnswer) {
  const double t = Timer();
  line_->ReplyToNextWrite(0.01, tframes::MeasurementFrame({1000}, 0));
  line_->Arrive(t + 0.03, tframes::OrdinaryFrame(kCmdTeach, {1111, 2222}));
  for (uint16_t w : {40, 1111, 2222})
    line_->ReplyToNextWrite(0.05, tframes::OrdinaryFrame(kCmdFetchRam, {w, 1, 50, w, 1, 4096, w}));
  ClickCtrl(pHandle, MAIN_ButtonTeach);
  ASSERT_EQ(SentCommands(), (std::vector<uint16_t>{6, 2, 2, 2}));
  EXPECT_GE(line_->writes()[first_ + 1].time, t + 0.03);  // the read-back after the answer
  EXPECT_EQ(parameter.set0[6], 40);
  EXPECT_EQ(parameter.set1[3], 1111);
  EXPECT_EQ(parameter.set2[3], 2222);
  EXPECT_EQ(Cursor(MAIN_GRAPHBarMaster, 1), (std::vector<double>{1111, 0.75}));
}

TEST_F(RunLineTest, SetpointFieldsMoveCursorTwoWithoutTraffic) {
  const Parameter saved = parameter;
  DisplayPanel(pPara1);
  DisplayPanel(pPara2);
  EnterCtrlVal(pPara1, PARA1_NEDITeachA, 300);
  EnterCtrlVal(pPara2, PARA2_NEDITeachB, 2500);
  EXPECT_EQ(Cursor(MAIN_GRAPHBarMaster, 2), (std::vector<double>{300, 1.0}));
  EXPECT_EQ(Cursor(MAIN_GRAPHBarSlave, 2), (std::vector<double>{2500, 1.0}));
  // Other events leave the cursor where it is; the tolerance field does nothing.
  SetCtrlVal(pPara1, PARA1_NEDITeachA, 900);
  FireCtrlEvent(pPara1, PARA1_NEDITeachA, EVENT_VAL_CHANGED);
  FireCtrlEvent(pPara1, PARA1_NEDITeachA, EVENT_RIGHT_CLICK);
  EXPECT_EQ(Cursor(MAIN_GRAPHBarMaster, 2), (std::vector<double>{300, 1.0}));
  EXPECT_EQ(CC_NEDITTolLeff(pPara0, PARA0_CTRLTolLo, EVENT_COMMIT, nullptr, 0, 0), 0);
  EXPECT_TRUE(Sent().empty());
  // The typed values reach the sets only at the next read of the panels.
  EXPECT_EQ(parameter.set1[3], saved.set1[3]);
  EXPECT_EQ(parameter.set2[3], saved.set2[3]);
}

}  // namespace
