// The application shell: start-up values, panels, shutdown, the recorder
// popup's close and the help texts.
#include <sys/wait.h>

#include <array>
#include <filesystem>
#include <regex>

#include "app/startup.h"
#include "display/video.h"
#include "link/transfer.h"
#include "params/panels.h"
#include "platform/sim_port.h"
#include "recorder/recorder.h"
#include "tests/support/scripted_app.h"
#include "viewer/viewer.h"

namespace fs = std::filesystem;
using tframes::CtrlAttr;
using tframes::IntVal;

namespace {

// A request whose last byte came after this had its first byte after `t`.
double FrameEnd(double t) { return t + 36 * tarvo_sim::SensorSim::kByteTime; }

// ---------------------------------------------------------------------------
// Start-up

class StartUpTest : public ::testing::Test {
 protected:
  void TearDown() override { StopApp(); }
};

// Without a sensor: the start values. With one: the modes of its set 0 (analog
// output on, hardware mode 2) show the analog displays and RESET and undim
// the tolerances.
TEST_F(StartUpTest, StartValuesAndPanelsAsTheModesOfSetZeroWant) {
  for (bool sensor : {false, true}) {
    SCOPED_TRACE(sensor);
    auto s = NewSensor();
    s->ram[0][2] = 1;
    s->ram[0][3] = 2;
    ASSERT_EQ(StartApp(sensor ? s : nullptr), 0);
    EXPECT_EQ(Status(), sensor ? s->VersionText() : "Timeout-RS-232...");
    EXPECT_EQ(Longs({parameter.set0[2], parameter.set0[3]}), (sensor ? Longs{1, 2} : Longs{0, 1}));
    for (int c : {MAIN_ButtonReset, MAIN_NUMAnaMax, MAIN_NUMAnaMin})
      EXPECT_EQ(CtrlVisible(pHandle, c), sensor) << c;
    EXPECT_EQ(CtrlAttr(pPara0, PARA0_CTRLTolLo, ATTR_DIMMED), sensor ? 0 : 1);
    EXPECT_EQ(CtrlAttr(pPara0, PARA0_CTRLTolUp, ATTR_DIMMED), sensor ? 0 : 1);
    EXPECT_EQ(CtrlAttr(pPara1, PARA1_SLIDEVideoTHD_A, ATTR_DIMMED), 0);
    if (sensor) break;

    const Longs globals = {stop_flag,   com,         target,       rx_flag,  graph_flag,
                           ccdmaxpixel, ccdsubpixel, ccdvirtpixel, yaxisMAX, YMAXADC};
    EXPECT_EQ(globals, (Longs{1, 1, 1, 0, 0, 1024, 2048, 4096, 2048, 256}));
    bool listed = false;
    for (const PortEntry& e : ListSerialPorts()) listed = listed || e.number == 1;
    if (listed) EXPECT_EQ(IntVal(pHandle, MAIN_DropDCom), 1);
    // The sets hold what the panels show; the threshold lines follow sets 1 and 2.
    const Parameter started = parameter;
    GetPanelValues();
    EXPECT_EQ(std::memcmp(&started, &parameter, sizeof parameter), 0);
    EXPECT_EQ(
        std::count(thdArrayA, thdArrayA + 128, 128) + std::count(thdArrayB, thdArrayB + 128, 128),
        256);
    // Recorder file beside the executable, shown in the popup; recorder off.
    ASSERT_GT(std::strlen(proj_dir), 0u);
    EXPECT_EQ(fs::path(recfile_name), fs::path(proj_dir) / "TARVORecord.dat");
    char line0[300] = {0};
    GetTextBoxLine(pPopUp, POPUP_TEXTRecFile, 0, line0, sizeof line0);
    EXPECT_STREQ(line0, recfile_name);
    EXPECT_EQ(IntVal(pHandle, MAIN_TOGGBTN_Recorder), 0);
    // Main panel and set 0 panel shown, the child panels in their place.
    for (int panel : {pHandle, pPara0, pPara1, pPara2, pCalib, pPopUp})
      EXPECT_EQ(PanelVisible(panel), panel == pHandle || panel == pPara0) << panel;
    for (int child : {pPara0, pPara1, pPara2, pCalib}) {
      int left = 0, top = 0;
      GetPanelAttribute(child, ATTR_LEFT, &left);
      GetPanelAttribute(child, ATTR_TOP, &top);
      EXPECT_EQ(std::make_pair(left, top), std::make_pair(8, 98));
    }
    for (int g : {MAIN_GRAPHBarMaster, MAIN_GRAPHBarSlave})
      EXPECT_EQ(std::make_pair(tframes::CursorX(pHandle, g, 1), tframes::CursorY(pHandle, g, 1)),
                std::make_pair(0.0, 1.0));
    StopApp();
  }
}

// Without its panel file, one of its panels or a display the program ends
// with -1 before anything is shown. Runs the real program in a directory of
// its own.
TEST(MissingPanels, EndWithMinusOne) {
  const fs::path dir = fs::temp_directory_path() / ("tarvo-app-test-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path build = TARVO_BUILD_DIR;
  fs::copy_file(build / "tarvo-scope", dir / "tarvo-scope");
  auto run = [&dir](const std::string& env) {
    const std::string cmd = "cd '" + dir.string() + "' && env " + env +
                            " timeout 30 ./tarvo-scope >/dev/null 2>errors.txt";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
  };
  const std::string offscreen = "QT_QPA_PLATFORM=offscreen";
  EXPECT_EQ(run(offscreen), 255);  // no panel file; -1 as a process exit code

  // Renumber the set 1 panel (resource 4): a panel loaded early is missing.
  const std::string text = tframes::ReadAll((build / kPanelFile).string());
  const std::regex para1(R"((name="panelId"[^>]*>\s*<number>)4(</number>))");
  const std::string changed = std::regex_replace(text, para1, "${1}14${2}");
  ASSERT_NE(changed, text);
  tframes::WriteFile((dir / kPanelFile).string(), changed);
  fs::copy_file(build / "vm.bmp", dir / "vm.bmp");
  EXPECT_EQ(run(offscreen), 255);

  fs::copy_file(build / kPanelFile, dir / kPanelFile, fs::copy_options::overwrite_existing);
  EXPECT_EQ(run("-u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb"), 255);
  EXPECT_EQ(tframes::ReadAll((dir / "errors.txt").string()),
            "TARVO-LT-MS-Scope: no display could be opened.\n");
  fs::remove_all(dir);
}

// ---------------------------------------------------------------------------
// Closing the windows

TEST_F(StartUpTest, ClosingTheMainPanelDuringTheRunLoopEndsWithZero) {
  UseVirtualClock(true);
  ScriptPopups(true);
  auto sensor = NewSensor();
  sensor->SetPacing(true);  // frames take their line time: loops let the clock move
  InstallPortBackend(1, MakeSimBackend(sensor));
  double closedAt = 0;
  int measurementsAtClose = -1;
  After(5, [] { ClickCtrl(pHandle, MAIN_BTNRun); });
  After(8, [&] {
    closedAt = Timer();
    measurementsAtClose = RequestCount(*sensor, kCmdMeasure);
    FirePanelEvent(pHandle, EVENT_CLOSE);
  });
  char arg0[] = "tarvo-scope";
  char* argv[] = {arg0, nullptr};
  EXPECT_EQ(TarvoMain(1, argv), 0);
  EXPECT_TRUE(QuitRequested());
  EXPECT_EQ(stop_flag, 1);
  EXPECT_GT(measurementsAtClose, 10);  // the loop was running
  EXPECT_EQ(RequestCount(*sensor, kCmdMeasure, FrameEnd(closedAt)), 0);
  EXPECT_LT(Timer() - closedAt, 2.0);
}

using ShellTest = PacedSensorTest;

// Only the recorder popup's close ends a running loop (the other events of
// both panels do nothing), and the program runs on.
TEST_F(ShellTest, ClosingTheRecorderPopupEndsARunningLoop) {
  ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  const double t0 = Timer();
  double closedAt = 0;
  After(1, [] {
    for (int event : {EVENT_COMMIT, EVENT_VAL_CHANGED, EVENT_LEFT_CLICK, EVENT_RIGHT_CLICK})
      FirePanelEvent(pPopUp, event), FirePanelEvent(pHandle, event);
  });
  After(2, [&] {
    closedAt = Timer();
    FirePanelEvent(pPopUp, EVENT_CLOSE);
  });
  After(10, [] { stop_flag = 1; });  // watchdog only
  ClickCtrl(pHandle, MAIN_BTNRun);   // returns when the loop has ended
  EXPECT_GT(RequestCount(sim(), kCmdMeasure, t0 + 1.1), 10);
  EXPECT_EQ(RequestCount(sim(), kCmdMeasure, FrameEnd(closedAt)), 0);
  EXPECT_EQ(stop_flag, 1);
  EXPECT_FALSE(PanelVisible(pPopUp));
  EXPECT_TRUE(PanelVisible(pHandle));
  EXPECT_EQ(IntVal(pHandle, MAIN_TOGGBTN_Recorder), 0);
  EXPECT_FALSE(QuitRequested());
  EXPECT_FALSE(CtrlDimmed(pHandle, MAIN_BTNRun));
  // The toggle shows the popup again and hides it.
  ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  EXPECT_TRUE(PanelVisible(pPopUp));
  ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  EXPECT_FALSE(PanelVisible(pPopUp));
}

TEST_F(ShellTest, PortChangeToAMissingPortShowsTheFailure) {
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
// Help: a right click shows the control's text in a box beside it (left +
// width when right, + dx; top + dy), a second hides it.

TEST_F(ShellTest, HelpBoxesBesideTheMainPanelControls) {
  const struct {
    int control, box;
    bool right;
    int dx, dy;
    const char* title;
  } rows[] = {
      {MAIN_BTNRun, MAIN_TEXTHelp, true, 10, -20, "START-BUTTON"},
      {MAIN_BTNVideo, MAIN_TEXTHelp, true, 10, -20, "VIDEO-BUTTON"},
      {MAIN_BTNStop, MAIN_TEXTHelp, true, 10, -20, "STOP-BUTTON"},
      {MAIN_ButtonTeach, MAIN_TEXTHelp, false, -200, -20, "TEACH-BUTTON"},
      {MAIN_ButtonReset, MAIN_TEXTHelp, true, 10, -60, "RESET-BUTTON"},
      {MAIN_DropDCom, MAIN_TEXTHelp2, true, 20, -120, "DROP-DOWN-CONNECT"},
      {MAIN_BTNSend, MAIN_TEXTHelp, true, 20, -25, "SEND-BUTTON"},
      {MAIN_BTNGet, MAIN_TEXTHelp, true, 20, -25, "GET-BUTTON"},
      {MAIN_TOGGBTN_Recorder, MAIN_TEXTHelp, true, 10, -50, "RECORDER-BUTTON"},
      {MAIN_GRAPHDataSlave, MAIN_TEXTHelp2, false, 60, 30, "VIDEO-GRAPH-SLAVE"},
      {MAIN_GRAPHDataMaster, MAIN_TEXTHelp2, false, 40, 30, "VIDEO-GRAPH-MASTER"},
  };
  const size_t requests = sim().requests().size();
  for (const auto& r : rows) {
    SCOPED_TRACE(r.title);
    int top = 0, left = 0, height = 0, width = 0;
    ASSERT_EQ(GetCtrlBoundingRect(pHandle, r.control, &top, &left, &height, &width), 0);
    for (bool shown : {true, false}) {
      FireCtrlEvent(pHandle, r.control, EVENT_RIGHT_CLICK);
      EXPECT_EQ(CtrlVisible(pHandle, r.box), shown);
      EXPECT_EQ(
          std::make_pair(CtrlAttr(pHandle, r.box, ATTR_LEFT), CtrlAttr(pHandle, r.box, ATTR_TOP)),
          std::make_pair(left + (r.right ? width : 0) + r.dx, top + r.dy));
      EXPECT_EQ(CtrlText(pHandle, r.box).rfind(std::string(r.title) + ":\n", 0), 0u);
    }
  }
  EXPECT_EQ(sim().requests().size(), requests);  // nothing went on the line
  // The two boxes are independent; another control's right click moves a
  // shown box there and hides it.
  FireCtrlEvent(pHandle, MAIN_BTNRun, EVENT_RIGHT_CLICK);
  FireCtrlEvent(pHandle, MAIN_DropDCom, EVENT_RIGHT_CLICK);
  EXPECT_TRUE(CtrlVisible(pHandle, MAIN_TEXTHelp) && CtrlVisible(pHandle, MAIN_TEXTHelp2));
  FireCtrlEvent(pHandle, MAIN_BTNStop, EVENT_RIGHT_CLICK);
  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_TEXTHelp));
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTHelp).rfind("STOP-BUTTON", 0), 0u);
}

