// Bar graphs, tolerance window and numeric displays.
#include "display/bargraph.h"

uint16_t tVal = 0, tolup = 0, tollo = 0, curposA = 0, curposB = 0;

void PlotVIDEOBarGraph() {}
void PlotTOLWindow(uint16_t, uint16_t, uint16_t) {}
