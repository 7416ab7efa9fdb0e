// Video signal: the raw 64-word block reader, the VIDEO loop, the curves and
// threshold lines, and the guard that keeps other transactions off the line
// while a video pass owns it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/panels.h"
#include "display/video.h"
#include "link/frame.h"
#include "link/identify.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"
#include "link/transfer.h"
#include "measure/run.h"
#include "params/panels.h"
#include "platform/clock.h"
#include "platform/graph_probe.h"
#include "platform/scripted_line.h"
#include "platform/serial.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "tests/support/frames.h"
#include "tests/support/harness.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr const char* kReceived = "Data[64] block received!";
constexpr const char* kBlockTimeout = "Timeout-RS-232 while reading 64 data-words!";

using tframes::Block;
using tframes::OrdinaryFrame;
// A measurement reply with edges at `aval` and `bval`.
Bytes MeasurementFrame(uint16_t aval, uint16_t bval) {
  return tframes::MeasurementFrame({aval, bval, 0, 0, 0, 0, 1, 1, 6, 4}, 0x00AA);
}
uint16_t Word(const Bytes& b, int at) { return tframes::WordAt(b, at); }

// The program against a scripted line: the connect sequence finds no sensor
// (its echo check times out), then each test scripts the far end itself.
class VideoLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    line_ = std::make_shared<ScriptedLine>();
    ASSERT_EQ(StartAppWithLine(line_), 0);
    start_writes_ = line_->writes().size();
    for (int i = 0; i < 128; ++i) {
      adcbufA[i] = 7;
      adcbufB[i] = 9;
      databuf[i] = 11.0;
    }
  }
  void TearDown() override { StopApp(); }

  // Writes since start-up.
  std::vector<ScriptedLine::Sent> Sent() const {
    return {line_->writes().begin() + static_cast<long>(start_writes_), line_->writes().end()};
  }
  // Scripts one whole video pass: measurement reply and four blocks.
  void ScriptPass(uint16_t aval, uint16_t baseA0, uint16_t baseA1, uint16_t baseB0,
                  uint16_t baseB1) {
    line_->ReplyToNextWrite(0.04, MeasurementFrame(aval, 1200));
    line_->ReplyToNextWrite(0.07, Block(baseA0));
    line_->ReplyToNextWrite(0.07, Block(baseA1));
    line_->ReplyToNextWrite(0.07, Block(baseB0));
    line_->ReplyToNextWrite(0.07, Block(baseB1));
  }
  // ReadData64 is called with the receive handler off, as the video loop does.
  static void HandlerOff() { InstallComCallback(com, eventMask, 36, 0x55, nullptr, nullptr); }
  bool HandlerOn() {
    rx_flag = 0;
    line_->Arrive(Timer() + 0.01, OrdinaryFrame(2));
    RunFor(0.05);
    return rx_flag == 1;
  }

  std::shared_ptr<ScriptedLine> line_;
  size_t start_writes_ = 0;
};

// ---- ReadData64 -----------------------------------------------------------------

TEST_F(VideoLineTest, BlockValuesAreBigEndianWordsAtTheOffset) {
  HandlerOff();
  Bytes b = Block(0);
  b[0] = 0x12;
  b[1] = 0x34;
  b[126] = 0xFF;
  b[127] = 0xFE;
  line_->ReplyToNextWrite(0.07, b);
  EXPECT_EQ(ReadData64(0, 0), 1);
  EXPECT_EQ(adcbufA[0], 4660);
  EXPECT_EQ(adcbufA[1], 1);
  EXPECT_EQ(adcbufA[63], 0xFFFE);
  EXPECT_EQ(adcbufA[64], 7);  // the other half untouched
  EXPECT_EQ(nBytesR, 128);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), kReceived);
  EXPECT_STREQ(szStatus, kReceived);

  line_->ReplyToNextWrite(0.07, Block(500));
  EXPECT_EQ(ReadData64(64, 1), 1);
  EXPECT_EQ(adcbufB[63], 9);
  EXPECT_EQ(adcbufB[64], 500);
  EXPECT_EQ(adcbufB[127], 563);

  line_->ReplyToNextWrite(0.07, Block(40000));
  EXPECT_EQ(ReadData64(0, 2), 1);
  EXPECT_DOUBLE_EQ(databuf[0], 40000.0);
  EXPECT_DOUBLE_EQ(databuf[63], 40063.0);
  EXPECT_DOUBLE_EQ(databuf[64], 11.0);

  // An unknown selector: the block arrived, nothing is stored.
  line_->ReplyToNextWrite(0.07, Block(3));
  EXPECT_EQ(ReadData64(0, 3), 1);
  EXPECT_EQ(adcbufA[1], 1);
  EXPECT_EQ(adcbufB[0], 9);
  EXPECT_DOUBLE_EQ(databuf[1], 40001.0);
}

