// The parameter file: the three sets as 45 payload words on disk.
#include "params/parafile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/startup.h"
#include "link/link.h"
#include "link/payload.h"
#include "params/panels.h"
#include "params/parafile_format.h"
#include "platform/popup.h"

char file_name[261] = "";

namespace {

constexpr const char* kDefaultFile = "TARVOpara.cfg";
constexpr const char* kPattern = "*.cfg";
// A parameter file is about 540 bytes; anything much larger is not one.
constexpr size_t kMaxFileBytes = 8192;

void ReportNotWritten(const char* reason) {
  char text[128];
  std::snprintf(text, sizeof text, "Parameter file not written: %s", reason);
  ShowStatusText(text);
}

void ReportUnreadable(const char* reason) {
  char text[128];
  std::snprintf(text, sizeof text, "Parameter file unreadable - sets unchanged! (%s)", reason);
  ShowStatusText(text);
}

// Writes the whole text into an open file and closes it; 0, or an errno value.
int WriteAndClose(std::FILE* f, const char* data, size_t length) {
  int err = 0;
  if (std::fwrite(data, 1, length, f) != length) err = errno ? errno : EIO;
  if (std::fflush(f) != 0 && !err) err = errno ? errno : EIO;
  if (std::fclose(f) != 0 && !err) err = errno ? errno : EIO;
  return err;
}

// Writes `length` bytes to `path` so that a failure leaves any old file intact:
// the text goes to a temporary file beside it, which then replaces the old one.
// Where no file can be created beside it (a folder in which only the file
// itself may be written), the file is written in place. Returns 0, or an
// errno value.
int WriteWholeFile(const char* path, const char* data, size_t length) {
  char tmp[sizeof file_name + 8];
  std::snprintf(tmp, sizeof tmp, "%s.tmp~", path);
  errno = 0;
  std::FILE* f = std::fopen(tmp, "wb");
  if (!f) {
    const int tmpErr = errno ? errno : EIO;
    errno = 0;
    f = std::fopen(path, "wb");
    if (!f) return errno == ENOENT || errno == 0 ? tmpErr : errno;
    return WriteAndClose(f, data, length);
  }
  int err = WriteAndClose(f, data, length);
  if (!err && std::rename(tmp, path) != 0) err = errno ? errno : EIO;
  if (err) std::remove(tmp);
  return err;
}

// Reads the whole file into `buf`; returns the length, or -1 with `reason` set.
long ReadWholeFile(const char* path, char* buf, size_t size, const char** reason) {
  errno = 0;
  std::FILE* f = std::fopen(path, "rb");
  if (!f) {
    *reason = std::strerror(errno ? errno : ENOENT);
    return -1;
  }
  const size_t n = std::fread(buf, 1, size, f);
  const bool failed = std::ferror(f) != 0;
  const int err = errno;
  std::fclose(f);
  if (failed) {
    *reason = std::strerror(err ? err : EIO);
    return -1;
  }
  if (n == size) {
    *reason = "file too large";
    return -1;
  }
  return static_cast<long>(n);
}

}  // namespace

int SendParaToFile() {
  GetPanelValues();
  uint32_t values[kParaFileValues];
  for (uint16_t set = 0; set < 3; ++set) {
    CopyVarsToPP(set);
    for (int k = 0; k < 15; ++k) values[set * 15 + k] = pp[k];
  }
  char text[kParaFileBytes];
  const size_t length = FormatParaFile(values, text, sizeof text);
  const int err = WriteWholeFile(file_name, text, length);
  if (err != 0) {
    ReportNotWritten(std::strerror(err));
    return -1;
  }
  return 0;
}

int ReadParaFromFile() {
  char chosen[sizeof file_name] = "";
  const int r = FileSelectPopup(proj_dir, kDefaultFile, kPattern, "TARVO-MS-Series-Parameter-File",
                                VAL_LOAD_BUTTON, 0, 1, 1, 1, chosen, sizeof chosen);
  if (r == VAL_PATH_TOO_LONG) {
    ShowStatusText(kPathTooLongText);
    return -1;
  }
  if (r != VAL_EXISTING_FILE_SELECTED && r != VAL_NEW_FILE_SELECTED) return 0;  // cancelled
  std::memcpy(file_name, chosen, sizeof file_name);
  file_name[sizeof file_name - 1] = '\0';

  static char buf[kMaxFileBytes];
  const char* reason = "";
  const long length = ReadWholeFile(file_name, buf, sizeof buf, &reason);
  if (length < 0) {
    ReportUnreadable(reason);
    return -1;
  }
  uint32_t values[kParaFileValues];
  const ParaParseResult pr = ParseParaFile(buf, static_cast<size_t>(length), values);
  if (pr != kParaOk) {
    ReportUnreadable(ParaParseText(pr));
    return -1;
  }
  for (uint16_t set = 0; set < 3; ++set) {
    for (int k = 0; k < 15; ++k) pp[k] = static_cast<uint16_t>(values[set * 15 + k] & 0xFFFFu);
    CopyPPtoVars(set);
  }
  ShowStatusText("Parameter file loaded!");
  return 1;
}
