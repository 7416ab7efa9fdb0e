// Labels of the port drop-down.
#include "platform/port_labels.h"

#include <algorithm>

std::string PortEntryLabel(int number, const PortFacts& facts) {
  std::string label = "COM" + std::to_string(number) + "  " + facts.path;
  std::string brackets = facts.maker;
  if (!facts.serial.empty()) brackets += (brackets.empty() ? "" : ", ") + facts.serial;
  if (!facts.description.empty()) label += "  " + facts.description;
  if (!brackets.empty()) label += (facts.description.empty() ? "  (" : " (") + brackets + ")";
  if (!facts.access) label += std::string("  - ") + kNoAccessMark;
  return label;
}

std::vector<PortEntry> PortEntries(const std::vector<PortFacts>& devices) {
  std::vector<PortEntry> out;
  for (const PortFacts& d : devices) {
    const int n = PortNumberForDevice(d.path);
    if (n == 0) continue;
    if (std::any_of(out.begin(), out.end(), [n](const PortEntry& e) { return e.number == n; }))
      continue;
    out.push_back({n, PortEntryLabel(n, d)});
  }
  std::sort(out.begin(), out.end(),
            [](const PortEntry& a, const PortEntry& b) { return a.number < b.number; });
  out.push_back({kSimPort, "SIM  (built-in sensor simulator, no hardware)"});
  return out;
}
