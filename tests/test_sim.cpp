// The sensor controller model that the other suites measure the program
// against: its replies byte by byte, request assembly, line timing, faults,
// and the standalone program on a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "link/commands.h"
#include "sim/sensor_sim.h"
#include "tests/support/frames.h"
#include "tests/support/real_line.h"

namespace {

using tarvo_sim::SensorSim;
using tarvo_sim::Set;
using tframes::Bytes;
using V = std::vector<int>;
constexpr double kBt = SensorSim::kByteTime;

Bytes Req(uint16_t cmd, uint16_t arg = 0, const Set& words = {}, uint16_t sync = 0x0055) {
  std::vector<uint16_t> w = {sync, cmd, arg};
  w.insert(w.end(), words.begin(), words.end());
  return tframes::WordsToBytes(w);
}
// Writes one request at time t and returns every reply byte the model sends for it.
Bytes Ask(SensorSim& s, const Bytes& req, double t = 1.0) {
  s.Receive(req.data(), req.size(), t);
  Bytes out;
  while (s.NextDue() >= 0) s.Collect(s.NextDue(), out);
  return out;
}
// The words of a reply from byte `from` on (all of them, or `n`).
V W(const Bytes& r, int from = 0, int n = -1) {
  V out;
  for (int a = from; a + 1 < static_cast<int>(r.size()) && n-- != 0; a += 2)
    out.push_back(tframes::WordAt(r, a));
  return out;
}

TEST(SimReplies, EveryCommandAsTheControllerAnswersIt) {
  SensorSim s;
  s.frozen = true;
  EXPECT_EQ(W(Ask(s, Req(kCmdEcho, 0, {1, 2, 3})), 0, 7), V({0x00AA, 5, 0, 1, 2, 3, 0}));
  s.hardware() = {2, 1100, 4200, 7, 2048, 3000, 5, 1000, 304, 10080};
  // The ten words of the description, then the full scale of the video signal.
  EXPECT_EQ(W(Ask(s, Req(kCmdHardware)), 0, 13),
            V({0x00AA, 10, 2, 1100, 4200, 7, 2048, 3000, 5, 1000, 304, 10080, 256}));
  s.hardware().pcbtype = 0;  // one character in the low byte of each of 36 words
  s.SetVersionText(std::string(40, 'x'));
  EXPECT_EQ(W(Ask(s, Req(kCmdVersion))), V(36, 'x'));
  s.hardware().pcbtype = 1;  // other boards: 72 characters of text
  s.SetVersionText(std::string(72, 'v'));
  EXPECT_EQ(Ask(s, Req(kCmdVersion)), Bytes(72, 'v'));
  // Factory sets, RAM a copy of EEPROM; storing in one leaves the other alone;
  // a set the controller does not have gets no reply.
  EXPECT_EQ(W(Ask(s, Req(kCmdFetchRam, 0)), 6),
            V({1, 0, 0, 1, 1, 1, 100, 100, 0, 0, 0, 0, 0, 37000, 0}));
  EXPECT_EQ(W(Ask(s, Req(kCmdFetchEeprom, 1)), 6),
            V({500, 1, 50, 512, 1, 4096, 0, 0, 0, 0, 0, 1024, 0, 37000, 0}));
  const auto factory = s.eeprom;
  EXPECT_EQ(s.ram, factory);
  EXPECT_EQ(W(Ask(s, Req(kCmdSendRam, 2, {9, 8, 7})), 2, 1), V{kCmdSendRam});
  EXPECT_EQ(W(Ask(s, Req(kCmdFetchRam, 2)), 6, 3), V({9, 8, 7}));
  Ask(s, Req(kCmdSendEeprom, 0, {6}));
  EXPECT_EQ(V({s.eeprom[0][0], s.eeprom[2][0], s.ram[0][0]}), V({6, 500, 1}));
  EXPECT_TRUE(Ask(s, Req(kCmdSendRam, 3, {5})).empty());
  EXPECT_TRUE(Ask(s, Req(kCmdFetchRam, 7)).empty());
  EXPECT_EQ(s.ram[1], factory[1]);
  // Teach takes the rounded edges as setpoints, in RAM only.
  s.edgeA = 1234.4;
  s.edgeB = 1777.6;
  EXPECT_EQ(W(Ask(s, Req(kCmdTeach)), 2, 1), V{kCmdTeach});
  EXPECT_EQ(V({s.ram[1][3], s.ram[2][3], s.eeprom[1][3]}), V({1234, 1778, 512}));
  // Video blocks: 64 samples from the offset; zeros for an unknown selector
  // and past the end of the line.
  EXPECT_EQ(W(Ask(s, Req(kCmdVideoBlock, 64, {1})), 0, 1), V{s.VideoSample(1, 64)});
  EXPECT_EQ(Ask(s, Req(kCmdVideoBlock, 0, {3})), Bytes(128, 0));
  EXPECT_EQ(Ask(s, Req(kCmdVideoBlock, 128, {0})), Bytes(128, 0));
}

TEST(SimReplies, MeasurementFollowsEvaluationModeAndTheScaleFactor) {
  SensorSim s;
  s.frozen = true;
  s.hardware().ccdvirtpixel = 2048;
  s.edgeA = 1000.4;
  s.edgeB = 1199.6;
  s.ram[1][3] = 990;   // setpoint A
  s.ram[2][3] = 1180;  // setpoint B
  const V cases[] = {{0, 1200, 1180},
                     {1, 1000, 990},
                     {2, 2 * 2048 - 2200, 2 * 2048 - 2170},
                     {3, 2048 + 1000 - 1200, 2048},
                     {4, 2048 + 2200 - 2170, 2048}};
  for (const V& c : cases) {  // mode, value, target
    s.ram[0][0] = static_cast<uint16_t>(c[0]);
    // Micrometres: the setpoint (37000) plus the deviation at 1 um per pixel.
    const int um = 37000 + c[1] - c[2];
    EXPECT_EQ(W(Ask(s, Req(kCmdMeasure)), 0, 12),
              V({0x00AA, 8, 1000, 1200, c[1], um & 0xFFFF, um >> 16, 50, 1, 1, 12, 12}))
        << "mode " << c[0];
  }
  // A negative value in micrometres, low word first; an edge off the line is not counted.
  s.ram[1] = {500, 1, 50, 990, 1, 4096, 0, 0, 0, 0, 0, 0, 32, 0, 0};  // 2048 um per pixel
  s.ram[0][0] = 1;
  s.edgeA = 900;
  s.edgeB = 2100;
  const V w = W(Ask(s, Req(kCmdMeasure)));
  EXPECT_EQ(static_cast<int32_t>(w[5] | uint32_t(w[6]) << 16), -90 * 2048);
  EXPECT_EQ(w[9], 0);
}

TEST(SimStream, RequestsAreAssembledFromAnyPiecesAndPacedAtTheLineRate) {
  SensorSim s;
  const Bytes echo = Req(kCmdEcho), hw = Req(kCmdHardware);
  // After garbage (lone zeros, half a sync word), or a fragment and silence,
  // or a fragment and a re-opened line; unknown commands are recorded, not
  // answered; only a data block may carry another header.
  Bytes burst = {0xFF, 0x00, 0x00, 0x12, 0x55, 0x00, 0xAA, 0x00};
  burst.insert(burst.end(), hw.begin(), hw.end());
  EXPECT_EQ(W(Ask(s, burst)).size(), 18u);
  s.Receive(hw.data(), 20, 4.0);
  Ask(s, echo, 4.5);
  s.Receive(hw.data(), 20, 5.0);
  s.ResetLine();
  EXPECT_TRUE(Ask(s, Req(55, 2, {7, 8}), 5.0).empty());
  EXPECT_TRUE(Ask(s, Req(kCmdEcho, 0, {}, 0x1234), 7.0).empty());
  EXPECT_EQ(Ask(s, Req(kCmdVideoBlock, 64, {1}, 0x1234), 8.0).size(), 128u);
  EXPECT_EQ(tframes::SentCommands(s), (std::vector<uint16_t>{10, 5, 55, 9}));
  const tarvo_sim::Request& r = s.requests()[2];
  EXPECT_EQ(V({r.sync, r.argument, r.words[1]}), V({0x0055, 2, 8}));
  EXPECT_DOUBLE_EQ(r.time, 5.0);
  // Paced: two requests at once and one written while they are on the line
  // each wait for the line in; each reply waits until the one before has
  // left, one byte per byte time after the answer delay.
  SensorSim p;
  p.SetPacing(true);
  p.SetAnswerDelay(0.002);
  Bytes two = Req(kCmdVideoBlock);
  two.insert(two.end(), echo.begin(), echo.end());
  p.Receive(two.data(), two.size(), 0.0);
  p.Receive(echo.data(), echo.size(), 0.005);
  ASSERT_EQ(p.requests().size(), 3u);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(p.requests()[k].time, 36 * (k + 1) * kBt, 1e-12);
  Bytes out;
  std::vector<double> due;
  for (; p.NextDue() >= 0; p.Collect(due.back(), out)) due.push_back(p.NextDue());
  EXPECT_EQ(W(out, 128, 2), V({0x00AA, kCmdEcho}));
  ASSERT_EQ(due.size(), 200u);
  EXPECT_NEAR(due.front(), 36 * kBt + 0.002 + kBt, 1e-12);
  for (size_t k = 1; k < due.size(); ++k) ASSERT_NEAR(due[k] - due[k - 1], kBt, 1e-9) << k;
  // A clock that restarts from a lower value: the rest follows on the new clock.
  p.SetAnswerDelay(0);
  p.Receive(echo.data(), echo.size(), 2000.0);
  p.Collect(2000.0 + 46 * kBt, out);
  p.Collect(3.0, out);
  EXPECT_EQ(out.size(), 200u + 10u);
  p.Collect(3.0 + 26 * kBt, out);
  EXPECT_EQ(out.size(), 200u + 36u);
}

TEST(SimFaults, EachFaultOnItsOwn) {
  using F = tarvo_sim::Faults;
  struct Case {
    void (*fault)(F&);
    uint16_t command;
    std::vector<size_t> sizes;  // of the replies to five requests
  } cases[] = {
      {[](F& f) { f.silent = true; }, kCmdSendRam, {0, 0, 0, 0, 0}},
      {[](F& f) { f.lateReply = 2.0; }, kCmdEcho, {0, 0, 36, 36, 36}},
      {[](F& f) { f.strayBytes = 4; }, kCmdVersion, {76, 76, 76, 76, 76}},
      {[](F& f) { f.shortVideo = true; }, kCmdVideoBlock, {127, 127, 127, 127, 127}},
      {[](F& f) { f.extraBytes = 3; }, kCmdVideoBlock, {131, 131, 131, 131, 131}},
      {[](F& f) { f.extraBytes = 3; }, kCmdEcho, {36, 36, 36, 36, 36}},
      {[](F& f) { f.dropEvery = 3; }, kCmdEcho, {36, 36, 0, 36, 36}},
      {[](F& f) { f.silentAfter = 2; }, kCmdMeasure, {36, 36, 0, 0, 0}},
      {[](F& f) { f.shortVersion = true; }, kCmdVersion, {71, 71, 71, 71, 71}},
      {[](F& f) { f.wrongEchoSync = true; }, kCmdEcho, {36, 36, 36, 36, 36}},
  };
  for (const Case& c : cases) {
    SensorSim s;
    c.fault(s.faults());
    std::vector<size_t> sizes;
    for (int i = 0; i < 5; ++i) {
      const Bytes req = Req(c.command, 1);
      s.Receive(req.data(), req.size(), 1.0 + i);
      Bytes out;
      s.Collect(1.0 + i + 0.5, out);
      sizes.push_back(out.size());
    }
    EXPECT_EQ(sizes, c.sizes) << &c - cases;
    EXPECT_EQ(s.requests().size(), 5u) << &c - cases;  // still heard, and acted on
  }
  SensorSim s;
  s.faults().wrongEchoSync = s.faults().wrongHardwareEcho = s.faults().wrongMeasurementEcho = true;
  EXPECT_EQ(W(Ask(s, Req(kCmdEcho)), 0, 1), V{0xAA00});
  EXPECT_EQ(W(Ask(s, Req(kCmdHardware)), 2, 5), V({0, 1, 1024, 4096, 0}));  // the fields stay
  EXPECT_EQ(W(Ask(s, Req(kCmdMeasure)), 2, 1), V{0});
}

#ifdef TARVO_SIM_EXE
TEST(SimProgram, AnswersOverAPseudoTerminalOpenedTwiceAndEndsOnTerm) {
  SimProcess sim({"--exit-after", "20"});
  ASSERT_FALSE(sim.path().empty()) << "no path printed";
  for (int round = 0; round < 2; ++round) {
    const int fd = open(sim.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0) << sim.path();
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, B19200);
    tcsetattr(fd, TCSANOW, &t);
    const Bytes req = Req(kCmdEcho);
    ASSERT_EQ(write(fd, req.data(), req.size()), 36);
    Bytes reply(36);
    pollfd p{fd, POLLIN, 0};
    for (ssize_t got = 0, n = 1; got < 36 && n > 0 && poll(&p, 1, 1000) > 0; got += n)
      n = read(fd, &reply[got], 36 - got);
    EXPECT_EQ(W(reply, 0, 2), V({0x00AA, kCmdEcho})) << round;
    close(fd);
  }
  EXPECT_EQ(sim.Terminate(), 0);
}
#endif

}  // namespace
