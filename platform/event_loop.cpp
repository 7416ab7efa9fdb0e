// The event loop: Qt events, serial notifications and scheduled test actions,
// all on the one user-interface thread.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/indicator_style.h"
#include "platform/serial_internal.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"

namespace {

bool g_quit = false;
bool g_quitRequested = false;
int g_quitCode = 0;

struct Scheduled {
  double time;
  std::function<void()> action;
};
std::vector<Scheduled> g_schedule;

// Runs the scheduled actions that are due. Each is taken off the list before
// it runs, so an action that processes events itself never runs twice.
bool RunDueSchedule() {
  bool ran = false;
  for (;;) {
    double now = Timer();
    auto it = std::find_if(g_schedule.begin(), g_schedule.end(),
                           [now](const Scheduled& s) { return s.time <= now; });
    if (it == g_schedule.end()) return ran;
    std::function<void()> action = std::move(it->action);
    g_schedule.erase(it);
    action();
    ran = true;
  }
}

double NextScheduled() {
  double best = -1;
  double now = Timer();
  for (const auto& s : g_schedule) {
    double t = std::max(0.0, s.time - now);
    if (best < 0 || t < best) best = t;
  }
  return best;
}

// Arms the one wake-up timer for `seconds` from now (rounded up: the wait
// never ends before the deadline it was given) and blocks in the dispatcher.
void DispatcherWait(double seconds, QEventLoop::ProcessEventsFlags flags) {
  static QTimer* wake = [] {
    auto* t = new QTimer(QCoreApplication::instance());
    t->setSingleShot(true);
    t->setTimerType(Qt::PreciseTimer);
    return t;
  }();
  const double ms = std::ceil(std::min(seconds, 3600.0) * 1000.0);
  wake->start(std::max(1, static_cast<int>(ms)));
  QCoreApplication::processEvents(flags | QEventLoop::WaitForMoreEvents);
  wake->stop();
}

// Delay's pause: the dispatcher repaints and handles the window system, while
// clicks and keys, the receive notifications and scheduled actions wait until
// the pause is over, so nothing runs in the middle of the pausing code.
void PauseWithWindows(double seconds) {
  if (!QCoreApplication::instance()) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    return;
  }
  const double end = Timer() + seconds;
  for (double left = seconds; left > 0; left = end - Timer())
    DispatcherWait(left, QEventLoop::ExcludeUserInputEvents);
}

// Waits up to `seconds` for anything to do, in one place: the Qt event
// dispatcher, which watches the window system, the serial port's own notifier
// and the timer set here for the next scheduled action, the simulator's next
// byte or the caller's deadline. On the virtual clock the wait costs no real
// time.
void WaitForWork(double seconds) {
  double next = NextComArrival();
  if (next >= 0 && next < seconds) seconds = next;
  double sched = NextScheduled();
  if (sched >= 0 && sched < seconds) seconds = sched;
  if (VirtualClockActive()) {
    AdvanceVirtualClock(std::max(seconds, 1e-6));
    return;
  }
  if (seconds <= 0) return;
  DispatcherWait(seconds, QEventLoop::AllEvents);
}

bool HandleEvents() {
  // On the virtual clock every pass costs a little time, as it does in
  // reality, so a loop that is always busy still comes to its time-outs.
  AdvanceVirtualClock(2e-5);
  // Whether anything was handled, window events included: a click handled
  // here must reach the waiting code before it blocks again.
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  bool did = dispatcher ? dispatcher->processEvents(QEventLoop::AllEvents) : false;
  if (!dispatcher) QCoreApplication::processEvents(QEventLoop::AllEvents);
  did = DispatchComEvents() || did;
  did = RunDueSchedule() || did;
  return did;
}

// Messages Qt gives while the application starts, shown once it has started.
std::vector<std::string> g_startMessages;

void HoldStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    std::fputs("TARVO-LT-MS-Scope: no display could be opened.\n", stderr);
    std::_Exit(255);  // -1 as the exit code
  }
  g_startMessages.push_back(qFormatLogMessage(type, context, text).toStdString());
}

}  // namespace

int InitCVIRTE(int argc, char** argv) {
  SetDelayWait(PauseWithWindows);
  if (QCoreApplication::instance()) return 0;
  static int s_argc = argc > 0 ? argc : 1;
  static char s_name[] = "tarvo-scope";
  static char* s_default[] = {s_name, nullptr};
  static char** s_argv = argc > 0 && argv ? argv : s_default;
  // Qt cannot go on without a display: it ends the process from inside the
  // constructor. Its messages are held back meanwhile, so that the operator
  // sees one plain line and the program ends with -1 instead of an abort.
  g_startMessages.clear();
  const QtMessageHandler previous = qInstallMessageHandler(HoldStartMessage);
  auto* app = new QApplication(s_argc, s_argv);
  qInstallMessageHandler(previous);
  for (const std::string& m : g_startMessages) std::fprintf(stderr, "%s\n", m.c_str());
  g_startMessages.clear();
  if (!app) return -1;
  QApplication::setApplicationName("TARVO-LT-MS-Scope");
  QApplication::setQuitOnLastWindowClosed(false);
  InstallIndicatorStyle();
  return 0;
}

int ProcessSystemEvents() {
  if (!QCoreApplication::instance()) return 0;
  if (HandleEvents()) return 0;
  // Nothing was pending: wait a little for input so a polling loop does not
  // burn a whole core, then handle what came.
  WaitForWork(0.001);
  HandleEvents();
  return 0;
}

int ProcessSystemEventsUntil(double deadline) {
  if (!QCoreApplication::instance()) return 0;
  if (HandleEvents()) return 0;
  // Nothing was pending: block until something happens or the deadline.
  WaitForWork(std::max(deadline - Timer(), 1e-4));
  HandleEvents();
  return 0;
}

int RunUserInterface() {
  // A quit asked for before the loop starts (during start-up) still counts.
  // Idle, the program sleeps until a window event, serial input or a
  // scheduled action (on the virtual clock in short steps).
  while (!g_quit) {
    if (HandleEvents()) continue;
    WaitForWork(VirtualClockActive() ? 0.05 : 3600.0);
  }
  return g_quitCode;
}

int QuitUserInterface(int returnCode) {
  g_quit = true;
  g_quitRequested = true;
  g_quitCode = returnCode;
  return 0;
}

void ScheduleAt(double time, std::function<void()> action) {
  g_schedule.push_back(Scheduled{time, std::move(action)});
}

void ClearSchedule() { g_schedule.clear(); }
bool QuitRequested() { return g_quitRequested; }
void ResetQuitRequest() {
  g_quitRequested = false;
  g_quit = false;
}
