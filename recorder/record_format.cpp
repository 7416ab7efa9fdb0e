#include "recorder/record_format.h"

#include <cmath>
#include <cstdio>

RecDuration SplitRecDuration(uint16_t interval, uint16_t records) {
  const uint32_t total = static_cast<uint32_t>(interval) * static_cast<uint32_t>(records);
  RecDuration d;
  d.days = total / 86400u;
  uint32_t rest = total % 86400u;
  d.hours = static_cast<uint16_t>(rest / 3600u);
  rest %= 3600u;
  d.minutes = static_cast<uint16_t>(rest / 60u);
  d.seconds = static_cast<uint16_t>(rest % 60u);
  return d;
}

namespace {
int Finish(int n, size_t size) {
  if (n < 0 || static_cast<size_t>(n) >= size) return -1;
  return n;
}
}  // namespace

int FormatRecHeaderLine1(char* out, size_t size, const char* date, const char* time,
                         uint16_t interval) {
  return Finish(std::snprintf(out, size, "%s %s  TARVO-RECORDER-FILE: Time-Interval[s]: %u%s", date,
                              time, static_cast<unsigned>(interval), kRecLineEnd),
                size);
}

int FormatRecHeaderLine2(char* out, size_t size, uint32_t setpoint) {
  return Finish(std::snprintf(out, size, "SETPOINT-VALUE [\xB5m]: %lu%s",
                              static_cast<unsigned long>(setpoint), kRecLineEnd),
                size);
}

int FormatRecLine(char* out, size_t size, uint16_t aval, uint16_t bval, uint16_t mvalue,
                  int32_t umvalue, uint16_t edcnta, uint16_t edcntb) {
  return Finish(
      std::snprintf(out, size, "%ld\t%ld\t%ld\t%ld\t%ld\t%ld%s", static_cast<long>(aval),
                    static_cast<long>(bval), static_cast<long>(mvalue), static_cast<long>(umvalue),
                    static_cast<long>(edcnta), static_cast<long>(edcntb), kRecLineEnd),
      size);
}

uint16_t RecSecond(double timerSeconds) {
  if (!(timerSeconds > 0.0)) return 0;
  const double whole = std::floor(timerSeconds);
  return static_cast<uint16_t>(static_cast<uint64_t>(std::fmod(whole, 65536.0)));
}

uint16_t RecElapsed(double timerSeconds, uint16_t referenceSecond) {
  return static_cast<uint16_t>(RecSecond(timerSeconds) - referenceSecond);
}
