// Top-level windows on the screen, and the history of the texts a control
// showed:
// - a panel larger than the screen's available area is shown at its full size
//   in a scroll area that fits the screen (nothing is squeezed or moved);
// - every further top-level window opens beside the main window where the
//   screen has room, otherwise over its graph area, clear of the parameter
//   panels and the controls the panel file marks "keepClear", and keeps where
//   it was for the rest of the run;
// - a control whose panel-file property "history" is N notes the last N texts
//   written to it, listed on request in a small window.
#include <QApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "platform/panel_registry.h"
#include "platform/test_hooks.h"
#include "platform/window_place.h"

namespace tarvo_ui {
namespace {

// Where each top-level panel (by its resource number) was when last hidden.
std::map<int, QPoint> g_places;

ScreenRect ToScreenRect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

QRect GlobalRect(const QWidget* w) { return {w->mapToGlobal(QPoint(0, 0)), w->size()}; }

bool Offscreen() { return QGuiApplication::platformName() == QLatin1String("offscreen"); }

// The program's main window: the first top-level panel loaded that is still there.
Panel* MainPanel() {
  for (Panel* p : LoadedPanels())
    if (p->parent == 0 && p->widget) return p;
  return nullptr;
}

QMargins MarginsOf(const QWidget* window) {
  const QRect f = window->frameGeometry(), g = window->geometry();
  return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
}

// The window manager's frame around `window`: its own once it has been shown,
// else that of another window shown (all get the same), else none.
QMargins FrameMargins(const QWidget* window) {
  if (window->isVisible()) return MarginsOf(window);
  for (Panel* p : LoadedPanels())
    if (p->parent == 0 && p->widget && PanelWindow(*p)->isVisible())
      return MarginsOf(PanelWindow(*p));
  return {};
}

QRect AvailableArea(const QWidget* window) {
  const Panel* main = MainPanel();
  const QScreen* screen = main ? PanelWindow(*main)->screen() : window->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

// Moves `window` (frame position `at`, frame size `frame`) so that as much of
// it as fits lies on the available area, its top left corner first.
void MoveOnto(QWidget* window, QPoint at, QSize frame, const QRect& avail) {
  const int x =
      std::max(avail.left(), std::min(at.x(), avail.left() + avail.width() - frame.width()));
  const int y =
      std::max(avail.top(), std::min(at.y(), avail.top() + avail.height() - frame.height()));
  window->move(x, y);
}

// Gives the panel a scroll area of the screen's size when it does not fit.
void FitToScreen(Panel& p) {
  QWidget* w = p.widget;
  QWidget* window = PanelWindow(p);
  const QRect avail = AvailableArea(window);
  if (avail.isEmpty()) return;
  const QMargins m = FrameMargins(window);
  const int bar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const WindowFit fit =
      FitWindow(avail.width() - m.left() - m.right(), avail.height() - m.top() - m.bottom(),
                w->width(), w->height(), bar);
  auto* area = qobject_cast<QScrollArea*>(window == w ? nullptr : window);
  if (!fit.scroll && !area) return;  // it fits: nothing changes
  if (!area) {
    const QPoint at = w->pos();
    area = new QScrollArea;
    area->setFrameShape(QFrame::NoFrame);
    area->setWindowTitle(w->windowTitle());
    area->setWindowIcon(w->windowIcon());
    area->setWidget(w);  // at its own size
    area->move(at);
    RouteWindowClose(area, p.handle);
    // Once laid out, it starts scrolled so that what must stay in sight (the
    // status line) is in view; the header band goes out of view first.
    const int handle = p.handle;
    QTimer::singleShot(0, area, [handle, area]() {
      if (Panel* q = FindPanel(handle))
        for (const auto& [id, c] : q->controls)
          if (c.widget && c.widget->property("keepClear").toBool())
            area->ensureWidgetVisible(c.widget, 0, 0);
    });
  }
  area->resize(fit.width, fit.height);
  MoveOnto(area, area->pos(), area->size().grownBy(m), avail);
}

// Chooses where a further window opens: where it was before, else beside or
// over the main window.
void PlaceOnScreen(Panel& p) {
  QWidget* window = PanelWindow(p);
  const QRect avail = AvailableArea(window);
  const QSize frame = window->size().grownBy(FrameMargins(window));
  const auto known = g_places.find(p.resourceId);
  if (known != g_places.end()) {
    MoveOnto(window, known->second, frame, avail);
    return;
  }
  Panel* main = MainPanel();
  if (!main || main == &p || !PanelWindow(*main)->isVisible()) return;  // as the panel file has it
  std::vector<ScreenRect> keepClear, open;
  for (Panel* q : LoadedPanels()) {
    if (!q->widget || q == &p || q == main) continue;
    if (q->parent == main->handle)
      keepClear.push_back(ToScreenRect(GlobalRect(q->widget)));
    else if (q->parent == 0 && PanelWindow(*q)->isVisible())
      open.push_back(ToScreenRect(PanelWindow(*q)->frameGeometry()));
  }
  for (const auto& [id, c] : main->controls)
    if (c.widget && c.widget->property("keepClear").toBool())
      keepClear.push_back(ToScreenRect(GlobalRect(c.widget)));
  const ScreenPoint at =
      PlaceWindow(ToScreenRect(avail), ToScreenRect(PanelWindow(*main)->frameGeometry()), keepClear,
                  frame.width(), frame.height(), open);
  window->move(at.x, at.y);
}

// ---- The history window -------------------------------------------------------

// A list that closes on a click outside it, or on the button that opened it
// (without opening again at once).
class HistoryPopup : public QFrame {
 public:
  HistoryPopup(QWidget* anchor, int panel, int control)
      : QFrame(anchor->window(), Qt::Popup), anchor_(anchor), panel_(panel), control_(control) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameShape(QFrame::Box);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    title_ = new QLabel(this);
    list_ = new QPlainTextEdit(this);
    list_->setReadOnly(true);
    list_->setLineWrapMode(QPlainTextEdit::NoWrap);
    list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(title_);
    layout->addWidget(list_);
  }
  bool Shows(int panel, int control) const { return panel == panel_ && control == control_; }
  void SetTitle(const QString& t) { title_->setText(t); }
  void Fill(const TextHistory& h) {
    QStringList lines;
    for (size_t i = 0; i < h.size(); ++i)
      lines << QString::fromStdString(h.at(i).time) + QLatin1String("  ") +
                   QString::fromStdString(h.at(i).text);
    list_->setPlainText(lines.join(QLatin1Char('\n')));
  }
  QString Text() const { return list_->toPlainText(); }
  // Room for `n` lines; a longer list scrolls.
  void ShowLines(int n) {
    const int margins = 2 * list_->frameWidth() + 2 * int(list_->document()->documentMargin());
    list_->setFixedHeight(n * list_->fontMetrics().lineSpacing() + margins + 4);
  }

 protected:
  void mousePressEvent(QMouseEvent* e) override {
    if (anchor_ && GlobalRect(anchor_).contains(e->globalPosition().toPoint()))
      setAttribute(Qt::WA_NoMouseReplay);
    QFrame::mousePressEvent(e);
  }

 private:
  QPointer<QWidget> anchor_;
  int panel_, control_;
  QLabel* title_;
  QPlainTextEdit* list_;
};

QPointer<HistoryPopup> g_popup;

constexpr int kHistoryWidth = 620;
constexpr int kHistoryLinesShown = 20;

}  // namespace

QWidget* PanelWindow(const Panel& p) { return p.widget ? p.widget->window() : nullptr; }

void PrepareWindow(Panel& p) {
  if (!p.widget || p.parent != 0 || PanelWindow(p)->isVisible()) return;
  FitToScreen(p);
  if (&p != MainPanel()) PlaceOnScreen(p);
  // The window manager's frame is known once the window is up: fit again with it.
  if (!Offscreen() && !p.widget->property("tarvoFitted").toBool()) {
    p.widget->setProperty("tarvoFitted", true);
    const int handle = p.handle;
    QTimer::singleShot(300, PanelWindow(p), [handle]() {
      Panel* q = FindPanel(handle);
      if (q && q->widget && PanelWindow(*q)->isVisible()) FitToScreen(*q);
    });
  }
}

void RememberWindowPlace(const Panel& p, bool discarding) {
  if (p.parent != 0 || !p.widget) return;
  if (&p == MainPanel()) {
    if (discarding) g_places.clear();  // the run is over
    return;
  }
  if (PanelWindow(p)->isVisible()) g_places[p.resourceId] = PanelWindow(p)->pos();
}

void SetUpTextHistory(Control& c) {
  bool ok = false;
  const int n = c.widget->property("history").toInt(&ok);
  if (ok && n > 0)
    c.history = std::make_shared<TextHistory>(static_cast<size_t>(std::min(n, 1000)));
}

void NoteControlText(Control& c, const QString& text) {
  if (!c.history) return;
  const std::string time =
      QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")).toStdString();
  if (c.history->Add(time, text.toStdString()) && g_popup && g_popup->Shows(c.panel, c.id))
    g_popup->Fill(*c.history);
}

}  // namespace tarvo_ui

