// Frame payloads: the payload words, the three parameter sets and the
// measurement words of a measurement reply.
#pragma once
#include <cstdint>

// Payload words of the current frame.
extern uint16_t pp[16];

// The command record with the three parameter sets.
struct Parameter {
  uint16_t header;
  uint16_t command;
  uint16_t setNumber;
  uint16_t set0[13];
  uint32_t set0Long;
  uint16_t set1[11];
  uint32_t set1Long[2];
  uint16_t set2[11];
  uint32_t set2Long[2];
};
extern Parameter parameter;

// Measurement words of the last measurement reply.
extern uint16_t Aval, Bval, Mvalue;
extern int32_t umValue;
extern uint16_t poti, edcntA, edcntB, peakwA, peakwB, anaMax, anaMin, raw13, raw14, raw15, instate;

// Writes the start values into `parameter`.
void SetParameterStartValues();
// Set 0, 1 or 2 into pp[0..14]; pp[15] and any other set number change nothing.
void CopyVarsToPP(uint16_t set);
// pp[0..14] into set 0, 1 or 2; any other set number changes nothing.
void CopyPPtoVars(uint16_t set);
// pp[0..15] into the measurement words.
void CopyPPtoRAWVars();
