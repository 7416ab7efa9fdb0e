// VIDEO against the built-in sensor model paced at 19200 baud, on the real
// clock: achieved video passes per second against the line limit, and CPU
// time per wall-clock second while the loop runs.
//
//   bench_video [seconds]      (default 10; run from the build directory so
//                               the panel file is found)
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/panels.h"
#include "app/startup.h"
#include "bench/measure.h"
#include "link/link.h"
#include "platform/clock.h"
#include "platform/port_backend.h"
#include "platform/sim_port.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "sim/sensor_sim.h"

namespace {

int Count(const tarvo_sim::SensorSim& sim, uint16_t command) {
  int n = 0;
  for (const auto& r : sim.requests()) n += r.command == command;
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  if (seconds <= 0) seconds = 10.0;

  auto sim = std::make_shared<tarvo_sim::SensorSim>();
  sim->SetPacing(true);
  InstallPortBackend(1, MakeSimBackend(sim));
  char arg0[] = "bench_video";
  char* args[] = {arg0, nullptr};
  if (AppStart(1, args) != 0) {
    std::fprintf(stderr, "start-up failed (is the panel file in the working directory?)\n");
    return 1;
  }
  std::printf("start-up status: %s\n", szStatus);

  sim->ClearRequests();
  ScheduleAt(Timer() + seconds, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  const double cpu0 = CpuSeconds();
  const double t0 = Timer();
  ClickCtrl(pHandle, MAIN_BTNVideo);
  const double wall = Timer() - t0;
  const double cpu = CpuSeconds() - cpu0;

  const int passes = Count(*sim, 8);
  const int blocks = Count(*sim, 9);
  const int complete = blocks / 4;
  constexpr double kBytesPerPass = 36 + 36 + 4 * (36 + 128);  // 728
  constexpr double kLineBytesPerSecond = 19200.0 / 10.0;      // 1920
  const double lineLimited = kLineBytesPerSecond / kBytesPerPass;
  const double achieved = complete / wall;

  // Steady state: from the first to the last measurement request. The STOP
  // click (with its 0.2 s pause) falls in the last pass and is left out.
  const auto& req = sim->requests();
  double firstM = -1, lastM = -1;
  for (const auto& r : req)
    if (r.command == 8) {
      if (firstM < 0) firstM = r.time;
      lastM = r.time;
    }
  const double steady = passes > 1 ? (passes - 1) / (lastM - firstM) : 0.0;

  std::printf("wall time                   %8.3f s\n", wall);
  std::printf("passes (measurement reqs)   %8d\n", passes);
  std::printf("complete passes (4 blocks)  %8d\n", complete);
  std::printf("line-limited passes/s       %8.3f  (728 bytes at 1920 bytes/s)\n", lineLimited);
  std::printf("achieved passes/s, steady   %8.3f  = %5.1f %% of the line limit (goal >= 97 %%)\n",
              steady, 100.0 * steady / lineLimited);
  std::printf(
      "achieved passes/s, overall  %8.3f  = %5.1f %% (incl. start and STOP's 0.2 s pause)\n",
      achieved, 100.0 * achieved / lineLimited);
  std::printf("CPU s per wall s            %8.3f  (goal <= 0.10)\n", cpu / wall);
  std::printf("last status                 %s\n", szStatus);

  // Where the time beyond the line time goes (medians): for each request, the
  // time since the previous one minus the line time of that request and its reply.
  constexpr double kByte = 10.0 / 19200.0;
  std::vector<double> afterMeasurement, betweenBlocks, atPassEnd;
  for (size_t i = 1; i < req.size(); ++i) {
    const auto& prev = req[i - 1];
    const double replyBytes = prev.command == 9 ? 128 : 36;
    const double extra = 1000.0 * (req[i].time - prev.time - (36 + replyBytes) * kByte);
    if (prev.command == 8)
      afterMeasurement.push_back(extra);
    else if (prev.command == 9 && req[i].command == 9)
      betweenBlocks.push_back(extra);
    else if (prev.command == 9)
      atPassEnd.push_back(extra);
  }
  auto median = [](std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  std::printf("turn-around after measurement %6.2f ms (median)\n", median(afterMeasurement));
  std::printf("turn-around between blocks    %6.2f ms (median)\n", median(betweenBlocks));
  std::printf("turn-around at pass end       %6.2f ms (median; drawing and event processing)\n",
              median(atPassEnd));

  AppFinish();
  return 0;
}
