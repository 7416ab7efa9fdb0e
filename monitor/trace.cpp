// Splitting the port events into monitor entries, and their text.
#include "monitor/trace.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "link/commands.h"
#include "link/frame.h"
#include "monitor/set_words.h"

namespace {

constexpr int kVersionBytes = 72;
constexpr int kBlockBytes = 128;

// Bytes of the reply the program is waiting for after a request.
int ReplyLength(uint16_t request) {
  if (request == kCmdVersion) return kVersionBytes;
  if (request == kCmdVideoBlock) return kBlockBytes;
  return kFrameBytes;
}

const struct {
  uint16_t code;
  const char* name;
} kCommands[] = {
    {1, "1 send set to RAM"},        {2, "2 fetch set from RAM"}, {3, "3 send set to EEPROM"},
    {4, "4 fetch set from EEPROM"},  {5, "5 echo check"},         {6, "6 teach"},
    {7, "7 firmware version"},       {8, "8 measurement"},        {9, "9 data block"},
    {10, "10 hardware information"}, {11, "11 reset max/min"},    {101, "101 clear X-FLASH"},
    {102, "102 write X-FLASH"},
};

const char* KindText(TraceKind k) {
  switch (k) {
    case TraceKind::kStray:
      return "UNFRAMED stray bytes";
    case TraceKind::kPartial:
      return "UNFRAMED partial frame";
    case TraceKind::kDiscarded:
      return "UNFRAMED discarded by flush";
    default:
      return "";
  }
}

void Append(std::string& s, const char* fmt, unsigned long v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, fmt, v);
  s += buf;
}

// The payload of a set frame, field by field.
void SetWordsText(std::string& s, int set, const uint16_t* words) {
  size_t n = 0;
  const SetField* fields = SetFields(set, &n);
  Append(s, "set %lu:", static_cast<unsigned long>(set));
  for (size_t i = 0; i < n; ++i) {
    char index[8];
    FieldIndexText(fields[i], index, sizeof index);
    s += " w";
    s += index;
    Append(s, "=%lu", FieldValue(fields[i], words));
  }
}

void MeasurementText(std::string& s, const uint16_t* w) {
  static const char* const kNames[16] = {"Aval",   "Bval",   "Mvalue", nullptr,  nullptr,  "poti",
                                         "edcntA", "edcntB", "peakwA", "peakwB", "anaMax", "anaMin",
                                         "raw13",  "raw14",  "raw15",  "instate"};
  for (int i = 0; i < 16; ++i) {
    if (i == 3) {
      const int32_t um = static_cast<int32_t>(static_cast<uint32_t>(w[3]) | uint32_t{w[4]} << 16);
      char buf[32];
      std::snprintf(buf, sizeof buf, " umValue=%ld", static_cast<long>(um));
      s += buf;
    }
    if (!kNames[i]) continue;
    s += ' ';
    s += kNames[i];
    Append(s, "=%lu", w[i]);
  }
}

// What the entry's bytes mean, where they form a frame or reply.
void DecodedText(std::string& s, const TraceEntry& e) {
  if (e.kind != TraceKind::kFrame) return;
  if (e.length == kVersionBytes && e.command == kCmdVersion) {
    s += "text \"";
    for (int i = 0; i < e.length; ++i) {
      const uint8_t c = e.bytes[i];
      if (c >= 0x20 && c < 0x7F) s += static_cast<char>(c);
    }
    s += '"';
    return;
  }
  if (e.length != kFrameBytes) return;
  uint16_t words[16];
  const bool measurement = DecodeFrame(e.bytes.data(), words) == 1;
  const uint16_t code = WordAt(&e.bytes[2]);
  if (e.dir == TraceDir::kFromSensor && measurement) return MeasurementText(s, words);
  const bool setFrame = code >= 1 && code <= 4;
  if (setFrame && e.argument <= 2) return SetWordsText(s, e.argument, words);
  s += "words";
  for (int i = 0; i < 15; ++i) Append(s, " %lu", words[i]);
}

}  // namespace

const char* CommandName(uint16_t command) {
  for (const auto& c : kCommands)
    if (c.code == command) return c.name;
  return "?";
}

