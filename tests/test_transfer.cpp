// GET and SEND between the panels and the sensor's RAM or EEPROM or a file,
// the radio buttons, and the fetch of one set.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/panels.h"
#include "display/video.h"
#include "link/frame.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"
#include "link/transfer.h"
#include "params/panels.h"
#include "platform/clock.h"
#include "platform/popup.h"
#include "platform/popup_script.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "tests/support/frames.h"
#include "tests/support/harness.h"

namespace {

using tarvo_sim::Set;

// Distinct, in-range sets as a sensor memory would hold them.
Set MakeSet(int n, uint16_t base) {
  if (n == 0) return {2, 1, 3, 4, 17, 0, 120, 140, 9, 8, 7, 6, 5, 0x5678, 0x0001};
  const auto u = [](int v) { return static_cast<uint16_t>(v); };
  return {base, 1, u(40 + n), u(base + 100), u(n), u(3000 + n), 1, 11, 12, 13, 14, u(2048 * n), 0,
          u(1000 + n), 2};
}

Set PayloadOf(uint16_t set) {
  CopyVarsToPP(set);
  Set s{};
  for (int i = 0; i < 15; ++i) s[i] = pp[i];
  return s;
}

int Val(int panel, int control) {
  int v = -1;
  GetCtrlVal(panel, control, &v);
  return v;
}

class Transfer : public AppTest {};

TEST_F(Transfer, GetFromEepromFetchesTheThreeSetsInTurn) {
  for (int n = 0; n < 3; ++n) sim().eeprom[n] = MakeSet(n, static_cast<uint16_t>(300 + n));
  ClickCtrl(pHandle, MAIN_RBTEeprom);
  ASSERT_EQ(target, 2);
  const Set before1 = PayloadOf(1);
  sim().ClearRequests();
  const double t0 = Timer();
  ClickCtrl(pHandle, MAIN_BTNGet);

  const auto& req = sim().requests();
  ASSERT_EQ(req.size(), 3u);
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(req[n].command, 4);
    EXPECT_EQ(req[n].argument, n);
  }
  EXPECT_EQ(req[1].words, before1);  // a request carries the set's current words
  // Each fetch follows the previous reply after a 0.1 s pause.
  EXPECT_GE(req[1].time - req[0].time, 0.1);
  EXPECT_GE(req[2].time - req[1].time, 0.1);
  EXPECT_LT(req[2].time - req[0].time, 0.5);
  EXPECT_GE(Timer() - req[2].time, 0.1);  // and a last pause after set 2
  EXPECT_LT(Timer() - t0, 1.0);

  for (uint16_t n = 0; n < 3; ++n) EXPECT_EQ(PayloadOf(n), sim().eeprom[n]) << "set " << n;
  EXPECT_EQ(parameter.set0Long, 0x15678u);
  EXPECT_EQ(Val(pPara1, PARA1_NEDITeachA), 401);
  EXPECT_EQ(Val(pPara2, PARA2_NEDITeachB), 402);
  EXPECT_EQ(Val(pPara0, PARA0_DropEvalMode), 2);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Parameter-frame received! - Line Ok!");
}

TEST_F(Transfer, SendToRamCarriesThePanelValues) {
  SetCtrlVal(pPara0, PARA0_CTRLTolUp, 222);
  SetCtrlVal(pPara1, PARA1_CTRLPara1W0, 777);
  SetCtrlVal(pPara2, PARA2_NEDITeachB, 1234);
  SetCtrlVal(pCalib, CALIB_CTRLScaleB, 2.5);
  sim().ClearRequests();
  ClickCtrl(pHandle, MAIN_BTNSend);

  const auto& req = sim().requests();
  ASSERT_EQ(req.size(), 3u);
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(req[n].command, 1);
    EXPECT_EQ(req[n].argument, n);
    EXPECT_EQ(req[n].sync, 0x0055);
    EXPECT_EQ(req[n].words, PayloadOf(static_cast<uint16_t>(n)));
    EXPECT_EQ(sim().ram[n], req[n].words);
  }
  EXPECT_EQ(req[0].words[7], 222);
  EXPECT_EQ(req[1].words[0], 777);
  EXPECT_EQ(req[2].words[3], 1234);
  EXPECT_EQ(req[2].words[11], 2560);  // 2.5 x 1024, low half
  EXPECT_EQ(req[2].words[12], 0);
  EXPECT_GE(req[1].time - req[0].time, 0.1);
  EXPECT_GE(req[2].time - req[1].time, 0.1);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Line Ok!");
  EXPECT_EQ(parameter.header, 0x0055);
}

