// Frame payloads: the payload words, the command record with the three
// parameter sets, and the measurement words of a measurement reply.
#include "link/payload.h"

uint16_t pp[16];
Parameter parameter;

uint16_t Aval, Bval, Mvalue;
int32_t umValue;
uint16_t poti, edcntA, edcntB, peakwA, peakwB, anaMax, anaMin, raw13, raw14, raw15, instate;

namespace {

constexpr uint16_t kSet0Start[13] = {1, 0, 0, 1, 1, 1, 100, 100, 0, 0, 0, 0, 0};
constexpr uint16_t kSensorSetStart[11] = {500, 1, 50, 512, 1, 4096, 0, 0, 0, 0, 0};

inline uint16_t Low(uint32_t v) { return static_cast<uint16_t>(v & 0xFFFFu); }
inline uint16_t High(uint32_t v) { return static_cast<uint16_t>(v >> 16); }
inline uint32_t Join(uint16_t low, uint16_t high) {
  return static_cast<uint32_t>(low) + 65536u * static_cast<uint32_t>(high);
}

// Words 0..10 and the two 32-bit pairs of a sensor set (set 1 or set 2).
void SensorSetToPP(const uint16_t* words, const uint32_t* longs) {
  for (int i = 0; i < 11; ++i) pp[i] = words[i];
  pp[11] = Low(longs[0]);
  pp[12] = High(longs[0]);
  pp[13] = Low(longs[1]);
  pp[14] = High(longs[1]);
}

void PPtoSensorSet(uint16_t* words, uint32_t* longs) {
  for (int i = 0; i < 11; ++i) words[i] = pp[i];
  longs[0] = Join(pp[11], pp[12]);
  longs[1] = Join(pp[13], pp[14]);
}

}  // namespace

void SetParameterStartValues() {
  parameter.header = 0x0055;
  parameter.command = 1;
  parameter.setNumber = 0;
  for (int i = 0; i < 13; ++i) parameter.set0[i] = kSet0Start[i];
  parameter.set0Long = 37000;
  for (int i = 0; i < 11; ++i) {
    parameter.set1[i] = kSensorSetStart[i];
    parameter.set2[i] = kSensorSetStart[i];
  }
  parameter.set1Long[0] = 1024;
  parameter.set1Long[1] = 37000;
  parameter.set2Long[0] = 1024;
  parameter.set2Long[1] = 37000;
}

void CopyVarsToPP(uint16_t set) {
  switch (set) {
    case 0:
      for (int i = 0; i < 13; ++i) pp[i] = parameter.set0[i];
      pp[13] = Low(parameter.set0Long);
      pp[14] = High(parameter.set0Long);
      break;
    case 1:
      SensorSetToPP(parameter.set1, parameter.set1Long);
      break;
    case 2:
      SensorSetToPP(parameter.set2, parameter.set2Long);
      break;
    default:
      break;  // no such set: pp stays as it is
  }
}

void CopyPPtoVars(uint16_t set) {
  switch (set) {
    case 0:
      for (int i = 0; i < 13; ++i) parameter.set0[i] = pp[i];
      parameter.set0Long = Join(pp[13], pp[14]);
      break;
    case 1:
      PPtoSensorSet(parameter.set1, parameter.set1Long);
      break;
    case 2:
      PPtoSensorSet(parameter.set2, parameter.set2Long);
      break;
    default:
      break;
  }
}

void CopyPPtoRAWVars() {
  Aval = pp[0];
  Bval = pp[1];
  Mvalue = pp[2];
  umValue = static_cast<int32_t>(Join(pp[3], pp[4]));
  poti = pp[5];
  edcntA = pp[6];
  edcntB = pp[7];
  peakwA = pp[8];
  peakwB = pp[9];
  anaMax = pp[10];
  anaMin = pp[11];
  raw13 = pp[12];
  raw14 = pp[13];
  raw15 = pp[14];
  instate = pp[15];
}
