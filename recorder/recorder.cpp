// Data recorder: the recorder popup, its duration display and the recording loop.
#include "recorder/recorder.h"

char recfile_name[261];

void CalcRecTime() {}

int CC_TOGGBTN_Recorder(int, int, int, void*, int, int) { return 0; }
int CC_NEDITRecTime(int, int, int, void*, int, int) { return 0; }
int CC_NEDITRecSamples(int, int, int, void*, int, int) { return 0; }
int CC_RecordFileNameBtn(int, int, int, void*, int, int) { return 0; }
int CC_BTNStartRecord(int, int, int, void*, int, int) { return 0; }
int CC_BTNStopRecord(int, int, int, void*, int, int) { return 0; }
