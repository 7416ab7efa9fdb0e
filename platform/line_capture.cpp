// The tap of the port services.
#include "platform/line_capture.h"

#include <chrono>

#include "platform/clock.h"

namespace {
LineTap g_tap = nullptr;
}  // namespace

void SetLineTap(LineTap tap) { g_tap = tap; }

void TapLine(LineEventKind kind, int port, const uint8_t* bytes, int count) {
  if (!g_tap) return;
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const LineEvent e{kind, port, Timer(), std::chrono::duration<double>(now).count(), bytes, count};
  g_tap(e);
}
