#include "params/parafile_format.h"

#include <cstdio>
#include <cstring>

size_t FormatParaFile(const uint32_t (&values)[kParaFileValues], char* out, size_t outSize) {
  if (outSize < kParaFileBytes) return 0;
  size_t n = 0;
  for (int i = 0; i < kParaFileValues; ++i) {
    char line[kParaFieldWidth + 3];
    const int len = std::snprintf(line, sizeof line, "%10lu%s",
                                  static_cast<unsigned long>(values[i]), kParaLineEnd);
    std::memcpy(out + n, line, static_cast<size_t>(len));
    n += static_cast<size_t>(len);
  }
  return n;
}

namespace {
bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

ParaParseResult ParseParaFile(const char* text, size_t length,
                              uint32_t (&values)[kParaFileValues]) {
  uint32_t read[kParaFileValues];
  int count = 0;
  size_t i = 0;
  while (i < length) {
    if (IsSeparator(text[i])) {
      ++i;
      continue;
    }
    // One number: digits up to the next separator.
    uint64_t v = 0;
    bool outOfRange = false;
    for (; i < length && !IsSeparator(text[i]); ++i) {
      const char c = text[i];
      if (c < '0' || c > '9') return kParaBadNumber;
      v = v * 10 + static_cast<uint64_t>(c - '0');
      if (v > 0xFFFFFFFFull) {
        outOfRange = true;
        v = 0xFFFFFFFFull + 1;  // stays above the limit without overflowing
      }
    }
    if (outOfRange) return kParaOutOfRange;
    if (count == kParaFileValues) return kParaTooMany;
    read[count++] = static_cast<uint32_t>(v);
  }
  if (count < kParaFileValues) return kParaTooFew;
  std::memcpy(values, read, sizeof read);
  return kParaOk;
}

const char* ParaParseText(ParaParseResult r) {
  switch (r) {
    case kParaOk:
      return "ok";
    case kParaTooFew:
      return "fewer than 45 values";
    case kParaTooMany:
      return "more than 45 values";
    case kParaBadNumber:
      return "not a number";
    case kParaOutOfRange:
      return "value too large";
  }
  return "unreadable";
}
