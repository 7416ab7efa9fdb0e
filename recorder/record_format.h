// The recorder file's layout and the recorder's time arithmetic, as plain
// functions over plain data.
#pragma once
#include <cstddef>
#include <cstdint>

// Line end written after every number of the recorder file.
constexpr const char* kRecLineEnd = "\r\n";

// Total recording time (interval x records) split into days, hours, minutes
// and seconds.
struct RecDuration {
  uint32_t days;
  uint16_t hours;
  uint16_t minutes;
  uint16_t seconds;
};
RecDuration SplitRecDuration(uint16_t interval, uint16_t records);

// Line 1 of the file: "MM-DD-YYYY HH:MM:SS  TARVO-RECORDER-FILE: Time-Interval[s]: <n>"
// plus the line end. Returns the number of bytes (no terminator counted), or -1
// when `size` is too small.
int FormatRecHeaderLine1(char* out, size_t size, const char* date, const char* time,
                         uint16_t interval);
// Line 2: "SETPOINT-VALUE [\xB5m]: <setpoint>" plus the line end.
int FormatRecHeaderLine2(char* out, size_t size, uint32_t setpoint);
// One record: six signed decimal numbers separated by tabs, plus the line end.
int FormatRecLine(char* out, size_t size, uint16_t aval, uint16_t bval, uint16_t mvalue,
                  int32_t umvalue, uint16_t edcnta, uint16_t edcntb);

// The whole-second part of a Timer() reading, modulo 65536.
uint16_t RecSecond(double timerSeconds);
// Whole seconds since the reference second, modulo 65536 (correct across the wrap).
uint16_t RecElapsed(double timerSeconds, uint16_t referenceSecond);
