// X-FLASH linearisation upload: the file reader, the frames on the wire, the
// progress display and its texts, refusals and uploads that are not answered.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/panels.h"
#include "link/frame.h"
#include "link/identify.h"
#include "link/link.h"
#include "link/payload.h"
#include "link/xflash.h"
#include "platform/clock.h"
#include "platform/graph_probe.h"
#include "platform/popup.h"
#include "platform/popup_script.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "tests/support/frames.h"
#include "tests/support/harness.h"

namespace {

constexpr const char* kDone = "X-FLASH Data successfully written!";

using tframes::MakeTempDir;
using tframes::ReadAll;
using tframes::WriteFile;

// n values, one per line: start, start - step, ...
std::string Numbers(int n, int start = 100, int step = 1, const char* sep = "\n") {
  std::string s;
  for (int i = 0; i < n; ++i) s += std::to_string(start - step * i) + sep;
  return s;
}

// ---- The file reader -------------------------------------------------------

TEST(LinFile, ReadsTheFirst2048IntegersWithAnySeparator) {
  static int16_t table[kLinValues];
  std::string text = "\xEF\xBB\xBF";  // byte-order mark
  for (int i = 0; i < kLinValues; ++i) {
    text += std::to_string(i % 2 ? -i : i * 15);
    text += (i % 4 == 0) ? "\r\n" : (i % 4 == 1) ? "\t" : (i % 4 == 2) ? ", " : " ;";
  }
  text += "\n99999 junk after the table is not read\n";
  LinParseResult r = ParseLinData(text.data(), text.size(), table);
  ASSERT_EQ(r.error, kLinOk);
  EXPECT_EQ(r.count, kLinValues);
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[1], -1);
  EXPECT_EQ(table[2046], 30690);
  EXPECT_EQ(table[2047], -2047);

  const std::string edges = "-32768 +32767 " + Numbers(2046, 0, 0, " ");
  r = ParseLinData(edges.data(), edges.size(), table);
  ASSERT_EQ(r.error, kLinOk);
  EXPECT_EQ(table[0], -32768);
  EXPECT_EQ(table[1], 32767);
}

TEST(LinFile, RefusesShortOutOfRangeAndNonNumericText) {
  static int16_t table[kLinValues];
  std::string text = Numbers(2047);
  LinParseResult r = ParseLinData(text.data(), text.size(), table);
  EXPECT_EQ(r.error, kLinTooFew);
  EXPECT_EQ(r.count, 2047);

  text = Numbers(99) + "32768\n" + Numbers(2000);
  r = ParseLinData(text.data(), text.size(), table);
  EXPECT_EQ(r.error, kLinOutOfRange);
  EXPECT_EQ(r.line, 100);
  text = "-32769 " + Numbers(2048);
  EXPECT_EQ(ParseLinData(text.data(), text.size(), table).error, kLinOutOfRange);
  text = "123456789012345678901234567890 " + Numbers(2048);
  EXPECT_EQ(ParseLinData(text.data(), text.size(), table).error, kLinOutOfRange);

  for (const char* bad : {"12a", "1.5", "-", "0x10", "abc", "+-3"}) {
    text = Numbers(9) + bad + "\n" + Numbers(2048);
    r = ParseLinData(text.data(), text.size(), table);
    EXPECT_EQ(r.error, kLinNotANumber) << bad;
    EXPECT_EQ(r.line, 10) << bad;
  }
  r = ParseLinData("", 0, table);
  EXPECT_EQ(r.error, kLinTooFew);
  EXPECT_EQ(r.count, 0);

  char msg[73];
  LinRefusalText(LinParseResult{kLinTooFew, 1000, 1001}, msg, sizeof msg);
  EXPECT_STREQ(msg, "Linearisation file refused: only 1000 of 2048 values!");
  LinRefusalText(LinParseResult{kLinOutOfRange, 17, 18}, msg, sizeof msg);
  EXPECT_STREQ(msg, "Linearisation file refused: value out of range in line 18!");
  LinRefusalText(LinParseResult{kLinNotANumber, 17, 18}, msg, sizeof msg);
  EXPECT_STREQ(msg, "Linearisation file refused: no number in line 18!");
}

