// The 36-byte frame in both directions.
#pragma once
#include <cstdint>

constexpr int kFrameBytes = 36;
constexpr int kBufBytes = 1024;

// Big-endian words, high byte first, as every frame carries them.
inline void PutWord(unsigned char* at, uint16_t w) {
  at[0] = static_cast<unsigned char>(w >> 8);
  at[1] = static_cast<unsigned char>(w & 0xFF);
}
inline uint16_t WordAt(const unsigned char* at) {
  return static_cast<uint16_t>(at[0] * 256 + at[1]);
}

extern unsigned char szWriteBuf[kBufBytes];  // transmit frame (persistent)
extern unsigned char szReadBuf[kBufBytes];   // receive buffer

// Bytes 0..35 of szWriteBuf: sync 0x0055, command, argument, values[0..14].
void FillTxBuf(uint16_t command, uint16_t argument, const uint16_t* values);
// Decodes bytes 0..35 of szReadBuf into pp; 1 for a measurement frame, else 0.
int GetRxBuf();

// Pure helpers over plain buffers (the two above apply them to the globals).
void EncodeFrame(unsigned char* out, uint16_t command, uint16_t argument, const uint16_t* values);
int DecodeFrame(const unsigned char* in, uint16_t* words);
