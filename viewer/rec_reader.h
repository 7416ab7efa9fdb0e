// Reading a recorder file for the viewer: the two header lines and the
// records of six integers. Files written by this program and by earlier
// versions of it are read alike (CR LF or LF line ends, the micro sign as the
// single byte 0xB5 or in UTF-8). Plain data, no widgets.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The values of one record, in file order.
constexpr int kRecValues = 6;
using RecRow = std::array<int32_t, kRecValues>;
// Index of umValue (the result in micrometres) within a record.
constexpr int kRecUmValue = 3;

struct RecHeader {
  bool haveStart = false;  // line 1 was read
  int month = 0, day = 0, year = 0;
  int hour = 0, minute = 0, second = 0;
  uint32_t interval = 0;      // seconds between records
  bool haveSetpoint = false;  // line 2 was read
  uint32_t setpoint = 0;      // micrometres
};

struct Recording {
  RecHeader header;
  std::vector<RecRow> rows;
  long skipped = 0;           // lines that are not six integers
  long firstSkippedLine = 0;  // 1-based line number of the first of them, 0 = none
};

// Takes a recorder file piece by piece, in chunks of any size, so that a
// large file never has to be held as text. Every complete line is taken as
// it arrives; Finish() takes a last line that has no line end.
class RecParser {
 public:
  explicit RecParser(Recording* out) : out_(out) {}
  void Feed(const char* data, size_t size);
  void Finish();

 private:
  void TakeLine(const char* begin, const char* end);
  Recording* out_;
  std::string partial_;  // the start of a line that continues in the next chunk
  long line_ = 0;        // lines taken so far
};

// Whether a line (without its line end) is six integers; fills `row` if so.
bool ParseRecLine(const char* begin, const char* end, RecRow* row);
// Header lines; true and the fields filled when the line has that form.
bool ParseRecHeaderLine1(const char* begin, const char* end, RecHeader* header);
bool ParseRecHeaderLine2(const char* begin, const char* end, RecHeader* header);

// Results of ReadRecordingFile besides 0.
constexpr int kRecFileCannotOpen = -1;
constexpr int kRecFileReadError = -2;  // reading failed part-way; what was read is kept
constexpr int kRecFileTooLarge = -3;   // not enough memory for the records; nothing kept
// Reads the whole file at `path`: 0 on success, or one of the results above.
int ReadRecordingFile(const char* path, Recording* out);
