// The panel, control and graph services on real Qt widgets: loading panels
// from a panel file of the tests' own, values and attributes, the events the
// callbacks receive (also nested and with panels discarded inside them), and
// what the graphs and the strip chart show.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QtWidgets>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/clock.h"
#include "platform/graph_probe.h"
#include "platform/panel_registry.h"
#include "platform/port_labels.h"
#include "platform/serial.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"

namespace {

// ---- A panel file of our own ---------------------------------------------------

// A Qt property, or (dynamic) one of the properties our loader reads.
std::string Prop(const char* name, const std::string& typed, bool dynamic = false) {
  return std::string("<property name=\"") + name + "\"" + (dynamic ? " stdset=\"0\"" : "") + ">" +
         typed + "</property>";
}
std::string Dyn(const char* name, const std::string& typed) { return Prop(name, typed, true); }
std::string Num(double v) {
  return "<number>" + std::to_string(static_cast<long long>(v)) + "</number>";
}
std::string Dbl(double v) { return "<double>" + std::to_string(v) + "</double>"; }
std::string Str(const std::string& s) { return "<string>" + s + "</string>"; }
const std::string kTrue = "<bool>true</bool>", kFalse = "<bool>false</bool>";
std::string Geo(int x, int y, int w, int h) {
  return Prop("geometry", "<rect><x>" + std::to_string(x) + "</x><y>" + std::to_string(y) +
                              "</y><width>" + std::to_string(w) + "</width><height>" +
                              std::to_string(h) + "</height></rect>");
}

// Control numbers of the test panels.
enum {
  kBtn = 1,
  kTog,
  kRad,
  kSpin,
  kDSpin,
  kD32,
  kNum,
  kStatus,
  kRing,
  kPorts,
  kSlide,
  kText,
  kMsg,
  kDeco,
  kPict,
  kGraph,
  kStrip,
  kDimmed
};
constexpr int kMainId = 1, kChildId = 2, kBareId = 3;

std::string PanelFileText() {
  const struct {
    const char *cls, *name;
    int id, x, y, w, h;
    std::string extra;
    bool callback;
  } controls[] = {
      {"QPushButton", "BTN", kBtn, 10, 10, 80, 24, Prop("text", Str("Run")), true},
      {"QPushButton", "TOG", kTog, 100, 10, 80, 24, Prop("checkable", kTrue), true},
      {"QRadioButton", "RAD", kRad, 190, 10, 80, 24, Prop("autoExclusive", kFalse), true},
      {"QSpinBox", "SPIN", kSpin, 10, 40, 80, 24, Prop("maximum", Num(65535)), true},
      {"QDoubleSpinBox", "DSPIN", kDSpin, 100, 40, 80, 24,
       Prop("decimals", Num(3)) + Prop("maximum", Dbl(100000)), true},
      {"QDoubleSpinBox", "D32", kD32, 190, 40, 120, 24,
       Prop("decimals", Num(0)) + Prop("maximum", Dbl(4294967295.0)), false},
      {"QLineEdit", "NUM", kNum, 10, 70, 80, 24, Prop("readOnly", kTrue) + Dyn("precision", Num(3)),
       false},
      {"QLineEdit", "STATUS", kStatus, 100, 70, 300, 24, Prop("readOnly", kTrue), false},
      {"QComboBox", "RING", kRing, 10, 100, 80, 24,
       "<item>" + Prop("text", Str("zero")) + "</item><item>" + Prop("text", Str("one")) +
           "</item><item>" + Prop("text", Str("two")) + "</item>",
       true},
      {"QComboBox", "PORTS", kPorts, 100, 100, 200, 24, Dyn("portList", kTrue), true},
      {"QSlider", "SLIDE", kSlide, 10, 130, 200, 20,
       Prop("orientation", "<enum>Qt::Horizontal</enum>") + Prop("maximum", Num(255)), true},
      {"QPlainTextEdit", "TEXT", kText, 10, 160, 200, 80,
       Prop("readOnly", kTrue) + Dyn("startHidden", kTrue), true},
      {"QLabel", "MSG", kMsg, 220, 160, 100, 20, Prop("text", Str("msg")), true},
      {"QFrame", "DECO", kDeco, 0, 250, 600, 10, "", false},
      {"QLabel", "PICT", kPict, 400, 10, 64, 32, "", false},
      {"TarvoGraph", "GRAPH", kGraph, 10, 270, 300, 100,
       Dyn("cursors", Num(2)) + Dyn("xMin", Dbl(0)) + Dyn("xMax", Dbl(4096)) + Dyn("yMin", Dbl(0)) +
           Dyn("yMax", Dbl(1)),
       true},
      {"TarvoStripChart", "STRIP", kStrip, 320, 270, 270, 100,
       Dyn("traces", Num(5)) + Dyn("pointsPerScreen", Num(101)) + Dyn("yMax", Dbl(4096)), false},
      {"QPushButton", "DIMMED", kDimmed, 500, 40, 80, 24, Prop("enabled", kFalse), true},
  };
  std::string main;
  for (const auto& c : controls)
    main += std::string("<widget class=\"") + c.cls + "\" name=\"" + c.name + "\">" +
            Geo(c.x, c.y, c.w, c.h) + c.extra + Dyn("ctrlId", Num(c.id)) +
            (c.callback ? Dyn("callback", Str("T_CTRL")) : "") + "</widget>";
  auto panel = [](const char* name, const std::string& props, const std::string& content) {
    return std::string("<widget class=\"QWidget\" name=\"") + name + "\">" + props + content +
           "</widget>";
  };
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ui version=\"4.0\">"
         "<class>TarvoPanels</class><widget class=\"QWidget\" name=\"TarvoPanels\">" +
         panel("CHILD", Geo(30, 40, 200, 100) + Dyn("panelId", Num(kChildId)),
               "<widget class=\"QSpinBox\" name=\"CSPIN\">" + Dyn("ctrlId", Num(1)) + "</widget>") +
         panel("MAIN",
               Geo(50, 60, 600, 400) + Prop("windowTitle", Str("Test main")) +
                   Dyn("panelId", Num(kMainId)) + Dyn("callback", Str("T_PANEL")),
               main) +
         panel("BARE", Geo(0, 0, 100, 50) + Dyn("panelId", Num(kBareId)), "") +
         "</widget><customwidgets>"
         "<customwidget><class>TarvoGraph</class><extends>QWidget</extends>"
         "<header>platform/graph_widget.h</header></customwidget>"
         "<customwidget><class>TarvoStripChart</class><extends>QWidget</extends>"
         "<header>platform/strip_chart.h</header></customwidget>"
         "</customwidgets></ui>\n";
}

// ---- Callbacks that record what they receive -------------------------------------

using Ev = std::tuple<int, int, int>;  // panel, control, event
std::vector<Ev> g_events;
std::function<void(int, int, int)> g_onEvent;  // runs inside the callback

int TCtrl(int panel, int control, int event, void*, int, int) {
  g_events.push_back({panel, control, event});
  if (g_onEvent) {
    auto fn = g_onEvent;  // a nested callback may replace it
    fn(panel, control, event);
  }
  return 0;
}

int TPanel(int panel, int event, void*, int, int) {
  g_events.push_back({panel, 0, event});
  return 0;
}

const CallbackEntry kTable[] = {
    {"T_CTRL", TCtrl, nullptr},
    {"T_PANEL", nullptr, TPanel},
};

std::vector<int> EventCodes() {
  std::vector<int> out;
  for (const Ev& e : g_events) out.push_back(std::get<2>(e));
  return out;
}

void Pump() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

std::string Text(int panel, int control) {
  char buf[512];
  if (GetCtrlVal(panel, control, buf, sizeof buf) < 0) return "<error>";
  return buf;
}

class PanelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new QTemporaryDir;
    path_ = dir_->filePath("panels.ui").toStdString();
    std::ofstream(path_) << PanelFileText();
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    RegisterCallbacks(kTable, std::size(kTable));
    main_ = LoadPanel(0, path_.c_str(), kMainId);
    ASSERT_GT(main_, 0);
    g_events.clear();
    g_onEvent = nullptr;
  }
  void TearDown() override {
    g_onEvent = nullptr;
    if (tarvo_ui::FindPanel(main_)) DiscardPanel(main_);
    Pump();
  }
  QWidget* W(int control) { return tarvo_ui::CtrlWidget(main_, control); }
  int Int(int control) {
    int v = -1;
    GetCtrlVal(main_, control, &v);
    return v;
  }
  using Span = std::pair<double, double>;
  Span Range(int control, int axis) {
    double lo = -1, hi = -1;
    GetAxisRange(main_, control, axis, &lo, &hi);
    return {lo, hi};
  }

  static inline QTemporaryDir* dir_ = nullptr;
  static inline std::string path_;
  int main_ = 0;
};