TEST_F(VideoLineTest, RequestBytesKeepTheTwoBytesOfThePreviousFrame) {
  // A measurement request whose last payload word is 0x1357 goes first.
  pp[14] = 0x1357;
  line_->ReplyToNextWrite(0.04, MeasurementFrame(1000, 1200));
  ASSERT_EQ(PushGETRAW(), 1);
  HandlerOff();
  line_->ReplyToNextWrite(0.07, Block(0));
  parameter.header = 0x0055;
  parameter.command = 1;
  ReadData64(64, 1);
  EXPECT_EQ(parameter.command, 9);

  auto sent = Sent();
  ASSERT_EQ(sent.size(), 2u);
  const Bytes& req = sent[1].bytes;
  ASSERT_EQ(req.size(), 36u);
  EXPECT_EQ(Word(req, 0), 0x0055);
  EXPECT_EQ(Word(req, 2), 9);
  EXPECT_EQ(Word(req, 4), 64);
  EXPECT_EQ(Word(req, 6), 1);
  for (int i = 8; i < 34; ++i) EXPECT_EQ(req[i], 0) << "byte " << i;
  EXPECT_EQ(req[34], 0x13);
  EXPECT_EQ(req[35], 0x57);
  EXPECT_EQ(nBytesW, 36);

  // The header word goes out as the record holds it.
  szWriteBuf[34] = 0xAB;
  szWriteBuf[35] = 0xCD;
  parameter.header = 0x1255;
  line_->ReplyToNextWrite(0.07, Block(0));
  ReadData64(192, 2);
  const Bytes req2 = Sent().back().bytes;
  EXPECT_EQ(Word(req2, 0), 0x1255);
  EXPECT_EQ(Word(req2, 4), 192);
  EXPECT_EQ(Word(req2, 6), 2);
  EXPECT_EQ(req2[34], 0xAB);
  EXPECT_EQ(req2[35], 0xCD);
  parameter.header = 0x0055;
}

TEST_F(VideoLineTest, ShortBlockTimesOutAndLeavesTheDestination) {
  HandlerOff();
  Bytes b = Block(100);
  b.pop_back();  // 127 bytes
  line_->ReplyToNextWrite(0.07, b);
  const double t0 = Timer();
  EXPECT_EQ(ReadData64(0, 0), 0);
  const double took = Timer() - t0;
  EXPECT_GE(took, TIMEOUT);
  EXPECT_LT(took, TIMEOUT + 0.1);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), kBlockTimeout);
  EXPECT_EQ(nBytesR, 127);
  for (int i = 0; i < 128; ++i) ASSERT_EQ(adcbufA[i], 7) << i;

  // Complete silence: nothing read at all.
  EXPECT_EQ(ReadData64(64, 1), 0);
  EXPECT_EQ(nBytesR, 0);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), kBlockTimeout);
  for (int i = 0; i < 128; ++i) ASSERT_EQ(adcbufB[i], 9) << i;
}

TEST_F(VideoLineTest, MoreThan128BytesFailTheBlockAndAreAllTaken) {
  HandlerOff();
  Bytes b = Block(100);
  b.push_back(0x00);
  b.push_back(0x55);
  line_->ReplyToNextWrite(0.07, b);
  EXPECT_EQ(ReadData64(0, 0), 0);
  EXPECT_EQ(nBytesR, 130);
  EXPECT_EQ(GetInQLen(com), 0);
  for (int i = 0; i < 128; ++i) ASSERT_EQ(adcbufA[i], 7) << i;
  const std::string status = CtrlText(pHandle, MAIN_TEXTStatus);
  EXPECT_NE(status, kReceived);
  EXPECT_NE(status.find("more than 128 bytes"), std::string::npos) << status;
}

