// Panels: loading a numbered panel from the panel file, the registry of panels
// and controls, and the translation of Qt signals and mouse/close events into
// the event codes the control and panel callbacks receive.
#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDomDocument>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QUiLoader>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>
#include <vector>

#include "platform/data_chart.h"
#include "platform/graph_widget.h"
#include "platform/panel_registry.h"
#include "platform/serial.h"
#include "platform/strip_chart.h"

namespace tarvo_ui {
namespace {

std::map<int, std::unique_ptr<Panel>> g_panels;
int g_nextHandle = 1;

const CallbackEntry* g_table = nullptr;
size_t g_tableSize = 0;

int g_depth = 0;                        // callbacks running
std::vector<QPointer<QWidget>> g_dead;  // discarded while a callback ran

// Deletes the widgets of panels discarded inside callbacks. Runs once no
// callback is on the stack any more, from the next event processing, so no Qt
// handler of those widgets is still running when they go.
void FlushDeadWidgets() {
  if (g_dead.empty() || g_depth > 0) return;
  std::vector<QPointer<QWidget>> dead;
  dead.swap(g_dead);
  QTimer::singleShot(0, QCoreApplication::instance(), [dead]() {
    for (const auto& w : dead) delete w.data();
  });
}

struct DepthGuard {
  DepthGuard() { ++g_depth; }
  ~DepthGuard() {
    if (--g_depth == 0) FlushDeadWidgets();
  }
};

CtrlCallbackPtr FindCtrlCallback(const QString& name) {
  if (name.isEmpty()) return nullptr;
  const QByteArray n = name.toUtf8();
  for (size_t i = 0; i < g_tableSize; ++i)
    if (g_table[i].name && g_table[i].control && n == g_table[i].name) return g_table[i].control;
  if (g_table) std::fprintf(stderr, "panel file: no control callback named %s\n", n.constData());
  return nullptr;
}

PanelCallbackPtr FindPanelCallback(const QString& name) {
  if (name.isEmpty()) return nullptr;
  const QByteArray n = name.toUtf8();
  for (size_t i = 0; i < g_tableSize; ++i)
    if (g_table[i].name && g_table[i].panel && n == g_table[i].name) return g_table[i].panel;
  if (g_table) std::fprintf(stderr, "panel file: no panel callback named %s\n", n.constData());
  return nullptr;
}

// ---- Finding and extracting a panel from the panel file --------------------

// Reads and parses the panel file. The program loads several panels from the
// same file in a row: the parsed file is kept while it stays unchanged.
int ReadPanelFile(const QString& path, QDomDocument* doc) {
  static QString cachedPath;
  static QDateTime cachedTime;
  static qint64 cachedSize = -1;
  static QDomDocument cached;
  const QFileInfo info(path);
  if (path == cachedPath && info.lastModified() == cachedTime && info.size() == cachedSize) {
    *doc = cached;
    return 0;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return kLoadNoFile;
  QDomDocument parsed;
  if (!parsed.setContent(&file) || parsed.documentElement().tagName() != QLatin1String("ui"))
    return kLoadBadFile;
  cachedPath = path;
  cachedTime = info.lastModified();
  cachedSize = info.size();
  cached = parsed;
  *doc = parsed;
  return 0;
}

// The <property name="..."> element directly under a widget element.
QDomElement DirectProperty(const QDomElement& widget, const QString& name) {
  for (QDomElement p = widget.firstChildElement("property"); !p.isNull();
       p = p.nextSiblingElement("property"))
    if (p.attribute("name") == name) return p;
  return {};
}

QString PropertyText(const QDomElement& widget, const QString& name) {
  QDomElement p = DirectProperty(widget, name);
  return p.isNull() ? QString() : p.firstChildElement().text().trimmed();
}

QDomElement FindPanelElement(const QDomDocument& doc, int panelId) {
  const QDomNodeList widgets = doc.elementsByTagName("widget");
  for (int i = 0; i < widgets.size(); ++i) {
    QDomElement w = widgets.at(i).toElement();
    bool ok = false;
    const int id = PropertyText(w, "panelId").toInt(&ok);
    if (ok && id == panelId) return w;
  }
  return {};
}

// A panel-file document holding only one panel (and the custom widget
// declarations), so that only that panel is built.
QByteArray SinglePanelDocument(const QDomDocument& doc, const QDomElement& panel) {
  QDomDocument out;
  QDomElement ui = out.createElement("ui");
  ui.setAttribute("version", "4.0");
  out.appendChild(ui);
  QDomElement cls = out.createElement("class");
  cls.appendChild(out.createTextNode(panel.attribute("name")));
  ui.appendChild(cls);
  ui.appendChild(out.importNode(panel, true));
  QDomElement custom = doc.documentElement().firstChildElement("customwidgets");
  if (!custom.isNull()) ui.appendChild(out.importNode(custom, true));
  return out.toByteArray();
}

class PanelLoader : public QUiLoader {
 public:
  QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
    QWidget* w = nullptr;
    if (className == QLatin1String("TarvoGraph"))
      w = new TarvoGraph(parent);
    else if (className == QLatin1String("TarvoStripChart"))
      w = new TarvoStripChart(parent);
    else if (className == QLatin1String("TarvoDataChart"))
      w = new TarvoDataChart(parent);
    else
      return QUiLoader::createWidget(className, parent, name);
    w->setObjectName(name);
    return w;
  }
};

// ---- Events ------------------------------------------------------------------

const char* const kPanelProp = "tarvoPanel";
const char* const kCtrlProp = "tarvoCtrl";

// Turns mouse presses on controls into left/right click events, and the close
// of a panel window into the panel's close event.
class EventRouter : public QObject {
 public:
  bool eventFilter(QObject* obj, QEvent* e) override {
    const QEvent::Type t = e->type();
    if (t == QEvent::MouseButtonPress) return MousePress(obj, static_cast<QMouseEvent*>(e));
    if (t == QEvent::Close) return Close(obj, e);
    return false;
  }

