// Continuous measurement: RUN, STOP, RESET.
#include "measure/run.h"

int stop_flag = 1;

void PushRUN() {}
int PushGETRAW() { return 0; }
void ResetMaxMin() {}
int CC_BTNRun(int, int, int, void*, int, int) { return 0; }
int CC_BTNStop(int, int, int, void*, int, int) { return 0; }
int CC_ButtonReset(int, int, int, void*, int, int) { return 0; }
