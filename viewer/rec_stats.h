// What the viewer computes from a recording: statistics of each value over
// every record, the records outside a band around the setpoint, the reduced
// point set that is drawn, and the time of day of a record. Plain data.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/rec_reader.h"

struct ValueStats {
  long count = 0;
  int32_t min = 0, max = 0;
  double mean = 0;
  double stddev = 0;  // sample standard deviation (n - 1); 0 for fewer than 2 records
};
// Statistics of value `column` (0..5) over all rows.
ValueStats ComputeValueStats(const std::vector<RecRow>& rows, int column);

struct BandCount {
  long outside = 0;
  double percent = 0;  // share of all rows; 0 when there are none
};
// Rows whose `column` lies outside setpoint - band .. setpoint + band (the
// limits belong to the band).
BandCount CountOutsideBand(const std::vector<RecRow>& rows, int column, int64_t setpoint,
                           int64_t band);

// The points drawn for value `column` of rows first..last-1 (record number =
// row index + 1 on x): every row when there are at most 2 x `buckets` of them;
// otherwise the rows are split into `buckets` equal runs and each run gives its
// smallest and its largest value, in the order they occur, so every peak
// stays visible.
void DecimateValues(const std::vector<RecRow>& rows, size_t first, size_t last, int column,
                    size_t buckets, std::vector<double>* xs, std::vector<double>* ys);

// Seconds after the midnight of the start day as "HH:MM:SS", with "+Nd " in
// front once they lie N days after it.
std::string FormatTimeOfDay(int64_t seconds);
// The time of day of record `record` (1-based): start + record x interval;
// empty when the file has no start time.
std::string RecordTimeOfDay(const RecHeader& header, long record);
