// Video signal: the raw 64-word block reader, the VIDEO loop, the curves and
// threshold lines, and what is clicked while a video pass owns the line.

#include "display/video.h"
#include "link/transfer.h"
#include "params/panels.h"
#include "tests/support/scripted_app.h"

namespace {

using tframes::Block;
using tframes::Bytes;
using tframes::WordAt;

constexpr const char* kReceived = "Data[64] block received!";
constexpr const char* kBlockTimeout = "Timeout-RS-232 while reading 64 data-words!";

// A measurement reply with edges at `aval` and `bval`.
Bytes Measurement(uint16_t aval, uint16_t bval = 1200) {
  return tframes::MeasurementFrame({aval, bval, 0, 0, 0, 0, 1, 1, 6, 4});
}
std::vector<double> CurveYs(int graph, size_t plot = 0) {
  const auto plots = GetGraphPlots(pHandle, graph);
  return plots.size() > plot ? plots[plot].ys : std::vector<double>{};
}

class VideoLineTest : public ScriptedAppTest {
 protected:
  void SetUp() override {
    ScriptedAppTest::SetUp();
    std::fill(adcbufA, adcbufA + 128, 7);
    std::fill(adcbufB, adcbufB + 128, 9);
    std::fill(databuf, databuf + 128, 11.0);
  }
  // Scripts one whole video pass: the measurement reply and four blocks.
  void ScriptPass(uint16_t aval, uint16_t a0, uint16_t a1, uint16_t b0, uint16_t b1) {
    line_->ReplyToNextWrite(0.04, Measurement(aval));
    for (uint16_t base : {a0, a1, b0, b1}) line_->ReplyToNextWrite(0.07, Block(base));
  }
  // The receive notification works (again).
  bool HandlerOn() {
    rx_flag = 0;
    line_->Arrive(Timer() + 0.01, tframes::OrdinaryFrame(kCmdFetchRam));
    RunFor(0.05);
    return rx_flag == 1;
  }
  // (offset, selector) of the block requests among the frames sent.
  std::vector<std::pair<int, int>> BlockRequests() const {
    std::vector<std::pair<int, int>> out;
    for (const Bytes& b : Sent())
      if (WordAt(b, 2) == kCmdVideoBlock) out.push_back({WordAt(b, 4), WordAt(b, 6)});
    return out;
  }
};

// ---- ReadData64, called with the receive handler off as the loop does -----------

TEST_F(VideoLineTest, BlockValuesAreBigEndianWordsAtTheOffset) {
  LineHandlerOff(eventMask);
  Bytes b = Block(0);
  b[0] = 0x12;
  b[1] = 0x34;
  line_->ReplyToNextWrite(0.07, b);
  EXPECT_EQ(ReadData64(0, 0), 1);
  EXPECT_EQ(adcbufA[0], 0x1234);
  EXPECT_EQ(adcbufA[63], 63);
  EXPECT_EQ(adcbufA[64], 7);  // the other half untouched
  EXPECT_EQ(nBytesR, 128);
  EXPECT_EQ(Status(), kReceived);
  EXPECT_STREQ(szStatus, kReceived);

  line_->ReplyToNextWrite(0.07, Block(500));
  EXPECT_EQ(ReadData64(64, 1), 1);
  EXPECT_EQ(adcbufB[63], 9);
  EXPECT_EQ(adcbufB[64], 500);
  EXPECT_EQ(adcbufB[127], 563);

  line_->ReplyToNextWrite(0.07, Block(40000));
  EXPECT_EQ(ReadData64(0, 2), 1);
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
  pp[14] = 0x1357;  // a measurement request goes first
  line_->ReplyToNextWrite(0.04, Measurement(1000));
  ASSERT_EQ(PushGETRAW(), 1);
  LineHandlerOff(eventMask);
  line_->ReplyToNextWrite(0.07, Block(0));
  parameter.command = kCmdSendRam;
  ReadData64(64, 1);
  EXPECT_EQ(parameter.command, kCmdVideoBlock);
  ASSERT_EQ(Sent().size(), 2u);
  Bytes want = tframes::WordsToBytes({0x0055, kCmdVideoBlock, 64, 1});
  want[34] = 0x13;
  want[35] = 0x57;
  EXPECT_EQ(LastSent(), want);
  EXPECT_EQ(nBytesW, 36);

  // The header word goes out as the record holds it.
  szWriteBuf[34] = 0xAB;
  parameter.header = 0x1255;
  line_->ReplyToNextWrite(0.07, Block(0));
  ReadData64(192, 2);
  parameter.header = 0x0055;
  want = tframes::WordsToBytes({0x1255, kCmdVideoBlock, 192, 2});
  want[34] = 0xAB;
  want[35] = 0x57;
  EXPECT_EQ(LastSent(), want);
}

TEST_F(VideoLineTest, ABrokenBlockLeavesTheDestinationAndTheNextOneIsReadCleanly) {
  LineHandlerOff(eventMask);
  Bytes shortBlock = Block(100), longBlock = Block(100);
  shortBlock.pop_back();
  longBlock.insert(longBlock.end(), {0x00, 0x55});
  struct Case {
    Bytes reply;
    int read;
    const char* status;
  } cases[] = {{shortBlock, 127, kBlockTimeout},
               {{}, 0, kBlockTimeout},
               {longBlock, 130, "Data[64] block: more than 128 bytes received!"},
               {Bytes(3000, 0x5A), kBufBytes, "Data[64] block: more than 128 bytes received!"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.read);
    line_->ReplyToNextWrite(0.07, c.reply);
    const double t0 = Timer();
    EXPECT_EQ(ReadData64(0, 1), 0);
    if (c.read < 128) {
      EXPECT_GT(Timer() - t0, TIMEOUT);
      EXPECT_LT(Timer() - t0, TIMEOUT + 0.1);
    }
    EXPECT_EQ(nBytesR, c.read);
    EXPECT_EQ(Status(), c.status);
    EXPECT_EQ(GetInQLen(com), 0);  // nothing left over for the next block
    for (int i = 0; i < 128; ++i) ASSERT_EQ(adcbufB[i], 9) << i;
  }
  line_->ReplyToNextWrite(0.07, Block(20));
  EXPECT_EQ(ReadData64(0, 1), 1);
  EXPECT_EQ(adcbufB[0], 20);
}

TEST_F(VideoLineTest, WaitingTextNamesTheBlockByOffset) {
  LineHandlerOff(eventMask);
  const std::pair<int, const char*> cases[] = {{0, "Waiting for Data[64] Block 0 ..."},
                                               {64, "Waiting for Data[64] Block 1 ..."},
                                               {128, "Waiting for Data[64] Block 2 ..."},
                                               {192, "Waiting for Data[64] Block 3 ..."},
                                               {32, "Waiting for Data[64] Block x ..."}};
  for (const auto& [offset, text] : cases) {
    std::string seen;
    After(0.03, [&seen] { seen = Status(); });
    line_->ReplyToNextWrite(0.07, Block(1));
    // Offsets 128 and 192 lie beyond the destination: the block is taken, nothing stored.
    EXPECT_EQ(ReadData64(offset, 2), 1) << offset;
    EXPECT_EQ(seen, text);
  }
  EXPECT_DOUBLE_EQ(databuf[31], 32.0);  // from offset 0
  EXPECT_DOUBLE_EQ(databuf[32], 1.0);   // from offset 32
  EXPECT_DOUBLE_EQ(databuf[95], 64.0);
  EXPECT_DOUBLE_EQ(databuf[96], 33.0);  // from offset 64
  EXPECT_DOUBLE_EQ(databuf[127], 64.0);
}

// ---- the VIDEO loop ------------------------------------------------------------

TEST_F(VideoLineTest, OnePassDrawsBothSensorsAndTheBarGraphs) {
  ScriptPass(1000, 100, 200, 300, 400);
  std::vector<bool> seen;  // RUN, VIDEO, TEACH dimmed; RESET, GET usable; line busy
  After(0.1, [&] {
    for (int c : {MAIN_BTNRun, MAIN_BTNVideo, MAIN_ButtonTeach, MAIN_ButtonReset, MAIN_BTNGet})
      seen.push_back(CtrlDimmed(pHandle, c));
    seen.push_back(LineBusy());
  });
  // No reply to the second pass's measurement request: the loop ends.
  const double t0 = Timer();
  ClickCtrl(pHandle, MAIN_BTNVideo);
  EXPECT_LT(Timer() - t0, 0.5 + 1.6);
  EXPECT_EQ(seen, (std::vector<bool>{true, true, true, false, false, true}));
  EXPECT_EQ(stop_flag, 1);
  EXPECT_EQ(Status(), "Timeout RS232-Line!");
  // The wire: a measurement, the four blocks in order, the next measurement.
  EXPECT_EQ(SentCommands(), (std::vector<uint16_t>{8, 9, 9, 9, 9, 8}));
  EXPECT_EQ(BlockRequests(), (std::vector<std::pair<int, int>>{{0, 0}, {64, 0}, {0, 1}, {64, 1}}));
  EXPECT_EQ(Aval, 1000);

  const uint16_t* bufs[2] = {adcbufA, adcbufB};
  const uint16_t* thds[2] = {thdArrayA, thdArrayB};
  const int graphs[2] = {MAIN_GRAPHDataMaster, MAIN_GRAPHDataSlave};
  for (int g = 0; g < 2; ++g) {
    EXPECT_EQ(bufs[g][0], 100 + 200 * g);
    EXPECT_EQ(bufs[g][127], 263 + 200 * g);
    const auto plots = GetGraphPlots(pHandle, graphs[g]);
    ASSERT_EQ(plots.size(), 2u);
    for (int i = 0; i < 128; ++i) {
      ASSERT_DOUBLE_EQ(plots[0].xs[i], xArray8[i]);
      ASSERT_DOUBLE_EQ(plots[0].ys[i], bufs[g][i]);
      ASSERT_DOUBLE_EQ(plots[1].ys[i], thds[g][i]);
    }
    double lo, hi;
    GetAxisRange(pHandle, graphs[g], VAL_XAXIS, &lo, &hi);
    EXPECT_EQ(std::make_pair(lo, hi), std::make_pair(1.0, double(ccdvirtpixel)));
    GetAxisRange(pHandle, graphs[g], VAL_LEFT_YAXIS, &lo, &hi);
    EXPECT_EQ(std::make_pair(lo, hi), std::make_pair(0.0, double(YMAXADC)));
    EXPECT_TRUE(CtrlVisible(pHandle, graphs[g]));
  }
  // The bar graph shows the measurement of the pass.
  bool bar = false;
  for (const auto& p : tframes::Rects(pHandle, MAIN_GRAPHBarMaster, 0xFF0000))
    bar = bar || (p.x1 <= 1000 && p.x2 >= 1000);
  EXPECT_TRUE(bar);
  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_STRIPHistory));
  for (int c : {MAIN_BTNRun, MAIN_BTNVideo, MAIN_ButtonTeach}) EXPECT_FALSE(CtrlDimmed(pHandle, c));
  EXPECT_TRUE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
  EXPECT_FALSE(LineBusy());
  EXPECT_TRUE(HandlerOn());
}

