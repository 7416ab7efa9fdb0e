// Teach and the setpoint fields.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/panels.h"
#include "display/video.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"
#include "measure/run.h"
#include "measure/teach.h"
#include "platform/clock.h"
#include "platform/graph_probe.h"
#include "platform/scripted_line.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "tests/support/frames.h"
#include "tests/support/harness.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr const char* kTeachSent = "New setpoint value teached!";
constexpr const char* kTimeout = "Timeout RS232-Line!";

uint16_t Word(const Bytes& b, int at) { return tframes::WordAt(b, at); }

void ExpectCursor(int control, int cursor, double x, double y) {
  double cx = -1, cy = -1;
  GetGraphCursor(pHandle, control, cursor, &cx, &cy);
  EXPECT_DOUBLE_EQ(cx, x) << "control " << control << " cursor " << cursor;
  EXPECT_DOUBLE_EQ(cy, y) << "control " << control << " cursor " << cursor;
}

// An ordinary reply carrying a parameter set: 15 words from byte 6.
Bytes SetFrame(uint16_t command, const uint16_t (&words)[15]) {
  return tframes::OrdinaryFrame(command, std::vector<uint16_t>(words, words + 15));
}
Bytes MeasurementFrame() { return tframes::MeasurementFrame({1000}, 0); }

// ---- no sensor on the line -------------------------------------------------------

class TeachNoSensorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    line_ = std::make_shared<ScriptedLine>();
    ASSERT_EQ(StartAppWithLine(line_), 0);
    first_ = line_->writes().size();
  }
  void TearDown() override { StopApp(); }
  std::shared_ptr<ScriptedLine> line_;
  size_t first_ = 0;
};

TEST_F(TeachNoSensorTest, ReportsTheTeachThenTheTimeoutAndPlacesCursorsFromTheSets) {
  parameter.set1[3] = 700;
  parameter.set2[3] = 1700;
  SetCtrlVal(pPara1, PARA1_NEDITeachA, 700);
  SetCtrlVal(pPara2, PARA2_NEDITeachB, 1700);
  stop_flag = 0;

  std::string early;
  const double t0 = Timer();
  ScheduleAt(t0 + 0.05, [&] { early = CtrlText(pHandle, MAIN_TEXTStatus); });
  ClickCtrl(pHandle, MAIN_ButtonTeach);
  const double took = Timer() - t0;

  EXPECT_EQ(early, kTeachSent);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), kTimeout);
  EXPECT_GE(took, TIMEOUT);
  EXPECT_LT(took, TIMEOUT + 0.1);
  EXPECT_EQ(stop_flag, 1);

  // One frame only: command 6, argument 0, parameter set 0 as payload.
  ASSERT_EQ(line_->writes().size(), first_ + 1);
  const Bytes& f = line_->writes().back().bytes;
  ASSERT_EQ(f.size(), 36u);
  EXPECT_EQ(Word(f, 0), 0x0055);
  EXPECT_EQ(Word(f, 2), 6);
  EXPECT_EQ(Word(f, 4), 0);
  uint16_t saved[16];
  std::memcpy(saved, pp, sizeof saved);
  CopyVarsToPP(0);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(Word(f, 6 + 2 * i), pp[i]) << "word " << i;
  std::memcpy(pp, saved, sizeof saved);
  EXPECT_EQ(parameter.command, 6);

  ExpectCursor(MAIN_GRAPHBarMaster, 1, 700, 0.75);
  ExpectCursor(MAIN_GRAPHBarSlave, 1, 1700, 0.75);
}

TEST_F(TeachNoSensorTest, TheSetPayloadComesFromThePanelsAtThatMoment) {
  // A tolerance typed into the set 0 panel goes out with the teach.
  SetCtrlVal(pPara0, PARA0_CTRLTolLo, 321);
  ClickCtrl(pHandle, MAIN_ButtonTeach);
  const Bytes& f = line_->writes().back().bytes;
  EXPECT_EQ(Word(f, 6 + 2 * 6), 321);
  EXPECT_EQ(parameter.set0[6], 321);
}

