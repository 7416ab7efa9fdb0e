// What sits behind a port number. The platform keeps the input queue; a
// backend delivers arriving bytes into it and takes the bytes that are written.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

class PortBackend {
 public:
  virtual ~PortBackend() = default;
  // 0 on success or a negative ComError.
  virtual int Open() = 0;
  virtual void Close() = 0;
  // Takes bytes for sending; returns how many were accepted.
  virtual int Write(const uint8_t* data, int count) = 0;
  // Appends every byte that has arrived by now to `in`.
  virtual void Poll(std::vector<uint8_t>& in) = 0;
  // Discards what is still waiting to be sent.
  virtual void FlushOutput() {}
  // Blocks for at most `seconds` until input may be there (real time only).
  virtual void WaitForInput(double seconds) { (void)seconds; }
  // The waits (the event dispatcher's and WaitForInput) need not wake before
  // `bytes` more bytes have come (at least 1): a reply paced byte by byte
  // then wakes the program once instead of once per byte. Poll still takes
  // every byte that is there.
  virtual void WakeAfter(int bytes) { (void)bytes; }
  // Seconds until the next byte is due (or the backend wants to look at its
  // device again), or a negative value when nothing is scheduled.
  virtual double NextArrivalIn() const { return -1.0; }
  // True once the device has gone away (unplugged, closed by the far end).
  virtual bool Lost() const { return false; }
  // True when WaitForInput really blocks on a device.
  virtual bool CanBlock() const { return false; }
};

// Installs a backend for one port number; OpenComConfig on that number then uses
// it instead of the device rule. Passing nullptr removes the override.
void SetPortBackendFactory(int port, std::unique_ptr<PortBackend> (*factory)());
// Installs one ready-made backend instance for the next open of that port.
void InstallPortBackend(int port, std::unique_ptr<PortBackend> backend);