// ---- Loading -------------------------------------------------------------------

TEST_F(PanelTest, LoadFailuresAreNegativeAndDistinct) {
  EXPECT_EQ(LoadPanel(0, (dir_->path() + "/missing.ui").toUtf8().constData(), kMainId), -1);
  const std::string bad = dir_->filePath("bad.ui").toStdString();
  std::ofstream(bad) << "this is not <xml";
  EXPECT_EQ(LoadPanel(0, bad.c_str(), kMainId), -2);
  EXPECT_EQ(LoadPanel(0, path_.c_str(), 99), -3);
  EXPECT_LT(LoadPanel(12345, path_.c_str(), kChildId), 0);  // no such parent
}

TEST_F(PanelTest, FileIsFoundInCurrentDirectoryThenBesideTheProgram) {
  const QString cwd = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir_->path()));
  const int byName = LoadPanel(0, "panels.ui", kBareId);
  EXPECT_GT(byName, 0);
  DiscardPanel(byName);

  const QString beside = QCoreApplication::applicationDirPath() + "/tarvo_ui_test_beside.ui";
  QFile::remove(beside);
  ASSERT_TRUE(QFile::copy(dir_->filePath("panels.ui"), beside));
  QTemporaryDir elsewhere;
  ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
  const int found = LoadPanel(0, "tarvo_ui_test_beside.ui", kBareId);
  QFile::remove(beside);
  QDir::setCurrent(cwd);
  EXPECT_GT(found, 0);
  DiscardPanel(found);
}

