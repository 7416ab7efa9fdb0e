// Teach and setpoint fields.
#pragma once

int CC_ButtonTeach(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int CC_NEDITeachA(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int CC_NEDITeachB(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int CC_NEDITTolLeff(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
