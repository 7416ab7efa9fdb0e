// An in-memory line whose far end a test scripts.
#include "platform/scripted_line.h"

#include <algorithm>

#include "platform/clock.h"

void ScriptedLine::Arrive(double at, const std::vector<uint8_t>& bytes) {
  auto it = std::upper_bound(pending_.begin(), pending_.end(), at,
                             [](double t, const Pending& p) { return t < p.at; });
  pending_.insert(it, Pending{at, bytes});
}

void ScriptedLine::ReplyToNextWrite(double delay, const std::vector<uint8_t>& bytes) {
  onWrite_.emplace_back(delay, bytes);
}

int ScriptedLine::Write(const uint8_t* data, int count) {
  int n = accept_ < 0 ? count : std::min(count, accept_);
  double now = Timer();
  writes_.push_back(Sent{now, std::vector<uint8_t>(data, data + n)});
  if (!onWrite_.empty()) {
    auto reply = std::move(onWrite_.front());
    onWrite_.pop_front();
    Arrive(now + reply.first, reply.second);
  }
  return n;
}

void ScriptedLine::Poll(std::vector<uint8_t>& in) {
  double now = Timer();
  while (!pending_.empty() && pending_.front().at <= now) {
    in.insert(in.end(), pending_.front().bytes.begin(), pending_.front().bytes.end());
    pending_.pop_front();
  }
}

double ScriptedLine::NextArrivalIn() const {
  if (pending_.empty()) return -1.0;
  return std::max(0.0, pending_.front().at - Timer());
}