TEST_F(VideoLineTest, AFailedLastBlockStoresTheFirstBlocksButDrawsNothing) {
  // Pass 1 complete, pass 2 fails in block 1 of sensor B, pass 3 complete,
  // then silence ends the loop.
  ScriptPass(1000, 100, 200, 300, 400);
  line_->ReplyToNextWrite(0.04, Measurement(1001));
  for (uint16_t base : {1100, 1200, 1300}) line_->ReplyToNextWrite(0.07, Block(base));
  line_->ReplyToNextWrite(0.07, Bytes{});
  ScriptPass(1002, 2100, 2200, 2300, 2400);
  // The state when the third pass's measurement request goes out.
  std::vector<uint16_t> stored;
  std::vector<double> shownA;
  std::function<void()> watch = [&] {
    if (Sent().size() < 11) return After(0.001, watch);
    stored = {adcbufA[0], adcbufA[64], adcbufB[0], adcbufB[64]};
    shownA = CurveYs(MAIN_GRAPHDataMaster);
  };
  After(0.001, watch);
  ClickCtrl(pHandle, MAIN_BTNVideo);
  EXPECT_EQ(stored, (std::vector<uint16_t>{1100, 1200, 1300, 400}));
  ASSERT_EQ(shownA.size(), 128u);
  EXPECT_DOUBLE_EQ(shownA[64], 200);  // the graphs still show pass 1
  // The third pass was read and drawn: the handler was back on after the failure.
  EXPECT_EQ(SentCommands(),
            (std::vector<uint16_t>{8, 9, 9, 9, 9, 8, 9, 9, 9, 9, 8, 9, 9, 9, 9, 8}));
  EXPECT_DOUBLE_EQ(CurveYs(MAIN_GRAPHDataMaster).at(0), 2100);
  EXPECT_DOUBLE_EQ(CurveYs(MAIN_GRAPHDataSlave).at(127), 2463);
  EXPECT_TRUE(HandlerOn());
}

