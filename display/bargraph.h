// Bar graphs, tolerance window and numeric displays.
#pragma once
#include <cstdint>

extern uint16_t tVal, tolup, tollo, curposA, curposB;

void PlotVIDEOBarGraph();
void PlotTOLWindow(uint16_t evalMode, uint16_t posA, uint16_t posB);
