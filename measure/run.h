// Continuous measurement: RUN, STOP, RESET.
#pragma once

extern int stop_flag;  // 0 while a measurement, video or recorder loop runs

void PushRUN();
// 1 while a RUN loop is under way (nested transactions let its reply arrive first).
int RunLoopActive();
int PushGETRAW();
void ResetMaxMin();
int CC_BTNRun(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
int CC_BTNStop(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int CC_ButtonReset(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
