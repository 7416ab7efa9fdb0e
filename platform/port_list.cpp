// The port drop-down: filled from the ports the machine has, and listed again
// as adapters are plugged in and out (the device directory is watched, not
// polled), without touching the open port or the selection.
#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileSystemWatcher>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "platform/panel_registry.h"
#include "platform/serial.h"

namespace tarvo_ui {
namespace {

// A plugged-in adapter's node appears first and gets its group and mode a
// moment later: the list follows once the directory has been quiet this long.
constexpr int kSettleMs = 500;

std::vector<QPointer<QComboBox>> g_boxes;

// Lists the ports again; keeps the selected port selected (offered on its own
// when it has gone) and sends no value change. 1 when the entries changed.
int Refresh(QComboBox* box, const std::vector<PortEntry>& entries) {
  if (box->view() && box->view()->isVisible()) return 0;  // not under the user's pointer
  const QVariant selected = box->currentData();
  bool same = box->count() == static_cast<int>(entries.size());
  for (int i = 0; same && i < box->count(); ++i)
    same = box->itemData(i).toInt() == entries[i].number &&
           box->itemText(i) == QString::fromStdString(entries[i].label);
  if (same) return 0;
  const QSignalBlocker block(box);
  box->clear();
  for (const PortEntry& e : entries) box->addItem(QString::fromStdString(e.label), e.number);
  if (selected.isValid()) {
    int i = box->findData(selected);
    if (i < 0) {
      box->addItem(PortLabel(selected.toInt()), selected);
      i = box->count() - 1;
    }
    box->setCurrentIndex(i);
  }
  return 1;
}

// Lists the ports again just before the drop-down opens (left button, or a
// key that opens or steps through it).
class OpenWatcher : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* obj, QEvent* ev) override {
    auto* box = qobject_cast<QComboBox*>(obj);
    if (box && (ev->type() == QEvent::KeyPress ||
                (ev->type() == QEvent::MouseButtonPress &&
                 static_cast<QMouseEvent*>(ev)->button() == Qt::LeftButton)))
      Refresh(box, ListSerialPorts());
    return false;
  }
};

void WatchDevices() {
  static QPointer<QFileSystemWatcher> watcher;  // goes with the application object
  if (watcher) return;
  watcher = new QFileSystemWatcher(QCoreApplication::instance());
  watcher->addPath(QStringLiteral("/dev"));
  auto* settle = new QTimer(watcher);
  settle->setSingleShot(true);
  settle->setInterval(kSettleMs);
  QObject::connect(watcher, &QFileSystemWatcher::directoryChanged, settle,
                   [settle] { settle->start(); });
  // Only while idle: inside a callback a transaction or a loop is running.
  QObject::connect(settle, &QTimer::timeout, [settle] {
    if (CallbackDepth() == 0)
      RefreshPortLists();
    else
      settle->start();
  });
}

}  // namespace

QString PortLabel(int port) {
  if (port == kSimPort) return QStringLiteral("SIM  (built-in sensor simulator, no hardware)");
  const std::string dev = PortDevicePath(port);
  if (dev.empty()) return QStringLiteral("COM%1").arg(port);
  return QStringLiteral("COM%1  %2").arg(port).arg(QString::fromStdString(dev));
}

void SetUpPortList(QComboBox* box) {
  {
    const QSignalBlocker block(box);
    box->clear();
  }
  Refresh(box, ListSerialPorts());
  static QPointer<OpenWatcher> watcher;
  if (!watcher) watcher = new OpenWatcher(QCoreApplication::instance());
  box->installEventFilter(watcher);
  g_boxes.erase(std::remove_if(g_boxes.begin(), g_boxes.end(),
                               [](const QPointer<QComboBox>& b) { return b.isNull(); }),
                g_boxes.end());
  g_boxes.push_back(box);
  WatchDevices();
}

int RefreshPortLists() {
  int changed = 0;
  const std::vector<PortEntry> entries = ListSerialPorts();
  for (const auto& box : g_boxes)
    if (box) changed |= Refresh(box, entries);
  return changed;
}

}  // namespace tarvo_ui
