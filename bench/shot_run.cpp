// Screenshot of RUN against the built-in simulator, on a real (or virtual) X
// display:
//
//   Xvfb :97 -screen 0 1280x1024x24 &
//   cd build && DISPLAY=:97 ./shot_run ../docs/run.png [seconds]
//
// Starts the program in-process, picks the SIM entry of the port drop-down,
// teaches the current edges, switches the history zoom on, clicks RUN, grabs the screen
// (ImageMagick `import -window root`) while the loop is still running, then clicks STOP.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/panels.h"
#include "app/startup.h"
#include "link/link.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"

namespace {

void RunEventsFor(double seconds) {
  const double end = Timer() + seconds;
  while (Timer() < end) ProcessSystemEvents();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png [seconds]\n", argv[0]);
    return 2;
  }
  const std::string out = argv[1];
  const double seconds = argc > 2 ? std::atof(argv[2]) : 5.0;

  char arg0[] = "shot_run";
  char* args[] = {arg0, nullptr};
  if (AppStart(1, args) != 0) {
    std::fprintf(stderr, "start-up failed (is the panel file in the working directory?)\n");
    return 1;
  }
  RunEventsFor(0.5);

  SetCtrlVal(pHandle, MAIN_DropDCom, kSimPort);
  FireCtrlEvent(pHandle, MAIN_DropDCom, EVENT_COMMIT);
  std::printf("after connecting to SIM: %s\n", szStatus);

  // Teach the edges the simulator sees now, so the result sits in its window,
  // and zoom the history onto the target.
  ClickCtrl(pHandle, MAIN_ButtonTeach);
  std::printf("after TEACH: %s\n", szStatus);
  ClickCtrl(pHandle, MAIN_TOGBTN_Zoom);

  static int rc = -1;
  static std::string cmd;
  cmd = "import -window root '" + out + "'";
  const double t0 = Timer();
  ScheduleAt(t0 + seconds, [] {
    rc = std::system(cmd.c_str());
    std::printf("%s -> %d\n", cmd.c_str(), rc);
  });
  ScheduleAt(t0 + seconds + 0.2, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  std::printf("after RUN: %s\n", szStatus);

  AppFinish();
  return rc == 0 ? 0 : 1;
}
