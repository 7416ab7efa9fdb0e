// Right-click help texts and the header.
#pragma once

// The help display of one control (right click).
void ShowHelp(int control);
void ShowLogo(int mode);
void ShowInfoText(int bgColor, int textColor, const char* text, int left, int top, int pointSize);
int CC_HelpText1(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int CC_HelpText2(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);

// The help of a control on the recorder popup or the recording viewer (right
// click), in the help box of that panel; the box hides itself when clicked.
void ShowToolHelp(int panel, int control);
int CC_HelpTextTool(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
