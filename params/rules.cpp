#include "params/rules.h"

#include <cmath>

namespace {

// A field above `limit` takes `replacement`.
inline void Limit(uint16_t& field, uint32_t limit, uint16_t replacement) {
  if (field > limit) field = replacement;
}

// The rules shared by the two sensor sets (set 1 and set 2).
void SensorSetRules(uint16_t* s, uint16_t v) {
  Limit(s[0], 1000, 500);
  Limit(s[1], 1, 0);
  Limit(s[2], 255, 128);
  Limit(s[3], v, static_cast<uint16_t>(v / 2));
  Limit(s[4], v, 1);
  Limit(s[5], v, v);
  Limit(s[6], 1, 0);
}

}  // namespace

void ApplyRangeRules(Parameter& p, uint16_t virtPixel) {
  Limit(p.set0[0], 4, 1);
  Limit(p.set0[1], 1, 1);
  Limit(p.set0[2], 4, 0);
  Limit(p.set0[3], 4, 1);
  Limit(p.set0[4], 2048, 1);
  Limit(p.set0[5], 1, 1);
  Limit(p.set0[6], virtPixel, virtPixel);
  Limit(p.set0[7], virtPixel, virtPixel);
  SensorSetRules(p.set1, virtPixel);
  SensorSetRules(p.set2, virtPixel);
}

uint32_t ScaleToField(double panelValue) {
  if (!std::isfinite(panelValue)) return 0;
  const double two32 = 4294967296.0;
  double t = std::trunc(panelValue * 1024.0);
  double m = std::fmod(t, two32);  // exact for doubles; sign follows t
  if (m < 0) m += two32;
  if (m >= two32) m = 0;  // -0.0 or rounding at the edge
  return static_cast<uint32_t>(m);
}

float FieldToScale(uint32_t field) { return static_cast<float>(field / 1024.0); }

double PixelsToMM(float scale, uint16_t pixels) {
  return static_cast<double>(scale) * pixels / 1000.0;
}

EvalModeEffect EvalModeRule(uint16_t mode, uint16_t a, uint16_t b, uint16_t v) {
  EvalModeEffect e;
  const uint16_t twoV = static_cast<uint16_t>(2u * v);
  switch (mode) {
    case 0:
      e = {true, b, true, false, v, true};
      break;
    case 1:
      e = {true, a, false, true, v, true};
      break;
    case 2:
      e = {true, static_cast<uint16_t>(2u * v - (static_cast<uint32_t>(a) + b)), false, false, twoV,
           true};
      break;
    case 3:
      e = {true, v, true, true, twoV, false};
      break;
    case 4:
      e = {true, v, false, false, twoV, false};
      break;
    default:
      break;
  }
  return e;
}

bool HardwareModeDims(uint16_t mode) { return mode == 1 || mode == 3; }

bool AnalogModeShowsDisplays(uint16_t mode) { return mode != 0; }

uint16_t ThresholdLineValue(uint16_t percent, uint16_t fullScale) {
  return static_cast<uint16_t>(static_cast<uint32_t>(percent) * fullScale / 100u);
}
