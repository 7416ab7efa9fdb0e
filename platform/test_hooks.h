// Hooks for tests and benchmarks: act as the user does, at a chosen time.
#pragma once
#include <functional>
#include <string>

// Runs `action` inside ProcessSystemEvents once Timer() >= time (once).
void ScheduleAt(double time, std::function<void()> action);
void ClearSchedule();
// Calls the callback that the panel file names for the control, with `event`.
int FireCtrlEvent(int panel, int control, int event);
int FirePanelEvent(int panel, int event);
// A left click as the user makes it: nothing on a dimmed or hidden control;
// otherwise left click (3), then for a toggle the new state and value changed
// (2), then commit (1).
int ClickCtrl(int panel, int control);
// A right click (5) on the control, as the user makes it.
int RightClickCtrl(int panel, int control);
// Types a value into a numeric control and commits it (value changed, commit).
int EnterCtrlVal(int panel, int control, double value);
// Whether a control is dimmed / visible (including its panel's own state).
bool CtrlDimmed(int panel, int control);
bool CtrlVisible(int panel, int control);
bool PanelVisible(int panel);
// The QuitUserInterface request, if any, since the last RunUserInterface started.
bool QuitRequested();
void ResetQuitRequest();
// The lines the text-history window shows now, or "" when it is not shown.
std::string ShownTextHistory();
