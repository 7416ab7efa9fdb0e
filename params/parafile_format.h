// The parameter file as text: 45 lines, one unsigned decimal value per line,
// right-aligned in a field 10 characters wide. Line n holds payload word
// n mod 15 of set n / 15.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int kParaFileValues = 45;
constexpr int kParaFieldWidth = 10;
constexpr const char* kParaLineEnd = "\r\n";
// Bytes of a file as written: 45 x (10 + line end).
constexpr size_t kParaFileBytes = kParaFileValues * (kParaFieldWidth + 2);

// Writes the file text for `values` into `out` (no terminator). Returns the
// number of bytes, or 0 when `outSize` is too small.
size_t FormatParaFile(const uint32_t (&values)[kParaFileValues], char* out, size_t outSize);

enum ParaParseResult {
  kParaOk = 0,
  kParaTooFew = -1,      // fewer than 45 numbers
  kParaTooMany = -2,     // more than 45 numbers
  kParaBadNumber = -3,   // something that is not an unsigned decimal number
  kParaOutOfRange = -4,  // a number above 4294967295
};
// Reads exactly 45 unsigned decimal numbers separated by blanks, tabs or line
// ends (LF or CR LF). `values` is written only when the whole text is good.
ParaParseResult ParseParaFile(const char* text, size_t length, uint32_t (&values)[kParaFileValues]);
const char* ParaParseText(ParaParseResult r);
