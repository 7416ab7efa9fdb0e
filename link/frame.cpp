// The 36-byte frame: sync word, command, argument and 15 payload words out;
// 15 payload words (or 16 for a measurement reply) back. Big-endian words.
#include "link/frame.h"

#include "link/payload.h"

unsigned char szWriteBuf[kBufBytes];
unsigned char szReadBuf[kBufBytes];

namespace {

constexpr uint16_t kSyncWord = 0x0055;
constexpr uint16_t kMeasurementReply = 0x0008;

}  // namespace

void EncodeFrame(unsigned char* out, uint16_t command, uint16_t argument, const uint16_t* values) {
  PutWord(out + 0, kSyncWord);
  PutWord(out + 2, command);
  PutWord(out + 4, argument);
  for (int i = 0; i < 15; ++i) PutWord(out + 6 + 2 * i, values[i]);
}

int DecodeFrame(const unsigned char* in, uint16_t* words) {
  if (WordAt(in + 2) == kMeasurementReply) {
    for (int i = 0; i < 16; ++i) words[i] = WordAt(in + 4 + 2 * i);
    return 1;
  }
  for (int i = 0; i < 15; ++i) words[i] = WordAt(in + 6 + 2 * i);
  return 0;
}

void FillTxBuf(uint16_t command, uint16_t argument, const uint16_t* values) {
  // Copy first: values is usually pp itself, and nothing here may alias the buffer.
  uint16_t words[15];
  for (int i = 0; i < 15; ++i) words[i] = values[i];
  EncodeFrame(szWriteBuf, command, argument, words);
}

int GetRxBuf() { return DecodeFrame(szReadBuf, pp); }
