// The protocol monitor: a window listing every exchange on the serial line.
#pragma once
#include "monitor/trace.h"

extern int pMonitor;

int CC_TOGGBTN_Monitor(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
int CC_MONITOR(int panel, int event, void* callbackData, int eventData1, int eventData2);
int CC_TOGGBTNMonitorPause(int panel, int control, int event, void* callbackData, int eventData1,
                           int eventData2);
int CC_BTNMonitorClear(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
int CC_RINGMonitorFilter(int panel, int control, int event, void* callbackData, int eventData1,
                         int eventData2);
int CC_BTNMonitorSave(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2);
int CC_TEXTMonitor(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);

// The entries captured so far (read-back for tests and benchmarks).
const Trace& MonitorTrace();
// Whether the entry passes the filter chosen in the ring (item index).
bool MonitorFilterPasses(int item, const TraceEntry& e);
