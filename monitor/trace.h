// The protocol monitor's record of the line: the port services' events split
// into entries (one per frame, bulk reply or run of unframed bytes), kept in a
// bounded ring, and formatted one line per entry. Plain C++ over plain data.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/line_capture.h"

constexpr size_t kTraceCapacity = 20000;
constexpr int kTraceEntryBytes = 128;  // the longest reply (a data block)

enum class TraceDir : uint8_t { kToSensor, kFromSensor };
enum class TraceKind : uint8_t {
  kFrame,      // a 36-byte frame, or the 72-byte version reply, or a 128-byte block
  kStray,      // bytes beyond a frame or a reply
  kPartial,    // fewer bytes than the frame or reply needs
  kDiscarded,  // thrown away by an input flush or at close
};

struct TraceEntry {
  double ms = 0;    // milliseconds since the port was opened
  double wall = 0;  // wall-clock seconds since 1970
  TraceDir dir = TraceDir::kToSensor;
  TraceKind kind = TraceKind::kFrame;
  uint16_t command = 0;   // code of the frame (of the request, for bulk replies)
  uint16_t argument = 0;  // argument word (of the request, for replies)
  uint16_t length = 0;
  std::array<uint8_t, kTraceEntryBytes> bytes{};
};

// Name of a command code ("8 measurement"); "?" for unknown codes.
const char* CommandName(uint16_t command);
// The entry as one line of text: times, direction, length, command, argument,
// decoded words, hex bytes.
std::string FormatEntry(const TraceEntry& e);

class Trace {
 public:
  // Takes one event of the port services.
  void Take(const LineEvent& e);
  void Clear();
  // Takes the memory for all entries now, so that the first entries cost no more than the rest.
  void Reserve() { ring_.resize(kTraceCapacity); }
  size_t size() const { return count_; }
  // Entry i, oldest first.
  const TraceEntry& at(size_t i) const;
  // Entries added since the trace was made or cleared (including those the
  // ring has dropped since).
  uint64_t added() const { return added_; }

 private:
  void Add(const TraceEntry& e);
  void AddRun(TraceEntry e, TraceKind kind, const uint8_t* bytes, int count);
  void TakeReceived(const LineEvent& e);
  double ArrivalOf(uint64_t index, double* wall) const;

  std::vector<TraceEntry> ring_;
  size_t head_ = 0;  // index of the oldest entry
  size_t count_ = 0;
  uint64_t added_ = 0;
  double opened_ = 0;
  uint16_t lastCommand_ = 0;
  uint16_t lastArgument_ = 0;
  // Arrival times of the bytes still in the input queue: (stream index of the
  // first byte of a batch, its time, its wall-clock time).
  struct Arrival {
    uint64_t index;
    double time;
    double wall;
  };
  std::deque<Arrival> arrivals_;
  uint64_t arrived_ = 0;  // bytes that entered the input queue
  uint64_t left_ = 0;     // bytes that left it (taken or discarded)
};
