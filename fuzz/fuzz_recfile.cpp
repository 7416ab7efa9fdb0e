// libFuzzer target: the viewer's recorder-file reader.
#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::FuzzRecFile(data, size);
}
