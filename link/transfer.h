// Parameter frame transfer: GET, SEND and the RAM / EEPROM / file choice.
#pragma once
#include <cstdint>

extern int target;  // 1 RAM, 2 EEPROM, 3 parameter file

void PushGET(uint16_t memory, uint16_t set);
int CC_BTNGet(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
int CC_BTNSend(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int CC_RBTRam(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
int CC_RBTEeprom(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int CC_RBTFile(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
