// Screenshots of the real program against the built-in sensor simulator, on a
// real or virtual X display, for the operator's guide:
//
//   Xvfb :96 -screen 0 1600x1000x24 &
//   cd build && DISPLAY=:96 ./shot SCENARIO OUTPUT.png
//
// (scripts/screenshots does all of it.) Each run starts the program
// in-process, picks the SIM entry of the port drop-down, plays one scenario
// through the controls as an operator would (test hooks: clicks, typed values,
// scripted file dialogues) and grabs the screen with ImageMagick's
// `import -window root`, trimmed to the windows.
//
// Scenarios:
//   identify  main window right after connecting (firmware version in the status line)
//   help      help texts of RUN and the port drop-down (right clicks)
//   run       RUN after TEACH, history zoom on, grabbed while the loop runs
//   video     VIDEO after a few passes
//   para0 para1 para2 calib   the four parameter panels
//   get-file  SEND to a parameter file, then GET from it (file target)
//   teach     TEACH, then a setpoint typed into the set 1 panel
//   recorder  the recorder window while it records
//   upload    an X-FLASH upload half-way (service code 6173 typed first)
//   viewer    the recording viewer with a recording just made (90 records, 1 s)
//   export    not a screen grab: the image the main panel's export writes of
//             the value history after RUN (its CSV lands beside it)
//   monitor   the protocol monitor during RUN
//   compare   the set comparison after a word was changed in the sensor's RAM only
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/panels.h"
#include "app/startup.h"
#include "link/link.h"
#include "link/xflash.h"
#include "monitor/compare.h"
#include "monitor/monitor.h"
#include "platform/clock.h"
#include "platform/popup.h"
#include "platform/popup_script.h"
#include "platform/serial.h"
#include "platform/sim_port.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "recorder/recorder.h"
#include "viewer/viewer.h"