 private:
  bool MousePress(QObject* obj, QMouseEvent* me) {
    const int event = me->button() == Qt::LeftButton    ? EVENT_LEFT_CLICK
                      : me->button() == Qt::RightButton ? EVENT_RIGHT_CLICK
                                                        : 0;
    if (!event) return false;
    auto* w = static_cast<QWidget*>(obj);
    const int panel = w->property(kPanelProp).toInt();
    const int ctrl = w->property(kCtrlProp).toInt();
    Control* c = FindControl(panel, ctrl);
    if (!c || !c->widget) return false;
    // A press on a part of a composite control (the edit field of a spin box,
    // the viewport of a text box) counts for the control. A part that is
    // disabled passes the press on to the control itself, which reports it then.
    if (w != c->widget && !w->isEnabled()) return false;
    // The same press handed on from a part to the control: report it once.
    const auto key = std::make_tuple(me->timestamp(), int(me->button()), me->globalPosition());
    if (me->timestamp() != 0 && key == lastKey_) return false;
    lastKey_ = key;
    QWidget* pw = PanelWidget(panel);
    QPoint p = pw ? w->mapTo(pw, me->position().toPoint()) : me->position().toPoint();
    QPointer<QObject> guard(obj);
    CallCtrlCallback(panel, ctrl, event, p.y(), p.x());
    return false;
  }

  bool Close(QObject* obj, QEvent* e) {
    auto* w = static_cast<QWidget*>(obj);
    if (!w->isWindow()) return false;
    const int panel = w->property(kPanelProp).toInt();
    Panel* p = FindPanel(panel);
    if (!p || !p->widget || PanelWindow(*p) != w) return false;
    // The program decides what a close does (hide, quit): the window stays.
    e->ignore();
    if (p->callback) {
      CallPanelCallback(panel, EVENT_CLOSE);
    } else {
      RememberWindowPlace(*p);
      w->hide();
    }
    return true;
  }

