// X-FLASH linearisation upload: the file reader, the table file, the frames on
// the wire, the progress display and its texts, refusals and uploads that are
// not answered.
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "link/xflash.h"
#include "params/parafile.h"
#include "tests/support/scripted_app.h"

using namespace tframes;

namespace {

constexpr const char* kDone = "X-FLASH Data successfully written!";

// n values, one per line: start, start - step, ...
std::string Numbers(int n, int start = 100, int step = 1, const char* sep = "\n") {
  std::string s;
  for (int i = 0; i < n; ++i) s += std::to_string(start - step * i) + sep;
  return s;
}
// The error, the values read and the line of `text`; the table goes to `table`.
Longs Parse(const std::string& text, int16_t* table = nullptr) {
  static int16_t scratch[kLinValues];
  const LinParseResult r = ParseLinData(text.data(), text.size(), table ? table : scratch);
  return {r.error, r.count, r.line};
}
// WriteLinData2048ToFile in `dir`, with what it wrote.
int WriteTableIn(const std::string& dir, std::string* text = nullptr) {
  char here[512];
  if (!getcwd(here, sizeof here) || chdir(dir.c_str()) != 0) return -99;
  const int result = WriteLinData2048ToFile();
  if (text) *text = ReadAll("LIN2048.DAT");
  return chdir(here) == 0 ? result : -99;
}

// ---- the file reader and the table file --------------------------------------------

TEST(LinFile, ReadsTheFirst2048IntegersOrRefusesByLineAndWritesTheDefaultTable) {
  static int16_t table[kLinValues];
  std::string text = "\xEF\xBB\xBF";  // byte-order mark
  const char* separators[] = {"\r\n", "\t", ", ", " ;", "\f", "\v"};
  for (int i = 0; i < kLinValues; ++i)
    text += std::to_string(i % 2 ? -i : i * 15) + separators[i % 6];
  text += "\n99999 junk after the table is not read\n";
  EXPECT_EQ(Parse(text, table)[0], kLinOk);
  EXPECT_EQ(Longs({table[0], table[1], table[2046], table[2047]}), Longs({0, -1, 30690, -2047}));
  ASSERT_EQ(Parse("-32768 +32767 " + Numbers(2046, 0, 0, " "), table)[0], kLinOk);
  EXPECT_EQ(Longs({table[0], table[1]}), Longs({-32768, 32767}));
  // Short, out-of-range and non-numeric text is refused by line.
  // clang-format off
  const std::pair<std::string, Longs> cases[] = {  // text, then error, values read, line
      {Numbers(2047), {kLinTooFew, 2047, 2048}}, {"", {kLinTooFew, 0, 1}},
      {Numbers(99) + "32768\n" + Numbers(2000), {kLinOutOfRange, 99, 100}},
      {"-32769 " + Numbers(2048), {kLinOutOfRange, 0, 1}},
      {"123456789012345678901234567890 " + Numbers(2048), {kLinOutOfRange, 0, 1}}};
  // clang-format on
  for (const auto& [text, want] : cases) EXPECT_EQ(Parse(text), want) << text.substr(0, 12);
  for (const char* bad : {"12a", "1.5", "-", "0x10", "abc", "+-3"})
    EXPECT_EQ(Parse(Numbers(9) + bad + "\n" + Numbers(2048)), Longs({kLinNotANumber, 9, 10}))
        << bad;

  // The default table is 4095, 4093, ... one a line. No file can be made (a
  // folder of that name), or the last of it does not fit on the disk when the
  // file is closed (a size limit just below it): -1.
  text.clear();
  ASSERT_EQ(WriteTableIn(MakeTempDir(), &text), 0);
  EXPECT_EQ(text, Numbers(kLinValues, 4095, 2));
  const std::string blocked = MakeTempDir();
  std::filesystem::create_directory(blocked + "/LIN2048.DAT");
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const rlimit small{text.size() - 500, old.rlim_max};  // every write but the close's succeeds
  std::signal(SIGXFSZ, SIG_IGN);                        // a write past the limit fails instead
  setrlimit(RLIMIT_FSIZE, &small);
  const int full = WriteTableIn(MakeTempDir());
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(Longs({WriteTableIn(blocked), full}), Longs({-1, -1}));
}

// ---- frames and texts ---------------------------------------------------------------

// One wrong echo and the clear unanswered (the compact form and the counts:
// the unanswered uploads below).
TEST(XFlashFrame, IncompleteTextOfAWrongEchoAndAnUnansweredClear) {
  char text[73];
  xflashUpload = XFlashUploadState{256, 0, 1, 1};
  XFLASHIncompleteText(text, sizeof text);
  EXPECT_STREQ(text, "X-FLASH upload incomplete: clear unanswered, 1 wrong echo!");
}

// ---- in the running program -----------------------------------------------------------

class XFlashTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    dir_ = MakeTempDir();
    for (int i = 0; i < kLinValues; ++i) linArray[i] = static_cast<int16_t>(i);
    SetCtrlAttribute(pCalib, CALIB_BTNWriteXFSL, ATTR_VISIBLE, 1);
    SetCtrlAttribute(pCalib, CALIB_BTNWriteXFMA, ATTR_VISIBLE, 1);
  }
  static bool Visible(int control) { return CtrlAttr(pCalib, control, ATTR_VISIBLE) != 0; }
  void Upload(const std::string& path, int button = CALIB_BTNWriteXFMA) {
    QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, path);
    FireCtrlEvent(pCalib, button, EVENT_COMMIT);
  }
  std::string dir_;
};