TEST_F(Transfer, SendToEepromUsesCommandThree) {
  ClickCtrl(pHandle, MAIN_RBTEeprom);
  SetCtrlVal(pPara1, PARA1_CTRLPara1W0, 555);
  sim().ClearRequests();
  ClickCtrl(pHandle, MAIN_BTNSend);
  const auto& req = sim().requests();
  ASSERT_EQ(req.size(), 3u);
  for (int n = 0; n < 3; ++n) EXPECT_EQ(req[n].command, 3);
  EXPECT_EQ(sim().eeprom[1][0], 555);
}

TEST_F(Transfer, GetFromFileShowsItsValuesWithoutSerialTraffic) {
  const std::string dir = tframes::MakeTempDir();
  const std::string path = dir + "/TARVOpara.cfg";
  {
    std::ofstream f(path, std::ios::binary);
    for (int n = 0; n < 3; ++n) {
      const Set s = MakeSet(n, static_cast<uint16_t>(600 + n));
      for (uint16_t w : s) {
        char line[16];
        std::snprintf(line, sizeof line, "%10u\n", w);  // LF only
        f << line;
      }
    }
  }
  ClickCtrl(pHandle, MAIN_RBTFile);
  ASSERT_EQ(target, 3);
  sim().ClearRequests();
  QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, path);
  ClickCtrl(pHandle, MAIN_BTNGet);
  EXPECT_TRUE(sim().requests().empty());
  EXPECT_EQ(Val(pPara1, PARA1_NEDITeachA), 701);
  EXPECT_EQ(Val(pPara2, PARA2_CTRLPara2W0), 602);
  EXPECT_EQ(Val(pPara0, PARA0_CTRLTolLo), 120);
  for (uint16_t n = 0; n < 3; ++n)
    EXPECT_EQ(PayloadOf(n), MakeSet(n, static_cast<uint16_t>(600 + n)));
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

TEST_F(Transfer, RadioButtonsMirrorTheTargetAndFallBackToRam) {
  struct Step {
    int click;
    int target, ram, eeprom, file;
  };
  const Step steps[] = {
      {MAIN_RBTEeprom, 2, 0, 1, 0}, {MAIN_RBTEeprom, 1, 1, 0, 0},  // clicked off: RAM
      {MAIN_RBTFile, 3, 0, 0, 1},   {MAIN_RBTEeprom, 2, 0, 1, 0}, {MAIN_RBTFile, 3, 0, 0, 1},
      {MAIN_RBTFile, 1, 1, 0, 0},   {MAIN_RBTRam, 1, 1, 0, 0},  // clicking RAM off keeps RAM
  };
  for (const Step& s : steps) {
    ClickCtrl(pHandle, s.click);
    EXPECT_EQ(target, s.target) << "after clicking " << s.click;
    EXPECT_EQ(Val(pHandle, MAIN_RBTRam), s.ram);
    EXPECT_EQ(Val(pHandle, MAIN_RBTEeprom), s.eeprom);
    EXPECT_EQ(Val(pHandle, MAIN_RBTFile), s.file);
  }
}

TEST_F(Transfer, FetchingOneSetLeavesThePanelsAlone) {
  sim().ram[1] = MakeSet(1, 900);
  SetCtrlVal(pPara1, PARA1_CTRLPara1W0, 123);
  PushGET(1, 1);
  EXPECT_EQ(parameter.set1[0], 900);
  EXPECT_EQ(Val(pPara1, PARA1_CTRLPara1W0), 123);
  PushGET(1, 2);
  EXPECT_EQ(Val(pPara1, PARA1_CTRLPara1W0), 900);
}

