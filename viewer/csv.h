// Writing the data of an exported graph as CSV: a header row with the
// names (and units) of the columns, then one row per sample; comma-separated,
// numbers with a decimal point, line ends CR LF. Plain C++.
#pragma once
#include <cstdio>
#include <string>

class CsvWriter {
 public:
  CsvWriter() = default;
  ~CsvWriter();
  CsvWriter(const CsvWriter&) = delete;
  CsvWriter& operator=(const CsvWriter&) = delete;

  // Creates (or replaces) the file; false when it cannot be created.
  bool Open(const char* path);
  // One cell of the current row: a text (quoted when it holds a comma or a
  // quote) or a number (whole numbers without a point, others to 10 digits).
  void Text(const std::string& text);
  void Number(double value);
  void EndRow();
  // Closes the file; false when anything could not be written.
  bool Close();

 private:
  void Separator();
  std::FILE* f_ = nullptr;
  bool rowStarted_ = false;
  bool failed_ = false;
};

// The path of the CSV that goes beside an image: the image path with its
// extension (".png") replaced by ".csv", or ".csv" appended when it has none.
std::string CsvPathBeside(const std::string& imagePath);