// A measurement reply that reaches the teach wait first (a RUN loop's request
// answered meanwhile) is not the teach answer: the read-back waits for the
// real one, so it cannot be taken for parameter set 0.
TEST_F(TeachNoSensorTest, AMeasurementReplyIsNotTakenForTheTeachAnswer) {
  const uint16_t set0[15] = {1, 0, 0, 1, 1, 1, 40, 60, 0, 0, 0, 0, 0, 37000, 0};
  const uint16_t set1[15] = {500, 1, 50, 1111, 1, 4096, 0, 0, 0, 0, 0, 1024, 0, 37000, 0};
  const uint16_t set2[15] = {500, 1, 50, 2222, 1, 4096, 0, 0, 0, 0, 0, 1024, 0, 37000, 0};
  const uint16_t echo[15] = {1111, 2222, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const double t = Timer();
  line_->ReplyToNextWrite(0.01, MeasurementFrame());  // to the teach request
  line_->Arrive(t + 0.03, SetFrame(6, echo));         // the teach answer, later
  line_->ReplyToNextWrite(0.05, SetFrame(2, set0));
  line_->ReplyToNextWrite(0.05, SetFrame(2, set1));
  line_->ReplyToNextWrite(0.05, SetFrame(2, set2));
  ClickCtrl(pHandle, MAIN_ButtonTeach);

  ASSERT_EQ(line_->writes().size(), first_ + 4);
  EXPECT_GE(line_->writes()[first_ + 1].time, t + 0.03);  // read-back after the answer
  EXPECT_EQ(parameter.set0[6], 40);
  EXPECT_EQ(parameter.set0[7], 60);
  EXPECT_EQ(parameter.set1[3], 1111);
  EXPECT_EQ(parameter.set2[3], 2222);
  ExpectCursor(MAIN_GRAPHBarMaster, 1, 1111, 0.75);
  ExpectCursor(MAIN_GRAPHBarSlave, 1, 2222, 0.75);
}

TEST_F(TeachNoSensorTest, SetpointFieldsMoveCursorTwoWithoutTraffic) {
  const size_t before = line_->writes().size();
  const Parameter saved = parameter;
  DisplayPanel(pPara1);
  DisplayPanel(pPara2);
  EnterCtrlVal(pPara1, PARA1_NEDITeachA, 300);
  ExpectCursor(MAIN_GRAPHBarMaster, 2, 300, 1.0);
  EnterCtrlVal(pPara2, PARA2_NEDITeachB, 2500);
  ExpectCursor(MAIN_GRAPHBarSlave, 2, 2500, 1.0);
  ExpectCursor(MAIN_GRAPHBarMaster, 2, 300, 1.0);
  EXPECT_EQ(line_->writes().size(), before);
  // The typed values reach the sets only at the next read of the panels.
  EXPECT_EQ(parameter.set1[3], saved.set1[3]);
  EXPECT_EQ(parameter.set2[3], saved.set2[3]);

  // Other events leave the cursor where it is.
  SetCtrlVal(pPara1, PARA1_NEDITeachA, 900);
  FireCtrlEvent(pPara1, PARA1_NEDITeachA, EVENT_VAL_CHANGED);
  FireCtrlEvent(pPara1, PARA1_NEDITeachA, EVENT_RIGHT_CLICK);
  ExpectCursor(MAIN_GRAPHBarMaster, 2, 300, 1.0);
}

TEST_F(TeachNoSensorTest, ToleranceFieldCallbackHasNoEffect) {
  const size_t before = line_->writes().size();
  const Parameter saved = parameter;
  SetCtrlVal(pHandle, MAIN_TEXTStatus, "unchanged");
  double x1, y1, x2, y2;
  GetGraphCursor(pHandle, MAIN_GRAPHBarMaster, 1, &x1, &y1);
  GetGraphCursor(pHandle, MAIN_GRAPHBarMaster, 2, &x2, &y2);
  const size_t plots = GetGraphPlots(pHandle, MAIN_GRAPHBarMaster).size();

  EnterCtrlVal(pPara0, PARA0_CTRLTolLo, 250);
  for (int event :
       {EVENT_COMMIT, EVENT_VAL_CHANGED, EVENT_LEFT_CLICK, EVENT_RIGHT_CLICK, EVENT_CLOSE})
    EXPECT_EQ(CC_NEDITTolLeff(pPara0, PARA0_CTRLTolLo, event, nullptr, 0, 0), 0);

  EXPECT_EQ(std::memcmp(&saved, &parameter, sizeof saved), 0);
  EXPECT_EQ(line_->writes().size(), before);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "unchanged");
  ExpectCursor(MAIN_GRAPHBarMaster, 1, x1, y1);
  ExpectCursor(MAIN_GRAPHBarMaster, 2, x2, y2);
  EXPECT_EQ(GetGraphPlots(pHandle, MAIN_GRAPHBarMaster).size(), plots);
  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_TEXTHelp));
}