TEST_F(VideoLineTest, NeverReadsMoreThanTheReceiveBufferHolds) {
  HandlerOff();
  Bytes flood(3000, 0x5A);
  line_->ReplyToNextWrite(0.07, flood);
  EXPECT_EQ(ReadData64(0, 1), 0);
  EXPECT_LE(nBytesR, kBufBytes);
  EXPECT_EQ(nBytesR, kBufBytes);
  EXPECT_EQ(GetInQLen(com), 0);  // the rest is discarded, not left for the next block
  for (int i = 0; i < 128; ++i) ASSERT_EQ(adcbufB[i], 9) << i;

  // The next block is read cleanly.
  line_->ReplyToNextWrite(0.07, Block(20));
  EXPECT_EQ(ReadData64(0, 1), 1);
  EXPECT_EQ(adcbufB[0], 20);
}

TEST_F(VideoLineTest, WaitingTextNamesTheBlockByOffset) {
  HandlerOff();
  struct Case {
    int offset;
    const char* text;
  } cases[] = {{0, "Waiting for Data[64] Block 0 ..."},
               {64, "Waiting for Data[64] Block 1 ..."},
               {128, "Waiting for Data[64] Block 2 ..."},
               {192, "Waiting for Data[64] Block 3 ..."},
               {32, "Waiting for Data[64] Block x ..."}};
  for (const Case& c : cases) {
    std::string seen;
    ScheduleAt(Timer() + 0.03, [&seen] { seen = CtrlText(pHandle, MAIN_TEXTStatus); });
    line_->ReplyToNextWrite(0.07, Block(1));
    // Offsets 128 and 192 lie beyond the destination: the block is taken, nothing stored.
    EXPECT_EQ(ReadData64(c.offset, 2), 1) << c.offset;
    EXPECT_EQ(seen, c.text);
    EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), kReceived);
  }
  EXPECT_DOUBLE_EQ(databuf[32], 1.0);
  EXPECT_DOUBLE_EQ(databuf[95], 64.0);
  EXPECT_DOUBLE_EQ(databuf[96], 33.0);  // from the offset-64 case
  EXPECT_DOUBLE_EQ(databuf[31], 32.0);  // from the offset-0 case
}

// ---- the VIDEO loop -------------------------------------------------------------

TEST_F(VideoLineTest, OnePassDrawsBothSensorsAndTheBarGraphs) {
  ScriptPass(1000, 100, 200, 300, 400);
  // No reply to the second pass's measurement request: the loop ends.
  const double t0 = Timer();
  ClickCtrl(pHandle, MAIN_BTNVideo);
  EXPECT_LT(Timer() - t0, 0.5 + 1.6);
  EXPECT_EQ(stop_flag, 1);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Timeout RS232-Line!");

  // The wire: measurement, four blocks in order, the next measurement.
  auto sent = Sent();
  ASSERT_EQ(sent.size(), 6u);
  EXPECT_EQ(Word(sent[0].bytes, 2), 8);
  const int blocks[4][2] = {{0, 0}, {64, 0}, {0, 1}, {64, 1}};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(Word(sent[1 + k].bytes, 2), 9);
    EXPECT_EQ(Word(sent[1 + k].bytes, 4), blocks[k][0]);
    EXPECT_EQ(Word(sent[1 + k].bytes, 6), blocks[k][1]);
  }
  EXPECT_EQ(Word(sent[5].bytes, 2), 8);

  EXPECT_EQ(adcbufA[0], 100);
  EXPECT_EQ(adcbufA[64], 200);
  EXPECT_EQ(adcbufB[0], 300);
  EXPECT_EQ(adcbufB[127], 463);
  EXPECT_EQ(Aval, 1000);

  const uint16_t* bufs[2] = {adcbufA, adcbufB};
  const uint16_t* thds[2] = {thdArrayA, thdArrayB};
  const int graphs[2] = {MAIN_GRAPHDataMaster, MAIN_GRAPHDataSlave};
  for (int g = 0; g < 2; ++g) {
    auto plots = GetGraphPlots(pHandle, graphs[g]);
    ASSERT_EQ(plots.size(), 2u);
    EXPECT_EQ(plots[0].kind, PlotInfo::kXY);
    EXPECT_EQ(plots[0].color, 0xFF0000);
    EXPECT_EQ(plots[1].color, 0x008000);
    for (const auto& p : plots) {
      EXPECT_EQ(p.plotStyle, VAL_FAT_LINE);
      EXPECT_EQ(p.pointStyle, VAL_SIMPLE_DOT);
      EXPECT_EQ(p.lineStyle, VAL_SOLID);
      ASSERT_EQ(p.xs.size(), 128u);
      ASSERT_EQ(p.ys.size(), 128u);
      for (int i = 0; i < 128; ++i) ASSERT_DOUBLE_EQ(p.xs[i], xArray8[i]);
    }
    for (int i = 0; i < 128; ++i) {
      ASSERT_DOUBLE_EQ(plots[0].ys[i], bufs[g][i]);
      ASSERT_DOUBLE_EQ(plots[1].ys[i], thds[g][i]);
    }
    double lo, hi;
    GetAxisRange(pHandle, graphs[g], VAL_XAXIS, &lo, &hi);
    EXPECT_DOUBLE_EQ(lo, 1.0);
    EXPECT_DOUBLE_EQ(hi, ccdvirtpixel);
    GetAxisRange(pHandle, graphs[g], VAL_LEFT_YAXIS, &lo, &hi);
    EXPECT_DOUBLE_EQ(lo, 0.0);
    EXPECT_DOUBLE_EQ(hi, YMAXADC);
    EXPECT_TRUE(CtrlVisible(pHandle, graphs[g]));
  }
  // The bar graph shows the measurement of the pass.
  bool bar = false;
  for (const auto& p : GetGraphPlots(pHandle, MAIN_GRAPHBarMaster))
    if (p.kind == PlotInfo::kRectangle && p.fillColor == 0xFF0000 && p.x1 <= 1000 && p.x2 >= 1000)
      bar = true;
  EXPECT_TRUE(bar);

  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_STRIPHistory));
  EXPECT_FALSE(CtrlDimmed(pHandle, MAIN_BTNRun));
  EXPECT_FALSE(CtrlDimmed(pHandle, MAIN_BTNVideo));
  EXPECT_FALSE(CtrlDimmed(pHandle, MAIN_ButtonTeach));
  EXPECT_TRUE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
  EXPECT_FALSE(LineBusy());
  EXPECT_TRUE(HandlerOn());
}

