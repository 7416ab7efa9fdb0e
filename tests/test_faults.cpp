// Faults of the line and of the operator: silence, late and broken replies, a
// device that goes away, and buttons pressed in the middle of every loop. The
// program must keep working and lose nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/panels.h"
#include "display/video.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"
#include "link/xflash.h"
#include "measure/run.h"
#include "params/panels.h"
#include "platform/clock.h"
#include "platform/graph_probe.h"
#include "platform/popup.h"
#include "platform/popup_script.h"
#include "platform/port_backend.h"
#include "platform/qt_serial_backend.h"
#include "platform/serial.h"
#include "platform/sim_port.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "app/startup.h"
#include "recorder/recorder.h"
#include "support/frames.h"
#include "support/harness.h"
#include "support/real_line.h"

namespace {

using tarvo_sim::SensorSim;
using namespace tframes;

// The words of set k as the program holds them (as they go out on the line).
tarvo_sim::Set Held(int k) {
  CopyVarsToPP(static_cast<uint16_t>(k));
  tarvo_sim::Set s{};
  for (int i = 0; i < 15; ++i) s[i] = pp[i];
  return s;
}

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
  void FlushOutput() override { inner_->FlushOutput(); }
  double NextArrivalIn() const override { return *lost_ ? -1 : inner_->NextArrivalIn(); }
  bool Lost() const override { return *lost_; }

 private:
  std::unique_ptr<PortBackend> inner_;
  bool* lost_;
};

class FaultTest : public PacedSensorTest {
 protected:
  void SetUp() override {
    PacedSensorTest::SetUp();
    std::snprintf(recfile_name, sizeof recfile_name, "%s",
                  (MakeTempDir() + "/TARVORecord.dat").c_str());
  }
  void At(double dt, std::function<void()> f) { ScheduleAt(Timer() + dt, std::move(f)); }
  void StopAt(double dt) {
    At(dt, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  }
  // Starts a recording (interval 0: every measurement reply is a record).
  void Record(int records) {
    if (!PanelVisible(pPopUp)) ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
    EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, 0);
    EnterCtrlVal(pPopUp, POPUP_NEDITRecSamples, records);
    ClickCtrl(pPopUp, POPUP_BTNStartRecord);
  }
  // Record lines in the file, without its two header lines.
  int FileRecords() {
    const auto lines = Lines(ReadAll(recfile_name));
    return lines.size() >= 2 ? static_cast<int>(lines.size()) - 2 : -1;
  }
  int RecCount() { return IntVal(pPopUp, POPUP_NUMRecCount); }
  void ChoosePort(int port) {
    SetCtrlVal(pHandle, MAIN_DropDCom, port);
    FireCtrlEvent(pHandle, MAIN_DropDCom, EVENT_COMMIT);
  }
  // The loops' buttons are usable again once a loop has ended.
  void ExpectIdleButtons() {
    EXPECT_EQ(stop_flag, 1);
    EXPECT_FALSE(CtrlDimmed(pHandle, MAIN_BTNRun));
    ClickCtrl(pHandle, MAIN_BTNStop);
    for (int c : {MAIN_BTNRun, MAIN_BTNVideo, MAIN_ButtonTeach})
      EXPECT_FALSE(CtrlDimmed(pHandle, c)) << c;
    EXPECT_FALSE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
  }
  // The sets the program holds are those of the sensor's RAM.
  void ExpectSetsMatchSensor() {
    for (int k = 0; k < 3; ++k) EXPECT_EQ(Held(k), sim().ram[k]) << "set " << k;
  }
  // RUN works (again): a measurement shows the model's edges.
  void ExpectRunWorks() {
    Aval = Bval = 0;
    StopAt(0.5);
    ClickCtrl(pHandle, MAIN_BTNRun);
    EXPECT_EQ(Status(), "Line Ok!");
    EXPECT_EQ(Aval, 1000);
    EXPECT_EQ(Bval, 1200);
  }
};

// ---------------------------------------------------------------------------
// Silence, late, stray and missing bytes

TEST_F(FaultTest, SilenceInTheMiddleOfRunEndsItWithTheTimeoutText) {
  const double t0 = Timer();
  At(1.0, [this] { sim().faults().silent = true; });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_GT(RequestCount(sim(), 8, t0), 15);
  EXPECT_EQ(Status(), "Timeout RS232-Line!");
  EXPECT_LT(Timer() - t0, 1.0 + 3.1);
  ExpectIdleButtons();
  sim().faults().silent = false;
  ExpectRunWorks();
}

