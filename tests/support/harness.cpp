// Starts the program in-process for tests.
#include "tests/support/harness.h"

#include <string>

#include "app/panels.h"
#include "app/startup.h"
#include "platform/clock.h"
#include "platform/popup_script.h"
#include "platform/serial.h"
#include "platform/serial_internal.h"
#include "platform/sim_port.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"

namespace {
bool g_started = false;
}  // namespace

std::shared_ptr<tarvo_sim::SensorSim> NewSensor() {
  auto sim = std::make_shared<tarvo_sim::SensorSim>();
  sim->frozen = true;
  sim->SetPacing(false);
  return sim;
}

int StartApp(std::shared_ptr<tarvo_sim::SensorSim> sensor) {
  if (!sensor) return StartAppWithLine(std::make_unique<ScriptedLine>());
  return StartAppWithLine(MakeSimBackend(std::move(sensor)));
}

int StartAppWithLine(std::unique_ptr<PortBackend> line, bool virtualClock) {
  static char arg0[] = "tarvo-tests";
  static char* argv[] = {arg0, nullptr};
  InstallPortBackend(1, std::move(line));
  UseVirtualClock(virtualClock);
  ScriptPopups(true);
  ClearPopupCalls();
  ClearSchedule();
  ResetQuitRequest();
  const int r = AppStart(1, argv);
  g_started = (r == 0);
  return r;
}

void StopApp() {
  ClearSchedule();
  if (g_started) AppFinish();
  g_started = false;
  CloseAllPorts();
  for (int p = 1; p <= kMaxPort; ++p) InstallPortBackend(p, nullptr);
  ResetQuitRequest();
}

void RunFor(double seconds) {
  const double end = Timer() + seconds;
  while (Timer() < end) ProcessSystemEvents();
}

std::string CtrlText(int panel, int control) {
  char buf[4096] = {0};
  GetCtrlVal(panel, control, buf, sizeof buf);
  return buf;
}
std::string Status() { return CtrlText(pHandle, MAIN_TEXTStatus); }

int RequestCount(const tarvo_sim::SensorSim& s, int command, double after) {
  int n = 0;
  for (const auto& r : s.requests()) n += r.command == command && r.time > after;
  return n;
}

void AppTest::SetUp() {
  sensor_ = NewSensor();
  if (paced_) {
    sensor_->SetPacing(true);
    sensor_->ram[0][2] = 1;
  }
  ASSERT_EQ(StartApp(sensor_), 0);
}
void AppTest::TearDown() { StopApp(); }
