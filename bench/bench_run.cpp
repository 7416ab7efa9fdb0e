// The RUN loop's costs, with the real widgets (offscreen unless a display is
// chosen) and the built-in sensor model:
//
//  1. per measurement frame: decode + bar graphs + history update, split into
//     the part that runs before the next request goes out and the painting
//     that follows during event processing (thread CPU time, idle event
//     processing subtracted);
//  2. RUN against the model (once with the protocol monitor closed, once open) paced at 19200 baud
//  with no answer delay, on the
//     real clock: achieved frames/s against the line limit (one 36-byte
//     request and one 36-byte reply per frame = 37.5 ms), and the program's
//     CPU seconds per wall-clock second.
//
//   bench_run [seconds] [frames]   (defaults 8 and 400; run from the build
//                                   directory so the panel file is found)
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/panels.h"
#include "app/startup.h"
#include "bench/measure.h"
#include "display/bargraph.h"
#include "display/history.h"
#include "link/frame.h"
#include "link/link.h"
#include "link/payload.h"
#include "measure/run.h"
#include "monitor/monitor.h"
#include "platform/clock.h"
#include "platform/graph_probe.h"
#include "platform/port_backend.h"
#include "platform/sim_port.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "sim/sensor_sim.h"

namespace {

// A measurement reply as it arrives on the line, into the receive buffer.
void PutMeasurementFrame(const std::array<uint16_t, 16>& w) {
  szReadBuf[0] = 0x00;
  szReadBuf[1] = 0xAA;
  szReadBuf[2] = 0x00;
  szReadBuf[3] = 0x08;
  for (int i = 0; i < 16; ++i) {
    szReadBuf[4 + 2 * i] = static_cast<unsigned char>(w[i] >> 8);
    szReadBuf[5 + 2 * i] = static_cast<unsigned char>(w[i] & 0xFF);
  }
}

struct Stats {
  double mean, p50, p95, max;
};
Stats Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  double sum = 0;
  for (double x : v) sum += x;
  return Stats{sum / v.size(), v[v.size() / 2], v[v.size() * 95 / 100], v.back()};
}
void Print(const char* what, const Stats& s) {
  std::printf("  %-34s mean %7.3f  p50 %7.3f  p95 %7.3f  max %7.3f ms\n", what, s.mean * 1e3,
              s.p50 * 1e3, s.p95 * 1e3, s.max * 1e3);
}

// Event processing long enough (real time) for the deferred drawing to happen.
constexpr double kPaintWindow = 0.008;
void PumpFor(double seconds) {
  const double end = Wall() + seconds;
  while (Wall() < end) ProcessSystemEvents();
}

void FrameCosts(tarvo_sim::SensorSim& sim, int frames) {
  // Settle whatever start-up left queued.
  for (int i = 0; i < 20; ++i) ProcessSystemEvents();

  std::vector<double> before(frames), paint(frames), idle(frames);
  for (int f = 0; f < frames; ++f) {
    // Moving edges, so every frame draws something new.
    sim.edgeA = 1000 + 200 * ((f % 40) / 40.0);
    sim.edgeB = 1200 - 150 * ((f % 25) / 25.0);
    PutMeasurementFrame(sim.MeasurementWords());

    const double t0 = Wall();
    graph_flag = GetRxBuf();
    CopyPPtoRAWVars();
    PlotVIDEOBarGraph();
    PlotRAWGraph();
    before[f] = Wall() - t0;

    const double c0 = ThreadCpu();
    PumpFor(kPaintWindow);
    paint[f] = ThreadCpu() - c0;

    // The same event passes with nothing new to draw.
    const double c1 = ThreadCpu();
    PumpFor(kPaintWindow);
    idle[f] = ThreadCpu() - c1;
  }
  const Stats b = Summarise(before), p = Summarise(paint), i = Summarise(idle);
  std::printf("Per measurement frame (%d frames, real widgets):\n", frames);
  Print("decode + draw calls (before request)", b);
  Print("event passes after drawing (CPU)", p);
  Print("same passes with nothing new (CPU)", i);
  const double painting = std::max(0.0, p.mean - i.mean);
  std::printf("  painting (difference of means)      %7.3f ms\n", painting * 1e3);
  std::printf(
      "  total per frame                     %7.3f ms  (goal <= 2 ms; before request "
      "goal <= 0.3 ms)\n",
      (b.mean + painting) * 1e3);
}

