// The real serial path beside the built-in simulator, with the real widgets:
// the standalone simulator on a pseudo-terminal opened through the QSerialPort
// backend, then the built-in line-paced sensor model. For each, in one run:
//  - idle with the port open: wake-ups per second of the user-interface
//    thread (its voluntary context switches) and of the whole process, CPU;
//  - window-event latency: events posted from another thread every 7 ms, the
//    time until the window thread handles them (median, 99th percentile, max)
//    while idle, during RUN and during reply waits (RESET after RESET);
//  - RUN and VIDEO: rate against the line limit (median cycle and overall)
//    and CPU seconds per wall second;
// and, on a pseudo-terminal of its own, the time from the arrival of a
// reply's last byte to its receive notification (idle and during RUN).
//
//   bench_pty [seconds per phase]   (default 4; run from the build directory,
//                                    where the panel file and tarvo-sensor-sim are)
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/panels.h"
#include "app/startup.h"
#include "bench/measure.h"
#include "link/commands.h"
#include "link/link.h"
#include "measure/run.h"
#include "platform/clock.h"
#include "platform/line_capture.h"
#include "platform/qt_serial_backend.h"
#include "platform/serial.h"
#include "platform/sim_port.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "sim/sensor_sim.h"
#include "sim/sim_process.h"

namespace {

constexpr double kLineTime = 0.0375;             // RUN: 36-byte request + 36-byte reply
constexpr double kVideoPassTime = 728 / 1920.0;  // VIDEO: measurement + 4 blocks

struct Spread {
  double median = 0, p99 = 0, max = 0;
  size_t n = 0;
  double ran = 0;      // of the longest: the window thread's CPU time meanwhile
  long preempted = 0;  // and whether it was preempted around it
};

Spread SpreadOf(std::vector<double> v) {
  Spread s;
  s.n = v.size();
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  s.median = v[v.size() / 2];
  s.p99 = v[std::min(v.size() - 1, v.size() * 99 / 100)];
  s.max = v.back();
  return s;
}

long Switches(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_nvcsw;
}

// ---- window-event latency ----------------------------------------------------

struct StampEvent : QEvent {
  static const QEvent::Type kType;
  StampEvent(double t, double cpu) : QEvent(kType), posted(t), windowCpu(cpu) {}
  double posted;
  double windowCpu;  // the window thread's CPU time when posted
};
const QEvent::Type StampEvent::kType = static_cast<QEvent::Type>(QEvent::registerEventType());

class LatencyProbe : public QObject {
 public:
  void Start() {
    late_.clear();
    worst_ = {};
    lastPreempted_ = Preemptions();
    pthread_getcpuclockid(pthread_self(), &windowClock_);
    running_ = true;
    poster_ = std::thread([this] {
      while (running_) {
        QCoreApplication::postEvent(this, new StampEvent(Timer(), ThreadCpu(windowClock_)));
        std::this_thread::sleep_for(std::chrono::milliseconds(7));
      }
    });
  }
  Spread Stop() {
    running_ = false;
    poster_.join();
    QCoreApplication::removePostedEvents(this, StampEvent::kType);
    Spread s = SpreadOf(late_);
    s.ran = worst_.ran;
    s.preempted = worst_.preempted;
    return s;
  }
  bool event(QEvent* e) override {
    if (e->type() != StampEvent::kType) return QObject::event(e);
    const auto* stamp = static_cast<StampEvent*>(e);
    const double late = Timer() - stamp->posted;
    late_.push_back(late);
    const long preempted = Preemptions();
    if (late > worst_.late)
      worst_ = {late, ThreadCpu(windowClock_) - stamp->windowCpu, preempted - lastPreempted_};
    lastPreempted_ = preempted;
    return true;
  }

