// Serial-port services: port numbers, input queues, receive notifications.
#include "platform/serial.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QSerialPortInfo>
#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/line_capture.h"
#include "platform/port_backend.h"
#include "platform/port_labels.h"
#include "platform/qt_serial_backend.h"
#include "platform/serial_internal.h"
#include "platform/sim_port.h"

namespace {

struct PortState {
  std::unique_ptr<PortBackend> backend;
  std::vector<uint8_t> inq;
  std::vector<uint8_t> scratch;
  size_t inCap = 4096;
  double timeout = 10.0;
  int mask = 0;
  int notifyCount = 36;
  int wakeCount = 0;  // queue length the waits may sleep until (no notification)
  ComCallbackPtr callback = nullptr;
  void* callbackData = nullptr;
};

std::array<PortState, kMaxPort + 1> g_ports;
std::array<std::unique_ptr<PortBackend>, kMaxPort + 1> g_installed;
std::array<std::unique_ptr<PortBackend> (*)(), kMaxPort + 1> g_factories{};

bool ValidNumber(int port) { return port >= 1 && port <= kMaxPort; }

PortState* OpenPort(int port) {
  if (!ValidNumber(port) || !g_ports[port].backend) return nullptr;
  return &g_ports[port];
}

// Moves what the backend has received by now into the input queue. Bytes
// beyond the queue size are lost, as on a real port whose queue overflows.
void Pump(int port, PortState& p) {
  p.scratch.clear();
  p.backend->Poll(p.scratch);
  if (p.scratch.empty()) return;
  size_t room = p.inCap > p.inq.size() ? p.inCap - p.inq.size() : 0;
  size_t take = std::min(room, p.scratch.size());
  p.inq.insert(p.inq.end(), p.scratch.begin(), p.scratch.begin() + take);
  TapLine(LineEventKind::kArrived, port, p.scratch.data(), static_cast<int>(take));
}

// Tells the backend how many more bytes the waits may sleep through: up to the
// notification's count, or the count the line expects.
void UpdateWake(PortState& p) {
  const bool notifying = p.callback && (p.mask & LWRS_RECEIVE) && p.notifyCount > 0;
  const size_t want = static_cast<size_t>(notifying ? p.notifyCount : p.wakeCount);
  if (want == 0)
    p.backend->WakeAfter(1);
  else if (want > p.inq.size())  // a queue already long enough is taken at once
    p.backend->WakeAfter(static_cast<int>(want - p.inq.size()));
}

// Empties the input queue, telling the line tap what was thrown away.
void DiscardInput(int port, PortState& p) {
  if (!p.inq.empty())
    TapLine(LineEventKind::kDiscarded, port, p.inq.data(), static_cast<int>(p.inq.size()));
  p.inq.clear();
}

bool DeviceExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

const struct {
  int first;
  const char* prefix;
} kBlocks[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
constexpr int kBlockSize = 32;

}  // namespace

std::string PortDevicePath(int port) {
  for (const auto& b : kBlocks)
    if (port >= b.first && port < b.first + kBlockSize)
      return std::string(b.prefix) + std::to_string(port - b.first);
  return "";
}

int PortNumberForDevice(const std::string& path) {
  for (const auto& b : kBlocks) {
    size_t n = std::strlen(b.prefix);
    if (path.compare(0, n, b.prefix) != 0 || path.size() == n) continue;
    std::string rest = path.substr(n);
    if (!std::all_of(rest.begin(), rest.end(), ::isdigit) || rest.size() > 3) continue;
    int idx = std::stoi(rest);
    if (idx < kBlockSize) return b.first + idx;
  }
  return 0;
}

std::vector<PortEntry> ListSerialPorts() {
  std::vector<PortFacts> devices;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    PortFacts f;
    f.path = info.systemLocation().toStdString();
    f.description = info.description().toStdString();
    f.maker = info.manufacturer().toStdString();
    f.serial = info.serialNumber().toStdString();
    devices.push_back(f);
  }
  // Adapter device nodes the system lists nowhere else (a link made by a udev
  // rule or by hand): shown by device alone. Fixed serial ports are not
  // scanned: their nodes exist whether or not there is a port behind them.
  for (int port = 1; port <= kMaxPort; ++port) {
    const std::string path = PortDevicePath(port);
    if (path.rfind("/dev/ttyS", 0) == 0 || path.empty() || !DeviceExists(path)) continue;
    if (std::none_of(devices.begin(), devices.end(),
                     [&](const PortFacts& d) { return d.path == path; }))
      devices.push_back({path, "", "", "", true});
  }
  for (PortFacts& d : devices) d.access = ::access(d.path.c_str(), R_OK | W_OK) == 0;
  return PortEntries(devices);
}

