// Panels, controls, graphs, event loop. Panels come from the panel file (Qt
// Designer XML); each control carries its number and the name of its callback.
#pragma once
#include <cstddef>
#include <string>

// Event codes handed to callbacks.
constexpr int EVENT_COMMIT = 1;
constexpr int EVENT_VAL_CHANGED = 2;
constexpr int EVENT_LEFT_CLICK = 3;
constexpr int EVENT_RIGHT_CLICK = 5;
constexpr int EVENT_CLOSE = 11;

using CtrlCallbackPtr = int (*)(int panel, int control, int event, void* callbackData,
                                int eventData1, int eventData2);
using PanelCallbackPtr = int (*)(int panel, int event, void* callbackData, int eventData1,
                                 int eventData2);

// The application's table of callback names, consulted when a panel is loaded.
struct CallbackEntry {
  const char* name;
  CtrlCallbackPtr control;  // for controls
  PanelCallbackPtr panel;   // for panels
};
void RegisterCallbacks(const CallbackEntry* table, size_t count);

// Creates the QApplication (once). Returns 0, or a negative value on failure.
int InitCVIRTE(int argc, char** argv);

// ---- Panels --------------------------------------------------------------
// parent 0 = top-level window. Returns a handle > 0, or a negative value when the
// file or the numbered panel resource cannot be loaded.
int LoadPanel(int parentPanel, const char* fileName, int panelResourceId);
int DisplayPanel(int panel);
int HidePanel(int panel);
int DiscardPanel(int panel);

constexpr int ATTR_LEFT = 1;
constexpr int ATTR_TOP = 2;
constexpr int ATTR_VISIBLE = 3;
constexpr int ATTR_DIMMED = 4;
constexpr int ATTR_WIDTH = 5;
constexpr int ATTR_HEIGHT = 6;
constexpr int ATTR_TEXT_COLOR = 10;
constexpr int ATTR_TEXT_BGCOLOR = 11;
constexpr int ATTR_TEXT_POINT_SIZE = 12;
constexpr int ATTR_FRAME_COLOR = 13;  // colour of a decoration
constexpr int ATTR_TEXT_BOLD = 14;
constexpr int ATTR_MIN_VALUE = 15;
constexpr int ATTR_MAX_VALUE = 16;
constexpr int ATTR_LABEL_TEXT = 17;  // string attribute
constexpr int ATTR_TEXT_FONT = 18;   // string attribute
constexpr int ATTR_TITLE = 19;       // string attribute of a panel: its window title
// Strip chart
constexpr int ATTR_NUM_TRACES = 30;
constexpr int ATTR_POINTS_PER_SCREEN = 31;
constexpr int ATTR_SCROLL_MODE = 32;  // the further chart setting (1 = continuous)
// Strip-chart traces
constexpr int ATTR_TRACE_COLOR = 40;
constexpr int ATTR_TRACE_THICKNESS = 41;  // the further trace setting: 1 = reference trace (dashed)
// Graph cursors
constexpr int ATTR_CURSOR_POINT_STYLE = 50;

// Cursor point styles.
constexpr int VAL_SOLID_SQUARE = 13;  // point marker shown
constexpr int VAL_NO_POINT = 24;      // no point marker
// Plot styles.
constexpr int VAL_THIN_LINE = 0;
constexpr int VAL_FAT_LINE = 5;
constexpr int VAL_SIMPLE_DOT = 10;
constexpr int VAL_SOLID = 0;
// Axes and scaling.
constexpr int VAL_XAXIS = 0;
constexpr int VAL_LEFT_YAXIS = 1;
constexpr int VAL_RIGHT_YAXIS = 2;
constexpr int VAL_MANUAL = 0;
constexpr int VAL_AUTOSCALE = 1;
constexpr int VAL_ALL_PLOTS = -1;
constexpr int VAL_IMMEDIATE_DRAW = 1;
constexpr int VAL_DELAYED_DRAW = 0;