namespace {

std::string g_out;
int g_grab = -1;  // result of the grab; -1 = not taken

void RunEventsFor(double seconds) {
  const double end = Timer() + seconds;
  while (Timer() < end) ProcessSystemEvents();
}

// The windows sit at the top left of an otherwise empty screen: trim it away.
void Grab() {
  RunEventsFor(0.3);  // everything painted
  const std::string cmd = "import -window root -trim +repage '" + g_out + "'";
  g_grab = std::system(cmd.c_str());
  std::printf("%s -> %d\n", cmd.c_str(), g_grab);
}

// Grab while a loop runs (from inside its event processing), then press `stop`.
void GrabAfter(double seconds, int stopPanel, int stopCtrl) {
  static int panel, ctrl;
  panel = stopPanel;
  ctrl = stopCtrl;
  const double t = Timer() + seconds;
  ScheduleAt(t, [] { Grab(); });
  ScheduleAt(t + 0.5, [] { ClickCtrl(panel, ctrl); });
}

void Status(const char* after) { std::printf("after %s: %s\n", after, szStatus); }

// A click on the toggle that is on already would turn it off.
void ShowPanel(int toggle) {
  int on = 0;
  GetCtrlVal(pHandle, toggle, &on);
  if (!on) ClickCtrl(pHandle, toggle);
  RunEventsFor(0.3);
}

int Play(const std::string& scenario) {
  if (scenario == "identify") {
    Grab();
  } else if (scenario == "help") {
    RightClickCtrl(pHandle, MAIN_BTNRun);
    RightClickCtrl(pHandle, MAIN_DropDCom);
    Grab();
  } else if (scenario == "run") {
    // Teach the edges the simulator sees now, so the result sits in its
    // window, and zoom the history onto the target.
    ClickCtrl(pHandle, MAIN_ButtonTeach);
    Status("TEACH");
    ClickCtrl(pHandle, MAIN_TOGBTN_Zoom);
    GrabAfter(5.0, pHandle, MAIN_BTNStop);
    ClickCtrl(pHandle, MAIN_BTNRun);
    Status("RUN");
  } else if (scenario == "video") {
    ScheduleAt(Timer() + 4.0, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
    ClickCtrl(pHandle, MAIN_BTNVideo);
    Status("VIDEO");
    Grab();
  } else if (scenario == "para0") {
    ShowPanel(MAIN_TOGGBTN_Para0);
    Grab();
  } else if (scenario == "para1") {
    ShowPanel(MAIN_TOGGBTN_Para1);
    Grab();
  } else if (scenario == "para2") {
    ShowPanel(MAIN_TOGGBTN_Para2);
    Grab();
  } else if (scenario == "calib") {
    ShowPanel(MAIN_TOGGBTN_Calib);
    Grab();
  } else if (scenario == "get-file") {
    // Save the sets to a file (answering the overwrite question with yes
    // when it exists already), then load them back with GET.
    const char* path = "/tmp/TARVOpara-shot.cfg";
    const bool exists = access(path, F_OK) == 0;
    ScriptPopups(true);
    ClickCtrl(pHandle, MAIN_RBTFile);
    QueueFileAnswer(exists ? VAL_EXISTING_FILE_SELECTED : VAL_NEW_FILE_SELECTED, path);
    if (exists) QueueConfirmAnswer(1);
    ClickCtrl(pHandle, MAIN_BTNSend);
    Status("SEND to file");
    QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, path);
    ClickCtrl(pHandle, MAIN_BTNGet);
    Status("GET from file");
    Grab();
  } else if (scenario == "teach") {
    ShowPanel(MAIN_TOGGBTN_Para1);
    ClickCtrl(pHandle, MAIN_ButtonTeach);
    Status("TEACH");
    // A setpoint typed in marks cursor 2 of the master bar graph.
    unsigned short a = 0;
    GetCtrlVal(pPara1, PARA1_NEDITeachA, &a);
    EnterCtrlVal(pPara1, PARA1_NEDITeachA, a + 300);
    Grab();
  } else if (scenario == "recorder") {
    std::snprintf(recfile_name, sizeof recfile_name, "/tmp/TARVORecord-shot.dat");
    ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
    EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, 1);
    EnterCtrlVal(pPopUp, POPUP_NEDITRecSamples, 3600);
    RunEventsFor(0.3);
    GrabAfter(6.0, pPopUp, POPUP_BTNStopRecord);
    ClickCtrl(pPopUp, POPUP_BTNStartRecord);
    std::printf("recording ended, records in %s\n", recfile_name);
  } else if (scenario == "upload") {
    // The service code typed as the recorder interval reveals the buttons.
    if (chdir("/tmp") == 0) WriteLinData2048ToFile();
    ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
    EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, 6173);
    ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
    ShowPanel(MAIN_TOGGBTN_Calib);
    ScriptPopups(true);
    QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, "/tmp/LIN2048.DAT");
    ScheduleAt(Timer() + 6.0, [] { Grab(); });
    FireCtrlEvent(pCalib, CALIB_BTNWriteXFMA, EVENT_COMMIT);
    Status("the upload");
  } else if (scenario == "viewer") {
    std::snprintf(recfile_name, sizeof recfile_name, "/tmp/TARVORecord-view.dat");
    ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
    EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, 1);
    EnterCtrlVal(pPopUp, POPUP_NEDITRecSamples, 90);
    ClickCtrl(pPopUp, POPUP_BTNStartRecord);
    ScriptPopups(true);
    QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, recfile_name);
    ClickCtrl(pPopUp, POPUP_BTNViewRecord);
    EnterCtrlVal(pViewer, VIEWER_NEDITViewerBand, 510);
    ClickCtrl(pViewer, VIEWER_CHKViewAval);
    ClickCtrl(pViewer, VIEWER_CHKViewBval);
    // Only the viewer on the screen.
    HidePanel(pPopUp);
    HidePanel(pHandle);
    Grab();
  } else if (scenario == "export") {
    ClickCtrl(pHandle, MAIN_ButtonTeach);
    ClickCtrl(pHandle, MAIN_TOGBTN_Zoom);
    ScheduleAt(Timer() + 5.0, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
    ClickCtrl(pHandle, MAIN_BTNRun);
    unlink(g_out.c_str());
    ScriptPopups(true);
    QueueFileAnswer(VAL_NEW_FILE_SELECTED, g_out);
    ClickCtrl(pHandle, MAIN_BTNExport);
    Status("export");
    g_grab = access(g_out.c_str(), F_OK) == 0 ? 0 : 1;
    const std::string csv = g_out.substr(0, g_out.size() - 4) + ".csv";
    std::printf("CSV beside the image:\n");
    std::system(("head -4 '" + csv + "'; rm -f '" + csv + "'").c_str());
  } else if (scenario == "monitor") {
    ClickCtrl(pHandle, MAIN_TOGGBTN_Monitor);
    GrabAfter(2.0, pHandle, MAIN_BTNStop);
    ClickCtrl(pHandle, MAIN_BTNRun);
  } else if (scenario == "compare") {
    BuiltInSim()->ram[1][3] = 1234;  // a setpoint changed in RAM, not saved to EEPROM
    ClickCtrl(pHandle, MAIN_BTNCompare);
    Grab();
  } else {
    std::fprintf(stderr, "unknown scenario '%s'\n", scenario.c_str());
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: %s SCENARIO OUTPUT.png\n"
                 "scenarios: identify help run video para0 para1 para2 calib get-file teach "
                 "recorder upload viewer export monitor compare\n",
                 argv[0]);
    return 2;
  }
  g_out = argv[2];
  if (g_out[0] != '/') {  // the upload scenario changes directory
    char cwd[1024];
    if (getcwd(cwd, sizeof cwd)) g_out = std::string(cwd) + "/" + g_out;
  }

  char arg0[] = "shot";
  char* args[] = {arg0, nullptr};
  if (AppStart(1, args) != 0) {
    std::fprintf(stderr, "start-up failed (is the panel file in the working directory?)\n");
    return 1;
  }
  RunEventsFor(0.5);
  Status("start-up on port 1");
  SetCtrlVal(pHandle, MAIN_DropDCom, kSimPort);
  FireCtrlEvent(pHandle, MAIN_DropDCom, EVENT_COMMIT);
  Status("connecting to SIM");
  RunEventsFor(0.3);

  const int rc = Play(argv[1]);
  RunEventsFor(0.3);
  AppFinish();
  if (rc != 0) return rc;
  return g_grab == 0 ? 0 : 1;
}
