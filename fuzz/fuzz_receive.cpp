// libFuzzer target: the receive path: byte streams from the line through the receive notification,
// frame decoding and payload copies, and the firmware-version reply.
#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::FuzzReceivePath(data, size);
}