// The frames of a clear and of one write; then a whole upload of the default table.
TEST_F(XFlashTest, ClearAndWriteFramesThenAFullUploadOfTheDefaultTable) {
  ASSERT_EQ(ClearXFLASH(), 1);
  const auto& clear = sim().requests().back();
  EXPECT_EQ(Status() + " " + std::to_string(clear.command) + " " +
                std::to_string(std::count(clear.words.begin(), clear.words.end(), 0xAA)),
            "X-FLASH-cleared! " + std::to_string(kCmdClearXFlash) + " 15");
  BeginXFLASHUpload();
  WriteXFLASH(8, 3, linArray);
  // The write frame keeps the clear frame's tail.
  const auto& req = sim().requests().back();
  EXPECT_EQ(Longs({req.command, req.argument}), Longs({kCmdWriteXFlash, 8}));
  EXPECT_EQ(req.words, (tarvo_sim::Set{3, 264, 265, 266, 267, 268, 269, 270, 271, 0xAA, 0xAA, 0xAA,
                                       0xAA, 0xAA, 0xAA}));
  EXPECT_EQ(Status() + " " + CtrlText(pHandle, MAIN_NUMAnaMax), "X-FLASH-write OK: PAGE3 ... 264");
  // A place outside the table is not written at all.
  const size_t sent = sim().requests().size();
  WriteXFLASH(256, 9, linArray);
  WriteXFLASH(0, 1, linArray);
  EXPECT_EQ(sim().requests().size(), sent);

  ASSERT_EQ(WriteTableIn(dir_), 0);
  std::string padded = ReadAll(dir_ + "/LIN2048.DAT");
  padded.resize(4 << 20, ' ');  // the largest file that is read
  WriteFile(dir_ + "/LIN2048.DAT", padded);
  sim().xflash.fill(0x1111);
  sim().ClearRequests();
  Upload(dir_ + "/LIN2048.DAT", CALIB_BTNWriteXFMA);
  EXPECT_EQ(Status(), kDone);
  for (int i = 0; i < kLinValues; ++i) ASSERT_EQ(sim().xflash[i], 4095 - 2 * i) << i;
  // One clear frame, then 256 write frames in page and offset order.
  const auto& reqs = sim().requests();
  ASSERT_EQ(reqs.size(), 257u);
  for (int k = 0; k < 256; ++k)
    ASSERT_EQ(Longs({reqs[1 + k].command, reqs[1 + k].argument, reqs[1 + k].words[0]}),
              Longs({kCmdWriteXFlash, (k % 32) * 8, 2 + k / 32}))
        << k;
  // The progress display: manual x axis 1 .. ccdsubpixel.
  EXPECT_EQ(AxisRange(pHandle, MAIN_GRAPHBarSlave, VAL_XAXIS),
            std::make_pair(1.0, double(ccdsubpixel)));
  // The file dialogue as asked for (a typed name gets .dat), and the button hid itself.
  const PopupCall& call = PopupCalls().back();
  EXPECT_EQ(Longs({call.button, call.restrictExtension, Visible(CALIB_BTNWriteXFMA),
                   Visible(CALIB_BTNWriteXFSL)}),
            Longs({VAL_LOAD_BUTTON, 1, 0, 1}));
  EXPECT_EQ(std::string(file_name), dir_ + "/LIN2048.DAT");
}

