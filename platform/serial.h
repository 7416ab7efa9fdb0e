// Serial-port services. Ports are addressed by number; behind each number is a
// backend: a real device (QSerialPort), the built-in sensor simulator, or a
// scripted line installed by a test.
#pragma once
#include <string>
#include <vector>

// Result codes of OpenComConfig and the other port calls.
enum ComError {
  kComUnknownSystemError = -1,
  kComInvalidPort = -2,
  kComPortNotOpen = -3,
  kComUnknownIOError = -4,
  kComNoPortFound = -6,
  kComCannotOpen = -7,
  kComInvalidParameter = -13,
  kComTimeout = -99,
};

// Receive-notification event bits.
constexpr int LWRS_RXCHAR = 0x0001;
constexpr int LWRS_RXFLAG = 0x0002;   // event character received
constexpr int LWRS_TXEMPTY = 0x0004;  // output queue empty
constexpr int LWRS_RECEIVE = 0x8000;  // notify count reached

using ComCallbackPtr = void (*)(int port, int eventMask, void* callbackData);

int OpenComConfig(int port, const char* deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);
int CloseCom(int port);
int SetComTime(int port, double timeoutSeconds);
int SetCTSMode(int port, int mode);
int FlushInQ(int port);
int FlushOutQ(int port);
// Installs (callback != nullptr and mask != 0) or removes the receive notification.
int InstallComCallback(int port, int eventMask, int notifyCount, int eventCharacter,
                       ComCallbackPtr callback, void* callbackData);
// Queues count bytes for sending; returns the number accepted or a negative error.
int ComWrt(int port, const char* buffer, int count);
// Moves up to count bytes from the input queue, waiting at most the port time-out.
int ComRd(int port, char* buffer, int count);
// Bytes waiting in the input queue (sees bytes that arrived even when no events
// are processed).
int GetInQLen(int port);
// While no receive notification is installed, the event waits may sleep until
// the input queue holds `bytes` (0: wake for every byte). A reply of known
// length then wakes the program once, not once per byte.
int SetComWakeCount(int port, int bytes);
// 1 when the device behind an open port has gone away (unplugged, closed by
// the far end), else 0.
int ComLost(int port);

// ---- Port numbering -------------------------------------------------------
// Port n always means the same device:
//   1..32    /dev/ttyS0 .. /dev/ttyS31
//   33..64   /dev/ttyUSB0 .. /dev/ttyUSB31
//   65..96   /dev/ttyACM0 .. /dev/ttyACM31
//   kSimPort the built-in sensor simulator
constexpr int kSimPort = 99;
constexpr int kMaxPort = 128;
// Device path of a port number ("" when the number has no device rule).
std::string PortDevicePath(int port);
// Port number of a device path, or 0.
int PortNumberForDevice(const std::string& path);

struct PortEntry {
  int number;
  std::string label;  // e.g. "COM1  /dev/ttyS0" or "SIM  (built-in sensor simulator, no hardware)"
};
// The ports that exist on this machine, labelled with what the system knows
// of them, plus the simulator entry (last).
std::vector<PortEntry> ListSerialPorts();