TEST_F(VideoLineTest, ButtonsAreDimmedWhileTheLoopRuns) {
  ScriptPass(1000, 1, 2, 3, 4);
  std::vector<bool> seen;  // RUN, VIDEO, TEACH dimmed; RESET, GET usable; line busy
  ScheduleAt(Timer() + 0.1, [&] {
    for (int c : {MAIN_BTNRun, MAIN_BTNVideo, MAIN_ButtonTeach, MAIN_ButtonReset, MAIN_BTNGet})
      seen.push_back(CtrlDimmed(pHandle, c));
    seen.push_back(LineBusy());
  });
  ClickCtrl(pHandle, MAIN_BTNVideo);
  EXPECT_EQ(seen, (std::vector<bool>{true, true, true, false, false, true}));
}

TEST_F(VideoLineTest, FailedLastBlockStoresTheFirstBlocksButDrawsNothing) {
  // Pass 1 complete, pass 2 fails in block 1 of sensor B, pass 3 complete,
  // then silence ends the loop.
  ScriptPass(1000, 100, 200, 300, 400);
  line_->ReplyToNextWrite(0.04, MeasurementFrame(1001, 1200));
  line_->ReplyToNextWrite(0.07, Block(1100));
  line_->ReplyToNextWrite(0.07, Block(1200));
  line_->ReplyToNextWrite(0.07, Block(1300));
  line_->ReplyToNextWrite(0.07, Bytes{});  // block 3: nothing
  ScriptPass(1002, 2100, 2200, 2300, 2400);

  // Look at the state right after pass 2 has given up on its last block.
  std::vector<double> shownA, shownB;
  uint16_t a0 = 0, a64 = 0, b0 = 0, b64 = 0;
  std::string status;
  bool busy = true;
  bool checked = false;
  // Snapshot taken when the third pass's measurement request goes out.
  std::function<void()> watch;
  watch = [&] {
    auto sent = Sent();
    if (!checked && sent.size() == 11) {
      checked = true;
      shownA = GetGraphPlots(pHandle, MAIN_GRAPHDataMaster).at(0).ys;
      shownB = GetGraphPlots(pHandle, MAIN_GRAPHDataSlave).at(0).ys;
      a0 = adcbufA[0];
      a64 = adcbufA[64];
      b0 = adcbufB[0];
      b64 = adcbufB[64];
      status = CtrlText(pHandle, MAIN_TEXTStatus);
      busy = LineBusy();
      return;
    }
    if (!checked) ScheduleAt(Timer() + 0.001, watch);
  };
  ScheduleAt(Timer() + 0.001, watch);
  ClickCtrl(pHandle, MAIN_BTNVideo);

  ASSERT_TRUE(checked);
  EXPECT_EQ(a0, 1100);
  EXPECT_EQ(a64, 1200);
  EXPECT_EQ(b0, 1300);
  EXPECT_EQ(b64, 400);  // second half of B still from pass 1
  ASSERT_EQ(shownA.size(), 128u);
  EXPECT_DOUBLE_EQ(shownA[0], 100);  // graphs still show pass 1
  EXPECT_DOUBLE_EQ(shownA[64], 200);
  EXPECT_DOUBLE_EQ(shownB[0], 300);
  EXPECT_TRUE(busy);  // the third pass has the line

  // The third pass was read and drawn: the handler was back on after the failure.
  auto sent = Sent();
  ASSERT_EQ(sent.size(), 16u);
  EXPECT_EQ(Word(sent[5].bytes, 2), 8);
  EXPECT_EQ(Word(sent[9].bytes, 4), 64);  // pass 2, block 3 ...
  EXPECT_EQ(Word(sent[10].bytes, 2), 8);  // ... then straight to pass 3
  EXPECT_DOUBLE_EQ(GetGraphPlots(pHandle, MAIN_GRAPHDataMaster).at(0).ys[0], 2100);
  EXPECT_DOUBLE_EQ(GetGraphPlots(pHandle, MAIN_GRAPHDataSlave).at(0).ys[127], 2463);
  EXPECT_EQ(Word(sent[15].bytes, 2), 8);
  EXPECT_TRUE(HandlerOn());
}

