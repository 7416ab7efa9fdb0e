// Entry points that feed arbitrary bytes through the program's input readers:
// the receive path of the serial line, the parameter-file reader, the
// linearisation-file reader and the viewer's recorder-file reader. Shared by the libFuzzer targets
// (fuzz/*.cpp) and by the regression suite, which replays the inputs that once failed.
//
// Each entry checks what must hold for any input and calls FuzzFail (which
// aborts) when it does not, so a fuzzer reports the input.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "link/frame.h"
#include "link/identify.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"
#include "link/xflash.h"
#include "params/parafile_format.h"
#include "platform/clock.h"
#include "platform/port_backend.h"
#include "platform/serial.h"
#include "platform/serial_internal.h"
#include "viewer/rec_reader.h"

namespace fuzz {

inline void FuzzFail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

// An in-memory line: each poll delivers the next piece of the input, pieces
// as long as the chunk pattern says (so frames arrive split and joined in
// every way a serial driver can hand them over). A reply line delivers
// nothing before the first write (the request).
class ByteStreamLine : public PortBackend {
 public:
  ByteStreamLine(const uint8_t* data, size_t size, const uint8_t* chunks, size_t nChunks,
                 bool reply = false)
      : data_(data), size_(size), chunks_(chunks), nChunks_(nChunks), silent_(reply) {}
  int Open() override { return 0; }
  void Close() override {}
  int Write(const uint8_t*, int count) override {
    silent_ = false;
    return count;
  }
  void Poll(std::vector<uint8_t>& in) override {
    if (silent_ || pos_ >= size_) return;
    size_t n = nChunks_ ? 1 + chunks_[chunk_++ % nChunks_] % 80 : size_ - pos_;
    if (n > size_ - pos_) n = size_ - pos_;
    in.insert(in.end(), data_ + pos_, data_ + pos_ + n);
    pos_ += n;
  }
  // Every piece is due at once: a waiting read never idles.
  double NextArrivalIn() const override { return !silent_ && pos_ < size_ ? 0.0 : -1.0; }
  bool Done() const { return pos_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  const uint8_t* chunks_;
  size_t nChunks_;
  bool silent_;
  size_t pos_ = 0;
  size_t chunk_ = 0;
};

constexpr int kFuzzPort = 7;

// Opens kFuzzPort on `line` the way the connect sequence does, with the
// receive notification on.
inline void OpenFuzzPort(std::unique_ptr<PortBackend> line) {
  UseVirtualClock(true);
  InstallPortBackend(kFuzzPort, std::move(line));
  if (OpenComConfig(kFuzzPort, "", 19200, 0, 8, 1, 4096, 4096) != 0) FuzzFail("open");
  com = kFuzzPort;
  SetComTime(com, TIMEOUT);
  rx_flag = 0;
  graph_flag = 0;
  LineHandlerOn();
}

// Checks one frame the receive handler accepted against the bytes it came from
// (only bytes 2-3 = 8 make a measurement; the sync word is never looked at).
inline void CheckReceivedFrame() {
  const bool measurement = szReadBuf[2] == 0x00 && szReadBuf[3] == 0x08;
  if (graph_flag != (measurement ? 1 : 0)) FuzzFail("measurement flag");
  if (measurement) {
    // 16 words from byte 4 on, into the measurement values.
    for (int i = 0; i < 16; ++i)
      if (pp[i] != WordAt(szReadBuf + 4 + 2 * i)) FuzzFail("measurement word");
  } else {
    // 15 payload words (word 15 kept): encoding them again gives bytes 6..35 back.
    if (pp[15] != 0xBEEF) FuzzFail("word 15 of an ordinary frame");
    unsigned char again[kFrameBytes];
    uint16_t words[16] = {};
    std::copy(pp, pp + 15, words);
    EncodeFrame(again, 0, 0, words);
    if (std::memcmp(again + 6, szReadBuf + 6, kFrameBytes - 6) != 0) FuzzFail("payload words");
  }
}

// The receive path. Input layout: byte 0 = options (bit 0: end with a
// firmware-version query, bit 1: its text form), byte 1 = number of chunk
// bytes n (mod 16), then n chunk lengths, then the byte stream of the line.
inline int FuzzReceivePath(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t options = data[0];
  size_t nChunks = data[1] % 16;
  if (nChunks > size - 2) nChunks = size - 2;
  const uint8_t* chunks = data + 2;
  const uint8_t* stream = chunks + nChunks;
  const size_t streamSize = size - 2 - nChunks;

  // Frames arrive through the notification, exactly as on the real line.
  auto owned = std::make_unique<ByteStreamLine>(stream, streamSize, chunks, nChunks);
  ByteStreamLine* line = owned.get();
  OpenFuzzPort(std::move(owned));
  bool last = false;  // one more pass once the line has delivered everything
  for (int pass = 0; pass < 4097 && !last; ++pass) {
    last = line->Done();
    rx_flag = 0;
    pp[15] = 0xBEEF;
    DispatchComEvents();
    if (rx_flag) CheckReceivedFrame();
  }
  CloseCom(kFuzzPort);

  if (options & 1) {
    // The firmware text: the same bytes as a 72-byte raw reply (or less, or more).
    OpenFuzzPort(std::make_unique<ByteStreamLine>(stream, streamSize, chunks, nChunks, true));
    pcbtype = (options & 2) ? 1 : 0;
    GetVERSIONInfo();
    if (std::memchr(szVersion, '\0', sizeof szVersion) == nullptr) FuzzFail("version text end");
    CloseCom(kFuzzPort);
  }
  return 0;
}

// The parameter-file reader: a good file reads back the same after writing it.
inline int FuzzParaFile(const uint8_t* data, size_t size) {
  // Exactly `size` bytes, no terminator: a read past the end is caught.
  std::vector<char> text(data, data + size);
  uint32_t values[kParaFileValues], again[kParaFileValues];
  std::fill(values, values + kParaFileValues, 0xA5A5A5A5u);
  const ParaParseResult r = ParseParaFile(text.data(), text.size(), values);
  if (r != kParaOk) {
    if (std::count(values, values + kParaFileValues, 0xA5A5A5A5u) != kParaFileValues)
      FuzzFail("values written on refusal");
    return 0;
  }
  // A short or failed write is refused when read back.
  char out[kParaFileBytes];
  const size_t n = FormatParaFile(values, out, sizeof out);
  if (ParseParaFile(out, n, again) != kParaOk) FuzzFail("para written file refused");
  if (std::memcmp(again, values, sizeof values) != 0) FuzzFail("para round trip");
  return 0;
}

// The linearisation-file reader: results stay within their ranges and every
// result has a text.
inline int FuzzLinFile(const uint8_t* data, size_t size) {
  std::vector<char> text(data, data + size);
  static int16_t table[kLinValues];
  const LinParseResult r = ParseLinData(text.data(), text.size(), table);
  if (r.count < 0 || r.count > kLinValues) FuzzFail("lin count");
  if (r.line < 1) FuzzFail("lin line");
  if (r.error == kLinOk && r.count != kLinValues) FuzzFail("lin ok with too few");
  if (r.error != kLinOk && (r.error < kLinNotANumber || r.error > kLinTooFew))
    FuzzFail("lin result");
  char msg[73];
  std::memset(msg, 0x7F, sizeof msg);  // every result has a text, and it ends
  LinRefusalText(r, msg, sizeof msg);
  if (msg[0] == 0x7F || std::memchr(msg, '\0', sizeof msg) == nullptr) FuzzFail("lin text");
  return 0;
}

// The recorder-file reader: byte 0 chooses a chunk size; the file read in
// those chunks gives what it gives read at once, every line is a header line,
// a record or counted as skipped, and the records read back the same when
// written out again.
inline int FuzzRecFile(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t chunk = 1 + data[0] % 64;
  const char* text = reinterpret_cast<const char*>(data + 1);
  const size_t n = size - 1;
  const auto read = [](const char* bytes, size_t size, size_t piece) {
    Recording rec;
    RecParser parser(&rec);
    for (size_t i = 0; i < size; i += piece) parser.Feed(bytes + i, std::min(piece, size - i));
    parser.Finish();
    return rec;
  };
  const Recording whole = read(text, n, n), pieces = read(text, n, chunk);
  if (pieces.rows != whole.rows || pieces.skipped != whole.skipped ||
      pieces.firstSkippedLine != whole.firstSkippedLine ||
      pieces.header.setpoint != whole.header.setpoint ||
      pieces.header.interval != whole.header.interval)
    FuzzFail("rec chunked read differs");
  long lines = static_cast<long>(std::count(text, text + n, '\n'));
  if (n > 0 && text[n - 1] != '\n') ++lines;
  // Lines 1 and 2 may be header lines; every other line is taken or counted.
  const long taken = static_cast<long>(whole.rows.size()) + whole.skipped;
  if (taken > lines || taken < lines - 2) FuzzFail("rec line count");
  std::string out;
  for (const RecRow& r : whole.rows) {
    char line[80];
    std::snprintf(line, sizeof line, "%d\t%d\t%d\t%d\t%d\t%d\n", r[0], r[1], r[2], r[3], r[4],
                  r[5]);
    out += line;
  }
  const Recording again = read(out.data(), out.size(), out.size() + 1);
  if (again.rows != whole.rows || again.skipped != 0) FuzzFail("rec round trip");
  return 0;
}

}  // namespace fuzz
