// The panel, control and graph services on real Qt widgets: loading panels
// from a panel file of the tests' own, values and attributes, the events the
// callbacks receive (also nested and with panels discarded inside them), and
// what the graphs and the strip chart show.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QWidget>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
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

std::string Prop(const char* name, const std::string& typed, bool dynamic = true) {
  return std::string("<property name=\"") + name + "\"" + (dynamic ? " stdset=\"0\"" : "") + ">" +
         typed + "</property>";
}
std::string Num(int v) { return "<number>" + std::to_string(v) + "</number>"; }
std::string Dbl(double v) { return "<double>" + std::to_string(v) + "</double>"; }
std::string Str(const std::string& s) { return "<string>" + s + "</string>"; }
std::string Bool(bool b) { return b ? "<bool>true</bool>" : "<bool>false</bool>"; }
std::string Geo(int x, int y, int w, int h) {
  return Prop("geometry",
              "<rect><x>" + std::to_string(x) + "</x><y>" + std::to_string(y) + "</y><width>" +
                  std::to_string(w) + "</width><height>" + std::to_string(h) + "</height></rect>",
              false);
}
std::string Widget(const std::string& cls, const std::string& name, int id, const std::string& geo,
                   const std::string& extra, const char* callback = "T_CTRL") {
  std::string s = "<widget class=\"" + cls + "\" name=\"" + name + "\">" + geo + extra;
  if (id > 0) s += Prop("ctrlId", Num(id));
  if (callback) s += Prop("callback", Str(callback));
  return s + "</widget>";
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
  kDimmed,
  kEdit
};
constexpr int kMainId = 1, kChildId = 2, kBareId = 3;

std::string PanelFileText() {
  std::string main;
  main += Widget("QPushButton", "BTN", kBtn, Geo(10, 10, 80, 24), Prop("text", Str("Run"), false));
  main += Widget("QPushButton", "TOG", kTog, Geo(100, 10, 80, 24),
                 Prop("checkable", Bool(true), false));
  main += Widget("QRadioButton", "RAD", kRad, Geo(190, 10, 80, 24),
                 Prop("autoExclusive", Bool(false), false));
  main +=
      Widget("QSpinBox", "SPIN", kSpin, Geo(10, 40, 80, 24), Prop("maximum", Num(65535), false));
  main += Widget("QDoubleSpinBox", "DSPIN", kDSpin, Geo(100, 40, 80, 24),
                 Prop("decimals", Num(3), false) + Prop("maximum", Dbl(100000), false));
  main +=
      Widget("QDoubleSpinBox", "D32", kD32, Geo(190, 40, 120, 24),
             Prop("decimals", Num(0), false) + Prop("maximum", Dbl(4294967295.0), false), nullptr);
  main += Widget("QLineEdit", "NUM", kNum, Geo(10, 70, 80, 24),
                 Prop("readOnly", Bool(true), false) + Prop("precision", Num(3)), nullptr);
  main += Widget("QLineEdit", "STATUS", kStatus, Geo(100, 70, 300, 24),
                 Prop("readOnly", Bool(true), false), nullptr);
  main += Widget("QComboBox", "RING", kRing, Geo(10, 100, 80, 24),
                 "<item>" + Prop("text", Str("zero"), false) + "</item><item>" +
                     Prop("text", Str("one"), false) + "</item><item>" +
                     Prop("text", Str("two"), false) + "</item>");
  main +=
      Widget("QComboBox", "PORTS", kPorts, Geo(100, 100, 200, 24), Prop("portList", Bool(true)));
  main += Widget(
      "QSlider", "SLIDE", kSlide, Geo(10, 130, 200, 20),
      Prop("orientation", "<enum>Qt::Horizontal</enum>", false) + Prop("maximum", Num(255), false));
  main += Widget("QPlainTextEdit", "TEXT", kText, Geo(10, 160, 200, 80),
                 Prop("readOnly", Bool(true), false) + Prop("startHidden", Bool(true)));
  main += Widget("QLabel", "MSG", kMsg, Geo(220, 160, 100, 20), Prop("text", Str("msg"), false));
  main += Widget("QFrame", "DECO", kDeco, Geo(0, 250, 600, 10), "", nullptr);
  main += Widget("QLabel", "PICT", kPict, Geo(400, 10, 64, 32), "", nullptr);
  main += Widget("TarvoGraph", "GRAPH", kGraph, Geo(10, 270, 300, 100),
                 Prop("cursors", Num(2)) + Prop("xMin", Dbl(0)) + Prop("xMax", Dbl(4096)) +
                     Prop("yMin", Dbl(0)) + Prop("yMax", Dbl(1)) + Prop("xLabel", Str("pixel")));
  main += Widget("TarvoStripChart", "STRIP", kStrip, Geo(320, 270, 270, 100),
                 Prop("traces", Num(5)) + Prop("pointsPerScreen", Num(101)) + Prop("yMin", Dbl(0)) +
                     Prop("yMax", Dbl(4096)),
                 nullptr);
  main += Widget("QPushButton", "DIMMED", kDimmed, Geo(500, 40, 80, 24),
                 Prop("enabled", Bool(false), false));
  main += Widget("QLineEdit", "EDIT", kEdit, Geo(320, 40, 80, 24), "");
  main += Widget("QLabel", "plain", 0, Geo(320, 160, 60, 20), Prop("text", Str("label"), false),
                 nullptr);

  std::string child = Widget("QSpinBox", "CSPIN", 1, Geo(5, 5, 80, 24), "");
  std::string bare = Widget("QPushButton", "B", 1, Geo(5, 5, 80, 24), "", nullptr);

  std::string s =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ui version=\"4.0\">"
      "<class>TarvoPanels</class><widget class=\"QWidget\" name=\"TarvoPanels\">";
  s += "<widget class=\"QWidget\" name=\"CHILD\">" + Geo(30, 40, 200, 100) +
       Prop("panelId", Num(kChildId)) + child + "</widget>";
  s += "<widget class=\"QWidget\" name=\"MAIN\">" + Geo(50, 60, 600, 400) +
       Prop("windowTitle", Str("Test main"), false) + Prop("panelId", Num(kMainId)) +
       Prop("callback", Str("T_PANEL")) + main + "</widget>";
  s += "<widget class=\"QWidget\" name=\"BARE\">" + Geo(0, 0, 100, 50) +
       Prop("windowTitle", Str("Bare"), false) + Prop("panelId", Num(kBareId)) + bare + "</widget>";
  s += "</widget><customwidgets>"
       "<customwidget><class>TarvoGraph</class><extends>QWidget</extends>"
       "<header>platform/graph_widget.h</header></customwidget>"
       "<customwidget><class>TarvoStripChart</class><extends>QWidget</extends>"
       "<header>platform/strip_chart.h</header></customwidget>"
       "</customwidgets></ui>\n";
  return s;
}

