// The protocol monitor window: shows, filters, pauses and saves the record of
// the line that the port services hand to the line tap while the window is open.
#include "monitor/monitor.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/help.h"
#include "app/panels.h"
#include "app/startup.h"
#include "link/link.h"
#include "platform/files.h"
#include "platform/line_capture.h"
#include "platform/log_controls.h"
#include "platform/popup.h"
#include "platform/ui.h"

int pMonitor = 0;

namespace {

constexpr const char* kTraceFile = "TARVOtrace.txt";
constexpr double kListDelay = 0.25;  // seconds from a new entry to its line in the list
constexpr int kUnframedItem = -1;
// The filter ring's items: 0 = everything, then one per command code, then
// the unframed bytes.
constexpr int kFilterCodes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 101, 102, kUnframedItem};
constexpr int kFilterItems = sizeof kFilterCodes / sizeof kFilterCodes[0];

Trace g_trace;
bool g_paused = false;
int g_filter = 0;
uint64_t g_shownUpTo = 0;  // entries (by count added) already put into the list
size_t g_shownLines = 0;   // lines in the list

const struct {
  int control;
  const char* text;
} kPanelHelp[] = {
    {MONITOR_TEXTMonitor,
     "Every exchange on the line: time since the port was opened, wall-clock time, direction, "
     "length, command, argument, decoded words, bytes in hex. UNFRAMED marks bytes outside a "
     "frame."},
    {MONITOR_TOGGBTNMonitorPause,
     "PAUSE: holds the list still; the line is still recorded and shown on RESUME."},
    {MONITOR_BTNMonitorClear, "CLEAR: forgets every entry recorded so far."},
    {MONITOR_RINGMonitorFilter,
     "FILTER: shows only the entries of one command, or only the "
     "unframed bytes."},
    {MONITOR_BTNMonitorSave,
     "SAVE: writes the entries the filter shows into a text file, one line per entry."},
    {MONITOR_TEXTMonitorStatus, "How many entries are recorded and shown."},
};

bool PanelLoaded() {
  int visible = 0;
  return pMonitor > 0 && GetPanelAttribute(pMonitor, ATTR_VISIBLE, &visible) >= 0;
}

int FilterCode(int item) { return item >= 0 && item < kFilterItems ? kFilterCodes[item] : 0; }

void ShowCounts() {
  const size_t shown = std::min(g_shownLines, kTraceCapacity);
  char text[160];
  std::snprintf(text, sizeof text, "%zu entries recorded, %zu shown (at most %zu kept)%s",
                g_trace.size(), shown, kTraceCapacity,
                g_paused ? " - PAUSED: new entries appear on RESUME" : "");
  SetCtrlVal(pMonitor, MONITOR_TEXTMonitorStatus, text);
}

// Lines of the entries from `first` (count added) on that pass the filter.
std::string LinesFrom(uint64_t first, size_t* counted = nullptr) {
  const uint64_t dropped = g_trace.added() - g_trace.size();
  std::string lines;
  for (uint64_t k = std::max(first, dropped); k < g_trace.added(); ++k) {
    const TraceEntry& e = g_trace.at(static_cast<size_t>(k - dropped));
    if (!MonitorFilterPasses(g_filter, e)) continue;
    if (!lines.empty()) lines += '\n';
    lines += FormatEntry(e);
    if (counted) ++*counted;
  }
  return lines;
}

void ShowAll() {
  g_shownLines = 0;
  SetTextLog(pMonitor, MONITOR_TEXTMonitor, LinesFrom(0, &g_shownLines).c_str(), kTraceCapacity);
  g_shownUpTo = g_trace.added();
  ShowCounts();
}

// New entries into the list, unless it is paused.
void ShowNew() {
  if (g_paused || g_trace.added() == g_shownUpTo || !PanelLoaded()) return;
  const std::string lines = LinesFrom(g_shownUpTo, &g_shownLines);
  g_shownUpTo = g_trace.added();
  if (!lines.empty()) AppendTextLog(pMonitor, MONITOR_TEXTMonitor, lines.c_str(), kTraceCapacity);
  ShowCounts();
}

// The line tap: every event of the port in use goes into the trace at once;
// the list follows a few times a second.
void OnLine(const LineEvent& e) {
  if (e.port != com) return;
  g_trace.Take(e);
  CallSoon(ShowNew, kListDelay);
}

