// Text-box logs and tables for the service tools.
#include "platform/log_controls.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <cstring>
#include <set>

#include "platform/panel_registry.h"

using namespace tarvo_ui;

namespace {

constexpr QRgb kHighlight = 0xFFD27F;  // light orange

int LookupError(int panel) { return FindPanel(panel) ? kErrControl : kErrPanel; }

QTableWidgetItem* Cell(QTableWidget* t, int row, int column) {
  QTableWidgetItem* item = t->item(row, column);
  if (!item) {
    item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    t->setItem(row, column, item);
  }
  return item;
}

bool ValidCell(QTableWidget* t, int row, int column) {
  return row >= 0 && row < t->rowCount() && column >= 0 && column < t->columnCount();
}

}  // namespace

int AppendTextLog(int panel, int control, const char* lines, int maxLines) {
  auto* box = CtrlAs<QPlainTextEdit>(panel, control);
  if (!box) return CtrlWidget(panel, control) ? kErrControlType : LookupError(panel);
  QScrollBar* bar = box->verticalScrollBar();
  const bool follow = bar->value() >= bar->maximum();
  const int keep = bar->value();
  box->setMaximumBlockCount(maxLines > 0 ? maxLines : 0);
  box->appendPlainText(QString::fromUtf8(lines ? lines : ""));
  if (follow)
    bar->setValue(bar->maximum());
  else
    bar->setValue(keep);
  return 0;
}

int SetTextLog(int panel, int control, const char* text, int maxLines) {
  auto* box = CtrlAs<QPlainTextEdit>(panel, control);
  if (!box) return CtrlWidget(panel, control) ? kErrControlType : LookupError(panel);
  box->setMaximumBlockCount(maxLines > 0 ? maxLines : 0);
  box->setPlainText(QString::fromUtf8(text ? text : ""));
  box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
  return 0;
}

int SetTableRows(int panel, int control, int rows) {
  auto* t = CtrlAs<QTableWidget>(panel, control);
  if (!t) return CtrlWidget(panel, control) ? kErrControlType : LookupError(panel);
  if (rows < 0) return kErrValue;
  t->setRowCount(rows);
  return 0;
}

int SetTableCellText(int panel, int control, int row, int column, const char* text) {
  auto* t = CtrlAs<QTableWidget>(panel, control);
  if (!t) return CtrlWidget(panel, control) ? kErrControlType : LookupError(panel);
  if (!ValidCell(t, row, column)) return kErrValue;
  Cell(t, row, column)->setText(QString::fromUtf8(text ? text : ""));
  return 0;
}

int GetTableCellText(int panel, int control, int row, int column, char* text, size_t size) {
  auto* t = CtrlAs<QTableWidget>(panel, control);
  if (!t) return CtrlWidget(panel, control) ? kErrControlType : LookupError(panel);
  if (!ValidCell(t, row, column) || !text || size == 0) return kErrValue;
  const QByteArray u = t->item(row, column) ? t->item(row, column)->text().toUtf8() : QByteArray();
  const size_t n = std::min(static_cast<size_t>(u.size()), size - 1);
  std::memcpy(text, u.constData(), n);
  text[n] = '\0';
  return 0;
}

int SetTableRowHighlight(int panel, int control, int row, int on) {
  auto* t = CtrlAs<QTableWidget>(panel, control);
  if (!t) return CtrlWidget(panel, control) ? kErrControlType : LookupError(panel);
  if (row < 0 || row >= t->rowCount()) return kErrValue;
  for (int c = 0; c < t->columnCount(); ++c)
    Cell(t, row, c)->setBackground(on ? QBrush(QColor(kHighlight)) : QBrush());
  return 0;
}

int GetTableRowHighlight(int panel, int control, int row, int* on) {
  auto* t = CtrlAs<QTableWidget>(panel, control);
  if (!t) return CtrlWidget(panel, control) ? kErrControlType : LookupError(panel);
  if (row < 0 || row >= t->rowCount() || !on) return kErrValue;
  *on = t->item(row, 0) && t->item(row, 0)->background().style() != Qt::NoBrush ? 1 : 0;
  return 0;
}

int FitTable(int panel, int control) {
  auto* t = CtrlAs<QTableWidget>(panel, control);
  if (!t) return CtrlWidget(panel, control) ? kErrControlType : LookupError(panel);
  t->resizeColumnsToContents();
  t->resizeRowsToContents();
  return 0;
}

void CallSoon(void (*fn)(), double seconds) {
  static std::set<void (*)()> pending;
  if (!fn || !QCoreApplication::instance() || !pending.insert(fn).second) return;
  QTimer::singleShot(static_cast<int>(seconds * 1000.0), QCoreApplication::instance(), [fn] {
    pending.erase(fn);
    fn();
  });
}
