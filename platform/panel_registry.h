// The registry of loaded panels and their controls, shared by the panel,
// control, graph and test-hook services of the platform layer. Internal to
// platform/: it uses Qt types.
#pragma once
#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>
#include <vector>

#include "platform/text_history.h"
#include "platform/ui.h"

class QComboBox;

namespace tarvo_ui {

// Results of the panel and control services besides the LoadPanel ones.
constexpr int kLoadNoFile = -1;        // panel file not found / unreadable
constexpr int kLoadBadFile = -2;       // not a panel file, or the panel failed to build
constexpr int kLoadNoPanel = -3;       // no panel with that resource number
constexpr int kErrNoApplication = -4;  // InitCVIRTE has not run
constexpr int kErrPanel = -10;         // not a valid panel handle
constexpr int kErrControl = -11;       // no such control on the panel
constexpr int kErrControlType = -12;   // the operation does not apply to this kind of control
constexpr int kErrAttribute = -13;     // unknown attribute for this control
constexpr int kErrValue = -14;         // value out of range or not a number
constexpr int kErrFile = -15;          // image file missing or unreadable

// The kinds of control the panel file uses, by widget class (see LoadPanel).
enum class Kind {
  kButton,      // QPushButton
  kToggle,      // QPushButton, checkable
  kRadio,       // QRadioButton
  kSpin,        // QSpinBox
  kDoubleSpin,  // QDoubleSpinBox
  kLineEdit,    // QLineEdit: numeric display (precision) or status line
  kRing,        // QComboBox: value = item index
  kPortList,    // QComboBox with portList: value = port number
  kSlider,      // QSlider
  kTextBox,     // QPlainTextEdit
  kLabel,       // QLabel: text message or picture
  kDeco,        // QFrame
  kGraph,       // TarvoGraph
  kStrip,       // TarvoStripChart
  kDataChart,   // TarvoDataChart
  kOther,
};

struct Control {
  int panel = 0;
  int id = 0;
  Kind kind = Kind::kOther;
  QPointer<QWidget> widget;
  CtrlCallbackPtr callback = nullptr;
  int precision = 0;      // digits after the point of a numeric display
  bool autoSize = false;  // text messages made by NewCtrl follow their text
  // Colours set at run time (0xRRGGBB), -1 = as the panel file has them.
  int textColor = -1;
  int textBgColor = -1;
  int frameColor = -1;
  // The texts it showed, when the panel file asks for a history ("history" = N).
  std::shared_ptr<TextHistory> history;
};

struct Panel {
  int handle = 0;
  int parent = 0;  // 0 = top-level window
  int resourceId = 0;
  QPointer<QWidget> widget;
  PanelCallbackPtr callback = nullptr;
  std::map<int, Control> controls;
  int nextNewCtrl = 1000;  // numbers of controls made by NewCtrl
};

// Lookups; nullptr when the handle or number is unknown. Pointers stay valid
// until the panel is discarded; never keep one across a callback.
Panel* FindPanel(int handle);
Control* FindControl(int panel, int control);
QWidget* PanelWidget(int panel);
QWidget* CtrlWidget(int panel, int control);
template <class W>
W* CtrlAs(int panel, int control) {
  return qobject_cast<W*>(CtrlWidget(panel, control));
}
// The same, with the reason when there is none: kErrPanel, kErrControl, or
// kErrControlType when the control is of another kind.
template <class W>
W* FindCtrlAs(int panel, int control, int* err) {
  if (!FindPanel(panel)) {
    *err = kErrPanel;
    return nullptr;
  }
  QWidget* w = CtrlWidget(panel, control);
  if (!w) {
    *err = kErrControl;
    return nullptr;
  }
  W* g = qobject_cast<W*>(w);
  if (!g) *err = kErrControlType;
  return g;
}

// Calls the callback the panel file names for the control / panel (0 when it
// has none, kErrPanel/kErrControl when unknown). Safe under re-entrancy: a
// callback may process events, run further callbacks, or discard the panel.
int CallCtrlCallback(int panel, int control, int event, int data1 = 0, int data2 = 0);
int CallPanelCallback(int panel, int event, int data1 = 0, int data2 = 0);
// Number of callbacks currently running (nested).
int CallbackDepth();

// Whether the panel is shown: its own state and that of its parent panels.
bool PanelShown(int panel);

// Discards every panel (shutdown).
void DiscardAllPanels();
// Position, size, visibility and dimming, shared by panels and controls.
// Returns true when `attribute` is one of those (and applies it).
bool SetPlacementAttribute(QWidget* w, int attribute, int value, int minSize);
// Reads position or size; returns true when `attribute` is one of those.
bool GetPlacementAttribute(const QWidget* w, int attribute, int* value);

// Full path of a file the program ships (panel file, logo), empty when not found.
QString FindProgramFile(const char* fileName);

// ---- Top-level windows and text histories (windows.cpp) ----------------------
// The window that shows a top-level panel: the panel itself, or the scroll
// area that holds it on a screen too small for it.
QWidget* PanelWindow(const Panel& p);
// Before a top-level panel is shown: fits it to the screen and, for every
// window but the main one, chooses where it opens.
void PrepareWindow(Panel& p);
// When a top-level panel is hidden or discarded: keeps its place for the run
// (the run ends when the main window is discarded).
void RememberWindowPlace(const Panel& p, bool discarding = false);
// Every panel loaded, in the order of their handles.
std::vector<Panel*> LoadedPanels();
// Turns on the history of a control whose panel file property "history" asks for one.
void SetUpTextHistory(Control& c);
// Notes a text written to a control (only one with a history keeps it).
void NoteControlText(Control& c, const QString& text);
// Routes the close of `window` (a scroll area holding a panel) to that panel.
void RouteWindowClose(QWidget* window, int panel);

// ---- The port drop-down (port_list.cpp) -------------------------------------
// The entry text of a port the machine does not list (any more).
QString PortLabel(int port);
// Fills a port drop-down and keeps it current: it is listed again when it is
// about to open and whenever the device directory changes (once it has
// settled, while no callback runs), keeping its selection.
void SetUpPortList(QComboBox* box);
// Lists every port drop-down again now; 1 when one of them changed.
int RefreshPortLists();

}  // namespace tarvo_ui
