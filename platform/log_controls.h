// Controls of the service tools: a text box used as a running log, and a table.
#pragma once
#include <cstddef>

// Appends lines (separated by '\n') to a multi-line text box, keeping at most
// maxLines lines. The view follows the new lines unless the user has scrolled up.
int AppendTextLog(int panel, int control, const char* lines, int maxLines);
// Replaces the whole text of the box and shows its end.
int SetTextLog(int panel, int control, const char* text, int maxLines);

// Tables (QTableWidget in the panel file).
int SetTableRows(int panel, int control, int rows);
int SetTableCellText(int panel, int control, int row, int column, const char* text);
int GetTableCellText(int panel, int control, int row, int column, char* text, size_t size);
// A highlighted row is drawn on a warning background.
int SetTableRowHighlight(int panel, int control, int row, int on);
int GetTableRowHighlight(int panel, int control, int row, int* on);
// Fits the columns and rows to what the cells hold.
int FitTable(int panel, int control);

// Runs fn once, during event processing, `seconds` from the first of the calls
// made before it runs (later calls coalesce into that one), so that a window
// fed by a fast stream is drawn a few times a second rather than per item.
void CallSoon(void (*fn)(), double seconds);
