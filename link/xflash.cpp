// X-FLASH linearisation upload: a 2048-word table read from a text file goes
// into the sensor's X-FLASH as one clear frame and 256 write frames.
#include "link/xflash.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/panels.h"
#include "app/startup.h"
#include "link/commands.h"
#include "link/frame.h"
#include "link/identify.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"
#include "params/parafile.h"
#include "platform/clock.h"
#include "platform/popup.h"
#include "platform/ui.h"

int16_t linArray[2048];
XFlashUploadState xflashUpload;

namespace {

constexpr uint16_t kFirstPage = 2;
constexpr uint16_t kLastPage = 9;
constexpr uint16_t kLastOffset = 248;
constexpr uint16_t kFillWord = 0x00AA;

constexpr int kProgressColor = 0x00FF00;
constexpr int kDoneColor = 0xA0A0A0;

// Largest linearisation file we read (a 2048-value table is about 12 kB).
constexpr long kMaxLinFileBytes = 4L * 1024 * 1024;

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';' || c == '\f' ||
         c == '\v';
}

void DrawProgress(double x2, int color) {
  PlotRectangle(pHandle, MAIN_GRAPHBarSlave, 1.0, 0.0, x2, 1.0, color, color);
}

int g_uploading = 0;

// One upload from the file dialogue to the last frame; `button` hides itself.
// The upload holds the line from the clear to the last write.
void UploadLinearisation(int button) {
  g_uploading = 1;  // from the file dialogue on: a second upload is refused
  if (ReadLinDataFromFile(linArray) == kLinOk) {
    AcquireLine(kOwnerUpload);
    BeginXFLASHUpload();
    if (!ClearXFLASH()) xflashUpload.clearUnanswered = 1;
    SetAxisScalingMode(pHandle, MAIN_GRAPHBarSlave, VAL_XAXIS, VAL_MANUAL, 1.0,
                       static_cast<double>(ccdsubpixel));
    DeleteGraphPlot(pHandle, MAIN_GRAPHBarSlave, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
    for (uint16_t page = kFirstPage; page <= kLastPage; ++page)
      for (uint16_t offset = 0; offset <= kLastOffset; offset += 8)
        WriteXFLASH(offset, page, linArray);
    if (!XFLASHUploadConfirmed()) {
      char text[73];
      XFLASHIncompleteText(text, sizeof text);
      ShowStatusText(text);
    }
    ReleaseLine();
  }
  g_uploading = 0;
  SetCtrlAttribute(pCalib, button, ATTR_VISIBLE, 0);
}

// The common start of the two upload buttons. 1 when the upload goes ahead.
int UploadClick(DeferredCallback self, int panel, int control, int event, void* callbackData,
                int eventData1, int eventData2) {
  if (event != EVENT_COMMIT || LineShuttingDown()) return 0;
  if (g_uploading) {
    ShowStatusText(kUploadTwiceText);
    return 0;
  }
  if (LoopActive()) {  // a loop paces its own requests: an upload would cut into them
    ShowStatusText(kUploadInLoopText);
    return 0;
  }
  return DeferIfLineBusy(self, panel, control, event, callbackData, eventData1, eventData2) ? 0 : 1;
}

}  // namespace

// ---- Linearisation file ---------------------------------------------------

LinParseResult ParseLinData(const char* text, size_t length, int16_t* table) {
  LinParseResult r{kLinOk, 0, 1};
  size_t i = 0;
  // A byte-order mark in front of the first number is no text of ours.
  if (length >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
      static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF)
    i = 3;
  while (i < length && r.count < kLinValues) {
    const char c = text[i];
    if (IsSeparator(c)) {
      if (c == '\n') ++r.line;
      ++i;
      continue;
    }
    // One token: optional sign, then decimal digits, up to the next separator.
    size_t j = i;
    bool negative = false;
    if (text[j] == '+' || text[j] == '-') {
      negative = text[j] == '-';
      ++j;
    }
    const size_t digitsStart = j;
    long value = 0;
    bool tooBig = false;
    while (j < length && text[j] >= '0' && text[j] <= '9') {
      if (value <= 1000000)
        value = value * 10 + (text[j] - '0');
      else
        tooBig = true;
      ++j;
    }
    if (j == digitsStart || (j < length && !IsSeparator(text[j]))) {
      r.error = kLinNotANumber;
      return r;
    }
    if (negative) value = -value;
    if (tooBig || value < -32768 || value > 32767) {
      r.error = kLinOutOfRange;
      return r;
    }
    table[r.count++] = static_cast<int16_t>(value);
    i = j;
  }
  if (r.count < kLinValues) r.error = kLinTooFew;
  return r;
}

