// The application shell: start-up values, panels, shutdown, the recorder
// popup's close, the port change, help texts and the header.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/help.h"
#include "app/panels.h"
#include "app/startup.h"
#include "display/video.h"
#include "link/identify.h"
#include "link/link.h"
#include "link/payload.h"
#include "link/transfer.h"
#include "measure/run.h"
#include "params/panels.h"
#include "platform/clock.h"
#include "platform/graph_probe.h"
#include "platform/popup_script.h"
#include "platform/serial.h"
#include "platform/sim_port.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "recorder/recorder.h"
#include "tests/support/harness.h"

namespace fs = std::filesystem;

namespace {

int CtrlAttr(int panel, int control, int attribute) {
  int v = -12345;
  GetCtrlAttribute(panel, control, attribute, &v);
  return v;
}

int PanelAttr(int panel, int attribute) {
  int v = -12345;
  GetPanelAttribute(panel, attribute, &v);
  return v;
}

// When the program started writing a request (the model notes its last byte;
// the line is idle before each request of these tests).
double SentAt(const tarvo_sim::Request& r) { return r.time - 36 * tarvo_sim::SensorSim::kByteTime; }

// Requests with this command that the program started writing after `after`.
int CountRequests(const tarvo_sim::SensorSim& s, uint16_t command, double after = -1) {
  int n = 0;
  for (const auto& r : s.requests())
    if (r.command == command && SentAt(r) > after + 1e-6) ++n;
  return n;
}

// ---------------------------------------------------------------------------
// Start-up

class StartUpTest : public ::testing::Test {
 protected:
  void TearDown() override { StopApp(); }
};

TEST_F(StartUpTest, WithNoSensorTheProgramStartsWithItsStartValues) {
  ASSERT_EQ(StartApp(nullptr), 0);

  // The link failure is in the status line; the program runs on.
  EXPECT_EQ(Status(), "Timeout-RS-232...");
  const std::vector<long> globals = {stop_flag,   com,         target,       rx_flag,  graph_flag,
                                     ccdmaxpixel, ccdsubpixel, ccdvirtpixel, yaxisMAX, YMAXADC};
  EXPECT_EQ(globals, (std::vector<long>{1, 1, 1, 0, 0, 1024, 2048, 4096, 2048, 256}));
  EXPECT_STREQ(szSoftVersion, "Version 3.03");
  EXPECT_STREQ(szSoftName, "TARVO-LT-MS-Scope");

  // The panels' values are in the parameter sets.
  EXPECT_EQ(parameter.header, 0x0055);
  EXPECT_EQ(parameter.set1[2], 50);
  EXPECT_EQ(parameter.set2[2], 50);
  for (int i = 0; i < 128; ++i) {
    ASSERT_EQ(thdArrayA[i], 128) << i;
    ASSERT_EQ(thdArrayB[i], 128) << i;
  }

  // Recorder file beside the executable, shown in the popup; recorder off.
  ASSERT_GT(std::strlen(proj_dir), 0u);
  EXPECT_EQ(fs::path(recfile_name), fs::path(proj_dir) / "TARVORecord.dat");
  char line0[300] = {0};
  GetTextBoxLine(pPopUp, POPUP_TEXTRecFile, 0, line0, sizeof line0);
  EXPECT_STREQ(line0, recfile_name);
  int recorder = -1;
  GetCtrlVal(pHandle, MAIN_TOGGBTN_Recorder, &recorder);
  EXPECT_EQ(recorder, 0);

  // Main panel and set 0 panel shown; the other panels hidden.
  for (int panel : {pHandle, pPara0, pPara1, pPara2, pCalib, pPopUp})
    EXPECT_EQ(PanelVisible(panel), panel == pHandle || panel == pPara0) << panel;
  for (int child : {pPara0, pPara1, pPara2, pCalib}) {
    EXPECT_EQ(PanelAttr(child, ATTR_LEFT), 8);
    EXPECT_EQ(PanelAttr(child, ATTR_TOP), 98);
  }

  // Bar graphs: cursor 1 at (0, 1), cursor 2 without a point marker.
  for (int graph : {MAIN_GRAPHBarMaster, MAIN_GRAPHBarSlave}) {
    double x = -1, y = -1;
    GetGraphCursor(pHandle, graph, 1, &x, &y);
    EXPECT_DOUBLE_EQ(x, 0.0);
    EXPECT_DOUBLE_EQ(y, 1.0);
    int style = -1;
    GetCursorAttribute(pHandle, graph, 2, ATTR_CURSOR_POINT_STYLE, &style);
    EXPECT_EQ(style, VAL_NO_POINT);
  }

  // Start modes: analog output 0 hides the analog displays and RESET;
  // hardware mode 1 dims the tolerance fields it does not use.
  EXPECT_EQ(parameter.set0[2], 0);
  EXPECT_EQ(parameter.set0[3], 1);
  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_ButtonReset));
  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_NUMAnaMax));
  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_NUMAnaMin));
  EXPECT_EQ(CtrlAttr(pPara0, PARA0_CTRLTolLo, ATTR_DIMMED), 1);
  EXPECT_EQ(CtrlAttr(pPara0, PARA0_CTRLTolUp, ATTR_DIMMED), 1);
  EXPECT_EQ(CtrlAttr(pPara1, PARA1_SLIDEVideoTHD_A, ATTR_DIMMED), 0);
}

