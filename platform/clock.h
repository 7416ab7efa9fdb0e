// One clock for every time-out, interval and pause.
#pragma once

// Seconds since an arbitrary fixed start, at least millisecond resolution.
double Timer();
// Pauses the calling code: no callback runs meanwhile (clicks and keys wait
// until the pause is over), but the windows go on repainting.
void Delay(double seconds);
// The event loop's pause, which keeps the windows painted (set once the
// application exists; without it Delay sleeps).
void SetDelayWait(void (*wait)(double seconds));

// Tests run on a virtual clock: it only moves when the program waits (Delay,
// an idle ProcessSystemEvents, a polling loop), so long time-outs cost no real time.
void UseVirtualClock(bool on);
bool VirtualClockActive();
void AdvanceVirtualClock(double seconds);
