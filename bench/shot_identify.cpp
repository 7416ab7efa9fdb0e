// Screenshot of the main window after connecting to the built-in simulator:
// header band with logo and texts, the sensor description on the calibration
// panel, the firmware version in the status line and one help text shown.
//
//   Xvfb :96 -screen 0 1600x1000x24 &
//   cd build && DISPLAY=:96 ./shot_identify ../docs/identify.png
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/panels.h"
#include "app/startup.h"
#include "link/identify.h"
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
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  char arg0[] = "shot_identify";
  char* args[] = {arg0, nullptr};
  if (AppStart(1, args) != 0) {
    std::fprintf(stderr, "start-up failed (is the panel file in the working directory?)\n");
    return 1;
  }
  RunEventsFor(0.5);
  std::printf("after start-up on port 1: %s\n", szStatus);

  SetCtrlVal(pHandle, MAIN_DropDCom, kSimPort);
  FireCtrlEvent(pHandle, MAIN_DropDCom, EVENT_COMMIT);
  std::printf("after connecting to SIM: %s (ccdvirtpixel %u, YMAXADC %u)\n", szStatus,
              static_cast<unsigned>(ccdvirtpixel), static_cast<unsigned>(YMAXADC));

  ClickCtrl(pHandle, MAIN_TOGGBTN_Calib);
  RightClickCtrl(pHandle, MAIN_BTNRun);
  RunEventsFor(0.5);  // everything painted

  const std::string cmd = "import -window root -trim +repage '" + std::string(argv[1]) + "'";
  const int rc = std::system(cmd.c_str());
  std::printf("%s -> %d\n", cmd.c_str(), rc);
  AppFinish();
  return rc == 0 ? 0 : 1;
}