TEST_F(VideoLineTest, StopDuringASilentBlockEndsAfterThatBlockTimesOut) {
  line_->ReplyToNextWrite(0.04, MeasurementFrame(1000, 1200));
  line_->ReplyToNextWrite(0.07, Block(100));
  // Block 1 of sensor A: the sensor stays silent.
  double clickedAt = 0;
  bool runEnabledAtOnce = false, videoEnabledAtOnce = false;
  ScheduleAt(Timer() + 0.3, [&] {
    ASSERT_EQ(Sent().size(), 3u);  // block 1 requested, waiting
    clickedAt = Timer();
    ClickCtrl(pHandle, MAIN_BTNStop);
    runEnabledAtOnce = !CtrlDimmed(pHandle, MAIN_BTNRun);
    videoEnabledAtOnce = !CtrlDimmed(pHandle, MAIN_BTNVideo);
  });
  ClickCtrl(pHandle, MAIN_BTNVideo);
  const double ended = Timer();

  EXPECT_TRUE(runEnabledAtOnce);
  EXPECT_TRUE(videoEnabledAtOnce);
  auto sent = Sent();
  ASSERT_EQ(sent.size(), 3u);  // no further block, no further pass
  const double blockRequested = sent[2].time;
  EXPECT_GE(ended - blockRequested, TIMEOUT);
  EXPECT_LT(ended - blockRequested, TIMEOUT + 0.25);  // the 0.2 s of STOP may fall inside
  EXPECT_GT(ended, clickedAt);
  EXPECT_EQ(stop_flag, 1);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), kBlockTimeout);
  EXPECT_EQ(adcbufA[0], 100);
  EXPECT_EQ(adcbufA[64], 7);
  EXPECT_FALSE(CtrlDimmed(pHandle, MAIN_BTNRun));
  EXPECT_FALSE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
  EXPECT_TRUE(HandlerOn());
}

TEST_F(VideoLineTest, VideoSelectsTheRamTarget) {
  SetCtrlVal(pHandle, MAIN_RBTRam, 0);
  SetCtrlVal(pHandle, MAIN_RBTEeprom, 1);
  SetCtrlVal(pHandle, MAIN_RBTFile, 0);
  target = 2;
  ClickCtrl(pHandle, MAIN_BTNVideo);  // silent line: one pass, then the loop ends
  EXPECT_EQ(tframes::IntVal(pHandle, MAIN_RBTRam), 1);
  EXPECT_EQ(tframes::IntVal(pHandle, MAIN_RBTEeprom), 0);
  EXPECT_EQ(tframes::IntVal(pHandle, MAIN_RBTFile), 0);
  EXPECT_EQ(target, 1);
  EXPECT_TRUE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
  // The measurement request was the only frame: no block without a measurement reply.
  auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Word(sent[0].bytes, 2), 8);
  EXPECT_TRUE(HandlerOn());
}