TEST_F(PanelTest, TopLevelAndChildPanelsAndTheirStartStates) {
  QWidget* w = tarvo_ui::PanelWidget(main_);
  ASSERT_TRUE(w);
  EXPECT_TRUE(w->isWindow());
  EXPECT_EQ(w->windowTitle(), "Test main");
  EXPECT_EQ(w->size(), QSize(600, 400));
  EXPECT_FALSE(PanelVisible(main_));                          // not shown before DisplayPanel
  EXPECT_TRUE(w->findChildren<QWidget*>("CSPIN").isEmpty());  // only the numbered panel is built

  const int child = LoadPanel(main_, path_.c_str(), kChildId);
  ASSERT_GT(child, 0);
  EXPECT_EQ(tarvo_ui::PanelWidget(child)->parentWidget(), w);
  EXPECT_EQ(tarvo_ui::PanelWidget(child)->pos(), QPoint(30, 40));
  DisplayPanel(main_);
  EXPECT_FALSE(PanelVisible(child));  // child panels start hidden
  // startHidden and enabled = false of the panel file.
  EXPECT_EQ(std::vector<bool>({CtrlVisible(main_, kText), CtrlVisible(main_, kBtn),
                               CtrlDimmed(main_, kDimmed), CtrlDimmed(main_, kBtn)}),
            std::vector<bool>({false, true, true, false}));
  DisplayPanel(child);
  EXPECT_TRUE(PanelVisible(child));
  HidePanel(main_);
  EXPECT_FALSE(PanelVisible(child));  // its parent is hidden
  int own = -1;
  GetPanelAttribute(child, ATTR_VISIBLE, &own);
  EXPECT_EQ(own, 1);  // but it keeps its own state

  // Discarding the parent takes the child along.
  DiscardPanel(main_);
  EXPECT_LT(SetCtrlVal(child, 1, 5), 0);
  EXPECT_LT(SetCtrlVal(main_, kSpin, 5), 0);
  EXPECT_LT(DisplayPanel(main_), 0);
}

TEST(PortLabels, TellAdaptersApartAndMarkWhatCannotBeOpened) {
  const std::vector<PortFacts> devices = {
      {"/dev/ttyUSB1", "FT232R USB UART", "FTDI", "B20X9", true},
      {"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A10K3Q2X", true},
      {"/dev/ttyS0", "", "", "", true},
      {"/dev/pts/3", "", "", "", true},  // no port number: not offered
      {"/dev/ttyACM0", "", "Arduino", "", false},
      {"/dev/ttyUSB0", "", "", "", true},  // the same device seen twice
  };
  std::vector<std::string> labels;
  for (const PortEntry& e : PortEntries(devices)) labels.push_back(e.label);
  const std::vector<std::string> expect = {
      "COM1  /dev/ttyS0",
      "COM33  /dev/ttyUSB0  FT232R USB UART (FTDI, A10K3Q2X)",
      "COM34  /dev/ttyUSB1  FT232R USB UART (FTDI, B20X9)",
      "COM65  /dev/ttyACM0  (Arduino)  - no access",
      "SIM  (built-in sensor simulator, no hardware)",
  };
  EXPECT_EQ(labels, expect);
}

