// The real serial path for tests: the standalone simulator as a child process
// serving a pseudo-terminal, and a fixture that starts the program on it in
// real time through the QSerialPort backend.
#pragma once
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/startup.h"
#include "platform/clock.h"
#include "platform/popup_script.h"
#include "platform/qt_serial_backend.h"
#include "platform/serial.h"
#include "platform/test_hooks.h"
#include "tests/support/harness.h"

#ifdef TARVO_SIM_EXE
// tarvo-sensor-sim on a new pseudo-terminal; path() is the line to open.
class SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> args = {"--frozen"}) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], 1);
      close(fds[0]);
      close(fds[1]);
      std::string exe = TARVO_SIM_EXE;
      std::vector<char*> argv{exe.data()};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(exe.c_str(), argv.data());
      _exit(127);
    }
    close(fds[1]);
    out_ = fdopen(fds[0], "r");
    char line[512] = {0};
    if (out_ && fgets(line, sizeof line, out_)) path_ = line;
    while (!path_.empty() && (path_.back() == '\n' || path_.back() == '\r')) path_.pop_back();
  }
  ~SimProcess() { Stop(SIGKILL); }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;
  // Ends the simulator with `sig` (SIGKILL: to the program the device is gone
  // at once); its exit status, or -1.
  int Stop(int sig) {
    int status = -1;
    if (pid_ > 0 && kill(pid_, sig) == 0) waitpid(pid_, &status, 0);
    pid_ = -1;
    if (out_) fclose(out_);
    out_ = nullptr;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  const std::string& path() const { return path_; }

 private:
  pid_t pid_ = -1;
  std::string path_;
  FILE* out_ = nullptr;
};

// The program on the real clock, its port 1 a device path.
class RealLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseVirtualClock(false);
    ScriptPopups(true);
  }
  void TearDown() override {
    AppFinish();
    CloseCom(1);
    InstallPortBackend(1, nullptr);
    ClearSchedule();
    ResetQuitRequest();
  }
  int StartOn(const std::string& path) {
    InstallPortBackend(1, MakeQtSerialBackend(path, 19200, 0, 8, 1));
    static char arg0[] = "tarvo-tests";
    static char* argv[] = {arg0, nullptr};
    return AppStart(1, argv);
  }
};
#endif
