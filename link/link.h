// The serial link: port, receive notification, reply wait, connect sequence.
#pragma once
#include <cstddef>

extern const double TIMEOUT;  // 1.5 s
extern const int eventMask;   // 0x8006
extern const int MAXPOINT;    // 128

extern int com;            // port in use
extern int rx_flag;        // a 36-byte reply has been read
extern int graph_flag;     // the last reply was a measurement reply
extern int nBytesW;        // bytes accepted by the last write
extern int nBytesR;        // bytes taken by the last bulk read
extern char szStatus[73];  // last status text (72 characters + terminator)

// Copies text into szStatus (truncated to 72 characters).
void SetStatus(const char* text);
// Shows szStatus in the status line.
void ShowStatus();
// Copies text into szStatus and shows it.
void ShowStatusText(const char* text);

// Status text when the serial device has gone away in the middle of a loop.
constexpr const char* kDeviceLostText = "Serial device lost - choose the port again!";

// Status text for a negative OpenComConfig result.
const char* ComErrorText(int result);

void InitRS232(int port);
void RX_Receive_Function(int port, int events, void* data);
int WaitRxFull();
// The connect sequence after the port has been opened: echo check, hardware,
// the three sets, the firmware version.
void ConnectSequence(int port);

int CC_DropDCom(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);
