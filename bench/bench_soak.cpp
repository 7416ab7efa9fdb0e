// Soak: a long RUN and a long recording against the built-in sensor model on
// the virtual clock (the model paced at 19200 baud in virtual time, so hours
// of line time cost only CPU time). Prints resident memory before, at
// checkpoints and after, so any growth shows; counts the record lines the
// recording left in its file.
//
//   bench_soak [frames] [records]   (defaults 100000 and 2000; run from the
//                                    build directory so the panel file is found)
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "app/panels.h"
#include "app/startup.h"
#include "bench/measure.h"
#include "link/link.h"
#include "platform/clock.h"
#include "platform/graph_probe.h"
#include "platform/popup_script.h"
#include "platform/port_backend.h"
#include "platform/sim_port.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "recorder/recorder.h"
#include "sim/sensor_sim.h"

namespace {

std::shared_ptr<tarvo_sim::SensorSim> g_sim;
int g_framesWanted = 0;
int g_framesAtStart = 0;
int g_nextCheckpoint = 0;
int g_checkpointStep = 0;
long g_rssFirstCheckpoint = -1;
long g_rssLastCheckpoint = -1;

int FramesShown() { return StripChartUpdates(pHandle, MAIN_STRIPHistory) - g_framesAtStart; }

// Checks the run every few virtual seconds: prints memory at each checkpoint
// and presses STOP when enough frames have been shown.
void Watch() {
  const int frames = FramesShown();
  if (frames >= g_nextCheckpoint) {
    // The model's own log of requests would grow without bound; it is not
    // the program's memory, so it is emptied at each checkpoint.
    g_sim->ClearRequests();
    const long rss = RssKiB();
    if (g_rssFirstCheckpoint < 0) g_rssFirstCheckpoint = rss;
    g_rssLastCheckpoint = rss;
    std::printf("  %7d frames  virtual %8.1f s  VmRSS %7ld KiB\n", frames, Timer(), rss);
    std::fflush(stdout);
    g_nextCheckpoint += g_checkpointStep;
  }
  if (frames >= g_framesWanted) {
    ClickCtrl(pHandle, MAIN_BTNStop);
    return;
  }
  ScheduleAt(Timer() + 2.0, Watch);
}

int CountRecordLines(const char* path, int* wellFormed) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  int n = 0, ok = 0, lineNo = 0;
  while (std::getline(in, line)) {
    if (++lineNo <= 2) continue;  // the two header lines
    if (line.empty()) continue;
    ++n;
    int tabs = 0;
    for (char c : line) tabs += c == '\t';
    ok += tabs == 5;
  }
  *wellFormed = ok;
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  g_framesWanted = argc > 1 ? std::atoi(argv[1]) : 100000;
  if (g_framesWanted < 100) g_framesWanted = 100000;
  int records = argc > 2 ? std::atoi(argv[2]) : 2000;
  if (records < 1) records = 2000;

  g_sim = std::make_shared<tarvo_sim::SensorSim>();
  g_sim->SetPacing(true);
  g_sim->frozen = false;  // moving edges with noise, as a real sensor
  InstallPortBackend(1, MakeSimBackend(g_sim));
  UseVirtualClock(true);
  ScriptPopups(true);
  const long rssBeforeStart = RssKiB();
  char arg0[] = "bench_soak";
  char* args[] = {arg0, nullptr};
  if (AppStart(1, args) != 0) {
    std::fprintf(stderr, "start-up failed (is the panel file in the working directory?)\n");
    return 1;
  }
  for (int i = 0; i < 50; ++i) ProcessSystemEvents();
  const long rssStart = RssKiB();
  std::printf("start-up status: %s\n", szStatus);
  std::printf("VmRSS before start-up %ld KiB, after start-up %ld KiB\n", rssBeforeStart, rssStart);

  // ---- RUN ----
  std::printf("RUN, %d measurement frames (virtual clock, model paced at 19200 baud):\n",
              g_framesWanted);
  g_framesAtStart = StripChartUpdates(pHandle, MAIN_STRIPHistory);
  g_checkpointStep = g_framesWanted / 10;
  g_nextCheckpoint = g_checkpointStep;
  ScheduleAt(Timer() + 2.0, Watch);
  const double w0 = Wall(), c0 = CpuSeconds(), v0 = Timer();
  ClickCtrl(pHandle, MAIN_BTNRun);
  const double wall = Wall() - w0, cpu = CpuSeconds() - c0, virt = Timer() - v0;
  const int frames = FramesShown();
  const long rssAfterRun = RssKiB();
  std::printf(
      "  frames shown %d in %.1f virtual s (%.2f frames/s); real %.1f s, CPU %.1f s "
      "(%.1f us per frame)\n",
      frames, virt, frames / virt, wall, cpu, 1e6 * cpu / frames);
  std::printf("  last status: %s\n", szStatus);
  std::printf(
      "  VmRSS after RUN %ld KiB; growth from the first checkpoint %+ld KiB, "
      "from start-up %+ld KiB\n",
      rssAfterRun, rssAfterRun - g_rssFirstCheckpoint, rssAfterRun - rssStart);

  // ---- recording ----
  char dir[] = "/tmp/tarvo-soak-XXXXXX";
  if (!mkdtemp(dir)) {
    std::perror("mkdtemp");
    return 1;
  }
  std::snprintf(recfile_name, sizeof recfile_name, "%s/TARVORecord.dat", dir);
  std::printf("Recording, %d records at interval 0 into %s:\n", records, recfile_name);
  if (!PanelVisible(pPopUp)) ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
  EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, 0);
  EnterCtrlVal(pPopUp, POPUP_NEDITRecSamples, records);
  const long rssBeforeRec = RssKiB();
  const double rw0 = Wall(), rv0 = Timer();
  ClickCtrl(pPopUp, POPUP_BTNStartRecord);
  const double rwall = Wall() - rw0, rvirt = Timer() - rv0;
  int wellFormed = 0;
  const int lines = CountRecordLines(recfile_name, &wellFormed);
  const long rssAfterRec = RssKiB();
  std::printf(
      "  record lines in the file %d of %d (%d with six fields); %.1f virtual s, "
      "real %.1f s\n",
      lines, records, wellFormed, rvirt, rwall);
  std::printf("  last status: %s\n", szStatus);
  std::printf("  VmRSS before recording %ld KiB, after %ld KiB (%+ld KiB)\n", rssBeforeRec,
              rssAfterRec, rssAfterRec - rssBeforeRec);

  AppFinish();
  std::remove(recfile_name);
  rmdir(dir);

  const bool flat = rssAfterRun - g_rssFirstCheckpoint < 2048 && rssAfterRec - rssBeforeRec < 2048;
  std::printf(
      "SUMMARY frames=%d rss_start_kib=%ld rss_after_run_kib=%ld rss_after_rec_kib=%ld "
      "record_lines=%d/%d memory=%s\n",
      frames, rssStart, rssAfterRun, rssAfterRec, lines, records, flat ? "flat" : "GROWING");
  return frames >= g_framesWanted && lines == records && flat ? 0 : 1;
}
