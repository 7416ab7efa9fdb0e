// Shared between the serial services and the event loop.
#pragma once

// Runs the receive notification of every open port whose notify count is
// reached. Returns true when at least one handler ran.
bool DispatchComEvents();
// Seconds until the next byte is due on any open port (-1 when none is scheduled).
double NextComArrival();
// Blocks up to `seconds` until input may be there on a real device port; false
// when no open port can block (the caller waits some other way).
bool WaitForComInput(double seconds);
// Closes every open port (shutdown).
void CloseAllPorts();
