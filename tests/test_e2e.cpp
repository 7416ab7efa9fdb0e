// End to end over a real pseudo-terminal: the standalone simulator serves the
// line, the program talks to it through its real QSerialPort backend, in real
// time. The device is opened again, goes away during RUN, and a new one is chosen.
#include "platform/qt_serial_backend.h"
#include "tests/support/real_line.h"
#include "tests/support/scripted_app.h"

#ifdef TARVO_SIM_EXE
namespace {

using EndToEnd = RealLineTest;

void ChoosePortOn(const std::string& path) {
  InstallPortBackend(1, MakeQtSerialBackend(path, 19200, 0, 8, 1));
  SetCtrlVal(pHandle, MAIN_DropDCom, 1);
  FireCtrlEvent(pHandle, MAIN_DropDCom, EVENT_COMMIT);
}
// RUN for half a second shows the simulator's edges.
void ExpectRunShowsTheEdges() {
  Aval = Bval = 0;
  StopAfter(0.5);
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(Longs({stop_flag, Aval, Bval}), Longs({1, 1000, 1200}));
  EXPECT_EQ(Status() + " " + CtrlText(pHandle, MAIN_NUMAval), "Line Ok! 1000");
}

TEST_F(EndToEnd, ConnectRunReopenDeviceGoneAndANewOneChosen) {
  SimProcess first;
  ASSERT_FALSE(first.path().empty());
  ASSERT_EQ(StartOn(first.path()), 0);
  EXPECT_EQ(Status(), "TARVO-LT-MS V3.03");  // the firmware text ends the connect sequence
  EXPECT_EQ(Longs({ccdvirtpixel, hwtype}), Longs({4096, 10055}));
  ExpectRunShowsTheEdges();
  ChoosePortOn(first.path());  // closed and opened again: still served
  EXPECT_EQ(Status(), "TARVO-LT-MS V3.03");
  After(0.7, [&] { first.Stop(SIGKILL); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(Status(), kDeviceLostText);
  EXPECT_EQ(Longs({stop_flag, CtrlDimmed(pHandle, MAIN_BTNRun)}), Longs({1, 0}));
  SimProcess second;
  ChoosePortOn(second.path());
  EXPECT_EQ(Status(), "TARVO-LT-MS V3.03");
  ExpectRunShowsTheEdges();
  EXPECT_EQ(second.Stop(SIGTERM), 0);  // TERM ends the simulator cleanly
}

}  // namespace
#endif