void LinRefusalText(const LinParseResult& r, char* text, size_t size) {
  switch (r.error) {
    case kLinOk:
      std::snprintf(text, size, "Linearisation file read.");
      break;
    case kLinTooFew:
      std::snprintf(text, size, "Linearisation file refused: only %d of %d values!", r.count,
                    kLinValues);
      break;
    case kLinOutOfRange:
      std::snprintf(text, size, "Linearisation file refused: value out of range in line %d!",
                    r.line);
      break;
    case kLinNotANumber:
      std::snprintf(text, size, "Linearisation file refused: no number in line %d!", r.line);
      break;
    default:
      std::snprintf(text, size, "Linearisation file cannot be read!");
      break;
  }
}

int ReadLinDataFromFile(int16_t* table) {
  char path[261] = "";
  const int chosen =
      FileSelectPopup(proj_dir, "XF-LINEAR.DAT", "*.dat", "TARVO-LT-Series-Linearisation-File",
                      VAL_LOAD_BUTTON, 0, 1, 1, 1, path, sizeof path);
  if (chosen == VAL_PATH_TOO_LONG) ShowStatusText(kPathTooLongText);
  if (chosen <= VAL_NO_FILE_SELECTED || path[0] == '\0') return kLinCancelled;
  std::strncpy(file_name, path, sizeof file_name - 1);
  file_name[sizeof file_name - 1] = '\0';

  char text[73];
  LinParseResult r{kLinUnreadable, 0, 0};
  std::FILE* f = std::fopen(path, "rb");
  if (f != nullptr) {
    std::vector<char> content;
    char chunk[4096];
    size_t n;
    bool tooLarge = false;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
      content.insert(content.end(), chunk, chunk + n);
      if (static_cast<long>(content.size()) > kMaxLinFileBytes) {
        tooLarge = true;
        break;
      }
    }
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (!readError && !tooLarge) {
      int16_t scratch[kLinValues];
      r = ParseLinData(content.data(), content.size(), scratch);
      if (r.error == kLinOk) {
        std::memcpy(table, scratch, sizeof scratch);
        return kLinOk;
      }
    }
  }
  LinRefusalText(r, text, sizeof text);
  ShowStatusText(text);
  return r.error;
}

int WriteLinData2048ToFile() {
  std::FILE* f = std::fopen("LIN2048.DAT", "wb");
  if (f == nullptr) return -1;
  int result = 0;
  for (int i = 0; i < kLinValues; ++i) {
    const unsigned value = static_cast<uint16_t>(4095 - 2 * i);
    if (std::fprintf(f, "%u\n", value) < 0) result = -1;
  }
  if (std::fclose(f) != 0) result = -1;
  return result;
}

// ---- Frames ----------------------------------------------------------------

void BuildXFlashWriteFrame(unsigned char* frame, uint16_t offset, uint16_t page,
                           const int16_t* words8) {
  PutWord(frame + 0, 0x0055);
  PutWord(frame + 2, kCmdWriteXFlash);
  PutWord(frame + 4, offset);
  PutWord(frame + 6, page);
  for (int i = 0; i < 8; ++i) PutWord(frame + 8 + 2 * i, static_cast<uint16_t>(words8[i]));
}

int XFLASHUploadRunning() { return g_uploading; }

void BeginXFLASHUpload() { xflashUpload = XFlashUploadState{0, 0, 0, 0}; }