std::string FormatEntry(const TraceEntry& e) {
  std::string s;
  s.reserve(160 + 3 * e.length);
  char head[128];
  const std::time_t secs = static_cast<std::time_t>(e.wall);
  std::tm local{};
  localtime_r(&secs, &local);
  const int millis = static_cast<int>((e.wall - static_cast<double>(secs)) * 1000.0);
  std::snprintf(head, sizeof head, "%11.1f ms  %02d:%02d:%02d.%03d  %-11s %4u  ", e.ms,
                local.tm_hour, local.tm_min, local.tm_sec, std::clamp(millis, 0, 999),
                e.dir == TraceDir::kToSensor ? "to sensor" : "from sensor", e.length);
  s += head;
  if (e.kind == TraceKind::kFrame) {
    char cmd[64];
    std::snprintf(cmd, sizeof cmd, "%-24s arg %-5u ", CommandName(e.command), e.argument);
    s += cmd;
    DecodedText(s, e);
  } else {
    s += KindText(e.kind);
  }
  s += "  |";
  static const char kHex[] = "0123456789ABCDEF";
  for (int i = 0; i < e.length; ++i) {
    s += ' ';
    s += kHex[e.bytes[i] >> 4];
    s += kHex[e.bytes[i] & 0xF];
  }
  return s;
}

const TraceEntry& Trace::at(size_t i) const { return ring_[(head_ + i) % kTraceCapacity]; }

void Trace::Clear() {
  head_ = 0;
  count_ = 0;
  added_ = 0;
}

void Trace::Add(const TraceEntry& e) {
  if (ring_.empty()) Reserve();
  if (count_ < kTraceCapacity) {
    ring_[(head_ + count_) % kTraceCapacity] = e;
    ++count_;
  } else {
    ring_[head_] = e;
    head_ = (head_ + 1) % kTraceCapacity;
  }
  ++added_;
}

// Entries of at most kTraceEntryBytes each for a run of bytes.
void Trace::AddRun(TraceEntry e, TraceKind kind, const uint8_t* bytes, int count) {
  e.kind = kind;
  for (int done = 0; done < count; done += kTraceEntryBytes) {
    e.length = static_cast<uint16_t>(std::min(kTraceEntryBytes, count - done));
    std::copy(bytes + done, bytes + done + e.length, e.bytes.begin());
    Add(e);
  }
}

// Time of the byte at stream position `index` of the input queue.
double Trace::ArrivalOf(uint64_t index, double* wall) const {
  const Arrival* best = nullptr;
  for (const Arrival& a : arrivals_) {
    if (a.index > index) break;
    best = &a;
  }
  if (!best) return *wall = 0, 0.0;
  *wall = best->wall;
  return best->time;
}

void Trace::TakeReceived(const LineEvent& ev) {
  TraceEntry e;
  e.dir = TraceDir::kFromSensor;
  e.command = lastCommand_;
  e.argument = lastArgument_;
  e.ms = (ArrivalOf(left_, &e.wall) - opened_) * 1000.0;
  if (e.wall == 0) e.wall = ev.wall;
  const int n = ev.count;
  left_ += static_cast<uint64_t>(n);
  while (arrivals_.size() > 1 && arrivals_[1].index <= left_) arrivals_.pop_front();

  if (ev.kind == LineEventKind::kDiscarded) return AddRun(e, TraceKind::kDiscarded, ev.bytes, n);
  const int want = ReplyLength(lastCommand_);
  if (n < want) return AddRun(e, TraceKind::kPartial, ev.bytes, n);
  if (want == kFrameBytes) e.command = WordAt(ev.bytes + 2);
  AddRun(e, TraceKind::kFrame, ev.bytes, want);
  if (n > want) AddRun(e, TraceKind::kStray, ev.bytes + want, n - want);
}

void Trace::Take(const LineEvent& ev) {
  switch (ev.kind) {
    case LineEventKind::kOpened:
      opened_ = ev.time;
      arrivals_.clear();
      arrived_ = left_ = 0;
      lastCommand_ = lastArgument_ = 0;
      return;
    case LineEventKind::kArrived:
      arrivals_.push_back({arrived_, ev.time, ev.wall});
      arrived_ += static_cast<uint64_t>(ev.count);
      return;
    case LineEventKind::kSent: {
      TraceEntry e;
      e.ms = (ev.time - opened_) * 1000.0;
      e.wall = ev.wall;
      e.dir = TraceDir::kToSensor;
      if (ev.count == kFrameBytes) {
        lastCommand_ = e.command = WordAt(ev.bytes + 2);
        lastArgument_ = e.argument = WordAt(ev.bytes + 4);
        return AddRun(e, TraceKind::kFrame, ev.bytes, ev.count);
      }
      return AddRun(e, TraceKind::kPartial, ev.bytes, ev.count);
    }
    case LineEventKind::kTaken:
    case LineEventKind::kDiscarded:
      return TakeReceived(ev);
  }
}
