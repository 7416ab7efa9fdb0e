// Writing the recorder file: the file is appended to piece by piece, and text
// that could not be appended is kept and written with the next append, so no
// record is ever lost without being counted.
#pragma once
#include <cstddef>

// Appends count bytes to the file at path (created when missing). Returns the
// number of bytes written (may be fewer than count), or -1 when the file cannot
// be opened for appending.
long AppendToFile(const char* path, const char* data, size_t count);

// Bytes kept for a later append while the file cannot be written.
constexpr size_t kRecPendingBytes = 65536;

struct RecFileWriter {
  char path[261];
  char pending[kRecPendingBytes];
  size_t pendingLen;
  int headerLines;    // lines of the header added so far
  long linesWritten;  // complete lines that reached the file
  long recordsLost;   // records dropped because the pending store was full
  int lastError;      // 0, or -1 when the last attempt to write failed
};

// Starts a new file: deletes an existing one (result of the deletion: 0, or
// -1 when an existing file could not be removed) and forgets pending text.
int RecWriterStart(RecFileWriter& w, const char* path);
// Adds a header line (the header must come first) or a record, then writes
// everything pending. Returns 0 when nothing is pending afterwards, else -1.
int RecWriterAddHeader(RecFileWriter& w, const char* text, size_t len);
int RecWriterAddRecord(RecFileWriter& w, const char* text, size_t len);
// Tries again to write what is pending; 0 when nothing is pending afterwards.
int RecWriterFlush(RecFileWriter& w);
// Records added but not (yet) in the file, including those that were dropped.
long RecWriterRecordsNotWritten(const RecFileWriter& w);
// Whether the header has not (yet) reached the file completely.
bool RecWriterHeaderPending(const RecFileWriter& w);
