// The sensor controller model: replies byte by byte, request assembly, line
// timing, faults, memory, and the standalone program on a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "sim/sensor_sim.h"

using tarvo_sim::Request;
using tarvo_sim::SensorSim;
using tarvo_sim::Set;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr double kBt = SensorSim::kByteTime;

Bytes Req(uint16_t cmd, uint16_t arg = 0, const Set& words = {}, uint16_t sync = 0x0055) {
  Bytes b(36, 0);
  auto put = [&](size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
  };
  put(0, sync);
  put(2, cmd);
  put(4, arg);
  for (int i = 0; i < 15; ++i) put(6 + 2 * i, words[i]);
  return b;
}

uint16_t W(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] << 8 | b[at + 1]); }

// Writes one request and returns every reply byte the model sends for it.
Bytes Ask(SensorSim& s, const Bytes& req, double t = 1.0) {
  s.Receive(req.data(), req.size(), t);
  Bytes out;
  while (s.NextDue() >= 0) s.Collect(s.NextDue(), out);
  return out;
}

SensorSim Frozen() {
  SensorSim s;
  s.frozen = true;
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------
// Replies

TEST(SimReplies, EchoHardwareAndVersion) {
  SensorSim s = Frozen();
  Set words{};
  for (int i = 0; i < 15; ++i) words[i] = static_cast<uint16_t>(0x0101 * (i + 1));
  Bytes r = Ask(s, Req(5, 0, words));
  ASSERT_EQ(r.size(), 36u);
  EXPECT_EQ(r[0], 0x00);
  EXPECT_EQ(r[1], 0xAA);
  EXPECT_EQ(W(r, 2), 5);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(W(r, 6 + 2 * i), words[i]);

  auto& hw = s.hardware();
  hw = {2, 1100, 4200, 7, 2048, 3000, 5, 1000, 304, 10080};
  r = Ask(s, Req(10));
  ASSERT_EQ(r.size(), 36u);
  const uint16_t expect[11] = {10, 2, 1100, 4200, 7, 2048, 3000, 5, 1000, 304, 10080};
  for (int i = 0; i < 11; ++i)
    EXPECT_EQ(W(r, 2 + 2 * i), expect[i]) << "word at byte " << 2 + 2 * i;

  // Board type 0: one character in the low byte of each of 36 words.
  s.hardware().pcbtype = 0;
  s.SetVersionText("V3.1");
  r = Ask(s, Req(7));
  ASSERT_EQ(r.size(), 72u);
  EXPECT_EQ(Bytes(r.begin(), r.begin() + 8), (Bytes{0, 'V', 0, '3', 0, '.', 0, '1'}));
  for (size_t i = 8; i < 72; ++i) EXPECT_EQ(r[i], 0) << i;
  s.SetVersionText(std::string(40, 'x'));  // only 36 characters fit
  r = Ask(s, Req(7));
  ASSERT_EQ(r.size(), 72u);
  EXPECT_EQ(r[71], 'x');
  for (size_t i = 0; i < 72; i += 2) EXPECT_EQ(r[i], 0);

  // Other boards: 72 characters of text.
  s.hardware().pcbtype = 1;
  const std::string text =
      "TARVO controller firmware 3.03 build 2024 -- seventy-two characters long.";
  s.SetVersionText(text.substr(0, 72));
  r = Ask(s, Req(7));
  ASSERT_EQ(r.size(), 72u);
  EXPECT_EQ(std::string(r.begin(), r.end()), text.substr(0, 72));
}

TEST(SimReplies, ParameterSetsInRamAndEeprom) {
  SensorSim s = Frozen();
  // Factory values, RAM a copy of EEPROM.
  Bytes r = Ask(s, Req(2, 0));
  ASSERT_EQ(r.size(), 36u);
  EXPECT_EQ(W(r, 2), 2);
  const uint16_t set0[15] = {1, 0, 0, 1, 1, 1, 100, 100, 0, 0, 0, 0, 0, 37000, 0};
  for (int i = 0; i < 15; ++i) EXPECT_EQ(W(r, 6 + 2 * i), set0[i]) << i;
  EXPECT_EQ(Bytes(r.begin() + 32, r.end()), (Bytes{0x90, 0x88, 0x00, 0x00}));
  r = Ask(s, Req(4, 1));
  const uint16_t set1[15] = {500, 1, 50, 512, 1, 4096, 0, 0, 0, 0, 0, 1024, 0, 37000, 0};
  for (int i = 0; i < 15; ++i) EXPECT_EQ(W(r, 6 + 2 * i), set1[i]) << i;
  EXPECT_EQ(Bytes(r.begin() + 28, r.begin() + 32), (Bytes{0x04, 0x00, 0x00, 0x00}));
  EXPECT_EQ(s.ram, s.eeprom);

  // Storing in RAM leaves EEPROM alone, and the other way round.
  Set a{};
  for (int i = 0; i < 15; ++i) a[i] = static_cast<uint16_t>(1000 + i);
  r = Ask(s, Req(1, 2, a));
  ASSERT_EQ(r.size(), 36u);  // acknowledged with an ordinary frame
  EXPECT_EQ(W(r, 2), 1);
  r = Ask(s, Req(2, 2));
  for (int i = 0; i < 15; ++i) EXPECT_EQ(W(r, 6 + 2 * i), a[i]);
  r = Ask(s, Req(4, 2));
  for (int i = 0; i < 15; ++i) EXPECT_EQ(W(r, 6 + 2 * i), set1[i]);

  Set e{};
  e[0] = 4;
  e[13] = 4464;  // 70000 low word first
  e[14] = 1;
  r = Ask(s, Req(3, 0, e));
  EXPECT_EQ(W(r, 2), 3);
  EXPECT_EQ(s.eeprom[0], e);
  EXPECT_EQ(s.ram[0][0], 1);
  r = Ask(s, Req(4, 0));
  EXPECT_EQ(W(r, 32), 4464);
  EXPECT_EQ(W(r, 34), 1);

  // A set number the controller does not have: no reply, nothing stored.
  const auto before = s.ram;
  EXPECT_TRUE(Ask(s, Req(1, 3, a)).empty());
  EXPECT_TRUE(Ask(s, Req(2, 7)).empty());
  EXPECT_EQ(s.ram, before);
}

TEST(SimReplies, MeasurementFollowsEvaluationMode) {
  SensorSim s = Frozen();
  s.hardware().ccdvirtpixel = 2048;
  s.edgeA = 1000.4;
  s.edgeB = 1199.6;
  s.ram[1][3] = 990;   // setpoint A
  s.ram[2][3] = 1180;  // setpoint B
  s.poti = 30;
  s.peakWidthA = 7;
  s.peakWidthB = 9;

  struct Case {
    uint16_t mode;
    uint16_t mvalue;
    int32_t target;
  };
  const Case cases[] = {
      {0, 1200, 1180},
      {1, 1000, 990},
      {2, 2 * 2048 - 2200, 2 * 2048 - 2170},
      {3, 2048 + 1000 - 1200, 2048},
      {4, 2048 + 2200 - 2170, 2048},
  };
  for (const Case& c : cases) {
    s.ram[0][0] = c.mode;
    const Bytes r = Ask(s, Req(8, 0, s.ram[0]));
    ASSERT_EQ(r.size(), 36u);
    EXPECT_EQ(W(r, 2), 8);
    EXPECT_EQ(W(r, 4), 1000) << c.mode;
    EXPECT_EQ(W(r, 6), 1200);
    EXPECT_EQ(W(r, 8), c.mvalue) << "mode " << c.mode;
    // Micrometres: setpoint (37000) plus the deviation at 1 um per pixel.
    const int32_t um = static_cast<int32_t>(W(r, 10) | (uint32_t(W(r, 12)) << 16));
    EXPECT_EQ(um, 37000 + (int32_t(c.mvalue) - c.target)) << "mode " << c.mode;
    EXPECT_EQ(W(r, 14), 30);  // poti
    EXPECT_EQ(W(r, 16), 1);   // edge counts
    EXPECT_EQ(W(r, 18), 1);
    EXPECT_EQ(W(r, 20), 7);  // peak widths
    EXPECT_EQ(W(r, 22), 9);
  }

  // A negative value in micrometres travels as a signed 32-bit pair, low word first.
  s.ram[0][0] = 1;
  s.ram[1][11] = 0;  // scale factor 2048 * 1024: 2048 um per pixel
  s.ram[1][12] = 32;
  s.ram[1][13] = 0;
  s.ram[1][14] = 0;
  s.edgeA = 900;
  const Bytes r = Ask(s, Req(8));
  const int32_t um = static_cast<int32_t>(W(r, 10) | (uint32_t(W(r, 12)) << 16));
  EXPECT_EQ(um, -90 * 2048);
  EXPECT_EQ(W(r, 12), 0xFFFD);

  // An edge off the line is not counted.
  s.edgeB = 2100;
  const Bytes off = Ask(s, Req(8));
  EXPECT_EQ(W(off, 18), 0);
  EXPECT_EQ(W(off, 22), 0);
}

TEST(SimReplies, AnalogMaxMinTrackedAndReset) {
  SensorSim s = Frozen();
  s.ram[0][0] = 1;  // Mvalue = edge A
  const double edges[] = {1000, 1100, 900, 1050};
  Bytes r;
  for (double e : edges) {
    s.edgeA = e;
    r = Ask(s, Req(8));
  }
  EXPECT_EQ(W(r, 24), 1100);
  EXPECT_EQ(W(r, 26), 900);

  r = Ask(s, Req(11));
  ASSERT_EQ(r.size(), 36u);
  EXPECT_EQ(W(r, 2), 11);
  s.edgeA = 1020;
  r = Ask(s, Req(8));
  EXPECT_EQ(W(r, 24), 1020);
  EXPECT_EQ(W(r, 26), 1020);
}

TEST(SimReplies, VideoBlocksShowTheEdge) {
  SensorSim s = Frozen();
  s.edgeA = 1000;
  s.edgeB = 3000;
  auto block = [&](uint16_t offset, uint16_t selector) {
    Set w{};
    w[0] = selector;
    return Ask(s, Req(9, offset, w));
  };
  for (uint16_t sel : {0, 1}) {
    const double edge = sel == 0 ? s.edgeA : s.edgeB;
    std::vector<int> v;
    for (uint16_t off : {0, 64}) {
      const Bytes b = block(off, sel);
      ASSERT_EQ(b.size(), 128u);
      for (int i = 0; i < 64; ++i) v.push_back(W(b, 2 * i));
    }
    // Sample i is pixel i*4096/128 = 32 i. Threshold 50 % of 256 = 128.
    for (int i = 0; i < 128; ++i) {
      const double x = i * 32.0;
      EXPECT_LT(v[i], 256);
      if (x < edge - 64) {
        EXPECT_GT(v[i], 170) << "sensor " << sel << " sample " << i;
      }
      if (x > edge + 64) {
        EXPECT_LT(v[i], 40) << "sensor " << sel << " sample " << i;
      }
      if (x <= edge - 32) {
        EXPECT_GE(v[i], 128) << i;
      }
      if (x >= edge + 32) {
        EXPECT_LE(v[i], 128) << i;
      }
    }
  }
  // Video threshold of 70 %: the signal crosses 70 % at the edge (pixel 1000).
  s.ram[1][2] = 70;
  EXPECT_GE(s.VideoSample(0, 31), 70 * 256 / 100);  // pixel 992
  EXPECT_LT(s.VideoSample(0, 32), 70 * 256 / 100);  // pixel 1024

  // Full scale 1024 for the hardware that reports it; the test ramp on selector 2.
  s.hardware().hwtype = 1024;
  EXPECT_EQ(s.VideoFullScale(), 1024);
  EXPECT_GT(s.VideoSample(0, 5), 600);
  s.hardware().ccdtype = 2;
  EXPECT_EQ(s.VideoFullScale(), 256);
  const Bytes ramp = block(64, 2);
  EXPECT_EQ(W(ramp, 0), 128);
  EXPECT_EQ(W(ramp, 126), 254);
  // Unknown selector and samples past the end of the line: zeros.
  for (uint8_t byte : block(0, 3)) EXPECT_EQ(byte, 0);
  for (uint8_t byte : block(128, 0)) EXPECT_EQ(byte, 0);
}

TEST(SimReplies, TeachTakesTheCurrentEdges) {
  SensorSim s = Frozen();
  s.edgeA = 1234.4;
  s.edgeB = 1777.6;
  const Bytes r = Ask(s, Req(6, 0, s.ram[0]));
  ASSERT_EQ(r.size(), 36u);
  EXPECT_EQ(W(r, 2), 6);
  EXPECT_EQ(s.ram[1][3], 1234);
  EXPECT_EQ(s.ram[2][3], 1778);
  EXPECT_EQ(s.eeprom[1][3], 512);
  EXPECT_EQ(W(Ask(s, Req(2, 2)), 12), 1778);
  // After teaching, mode 1 measures the target exactly.
  EXPECT_EQ(W(Ask(s, Req(8)), 8), 1234);
}

TEST(SimReplies, XFlashClearAndWrite) {
  SensorSim s = Frozen();
  s.xflash.fill(7);
  Set clear{};
  clear.fill(0x00AA);
  Bytes r = Ask(s, Req(101, 0, clear));
  ASSERT_EQ(r.size(), 36u);
  EXPECT_EQ(W(r, 2), 101);
  EXPECT_EQ(s.xflashClears, 1);
  for (uint16_t v : s.xflash) ASSERT_EQ(v, 0);

  Set w{};
  w[0] = 3;  // page
  for (int i = 0; i < 8; ++i) w[1 + i] = static_cast<uint16_t>(4095 - 2 * i);
  for (int i = 9; i < 15; ++i) w[i] = 0x00AA;
  r = Ask(s, Req(102, 8, w));
  ASSERT_EQ(r.size(), 36u);
  EXPECT_EQ(W(r, 2), 102);
  EXPECT_EQ(W(r, 6), 8);  // offset echo
  EXPECT_EQ(W(r, 8), 3);  // page echo
  for (int i = 0; i < 8; ++i) EXPECT_EQ(s.xflash[264 + i], 4095 - 2 * i);
  EXPECT_EQ(s.xflash[263], 0);
  EXPECT_EQ(s.xflash[272], 0);

  w[0] = 9;
  r = Ask(s, Req(102, 248, w));
  EXPECT_EQ(W(r, 6), 248);
  EXPECT_EQ(W(r, 8), 9);
  EXPECT_EQ(s.xflash[2047], 4095 - 14);

  // A page the table does not have is echoed but writes nothing.
  const auto before = s.xflash;
  w[0] = 10;
  r = Ask(s, Req(102, 0, w));
  EXPECT_EQ(W(r, 8), 10);
  EXPECT_EQ(s.xflash, before);
}

// ---------------------------------------------------------------------------
// Request assembly

TEST(SimStream, PiecesBurstsAndGarbage) {
  SensorSim s = Frozen();
  // One byte at a time.
  const Bytes echo = Req(5);
  for (size_t i = 0; i < echo.size(); ++i) {
    s.Receive(&echo[i], 1, 1.0 + i * 0.001);
    if (i < 35) {
      EXPECT_EQ(s.NextDue(), -1.0) << i;
    }
  }
  ASSERT_EQ(s.requests().size(), 1u);
  EXPECT_EQ(s.requests()[0].command, 5);

  // Three requests in one write: three replies in order.
  Bytes burst = Req(5);
  for (uint16_t c : {10, 2}) {
    const Bytes r = Req(c, 1);
    burst.insert(burst.end(), r.begin(), r.end());
  }
  Bytes out = Ask(s, burst, 2.0);
  ASSERT_EQ(out.size(), 36u * 4);  // the single-byte echo's reply is still in there
  EXPECT_EQ(W(out, 2), 5);
  EXPECT_EQ(W(out, 36 + 2), 5);
  EXPECT_EQ(W(out, 72 + 2), 10);
  EXPECT_EQ(W(out, 108 + 2), 2);

  // Garbage before a request, including lone zero bytes and a half sync word.
  s.ClearRequests();
  Bytes g = {0xFF, 0x00, 0x00, 0x12, 0x55, 0x00, 0xAA, 0x00};
  const Bytes hw = Req(10);
  g.insert(g.end(), hw.begin(), hw.end());
  out = Ask(s, g, 3.0);
  ASSERT_EQ(s.requests().size(), 1u);
  EXPECT_EQ(s.requests()[0].command, 10);
  ASSERT_EQ(out.size(), 36u);
  EXPECT_EQ(W(out, 2), 10);

  // A fragment followed by silence is forgotten; the next request stands alone.
  s.ClearRequests();
  s.Receive(hw.data(), 20, 4.0);
  out = Ask(s, Req(5), 4.5);
  ASSERT_EQ(s.requests().size(), 1u);
  EXPECT_EQ(s.requests()[0].command, 5);
  EXPECT_EQ(out.size(), 36u);

  // The same after the line was re-opened.
  s.ClearRequests();
  s.Receive(hw.data(), 20, 5.0);
  s.ResetLine();
  Ask(s, Req(5), 5.0);
  ASSERT_EQ(s.requests().size(), 1u);
  EXPECT_EQ(s.requests()[0].command, 5);

  // A data-block request carries whatever header the program holds.
  s.ClearRequests();
  Set sel{};
  sel[0] = 1;
  out = Ask(s, Req(9, 64, sel, 0x1234), 6.0);
  EXPECT_EQ(out.size(), 128u);
  ASSERT_EQ(s.requests().size(), 1u);
  EXPECT_EQ(s.requests()[0].sync, 0x1234);

  // Any other command needs the sync word; unknown commands are recorded, not answered.
  s.ClearRequests();
  EXPECT_TRUE(Ask(s, Req(5, 0, {}, 0x1234), 7.0).empty());
  EXPECT_TRUE(Ask(s, Req(55), 8.0).empty());
  ASSERT_EQ(s.requests().size(), 1u);
  EXPECT_EQ(s.requests()[0].command, 55);
}

TEST(SimStream, RequestsAreRecorded) {
  SensorSim s = Frozen();
  Set w{};
  for (int i = 0; i < 15; ++i) w[i] = static_cast<uint16_t>(i * 3);
  Ask(s, Req(1, 2, w), 2.5);
  ASSERT_EQ(s.requests().size(), 1u);
  const Request& r = s.requests()[0];
  EXPECT_DOUBLE_EQ(r.time, 2.5);
  EXPECT_EQ(r.sync, 0x0055);
  EXPECT_EQ(r.command, 1);
  EXPECT_EQ(r.argument, 2);
  EXPECT_EQ(r.words, w);

  // A long run keeps the latest requests.
  s.SetRequestLimit(10);
  for (int i = 0; i < 25; ++i) Ask(s, Req(5, static_cast<uint16_t>(i)), 3.0 + i);
  ASSERT_LE(s.requests().size(), 10u);
  EXPECT_GE(s.requests().size(), 9u);
  EXPECT_EQ(s.requests().back().argument, 24);
}

// ---------------------------------------------------------------------------
// Line timing

TEST(SimTiming, PacedAt19200Baud) {
  SensorSim s = Frozen();
  s.SetPacing(true);
  const Bytes echo = Req(5);
  s.Receive(echo.data(), echo.size(), 1.0);
  // The request is complete 36 byte times after the write began.
  const double complete = 1.0 + 36 * kBt;
  ASSERT_EQ(s.requests().size(), 1u);
  EXPECT_NEAR(s.requests()[0].time, complete, 1e-12);
  EXPECT_NEAR(s.NextDue(), complete + kBt, 1e-12);

  Bytes out;
  s.Collect(complete, out);
  EXPECT_TRUE(out.empty());
  s.Collect(complete + 10.5 * kBt, out);
  EXPECT_EQ(out.size(), 10u);  // one byte per byte time
  s.Collect(complete + 0.01875 - 1e-6, out);
  EXPECT_EQ(out.size(), 35u);
  s.Collect(complete + 0.01875, out);  // the 36-byte reply takes 18.75 ms
  EXPECT_EQ(out.size(), 36u);
  EXPECT_EQ(s.NextDue(), -1.0);

  // Two requests written together: the second waits for the first on the
  // line in, and its reply waits until the 128-byte block has left.
  SensorSim t = Frozen();
  t.SetPacing(true);
  t.SetAnswerDelay(0.002);
  Bytes two = Req(9);
  const Bytes hw = Req(10);
  two.insert(two.end(), hw.begin(), hw.end());
  t.Receive(two.data(), two.size(), 0.0);
  ASSERT_EQ(t.requests().size(), 2u);
  EXPECT_NEAR(t.requests()[1].time, 72 * kBt, 1e-12);
  EXPECT_NEAR(t.NextDue(), 36 * kBt + 0.002 + kBt, 1e-12);
  std::vector<double> arrivals;
  out.clear();
  while (t.NextDue() >= 0) {
    arrivals.push_back(t.NextDue());
    t.Collect(arrivals.back(), out);
  }
  ASSERT_EQ(arrivals.size(), 128u + 36u);
  ASSERT_EQ(out.size(), 128u + 36u);
  EXPECT_EQ(W(out, 128 + 2), 10);
  for (size_t k = 1; k < arrivals.size(); ++k)
    EXPECT_NEAR(arrivals[k] - arrivals[k - 1], kBt, 1e-9) << k;
  EXPECT_NEAR(arrivals.back(), 36 * kBt + 0.002 + 164 * kBt, 1e-12);

  // A write that starts while the previous one is still on the line queues behind it.
  SensorSim u = Frozen();
  u.SetPacing(true);
  u.Receive(echo.data(), echo.size(), 0.0);
  u.Receive(echo.data(), echo.size(), 0.005);
  ASSERT_EQ(u.requests().size(), 2u);
  EXPECT_NEAR(u.requests()[1].time, 72 * kBt, 1e-12);
}

TEST(SimTiming, ClockRestartKeepsRepliesInStep) {
  // The caller's clock starts again from a lower value (virtual clock given up
  // for the real one): replies come at the line rate on the new clock.
  SensorSim s = Frozen();
  s.SetPacing(true);
  const Bytes r = Req(9);
  s.Receive(r.data(), r.size(), 2000.0);
  Bytes out;
  s.Collect(2000.0 + 100 * kBt, out);
  EXPECT_EQ(out.size(), 100u - 36u);
  s.Collect(3.0, out);  // restarted: the rest of the block continues from here
  EXPECT_EQ(out.size(), 64u);
  EXPECT_NEAR(s.NextDue(), 3.0 + kBt, 1e-9);
  s.Collect(3.0 + 64 * kBt, out);
  EXPECT_EQ(out.size(), 128u);
  s.Receive(r.data(), r.size(), 4.0);
  EXPECT_NEAR(s.NextDue(), 4.0 + 37 * kBt, 1e-9);
}

TEST(SimTiming, UnpacedRepliesAreThereAtOnce) {
  SensorSim s = Frozen();
  const Bytes r = Req(8);
  s.Receive(r.data(), r.size(), 3.0);
  EXPECT_DOUBLE_EQ(s.NextDue(), 3.0);
  Bytes out;
  s.Collect(3.0, out);
  EXPECT_EQ(out.size(), 36u);

  s.SetAnswerDelay(0.25);
  s.Receive(r.data(), r.size(), 4.0);
  out.clear();
  s.Collect(4.2, out);
  EXPECT_TRUE(out.empty());
  s.Collect(4.25, out);
  EXPECT_EQ(out.size(), 36u);
}

// ---------------------------------------------------------------------------
// Faults

TEST(SimFaults, EachFaultOnItsOwn) {
  {
    SensorSim s = Frozen();
    s.faults().silent = true;
    EXPECT_TRUE(Ask(s, Req(5)).empty());
    EXPECT_TRUE(Ask(s, Req(1, 1, {})).empty());
    EXPECT_EQ(s.requests().size(), 2u);  // still heard
    EXPECT_EQ(s.ram[1][0], 0);           // and still acted on
    EXPECT_EQ(s.RepliesSent(), 0);
  }
  {
    SensorSim s = Frozen();
    s.faults().lateReply = 2.0;
    const Bytes r = Req(5);
    s.Receive(r.data(), r.size(), 1.0);
    EXPECT_DOUBLE_EQ(s.NextDue(), 3.0);
  }
  {
    SensorSim s = Frozen();
    s.faults().wrongEchoSync = true;
    const Bytes r = Ask(s, Req(5));
    ASSERT_EQ(r.size(), 36u);
    EXPECT_EQ(r[0], 0xAA);
    EXPECT_EQ(r[1], 0x00);
  }
  {
    SensorSim s = Frozen();
    s.faults().wrongHardwareEcho = true;
    const Bytes r = Ask(s, Req(10));
    EXPECT_EQ(W(r, 2), 0);
    EXPECT_EQ(W(r, 12), 4096);  // the fields are still there
  }
  {
    SensorSim s = Frozen();
    s.faults().strayBytes = 4;
    EXPECT_EQ(Ask(s, Req(5)).size(), 40u);
    EXPECT_EQ(Ask(s, Req(7)).size(), 76u);
  }
  {
    SensorSim s = Frozen();
    s.faults().shortVideo = true;
    EXPECT_EQ(Ask(s, Req(9)).size(), 127u);
    s.faults().shortVideo = false;
    s.faults().extraBytes = 3;
    EXPECT_EQ(Ask(s, Req(9)).size(), 131u);
    EXPECT_EQ(Ask(s, Req(5)).size(), 36u);  // only data blocks get extra bytes
  }
  {
    SensorSim s = Frozen();
    s.faults().dropEvery = 3;
    std::vector<size_t> sizes;
    for (int i = 0; i < 7; ++i) sizes.push_back(Ask(s, Req(5), 1.0 + i).size());
    EXPECT_EQ(sizes, (std::vector<size_t>{36, 36, 0, 36, 36, 0, 36}));
    EXPECT_EQ(s.RepliesSent(), 5);
  }
  {
    SensorSim s = Frozen();
    s.faults().silentAfter = 2;
    std::vector<size_t> sizes;
    for (int i = 0; i < 4; ++i) sizes.push_back(Ask(s, Req(8), 1.0 + i).size());
    EXPECT_EQ(sizes, (std::vector<size_t>{36, 36, 0, 0}));
  }
  {
    SensorSim s = Frozen();
    s.faults().wrongMeasurementEcho = true;
    EXPECT_EQ(W(Ask(s, Req(8)), 2), 0);
    s.faults().shortVersion = true;
    EXPECT_EQ(Ask(s, Req(7)).size(), 71u);
  }
}

// ---------------------------------------------------------------------------
// The physical model when not frozen

TEST(SimModel, EdgesWanderSlowlyAndReproducibly) {
  auto run = [](SensorSim& s) {
    std::vector<uint16_t> a;
    for (int i = 0; i < 200; ++i) a.push_back(W(Ask(s, Req(8), 0.1 * i), 4));
    return a;
  };
  SensorSim s1, s2;
  const std::vector<uint16_t> a1 = run(s1), a2 = run(s2);
  EXPECT_EQ(a1, a2);  // the same seed gives the same values

  int biggestStep = 0, lo = 65535, hi = 0;
  for (size_t i = 0; i < a1.size(); ++i) {
    lo = std::min<int>(lo, a1[i]);
    hi = std::max<int>(hi, a1[i]);
    if (i) biggestStep = std::max(biggestStep, std::abs(int(a1[i]) - int(a1[i - 1])));
  }
  EXPECT_GT(hi - lo, 10);   // it moves over 20 s ...
  EXPECT_LT(hi - lo, 120);  // ... but stays near where it started
  EXPECT_GT(lo, 1000 - 60);
  EXPECT_LT(hi, 1000 + 60);
  EXPECT_LE(biggestStep, 12);  // and slowly

  SensorSim s3;
  s3.Seed(999);
  EXPECT_NE(run(s3), a1);

  // An edge placed from outside becomes the centre of the wander.
  s1.edgeA = 3000;
  const uint16_t placed = W(Ask(s1, Req(8), 20.05), 4);
  EXPECT_NEAR(placed, 3000, 5);
}

// ---------------------------------------------------------------------------
// The standalone program on a pseudo-terminal

#ifdef TARVO_SIM_EXE
namespace {

// Reads up to `want` bytes, waiting at most `seconds`.
Bytes ReadFor(int fd, size_t want, double seconds) {
  Bytes got;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (got.size() < want) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    uint8_t buf[256];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) got.insert(got.end(), buf, buf + n);
  }
  return got;
}

