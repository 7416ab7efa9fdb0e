#include "viewer/rec_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

ValueStats ComputeValueStats(const std::vector<RecRow>& rows, int column) {
  ValueStats s;
  if (rows.empty() || column < 0 || column >= kRecValues) return s;
  s.count = static_cast<long>(rows.size());
  s.min = s.max = rows[0][column];
  int64_t sum = 0;  // exact: at most 2^31 x 2^32 rows before it could overflow
  for (const RecRow& r : rows) {
    const int32_t v = r[column];
    s.min = std::min(s.min, v);
    s.max = std::max(s.max, v);
    sum += v;
  }
  s.mean = static_cast<double>(sum) / static_cast<double>(s.count);
  if (s.count < 2) return s;
  // A second pass over the deviations: no loss of precision for values that
  // lie close together far from zero (a setpoint of 37000 um, say).
  double squares = 0;
  for (const RecRow& r : rows) {
    const double d = r[column] - s.mean;
    squares += d * d;
  }
  s.stddev = std::sqrt(squares / static_cast<double>(s.count - 1));
  return s;
}

BandCount CountOutsideBand(const std::vector<RecRow>& rows, int column, int64_t setpoint,
                           int64_t band) {
  BandCount b;
  if (rows.empty() || column < 0 || column >= kRecValues) return b;
  const int64_t lo = setpoint - band, hi = setpoint + band;
  for (const RecRow& r : rows)
    if (r[column] < lo || r[column] > hi) ++b.outside;
  b.percent = 100.0 * static_cast<double>(b.outside) / static_cast<double>(rows.size());
  return b;
}

void DecimateValues(const std::vector<RecRow>& rows, size_t first, size_t last, int column,
                    size_t buckets, std::vector<double>* xs, std::vector<double>* ys) {
  xs->clear();
  ys->clear();
  last = std::min(last, rows.size());
  if (first >= last || column < 0 || column >= kRecValues) return;
  const size_t n = last - first;
  if (buckets == 0 || n <= 2 * buckets) {
    xs->reserve(n);
    ys->reserve(n);
    for (size_t i = first; i < last; ++i) {
      xs->push_back(static_cast<double>(i + 1));
      ys->push_back(rows[i][column]);
    }
    return;
  }
  xs->reserve(2 * buckets);
  ys->reserve(2 * buckets);
  for (size_t b = 0; b < buckets; ++b) {
    const size_t from = first + n * b / buckets;
    const size_t to = first + n * (b + 1) / buckets;
    size_t lo = from, hi = from;
    for (size_t i = from + 1; i < to; ++i) {
      if (rows[i][column] < rows[lo][column]) lo = i;
      if (rows[i][column] > rows[hi][column]) hi = i;
    }
    const size_t a = std::min(lo, hi), z = std::max(lo, hi);
    xs->push_back(static_cast<double>(a + 1));
    ys->push_back(rows[a][column]);
    if (z != a) {
      xs->push_back(static_cast<double>(z + 1));
      ys->push_back(rows[z][column]);
    }
  }
}

std::string FormatTimeOfDay(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  const int64_t days = seconds / 86400, rest = seconds % 86400;
  char text[40];
  const int n =
      days > 0 ? std::snprintf(text, sizeof text, "+%lldd ", static_cast<long long>(days)) : 0;
  std::snprintf(text + n, sizeof text - n, "%02d:%02d:%02d", static_cast<int>(rest / 3600),
                static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
  return text;
}

std::string RecordTimeOfDay(const RecHeader& header, long record) {
  if (!header.haveStart) return "";
  return FormatTimeOfDay(header.hour * 3600 + header.minute * 60 + header.second +
                         static_cast<int64_t>(record) * header.interval);
}
