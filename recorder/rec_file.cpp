#include "recorder/rec_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"

long AppendToFile(const char* path, const char* data, size_t count) {
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd, data + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  return static_cast<long>(done);
}

namespace {

long CountLines(const char* text, size_t len) {
  long n = 0;
  for (size_t i = 0; i < len; ++i)
    if (text[i] == '\n') ++n;
  return n;
}

int WritePending(RecFileWriter& w) {
  if (w.pendingLen == 0) {
    w.lastError = 0;
    return 0;
  }
  const long n = AppendToFile(w.path, w.pending, w.pendingLen);
  if (n > 0) {
    w.linesWritten += CountLines(w.pending, static_cast<size_t>(n));
    std::memmove(w.pending, w.pending + n, w.pendingLen - static_cast<size_t>(n));
    w.pendingLen -= static_cast<size_t>(n);
  }
  w.lastError = w.pendingLen == 0 ? 0 : -1;
  return w.lastError;
}

bool Keep(RecFileWriter& w, const char* text, size_t len) {
  if (len > kRecPendingBytes - w.pendingLen) return false;
  std::memcpy(w.pending + w.pendingLen, text, len);
  w.pendingLen += len;
  return true;
}

}  // namespace

int RecWriterStart(RecFileWriter& w, const char* path) {
  std::strncpy(w.path, path, sizeof w.path - 1);
  w.path[sizeof w.path - 1] = '\0';
  w.pendingLen = 0;
  w.headerLines = 0;
  w.linesWritten = 0;
  w.recordsLost = 0;
  w.lastError = 0;
  if (CVI_DeleteFile(w.path) != 0 && FileExists(w.path)) return -1;
  return 0;
}

int RecWriterAddHeader(RecFileWriter& w, const char* text, size_t len) {
  // The header is small and always fits into an empty store.
  if (Keep(w, text, len)) w.headerLines += static_cast<int>(CountLines(text, len));
  return WritePending(w);
}

int RecWriterAddRecord(RecFileWriter& w, const char* text, size_t len) {
  if (!Keep(w, text, len)) {
    // The store is full: make room by writing; if that fails the record is lost
    // and counted.
    WritePending(w);
    if (!Keep(w, text, len)) {
      ++w.recordsLost;
      w.lastError = -1;
      return -1;
    }
  }
  return WritePending(w);
}

int RecWriterFlush(RecFileWriter& w) { return WritePending(w); }

long RecWriterRecordsNotWritten(const RecFileWriter& w) {
  long pendingLines = CountLines(w.pending, w.pendingLen);
  long headerPending = w.headerLines - w.linesWritten;
  if (headerPending < 0) headerPending = 0;
  long records = pendingLines - headerPending;
  if (records < 0) records = 0;
  return records + w.recordsLost;
}

bool RecWriterHeaderPending(const RecFileWriter& w) { return w.linesWritten < w.headerLines; }