TEST_F(FaultTest, SilenceInTheMiddleOfVideoEndsItAndTheHandlerIsBack) {
  const double t0 = Timer();
  At(1.3, [this] { sim().faults().silent = true; });
  ClickCtrl(pHandle, MAIN_BTNVideo);
  EXPECT_GT(RequestCount(sim(), 9, t0), 4);
  EXPECT_EQ(Status(), "Timeout RS232-Line!");
  EXPECT_EQ(LineBusy(), 0);
  ExpectIdleButtons();
  sim().faults().silent = false;
  ClickCtrl(pHandle, MAIN_BTNGet);  // the receive handler works again
  EXPECT_EQ(Status(), "Parameter-frame received! - Line Ok!");
  ExpectRunWorks();
}

TEST_F(FaultTest, SilenceDuringARecordingKeepsEveryRecordInTheFile) {
  sim().faults().silentAfter = sim().RepliesSent() + 25;
  Record(1000);
  EXPECT_EQ(Status(), "Timeout RS232-Line!");
  EXPECT_EQ(RecCount(), 25);
  EXPECT_EQ(FileRecords(), 25);
  EXPECT_FALSE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
}

TEST_F(FaultTest, LateRepliesTimeOutAndTheNextGetIsRight) {
  // Different words in the sensor than in the program, so a mixed-up set shows.
  for (int k = 0; k < 3; ++k) sim().ram[k][4] = static_cast<uint16_t>(100 + k);
  const auto set0 = Held(0);
  sim().faults().lateReply = 2.0;
  ClickCtrl(pHandle, MAIN_BTNGet);
  // Set 0 timed out and keeps its words. (The late replies then arrive during
  // the next fetches; a reply carries no set number the program could check.)
  EXPECT_EQ(Held(0), set0);

  ClickCtrl(pHandle, MAIN_BTNRun);  // the first request finds no reply in time
  EXPECT_EQ(Status(), "Timeout RS232-Line!");
  EXPECT_EQ(stop_flag, 1);

  // On time again, once the late replies are through: the sets are right.
  sim().faults().lateReply = 0;
  RunFor(3);
  ClickCtrl(pHandle, MAIN_BTNGet);
  ExpectSetsMatchSensor();
  RunFor(3);
  ExpectRunWorks();
}

TEST_F(FaultTest, StrayBytesAfterEveryReplyDoNotShiftTheFrames) {
  sim().faults().strayBytes = 5;
  const double t0 = Timer();
  int wrong = 0;
  for (int i = 1; i < 20; ++i)
    At(0.1 * i, [&] { wrong += (Aval != 1000 || Bval != 1200) ? 1 : 0; });
  StopAt(2.0);
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_GT(RequestCount(sim(), 8, t0), 30);
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(Status(), "Line Ok!");
  ClickCtrl(pHandle, MAIN_BTNGet);
  ExpectSetsMatchSensor();
}

TEST_F(FaultTest, AMissingReplyEndsRunAndAShortBlockSkipsOnlyItsPass) {
  sim().faults().dropEvery = 40;
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(Status(), "Timeout RS232-Line!");
  ExpectIdleButtons();
  sim().faults().dropEvery = 0;

  // Video blocks one byte short: each pass times out on its first block, the
  // curves stay empty, the loop goes on until STOP.
  sim().faults().shortVideo = true;
  std::fill(adcbufA, adcbufA + 128, 0);
  StopAt(4.0);
  const double t0 = Timer();
  ClickCtrl(pHandle, MAIN_BTNVideo);
  EXPECT_EQ(Status(), "Timeout-RS-232 while reading 64 data-words!");
  EXPECT_GE(RequestCount(sim(), 8, t0), 2);
  EXPECT_EQ(std::count(adcbufA, adcbufA + 128, 0), 128);
  sim().faults().shortVideo = false;
  StopAt(1.5);
  ClickCtrl(pHandle, MAIN_BTNVideo);
  for (int i = 0; i < 128; ++i) EXPECT_EQ(adcbufA[i], sim().VideoSample(0, i)) << i;
}

class FaultStart : public ::testing::Test {
 protected:
  void TearDown() override { StopApp(); }
};

