#include "viewer/csv.h"

#include <cmath>

CsvWriter::~CsvWriter() { Close(); }

bool CsvWriter::Open(const char* path) {
  Close();
  failed_ = false;
  rowStarted_ = false;
  f_ = std::fopen(path, "wb");
  return f_ != nullptr;
}

void CsvWriter::Separator() {
  if (rowStarted_ && std::fputc(',', f_) == EOF) failed_ = true;
  rowStarted_ = true;
}

void CsvWriter::Text(const std::string& text) {
  if (!f_) return;
  Separator();
  std::string cell = text;
  if (text.find_first_of(",\"\r\n") != std::string::npos) {
    cell = "\"";
    for (char c : text) {
      if (c == '"') cell += '"';
      cell += c;
    }
    cell += '"';
  }
  if (std::fputs(cell.c_str(), f_) == EOF && !cell.empty()) failed_ = true;
}

void CsvWriter::Number(double value) {
  if (!f_) return;
  Separator();
  if (!std::isfinite(value)) return;  // an empty cell
  const bool whole = value == std::trunc(value) && std::fabs(value) < 1e15;
  if (std::fprintf(f_, whole ? "%.0f" : "%.10g", value) < 0) failed_ = true;
}

void CsvWriter::EndRow() {
  if (!f_) return;
  if (std::fputs("\r\n", f_) == EOF) failed_ = true;
  rowStarted_ = false;
}

bool CsvWriter::Close() {
  if (!f_) return !failed_;
  if (std::fclose(f_) != 0) failed_ = true;
  f_ = nullptr;
  return !failed_;
}

std::string CsvPathBeside(const std::string& imagePath) {
  const size_t slash = imagePath.find_last_of('/');
  const size_t dot = imagePath.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
      dot == (slash == std::string::npos ? 0 : slash + 1))
    return imagePath + ".csv";
  return imagePath.substr(0, dot) + ".csv";
}