  std::tuple<quint64, int, QPointF> lastKey_{0, 0, QPointF()};
};

EventRouter* Router() {
  static EventRouter* r = new EventRouter;
  return r;
}

// Fires `first` and then, if the control is still there, `second`.
void Fire2(int panel, int ctrl, int first, int second) {
  CallCtrlCallback(panel, ctrl, first);
  if (FindControl(panel, ctrl)) CallCtrlCallback(panel, ctrl, second);
}

Kind KindOf(QWidget* w) {
  if (qobject_cast<TarvoGraph*>(w)) return Kind::kGraph;
  if (qobject_cast<TarvoStripChart*>(w)) return Kind::kStrip;
  if (qobject_cast<TarvoDataChart*>(w)) return Kind::kDataChart;
  if (qobject_cast<QRadioButton*>(w)) return Kind::kRadio;
  if (auto* b = qobject_cast<QAbstractButton*>(w))
    return b->isCheckable() ? Kind::kToggle : Kind::kButton;
  if (qobject_cast<QDoubleSpinBox*>(w)) return Kind::kDoubleSpin;
  if (qobject_cast<QSpinBox*>(w)) return Kind::kSpin;
  if (qobject_cast<QComboBox*>(w))
    return w->property("portList").toBool() ? Kind::kPortList : Kind::kRing;
  if (qobject_cast<QAbstractSlider*>(w)) return Kind::kSlider;
  if (qobject_cast<QPlainTextEdit*>(w)) return Kind::kTextBox;
  if (qobject_cast<QLineEdit*>(w)) return Kind::kLineEdit;
  if (qobject_cast<QLabel*>(w)) return Kind::kLabel;
  if (qobject_cast<QFrame*>(w)) return Kind::kDeco;
  return Kind::kOther;
}

// Marks a widget and its parts as belonging to a control, and routes their
// mouse presses.
void RouteMouse(QWidget* w, int panel, int ctrl) {
  std::vector<QWidget*> parts{w};
  for (QWidget* child : w->findChildren<QWidget*>()) parts.push_back(child);
  for (QWidget* part : parts) {
    if (part->isWindow()) continue;
    part->setProperty(kPanelProp, panel);
    part->setProperty(kCtrlProp, ctrl);
    // A right click is a help request here, not a context menu.
    part->setContextMenuPolicy(Qt::PreventContextMenu);
    part->installEventFilter(Router());
  }
}

void ConnectSignals(Control& c) {
  const int panel = c.panel;
  const int ctrl = c.id;
  QWidget* w = c.widget;
  switch (c.kind) {
    case Kind::kButton:
      QObject::connect(static_cast<QAbstractButton*>(w), &QAbstractButton::clicked, w,
                       [panel, ctrl]() { CallCtrlCallback(panel, ctrl, EVENT_COMMIT); });
      break;
    case Kind::kToggle:
    case Kind::kRadio:
      QObject::connect(static_cast<QAbstractButton*>(w), &QAbstractButton::clicked, w,
                       [panel, ctrl]() { Fire2(panel, ctrl, EVENT_VAL_CHANGED, EVENT_COMMIT); });
      break;
    case Kind::kSpin: {
      auto* s = static_cast<QSpinBox*>(w);
      // Typed values count once they are entered (Enter, leaving the field);
      // the arrows commit every step.
      s->setKeyboardTracking(false);
      QObject::connect(s, &QSpinBox::valueChanged, w,
                       [panel, ctrl]() { Fire2(panel, ctrl, EVENT_VAL_CHANGED, EVENT_COMMIT); });
      break;
    }
    case Kind::kDoubleSpin: {
      auto* s = static_cast<QDoubleSpinBox*>(w);
      s->setKeyboardTracking(false);
      QObject::connect(s, &QDoubleSpinBox::valueChanged, w,
                       [panel, ctrl]() { Fire2(panel, ctrl, EVENT_VAL_CHANGED, EVENT_COMMIT); });
      break;
    }
    case Kind::kSlider: {
      auto* s = static_cast<QAbstractSlider*>(w);
      QPointer<QAbstractSlider> guard(s);
      QObject::connect(s, &QAbstractSlider::valueChanged, w, [panel, ctrl, guard]() {
        CallCtrlCallback(panel, ctrl, EVENT_VAL_CHANGED);
        // Keyboard and page steps are complete at once; a drag on release.
        if (guard && !guard->isSliderDown() && FindControl(panel, ctrl))
          CallCtrlCallback(panel, ctrl, EVENT_COMMIT);
      });
      QObject::connect(s, &QAbstractSlider::sliderReleased, w,
                       [panel, ctrl]() { CallCtrlCallback(panel, ctrl, EVENT_COMMIT); });
      break;
    }
    case Kind::kRing:
    case Kind::kPortList:
      QObject::connect(static_cast<QComboBox*>(w), &QComboBox::activated, w,
                       [panel, ctrl]() { Fire2(panel, ctrl, EVENT_VAL_CHANGED, EVENT_COMMIT); });
      break;
    case Kind::kLineEdit: {
      auto* e = static_cast<QLineEdit*>(w);
      QPointer<QLineEdit> guard(e);
      QObject::connect(e, &QLineEdit::editingFinished, w, [panel, ctrl, guard]() {
        if (!guard || guard->isReadOnly() || !guard->isModified()) return;
        guard->setModified(false);
        Fire2(panel, ctrl, EVENT_VAL_CHANGED, EVENT_COMMIT);
      });
      break;
    }
    case Kind::kDataChart:
      QObject::connect(static_cast<TarvoDataChart*>(w), &TarvoDataChart::viewChanged, w,
                       [panel, ctrl]() { CallCtrlCallback(panel, ctrl, EVENT_VAL_CHANGED); });
      break;
    default:
      break;
  }
}

void RegisterControl(Panel& p, QWidget* w, int id) {
  Control c;
  c.panel = p.handle;
  c.id = id;
  c.widget = w;
  c.kind = KindOf(w);
  c.callback = FindCtrlCallback(w->property("callback").toString());
  c.precision = std::clamp(w->property("precision").toInt(), 0, 15);
  if (c.kind == Kind::kPortList) SetUpPortList(static_cast<QComboBox*>(w));
  if (auto* g = qobject_cast<TarvoGraph*>(w)) g->configureFromProperties();
  if (auto* s = qobject_cast<TarvoStripChart*>(w)) s->configureFromProperties();
  if (auto* d = qobject_cast<TarvoDataChart*>(w)) d->configureFromProperties();
  if (w->property("startHidden").toBool()) w->hide();
  auto& slot = p.controls[id] = c;
  ConnectSignals(slot);
  RouteMouse(w, p.handle, id);
  SetUpTextHistory(slot);
}

void CollectPanels(int handle, std::vector<int>* out) {
  out->push_back(handle);
  for (const auto& [h, p] : g_panels)
    if (p->parent == handle) CollectPanels(h, out);
}

}  // namespace

// ---- Registry ----------------------------------------------------------------

Panel* FindPanel(int handle) {
  auto it = g_panels.find(handle);
  return it == g_panels.end() ? nullptr : it->second.get();
}

Control* FindControl(int panel, int control) {
  Panel* p = FindPanel(panel);
  if (!p) return nullptr;
  auto it = p->controls.find(control);
  return it == p->controls.end() ? nullptr : &it->second;
}

QWidget* PanelWidget(int panel) {
  Panel* p = FindPanel(panel);
  return p ? p->widget.data() : nullptr;
}

QWidget* CtrlWidget(int panel, int control) {
  Control* c = FindControl(panel, control);
  return c ? c->widget.data() : nullptr;
}

int CallCtrlCallback(int panel, int control, int event, int data1, int data2) {
  if (!FindPanel(panel)) return kErrPanel;
  Control* c = FindControl(panel, control);
  if (!c) return kErrControl;
  CtrlCallbackPtr fn = c->callback;
  if (!fn) return 0;
  DepthGuard guard;
  return fn(panel, control, event, nullptr, data1, data2);
}

int CallPanelCallback(int panel, int event, int data1, int data2) {
  Panel* p = FindPanel(panel);
  if (!p) return kErrPanel;
  PanelCallbackPtr fn = p->callback;
  if (!fn) return 0;
  DepthGuard guard;
  return fn(panel, event, nullptr, data1, data2);
}

int CallbackDepth() { return g_depth; }

std::vector<Panel*> LoadedPanels() {
  std::vector<Panel*> all;
  for (const auto& [h, p] : g_panels) all.push_back(p.get());
  return all;
}

void RouteWindowClose(QWidget* window, int panel) {
  window->setProperty(kPanelProp, panel);
  window->installEventFilter(Router());
}

bool PanelShown(int panel) {
  for (int guard = 0; guard < 64; ++guard) {
    Panel* p = FindPanel(panel);
    if (!p || !p->widget) return false;
    QWidget* w = p->widget;
    if (p->parent == 0) return w->isVisible();
    if (w->isHidden()) return false;
    panel = p->parent;
  }
  return false;
}

void DiscardAllPanels() {
  std::vector<int> tops;
  for (const auto& [h, p] : g_panels)
    if (p->parent == 0 || !FindPanel(p->parent)) tops.push_back(h);
  for (int h : tops) DiscardPanel(h);
}

// The panel file and the logo: as given (relative to the working directory),
// beside the executable, then in the share folder of the installation
// (<prefix>/share/tarvo-scope with the executable in <prefix>/bin).
QString FindProgramFile(const char* fileName) {
  const QString name = QString::fromLocal8Bit(fileName ? fileName : "");
  if (name.isEmpty()) return {};
  QFileInfo direct(name);
  if (direct.isFile()) return direct.absoluteFilePath();
  if (direct.isAbsolute()) return {};
  const QDir exeDir(QCoreApplication::applicationDirPath());
  for (const QString& dir : {exeDir.path(), exeDir.filePath("../share/tarvo-scope")}) {
    QFileInfo candidate(QDir(dir).filePath(name));
    if (candidate.isFile()) return candidate.absoluteFilePath();
  }
  return {};
}

}  // namespace tarvo_ui

