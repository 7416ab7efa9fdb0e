// End to end over a real pseudo-terminal: the standalone simulator serves the
// line, the program talks to it through its real QSerialPort backend, in real
// time. The device is opened again, goes away during RUN, and a new one is chosen.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/qt_serial_backend.h"
#include "tests/support/scripted_app.h"

#ifdef TARVO_SIM_EXE
namespace {

// tarvo-sensor-sim (exact values) on a new pseudo-terminal, whose path it prints first.
class SimProcess {
 public:
  SimProcess() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], 1);
      close(fds[0]);
      close(fds[1]);
      execl(TARVO_SIM_EXE, TARVO_SIM_EXE, "--frozen", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    out_ = fdopen(fds[0], "r");
    char line[512] = {0};
    if (out_ && fgets(line, sizeof line, out_)) path_.assign(line, std::strcspn(line, "\r\n"));
  }
  ~SimProcess() { Stop(SIGKILL); }
  // Ends the simulator with `sig` (SIGKILL: the device is gone at once); its exit status, or -1.
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
using EndToEnd = StartsAppTest;
std::unique_ptr<PortBackend> Device(const std::string& path) {
  return MakeQtSerialBackend(path, 19200, 0, 8, 1);
}

void ChoosePortOn(const std::string& path) {
  InstallPortBackend(1, Device(path));
  ChoosePort(1);
}
TEST_F(EndToEnd, ConnectRunReopenDeviceGoneAndANewOneChosen) {
  SimProcess first;
  ASSERT_FALSE(first.path().empty());
  ASSERT_EQ(StartAppWithLine(Device(first.path()), false), 0);
  EXPECT_EQ(Status(), "TARVO-LT-MS V3.03");  // the firmware text ends the connect sequence
  EXPECT_EQ(Longs({ccdvirtpixel, hwtype}), Longs({4096, 10055}));
  ExpectRunShowsTheEdges();
  ChoosePortOn(first.path());  // closed and opened again: still served
  EXPECT_EQ(Status(), "TARVO-LT-MS V3.03");
  After(0.7, [&] { first.Stop(SIGKILL); });
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(Status(), kDeviceLostText);
  EXPECT_EQ(Longs({stop_flag, CtrlDimmed(pHandle, MAIN_BTNRun)}), Longs({1, 0}));
  SimProcess second;
  ChoosePortOn(second.path());
  EXPECT_EQ(Status(), "TARVO-LT-MS V3.03");
  ExpectRunShowsTheEdges();
  EXPECT_EQ(second.Stop(SIGTERM), 0);  // TERM ends the simulator cleanly
}

}  // namespace
#endif
