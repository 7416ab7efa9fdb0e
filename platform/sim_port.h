// The built-in sensor simulator as a port backend.
#pragma once
#include <memory>

#include "platform/port_backend.h"
#include "sim/sensor_sim.h"

// The model behind the SIM entry of the port list (paced at the line rate).
std::shared_ptr<tarvo_sim::SensorSim> BuiltInSim();
// A backend that serves `sim` on the program clock.
std::unique_ptr<PortBackend> MakeSimBackend(std::shared_ptr<tarvo_sim::SensorSim> sim);