TEST_F(StartUpTest, DropDownShowsThePortInUse) {
  bool listed = false;
  for (const PortEntry& e : ListSerialPorts()) listed = listed || e.number == 1;
  if (!listed) GTEST_SKIP() << "this machine has no port 1";
  ASSERT_EQ(StartApp(nullptr), 0);
  int port = -1;
  GetCtrlVal(pHandle, MAIN_DropDCom, &port);
  EXPECT_EQ(port, 1);
}

class ModesFromSensorTest : public AppTest {
 protected:
  void PrepareSensor(tarvo_sim::SensorSim& s) override {
    s.ram[0][2] = 1;  // analog output on
    s.ram[0][3] = 2;  // hardware mode 2
  }
};

TEST_F(ModesFromSensorTest, PanelAdjustmentsFollowTheFetchedSets) {
  EXPECT_EQ(parameter.set0[2], 1);
  EXPECT_EQ(parameter.set0[3], 2);
  EXPECT_TRUE(CtrlVisible(pHandle, MAIN_ButtonReset));
  EXPECT_TRUE(CtrlVisible(pHandle, MAIN_NUMAnaMax));
  EXPECT_TRUE(CtrlVisible(pHandle, MAIN_NUMAnaMin));
  EXPECT_EQ(CtrlAttr(pPara0, PARA0_CTRLTolLo, ATTR_DIMMED), 0);
  EXPECT_EQ(Status(), sim().VersionText());
}

// ---------------------------------------------------------------------------
// The panel file is needed: without it (or one of its panels) the program
// ends with -1 before anything is shown. Runs the real program in a
// directory of its own.

class MissingPanelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarvo-app-test-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::copy_file(fs::path(TARVO_BUILD_DIR) / "tarvo-scope", dir_ / "tarvo-scope");
  }
  void TearDown() override { fs::remove_all(dir_); }
  // The exit code; what the program wrote on standard error goes to `errors`.
  int RunProgram(const std::string& env = "QT_QPA_PLATFORM=offscreen") {
    std::string cmd = "cd '" + dir_.string() + "' && env " + env +
                      " timeout 30 ./tarvo-scope >/dev/null 2>errors.txt";
    int status = std::system(cmd.c_str());
    std::ifstream in(dir_ / "errors.txt");
    errors.clear();
    for (std::string line; std::getline(in, line);) errors.push_back(line);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
  }
  std::vector<std::string> errors;
  fs::path dir_;
};

