// The recording viewer with a large recorder file: a generated file of
// 1,000,000 records (or the count given) is opened as the user opens it
// (read, statistics over every record, the reduced chart drawn), then zoomed.
// Prints the time of each step and the resident memory it takes.
//
//   bench_viewer [records]   (run from the build directory so the panel file
//                             is found; offscreen unless QT_QPA_PLATFORM says)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/callbacks.h"
#include "app/panels.h"
#include "bench/measure.h"
#include "platform/chart.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "viewer/rec_reader.h"
#include "viewer/rec_stats.h"
#include "viewer/viewer.h"

namespace {

// A recorder file as the recorder writes it: slowly moving edges with noise.
bool WriteRecording(const char* path, long records) {
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  std::fprintf(f, "01-02-2025 08:00:00  TARVO-RECORDER-FILE: Time-Interval[s]: 1\r\n");
  std::fprintf(f, "SETPOINT-VALUE [\xB5m]: 37000\r\n");
  unsigned seed = 1;
  for (long i = 0; i < records; ++i) {
    seed = seed * 1103515245u + 12345u;
    const int noise = static_cast<int>((seed >> 16) % 7) - 3;
    const int a = 1000 + static_cast<int>((i / 1000) % 60) + noise;
    std::fprintf(f, "%d\t%d\t%d\t%d\t1\t1\r\n", a, a + 230, a, 37000 + 18 * (a - 1000));
  }
  return std::fclose(f) == 0;
}

void Events(int n) {
  for (int i = 0; i < n; ++i) ProcessSystemEvents();
}

}  // namespace

int main(int argc, char** argv) {
  const long records = argc > 1 ? std::atol(argv[1]) : 1000000;
  char path[] = "/tmp/tarvo-bench-viewer-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return 1;
  close(fd);
  if (!WriteRecording(path, records)) return 1;

  if (InitCVIRTE(argc, argv) < 0) return 1;
  RegisterAppCallbacks();
  // The viewer panel is loaded by the first open: do that with a small file.
  char small[] = "/tmp/tarvo-bench-viewer-small-XXXXXX";
  const int sfd = mkstemp(small);
  if (sfd < 0) return 1;
  close(sfd);
  if (!WriteRecording(small, 10)) return 1;
  double t = Wall();
  OpenRecordingInViewer(small);
  Events(20);
  const double firstOpen = Wall() - t;
  std::remove(small);
  const long rssBefore = RssKiB();
  const long peakBefore = PeakRssKiB();

  // The whole open, as the View button does it after the dialogue.
  t = Wall();
  const int result = OpenRecordingInViewer(path);
  Events(20);  // drawn
  const double open = Wall() - t;
  const long rssOpen = RssKiB();
  const long peakOpen = PeakRssKiB();

  // Its parts, again on their own.
  Recording rec;
  t = Wall();
  ReadRecordingFile(path, &rec);
  const double read = Wall() - t;
  t = Wall();
  for (int v = 0; v < kRecValues; ++v) ComputeValueStats(rec.rows, v);
  CountOutsideBand(rec.rows, kRecUmValue, 37000, 100);
  const double stats = Wall() - t;
  std::vector<double> xs, ys;
  t = Wall();
  DecimateValues(rec.rows, 0, rec.rows.size(), kRecUmValue, 1500, &xs, &ys);
  const double decimate = Wall() - t;
  rec = Recording();

  // A zoom to a tenth of the records, redrawn as after the user's wheel turn.
  t = Wall();
  SetChartXRange(pViewer, VIEWER_GRAPHViewer, records * 0.45, records * 0.55);
  FireCtrlEvent(pViewer, VIEWER_GRAPHViewer, EVENT_VAL_CHANGED);
  Events(20);
  const double zoom = Wall() - t;

  std::printf("recording viewer, %ld records (%s)\n", records, result == 0 ? "opened" : "FAILED");
  std::printf("  first open of a 10-record file (panel loaded): %.3f s\n", firstOpen);
  std::printf("  open (read + statistics + chart drawn): %8.3f s\n", open);
  std::printf("    read the file:                        %8.3f s\n", read);
  std::printf("    statistics of 6 values + band count:  %8.3f s\n", stats);
  std::printf("    reduce one value for the full view:   %8.3f s (%zu points drawn)\n", decimate,
              xs.size());
  std::printf("  zoom to 10 %% and redraw:                %8.3f s\n", zoom);
  std::printf("  resident memory: before %ld KiB, open %ld KiB (+%ld KiB)\n", rssBefore, rssOpen,
              rssOpen - rssBefore);
  std::printf(
      "  peak resident memory during the open: +%ld KiB (%ld KiB in all; %.1f bytes "
      "per record)\n",
      peakOpen - peakBefore, peakOpen,
      records > 0 ? 1024.0 * (peakOpen - peakBefore) / records : 0.0);
  ViewerFinish();
  std::remove(path);
  return result == 0 ? 0 : 1;
}