void SetPortBackendFactory(int port, std::unique_ptr<PortBackend> (*factory)()) {
  if (ValidNumber(port)) g_factories[port] = factory;
}

void InstallPortBackend(int port, std::unique_ptr<PortBackend> backend) {
  if (ValidNumber(port)) g_installed[port] = std::move(backend);
}

int OpenComConfig(int port, const char* deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize) {
  if (!ValidNumber(port)) return kComInvalidPort;
  if (baudRate <= 0 || parity < 0 || parity > 4 || dataBits < 5 || dataBits > 8 || stopBits < 1 ||
      stopBits > 2 || inputQueueSize < 0 || outputQueueSize < 0)
    return kComInvalidParameter;
  CloseCom(port);

  std::unique_ptr<PortBackend> backend;
  if (g_installed[port]) {
    backend = std::move(g_installed[port]);
  } else if (g_factories[port]) {
    backend = g_factories[port]();
  } else if (port == kSimPort) {
    backend = MakeSimBackend(BuiltInSim());
  } else {
    std::string path = deviceName && *deviceName ? deviceName : PortDevicePath(port);
    if (path.empty()) return kComInvalidPort;
    if (!DeviceExists(path)) return kComNoPortFound;
    backend = MakeQtSerialBackend(path, baudRate, parity, dataBits, stopBits);
  }
  if (!backend) return kComUnknownSystemError;
  int r = backend->Open();
  if (r < 0) return r;

  PortState& p = g_ports[port];
  p = PortState{};
  p.backend = std::move(backend);
  p.inCap = inputQueueSize > 0 ? static_cast<size_t>(inputQueueSize) : 4096;
  p.inq.reserve(p.inCap);
  TapLine(LineEventKind::kOpened, port, nullptr, 0);
  return 0;
}

int CloseCom(int port) {
  if (!ValidNumber(port)) return kComInvalidPort;
  PortState& p = g_ports[port];
  if (!p.backend) return kComPortNotOpen;
  DiscardInput(port, p);
  p.backend->Close();
  p = PortState{};
  return 0;
}

void CloseAllPorts() {
  for (int i = 1; i <= kMaxPort; ++i)
    if (g_ports[i].backend) CloseCom(i);
}

int SetComTime(int port, double timeoutSeconds) {
  PortState* p = OpenPort(port);
  if (!p) return ValidNumber(port) ? kComPortNotOpen : kComInvalidPort;
  if (timeoutSeconds < 0) return kComInvalidParameter;
  p->timeout = timeoutSeconds;
  return 0;
}

int SetCTSMode(int port, int mode) {
  PortState* p = OpenPort(port);
  if (!p) return ValidNumber(port) ? kComPortNotOpen : kComInvalidPort;
  (void)mode;  // the line runs without hardware handshake
  return 0;
}

int FlushInQ(int port) {
  PortState* p = OpenPort(port);
  if (!p) return ValidNumber(port) ? kComPortNotOpen : kComInvalidPort;
  Pump(port, *p);
  DiscardInput(port, *p);
  UpdateWake(*p);
  return 0;
}

int FlushOutQ(int port) {
  PortState* p = OpenPort(port);
  if (!p) return ValidNumber(port) ? kComPortNotOpen : kComInvalidPort;
  p->backend->FlushOutput();
  return 0;
}

int InstallComCallback(int port, int eventMask, int notifyCount, int eventCharacter,
                       ComCallbackPtr callback, void* callbackData) {
  PortState* p = OpenPort(port);
  if (!p) return ValidNumber(port) ? kComPortNotOpen : kComInvalidPort;
  (void)eventCharacter;
  if (notifyCount < 0 || notifyCount > static_cast<int>(p->inCap)) return kComInvalidParameter;
  p->mask = eventMask;
  p->notifyCount = notifyCount;
  p->callback = eventMask ? callback : nullptr;
  p->callbackData = callbackData;
  UpdateWake(*p);
  return 0;
}