TEST_F(MissingPanelsTest, MissingPanelFileEndsWithMinusOne) {
  EXPECT_EQ(RunProgram(), 255);  // -1 as a process exit code
}

TEST_F(MissingPanelsTest, MissingPanelResourceEndsWithMinusOne) {
  std::ifstream in(fs::path(TARVO_BUILD_DIR) / kPanelFile);
  std::stringstream text;
  text << in.rdbuf();
  // Renumber the recorder popup (resource 6): the last panel loaded is missing.
  std::regex popup(R"((name="panelId"[^>]*>\s*<number>)6(</number>))");
  std::string changed = std::regex_replace(text.str(), popup, "${1}16${2}");
  ASSERT_NE(changed, text.str());
  std::ofstream(dir_ / kPanelFile) << changed;
  fs::copy_file(fs::path(TARVO_BUILD_DIR) / "vm.bmp", dir_ / "vm.bmp");
  EXPECT_EQ(RunProgram(), 255);
}

TEST_F(MissingPanelsTest, NoDisplayEndsWithMinusOneAndOnePlainLine) {
  for (const char* file : {kPanelFile, "vm.bmp"})
    fs::copy_file(fs::path(TARVO_BUILD_DIR) / file, dir_ / file);
  EXPECT_EQ(RunProgram("-u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb"), 255);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "TARVO-LT-MS-Scope: no display could be opened.");
}

// ---------------------------------------------------------------------------
// The whole program, event loop included, on the virtual clock.

class WholeProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseVirtualClock(true);
    ScriptPopups(true);
    ClearSchedule();
    ResetQuitRequest();
    sensor_ = NewSensor();
    sensor_->SetPacing(true);  // frames take their line time: loops let the clock move
    InstallPortBackend(1, MakeSimBackend(sensor_));
  }
  void TearDown() override { StopApp(); }
  int Run() {
    char arg0[] = "tarvo-scope";
    char* argv[] = {arg0, nullptr};
    return TarvoMain(1, argv);
  }
  std::shared_ptr<tarvo_sim::SensorSim> sensor_;
};

TEST_F(WholeProgramTest, ClosingTheMainPanelDuringTheRunLoopEndsWithZero) {
  const double t0 = Timer();
  double closedAt = 0;
  int measurementsAtClose = -1;
  ScheduleAt(t0 + 5, [] { ClickCtrl(pHandle, MAIN_BTNRun); });
  ScheduleAt(t0 + 8, [&] {
    closedAt = Timer();
    measurementsAtClose = CountRequests(*sensor_, 8);
    FirePanelEvent(pHandle, EVENT_CLOSE);
  });
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(QuitRequested());
  EXPECT_EQ(stop_flag, 1);
  EXPECT_GT(measurementsAtClose, 10);  // the loop was running
  EXPECT_EQ(CountRequests(*sensor_, 8, closedAt), 0);
  EXPECT_LT(Timer() - closedAt, 2.0);
}

TEST_F(WholeProgramTest, ClosingTheMainPanelDuringAReplyWaitEndsWithZero) {
  const double t0 = Timer();
  ScheduleAt(t0 + 5, [this] {
    sensor_->SetAnswerDelay(1.0);
    ClickCtrl(pHandle, MAIN_BTNGet);
  });
  bool closed = false;
  ScheduleAt(t0 + 5.5, [&] {
    closed = true;
    FirePanelEvent(pHandle, EVENT_CLOSE);
  });
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(closed);
  EXPECT_EQ(stop_flag, 1);
}

// ---------------------------------------------------------------------------
// Panel callbacks

using ShellTest = AppTest;

// A sensor whose frames take their time on the line, for the running loops.
class LoopTest : public AppTest {
 protected:
  void PrepareSensor(tarvo_sim::SensorSim& s) override { s.SetPacing(true); }
};

