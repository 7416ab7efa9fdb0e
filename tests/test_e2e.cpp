// End to end over a real pseudo-terminal: the standalone simulator serves the
// line, the program talks to it through its real QSerialPort backend, in real
// time.

#include "app/panels.h"
#include "app/startup.h"
#include "link/identify.h"
#include "link/link.h"
#include "link/payload.h"
#include "measure/run.h"
#include "platform/clock.h"
#include "platform/popup_script.h"
#include "platform/qt_serial_backend.h"
#include "platform/serial.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "tests/support/harness.h"
#include "tests/support/real_line.h"

#ifdef TARVO_SIM_EXE
namespace {

using EndToEnd = RealLineTest;

TEST_F(EndToEnd, ConnectSequenceOverPseudoTerminal) {
  SimProcess sim({"--frozen"});
  ASSERT_FALSE(sim.path().empty());
  double t0 = Timer();
  ASSERT_EQ(StartOn(sim.path()), 0);
  double took = Timer() - t0;
  // The firmware version of the simulator ends the connect sequence.
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "TARVO-LT-MS V3.03");
  EXPECT_EQ(ccdvirtpixel, 4096);
  EXPECT_EQ(hwtype, 10055);
  EXPECT_LT(took, 5.0);
}

TEST_F(EndToEnd, RunShowsMeasurementFrames) {
  SimProcess sim({"--frozen"});
  ASSERT_FALSE(sim.path().empty());
  ASSERT_EQ(StartOn(sim.path()), 0);
  ScheduleAt(Timer() + 1.0, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(stop_flag, 1);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Line Ok!");
  EXPECT_EQ(Aval, 1000);
  EXPECT_EQ(Bval, 1200);
  EXPECT_EQ(CtrlText(pHandle, MAIN_NUMAval), "1000");
}

}  // namespace
#endif
