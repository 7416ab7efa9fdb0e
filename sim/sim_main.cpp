// tarvo-sensor-sim: serves the sensor controller model on a pseudo-terminal or
// a real serial device, in real time, for end-to-end tests and cable checks.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/sensor_sim.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

const char kUsage[] =
    "Usage: tarvo-sensor-sim [options]\n"
    "Simulates the TARVO sensor controller on a serial line (19200 baud, 8N1).\n"
    "\n"
    "Line:\n"
    "  --device PATH      serve this serial device instead of a pseudo-terminal\n"
    "  --link PATH        make PATH a symbolic link to the pseudo-terminal\n"
    "  --no-pace          deliver replies at once instead of at 19200 baud\n"
    "  --pace             pace at 19200 baud also on a real device (the line\n"
    "                     itself paces there, so this is off by default)\n"
    "  --delay S          answer S seconds after a request is complete\n"
    "  --exit-after S     end after S seconds\n"
    "  --verbose          print every request received on stderr\n"
    "Sensor:\n"
    "  --pcbtype N        board type (0: version as one character per word)\n"
    "  --hwtype N         hardware type (10000 + working range in mm)\n"
    "  --virtpixel N      number of virtual pixels\n"
    "  --version-text T   firmware version text\n"
    "  --frozen           edges stand still, no noise\n"
    "Faults:\n"
    "  --silent           answer nothing\n"
    "  --silent-after N   answer nothing after N replies\n"
    "  --late S           every reply S seconds late\n"
    "  --wrong-echo       line check answered with 0xAA 0x00\n"
    "  --wrong-hw-echo    hardware information echoes 0 instead of 10\n"
    "  --stray N          N stray bytes after every reply\n"
    "  --short-video      data blocks of 127 bytes\n"
    "  --extra N          N extra bytes after every data block\n"
    "  --drop-every N     drop every N-th reply\n"
    "  --help             this text\n"
    "\n"
    "Without --device the path of the pseudo-terminal is printed as the first\n"
    "line on standard output. SIGINT or SIGTERM ends the program.\n";

struct Options {
  std::string device;
  std::string link;
  int pace = -1;  // -1: default for the kind of line
  double delay = 0;
  double exitAfter = 0;
  bool verbose = false;
  int pcbtype = -1, hwtype = -1, virtpixel = -1;
  std::string versionText;
  bool haveVersionText = false;
  bool frozen = false;
  tarvo_sim::Faults faults;
};

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

void SleepFor(double seconds) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(seconds);
  ts.tv_nsec = static_cast<long>((seconds - ts.tv_sec) * 1e9);
  nanosleep(&ts, nullptr);
}

bool ParseDouble(const char* text, double& out) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text, &end);
  if (errno != 0 || end == text || *end != '\0' || !(v >= 0) || v > 1e7) return false;
  out = v;
  return true;
}

bool ParseInt(const char* text, long lo, long hi, int& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 0);
  if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

