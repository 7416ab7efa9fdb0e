// The program clock: monotonic in the program, virtual in tests.
#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace {
bool g_virtual = false;
double g_virtualNow = 1000.0;  // arbitrary fixed start, away from zero
const auto g_start = std::chrono::steady_clock::now();
void (*g_delayWait)(double) = nullptr;
}  // namespace

double Timer() {
  if (g_virtual) return g_virtualNow;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - g_start).count();
}

void Delay(double seconds) {
  if (seconds <= 0) return;
  if (g_virtual) {
    g_virtualNow += seconds;
    return;
  }
  if (g_delayWait)
    g_delayWait(seconds);
  else
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

void SetDelayWait(void (*wait)(double seconds)) { g_delayWait = wait; }

void UseVirtualClock(bool on) { g_virtual = on; }
bool VirtualClockActive() { return g_virtual; }
void AdvanceVirtualClock(double seconds) {
  if (g_virtual && seconds > 0) g_virtualNow += seconds;
}
