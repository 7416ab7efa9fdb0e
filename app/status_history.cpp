// The status history: the status line keeps its last 50 texts with the time
// each appeared (the panel file asks for that history); this button lists them.
#include "app/status_history.h"

#include "app/help.h"
#include "app/panels.h"

namespace {
constexpr const char* kStatusHistoryTitle = "Status texts, newest first (the last 50 of this run)";
}  // namespace

int CC_BTNStatusHistory(int, int control, int event, void*, int, int) {
  if (event == EVENT_COMMIT)
    ShowTextHistory(pHandle, MAIN_TEXTStatus, MAIN_BTNStatusHistory, kStatusHistoryTitle);
  else if (event == EVENT_RIGHT_CLICK)
    ShowHelp(control);
  return 0;
}
