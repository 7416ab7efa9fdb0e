// The last texts a control showed, each with the time it appeared: a bounded
// list, newest first, kept in memory for the run. No widgets.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

class TextHistory {
 public:
  struct Entry {
    std::string time;
    std::string text;
  };

  explicit TextHistory(size_t capacity) : entries_(capacity) {}

  // Notes `text`, shown at `time`. A text equal to the one shown already has
  // not appeared anew and is not noted again. Returns whether it was noted.
  bool Add(const std::string& time, const std::string& text);

  size_t size() const { return count_; }
  size_t capacity() const { return entries_.size(); }
  // Entry `i`, 0 = the newest; i < size().
  const Entry& at(size_t i) const;

 private:
  std::vector<Entry> entries_;  // a ring; the strings are reused once it is full
  size_t newest_ = 0;
  size_t count_ = 0;
};