// Returns 0 to go on, 1 after --help, 2 on a usage error.
int ParseArgs(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char*& v) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "tarvo-sensor-sim: %s needs a value\n", a.c_str());
        return false;
      }
      v = argv[++i];
      return true;
    };
    auto bad = [&](const char* v) {
      std::fprintf(stderr, "tarvo-sensor-sim: bad value for %s: %s\n", a.c_str(), v);
      return 2;
    };
    const char* v = nullptr;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 1;
    } else if (a == "--device") {
      if (!value(v)) return 2;
      o.device = v;
    } else if (a == "--link") {
      if (!value(v)) return 2;
      o.link = v;
    } else if (a == "--no-pace") {
      o.pace = 0;
    } else if (a == "--pace") {
      o.pace = 1;
    } else if (a == "--delay") {
      if (!value(v) || !ParseDouble(v, o.delay)) return v ? bad(v) : 2;
    } else if (a == "--exit-after") {
      if (!value(v) || !ParseDouble(v, o.exitAfter)) return v ? bad(v) : 2;
    } else if (a == "--verbose" || a == "-v") {
      o.verbose = true;
    } else if (a == "--pcbtype") {
      if (!value(v) || !ParseInt(v, 0, 65535, o.pcbtype)) return v ? bad(v) : 2;
    } else if (a == "--hwtype") {
      if (!value(v) || !ParseInt(v, 0, 65535, o.hwtype)) return v ? bad(v) : 2;
    } else if (a == "--virtpixel") {
      if (!value(v) || !ParseInt(v, 1, 65535, o.virtpixel)) return v ? bad(v) : 2;
    } else if (a == "--version-text") {
      if (!value(v)) return 2;
      o.versionText = v;
      o.haveVersionText = true;
    } else if (a == "--frozen") {
      o.frozen = true;
    } else if (a == "--silent") {
      o.faults.silent = true;
    } else if (a == "--silent-after") {
      if (!value(v) || !ParseInt(v, 0, 1 << 30, o.faults.silentAfter)) return v ? bad(v) : 2;
    } else if (a == "--late") {
      if (!value(v) || !ParseDouble(v, o.faults.lateReply)) return v ? bad(v) : 2;
    } else if (a == "--wrong-echo") {
      o.faults.wrongEchoSync = true;
    } else if (a == "--wrong-hw-echo") {
      o.faults.wrongHardwareEcho = true;
    } else if (a == "--stray") {
      if (!value(v) || !ParseInt(v, 0, 4096, o.faults.strayBytes)) return v ? bad(v) : 2;
    } else if (a == "--short-video") {
      o.faults.shortVideo = true;
    } else if (a == "--extra") {
      if (!value(v) || !ParseInt(v, 0, 4096, o.faults.extraBytes)) return v ? bad(v) : 2;
    } else if (a == "--drop-every") {
      if (!value(v) || !ParseInt(v, 0, 1 << 30, o.faults.dropEvery)) return v ? bad(v) : 2;
    } else {
      std::fprintf(stderr, "tarvo-sensor-sim: unknown option %s\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  return 0;
}

// Raw 8N1 at 19200 baud, no handshake, no echo, no character translation.
bool ConfigureLine(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, B19200);
  cfsetospeed(&t, B19200);
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

void LogRequest(const tarvo_sim::Request& r) {
  std::fprintf(stderr, "%10.4f  sync %04X  cmd %3u  arg %5u  words", r.time, r.sync, r.command,
               r.argument);
  for (uint16_t w : r.words) std::fprintf(stderr, " %u", w);
  std::fputc('\n', stderr);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  const int parsed = ParseArgs(argc, argv, o);
  if (parsed == 1) return 0;
  if (parsed != 0) return 2;

  tarvo_sim::SensorSim sim;
  sim.faults() = o.faults;
  sim.frozen = o.frozen;
  sim.SetAnswerDelay(o.delay);
  if (o.pcbtype >= 0) sim.hardware().pcbtype = static_cast<uint16_t>(o.pcbtype);
  if (o.hwtype >= 0) sim.hardware().hwtype = static_cast<uint16_t>(o.hwtype);
  if (o.virtpixel > 0) sim.hardware().ccdvirtpixel = static_cast<uint16_t>(o.virtpixel);
  if (o.haveVersionText) sim.SetVersionText(o.versionText);

  int fd = -1;
  int slave = -1;  // held open, so the line stays up while the far end re-opens it
  if (!o.device.empty()) {
    fd = open(o.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
      std::fprintf(stderr, "tarvo-sensor-sim: cannot open %s: %s\n", o.device.c_str(),
                   std::strerror(errno));
      return 1;
    }
    if (!ConfigureLine(fd)) {
      std::fprintf(stderr, "tarvo-sensor-sim: cannot configure %s: %s\n", o.device.c_str(),
                   std::strerror(errno));
      close(fd);
      return 1;
    }
    tcflush(fd, TCIOFLUSH);
    sim.SetPacing(o.pace == 1);
  } else {
    char name[256] = {0};
    if (openpty(&fd, &slave, name, nullptr, nullptr) != 0) {
      std::fprintf(stderr, "tarvo-sensor-sim: cannot open a pseudo-terminal: %s\n",
                   std::strerror(errno));
      return 1;
    }
    ConfigureLine(slave);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    if (!o.link.empty()) {
      struct stat st {};
      if (lstat(o.link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) unlink(o.link.c_str());
      if (symlink(name, o.link.c_str()) != 0) {
        std::fprintf(stderr, "tarvo-sensor-sim: cannot link %s: %s\n", o.link.c_str(),
                     std::strerror(errno));
        close(slave);
        close(fd);
        return 1;
      }
    }
    std::printf("%s\n", name);
    std::fflush(stdout);
    sim.SetPacing(o.pace != 0);
  }

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  const double t0 = Now();
  std::vector<uint8_t> pending;  // reply bytes due but not yet taken by the line
  std::vector<uint8_t> due;
  uint8_t buf[4096];
  size_t logged = 0;
  bool hungUp = false;

  while (!g_stop) {
    double now = Now() - t0;
    if (o.exitAfter > 0 && now >= o.exitAfter) break;

    // Sleep until input arrives, the next reply byte is due or 10 ms have passed.
    double wait = 0.010;
    const double next = sim.NextDue();
    if (next >= 0) wait = std::min(wait, std::max(0.0, next - now));
    pollfd pfd{fd, static_cast<short>(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0};
    timespec ts{};
    ts.tv_nsec = static_cast<long>(wait * 1e9);
    const int pr = ppoll(&pfd, 1, &ts, nullptr);
    if (pr < 0 && errno != EINTR) {
      SleepFor(0.01);
      continue;
    }

    bool lost = false;
    if (pr > 0 && (pfd.revents & POLLIN)) {
      for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) {
          sim.Receive(buf, static_cast<size_t>(n), Now() - t0);
          hungUp = false;
          continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) lost = true;
        break;
      }
    }
    if (pr > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(pfd.revents & POLLIN))
      lost = true;
    if (lost) {
      // The far end has closed the line: forget the fragment of a request and
      // wait for it to come back without spinning.
      if (!hungUp) sim.ResetLine();
      hungUp = true;
      SleepFor(0.02);
    }

    if (o.verbose) {
      const auto& reqs = sim.requests();
      for (; logged < reqs.size(); ++logged) LogRequest(reqs[logged]);
    }
    if (sim.requests().size() > 10000) {  // nobody else reads them here
      sim.ClearRequests();
      logged = 0;
    }

    now = Now() - t0;
    due.clear();
    sim.Collect(now, due);
    pending.insert(pending.end(), due.begin(), due.end());
    if (pending.size() > 65536) pending.erase(pending.begin(), pending.end() - 65536);
    while (!pending.empty()) {
      const ssize_t w = write(fd, pending.data(), pending.size());
      if (w > 0) {
        pending.erase(pending.begin(), pending.begin() + w);
        continue;
      }
      if (w < 0 && errno == EINTR) continue;
      if (w < 0 && errno != EAGAIN) pending.clear();  // line gone: replies are lost
      break;
    }
  }

  if (!o.link.empty() && o.device.empty()) unlink(o.link.c_str());
  if (slave >= 0) close(slave);
  close(fd);
  return 0;
}
