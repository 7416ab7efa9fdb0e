// A test backend: an in-memory line whose far end the test scripts. Replies
// are queued with the time they arrive; every write is recorded.
#pragma once
#include <cstdint>
#include <deque>
#include <vector>

#include "platform/port_backend.h"

class ScriptedLine : public PortBackend {
 public:
  struct Sent {
    double time;
    std::vector<uint8_t> bytes;
  };
  // Bytes that arrive at time `at` on the program clock.
  void Arrive(double at, const std::vector<uint8_t>& bytes);
  // Bytes that arrive `delay` seconds after the next write.
  void ReplyToNextWrite(double delay, const std::vector<uint8_t>& bytes);
  const std::vector<Sent>& writes() const { return writes_; }
  void SetOpenResult(int r) { openResult_ = r; }
  void SetAccept(int n) { accept_ = n; }  // bytes accepted per write (-1 = all)
  void SetLost(bool lost) { lost_ = lost; }

  int Open() override { return openResult_; }
  void Close() override {}
  int Write(const uint8_t* data, int count) override;
  void Poll(std::vector<uint8_t>& in) override;
  double NextArrivalIn() const override;
  bool Lost() const override { return lost_; }

 private:
  struct Pending {
    double at;
    std::vector<uint8_t> bytes;
  };
  std::deque<Pending> pending_;
  std::deque<std::pair<double, std::vector<uint8_t>>> onWrite_;
  std::vector<Sent> writes_;
  int openResult_ = 0;
  int accept_ = -1;
  bool lost_ = false;
};