TEST_F(TeachNoSensorTest, TeachWhileTheLineIsBusyIsHeldBackThenRuns) {
  AcquireLine(kOwnerVideo);
  const size_t before = line_->writes().size();
  FireCtrlEvent(pHandle, MAIN_ButtonTeach, EVENT_COMMIT);
  EXPECT_EQ(line_->writes().size(), before);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), kLineBusyText);
  EXPECT_EQ(DeferredCount(), 1);
  ReleaseLine();
  ASSERT_EQ(line_->writes().size(), before + 1);
  EXPECT_EQ(Word(line_->writes().back().bytes, 2), 6);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), kTimeout);
}

// ---- against the sensor model ------------------------------------------------------

class TeachSimTest : public AppTest {};

TEST_F(TeachSimTest, ReadsTheThreeSetsBackAndMarksTheNewSetpoints) {
  sim().edgeA = 1500;
  sim().edgeB = 2100;
  sim().ClearRequests();
  ClickCtrl(pHandle, MAIN_ButtonTeach);

  const auto& req = sim().requests();
  ASSERT_EQ(req.size(), 4u);
  EXPECT_EQ(req[0].command, 6);
  EXPECT_EQ(req[0].argument, 0);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(req[1 + k].command, 2);
    EXPECT_EQ(req[1 + k].argument, k);
  }
  // Each fetch starts 0.1 s after the previous one ended (the model answers at once).
  for (int k = 2; k <= 3; ++k) {
    const double gap = req[k].time - req[k - 1].time;
    EXPECT_GE(gap, 0.1) << k;
    EXPECT_LT(gap, 0.12) << k;
  }
  EXPECT_EQ(parameter.set1[3], 1500);
  EXPECT_EQ(parameter.set2[3], 2100);
  ExpectCursor(MAIN_GRAPHBarMaster, 1, 1500, 0.75);
  ExpectCursor(MAIN_GRAPHBarSlave, 1, 2100, 0.75);
  int shownA = 0;
  GetCtrlVal(pPara1, PARA1_NEDITeachA, &shownA);
  EXPECT_EQ(shownA, 1500);
  EXPECT_NE(CtrlText(pHandle, MAIN_TEXTStatus), kTimeout);
  EXPECT_NE(CtrlText(pHandle, MAIN_TEXTStatus), kTeachSent);
}

TEST_F(TeachSimTest, TeachInsideTheRunLoopKeepsTheLoopGoing) {
  sim().edgeA = 1300;
  sim().SetPacing(true);  // replies take their line time, as on the wire
  ScheduleAt(Timer() + 0.3, [] { ClickCtrl(pHandle, MAIN_ButtonTeach); });
  ScheduleAt(Timer() + 1.6, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(parameter.set1[3], 1300);
  // Measurements went on after the teach.
  const auto& req = sim().requests();
  size_t teachAt = req.size();
  for (size_t i = 0; i < req.size(); ++i)
    if (req[i].command == 6) teachAt = i;
  ASSERT_LT(teachAt, req.size());
  int after = 0;
  for (size_t i = teachAt + 1; i < req.size(); ++i) after += req[i].command == 8;
  EXPECT_GT(after, 1);
  EXPECT_NE(CtrlText(pHandle, MAIN_TEXTStatus), kTimeout);
}

}  // namespace