 private:
  // The longest wait: how much of it the window thread ran, and whether it
  // was preempted since the event before (the machine, not the program).
  struct Worst {
    double late = 0, ran = 0;
    long preempted = 0;
  };
  static double ThreadCpu(clockid_t c) {
    timespec t{};
    clock_gettime(c, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
  }
  static long Preemptions() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return u.ru_nivcsw;
  }
  std::vector<double> late_;
  Worst worst_;
  long lastPreempted_ = 0;
  clockid_t windowClock_{};
  std::atomic<bool> running_{false};
  std::thread poster_;
};

LatencyProbe* g_probe = nullptr;

void PrintLatency(const char* backend, const char* phase, const Spread& s) {
  std::printf(
      "%-7s window-event latency, %-11s median %.3f  p99 %.3f  max %.3f ms  (%zu events; "
      "longest: window thread ran %.3f ms, preempted %ld times)\n",
      backend, phase, s.median * 1e3, s.p99 * 1e3, s.max * 1e3, s.n, s.ran * 1e3, s.preempted);
}

// ---- requests on the line, from the port services' tap -------------------------

std::mutex g_tapMutex;
std::vector<double> g_requests[2];  // send times: [0] measurement, [1] anything else

void Tap(const LineEvent& e) {
  if (e.kind != LineEventKind::kSent || e.port != 1 || e.count < 4) return;
  const int command = e.bytes[2] << 8 | e.bytes[3];
  std::lock_guard<std::mutex> lock(g_tapMutex);
  g_requests[command == kCmdMeasure ? 0 : 1].push_back(e.time);
}

void ClearRequests() {
  g_requests[0].clear();
  g_requests[1].clear();
}

// Median and overall cycle of the measurement requests sent since the clear.
void Cycles(double lineTime, double& medianShare, double& overallShare, int& cycles) {
  const std::vector<double>& t = g_requests[0];
  cycles = t.size() > 1 ? static_cast<int>(t.size() - 1) : 0;
  if (cycles == 0) {
    medianShare = overallShare = 0;
    return;
  }
  std::vector<double> d;
  for (size_t i = 1; i < t.size(); ++i) d.push_back(t[i] - t[i - 1]);
  medianShare = lineTime / SpreadOf(d).median;
  overallShare = lineTime * cycles / (t.back() - t.front());
}

// ---- the phases ------------------------------------------------------------------

void Idle(const char* backend, double seconds) {
  // Let the start-up's deferred work (window placement, first paints) finish.
  ScheduleAt(Timer() + 1.0, [] { QuitUserInterface(0); });
  RunUserInterface();
  ResetQuitRequest();

  const long ui0 = Switches(RUSAGE_THREAD), all0 = Switches(RUSAGE_SELF);
  const double cpu0 = CpuSeconds(), t0 = Timer();
  ScheduleAt(t0 + seconds, [] { QuitUserInterface(0); });
  RunUserInterface();
  ResetQuitRequest();
  const double wall = Timer() - t0;
  std::printf(
      "%-7s idle, port open: wake-ups/s %.2f (window thread), %.2f (process)  "
      "CPU s per wall s %.4f\n",
      backend, (Switches(RUSAGE_THREAD) - ui0) / wall, (Switches(RUSAGE_SELF) - all0) / wall,
      (CpuSeconds() - cpu0) / wall);

  g_probe->Start();
  ScheduleAt(Timer() + seconds, [] { QuitUserInterface(0); });
  RunUserInterface();
  ResetQuitRequest();
  PrintLatency(backend, "idle", g_probe->Stop());
}

// RUN or VIDEO until STOP after `seconds`; true to post the latency probe's events.
void RunLoop(int button, double seconds, bool probe) {
  if (probe) g_probe->Start();
  ScheduleAt(Timer() + seconds, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, button);
}

void Settle() {
  // What the sensor still sends after STOP does not reach the next phase.
  ScheduleAt(Timer() + 0.5, [] { QuitUserInterface(0); });
  RunUserInterface();
  ResetQuitRequest();
}

// The rates and the CPU first, with nothing else going on; the latency in a
// second run of the same loop.
void Loop(const char* backend, const char* name, int button, double lineTime, double seconds) {
  ClearRequests();
  const long ui0 = Switches(RUSAGE_THREAD);
  const double cpu0 = CpuSeconds(), t0 = Timer();
  RunLoop(button, seconds, false);
  const double wall = Timer() - t0;
  const double cpu = (CpuSeconds() - cpu0) / wall;
  const long ui = Switches(RUSAGE_THREAD) - ui0;
  double median = 0, overall = 0;
  int cycles = 0;
  Cycles(lineTime, median, overall, cycles);
  std::printf(
      "%-7s %-5s share of the line limit: median cycle %.1f %%  overall %.1f %%  "
      "(%d cycles)  CPU s per wall s %.4f  wake-ups/s %.0f  (%s)\n",
      backend, name, 100 * median, 100 * overall, cycles, cpu, ui / wall, szStatus);
  Settle();
  RunLoop(button, seconds, true);
  PrintLatency(backend, name, g_probe->Stop());
  Settle();
}

// RESET after RESET: the window thread sits in the reply wait nearly all the time.
void ReplyWaits(const char* backend, double seconds) {
  g_probe->Start();
  const double t0 = Timer();
  int n = 0;
  while (Timer() - t0 < seconds) {
    ResetMaxMin();
    ++n;
  }
  const Spread late = g_probe->Stop();
  std::printf("%-7s %d RESET transactions in %.1f s (%s)\n", backend, n, Timer() - t0, szStatus);
  PrintLatency(backend, "reply waits", late);
}

void Phases(const char* backend, double seconds) {
  std::printf("%-7s start-up status: %s\n", backend, szStatus);
  Idle(backend, seconds);
  Loop(backend, "RUN", MAIN_BTNRun, kLineTime, seconds);
  Loop(backend, "VIDEO", MAIN_BTNVideo, kVideoPassTime, seconds * 2);
  ReplyWaits(backend, seconds);
}

// ---- byte arrival to receive notification ---------------------------------------

// A pseudo-terminal of the benchmark's own on port 3: a thread writes 36-byte
// frames byte by byte at 19200 baud; the notification notes how long after the
// last byte's write it ran.
struct ArrivalProbe {
  int master = -1;
  std::thread writer;
  std::atomic<bool> running{false};
  std::atomic<double> lastByte{0};
  std::vector<double> late;
};
ArrivalProbe g_arrival;

void OnFrame(int port, int, void*) {
  const double now = Timer();
  char buf[64];
  ComRd(port, buf, 36);
  g_arrival.late.push_back(now - g_arrival.lastByte.load());
}

bool OpenArrivalPort() {
  g_arrival.master = posix_openpt(O_RDWR | O_NOCTTY);
  if (g_arrival.master < 0 || grantpt(g_arrival.master) != 0 || unlockpt(g_arrival.master) != 0)
    return false;
  const char* slave = ptsname(g_arrival.master);
  if (!slave) return false;
  InstallPortBackend(3, MakeQtSerialBackend(slave, 19200, 0, 8, 1));
  if (OpenComConfig(3, "", 19200, 0, 8, 1, 4096, 4096) != 0) return false;
  return InstallComCallback(3, LWRS_RECEIVE, 36, 0, OnFrame, nullptr) == 0;
}

void StartArrivals() {
  g_arrival.late.clear();
  g_arrival.running = true;
  g_arrival.writer = std::thread([] {
    const long byteNs = 1000000000L * 10 / 19200;
    timespec at{};
    clock_gettime(CLOCK_MONOTONIC, &at);
    while (g_arrival.running) {
      for (int k = 0; k < 36; ++k) {
        at.tv_nsec += byteNs;
        if (at.tv_nsec >= 1000000000L) {
          at.tv_nsec -= 1000000000L;
          ++at.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
        const char b = static_cast<char>(k);
        if (k == 35) g_arrival.lastByte = Timer();
        if (write(g_arrival.master, &b, 1) != 1) return;
      }
      at.tv_nsec += 13 * 1000000L;  // a gap between frames
    }
  });
}

void StopArrivals(const char* phase) {
  g_arrival.running = false;
  g_arrival.writer.join();
  const Spread s = SpreadOf(g_arrival.late);
  std::printf(
      "pty     byte arrival to receive notification, %-7s median %.3f  p99 %.3f  "
      "max %.3f ms  (%zu frames)\n",
      phase, s.median * 1e3, s.p99 * 1e3, s.max * 1e3, s.n);
}

void Arrivals(double seconds) {
  if (!OpenArrivalPort()) {
    std::printf("pty     byte arrival: no pseudo-terminal\n");
    return;
  }
  StartArrivals();
  ScheduleAt(Timer() + seconds, [] { QuitUserInterface(0); });
  RunUserInterface();
  ResetQuitRequest();
  StopArrivals("idle");
  StartArrivals();
  ScheduleAt(Timer() + seconds, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  StopArrivals("RUN");
  CloseCom(3);
  close(g_arrival.master);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const double seconds = argc > 1 && std::atof(argv[1]) > 0 ? std::atof(argv[1]) : 4.0;
  tarvo_sim::SimProcess sim("./tarvo-sensor-sim");
  const std::string path = sim.path();
  if (path.empty()) {
    std::fprintf(stderr, "no simulator (run from the build directory)\n");
    return 1;
  }
  std::printf("platform %s\n", getenv("QT_QPA_PLATFORM"));
  SetLineTap(Tap);

  // The standalone simulator through QSerialPort.
  InstallPortBackend(1, MakeQtSerialBackend(path, 19200, 0, 8, 1));
  char arg0[] = "bench_pty";
  char* args[] = {arg0, nullptr};
  if (AppStart(1, args) != 0) return 1;
  LatencyProbe probe;
  g_probe = &probe;
  Phases("pty", seconds);
  Arrivals(seconds);
  AppFinish();
  sim.Stop(SIGKILL);

  // The built-in model, paced at the line rate, behind the same port.
  auto model = std::make_shared<tarvo_sim::SensorSim>();
  model->SetPacing(true);
  model->ram[0][2] = 1;  // an analog output mode, so that RESET is offered
  InstallPortBackend(1, MakeSimBackend(model));
  if (AppStart(1, args) != 0) return 1;
  Phases("builtin", seconds);
  AppFinish();
  g_probe = nullptr;
  SetLineTap(nullptr);
  return 0;
}
