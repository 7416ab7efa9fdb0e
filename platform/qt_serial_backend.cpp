// A real serial device (or pseudo-terminal) through QSerialPort.
#include "platform/qt_serial_backend.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QPointer>
#include <QSerialPort>
#include <QSocketNotifier>
#include <algorithm>

#include "platform/clock.h"
#include "platform/serial.h"

namespace {

// How long after a write its reply is looked out for with quiet times.
constexpr double kReplyWindow = 0.25;
// How much earlier than the last awaited byte the descriptor is watched again.
constexpr double kTimerSlack = 0.002;

class QtSerialBackend : public PortBackend {
 public:
  QtSerialBackend(const std::string& path, long baud, int parity, int dataBits, int stopBits)
      : path_(path), baud_(baud), parity_(parity), dataBits_(dataBits), stopBits_(stopBits) {}
  ~QtSerialBackend() override { Close(); }

  int Open() override {
    hungUp_ = false;
    port_ = std::make_unique<QSerialPort>(QString::fromStdString(path_));
    if (!port_->open(QIODevice::ReadWrite)) {
      QSerialPort::SerialPortError e = port_->error();
      port_.reset();
      switch (e) {
        case QSerialPort::DeviceNotFoundError:
          return kComNoPortFound;
        case QSerialPort::PermissionError:
        case QSerialPort::OpenError:
          return kComCannotOpen;
        default:
          return kComUnknownSystemError;
      }
    }
    static const QSerialPort::Parity kParity[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                  QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                  QSerialPort::SpaceParity};
    bool ok = port_->setBaudRate(static_cast<qint32>(baud_)) &&
              port_->setDataBits(static_cast<QSerialPort::DataBits>(dataBits_)) &&
              port_->setParity(kParity[parity_]) &&
              port_->setStopBits(stopBits_ == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
              port_->setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) {
      port_->close();
      port_.reset();
      return kComInvalidParameter;
    }
    port_->clear();
    // The port's own read notifier: switched off while no awaited reply can
    // be complete yet (see WakeAfter).
    readNotifier_ = nullptr;
    for (QSocketNotifier* n : port_->findChildren<QSocketNotifier*>())
      if (n->type() == QSocketNotifier::Read) readNotifier_ = n;
    // One character on the wire: start bit, data bits, parity bit, stop bits.
    charTime_ = (1.0 + dataBits_ + (parity_ != 0 ? 1 : 0) + stopBits_) / static_cast<double>(baud_);
    wakeAfter_ = 0;
    taken_ = 0;
    quietUntil_ = 0;
    WakeAfter(1);
    return 0;
  }

  void Close() override {
    readNotifier_ = nullptr;
    quietUntil_ = 0;
    if (port_) {
      port_->close();
      port_.reset();
    }
  }

  int Write(const uint8_t* data, int count) override {
    if (!port_ || Lost()) return kComUnknownIOError;
    qint64 n = port_->write(reinterpret_cast<const char*>(data), count);
    if (n >= 0) port_->flush();  // hand the bytes to the device now, not at the next event
    lastWrite_ = Timer();
    ApplyQuiet();
    return n < 0 ? kComUnknownIOError : static_cast<int>(n);
  }

  void Poll(std::vector<uint8_t>& in) override {
    if (!port_) return;
    const size_t before = in.size();
    // Reads what the device holds even when no events are processed.
    port_->waitForReadyRead(0);
    QByteArray b = port_->readAll();
    in.insert(in.end(), b.begin(), b.end());
    // Bytes fewer than the wake count do not make the descriptor readable,
    // so QSerialPort has not read them: they are taken here directly.
    const int fd = static_cast<int>(port_->handle());
    int queued = 0;
    if (fd >= 0 && ::ioctl(fd, FIONREAD, &queued) == 0 && queued > 0) {
      const size_t at = in.size();
      in.resize(at + static_cast<size_t>(queued));
      const ssize_t n = ::read(fd, in.data() + at, static_cast<size_t>(queued));
      in.resize(at + static_cast<size_t>(std::max<ssize_t>(n, 0)));
    }
    // A device that has gone (a pseudo-terminal whose far end closed, an
    // adapter pulled out) shows as a read error with the line hung up.
    if (port_->error() == QSerialPort::ReadError) {
      pollfd p{static_cast<int>(port_->handle()), POLLIN, 0};
      if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) hungUp_ = true;
      port_->clearError();
    }
    // Shortly after a request, each look at the drained queue starts a new
    // quiet time for the bytes still awaited, so a reply that has not begun
    // costs few wake-ups too. Idle, nothing is awaited soon: the descriptor
    // is watched, which costs no wake-ups until bytes come.
    taken_ += static_cast<int>(in.size() - before);
    Rearm(wakeAfter_ - taken_, false);
  }

