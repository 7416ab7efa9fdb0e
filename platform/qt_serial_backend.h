// A real serial device behind a port number.
#pragma once
#include <memory>
#include <string>

#include "platform/port_backend.h"

std::unique_ptr<PortBackend> MakeQtSerialBackend(const std::string& devicePath, long baud,
                                                 int parity, int dataBits, int stopBits);
