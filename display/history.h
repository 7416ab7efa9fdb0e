// Value history strip chart.
#pragma once

extern double arrayNORM[500];

void PlotRAWGraph();
int Shift(const double* input, int n, int shifts, double* output);
int Copy1D(const double* input, int n, double* output);
int CC_TOGBTN_Zoom(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
