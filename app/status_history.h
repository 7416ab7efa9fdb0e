// The button at the end of the status line that lists the earlier status texts.
#pragma once
#include "platform/ui.h"

int CC_BTNStatusHistory(int panel, int control, int event, void* callbackData, int eventData1,
                        int eventData2);
