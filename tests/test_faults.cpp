// Faults of the line and of the operator: late replies, a device that goes
// away, and transactions or a port change in the middle of a loop. The program must keep working,
// say what happened and lose nothing.

#include "display/video.h"
#include "link/xflash.h"
#include "platform/sim_port.h"
#include "tests/support/scripted_app.h"

namespace {

using namespace tframes;
using tarvo_sim::SensorSim;

// The sensor model behind a device that can go away (unplugged, far end closed).
class LosableSim : public PortBackend {
 public:
  LosableSim(std::shared_ptr<SensorSim> s, bool* lost) : inner_(MakeSimBackend(s)), lost_(lost) {}
  int Open() override { return inner_->Open(); }
  void Close() override { inner_->Close(); }
  int Write(const uint8_t* d, int n) override { return *lost_ ? -4 : inner_->Write(d, n); }
  void Poll(std::vector<uint8_t>& in) override {
    if (!*lost_) inner_->Poll(in);
  }
  double NextArrivalIn() const override { return *lost_ ? -1 : inner_->NextArrivalIn(); }
  bool Lost() const override { return *lost_; }

 private:
  std::unique_ptr<PortBackend> inner_;
  bool* lost_;
};

class FaultTest : public LoopTest {
 protected:
  // Every record counted is in the file (below its two header lines).
  static void ExpectRecordsKept() {
    const int count = IntVal(pPopUp, POPUP_NUMRecCount);
    EXPECT_GT(count, 10);
    EXPECT_EQ(int(Lines(ReadAll(recfile_name)).size()) - 2, count);
  }
  // The loops' buttons are usable again after STOP, and the sets the program
  // holds are those of the sensor's RAM.
  static void ExpectIdleWithSetsOf(SensorSim& s) {
    EXPECT_EQ(Longs({stop_flag, LineBusy()}), Longs({1, 0}));
    Click(MAIN_BTNStop);
    for (int c : {MAIN_BTNRun, MAIN_BTNVideo, MAIN_ButtonTeach})
      EXPECT_FALSE(CtrlDimmed(pHandle, c)) << c;
    EXPECT_FALSE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
    for (int k = 0; k < 3; ++k) EXPECT_EQ(HeldSet(k), s.ram[k]) << "set " << k;
  }
  // Each loop (VIDEO, a recording of every reply, a slow GET, RUN), to be interrupted.
  const std::vector<std::function<void()>> loops_ = {[] { Click(MAIN_BTNVideo); },
                                                     [] { RecordEveryReply(1000); },
                                                     [this] {
                                                       sim().SetAnswerDelay(0.5);
                                                       Click(MAIN_BTNGet);
                                                       sim().SetAnswerDelay(0);
                                                     },
                                                     [] { Click(MAIN_BTNRun); }};
};

TEST_F(FaultTest, LateRepliesTimeOutAndTheNextGetIsRight) {
  // Different words in the sensor than in the program, so a mixed-up set shows.
  for (int k = 0; k < 3; ++k) sim().ram[k][4] = static_cast<uint16_t>(100 + k);
  const auto set0 = HeldSet(0);
  sim().faults().lateReply = 2.0;
  Click(MAIN_BTNGet);
  // Set 0 timed out and keeps its words. (The late replies then arrive during
  // the next fetches; a reply carries no set number the program could check.)
  EXPECT_EQ(HeldSet(0), set0);
  Click(MAIN_BTNRun);  // the first request finds no reply in time
  EXPECT_EQ(Status(), "Timeout RS232-Line!");
  sim().faults().lateReply = 0;  // on time again, once the late replies are through
  RunFor(3);
  Click(MAIN_BTNGet);
  RunFor(3);
  ExpectIdleWithSetsOf(sim());
  ExpectRunShowsTheEdges();
}

// Every transaction clicked in the middle of RUN gets its own reply, none
// takes a measurement reply for a set, and the loop goes on after each.
TEST_F(FaultTest, TransactionsDuringRunTakeTheirOwnRepliesAndTheLoopGoesOn) {
  SetCtrlVal(pPara1, PARA1_CTRLPara1W4, 1500);  // (RUN shows the setpoints on every frame)
  sim().edgeA = 1111;
  After(0.5, [] { Click(MAIN_BTNSend); });
  After(1.5, [this] {
    EXPECT_EQ(sim().ram[1][4], 1500);
    sim().ram[2][4] = 321;
    Click(MAIN_BTNGet);
  });
  After(2.5, [] { Click(MAIN_ButtonTeach); });
  After(3.0, [this] { sim().edgeA = 1000; });
  After(3.5, [] { FireCtrlEvent(pHandle, MAIN_ButtonReset, EVENT_COMMIT); });
  After(4.5, [] { Click(MAIN_BTNVideo); });  // VIDEO inside RUN: one STOP ends both
  StopAfter(6.5);
  Click(MAIN_BTNRun);
  const auto sent = SentCommands(sim());
  for (uint16_t c : {kCmdSendRam, kCmdTeach, kCmdResetMaxMin, kCmdVideoBlock}) {
    const auto at = std::find(sent.begin(), sent.end(), c);
    ASSERT_NE(at, sent.end()) << c;
    EXPECT_GT(std::count(at, sent.end(), kCmdMeasure), 2) << c;  // the loop went on
  }
  // SEND's three sets; the GET and the teach's read-back.
  EXPECT_EQ(Longs({RequestCount(sim(), kCmdSendRam), RequestCount(sim(), kCmdFetchRam)}),
            Longs({3, 6}));
  EXPECT_EQ(Longs({parameter.set2[4], parameter.set1[3]}), Longs({321, 1111}));
  for (int i = 0; i < 128; ++i) ASSERT_EQ(adcbufA[i], sim().VideoSample(0, i)) << i;
  ExpectIdleWithSetsOf(sim());
}

// A port change ends each loop, losing no record; the
// new port connects, and the sets are those of its sensor. (Closing the window
// during a loop: the line suite's random clicks.)
TEST_F(FaultTest, APortChangeEndsEveryLoop) {
  for (size_t i = 0; i < loops_.size(); ++i) {
    SCOPED_TRACE(i);
    const int port = i % 2 ? 1 : kSimPort;
    if (port == 1) InstallPortBackend(1, MakeSimBackend(sensor_));
    After(0.7, [port] { ChoosePort(port); });
    loops_[i]();
    if (i == 1) ExpectRecordsKept();
    EXPECT_EQ(com, port);
    ExpectIdleWithSetsOf(port == 1 ? sim() : *BuiltInSim());
  }
}

TEST_F(FaultTest, ClosingTheWindowDuringAnUploadLetsItRunToItsEnd) {
  After(2.0, [] { FirePanelEvent(pHandle, EVENT_CLOSE); });
  Upload(CALIB_BTNWriteXFMA);
  EXPECT_TRUE(QuitRequested());
  EXPECT_EQ(RequestCount(sim(), kCmdWriteXFlash), 256);
  EXPECT_EQ(Status(), "X-FLASH Data successfully written!");
}

// The device goes away during a loop: the loop ends at once with its own
// text; choosing the port again works.
TEST_F(FaultTest, ADeviceLostDuringALoopEndsItAndThePortCanBeChosenAgain) {
  bool lost = false;
  for (size_t i : {0, 1, 3}) {
    SCOPED_TRACE(i);
    InstallPortBackend(1, std::make_unique<LosableSim>(sensor_, &lost));
    ChoosePort(1);
    ASSERT_EQ(Status(), "TARVO-LT-MS V3.03");
    double lostAt = 0;
    After(1.0, [&] {
      lostAt = Timer();
      lost = true;
    });
    loops_[i]();
    EXPECT_LT(Timer() - lostAt, 0.5);
    EXPECT_EQ(Status(), kDeviceLostText);
    ExpectIdleWithSetsOf(sim());
    if (i == 1) ExpectRecordsKept();
    lost = false;
  }
  InstallPortBackend(1, MakeSimBackend(sensor_));
  ChoosePort(1);
  EXPECT_EQ(Status(), "TARVO-LT-MS V3.03");
  ExpectRunShowsTheEdges();
}

}  // namespace
