#include "viewer/rec_reader.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

const char* SkipBlanks(const char* p, const char* end) {
  while (p < end && IsBlank(*p)) ++p;
  return p;
}

// A signed decimal number within `lo`..`hi` at p; advances p past it.
bool TakeNumber(const char*& p, const char* end, int64_t lo, int64_t hi, int64_t* value) {
  bool negative = false;
  if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  if (p == end || !IsDigit(*p)) return false;
  int64_t v = 0;
  const int64_t limit = negative ? -lo : hi;
  while (p < end && IsDigit(*p)) {
    v = v * 10 + (*p++ - '0');
    if (v > limit) return false;
  }
  *value = negative ? -v : v;
  return true;
}

// Where `text` starts within [begin, end), or nullptr.
const char* Find(const char* begin, const char* end, const char* text) {
  const size_t n = std::strlen(text);
  for (const char* p = begin; p + n <= end; ++p)
    if (std::memcmp(p, text, n) == 0) return p;
  return nullptr;
}

// The unsigned 32-bit number after `marker` (blanks allowed in between).
bool NumberAfter(const char* begin, const char* end, const char* marker, uint32_t* value) {
  const char* p = Find(begin, end, marker);
  if (!p) return false;
  p = SkipBlanks(p + std::strlen(marker), end);
  int64_t v = 0;
  if (!TakeNumber(p, end, 0, 0xFFFFFFFFll, &v)) return false;
  *value = static_cast<uint32_t>(v);
  return SkipBlanks(p, end) == end;
}

// "MM-DD-YYYY HH:MM:SS" at the start of the line.
bool TakeStart(const char* begin, const char* end, RecHeader* h) {
  char text[20];
  if (end - begin < 19) return false;
  std::memcpy(text, begin, 19);
  text[19] = '\0';
  int n = 0;
  if (std::sscanf(text, "%2d-%2d-%4d %2d:%2d:%2d%n", &h->month, &h->day, &h->year, &h->hour,
                  &h->minute, &h->second, &n) != 6 ||
      n != 19)
    return false;
  return h->month >= 1 && h->month <= 12 && h->day >= 1 && h->day <= 31 && h->hour <= 23 &&
         h->minute <= 59 && h->second <= 59 && h->hour >= 0 && h->minute >= 0 && h->second >= 0;
}

}  // namespace

bool ParseRecLine(const char* begin, const char* end, RecRow* row) {
  const char* p = SkipBlanks(begin, end);
  for (int i = 0; i < kRecValues; ++i) {
    if (i > 0) {
      if (p == end || !IsBlank(*p)) return false;
      p = SkipBlanks(p, end);
    }
    int64_t v = 0;
    if (!TakeNumber(p, end, INT32_MIN, INT32_MAX, &v)) return false;
    (*row)[i] = static_cast<int32_t>(v);
  }
  return SkipBlanks(p, end) == end;
}

bool ParseRecHeaderLine1(const char* begin, const char* end, RecHeader* header) {
  if (!Find(begin, end, "TARVO-RECORDER-FILE:")) return false;
  RecHeader h = *header;
  h.haveStart = TakeStart(begin, end, &h);
  if (!h.haveStart) h.month = h.day = h.year = h.hour = h.minute = h.second = 0;
  if (!NumberAfter(begin, end, "Time-Interval[s]:", &h.interval)) h.interval = 0;
  *header = h;
  return true;
}

bool ParseRecHeaderLine2(const char* begin, const char* end, RecHeader* header) {
  const char* p = SkipBlanks(begin, end);
  constexpr const char* kMarker = "SETPOINT-VALUE";
  if (static_cast<size_t>(end - p) < std::strlen(kMarker) ||
      std::memcmp(p, kMarker, std::strlen(kMarker)) != 0)
    return false;
  header->haveSetpoint = NumberAfter(p, end, "]:", &header->setpoint);
  if (!header->haveSetpoint) header->setpoint = 0;
  return true;
}

void RecParser::TakeLine(const char* begin, const char* end) {
  if (end > begin && end[-1] == '\r') --end;
  ++line_;
  if (line_ <= 2 && (ParseRecHeaderLine1(begin, end, &out_->header) ||
                     ParseRecHeaderLine2(begin, end, &out_->header)))
    return;
  RecRow row;
  if (ParseRecLine(begin, end, &row)) {
    out_->rows.push_back(row);
    return;
  }
  if (out_->skipped++ == 0) out_->firstSkippedLine = line_;
}

void RecParser::Feed(const char* data, size_t size) {
  const char* end = data + size;
  const char* p = data;
  if (!partial_.empty()) {
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', size));
    if (!nl) {
      partial_.append(p, size);
      return;
    }
    partial_.append(p, nl);
    TakeLine(partial_.data(), partial_.data() + partial_.size());
    partial_.clear();
    p = nl + 1;
  }
  while (p < end) {
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (!nl) {
      partial_.assign(p, end);
      return;
    }
    TakeLine(p, nl);
    p = nl + 1;
  }
}

void RecParser::Finish() {
  if (partial_.empty()) return;
  TakeLine(partial_.data(), partial_.data() + partial_.size());
  partial_.clear();
}

int ReadRecordingFile(const char* path, Recording* out) {
  *out = Recording();
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return kRecFileCannotOpen;
  int result = 0;
  try {
    // Room for as many records as the file can hold (a record line has at
    // least 12 bytes), so the store never grows by copying itself. Memory
    // that no record uses is never touched and costs nothing.
    if (std::fseek(f, 0, SEEK_END) == 0) {
      const long size = std::ftell(f);
      if (size > 0) out->rows.reserve(static_cast<size_t>(size) / 11 + 1);
      std::rewind(f);
    }
    RecParser parser(out);
    static char chunk[1 << 16];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) parser.Feed(chunk, n);
    if (std::ferror(f)) result = kRecFileReadError;
    parser.Finish();
  } catch (const std::bad_alloc&) {
    *out = Recording();
    result = kRecFileTooLarge;
  }
  std::fclose(f);
  return result;
}