// The port list as the panel loads it, then an adapter plugged in and out
// while the program runs: a pseudo-terminal linked as the last USB port. One
// test, as other processes of the suite would see the link. Needs a writable
// /dev (CI runs as root).
TEST_F(PanelTest, PortListFollowsAdaptersAndKeepsTheSelection) {
  auto* ports = qobject_cast<QComboBox*>(W(kPorts));
  const std::vector<PortEntry> list = ListSerialPorts();
  ASSERT_EQ(ports->count(), static_cast<int>(list.size()));
  for (int i = 0; i < ports->count(); ++i) {
    EXPECT_EQ(ports->itemData(i).toInt(), list[i].number);
    EXPECT_EQ(ports->itemText(i).toStdString(), list[i].label);
  }

  const char* link = "/dev/ttyUSB31";
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  grantpt(master);
  unlockpt(master);
  if (access(link, F_OK) == 0 || symlink(ptsname(master), link) != 0) {
    close(master);
    GTEST_SKIP() << "cannot make " << link;
  }
  SetCtrlVal(main_, kPorts, kSimPort);
  // Opening the drop-down (here: a key on it) lists the ports again.
  QKeyEvent key(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
  QCoreApplication::sendEvent(ports, &key);
  const int plugged = ports->findData(64);
  unlink(link);
  close(master);
  ASSERT_GE(plugged, 0);
  EXPECT_EQ(ports->itemText(plugged).toStdString(), "COM64  /dev/ttyUSB31");
  EXPECT_EQ(Int(kPorts), kSimPort);

  EXPECT_EQ(tarvo_ui::RefreshPortLists(), 1);
  EXPECT_LT(ports->findData(64), 0);
  EXPECT_EQ(Int(kPorts), kSimPort);
  EXPECT_EQ(tarvo_ui::RefreshPortLists(), 0);  // nothing changed, nothing rebuilt
}

// ---- Values ------------------------------------------------------------------------

TEST_F(PanelTest, NumericValuesKeepTheControlsTypeAndRange) {
  unsigned short u16 = 0;
  unsigned int u32 = 0;
  float f = 0;
  SetCtrlVal(main_, kSpin, 1234);
  GetCtrlVal(main_, kSpin, &u16);
  EXPECT_EQ(u16, 1234);
  SetCtrlVal(main_, kSpin, 70000);  // coerced into the control's range
  EXPECT_EQ(Int(kSpin), 65535);
  SetCtrlVal(main_, kSpin, -3);
  EXPECT_EQ(Int(kSpin), 0);

  SetCtrlVal(main_, kDSpin, 12.9);
  GetCtrlVal(main_, kDSpin, &u16);
  GetCtrlVal(main_, kDSpin, &f);
  EXPECT_EQ(u16, 12);  // truncated, as a C conversion
  EXPECT_FLOAT_EQ(f, 12.9f);
  SetCtrlVal(main_, kD32, 4000000000u);
  GetCtrlVal(main_, kD32, &u32);
  EXPECT_EQ(u32, 4000000000u);

  // A numeric display shows its precision.
  for (auto [v, text] :
       {std::pair<double, const char*>{1.23456, "1.235"}, {7, "7.000"}, {-0.0001, "0.000"}}) {
    SetCtrlVal(main_, kNum, v);
    EXPECT_EQ(Text(main_, kNum), text);
  }
  SetCtrlVal(main_, kStatus, 42u);
  EXPECT_EQ(Text(main_, kStatus), "42");
  SetCtrlVal(main_, kTog, 1);
  EXPECT_TRUE(g_events.empty());  // written by the program: no callback fires
  int i = 0;
  EXPECT_LT(SetCtrlVal(main_, kGraph, 1), 0);
  EXPECT_LT(GetCtrlVal(main_, kDeco, &i), 0);
  EXPECT_LT(GetCtrlVal(main_, 999, &i), 0);
}

TEST_F(PanelTest, RingsAndPortList) {
  EXPECT_EQ(SetCtrlVal(main_, kRing, 2), 0);
  EXPECT_EQ(Text(main_, kRing), "two");
  EXPECT_LT(SetCtrlVal(main_, kRing, 3), 0);  // no such item: unchanged
  EXPECT_EQ(Int(kRing), 2);

  EXPECT_EQ(SetCtrlVal(main_, kPorts, kSimPort), 0);
  EXPECT_EQ(Int(kPorts), kSimPort);
  auto* ports = qobject_cast<QComboBox*>(W(kPorts));
  const int before = ports->count();
  // A port the machine does not list is added (once), so the choice shows.
  EXPECT_EQ(SetCtrlVal(main_, kPorts, 57), 0);
  SetCtrlVal(main_, kPorts, 57);
  EXPECT_EQ(Int(kPorts), 57);
  EXPECT_EQ(ports->count(), before + 1);
  EXPECT_NE(Text(main_, kPorts).find("COM57"), std::string::npos);
  EXPECT_TRUE(g_events.empty());
}

TEST_F(PanelTest, TextsSafeCopiesAndTextBoxLines) {
  SetCtrlVal(main_, kStatus, "Echo Check - Line Ok!");
  char small[5], three[4];
  EXPECT_EQ(GetCtrlVal(main_, kStatus, small, sizeof small), 0);
  EXPECT_STREQ(small, "Echo");
  EXPECT_LT(GetCtrlVal(main_, kStatus, small, 0), 0);
  SetCtrlVal(main_, kStatus, "ab\xC3\xA4");  // never split a character
  GetCtrlVal(main_, kStatus, three, sizeof three);
  EXPECT_STREQ(three, "ab");
  // Single-byte texts of the Windows code page reach the screen intact.
  SetCtrlVal(main_, kStatus, "7.8\xB5m, 5\x80");
  EXPECT_EQ(Text(main_, kStatus), "7.8\xC2\xB5m, 5\xE2\x82\xAC");
  SetCtrlVal(main_, kMsg, "hello");
  EXPECT_EQ(Text(main_, kMsg), "hello");

  // A text box shows the text written last, whole; lines are replaced one by one.
  SetCtrlVal(main_, kText, "first");
  SetCtrlVal(main_, kText, "line 1\nline 2");
  EXPECT_EQ(Text(main_, kText), "line 1\nline 2");
  ResetTextBox(main_, kText, "");
  EXPECT_EQ(ReplaceTextBoxLine(main_, kText, 3, "four\xB5"), 0);
  ReplaceTextBoxLine(main_, kText, 1, "two");
  EXPECT_EQ(Text(main_, kText), "\ntwo\n\nfour\xC2\xB5");
  char line[16];
  EXPECT_EQ(GetTextBoxLine(main_, kText, 3, line, sizeof line), 0);
  EXPECT_STREQ(line, "four\xC2\xB5");
  EXPECT_LT(GetTextBoxLine(main_, kText, 4, line, sizeof line), 0);
  EXPECT_EQ(ResetTextBox(main_, kText, "new"), 0);
  EXPECT_EQ(Text(main_, kText), "new");
  EXPECT_EQ(ReplaceTextBoxLine(main_, kStatus, 0, "status"), 0);  // a one-line control
  EXPECT_EQ(Text(main_, kStatus), "status");
  EXPECT_LT(ReplaceTextBoxLine(main_, kStatus, 1, "x"), 0);
  EXPECT_LT(ReplaceTextBoxLine(main_, kText, -1, "x"), 0);
  EXPECT_LT(ResetTextBox(main_, kSpin, "x"), 0);
}

// ---- Attributes ------------------------------------------------------------------

TEST_F(PanelTest, GeometryVisibilityAndDimming) {
  int top = 0, left = 0, height = 0, width = 0;
  EXPECT_EQ(GetCtrlBoundingRect(main_, kBtn, &top, &left, &height, &width), 0);
  EXPECT_EQ(std::vector<int>({top, left, height, width}), std::vector<int>({10, 10, 24, 80}));
  SetCtrlAttribute(main_, kText, ATTR_LEFT, 100);
  SetCtrlAttribute(main_, kText, ATTR_TOP, -10);
  SetCtrlAttribute(main_, kText, ATTR_WIDTH, 250);
  EXPECT_EQ(W(kText)->geometry(), QRect(100, -10, 250, 80));

  DisplayPanel(main_);
  SetCtrlAttribute(main_, kText, ATTR_VISIBLE, 1);
  SetCtrlAttribute(main_, kBtn, ATTR_VISIBLE, 0);
  SetCtrlAttribute(main_, kSpin, ATTR_DIMMED, 1);
  EXPECT_TRUE(CtrlVisible(main_, kText) && W(kText)->isVisible());
  EXPECT_FALSE(CtrlVisible(main_, kBtn) || W(kBtn)->isVisible());
  EXPECT_TRUE(CtrlDimmed(main_, kSpin) && !W(kSpin)->isEnabled());
  SetCtrlAttribute(main_, kSpin, ATTR_DIMMED, 0);
  EXPECT_TRUE(W(kSpin)->isEnabled());

  int v = 0;
  EXPECT_LT(SetCtrlAttribute(main_, kBtn, 9999, 1), 0);
  EXPECT_LT(GetCtrlAttribute(main_, kBtn, 9999, &v), 0);
  EXPECT_LT(SetCtrlAttribute(main_, kBtn, ATTR_NUM_TRACES, 5), 0);
}

TEST_F(PanelTest, ColoursFontsLabelsAndRanges) {
  SetCtrlAttribute(main_, kNum, ATTR_TEXT_BGCOLOR, 0x008000);
  QPalette pal = W(kNum)->palette();
  EXPECT_EQ(pal.color(QPalette::Base).rgb() & 0xFFFFFF, 0x008000u);
  // Dark green background: the text turns white to stay readable.
  EXPECT_EQ(pal.color(QPalette::Active, QPalette::Text), QColor(Qt::white));
  SetCtrlAttribute(main_, kNum, ATTR_TEXT_BGCOLOR, 0xFFFF00);
  EXPECT_EQ(W(kNum)->palette().color(QPalette::Active, QPalette::Text), QColor(Qt::black));
  SetCtrlAttribute(main_, kNum, ATTR_TEXT_COLOR, 0x0000FF);  // an explicit text colour wins
  EXPECT_EQ(W(kNum)->palette().color(QPalette::Active, QPalette::Text), QColor(0, 0, 255));
  // Labels and decorations fill their background.
  SetCtrlAttribute(main_, kMsg, ATTR_TEXT_BGCOLOR, 0x0080FF);
  SetCtrlAttribute(main_, kDeco, ATTR_FRAME_COLOR, 0x0080FF);
  for (int c : {kMsg, kDeco}) {
    EXPECT_TRUE(W(c)->autoFillBackground()) << c;
    EXPECT_EQ(W(c)->palette().color(QPalette::Window).rgb() & 0xFFFFFF, 0x0080FFu) << c;
  }
  // The font the panel file names is not on the machine: the application font.
  W(kMsg)->setFont(QFont("Courier"));
  SetCtrlAttribute(main_, kMsg, ATTR_TEXT_FONT, "NIApp");
  SetCtrlAttribute(main_, kMsg, ATTR_TEXT_POINT_SIZE, 18);
  SetCtrlAttribute(main_, kMsg, ATTR_TEXT_BOLD, 1);
  EXPECT_EQ(W(kMsg)->font().family(), QApplication::font().family());
  EXPECT_EQ(W(kMsg)->font().pointSize(), 18);
  EXPECT_TRUE(W(kMsg)->font().bold());
  SetCtrlAttribute(main_, kBtn, ATTR_LABEL_TEXT, "Go");
  EXPECT_EQ(qobject_cast<QAbstractButton*>(W(kBtn))->text(), "Go");

  // Range of a numeric control: the value follows, silently.
  SetCtrlVal(main_, kSpin, 500);
  SetCtrlAttribute(main_, kSpin, ATTR_MAX_VALUE, 100);
  EXPECT_EQ(Int(kSpin), 100);
  SetCtrlAttribute(main_, kSlide, ATTR_MIN_VALUE, 10);
  EXPECT_EQ(Int(kSlide), 10);
  EXPECT_TRUE(g_events.empty());
}

TEST_F(PanelTest, RunTimeTextMessagesAndPictures) {
  DisplayPanel(main_);
  const int a = NewCtrl(main_, CTRL_TEXT_MSG, "", 9, 15);
  const int b = NewCtrl(main_, CTRL_TEXT_MSG, "", 24, 15);
  EXPECT_GE(std::min(a, b), 1000);  // past every number of the panel file
  EXPECT_NE(a, b);
  SetCtrlAttribute(main_, a, ATTR_TEXT_POINT_SIZE, 11);
  SetCtrlVal(main_, a, "Velmora GmbH");
  EXPECT_EQ(Text(main_, a), "Velmora GmbH");
  EXPECT_TRUE(CtrlVisible(main_, a));
  EXPECT_EQ(W(a)->pos(), QPoint(15, 9));
  EXPECT_GE(W(a)->width(), QFontMetrics(W(a)->font()).horizontalAdvance("Velmora GmbH"));
  EXPECT_LT(NewCtrl(main_, 77, "", 0, 0), 0);

  auto* pict = qobject_cast<QLabel*>(W(kPict));
  const QString bmp = dir_->filePath("logo.bmp");
  QImage img(16, 8, QImage::Format_RGB32);
  img.fill(Qt::red);
  ASSERT_TRUE(img.save(bmp, "BMP"));
  EXPECT_EQ(DisplayImageFile(main_, kPict, bmp.toUtf8().constData()), 0);
  EXPECT_FALSE(pict->pixmap().isNull());
  EXPECT_LT(DisplayImageFile(main_, kPict, "no-such-logo.bmp"), 0);
  EXPECT_TRUE(pict->pixmap().isNull());
}

// ---- Events ------------------------------------------------------------------------

TEST_F(PanelTest, ClicksGiveTheEventsOfARealClick) {
  DisplayPanel(main_);
  // Toggles change state between the click and the commit; a ring only opens;
  // dimmed and hidden controls take no left click.
  const struct {
    int control;
    std::vector<int> codes;
    int value;
  } clicks[] = {{kBtn, {3, 1}, -1},   {kTog, {3, 2, 1}, 1}, {kTog, {3, 2, 1}, 0},
                {kRad, {3, 2, 1}, 1}, {kRing, {3}, 0},      {kDimmed, {}, -1},
                {kText, {}, -1}};
  for (const auto& c : clicks) {
    g_events.clear();
    ClickCtrl(main_, c.control);
    EXPECT_EQ(EventCodes(), c.codes) << c.control;
    if (!g_events.empty()) EXPECT_EQ(g_events[0], (Ev{main_, c.control, 3}));
    if (c.value >= 0) EXPECT_EQ(Int(c.control), c.value) << c.control;
  }
  // Help is asked for on dimmed controls too, not on hidden ones.
  g_events.clear();
  EXPECT_EQ(RightClickCtrl(main_, kDimmed), 1);
  EXPECT_EQ(RightClickCtrl(main_, kText), 0);
  EXPECT_EQ(EventCodes(), (std::vector<int>{5}));

  // A control whose left click dims it gets no commit.
  g_events.clear();
  g_onEvent = [this](int, int control, int event) {
    if (control == kBtn && event == EVENT_LEFT_CLICK) SetCtrlAttribute(main_, kBtn, ATTR_DIMMED, 1);
  };
  ClickCtrl(main_, kBtn);
  EXPECT_EQ(EventCodes(), (std::vector<int>{3}));
}

TEST_F(PanelTest, UserInputOnWidgetsFiresValueChangedThenCommit) {
  DisplayPanel(main_);
  auto* spinEdit = W(kSpin)->findChild<QLineEdit*>();
  ASSERT_TRUE(spinEdit);
  const std::function<void()> inputs[] = {
      [&] { qobject_cast<QSpinBox*>(W(kSpin))->stepUp(); },
      [&] {
        // A typed value counts once entered, not per keystroke.
        spinEdit->setFocus();
        spinEdit->selectAll();
        spinEdit->insert("123");
        EXPECT_TRUE(g_events.empty());
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(W(kSpin), &enter);
        EXPECT_EQ(Int(kSpin), 123);
      },
      [&] { qobject_cast<QSlider*>(W(kSlide))->triggerAction(QAbstractSlider::SliderPageStepAdd); },
      [&] { emit qobject_cast<QComboBox*>(W(kRing))->activated(1); },
      [&] { EXPECT_EQ(EnterCtrlVal(main_, kDSpin, 2.5), 1); },
  };
  for (const auto& input : inputs) {
    g_events.clear();
    input();
    EXPECT_EQ(EventCodes(), (std::vector<int>{2, 1})) << &input - inputs;
  }
  double d = 0;
  GetCtrlVal(main_, kDSpin, &d);
  EXPECT_DOUBLE_EQ(d, 2.5);
  g_events.clear();
  SetCtrlAttribute(main_, kDSpin, ATTR_DIMMED, 1);
  EXPECT_EQ(EnterCtrlVal(main_, kDSpin, 3.5), 0);
  EXPECT_TRUE(g_events.empty());
  EXPECT_LT(EnterCtrlVal(main_, kNum, 1), 0);  // a display takes no input
}

TEST_F(PanelTest, MousePressesBecomeClickEventsOnce) {
  DisplayPanel(main_);
  SetCtrlAttribute(main_, kText, ATTR_VISIBLE, 1);
  QWidget* viewport = qobject_cast<QPlainTextEdit*>(W(kText))->viewport();
  // A right click on a dimmed button (its help text); a left click on a
  // button: click, then commit; a text box clicked on its viewport, also
  // dimmed; a graph.
  const struct {
    QWidget* target;
    Qt::MouseButton button;
    int control, dim;
    std::vector<int> codes;
  } presses[] = {{W(kDimmed), Qt::RightButton, kDimmed, 1, {5}},
                 {W(kBtn), Qt::LeftButton, kBtn, 0, {3, 1}},
                 {viewport, Qt::LeftButton, kText, 0, {3}},
                 {viewport, Qt::RightButton, kText, 1, {5}},
                 {W(kGraph), Qt::RightButton, kGraph, 0, {5}}};
  quint64 stamp = 100;
  for (const auto& p : presses) {
    SetCtrlAttribute(main_, p.control, ATTR_DIMMED, p.dim);
    g_events.clear();
    const QPointF at(5, 5), global = p.target->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, p.button, p.button, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, p.button, Qt::NoButton,
                        Qt::NoModifier);
    press.setTimestamp(stamp += 100);
    release.setTimestamp(stamp + 1);
    QApplication::sendEvent(p.target, &press);
    QApplication::sendEvent(p.target, &release);
    EXPECT_EQ(EventCodes(), p.codes) << p.control;
    for (const Ev& e : g_events) EXPECT_EQ(std::get<1>(e), p.control);
  }
}

