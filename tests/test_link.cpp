// The sensor link: payload copies, receive notification, reply
// wait, connect sequence and device identification.

#include "platform/sim_port.h"
#include "tests/support/scripted_app.h"

namespace {

using namespace tframes;
using tarvo_sim::SensorSim;

// A hardware reply: after sync and echo, the ten words of the description.
struct Hw {
  uint16_t echo = kCmdHardware, ccdtype = 1, maxpixel = 1024, resolution = 4096, pcbtype = 0,
           virtpixel = 4096, subpixel = 4096, pixB = 1, pixE = 1024, softversion = 303,
           hwtype = 10055;
};
Bytes HardwareReply(const Hw& h) {
  return WordsToBytes({0x00AA, h.echo, h.ccdtype, h.maxpixel, h.resolution, h.pcbtype, h.virtpixel,
                       h.subpixel, h.pixB, h.pixE, h.softversion, h.hwtype});
}

// Line 3 of the sensor description on the calibration panel (the working range).
std::string WorkingRangeShown() {
  char buf[256] = {0};
  GetTextBoxLine(pCalib, CALIB_TEXTSensorInfo, 3, buf, sizeof buf);
  return buf;
}

// ---- Payloads ------------------------------------------------------------

TEST(Payload, EachSetTravelsWithItsLongFieldsLowWordFirstAndComesBackAlone) {
  for (int i = 0; i < 13; ++i) parameter.set0[i] = static_cast<uint16_t>(100 + i);
  for (int i = 0; i < 11; ++i) parameter.set1[i] = static_cast<uint16_t>(200 + i);
  for (int i = 0; i < 11; ++i) parameter.set2[i] = static_cast<uint16_t>(300 + i);
  parameter.set0Long = 0x12345678u;
  parameter.set1Long[0] = 0x11112222u;
  parameter.set1Long[1] = 0xFFFF0003u;
  parameter.set2Long[0] = 0x00010000u;
  parameter.set2Long[1] = 70000;
  const Parameter sent = parameter;
  const std::vector<uint16_t> tails[3] = {
      {0x5678, 0x1234}, {0x2222, 0x1111, 3, 0xFFFF}, {0, 1, 0x1170, 1}};
  for (int k = 0; k < 3; ++k) {
    parameter = sent;
    tarvo_sim::Set want{};
    for (int i = 0; i < (k ? 11 : 13); ++i) want[i] = static_cast<uint16_t>(100 * (k + 1) + i);
    std::copy(tails[k].begin(), tails[k].end(), want.begin() + (k ? 11 : 13));
    pp[15] = 0x5A5A;
    EXPECT_EQ(HeldSet(k), want) << k;
    EXPECT_EQ(pp[15], 0x5A5A);
    // Into an empty record: set k only.
    std::memset(&parameter, 0, sizeof parameter);
    CopyPPtoVars(static_cast<uint16_t>(k));
    for (int j = 0; j < 3; ++j) EXPECT_EQ(HeldSet(j), j == k ? want : tarvo_sim::Set{}) << k << j;
  }
  // No such set: neither direction changes anything.
  parameter = sent;
  for (int i = 0; i < 16; ++i) pp[i] = static_cast<uint16_t>(i);
  CopyVarsToPP(3);
  CopyPPtoVars(3);
  CopyPPtoVars(0xFFFF);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(pp[i], i);
  EXPECT_EQ(std::memcmp(&sent, &parameter, sizeof parameter), 0);
}

TEST(Payload, StartValuesAreTheFactorySetsAndMeasurementWordsAreSigned) {
  SetParameterStartValues();
  for (int k = 0; k < 3; ++k) EXPECT_EQ(HeldSet(k), SensorSim().eeprom[k]) << "set " << k;
  for (int i = 0; i < 16; ++i) pp[i] = static_cast<uint16_t>(1000 + i);
  pp[3] = 0xFFFF;  // low word first: 0xFFFEFFFF micrometres
  pp[4] = 0xFFFE;
  CopyPPtoRAWVars();
  EXPECT_EQ(Longs({Aval, Bval, Mvalue, umValue, poti, edcntA, edcntB, peakwA, peakwB, anaMax,
                   anaMin, raw13, raw14, raw15, instate}),
            Longs({1000, 1001, 1002, -65537, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013,
                   1014, 1015}));
}

// ---- Receive notification and reply wait ---------------------------------------

using NotifyTest = ScriptedAppTest;

TEST_F(NotifyTest, EachFrameIsNotifiedOnceInStepAndTheReplyWaitHasItsTimeout) {
  const auto numbered = [](int first) {
    std::vector<uint16_t> w;
    for (int i = 0; i < 15; ++i) w.push_back(static_cast<uint16_t>(first + i));
    return OrdinaryFrame(kCmdFetchRam, w);
  };
  const auto deliver = [this](const Bytes& b) {
    rx_flag = 0;
    line_->Arrive(Timer() + 0.01, b);
    RunFor(0.05);
    return rx_flag;
  };
  Bytes more = numbered(100);  // a frame in two pieces, and more: the rest is dropped
  more.resize(36 + 20, 0x55);
  EXPECT_EQ(deliver(Bytes(more.begin(), more.begin() + 20)), 0);
  EXPECT_EQ(deliver(Bytes(more.begin() + 20, more.end())), 1);
  EXPECT_EQ(Longs({graph_flag, pp[0], pp[14], GetInQLen(1)}), Longs({0, 100, 114, 0}));
  // Bytes waiting before a request (a fragment, the tail of a late reply) are
  // flushed by it, however it is sent: the reply is read in step.
  for (int built = 0; built < 2; ++built) {
    EXPECT_EQ(deliver(Bytes(20, 0xAA)), 0);
    line_->ReplyToNextWrite(0.05, numbered(42));
    if (built) FillTxBuf(kCmdFetchRam, 0, pp);
    built ? LineSendBuilt(1) : LineSend(kCmdFetchRam, 0, pp);
    EXPECT_EQ(WaitRxFull(), 1);
    EXPECT_EQ(pp[0], 42) << built;
  }
  // No reply within the time-out: the wait gives up; the late reply is taken afterwards.
  line_->ReplyToNextWrite(2.0, numbered(7));
  LineSend(kCmdFetchRam, 0, pp);
  const double t0 = Timer();
  EXPECT_EQ(WaitRxFull(), 0);
  EXPECT_TRUE(Timer() - t0 > TIMEOUT && Timer() - t0 < TIMEOUT + 0.1) << Timer() - t0;
  RunFor(1.0);
  EXPECT_EQ(Longs({rx_flag, pp[0]}), Longs({1, 7}));
}

TEST(Status, TextIsCutTo72CharactersAndEveryOpenFailureHasItsText) {
  SetStatus((std::string(71, 'x') + "yz").c_str());
  EXPECT_EQ(std::string(szStatus), std::string(71, 'x') + "y");
  SetStatus(nullptr);
  EXPECT_EQ(std::string(szStatus) + "|" + ComErrorText(-7) + "|" + ComErrorText(-5) + "|" +
                ComErrorText(-98),
            "|Cannot open port|RS-232 error!|RS-232 error!");
}

// ---- The connect sequence through the started program ------------------------

using ConnectTest = StartsAppTest;

TEST_F(ConnectTest, HealthySensorIsIdentifiedAndItsVersionShown) {
  auto sensor = NewSensor();
  sensor->SetVersionText("TARVO-LT-MS V3.03");
  sensor->hardware().hwtype = 10037;
  ASSERT_EQ(StartApp(sensor), 0);
  const auto& req = sensor->requests();
  ASSERT_EQ(SentCommands(*sensor), (std::vector<uint16_t>{5, 10, 2, 2, 2, 7}));
  for (size_t i = 1; i < req.size(); ++i)
    EXPECT_GE(req[i].time - req[i - 1].time, 0.1 - 1e-9) << "pause before " << i;
  EXPECT_EQ(Longs({req[2].argument, req[3].argument, req[4].argument}), Longs({0, 1, 2}));
  EXPECT_EQ(Status(), "TARVO-LT-MS V3.03");
  EXPECT_EQ(WorkingRangeShown(), "working-range = 37mm +/-2.0mm");
  // The sequence of a port change is one transaction: GET clicked meanwhile follows it.
  sensor->ClearRequests();
  InstallPortBackend(1, MakeSimBackend(sensor));
  After(0.15, [] { ClickCtrl(pHandle, MAIN_BTNGet); });
  ChoosePort(1);
  EXPECT_EQ(SentCommands(*sensor), (std::vector<uint16_t>{5, 10, 2, 2, 2, 7, 2, 2, 2}));
}

TEST_F(ConnectTest, AFailingStepIsReportedAndOnlyTheEchoCheckEndsTheSequence) {
  const std::vector<uint16_t> all = {5, 10, 2, 2, 2, 7}, echoOnly = {5};
  struct Case {
    void (*fault)(tarvo_sim::Faults&);
    std::vector<uint16_t> commands;
    const char* status;
  } cases[] = {
      {[](tarvo_sim::Faults& f) { f.wrongEchoSync = true; }, echoOnly,
       "read error - not sync byte 0xAA!"},
      {[](tarvo_sim::Faults& f) { f.silent = true; }, echoOnly, "Timeout-RS-232..."},
      {[](tarvo_sim::Faults& f) { f.shortVersion = true; }, all, "Error reading firmware-info!"},
  };
  for (const Case& c : cases) {
    auto sensor = NewSensor();
    c.fault(sensor->faults());
    ASSERT_EQ(StartApp(sensor), 0);
    EXPECT_EQ(SentCommands(*sensor), c.commands) << c.status;
    EXPECT_EQ(Status(), c.status);
    StopApp();
  }
}

// ---- Identification queries on a line the test scripts -----------------------

using IdentifyTest = ScriptedAppTest;

// The echo check sends set 0 and looks only at the sync word; the hardware
// reply fills the globals, the video axes and the full scale.
TEST_F(IdentifyTest, EchoCheckAndHardwareReply) {
  Bytes reply = WordsToBytes({0x00AA, 0x1234});
  for (size_t i = 4; i < reply.size(); ++i) reply[i] = static_cast<uint8_t>(i * 7);
  line_->ReplyToNextWrite(0.05, reply);
  EXPECT_EQ(CheckComLine(1), 1);
  EXPECT_EQ(Status(), "Echo Check - Line Ok!");
  EXPECT_EQ(LastSent(), RequestWithSet(kCmdEcho, 0));
  line_->ReplyToNextWrite(0.05,
                          HardwareReply({10, 1, 2048, 77, 3, 4096, 8192, 5, 2000, 304, 10080}));
  for (int i = 0; i < 16; ++i) pp[i] = static_cast<uint16_t>(900 + i);
  const Bytes request = WordsToBytes(Words(pp, pp + 15), 36, {0x0055, kCmdHardware, 0});
  ASSERT_EQ(GetHARDWAREInfo(), 1);
  EXPECT_EQ(LastSent(), request);  // the request carries pp as it was
  EXPECT_EQ(Longs({ccdtype, ccdmaxpixel, ccdresolution, pcbtype, ccdvirtpixel, ccdsubpixel, ccdpixB,
                   ccdpixE, softversion, hwtype, adcmax}),
            Longs({1, 2048, 77, 3, 4096, 8192, 5, 2000, 304, 10080, 10080}));
  // Known virtual pixel ranges spread the 128 samples over the range; any other
  // keeps the axes but spreads the curve over 2048. Full scale 1024 only for
  // a type-1 sensor whose word 22 is 1024.
  struct Case {
    uint16_t virtpixel, ccdtype, word22, fullScale;
  } cases[] = {{256, 1, 1024, 1024}, {768, 2, 1024, 256},   {1280, 1, 256, 256},  {2048, 1, 1, 256},
               {4096, 1, 1025, 256}, {8192, 1, 1024, 1024}, {3000, 1, 1024, 1024}};
  for (const Case& c : cases) {
    Hw h;
    std::tie(h.virtpixel, h.ccdtype, h.hwtype) = std::tie(c.virtpixel, c.ccdtype, c.word22);
    YMAXADC = 999;
    line_->ReplyToNextWrite(0.05, HardwareReply(h));
    ASSERT_EQ(GetHARDWAREInfo(), 1);
    const uint16_t spread = c.virtpixel == 3000 ? 2048 : c.virtpixel;
    // Nothing beyond the 128 samples is written: the description stays as it came.
    EXPECT_EQ(Longs({ccdvirtpixel, ccdpixE, softversion, adcmax, YMAXADC}),
              Longs({spread, 1024, 303, c.word22, c.fullScale}))
        << c.virtpixel;
    for (int i = 0; i < 128; ++i) ASSERT_DOUBLE_EQ(xArray8[i], i * spread / 128.0) << i;
    for (int graph : {MAIN_GRAPHDataMaster, MAIN_GRAPHDataSlave})
      EXPECT_EQ(AxisRange(pHandle, graph, VAL_XAXIS), std::make_pair(1.0, double(c.virtpixel)));
  }
  // A wrong echo, then no reply in time: nothing derived from the reply changes.
  const Hw good{10, 1, 1024, 4096, 0, 1024, 4096, 1, 1024, 303, 10037};
  const Hw bad{kCmdFetchRam, 1, 1024, 4096, 0, 8192, 77, 1, 1024, 303, 1024};
  for (double delay : {0.05, 3.0}) {
    line_->ReplyToNextWrite(0.05, HardwareReply(good));
    ASSERT_EQ(GetHARDWAREInfo(), 1);
    line_->ReplyToNextWrite(delay, HardwareReply(bad));
    EXPECT_EQ(GetHARDWAREInfo(), 0);
    EXPECT_EQ(Longs({ccdvirtpixel, ccdsubpixel, hwtype, YMAXADC}), Longs({1024, 4096, 10037, 256}))
        << delay;
    EXPECT_DOUBLE_EQ(xArray8[1], 8.0);
    EXPECT_EQ(WorkingRangeShown(), "working-range = 37mm +/-2.0mm");
  }
}

TEST(SensorDescription, HeadsOfTypeOneAreKnownByTheirWorkingRange) {
  const SensorDescription head = DescribeSensor(1, 10037);  // texts in Windows-1252: 0xB5 is µ
  EXPECT_EQ(std::string(head.line[0]) + "|" + head.line[2],
            "1024-pixel; 7.8\xB5m pixel-pitch|resolution    = +/-1\xB5m");
  // The head number is 10000 + the working range in millimetres.
  for (uint16_t hw : {10037, 10055, 10080, 10135, 10160, 10200, 10275, 10450}) {
    const SensorDescription d = DescribeSensor(1, hw);
    const std::string range = "working-range = " + std::to_string(hw - 10000) + "mm +/-";
    EXPECT_EQ(std::string(d.line[3]).rfind(range, 0), 0u) << d.line[3];
  }
  for (const auto& [type, hw] : {std::pair{1, 10100}, {2, 10055}}) {
    const SensorDescription d = DescribeSensor(type, hw);
    EXPECT_EQ(std::string(d.line[0]) + d.line[3],
              "CCD-SENSOR: No Info Avialable!" + std::string(32, ' '));
  }
}

// ---- Firmware query ------------------------------------------------------------

// A board-type-0 version reply: one character in the low byte of each word.
Bytes BoardZeroVersion(const std::string& text) {
  std::vector<uint16_t> w(text.begin(), text.end());
  return WordsToBytes(w, 72);
}

TEST_F(IdentifyTest, VersionRepliesOfBothBoardTypesAreShownSafely) {
  Bytes zeroBoard = BoardZeroVersion(std::string(35, 'Q') + "Z");  // 36 characters fill szVersion
  zeroBoard[0] = 0x41;                                             // high bytes are ignored
  Bytes text(72, 'A');  // other boards: text up to a zero byte, control characters as blanks
  const std::string fw = std::string("FW\t1.2\r\nbeta\x01") + '\0';
  std::copy(fw.begin(), fw.end(), text.begin());
  Bytes huge = BoardZeroVersion("V9");
  huge.resize(1500, 0x11);  // more than the receive buffer holds: counted, never read past it
  const std::string q = std::string(35, 'Q') + "Z", x(72, 'x');
  const std::tuple<int, Bytes, int, const char*, const char*> cases[] = {
      // board type, reply, bytes counted, status, version text
      {0, zeroBoard, 72, q.c_str(), q.c_str()},
      {0, BoardZeroVersion("V3.1"), 72, "V3.1", "V3.1"},
      {2, text, 72, "FW 1.2  beta ", ""},
      {2, Bytes(72, 'x'), 72, x.c_str(), ""},  // all 72 without a zero: the terminator still fits
      {0, Bytes(50, 'v'), 50, "Timeout - reading firmware info!", ""},
      {0, huge, 1500, "before", ""}};
  for (const auto& [board, reply, counted, status, version] : cases) {
    pcbtype = static_cast<uint16_t>(board);
    SetStatus("before");
    line_->ReplyToNextWrite(0.0, reply);
    const double t0 = Timer();
    EXPECT_EQ(GetVERSIONInfo(), counted);
    EXPECT_EQ((counted < 72), (Timer() - t0 > TIMEOUT)) << counted;  // a short reply waits it out
    EXPECT_EQ(Longs({nBytesR, WordAt(LastSent(), 2), GetInQLen(1)}),
              Longs({std::min(counted, kBufBytes), kCmdVersion, 0}));
    EXPECT_EQ(Status(), status);
    EXPECT_STREQ(szVersion, version);
  }
}

TEST_F(IdentifyTest, FirmwareQueryProcessesNoEventsAndRestoresTheNotification) {
  int ranInside = -1;
  bool returned = false;
  After(0.2, [&] { ranInside = !returned; });
  line_->ReplyToNextWrite(0.5, BoardZeroVersion("V3"));
  rx_flag = 1;
  EXPECT_EQ(GetVERSIONInfo(), 72);
  returned = true;
  EXPECT_EQ(rx_flag, 0);
  RunFor(0.1);
  EXPECT_EQ(ranInside, 0);  // the scheduled action waited until the query was done
  // The notification is back, exactly as the connect sequence installs it.
  line_->Arrive(Timer() + 0.01, OrdinaryFrame(kCmdFetchRam, {77}));
  RunFor(0.1);
  EXPECT_EQ(Longs({rx_flag, pp[0]}), Longs({1, 77}));
}

}  // namespace
