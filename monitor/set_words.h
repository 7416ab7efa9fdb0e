// The fields of a parameter set as 15 payload words: single words and the
// 32-bit pairs (low word first), with the names the parameter panels give them.
#pragma once
#include <cstddef>
#include <cstdint>

struct SetField {
  uint8_t word;  // first payload word
  bool pair;     // a 32-bit value in words word and word + 1
  const char* name;
};

// The fields of set 0, 1 or 2 in word order; count 0 for other numbers.
const SetField* SetFields(int set, size_t* count);
// The field's value taken from 15 payload words.
uint32_t FieldValue(const SetField& f, const uint16_t* words);
// "3" or "13-14".
void FieldIndexText(const SetField& f, char* out, size_t size);
