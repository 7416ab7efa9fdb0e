// The last texts a control showed (see text_history.h).
#include "platform/text_history.h"

bool TextHistory::Add(const std::string& time, const std::string& text) {
  if (entries_.empty()) return false;
  if (count_ > 0 && at(0).text == text) return false;
  newest_ = count_ == 0 ? 0 : (newest_ + 1) % entries_.size();
  entries_[newest_].time = time;
  entries_[newest_].text = text;
  if (count_ < entries_.size()) ++count_;
  return true;
}

const TextHistory::Entry& TextHistory::at(size_t i) const {
  return entries_[(newest_ + entries_.size() - i % entries_.size()) % entries_.size()];
}
