// The serial line: the one way a request goes out, the one reply wait, the
// receive handler switched off and on, and the rule that keeps two
// transactions off the line at the same time.
#include "link/line.h"

#include <cstdio>

#include "link/commands.h"
#include "link/frame.h"
#include "link/link.h"
#include "link/payload.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "platform/ui.h"

namespace {

constexpr long kBaudRate = 19200;
constexpr int kNoParity = 0;
constexpr int kDataBits = 8;
constexpr int kStopBits = 1;
constexpr int kQueueSize = 4096;
constexpr int kNotifyCount = 36;
constexpr int kEventChar = 0x55;
constexpr int kCtsOff = 0;

// The reply to the last request: whether one is still to come, and when the
// request went out (its time-out runs from there).
bool g_awaiting = false;
double g_sentAt = 0;
double g_awaitLimit = 1.5;  // how long the reply to the last request may take
// A stored set needs no answer; what the sensor sends back comes within this time.
constexpr double kStoreAnswerWindow = 0.1;
unsigned g_sends = 0;  // requests sent so far

// Holds of the line, innermost last.
constexpr int kMaxHolds = 32;
LineOwner g_holders[kMaxHolds];
int g_holds = 0;
int g_loops = 0;

bool HeldBy(LineOwner owner) {
  for (int i = 0; i < g_holds && i < kMaxHolds; ++i)
    if (g_holders[i] == owner) return true;
  return false;
}
bool g_shutdown = false;

struct Deferred {
  DeferredCallback callback;
  void (*action)();
  int panel, control, event;
  void* callbackData;
  int eventData1, eventData2;
};
Deferred g_deferred[kMaxDeferred];
int g_deferredCount = 0;

bool ReplyOutstanding() { return g_awaiting && Timer() - g_sentAt <= g_awaitLimit; }

bool Accepts(ReplyRule rule, uint16_t command) {
  switch (rule) {
    case kAnyFrame:
      return true;
    case kNotMeasurement:
      return graph_flag != 1;
    case kEchoOfCommand:
      return graph_flag != 1 && (szReadBuf[2] << 8 | szReadBuf[3]) == command;
    case kMeasurement:
      break;
  }
  return false;
}

void Write() {
  nBytesW = ComWrt(com, reinterpret_cast<const char*>(szWriteBuf), kFrameBytes);
  g_sentAt = Timer();
  ++g_sends;
}

int Enqueue(const Deferred& d) {
  const bool video = HeldBy(kOwnerVideo), upload = HeldBy(kOwnerUpload);
  if (g_deferredCount >= kMaxDeferred) {
    ShowStatusText(video    ? kLineBusyFullText
                   : upload ? kUploadBusyFullText
                            : kTransactionBusyFullText);
    return 1;  // refused, but the caller must still keep off the line
  }
  g_deferred[g_deferredCount++] = d;
  ShowStatusText(video ? kLineBusyText : upload ? kUploadBusyText : kTransactionBusyText);
  return 1;
}

void RunDeferred() {
  // Each request runs with the line free; a request taken off the front is
  // gone before it runs, so anything it holds back itself comes after it.
  while (g_deferredCount > 0 && g_holds == 0 && !g_shutdown) {
    Deferred d = g_deferred[0];
    for (int i = 1; i < g_deferredCount; ++i) g_deferred[i - 1] = g_deferred[i];
    --g_deferredCount;
    if (d.callback)
      d.callback(d.panel, d.control, d.event, d.callbackData, d.eventData1, d.eventData2);
    else if (d.action)
      d.action();
  }
}

}  // namespace

// ---- Requests and replies ----------------------------------------------------

void LineWaitFree() {
  while (ReplyOutstanding() && !LineLost()) ProcessSystemEventsUntil(g_sentAt + g_awaitLimit);
  g_awaiting = false;
}

void LineSend(uint16_t command, uint16_t argument, const uint16_t* values) {
  // The payload as the transaction prepared it: a reply taken while the line
  // frees itself rewrites pp.
  uint16_t payload[15];
  for (int i = 0; i < 15; ++i) payload[i] = values[i];
  LineWaitFree();
  FlushInQ(com);
  FlushOutQ(com);
  rx_flag = 0;
  graph_flag = 0;
  FillTxBuf(command, argument, payload);
  Write();
  // Every framed request may be answered, a stored set included.
  g_awaiting = true;
  const bool store = command == kCmdSendRam || command == kCmdSendEeprom;
  g_awaitLimit = store ? kStoreAnswerWindow : TIMEOUT;
}

void LineSendBuilt(int awaitFrame) {
  LineWaitFree();
  FlushOutQ(com);
  FlushInQ(com);
  if (awaitFrame) {
    rx_flag = 0;
    graph_flag = 0;
  }
  Write();
  g_awaiting = awaitFrame != 0;
  g_awaitLimit = TIMEOUT;
}

void LineSendMeasureRequest() {
  parameter.command = kCmdMeasure;
  CopyVarsToPP(0);
  LineSend(kCmdMeasure, 0, pp);
}