TEST_F(PanelTest, ClosingTheWindowAsksTheProgram) {
  DisplayPanel(main_);
  QWidget* w = tarvo_ui::PanelWidget(main_);
  QCloseEvent close;
  QApplication::sendEvent(w, &close);
  EXPECT_FALSE(close.isAccepted());
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(g_events, (std::vector<Ev>{{main_, 0, EVENT_CLOSE}}));

  // A window without a callback just goes away.
  const int bare = LoadPanel(0, path_.c_str(), kBareId);
  DisplayPanel(bare);
  QCloseEvent close2;
  QApplication::sendEvent(tarvo_ui::PanelWidget(bare), &close2);
  EXPECT_FALSE(PanelVisible(bare));
  DiscardPanel(bare);
}

TEST_F(PanelTest, NestedEventProcessingInsideCallbacks) {
  DisplayPanel(main_);
  // The commit of BTN runs a loop that processes events; a click on TOG
  // scheduled meanwhile runs inside it.
  g_onEvent = [this](int, int control, int event) {
    if (control != kBtn || event != EVENT_COMMIT) return;
    ScheduleAt(Timer(), [this] { ClickCtrl(main_, kTog); });
    for (int i = 0; i < 5; ++i) ProcessSystemEvents();
    g_events.push_back({main_, kBtn, 100});  // end of the loop
  };
  ClickCtrl(main_, kBtn);
  EXPECT_EQ(g_events, (std::vector<Ev>{{main_, kBtn, 3},
                                       {main_, kBtn, 1},
                                       {main_, kTog, 3},
                                       {main_, kTog, 2},
                                       {main_, kTog, 1},
                                       {main_, kBtn, 100}}));
}

