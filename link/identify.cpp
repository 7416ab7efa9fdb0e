// Line check and device identification: echo check, hardware description,
// firmware version.
#include "link/identify.h"

#include <cstring>

#include "app/panels.h"
#include "link/commands.h"
#include "link/frame.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"
#include "platform/clock.h"
#include "platform/ui.h"

uint16_t ccdtype, ccdmaxpixel, ccdresolution, pcbtype, ccdvirtpixel, ccdsubpixel, ccdpixB, ccdpixE,
    softversion, hwtype, adcmax;
double xArray8[128];
uint16_t YMAXADC = 256;
char szVersion[73];

namespace {

constexpr int kVersionBytes = 72;

inline uint16_t WordAt(int byte) { return ::WordAt(szReadBuf + byte); }

// Virtual pixel ranges the video curve can be spread over.
bool KnownVirtualRange(uint16_t n) {
  static constexpr uint16_t kRanges[] = {256, 512, 768, 1024, 1280, 1536, 2048, 2560, 4096, 8192};
  for (uint16_t r : kRanges)
    if (r == n) return true;
  return false;
}

// A character the status line can show: control characters would break it.
inline char Printable(unsigned char c) {
  return (c < 0x20 || c == 0x7F) ? ' ' : static_cast<char>(c);
}

const char kBlankLine[] = "                                ";  // 32 spaces

struct SensorHead {
  uint16_t hwtype;
  const char* resolution;
  const char* range;
};
// \xB5 is the micro sign (Windows-1252).
constexpr SensorHead kHeads[] = {
    {10037, "resolution    = +/-1\xB5m", "working-range = 37mm +/-2.0mm"},
    {10055, "resolution    = +/-2.5\xB5m", "working-range = 55mm +/-5.0mm"},
    {10080, "resolution    = +/-10\xB5m", "working-range = 80mm +/-10mm"},
    {10135, "resolution    = +/-xx \xB5m", "working-range = 135mm +/-20mm"},
    {10160, "resolution    = +/-xx \xB5m", "working-range = 160mm +/-xx mm"},
    {10200, "resolution    = +/-xx \xB5m", "working-range = 200mm +/-xx mm"},
    {10275, "resolution    = +/-xx \xB5m", "working-range = 275mm +/-xx mm"},
    {10450, "resolution    = +/-xx \xB5m", "working-range = 450mm +/-xx mm"},
};

}  // namespace

SensorDescription DescribeSensor(uint16_t type, uint16_t hw) {
  if (type == 1) {
    for (const SensorHead& h : kHeads) {
      if (h.hwtype == hw)
        return {{"1024-pixel; 7.8\xB5m pixel-pitch", "4096-subpixel", h.resolution, h.range}};
    }
  }
  return {{"CCD-SENSOR: No Info Avialable!", kBlankLine, kBlankLine, kBlankLine}};
}

int CheckComLine(int port) {
  parameter.command = kCmdEcho;
  parameter.setNumber = 0;
  CopyVarsToPP(0);
  (void)port;  // the line is the port in use, just opened on this number
  LineSend(kCmdEcho, 0, pp);

  int result = 0;
  if (WaitRxFull()) {  // on time-out the wait has set "Timeout-RS-232..."
    if (szReadBuf[0] * 256 + szReadBuf[1] == 0x00AA) {
      SetStatus("Echo Check - Line Ok!");
      result = 1;
    } else {
      SetStatus("read error - not sync byte 0xAA!");
    }
  }
  ShowStatus();
  return result;
}

int GetHARDWAREInfo() {
  parameter.command = kCmdHardware;
  parameter.setNumber = 0;
  LineSend(kCmdHardware, 0, pp);
  if (!WaitRxFull()) return 0;

  // A reply that does not echo the query is no hardware description: the
  // geometry in force stays, so that no range rule works with a wrong one.
  if (WordAt(2) != kCmdHardware) return 0;
  ccdtype = WordAt(4);
  ccdmaxpixel = WordAt(6);
  ccdresolution = WordAt(8);
  pcbtype = WordAt(10);
  ccdvirtpixel = WordAt(12);
  ccdsubpixel = WordAt(14);
  ccdpixB = WordAt(16);
  ccdpixE = WordAt(18);
  softversion = WordAt(20);
  hwtype = WordAt(22);
  adcmax = WordAt(22);  // the reply has no word of its own for it

  SetAxisScalingMode(pHandle, MAIN_GRAPHDataMaster, VAL_XAXIS, VAL_MANUAL, 1.0, ccdvirtpixel);
  SetAxisScalingMode(pHandle, MAIN_GRAPHDataSlave, VAL_XAXIS, VAL_MANUAL, 1.0, ccdvirtpixel);

  if (KnownVirtualRange(ccdvirtpixel)) {
    for (int i = 0; i < 128; ++i) xArray8[i] = i * static_cast<double>(ccdvirtpixel) / 128.0;
  } else {
    for (int i = 0; i < 128; ++i) xArray8[i] = 16.0 * i;
    ccdvirtpixel = 2048;
  }

  const SensorDescription d = DescribeSensor(ccdtype, hwtype);
  for (int line = 0; line < 4; ++line)
    ReplaceTextBoxLine(pCalib, CALIB_TEXTSensorInfo, line, d.line[line]);

  YMAXADC = (ccdtype == 1 && adcmax == 1024) ? 1024 : 256;
  return 1;
}

int GetVERSIONInfo() {
  // The reply is 72 raw bytes: no frame notification while it comes in.
  LineHandlerOff(0);
  parameter.command = kCmdVersion;
  parameter.setNumber = 0;
  FillTxBuf(kCmdVersion, 0, pp);
  LineSendBuilt(0);
  SetCtrlVal(pHandle, MAIN_TEXTStatus, "Waiting for firmware info ...");

  // Poll the queue without processing events, at most TIMEOUT seconds.
  const double t0 = Timer();
  int waiting = 0;
  for (;;) {
    waiting = LineInQLen();
    if (waiting >= kVersionBytes) break;
    if (Timer() - t0 > TIMEOUT) {
      SetStatus("Timeout - reading firmware info!");
      break;
    }
  }

  szVersion[0] = '\0';
  nBytesR = LineReadRaw(waiting);

  if (nBytesR == kVersionBytes) {
    if (pcbtype == 0) {
      // 36 words, one character in the low byte of each.
      int n = 0;
      for (int i = 1; i < kVersionBytes && szReadBuf[i] != 0; i += 2)
        szVersion[n++] = Printable(szReadBuf[i]);
      szVersion[n] = '\0';
      SetStatus(szVersion);
    } else {
      // 72 characters of text, ending early at a zero byte.
      char text[kVersionBytes + 1];
      int n = 0;
      while (n < kVersionBytes && szReadBuf[n] != 0) {
        text[n] = Printable(szReadBuf[n]);
        ++n;
      }
      text[n] = '\0';
      SetStatus(text);
    }
  }

  LineHandlerOn();
  LineFlush();
  rx_flag = 0;
  ShowStatus();
  return waiting;
}