// Every box, the tool windows' too, lies inside its panel and stays shown
// through commit and value-changed events; a click hides it.
TEST_F(ShellTest, HelpBoxesInsideTheirPanelsHideOnAClick) {
  const std::string file = tframes::MakeTempDir() + "/a.dat";
  tframes::WriteFile(file, "1\t2\t3\t4\t5\t6\n");
  ASSERT_EQ(OpenRecordingInViewer(file.c_str()), 0);
  ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  std::vector<std::array<int, 3>> cases = {{pHandle, MAIN_BTNRun, MAIN_TEXTHelp},
                                           {pHandle, MAIN_DropDCom, MAIN_TEXTHelp2},
                                           {pHandle, MAIN_BTNExport, MAIN_TEXTHelp},
                                           {pPopUp, POPUP_BTNViewRecord, POPUP_TEXTRecHelp}};
  for (int c = VIEWER_TEXTViewerHeader; c <= VIEWER_TEXTViewerStatus; ++c)
    cases.push_back({pViewer, c, VIEWER_TEXTViewerHelp});
  const size_t dialogues = PopupCalls().size();
  for (const auto& [panel, control, box] : cases) {
    SCOPED_TRACE(std::to_string(panel) + "/" + std::to_string(control));
    int pw = 0, ph = 0, top = 0, left = 0, h = 0, w = 0;
    GetPanelAttribute(panel, ATTR_WIDTH, &pw);
    GetPanelAttribute(panel, ATTR_HEIGHT, &ph);
    auto inside = [&](int c) {
      return GetCtrlBoundingRect(panel, c, &top, &left, &h, &w) == 0 && left >= 0 && top >= 0 &&
             left + w <= pw && top + h <= ph;
    };
    EXPECT_TRUE(inside(control));
    RightClickCtrl(panel, control);
    ASSERT_TRUE(CtrlVisible(panel, box));
    EXPECT_TRUE(inside(box)) << left << "," << top << " " << w << "x" << h;
    EXPECT_GT(CtrlText(panel, box).size(), 20u);
    FireCtrlEvent(panel, box, EVENT_COMMIT);
    FireCtrlEvent(panel, box, EVENT_VAL_CHANGED);
    EXPECT_TRUE(CtrlVisible(panel, box));
    (control == MAIN_BTNRun ? RightClickCtrl : ClickCtrl)(panel, box);
    EXPECT_FALSE(CtrlVisible(panel, box));
  }
  EXPECT_EQ(PopupCalls().size(), dialogues);  // a right click opens no file dialogue
}

}  // namespace