using namespace tarvo_ui;

int ShowTextHistory(int panel, int control, int anchorControl, const char* title) {
  if (!FindPanel(panel)) return kErrPanel;
  Control* c = FindControl(panel, control);
  QWidget* anchor = CtrlWidget(panel, anchorControl);
  if (!c || !c->history || !anchor) return kErrControl;
  if (g_popup && g_popup->isVisible()) {  // shown already: the second call closes it
    g_popup->close();
    return 0;
  }
  auto* popup = new HistoryPopup(anchor, panel, control);
  g_popup = popup;
  popup->SetTitle(QString::fromUtf8(title ? title : ""));
  popup->Fill(*c->history);
  popup->ShowLines(std::clamp(static_cast<int>(c->history->size()), 4, kHistoryLinesShown));
  popup->resize(kHistoryWidth, popup->sizeHint().height());
  // Above the button, right edges in line; below it when there is no room above.
  const QRect a = GlobalRect(anchor);
  const QRect avail = AvailableArea(anchor->window());
  QPoint at(a.right() + 1 - popup->width(), a.top() - 4 - popup->height());
  if (at.y() < avail.top()) at.setY(a.bottom() + 4);
  MoveOnto(popup, at, popup->size(), avail);
  popup->show();
  return 0;
}

std::string ShownTextHistory() {
  return g_popup && g_popup->isVisible() ? g_popup->Text().toStdString() : std::string();
}