TEST_F(XFlashTest, CancelledOrBadFilesSendNothingAndHideTheirButton) {
  const std::string dir = dir_ + "/";
  std::string huge = Numbers(2048);
  huge.resize((4 << 20) + 1, ' ');  // one byte too large
  // clang-format off
  const std::tuple<std::string, std::string, const char*> cases[] = {  // path, content, status
      {"", "", "previous"},
      {dir + "short.dat", Numbers(2000), "Linearisation file refused: only 2000 of 2048 values!"},
      {dir + "range.dat", Numbers(40) + "40000\n" + Numbers(2048),
       "Linearisation file refused: value out of range in line 41!"},
      {dir + "text.dat", Numbers(5) + "abc\n" + Numbers(2048),
       "Linearisation file refused: no number in line 6!"},
      {"x", "", "Linearisation file cannot be read!"},   // missing; a name of one letter is no cancel
      {dir_, "", "Linearisation file cannot be read!"},  // a folder: the read fails
      {dir + "huge.dat", huge, "Linearisation file cannot be read!"}};
  // clang-format on
  const size_t before = sim().requests().size();
  for (const auto& [path, content, status] : cases) {
    if (!content.empty()) WriteFile(path, content);
    for (int button : {CALIB_BTNWriteXFSL, CALIB_BTNWriteXFMA}) {
      const int other = button == CALIB_BTNWriteXFSL ? CALIB_BTNWriteXFMA : CALIB_BTNWriteXFSL;
      SetCtrlAttribute(pCalib, button, ATTR_VISIBLE, 1);
      SetCtrlAttribute(pCalib, other, ATTR_VISIBLE, 1);
      ShowStatusText("previous");
      QueueFileAnswer(path.empty() ? VAL_NO_FILE_SELECTED : VAL_EXISTING_FILE_SELECTED, path);
      FireCtrlEvent(pCalib, button, EVENT_COMMIT);
      EXPECT_EQ(Status(), status);
      EXPECT_EQ(Longs({Visible(button), Visible(other)}), Longs({0, 1})) << path;
    }
  }
  EXPECT_EQ(sim().requests().size(), before);
  for (int i = 0; i < kLinValues; ++i) ASSERT_EQ(linArray[i], i);
}

// A whole answered upload ends with a grey bar over the green ones (one a
// frame, up to its place in the table); pp then holds the echo of its last
// frame. Uploads whose replies stop before the last frame, after the clear or
// come each 1.6 s after its frame (inside the next frame's wait) still send
// every frame, count what was not answered and confirm nothing.
TEST_F(XFlashTest, UnansweredAndLateFramesAreCountedAndConfirmNothing) {
  // clang-format off
  const std::tuple<int, double, const char*> cases[] = {
      {-1, 0, kDone},
      {1 + 255, 0, "X-FLASH upload incomplete: 1 of 256 frames unanswered!"},
      {0, 0, "X-FLASH incomplete: clear, 256 of 256 unanswered!"},
      {-1, 1.6, "X-FLASH upload incomplete: "}};
  // clang-format on
  WriteFile(dir_ + "/table.dat", Numbers(2048, 3000, 1));
  for (const auto& [silentAfter, late, status] : cases) {
    sim().faults().silentAfter = silentAfter < 0 ? -1 : sim().RepliesSent() + silentAfter;
    sim().faults().lateReply = late;
    sim().ClearRequests();
    Upload(dir_ + "/table.dat");
    EXPECT_EQ(Status().rfind(status, 0), 0u) << Status();
    if (late > 0) EXPECT_NE(Status().find("wrong echoes"), std::string::npos) << Status();
    EXPECT_EQ(RequestCount(sim(), kCmdClearXFlash) + RequestCount(sim(), kCmdWriteXFlash), 257);
    const std::vector<PlotInfo> bars = GetGraphPlots(pHandle, MAIN_GRAPHBarSlave);
    ASSERT_EQ(bars.size(), 256u);
    // The last bar takes another colour once the upload is done.
    const PlotInfo& b = bars[254];
    const double otherColour = bars[255].fillColor != b.fillColor;
    EXPECT_EQ(std::vector<double>({b.x1, b.y1, b.x2, b.y2, otherColour}),
              std::vector<double>({1, 0, 2032, 1, double(status == kDone)}));
    SetCtrlAttribute(pCalib, CALIB_BTNWriteXFMA, ATTR_VISIBLE, 1);
    RunFor(2.0);
  }
}

}  // namespace
