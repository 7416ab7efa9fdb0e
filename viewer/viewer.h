// The recording viewer: a recorder file as a chart over the record number
// (and the time of day), with its header and the statistics of every value.
// It reads the file once and never writes it; it never uses the serial line.
#pragma once
#include <vector>

#include "viewer/rec_reader.h"

// Opens the file in the viewer panel (loaded the first time) and shows it.
// 0, or the negative result of ReadRecordingFile (the viewer then keeps what
// it showed, and the status line says why), or -10 when the panel cannot be
// loaded.
int OpenRecordingInViewer(const char* path);
// The recording the viewer shows (empty when none).
const Recording& ViewerRecording();
// Discards the viewer panel and its data (shutdown).
void ViewerFinish();

int CC_BTNViewRecord(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
int CC_VIEWER(int panel, int event, void* callbackData, int eventData1, int eventData2);
int CC_CHKViewValue(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
int CC_BTNViewerReset(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2);
int CC_BTNViewerExport(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
int CC_GRAPHViewer(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int CC_NEDITViewerBand(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
// Displays of the viewer: only the right-click help.
int CC_ViewerDisplay(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