bool XFLASHUploadConfirmed() {
  return xflashUpload.unanswered == 0 && xflashUpload.wrongEcho == 0 &&
         xflashUpload.clearUnanswered == 0;
}

void XFLASHIncompleteText(char* text, size_t size) {
  const XFlashUploadState& u = xflashUpload;
  // Long form first; when it would not fit the status line, a compact one.
  for (int compact = 0; compact < 2; ++compact) {
    std::string line = compact ? "X-FLASH incomplete: " : "X-FLASH upload incomplete: ";
    const char* sep = "";
    char part[48];
    if (u.clearUnanswered) {
      line += compact ? "clear" : "clear unanswered";
      sep = ", ";
    }
    if (u.unanswered) {
      std::snprintf(part, sizeof part,
                    compact ? "%d of %d unanswered" : "%d of %d frames unanswered", u.unanswered,
                    kXFlashFrames);
      line = line + sep + part;
      sep = ", ";
    }
    if (u.wrongEcho) {
      std::snprintf(part, sizeof part, "%d wrong echo%s", u.wrongEcho,
                    u.wrongEcho == 1 ? "" : "es");
      line = line + sep + part;
    }
    line += "!";
    if (line.size() <= 72 || compact) {
      std::snprintf(text, size, "%s", line.c_str());
      return;
    }
  }
}

int ClearXFLASH() {
  parameter.command = kCmdClearXFlash;
  parameter.setNumber = 0;
  uint16_t fill[15];
  for (uint16_t& w : fill) w = kFillWord;
  LineSend(kCmdClearXFlash, 0, fill);
  ShowStatusText("clearing X-FLASH...");
  const int result = LineWaitReply(kAnyFrame);
  SetStatus(result ? "X-FLASH-cleared!" : "Timeout-RS-232...");
  ShowStatus();
  return result;
}

void WriteXFLASH(uint16_t offset, uint16_t page, const int16_t* table) {
  const int index = (static_cast<int>(page) - kFirstPage) * 256 + offset;
  if (index < 0 || index + 8 > kLinValues) return;  // no such place in the X-FLASH

  parameter.command = kCmdWriteXFlash;
  BuildXFlashWriteFrame(szWriteBuf, offset, page, table + index);
  LineSendBuilt(1);
  ++xflashUpload.framesSent;

  if (!LineWaitReply(kAnyFrame)) {
    // What pp holds now is an earlier reply: it confirms nothing of this frame.
    ++xflashUpload.unanswered;
    SetStatus("Timeout-RS-232...");
    DrawProgress(index, kProgressColor);
    ShowStatus();
    return;
  }

  SetCtrlVal(pHandle, MAIN_NUMAnaMax, index);
  if (pp[1] >= kFirstPage && pp[1] <= kLastPage) {
    char text[40];
    std::snprintf(text, sizeof text, "X-FLASH-write OK: PAGE%u ...", static_cast<unsigned>(pp[1]));
    SetStatus(text);
  }
  if (pp[0] != offset || pp[1] != page) ++xflashUpload.wrongEcho;

  if (pp[1] == kLastPage && pp[0] == kLastOffset && XFLASHUploadConfirmed()) {
    DrawProgress(static_cast<double>(ccdsubpixel), kDoneColor);
    ShowStatusText("X-FLASH Data successfully written!");
  } else {
    DrawProgress(index, kProgressColor);
    ShowStatus();
  }
}

// ---- Buttons ---------------------------------------------------------------

// While a transaction holds the line, the upload is held back and started as
// soon as the line is free.
int CC_BTNWriteXFMA(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2) {
  if (UploadClick(CC_BTNWriteXFMA, panel, control, event, callbackData, eventData1, eventData2))
    UploadLinearisation(CALIB_BTNWriteXFMA);
  return 0;
}

int CC_BTNWriteXFSL(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2) {
  if (UploadClick(CC_BTNWriteXFSL, panel, control, event, callbackData, eventData1, eventData2))
    UploadLinearisation(CALIB_BTNWriteXFSL);
  return 0;
}
