// Tolerance arithmetic of the bar graphs and the value history: target by
// evaluation mode, tolerances by hardware mode, the inside-tolerance test, the
// cursor clamp, the tolerance-window rectangles, the deviation cursors of the
// deviation modes, the zoom range and the auxiliary history value. Plain
// functions over plain data; the drawing code applies them to the globals.
#pragma once
#include <cstdint>

// Target value of the measurement result for an evaluation mode. Returns false
// (and leaves *tVal alone) for a mode outside 0..4.
bool TargetForMode(uint16_t evalMode, uint16_t setA, uint16_t setB, uint16_t n, uint16_t* tVal);

// Evaluation mode 2 needs non-zero tolerance words: a word of 0 becomes 1.
void RaiseZeroTolerances(uint16_t* tolLoWord, uint16_t* tolUpWord);

// Tolerances in force: the tolerance words in hardware modes 0 and 2, the
// sensor's own tolerance (poti) for both in every other hardware mode.
void TolerancesForHardwareMode(uint16_t hwMode, uint16_t tolLoWord, uint16_t tolUpWord,
                               uint16_t poti, uint16_t* tolup, uint16_t* tollo);

// tVal - tollo <= m <= tVal + tolup, in signed arithmetic (a bound equal to m is inside).
bool InsideTolerance(uint16_t tVal, uint16_t tollo, uint16_t tolup, uint16_t m);

// Background colours of the result displays.
constexpr int kColourInside = 0x008000;
constexpr int kColourOutside = 0xFF0000;
constexpr int kColourEdgeBar = 0xFF0000;
constexpr int kColourTolWindow = 0x00FF00;

// Tolerance in millimetres: scale factor (um per pixel x 1024) x tolerance / 1024000.
double ToleranceMM(uint32_t scaleFactor, uint16_t tol);

// Cursor position on a bar graph: raised to 1, lowered to n.
uint16_t ClampCursor(uint16_t pos, uint16_t n);

// Half width of an edge bar: peak width / 2, rounded down.
inline int EdgeBarHalfWidth(uint16_t peakw) { return peakw / 2; }

enum BarGraphId { kBarMaster = 0, kBarSlave = 1 };

// One tolerance window: a band from lo to hi on one bar graph.
struct TolWindow {
  BarGraphId graph;
  int lo, hi;
};

struct TolWindowInput {
  uint16_t evalMode;
  uint16_t posA, posB;      // current edge positions (or setpoints)
  uint16_t tollo, tolup;    // tolerances in force
  uint16_t setA, setB;      // setpoints
  uint16_t edcntA, edcntB;  // edges seen by each sensor
  uint16_t n;               // virtual pixels of the CCD line
};

// The windows to draw for the input (0, 1 or 2 of them, written to out[]);
// returns their count. Modes 0 to 2 are clamped to the axis, modes 3 and 4 not.
int TolWindows(const TolWindowInput& in, TolWindow out[2]);

// Deviation cursors (cursor 2 of both bar graphs) in evaluation modes 3 and 4,
// where the result reads as n plus a signed deviation.
struct DeviationCursors {
  enum Show {
    kUntouched,   // not a deviation mode: the cursors stay as they are
    kMaster,      // positive deviation: master cursor 2 shown at x, slave point hidden
    kSlave,       // negative deviation: slave cursor 2 shown at x, master point hidden
    kBothHidden,  // no deviation: both points hidden
  } show;
  double x;         // position of the shown cursor 2
  uint16_t mvalue;  // the result, capped at 2n when above 2n - 1
};
DeviationCursors DeviationFor(uint16_t evalMode, uint16_t mvalue, uint16_t n);

// History limits: upper = tVal + tolup (at most yaxisMAX - 1), lower = tVal -
// tollo (at least 1).
struct HistoryLimits {
  int upper, lower;
};
HistoryLimits LimitsFor(uint16_t tVal, uint16_t tollo, uint16_t tolup, uint16_t yaxisMAX);

// Vertical range of the history chart with zoom on; always lo < hi.
struct ZoomRange {
  int lo, hi;
};
ZoomRange ZoomRangeFor(uint16_t tVal, uint16_t tollo, uint16_t tolup, uint16_t mvalue,
                       uint16_t yaxisMAX);

// Trace 5 of the history by analog mode: the result (mode 0 and any mode the
// drop-down does not offer), the analog maximum (1, 3) or minimum (2, 4), where
// a minimum at yaxisMAX - 1 (nothing measured) reads as 1.
double AuxValueFor(uint16_t anaMode, uint16_t mvalue, uint16_t anaMax, uint16_t anaMin,
                   uint16_t yaxisMAX);
