// What went over each serial port, as the port services saw it: bytes written
// to the device, bytes that arrived from it, and what became of the arrived
// bytes (taken by a read, discarded by a flush or at close). One tap at a
// time; with no tap the port services record nothing.
#pragma once
#include <cstdint>

enum class LineEventKind {
  kOpened,     // the port was opened (count 0)
  kSent,       // bytes accepted by a write
  kArrived,    // bytes entered the input queue (bytes may be read from `bytes`)
  kTaken,      // bytes moved out of the input queue by a read
  kDiscarded,  // bytes thrown away by an input flush or at close
};

struct LineEvent {
  LineEventKind kind;
  int port;
  double time;  // Timer() seconds
  double wall;  // wall-clock seconds since 1970
  const uint8_t* bytes;
  int count;
};

using LineTap = void (*)(const LineEvent& event);
// Installs the tap (nullptr removes it).
void SetLineTap(LineTap tap);
// Called by the port services; does nothing while no tap is installed.
void TapLine(LineEventKind kind, int port, const uint8_t* bytes, int count);
