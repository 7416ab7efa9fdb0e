// Continuous measurement: RUN, STOP, RESET.
#pragma once

extern int stop_flag;  // 0 while a measurement, video or recorder loop runs

void PushRUN();
struct MeasurePace;
// The end of a measurement loop's step: the device gone, or no reply within
// `timeout` of the loop's last request ("Timeout RS232-Line!"), sets stop_flag.
// 0 while the loop goes on, else why it must end.
constexpr int kLoopDeviceLost = 1;
constexpr int kLoopTimedOut = 2;
int MeasureLoopFailed(const MeasurePace& pace, double timeout);
int PushGETRAW();
void ResetMaxMin();
int CC_BTNRun(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
int CC_BTNStop(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int CC_ButtonReset(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
