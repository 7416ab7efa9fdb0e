// Screenshots of the data recorder recording and of an X-FLASH upload in
// progress, against the built-in simulator, on a real (or virtual) X display:
//
//   Xvfb :97 -screen 0 1280x1024x24 &
//   cd build && DISPLAY=:97 ./shot_recorder ../docs/recorder.png ../docs/upload.png
//
// Starts the program in-process, picks the SIM entry of the port drop-down,
// opens the recorder window, records at a 1 s interval and grabs the screen
// (ImageMagick `import -window root`) while it records; then types the service
// code, opens the calibration panel, uploads a default linearisation table
// (the file dialogue is answered by the program itself) and grabs the screen
// half-way through.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/panels.h"
#include "app/startup.h"
#include "link/link.h"
#include "link/xflash.h"
#include "platform/clock.h"
#include "platform/popup.h"
#include "platform/popup_script.h"
#include "platform/serial.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "recorder/recorder.h"

namespace {

void RunEventsFor(double seconds) {
  const double end = Timer() + seconds;
  while (Timer() < end) ProcessSystemEvents();
}

int Grab(const std::string& out) {
  const std::string cmd = "import -window root '" + out + "'";
  const int rc = std::system(cmd.c_str());
  std::printf("%s -> %d\n", cmd.c_str(), rc);
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s RECORDER.png UPLOAD.png [seconds]\n", argv[0]);
    return 2;
  }
  static std::string recorderShot, uploadShot;
  recorderShot = argv[1];
  uploadShot = argv[2];
  const double seconds = argc > 3 ? std::atof(argv[3]) : 6.0;

  char arg0[] = "shot_recorder";
  char* args[] = {arg0, nullptr};
  if (AppStart(1, args) != 0) {
    std::fprintf(stderr, "start-up failed (is the panel file in the working directory?)\n");
    return 1;
  }
  RunEventsFor(0.5);
  SetCtrlVal(pHandle, MAIN_DropDCom, kSimPort);
  FireCtrlEvent(pHandle, MAIN_DropDCom, EVENT_COMMIT);
  std::printf("after connecting to SIM: %s\n", szStatus);

  // Recording: 1 s interval, stopped after the grab.
  std::snprintf(recfile_name, sizeof recfile_name, "/tmp/TARVORecord-shot.dat");
  ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, 1);
  EnterCtrlVal(pPopUp, POPUP_NEDITRecSamples, 3600);
  RunEventsFor(0.3);
  static int rc1 = -1, rc2 = -1;
  double t0 = Timer();
  ScheduleAt(t0 + seconds, [] { rc1 = Grab(recorderShot); });
  ScheduleAt(t0 + seconds + 0.2, [] { ClickCtrl(pPopUp, POPUP_BTNStopRecord); });
  ClickCtrl(pPopUp, POPUP_BTNStartRecord);
  std::printf("recording ended, records: %s\n", recfile_name);
  ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);  // close the recorder window again

  // Upload: the service code reveals the buttons on the calibration panel.
  if (chdir("/tmp") == 0) WriteLinData2048ToFile();
  ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, 6173);
  ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  ClickCtrl(pHandle, MAIN_TOGGBTN_Calib);
  RunEventsFor(0.3);
  ScriptPopups(true);
  QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, "/tmp/LIN2048.DAT");
  t0 = Timer();
  ScheduleAt(t0 + seconds, [] { rc2 = Grab(uploadShot); });
  FireCtrlEvent(pCalib, CALIB_BTNWriteXFMA, EVENT_COMMIT);
  std::printf("after the upload: %s\n", szStatus);
  RunEventsFor(0.5);

  AppFinish();
  return rc1 == 0 && rc2 == 0 ? 0 : 1;
}
