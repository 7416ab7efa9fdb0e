// Bar graphs, tolerance window and numeric displays.
#pragma once
#include <cstdint>

extern uint16_t tVal, tolup, tollo, curposA, curposB;

void PlotVIDEOBarGraph();
void PlotTOLWindow(uint16_t evalMode, uint16_t posA, uint16_t posB);

// Steps shared by the bar graph and the history: tVal by evaluation mode (zero
// tolerance words raised to 1 in mode 2), tolup and tollo by hardware mode.
void UpdateTargetAndTolerances();
