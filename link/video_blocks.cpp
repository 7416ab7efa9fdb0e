// The raw 64-word block reader of the video signal.
#include "link/video_blocks.h"

#include <cstring>

#include "link/commands.h"
#include "link/frame.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"
#include "platform/clock.h"
#include "platform/ui.h"

uint16_t adcbufA[128];
uint16_t adcbufB[128];
double databuf[128];

namespace {

constexpr int kBlockWords = 64;
constexpr int kBlockBytes = 2 * kBlockWords;
constexpr int kSamples = 128;

constexpr const char* kBlockReceivedText = "Data[64] block received!";
constexpr const char* kBlockTimeoutText = "Timeout-RS-232 while reading 64 data-words!";
constexpr const char* kBlockOverrunText = "Data[64] block: more than 128 bytes received!";

uint16_t* Destination16(int selector) {
  if (selector == 0) return adcbufA;
  if (selector == 1) return adcbufB;
  return nullptr;
}

const char* WaitingText(int offset) {
  switch (offset) {
    case 0:
      return "Waiting for Data[64] Block 0 ...";
    case 64:
      return "Waiting for Data[64] Block 1 ...";
    case 128:
      return "Waiting for Data[64] Block 2 ...";
    case 192:
      return "Waiting for Data[64] Block 3 ...";
    default:
      return "Waiting for Data[64] Block x ...";
  }
}

}  // namespace

int ReadData64(int offset, int selector) {
  parameter.command = kCmdVideoBlock;

  // The request is built in place: bytes 34-35 keep what the previous frame left.
  PutWord(szWriteBuf + 0, parameter.header);
  PutWord(szWriteBuf + 2, parameter.command);
  PutWord(szWriteBuf + 4, static_cast<uint16_t>(offset));
  PutWord(szWriteBuf + 6, static_cast<uint16_t>(selector));
  std::memset(szWriteBuf + 8, 0, 26);
  LineSendBuilt(0);

  ShowStatusText(WaitingText(offset));

  const double t0 = Timer();
  int n = 0;
  LineExpect(kBlockBytes);
  do {
    ProcessSystemEventsUntil(t0 + TIMEOUT);
    n = LineInQLen();
    if (LineLost()) break;  // the device has gone: the pass ends here
    if (Timer() - t0 > TIMEOUT) {
      SetStatus(kBlockTimeoutText);
      break;
    }
  } while (n < kBlockBytes);
  LineExpect(0);

  // Never more than the receive buffer holds; what does not fit is discarded.
  nBytesR = LineReadRaw(n);
  if (n > kBufBytes) LineFlush();

  int result = 0;
  if (nBytesR == kBlockBytes) {
    SetStatus(kBlockReceivedText);
    uint16_t* dest16 = Destination16(selector);
    for (int i = 0; i < kBlockWords; ++i) {
      const int index = offset + i;
      // Values beyond the 128 elements of a destination have nowhere to go.
      if (index < 0 || index >= kSamples) continue;
      const uint16_t value = WordAt(szReadBuf + 2 * i);
      if (dest16)
        dest16[index] = value;
      else if (selector == 2)
        databuf[index] = value;
    }
    result = 1;
  } else if (nBytesR > kBlockBytes) {
    SetStatus(kBlockOverrunText);
  }
  ShowStatus();
  return result;
}

int ReadVideoBlocks() {
  LineHandlerOff(eventMask);
  LineFlush();
  int ok = ReadData64(0, 0) > 0;
  if (ok) ok = ReadData64(64, 0) > 0;
  if (ok) ok = ReadData64(0, 1) > 0;
  if (ok) ok = ReadData64(64, 1) > 0;
  LineHandlerOn();
  return ok;
}
