// Reading one parameter set from the sensor for a comparison: the set comes
// back as words, and neither `parameter` nor the panels change.
#pragma once
#include <cstdint>

// Sends a fetch (command 2 = RAM, 4 = EEPROM) of `set`, carrying `current` (15
// words) as payload, exactly as a GET does, and waits up to TIMEOUT for the
// frame that echoes the command. Returns 1 with the 15 payload words in `out`,
// or 0 when no such frame came (out unchanged). `pp` keeps what it held.
int FetchSetWords(uint16_t command, uint16_t set, const uint16_t* current, uint16_t* out);
