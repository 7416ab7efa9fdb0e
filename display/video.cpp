// Video signal transfer: the VIDEO loop, the raw 64-word block reader, the
// intensity curves with their threshold lines, and the guard that keeps other
// transactions off the line while a video pass owns it.
#include "display/video.h"

#include <cstring>

#include "app/help.h"
#include "app/panels.h"
#include "display/bargraph.h"
#include "link/frame.h"
#include "link/identify.h"
#include "link/link.h"
#include "link/payload.h"
#include "link/transfer.h"
#include "measure/run.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "platform/ui.h"

uint16_t adcbufA[128];
uint16_t adcbufB[128];
double databuf[128];
uint16_t thdArrayA[128];
uint16_t thdArrayB[128];

namespace {

constexpr int kBlockWords = 64;
constexpr int kBlockBytes = 2 * kBlockWords;
constexpr int kSamples = 128;
constexpr int kCurveColor = 0xFF0000;
constexpr int kThresholdColor = 0x008000;

constexpr const char* kBlockReceivedText = "Data[64] block received!";
constexpr const char* kBlockTimeoutText = "Timeout-RS-232 while reading 64 data-words!";
constexpr const char* kBlockOverrunText = "Data[64] block: more than 128 bytes received!";

// ---- line guard state ----
int g_lineHolds = 0;

struct Deferred {
  DeferredCallback callback;
  void (*action)();
  int panel, control, event;
  void* callbackData;
  int eventData1, eventData2;
};
Deferred g_deferred[kMaxDeferred];
int g_deferredCount = 0;

int Enqueue(const Deferred& d) {
  if (g_deferredCount >= kMaxDeferred) {
    ShowStatusText(kLineBusyFullText);
    return 1;  // refused, but the caller must still keep off the line
  }
  g_deferred[g_deferredCount++] = d;
  ShowStatusText(kLineBusyText);
  return 1;
}

void RunDeferred() {
  // Each request runs with the line free; a request taken off the front is
  // gone before it runs, so anything it queues itself comes after it.
  while (g_deferredCount > 0 && g_lineHolds == 0) {
    Deferred d = g_deferred[0];
    for (int i = 1; i < g_deferredCount; ++i) g_deferred[i - 1] = g_deferred[i];
    --g_deferredCount;
    if (d.callback)
      d.callback(d.panel, d.control, d.event, d.callbackData, d.eventData1, d.eventData2);
    else if (d.action)
      d.action();
  }
}

uint16_t* Destination16(int selector) {
  if (selector == 0) return adcbufA;
  if (selector == 1) return adcbufB;
  return nullptr;
}

const char* WaitingText(int offset) {
  switch (offset) {
    case 0:
      return "Waiting for Data[64] Block 0 ...";
    case 64:
      return "Waiting for Data[64] Block 1 ...";
    case 128:
      return "Waiting for Data[64] Block 2 ...";
    case 192:
      return "Waiting for Data[64] Block 3 ...";
    default:
      return "Waiting for Data[64] Block x ...";
  }
}

void ReceiveHandlerOff() { InstallComCallback(com, eventMask, 36, 0x55, nullptr, nullptr); }

void PlotVideoCurve(int control, const uint16_t* video, const uint16_t* threshold,
                    const double* x) {
  SetAxisScalingMode(pHandle, control, VAL_RIGHT_YAXIS, VAL_MANUAL, 0.0, YMAXADC);
  SetAxisScalingMode(pHandle, control, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, YMAXADC);
  DeleteGraphPlot(pHandle, control, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
  PlotXY(pHandle, control, x, video, kSamples, VAL_FAT_LINE, VAL_SIMPLE_DOT, VAL_SOLID, 1,
         kCurveColor);
  PlotXY(pHandle, control, x, threshold, kSamples, VAL_FAT_LINE, VAL_SIMPLE_DOT, VAL_SOLID, 1,
         kThresholdColor);
}

void SetVideoButtonsDimmed(int dimmed) {
  SetCtrlAttribute(pHandle, MAIN_BTNRun, ATTR_DIMMED, dimmed);
  SetCtrlAttribute(pHandle, MAIN_BTNVideo, ATTR_DIMMED, dimmed);
  SetCtrlAttribute(pHandle, MAIN_ButtonTeach, ATTR_DIMMED, dimmed);
}

// One video pass after the measurement reply: the four blocks with the
// receive handler off. 1 when all four arrived.
int ReadVideoBlocks() {
  ReceiveHandlerOff();
  FlushInQ(com);
  FlushOutQ(com);
  int ok = ReadData64(0, 0) > 0;
  if (ok) ok = ReadData64(64, 0) > 0;
  if (ok) ok = ReadData64(0, 1) > 0;
  if (ok) ok = ReadData64(64, 1) > 0;
  InstallReceiveHandler();
  return ok;
}

}  // namespace

// ---- line guard -------------------------------------------------------------

int LineBusy() { return g_lineHolds > 0 ? 1 : 0; }

int DeferredCount() { return g_deferredCount; }

void AcquireLine() { ++g_lineHolds; }

void ReleaseLine() {
  if (g_lineHolds > 0) --g_lineHolds;
  if (g_lineHolds == 0) RunDeferred();
}

int DeferIfLineBusy(DeferredCallback callback, int panel, int control, int event,
                    void* callbackData, int eventData1, int eventData2) {
  if (!LineBusy()) return 0;
  return Enqueue(
      Deferred{callback, nullptr, panel, control, event, callbackData, eventData1, eventData2});
}

int DeferIfLineBusy(void (*action)()) {
  if (!LineBusy()) return 0;
  return Enqueue(Deferred{nullptr, action, 0, 0, 0, nullptr, 0, 0});
}

// ---- threshold lines and curves ------------------------------------------------

void FillThresholdLine(uint16_t* line, uint16_t percent) {
  const uint16_t value = static_cast<uint16_t>(static_cast<uint32_t>(percent) * YMAXADC / 100u);
  for (int i = 0; i < MAXPOINT; ++i) line[i] = value;
}

void PlotVIDEOCurveA(const uint16_t* video, const uint16_t* threshold, const double* x) {
  PlotVideoCurve(MAIN_GRAPHDataMaster, video, threshold, x);
}

void PlotVIDEOCurveB(const uint16_t* video, const uint16_t* threshold, const double* x) {
  PlotVideoCurve(MAIN_GRAPHDataSlave, video, threshold, x);
}

// ---- block reader -------------------------------------------------------------

int ReadData64(int offset, int selector) {
  parameter.command = 9;
  FlushOutQ(com);
  FlushInQ(com);

  // The request is built in place: bytes 34-35 keep what the previous frame left.
  szWriteBuf[0] = static_cast<unsigned char>(parameter.header >> 8);
  szWriteBuf[1] = static_cast<unsigned char>(parameter.header & 0xFF);
  szWriteBuf[2] = static_cast<unsigned char>(parameter.command >> 8);
  szWriteBuf[3] = static_cast<unsigned char>(parameter.command & 0xFF);
  szWriteBuf[4] = static_cast<unsigned char>((offset >> 8) & 0xFF);
  szWriteBuf[5] = static_cast<unsigned char>(offset & 0xFF);
  szWriteBuf[6] = static_cast<unsigned char>((selector >> 8) & 0xFF);
  szWriteBuf[7] = static_cast<unsigned char>(selector & 0xFF);
  std::memset(szWriteBuf + 8, 0, 26);
  nBytesW = ComWrt(com, reinterpret_cast<const char*>(szWriteBuf), kFrameBytes);

  ShowStatusText(WaitingText(offset));

  const double t0 = Timer();
  int n = 0;
  do {
    ProcessSystemEvents();
    n = GetInQLen(com);
    if (ComLost(com)) break;  // the device has gone: the pass ends here
    if (Timer() - t0 > TIMEOUT) {
      SetStatus(kBlockTimeoutText);
      break;
    }
  } while (n < kBlockBytes);

  // Never more than the receive buffer holds; what does not fit is discarded.
  int toRead = n;
  if (toRead > kBufBytes) toRead = kBufBytes;
  nBytesR = toRead > 0 ? ComRd(com, reinterpret_cast<char*>(szReadBuf), toRead) : 0;
  if (n > kBufBytes) FlushInQ(com);

  int result = 0;
  if (nBytesR == kBlockBytes) {
    SetStatus(kBlockReceivedText);
    uint16_t* dest16 = Destination16(selector);
    for (int i = 0; i < kBlockWords; ++i) {
      const int index = offset + i;
      // Values beyond the 128 elements of a destination have nowhere to go.
      if (index < 0 || index >= kSamples) continue;
      const uint16_t value = static_cast<uint16_t>(szReadBuf[2 * i] * 256u + szReadBuf[2 * i + 1]);
      if (dest16)
        dest16[index] = value;
      else if (selector == 2)
        databuf[index] = value;
    }
    result = 1;
  } else if (nBytesR > kBlockBytes) {
    SetStatus(kBlockOverrunText);
  }
  ShowStatus();
  return result;
}

// ---- the video loop -----------------------------------------------------------

void PushVIDEO() {
  SetCtrlAttribute(pHandle, MAIN_STRIPHistory, ATTR_VISIBLE, 0);
  SetCtrlAttribute(pHandle, MAIN_GRAPHDataMaster, ATTR_VISIBLE, 1);
  SetCtrlAttribute(pHandle, MAIN_GRAPHDataSlave, ATTR_VISIBLE, 1);
  SetVideoButtonsDimmed(1);
  // Pressed inside a running RUN loop: its request is still being answered.
  // That reply must have arrived before the line is ours, or it would mix
  // with the first video pass.
  if (RunLoopActive()) {
    const double t0 = Timer();
    while (rx_flag == 0 && Timer() - t0 <= TIMEOUT) ProcessSystemEvents();
  }
  stop_flag = 0;

  do {
    AcquireLine();
    if (PushGETRAW() != 1) {
      stop_flag = 1;
    } else {
      CopyPPtoRAWVars();
      if (ReadVideoBlocks()) {
        const double n = ccdvirtpixel;
        SetAxisScalingMode(pHandle, MAIN_GRAPHDataMaster, VAL_XAXIS, VAL_MANUAL, 1.0, n);
        SetAxisScalingMode(pHandle, MAIN_GRAPHDataSlave, VAL_XAXIS, VAL_MANUAL, 1.0, n);
        PlotVIDEOCurveA(adcbufA, thdArrayA, xArray8);
        PlotVIDEOCurveB(adcbufB, thdArrayB, xArray8);
        PlotVIDEOBarGraph();
      }
    }
    ReleaseLine();  // held-back transactions run here, with the handler on
    ProcessSystemEvents();
  } while (stop_flag == 0);

  SetVideoButtonsDimmed(0);
  InstallReceiveHandler();
  FlushOutQ(com);
  FlushInQ(com);
}

// ---- callbacks -------------------------------------------------------------------

int CC_BTNVideo(int, int, int event, void*, int, int) {
  if (event == EVENT_COMMIT) {
    SetCtrlAttribute(pPopUp, POPUP_BTNStartRecord, ATTR_DIMMED, 1);
    SetCtrlVal(pHandle, MAIN_RBTRam, 1);
    target = 1;
    SetCtrlVal(pHandle, MAIN_RBTEeprom, 0);
    SetCtrlVal(pHandle, MAIN_RBTFile, 0);
    PushVIDEO();
  } else if (event == EVENT_RIGHT_CLICK) {
    ShowHelp(MAIN_BTNVideo);
  }
  return 0;
}

int CC_SLIDEVideoTHD_A(int, int, int event, void*, int, int) {
  if (event == EVENT_VAL_CHANGED) {
    int value = 0;
    GetCtrlVal(pPara1, PARA1_SLIDEVideoTHD_A, &value);
    FillThresholdLine(thdArrayA, static_cast<uint16_t>(value));
    PlotVIDEOCurveA(adcbufA, thdArrayA, xArray8);
  }
  return 0;
}

int CC_SLIDEVideoTHD_B(int, int, int event, void*, int, int) {
  if (event == EVENT_VAL_CHANGED) {
    int value = 0;
    GetCtrlVal(pPara2, PARA2_SLIDEVideoTHD_B, &value);
    FillThresholdLine(thdArrayB, static_cast<uint16_t>(value));
    PlotVIDEOCurveB(adcbufB, thdArrayB, xArray8);
  }
  return 0;
}

int CC_GRAPHDataMaster(int, int, int event, void*, int, int) {
  if (event == EVENT_RIGHT_CLICK) ShowHelp(MAIN_GRAPHDataMaster);
  return 0;
}

int CC_GRAPHDataSlave(int, int, int event, void*, int, int) {
  if (event == EVENT_RIGHT_CLICK) ShowHelp(MAIN_GRAPHDataSlave);
  return 0;
}