TEST_F(FaultStart, AWrongEchoStopsTheConnectSequenceAndTheNextPortChoiceWorks) {
  auto sensor = NewSensor();
  sensor->faults().wrongEchoSync = true;
  ASSERT_EQ(StartApp(sensor), 0);
  EXPECT_EQ(Status(), "read error - not sync byte 0xAA!");
  ASSERT_EQ(sensor->requests().size(), 1u);
  EXPECT_EQ(sensor->requests()[0].command, 5);

  sensor->faults().wrongEchoSync = false;
  InstallPortBackend(1, MakeSimBackend(sensor));
  SetCtrlVal(pHandle, MAIN_DropDCom, 1);
  FireCtrlEvent(pHandle, MAIN_DropDCom, EVENT_COMMIT);
  EXPECT_EQ(Status(), "TARVO-LT-MS V3.03");
  EXPECT_EQ(RequestCount(*sensor, 2), 3);
}

// ---------------------------------------------------------------------------
// The device goes away

class LostDeviceTest : public FaultTest {
 protected:
  void SetUp() override {
    FaultTest::SetUp();
    lost_ = false;
    InstallPortBackend(1, std::make_unique<LosableSim>(sensor_, &lost_));
    ChoosePort(1);
    ASSERT_EQ(Status(), "TARVO-LT-MS V3.03");
  }
  // Unplugs the device after dt seconds, during `loop`; the loop ends at once
  // with the lost-device text; choosing the port again works.
  void LoseDuring(std::function<void()> loop) {
    double lostAt = 0;
    At(1.0, [&] {
      lostAt = Timer();
      lost_ = true;
    });
    loop();
    EXPECT_GT(lostAt, 0);
    EXPECT_LT(Timer() - lostAt, 0.5);
    EXPECT_EQ(Status(), kDeviceLostText);
    ExpectIdleButtons();
    lost_ = false;
    InstallPortBackend(1, MakeSimBackend(sensor_));
    ChoosePort(1);
    EXPECT_EQ(Status(), "TARVO-LT-MS V3.03");
    ExpectRunWorks();
  }
  bool lost_ = false;
};

TEST_F(LostDeviceTest, DuringRun) {
  LoseDuring([] { ClickCtrl(pHandle, MAIN_BTNRun); });
}

TEST_F(LostDeviceTest, DuringVideo) {
  LoseDuring([] { ClickCtrl(pHandle, MAIN_BTNVideo); });
}

TEST_F(LostDeviceTest, DuringARecordingKeepsTheRecords) {
  LoseDuring([this] { Record(1000); });
  EXPECT_GT(RecCount(), 10);
  EXPECT_EQ(FileRecords(), RecCount());
}

// ---------------------------------------------------------------------------
// Buttons in the middle of RUN

TEST_F(FaultTest, SendDuringRunWritesExactlyThePanelValues) {
  // (RUN shows the sets' setpoints in their fields on every frame.)
  SetCtrlVal(pPara1, PARA1_CTRLPara1W4, 1500);
  SetCtrlVal(pPara2, PARA2_CTRLPara2W4, 1700);
  double sentAt = 0;
  At(0.5, [&] {
    sentAt = Timer();
    ClickCtrl(pHandle, MAIN_BTNSend);
  });
  StopAt(1.5);
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(RequestCount(sim(), 1), 3);
  EXPECT_GT(RequestCount(sim(), 8, sentAt + 0.4), 5);  // the loop went on
  EXPECT_EQ(sim().ram[1][4], 1500);
  EXPECT_EQ(sim().ram[2][4], 1700);
  ExpectSetsMatchSensor();
  GetPanelValues();
  ExpectSetsMatchSensor();
}

TEST_F(FaultTest, GetAndTeachDuringRunTakeNoMeasurementAsASet) {
  sim().ram[1][4] = 321;
  sim().edgeA = 1111;
  At(0.5, [] { ClickCtrl(pHandle, MAIN_BTNGet); });
  At(1.5, [this] {
    EXPECT_EQ(parameter.set1[4], 321);
    ClickCtrl(pHandle, MAIN_ButtonTeach);
  });
  At(2.5, [] { FireCtrlEvent(pHandle, MAIN_ButtonReset, EVENT_COMMIT); });
  StopAt(3.5);
  const double t0 = Timer();
  ClickCtrl(pHandle, MAIN_BTNRun);
  ExpectSetsMatchSensor();
  EXPECT_EQ(RequestCount(sim(), 6), 1);
  EXPECT_EQ(RequestCount(sim(), 11), 1);
  EXPECT_GT(RequestCount(sim(), 8, t0 + 3.0), 5);  // the loop went on after all three
  EXPECT_EQ(Aval, 1111);
}