TEST_F(LoopTest, ClosingTheRecorderPopupEndsARunningLoop) {
  DisplayPanel(pPopUp);
  SetCtrlVal(pHandle, MAIN_TOGGBTN_Recorder, 1);
  double closedAt = 0;
  ScheduleAt(Timer() + 2, [&] {
    closedAt = Timer();
    FirePanelEvent(pPopUp, EVENT_CLOSE);
  });
  const int before = CountRequests(sim(), 8);
  ClickCtrl(pHandle, MAIN_BTNRun);  // returns when the loop has ended
  EXPECT_GT(closedAt, 0);
  EXPECT_GT(CountRequests(sim(), 8), before + 10);
  EXPECT_EQ(CountRequests(sim(), 8, closedAt), 0);
  EXPECT_EQ(stop_flag, 1);
  EXPECT_FALSE(PanelVisible(pPopUp));
  EXPECT_TRUE(PanelVisible(pHandle));
  int recorder = -1;
  GetCtrlVal(pHandle, MAIN_TOGGBTN_Recorder, &recorder);
  EXPECT_EQ(recorder, 0);
  EXPECT_FALSE(QuitRequested());
  EXPECT_FALSE(CtrlDimmed(pHandle, MAIN_BTNRun));
  ClickCtrl(pHandle, MAIN_BTNStop);  // the recorder's start comes back with STOP
  EXPECT_FALSE(CtrlDimmed(pPopUp, POPUP_BTNStartRecord));
}

TEST_F(ShellTest, PanelCallbacksActOnlyOnClose) {
  DisplayPanel(pPopUp);
  for (int event : {EVENT_COMMIT, EVENT_VAL_CHANGED, EVENT_LEFT_CLICK, EVENT_RIGHT_CLICK}) {
    stop_flag = 0;
    EXPECT_EQ(CC_POPUP(pPopUp, event, nullptr, 0, 0), 0);
    EXPECT_EQ(CC_PANEL(pHandle, event, nullptr, 0, 0), 0);
    EXPECT_EQ(stop_flag, 0);
  }
  EXPECT_TRUE(PanelVisible(pPopUp));
  EXPECT_FALSE(QuitRequested());
  stop_flag = 1;
  // The link still works: the main panel's events did not close the port.
  EXPECT_EQ(CheckComLine(com), 1);

  EXPECT_EQ(CC_PANEL(pHandle, EVENT_CLOSE, nullptr, 0, 0), 0);
  EXPECT_TRUE(QuitRequested());
  EXPECT_EQ(GetInQLen(com), kComPortNotOpen);  // closed
}

TEST_F(LoopTest, PortChangeDuringTheRunLoop) {
  auto second = NewSensor();
  second->SetVersionText("SECOND SENSOR V1.00");
  second->SetPacing(true);
  InstallPortBackend(kSimPort, MakeSimBackend(second));
  double changedAt = 0;
  ScheduleAt(Timer() + 2, [&] {
    changedAt = Timer();
    SetCtrlVal(pHandle, MAIN_DropDCom, kSimPort);
    FireCtrlEvent(pHandle, MAIN_DropDCom, EVENT_COMMIT);
  });
  ClickCtrl(pHandle, MAIN_BTNRun);  // returns when the loop has ended
  ASSERT_GT(changedAt, 0);
  EXPECT_EQ(com, kSimPort);
  EXPECT_EQ(stop_flag, 1);
  // The old sensor heard nothing more, the new one the whole connect sequence
  // and no further measurement request.
  EXPECT_GT(CountRequests(sim(), 8), 10);
  for (const auto& r : sim().requests()) EXPECT_LE(SentAt(r), changedAt + 1e-6);
  std::vector<uint16_t> commands;
  for (const auto& r : second->requests()) commands.push_back(r.command);
  EXPECT_EQ(commands, (std::vector<uint16_t>{5, 10, 2, 2, 2, 7}));
  EXPECT_EQ(Status(), "SECOND SENSOR V1.00");
  int port = -1;
  GetCtrlVal(pHandle, MAIN_DropDCom, &port);
  EXPECT_EQ(port, kSimPort);
}

