// Shared between the serial services and the event loop.
#pragma once

// Runs the receive notification of every open port whose notify count is
// reached. Returns true when at least one handler ran.
bool DispatchComEvents();
// Seconds until the next byte is due on any open port (-1 when none is scheduled).
double NextComArrival();
// Closes every open port (shutdown).
void CloseAllPorts();