TEST_F(Transfer, TransactionsWaitWhileAVideoPassOwnsTheLine) {
  sim().ClearRequests();
  AcquireLine(kOwnerVideo);
  ClickCtrl(pHandle, MAIN_BTNGet);
  ClickCtrl(pHandle, MAIN_BTNSend);
  EXPECT_TRUE(sim().requests().empty());
  ReleaseLine();  // the held-back GET and SEND run now
  const auto& req = sim().requests();
  ASSERT_EQ(req.size(), 6u);
  EXPECT_EQ(req[0].command, 2);
  EXPECT_EQ(req[5].command, 1);
}

// ---- the fetch of one set against a scripted line -----------------------------

std::vector<uint8_t> ParameterReply(uint16_t command, const uint16_t* words) {
  return tframes::OrdinaryFrame(command, std::vector<uint16_t>(words, words + 15));
}
std::vector<uint8_t> MeasurementReply() {
  std::vector<uint16_t> w;
  for (int i = 0; i < 16; ++i) w.push_back(static_cast<uint16_t>(5000 + i));
  return tframes::MeasurementFrame(w);
}

class FetchOnLine : public ::testing::Test {
 protected:
  void SetUp() override {
    line_ = std::make_shared<ScriptedLine>();
    ASSERT_EQ(StartAppWithLine(line_), 0);  // nothing answers the connect sequence
  }
  void TearDown() override { StopApp(); }
  std::shared_ptr<ScriptedLine> line_;
};

TEST_F(FetchOnLine, AMeasurementFrameIsNotTakenAsTheSet) {
  const uint16_t words[15] = {700, 1, 60, 800, 2, 3000, 0, 1, 2, 3, 4, 4096, 0, 99, 0};
  const Set before = PayloadOf(1);
  const double t = Timer();
  line_->ReplyToNextWrite(0.05, MeasurementReply());
  line_->Arrive(t + 0.8, ParameterReply(2, words));
  PushGET(1, 1);
  EXPECT_EQ(parameter.set1[0], 700);
  EXPECT_EQ(parameter.set1[3], 800);
  EXPECT_EQ(parameter.set1Long[1], 99u);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Parameter-frame received! - Line Ok!");
  EXPECT_GE(Timer() - t, 0.79);

  // Only a measurement frame: the fetch times out and the set keeps its words.
  const Set now = PayloadOf(1);
  EXPECT_NE(now, before);
  line_->ReplyToNextWrite(0.05, MeasurementReply());
  const double t2 = Timer();
  PushGET(1, 1);
  EXPECT_EQ(PayloadOf(1), now);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Timeout-RS-232...");
  EXPECT_GE(Timer() - t2, 1.5);
  EXPECT_LT(Timer() - t2, 1.7);
}

TEST_F(FetchOnLine, SendSaysLineOkOnlyWhenAllThreeSetsWereAccepted) {
  line_->SetAccept(0);
  ScheduleAt(Timer(), [this] { line_->SetAccept(-1); });  // taken from set 1 on
  FireCtrlEvent(pHandle, MAIN_BTNSend, EVENT_COMMIT);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "SEND incomplete: 1 of 3 sets not sent!");
  FireCtrlEvent(pHandle, MAIN_BTNSend, EVENT_COMMIT);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Line Ok!");
}

TEST_F(FetchOnLine, SilenceTimesOutAndTheNextSetIsStillAsked) {
  const Parameter before = parameter;
  const size_t writes = line_->writes().size();
  SetCtrlVal(pHandle, MAIN_RBTEeprom, 1);
  FireCtrlEvent(pHandle, MAIN_RBTEeprom, EVENT_VAL_CHANGED);
  const double t = Timer();
  FireCtrlEvent(pHandle, MAIN_BTNGet, EVENT_COMMIT);
  ASSERT_EQ(line_->writes().size(), writes + 3);
  for (int n = 0; n < 3; ++n) {
    const auto& w = line_->writes()[writes + n].bytes;
    ASSERT_EQ(w.size(), 36u);
    EXPECT_EQ(w[3], 4);
    EXPECT_EQ(w[5], n);
  }
  EXPECT_GE(Timer() - t, 3 * 1.6);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Timeout-RS-232...");
  EXPECT_EQ(0, std::memcmp(parameter.set1, before.set1, sizeof before.set1));
  EXPECT_EQ(parameter.set1Long[1], before.set1Long[1]);
}

}  // namespace
