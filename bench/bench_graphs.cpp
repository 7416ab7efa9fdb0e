// Cost of one measurement frame on the graphs of the main panel, with the real
// widgets (run with QT_QPA_PLATFORM=offscreen): the plotting calls the run
// loop makes per frame, and the event processing that draws them.
//
//   bench_graphs [frames] [panel file]
//   TARVO_BENCH_SHOT=main.png bench_graphs   also saves a picture of the panel
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "app/panels.h"
#include "platform/panel_registry.h"
#include "platform/ui.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// CPU time of this thread, in ms: what the frame costs, whatever else the
// machine is doing meanwhile.
double CpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Stats {
  std::vector<double> v;
  void add(double x) { v.push_back(x); }
  double mean() const {
    double s = 0;
    for (double x : v) s += x;
    return v.empty() ? 0 : s / v.size();
  }
  double pct(double p) const {
    if (v.empty()) return 0;
    std::vector<double> s = v;
    std::sort(s.begin(), s.end());
    return s[std::min(s.size() - 1, static_cast<size_t>(p * s.size()))];
  }
};

// Counts paint events, to show that the drawing really happens in the
// event processing that is timed.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

std::string FindPanelFile(const char* given) {
  if (given) return given;
  const QString dir = QCoreApplication::applicationDirPath();
  for (const QString& c : {QString(kPanelFile), dir + "/" + kPanelFile, dir + "/../" + kPanelFile})
    if (QFileInfo(c).isFile()) return c.toStdString();
  return kPanelFile;
}

// The bar-graph part of a frame: what the run loop draws per sensor.
void BarGraph(int panel, int graph, int pos, int width, int setpoint) {
  SetAxisScalingMode(panel, graph, VAL_XAXIS, VAL_MANUAL, 0.0, 4096);
  DeleteGraphPlot(panel, graph, -1, VAL_DELAYED_DRAW);
  SetGraphCursor(panel, graph, 1, pos, 0.75);
  SetGraphCursor(panel, graph, 2, pos, 0.75);
  PlotRectangle(panel, graph, pos - width / 2, 0.25, pos + width / 2, 1.0, 0xFF0000, 0xFF0000);
  PlotRectangle(panel, graph, setpoint - 20, 0.0, setpoint + 20, 0.35, 0x00FF00, 0x00FF00);
}

void History(int panel, int strip, const double* values, double zlo, double zhi) {
  for (int t = 1; t <= 3; ++t) SetTraceAttribute(panel, strip, t, ATTR_TRACE_THICKNESS, 1);
  SetCtrlAttribute(panel, strip, ATTR_POINTS_PER_SCREEN, 101);
  SetCtrlAttribute(panel, strip, ATTR_SCROLL_MODE, 1);
  SetAxisScalingMode(panel, strip, VAL_LEFT_YAXIS, VAL_MANUAL, zlo, zhi);
  const int colours[5] = {0x008000, 0x008000, 0x000000, 0xFF0000, 0xFF0000};
  for (int t = 1; t <= 5; ++t) SetTraceAttribute(panel, strip, t, ATTR_TRACE_COLOR, colours[t - 1]);
  SetCtrlAttribute(panel, strip, ATTR_NUM_TRACES, 5);
  PlotStripChart(panel, strip, values, 500, 0, 0);
}

