// How much CPU a waiting loop costs: `while (...) ProcessSystemEvents();` for
// a few seconds with no input, once with no port open and once with the
// simulator port open and silent. Prints CPU seconds per wall second.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

#include "bench/measure.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "platform/ui.h"

namespace {
void Measure(const char* what, double seconds) {
  double cpu0 = CpuSeconds();
  double t0 = Timer();
  long passes = 0;
  while (Timer() - t0 < seconds) {
    ProcessSystemEvents();
    ++passes;
  }
  double wall = Timer() - t0;
  double cpu = CpuSeconds() - cpu0;
  std::printf("%-40s wall %.2f s  cpu %.3f s  cpu/wall %.3f  passes/s %.0f\n", what, wall, cpu,
              cpu / wall, passes / wall);
}
}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  if (InitCVIRTE(argc, argv) < 0) return 1;
  Measure("idle wait, no port open", seconds);
  if (OpenComConfig(kSimPort, "", 19200, 0, 8, 1, 4096, 4096) < 0) return 1;
  Measure("idle wait, simulator port open", seconds);
  CloseCom(kSimPort);
  return 0;
}