using namespace tarvo_ui;

void RegisterCallbacks(const CallbackEntry* table, size_t count) {
  g_table = table;
  g_tableSize = table ? count : 0;
}

int LoadPanel(int parentPanel, const char* fileName, int panelResourceId) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return kErrNoApplication;
  QWidget* parentWidget = nullptr;
  if (parentPanel != 0) {
    parentWidget = PanelWidget(parentPanel);
    if (!parentWidget) return kErrPanel;
  }
  const QString path = FindProgramFile(fileName);
  if (path.isEmpty()) return kLoadNoFile;
  QDomDocument doc;
  if (const int r = ReadPanelFile(path, &doc); r < 0) return r;
  const QDomElement panelElem = FindPanelElement(doc, panelResourceId);
  if (panelElem.isNull()) return kLoadNoPanel;

  QByteArray single = SinglePanelDocument(doc, panelElem);
  QBuffer buffer(&single);
  buffer.open(QIODevice::ReadOnly);
  static PanelLoader* loader = new PanelLoader;
  QWidget* w = loader->load(&buffer, parentWidget);
  if (!w) {
    std::fprintf(stderr, "panel file %s: panel %d: %s\n", qPrintable(path), panelResourceId,
                 qPrintable(loader->errorString()));
    return kLoadBadFile;
  }

  auto panel = std::make_unique<Panel>();
  Panel& p = *panel;
  p.handle = g_nextHandle++;
  p.parent = parentPanel;
  p.resourceId = panelResourceId;
  p.widget = w;
  p.callback = FindPanelCallback(w->property("callback").toString());
  g_panels[p.handle] = std::move(panel);

  // The loader applies only the size of a panel; its place comes from the file.
  QDomElement rect = DirectProperty(panelElem, "geometry").firstChildElement("rect");
  const int x = rect.firstChildElement("x").text().toInt();
  const int y = rect.firstChildElement("y").text().toInt();
  w->setProperty(kPanelProp, p.handle);
  if (parentWidget) {
    // Child panels share an area of their parent; each covers what lies beneath.
    w->setAutoFillBackground(true);
    w->move(x, y);
    w->hide();
  } else {
    w->move(x, y);
    w->installEventFilter(Router());
  }

  for (QWidget* c : w->findChildren<QWidget*>()) {
    bool ok = false;
    const int id = c->property("ctrlId").toInt(&ok);
    if (ok && id > 0) RegisterControl(p, c, id);
  }
  return p.handle;
}

