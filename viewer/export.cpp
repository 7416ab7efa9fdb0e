// Export of the chart area of the main panel (value history or video curves)
// and of any chart: PNG through the plotting library, the data as CSV.
#include "viewer/export.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/help.h"
#include "app/panels.h"
#include "app/startup.h"
#include "link/link.h"
#include "link/payload.h"
#include "platform/chart.h"
#include "platform/files.h"
#include "platform/graph_probe.h"
#include "platform/popup.h"
#include "platform/ui.h"

namespace {

// Samples of the history the program keeps (the chart holds one more, older
// point at its left edge).
constexpr size_t kHistorySamples = 100;

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return !a.empty() && !b.empty() && ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 &&
         sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// The name of history trace 5, by the analog mode that chooses its value.
const char* AuxiliaryName() {
  switch (parameter.set0[2]) {
    case 0:
      return "auxiliary: Mvalue [px]";
    case 1:
    case 3:
      return "auxiliary: anaMax [px]";
    case 2:
    case 4:
      return "auxiliary: anaMin [px]";
    default:
      return "auxiliary [px]";
  }
}

// The stored samples the history chart shows, in trace order, oldest first.
void FillHistoryCsv(CsvWriter& csv) {
  const char* names[] = {"upper limit [px]", "lower limit [px]", "setpoint [px]", "Mvalue [px]",
                         AuxiliaryName()};
  std::vector<std::vector<double>> traces;
  size_t rows = kHistorySamples;
  for (int t = 1; t <= 5; ++t) {
    traces.push_back(GetStripTrace(pHandle, MAIN_STRIPHistory, t));
    rows = std::min(rows, traces.back().size());
  }
  csv.Text("sample");
  for (const char* n : names) csv.Text(n);
  csv.EndRow();
  for (size_t i = 0; i < rows; ++i) {
    csv.Number(static_cast<double>(i + 1));
    for (const auto& trace : traces) csv.Number(trace[trace.size() - rows + i]);
    csv.EndRow();
  }
}

// The curves the two video graphs show: intensity and threshold of A and B
// over the pixel positions.
void FillVideoCsv(CsvWriter& csv) {
  const std::vector<PlotInfo> plots[2] = {GetGraphPlots(pHandle, MAIN_GRAPHDataMaster),
                                          GetGraphPlots(pHandle, MAIN_GRAPHDataSlave)};
  const char* names[2][2] = {{"video A [ADC]", "threshold A [ADC]"},
                             {"video B [ADC]", "threshold B [ADC]"}};
  const std::vector<double>* xs = nullptr;
  size_t rows = 0;
  for (const auto& graph : plots)
    for (const PlotInfo& p : graph) {
      if (!xs) xs = &p.xs;
      rows = std::max(rows, p.ys.size());
    }
  csv.Text("sample");
  csv.Text("pixel [px]");
  for (const auto& graph : names)
    for (const char* n : graph) csv.Text(n);
  csv.EndRow();
  for (size_t i = 0; i < rows; ++i) {
    csv.Number(static_cast<double>(i + 1));
    csv.Number(i < xs->size() ? (*xs)[i] : NAN);
    for (const auto& graph : plots)
      for (size_t k = 0; k < 2; ++k)
        csv.Number(k < graph.size() && i < graph[k].ys.size() ? graph[k].ys[i] : NAN);
    csv.EndRow();
  }
}

}  // namespace

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExportChart(const char* proposedName, int panel, const int* controls, int count,
                        const std::function<void(CsvWriter&)>& fillCsv,
                        const std::string& protectedPath) {
  char path[1024] = "";
  const int chosen = FileSelectPopup(proj_dir, proposedName, "*.png", kExportTitle, VAL_SAVE_BUTTON,
                                     0, 1, 1, 1, path, sizeof path);
  if (chosen == VAL_NO_FILE_SELECTED || path[0] == '\0') return "";
  const std::string image = path;
  const std::string csvPath = CsvPathBeside(image);
  if (SameFile(image, protectedPath) || SameFile(csvPath, protectedPath)) return kExportRefusedText;
  if ((FileExists(image.c_str()) || FileExists(csvPath.c_str())) &&
      ConfirmPopup("ATTENTION!", "Output-File already exist! - Overwrite ?") != 1)
    return "";
  if (SaveGraphImage(panel, controls, count, image.c_str()) != 0)
    return "Export failed: image " + BaseName(image) + " not written!";
  CsvWriter csv;
  if (!csv.Open(csvPath.c_str())) return "Export failed: " + BaseName(csvPath) + " not written!";
  fillCsv(csv);
  if (!csv.Close()) return "Export failed: " + BaseName(csvPath) + " not complete!";
  return "Exported " + BaseName(image) + " + .csv";
}

int CC_BTNExport(int, int control, int event, void*, int, int) {
  if (event == EVENT_RIGHT_CLICK) ShowHelp(control);
  if (event != EVENT_COMMIT) return 0;
  int history = 0;
  GetCtrlAttribute(pHandle, MAIN_STRIPHistory, ATTR_VISIBLE, &history);
  std::string outcome;
  if (history) {
    const int graphs[] = {MAIN_STRIPHistory};
    outcome = ExportChart("TARVOhistory.png", pHandle, graphs, 1, FillHistoryCsv, "");
  } else {
    const int graphs[] = {MAIN_GRAPHDataMaster, MAIN_GRAPHDataSlave};
    outcome = ExportChart("TARVOvideo.png", pHandle, graphs, 2, FillVideoCsv, "");
  }
  if (!outcome.empty()) ShowStatusText(outcome.c_str());
  return 0;
}