void OpenMonitor() {
  if (!PanelLoaded()) pMonitor = LoadPanel(0, kPanelFile, MONITOR);
  if (pMonitor <= 0) return;
  g_trace.Reserve();
  SetLineTap(OnLine);
  ShowAll();
  DisplayPanel(pMonitor);
}

void CloseMonitor() {
  SetLineTap(nullptr);
  if (PanelLoaded()) HidePanel(pMonitor);
  SetCtrlVal(pHandle, MAIN_TOGGBTN_Monitor, 0);
}

int SaveTrace(const char* path) {
  std::FILE* f = std::fopen(path, "w");
  if (!f) return errno ? errno : EIO;
  const std::string lines = LinesFrom(0);
  int err = 0;
  if (!lines.empty() && (std::fputs(lines.c_str(), f) < 0 || std::fputc('\n', f) < 0))
    err = errno ? errno : EIO;
  if (std::fclose(f) != 0 && !err) err = errno ? errno : EIO;
  return err;
}

}  // namespace

const Trace& MonitorTrace() { return g_trace; }

bool MonitorFilterPasses(int item, const TraceEntry& e) {
  const int code = FilterCode(item);
  if (code == 0) return true;
  if (code == kUnframedItem) return e.kind != TraceKind::kFrame;
  return e.kind == TraceKind::kFrame && e.command == code;
}

int CC_TOGGBTN_Monitor(int panel, int control, int event, void*, int, int) {
  if (event == EVENT_COMMIT) {
    int on = 0;
    GetCtrlVal(panel, control, &on);
    if (on)
      OpenMonitor();
    else
      CloseMonitor();
  } else if (event == EVENT_RIGHT_CLICK) {
    ShowHelp(control);
  }
  return 0;
}

int CC_MONITOR(int, int event, void*, int, int) {
  if (event == EVENT_CLOSE) CloseMonitor();
  return 0;
}

int CC_TOGGBTNMonitorPause(int panel, int control, int event, void* data, int d1, int d2) {
  if (event == EVENT_COMMIT) {
    int on = 0;
    GetCtrlVal(panel, control, &on);
    g_paused = on != 0;
    SetCtrlAttribute(panel, control, ATTR_LABEL_TEXT, g_paused ? "RESUME" : "PAUSE");
    if (g_paused)
      ShowCounts();
    else
      ShowAll();
  }
  return CC_TEXTMonitor(panel, control, event, data, d1, d2);
}

int CC_BTNMonitorClear(int panel, int control, int event, void* data, int d1, int d2) {
  if (event == EVENT_COMMIT) {
    g_trace.Clear();
    g_shownUpTo = 0;
    ShowAll();
  }
  return CC_TEXTMonitor(panel, control, event, data, d1, d2);
}

int CC_RINGMonitorFilter(int panel, int control, int event, void* data, int d1, int d2) {
  if (event == EVENT_COMMIT) {
    GetCtrlVal(panel, control, &g_filter);
    ShowAll();
  }
  return CC_TEXTMonitor(panel, control, event, data, d1, d2);
}

int CC_BTNMonitorSave(int panel, int control, int event, void* data, int d1, int d2) {
  if (event == EVENT_COMMIT) {
    char path[261] = "";
    const int r = FileSelectPopup(proj_dir, kTraceFile, "*.txt", "TARVO protocol monitor trace",
                                  VAL_SAVE_BUTTON, 0, 1, 1, 1, path, sizeof path);
    if (r == VAL_NO_FILE_SELECTED) return 0;
    if (r == VAL_EXISTING_FILE_SELECTED &&
        ConfirmPopup("ATTENTION!", "Output-File already exist! - Overwrite ?") != 1)
      return 0;
    const int err = SaveTrace(path);
    char text[400];
    if (err)
      std::snprintf(text, sizeof text, "Trace not saved: %s", std::strerror(err));
    else
      std::snprintf(text, sizeof text, "Trace saved to %s", path);
    SetCtrlVal(pMonitor, MONITOR_TEXTMonitorStatus, text);
  }
  return CC_TEXTMonitor(panel, control, event, data, d1, d2);
}

int CC_TEXTMonitor(int panel, int control, int event, void*, int, int) {
  if (event != EVENT_RIGHT_CLICK) return 0;
  for (const auto& h : kPanelHelp)
    if (h.control == control) SetCtrlVal(panel, MONITOR_TEXTMonitorStatus, h.text);
  return 0;
}
