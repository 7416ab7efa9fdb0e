// Video signal: the raw 64-word block reader, the VIDEO loop, the curves and
// threshold lines. (What is clicked while a pass holds the line is the line's
// rule, checked with the line's.)

#include "display/video.h"
#include "link/transfer.h"
#include "params/panels.h"
#include "tests/support/scripted_app.h"

namespace {

using tframes::Block;
using tframes::Bytes;

constexpr const char* kBlockTimeout = "Timeout-RS-232 while reading 64 data-words!";
constexpr const char* kOverrun = "Data[64] block: more than 128 bytes received!";

// A measurement reply with edges at `aval` and 1200.
Bytes Measurement(uint16_t aval) {
  return tframes::MeasurementFrame({aval, 1200, 0, 0, 0, 0, 1, 1, 6, 4});
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
  }
  // Scripts a video pass: the measurement reply, then one block per base value.
  void ScriptPass(uint16_t aval, std::initializer_list<uint16_t> bases) {
    line_->ReplyToNextWrite(0.04, Measurement(aval));
    for (uint16_t base : bases) line_->ReplyToNextWrite(0.07, Block(base));
  }
};

// ---- ReadData64, called with the receive handler off as the loop does -----------

TEST_F(VideoLineTest, BlocksAreBigEndianWordsStoredFromTheOffsetInTheirBuffer) {
  pp[14] = 0x1357;  // a measurement request first: its last two bytes stay in the block requests
  line_->ReplyToNextWrite(0.04, Measurement(1000));
  ASSERT_EQ(PushGETRAW(), 1);
  LineHandlerOff(eventMask);
  parameter.header = 0x1255;  // the header word goes out as the record holds it
  // offset, selector (0 A, 1 B, 2 the test ramp, 3 none), first value, block named
  // in the waiting text. Values beyond a buffer's 128 are taken, not stored.
  const std::tuple<uint16_t, uint16_t, uint16_t, char> blocks[] = {
      {0, 0, 0x1234, '0'}, {64, 1, 500, '1'},    {0, 3, 3, '0'},       {0, 2, 40000, '0'},
      {64, 2, 40000, '1'}, {128, 2, 40000, '2'}, {192, 2, 40000, '3'}, {32, 2, 40000, 'x'}};
  for (const auto& [offset, selector, base, named] : blocks) {
    std::string seen;
    After(0.03, [&seen] { seen = Status(); });
    line_->ReplyToNextWrite(0.07, Block(base));
    parameter.command = kCmdSendRam;
    EXPECT_EQ(Longs({ReadData64(offset, selector), nBytesR, nBytesW, parameter.command,
                     Status() == "Data[64] block received!",
                     std::strcmp(szStatus, "Data[64] block received!")}),
              Longs({1, 128, 36, kCmdVideoBlock, 1, 0}))
        << offset << " " << selector;
    EXPECT_EQ(seen, std::string("Waiting for Data[64] Block ") + named + " ...");
    Bytes want = tframes::WordsToBytes({0x1255, kCmdVideoBlock, offset, selector});
    std::tie(want[34], want[35]) = std::make_pair(0x13, 0x57);
    EXPECT_EQ(LastSent(), want);
  }
  parameter.header = 0x0055;
  EXPECT_EQ(Longs({adcbufA[0], adcbufA[63], adcbufA[64], adcbufB[0], adcbufB[63], adcbufB[64],
                   adcbufB[127], long(databuf[31]), long(databuf[32]), long(databuf[95]),
                   long(databuf[96]), long(databuf[127])}),
            Longs({0x1234, 0x1234 + 63, 7, 9, 9, 500, 563, 40031, 40000, 40063, 40032, 40063}));

  // A broken block leaves the destination, and the next one is read cleanly.
  const std::vector<double> kept = AsDoubles(adcbufB);
  Bytes shortBlock = Block(100), longBlock = Block(100);
  shortBlock.pop_back();
  longBlock.insert(longBlock.end(), {0x00, 0x55});
  const std::tuple<Bytes, int, const char*> cases[] = {{shortBlock, 127, kBlockTimeout},
                                                       {{}, 0, kBlockTimeout},
                                                       {longBlock, 130, kOverrun},
                                                       {Bytes(3000, 0x5A), kBufBytes, kOverrun}};
  for (const auto& [reply, read, status] : cases) {
    line_->ReplyToNextWrite(0.07, reply);
    EXPECT_EQ(Longs({ReadData64(0, 1), nBytesR, GetInQLen(com), Status() == status}),
              Longs({0, read, 0, 1}));
    EXPECT_EQ(AsDoubles(adcbufB), kept) << read;
  }
  line_->ReplyToNextWrite(0.07, Block(20));
  EXPECT_EQ(Longs({ReadData64(0, 1), adcbufB[0]}), Longs({1, 20}));
}

// ---- the VIDEO loop ------------------------------------------------------------

