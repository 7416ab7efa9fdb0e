// Names of the set words, as the parameter panels label them.
#include "monitor/set_words.h"

#include <cstdio>

namespace {

constexpr SetField kSet0[] = {
    {0, false, "Evaluation mode"},
    {1, false, "Switch W1"},
    {2, false, "Analog output mode"},
    {3, false, "Hardware mode"},
    {4, false, "Count W4"},
    {5, false, "Switch W5"},
    {6, false, "Lower tolerance [pixel]"},
    {7, false, "Upper tolerance [pixel]"},
    {8, false, "W8 (no control)"},
    {9, false, "W9 (no control)"},
    {10, false, "W10 (no control)"},
    {11, false, "W11 (no control)"},
    {12, false, "W12 (no control)"},
    {13, true, "Set 0 32-bit value (W13/14)"},
};

#define SENSOR_SET(S)                                                                     \
  {                                                                                       \
    {0, false, "Setting W0"}, {1, false, "Switch W1"}, {2, false, "Video threshold [%]"}, \
        {3, false, "Setpoint " S " [pixel]"}, {4, false, "Window start W4 [pixel]"},      \
        {5, false, "Window end W5 [pixel]"}, {6, false, "Switch W6"},                     \
        {7, false, "W7 (no control)"}, {8, false, "W8 (no control)"},                     \
        {9, false, "W9 (no control)"}, {10, false, "W10 (no control)"},                   \
        {11, true, "Scale factor " S " x 1024"}, {13, true, "W13/14 (no control)"},       \
  }
constexpr SetField kSet1[] = SENSOR_SET("A");
constexpr SetField kSet2[] = SENSOR_SET("B");
#undef SENSOR_SET

}  // namespace

const SetField* SetFields(int set, size_t* count) {
  switch (set) {
    case 0:
      *count = sizeof kSet0 / sizeof kSet0[0];
      return kSet0;
    case 1:
      *count = sizeof kSet1 / sizeof kSet1[0];
      return kSet1;
    case 2:
      *count = sizeof kSet2 / sizeof kSet2[0];
      return kSet2;
    default:
      *count = 0;
      return nullptr;
  }
}

uint32_t FieldValue(const SetField& f, const uint16_t* words) {
  if (!f.pair) return words[f.word];
  return static_cast<uint32_t>(words[f.word]) | static_cast<uint32_t>(words[f.word + 1]) << 16;
}

void FieldIndexText(const SetField& f, char* out, size_t size) {
  if (f.pair)
    std::snprintf(out, size, "%d-%d", f.word, f.word + 1);
  else
    std::snprintf(out, size, "%d", f.word);
}