TEST_F(FaultTest, VideoDuringRunShowsCurvesAndOneStopEndsBoth) {
  At(0.5, [] { ClickCtrl(pHandle, MAIN_BTNVideo); });
  double stoppedAt = 0;
  At(2.5, [&] {
    stoppedAt = Timer();
    ClickCtrl(pHandle, MAIN_BTNStop);
  });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_LT(Timer() - stoppedAt, 1.0);
  for (int i = 0; i < 128; ++i) ASSERT_EQ(adcbufA[i], sim().VideoSample(0, i)) << i;
  EXPECT_GT(RequestCount(sim(), 9), 4);
  EXPECT_FALSE(GetGraphPlots(pHandle, MAIN_GRAPHDataMaster).empty());
  EXPECT_EQ(RequestCount(sim(), 8, stoppedAt + 0.7), 0);
  EXPECT_EQ(LineBusy(), 0);
  ExpectIdleButtons();
  ExpectRunWorks();
}

// ---------------------------------------------------------------------------
// Buttons in the middle of VIDEO: held back until the pass is over

TEST_F(FaultTest, GetSendAndResetDuringVideoKeepSetsAndCurvesIntact) {
  SetCtrlVal(pPara1, PARA1_CTRLPara1W4, 1500);
  At(0.3, [] { ClickCtrl(pHandle, MAIN_BTNSend); });
  At(0.9, [] { ClickCtrl(pHandle, MAIN_BTNGet); });
  At(1.4, [] { FireCtrlEvent(pHandle, MAIN_ButtonReset, EVENT_COMMIT); });
  StopAt(3.0);
  ClickCtrl(pHandle, MAIN_BTNVideo);
  EXPECT_EQ(RequestCount(sim(), 1), 3);
  EXPECT_EQ(RequestCount(sim(), 11), 1);
  EXPECT_EQ(sim().ram[1][4], 1500);
  ExpectSetsMatchSensor();
  for (int i = 0; i < 128; ++i) {
    EXPECT_EQ(adcbufA[i], sim().VideoSample(0, i)) << i;
    EXPECT_EQ(adcbufB[i], sim().VideoSample(1, i)) << i;
  }
  EXPECT_EQ(DeferredCount(), 0);
}

// ---------------------------------------------------------------------------
// Port change and window close during each loop

TEST_F(FaultTest, PortChangeDuringEachLoopEndsItOnTheNewPort) {
  // Video, a recording and a GET; RUN is covered with the run loop's tests.
  std::vector<std::function<void()>> loops = {
      [] { ClickCtrl(pHandle, MAIN_BTNVideo); },
      [this] { Record(1000); },
      [this] {
        sim().SetAnswerDelay(0.5);
        ClickCtrl(pHandle, MAIN_BTNGet);
        sim().SetAnswerDelay(0);
      }};
  for (size_t i = 0; i < loops.size(); ++i) {
    SCOPED_TRACE(i);
    const int port = i % 2 ? 1 : kSimPort;
    if (port == 1) InstallPortBackend(1, MakeSimBackend(sensor_));
    At(0.7, [&] { ChoosePort(port); });
    loops[i]();
    EXPECT_EQ(com, port);
    EXPECT_EQ(stop_flag, 1);
    ExpectIdleButtons();
    auto& now = port == 1 ? sim() : *BuiltInSim();
    for (int k = 0; k < 3; ++k) EXPECT_EQ(Held(k), now.ram[k]) << "set " << k;
    if (i == 1) EXPECT_EQ(FileRecords(), RecCount());
  }
}

TEST_F(FaultTest, ClosingTheRecorderPopupEndsVideoAndRecording) {
  ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  At(1.0, [] { FirePanelEvent(pPopUp, EVENT_CLOSE); });
  ClickCtrl(pHandle, MAIN_BTNVideo);
  EXPECT_FALSE(PanelVisible(pPopUp));
  EXPECT_EQ(LineBusy(), 0);
  ExpectIdleButtons();

  At(1.0, [] { FirePanelEvent(pPopUp, EVENT_CLOSE); });
  Record(1000);
  EXPECT_FALSE(PanelVisible(pPopUp));
  EXPECT_GT(RecCount(), 10);
  EXPECT_EQ(FileRecords(), RecCount());
  ExpectIdleButtons();
  ExpectRunWorks();
}