TEST_F(VideoLineTest, StopDuringASilentBlockEndsAfterThatBlockTimesOut) {
  line_->ReplyToNextWrite(0.04, Measurement(1000));
  line_->ReplyToNextWrite(0.07, Block(100));
  // Block 1 of sensor A: the sensor stays silent.
  bool enabledAtOnce = false;
  After(0.3, [&] {
    ASSERT_EQ(Sent().size(), 3u);
    ClickCtrl(pHandle, MAIN_BTNStop);
    enabledAtOnce = !CtrlDimmed(pHandle, MAIN_BTNRun) && !CtrlDimmed(pHandle, MAIN_BTNVideo);
  });
  ClickCtrl(pHandle, MAIN_BTNVideo);
  EXPECT_TRUE(enabledAtOnce);
  ASSERT_EQ(Sent().size(), 3u);  // no further block, no further pass
  const double waited = Timer() - LastSentAt();
  EXPECT_GE(waited, TIMEOUT);
  EXPECT_LT(waited, TIMEOUT + 0.25);  // the 0.2 s of STOP may fall inside
  EXPECT_EQ(stop_flag, 1);
  EXPECT_EQ(Status(), kBlockTimeout);
  EXPECT_EQ(adcbufA[0], 100);
  EXPECT_EQ(adcbufA[64], 7);
  EXPECT_FALSE(CtrlDimmed(pHandle, MAIN_BTNRun));
  EXPECT_FALSE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
  EXPECT_TRUE(HandlerOn());
}

