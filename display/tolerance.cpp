// Tolerance arithmetic of the bar graphs and the value history.
#include "display/tolerance.h"

#include <algorithm>

bool TargetForMode(uint16_t evalMode, uint16_t setA, uint16_t setB, uint16_t n, uint16_t* tVal) {
  switch (evalMode) {
    case 0:
      *tVal = setB;
      return true;
    case 1:
      *tVal = setA;
      return true;
    case 2:
      // Sum mode: the target is the free length beside both edges.
      *tVal = static_cast<uint16_t>(2 * n - (setA + setB));
      return true;
    case 3:
    case 4:
      *tVal = n;
      return true;
    default:
      return false;
  }
}

void RaiseZeroTolerances(uint16_t* tolLoWord, uint16_t* tolUpWord) {
  if (*tolLoWord == 0) *tolLoWord = 1;
  if (*tolUpWord == 0) *tolUpWord = 1;
}

void TolerancesForHardwareMode(uint16_t hwMode, uint16_t tolLoWord, uint16_t tolUpWord,
                               uint16_t poti, uint16_t* tolup, uint16_t* tollo) {
  if (hwMode == 0 || hwMode == 2) {
    *tolup = tolUpWord;
    *tollo = tolLoWord;
  } else {
    *tolup = poti;
    *tollo = poti;
  }
}

bool InsideTolerance(uint16_t tVal, uint16_t tollo, uint16_t tolup, uint16_t m) {
  const int lower = static_cast<int>(tVal) - static_cast<int>(tollo);
  const int upper = static_cast<int>(tVal) + static_cast<int>(tolup);
  return lower <= static_cast<int>(m) && static_cast<int>(m) <= upper;
}

double ToleranceMM(uint32_t scaleFactor, uint16_t tol) {
  return static_cast<double>(scaleFactor) * static_cast<double>(tol) / 1024000.0;
}

uint16_t ClampCursor(uint16_t pos, uint16_t n) {
  if (pos < 1) pos = 1;
  if (pos > n) pos = n;
  return pos;
}

namespace {

TolWindow Clamped(BarGraphId graph, int lo, int hi, int n) {
  if (lo < 0) lo = 1;
  if (hi > n - 1) hi = n;
  return TolWindow{graph, lo, hi};
}

}  // namespace

int TolWindows(const TolWindowInput& in, TolWindow out[2]) {
  const int n = in.n;
  const int lo = in.tollo, up = in.tolup;
  const int setA = in.setA, setB = in.setB;
  switch (in.evalMode) {
    case 0:
      out[0] = Clamped(kBarSlave, setB - lo, setB + up, n);
      return 1;
    case 1:
      out[0] = Clamped(kBarMaster, setA - lo, setA + up, n);
      return 1;
    case 2:
      if (in.edcntA > 0 && in.edcntB > 0) {
        // Both edges seen: the windows follow the edges so that the sum of their
        // centres equals the sum of the setpoints.
        const int posA = in.posA, posB = in.posB;
        const int d = (setA + setB) - (posA + posB);
        out[0] = Clamped(kBarMaster, d / 2 + posA - lo / 2, d / 2 + posA + up / 2, n);
        out[1] = Clamped(kBarSlave, d / 2 + posB - lo / 2, d / 2 + posB + up / 2, n);
      } else {
        out[0] = Clamped(kBarMaster, setA - lo / 2, setA + up / 2, n);
        out[1] = Clamped(kBarSlave, setB - lo / 2, setB + up / 2, n);
      }
      return 2;
    case 3:
    case 4:
      // Allowed positive deviation on the master graph, negative on the slave.
      out[0] = TolWindow{kBarMaster, 1, up};
      out[1] = TolWindow{kBarSlave, 1, lo};
      return 2;
    default:
      return 0;
  }
}

DeviationCursors DeviationFor(uint16_t evalMode, uint16_t mvalue, uint16_t n) {
  DeviationCursors r{DeviationCursors::kUntouched, 0.0, mvalue};
  if (evalMode != 3 && evalMode != 4) return r;
  const int m = mvalue, nn = n;
  if (m > nn) {
    if (m > 2 * nn - 1) r.mvalue = static_cast<uint16_t>(2 * nn);
    r.show = DeviationCursors::kMaster;
    r.x = static_cast<double>(static_cast<int>(r.mvalue) - nn);
  } else if (m < nn) {
    r.show = DeviationCursors::kSlave;
    r.x = static_cast<double>(nn - m);
  } else {
    r.show = DeviationCursors::kBothHidden;
  }
  return r;
}

HistoryLimits LimitsFor(uint16_t tVal, uint16_t tollo, uint16_t tolup, uint16_t yaxisMAX) {
  HistoryLimits l{static_cast<int>(tVal) + tolup, static_cast<int>(tVal) - tollo};
  if (l.upper > yaxisMAX - 1) l.upper = yaxisMAX - 1;
  if (l.lower < 1) l.lower = 1;
  return l;
}

ZoomRange ZoomRangeFor(uint16_t tVal, uint16_t tollo, uint16_t tolup, uint16_t mvalue,
                       uint16_t yaxisMAX) {
  const int t = tVal, m = mvalue;
  ZoomRange z{};
  if (tollo < 20 || tolup < 20) {
    // Narrow tolerances: a fixed band of +-20 around the target.
    z.lo = t - 20;
    z.hi = t + 20;
    if (m > z.hi) z.hi = m + 40;
    if (m < z.lo) z.lo = m - 40;
  } else {
    z.lo = t - 2 * tollo;
    z.hi = t + 2 * tolup;
    if (m > z.hi) z.hi = m + 100;
    if (m < z.lo) z.lo = m - 100;
  }
  const int width = z.hi - z.lo;
  if (z.hi > yaxisMAX - 1) z.hi = yaxisMAX - 1;
  if (z.lo < 1) z.lo = 1;
  if (t >= yaxisMAX || z.lo >= z.hi) {
    // The target lies at or above the top of the axis: the band of the same
    // width just below the top, where the upper limit is drawn.
    z.hi = std::max(yaxisMAX - 1, 2);
    z.lo = std::max(z.hi - width, 1);
  }
  return z;
}

double AuxValueFor(uint16_t anaMode, uint16_t mvalue, uint16_t anaMax, uint16_t anaMin,
                   uint16_t yaxisMAX) {
  switch (anaMode) {
    case 1:
    case 3:
      return anaMax;
    case 2:
    case 4:
      return anaMin == yaxisMAX - 1 ? 1.0 : static_cast<double>(anaMin);
    default:
      return mvalue;
  }
}
