// Start-up and idle: time from the start of the process to the first paint of
// the main window (panels loaded, port opened, sensor identified through the
// built-in model paced at 19200 baud), resident memory once started, and the
// CPU the program uses while it sits idle in its main loop with the window
// shown.
//
//   bench_startup [idle-seconds]   (default 5; run from the build directory so
//                                   the panel file is found; QT_QPA_PLATFORM
//                                   chooses the display, offscreen by default)
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
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
#include "platform/panel_registry.h"
#include "platform/port_backend.h"
#include "platform/sim_port.h"
#include "platform/ui.h"
#include "sim/sensor_sim.h"

namespace {

// Seconds since the process was started (exec), from /proc (10 ms ticks).
double SinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');  // the command name may hold spaces
  if (close == std::string::npos) return -1;
  const char* p = text.c_str() + close + 2;
  // Fields after the name start at 3 (state); starttime is field 22.
  for (int field = 3; field < 22 && *p; ++field) {
    p = std::strchr(p, ' ');
    if (!p) return -1;
    ++p;
  }
  const double start = std::atof(p) / sysconf(_SC_CLK_TCK);
  double uptime = 0;
  std::ifstream("/proc/uptime") >> uptime;
  return uptime - start;
}

// Notes the moment the main window first paints.
class FirstPaint : public QObject {
 public:
  double when = -1;
  bool eventFilter(QObject* obj, QEvent* e) override {
    if (when < 0 && e->type() == QEvent::Paint && pHandle > 0 && obj->isWidgetType()) {
      QWidget* main = tarvo_ui::PanelWidget(pHandle);
      // The panel may sit inside a scrolling frame: its window is the frame's.
      if (main && static_cast<QWidget*>(obj)->window() == main->window()) when = Wall();
    }
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  const double tMain = Wall();
  const double execToMain = SinceProcessStart();
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  double idleSeconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  if (idleSeconds <= 0) idleSeconds = 5.0;

  auto sim = std::make_shared<tarvo_sim::SensorSim>();
  sim->SetPacing(true);
  InstallPortBackend(1, MakeSimBackend(sim));

  char arg0[] = "bench_startup";
  char* args[] = {arg0, nullptr};
  if (InitCVIRTE(1, args) < 0) return 1;
  FirstPaint watcher;
  qApp->installEventFilter(&watcher);
  const double tQt = Wall();
  if (AppStart(1, args) != 0) {
    std::fprintf(stderr, "start-up failed (is the panel file in the working directory?)\n");
    return 1;
  }
  const double tStarted = Wall();
  while (watcher.when < 0 && Wall() - tStarted < 10) ProcessSystemEvents();
  qApp->removeEventFilter(&watcher);
  if (watcher.when < 0) {
    std::fprintf(stderr, "the main window never painted\n");
    return 1;
  }

  std::printf("display platform                      %s\n",
              qPrintable(QGuiApplication::platformName()));
  std::printf("start-up status                       %s\n", szStatus);
  std::printf("process start to main()               %8.1f ms (10 ms resolution)\n",
              execToMain * 1e3);
  std::printf("main() to Qt application ready        %8.1f ms\n", (tQt - tMain) * 1e3);
  std::printf("panels, port and identification       %8.1f ms\n", (tStarted - tQt) * 1e3);
  std::printf("main() to first paint of main window  %8.1f ms\n", (watcher.when - tMain) * 1e3);
  std::printf("process start to first paint          %8.1f ms\n",
              (watcher.when - tMain + execToMain) * 1e3);

  // Idle in the program's own main loop, window shown, port open, no action.
  for (int i = 0; i < 100; ++i) ProcessSystemEvents();
  QTimer::singleShot(static_cast<int>(idleSeconds * 1000), [] { QuitUserInterface(0); });
  const double c0 = CpuSeconds(), w0 = Wall();
  RunUserInterface();
  const double idleCpu = (CpuSeconds() - c0) / (Wall() - w0);
  std::printf("VmRSS idle after start-up             %8ld KiB\n", RssKiB());
  std::printf("idle CPU s per wall s (main loop)     %8.4f  (over %.0f s)\n", idleCpu, idleSeconds);
  AppFinish();
  return 0;
}
