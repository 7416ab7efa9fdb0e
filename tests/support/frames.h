// Shared scaffolding of the suites: reply frames as the sensor sends them,
// what the program sent, control read-back, scratch files.
#pragma once
#include <stdlib.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/graph_probe.h"
#include "platform/ui.h"
#include "sim/sensor_sim.h"

namespace tframes {

using Bytes = std::vector<uint8_t>;
using Words = std::vector<uint16_t>;

// Big-endian words: the leading `head` words, then `words`, padded with zeros to `size` bytes.
inline Bytes WordsToBytes(const Words& words, size_t size = 36, const Words& head = {}) {
  Bytes b;
  for (const Words* part : {&head, &words})
    for (uint16_t w : *part) b.insert(b.end(), {uint8_t(w >> 8), uint8_t(w & 0xFF)});
  b.resize(size, 0);
  return b;
}
inline uint16_t WordAt(const Bytes& b, int at) { return uint16_t(b[at] << 8 | b[at + 1]); }

// An ordinary reply: sync 0x00AA, command echo, argument, 15 words from byte 6.
inline Bytes OrdinaryFrame(uint16_t command, const Words& words = {}, uint16_t argument = 0) {
  return WordsToBytes(words, 36, {0x00AA, command, argument});
}
// A measurement reply: bytes 2-3 = 8, 16 words from byte 4.
inline Bytes MeasurementFrame(const Words& words, uint16_t sync = 0x00AA) {
  return WordsToBytes(words, 36, {sync, 8});
}
// A video data block of 64 words: base + i.
inline Bytes Block(uint16_t base) {
  Words w(64);
  for (int i = 0; i < 64; ++i) w[i] = uint16_t(base + i);
  return WordsToBytes(w, 128);
}

// Requests the program sent, in order: all of them or those with one command.
inline std::vector<tarvo_sim::Request> SentWith(const tarvo_sim::SensorSim& s, int command = -1) {
  std::vector<tarvo_sim::Request> out;
  for (const auto& r : s.requests())
    if (command < 0 || r.command == command) out.push_back(r);
  return out;
}
inline Words SentCommands(const tarvo_sim::SensorSim& s) {
  Words c;
  for (const auto& r : SentWith(s)) c.push_back(r.command);
  return c;
}

// Read-back of a control or a graph.
template <class T>
T Val(int panel, int control) {
  T v = -1;
  GetCtrlVal(panel, control, &v);
  return v;
}
inline double NumVal(int panel, int control) { return Val<double>(panel, control); }
inline int IntVal(int panel, int control) { return Val<int>(panel, control); }
inline int CtrlAttr(int panel, int control, int attribute) {
  int v = -1;
  GetCtrlAttribute(panel, control, attribute, &v);
  return v;
}
inline std::pair<double, double> Cursor(int panel, int control, int cursor) {
  double x = -1, y = -1;
  GetGraphCursor(panel, control, cursor, &x, &y);
  return {x, y};
}
// The x or y range of a graph axis.
inline std::pair<double, double> AxisRange(int panel, int control, int axis) {
  double lo = -1, hi = -1;
  GetAxisRange(panel, control, axis, &lo, &hi);
  return {lo, hi};
}
inline double CursorX(int panel, int control, int c) { return Cursor(panel, control, c).first; }
inline double CursorY(int panel, int control, int c) { return Cursor(panel, control, c).second; }
// Rectangles of one fill colour on a graph.
inline std::vector<PlotInfo> Rects(int panel, int control, int colour) {
  std::vector<PlotInfo> out;
  for (const auto& p : GetGraphPlots(panel, control))
    if (p.kind == PlotInfo::kRectangle && p.fillColor == colour) out.push_back(p);
  return out;
}

// Scratch files.
inline std::string MakeTempDir() {
  char tmpl[] = "/tmp/tarvo-test-XXXXXX";
  const char* d = mkdtemp(tmpl);
  return d ? d : "/tmp";
}
inline std::string ReadAll(const std::string& path) {
  std::stringstream ss;
  ss << std::ifstream(path, std::ios::binary).rdbuf();
  return ss.str();
}
inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace tframes
