// Starts the program in-process, as the user would, for tests: the virtual
// clock, scripted popups, and a sensor model (or a scripted line) on port 1.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/scripted_line.h"
#include "sim/sensor_sim.h"

// A fresh sensor model with exact values (edges frozen, no noise, not paced).
std::shared_ptr<tarvo_sim::SensorSim> NewSensor();

// Starts the program (start-up steps up to the shown main window) with `sensor`
// behind port 1; nullptr leaves port 1 open with nothing answering. Returns the
// start-up result (0, or -1).
int StartApp(std::shared_ptr<tarvo_sim::SensorSim> sensor);
// The same with any line behind port 1 (the port owns it until it is closed),
// on the virtual clock or on the real one.
int StartAppWithLine(std::unique_ptr<PortBackend> line, bool virtualClock = true);
// Shutdown steps (port closed, panels discarded); the schedule is cleared.
void StopApp();
// Processes events for `seconds` of (virtual) time.
void RunFor(double seconds);
// Text currently shown in a control (status line, text boxes, numeric displays).
std::string CtrlText(int panel, int control);
// The status line.
std::string Status();
// Requests with `command` the sensor model received after time `after`.
int RequestCount(const tarvo_sim::SensorSim& s, int command, double after = -1);

// Fixture for tests that start the program themselves: stopped after each.
class StartsAppTest : public ::testing::Test {
 protected:
  void TearDown() override { StopApp(); }
};

// Fixture: the program started against a healthy sensor model; `paced` makes it
// answer at the line rate, as a real one does, with an analog output mode so
// that RESET is offered.
class AppTest : public ::testing::Test {
 protected:
  explicit AppTest(bool paced = false) : paced_(paced) {}
  void SetUp() override;
  void TearDown() override;
  std::shared_ptr<tarvo_sim::SensorSim> sensor_;
  tarvo_sim::SensorSim& sim() { return *sensor_; }
  bool paced_;
};
class PacedSensorTest : public AppTest {
 protected:
  PacedSensorTest() : AppTest(true) {}
};
