// Command codes of the 36-byte frames (bytes 2-3), shared by the program, the
// sensor model and the tests. Includes nothing.
#pragma once

constexpr int kCmdSendRam = 1;        // store a set in RAM (argument: set number)
constexpr int kCmdFetchRam = 2;       // return a set from RAM
constexpr int kCmdSendEeprom = 3;     // store a set in EEPROM
constexpr int kCmdFetchEeprom = 4;    // return a set from EEPROM
constexpr int kCmdEcho = 5;           // line check
constexpr int kCmdTeach = 6;          // take the current edges as setpoints
constexpr int kCmdVersion = 7;        // firmware version, 72 raw bytes
constexpr int kCmdMeasure = 8;        // one measurement, 16-word reply
constexpr int kCmdVideoBlock = 9;     // 64 video samples, 128 raw bytes
constexpr int kCmdHardware = 10;      // hardware description
constexpr int kCmdResetMaxMin = 11;   // reset the stored maxima and minima
constexpr int kCmdClearXFlash = 101;  // clear the linearisation table
constexpr int kCmdWriteXFlash = 102;  // write eight table words
