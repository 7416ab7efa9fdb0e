// A real serial device (or pseudo-terminal) through QSerialPort.
#include "platform/qt_serial_backend.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QSerialPort>
#include <algorithm>

#include "platform/serial.h"

namespace {

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
    wakeAfter_ = 0;
    WakeAfter(1);
    return 0;
  }

  void Close() override {
    if (port_) {
      port_->close();
      port_.reset();
    }
  }

  int Write(const uint8_t* data, int count) override {
    if (!port_ || Lost()) return kComUnknownIOError;
    qint64 n = port_->write(reinterpret_cast<const char*>(data), count);
    if (n < 0) return kComUnknownIOError;
    port_->flush();  // hand the bytes to the device now, not at the next event
    return static_cast<int>(n);
  }

  void Poll(std::vector<uint8_t>& in) override {
    if (!port_) return;
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
  }

  void FlushOutput() override {
    if (port_) port_->clear(QSerialPort::Output);
  }

  void WaitForInput(double seconds) override {
    if (!port_ || Lost()) return;
    if (port_->bytesAvailable() > 0) return;
    port_->waitForReadyRead(static_cast<int>(seconds * 1000.0 + 0.5));
  }

  // The terminal's minimum read count also decides when the descriptor polls
  // readable (no inter-byte timer set), so the dispatcher sleeps through the
  // first bytes of a reply.
  void WakeAfter(int bytes) override {
    bytes = std::clamp(bytes, 1, 255);
    if (!port_ || bytes == wakeAfter_) return;
    const int fd = static_cast<int>(port_->handle());
    termios t{};
    if (fd < 0 || ::tcgetattr(fd, &t) != 0) return;
    t.c_cc[VMIN] = static_cast<cc_t>(bytes);
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &t) == 0) wakeAfter_ = bytes;
  }

  bool Lost() const override {
    if (!port_) return false;
    if (hungUp_) return true;
    QSerialPort::SerialPortError e = port_->error();
    return e == QSerialPort::ResourceError || e == QSerialPort::DeviceNotFoundError;
  }

  bool CanBlock() const override { return port_ != nullptr && !Lost(); }

 private:
  std::string path_;
  long baud_;
  int parity_, dataBits_, stopBits_;
  std::unique_ptr<QSerialPort> port_;
  bool hungUp_ = false;
  int wakeAfter_ = 0;
};

}  // namespace

std::unique_ptr<PortBackend> MakeQtSerialBackend(const std::string& devicePath, long baud,
                                                 int parity, int dataBits, int stopBits) {
  return std::make_unique<QtSerialBackend>(devicePath, baud, parity, dataBits, stopBits);
}
