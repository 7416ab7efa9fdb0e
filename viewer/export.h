// Export of what a chart shows: the image through the file dialogue, and
// the plotted data as CSV beside it under the same name.
#pragma once
#include <functional>
#include <string>

#include "viewer/csv.h"

// The file name of a path (what follows the last '/').
std::string BaseName(const std::string& path);

// Texts of the outcome.
constexpr const char* kExportTitle = "TARVO-Graph-Export (PNG + CSV):";
constexpr const char* kExportRefusedText = "Export refused: it would overwrite the recording!";

// Asks for the image file (`proposedName` in the program's folder), asks
// before overwriting, then writes the graph controls as one PNG image and the
// CSV that `fillCsv` writes beside it. `protectedPath` (may be empty) is a
// file the export must never replace. Returns the outcome to show: empty
// when the user cancelled.
std::string ExportChart(const char* proposedName, int panel, const int* controls, int count,
                        const std::function<void(CsvWriter&)>& fillCsv,
                        const std::string& protectedPath);

// The main panel's export button: the value history or, after VIDEO, both
// video curves, whichever the chart area shows.
int CC_BTNExport(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