TEST(LinFile, DefaultTableReadsBackUnchanged) {
  const std::string dir = MakeTempDir();
  char here[512];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  const int result = WriteLinData2048ToFile();
  const std::string text = ReadAll("LIN2048.DAT");
  ASSERT_EQ(chdir(here), 0);
  ASSERT_EQ(result, 0);
  static int16_t table[kLinValues];
  ASSERT_EQ(ParseLinData(text.data(), text.size(), table).error, kLinOk);
  for (int i = 0; i < kLinValues; ++i) ASSERT_EQ(table[i], 4095 - 2 * i) << i;
  EXPECT_EQ(text.substr(0, 10), "4095\n4093\n");
}

// ---- Frames and texts ------------------------------------------------------

TEST(XFlashFrame, WriteFrameLeavesTheTailAlone) {
  unsigned char frame[36];
  std::memset(frame, 0x5A, sizeof frame);
  int16_t words[8] = {1, -1, 256, 0x1234, 0, 32767, -32768, 7};
  BuildXFlashWriteFrame(frame, 8, 3, words);
  const unsigned char head[24] = {0x00, 0x55, 0x00, 0x66, 0x00, 0x08, 0x00, 0x03,
                                  0x00, 0x01, 0xFF, 0xFF, 0x01, 0x00, 0x12, 0x34,
                                  0x00, 0x00, 0x7F, 0xFF, 0x80, 0x00, 0x00, 0x07};
  EXPECT_EQ(std::memcmp(frame, head, 24), 0);
  for (int i = 24; i < 36; ++i) EXPECT_EQ(frame[i], 0x5A) << i;
}

TEST(XFlashFrame, IncompleteTexts) {
  char text[73];
  xflashUpload = XFlashUploadState{256, 3, 0, 0};
  EXPECT_FALSE(XFLASHUploadConfirmed());
  XFLASHIncompleteText(text, sizeof text);
  EXPECT_STREQ(text, "X-FLASH upload incomplete: 3 of 256 frames unanswered!");
  xflashUpload = XFlashUploadState{256, 0, 1, 1};
  XFLASHIncompleteText(text, sizeof text);
  EXPECT_STREQ(text, "X-FLASH upload incomplete: clear unanswered, 1 wrong echo!");
  // Everything at once still fits the status line.
  xflashUpload = XFlashUploadState{256, 200, 56, 1};
  XFLASHIncompleteText(text, sizeof text);
  EXPECT_STREQ(text, "X-FLASH incomplete: clear, 200 of 256 unanswered, 56 wrong echoes!");
  xflashUpload = XFlashUploadState{256, 0, 0, 0};
  EXPECT_TRUE(XFLASHUploadConfirmed());
}

// ---- In the running program ------------------------------------------------

class XFlashTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    dir_ = MakeTempDir();
    for (int i = 0; i < kLinValues; ++i) linArray[i] = static_cast<int16_t>(i);
  }
  void Reveal() {
    SetCtrlAttribute(pCalib, CALIB_BTNWriteXFSL, ATTR_VISIBLE, 1);
    SetCtrlAttribute(pCalib, CALIB_BTNWriteXFMA, ATTR_VISIBLE, 1);
  }
  bool Visible(int control) {
    int v = 0;
    GetCtrlAttribute(pCalib, control, ATTR_VISIBLE, &v);
    return v != 0;
  }
  std::string Status() { return CtrlText(pHandle, MAIN_TEXTStatus); }
  std::vector<PlotInfo> Bars() { return GetGraphPlots(pHandle, MAIN_GRAPHBarSlave); }
  // Uploads the file at path with the given button.
  void Upload(const std::string& path, int button = CALIB_BTNWriteXFMA) {
    Reveal();
    QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, path);
    FireCtrlEvent(pCalib, button, EVENT_COMMIT);
  }
  size_t XFlashRequests() {
    size_t n = 0;
    for (const auto& r : sim().requests())
      if (r.command == 101 || r.command == 102) ++n;
    return n;
  }
  std::string dir_;
};