TEST_F(VideoLineTest, VideoSelectsTheRamTarget) {
  SetCtrlVal(pHandle, MAIN_RBTRam, 0);
  SetCtrlVal(pHandle, MAIN_RBTEeprom, 1);
  target = 2;
  ClickCtrl(pHandle, MAIN_BTNVideo);  // silent line: one pass, then the loop ends
  EXPECT_EQ(tframes::IntVal(pHandle, MAIN_RBTRam), 1);
  EXPECT_EQ(tframes::IntVal(pHandle, MAIN_RBTEeprom), 0);
  EXPECT_EQ(tframes::IntVal(pHandle, MAIN_RBTFile), 0);
  EXPECT_EQ(target, 1);
  // No block without a measurement reply.
  EXPECT_EQ(SentCommands(), std::vector<uint16_t>{kCmdMeasure});
  EXPECT_TRUE(HandlerOn());
}

TEST_F(VideoLineTest, SlidersRedrawTheLastSamplesWithTheNewLine) {
  YMAXADC = 256;
  for (int i = 0; i < 128; ++i) adcbufA[i] = static_cast<uint16_t>(i);
  SetCtrlVal(pPara1, PARA1_SLIDEVideoTHD_A, 33);
  FireCtrlEvent(pPara1, PARA1_SLIDEVideoTHD_A, EVENT_VAL_CHANGED);
  for (int i = 0; i < 128; ++i) ASSERT_EQ(thdArrayA[i], 84);
  EXPECT_EQ(CtrlText(pPara1, PARA1_NUMVideoTHD_A), "33");  // the value beside the slider
  EXPECT_DOUBLE_EQ(CurveYs(MAIN_GRAPHDataMaster).at(5), 5);
  EXPECT_EQ(CurveYs(MAIN_GRAPHDataMaster, 1), std::vector<double>(128, 84));

  SetCtrlVal(pPara2, PARA2_SLIDEVideoTHD_B, 50);
  FireCtrlEvent(pPara2, PARA2_SLIDEVideoTHD_B, EVENT_VAL_CHANGED);
  for (int i = 0; i < 128; ++i) ASSERT_EQ(thdArrayB[i], 128);
  EXPECT_EQ(CtrlText(pPara2, PARA2_NUMVideoTHD_B), "50");
  EXPECT_DOUBLE_EQ(CurveYs(MAIN_GRAPHDataSlave).at(0), 9);
  EXPECT_EQ(CurveYs(MAIN_GRAPHDataSlave, 1), std::vector<double>(128, 128));
  EXPECT_DOUBLE_EQ(CurveYs(MAIN_GRAPHDataMaster, 1).at(0), 84);  // A untouched by B

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

// ---- against the sensor model ----------------------------------------------------

class VideoSimTest : public PacedSensorTest {
 protected:
  // Runs f at the first moment after dt at which a video pass holds the line.
  void DuringPass(double dt, std::function<void()> f) {
    After(dt, [this, f] { LineBusy() ? f() : DuringPass(0.005, f); });
  }
  void ExpectCurvesOfTheModel() {
    for (int i = 0; i < 128; ++i) {
      ASSERT_EQ(adcbufA[i], sim().VideoSample(0, i)) << i;
      ASSERT_EQ(adcbufB[i], sim().VideoSample(1, i)) << i;
    }
  }
};

TEST_F(VideoSimTest, PassesShowTheModelsSignalUntilStop) {
  sim().ClearRequests();
  int atStop = -1;  // STOP once the third pass has asked for its measurement
  std::function<void()> stopAfterThree = [&] {
    if (RequestCount(sim(), kCmdMeasure) < 3) return After(0.0005, stopAfterThree);
    atStop = RequestCount(sim(), kCmdMeasure);
    ClickCtrl(pHandle, MAIN_BTNStop);
  };
  After(0.0005, stopAfterThree);
  ClickCtrl(pHandle, MAIN_BTNVideo);
  // The pass under way when STOP came was finished, no further one begun.
  EXPECT_EQ(RequestCount(sim(), kCmdMeasure), 3);
  EXPECT_EQ(atStop, 3);
  EXPECT_EQ(RequestCount(sim(), kCmdVideoBlock), 12);
  EXPECT_EQ(Status(), kReceived);
  ExpectCurvesOfTheModel();
  const auto ys = CurveYs(MAIN_GRAPHDataMaster);
  ASSERT_EQ(ys.size(), 128u);
  EXPECT_GT(*std::max_element(ys.begin(), ys.end()) - *std::min_element(ys.begin(), ys.end()), 10);
  EXPECT_FALSE(LineBusy());
}

TEST_F(VideoSimTest, ShortBlocksSkipTheirPassAndDrawNothing) {
  sim().faults().shortVideo = true;
  std::fill(adcbufA, adcbufA + 128, 0);
  const auto before = CurveYs(MAIN_GRAPHDataMaster);
  sim().ClearRequests();
  After(4.0, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, MAIN_BTNVideo);
  EXPECT_EQ(CurveYs(MAIN_GRAPHDataMaster), before);
  EXPECT_EQ(Status(), kBlockTimeout);
  // Each pass asked for its first block only, and the loop went on until STOP.
  EXPECT_GE(RequestCount(sim(), kCmdMeasure), 2);
  EXPECT_EQ(RequestCount(sim(), kCmdVideoBlock), RequestCount(sim(), kCmdMeasure));
  EXPECT_EQ(std::count(adcbufA, adcbufA + 128, 0), 128);
  sim().faults().shortVideo = false;
  After(1.5, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, MAIN_BTNVideo);
  ExpectCurvesOfTheModel();
}

// A transaction clicked while a block is read is held back until the pass is
// over (TEACH is dimmed, but its callback can be reached): the blocks arrive
// intact, the transaction follows the pass and takes its own replies.
TEST_F(VideoSimTest, ATransactionClickedDuringABlockFollowsThePass) {
  for (int k = 0; k < 3; ++k) sim().ram[k][4] = static_cast<uint16_t>(100 + k);
  sim().edgeA = 1111;
  struct Case {
    int control;
    std::vector<uint16_t> commands;  // what follows the pass
  } cases[] = {{MAIN_BTNGet, {2, 2, 2}},
               {MAIN_ButtonTeach, {6, 2, 2, 2}},
               {MAIN_ButtonReset, {11}},
               {MAIN_BTNSend, {1, 1, 1}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    sim().ClearRequests();
    std::string status;
    DuringPass(0.3, [&] {
      FireCtrlEvent(pHandle, c.control, EVENT_COMMIT);
      status = Status();
    });
    After(1.0, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
    ClickCtrl(pHandle, MAIN_BTNVideo);
    EXPECT_EQ(status, kLineBusyText);
    const auto sent = tframes::SentCommands(sim());
    const auto at = std::search(sent.begin(), sent.end(), c.commands.begin(), c.commands.end());
    ASSERT_NE(at, sent.end());
    ASSERT_GE(at - sent.begin(), 5);
    EXPECT_EQ(std::vector<uint16_t>(at - 5, at), (std::vector<uint16_t>{8, 9, 9, 9, 9}));
    EXPECT_GT(sent.end() - at, static_cast<long>(c.commands.size()));  // the loop went on
    EXPECT_EQ(DeferredCount(), 0);
    ExpectCurvesOfTheModel();
    for (int k = 0; k < 3; ++k) EXPECT_EQ(HeldSet(k), sim().ram[k]) << "set " << k;
  }
  EXPECT_EQ(parameter.set1[3], 1111);  // the teach's read-back
}

}  // namespace
