// What the benchmarks measure with: wall time, CPU time, resident memory.
#pragma once
#include <sys/resource.h>
#include <time.h>

#include <cstdlib>
#include <fstream>
#include <string>

// Monotonic wall-clock seconds.
inline double Wall() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

// CPU seconds (user + system) used by the whole process.
inline double CpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec +
         ru.ru_stime.tv_usec / 1e6;
}

// CPU seconds used by the calling thread.
inline double ThreadCpu() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

// A field of /proc/self/status in KiB (-1 when unknown).
inline long StatusKiB(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string name = field;
  while (std::getline(in, line))
    if (line.rfind(name, 0) == 0) return std::atol(line.c_str() + name.size());
  return -1;
}

// Resident memory in KiB (-1 when unknown).
inline long RssKiB() { return StatusKiB("VmRSS:"); }
// The most resident memory the process has had so far, in KiB.
inline long PeakRssKiB() { return StatusKiB("VmHWM:"); }
