// The sensor link: frame codec, payload copies, receive notification, reply
// wait, connect sequence and device identification.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "app/panels.h"
#include "link/frame.h"
#include "link/identify.h"
#include "link/line.h"
#include "link/link.h"
#include "platform/graph_probe.h"
#include "platform/serial.h"
#include "platform/ui.h"
#include "tests/support/scripted_app.h"

namespace {

using tarvo_sim::SensorSim;
using tframes::Bytes;
using tframes::OrdinaryFrame;
using tframes::WordAt;
using tframes::WordsToBytes;

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

// Line `line` of the sensor description on the calibration panel. The texts
// are Windows-1252 (the micro sign is the byte 0xB5); the panel may hand one
// back as it went in or as UTF-8, but the character must have survived.
::testing::AssertionResult Shows(int line, const std::string& expected) {
  char buf[256] = {0};
  GetTextBoxLine(pCalib, CALIB_TEXTSensorInfo, line, buf, sizeof buf);
  std::string utf8;
  for (unsigned char c : expected) {
    if (c >= 0x80) utf8 += static_cast<char>(0xC0 | (c >> 6));
    utf8 += static_cast<char>(c >= 0x80 ? (0x80 | (c & 0x3F)) : c);
  }
  if (buf == expected || buf == utf8) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "line " << line << " shows \"" << buf << "\", not \""
                                       << expected << "\" with its micro sign intact";
}

// ---- Frame codec and payloads ------------------------------------------------

TEST(FrameCodec, SyncCommandArgumentAndWordsGoOutHighByteFirst) {
  uint16_t values[15];
  for (int i = 0; i < 15; ++i) values[i] = static_cast<uint16_t>(0x1100 * (i + 1) + i);
  unsigned char out[36];
  EncodeFrame(out, 0x0102, 0xA0B1, values);
  const Bytes b(out, out + 36);
  EXPECT_EQ(Bytes(out, out + 6), (Bytes{0x00, 0x55, 0x01, 0x02, 0xA0, 0xB1}));
  for (int i = 0; i < 15; ++i) EXPECT_EQ(WordAt(b, 6 + 2 * i), values[i]) << i;

  // The transmit buffer: only its first 36 bytes, and pp itself may be the payload.
  std::memset(szWriteBuf, 0xEE, sizeof szWriteBuf);
  for (int i = 0; i < 16; ++i) pp[i] = static_cast<uint16_t>(1000 + i);
  FillTxBuf(9, 64, pp);
  const Bytes w(szWriteBuf, szWriteBuf + 36);
  EXPECT_EQ(WordAt(w, 2), 9);
  EXPECT_EQ(WordAt(w, 4), 64);
  EXPECT_EQ(WordAt(w, 34), 1014);
  for (int i = 36; i < kBufBytes; ++i) ASSERT_EQ(szWriteBuf[i], 0xEE) << i;
}

TEST(FrameCodec, OnlyBytes2And3MakeAMeasurementReply) {
  // A measurement reply: 16 words from byte 4. Any other: 15 words from byte 6,
  // word 15 kept. The sync word is never looked at.
  for (uint16_t command : {8, 2, 0x0108, 0x0800, 0}) {
    SCOPED_TRACE(command);
    std::vector<uint16_t> words = {0xFFFF, command};
    for (int i = 0; i < 16; ++i) words.push_back(static_cast<uint16_t>(40000 + i));
    std::memcpy(szReadBuf, WordsToBytes(words).data(), 36);
    pp[15] = 0xBEEF;
    const int measurement = command == 8;
    EXPECT_EQ(GetRxBuf(), measurement);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(pp[i], 40000 + i + 1 - measurement) << i;
    EXPECT_EQ(pp[15], measurement ? 40015 : 0xBEEF);
  }
}

TEST(Payload, EachSetGoesOutAndComesBackWithItsLongFieldsLowWordFirst) {
  // Bytes 28..35 of each set's frame: set 0 ends in its words 11, 12 and the
  // long field; sets 1 and 2 carry their two long fields there.
  const Bytes tails[3] = {{0, 111, 0, 112, 0x56, 0x78, 0x12, 0x34},
                          {0x22, 0x22, 0x11, 0x11, 0x00, 0x03, 0xFF, 0xFF},
                          {0x00, 0x00, 0x00, 0x01, 0x11, 0x70, 0x00, 0x01}};
  for (uint16_t k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    for (int i = 0; i < 13; ++i) parameter.set0[i] = static_cast<uint16_t>(100 + i);
    for (int i = 0; i < 11; ++i) {
      parameter.set1[i] = static_cast<uint16_t>(200 + i);
      parameter.set2[i] = static_cast<uint16_t>(300 + i);
    }
    parameter.set0Long = 0x12345678u;
    parameter.set1Long[0] = 0x11112222u;
    parameter.set1Long[1] = 0xFFFF0003u;
    parameter.set2Long[0] = 0x00010000u;
    parameter.set2Long[1] = 70000;
    const Parameter sent = parameter;
    pp[15] = 0x5A5A;
    CopyVarsToPP(k);
    EXPECT_EQ(pp[15], 0x5A5A);
    FillTxBuf(kCmdSendRam, k, pp);
    EXPECT_EQ(szWriteBuf[6] * 256 + szWriteBuf[7], 100 * (k + 1));
    EXPECT_EQ(Bytes(szWriteBuf + 28, szWriteBuf + 36), tails[k]);

    // What went out comes back as the payload of an ordinary reply, into set k only.
    std::memcpy(szReadBuf, szWriteBuf, 36);
    szReadBuf[3] = kCmdFetchRam;
    Parameter want;
    std::memset(&want, 0, sizeof want);
    std::memset(&parameter, 0, sizeof parameter);
    if (k == 0) std::copy(sent.set0, sent.set0 + 13, want.set0), want.set0Long = sent.set0Long;
    if (k == 1) std::copy(sent.set1, sent.set1 + 11, want.set1);
    if (k == 1) std::copy(sent.set1Long, sent.set1Long + 2, want.set1Long);
    if (k == 2) std::copy(sent.set2, sent.set2 + 11, want.set2);
    if (k == 2) std::copy(sent.set2Long, sent.set2Long + 2, want.set2Long);
    ASSERT_EQ(GetRxBuf(), 0);
    CopyPPtoVars(k);
    EXPECT_EQ(std::memcmp(&parameter, &want, sizeof want), 0);
  }
  // No such set: neither direction changes anything.
  for (int i = 0; i < 16; ++i) pp[i] = static_cast<uint16_t>(300 + i);
  const Parameter before = parameter;
  CopyVarsToPP(3);
  CopyPPtoVars(3);
  CopyPPtoVars(0xFFFF);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(pp[i], 300 + i);
  EXPECT_EQ(std::memcmp(&before, &parameter, sizeof parameter), 0);
}

TEST(Payload, TheStartValuesAreTheSensorsFactorySets) {
  SetParameterStartValues();
  EXPECT_EQ(parameter.header, 0x0055);
  EXPECT_EQ(parameter.command, kCmdSendRam);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(HeldSet(k), SensorSim().eeprom[k]) << "set " << k;
}

TEST(Payload, MeasurementWordsIncludingSignedMicrometres) {
  std::memcpy(szReadBuf,
              tframes::MeasurementFrame({1000, 1200, 2200, 0xFFFF, 0xFFFF, 50, 2, 3, 12, 13, 250, 5,
                                         130, 140, 150, 0x8001})
                  .data(),
              36);
  ASSERT_EQ(GetRxBuf(), 1);
  CopyPPtoRAWVars();
  EXPECT_EQ(umValue, -1);
  const std::vector<long> got = {Aval,   Bval,   Mvalue, poti,  edcntA, edcntB, peakwA,
                                 peakwB, anaMax, anaMin, raw13, raw14,  raw15,  instate};
  EXPECT_EQ(got,
            (std::vector<long>{1000, 1200, 2200, 50, 2, 3, 12, 13, 250, 5, 130, 140, 150, 0x8001}));
  const std::tuple<uint16_t, uint16_t, int32_t> ums[] = {{4464, 1, 70000}, {0, 0x8000, INT32_MIN}};
  for (const auto& [low, high, um] : ums) {
    pp[3] = low;
    pp[4] = high;
    CopyPPtoRAWVars();
    EXPECT_EQ(umValue, um);
  }
}

// ---- Receive notification and reply wait, on a bare port ----------------------

class PortTest : public ::testing::Test {
 protected:
  static constexpr int kPort = 7;
  void SetUp() override {
    UseVirtualClock(true);
    auto owned = std::make_unique<ScriptedLine>();
    line_ = owned.get();
    InstallPortBackend(kPort, std::move(owned));
    ASSERT_EQ(OpenComConfig(kPort, "", 19200, 0, 8, 1, 4096, 4096), 0);
    savedCom_ = com;
    com = kPort;
    LineHandlerOn();
    rx_flag = graph_flag = 0;
  }
  void TearDown() override {
    CloseCom(kPort);
    com = savedCom_;
  }
  // An ordinary reply whose payload words count up from `first`.
  static Bytes Numbered(uint16_t first) {
    std::vector<uint16_t> w;
    for (int i = 0; i < 15; ++i) w.push_back(static_cast<uint16_t>(first + i));
    return OrdinaryFrame(kCmdFetchRam, w);
  }
  // Lets `bytes` arrive and processes events; whether a frame was notified.
  bool Deliver(const Bytes& bytes, double wait = 0.05) {
    rx_flag = 0;
    line_->Arrive(Timer() + 0.01, bytes);
    RunFor(wait);
    return rx_flag == 1;
  }
  ScriptedLine* line_ = nullptr;
  int savedCom_ = 1;
};

TEST_F(PortTest, EachFrameIsNotifiedOnceAndWhatFollowsItIsDropped) {
  EXPECT_TRUE(Deliver(Numbered(100)));
  EXPECT_EQ(graph_flag, 0);
  EXPECT_EQ(pp[14], 114);
  EXPECT_FALSE(Deliver({}, 0.2));
  EXPECT_TRUE(Deliver(tframes::MeasurementFrame({11, 22, 33})));
  EXPECT_EQ(graph_flag, 1);
  EXPECT_EQ(pp[2], 33);
  // 40 bytes at once: a frame from the first 36, the rest dropped, the next frame in step.
  Bytes b = Numbered(200);
  b.insert(b.end(), {0x00, 0x55, 0x00, 0x09});
  EXPECT_TRUE(Deliver(b));
  EXPECT_EQ(GetInQLen(kPort), 0);
  EXPECT_TRUE(Deliver(Numbered(500)));
  EXPECT_EQ(pp[14], 514);
  // Two frames at once: the first is taken, the second lost.
  Bytes two = Numbered(600);
  const Bytes second = Numbered(700);
  two.insert(two.end(), second.begin(), second.end());
  EXPECT_TRUE(Deliver(two));
  EXPECT_EQ(pp[0], 600);
  EXPECT_EQ(GetInQLen(kPort), 0);
}

TEST_F(PortTest, APartialFrameWaitsForItsRest) {
  const Bytes b = Numbered(100);
  EXPECT_FALSE(Deliver(Bytes(b.begin(), b.begin() + 20), 0.2));
  EXPECT_EQ(GetInQLen(kPort), 20);
  EXPECT_TRUE(Deliver(Bytes(b.begin() + 20, b.end())));
  EXPECT_EQ(pp[14], 114);
}

TEST_F(PortTest, TheHandlerActsOnTheReceiveEventOnly) {
  LineHandlerOff(0);
  EXPECT_FALSE(Deliver(Numbered(100)));
  ASSERT_EQ(GetInQLen(kPort), 36);
  RX_Receive_Function(kPort, LWRS_RXFLAG | LWRS_TXEMPTY, nullptr);
  EXPECT_EQ(rx_flag, 0);
  EXPECT_EQ(GetInQLen(kPort), 36);
  RX_Receive_Function(kPort, LWRS_RECEIVE, nullptr);
  EXPECT_EQ(rx_flag, 1);
  EXPECT_EQ(pp[0], 100);
}

TEST_F(PortTest, TheReplyWaitEndsWithTheReplyOrAfterTheTimeout) {
  for (double delay : {1.0, 2.0}) {
    SCOPED_TRACE(delay);
    line_->ReplyToNextWrite(delay, Numbered(42));
    SetStatus("before");
    LineSendBuilt(1);
    const double t0 = Timer();
    const int got = WaitRxFull();
    const double took = Timer() - t0;
    EXPECT_EQ(got, delay < TIMEOUT ? 1 : 0);
    EXPECT_GE(took, std::min(delay, TIMEOUT));
    EXPECT_LT(took, std::min(delay, TIMEOUT) + 0.1);
    if (!got) EXPECT_GT(took, TIMEOUT);
    EXPECT_STREQ(szStatus, got ? "before" : "Timeout-RS-232...");
  }
  RunFor(1.0);  // the late reply is still taken by the next event processing
  EXPECT_EQ(rx_flag, 1);
}

// Bytes left in the input queue before a request (a fragment, the tail of a
// late reply) are flushed: the reply is read in step.
TEST_F(PortTest, ARequestFlushesWhatWaitsInTheInputQueue) {
  for (int built = 0; built < 2; ++built) {
    SCOPED_TRACE(built);
    EXPECT_FALSE(Deliver(Bytes(20, 0xAA)));
    line_->ReplyToNextWrite(0.05, Numbered(42));
    if (built) {
      FillTxBuf(kCmdFetchRam, 0, pp);
      LineSendBuilt(1);
    } else {
      LineSend(kCmdFetchRam, 0, pp);
    }
    EXPECT_EQ(WaitRxFull(), 1);
    EXPECT_EQ(pp[0], 42);
  }
}

TEST(Status, TextIsCutTo72Characters) {
  std::string longText(100, 'x');
  longText[71] = 'y';
  SetStatus(longText.c_str());
  EXPECT_EQ(std::strlen(szStatus), 72u);
  EXPECT_EQ(szStatus[71], 'y');
  SetStatus(nullptr);
  EXPECT_STREQ(szStatus, "");
}

TEST(ComError, EveryOpenFailureHasItsText) {
  const std::pair<int, const char*> cases[] = {{-1, "Unknown system error"},
                                               {-2, "Invalid port number"},
                                               {-3, "Port is not open"},
                                               {-4, "Unknown I/0 error"},
                                               {-5, "RS-232 error!"},
                                               {-6, "No serial port found"},
                                               {-7, "Cannot open port"},
                                               {-8, "RS-232 error!"},
                                               {-12, "RS-232 error!"},
                                               {-13, "Invalid parameter"},
                                               {-14, "RS-232 error!"},
                                               {-98, "RS-232 error!"},
                                               {-99, "Timeout"},
                                               {-100, "RS-232 error!"}};
  for (const auto& [result, text] : cases) EXPECT_STREQ(ComErrorText(result), text) << result;
}

// ---- The connect sequence through the started program ------------------------

class ConnectTest : public ::testing::Test {
 protected:
  void TearDown() override { StopApp(); }
};

TEST_F(ConnectTest, AFailedOpenIsNamedAndNothingIsSent) {
  auto line = std::make_shared<ScriptedLine>();
  line->SetOpenResult(-7);
  ASSERT_EQ(StartAppWithLine(line), 0);
  EXPECT_EQ(Status(), "Cannot open port");
  EXPECT_TRUE(line->writes().empty());
  EXPECT_EQ(com, 1);
  EXPECT_EQ(GetHARDWAREInfo(), 0);  // later transactions fail by time-out, not by a crash
}

TEST_F(ConnectTest, HealthySensorIsIdentifiedAndItsVersionShown) {
  auto sensor = NewSensor();
  sensor->SetVersionText("TARVO-LT-MS V3.03");
  sensor->hardware().hwtype = 10037;
  sensor->hardware().ccdvirtpixel = 2048;
  ASSERT_EQ(StartApp(sensor), 0);
  const auto& req = sensor->requests();
  ASSERT_EQ(tframes::SentCommands(*sensor), (std::vector<uint16_t>{5, 10, 2, 2, 2, 7}));
  for (int k = 0; k < 3; ++k) EXPECT_EQ(req[2 + k].argument, k);
  for (size_t i = 0; i < req.size(); ++i) {
    EXPECT_EQ(req[i].sync, 0x0055);
    if (i) EXPECT_GE(req[i].time - req[i - 1].time, 0.1 - 1e-9) << "pause before " << i;
  }
  EXPECT_EQ(Status(), "TARVO-LT-MS V3.03");
  EXPECT_STREQ(szVersion, "TARVO-LT-MS V3.03");
  EXPECT_TRUE(Shows(0, "1024-pixel; 7.8\xB5m pixel-pitch"));
  EXPECT_TRUE(Shows(1, "4096-subpixel"));
  EXPECT_TRUE(Shows(2, "resolution    = +/-1\xB5m"));
  EXPECT_TRUE(Shows(3, "working-range = 37mm +/-2.0mm"));
  EXPECT_DOUBLE_EQ(xArray8[127], 127 * 16.0);
  // After the firmware query the notification is back: the link keeps working.
  EXPECT_EQ(CheckComLine(1), 1);
  EXPECT_EQ(Status(), "Echo Check - Line Ok!");
}

TEST_F(ConnectTest, AFailingStepIsReportedAndOnlyTheEchoCheckEndsTheSequence) {
  const std::vector<uint16_t> all = {5, 10, 2, 2, 2, 7}, echoOnly = {5};
  struct Case {
    std::function<void(SensorSim&)> fault;
    std::vector<uint16_t> commands;
    const char* status;
  } cases[] = {
      {[](SensorSim& s) { s.faults().wrongEchoSync = true; }, echoOnly,
       "read error - not sync byte 0xAA!"},
      {[](SensorSim& s) { s.faults().silent = true; }, echoOnly, "Timeout-RS-232..."},
      {[](SensorSim& s) { s.faults().shortVersion = true; }, all, "Error reading firmware-info!"},
      // A version reply longer than 72 bytes sets no text of its own.
      {[](SensorSim& s) { s.faults().strayBytes = 4; }, all,
       "Parameter-frame received! - Line Ok!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    auto sensor = NewSensor();
    c.fault(*sensor);
    ASSERT_EQ(StartApp(sensor), 0);
    EXPECT_EQ(tframes::SentCommands(*sensor), c.commands);
    EXPECT_EQ(Status(), c.status);
    StopApp();
  }
}

TEST_F(ConnectTest, ARejectedHardwareReplyKeepsTheStartGeometryForTheSets) {
  auto sensor = NewSensor();
  sensor->faults().wrongHardwareEcho = true;
  sensor->hardware().ccdvirtpixel = 100;
  sensor->ram[1][3] = 512;
  sensor->ram[1][5] = 4096;
  ASSERT_EQ(StartApp(sensor), 0);
  EXPECT_EQ(Status(), sensor->VersionText());
  // The range rules of the set refresh kept the fetched pixel positions.
  EXPECT_EQ(ccdvirtpixel, 4096);
  EXPECT_DOUBLE_EQ(xArray8[1], 0.0);
  EXPECT_EQ(parameter.set1[3], 512);
  EXPECT_EQ(parameter.set1[5], 4096);
}

// ---- Identification queries on a line the test scripts -----------------------

using IdentifyTest = ScriptedAppTest;

TEST_F(IdentifyTest, EchoCheckSendsSetZeroAndJudgesOnlyTheSyncWord) {
  Bytes reply = WordsToBytes({0x00AA, 0x1234});
  for (size_t i = 4; i < reply.size(); ++i) reply[i] = static_cast<uint8_t>(i * 7);
  line_->ReplyToNextWrite(0.05, reply);
  EXPECT_EQ(CheckComLine(1), 1);
  EXPECT_EQ(Status(), "Echo Check - Line Ok!");
  EXPECT_EQ(LastSent(), RequestWithSet(kCmdEcho, 0));

  line_->ReplyToNextWrite(0.05, WordsToBytes({0xAA00, kCmdEcho}));
  EXPECT_EQ(CheckComLine(1), 0);
  EXPECT_EQ(Status(), "read error - not sync byte 0xAA!");
}

TEST_F(IdentifyTest, HardwareReplyFillsTheGlobalsAndTheVideoAxes) {
  line_->ReplyToNextWrite(0.05,
                          HardwareReply({10, 1, 2048, 77, 3, 4096, 8192, 5, 2000, 304, 10080}));
  for (int i = 0; i < 16; ++i) pp[i] = static_cast<uint16_t>(900 + i);
  ASSERT_EQ(GetHARDWAREInfo(), 1);
  // The request carries pp as it was.
  EXPECT_EQ(WordAt(LastSent(), 2), kCmdHardware);
  EXPECT_EQ(WordAt(LastSent(), 6), 900);
  EXPECT_EQ(WordAt(LastSent(), 34), 914);
  const std::vector<long> got = {ccdtype,     ccdmaxpixel, ccdresolution, pcbtype,     ccdvirtpixel,
                                 ccdsubpixel, ccdpixB,     ccdpixE,       softversion, hwtype};
  EXPECT_EQ(got, (std::vector<long>{1, 2048, 77, 3, 4096, 8192, 5, 2000, 304, 10080}));
  EXPECT_TRUE(Shows(2, "resolution    = +/-10\xB5m"));
  EXPECT_TRUE(Shows(3, "working-range = 80mm +/-10mm"));
}

TEST_F(IdentifyTest, TheVideoAxesFollowTheVirtualPixelRange) {
  // Known ranges spread the 128 samples over the range; any other keeps the
  // axes but spreads the curve over 2048.
  for (uint16_t n : {256, 512, 768, 1024, 1280, 1536, 2048, 2560, 4096, 8192, 3000}) {
    SCOPED_TRACE(n);
    Hw h;
    h.virtpixel = n;
    line_->ReplyToNextWrite(0.05, HardwareReply(h));
    ASSERT_EQ(GetHARDWAREInfo(), 1);
    const uint16_t spread = n == 3000 ? 2048 : n;
    EXPECT_EQ(ccdvirtpixel, spread);
    for (int i = 0; i < 128; ++i) ASSERT_DOUBLE_EQ(xArray8[i], i * spread / 128.0) << i;
    // Nothing beyond the 128 samples is written: the description stays as it came.
    EXPECT_EQ(std::vector<long>({ccdpixE, softversion, hwtype, adcmax}),
              std::vector<long>({1024, 303, 10055, 10055}));
    for (int graph : {MAIN_GRAPHDataMaster, MAIN_GRAPHDataSlave}) {
      double lo = 0, hi = 0;
      GetAxisRange(pHandle, graph, VAL_XAXIS, &lo, &hi);
      EXPECT_DOUBLE_EQ(lo, 1.0);
      EXPECT_DOUBLE_EQ(hi, n);
    }
  }
}

TEST_F(IdentifyTest, FullScaleOfTheVideoSignal) {
  struct Case {
    uint16_t ccdtype, word22, fullScale;
  } cases[] = {{1, 1024, 1024}, {1, 10055, 256}, {2, 1024, 256}, {0, 1024, 256}, {1, 256, 256}};
  for (const Case& c : cases) {
    YMAXADC = 999;
    Hw h;
    h.ccdtype = c.ccdtype;
    h.hwtype = c.word22;
    line_->ReplyToNextWrite(0.05, HardwareReply(h));
    ASSERT_EQ(GetHARDWAREInfo(), 1);
    EXPECT_EQ(adcmax, c.word22);
    EXPECT_EQ(YMAXADC, c.fullScale) << "ccdtype " << c.ccdtype << " word " << c.word22;
  }
}

TEST_F(IdentifyTest, RejectedOrMissingHardwareReplyChangesNoDerivedValue) {
  Hw good, bad;
  good.virtpixel = 1024;
  good.hwtype = 10037;
  bad = {kCmdFetchRam, 1, 1024, 4096, 0, 8192, 77, 1, 1024, 303, 1024};
  for (double delay : {0.05, 3.0}) {  // a wrong echo, then no reply in time
    SCOPED_TRACE(delay);
    line_->ReplyToNextWrite(0.05, HardwareReply(good));
    ASSERT_EQ(GetHARDWAREInfo(), 1);
    ASSERT_EQ(YMAXADC, 256);
    line_->ReplyToNextWrite(delay, HardwareReply(bad));
    EXPECT_EQ(GetHARDWAREInfo(), 0);
    EXPECT_EQ(ccdvirtpixel, 1024);
    EXPECT_EQ(ccdsubpixel, 4096);
    EXPECT_EQ(hwtype, 10037);
    EXPECT_DOUBLE_EQ(xArray8[1], 8.0);
    EXPECT_EQ(YMAXADC, 256);
    EXPECT_TRUE(Shows(3, "working-range = 37mm +/-2.0mm"));
  }
  EXPECT_STREQ(szStatus, "Timeout-RS-232...");
}

TEST(SensorDescription, HeadsOfTypeOneAreKnownByTheirWorkingRange) {
  // The head number is 10000 + the working range in millimetres.
  for (uint16_t hw : {10037, 10055, 10080, 10135, 10160, 10200, 10275, 10450}) {
    const SensorDescription d = DescribeSensor(1, hw);
    EXPECT_STREQ(d.line[0], "1024-pixel; 7.8\xB5m pixel-pitch") << hw;
    EXPECT_STREQ(d.line[1], "4096-subpixel") << hw;
    const std::string range = "working-range = " + std::to_string(hw - 10000) + "mm +/-";
    EXPECT_EQ(std::string(d.line[3]).rfind(range, 0), 0u) << d.line[3];
  }
  EXPECT_STREQ(DescribeSensor(1, 10055).line[2], "resolution    = +/-2.5\xB5m");
  const std::pair<uint16_t, uint16_t> unknown[] = {{1, 10100}, {2, 10055}, {0, 0}};
  for (const auto& [type, hw] : unknown) {
    const SensorDescription d = DescribeSensor(type, hw);
    EXPECT_STREQ(d.line[0], "CCD-SENSOR: No Info Avialable!") << type << " " << hw;
    for (int i = 1; i < 4; ++i) EXPECT_STREQ(d.line[i], std::string(32, ' ').c_str());
  }
}

// ---- Firmware query ------------------------------------------------------------

// A board-type-0 version reply: one character in the low byte of each word.
Bytes BoardZeroVersion(const std::string& text) {
  std::vector<uint16_t> w;
  for (char c : text) w.push_back(static_cast<uint8_t>(c));
  return WordsToBytes(w, 72);
}

TEST_F(IdentifyTest, VersionOfBoardTypeZeroIsOneCharacterPerWord) {
  pcbtype = 0;
  line_->ReplyToNextWrite(0.05, BoardZeroVersion("V3.1"));
  EXPECT_EQ(GetVERSIONInfo(), 72);
  EXPECT_STREQ(szVersion, "V3.1");
  EXPECT_EQ(Status(), "V3.1");
  EXPECT_EQ(nBytesR, 72);
  EXPECT_EQ(WordAt(LastSent(), 2), kCmdVersion);
  // 36 characters fill szVersion completely; the high bytes are ignored.
  std::string full(35, 'Q');
  full += 'Z';
  Bytes reply = BoardZeroVersion(full);
  reply[0] = 0x41;
  line_->ReplyToNextWrite(0.05, reply);
  EXPECT_EQ(GetVERSIONInfo(), 72);
  EXPECT_EQ(std::string(szVersion), full);
}

TEST_F(IdentifyTest, VersionTextOfOtherBoardsIsShownSafely) {
  pcbtype = 2;
  Bytes text(72, 'A');
  const std::string fw = "FW\t1.2\r\nbeta\x01";
  std::copy(fw.begin(), fw.end(), text.begin());
  text[fw.size()] = 0;  // the text ends here
  line_->ReplyToNextWrite(0.05, text);
  EXPECT_EQ(GetVERSIONInfo(), 72);
  EXPECT_EQ(Status(), "FW 1.2  beta ");
  EXPECT_STREQ(szVersion, "");
  // 72 characters without a zero byte: all of them, and the terminator still fits.
  Bytes full(71, 'x');
  full.push_back('y');
  line_->ReplyToNextWrite(0.05, full);
  EXPECT_EQ(GetVERSIONInfo(), 72);
  EXPECT_EQ(std::string(szStatus), std::string(71, 'x') + "y");
}

TEST_F(IdentifyTest, ShortAndOverLongVersionReplies) {
  pcbtype = 0;
  SetStatus("before");
  line_->ReplyToNextWrite(0.05, Bytes(50, 'v'));
  const double t0 = Timer();
  EXPECT_EQ(GetVERSIONInfo(), 50);
  EXPECT_GT(Timer() - t0, 1.5);
  EXPECT_LT(Timer() - t0, 1.6);
  EXPECT_EQ(Status(), "Timeout - reading firmware info!");
  EXPECT_EQ(nBytesR, 50);
  // More than 72 bytes: counted and read, no version text; far more than the
  // receive buffer holds: never read past it.
  for (size_t size : {80, 1500}) {
    SetStatus("before");
    Bytes longer = BoardZeroVersion("V9");
    longer.resize(size, 0x11);
    line_->ReplyToNextWrite(0.0, longer);
    EXPECT_EQ(GetVERSIONInfo(), static_cast<int>(size));
    EXPECT_EQ(nBytesR, std::min<int>(size, kBufBytes));
    EXPECT_EQ(Status(), "before");
    EXPECT_STREQ(szVersion, "");
    EXPECT_EQ(GetInQLen(1), 0);
  }
}

TEST_F(IdentifyTest, FirmwareQueryProcessesNoEventsAndRestoresTheNotification) {
  bool ranInside = false, returned = false;
  int runs = 0;
  After(0.2, [&] {
    ++runs;
    ranInside = !returned;
  });
  line_->ReplyToNextWrite(0.5, BoardZeroVersion("V3"));
  rx_flag = 1;
  EXPECT_EQ(GetVERSIONInfo(), 72);
  returned = true;
  EXPECT_EQ(rx_flag, 0);
  RunFor(0.1);
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(ranInside);  // the scheduled action waited until the query was done
  // The notification is back, exactly as the connect sequence installs it.
  line_->Arrive(Timer() + 0.01, OrdinaryFrame(kCmdFetchRam, {77}));
  RunFor(0.1);
  EXPECT_EQ(rx_flag, 1);
  EXPECT_EQ(pp[0], 77);
  // A frame that comes while the query runs is part of the reply or flushed.
  line_->ReplyToNextWrite(0.05, OrdinaryFrame(kCmdFetchRam, {5}));
  rx_flag = 0;
  EXPECT_EQ(GetVERSIONInfo(), 36);
  EXPECT_EQ(rx_flag, 0);
  EXPECT_EQ(GetInQLen(1), 0);
}

}  // namespace