void RunRate(tarvo_sim::SensorSim& sim, double seconds) {
  sim.frozen = false;  // moving edges with noise, as a real sensor
  sim.SetAnswerDelay(0.0);
  sim.ClearRequests();
  const int repliesBefore = sim.RepliesSent();
  const int updatesBefore = StripChartUpdates(pHandle, MAIN_STRIPHistory);

  ScheduleAt(Timer() + seconds, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  const double cpu0 = CpuSeconds();
  const double t0 = Timer();
  ClickCtrl(pHandle, MAIN_BTNRun);
  const double wall = Timer() - t0 - 0.2;  // STOP's own 0.2 s pause is not loop time
  const double cpu = CpuSeconds() - cpu0;

  int requests = 0;
  std::vector<double> gaps;  // time between requests beyond the line time of one pair
  double last = -1;
  for (const auto& r : sim.requests()) {
    if (r.command != 8) continue;
    ++requests;
    if (last >= 0) gaps.push_back(r.time - last - 72 * 10.0 / 19200.0);
    last = r.time;
  }
  const int drawn = StripChartUpdates(pHandle, MAIN_STRIPHistory) - updatesBefore;
  constexpr double kLineLimited = 1.0 / (72 * 10.0 / 19200.0);  // 26.67 frames/s
  const double achieved = drawn / wall;

  std::printf("RUN against the paced model (real clock):\n");
  std::printf("  loop time                          %8.3f s\n", wall);
  std::printf("  measurement requests               %8d\n", requests);
  std::printf("  replies from the model             %8d\n", sim.RepliesSent() - repliesBefore);
  std::printf("  frames drawn                       %8d\n", drawn);
  std::printf("  achieved frames/s                  %8.3f\n", achieved);
  std::printf("  line-limited frames/s              %8.3f  (37.5 ms per request/reply pair)\n",
              kLineLimited);
  std::printf("  achieved / line-limited            %8.1f %%  (goal >= 98 %%)\n",
              100.0 * achieved / kLineLimited);
  std::printf("  CPU s per wall s                   %8.3f  (goal <= 0.10)\n", cpu / wall);
  if (gaps.size() > 10) {
    std::printf("  time per frame beyond the line time (reply noticed, request sent):\n");
    Print("", Summarise(gaps));
  }
  std::printf("  last status                        %s\n", szStatus);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  double seconds = argc > 1 ? std::atof(argv[1]) : 8.0;
  if (seconds <= 0) seconds = 8.0;
  int frames = argc > 2 ? std::atoi(argv[2]) : 400;
  if (frames < 10) frames = 400;

  auto sim = std::make_shared<tarvo_sim::SensorSim>();
  sim->SetPacing(true);
  sim->frozen = true;
  InstallPortBackend(1, MakeSimBackend(sim));
  char arg0[] = "bench_run";
  char* args[] = {arg0, nullptr};
  if (AppStart(1, args) != 0) {
    std::fprintf(stderr, "start-up failed (is the panel file in the working directory?)\n");
    return 1;
  }
  std::printf("start-up status: %s\n", szStatus);

  FrameCosts(*sim, frames);
  RunRate(*sim, seconds);

  // The same with the protocol monitor open: every frame is recorded and listed.
  std::printf("\n-- with the protocol monitor open --\n");
  ClickCtrl(pHandle, MAIN_TOGGBTN_Monitor);
  RunRate(*sim, seconds);
  std::printf("  monitor entries                    %8zu\n", MonitorTrace().size());
  ClickCtrl(pHandle, MAIN_TOGGBTN_Monitor);

  AppFinish();
  return 0;
}