// ---- threshold lines and sliders ---------------------------------------------------

TEST_F(VideoLineTest, SlidersRedrawTheLastSamplesWithTheNewLine) {
  YMAXADC = 256;
  for (int i = 0; i < 128; ++i) adcbufA[i] = static_cast<uint16_t>(i);
  SetCtrlVal(pPara1, PARA1_SLIDEVideoTHD_A, 33);
  FireCtrlEvent(pPara1, PARA1_SLIDEVideoTHD_A, EVENT_VAL_CHANGED);
  for (int i = 0; i < 128; ++i) ASSERT_EQ(thdArrayA[i], 84);
  EXPECT_EQ(CtrlText(pPara1, PARA1_NUMVideoTHD_A), "33");  // the value beside the slider
  auto plots = GetGraphPlots(pHandle, MAIN_GRAPHDataMaster);
  ASSERT_EQ(plots.size(), 2u);
  EXPECT_EQ(plots[0].color, 0xFF0000);
  EXPECT_DOUBLE_EQ(plots[0].ys[5], 5);
  EXPECT_EQ(plots[1].color, 0x008000);
  EXPECT_DOUBLE_EQ(plots[1].ys[0], 84);
  EXPECT_DOUBLE_EQ(plots[1].ys[127], 84);

  SetCtrlVal(pPara2, PARA2_SLIDEVideoTHD_B, 50);
  FireCtrlEvent(pPara2, PARA2_SLIDEVideoTHD_B, EVENT_VAL_CHANGED);
  for (int i = 0; i < 128; ++i) ASSERT_EQ(thdArrayB[i], 128);
  auto plotsB = GetGraphPlots(pHandle, MAIN_GRAPHDataSlave);
  ASSERT_EQ(plotsB.size(), 2u);
  EXPECT_DOUBLE_EQ(plotsB[0].ys[0], 9);
  EXPECT_DOUBLE_EQ(plotsB[1].ys[64], 128);
  // The master graph is untouched by slider B, and the sliders leave the sets alone.
  EXPECT_DOUBLE_EQ(GetGraphPlots(pHandle, MAIN_GRAPHDataMaster).at(1).ys[0], 84);

  // A commit alone does not move the line.
  SetCtrlVal(pPara1, PARA1_SLIDEVideoTHD_A, 90);
  FireCtrlEvent(pPara1, PARA1_SLIDEVideoTHD_A, EVENT_COMMIT);
  EXPECT_EQ(thdArrayA[0], 84);

  // A refresh of the panels shows the sets' thresholds beside the sliders too.
  parameter.set1[2] = 77;
  parameter.set2[2] = 200;
  SetPanelValues();
  EXPECT_EQ(CtrlText(pPara1, PARA1_NUMVideoTHD_A), "77");
  EXPECT_EQ(CtrlText(pPara2, PARA2_NUMVideoTHD_B), "200");
}

// ---- the line guard ---------------------------------------------------------------

struct Recorded {
  int panel, control, event, d1, d2;
  void* data;
  bool busy;
};
std::vector<Recorded> g_recorded;
int g_plainRuns = 0;

int RecordingCallback(int panel, int control, int event, void* data, int d1, int d2) {
  if (DeferIfLineBusy(RecordingCallback, panel, control, event, data, d1, d2)) return 0;
  g_recorded.push_back({panel, control, event, d1, d2, data, LineBusy() != 0});
  return 0;
}
void PlainAction() {
  if (DeferIfLineBusy(PlainAction)) return;
  ++g_plainRuns;
}