// Discarded on the left click of its own toggle (our click) or on the value
// change inside Qt's clicked(), then events are processed further down in the
// same callback: nothing more reaches it, and the widgets go afterwards.
TEST_F(PanelTest, PanelDiscardedInsideItsOwnCallback) {
  for (int at : {EVENT_LEFT_CLICK, EVENT_VAL_CHANGED}) {
    SCOPED_TRACE(at);
    if (!tarvo_ui::FindPanel(main_)) main_ = LoadPanel(0, path_.c_str(), kMainId);
    DisplayPanel(main_);
    QPointer<QWidget> panel = tarvo_ui::PanelWidget(main_), button = W(kTog);
    g_events.clear();
    g_onEvent = [this, at](int, int control, int event) {
      if (control != kTog || event != at) return;
      DiscardPanel(main_);
      for (int i = 0; i < 3; ++i) ProcessSystemEvents();
    };
    if (at == EVENT_LEFT_CLICK)
      EXPECT_EQ(ClickCtrl(main_, kTog), 1);
    else
      qobject_cast<QAbstractButton*>(button.data())->click();
    EXPECT_EQ(EventCodes(), std::vector<int>{at});
    EXPECT_FALSE(tarvo_ui::FindPanel(main_));
    EXPECT_TRUE(panel);  // still there while the click was being handled
    Pump();
    EXPECT_FALSE(panel || button);
  }
}

