// The fetch of the set comparison.
#include "link/compare_fetch.h"

#include <algorithm>

#include "link/frame.h"
#include "link/link.h"
#include "link/payload.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "platform/ui.h"

int FetchSetWords(uint16_t command, uint16_t set, const uint16_t* current, uint16_t* out) {
  // The receive handler decodes every frame into pp; the comparison must not
  // leave its replies there.
  uint16_t keep[16];
  std::copy(pp, pp + 16, keep);

  FlushInQ(com);
  FlushOutQ(com);
  FillTxBuf(command, set, current);
  rx_flag = 0;
  nBytesW = ComWrt(com, reinterpret_cast<const char*>(szWriteBuf), kFrameBytes);
  int got = 0;
  if (nBytesW == kFrameBytes) {
    const double t0 = Timer();
    for (;;) {
      ProcessSystemEvents();
      if (rx_flag) {
        // Anything but the echo of this fetch (a late measurement reply, a
        // transaction nested in the wait) is passed over.
        const uint16_t echo = static_cast<uint16_t>(szReadBuf[2] << 8 | szReadBuf[3]);
        uint16_t words[16];
        if (DecodeFrame(szReadBuf, words) == 0 && echo == command) {
          std::copy(words, words + 15, out);
          got = 1;
          break;
        }
        rx_flag = 0;
      }
      if (Timer() - t0 > TIMEOUT) break;
    }
  }
  std::copy(keep, keep + 16, pp);
  return got;
}
