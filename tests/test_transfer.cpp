// GET and SEND between the panels and the sensor's RAM or EEPROM, the radio
// buttons, the fetch of one set, and the fetch of the set comparison.

#include "link/compare_fetch.h"
#include "link/transfer.h"
#include "tests/support/scripted_app.h"

namespace {

using namespace tframes;
using tarvo_sim::Set;

// Distinct, in-range sets as a sensor memory would hold them.
Set MakeSet(int n, uint16_t base) {
  if (n == 0) return {2, 1, 3, 4, 17, 0, 120, 140, 9, 8, 7, 6, 5, 0x5678, 0x0001};
  const auto u = [](int v) { return static_cast<uint16_t>(v); };
  return {base, 1,  u(40 + n), u(base + 100), u(n), u(3000 + n), 1, 11,
          12,   13, 14,        u(2048 * n),   0,    u(1000 + n), 2};
}

using Transfer = AppTest;

TEST_F(Transfer, GetFetchesTheThreeSetsInTurnAndShowsThem) {
  for (int n = 0; n < 3; ++n) sim().eeprom[n] = MakeSet(n, static_cast<uint16_t>(300 + n));
  ClickCtrl(pHandle, MAIN_RBTEeprom);
  const Set before1 = HeldSet(1);
  sim().ClearRequests();
  const double t0 = Timer();
  ClickCtrl(pHandle, MAIN_BTNGet);
  const auto& req = sim().requests();
  ASSERT_EQ(SentCommands(sim()), std::vector<uint16_t>(3, kCmdFetchEeprom));
  EXPECT_EQ(req[1].words, before1);  // a request carries the set's current words
  // Each fetch follows the previous reply after a 0.1 s pause, and a last pause after set 2.
  EXPECT_EQ(
      Longs({req[0].argument, req[1].argument, req[2].argument, req[1].time - req[0].time >= 0.1,
             req[2].time - req[1].time >= 0.1, Timer() - req[2].time >= 0.1, Timer() - t0 < 0.5}),
      Longs({0, 1, 2, 1, 1, 1, 1}));
  for (int n = 0; n < 3; ++n) EXPECT_EQ(HeldSet(n), sim().eeprom[n]) << "set " << n;
  EXPECT_EQ(IntVal(pPara2, PARA2_NEDITeachB), 402);  // and the panels show them
  EXPECT_EQ(Status(), "Parameter-frame received! - Line Ok!");
  // The fetch of one set leaves the panels alone until the last.
  sim().ram[1] = MakeSet(1, 900);
  SetCtrlVal(pPara1, PARA1_CTRLPara1W0, 123);
  PushGET(1, 1);
  EXPECT_EQ(Longs({parameter.set1[0], IntVal(pPara1, PARA1_CTRLPara1W0)}), Longs({900, 123}));
  PushGET(1, 2);
  EXPECT_EQ(IntVal(pPara1, PARA1_CTRLPara1W0), 900);
}

TEST_F(Transfer, SendCarriesThePanelValuesToRamOrEeprom) {
  SetCtrlVal(pCalib, CALIB_CTRLScaleB, 2.5);  // every control is read back first
  for (int memory : {MAIN_RBTRam, MAIN_RBTEeprom}) {
    ClickCtrl(pHandle, memory);
    sim().ClearRequests();
    parameter.header = 0x1234;
    EXPECT_EQ(FireCtrlEvent(pHandle, MAIN_BTNSend, EVENT_COMMIT), 0);  // the event goes on as usual
    const auto& req = sim().requests();
    ASSERT_EQ(SentCommands(sim()),
              std::vector<uint16_t>(3, memory == MAIN_RBTRam ? kCmdSendRam : kCmdSendEeprom));
    for (int n = 0; n < 3; ++n) {
      EXPECT_EQ(
          Longs({req[n].argument, req[n].sync, n == 0 || req[n].time - req[n - 1].time >= 0.1}),
          Longs({n, 0x0055, 1}));
      EXPECT_EQ(req[n].words, HeldSet(n));
      EXPECT_EQ((memory == MAIN_RBTRam ? sim().ram : sim().eeprom)[n], req[n].words);
    }
    EXPECT_EQ(Longs({req[2].words[11], req[2].words[12]}), Longs({2560, 0}));  // 2.5 x 1024
    EXPECT_EQ(Status(), "Line Ok!");
    EXPECT_EQ(parameter.header, 0x0055);
  }
}

TEST_F(Transfer, RadioButtonsMirrorTheTargetAndFallBackToRam) {
  const Longs steps[] = {
      // click, then target and the RAM, EEPROM and file buttons
      {MAIN_RBTEeprom, 2, 0, 1, 0}, {MAIN_RBTEeprom, 1, 1, 0, 0},  // clicked off: RAM
      {MAIN_RBTFile, 3, 0, 0, 1},   {MAIN_RBTEeprom, 2, 0, 1, 0}, {MAIN_RBTFile, 3, 0, 0, 1},
      {MAIN_RBTFile, 1, 1, 0, 0},   {MAIN_RBTRam, 1, 1, 0, 0}};  // clicking RAM off keeps RAM
  for (const Longs& s : steps) {
    ClickCtrl(pHandle, s[0]);
    EXPECT_EQ(Longs({s[0], target, IntVal(pHandle, MAIN_RBTRam), IntVal(pHandle, MAIN_RBTEeprom),
                     IntVal(pHandle, MAIN_RBTFile)}),
              s);
  }
}

// ---- against a scripted line --------------------------------------------------------

using FetchOnLine = ScriptedAppTest;

// A loop's late measurement reply that comes first is passed over: only the
// frame that echoes the fetch is the set, within the same time-out.
TEST_F(FetchOnLine, AMeasurementFrameIsNotTakenAsTheSet) {
  const Set words = {700, 1, 60, 800, 2, 3000, 0, 1, 2, 3, 4, 4096, 0, 99, 0};
  const double t = Timer();
  line_->ReplyToNextWrite(0.05, MeasurementFrame(Words(16, 5000)));
  line_->Arrive(t + 0.8, OrdinaryFrame(kCmdFetchRam, {words.begin(), words.end()}));
  PushGET(1, 1);
  EXPECT_EQ(HeldSet(1), words);
  EXPECT_EQ(Status(), "Parameter-frame received! - Line Ok!");
  EXPECT_GE(Timer() - t, 0.79);
}

TEST_F(FetchOnLine, SendSaysLineOkOnlyWhenAllThreeSetsWereAccepted) {
  line_->SetAccept(0);
  ScheduleAt(Timer(), [this] { line_->SetAccept(-1); });  // taken from set 1 on
  FireCtrlEvent(pHandle, MAIN_BTNSend, EVENT_COMMIT);
  EXPECT_EQ(Status(), "SEND incomplete: 1 of 3 sets not sent!");
  FireCtrlEvent(pHandle, MAIN_BTNSend, EVENT_COMMIT);
  EXPECT_EQ(Status(), "Line Ok!");
}

// The set comparison reads a set without touching pp, the sets or the panels.
TEST_F(FetchOnLine, TheComparisonFetchReturnsTheWordsAndLeavesPpAlone) {
  for (int i = 0; i < 16; ++i) pp[i] = static_cast<uint16_t>(i + 1);
  const uint16_t current[15] = {9, 9, 9};
  const std::vector<uint16_t> words = {500, 1, 50, 512, 1, 4096, 7};
  const Parameter before = parameter;
  uint16_t out[15] = {};
  line_->ReplyToNextWrite(0.02, MeasurementFrame({1000, 1200}));  // passed over
  line_->Arrive(Timer() + 0.04, OrdinaryFrame(kCmdFetchEeprom, words));
  EXPECT_EQ(FetchSetWords(kCmdFetchEeprom, 2, current, out), 1);
  EXPECT_EQ(std::vector<uint16_t>(out, out + 7), words);
  EXPECT_EQ(WordsToBytes({0x0055, kCmdFetchEeprom, 2, 9, 9, 9}), LastSent());
  for (int i = 0; i < 16; ++i) EXPECT_EQ(pp[i], i + 1) << i;
  EXPECT_EQ(std::memcmp(&before, &parameter, sizeof before), 0);
  // No echoing frame in time: 0, and out stays as it was.
  out[0] = 4242;
  EXPECT_EQ(FetchSetWords(kCmdFetchRam, 0, current, out), 0);
  EXPECT_EQ(out[0], 4242);
}

}  // namespace
