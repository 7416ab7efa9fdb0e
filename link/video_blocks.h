// The video signal's data blocks: 64 samples a block, read raw from the line.
#pragma once
#include <cstdint>

extern uint16_t adcbufA[128], adcbufB[128];
extern double databuf[128];

// Reads the 64 values from `offset` of data selector `selector` (0 sensor A,
// 1 sensor B, 2 test ramp into databuf); 1 when the block arrived.
int ReadData64(int offset, int selector);
// The four blocks of one video pass, with the receive handler off meanwhile.
// 1 when all four arrived.
int ReadVideoBlocks();