// Pass 1 complete, pass 2 fails in the last block (block 1 of sensor B), pass 3
// complete, then silence ends the loop.
TEST_F(VideoLineTest, PassesDrawBothSensorsButAFailedBlockDrawsNothing) {
  ClickCtrl(pHandle, MAIN_RBTEeprom);  // VIDEO selects the RAM target
  ScriptPass(1000, {100, 200, 300, 400});
  ScriptPass(1001, {1100, 1200, 1300});
  line_->ReplyToNextWrite(0.07, Bytes{});
  ScriptPass(1002, {2100, 2200, 2300, 2400});
  // RUN, VIDEO, TEACH dimmed, RESET and GET usable, recording dimmed, the line held.
  const auto state = [] {
    Longs out;
    for (int c : {MAIN_BTNRun, MAIN_BTNVideo, MAIN_ButtonTeach, MAIN_ButtonReset, MAIN_BTNGet})
      out.push_back(CtrlDimmed(pHandle, c));
    return out.insert(out.end(), {CtrlDimmed(pPopUp, POPUP_BTNStartRecord), LineBusy()}), out;
  };
  Longs during;
  double shown = -1;  // when the third pass's measurement request goes out: still pass 1's
  After(0.1, [&] { during = state(); });
  std::function<void()> watch = [&] {
    if (Sent().size() < 11) return After(0.001, watch);
    shown = CurveYs(MAIN_GRAPHDataMaster).at(64);
  };
  After(0.001, watch);
  ClickCtrl(pHandle, MAIN_BTNVideo);
  EXPECT_EQ(during, Longs({1, 1, 1, 0, 0, 1, 1}));
  EXPECT_EQ(state(), Longs({0, 0, 0, 0, 0, 1, 0}));
  EXPECT_EQ(shown, 200);
  EXPECT_EQ(Longs({stop_flag, target, tframes::IntVal(pHandle, MAIN_RBTRam),
                   tframes::IntVal(pHandle, MAIN_RBTEeprom), Status() == "Timeout RS232-Line!"}),
            Longs({1, 1, 1, 0, 1}));
  // Per pass a measurement and the four blocks; then the unanswered measurement.
  EXPECT_EQ(Sent().size(), 16u);
  EXPECT_EQ(Longs({Aval, adcbufA[0], adcbufA[127], adcbufB[0], adcbufB[127]}),
            Longs({1002, 2100, 2263, 2300, 2463}));
  for (const auto& [graph, buf, thd] : {std::make_tuple(MAIN_GRAPHDataMaster, adcbufA, thdArrayA),
                                        std::make_tuple(MAIN_GRAPHDataSlave, adcbufB, thdArrayB)}) {
    const auto plots = GetGraphPlots(pHandle, graph);
    ASSERT_EQ(plots.size(), 2u);
    EXPECT_EQ(std::vector({plots[0].xs, plots[0].ys, plots[1].ys}),
              std::vector({AsDoubles(xArray8), AsDoubles(buf), AsDoubles(thd)}));
    EXPECT_TRUE(CtrlVisible(pHandle, graph));
  }
  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_STRIPHistory));

  // The threshold sliders redraw the last samples with the new line.
  YMAXADC = 256;
  for (int i = 0; i < 128; ++i) adcbufA[i] = static_cast<uint16_t>(i);
  const std::tuple<int, int, int, int, uint16_t*, const uint16_t*, int> sliders[] = {
      {pPara1, PARA1_SLIDEVideoTHD_A, PARA1_NUMVideoTHD_A, MAIN_GRAPHDataMaster, thdArrayA, adcbufA,
       33},
      {pPara2, PARA2_SLIDEVideoTHD_B, PARA2_NUMVideoTHD_B, MAIN_GRAPHDataSlave, thdArrayB, adcbufB,
       50}};
  for (const auto& [panel, slider, number, graph, line, samples, value] : sliders) {
    SetCtrlVal(panel, slider, value);
    FireCtrlEvent(panel, slider, EVENT_VAL_CHANGED);
    EXPECT_EQ(AsDoubles(line), std::vector<double>(128, value * 256 / 100));
    EXPECT_EQ(CtrlText(panel, number), std::to_string(value));  // the value beside the slider
    EXPECT_EQ(CurveYs(graph), AsDoubles(samples));
    EXPECT_EQ(CurveYs(graph, 1), AsDoubles(line));
  }
  SetCtrlVal(pPara1, PARA1_SLIDEVideoTHD_A, 90);
  FireCtrlEvent(pPara1, PARA1_SLIDEVideoTHD_A, EVENT_COMMIT);  // a commit alone does nothing
  EXPECT_EQ(thdArrayA[0], 84);
  // A refresh of the panels shows the sets' thresholds beside the sliders too.
  parameter.set1[2] = 77;
  parameter.set2[2] = 200;
  SetPanelValues();
  EXPECT_EQ(CtrlText(pPara1, PARA1_NUMVideoTHD_A) + " " + CtrlText(pPara2, PARA2_NUMVideoTHD_B),
            "77 200");
}

}  // namespace