// ---- Callbacks that record what they receive -------------------------------------

struct Ev {
  int panel, control, event;
  bool operator==(const Ev& o) const {
    return panel == o.panel && control == o.control && event == o.event;
  }
};
std::ostream& operator<<(std::ostream& os, const Ev& e) {
  return os << "{" << e.panel << "," << e.control << "," << e.event << "}";
}

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
  for (const Ev& e : g_events) out.push_back(e.event);
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
  int Attr(int control, int attribute) {
    int v = -1;
    GetCtrlAttribute(main_, control, attribute, &v);
    return v;
  }
  int Int(int control) {
    int v = -1;
    GetCtrlVal(main_, control, &v);
    return v;
  }
  int TraceAttr(int trace, int attribute) {
    int v = -1;
    GetTraceAttribute(main_, kStrip, trace, attribute, &v);
    return v;
  }
  static int PanelAttr(int panel, int attribute) {
    int v = -1;
    GetPanelAttribute(panel, attribute, &v);
    return v;
  }
  using Span = std::pair<double, double>;
  Span Range(int control, int axis) {
    double lo = -1, hi = -1;
    GetAxisRange(main_, control, axis, &lo, &hi);
    return {lo, hi};
  }

  static QTemporaryDir* dir_;
  static std::string path_;
  int main_ = 0;
};
QTemporaryDir* PanelTest::dir_ = nullptr;
std::string PanelTest::path_;

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

TEST_F(PanelTest, TopLevelAndChildPanels) {
  QWidget* w = tarvo_ui::PanelWidget(main_);
  ASSERT_TRUE(w);
  EXPECT_TRUE(w->isWindow());
  EXPECT_EQ(w->windowTitle(), "Test main");
  EXPECT_EQ(w->size(), QSize(600, 400));
  EXPECT_FALSE(PanelVisible(main_));  // not shown before DisplayPanel
  // Only the numbered panel is built.
  EXPECT_TRUE(w->findChildren<QWidget*>("CSPIN").isEmpty());

  const int child = LoadPanel(main_, path_.c_str(), kChildId);
  ASSERT_GT(child, 0);
  QWidget* cw = tarvo_ui::PanelWidget(child);
  EXPECT_EQ(cw->parentWidget(), w);
  EXPECT_EQ(cw->pos(), QPoint(30, 40));
  EXPECT_EQ(PanelAttr(child, ATTR_VISIBLE), 0);  // child panels start hidden

  DisplayPanel(main_);
  EXPECT_TRUE(PanelVisible(main_));
  EXPECT_FALSE(PanelVisible(child));
  DisplayPanel(child);
  EXPECT_TRUE(PanelVisible(child));
  SetPanelAttribute(child, ATTR_LEFT, 120);
  SetPanelAttribute(child, ATTR_TOP, 7);
  EXPECT_EQ(PanelAttr(child, ATTR_LEFT), 120);
  EXPECT_EQ(PanelAttr(child, ATTR_TOP), 7);
  HidePanel(main_);
  EXPECT_FALSE(PanelVisible(child));             // its parent is hidden
  EXPECT_EQ(PanelAttr(child, ATTR_VISIBLE), 1);  // but it keeps its own state

  // Discarding the parent takes the child along.
  DiscardPanel(main_);
  EXPECT_LT(SetCtrlVal(child, 1, 5), 0);
  EXPECT_LT(SetCtrlVal(main_, kSpin, 5), 0);
  EXPECT_LT(DisplayPanel(main_), 0);
}

