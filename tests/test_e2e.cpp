// End to end over a real pseudo-terminal: the standalone simulator serves the
// line, the program talks to it through its real QSerialPort backend, in real
// time. The device is opened again, goes away during RUN, and a new one is chosen.
#include <signal.h>

#include "platform/qt_serial_backend.h"
#include "sim/sim_process.h"
#include "tests/support/scripted_app.h"

#ifdef TARVO_SIM_EXE
namespace {

// The program on the real clock, its port 1 a device path.
using EndToEnd = StartsAppTest;
std::unique_ptr<PortBackend> Device(const std::string& path) {
  return MakeQtSerialBackend(path, 19200, 0, 8, 1);
}

void ChoosePortOn(const std::string& path) {
  InstallPortBackend(1, Device(path));
  ChoosePort(1);
}
TEST_F(EndToEnd, ConnectRunReopenDeviceGoneAndANewOneChosen) {
  tarvo_sim::SimProcess first(TARVO_SIM_EXE);  // exact values, on a new pseudo-terminal
  ASSERT_FALSE(first.path().empty());
  ASSERT_EQ(StartAppWithLine(Device(first.path()), false), 0);
  EXPECT_EQ(Status(), "TARVO-LT-MS V3.03");  // the firmware text ends the connect sequence
  EXPECT_EQ(Longs({ccdvirtpixel, hwtype}), Longs({4096, 10055}));
  ExpectRunShowsTheEdges();
  ChoosePortOn(first.path());  // closed and opened again: still served
  EXPECT_EQ(Status(), "TARVO-LT-MS V3.03");
  After(0.7, [&] { first.Stop(SIGKILL); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(Status(), kDeviceLostText);
  EXPECT_EQ(Longs({stop_flag, CtrlDimmed(pHandle, MAIN_BTNRun)}), Longs({1, 0}));
  tarvo_sim::SimProcess second(TARVO_SIM_EXE);
  ChoosePortOn(second.path());
  EXPECT_EQ(Status(), "TARVO-LT-MS V3.03");
  ExpectRunShowsTheEdges();
  EXPECT_EQ(second.Stop(SIGTERM), 0);  // TERM ends the simulator cleanly
}

}  // namespace
#endif
