// The entries of the port drop-down: what the system knows of each port, put
// into one line a technician recognises. Plain data, no Qt, so the rules can
// be checked from a made-up port list.
#pragma once
#include <string>
#include <vector>

#include "platform/serial.h"

// What is known of one serial device.
struct PortFacts {
  std::string path;         // e.g. "/dev/ttyUSB0"
  std::string description;  // e.g. "FT232R USB UART" (USB adapters), may be empty
  std::string maker;        // e.g. "FTDI", may be empty
  std::string serial;       // the adapter's serial number, may be empty
  bool access = true;       // false: this user may not open it
};

// Marks a port that this user may not open.
constexpr const char* kNoAccessMark = "no access";

// "COM33  /dev/ttyUSB0  FT232R USB UART (FTDI, A10K3Q2X)": number, device,
// description, then maker and serial number in brackets; each part only when
// known; "  - no access" at the end for a port that cannot be opened.
std::string PortEntryLabel(int number, const PortFacts& facts);

// The drop-down's entries: the devices that have a port number, by number
// (a device listed twice once), then the simulator entry.
std::vector<PortEntry> PortEntries(const std::vector<PortFacts>& devices);