void Numbers(int panel, int frame) {
  SetCtrlVal(panel, MAIN_NUMBval, 1000 + frame % 50);
  SetCtrlVal(panel, MAIN_NUMAval, 990 + frame % 40);
  SetCtrlVal(panel, MAIN_NUMMvalue, 2000 + frame % 30);
  const int bg = frame % 10 < 5 ? 0x008000 : 0xFF0000;
  SetCtrlAttribute(panel, MAIN_NUMValueMM, ATTR_TEXT_BGCOLOR, bg);
  SetCtrlAttribute(panel, MAIN_NUMMvalue, ATTR_TEXT_BGCOLOR, bg);
  SetCtrlVal(panel, MAIN_NUMValueMM, 12.345 + frame * 0.001);
  SetCtrlVal(panel, MAIN_NUMTolUpMM, 0.160);
  SetCtrlVal(panel, MAIN_NUMTolLoMM, 0.160);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (InitCVIRTE(argc, argv) < 0) return 1;
  const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
  const std::string file = FindPanelFile(argc > 2 ? argv[2] : nullptr);
  // Start-up cost: the six panels, as the program loads them.
  {
    const auto a = Clock::now();
    const int m = LoadPanel(0, file.c_str(), MAIN);
    for (int id : {PARA0, PARA1, PARA2, CALIB}) LoadPanel(m, file.c_str(), id);
    const int pop = LoadPanel(0, file.c_str(), POPUP);
    const auto b = Clock::now();
    std::printf("loading the six panels: %.1f ms\n", Ms(a, b));
    DiscardPanel(pop);
    DiscardPanel(m);
  }
  const int panel = LoadPanel(0, file.c_str(), MAIN);
  if (panel < 0) {
    std::fprintf(stderr, "cannot load panel %d from %s: %d\n", MAIN, file.c_str(), panel);
    return 1;
  }
  DisplayPanel(panel);
  SetCtrlAttribute(panel, MAIN_STRIPHistory, ATTR_VISIBLE, 1);
  SetCtrlAttribute(panel, MAIN_GRAPHBarMaster, ATTR_VISIBLE, 1);
  SetCtrlAttribute(panel, MAIN_GRAPHBarSlave, ATTR_VISIBLE, 1);
  SetCtrlAttribute(panel, MAIN_GRAPHDataMaster, ATTR_VISIBLE, 0);
  SetCtrlAttribute(panel, MAIN_GRAPHDataSlave, ATTR_VISIBLE, 0);
  PaintCounter counter;
  for (int c : {MAIN_GRAPHBarMaster, MAIN_GRAPHBarSlave, MAIN_STRIPHistory})
    tarvo_ui::CtrlWidget(panel, c)->installEventFilter(&counter);
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();

  static double history[500];
  Stats bars, strip, numbers, calls, events, total, callsCpu, eventsCpu;
  const int warmup = 20;
  for (int f = 0; f < frames + warmup; ++f) {
    const int posA = 1000 + static_cast<int>(200 * std::sin(f * 0.05));
    const int posB = 1200 + static_cast<int>(150 * std::cos(f * 0.04));
    for (int k = 0; k < 495; ++k) history[k] = history[k + 5];
    history[495] = 2020;
    history[496] = 1980;
    history[497] = 2000;
    history[498] = 2000 + posA - 1000;
    history[499] = 2000 + (posB - 1200) / 2;

    const double c0 = CpuMs();
    const auto t0 = Clock::now();
    BarGraph(panel, MAIN_GRAPHBarMaster, posA, 6, 1000);
    BarGraph(panel, MAIN_GRAPHBarSlave, posB, 8, 1200);
    const auto t1 = Clock::now();
    History(panel, MAIN_STRIPHistory, history, 1700, 2300);
    const auto t2 = Clock::now();
    const double c2 = CpuMs();
    Numbers(panel, f);
    const auto t3 = Clock::now();
    const double c3 = CpuMs();
    QCoreApplication::processEvents();
    const auto t4 = Clock::now();
    const double c4 = CpuMs();
    if (f < warmup) continue;
    callsCpu.add(c2 - c0);
    eventsCpu.add(c4 - c3);
    bars.add(Ms(t0, t1));
    strip.add(Ms(t1, t2));
    numbers.add(Ms(t2, t3));
    calls.add(Ms(t0, t2));
    events.add(Ms(t3, t4));
    total.add(Ms(t0, t4));
  }
  const double paintsPerFrame = static_cast<double>(counter.paints) / (frames + warmup);

  std::printf("bench_graphs: %d frames, main panel of %s, platform %s\n", frames, file.c_str(),
              qPrintable(QGuiApplication::platformName()));
  std::printf("  %-48s %9s %9s %9s\n", "per frame, wall-clock time", "mean ms", "p50 ms", "p99 ms");
  auto row = [](const char* name, const Stats& s) {
    std::printf("  %-48s %9.4f %9.4f %9.4f\n", name, s.mean(), s.pct(0.5), s.pct(0.99));
  };
  row("bar graphs (2 x delete, 2 rects, 2 cursors, axis)", bars);
  row("strip chart (8 trace attrs, 3 attrs, axis, 500 values)", strip);
  row("graph calls together", calls);
  row("numeric displays (6 values, 2 colours)", numbers);
  row("event processing incl. painting", events);
  row("whole frame", total);
  std::printf("  thread CPU time (the machine's other load left out):\n");
  row("graph calls together", callsCpu);
  row("event processing incl. painting", eventsCpu);
  std::printf("  graph paint events per frame: %.2f (3 graphs)\n", paintsPerFrame);

  // The video loop's drawing: two graphs, a curve and a threshold line each.
  SetCtrlAttribute(panel, MAIN_STRIPHistory, ATTR_VISIBLE, 0);
  SetCtrlAttribute(panel, MAIN_GRAPHDataMaster, ATTR_VISIBLE, 1);
  SetCtrlAttribute(panel, MAIN_GRAPHDataSlave, ATTR_VISIBLE, 1);
  static double xs[128];
  static unsigned short video[128], threshold[128];
  Stats videoCalls, videoEvents;
  const int videoFrames = std::max(10, frames / 4);
  for (int f = 0; f < videoFrames + warmup; ++f) {
    for (int i = 0; i < 128; ++i) {
      xs[i] = i * 4096.0 / 128;
      const double edge = 60 + 10 * std::sin(f * 0.1);
      video[i] = static_cast<unsigned short>(i < edge ? 40 + (i * 7 + f) % 13 : 220 - (i * 5) % 11);
      threshold[i] = 128;
    }
    const double c0 = CpuMs();
    for (int g : {MAIN_GRAPHDataMaster, MAIN_GRAPHDataSlave}) {
      SetAxisScalingMode(panel, g, VAL_XAXIS, VAL_MANUAL, 1.0, 4096);
      SetAxisScalingMode(panel, g, VAL_RIGHT_YAXIS, VAL_MANUAL, 0.0, 256);
      SetAxisScalingMode(panel, g, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 256);
      DeleteGraphPlot(panel, g, -1, VAL_IMMEDIATE_DRAW);
      PlotXY(panel, g, xs, video, 128, VAL_FAT_LINE, VAL_SIMPLE_DOT, VAL_SOLID, 1, 0xFF0000);
      PlotXY(panel, g, xs, threshold, 128, VAL_FAT_LINE, VAL_SIMPLE_DOT, VAL_SOLID, 1, 0x008000);
    }
    const double c1 = CpuMs();
    QCoreApplication::processEvents();
    const double c2 = CpuMs();
    if (f < warmup) continue;
    videoCalls.add(c1 - c0);
    videoEvents.add(c2 - c1);
  }
  std::printf("  video pass, %d frames, thread CPU time:\n", videoFrames);
  row("video graph calls (2 x 3 axes, delete, 2 curves)", videoCalls);
  row("event processing incl. painting", videoEvents);

  if (const char* shot = std::getenv("TARVO_BENCH_SHOT")) {
    tarvo_ui::PanelWidget(panel)->grab().save(QString::fromLocal8Bit(shot));
    std::printf("  picture of the panel: %s\n", shot);
  }
  DiscardPanel(panel);
  return 0;
}
