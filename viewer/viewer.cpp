// The recording viewer panel: header, chart (drawn reduced to what the screen
// can show, recomputed for every zoom and pan), statistics table and the
// chart's export.
#include "viewer/viewer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "app/help.h"
#include "app/panels.h"
#include "app/startup.h"
#include "platform/chart.h"
#include "platform/popup.h"
#include "platform/ui.h"
#include "recorder/recorder.h"
#include "viewer/export.h"
#include "viewer/rec_stats.h"

int pViewer;

namespace {

struct ValueInfo {
  int checkbox;
  const char* name;  // legend, table and CSV
  int color;
  int axis;
};
// The six values in record order; the result in micrometres on its own axis.
constexpr std::array<ValueInfo, kRecValues> kValues = {{
    {VIEWER_CHKViewAval, "Edge A (Aval) [px]", 0x0000FF, VAL_LEFT_YAXIS},
    {VIEWER_CHKViewBval, "Edge B (Bval) [px]", 0x00A0A0, VAL_LEFT_YAXIS},
    {VIEWER_CHKViewMvalue, "Result (Mvalue) [px]", 0xFF0000, VAL_LEFT_YAXIS},
    {VIEWER_CHKViewUmValue, "Result (umValue) [\u00b5m]", 0x8000C0, VAL_RIGHT_YAXIS},
    {VIEWER_CHKViewEdcntA, "Edge count A (edcntA)", 0x008000, VAL_LEFT_YAXIS},
    {VIEWER_CHKViewEdcntB, "Edge count B (edcntB)", 0xA06000, VAL_LEFT_YAXIS},
}};

// Runs of records per drawn series: two points (smallest, largest) each.
constexpr size_t kBuckets = 1500;

constexpr int kTableBand = 6;  // table columns of the band count and share
constexpr int kTableShare = 7;

Recording g_rec;
std::string g_path;

bool ValueShown(int column) {
  int on = 0;
  GetCtrlVal(pViewer, kValues[column].checkbox, &on);
  return on != 0;
}

std::string TimeLabel(double secondsOfDay) { return FormatTimeOfDay(std::llround(secondsOfDay)); }

void ShowViewerStatus(const std::string& text) {
  SetCtrlVal(pViewer, VIEWER_TEXTViewerStatus, text.c_str());
}

// The records first..last-1 that the view covers (with one more at each edge,
// so the lines run on to the edges).
void VisibleRows(size_t* first, size_t* last) {
  double lo = 0, hi = 0;
  GetChartXRange(pViewer, VIEWER_GRAPHViewer, &lo, &hi);
  const double n = static_cast<double>(g_rec.rows.size());
  // Record r is row r - 1.
  const double a = std::clamp(std::ceil(lo) - 2.0, 0.0, n);
  const double z = std::clamp(std::floor(hi) + 1.0, 0.0, n);
  *first = static_cast<size_t>(a);
  *last = static_cast<size_t>(z);
}

void DrawValues() {
  size_t first = 0, last = 0;
  VisibleRows(&first, &last);
  std::vector<double> xs, ys;
  for (int v = 0; v < kRecValues; ++v) {
    const bool shown = ValueShown(v);
    xs.clear();
    ys.clear();
    if (shown) DecimateValues(g_rec.rows, first, last, v, kBuckets, &xs, &ys);
    PlotChartSeries(pViewer, VIEWER_GRAPHViewer, v, xs.data(), ys.data(),
                    static_cast<int>(xs.size()), kValues[v].color, kValues[v].axis,
                    kValues[v].name);
    SetChartSeriesVisible(pViewer, VIEWER_GRAPHViewer, v, shown);
  }
}

void ResetView() {
  const double n = static_cast<double>(g_rec.rows.size());
  SetChartXRange(pViewer, VIEWER_GRAPHViewer, 0.5, std::max(n, 1.0) + 0.5);
  DrawValues();
  ResetChartView(pViewer, VIEWER_GRAPHViewer, 1.0, std::max(n, 1.0));
}

void ShowHeader() {
  const RecHeader& h = g_rec.header;
  char line[200];
  if (h.haveStart)
    std::snprintf(line, sizeof line, "Start %02d-%02d-%04d %02d:%02d:%02d    Interval %u s    ",
                  h.month, h.day, h.year, h.hour, h.minute, h.second, h.interval);
  else
    std::snprintf(line, sizeof line, "No start time in the file    ");
  std::string text = line;
  if (h.haveSetpoint)
    std::snprintf(line, sizeof line, "Setpoint %u \u00b5m    ", h.setpoint);
  else
    std::snprintf(line, sizeof line, "No setpoint in the file    ");
  text += line;
  std::snprintf(line, sizeof line, "%zu records", g_rec.rows.size());
  text += line;
  text += "\n" + g_path;
  ResetTextBox(pViewer, VIEWER_TEXTViewerHeader, text.c_str());

  if (h.haveStart && h.interval > 0)
    SetChartTopAxis(pViewer, VIEWER_GRAPHViewer, h.hour * 3600.0 + h.minute * 60 + h.second,
                    h.interval, "time of day (start + record \u00d7 interval)", TimeLabel);
  else
    SetChartTopAxis(pViewer, VIEWER_GRAPHViewer, 0, 0,
                    h.haveStart ? "time of day: not known (interval 0: a record per reply)"
                                : "time of day: not known (no header)",
                    nullptr);
}

void ShowBand() {
  char cell[40] = "";
  if (g_rec.rows.empty()) {
    SetTableCellVal(pViewer, VIEWER_TABLEViewerStats, kRecUmValue, kTableBand, "");
    SetTableCellVal(pViewer, VIEWER_TABLEViewerStats, kRecUmValue, kTableShare, "");
    return;
  }
  if (!g_rec.header.haveSetpoint) {
    SetTableCellVal(pViewer, VIEWER_TABLEViewerStats, kRecUmValue, kTableBand, "no setpoint");
    SetTableCellVal(pViewer, VIEWER_TABLEViewerStats, kRecUmValue, kTableShare, "");
    return;
  }
  int band = 0;
  GetCtrlVal(pViewer, VIEWER_NEDITViewerBand, &band);
  const BandCount b =
      CountOutsideBand(g_rec.rows, kRecUmValue, g_rec.header.setpoint, std::max(band, 0));
  std::snprintf(cell, sizeof cell, "%ld", b.outside);
  SetTableCellVal(pViewer, VIEWER_TABLEViewerStats, kRecUmValue, kTableBand, cell);
  std::snprintf(cell, sizeof cell, "%.2f", b.percent);
  SetTableCellVal(pViewer, VIEWER_TABLEViewerStats, kRecUmValue, kTableShare, cell);
}

void ShowStatistics() {
  for (int v = 0; v < kRecValues; ++v) {
    const ValueStats s = ComputeValueStats(g_rec.rows, v);
    char cells[6][32] = {};
    std::snprintf(cells[0], sizeof cells[0], "%ld", s.count);
    if (s.count > 0) {
      std::snprintf(cells[1], sizeof cells[1], "%ld", static_cast<long>(s.min));
      std::snprintf(cells[2], sizeof cells[2], "%ld", static_cast<long>(s.max));
      std::snprintf(cells[3], sizeof cells[3], "%.3f", s.mean);
      std::snprintf(cells[4], sizeof cells[4], "%.3f", s.stddev);
    }
    SetTableCellVal(pViewer, VIEWER_TABLEViewerStats, v, 0, kValues[v].name);
    for (int c = 0; c < 5; ++c)
      SetTableCellVal(pViewer, VIEWER_TABLEViewerStats, v, c + 1, cells[c]);
  }
  ShowBand();
}

void ShowReadOutcome(int result) {
  char text[160];
  int n = std::snprintf(text, sizeof text, "%zu records read", g_rec.rows.size());
  if (g_rec.skipped > 0)
    n += std::snprintf(text + n, sizeof text - n,
                       "; %ld line%s skipped (not six integers), the first in line %ld",
                       g_rec.skipped, g_rec.skipped == 1 ? "" : "s", g_rec.firstSkippedLine);
  if (result == kRecFileReadError)
    std::snprintf(text + n, sizeof text - n, " - reading failed part-way!");
  else
    std::snprintf(text + n, sizeof text - n, ".");
  ShowViewerStatus(text);
}

// The records in view, with the values drawn, as CSV rows.
void FillViewerCsv(CsvWriter& csv) {
  size_t first = 0, last = 0;
  double lo = 0, hi = 0;
  GetChartXRange(pViewer, VIEWER_GRAPHViewer, &lo, &hi);
  VisibleRows(&first, &last);
  csv.Text("record");
  csv.Text("time of day");
  for (int v = 0; v < kRecValues; ++v)
    if (ValueShown(v)) csv.Text(kValues[v].name);
  csv.EndRow();
  for (size_t i = first; i < last; ++i) {
    const double record = static_cast<double>(i + 1);
    if (record < lo || record > hi) continue;
    csv.Number(record);
    csv.Text(g_rec.header.interval > 0 ? RecordTimeOfDay(g_rec.header, static_cast<long>(i + 1))
                                       : "");
    for (int v = 0; v < kRecValues; ++v)
      if (ValueShown(v)) csv.Number(g_rec.rows[i][v]);
    csv.EndRow();
  }
}

}  // namespace

