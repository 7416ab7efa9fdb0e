// The serial line. Every request to the sensor goes out through here, every
// reply is awaited here, and here is decided when a request may go out:
// at most one transaction is on the line at a time.
#pragma once
#include <cstdint>

// ---- Requests and replies ----------------------------------------------------

// Waits, processing events, until no reply is outstanding: the reply to the
// last request is in, or its time-out has passed.
void LineWaitFree();
// Sends one request: waits until no reply is outstanding (or its time-out has
// passed), flushes both queues, clears rx_flag and graph_flag, builds the frame
// from command, argument and values[0..14], writes 36 bytes into nBytesW.
void LineSend(uint16_t command, uint16_t argument, const uint16_t* values);
// The same for a frame already built in szWriteBuf (frames that keep bytes of
// the previous one). `awaitFrame` 0 for a raw reply read without notification.
void LineSendBuilt(int awaitFrame);
// Sends the measurement request of the loops: set 0 as payload.
void LineSendMeasureRequest();

// What counts as the awaited reply.
enum ReplyRule {
  kAnyFrame,        // any notified frame
  kNotMeasurement,  // any frame but a measurement frame (a loop's late reply)
  kEchoOfCommand,   // an ordinary frame echoing the request's command
  kMeasurement,     // a measurement frame
};
// The reply wait: processes events until the awaited reply has come (1) or
// TIMEOUT has passed since the request went out (0). Frames that do not count
// are passed over. Ends early (0) when the serial device has gone.
int LineWaitReply(ReplyRule rule, uint16_t command = 0);
// 1 when the serial device behind the port has gone away.
int LineLost();
// Called by the receive handler for every frame it took.
void LineFrameTaken();

// Switches the receive notification off for a raw reply (mask 0 or eventMask)
// and on again with the connect sequence's arguments.
void LineHandlerOff(int mask);
void LineHandlerOn();

// ---- The port ------------------------------------------------------------------

// Opens and configures the port as the connect sequence does; the result of
// the open (negative on failure).
int LineOpen(int port);
// Closes the port in use (port change); nothing outstanding survives it.
void LineClosePort();
// Bytes waiting in the input queue, and a raw read into szReadBuf (bulk replies).
int LineInQLen();
// The waits may sleep until `bytes` are queued (0: wake for each byte); for a
// block read with the receive handler off.
void LineExpect(int bytes);
int LineReadRaw(int count);
void LineFlush();
// The end of a measurement loop: clears rx_flag and graph_flag and empties both
// queues, unless the reply to the loop's last request is still on its way.
void LineEndLoop();

// ---- Who has the line ------------------------------------------------------------

// A transaction or a long owner (a video pass, an X-FLASH upload) holds the
// line while it runs; nestable. Releasing the last hold runs what was held
// back meanwhile, in click order.
enum LineOwner { kOwnerTransaction, kOwnerVideo, kOwnerUpload };
void AcquireLine(LineOwner owner = kOwnerTransaction);
void ReleaseLine();
// 1 while something holds the line.
int LineBusy();
// 1 while an X-FLASH upload holds the line.
int LineUploading();

// For the callbacks of transactions: when the line is held, the call is held
// back (run later with exactly these arguments, at most kMaxDeferred) and the
// result is 1: the callback must return at once. After the main window has
// closed nothing is held back or run: the result is 1 as well.
using DeferredCallback = int (*)(int panel, int control, int event, void* callbackData,
                                 int eventData1, int eventData2);
int DeferIfLineBusy(DeferredCallback callback, int panel, int control, int event,
                    void* callbackData, int eventData1, int eventData2);
int DeferIfLineBusy(void (*action)());
constexpr int kMaxDeferred = 8;
// Requests currently held back.
int DeferredCount();
// Drops what is held back; shows how many were dropped when any were.
int DropDeferred();

// RUN, VIDEO and the recording are loops that pace their own requests.
void LoopBegin();
void LoopEnd();
int LoopActive();

// The request step of a measurement loop (RUN, recording). Any reply, or the
// line having been used by another transaction whose reply is in, sends the
// next measurement request. 1 when a request went out.
struct MeasurePace {
  double requestTime;
  unsigned sends;
};
int PaceMeasurement(MeasurePace& pace);
// Starts the pacing record after the loop's first request.
MeasurePace MeasurePaceNow();

// Start-up: the line is free, nothing held back.
void LineStart();
// Shutdown: drops what is held back, refuses whatever is clicked later, and
// closes the port unless an upload still runs on it (the upload then ends on
// the open port and shutdown closes it).
void LineShutdown();
// Closes the port for good (the end of the program).
void LineFinish();
// 1 once the main window has been closed.
int LineShuttingDown();

// Status texts of the line guard.
constexpr const char* kLineBusyText =
    "VIDEO transfer in progress - request follows after this pass";
constexpr const char* kLineBusyFullText =
    "VIDEO transfer in progress - request refused, line busy!";
constexpr const char* kUploadBusyText = "X-FLASH upload in progress - request follows after it";
constexpr const char* kUploadBusyFullText = "X-FLASH upload in progress - request refused!";
constexpr const char* kTransactionBusyText = "Line busy - request follows after the current one";
constexpr const char* kTransactionBusyFullText = "Line busy - request refused!";
constexpr const char* kUploadTwiceText = "X-FLASH upload already running - second upload refused!";
constexpr const char* kUploadInLoopText =
    "Stop RUN, VIDEO or the recorder before the X-FLASH upload!";
