// Start-up, global state, shutdown.
#pragma once

extern char szSoftVersion[73];
extern char szSoftName[73];
extern char proj_dir[261];

// Steps 1 to 7 of the start-up: platform, panels, globals, link, panel
// adjustments, main window shown. 0, or -1 when a panel cannot be loaded.
int AppStart(int argc, char** argv);
// Steps 9 and 10: port closed, panels discarded.
void AppFinish();
// The whole program: start-up, event loop, shutdown; the process exit code.
int TarvoMain(int argc, char** argv);

void InitVars();
void InitGUI();
int CC_PANEL(int panel, int event, void* callbackData, int eventData1, int eventData2);
int CC_POPUP(int panel, int event, void* callbackData, int eventData1, int eventData2);