int DisplayPanel(int panel) {
  Panel* p = FindPanel(panel);
  if (!p || !p->widget) return kErrPanel;
  QWidget* w = p->widget;
  if (p->parent == 0) PrepareWindow(*p);
  w->show();
  QWidget* window = p->parent == 0 ? PanelWindow(*p) : w;
  window->show();
  // Window stacking means nothing without a window system (tests, benchmarks).
  if (p->parent != 0 || QGuiApplication::platformName() != QLatin1String("offscreen"))
    window->raise();
  return 0;
}

int HidePanel(int panel) {
  Panel* p = FindPanel(panel);
  if (!p || !p->widget) return kErrPanel;
  if (p->parent == 0) {
    RememberWindowPlace(*p);
    PanelWindow(*p)->hide();
  } else {
    p->widget->hide();
  }
  return 0;
}

int DiscardPanel(int panel) {
  Panel* p = FindPanel(panel);
  if (!p) return kErrPanel;
  if (p->parent == 0 && p->widget) RememberWindowPlace(*p, true);
  // A top-level panel goes with the window that holds it.
  QPointer<QWidget> w = p->parent == 0 && p->widget ? PanelWindow(*p) : p->widget.data();
  // The panel's child panels go with it.
  std::vector<int> handles;
  CollectPanels(panel, &handles);
  for (int h : handles) g_panels.erase(h);
  if (!w) return 0;
  w->hide();
  if (g_depth == 0) {
    delete w.data();
  } else {
    // A callback is running, perhaps a Qt handler of this very panel below it:
    // the widgets go once every callback has returned.
    g_dead.push_back(w);
  }
  return 0;
}

