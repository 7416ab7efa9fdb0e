// The sensor link: frame codec, payload copies, receive notification, reply
// wait, connect sequence and device identification.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/panels.h"
#include "link/frame.h"
#include "link/identify.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"
#include "platform/clock.h"
#include "platform/graph_probe.h"
#include "platform/port_backend.h"
#include "platform/scripted_line.h"
#include "platform/serial.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "tests/support/frames.h"
#include "tests/support/harness.h"

namespace {

using tframes::Bytes;
using tframes::WordsToBytes;

// A reply frame: sync word, command echo, then words from byte 4 on.
Bytes Reply(uint16_t sync, uint16_t command, const std::vector<uint16_t>& from4 = {}) {
  std::vector<uint16_t> w = {sync, command};
  w.insert(w.end(), from4.begin(), from4.end());
  return WordsToBytes(w);
}

struct Hw {
  uint16_t echo = 10, ccdtype = 1, maxpixel = 1024, resolution = 4096, pcbtype = 0,
           virtpixel = 4096, subpixel = 4096, pixB = 1, pixE = 1024, softversion = 303,
           hwtype = 10055;
};
Bytes HardwareReply(const Hw& h) {
  return Reply(0x00AA, h.echo,
               {h.ccdtype, h.maxpixel, h.resolution, h.pcbtype, h.virtpixel, h.subpixel, h.pixB,
                h.pixE, h.softversion, h.hwtype});
}

std::string SensorInfoLine(int line) {
  char buf[256] = {0};
  GetTextBoxLine(pCalib, CALIB_TEXTSensorInfo, line, buf, sizeof buf);
  return buf;
}

// The program's texts are Windows-1252 (the micro sign is the byte 0xB5). The
// panels may hand a text back as it went in or as UTF-8; either way the
// character must have survived, not been replaced.
std::string Utf8FromLatin1(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}
::testing::AssertionResult Shows(const std::string& actual, const std::string& expected) {
  if (actual == expected || actual == Utf8FromLatin1(expected))
    return ::testing::AssertionSuccess();
  std::string hex;
  for (unsigned char c : actual)
    if (c >= 0x80) hex += " " + std::to_string(c);
  return ::testing::AssertionFailure()
         << "shown \"" << actual << "\" (bytes above 127:" << hex << "), expected \"" << expected
         << "\": the micro sign (Windows-1252 byte 0xB5) did not reach the screen intact";
}

uint16_t WordOf(const Bytes& b, int at) { return tframes::WordAt(b, at); }

// ---------------------------------------------------------------------------
// Frame codec

TEST(FrameCodec, EncodesSyncCommandArgumentAndWordsHighByteFirst) {
  uint16_t values[15];
  for (int i = 0; i < 15; ++i) values[i] = static_cast<uint16_t>(0x1100 * (i + 1) + i);
  unsigned char out[36];
  EncodeFrame(out, 0x0102, 0xA0B1, values);
  EXPECT_EQ(Bytes(out, out + 6), (Bytes{0x00, 0x55, 0x01, 0x02, 0xA0, 0xB1}));
  for (int i = 0; i < 15; ++i) {
    EXPECT_EQ(out[6 + 2 * i], values[i] >> 8) << "word " << i;
    EXPECT_EQ(out[7 + 2 * i], values[i] & 0xFF) << "word " << i;
  }
}

TEST(FrameCodec, FillTxBufTouchesOnlyTheFirst36BytesAndMayTakePP) {
  std::memset(szWriteBuf, 0xEE, sizeof szWriteBuf);
  for (int i = 0; i < 16; ++i) pp[i] = static_cast<uint16_t>(1000 + i);
  FillTxBuf(9, 64, pp);
  EXPECT_EQ(WordOf(Bytes(szWriteBuf, szWriteBuf + 36), 2), 9);
  EXPECT_EQ(WordOf(Bytes(szWriteBuf, szWriteBuf + 36), 4), 64);
  EXPECT_EQ(WordOf(Bytes(szWriteBuf, szWriteBuf + 36), 34), 1014);
  for (int i = 36; i < kBufBytes; ++i) ASSERT_EQ(szWriteBuf[i], 0xEE) << "byte " << i;
}

TEST(FrameCodec, MeasurementReplyFillsAll16WordsFromByte4) {
  std::vector<uint16_t> words = {0x1234, 0x0008};
  for (int i = 0; i < 16; ++i) words.push_back(static_cast<uint16_t>(0x0101 * (i + 1)));
  Bytes in = WordsToBytes(words);
  std::memcpy(szReadBuf, in.data(), 36);
  EXPECT_EQ(GetRxBuf(), 1);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(pp[i], 0x0101 * (i + 1)) << "word " << i;
}

TEST(FrameCodec, OrdinaryReplyFills15WordsFromByte6AndKeepsWord15) {
  // Only bytes 2-3 decide: 0x0108 and 0x0800 are not measurement replies, and
  // the sync word is never looked at.
  for (uint16_t command : {uint16_t{2}, uint16_t{0x0108}, uint16_t{0x0800}, uint16_t{0}}) {
    pp[15] = 0xBEEF;
    std::vector<uint16_t> words = {0xFFFF, command, 0x7777};
    for (int i = 0; i < 15; ++i) words.push_back(static_cast<uint16_t>(40000 + i));
    Bytes in = WordsToBytes(words);
    uint16_t out[16];
    out[15] = 0xBEEF;
    EXPECT_EQ(DecodeFrame(in.data(), out), 0) << command;
    for (int i = 0; i < 15; ++i) EXPECT_EQ(out[i], 40000 + i);
    EXPECT_EQ(out[15], 0xBEEF);

    std::memcpy(szReadBuf, in.data(), 36);
    EXPECT_EQ(GetRxBuf(), 0);
    EXPECT_EQ(pp[0], 40000);
    EXPECT_EQ(pp[15], 0xBEEF);
  }
}

// ---------------------------------------------------------------------------
// Payloads

TEST(Payload, ThirtyTwoBitFieldsTravelLowWordFirst) {
  SetParameterStartValues();
  CopyVarsToPP(1);
  EXPECT_EQ(pp[11], 1024);
  EXPECT_EQ(pp[12], 0);
  FillTxBuf(1, 1, pp);
  EXPECT_EQ(Bytes(szWriteBuf + 28, szWriteBuf + 32), (Bytes{0x04, 0x00, 0x00, 0x00}));

  CopyVarsToPP(0);
  FillTxBuf(1, 0, pp);
  EXPECT_EQ(Bytes(szWriteBuf + 32, szWriteBuf + 36), (Bytes{0x90, 0x88, 0x00, 0x00}));
  // Set 0 carries its words 0..12 in front.
  EXPECT_EQ(szWriteBuf[7], 1);     // set0[0]
  EXPECT_EQ(szWriteBuf[19], 100);  // set0[6]

  parameter.set2Long[1] = 70000;
  CopyVarsToPP(2);
  EXPECT_EQ(pp[13], 4464);
  EXPECT_EQ(pp[14], 1);
}

TEST(Payload, EverySetSurvivesTheRoundTripOverTheLine) {
  for (uint16_t set = 0; set < 3; ++set) {
    SetParameterStartValues();
    parameter.set0[12] = 0xFFFF;
    parameter.set0Long = 70000;
    parameter.set1[10] = 0xABCD;
    parameter.set1Long[0] = 70000;
    parameter.set1Long[1] = 0xFFFFFFFFu;
    parameter.set2[0] = 7;
    parameter.set2Long[0] = 0x00010000u;
    parameter.set2Long[1] = 70000;
    const Parameter sent = parameter;

    CopyVarsToPP(set);
    FillTxBuf(1, set, pp);
    // What went out comes back as the payload of an ordinary reply.
    std::memcpy(szReadBuf, szWriteBuf, 36);
    szReadBuf[3] = 2;
    std::memset(pp, 0, sizeof pp);
    std::memset(&parameter, 0, sizeof parameter);
    ASSERT_EQ(GetRxBuf(), 0);
    CopyPPtoVars(set);

    if (set == 0) {
      for (int i = 0; i < 13; ++i) EXPECT_EQ(parameter.set0[i], sent.set0[i]);
      EXPECT_EQ(parameter.set0Long, 70000u);
    } else if (set == 1) {
      for (int i = 0; i < 11; ++i) EXPECT_EQ(parameter.set1[i], sent.set1[i]);
      EXPECT_EQ(parameter.set1Long[0], 70000u);
      EXPECT_EQ(parameter.set1Long[1], 0xFFFFFFFFu);
    } else {
      for (int i = 0; i < 11; ++i) EXPECT_EQ(parameter.set2[i], sent.set2[i]);
      EXPECT_EQ(parameter.set2Long[0], 0x00010000u);
      EXPECT_EQ(parameter.set2Long[1], 70000u);
    }
    // The other sets were not touched.
    if (set != 1) EXPECT_EQ(parameter.set1Long[0], 0u);
    if (set != 0) EXPECT_EQ(parameter.set0Long, 0u);
  }
}

TEST(Payload, UnknownSetNumberChangesNothing) {
  SetParameterStartValues();
  for (int i = 0; i < 16; ++i) pp[i] = static_cast<uint16_t>(300 + i);
  CopyVarsToPP(3);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(pp[i], 300 + i);
  // A frame built afterwards carries the previous payload.
  FillTxBuf(1, 3, pp);
  EXPECT_EQ(szWriteBuf[6] * 256 + szWriteBuf[7], 300);
  EXPECT_EQ(szWriteBuf[34] * 256 + szWriteBuf[35], 314);

  const Parameter before = parameter;
  CopyPPtoVars(3);
  CopyPPtoVars(0xFFFF);
  EXPECT_EQ(std::memcmp(&before, &parameter, sizeof parameter), 0);

  // Set 0 leaves word 15 alone.
  pp[15] = 0x5A5A;
  CopyVarsToPP(0);
  EXPECT_EQ(pp[15], 0x5A5A);
  EXPECT_EQ(pp[0], 1);
}

TEST(Payload, MeasurementWordsIncludingSignedMicrometres) {
  std::vector<uint16_t> words = {0x0000, 0x0008, 1000, 1200, 2200, 0xFFFF, 0xFFFF, 50,  2,
                                 3,      12,     13,   250,  5,    130,    140,    150, 0x8001};
  Bytes in = WordsToBytes(words);
  std::memcpy(szReadBuf, in.data(), 36);
  ASSERT_EQ(GetRxBuf(), 1);
  CopyPPtoRAWVars();
  EXPECT_EQ(umValue, -1);  // 65535 + 65536 * 65535 as a signed 32-bit value
  const std::vector<long> got = {Aval,   Bval,   Mvalue, poti,  edcntA, edcntB, peakwA,
                                 peakwB, anaMax, anaMin, raw13, raw14,  raw15,  instate};
  EXPECT_EQ(got, (std::vector<long>{1000, 1200, 2200, 50, 2, 3, 12, 13, 250, 5, 130, 140, 150,
                                    0x8001}));

  pp[3] = 4464;
  pp[4] = 1;
  CopyPPtoRAWVars();
  EXPECT_EQ(umValue, 70000);
  pp[3] = 0;
  pp[4] = 0x8000;
  CopyPPtoRAWVars();
  EXPECT_EQ(umValue, INT32_MIN);
}

// ---------------------------------------------------------------------------
// Receive notification and reply wait, on a bare port (no panels needed).

class PortTest : public ::testing::Test {
 protected:
  static constexpr int kPort = 7;
  void SetUp() override {
    UseVirtualClock(true);
    auto owned = std::make_unique<ScriptedLine>();
    line_ = owned.get();
    InstallPortBackend(kPort, std::move(owned));
    ASSERT_EQ(OpenComConfig(kPort, "", 19200, 0, 8, 1, 4096, 4096), 0);
    SetComTime(kPort, TIMEOUT);
    savedCom_ = com;
    com = kPort;
    LineHandlerOn();
    rx_flag = 0;
    graph_flag = 0;
  }
  void TearDown() override {
    CloseCom(kPort);
    com = savedCom_;
  }
  void Wait(double seconds) {
    const double end = Timer() + seconds;
    while (Timer() < end) ProcessSystemEvents();
  }
  Bytes Numbered(uint16_t first) {
    std::vector<uint16_t> w = {0x00AA, 2, 0};
    for (int i = 0; i < 15; ++i) w.push_back(static_cast<uint16_t>(first + i));
    return WordsToBytes(w);
  }
  ScriptedLine* line_ = nullptr;
  int savedCom_ = 1;
};

TEST_F(PortTest, EachCompleteFrameIsNotifiedOnce) {
  line_->Arrive(Timer() + 0.01, Numbered(100));
  line_->Arrive(Timer() + 0.30, Numbered(200));
  Wait(0.1);
  EXPECT_EQ(rx_flag, 1);
  EXPECT_EQ(graph_flag, 0);
  EXPECT_EQ(pp[0], 100);
  EXPECT_EQ(pp[14], 114);
  rx_flag = 0;
  Wait(0.1);
  EXPECT_EQ(rx_flag, 0);  // nothing new yet
  Wait(0.2);
  EXPECT_EQ(rx_flag, 1);
  EXPECT_EQ(pp[0], 200);

  // A measurement reply raises graph_flag.
  rx_flag = 0;
  Bytes m = WordsToBytes({0, 8, 11, 22, 33});
  line_->Arrive(Timer() + 0.01, m);
  Wait(0.05);
  EXPECT_EQ(rx_flag, 1);
  EXPECT_EQ(graph_flag, 1);
  EXPECT_EQ(pp[0], 11);
  EXPECT_EQ(pp[2], 33);
}

TEST_F(PortTest, BytesBeyondTheFrameAreDiscarded) {
  // 40 bytes at once: one frame from the first 36, the other 4 are dropped.
  Bytes b = Numbered(100);
  b.insert(b.end(), {0x00, 0x55, 0x00, 0x09});
  line_->Arrive(Timer() + 0.01, b);
  Wait(0.05);
  EXPECT_EQ(rx_flag, 1);
  EXPECT_EQ(pp[0], 100);
  EXPECT_EQ(GetInQLen(kPort), 0);
  // The next frame is read in step, not shifted by the dropped bytes.
  rx_flag = 0;
  line_->Arrive(Timer() + 0.01, Numbered(500));
  Wait(0.05);
  EXPECT_EQ(rx_flag, 1);
  EXPECT_EQ(pp[0], 500);
  EXPECT_EQ(pp[14], 514);

  // Two frames at once: one notification, one frame; the second is lost.
  rx_flag = 0;
  Bytes two = Numbered(600);
  Bytes second = Numbered(700);
  two.insert(two.end(), second.begin(), second.end());
  line_->Arrive(Timer() + 0.01, two);
  Wait(0.1);
  EXPECT_EQ(pp[0], 600);
  EXPECT_EQ(GetInQLen(kPort), 0);
}

TEST_F(PortTest, PartialFrameRaisesNothingUntilComplete) {
  Bytes b = Numbered(100);
  line_->Arrive(Timer() + 0.01, Bytes(b.begin(), b.begin() + 20));
  Wait(0.2);
  EXPECT_EQ(rx_flag, 0);
  EXPECT_EQ(GetInQLen(kPort), 20);
  // The rest of the frame arriving later completes it.
  line_->Arrive(Timer() + 0.01, Bytes(b.begin() + 20, b.end()));
  Wait(0.05);
  EXPECT_EQ(rx_flag, 1);
  EXPECT_EQ(pp[0], 100);
  EXPECT_EQ(pp[14], 114);
}

TEST_F(PortTest, HandlerIgnoresCallsWithoutTheReceiveBit) {
  InstallComCallback(kPort, 0, 36, 0x55, nullptr, nullptr);
  line_->Arrive(Timer() + 0.01, Numbered(100));
  Wait(0.05);
  ASSERT_EQ(GetInQLen(kPort), 36);
  RX_Receive_Function(kPort, LWRS_RXFLAG | LWRS_TXEMPTY, nullptr);
  EXPECT_EQ(rx_flag, 0);
  EXPECT_EQ(GetInQLen(kPort), 36);
  RX_Receive_Function(kPort, LWRS_RECEIVE, nullptr);
  EXPECT_EQ(rx_flag, 1);
  EXPECT_EQ(pp[0], 100);
}

TEST_F(PortTest, ReplyWaitTakesAReplyWithinTheTimeout) {
  line_->ReplyToNextWrite(1.0, Numbered(42));
  LineSendBuilt(1);
  const double t0 = Timer();
  EXPECT_EQ(WaitRxFull(), 1);
  EXPECT_EQ(pp[0], 42);
  EXPECT_GE(Timer() - t0, 1.0);
  EXPECT_LT(Timer() - t0, 1.1);
}

TEST_F(PortTest, ReplyWaitGivesUpAfterTheTimeout) {
  line_->ReplyToNextWrite(2.0, Numbered(42));
  SetStatus("before");
  LineSendBuilt(1);
  const double t0 = Timer();
  EXPECT_EQ(WaitRxFull(), 0);
  EXPECT_STREQ(szStatus, "Timeout-RS-232...");
  EXPECT_GT(Timer() - t0, 1.5);
  EXPECT_LT(Timer() - t0, 1.6);
  EXPECT_EQ(rx_flag, 0);
  // The late reply is still taken by the next event processing.
  Wait(1.0);
  EXPECT_EQ(rx_flag, 1);
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

// ---------------------------------------------------------------------------
// Connect sequence through the started program.

struct OpenFailure {
  int result;
  const char* text;
};
void PrintTo(const OpenFailure& f, std::ostream* os) { *os << f.result << " -> " << f.text; }

class OpenFailureTest : public ::testing::TestWithParam<OpenFailure> {
 protected:
  void TearDown() override { StopApp(); }
};

TEST_P(OpenFailureTest, StatusNamesTheFailureAndNothingIsSent) {
  auto line = std::make_shared<ScriptedLine>();
  line->SetOpenResult(GetParam().result);
  ASSERT_EQ(StartAppWithLine(line), 0);
  EXPECT_EQ(Status(), GetParam().text);
  EXPECT_STREQ(szStatus, GetParam().text);
  EXPECT_TRUE(line->writes().empty());
  EXPECT_EQ(com, 1);
  // Later transactions on the closed port fail by time-out, not by a crash.
  EXPECT_EQ(GetHARDWAREInfo(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    EveryResult, OpenFailureTest,
    ::testing::Values(OpenFailure{-1, "Unknown system error"},
                      OpenFailure{-2, "Invalid port number"}, OpenFailure{-3, "Port is not open"},
                      OpenFailure{-4, "Unknown I/0 error"}, OpenFailure{-5, "RS-232 error!"},
                      OpenFailure{-6, "No serial port found"}, OpenFailure{-7, "Cannot open port"},
                      OpenFailure{-8, "RS-232 error!"}, OpenFailure{-9, "RS-232 error!"},
                      OpenFailure{-10, "RS-232 error!"}, OpenFailure{-11, "RS-232 error!"},
                      OpenFailure{-12, "RS-232 error!"}, OpenFailure{-13, "Invalid parameter"},
                      OpenFailure{-99, "Timeout"}, OpenFailure{-14, "RS-232 error!"},
                      OpenFailure{-98, "RS-232 error!"}, OpenFailure{-1000, "RS-232 error!"}),
    [](const ::testing::TestParamInfo<OpenFailure>& info) {
      return "minus" + std::to_string(-info.param.result);
    });

class ConnectTest : public ::testing::Test {
 protected:
  void TearDown() override { StopApp(); }
  static std::vector<uint16_t> Commands(const tarvo_sim::SensorSim& s) {
    return tframes::SentCommands(s);
  }
};

TEST_F(ConnectTest, HealthySensorIsIdentifiedAndItsVersionShown) {
  auto sensor = NewSensor();
  sensor->SetVersionText("TARVO-LT-MS V3.03");
  sensor->hardware().hwtype = 10037;
  sensor->hardware().ccdvirtpixel = 2048;
  ASSERT_EQ(StartApp(sensor), 0);

  const auto& req = sensor->requests();
  ASSERT_EQ(Commands(*sensor), (std::vector<uint16_t>{5, 10, 2, 2, 2, 7}));
  EXPECT_EQ(req[2].argument, 0);
  EXPECT_EQ(req[3].argument, 1);
  EXPECT_EQ(req[4].argument, 2);
  for (const auto& r : req) EXPECT_EQ(r.sync, 0x0055);
  for (size_t i = 1; i < req.size(); ++i)
    EXPECT_GE(req[i].time - req[i - 1].time, 0.1 - 1e-9) << "pause before request " << i;

  EXPECT_EQ(Status(), "TARVO-LT-MS V3.03");
  EXPECT_STREQ(szVersion, "TARVO-LT-MS V3.03");
  EXPECT_TRUE(Shows(SensorInfoLine(0), "1024-pixel; 7.8\xB5m pixel-pitch"));
  EXPECT_TRUE(Shows(SensorInfoLine(1), "4096-subpixel"));
  EXPECT_TRUE(Shows(SensorInfoLine(2), "resolution    = +/-1\xB5m"));
  EXPECT_TRUE(Shows(SensorInfoLine(3), "working-range = 37mm +/-2.0mm"));
  EXPECT_EQ(ccdvirtpixel, 2048);
  EXPECT_DOUBLE_EQ(xArray8[127], 127 * 16.0);
  // After the firmware query the notification is back: the link keeps working.
  EXPECT_EQ(CheckComLine(1), 1);
  EXPECT_EQ(Status(), "Echo Check - Line Ok!");
}

TEST_F(ConnectTest, EchoFailureEndsTheSequence) {
  auto sensor = NewSensor();
  sensor->faults().wrongEchoSync = true;
  ASSERT_EQ(StartApp(sensor), 0);
  EXPECT_EQ(Commands(*sensor), (std::vector<uint16_t>{5}));
  EXPECT_EQ(Status(), "read error - not sync byte 0xAA!");

  StopApp();
  auto silent = NewSensor();
  silent->faults().silent = true;
  ASSERT_EQ(StartApp(silent), 0);
  EXPECT_EQ(Commands(*silent), (std::vector<uint16_t>{5}));
  EXPECT_EQ(Status(), "Timeout-RS-232...");
}

TEST_F(ConnectTest, EchoCheckJudgesOnlyTheSyncWord) {
  auto line = std::make_shared<ScriptedLine>();
  ASSERT_EQ(StartAppWithLine(line), 0);  // nothing answers the start-up
  Bytes reply = Reply(0x00AA, 0x1234);
  for (size_t i = 4; i < reply.size(); ++i) reply[i] = static_cast<uint8_t>(i * 7);
  line->ReplyToNextWrite(0.05, reply);
  EXPECT_EQ(CheckComLine(1), 1);
  EXPECT_EQ(Status(), "Echo Check - Line Ok!");
  // The request carried set 0 as its payload.
  const Bytes& sent = line->writes().back().bytes;
  ASSERT_EQ(sent.size(), 36u);
  EXPECT_EQ(WordOf(sent, 0), 0x0055);
  EXPECT_EQ(WordOf(sent, 2), 5);
  EXPECT_EQ(WordOf(sent, 4), 0);
  EXPECT_EQ(WordOf(sent, 6), parameter.set0[0]);
  EXPECT_EQ(WordOf(sent, 18), parameter.set0[6]);
  EXPECT_EQ(WordOf(sent, 32), parameter.set0Long & 0xFFFF);

  line->ReplyToNextWrite(0.05, Reply(0xAA00, 5));
  EXPECT_EQ(CheckComLine(1), 0);
  EXPECT_EQ(Status(), "read error - not sync byte 0xAA!");
}

TEST_F(ConnectTest, HardwareFailureStillFetchesTheSetsAndTheVersion) {
  auto sensor = NewSensor();
  sensor->faults().wrongHardwareEcho = true;
  sensor->hardware().ccdvirtpixel = 100;
  sensor->ram[1][3] = 512;
  sensor->ram[1][5] = 4096;
  ASSERT_EQ(StartApp(sensor), 0);
  EXPECT_EQ(Commands(*sensor), (std::vector<uint16_t>{5, 10, 2, 2, 2, 7}));
  EXPECT_EQ(Status(), sensor->VersionText());
  // The rejected reply left the start geometry, so the range rules of the
  // set refresh kept the fetched pixel positions.
  EXPECT_EQ(ccdvirtpixel, 4096);
  EXPECT_DOUBLE_EQ(xArray8[1], 0.0);
  EXPECT_EQ(parameter.set1[3], 512);
  EXPECT_EQ(parameter.set1[5], 4096);
}

TEST_F(ConnectTest, ShortVersionReplyIsReported) {
  auto sensor = NewSensor();
  sensor->faults().shortVersion = true;
  ASSERT_EQ(StartApp(sensor), 0);
  EXPECT_EQ(Commands(*sensor), (std::vector<uint16_t>{5, 10, 2, 2, 2, 7}));
  EXPECT_EQ(Status(), "Error reading firmware-info!");
  EXPECT_STREQ(szVersion, "");
}

// ---------------------------------------------------------------------------
// Identification queries, called directly once the program runs on a line
// that a test scripts.

class IdentifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    line_ = std::make_shared<ScriptedLine>();
    ASSERT_EQ(StartAppWithLine(line_), 0);  // start-up ends at the echo time-out
  }
  void TearDown() override { StopApp(); }
  std::shared_ptr<ScriptedLine> line_;
};

TEST_F(IdentifyTest, HardwareReplyFillsTheGlobalsAndTheVideoAxes) {
  const Hw h{10, 1, 2048, 77, 3, 4096, 8192, 5, 2000, 304, 10080};
  line_->ReplyToNextWrite(0.05, HardwareReply(h));
  for (int i = 0; i < 16; ++i) pp[i] = static_cast<uint16_t>(900 + i);
  ASSERT_EQ(GetHARDWAREInfo(), 1);

  // The request carries the current pp as it was.
  const Bytes& sent = line_->writes().back().bytes;
  EXPECT_EQ(WordOf(sent, 2), 10);
  EXPECT_EQ(WordOf(sent, 6), 900);
  EXPECT_EQ(WordOf(sent, 34), 914);

  const std::vector<long> got = {ccdtype, ccdmaxpixel, ccdresolution, pcbtype, ccdvirtpixel,
                                 ccdsubpixel, ccdpixB, ccdpixE, softversion, hwtype};
  EXPECT_EQ(got, (std::vector<long>{1, 2048, 77, 3, 4096, 8192, 5, 2000, 304, 10080}));
  for (int i = 0; i < 128; ++i) ASSERT_DOUBLE_EQ(xArray8[i], 32.0 * i);
  for (int graph : {MAIN_GRAPHDataMaster, MAIN_GRAPHDataSlave}) {
    double lo = 0, hi = 0;
    GetAxisRange(pHandle, graph, VAL_XAXIS, &lo, &hi);
    EXPECT_DOUBLE_EQ(lo, 1.0);
    EXPECT_DOUBLE_EQ(hi, 4096.0);
  }
  EXPECT_TRUE(Shows(SensorInfoLine(2), "resolution    = +/-10\xB5m"));
  EXPECT_TRUE(Shows(SensorInfoLine(3), "working-range = 80mm +/-10mm"));
}

TEST_F(IdentifyTest, VirtualPixelRangesAndTheFallback) {
  for (uint16_t n : {256, 512, 768, 1024, 1280, 1536, 2048, 2560, 4096, 8192}) {
    Hw h;
    h.virtpixel = n;
    line_->ReplyToNextWrite(0.05, HardwareReply(h));
    ASSERT_EQ(GetHARDWAREInfo(), 1);
    EXPECT_EQ(ccdvirtpixel, n);
    for (int i = 0; i < 128; ++i) ASSERT_DOUBLE_EQ(xArray8[i], i * n / 128.0) << n;
  }
  // Any other range: the axes keep it, the curve falls back to 2048.
  Hw h;
  h.virtpixel = 3000;
  line_->ReplyToNextWrite(0.05, HardwareReply(h));
  ASSERT_EQ(GetHARDWAREInfo(), 1);
  EXPECT_EQ(ccdvirtpixel, 2048);
  for (int i = 0; i < 128; ++i) ASSERT_DOUBLE_EQ(xArray8[i], 16.0 * i);
  EXPECT_DOUBLE_EQ(xArray8[127], 2032.0);
  for (int graph : {MAIN_GRAPHDataMaster, MAIN_GRAPHDataSlave}) {
    double lo = 0, hi = 0;
    GetAxisRange(pHandle, graph, VAL_XAXIS, &lo, &hi);
    EXPECT_DOUBLE_EQ(lo, 1.0);
    EXPECT_DOUBLE_EQ(hi, 3000.0);
  }
}

TEST_F(IdentifyTest, FullScaleOfTheVideoSignal) {
  struct Case {
    uint16_t ccdtype, word22;
    uint16_t expected;
  } cases[] = {{1, 1024, 1024}, {1, 10055, 256}, {2, 1024, 256}, {0, 1024, 256}, {1, 256, 256}};
  for (const Case& c : cases) {
    YMAXADC = 999;
    Hw h;
    h.ccdtype = c.ccdtype;
    h.hwtype = c.word22;
    line_->ReplyToNextWrite(0.05, HardwareReply(h));
    ASSERT_EQ(GetHARDWAREInfo(), 1);
    EXPECT_EQ(adcmax, c.word22);
    EXPECT_EQ(YMAXADC, c.expected) << "ccdtype " << c.ccdtype << " word " << c.word22;
  }
}

TEST_F(IdentifyTest, RejectedOrMissingHardwareReplyChangesNoDerivedValue) {
  Hw good;
  good.virtpixel = 1024;
  good.hwtype = 10037;
  line_->ReplyToNextWrite(0.05, HardwareReply(good));
  ASSERT_EQ(GetHARDWAREInfo(), 1);
  ASSERT_EQ(YMAXADC, 256);

  // Wrong echo: nothing of the reply is taken.
  Hw bad;
  bad.echo = 2;
  bad.ccdtype = 1;
  bad.virtpixel = 8192;
  bad.subpixel = 77;
  bad.hwtype = 1024;  // would give YMAXADC 1024
  line_->ReplyToNextWrite(0.05, HardwareReply(bad));
  EXPECT_EQ(GetHARDWAREInfo(), 0);
  EXPECT_EQ(ccdvirtpixel, 1024);
  EXPECT_EQ(ccdsubpixel, 4096);
  EXPECT_EQ(hwtype, 10037);
  EXPECT_DOUBLE_EQ(xArray8[1], 8.0);  // still the 1024 spacing
  EXPECT_EQ(YMAXADC, 256);
  EXPECT_TRUE(Shows(SensorInfoLine(3), "working-range = 37mm +/-2.0mm"));

  // No reply at all: nothing changes, the time-out is noted.
  line_->ReplyToNextWrite(0.05, HardwareReply(good));
  ASSERT_EQ(GetHARDWAREInfo(), 1);
  line_->ReplyToNextWrite(3.0, HardwareReply(bad));
  EXPECT_EQ(GetHARDWAREInfo(), 0);
  EXPECT_STREQ(szStatus, "Timeout-RS-232...");
  EXPECT_EQ(ccdvirtpixel, 1024);
  EXPECT_EQ(hwtype, 10037);
}

struct DescriptionRow {
  uint16_t ccdtype, hwtype;
  const char* lines[4];
};

void PrintTo(const DescriptionRow& row, std::ostream* os) {
  *os << "ccdtype " << row.ccdtype << ", hwtype " << row.hwtype;
}

const char kBlank32[] = "                                ";

class DescriptionTest : public IdentifyTest,
                        public ::testing::WithParamInterface<DescriptionRow> {};

TEST_P(DescriptionTest, CalibrationPanelShowsTheDescription) {
  const DescriptionRow& row = GetParam();
  const SensorDescription d = DescribeSensor(row.ccdtype, row.hwtype);
  for (int i = 0; i < 4; ++i) EXPECT_STREQ(d.line[i], row.lines[i]) << "line " << i;

  Hw h;
  h.ccdtype = row.ccdtype;
  h.hwtype = row.hwtype;
  line_->ReplyToNextWrite(0.05, HardwareReply(h));
  ASSERT_EQ(GetHARDWAREInfo(), 1);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(Shows(SensorInfoLine(i), row.lines[i])) << "line " << i;
}

#define TARVO_1024 "1024-pixel; 7.8\xB5m pixel-pitch", "4096-subpixel"
#define NO_INFO "CCD-SENSOR: No Info Avialable!", kBlank32, kBlank32, kBlank32
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    EveryRow, DescriptionTest,
    ::testing::Values(
        DescriptionRow{1, 10037, {TARVO_1024, "resolution    = +/-1\xB5m", "working-range = 37mm +/-2.0mm"}},
        DescriptionRow{1, 10055, {TARVO_1024, "resolution    = +/-2.5\xB5m", "working-range = 55mm +/-5.0mm"}},
        DescriptionRow{1, 10080, {TARVO_1024, "resolution    = +/-10\xB5m", "working-range = 80mm +/-10mm"}},
        DescriptionRow{1, 10135, {TARVO_1024, "resolution    = +/-xx \xB5m", "working-range = 135mm +/-20mm"}},
        DescriptionRow{1, 10160, {TARVO_1024, "resolution    = +/-xx \xB5m", "working-range = 160mm +/-xx mm"}},
        DescriptionRow{1, 10200, {TARVO_1024, "resolution    = +/-xx \xB5m", "working-range = 200mm +/-xx mm"}},
        DescriptionRow{1, 10275, {TARVO_1024, "resolution    = +/-xx \xB5m", "working-range = 275mm +/-xx mm"}},
        DescriptionRow{1, 10450, {TARVO_1024, "resolution    = +/-xx \xB5m", "working-range = 450mm +/-xx mm"}},
        DescriptionRow{1, 10100, {NO_INFO}}, DescriptionRow{2, 10055, {NO_INFO}},
        DescriptionRow{0, 0, {NO_INFO}}),
    [](const ::testing::TestParamInfo<DescriptionRow>& info) {
      return "ccdtype" + std::to_string(info.param.ccdtype) + "_hwtype" +
             std::to_string(info.param.hwtype);
    });
// clang-format on
#undef TARVO_1024
#undef NO_INFO

// ---------------------------------------------------------------------------
// Firmware query

Bytes BoardZeroVersion(const std::string& text) {
  std::vector<uint16_t> w;
  for (char c : text) w.push_back(static_cast<uint8_t>(c));
  return WordsToBytes(w, 72);
}

TEST_F(IdentifyTest, VersionOfBoardTypeZeroIsOneCharacterPerWord) {
  pcbtype = 0;
  line_->ReplyToNextWrite(0.05, WordsToBytes({0x0056, 0x0033, 0x002E, 0x0031}, 72));
  EXPECT_EQ(GetVERSIONInfo(), 72);
  EXPECT_STREQ(szVersion, "V3.1");
  EXPECT_EQ(Status(), "V3.1");
  EXPECT_EQ(nBytesR, 72);
  const Bytes& sent = line_->writes().back().bytes;
  EXPECT_EQ(WordOf(sent, 2), 7);

  // 36 characters fill szVersion completely; high bytes of the words are ignored.
  std::string full(36, 'Q');
  full[35] = 'Z';
  Bytes reply = BoardZeroVersion(full);
  reply[0] = 0x41;
  line_->ReplyToNextWrite(0.05, reply);
  EXPECT_EQ(GetVERSIONInfo(), 72);
  EXPECT_EQ(std::string(szVersion), full);
}

TEST_F(IdentifyTest, VersionTextOfOtherBoardsIsShownSafely) {
  pcbtype = 2;
  Bytes text(72, 'A');
  const char* fw = "FW\t1.2\r\nbeta\x01";
  std::memcpy(text.data(), fw, std::strlen(fw));
  text[std::strlen(fw)] = 0;  // the text ends here; the rest is not shown
  line_->ReplyToNextWrite(0.05, text);
  EXPECT_EQ(GetVERSIONInfo(), 72);
  EXPECT_STREQ(szStatus, "FW 1.2  beta ");
  EXPECT_EQ(Status(), "FW 1.2  beta ");
  EXPECT_STREQ(szVersion, "");

  // 72 characters with no zero byte: all of them, and the terminator still fits.
  Bytes full(72, 'x');
  full[71] = 'y';
  line_->ReplyToNextWrite(0.05, full);
  EXPECT_EQ(GetVERSIONInfo(), 72);
  EXPECT_EQ(std::strlen(szStatus), 72u);
  EXPECT_EQ(szStatus[71], 'y');
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

  // More than 72 bytes: counted and read, no version text.
  SetStatus("before");
  Bytes longer = BoardZeroVersion("V9");
  longer.resize(80, 0x11);
  line_->ReplyToNextWrite(0.05, longer);
  EXPECT_EQ(GetVERSIONInfo(), 80);
  EXPECT_EQ(nBytesR, 80);
  EXPECT_EQ(Status(), "before");
  EXPECT_STREQ(szVersion, "");
  EXPECT_EQ(GetInQLen(1), 0);

  // Far more than the receive buffer holds: it never reads past it.
  line_->ReplyToNextWrite(0.0, Bytes(1500, 0x22));
  EXPECT_EQ(GetVERSIONInfo(), 1500);
  EXPECT_EQ(nBytesR, kBufBytes);
  EXPECT_EQ(GetInQLen(1), 0);
}

TEST_F(IdentifyTest, FirmwareQueryProcessesNoEventsAndRestoresTheNotification) {
  int runs = 0;
  bool ranInside = false;
  bool returned = false;
  ScheduleAt(Timer() + 0.2, [&] {
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
  line_->Arrive(Timer() + 0.01, Reply(0x00AA, 2, {0, 77}));
  RunFor(0.1);
  EXPECT_EQ(rx_flag, 1);
  EXPECT_EQ(pp[0], 77);
}

TEST_F(IdentifyTest, FrameDuringTheFirmwareQueryIsNotNotified) {
  // Whatever comes while the query runs is part of the reply or flushed.
  line_->ReplyToNextWrite(0.05, Reply(0x00AA, 2, {0, 5}));
  rx_flag = 0;
  EXPECT_EQ(GetVERSIONInfo(), 36);
  EXPECT_EQ(rx_flag, 0);
  EXPECT_EQ(GetInQLen(1), 0);
}

}  // namespace
