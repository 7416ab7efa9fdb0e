// Screenshot of the VIDEO display against the built-in simulator, on a real
// (or virtual) X display:
//
//   Xvfb :77 -screen 0 1600x1000x24 &
//   cd build && DISPLAY=:77 ./shot_video ../docs/video.png [seconds]
//
// Starts the program in-process, picks the SIM entry of the port drop-down,
// clicks VIDEO, lets it run, clicks STOP and grabs the screen with
// ImageMagick's `import -window root`.
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
  const double seconds = argc > 2 ? std::atof(argv[2]) : 4.0;

  char arg0[] = "shot_video";
  char* args[] = {arg0, nullptr};
  if (AppStart(1, args) != 0) {
    std::fprintf(stderr, "start-up failed (is the panel file in the working directory?)\n");
    return 1;
  }
  RunEventsFor(0.5);

  // The port drop-down: SIM.
  SetCtrlVal(pHandle, MAIN_DropDCom, kSimPort);
  FireCtrlEvent(pHandle, MAIN_DropDCom, EVENT_COMMIT);
  std::printf("after connecting to SIM: %s\n", szStatus);

  ScheduleAt(Timer() + seconds, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, MAIN_BTNVideo);
  RunEventsFor(1.0);  // everything painted

  // Only the main window (it sits at the top left of the screen).
  int left = 0, top = 0, width = 0, height = 0;
  GetPanelAttribute(pHandle, ATTR_LEFT, &left);
  GetPanelAttribute(pHandle, ATTR_TOP, &top);
  GetPanelAttribute(pHandle, ATTR_WIDTH, &width);
  GetPanelAttribute(pHandle, ATTR_HEIGHT, &height);
  std::string cmd = "import -window root";
  if (width > 0 && height > 0)
    cmd += " -crop " + std::to_string(width) + "x" + std::to_string(height) + "+" +
           std::to_string(left) + "+" + std::to_string(top) + " +repage";
  cmd += " '" + out + "'";
  const int rc = std::system(cmd.c_str());
  std::printf("%s -> %d\n", cmd.c_str(), rc);
  AppFinish();
  return rc == 0 ? 0 : 1;
}