bool tarvo_ui::SetPlacementAttribute(QWidget* w, int attribute, int value, int minSize) {
  switch (attribute) {
    case ATTR_LEFT:
      w->move(value, w->y());
      return true;
    case ATTR_TOP:
      w->move(w->x(), value);
      return true;
    case ATTR_WIDTH:
      w->resize(std::max(minSize, value), w->height());
      return true;
    case ATTR_HEIGHT:
      w->resize(w->width(), std::max(minSize, value));
      return true;
    case ATTR_VISIBLE:
      w->setVisible(value != 0);
      return true;
    case ATTR_DIMMED:
      w->setEnabled(value == 0);
      return true;
    default:
      return false;
  }
}

bool tarvo_ui::GetPlacementAttribute(const QWidget* w, int attribute, int* value) {
  switch (attribute) {
    case ATTR_LEFT:
      *value = w->x();
      return true;
    case ATTR_TOP:
      *value = w->y();
      return true;
    case ATTR_WIDTH:
      *value = w->width();
      return true;
    case ATTR_HEIGHT:
      *value = w->height();
      return true;
    default:
      return false;
  }
}

int SetPanelAttribute(int panel, int attribute, int value) {
  Panel* p = FindPanel(panel);
  if (!p || !p->widget) return kErrPanel;
  if (p->parent == 0) {
    // A window is shown and placed as a whole (with the scroll area holding it).
    if (attribute == ATTR_VISIBLE) return value ? DisplayPanel(panel) : HidePanel(panel);
    if (attribute == ATTR_LEFT || attribute == ATTR_TOP)
      return tarvo_ui::SetPlacementAttribute(PanelWindow(*p), attribute, value, 1) ? 0
                                                                                   : kErrAttribute;
  }
  return tarvo_ui::SetPlacementAttribute(p->widget, attribute, value, 1) ? 0 : kErrAttribute;
}

int GetPanelAttribute(int panel, int attribute, int* value) {
  Panel* p = FindPanel(panel);
  if (!p || !p->widget) return kErrPanel;
  if (!value) return kErrValue;
  QWidget* w = p->widget;
  const bool place = attribute == ATTR_LEFT || attribute == ATTR_TOP;
  if (tarvo_ui::GetPlacementAttribute(p->parent == 0 && place ? PanelWindow(*p) : w, attribute,
                                      value))
    return 0;
  switch (attribute) {
    case ATTR_VISIBLE:
      *value = p->parent == 0 ? w->isVisible() : !w->isHidden();
      return 0;
    case ATTR_DIMMED:
      *value = w->testAttribute(Qt::WA_ForceDisabled) ? 1 : 0;
      return 0;
    default:
      return kErrAttribute;
  }
}