int OpenRecordingInViewer(const char* path) {
  if (pViewer <= 0) {
    pViewer = LoadPanel(0, kPanelFile, VIEWER);
    if (pViewer < 0) {
      pViewer = 0;
      return -10;
    }
  }
  Recording rec;
  const int result = ReadRecordingFile(path, &rec);
  DisplayPanel(pViewer);
  if (result == kRecFileCannotOpen || result == kRecFileTooLarge) {
    ShowViewerStatus(std::string(result == kRecFileCannotOpen ? "Recorder file cannot be opened: "
                                                              : "Recorder file too large: ") +
                     path);
    return result;
  }
  g_rec = std::move(rec);
  g_path = path;
  SetPanelAttribute(pViewer, ATTR_TITLE, ("TARVO Recording Viewer - " + BaseName(g_path)).c_str());
  ShowHeader();
  ShowStatistics();
  ResetView();
  ShowReadOutcome(result);
  return result == kRecFileReadError ? result : 0;
}

const Recording& ViewerRecording() { return g_rec; }

void ViewerFinish() {
  if (pViewer > 0) DiscardPanel(pViewer);
  pViewer = 0;
  g_rec = Recording();
  g_path.clear();
}

int CC_BTNViewRecord(int panel, int control, int event, void*, int, int) {
  if (event == EVENT_RIGHT_CLICK) ShowToolHelp(panel, control);
  if (event != EVENT_COMMIT) return 0;
  // The dialogue starts at the current recorder file.
  const std::string current = recfile_name;
  const size_t slash = current.find_last_of('/');
  const std::string dir = slash == std::string::npos ? proj_dir : current.substr(0, slash);
  char path[1024] = "";
  const int chosen = FileSelectPopup(dir.c_str(), BaseName(current).c_str(), "*.dat",
                                     "TARVO-Series Recorder-File to view:", VAL_LOAD_BUTTON, 0, 0,
                                     1, 0, path, sizeof path);
  if (chosen == VAL_NO_FILE_SELECTED || path[0] == '\0') return 0;
  OpenRecordingInViewer(path);
  return 0;
}

