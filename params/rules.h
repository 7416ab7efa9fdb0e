// The rules that tie the parameter sets to the panels, as plain functions over
// plain data: range correction, scale-factor conversion, the evaluation-mode
// table and the video threshold line.
#pragma once
#include <cstdint>

#include "link/payload.h"

// Puts every field of the three sets that has a control into its allowed range;
// a field above its limit takes the replacement value. `virtPixel` is the
// virtual pixel count the pixel fields are compared with.
void ApplyRangeRules(Parameter& p, uint16_t virtPixel);

// Scale factor shown on the panel (micrometres per pixel) into its field:
// value x 1024, truncated toward zero, taken modulo 2^32. Not-a-number and
// infinite values give 0.
uint32_t ScaleToField(double panelValue);
// Field into the panel value: field / 1024, rounded to single precision.
float FieldToScale(uint32_t field);

// Tolerance limit in millimetres: scale factor x pixels / 1000.
double PixelsToMM(float scale, uint16_t pixels);

// What the evaluation mode decides (A, B setpoints, V virtual pixel count).
struct EvalModeEffect {
  bool valid = false;           // mode 0 to 4
  uint16_t tVal = 0;            // reference position of the tolerance window
  bool teachADimmed = false;    // NEDITeachA dimmed
  bool teachBDimmed = false;    // NEDITeachB dimmed
  uint16_t yaxisMAX = 0;        // top of the history chart's value axis
  bool cursorNoMarker = false;  // the ring sets cursor 2 without a point marker
};
EvalModeEffect EvalModeRule(uint16_t mode, uint16_t setpointA, uint16_t setpointB,
                            uint16_t virtPixel);

// Hardware modes 1 and 3 dim the controls that the sensor then sets itself.
bool HardwareModeDims(uint16_t mode);
// Analog mode 0 hides the analog displays and the reset button.
bool AnalogModeShowsDisplays(uint16_t mode);

// One entry of a video threshold line: percent x full scale / 100, computed in
// 32 bits with truncating division, kept as 16 bits.
uint16_t ThresholdLineValue(uint16_t percent, uint16_t fullScale);