TEST_F(PanelTest, PanelFileStates) {
  DisplayPanel(main_);
  EXPECT_FALSE(CtrlVisible(main_, kText));  // startHidden
  EXPECT_TRUE(CtrlVisible(main_, kBtn));
  EXPECT_TRUE(CtrlDimmed(main_, kDimmed));  // enabled = false
  EXPECT_FALSE(CtrlDimmed(main_, kBtn));
  EXPECT_EQ(Attr(kText, ATTR_VISIBLE), 0);
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
  int i = 0;
  float f = 0;
  double d = 0;

  EXPECT_EQ(SetCtrlVal(main_, kSpin, 1234), 0);
  EXPECT_EQ(GetCtrlVal(main_, kSpin, &u16), 0);
  EXPECT_EQ(u16, 1234);
  SetCtrlVal(main_, kSpin, 70000);  // coerced into the control's range
  EXPECT_EQ(Int(kSpin), 65535);
  SetCtrlVal(main_, kSpin, -3);
  EXPECT_EQ(Int(kSpin), 0);

  SetCtrlVal(main_, kDSpin, 12.9);
  GetCtrlVal(main_, kDSpin, &u16);
  EXPECT_EQ(u16, 12);  // truncated, as a C conversion
  GetCtrlVal(main_, kDSpin, &f);
  EXPECT_FLOAT_EQ(f, 12.9f);
  SetCtrlVal(main_, kDSpin, 7.8);
  GetCtrlVal(main_, kDSpin, &f);
  EXPECT_EQ(static_cast<unsigned int>(f * 1024), 7987u);

  SetCtrlVal(main_, kD32, 4000000000u);
  GetCtrlVal(main_, kD32, &u32);
  EXPECT_EQ(u32, 4000000000u);
  GetCtrlVal(main_, kD32, &d);
  EXPECT_EQ(d, 4000000000.0);

  // Numeric display: formatted with its precision.
  SetCtrlVal(main_, kNum, 1.23456);
  EXPECT_EQ(Text(main_, kNum), "1.235");
  SetCtrlVal(main_, kNum, 7);
  EXPECT_EQ(Text(main_, kNum), "7.000");
  SetCtrlVal(main_, kNum, -0.0001);
  EXPECT_EQ(Text(main_, kNum), "0.000");
  GetCtrlVal(main_, kNum, &d);
  EXPECT_EQ(d, 0.0);
  SetCtrlVal(main_, kStatus, 42u);
  EXPECT_EQ(Text(main_, kStatus), "42");

  SetCtrlVal(main_, kSlide, 128);
  GetCtrlVal(main_, kSlide, &u16);
  EXPECT_EQ(u16, 128);
  SetCtrlVal(main_, kTog, 1);
  EXPECT_EQ(Int(kTog), 1);
  SetCtrlVal(main_, kRad, 1);
  EXPECT_EQ(Int(kRad), 1);

  // Written by the program: no callback fires.
  EXPECT_TRUE(g_events.empty());
  // Things that have no numeric value.
  EXPECT_LT(SetCtrlVal(main_, kGraph, 1), 0);
  EXPECT_LT(GetCtrlVal(main_, kDeco, &i), 0);
  EXPECT_LT(GetCtrlVal(main_, 999, &i), 0);
}

TEST_F(PanelTest, RingsAndPortList) {
  EXPECT_EQ(SetCtrlVal(main_, kRing, 2), 0);
  EXPECT_EQ(Int(kRing), 2);
  EXPECT_EQ(Text(main_, kRing), "two");
  EXPECT_LT(SetCtrlVal(main_, kRing, 3), 0);  // no such item: unchanged
  EXPECT_EQ(Int(kRing), 2);

  EXPECT_EQ(SetCtrlVal(main_, kPorts, kSimPort), 0);
  EXPECT_EQ(Int(kPorts), kSimPort);
  auto* ports = qobject_cast<QComboBox*>(W(kPorts));
  const int before = ports->count();
  // A port the machine does not list is added, so the choice shows.
  EXPECT_EQ(SetCtrlVal(main_, kPorts, 57), 0);
  EXPECT_EQ(Int(kPorts), 57);
  EXPECT_EQ(ports->count(), before + 1);
  EXPECT_NE(Text(main_, kPorts).find("COM57"), std::string::npos);
  SetCtrlVal(main_, kPorts, 57);
  EXPECT_EQ(ports->count(), before + 1);
  EXPECT_TRUE(g_events.empty());
}

TEST_F(PanelTest, TextValuesAndSafeCopies) {
  SetCtrlVal(main_, kStatus, "Echo Check - Line Ok!");
  EXPECT_EQ(Text(main_, kStatus), "Echo Check - Line Ok!");
  char small[5];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(GetCtrlVal(main_, kStatus, small, sizeof small), 0);
  EXPECT_STREQ(small, "Echo");
  // Never split a character.
  SetCtrlVal(main_, kStatus, "ab\xC3\xA4");
  char three[4];
  GetCtrlVal(main_, kStatus, three, sizeof three);
  EXPECT_STREQ(three, "ab");
  EXPECT_LT(GetCtrlVal(main_, kStatus, small, 0), 0);
  // Single-byte texts of the Windows code page reach the screen intact.
  SetCtrlVal(main_, kStatus, "7.8\xB5m, 5\x80");
  EXPECT_EQ(Text(main_, kStatus), "7.8\xC2\xB5m, 5\xE2\x82\xAC");
  ReplaceTextBoxLine(main_, kText, 0, "+/-1\xB5m");
  EXPECT_EQ(Text(main_, kText), "+/-1\xC2\xB5m");

  // A text box shows the text written last, whole.
  SetCtrlVal(main_, kText, "first");
  SetCtrlVal(main_, kText, "line 1\nline 2");
  EXPECT_EQ(Text(main_, kText), "line 1\nline 2");
  SetCtrlVal(main_, kMsg, "hello");
  EXPECT_EQ(Text(main_, kMsg), "hello");
}

