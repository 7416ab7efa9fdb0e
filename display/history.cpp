// Value history strip chart.
#include "display/history.h"

double arrayNORM[500] = {};

void PlotRAWGraph() {}
int Shift(const double*, int, int, double*) { return 0; }
int Copy1D(const double*, int, double*) { return 0; }
int CC_TOGBTN_Zoom(int, int, int, void*, int, int) { return 0; }