int LineWaitReply(ReplyRule rule, uint16_t command) {
  for (;;) {
    // The flag is looked at first: a reply taken in the last pass still counts.
    if (rule == kMeasurement) {
      // The measurement fetch looks at graph_flag alone; rx_flag stays as it is.
      if (graph_flag == 1) return 1;
    } else if (rx_flag) {
      if (Accepts(rule, command)) return 1;
      rx_flag = 0;  // not the awaited reply: passed over, the wait goes on
    }
    if (Timer() - g_sentAt > TIMEOUT || LineLost()) return 0;
    ProcessSystemEventsUntil(g_sentAt + TIMEOUT);
  }
}

int LineLost() { return ComLost(com); }

void LineFrameTaken() { g_awaiting = false; }

void LineHandlerOff(int mask) {
  InstallComCallback(com, mask, kNotifyCount, kEventChar, nullptr, nullptr);
}

void LineHandlerOn() {
  InstallComCallback(com, eventMask, kNotifyCount, kEventChar, RX_Receive_Function, nullptr);
}

// ---- The port ------------------------------------------------------------------

int LineOpen(int port) {
  g_awaiting = false;
  const int result =
      OpenComConfig(port, "", kBaudRate, kNoParity, kDataBits, kStopBits, kQueueSize, kQueueSize);
  if (result < 0) return result;
  SetComTime(port, TIMEOUT);
  FlushInQ(port);
  FlushOutQ(port);
  SetCTSMode(port, kCtsOff);
  InstallComCallback(port, eventMask, kNotifyCount, kEventChar, RX_Receive_Function, nullptr);
  return result;
}

void LineClosePort() {
  CloseCom(com);
  g_awaiting = false;
}

int LineInQLen() { return GetInQLen(com); }

void LineExpect(int bytes) { SetComWakeCount(com, bytes); }

int LineReadRaw(int count) {
  if (count > kBufBytes) count = kBufBytes;
  return count > 0 ? ComRd(com, reinterpret_cast<char*>(szReadBuf), count) : 0;
}

void LineFlush() {
  FlushInQ(com);
  FlushOutQ(com);
}

void LineEndLoop() {
  rx_flag = 0;
  graph_flag = 0;
  // A flush now would cut the reply to the loop's last request: the line would
  // count it outstanding until its time-out and hold up the next request. Left
  // alone, it is taken when it lands and the next request goes out at once.
  if (!ReplyOutstanding()) LineFlush();
}

// ---- Who has the line ------------------------------------------------------------

void AcquireLine(LineOwner owner) {
  if (g_holds < kMaxHolds) g_holders[g_holds] = owner;
  ++g_holds;
}

void ReleaseLine() {
  if (g_holds > 0) --g_holds;
  if (g_holds == 0) RunDeferred();
}

int LineBusy() { return g_holds > 0 ? 1 : 0; }

int LineUploading() { return HeldBy(kOwnerUpload) ? 1 : 0; }

int DeferIfLineBusy(DeferredCallback callback, int panel, int control, int event,
                    void* callbackData, int eventData1, int eventData2) {
  if (g_shutdown) return 1;
  if (!LineBusy()) return 0;
  return Enqueue(
      Deferred{callback, nullptr, panel, control, event, callbackData, eventData1, eventData2});
}

int DeferIfLineBusy(void (*action)()) {
  if (g_shutdown) return 1;
  if (!LineBusy()) return 0;
  return Enqueue(Deferred{nullptr, action, 0, 0, 0, nullptr, 0, 0});
}

int DeferredCount() { return g_deferredCount; }

int DropDeferred() {
  const int dropped = g_deferredCount;
  g_deferredCount = 0;
  if (dropped > 0) {
    char text[73];
    std::snprintf(text, sizeof text, "%d held-back request%s dropped", dropped,
                  dropped == 1 ? "" : "s");
    ShowStatusText(text);
  }
  return dropped;
}

void LoopBegin() { ++g_loops; }
void LoopEnd() {
  if (g_loops > 0) --g_loops;
}
int LoopActive() { return g_loops > 0 ? 1 : 0; }

MeasurePace MeasurePaceNow() { return MeasurePace{Timer(), g_sends}; }

int PaceMeasurement(MeasurePace& pace) {
  // Another transaction may have taken the loop's reply; once its own reply is
  // in (or has timed out) the loop goes on with its next request.
  const bool lineUsed = g_sends != pace.sends && !ReplyOutstanding();
  if (rx_flag != 1 && !lineUsed) return 0;
  LineSendMeasureRequest();
  pace = MeasurePaceNow();
  return 1;
}

void LineStart() {
  g_awaiting = false;
  g_holds = 0;
  g_loops = 0;
  g_deferredCount = 0;
  g_shutdown = false;
}

void LineShutdown() {
  DropDeferred();
  g_shutdown = true;
  if (!LineUploading()) CloseCom(com);
}

void LineFinish() { CloseCom(com); }

int LineShuttingDown() { return g_shutdown ? 1 : 0; }