TEST_F(ShellTest, PortChangeToAMissingPortShowsTheFailure) {
  // The chosen port cannot be opened: its failure reaches the status line.
  ASSERT_EQ(SetCtrlVal(pHandle, MAIN_DropDCom, kSimPort), 0);
  auto refusing = std::make_unique<ScriptedLine>();
  refusing->SetOpenResult(kComCannotOpen);
  InstallPortBackend(kSimPort, std::move(refusing));
  FireCtrlEvent(pHandle, MAIN_DropDCom, EVENT_COMMIT);
  EXPECT_EQ(com, kSimPort);
  EXPECT_EQ(Status(), "Cannot open port");
  EXPECT_EQ(stop_flag, 1);
}

// ---------------------------------------------------------------------------
// Help display

struct HelpRow {
  const char* name;
  int control;
  int box;
  bool right;  // placed right of the control (left + width + dx), else left + dx
  int dx, dy;
  const char* text;
};

const HelpRow kHelpRows[] = {
    {"BTNRun", MAIN_BTNRun, MAIN_TEXTHelp, true, 10, -20,
     "START-BUTTON:\nStart the continuous serial RS232\ndata-transfer between PC and "
     "TARVO\nsensor. 16 words are transferred!"},
    {"BTNVideo", MAIN_BTNVideo, MAIN_TEXTHelp, true, 10, -20,
     "VIDEO-BUTTON:\nTransfer video-signal (pixel-info)\n= intensity profile at CCD-line,\nvia "
     "RS232 communication to PC."},
    {"BTNStop", MAIN_BTNStop, MAIN_TEXTHelp, true, 10, -20,
     "STOP-BUTTON:\nStops the serial RS232-data-\ntransfer between PC and\nTARVO sensor."},
    {"ButtonTeach", MAIN_ButtonTeach, MAIN_TEXTHelp, false, -200, -20,
     "TEACH-BUTTON:\nStart teach procedure at TARVO-\nsensor. The actual pixel-position ==\nnew "
     "teach value!"},
    {"ButtonReset", MAIN_ButtonReset, MAIN_TEXTHelp, true, 10, -60,
     "RESET-BUTTON:\nReset the actual maxima und minima\nvalues at the TARVO-hardware.\nNo "
     "software/hardware reset is done !"},
    {"DropDCom", MAIN_DropDCom, MAIN_TEXTHelp2, true, 20, -120,
     "DROP-DOWN-CONNECT:\nSelect the port-number of the serial RS232 communication interface of "
     "the PC.\n\nThe port-number can be found under:\n<Start>/System-Settings/Hardware/..."},
    {"BTNSend", MAIN_BTNSend, MAIN_TEXTHelp, true, 20, -25,
     "SEND-BUTTON:\nSend parameter-frame to EEPROM-\nor RAM-memory of the TARVO-sensor!"},
    {"BTNGet", MAIN_BTNGet, MAIN_TEXTHelp, true, 20, -25,
     "GET-BUTTON:\nGet parameter-frame of TARVO-\nsensor from EEPROM-memory\nor RAM-memory ..."},
    {"TOGGBTN_Recorder", MAIN_TOGGBTN_Recorder, MAIN_TEXTHelp, true, 10, -50,
     "RECORDER-BUTTON:\nOpen a new Popup-Window for\nthe TARVO data recorder..."},
    {"GRAPHDataSlave", MAIN_GRAPHDataSlave, MAIN_TEXTHelp2, false, 60, 30,
     "VIDEO-GRAPH-SLAVE:\nVisualizes the actual video signal\nof the SLAVE-sensor. The "
     "video\nsignal represents the analog-value\nof each pixel over the CCD-line.\nBecause of the "
     "limited baudrate via\nthe serial RS232 interface, the\nvideo graph is refreshed slowly !"},
    {"GRAPHDataMaster", MAIN_GRAPHDataMaster, MAIN_TEXTHelp2, false, 40, 30,
     "VIDEO-GRAPH-MASTER:\nVisualizes the actual video signal\nof the MASTER-sensor. The "
     "video\nsignal represents the analog-value\nof each pixel over the CCD-line.\nBecause of the "
     "limited baudrate via\nthe serial RS232 interface, the\nvideo graph is refreshed slowly !"},
};