TEST_F(XFlashTest, WriteFrameCarriesPageOffsetAndTheClearFramesTail) {
  ASSERT_EQ(ClearXFLASH(), 1);
  EXPECT_EQ(Status(), "X-FLASH-cleared!");
  EXPECT_EQ(sim().xflashClears, 1);
  const auto& clear = sim().requests().back();
  EXPECT_EQ(clear.command, 101);
  EXPECT_EQ(clear.argument, 0);
  for (uint16_t w : clear.words) EXPECT_EQ(w, 0x00AA);

  BeginXFLASHUpload();
  WriteXFLASH(8, 3, linArray);
  const unsigned char head[8] = {0x00, 0x55, 0x00, 0x66, 0x00, 0x08, 0x00, 0x03};
  EXPECT_EQ(std::memcmp(szWriteBuf, head, 8), 0);
  for (int i = 24; i < 36; i += 2) {
    EXPECT_EQ(szWriteBuf[i], 0x00);
    EXPECT_EQ(szWriteBuf[i + 1], 0xAA);
  }
  const auto& req = sim().requests().back();
  EXPECT_EQ(req.command, 102);
  EXPECT_EQ(req.argument, 8);
  EXPECT_EQ(req.words[0], 3);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(req.words[1 + i], 264 + i);
  for (int i = 9; i < 15; ++i) EXPECT_EQ(req.words[i], 0x00AA);
  EXPECT_EQ(parameter.command, 102);
  EXPECT_EQ(sim().xflash[264], 264);
  EXPECT_EQ(Status(), "X-FLASH-write OK: PAGE3 ...");
  EXPECT_EQ(CtrlText(pHandle, MAIN_NUMAnaMax), "264");
}