TEST_F(PanelTest, TextBoxLines) {
  EXPECT_EQ(ReplaceTextBoxLine(main_, kText, 3, "four"), 0);
  EXPECT_EQ(Text(main_, kText), "\n\n\nfour");
  ReplaceTextBoxLine(main_, kText, 1, "two");
  EXPECT_EQ(Text(main_, kText), "\ntwo\n\nfour");
  char line[16];
  EXPECT_EQ(GetTextBoxLine(main_, kText, 3, line, sizeof line), 0);
  EXPECT_STREQ(line, "four");
  EXPECT_LT(GetTextBoxLine(main_, kText, 4, line, sizeof line), 0);
  EXPECT_EQ(ResetTextBox(main_, kText, "new"), 0);
  EXPECT_EQ(Text(main_, kText), "new");

  EXPECT_EQ(ReplaceTextBoxLine(main_, kStatus, 0, "status"), 0);
  EXPECT_EQ(Text(main_, kStatus), "status");
  EXPECT_LT(ReplaceTextBoxLine(main_, kStatus, 1, "x"), 0);
  EXPECT_LT(ReplaceTextBoxLine(main_, kText, -1, "x"), 0);
  EXPECT_LT(ResetTextBox(main_, kSpin, "x"), 0);
}

// ---- Attributes ------------------------------------------------------------------

TEST_F(PanelTest, GeometryVisibilityAndDimming) {
  int top = 0, left = 0, height = 0, width = 0;
  EXPECT_EQ(GetCtrlBoundingRect(main_, kBtn, &top, &left, &height, &width), 0);
  EXPECT_EQ(top, 10);
  EXPECT_EQ(left, 10);
  EXPECT_EQ(height, 24);
  EXPECT_EQ(width, 80);
  SetCtrlAttribute(main_, kText, ATTR_LEFT, left + width + 10);
  SetCtrlAttribute(main_, kText, ATTR_TOP, top - 20);
  SetCtrlAttribute(main_, kText, ATTR_WIDTH, 250);
  int v = 0;
  EXPECT_EQ(Attr(kText, ATTR_LEFT), 100);
  EXPECT_EQ(Attr(kText, ATTR_TOP), -10);
  EXPECT_EQ(Attr(kText, ATTR_WIDTH), 250);

  DisplayPanel(main_);
  SetCtrlAttribute(main_, kText, ATTR_VISIBLE, 1);
  EXPECT_TRUE(CtrlVisible(main_, kText));
  SetCtrlAttribute(main_, kBtn, ATTR_VISIBLE, 0);
  EXPECT_FALSE(CtrlVisible(main_, kBtn));
  EXPECT_EQ(Attr(kBtn, ATTR_VISIBLE), 0);

  SetCtrlAttribute(main_, kSpin, ATTR_DIMMED, 1);
  EXPECT_TRUE(CtrlDimmed(main_, kSpin));
  EXPECT_EQ(Attr(kSpin, ATTR_DIMMED), 1);
  SetCtrlAttribute(main_, kSpin, ATTR_DIMMED, 0);
  EXPECT_FALSE(CtrlDimmed(main_, kSpin));

  EXPECT_LT(SetCtrlAttribute(main_, kBtn, 9999, 1), 0);
  EXPECT_LT(GetCtrlAttribute(main_, kBtn, 9999, &v), 0);
  EXPECT_LT(SetCtrlAttribute(main_, kBtn, ATTR_NUM_TRACES, 5), 0);
}

TEST_F(PanelTest, ColoursFontsAndLabels) {
  EXPECT_EQ(SetCtrlAttribute(main_, kNum, ATTR_TEXT_BGCOLOR, 0x008000), 0);
  EXPECT_EQ(Attr(kNum, ATTR_TEXT_BGCOLOR), 0x008000);
  QPalette pal = W(kNum)->palette();
  EXPECT_EQ(pal.color(QPalette::Base).rgb() & 0xFFFFFF, 0x008000u);
  // Dark green background: the text turns white to stay readable.
  EXPECT_EQ(pal.color(QPalette::Active, QPalette::Text), QColor(Qt::white));
  SetCtrlAttribute(main_, kNum, ATTR_TEXT_BGCOLOR, 0xFFFF00);
  EXPECT_EQ(W(kNum)->palette().color(QPalette::Active, QPalette::Text), QColor(Qt::black));
  // An explicit text colour wins.
  SetCtrlAttribute(main_, kNum, ATTR_TEXT_COLOR, 0x0000FF);
  EXPECT_EQ(W(kNum)->palette().color(QPalette::Active, QPalette::Text), QColor(0, 0, 255));
  EXPECT_EQ(Attr(kNum, ATTR_TEXT_COLOR), 0x0000FF);

  SetCtrlAttribute(main_, kMsg, ATTR_TEXT_BGCOLOR, 0x0080FF);
  EXPECT_TRUE(W(kMsg)->autoFillBackground());
  EXPECT_EQ(W(kMsg)->palette().color(QPalette::Window).rgb() & 0xFFFFFF, 0x0080FFu);

  SetCtrlAttribute(main_, kDeco, ATTR_FRAME_COLOR, 0x0080FF);
  EXPECT_EQ(Attr(kDeco, ATTR_FRAME_COLOR), 0x0080FF);
  EXPECT_TRUE(W(kDeco)->autoFillBackground());
  EXPECT_EQ(W(kDeco)->palette().color(QPalette::Window).rgb() & 0xFFFFFF, 0x0080FFu);

  SetCtrlAttribute(main_, kMsg, ATTR_TEXT_POINT_SIZE, 18);
  SetCtrlAttribute(main_, kMsg, ATTR_TEXT_BOLD, 1);
  EXPECT_EQ(Attr(kMsg, ATTR_TEXT_POINT_SIZE), 18);
  EXPECT_EQ(Attr(kMsg, ATTR_TEXT_BOLD), 1);
  QFont odd("Courier");
  W(kMsg)->setFont(odd);
  SetCtrlAttribute(main_, kMsg, ATTR_TEXT_FONT, "NIApp");
  EXPECT_EQ(W(kMsg)->font().family(), QApplication::font().family());

  SetCtrlAttribute(main_, kBtn, ATTR_LABEL_TEXT, "Go");
  EXPECT_EQ(qobject_cast<QAbstractButton*>(W(kBtn))->text(), "Go");

  // Range of a numeric control: the value follows, silently.
  SetCtrlVal(main_, kSpin, 500);
  SetCtrlAttribute(main_, kSpin, ATTR_MAX_VALUE, 100);
  EXPECT_EQ(Attr(kSpin, ATTR_MAX_VALUE), 100);
  EXPECT_EQ(Int(kSpin), 100);
  SetCtrlAttribute(main_, kSlide, ATTR_MIN_VALUE, 10);
  EXPECT_EQ(Attr(kSlide, ATTR_MIN_VALUE), 10);
  EXPECT_TRUE(g_events.empty());
}