TEST_F(FaultTest, ClosingTheMainPanelEndsVideoRecordingAndGet) {
  std::vector<std::function<void()>> loops = {
      [] { ClickCtrl(pHandle, MAIN_BTNVideo); }, [this] { Record(1000); },
      [this] {
        sim().SetAnswerDelay(0.5);
        ClickCtrl(pHandle, MAIN_BTNGet);
        sim().SetAnswerDelay(0);
      }};
  for (size_t i = 0; i < loops.size(); ++i) {
    SCOPED_TRACE(i);
    ResetQuitRequest();
    double closedAt = 0;
    At(0.7, [&] {
      closedAt = Timer();
      FirePanelEvent(pHandle, EVENT_CLOSE);
    });
    loops[i]();
    EXPECT_TRUE(QuitRequested());
    EXPECT_LT(Timer() - closedAt, TIMEOUT + 0.3);  // at most the wait under way
    EXPECT_EQ(stop_flag, 1);
    EXPECT_EQ(LineBusy(), 0);
    ClearSchedule();
    LineStart();  // the next scenario: a program started anew
    ClickCtrl(pHandle, MAIN_BTNStop);
    InstallPortBackend(1, MakeSimBackend(sensor_));
    ChoosePort(1);
  }
  EXPECT_GT(RecCount(), 10);
  EXPECT_EQ(FileRecords(), RecCount());
}

TEST_F(FaultTest, ClosingTheMainPanelDuringAnUploadLetsItRunToItsEnd) {
  const std::string path = MakeTempDir() + "/XF-LINEAR.DAT";
  std::string text;
  for (int i = 0; i < 2048; ++i) text += std::to_string(4095 - 2 * i) + "\n";
  WriteFile(path, text);
  SetCtrlAttribute(pCalib, CALIB_BTNWriteXFMA, ATTR_VISIBLE, 1);
  QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, path);
  At(2.0, [] { FirePanelEvent(pHandle, EVENT_CLOSE); });
  FireCtrlEvent(pCalib, CALIB_BTNWriteXFMA, EVENT_COMMIT);
  EXPECT_TRUE(QuitRequested());
  EXPECT_EQ(RequestCount(sim(), 101), 1);
  EXPECT_EQ(RequestCount(sim(), 102), 256);
  for (int i = 0; i < 2048; ++i) ASSERT_EQ(sim().xflash[i], linArray[i]) << i;
  EXPECT_EQ(Status(), "X-FLASH Data successfully written!");
}

// ---------------------------------------------------------------------------
// The real serial path: the standalone simulator on a pseudo-terminal dies
// in the middle of RUN; a new one on a new pseudo-terminal is chosen.

#ifdef TARVO_SIM_EXE
using PtyFaultTest = RealLineTest;

TEST_F(PtyFaultTest, DeviceGoneDuringRunThenPickedAgain) {
  auto first = std::make_unique<SimProcess>();
  ASSERT_FALSE(first->path().empty());
  ASSERT_EQ(StartOn(first->path()), 0);
  ASSERT_EQ(Status(), "TARVO-LT-MS V3.03");

  double goneAt = 0;
  ScheduleAt(Timer() + 0.7, [&] {
    goneAt = Timer();
    first->Kill();
  });
  ClickCtrl(pHandle, MAIN_BTNRun);
  ASSERT_GT(goneAt, 0);
  EXPECT_LT(Timer() - goneAt, 1.0);
  EXPECT_EQ(Status(), kDeviceLostText);
  EXPECT_EQ(stop_flag, 1);
  EXPECT_FALSE(CtrlDimmed(pHandle, MAIN_BTNRun));

  SimProcess second;
  ASSERT_FALSE(second.path().empty());
  InstallPortBackend(1, MakeQtSerialBackend(second.path(), 19200, 0, 8, 1));
  SetCtrlVal(pHandle, MAIN_DropDCom, 1);
  FireCtrlEvent(pHandle, MAIN_DropDCom, EVENT_COMMIT);
  EXPECT_EQ(Status(), "TARVO-LT-MS V3.03");
  Aval = 0;
  ScheduleAt(Timer() + 0.5, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(Status(), "Line Ok!");
  EXPECT_EQ(Aval, 1000);
}
#endif

}  // namespace