std::string ReadLine(int fd, double seconds) {
  std::string line;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    char c;
    if (read(fd, &c, 1) != 1) break;
    if (c == '\n') return line;
    line += c;
  }
  return std::string();
}

int OpenRaw(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return -1;
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  cfsetispeed(&t, B19200);
  cfsetospeed(&t, B19200);
  tcsetattr(fd, TCSANOW, &t);
  return fd;
}

}  // namespace

TEST(SimProgram, AnswersEchoOverPseudoTerminal) {
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execl(TARVO_SIM_EXE, TARVO_SIM_EXE, "--exit-after", "20", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  const std::string path = ReadLine(out[0], 5.0);
  ASSERT_FALSE(path.empty()) << "no path printed";

  for (int round = 0; round < 2; ++round) {  // closing and re-opening the line
    const int fd = OpenRaw(path);
    ASSERT_GE(fd, 0) << path;
    const Bytes req = Req(5);
    ASSERT_EQ(write(fd, req.data(), req.size()), 36);
    const Bytes reply = ReadFor(fd, 36, 1.0);
    ASSERT_EQ(reply.size(), 36u) << "round " << round;
    EXPECT_EQ(reply[0], 0x00);
    EXPECT_EQ(reply[1], 0xAA);
    EXPECT_EQ(W(reply, 2), 5);
    close(fd);
  }

  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  close(out[0]);
}
#endif
