// The set comparison: the three parameter sets on the panels, in the sensor's
// RAM and EEPROM and in the parameter file, side by side.
#pragma once
#include <cstdint>

extern int pCompare;

// Status texts of the comparison.
constexpr const char* kCompareAgreeText = "RAM and EEPROM agree";
constexpr const char* kCompareDifferFormat = "%d words differ between RAM and EEPROM";
constexpr const char* kCompareDifferOneText = "1 word differs between RAM and EEPROM";
constexpr const char* kCompareUnreadText = "unread";
// Put before the status text when a fetch brought no reply.
constexpr const char* kCompareUnreadPrefix = "No reply for the sets marked unread! ";

// Columns of the table.
enum CompareColumn { kColSet, kColWord, kColName, kColPanel, kColRam, kColEeprom, kColFile };

// One source of the three sets as 45 payload words, or unread.
struct SetSource {
  bool read[3] = {false, false, false};
  uint16_t words[3][15] = {};
};

// Number of fields (rows) whose RAM and EEPROM values both were read and differ.
int CountRamEepromDifferences(const SetSource& ram, const SetSource& eeprom);

int CC_BTNCompare(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int CC_COMPARE(int panel, int event, void* callbackData, int eventData1, int eventData2);
int CC_TABLECompare(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