TEST_F(VideoLineTest, HeldBackRequestsRunInOrderOnceTheLineIsReleased) {
  g_recorded.clear();
  g_plainRuns = 0;
  // Free line: the callback goes ahead at once.
  RecordingCallback(1, 2, 3, nullptr, 4, 5);
  ASSERT_EQ(g_recorded.size(), 1u);

  int tag = 0;
  AcquireLine(kOwnerVideo);
  AcquireLine();  // nested holds
  RecordingCallback(6, 7, EVENT_COMMIT, &tag, 8, 9);
  PlainAction();
  RecordingCallback(10, 11, EVENT_COMMIT, nullptr, 0, 0);
  EXPECT_EQ(g_recorded.size(), 1u);
  EXPECT_EQ(g_plainRuns, 0);
  EXPECT_EQ(DeferredCount(), 3);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), kLineBusyText);
  ReleaseLine();
  EXPECT_EQ(DeferredCount(), 3);  // still held by the outer hold
  ReleaseLine();
  EXPECT_EQ(DeferredCount(), 0);
  ASSERT_EQ(g_recorded.size(), 3u);
  EXPECT_EQ(g_plainRuns, 1);
  EXPECT_EQ(g_recorded[1].panel, 6);
  EXPECT_EQ(g_recorded[1].control, 7);
  EXPECT_EQ(g_recorded[1].event, EVENT_COMMIT);
  EXPECT_EQ(g_recorded[1].data, &tag);
  EXPECT_EQ(g_recorded[1].d1, 8);
  EXPECT_EQ(g_recorded[1].d2, 9);
  EXPECT_FALSE(g_recorded[1].busy);
  EXPECT_EQ(g_recorded[2].panel, 10);

  // A full queue refuses with a clear text; nothing is run twice.
  AcquireLine(kOwnerVideo);
  for (int i = 0; i < kMaxDeferred + 2; ++i) RecordingCallback(i, 0, EVENT_COMMIT, nullptr, 0, 0);
  EXPECT_EQ(DeferredCount(), kMaxDeferred);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), kLineBusyFullText);
  ReleaseLine();
  EXPECT_EQ(g_recorded.size(), 3u + kMaxDeferred);
  ReleaseLine();  // an extra release is harmless
  EXPECT_FALSE(LineBusy());
}

// A TEACH fired while a block is read (it is dimmed, but its callback can be
// reached): the block arrives intact, the teach frame goes out only after the
// pass, and its own reply is taken.
TEST_F(VideoLineTest, TransactionDuringABlockWaitsForThePassAndKeepsItsReply) {
  ScriptPass(1000, 100, 200, 300, 400);
  line_->ReplyToNextWrite(0.04, OrdinaryFrame(6));  // the teach answer
  // Read-back of the three sets, then the next video pass stays unanswered.
  line_->ReplyToNextWrite(0.04, OrdinaryFrame(2));
  line_->ReplyToNextWrite(0.04, OrdinaryFrame(2));
  line_->ReplyToNextWrite(0.04, OrdinaryFrame(2));

  std::string statusAfterClick;
  ScheduleAt(Timer() + 0.15, [&] {
    ASSERT_TRUE(LineBusy());
    FireCtrlEvent(pHandle, MAIN_ButtonTeach, EVENT_COMMIT);
    statusAfterClick = CtrlText(pHandle, MAIN_TEXTStatus);
  });
  ClickCtrl(pHandle, MAIN_BTNVideo);

  EXPECT_EQ(statusAfterClick, kLineBusyText);
  EXPECT_EQ(adcbufA[0], 100);
  EXPECT_EQ(adcbufA[64], 200);
  EXPECT_EQ(adcbufB[0], 300);
  EXPECT_EQ(adcbufB[64], 400);
  auto sent = Sent();
  ASSERT_GE(sent.size(), 7u);
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(Word(sent[k].bytes, 2), 9);
  EXPECT_EQ(Word(sent[5].bytes, 2), 6);  // teach right after the pass
  EXPECT_EQ(Word(sent[6].bytes, 2), 2);  // its read-back: the reply was noticed
  EXPECT_EQ(Word(sent[6].bytes, 4), 0);
  EXPECT_EQ(Word(sent.back().bytes, 2), 8);  // the next video pass
  EXPECT_NE(CtrlText(pHandle, MAIN_TEXTStatus), "New setpoint value teached!");
  EXPECT_EQ(DeferredCount(), 0);
}