  void FlushOutput() override {
    if (port_) port_->clear(QSerialPort::Output);
    ApplyQuiet();
  }

  void WaitForInput(double seconds) override {
    if (!port_ || Lost()) return;
    if (port_->bytesAvailable() > 0) return;
    port_->waitForReadyRead(static_cast<int>(seconds * 1000.0 + 0.5));
    ApplyQuiet();
  }

  // The terminal's minimum read count also decides when the descriptor polls
  // readable (no inter-byte timer set), so the dispatcher sleeps through the
  // first bytes of a reply. The kernel still wakes a thread that watches the
  // descriptor at every byte, only to find the count not reached: so the
  // descriptor is not watched at all until the awaited bytes can have come at
  // the line's rate (the last of them cannot arrive before the others have
  // taken their time on the wire). Bytes that do come earlier are still taken
  // by every Poll; the event loop wakes at the end of the quiet time.
  void WakeAfter(int bytes) override {
    bytes = std::clamp(bytes, 1, 255);
    const int fd = port_ ? static_cast<int>(port_->handle()) : -1;
    if (fd < 0) return;
    const bool fresh = bytes != wakeAfter_;
    taken_ = 0;  // the count is always counted from the bytes delivered so far
    if (!fresh && !AwaitingReply()) return;
    if (fresh) {
      termios t{};
      if (::tcgetattr(fd, &t) != 0) return;
      t.c_cc[VMIN] = static_cast<cc_t>(bytes);
      t.c_cc[VTIME] = 0;
      if (::tcsetattr(fd, TCSANOW, &t) != 0) return;
      wakeAfter_ = bytes;
    }
    int queued = 0;
    if (::ioctl(fd, FIONREAD, &queued) != 0) queued = 0;
    Rearm(bytes - queued - static_cast<int>(port_->bytesAvailable()), fresh);
  }

  double NextArrivalIn() const override {
    return quietUntil_ > 0 ? std::max(0.0, quietUntil_ - Timer()) : -1.0;
  }

  bool Lost() const override {
    if (!port_) return false;
    if (hungUp_) return true;
    QSerialPort::SerialPortError e = port_->error();
    return e == QSerialPort::ResourceError || e == QSerialPort::DeviceNotFoundError;
  }

  bool CanBlock() const override { return port_ != nullptr && !Lost(); }

 private:
  // The earliest time `bytes` more bytes can all have come at the line's
  // rate, a little short of it (a device may run slightly fast, and the
  // event loop's timers fire to the millisecond); 0 when the rest is too
  // short to sleep through.
  double QuietEnd(int bytes) const {
    const double rest = 0.95 * (bytes - 1) * charTime_ - kTimerSlack;
    return rest > 0 ? Timer() + rest : 0;
  }

  bool AwaitingReply() const { return Timer() - lastWrite_ < kReplyWindow; }

  // The quiet time for `bytes` more bytes, with the input queue drained: set
  // anew for a new count; for the same count pushed on only shortly after a
  // request, so that idle the descriptor is simply watched.
  void Rearm(int bytes, bool fresh) {
    const double end = QuietEnd(bytes);
    if (end <= 0)
      quietUntil_ = 0;
    else if (fresh)
      quietUntil_ = end;
    else if (AwaitingReply())
      quietUntil_ = std::max(quietUntil_, end);
    ApplyQuiet();
  }

  // The port's read notifier follows the quiet time; QSerialPort switches it
  // back on in some of its calls, so this runs after each of them.
  void ApplyQuiet() {
    if (quietUntil_ > 0 && Timer() >= quietUntil_) quietUntil_ = 0;
    const bool watch = quietUntil_ <= 0;
    if (readNotifier_ && readNotifier_->isEnabled() != watch) readNotifier_->setEnabled(watch);
  }

  std::string path_;
  long baud_;
  int parity_, dataBits_, stopBits_;
  std::unique_ptr<QSerialPort> port_;
  QPointer<QSocketNotifier> readNotifier_;
  bool hungUp_ = false;
  int wakeAfter_ = 0;
  int taken_ = 0;  // bytes read since the wake count was set
  double charTime_ = 0;
  double quietUntil_ = 0;  // 0: the descriptor is watched
  double lastWrite_ = -1e9;
};

}  // namespace

std::unique_ptr<PortBackend> MakeQtSerialBackend(const std::string& devicePath, long baud,
                                                 int parity, int dataBits, int stopBits) {
  return std::make_unique<QtSerialBackend>(devicePath, baud, parity, dataBits, stopBits);
}
