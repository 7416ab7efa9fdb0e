// End to end over a real pseudo-terminal: the standalone simulator serves the
// line, the program talks to it through its real QSerialPort backend, in real
// time.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/panels.h"
#include "app/startup.h"
#include "link/identify.h"
#include "link/link.h"
#include "link/payload.h"
#include "measure/run.h"
#include "platform/clock.h"
#include "platform/popup_script.h"
#include "platform/qt_serial_backend.h"
#include "platform/serial.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "tests/support/harness.h"

#ifdef TARVO_SIM_EXE
namespace {

// The standalone simulator as a child process.
class SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> args) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], 1);
      close(fds[0]);
      close(fds[1]);
      std::vector<char*> argv;
      std::string exe = TARVO_SIM_EXE;
      argv.push_back(exe.data());
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(exe.c_str(), argv.data());
      _exit(127);
    }
    close(fds[1]);
    FILE* f = fdopen(fds[0], "r");
    char line[512] = {0};
    if (f && fgets(line, sizeof line, f)) {
      path_ = line;
      while (!path_.empty() && (path_.back() == '\n' || path_.back() == '\r')) path_.pop_back();
    }
    out_ = f;
  }
  ~SimProcess() { Kill(); }
  void Kill() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    if (out_) fclose(out_);
    out_ = nullptr;
  }
  const std::string& path() const { return path_; }

 private:
  pid_t pid_ = -1;
  std::string path_;
  FILE* out_ = nullptr;
};

char g_arg0[] = "tarvo-e2e";
char* g_argv[] = {g_arg0, nullptr};

class EndToEnd : public ::testing::Test {
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
    return AppStart(1, g_argv);
  }
};

TEST_F(EndToEnd, ConnectSequenceOverPseudoTerminal) {
  SimProcess sim({"--frozen"});
  ASSERT_FALSE(sim.path().empty());
  double t0 = Timer();
  ASSERT_EQ(StartOn(sim.path()), 0);
  double took = Timer() - t0;
  // The firmware version of the simulator ends the connect sequence.
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "TARVO-LT-MS V3.03");
  EXPECT_EQ(ccdvirtpixel, 4096);
  EXPECT_EQ(hwtype, 10055);
  EXPECT_LT(took, 5.0);
}

TEST_F(EndToEnd, RunShowsMeasurementFrames) {
  SimProcess sim({"--frozen"});
  ASSERT_FALSE(sim.path().empty());
  ASSERT_EQ(StartOn(sim.path()), 0);
  ScheduleAt(Timer() + 1.0, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(stop_flag, 1);
  EXPECT_EQ(CtrlText(pHandle, MAIN_TEXTStatus), "Line Ok!");
  EXPECT_EQ(Aval, 1000);
  EXPECT_EQ(Bval, 1200);
  EXPECT_EQ(CtrlText(pHandle, MAIN_NUMAval), "1000");
}

}  // namespace
#endif
