// The real serial path: the standalone simulator on a pseudo-terminal, opened
// through the QSerialPort backend, with the real widgets. Prints
//  1. idle with the port open: wake-ups per second (voluntary context
//     switches of the process) and CPU seconds per wall second;
//  2. RUN against the line-paced simulator: frames/s against the line limit
//     and CPU seconds per wall second.
//
//   bench_pty [seconds]   (default 5; run from the build directory, where the
//                          panel file and tarvo-sensor-sim are)
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/panels.h"
#include "app/startup.h"
#include "bench/measure.h"
#include "link/link.h"
#include "platform/clock.h"
#include "platform/graph_probe.h"
#include "platform/qt_serial_backend.h"
#include "platform/serial.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"

namespace {

long ContextSwitches() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_nvcsw;
}

// The simulator as a child process; its first output line is the terminal.
std::string StartSim(pid_t& pid) {
  int fds[2];
  if (pipe(fds) != 0) return "";
  pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    execl("./tarvo-sensor-sim", "tarvo-sensor-sim", "--frozen", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  FILE* out = fdopen(fds[0], "r");
  char line[512] = {0};
  if (!out || !fgets(line, sizeof line, out)) return "";
  std::string path = line;
  while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
  return path;
}

void Idle(double seconds) {
  const long cs0 = ContextSwitches();
  const double cpu0 = CpuSeconds(), t0 = Timer();
  ScheduleAt(t0 + seconds, [] { QuitUserInterface(0); });
  RunUserInterface();
  ResetQuitRequest();
  const double wall = Timer() - t0;
  std::printf("idle, port open: wake-ups/s %.1f  CPU s per wall s %.4f\n",
              (ContextSwitches() - cs0) / wall, (CpuSeconds() - cpu0) / wall);
}

void Run(double seconds) {
  constexpr double kLineLimited = 1.0 / 0.0375;  // request + reply, 36 bytes each
  const int frames0 = StripChartUpdates(pHandle, MAIN_STRIPHistory);
  const long cs0 = ContextSwitches();
  const double cpu0 = CpuSeconds(), t0 = Timer();
  ScheduleAt(t0 + seconds, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  const double wall = Timer() - t0;
  const int frames = StripChartUpdates(pHandle, MAIN_STRIPHistory) - frames0;
  std::printf("RUN: frames/s %.2f = %.1f %% of the line limit  CPU s per wall s %.4f  "
              "wake-ups/s %.0f  (%s)\n",
              frames / wall, 100.0 * frames / wall / kLineLimited, (CpuSeconds() - cpu0) / wall,
              (ContextSwitches() - cs0) / wall, szStatus);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const double seconds = argc > 1 && std::atof(argv[1]) > 0 ? std::atof(argv[1]) : 5.0;
  pid_t pid = -1;
  const std::string path = StartSim(pid);
  if (path.empty()) {
    std::fprintf(stderr, "no simulator (run from the build directory)\n");
    return 1;
  }
  InstallPortBackend(1, MakeQtSerialBackend(path, 19200, 0, 8, 1));
  char arg0[] = "bench_pty";
  char* args[] = {arg0, nullptr};
  if (AppStart(1, args) != 0) return 1;
  std::printf("platform %s, start-up status: %s\n", getenv("QT_QPA_PLATFORM"), szStatus);
  Idle(seconds);
  Run(seconds);
  AppFinish();
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return 0;
}
