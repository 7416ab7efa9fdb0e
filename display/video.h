// Video signal transfer and curves.
#pragma once
#include <cstdint>

extern uint16_t adcbufA[128], adcbufB[128];
extern double databuf[128];
extern uint16_t thdArrayA[128], thdArrayB[128];

void PushVIDEO();
int ReadData64(int offset, int selector);
void PlotVIDEOCurveA(const uint16_t* video, const uint16_t* threshold, const double* x);
void PlotVIDEOCurveB(const uint16_t* video, const uint16_t* threshold, const double* x);
// Every entry of line = percent * YMAXADC / 100.
void FillThresholdLine(uint16_t* line, uint16_t percent);

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

// ---- The line guard ----------------------------------------------------------
// A video pass owns the serial line from its measurement request until the
// receive handler is back on after the four raw blocks. A GET, SEND, RESET or
// TEACH clicked meanwhile runs nested inside the pass's waits; it must not put
// its own frame on the line then (its bytes would mix with the block and its
// reply would never be noticed). Such a transaction is held back and run by the
// video loop as soon as the pass has released the line.

// Status text shown when a transaction is held back.
constexpr const char* kLineBusyText =
    "VIDEO transfer in progress - request follows after this pass";
// Status text when more requests are held back than the queue takes.
constexpr const char* kLineBusyFullText =
    "VIDEO transfer in progress - request refused, line busy!";
// Most held-back requests at one time.
constexpr int kMaxDeferred = 8;

// 1 while a video pass owns the line, else 0.
int LineBusy();

// For the callbacks of transactions: when the line is busy, the call is held
// back (run later with exactly these arguments) and the result is 1: the
// callback must return at once without touching the line. When the line is
// free the result is 0 and the callback goes ahead. Usage, at the top of the
// commit branch:
//   if (DeferIfLineBusy(CC_BTNGet, panel, control, event, callbackData,
//                       eventData1, eventData2)) return 0;
using DeferredCallback = int (*)(int panel, int control, int event, void* callbackData,
                                 int eventData1, int eventData2);
int DeferIfLineBusy(DeferredCallback callback, int panel, int control, int event,
                    void* callbackData, int eventData1, int eventData2);
// The same for a transaction without arguments (e.g. ResetMaxMin):
//   if (DeferIfLineBusy(ResetMaxMin)) return;
int DeferIfLineBusy(void (*action)());

// Taking and releasing the line (the video loop does this around each pass;
// nestable). Releasing the last hold runs every held-back request in order.
void AcquireLine();
void ReleaseLine();
// Number of requests currently held back.
int DeferredCount();