// GET clicked while a block is read (GET stays enabled during VIDEO): the
// block is not disturbed, the three fetches follow the pass and take their
// own replies.
TEST_F(VideoLineTest, GetDuringABlockFollowsThePassWithItsOwnReplies) {
  ScriptPass(1000, 100, 200, 300, 400);
  for (uint16_t set = 0; set < 3; ++set) {
    const uint16_t v = static_cast<uint16_t>(1100 + set);  // words 3 and 6
    line_->ReplyToNextWrite(0.04, OrdinaryFrame(2, {0, 0, 0, v, 0, 0, v}));
  }
  ScheduleAt(Timer() + 0.25, [] {
    ASSERT_TRUE(LineBusy());
    ClickCtrl(pHandle, MAIN_BTNGet);
  });
  ClickCtrl(pHandle, MAIN_BTNVideo);

  EXPECT_EQ(adcbufA[0], 100);
  EXPECT_EQ(adcbufA[64], 200);
  EXPECT_EQ(adcbufB[0], 300);
  EXPECT_EQ(adcbufB[64], 400);
  auto sent = Sent();
  ASSERT_EQ(sent.size(), 9u);
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(Word(sent[k].bytes, 2), 9);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(Word(sent[5 + k].bytes, 2), 2);
    EXPECT_EQ(Word(sent[5 + k].bytes, 4), k);
  }
  EXPECT_EQ(Word(sent[8].bytes, 2), 8);  // the next pass, unanswered
  EXPECT_EQ(parameter.set0[6], 1100);
  EXPECT_EQ(parameter.set1[3], 1101);
  EXPECT_EQ(parameter.set2[3], 1102);
}

// RESET fired while a block is read: the block is intact and the reset
// frame follows the pass with its own answer.
TEST_F(VideoLineTest, ResetDuringABlockFollowsThePass) {
  ScriptPass(1000, 100, 200, 300, 400);
  line_->ReplyToNextWrite(0.04, OrdinaryFrame(11));
  ScheduleAt(Timer() + 0.25, [] {
    ASSERT_TRUE(LineBusy());
    FireCtrlEvent(pHandle, MAIN_ButtonReset, EVENT_COMMIT);
  });
  ClickCtrl(pHandle, MAIN_BTNVideo);

  EXPECT_EQ(adcbufB[64], 400);
  auto sent = Sent();
  ASSERT_GE(sent.size(), 6u);
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(Word(sent[k].bytes, 2), 9);
  EXPECT_EQ(Word(sent[5].bytes, 2), 11);
  EXPECT_EQ(DeferredCount(), 0);
}

// ---- against the sensor model ----------------------------------------------------

class VideoSimTest : public AppTest {};

TEST_F(VideoSimTest, PassesFromTheModelShowItsVideoSignal) {
  sim().ClearRequests();
  // STOP once the third pass has asked for its measurement.
  int atStop = -1;
  std::function<void()> stopAfterThree;
  stopAfterThree = [&] {
    int measurements = 0;
    for (const auto& r : sim().requests()) measurements += r.command == 8;
    if (measurements >= 3) {
      atStop = measurements;
      ClickCtrl(pHandle, MAIN_BTNStop);
      return;
    }
    ScheduleAt(Timer() + 0.0005, stopAfterThree);
  };
  ScheduleAt(Timer() + 0.0005, stopAfterThree);
  ClickCtrl(pHandle, MAIN_BTNVideo);

  int blocks = 0, measurements = 0;
  for (const auto& r : sim().requests()) {
    blocks += r.command == 9;
    measurements += r.command == 8;
  }
  ASSERT_GE(atStop, 3);
  // The pass under way when STOP came was finished, no further one begun.
  EXPECT_EQ(measurements, atStop);
  EXPECT_EQ(blocks, 4 * measurements);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), kReceived);
  // The model's video signal has an edge: the curve is not flat.
  auto plots = GetGraphPlots(pHandle, MAIN_GRAPHDataMaster);
  ASSERT_EQ(plots.size(), 2u);
  double lo = plots[0].ys[0], hi = lo;
  for (double y : plots[0].ys) {
    lo = std::min(lo, y);
    hi = std::max(hi, y);
  }
  EXPECT_GT(hi - lo, 10.0);
  EXPECT_LE(hi, YMAXADC);
  EXPECT_FALSE(LineBusy());
}

TEST_F(VideoSimTest, ShortBlocksFromTheModelDrawNothing) {
  sim().faults().shortVideo = true;
  const auto before = GetGraphPlots(pHandle, MAIN_GRAPHDataMaster);
  ScheduleAt(Timer() + 1.0, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, MAIN_BTNVideo);
  const auto after = GetGraphPlots(pHandle, MAIN_GRAPHDataMaster);
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i].ys, before[i].ys);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), kBlockTimeout);
  // Only the first block of the pass was asked for.
  int blocks = 0;
  for (const auto& r : sim().requests()) blocks += r.command == 9;
  EXPECT_EQ(blocks, 1);
}

}  // namespace
