#include "sim/sim_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace tarvo_sim {

SimProcess::SimProcess(const char* exe, const char* option) {
  int fds[2];
  if (pipe(fds) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    execl(exe, exe, option, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  if (pid_ < 0) {
    close(fds[0]);
    return;
  }
  out_ = fdopen(fds[0], "r");
  char line[512] = {0};
  if (out_ && fgets(line, sizeof line, out_)) path_.assign(line, std::strcspn(line, "\r\n"));
}

int SimProcess::Stop(int sig) {
  int status = -1;
  if (pid_ > 0 && kill(pid_, sig) == 0) waitpid(pid_, &status, 0);
  pid_ = -1;
  if (out_) fclose(out_);
  out_ = nullptr;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tarvo_sim