void PrintTo(const HelpRow& row, std::ostream* os) { *os << row.name; }

void ExpectBoxBeside(const HelpRow& row) {
  int top = 0, left = 0, height = 0, width = 0;
  ASSERT_EQ(GetCtrlBoundingRect(pHandle, row.control, &top, &left, &height, &width), 0);
  EXPECT_EQ(CtrlAttr(pHandle, row.box, ATTR_LEFT), left + (row.right ? width : 0) + row.dx);
  EXPECT_EQ(CtrlAttr(pHandle, row.box, ATTR_TOP), top + row.dy);
  EXPECT_EQ(CtrlText(pHandle, row.box), row.text);
}

class HelpTest : public AppTest, public ::testing::WithParamInterface<HelpRow> {};

TEST_P(HelpTest, RightClickShowsTheTextBesideTheControlAndASecondHidesIt) {
  const HelpRow& row = GetParam();
  const int other = row.box == MAIN_TEXTHelp ? MAIN_TEXTHelp2 : MAIN_TEXTHelp;
  ASSERT_FALSE(CtrlVisible(pHandle, row.box));
  // The right click goes to the control's own callback, as the panel file names it.
  FireCtrlEvent(pHandle, row.control, EVENT_RIGHT_CLICK);
  EXPECT_TRUE(CtrlVisible(pHandle, row.box));
  EXPECT_FALSE(CtrlVisible(pHandle, other));
  ExpectBoxBeside(row);
  FireCtrlEvent(pHandle, row.control, EVENT_RIGHT_CLICK);
  EXPECT_FALSE(CtrlVisible(pHandle, row.box));
  ExpectBoxBeside(row);
  // The right click started nothing on the line.
  EXPECT_EQ(CountRequests(sim(), 8), 0);
  EXPECT_EQ(sim().requests().size(), 6u);
}

INSTANTIATE_TEST_SUITE_P(EveryControl, HelpTest, ::testing::ValuesIn(kHelpRows),
                         [](const ::testing::TestParamInfo<HelpRow>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(ShellTest, HelpBoxesMoveToggleStayIndependentAndHideOnAClick) {
  FireCtrlEvent(pHandle, MAIN_BTNRun, EVENT_RIGHT_CLICK);
  ASSERT_TRUE(CtrlVisible(pHandle, MAIN_TEXTHelp));
  // Another control's right click moves the box there and toggles it.
  FireCtrlEvent(pHandle, MAIN_BTNStop, EVENT_RIGHT_CLICK);
  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_TEXTHelp));
  ExpectBoxBeside(kHelpRows[2]);
  FireCtrlEvent(pHandle, MAIN_BTNStop, EVENT_RIGHT_CLICK);
  EXPECT_TRUE(CtrlVisible(pHandle, MAIN_TEXTHelp));
  ExpectBoxBeside(kHelpRows[2]);
  // The second box is independent of the first.
  FireCtrlEvent(pHandle, MAIN_DropDCom, EVENT_RIGHT_CLICK);
  EXPECT_TRUE(CtrlVisible(pHandle, MAIN_TEXTHelp));
  EXPECT_TRUE(CtrlVisible(pHandle, MAIN_TEXTHelp2));
  ExpectBoxBeside(kHelpRows[2]);
  ExpectBoxBeside(kHelpRows[5]);
  // Commit and value-changed events leave the boxes alone; a click hides one.
  FireCtrlEvent(pHandle, MAIN_TEXTHelp, EVENT_COMMIT);
  FireCtrlEvent(pHandle, MAIN_TEXTHelp2, EVENT_VAL_CHANGED);
  EXPECT_TRUE(CtrlVisible(pHandle, MAIN_TEXTHelp));
  EXPECT_TRUE(CtrlVisible(pHandle, MAIN_TEXTHelp2));
  ClickCtrl(pHandle, MAIN_TEXTHelp);
  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_TEXTHelp));
  EXPECT_TRUE(CtrlVisible(pHandle, MAIN_TEXTHelp2));
  RightClickCtrl(pHandle, MAIN_TEXTHelp2);
  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_TEXTHelp2));
}

