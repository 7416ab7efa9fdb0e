// Data recorder.
#pragma once

extern char recfile_name[261];

void CalcRecTime();
int CC_TOGGBTN_Recorder(int panel, int control, int event, void* callbackData, int eventData1,
                        int eventData2);
int CC_NEDITRecTime(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
int CC_NEDITRecSamples(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
int CC_RecordFileNameBtn(int panel, int control, int event, void* callbackData, int eventData1,
                         int eventData2);
int CC_BTNStartRecord(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2);
int CC_BTNStopRecord(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
