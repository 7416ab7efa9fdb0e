// Screenshots of the four parameter panels against the built-in simulator, on
// a real (or virtual) X display:
//
//   Xvfb :78 -screen 0 1600x1000x24 &
//   cd build && DISPLAY=:78 ./shot_params ../docs
//
// Starts the program in-process, picks the SIM entry of the port drop-down (so
// the sets come from the simulated sensor), clicks each panel toggle in turn and
// grabs the screen with ImageMagick's `import -window root` (trimmed) into
// para0.png, para1.png, para2.png and calib.png in the given directory.
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

int Grab(const std::string& path) {
  // The window sits in the top left corner; trim the empty screen around it.
  const std::string cmd = "import -window root -trim +repage '" + path + "'";
  const int rc = std::system(cmd.c_str());
  std::printf("%s -> %d\n", cmd.c_str(), rc);
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];

  char arg0[] = "shot_params";
  char* args[] = {arg0, nullptr};
  if (AppStart(1, args) != 0) {
    std::fprintf(stderr, "start-up failed (is the panel file in the working directory?)\n");
    return 1;
  }
  RunEventsFor(0.5);

  SetCtrlVal(pHandle, MAIN_DropDCom, kSimPort);
  FireCtrlEvent(pHandle, MAIN_DropDCom, EVENT_COMMIT);
  std::printf("after connecting to SIM: %s\n", szStatus);
  RunEventsFor(0.5);

  struct Shot {
    int button;
    const char* file;
  };
  const Shot shots[] = {{MAIN_TOGGBTN_Para1, "para1.png"},
                        {MAIN_TOGGBTN_Para2, "para2.png"},
                        {MAIN_TOGGBTN_Calib, "calib.png"},
                        {MAIN_TOGGBTN_Para0, "para0.png"}};
  int failed = 0;
  for (const Shot& s : shots) {
    ClickCtrl(pHandle, s.button);
    RunEventsFor(0.5);  // everything painted
    if (Grab(dir + "/" + s.file) != 0) ++failed;
  }
  AppFinish();
  return failed == 0 ? 0 : 1;
}
