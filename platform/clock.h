// One clock for every time-out, interval and pause.
#pragma once

// Seconds since an arbitrary fixed start, at least millisecond resolution.
double Timer();
// Waits without processing events.
void Delay(double seconds);

// Tests run on a virtual clock: it only moves when the program waits (Delay,
// an idle ProcessSystemEvents, a polling loop), so long time-outs cost no real time.
void UseVirtualClock(bool on);
bool VirtualClockActive();
void AdvanceVirtualClock(double seconds);
