// The fetch of the set comparison.
#include "link/compare_fetch.h"

#include <algorithm>

#include "link/frame.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"

int FetchSetWords(uint16_t command, uint16_t set, const uint16_t* current, uint16_t* out) {
  // The receive handler decodes every frame into pp; the comparison must not
  // leave its replies there.
  uint16_t keep[16];
  std::copy(pp, pp + 16, keep);
  int got = 0;
  LineSend(command, set, current);
  // Only the frame that echoes this fetch counts: a loop's late measurement
  // reply is passed over within the same time-out.
  if (nBytesW == kFrameBytes && LineWaitReply(kEchoOfCommand, command)) {
    uint16_t words[16];
    if (DecodeFrame(szReadBuf, words) == 0) {
      std::copy(words, words + 15, out);
      got = 1;
    }
  }
  std::copy(keep, keep + 16, pp);
  return got;
}