int CC_VIEWER(int, int event, void*, int, int) {
  if (event == EVENT_CLOSE) {
    HidePanel(pViewer);
    g_rec = Recording();  // the memory of a large file goes at once
  }
  return 0;
}

int CC_CHKViewValue(int panel, int control, int event, void*, int, int) {
  if (event == EVENT_RIGHT_CLICK) ShowToolHelp(panel, control);
  if (event == EVENT_COMMIT) {
    DrawValues();
    FitChartValueAxes(pViewer, VIEWER_GRAPHViewer);
  }
  return 0;
}

int CC_BTNViewerReset(int panel, int control, int event, void*, int, int) {
  if (event == EVENT_RIGHT_CLICK) ShowToolHelp(panel, control);
  if (event == EVENT_COMMIT) ResetView();
  return 0;
}

int CC_BTNViewerExport(int panel, int control, int event, void*, int, int) {
  if (event == EVENT_RIGHT_CLICK) ShowToolHelp(panel, control);
  if (event != EVENT_COMMIT) return 0;
  std::string name = BaseName(g_path);
  const size_t dot = name.find_last_of('.');
  name = (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + ".png";
  const int graphs[] = {VIEWER_GRAPHViewer};
  const std::string outcome = ExportChart(name.c_str(), pViewer, graphs, 1, FillViewerCsv, g_path);
  if (!outcome.empty()) ShowViewerStatus(outcome);
  return 0;
}

int CC_GRAPHViewer(int panel, int control, int event, void*, int, int) {
  if (event == EVENT_RIGHT_CLICK) ShowToolHelp(panel, control);
  if (event == EVENT_VAL_CHANGED) DrawValues();
  return 0;
}

int CC_NEDITViewerBand(int panel, int control, int event, void*, int, int) {
  if (event == EVENT_RIGHT_CLICK) ShowToolHelp(panel, control);
  if (event == EVENT_COMMIT) ShowBand();
  return 0;
}

int CC_ViewerDisplay(int panel, int control, int event, void*, int, int) {
  if (event == EVENT_RIGHT_CLICK) ShowToolHelp(panel, control);
  return 0;
}