int SetPanelAttribute(int panel, int attribute, int value);
int SetPanelAttribute(int panel, int attribute, const char* value);  // ATTR_TITLE
int GetPanelAttribute(int panel, int attribute, int* value);

// ---- Controls ------------------------------------------------------------
// A value is a number (as the control's own type), a text, a toggle state or a
// ring index (a ring whose items carry numbers takes and gives the number).
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, unsigned int value);
int SetCtrlVal(int panel, int control, double value);
int SetCtrlVal(int panel, int control, const char* text);
int GetCtrlVal(int panel, int control, int* value);
int GetCtrlVal(int panel, int control, unsigned short* value);
int GetCtrlVal(int panel, int control, unsigned int* value);
int GetCtrlVal(int panel, int control, float* value);
int GetCtrlVal(int panel, int control, double* value);
int GetCtrlVal(int panel, int control, char* text, size_t size);

int SetCtrlAttribute(int panel, int control, int attribute, int value);
int SetCtrlAttribute(int panel, int control, int attribute, const char* value);
int GetCtrlAttribute(int panel, int control, int attribute, int* value);
int GetCtrlBoundingRect(int panel, int control, int* top, int* left, int* height, int* width);

int ResetTextBox(int panel, int control, const char* text);
int ReplaceTextBoxLine(int panel, int control, int line, const char* text);
int GetTextBoxLine(int panel, int control, int line, char* text, size_t size);

constexpr int CTRL_TEXT_MSG = 1;
// Creates a control at run time; returns its control number.
int NewCtrl(int panel, int style, const char* label, int top, int left);
int DisplayImageFile(int panel, int control, const char* fileName);

// ---- Event loop ----------------------------------------------------------
int RunUserInterface();
int QuitUserInterface(int returnCode);
// Handles every pending event (callbacks, serial notifications) and returns.
// When nothing is pending it blocks up to about a millisecond for input.
int ProcessSystemEvents();
// Processes pending events; when none are pending, blocks until a window
// event, serial input, a scheduled action or the Timer() time `deadline`,
// whichever comes first.
int ProcessSystemEventsUntil(double deadline);

// ---- Graphs and strip charts ---------------------------------------------
int DeleteGraphPlot(int panel, int control, int plotHandle, int refresh);
// Returns a plot handle > 0.
int PlotRectangle(int panel, int control, double x1, double y1, double x2, double y2,
                  int frameColor, int fillColor);
int PlotXY(int panel, int control, const double* x, const unsigned short* y, int numPoints,
           int plotStyle, int pointStyle, int lineStyle, int pointFrequency, int color);
int PlotStripChart(int panel, int control, const double* values, int count, int start, int skip);
int ClearStripChart(int panel, int control);
int SetTraceAttribute(int panel, int control, int trace, int attribute, int value);
int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max);
int SetGraphCursor(int panel, int control, int cursor, double x, double y);
int GetGraphCursor(int panel, int control, int cursor, double* x, double* y);
int SetCursorAttribute(int panel, int control, int cursor, int attribute, int value);
int GetCursorAttribute(int panel, int control, int cursor, int attribute, int* value);

// ---- Text history ----------------------------------------------------------
// A control whose panel-file property "history" is N keeps the last N texts
// written to it, each with the time it appeared, in memory for the run (a text
// equal to the one shown already is not noted again). This shows that list,
// newest first, headed by `title`, in a small window beside `anchorControl` of
// the same panel; a second call while it is shown closes it. Returns 0, or a
// negative value for an unknown panel or control.
int ShowTextHistory(int panel, int control, int anchorControl, const char* title);

// ---- Tables ----------------------------------------------------------------
// Text of one cell (rows and columns from 0); a row beyond the end is added.
int SetTableCellVal(int panel, int control, int row, int column, const char* text);
int GetTableCellVal(int panel, int control, int row, int column, char* text, size_t size);