// ---- Graphs ---------------------------------------------------------------------

TEST_F(PanelTest, GraphPlotsAxesAndCursors) {
  const int bar = PlotRectangle(main_, kGraph, 998, 0.25, 1002, 1.0, 0xFF0000, 0xFF0000);
  const int win = PlotRectangle(main_, kGraph, 990, 0.0, 1010, 0.35, 0x00FF00, 0x00FF00);
  EXPECT_TRUE(bar > 0 && win > 0 && bar != win);
  ASSERT_EQ(GetGraphPlots(main_, kGraph).size(), 2u);
  EXPECT_EQ(DeleteGraphPlot(main_, kGraph, bar, VAL_DELAYED_DRAW), 0);  // one plot by its handle
  std::vector<PlotInfo> plots = GetGraphPlots(main_, kGraph);
  ASSERT_EQ(plots.size(), 1u);
  EXPECT_EQ(plots[0].x1, 990);
  EXPECT_EQ(plots[0].frameColor, 0x00FF00);
  EXPECT_LT(DeleteGraphPlot(main_, kGraph, bar, VAL_DELAYED_DRAW), 0);

  // Words above 32767 are drawn as they are.
  double x[128];
  unsigned short y[128];
  for (int i = 0; i < 128; ++i) {
    x[i] = i * 32.0;
    y[i] = static_cast<unsigned short>(60000 + i);
  }
  DeleteGraphPlot(main_, kGraph, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
  EXPECT_GT(PlotXY(main_, kGraph, x, y, 128, VAL_FAT_LINE, VAL_SIMPLE_DOT, VAL_SOLID, 1, 0xFF0000),
            0);
  plots = GetGraphPlots(main_, kGraph);
  ASSERT_EQ(plots.size(), 1u);
  EXPECT_EQ(plots[0].kind, PlotInfo::kXY);
  ASSERT_EQ(plots[0].xs.size(), 128u);
  EXPECT_EQ(Span(plots[0].xs[127], plots[0].ys[127]), Span(127 * 32.0, 60127.0));
  EXPECT_EQ(plots[0].color, 0xFF0000);
  EXPECT_EQ(plots[0].plotStyle, VAL_FAT_LINE);
  EXPECT_LT(PlotXY(main_, kGraph, x, y, 0, VAL_FAT_LINE, VAL_SIMPLE_DOT, VAL_SOLID, 1, 0), 0);

  EXPECT_EQ(Range(kGraph, VAL_XAXIS), Span(0, 4096));  // from the panel file
  EXPECT_EQ(SetAxisScalingMode(main_, kGraph, VAL_XAXIS, VAL_MANUAL, 1.0, 1024), 0);
  EXPECT_LT(SetAxisScalingMode(main_, kGraph, VAL_XAXIS, VAL_MANUAL, 5, 5), 0);
  EXPECT_EQ(Range(kGraph, VAL_XAXIS), Span(1.0, 1024));
  SetAxisScalingMode(main_, kGraph, VAL_RIGHT_YAXIS, VAL_MANUAL, 0, 256);
  EXPECT_EQ(Range(kGraph, VAL_RIGHT_YAXIS), Span(0, 256));
  EXPECT_EQ(SetAxisScalingMode(main_, kGraph, VAL_LEFT_YAXIS, VAL_AUTOSCALE, 0, 0), 0);
  EXPECT_EQ(Range(kGraph, VAL_LEFT_YAXIS), Span(60000, 60127));

  int style = 0;
  GetCursorAttribute(main_, kGraph, 1, ATTR_CURSOR_POINT_STYLE, &style);
  EXPECT_EQ(style, VAL_NO_POINT);
  EXPECT_LT(SetGraphCursor(main_, kGraph, 3, 0, 0), 0);  // the graph has two
  // Graph calls on the wrong kind of control.
  EXPECT_LT(PlotRectangle(main_, kStrip, 0, 0, 1, 1, 0, 0), 0);
  EXPECT_LT(PlotStripChart(main_, kGraph, x, 1, 0, 0), 0);
  EXPECT_LT(SetGraphCursor(main_, kSpin, 1, 0, 0), 0);
}

// One update of 500 values fills five traces in turn (the history suite shows
// that); here the start, skip, screen width, trace count and value axis.
TEST_F(PanelTest, StripChartStartSkipScreenTracesAndAxis) {
  double values[500];
  for (int k = 0; k < 500; ++k) values[k] = 1000 + k;
  PlotStripChart(main_, kStrip, values, 5, 1, 1);  // values 1, 3, 5, 7, 9 of the array
  EXPECT_EQ(GetStripTrace(main_, kStrip, 1), (std::vector<double>{1001}));
  EXPECT_EQ(GetStripTrace(main_, kStrip, 5), (std::vector<double>{1009}));
  ClearStripChart(main_, kStrip);
  EXPECT_TRUE(GetStripTrace(main_, kStrip, 1).empty());

  // Fewer points per screen keep the newest.
  PlotStripChart(main_, kStrip, values, 500, 0, 0);
  SetCtrlAttribute(main_, kStrip, ATTR_POINTS_PER_SCREEN, 10);
  std::vector<double> pts = GetStripTrace(main_, kStrip, 1);
  ASSERT_EQ(pts.size(), 10u);
  EXPECT_EQ(pts.back(), 1495);
  const Span xs = Range(kStrip, VAL_XAXIS);
  EXPECT_EQ(xs.second - xs.first, 9);
  EXPECT_EQ(StripChartUpdates(main_, kStrip), 2);

  SetCtrlAttribute(main_, kStrip, ATTR_NUM_TRACES, 2);
  EXPECT_TRUE(GetStripTrace(main_, kStrip, 3).empty());
  EXPECT_LT(SetCtrlAttribute(main_, kStrip, ATTR_NUM_TRACES, 0), 0);
  EXPECT_LT(SetTraceAttribute(main_, kStrip, 6, ATTR_TRACE_COLOR, 0), 0);

  EXPECT_EQ(Range(kStrip, VAL_LEFT_YAXIS).second, 4096);  // from the panel file
  EXPECT_EQ(SetAxisScalingMode(main_, kStrip, VAL_LEFT_YAXIS, VAL_MANUAL, 480, 520), 0);
  EXPECT_EQ(Range(kStrip, VAL_LEFT_YAXIS), Span(480, 520));
}

// What is drawn on the screen: the bar, the window and a cursor show in their
// colours, a frame later only the new bar; a strip-chart trace in its colour.
TEST_F(PanelTest, GraphsReallyDrawWhatTheyHold) {
  DisplayPanel(main_);
  auto count = [this](int control, std::function<bool(const QColor&)> match) {
    Pump();
    const QImage img = W(control)->grab().toImage();
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) n += match(img.pixelColor(x, y));
    return n;
  };
  auto exactly = [](QRgb rgb) {
    return [rgb](const QColor& c) { return (c.rgb() & 0xFFFFFF) == (rgb & 0xFFFFFF); };
  };
  SetAxisScalingMode(main_, kGraph, VAL_XAXIS, VAL_MANUAL, 0, 100);
  PlotRectangle(main_, kGraph, 10, 0.25, 30, 1.0, 0xFF0000, 0xFF0000);
  PlotRectangle(main_, kGraph, 60, 0.0, 80, 0.35, 0x00FF00, 0x00FF00);
  SetGraphCursor(main_, kGraph, 1, 50, 0.75);
  EXPECT_GT(count(kGraph, exactly(0xFF0000)), 100);
  EXPECT_GT(count(kGraph, exactly(0x00FF00)), 100);
  EXPECT_GT(count(kGraph, exactly(0x0000AA)), 40);  // cursor 1 cross-hair

  DeleteGraphPlot(main_, kGraph, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
  PlotRectangle(main_, kGraph, 10, 0.25, 30, 1.0, 0x0000FF, 0x0000FF);
  EXPECT_EQ(count(kGraph, exactly(0xFF0000)), 0);
  EXPECT_GT(count(kGraph, exactly(0x0000FF)), 100);

  double values[500];
  for (int k = 0; k < 500; ++k) values[k] = k % 5 == 3 ? 2000 : 500;  // trace 4 apart
  SetTraceAttribute(main_, kStrip, 4, ATTR_TRACE_COLOR, 0xFF0000);
  PlotStripChart(main_, kStrip, values, 500, 0, 0);
  // Reddish: the line is drawn smoothed.
  EXPECT_GT(
      count(kStrip,
            [](const QColor& c) { return c.red() > 200 && c.green() < 100 && c.blue() < 100; }),
      100);
}

}  // namespace
