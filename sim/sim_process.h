// The standalone simulator as a child process, for the end-to-end runs and the
// benchmarks: it serves a new pseudo-terminal and prints that terminal's path
// on its first output line, which the parent reads before it goes on.
#pragma once
#include <signal.h>
#include <sys/types.h>

#include <cstdio>
#include <string>

namespace tarvo_sim {

class SimProcess {
 public:
  // Runs `exe` with the one option `option` (nullptr: none).
  explicit SimProcess(const char* exe, const char* option = "--frozen");
  ~SimProcess() { Stop(SIGKILL); }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // The terminal the simulator serves; empty when it could not be started.
  const std::string& path() const { return path_; }
  // Ends the simulator with signal `sig` (SIGKILL: the device is gone at once)
  // and waits for it; its exit status, or -1 when it did not exit by itself.
  int Stop(int sig);

 private:
  pid_t pid_ = -1;
  std::string path_;
  FILE* out_ = nullptr;
};

}  // namespace tarvo_sim
