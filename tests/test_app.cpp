// The application shell: start-up values, panels, shutdown, the recorder
// popup's close and the help texts.
#include <sys/wait.h>
#include <unistd.h>

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
using namespace tframes;

namespace {

// A request whose last byte came after this had its first byte after `t`.
double FrameEnd(double t) { return t + 36 * tarvo_sim::SensorSim::kByteTime; }

// A new folder holding the panel file with `pattern` replaced by `with`.
fs::path PanelFileWith(const std::string& pattern, const std::string& with) {
  const fs::path dir = MakeTempDir();
  const std::string text = ReadAll((fs::path(TARVO_BUILD_DIR) / kPanelFile).string());
  const std::string changed = std::regex_replace(text, std::regex(pattern), with);
  EXPECT_NE(changed, text);
  WriteFile((dir / kPanelFile).string(), changed);
  return dir;
}

// ---------------------------------------------------------------------------
// Start-up

class StartUpTest : public ::testing::Test {
 protected:
  void TearDown() override { StopApp(); }
};

// Without a sensor: the start values, but the sets as the panels show them
// (here a panel file whose set 0 word 1 is not the start value), and the
// panels as the modes of set 0 want them (no analog output: no analog
// displays; hardware mode 1: the tolerances dimmed; the rules themselves: the
// parameter suite).
TEST_F(StartUpTest, StartValuesAndPanelsAsTheModesOfSetZeroWant) {
  const fs::path panels =
      PanelFileWith(R"((name="CTRLPara0W1">[\s\S]*?name="value">\s*<number)>0<)", "$1>1234<");
  char here[512];
  ASSERT_TRUE(getcwd(here, sizeof here) && chdir(panels.c_str()) == 0);
  const int result = StartApp(nullptr);
  ASSERT_EQ(Longs({chdir(here), result}), Longs({0, 0}));
  EXPECT_EQ(Status(), "Timeout-RS-232...");
  EXPECT_EQ(Longs({parameter.set0[1], parameter.set0[2], parameter.set0[3]}), Longs({1234, 0, 1}));
  EXPECT_EQ(Longs({CtrlVisible(pHandle, MAIN_NUMAnaMax), CtrlDimmed(pPara0, PARA0_CTRLTolLo),
                   CtrlDimmed(pPara1, PARA1_SLIDEVideoTHD_A)}),
            Longs({0, 1, 0}));
  // No loop running, the threshold lines (following sets 1 and 2) at 128, the recorder off.
  const long thd =
      std::count(thdArrayA, thdArrayA + 128, 128) + std::count(thdArrayB, thdArrayB + 128, 128);
  EXPECT_EQ(Longs({stop_flag, thd, IntVal(pHandle, MAIN_TOGGBTN_Recorder)}), Longs({1, 256, 0}));
  // Recorder file beside the executable, shown in the popup.
  ASSERT_GT(std::strlen(proj_dir), 0u);
  EXPECT_EQ(fs::path(recfile_name), fs::path(proj_dir) / "TARVORecord.dat");
  EXPECT_EQ(CtrlText(pPopUp, POPUP_TEXTRecFile), recfile_name);
  for (int panel : {pHandle, pPara0, pPara1, pPara2, pCalib, pPopUp})
    EXPECT_EQ(PanelVisible(panel), panel == pHandle || panel == pPara0) << panel;
}

// Without its panel file, one of its panels or a display the real program
// ends with -1 before anything is shown.
TEST(MissingPanels, EndWithMinusOne) {
  auto run = [](const fs::path& dir, const std::string& env = "QT_QPA_PLATFORM=offscreen") {
    fs::copy_file(fs::path(TARVO_BUILD_DIR) / "tarvo-scope", dir / "tarvo-scope");
    const std::string cmd = "cd '" + dir.string() + "' && env " + env +
                            " timeout 30 ./tarvo-scope >/dev/null 2>errors.txt";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
  };
  EXPECT_EQ(run(MakeTempDir()), 255);  // -1 as a process exit code
  // The set 1 panel (resource 4) renumbered: a panel loaded early is missing.
  EXPECT_EQ(run(PanelFileWith(R"((name="panelId"[^>]*>\s*<number)>4<)", "$1>14<")), 255);
  const fs::path dir = MakeTempDir();
  fs::copy_file(fs::path(TARVO_BUILD_DIR) / kPanelFile, dir / kPanelFile);
  EXPECT_EQ(run(dir, "-u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb"), 255);
  EXPECT_EQ(ReadAll((dir / "errors.txt").string()),
            "TARVO-LT-MS-Scope: no display could be opened.\n");
}

// Only the recorder popup's close ends a running loop (the other events of
// both panels do nothing), and the program runs on; closing the main panel
// during the run loop stops it, and the program ends with 0.
TEST_F(StartUpTest, ThePopupsCloseEndsTheLoopTheMainPanelsTheProgram) {
  UseVirtualClock(true);
  ScriptPopups(true);
  auto sensor = NewSensor();
  sensor->SetPacing(true);  // frames take their line time: loops let the clock move
  InstallPortBackend(1, MakeSimBackend(sensor));
  const double t0 = Timer();
  double closedAt = 0;
  Longs afterPopupClose;
  After(5, [&] {
    ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
    ClickCtrl(pHandle, MAIN_BTNRun);  // returns when the popup's close has ended the loop
    afterPopupClose =
        Longs({RequestCount(*sensor, kCmdMeasure, t0 + 6.1) > 10,
               RequestCount(*sensor, kCmdMeasure, FrameEnd(closedAt)), stop_flag,
               PanelVisible(pPopUp), PanelVisible(pHandle), QuitRequested(),
               IntVal(pHandle, MAIN_TOGGBTN_Recorder), CtrlDimmed(pHandle, MAIN_BTNRun)});
    ClickCtrl(pHandle, MAIN_BTNRun);
  });
  After(6, [] {
    for (int event : {EVENT_COMMIT, EVENT_VAL_CHANGED, EVENT_LEFT_CLICK, EVENT_RIGHT_CLICK})
      FirePanelEvent(pPopUp, event), FirePanelEvent(pHandle, event);
  });
  for (const auto& [at, panel] : {std::make_pair(7, &pPopUp), std::make_pair(10, &pHandle)})
    After(at, [&, panel = panel] {
      closedAt = Timer();
      FirePanelEvent(*panel, EVENT_CLOSE);
    });
  char arg0[] = "tarvo-scope", *argv[] = {arg0, nullptr};
  EXPECT_EQ(TarvoMain(1, argv), 0);
  EXPECT_EQ(afterPopupClose, Longs({1, 0, 1, 0, 1, 0, 0, 0}));
  // The second loop was running, and stopped at the main panel's close.
  EXPECT_TRUE(QuitRequested() && stop_flag == 1 && Timer() - closedAt < 2.0);
  EXPECT_GT(RequestCount(*sensor, kCmdMeasure, t0 + 8), 10);
  EXPECT_EQ(RequestCount(*sensor, kCmdMeasure, FrameEnd(closedAt)), 0);
}

// ---------------------------------------------------------------------------
// Help

using ShellTest = PacedSensorTest;

// A right click shows the control's help in a box inside its panel (the main
// panel's boxes: the panel file suite), the tool windows' too; it stays shown
// through commit and value-changed events, and a click hides it. The two main
// panel boxes are independent, and another control's right click moves a shown
// box there and hides it.
TEST_F(ShellTest, HelpBoxesInsideTheirPanelsHideOnAClick) {
  const std::string file = MakeTempDir() + "/a.dat";
  WriteFile(file, "1\t2\t3\t4\t5\t6\n");
  ASSERT_EQ(OpenRecordingInViewer(file.c_str()), 0);
  ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  std::vector<std::array<int, 3>> cases = {{pHandle, MAIN_BTNRun, MAIN_TEXTHelp},
                                           {pHandle, MAIN_DropDCom, MAIN_TEXTHelp2},
                                           {pHandle, MAIN_BTNExport, MAIN_TEXTHelp},
                                           {pPopUp, POPUP_BTNViewRecord, POPUP_TEXTRecHelp}};
  for (int c = VIEWER_TEXTViewerHeader; c <= VIEWER_TEXTViewerStatus; ++c)
    cases.push_back({pViewer, c, VIEWER_TEXTViewerHelp});
  const size_t dialogues = PopupCalls().size(), requests = sim().requests().size();
  for (const auto& [panel, control, box] : cases) {
    SCOPED_TRACE(std::to_string(panel) + "/" + std::to_string(control));
    int pw = 0, ph = 0, top = 0, left = 0, h = 0, w = 0;
    GetPanelAttribute(panel, ATTR_WIDTH, &pw);
    GetPanelAttribute(panel, ATTR_HEIGHT, &ph);
    RightClickCtrl(panel, control);
    ASSERT_TRUE(CtrlVisible(panel, box));
    GetCtrlBoundingRect(panel, box, &top, &left, &h, &w);
    EXPECT_TRUE(left >= 0 && top >= 0 && left + w <= pw && top + h <= ph)
        << left << "," << top << " " << w << "x" << h;
    for (int event : {EVENT_COMMIT, EVENT_VAL_CHANGED}) FireCtrlEvent(panel, box, event);
    EXPECT_TRUE(CtrlVisible(panel, box));
    (control == MAIN_BTNRun ? RightClickCtrl : ClickCtrl)(panel, box);
    EXPECT_FALSE(CtrlVisible(panel, box));
  }
  // A right click opens no file dialogue and sends nothing.
  EXPECT_EQ(PopupCalls().size() + sim().requests().size(), dialogues + requests);
  RightClickCtrl(pHandle, MAIN_BTNRun);
  RightClickCtrl(pHandle, MAIN_DropDCom);
  EXPECT_TRUE(CtrlVisible(pHandle, MAIN_TEXTHelp) && CtrlVisible(pHandle, MAIN_TEXTHelp2));
  RightClickCtrl(pHandle, MAIN_BTNStop);
  EXPECT_FALSE(CtrlVisible(pHandle, MAIN_TEXTHelp));
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTHelp).rfind("STOP-BUTTON:\n", 0), 0u);
}

}  // namespace
