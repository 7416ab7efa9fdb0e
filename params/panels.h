// Parameter panels: sets into controls and back, range rules, dimming.
#pragma once
#include <cstdint>

extern uint16_t yaxisMAX;

void GetPanelValues();
void SetPanelValues();
// The dimming and visibility that follow the hardware and the analog mode, as
// the refresh, the rings and the start-up apply them.
void ApplyHardwareModeDimming(uint16_t hardwareMode);
void ShowAnalogDisplays(uint16_t analogMode);
int CC_DropEvalMode(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
int CC_DROPHardwareMode(int panel, int control, int event, void* callbackData, int eventData1,
                        int eventData2);
int CC_DROPAnaMode(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int CC_TOGGBTN_Para0(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
int CC_TOGGBTN_Para1(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
int CC_TOGGBTN_Para2(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
int CC_TOGGBTN_Calib(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
