// The sensor controller model that the other suites measure the program
// against: the reply to every command byte by byte. (The standalone program
// is run end to end over a pseudo-terminal; its line timing and the faults the suites switch
// on are pinned down where they are used: the program's timing and its handling
// of each fault are checked there against values of their own.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/commands.h"
#include "sim/sensor_sim.h"
#include "tests/support/frames.h"

namespace {

using namespace tframes;
using tarvo_sim::SensorSim;
using tarvo_sim::Set;
using V = std::vector<int>;

Bytes Req(uint16_t cmd, uint16_t arg = 0, const Set& words = {}) {
  return WordsToBytes({words.begin(), words.end()}, 36, {0x0055, cmd, arg});
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
    out.push_back(WordAt(r, a));
  return out;
}

TEST(SimReplies, EveryCommandAsTheControllerAnswersIt) {
  SensorSim s;
  s.frozen = true;
  s.hardware() = {2, 1100, 4200, 7, 2048, 3000, 5, 1000, 304, 10080};
  // The ten words of the description, then the full scale of the video signal.
  EXPECT_EQ(W(Ask(s, Req(kCmdHardware)), 0, 13),
            V({0x00AA, 10, 2, 1100, 4200, 7, 2048, 3000, 5, 1000, 304, 10080, 256}));
  s.hardware().pcbtype = 1;  // boards other than type 0: 72 characters of text
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
  Ask(s, Req(kCmdSendEeprom, 0, {6}));
  EXPECT_EQ(V({s.eeprom[0][0], s.eeprom[2][0], s.ram[0][0]}), V({6, 500, 1}));
  EXPECT_TRUE(Ask(s, Req(kCmdSendRam, 3, {5})).empty());
  EXPECT_TRUE(Ask(s, Req(kCmdFetchRam, 7)).empty());
  EXPECT_EQ(s.ram[1], factory[1]);
  // Teach takes the rounded edges as setpoints, in RAM only.
  s.edgeA = 1234.4;
  s.edgeB = 1777.6;
  Ask(s, Req(kCmdTeach));
  EXPECT_EQ(V({s.ram[1][3], s.ram[2][3], s.eeprom[1][3]}), V({1234, 1778, 512}));
  // Video blocks: zeros for an unknown selector
  // and past the end of the line.
  EXPECT_EQ(Ask(s, Req(kCmdVideoBlock, 0, {3})), Bytes(128, 0));
  EXPECT_EQ(Ask(s, Req(kCmdVideoBlock, 128, {0})), Bytes(128, 0));
}

}  // namespace