// ---------------------------------------------------------------------------
// Header

struct InfoText {
  std::string text;
  int left, top, size, bg, fg;
};

// The text controls made at run time (NewCtrl numbers them from 1000 on, past
// every control of the panel file).
std::vector<InfoText> RunTimeTexts() {
  std::vector<InfoText> out;
  for (int id = 1000; id < 2000; ++id) {
    int bg = 0;
    if (GetCtrlAttribute(pHandle, id, ATTR_TEXT_BGCOLOR, &bg) < 0) continue;
    out.push_back({CtrlText(pHandle, id), CtrlAttr(pHandle, id, ATTR_LEFT),
                   CtrlAttr(pHandle, id, ATTR_TOP), CtrlAttr(pHandle, id, ATTR_TEXT_POINT_SIZE), bg,
                   CtrlAttr(pHandle, id, ATTR_TEXT_COLOR)});
  }
  return out;
}

TEST_F(ShellTest, HeaderShowsBandLogoAndTheFiveTexts) {
  EXPECT_EQ(CtrlAttr(pHandle, MAIN_DECOHeader, ATTR_FRAME_COLOR), 0x0080FF);
  EXPECT_EQ(CtrlAttr(pHandle, MAIN_PICTLogo, ATTR_TOP), 8);
  EXPECT_EQ(CtrlAttr(pHandle, MAIN_PICTLogo, ATTR_LEFT), 300);

  const std::vector<InfoText> texts = RunTimeTexts();
  ASSERT_EQ(texts.size(), 5u);
  const InfoText expected[] = {{"Velmora GmbH", 15, 9, 11, 0, 0},
                               {"Tel. +49 (0)711 555 0170", 15, 24, 11, 0, 0},
                               {"www.velmora-sensors.de", 15, 39, 11, 0, 0},
                               {"TARVO-LT-MS-Scope", 300, 32, 18, 0, 0},
                               {"Version 3.03", 480, 38, 11, 0, 0}};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(expected[i].text);
    EXPECT_EQ(texts[i].text, expected[i].text);
    EXPECT_EQ(
        std::vector<int>({texts[i].left, texts[i].top, texts[i].size, texts[i].bg, texts[i].fg}),
        std::vector<int>(
            {expected[i].left, expected[i].top, expected[i].size, 0x0080FF, 0xFFFFFF}));
  }
}

TEST_F(ShellTest, ShowInfoTextAddsAControlEveryTime) {
  ShowInfoText(0x102030, 0x405060, "extra \xB5m", 20, 700, 9);
  const std::vector<InfoText> texts = RunTimeTexts();
  ASSERT_EQ(texts.size(), 6u);
  // Windows-1252 in; back as it went in or as UTF-8, never replaced.
  EXPECT_TRUE(texts[5].text == "extra \xB5m" || texts[5].text == "extra \xC2\xB5m")
      << texts[5].text;
  EXPECT_EQ(texts[5].left, 20);
  EXPECT_EQ(texts[5].top, 700);
  EXPECT_EQ(texts[5].size, 9);
  EXPECT_EQ(texts[5].bg, 0x102030);
  EXPECT_EQ(texts[5].fg, 0x405060);
}

}  // namespace
