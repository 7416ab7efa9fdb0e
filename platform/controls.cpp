// Controls: values, attributes, text boxes, run-time text messages and
// pictures. Values written by the program never fire the control's callback.
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStringDecoder>
#include <QTableWidget>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "platform/graph_widget.h"
#include "platform/panel_registry.h"
#include "platform/serial.h"
#include "platform/strip_chart.h"

using namespace tarvo_ui;

namespace {

// Texts from the program are UTF-8, or single bytes in the Windows code page
// the panel texts were first written in (the micro sign 0xB5 in "7.8\xB5m").
QString ProgramText(const char* text) {
  if (!text) return {};
  const QByteArrayView bytes(text);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString s = utf8.decode(bytes);
  if (!utf8.hasError()) return s;
  static const char16_t k80to9F[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  s.clear();
  s.reserve(bytes.size());
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    s.append(b >= 0x80 && b < 0xA0 ? QChar(k80to9F[b - 0x80]) : QChar(b));
  }
  return s;
}

QString FormatNumber(double v, int precision) {
  precision = std::max(0, precision);
  // No "-0" or "-0.000" for a value that shows as zero.
  if (std::fabs(v) < 0.5 * std::pow(10.0, -precision)) v = 0.0;
  return QString::number(v, 'f', precision);
}

// A double taken as a whole number the way C converts it: the fraction is
// cut off, and narrower integer types keep the low bits.
int64_t WholeNumber(double v) {
  if (!std::isfinite(v)) return 0;
  const double t = std::trunc(v);
  if (t >= 9.2e18) return std::numeric_limits<int64_t>::max();
  if (t <= -9.2e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(t);
}

int ClampToInt(double v) {
  const int64_t n = WholeNumber(v);
  return static_cast<int>(
      std::clamp<int64_t>(n, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

void AutoSize(Control& c) {
  if (c.autoSize && c.widget) c.widget->adjustSize();
}

int SetNumber(Control& c, double v) {
  QWidget* w = c.widget;
  const QSignalBlocker block(w);
  switch (c.kind) {
    case Kind::kToggle:
    case Kind::kRadio:
      static_cast<QAbstractButton*>(w)->setChecked(v != 0);
      return 0;
    case Kind::kSpin:
      static_cast<QSpinBox*>(w)->setValue(ClampToInt(v));
      return 0;
    case Kind::kDoubleSpin:
      static_cast<QDoubleSpinBox*>(w)->setValue(v);
      return 0;
    case Kind::kSlider:
      static_cast<QAbstractSlider*>(w)->setValue(ClampToInt(v));
      return 0;
    case Kind::kLineEdit:
      static_cast<QLineEdit*>(w)->setText(FormatNumber(v, c.precision));
      return 0;
    case Kind::kTextBox:
      static_cast<QPlainTextEdit*>(w)->setPlainText(FormatNumber(v, c.precision));
      return 0;
    case Kind::kLabel:
      static_cast<QLabel*>(w)->setText(FormatNumber(v, c.precision));
      AutoSize(c);
      return 0;
    case Kind::kRing: {
      auto* box = static_cast<QComboBox*>(w);
      const int64_t i = WholeNumber(v);
      if (i != v || i < 0 || i >= box->count()) return kErrValue;
      box->setCurrentIndex(static_cast<int>(i));
      return 0;
    }
    case Kind::kPortList: {
      auto* box = static_cast<QComboBox*>(w);
      const int port = ClampToInt(v);
      int i = box->findData(port);
      if (i < 0) {
        // A port the machine does not list (any more): offer it all the same,
        // so the selection shows what the program uses.
        box->addItem(PortLabel(port), port);
        i = box->count() - 1;
      }
      box->setCurrentIndex(i);
      return 0;
    }
    default:
      return kErrControlType;
  }
}

int SetText(Control& c, const QString& text) {
  NoteControlText(c, text);
  QWidget* w = c.widget;
  const QSignalBlocker block(w);
  switch (c.kind) {
    case Kind::kLineEdit:
      static_cast<QLineEdit*>(w)->setText(text);
      return 0;
    case Kind::kTextBox:
      // The whole text is replaced (a help box shows one text at a time).
      static_cast<QPlainTextEdit*>(w)->setPlainText(text);
      return 0;
    case Kind::kLabel:
      static_cast<QLabel*>(w)->setText(text);
      AutoSize(c);
      return 0;
    case Kind::kButton:
    case Kind::kToggle:
    case Kind::kRadio:
      static_cast<QAbstractButton*>(w)->setText(text);
      return 0;
    case Kind::kRing:
    case Kind::kPortList: {
      auto* box = static_cast<QComboBox*>(w);
      const int i = box->findText(text);
      if (i < 0) return kErrValue;
      box->setCurrentIndex(i);
      return 0;
    }
    case Kind::kSpin:
    case Kind::kDoubleSpin:
    case Kind::kSlider: {
      bool ok = false;
      const double v = text.trimmed().toDouble(&ok);
      return ok ? SetNumber(c, v) : kErrValue;
    }
    default:
      return kErrControlType;
  }
}

int ParseNumber(const QString& text, double* v) {
  bool ok = false;
  const double d = text.trimmed().toDouble(&ok);
  if (!ok) return kErrValue;
  *v = d;
  return 0;
}

int GetNumber(const Control& c, double* v) {
  QWidget* w = c.widget;
  switch (c.kind) {
    case Kind::kToggle:
    case Kind::kRadio:
      *v = static_cast<QAbstractButton*>(w)->isChecked() ? 1 : 0;
      return 0;
    case Kind::kSpin:
      *v = static_cast<QSpinBox*>(w)->value();
      return 0;
    case Kind::kDoubleSpin:
      *v = static_cast<QDoubleSpinBox*>(w)->value();
      return 0;
    case Kind::kSlider:
      *v = static_cast<QAbstractSlider*>(w)->value();
      return 0;
    case Kind::kRing: {
      const int i = static_cast<QComboBox*>(w)->currentIndex();
      if (i < 0) return kErrValue;
      *v = i;
      return 0;
    }
    case Kind::kPortList: {
      auto* box = static_cast<QComboBox*>(w);
      if (box->currentIndex() < 0) return kErrValue;
      *v = box->currentData().toInt();
      return 0;
    }
    case Kind::kLineEdit:
      return ParseNumber(static_cast<QLineEdit*>(w)->text(), v);
    case Kind::kTextBox:
      return ParseNumber(static_cast<QPlainTextEdit*>(w)->toPlainText(), v);
    case Kind::kLabel:
      return ParseNumber(static_cast<QLabel*>(w)->text(), v);
    default:
      return kErrControlType;
  }
}

int GetText(const Control& c, QString* text) {
  QWidget* w = c.widget;
  switch (c.kind) {
    case Kind::kLineEdit:
      *text = static_cast<QLineEdit*>(w)->text();
      return 0;
    case Kind::kTextBox:
      *text = static_cast<QPlainTextEdit*>(w)->toPlainText();
      return 0;
    case Kind::kLabel:
      *text = static_cast<QLabel*>(w)->text();
      return 0;
    case Kind::kButton:
    case Kind::kToggle:
    case Kind::kRadio:
      *text = static_cast<QAbstractButton*>(w)->text();
      return 0;
    case Kind::kRing:
    case Kind::kPortList:
      *text = static_cast<QComboBox*>(w)->currentText();
      return 0;
    case Kind::kSpin:
      *text = QString::number(static_cast<QSpinBox*>(w)->value());
      return 0;
    case Kind::kDoubleSpin: {
      auto* s = static_cast<QDoubleSpinBox*>(w);
      *text = QString::number(s->value(), 'f', s->decimals());
      return 0;
    }
    case Kind::kSlider:
      *text = QString::number(static_cast<QAbstractSlider*>(w)->value());
      return 0;
    default:
      return kErrControlType;
  }
}

// Copies UTF-8 text into a caller's buffer: always terminated, cut short when
// the buffer is too small, never in the middle of a character.
void CopyText(const QString& s, char* out, size_t size) {
  const QByteArray u = s.toUtf8();
  size_t n = std::min(static_cast<size_t>(u.size()), size - 1);
  if (n < static_cast<size_t>(u.size()))
    while (n > 0 && (static_cast<unsigned char>(u[static_cast<qsizetype>(n)]) & 0xC0) == 0x80) --n;
  std::memcpy(out, u.constData(), n);
  out[n] = '\0';
}

Control* Lookup(int panel, int control, int* err) {
  if (!FindPanel(panel)) {
    *err = kErrPanel;
    return nullptr;
  }
  Control* c = FindControl(panel, control);
  if (!c || !c->widget) {
    *err = kErrControl;
    return nullptr;
  }
  return c;
}

template <class T>
int GetWhole(int panel, int control, T* value) {
  int err = 0;
  Control* c = Lookup(panel, control, &err);
  if (!c) return err;
  if (!value) return kErrValue;
  double v = 0;
  const int r = GetNumber(*c, &v);
  if (r < 0) return r;
  *value = static_cast<T>(static_cast<uint64_t>(WholeNumber(v)));
  return 0;
}

QColor FromRgb(int rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb) & 0xFFFFFFu); }
int ToRgb(const QColor& c) { return static_cast<int>(c.rgb() & 0xFFFFFFu); }

// Black or white, whichever reads better on the background.
QColor ReadableOn(const QColor& bg) {
  auto lin = [](double c) {
    c /= 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  const double l = 0.2126 * lin(bg.red()) + 0.7152 * lin(bg.green()) + 0.0722 * lin(bg.blue());
  return l > 0.179 ? QColor(Qt::black) : QColor(Qt::white);
}

QPalette::ColorRole TextRole(Kind k) {
  switch (k) {
    case Kind::kButton:
    case Kind::kToggle:
      return QPalette::ButtonText;
    case Kind::kLabel:
    case Kind::kRadio:
    case Kind::kDeco:
    case Kind::kSlider:
      return QPalette::WindowText;
    default:
      return QPalette::Text;
  }
}

QPalette::ColorRole BackgroundRole(Kind k) {
  switch (k) {
    case Kind::kButton:
    case Kind::kToggle:
      return QPalette::Button;
    case Kind::kLabel:
    case Kind::kRadio:
    case Kind::kDeco:
    case Kind::kSlider:
      return QPalette::Window;
    default:
      return QPalette::Base;
  }
}

// Applies the colours set at run time. A background without a text colour of
// its own gets black or white text, whichever stays readable on it; dimmed
// controls keep their greyed text.
void ApplyColours(Control& c) {
  QWidget* w = c.widget;
  QPalette pal = w->palette();
  const QPalette::ColorRole fgRole = TextRole(c.kind);
  const QPalette::ColorRole bgRole = BackgroundRole(c.kind);
  if (c.textBgColor >= 0) {
    pal.setColor(bgRole, FromRgb(c.textBgColor));
    if (bgRole == QPalette::Window) w->setAutoFillBackground(true);
  }
  if (c.kind == Kind::kDeco && c.frameColor >= 0) {
    pal.setColor(QPalette::Window, FromRgb(c.frameColor));
    w->setAutoFillBackground(true);
  }
  QColor fg;
  if (c.textColor >= 0)
    fg = FromRgb(c.textColor);
  else if (c.textBgColor >= 0)
    fg = ReadableOn(FromRgb(c.textBgColor));
  if (fg.isValid()) {
    pal.setColor(QPalette::Active, fgRole, fg);
    pal.setColor(QPalette::Inactive, fgRole, fg);
  }
  w->setPalette(pal);
}

int SetColour(Control& c, int* slot, int value) {
  value &= 0xFFFFFF;
  if (*slot == value) return 0;  // unchanged: nothing to repaint
  *slot = value;
  ApplyColours(c);
  return 0;
}

QFont NamedFont(const QFont& current, const QString& name) {
  QFont f = current;
  // "NIApp" and the other platform font names mean the application's font.
  if (name.startsWith(QLatin1String("NI")) || name.isEmpty())
    f.setFamily(QApplication::font().family());
  else
    f.setFamily(name);
  return f;
}

template <class Fn>
int WithRange(Control& c, Fn fn) {
  QWidget* w = c.widget;
  const QSignalBlocker block(w);
  if (auto* s = qobject_cast<QSpinBox*>(w)) return fn(s), 0;
  if (auto* s = qobject_cast<QDoubleSpinBox*>(w)) return fn(s), 0;
  if (auto* s = qobject_cast<QAbstractSlider*>(w)) return fn(s), 0;
  return kErrAttribute;
}

}  // namespace

// ---- Values --------------------------------------------------------------------

int SetCtrlVal(int panel, int control, int value) {
  return SetCtrlVal(panel, control, static_cast<double>(value));
}

int SetCtrlVal(int panel, int control, unsigned int value) {
  return SetCtrlVal(panel, control, static_cast<double>(value));
}

int SetCtrlVal(int panel, int control, double value) {
  int err = 0;
  Control* c = Lookup(panel, control, &err);
  return c ? SetNumber(*c, value) : err;
}

int SetCtrlVal(int panel, int control, const char* text) {
  int err = 0;
  Control* c = Lookup(panel, control, &err);
  if (!c) return err;
  return SetText(*c, ProgramText(text));
}

int GetCtrlVal(int panel, int control, int* value) { return GetWhole(panel, control, value); }

int GetCtrlVal(int panel, int control, unsigned short* value) {
  return GetWhole(panel, control, value);
}

int GetCtrlVal(int panel, int control, unsigned int* value) {
  return GetWhole(panel, control, value);
}

int GetCtrlVal(int panel, int control, float* value) {
  double d = 0;
  const int r = GetCtrlVal(panel, control, &d);
  if (r == 0 && value) *value = static_cast<float>(d);
  return r;
}

int GetCtrlVal(int panel, int control, double* value) {
  int err = 0;
  Control* c = Lookup(panel, control, &err);
  if (!c) return err;
  if (!value) return kErrValue;
  return GetNumber(*c, value);
}

int GetCtrlVal(int panel, int control, char* text, size_t size) {
  int err = 0;
  Control* c = Lookup(panel, control, &err);
  if (!c) return err;
  if (!text || size == 0) return kErrValue;
  QString s;
  const int r = GetText(*c, &s);
  if (r < 0) {
    text[0] = '\0';
    return r;
  }
  CopyText(s, text, size);
  return 0;
}

// ---- Attributes ----------------------------------------------------------------

int SetCtrlAttribute(int panel, int control, int attribute, int value) {
  int err = 0;
  Control* c = Lookup(panel, control, &err);
  if (!c) return err;
  QWidget* w = c->widget;
  if (SetPlacementAttribute(w, attribute, value, 0)) return 0;
  switch (attribute) {
    case ATTR_TEXT_COLOR:
      return SetColour(*c, &c->textColor, value);
    case ATTR_TEXT_BGCOLOR:
      return SetColour(*c, &c->textBgColor, value);
    case ATTR_FRAME_COLOR:
      return SetColour(*c, &c->frameColor, value);
    case ATTR_TEXT_POINT_SIZE: {
      if (value <= 0) return kErrValue;
      // Sizes are screen pixels, as the panel layouts were drawn: the header
      // places its texts by pixel, and a title must end where the next begins.
      QFont f = w->font();
      f.setPixelSize(value);
      w->setFont(f);
      AutoSize(*c);
      return 0;
    }
    case ATTR_TEXT_BOLD: {
      QFont f = w->font();
      f.setBold(value != 0);
      w->setFont(f);
      AutoSize(*c);
      return 0;
    }
    case ATTR_MIN_VALUE:
      return WithRange(*c, [value](auto* s) { s->setMinimum(value); });
    case ATTR_MAX_VALUE:
      return WithRange(*c, [value](auto* s) { s->setMaximum(value); });
    case ATTR_NUM_TRACES:
    case ATTR_POINTS_PER_SCREEN:
    case ATTR_SCROLL_MODE:
      if (auto* s = qobject_cast<TarvoStripChart*>(w))
        return s->setChartAttribute(attribute, value);
      return kErrAttribute;
    default:
      return kErrAttribute;
  }
}

int SetCtrlAttribute(int panel, int control, int attribute, const char* value) {
  int err = 0;
  Control* c = Lookup(panel, control, &err);
  if (!c) return err;
  QWidget* w = c->widget;
  const QString s = ProgramText(value);
  switch (attribute) {
    case ATTR_LABEL_TEXT:
      if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        b->setText(s);
      } else if (auto* l = qobject_cast<QLabel*>(w)) {
        l->setText(s);
        AutoSize(*c);
      } else {
        w->setProperty("labelText", s);
      }
      return 0;
    case ATTR_TEXT_FONT:
      w->setFont(NamedFont(w->font(), s));
      AutoSize(*c);
      return 0;
    default:
      return kErrAttribute;
  }
}

int GetCtrlAttribute(int panel, int control, int attribute, int* value) {
  int err = 0;
  Control* c = Lookup(panel, control, &err);
  if (!c) return err;
  if (!value) return kErrValue;
  QWidget* w = c->widget;
  if (tarvo_ui::GetPlacementAttribute(w, attribute, value)) return 0;
  switch (attribute) {
    case ATTR_VISIBLE: {
      QWidget* pw = PanelWidget(panel);
      *value = pw ? (w->isVisibleTo(pw) ? 1 : 0) : (w->isHidden() ? 0 : 1);
      return 0;
    }
    case ATTR_DIMMED:
      *value = w->testAttribute(Qt::WA_ForceDisabled) ? 1 : 0;
      return 0;
    case ATTR_TEXT_COLOR:
      *value = c->textColor >= 0 ? c->textColor : ToRgb(w->palette().color(TextRole(c->kind)));
      return 0;
    case ATTR_TEXT_BGCOLOR:
      *value =
          c->textBgColor >= 0 ? c->textBgColor : ToRgb(w->palette().color(BackgroundRole(c->kind)));
      return 0;
    case ATTR_FRAME_COLOR:
      *value = c->frameColor >= 0 ? c->frameColor : ToRgb(w->palette().color(QPalette::Window));
      return 0;
    case ATTR_TEXT_POINT_SIZE:
      *value = w->font().pixelSize() > 0 ? w->font().pixelSize() : w->font().pointSize();
      return 0;
    case ATTR_TEXT_BOLD:
      *value = w->font().bold() ? 1 : 0;
      return 0;
    case ATTR_MIN_VALUE:
      return WithRange(*c, [value](auto* s) { *value = ClampToInt(s->minimum()); });
    case ATTR_MAX_VALUE:
      return WithRange(*c, [value](auto* s) { *value = ClampToInt(s->maximum()); });
    case ATTR_NUM_TRACES:
    case ATTR_POINTS_PER_SCREEN:
    case ATTR_SCROLL_MODE:
      if (auto* s = qobject_cast<TarvoStripChart*>(w)) return s->chartAttribute(attribute, value);
      return kErrAttribute;
    default:
      return kErrAttribute;
  }
}

int GetCtrlBoundingRect(int panel, int control, int* top, int* left, int* height, int* width) {
  int err = 0;
  Control* c = Lookup(panel, control, &err);
  if (!c) return err;
  const QRect r = c->widget->geometry();
  if (top) *top = r.y();
  if (left) *left = r.x();
  if (height) *height = r.height();
  if (width) *width = r.width();
  return 0;
}

// ---- Text boxes ----------------------------------------------------------------

int ResetTextBox(int panel, int control, const char* text) {
  int err = 0;
  Control* c = Lookup(panel, control, &err);
  if (!c) return err;
  if (c->kind != Kind::kTextBox && c->kind != Kind::kLineEdit && c->kind != Kind::kLabel)
    return kErrControlType;
  return SetText(*c, ProgramText(text));
}

int ReplaceTextBoxLine(int panel, int control, int line, const char* text) {
  int err = 0;
  Control* c = Lookup(panel, control, &err);
  if (!c) return err;
  if (line < 0) return kErrValue;
  const QString s = ProgramText(text);
  const QSignalBlocker block(c->widget);
  if (c->kind == Kind::kLineEdit) {
    if (line != 0) return kErrValue;
    static_cast<QLineEdit*>(c->widget.data())->setText(s);
    return 0;
  }
  if (c->kind != Kind::kTextBox) return kErrControlType;
  auto* box = static_cast<QPlainTextEdit*>(c->widget.data());
  QStringList lines = box->toPlainText().split(QLatin1Char('\n'));
  if (line < lines.size()) {
    lines[line] = s;
  } else {
    while (lines.size() < line) lines.append(QString());
    lines.append(s);
  }
  box->setPlainText(lines.join(QLatin1Char('\n')));
  return 0;
}

int GetTextBoxLine(int panel, int control, int line, char* text, size_t size) {
  int err = 0;
  Control* c = Lookup(panel, control, &err);
  if (!c) return err;
  if (!text || size == 0) return kErrValue;
  text[0] = '\0';
  QString s;
  if (c->kind == Kind::kLineEdit) {
    if (line != 0) return kErrValue;
    s = static_cast<QLineEdit*>(c->widget.data())->text();
  } else if (c->kind == Kind::kTextBox) {
    const QStringList lines =
        static_cast<QPlainTextEdit*>(c->widget.data())->toPlainText().split(QLatin1Char('\n'));
    if (line < 0 || line >= lines.size()) return kErrValue;
    s = lines[line];
  } else {
    return kErrControlType;
  }
  CopyText(s, text, size);
  return 0;
}

// ---- Controls made at run time, pictures --------------------------------------

int NewCtrl(int panel, int style, const char* label, int top, int left) {
  Panel* p = FindPanel(panel);
  if (!p || !p->widget) return kErrPanel;
  if (style != CTRL_TEXT_MSG) return kErrControlType;
  auto* l = new QLabel(ProgramText(label), p->widget);
  l->move(left, top);
  l->adjustSize();
  l->show();
  Control c;
  c.panel = panel;
  c.id = p->nextNewCtrl++;
  c.kind = Kind::kLabel;
  c.widget = l;
  c.autoSize = true;
  p->controls[c.id] = c;
  return c.id;
}

int DisplayImageFile(int panel, int control, const char* fileName) {
  int err = 0;
  Control* c = Lookup(panel, control, &err);
  if (!c) return err;
  auto* l = qobject_cast<QLabel*>(c->widget.data());
  if (!l) return kErrControlType;
  const QString path = FindProgramFile(fileName);
  QPixmap pm;
  if (path.isEmpty() || !pm.load(path)) {
    l->clear();
    return kErrFile;
  }
  l->setPixmap(pm);
  return 0;
}

// ---- Tables and panel titles ----------------------------------------------------

int SetTableCellVal(int panel, int control, int row, int column, const char* text) {
  int err = 0;
  auto* t = FindCtrlAs<QTableWidget>(panel, control, &err);
  if (!t) return err;
  if (row < 0 || column < 0 || column >= t->columnCount()) return kErrValue;
  if (row >= t->rowCount()) t->setRowCount(row + 1);
  QTableWidgetItem* item = t->item(row, column);
  if (!item) {
    item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(Qt::AlignVCenter | (column == 0 ? Qt::AlignLeft : Qt::AlignRight));
    t->setItem(row, column, item);
  }
  item->setText(ProgramText(text));
  // A column grows to show its longest text in full.
  const int wanted = t->fontMetrics().horizontalAdvance(item->text()) + 16;
  if (t->columnWidth(column) < wanted) t->setColumnWidth(column, wanted);
  return 0;
}

int GetTableCellVal(int panel, int control, int row, int column, char* text, size_t size) {
  int err = 0;
  auto* t = FindCtrlAs<QTableWidget>(panel, control, &err);
  if (!t) return err;
  if (!text || size == 0) return kErrValue;
  text[0] = '\0';
  if (row < 0 || column < 0 || row >= t->rowCount() || column >= t->columnCount()) return kErrValue;
  if (const QTableWidgetItem* item = t->item(row, column)) CopyText(item->text(), text, size);
  return 0;
}

int SetPanelAttribute(int panel, int attribute, const char* value) {
  Panel* p = FindPanel(panel);
  if (!p || !p->widget) return kErrPanel;
  if (attribute != ATTR_TITLE) return kErrAttribute;
  p->widget->setWindowTitle(ProgramText(value));
  return 0;
}