TEST_F(PanelTest, RunTimeTextMessagesAndPictures) {
  DisplayPanel(main_);
  const int a = NewCtrl(main_, CTRL_TEXT_MSG, "", 9, 15);
  const int b = NewCtrl(main_, CTRL_TEXT_MSG, "", 24, 15);
  EXPECT_GE(a, 1000);
  EXPECT_GE(b, 1000);
  EXPECT_NE(a, b);
  SetCtrlAttribute(main_, a, ATTR_TEXT_FONT, "NIApp");
  SetCtrlAttribute(main_, a, ATTR_TEXT_POINT_SIZE, 11);
  SetCtrlVal(main_, a, "Velmora GmbH");
  EXPECT_EQ(Text(main_, a), "Velmora GmbH");
  EXPECT_TRUE(CtrlVisible(main_, a));
  int top = 0, left = 0, height = 0, width = 0;
  GetCtrlBoundingRect(main_, a, &top, &left, &height, &width);
  EXPECT_EQ(top, 9);
  EXPECT_EQ(left, 15);
  EXPECT_GE(width, QFontMetrics(W(a)->font()).horizontalAdvance("Velmora GmbH"));
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
  ClickCtrl(main_, kBtn);
  EXPECT_EQ(EventCodes(), (std::vector<int>{3, 1}));
  EXPECT_EQ(g_events[0], (Ev{main_, kBtn, 3}));

  g_events.clear();
  ClickCtrl(main_, kTog);
  EXPECT_EQ(EventCodes(), (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(Int(kTog), 1);
  ClickCtrl(main_, kTog);
  EXPECT_EQ(Int(kTog), 0);

  g_events.clear();
  ClickCtrl(main_, kRad);
  EXPECT_EQ(EventCodes(), (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(Int(kRad), 1);

  // A ring only opens on a click; nothing is chosen yet.
  g_events.clear();
  ClickCtrl(main_, kRing);
  EXPECT_EQ(EventCodes(), (std::vector<int>{3}));

  // Dimmed and hidden controls take no left click.
  g_events.clear();
  EXPECT_EQ(ClickCtrl(main_, kDimmed), 0);
  EXPECT_EQ(ClickCtrl(main_, kText), 0);
  EXPECT_TRUE(g_events.empty());
  // Help is asked for on dimmed controls too, not on hidden ones.
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
  // An arrow step of the spin box.
  qobject_cast<QSpinBox*>(W(kSpin))->stepUp();
  EXPECT_EQ(EventCodes(), (std::vector<int>{2, 1}));
  // A typed value counts once entered, not per keystroke.
  g_events.clear();
  auto* spinEdit = W(kSpin)->findChild<QLineEdit*>();
  ASSERT_TRUE(spinEdit);
  spinEdit->setFocus();
  spinEdit->selectAll();
  spinEdit->insert("123");
  EXPECT_TRUE(g_events.empty());
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(W(kSpin), &enter);
  EXPECT_EQ(EventCodes(), (std::vector<int>{2, 1}));
  EXPECT_EQ(Int(kSpin), 123);

  g_events.clear();
  qobject_cast<QSlider*>(W(kSlide))->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(EventCodes(), (std::vector<int>{2, 1}));

  g_events.clear();
  emit qobject_cast<QComboBox*>(W(kRing))->activated(1);
  EXPECT_EQ(EventCodes(), (std::vector<int>{2, 1}));

  g_events.clear();
  EXPECT_EQ(EnterCtrlVal(main_, kDSpin, 2.5), 1);
  EXPECT_EQ(EventCodes(), (std::vector<int>{2, 1}));
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
  auto press = [](QWidget* w, Qt::MouseButton b, quint64 stamp) {
    QMouseEvent e(QEvent::MouseButtonPress, QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), b, b,
                  Qt::NoModifier);
    e.setTimestamp(stamp);
    QApplication::sendEvent(w, &e);
    QMouseEvent r(QEvent::MouseButtonRelease, QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), b,
                  Qt::NoButton, Qt::NoModifier);
    r.setTimestamp(stamp + 1);
    QApplication::sendEvent(w, &r);
  };
  // Right click on a dimmed button (its help text).
  press(W(kDimmed), Qt::RightButton, 100);
  EXPECT_EQ(g_events, (std::vector<Ev>{{main_, kDimmed, 5}}));
  // A left click on a button: click, then commit.
  g_events.clear();
  press(W(kBtn), Qt::LeftButton, 200);
  EXPECT_EQ(EventCodes(), (std::vector<int>{3, 1}));
  // The text box is clicked on its viewport: one event for the control.
  SetCtrlAttribute(main_, kText, ATTR_VISIBLE, 1);
  g_events.clear();
  press(qobject_cast<QPlainTextEdit*>(W(kText))->viewport(), Qt::LeftButton, 300);
  EXPECT_EQ(g_events, (std::vector<Ev>{{main_, kText, 3}}));
  // The same with the text box dimmed: the press reaches the control once.
  SetCtrlAttribute(main_, kText, ATTR_DIMMED, 1);
  g_events.clear();
  press(qobject_cast<QPlainTextEdit*>(W(kText))->viewport(), Qt::RightButton, 400);
  EXPECT_EQ(g_events, (std::vector<Ev>{{main_, kText, 5}}));
  // Graphs report clicks too.
  g_events.clear();
  press(W(kGraph), Qt::RightButton, 500);
  EXPECT_EQ(g_events, (std::vector<Ev>{{main_, kGraph, 5}}));
}

TEST_F(PanelTest, ClosingTheWindowAsksTheProgram) {
  DisplayPanel(main_);
  QWidget* w = tarvo_ui::PanelWidget(main_);
  QCloseEvent close;
  QApplication::sendEvent(w, &close);
  EXPECT_FALSE(close.isAccepted());
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(g_events, (std::vector<Ev>{{main_, 0, EVENT_CLOSE}}));
  EXPECT_EQ(FirePanelEvent(main_, EVENT_CLOSE), 0);
  EXPECT_EQ(g_events.size(), 2u);

  // A window without a callback just goes away.
  const int bare = LoadPanel(0, path_.c_str(), kBareId);
  DisplayPanel(bare);
  QWidget* bw = tarvo_ui::PanelWidget(bare);
  QCloseEvent close2;
  QApplication::sendEvent(bw, &close2);
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

TEST_F(PanelTest, PanelDiscardedInsideItsOwnCallback) {
  DisplayPanel(main_);
  QPointer<QWidget> panel = tarvo_ui::PanelWidget(main_);
  QPointer<QWidget> button = W(kTog);
  // Discarded on the left click of its own toggle button, then events are
  // processed further down in the same callback.
  g_onEvent = [this](int, int control, int event) {
    if (control == kTog && event == EVENT_LEFT_CLICK) {
      DiscardPanel(main_);
      for (int i = 0; i < 3; ++i) ProcessSystemEvents();
    }
  };
  EXPECT_EQ(ClickCtrl(main_, kTog), 1);
  EXPECT_EQ(EventCodes(), (std::vector<int>{3}));  // no value change or commit after that
  EXPECT_FALSE(tarvo_ui::FindPanel(main_));
  EXPECT_TRUE(panel);  // still there while the click was being handled
  Pump();
  EXPECT_FALSE(panel);
  EXPECT_FALSE(button);

  // The same through Qt's own signal: discarded on commit inside clicked().
  main_ = LoadPanel(0, path_.c_str(), kMainId);
  DisplayPanel(main_);
  panel = tarvo_ui::PanelWidget(main_);
  g_events.clear();
  g_onEvent = [this](int, int control, int event) {
    if (control == kTog && event == EVENT_VAL_CHANGED) {
      DiscardPanel(main_);
      ProcessSystemEvents();
    }
  };
  qobject_cast<QAbstractButton*>(W(kTog))->click();
  EXPECT_EQ(EventCodes(), (std::vector<int>{2}));
  Pump();
  EXPECT_FALSE(panel);
}

TEST_F(PanelTest, FireCtrlEventReachesTheNamedCallbackOnly) {
  EXPECT_EQ(FireCtrlEvent(main_, kSpin, EVENT_COMMIT), 0);
  EXPECT_EQ(FireCtrlEvent(main_, kNum, EVENT_COMMIT), 0);  // no callback: nothing
  EXPECT_LT(FireCtrlEvent(main_, 999, EVENT_COMMIT), 0);
  EXPECT_LT(FireCtrlEvent(-5, kSpin, EVENT_COMMIT), 0);
  EXPECT_EQ(g_events, (std::vector<Ev>{{main_, kSpin, 1}}));
}

// ---- Graphs ---------------------------------------------------------------------

TEST_F(PanelTest, GraphPlotsAxesAndCursors) {
  EXPECT_EQ(DeleteGraphPlot(main_, kGraph, VAL_ALL_PLOTS, VAL_DELAYED_DRAW), 0);
  EXPECT_TRUE(GetGraphPlots(main_, kGraph).empty());
  const int bar = PlotRectangle(main_, kGraph, 998, 0.25, 1002, 1.0, 0xFF0000, 0xFF0000);
  const int win = PlotRectangle(main_, kGraph, 990, 0.0, 1010, 0.35, 0x00FF00, 0x00FF00);
  EXPECT_GT(bar, 0);
  EXPECT_GT(win, 0);
  EXPECT_NE(bar, win);
  std::vector<PlotInfo> plots = GetGraphPlots(main_, kGraph);
  ASSERT_EQ(plots.size(), 2u);
  EXPECT_EQ(plots[0].kind, PlotInfo::kRectangle);
  EXPECT_EQ(plots[0].x1, 998);
  EXPECT_EQ(plots[0].y2, 1.0);
  EXPECT_EQ(plots[0].fillColor, 0xFF0000);
  EXPECT_EQ(plots[1].frameColor, 0x00FF00);
  EXPECT_EQ(DeleteGraphPlot(main_, kGraph, bar, VAL_DELAYED_DRAW), 0);
  plots = GetGraphPlots(main_, kGraph);
  ASSERT_EQ(plots.size(), 1u);
  EXPECT_EQ(plots[0].x1, 990);
  EXPECT_LT(DeleteGraphPlot(main_, kGraph, bar, VAL_DELAYED_DRAW), 0);

  // Frame after frame: the plots drawn after a delete replace the old ones.
  for (int frame = 0; frame < 3; ++frame) {
    DeleteGraphPlot(main_, kGraph, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
    PlotRectangle(main_, kGraph, frame, 0, frame + 1, 1, 0xA0A0A0, 0xA0A0A0);
  }
  plots = GetGraphPlots(main_, kGraph);
  ASSERT_EQ(plots.size(), 1u);
  EXPECT_EQ(plots[0].x1, 2);

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
  EXPECT_EQ(plots[0].xs[127], 127 * 32.0);
  EXPECT_EQ(plots[0].ys[127], 60127.0);
  EXPECT_EQ(plots[0].color, 0xFF0000);
  EXPECT_EQ(plots[0].plotStyle, VAL_FAT_LINE);
  EXPECT_LT(PlotXY(main_, kGraph, x, y, 0, VAL_FAT_LINE, VAL_SIMPLE_DOT, VAL_SOLID, 1, 0), 0);

  double lo = 0, hi = 0;
  EXPECT_EQ(Range(kGraph, VAL_XAXIS), Span(0, 4096));
  EXPECT_EQ(SetAxisScalingMode(main_, kGraph, VAL_XAXIS, VAL_MANUAL, 1.0, 1024), 0);
  EXPECT_EQ(Range(kGraph, VAL_XAXIS), Span(1.0, 1024));
  EXPECT_LT(SetAxisScalingMode(main_, kGraph, VAL_XAXIS, VAL_MANUAL, 5, 5), 0);
  GetAxisRange(main_, kGraph, VAL_XAXIS, &lo, &hi);
  EXPECT_EQ(hi, 1024);
  SetAxisScalingMode(main_, kGraph, VAL_RIGHT_YAXIS, VAL_MANUAL, 0, 256);
  GetAxisRange(main_, kGraph, VAL_RIGHT_YAXIS, &lo, &hi);
  EXPECT_EQ(hi, 256);
  EXPECT_EQ(SetAxisScalingMode(main_, kGraph, VAL_LEFT_YAXIS, VAL_AUTOSCALE, 0, 0), 0);
  EXPECT_EQ(Range(kGraph, VAL_LEFT_YAXIS), Span(60000, 60127));

  double cx = 0, cy = 0;
  EXPECT_EQ(SetGraphCursor(main_, kGraph, 1, 1000, 0.75), 0);
  EXPECT_EQ(SetGraphCursor(main_, kGraph, 2, 52, 0.75), 0);
  GetGraphCursor(main_, kGraph, 2, &cx, &cy);
  EXPECT_EQ(cx, 52);
  EXPECT_EQ(cy, 0.75);
  EXPECT_LT(SetGraphCursor(main_, kGraph, 3, 0, 0), 0);  // the graph has two
  int style = 0;
  EXPECT_EQ(SetCursorAttribute(main_, kGraph, 2, ATTR_CURSOR_POINT_STYLE, VAL_SOLID_SQUARE), 0);
  GetCursorAttribute(main_, kGraph, 2, ATTR_CURSOR_POINT_STYLE, &style);
  EXPECT_EQ(style, VAL_SOLID_SQUARE);
  GetCursorAttribute(main_, kGraph, 1, ATTR_CURSOR_POINT_STYLE, &style);
  EXPECT_EQ(style, VAL_NO_POINT);

  // Graph calls on the wrong kind of control.
  EXPECT_LT(PlotRectangle(main_, kStrip, 0, 0, 1, 1, 0, 0), 0);
  EXPECT_LT(PlotStripChart(main_, kGraph, x, 1, 0, 0), 0);
  EXPECT_LT(SetGraphCursor(main_, kSpin, 1, 0, 0), 0);
}

TEST_F(PanelTest, StripChartTakesValuesInTurnAndKeepsOneScreen) {
  double values[500];
  for (int k = 0; k < 500; ++k) values[k] = k;
  EXPECT_EQ(StripChartUpdates(main_, kStrip), 0);
  EXPECT_EQ(PlotStripChart(main_, kStrip, values, 500, 0, 0), 0);
  for (int t = 1; t <= 5; ++t) {
    const std::vector<double> pts = GetStripTrace(main_, kStrip, t);
    ASSERT_EQ(pts.size(), 100u) << "trace " << t;
    EXPECT_EQ(pts.front(), t - 1);
    EXPECT_EQ(pts.back(), 495 + t - 1);
  }
  // A second update: 101 points per screen, so one older point stays.
  for (int k = 0; k < 500; ++k) values[k] = 1000 + k;
  PlotStripChart(main_, kStrip, values, 500, 0, 0);
  std::vector<double> pts = GetStripTrace(main_, kStrip, 4);
  ASSERT_EQ(pts.size(), 101u);
  EXPECT_EQ(pts.front(), 498);  // newest of the first update
  EXPECT_EQ(pts[1], 1003);
  EXPECT_EQ(pts.back(), 1498);
  EXPECT_EQ(StripChartUpdates(main_, kStrip), 2);

  // Start and skip pick every other value.
  ClearStripChart(main_, kStrip);
  EXPECT_TRUE(GetStripTrace(main_, kStrip, 1).empty());
  PlotStripChart(main_, kStrip, values, 5, 1, 1);  // values 1, 3, 5, 7, 9 of the array
  EXPECT_EQ(GetStripTrace(main_, kStrip, 1), (std::vector<double>{1001}));
  EXPECT_EQ(GetStripTrace(main_, kStrip, 5), (std::vector<double>{1009}));

  // Fewer points per screen keep the newest.
  PlotStripChart(main_, kStrip, values, 500, 0, 0);
  SetCtrlAttribute(main_, kStrip, ATTR_POINTS_PER_SCREEN, 10);
  pts = GetStripTrace(main_, kStrip, 1);
  ASSERT_EQ(pts.size(), 10u);
  EXPECT_EQ(pts.back(), 1495);
  EXPECT_EQ(Attr(kStrip, ATTR_POINTS_PER_SCREEN), 10);
  double lo = 0, hi = 0;
  GetAxisRange(main_, kStrip, VAL_XAXIS, &lo, &hi);
  EXPECT_EQ(hi - lo, 9);

  SetCtrlAttribute(main_, kStrip, ATTR_NUM_TRACES, 2);
  EXPECT_EQ(Attr(kStrip, ATTR_NUM_TRACES), 2);
  EXPECT_TRUE(GetStripTrace(main_, kStrip, 3).empty());
  EXPECT_LT(SetCtrlAttribute(main_, kStrip, ATTR_NUM_TRACES, 0), 0);
  EXPECT_EQ(SetCtrlAttribute(main_, kStrip, ATTR_SCROLL_MODE, 1), 0);
  EXPECT_EQ(Attr(kStrip, ATTR_SCROLL_MODE), 1);
}

TEST_F(PanelTest, StripChartTracesAndValueAxis) {
  EXPECT_EQ(SetTraceAttribute(main_, kStrip, 1, ATTR_TRACE_COLOR, 0x008000), 0);
  EXPECT_EQ(SetTraceAttribute(main_, kStrip, 1, ATTR_TRACE_THICKNESS, 1), 0);
  EXPECT_EQ(TraceAttr(1, ATTR_TRACE_COLOR), 0x008000);
  EXPECT_EQ(TraceAttr(1, ATTR_TRACE_THICKNESS), 1);
  EXPECT_NE(TraceAttr(4, ATTR_TRACE_THICKNESS), 1);  // measured traces keep the solid style
  EXPECT_LT(SetTraceAttribute(main_, kStrip, 6, ATTR_TRACE_COLOR, 0), 0);

  double lo = 0, hi = 0;
  GetAxisRange(main_, kStrip, VAL_LEFT_YAXIS, &lo, &hi);  // from the panel file
  EXPECT_EQ(hi, 4096);
  EXPECT_EQ(SetAxisScalingMode(main_, kStrip, VAL_LEFT_YAXIS, VAL_MANUAL, 480, 520), 0);
  EXPECT_EQ(Range(kStrip, VAL_LEFT_YAXIS), Span(480, 520));
}

// What is drawn on the screen: the bar, the window and a cursor show in
// their colours, the reference traces dashed.
TEST_F(PanelTest, GraphsReallyDrawWhatTheyHold) {
  DisplayPanel(main_);
  Pump();
  SetAxisScalingMode(main_, kGraph, VAL_XAXIS, VAL_MANUAL, 0, 100);
  DeleteGraphPlot(main_, kGraph, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
  PlotRectangle(main_, kGraph, 10, 0.25, 30, 1.0, 0xFF0000, 0xFF0000);
  PlotRectangle(main_, kGraph, 60, 0.0, 80, 0.35, 0x00FF00, 0x00FF00);
  SetGraphCursor(main_, kGraph, 1, 50, 0.75);
  Pump();
  const QImage img = W(kGraph)->grab().toImage();
  auto count = [&img](QRgb rgb) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if ((img.pixel(x, y) & 0xFFFFFF) == (rgb & 0xFFFFFF)) ++n;
    return n;
  };
  EXPECT_GT(count(qRgb(255, 0, 0)), 100);
  EXPECT_GT(count(qRgb(0, 255, 0)), 100);
  EXPECT_GT(count(qRgb(0, 0, 170)), 40);  // cursor 1 cross-hair

  // A frame later the old bar is gone and the new one drawn.
  DeleteGraphPlot(main_, kGraph, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
  PlotRectangle(main_, kGraph, 10, 0.25, 30, 1.0, 0x0000FF, 0x0000FF);
  Pump();
  const QImage img2 = W(kGraph)->grab().toImage();
  int red = 0, blue = 0;
  for (int y = 0; y < img2.height(); ++y)
    for (int x = 0; x < img2.width(); ++x) {
      red += (img2.pixel(x, y) & 0xFFFFFF) == 0xFF0000;
      blue += (img2.pixel(x, y) & 0xFFFFFF) == 0x0000FF;
    }
  EXPECT_EQ(red, 0);
  EXPECT_GT(blue, 100);

  double values[500];
  for (int k = 0; k < 500; ++k) values[k] = k % 5 == 3 ? 2000 : 500;  // trace 4 apart
  SetTraceAttribute(main_, kStrip, 4, ATTR_TRACE_COLOR, 0xFF0000);
  PlotStripChart(main_, kStrip, values, 500, 0, 0);
  Pump();
  const QImage strip = W(kStrip)->grab().toImage();
  int stripRed = 0;  // reddish: the line is drawn smoothed
  for (int y = 0; y < strip.height(); ++y)
    for (int x = 0; x < strip.width(); ++x) {
      const QColor c = strip.pixelColor(x, y);
      stripRed += c.red() > 200 && c.green() < 100 && c.blue() < 100;
    }
  EXPECT_GT(stripRed, 100);
  if (qEnvironmentVariableIsSet("TARVO_UI_DUMP")) {
    img.save("/tmp/graph1.png");
    img2.save("/tmp/graph2.png");
    strip.save("/tmp/strip.png");
  }
}

}  // namespace