TEST_F(XFlashTest, LastEchoShowsCompletionAndEarlierEchoesShowThePage) {
  BeginXFLASHUpload();
  DeleteGraphPlot(pHandle, MAIN_GRAPHBarSlave, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
  WriteXFLASH(240, 9, linArray);
  EXPECT_EQ(Status(), "X-FLASH-write OK: PAGE9 ...");
  std::vector<PlotInfo> bars = Bars();
  ASSERT_FALSE(bars.empty());
  EXPECT_DOUBLE_EQ(bars.back().x1, 1.0);
  EXPECT_DOUBLE_EQ(bars.back().x2, 2032.0);
  EXPECT_DOUBLE_EQ(bars.back().y2, 1.0);
  EXPECT_EQ(bars.back().fillColor, 0x00FF00);
  EXPECT_EQ(bars.back().frameColor, 0x00FF00);

  WriteXFLASH(248, 9, linArray);
  EXPECT_EQ(Status(), kDone);
  bars = Bars();
  EXPECT_DOUBLE_EQ(bars.back().x2, static_cast<double>(ccdsubpixel));
  EXPECT_EQ(bars.back().fillColor, 0xA0A0A0);
  EXPECT_EQ(bars.size(), 2u);  // the bars stay until the graph is cleared
}

TEST_F(XFlashTest, StaleEchoAfterATimeoutIsNoCompletion) {
  BeginXFLASHUpload();
  WriteXFLASH(248, 9, linArray);
  ASSERT_EQ(Status(), kDone);
  // A new upload whose last frame gets no answer: pp still holds the echo of
  // page 9, offset 248 from before.
  sim().faults().silent = true;
  BeginXFLASHUpload();
  const double t0 = Timer();
  WriteXFLASH(248, 9, linArray);
  EXPECT_GT(Timer() - t0, 1.5);
  EXPECT_EQ(pp[1], 9);
  EXPECT_EQ(pp[0], 248);
  EXPECT_EQ(Status(), "Timeout-RS-232...");
  EXPECT_EQ(Bars().back().fillColor, 0x00FF00);
  EXPECT_EQ(xflashUpload.unanswered, 1);
}

TEST_F(XFlashTest, EarlierUnansweredFrameBlocksTheCompletionText) {
  BeginXFLASHUpload();
  WriteXFLASH(0, 2, linArray);
  sim().faults().silent = true;
  WriteXFLASH(8, 2, linArray);
  sim().faults().silent = false;
  WriteXFLASH(248, 9, linArray);  // answered with its own echo
  EXPECT_NE(Status(), kDone);
  EXPECT_EQ(Status(), "X-FLASH-write OK: PAGE9 ...");
  EXPECT_EQ(Bars().back().fillColor, 0x00FF00);
}

TEST_F(XFlashTest, FullUploadOfTheDefaultTable) {
  char here[512];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  const int written = WriteLinData2048ToFile();
  ASSERT_EQ(chdir(here), 0);
  ASSERT_EQ(written, 0);
  const std::string file = dir_ + "/LIN2048.DAT";
  sim().xflash.fill(0x1111);
  sim().ClearRequests();

  Upload(file, CALIB_BTNWriteXFMA);

  EXPECT_EQ(Status(), kDone);
  EXPECT_EQ(sim().xflashClears, 1);
  for (int i = 0; i < kLinValues; ++i) ASSERT_EQ(sim().xflash[i], 4095 - 2 * i) << i;
  for (int i = 0; i < kLinValues; ++i) ASSERT_EQ(linArray[i], 4095 - 2 * i) << i;

  // One clear frame, then 256 write frames in page and offset order.
  const auto& reqs = sim().requests();
  ASSERT_EQ(reqs.size(), 257u);
  EXPECT_EQ(reqs[0].command, 101);
  for (int k = 0; k < 256; ++k) {
    const auto& r = reqs[1 + k];
    ASSERT_EQ(r.command, 102);
    EXPECT_EQ(r.words[0], 2 + k / 32);
    EXPECT_EQ(r.argument, (k % 32) * 8);
    for (int i = 9; i < 15; ++i) EXPECT_EQ(r.words[i], 0x00AA);
  }
  for (int i = 0; i < 8; ++i) EXPECT_EQ(reqs[1].words[1 + i], 4095 - 2 * i);  // 4095 .. 4081

  // The progress display: manual x axis 1 .. ccdsubpixel, grey bar last.
  double xmin = 0, xmax = 0;
  GetAxisRange(pHandle, MAIN_GRAPHBarSlave, VAL_XAXIS, &xmin, &xmax);
  EXPECT_DOUBLE_EQ(xmin, 1.0);
  EXPECT_DOUBLE_EQ(xmax, static_cast<double>(ccdsubpixel));
  const std::vector<PlotInfo> bars = Bars();
  ASSERT_EQ(bars.size(), 256u);
  EXPECT_EQ(bars.back().fillColor, 0xA0A0A0);
  EXPECT_EQ(CtrlText(pHandle, MAIN_NUMAnaMax), "2040");

  // The file dialogue as asked for, and the button hid itself.
  const PopupCall& call = PopupCalls().back();
  EXPECT_EQ(call.title, "TARVO-LT-Series-Linearisation-File");
  EXPECT_EQ(call.text, "XF-LINEAR.DAT");
  EXPECT_EQ(call.pattern, "*.dat");
  EXPECT_EQ(call.button, VAL_LOAD_BUTTON);
  EXPECT_FALSE(Visible(CALIB_BTNWriteXFMA));
  EXPECT_TRUE(Visible(CALIB_BTNWriteXFSL));
}

TEST_F(XFlashTest, CancelHidesOnlyItsOwnButton) {
  Reveal();
  const size_t before = sim().requests().size();
  QueueFileAnswer(VAL_NO_FILE_SELECTED, "");
  FireCtrlEvent(pCalib, CALIB_BTNWriteXFSL, EVENT_COMMIT);
  EXPECT_FALSE(Visible(CALIB_BTNWriteXFSL));
  EXPECT_TRUE(Visible(CALIB_BTNWriteXFMA));
  EXPECT_EQ(sim().requests().size(), before);
}

TEST_F(XFlashTest, BadFilesAreRefusedAndNothingIsSent) {
  struct Case {
    const char* name;
    std::string content;
    const char* status;
  };
  const Case cases[] = {
      {"short.dat", Numbers(2000), "Linearisation file refused: only 2000 of 2048 values!"},
      {"range.dat", Numbers(40) + "40000\n" + Numbers(2048),
       "Linearisation file refused: value out of range in line 41!"},
      {"text.dat", Numbers(5) + "abc\n" + Numbers(2048),
       "Linearisation file refused: no number in line 6!"},
  };
  for (const Case& c : cases) {
    const std::string path = dir_ + "/" + c.name;
    WriteFile(path, c.content);
    const size_t before = sim().requests().size();
    Upload(path, CALIB_BTNWriteXFSL);
    EXPECT_EQ(Status(), c.status) << c.name;
    EXPECT_EQ(sim().requests().size(), before) << c.name;
    for (int i = 0; i < kLinValues; ++i) ASSERT_EQ(linArray[i], i) << c.name;
    EXPECT_FALSE(Visible(CALIB_BTNWriteXFSL)) << c.name;
  }
  // A file that is not there at all.
  Upload(dir_ + "/missing.dat");
  EXPECT_EQ(Status(), "Linearisation file cannot be read!");
  EXPECT_FALSE(Visible(CALIB_BTNWriteXFMA));
  for (int i = 0; i < kLinValues; ++i) ASSERT_EQ(linArray[i], i);
}

TEST_F(XFlashTest, UnansweredFramesAreCountedAtTheEnd) {
  const std::string path = dir_ + "/table.dat";
  WriteFile(path, Numbers(2048, 3000, 1));
  // The clear and the first 250 write frames are answered, the last six not.
  sim().faults().silentAfter = sim().RepliesSent() + 1 + 250;
  Upload(path);
  EXPECT_EQ(Status(), "X-FLASH upload incomplete: 6 of 256 frames unanswered!");
  EXPECT_EQ(XFlashRequests(), 257u);  // every frame is sent all the same
  for (const PlotInfo& b : Bars()) EXPECT_NE(b.fillColor, 0xA0A0A0);
}

TEST_F(XFlashTest, LateRepliesAreNotTakenForTheNextFramesEcho) {
  const std::string path = dir_ + "/table.dat";
  WriteFile(path, Numbers(2048, 3000, 1));
  // Every reply comes 1.6 s after its frame: after that frame's wait has
  // ended, inside the next frame's wait.
  sim().faults().lateReply = 1.6;
  Upload(path);
  const std::string status = Status();
  EXPECT_EQ(status.rfind("X-FLASH upload incomplete: ", 0), 0u) << status;
  EXPECT_NE(status.find("wrong echoes"), std::string::npos) << status;
  for (const PlotInfo& b : Bars()) EXPECT_NE(b.fillColor, 0xA0A0A0);
}

TEST_F(XFlashTest, NoSensorAtAllStillSendsEveryFrame) {
  const std::string path = dir_ + "/table.dat";
  WriteFile(path, Numbers(2048, 3000, 1));
  sim().faults().silent = true;
  sim().ClearRequests();
  Upload(path);
  EXPECT_EQ(XFlashRequests(), 257u);
  EXPECT_EQ(Status(), "X-FLASH incomplete: clear, 256 of 256 unanswered!");
}

}  // namespace
