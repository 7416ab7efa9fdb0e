// Shared scaffolding of the suites: reply frames as the sensor sends them,
// what the program sent, control read-back, scratch files.
#pragma once
#include <stdlib.h>

#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "platform/graph_probe.h"
#include "platform/ui.h"
#include "sim/sensor_sim.h"

namespace tframes {

using Bytes = std::vector<uint8_t>;

// Big-endian words, padded with zeros to `size` bytes.
inline Bytes WordsToBytes(const std::vector<uint16_t>& words, size_t size = 36) {
  Bytes b;
  for (uint16_t w : words) {
    b.push_back(static_cast<uint8_t>(w >> 8));
    b.push_back(static_cast<uint8_t>(w & 0xFF));
  }
  b.resize(size, 0);
  return b;
}

// The word (high byte first) at byte `at`.
inline uint16_t WordAt(const Bytes& b, int at) {
  return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}

// An ordinary reply: sync 0x00AA, command echo, argument, 15 words from byte 6.
inline Bytes OrdinaryFrame(uint16_t command, const std::vector<uint16_t>& words = {},
                           uint16_t argument = 0) {
  std::vector<uint16_t> w = {0x00AA, command, argument};
  w.insert(w.end(), words.begin(), words.end());
  return WordsToBytes(w);
}

// A measurement reply: bytes 2-3 = 8, 16 words from byte 4.
inline Bytes MeasurementFrame(const std::vector<uint16_t>& words, uint16_t sync = 0x00AA) {
  std::vector<uint16_t> w = {sync, 8};
  w.insert(w.end(), words.begin(), words.end());
  return WordsToBytes(w);
}

// A video data block of 64 words: base + i, high byte first.
inline Bytes Block(uint16_t base) {
  std::vector<uint16_t> w;
  for (int i = 0; i < 64; ++i) w.push_back(static_cast<uint16_t>(base + i));
  return WordsToBytes(w, 128);
}

// Requests the program sent, in order: all of them or those with one command.
inline std::vector<uint16_t> SentCommands(const tarvo_sim::SensorSim& s) {
  std::vector<uint16_t> c;
  for (const auto& r : s.requests()) c.push_back(r.command);
  return c;
}
inline std::vector<tarvo_sim::Request> SentWith(const tarvo_sim::SensorSim& s, uint16_t command) {
  std::vector<tarvo_sim::Request> out;
  for (const auto& r : s.requests())
    if (r.command == command) out.push_back(r);
  return out;
}

// Read-back of a control or a graph.
inline double NumVal(int panel, int control) {
  double v = -1;
  GetCtrlVal(panel, control, &v);
  return v;
}
inline int IntVal(int panel, int control) {
  int v = -1;
  GetCtrlVal(panel, control, &v);
  return v;
}
inline int CtrlAttr(int panel, int control, int attribute) {
  int v = -1;
  GetCtrlAttribute(panel, control, attribute, &v);
  return v;
}
inline double CursorX(int panel, int control, int cursor) {
  double x = -1, y = -1;
  GetGraphCursor(panel, control, cursor, &x, &y);
  return x;
}
inline double CursorY(int panel, int control, int cursor) {
  double x = -1, y = -1;
  GetGraphCursor(panel, control, cursor, &x, &y);
  return y;
}
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
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}
inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream f(path, std::ios::binary);
  f << content;
}
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace tframes
