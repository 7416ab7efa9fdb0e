// Video signal transfer and curves.
#pragma once
#include <cstdint>

#include "link/video_blocks.h"

extern uint16_t thdArrayA[128], thdArrayB[128];

void PushVIDEO();
void PlotVIDEOCurveA(const uint16_t* video, const uint16_t* threshold, const double* x);
void PlotVIDEOCurveB(const uint16_t* video, const uint16_t* threshold, const double* x);
// Every entry of line = percent * YMAXADC / 100.
void FillThresholdLine(uint16_t* line, uint16_t percent);
// Shows each threshold slider's value in the display beside it.
void ShowVideoThresholds();

int CC_BTNVideo(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);
int CC_SLIDEVideoTHD_A(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
int CC_SLIDEVideoTHD_B(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
int CC_GRAPHDataMaster(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
int CC_GRAPHDataSlave(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2);