int ComWrt(int port, const char* buffer, int count) {
  PortState* p = OpenPort(port);
  if (!p) return ValidNumber(port) ? kComPortNotOpen : kComInvalidPort;
  if (count < 0 || (!buffer && count > 0)) return kComInvalidParameter;
  if (p->backend->Lost()) return kComUnknownIOError;
  const int n = p->backend->Write(reinterpret_cast<const uint8_t*>(buffer), count);
  if (n > 0) TapLine(LineEventKind::kSent, port, reinterpret_cast<const uint8_t*>(buffer), n);
  return n;
}

int ComRd(int port, char* buffer, int count) {
  PortState* p = OpenPort(port);
  if (!p) return ValidNumber(port) ? kComPortNotOpen : kComInvalidPort;
  if (count < 0 || (!buffer && count > 0)) return kComInvalidParameter;
  Pump(port, *p);
  const double deadline = Timer() + p->timeout;
  while (p->inq.size() < static_cast<size_t>(count) && Timer() < deadline && !p->backend->Lost()) {
    p->backend->WakeAfter(count - static_cast<int>(p->inq.size()));
    double left = deadline - Timer();
    if (VirtualClockActive()) {
      double next = p->backend->NextArrivalIn();
      AdvanceVirtualClock(next >= 0 ? std::min(std::max(next, 1e-6), left) : left);
    } else {
      p->backend->WaitForInput(std::min(left, 0.01));
    }
    Pump(port, *p);
  }
  int n = static_cast<int>(std::min(p->inq.size(), static_cast<size_t>(count)));
  if (n > 0) {
    std::memcpy(buffer, p->inq.data(), n);
    TapLine(LineEventKind::kTaken, port, p->inq.data(), n);
    p->inq.erase(p->inq.begin(), p->inq.begin() + n);
  }
  UpdateWake(*p);
  return n;
}

int GetInQLen(int port) {
  PortState* p = OpenPort(port);
  if (!p) return ValidNumber(port) ? kComPortNotOpen : kComInvalidPort;
  // A poll of the port takes a little time: on the virtual clock a tight
  // polling loop must still come to its time-out.
  AdvanceVirtualClock(1e-4);
  Pump(port, *p);
  UpdateWake(*p);
  return static_cast<int>(p->inq.size());
}

int SetComWakeCount(int port, int bytes) {
  PortState* p = OpenPort(port);
  if (!p) return ValidNumber(port) ? kComPortNotOpen : kComInvalidPort;
  if (bytes < 0) return kComInvalidParameter;
  p->wakeCount = bytes;
  UpdateWake(*p);
  return 0;
}

int ComLost(int port) {
  PortState* p = OpenPort(port);
  return p && p->backend->Lost() ? 1 : 0;
}

bool DispatchComEvents() {
  bool ran = false;
  for (int port = 1; port <= kMaxPort; ++port) {
    PortState& p = g_ports[port];
    if (!p.backend) continue;
    // New bytes count as something handled even with no notification due:
    // code waiting for a count must look at the queue before it blocks again,
    // since the backend will not wake it for bytes already taken in.
    const size_t before = p.inq.size();
    Pump(port, p);
    ran = p.inq.size() > before || ran;
    UpdateWake(p);
    if (!p.callback || !(p.mask & LWRS_RECEIVE) || p.notifyCount <= 0) continue;
    if (p.inq.size() < static_cast<size_t>(p.notifyCount)) continue;
    ComCallbackPtr cb = p.callback;
    cb(port, LWRS_RECEIVE, p.callbackData);
    ran = true;
  }
  return ran;
}

double NextComArrival() {
  double best = -1;
  for (int port = 1; port <= kMaxPort; ++port) {
    PortState& p = g_ports[port];
    if (!p.backend) continue;
    double t = p.backend->NextArrivalIn();
    if (t >= 0 && (best < 0 || t < best)) best = t;
  }
  return best;
}
