// The sensor model served as a port on the program clock.
#include "platform/sim_port.h"

#include <algorithm>
#include <thread>

#include "platform/clock.h"

namespace {

class SimBackend : public PortBackend {
 public:
  explicit SimBackend(std::shared_ptr<tarvo_sim::SensorSim> sim) : sim_(std::move(sim)) {}
  int Open() override {
    sim_->ResetLine();
    return 0;
  }
  void Close() override {}
  int Write(const uint8_t* data, int count) override {
    sim_->Receive(data, static_cast<size_t>(count), Timer());
    return count;
  }
  void Poll(std::vector<uint8_t>& in) override { sim_->Collect(Timer(), in); }
  double NextArrivalIn() const override {
    double due = sim_->NextDue();
    return due < 0 ? -1.0 : std::max(0.0, due - Timer());
  }
  void WaitForInput(double seconds) override {
    double next = NextArrivalIn();
    double wait = next < 0 ? seconds : std::min(seconds, next);
    if (wait <= 0) return;
    if (VirtualClockActive())
      AdvanceVirtualClock(wait);
    else
      std::this_thread::sleep_for(std::chrono::duration<double>(wait));
  }

 private:
  std::shared_ptr<tarvo_sim::SensorSim> sim_;
};

}  // namespace

std::shared_ptr<tarvo_sim::SensorSim> BuiltInSim() {
  static std::shared_ptr<tarvo_sim::SensorSim> sim = [] {
    auto s = std::make_shared<tarvo_sim::SensorSim>();
    s->SetPacing(true);
    return s;
  }();
  return sim;
}

std::unique_ptr<PortBackend> MakeSimBackend(std::shared_ptr<tarvo_sim::SensorSim> sim) {
  return std::make_unique<SimBackend>(std::move(sim));
}
