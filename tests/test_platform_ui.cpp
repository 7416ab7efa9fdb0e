// The panel, control and graph services on real Qt widgets: loading panels
// from a panel file of the tests' own, values and attributes, the events the
// callbacks receive (also nested and with panels discarded inside them), and
// what the graphs and the strip chart show.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QtWidgets>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/chart.h"
#include "platform/clock.h"
#include "platform/graph_probe.h"
#include "platform/panel_registry.h"
#include "platform/port_labels.h"
#include "platform/qt_serial_backend.h"
#include "platform/scripted_line.h"
#include "platform/serial.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "tests/support/frames.h"
#include "tests/support/harness.h"

namespace {
using tframes::AxisRange;
using tframes::IntVal;

// ---- A panel file of our own ---------------------------------------------------

// Properties as "name=type:value;...": type b(ool), n(umber), d(ouble), s(tring)
// or e(num); a leading '*' marks a property of our own (not a Qt one), "item"
// an item of a ring.
std::string Props(const std::string& list) {
  const std::map<char, std::string> types = {
      {'b', "bool"}, {'n', "number"}, {'d', "double"}, {'s', "string"}, {'e', "enum"}};
  std::string out;
  std::stringstream in(list);
  for (std::string p; std::getline(in, p, ';');) {
    if (p.empty()) continue;
    const bool own = p[0] == '*';
    const size_t eq = p.find('=');
    const std::string name = p.substr(own, eq - own), type = types.at(p[eq + 1]),
                      value = p.substr(eq + 3);
    out += name == "item" ? "<item>" + Props("text=s:" + value) + "</item>"
                          : "<property name=\"" + name + "\"" + (own ? " stdset=\"0\"" : "") +
                                "><" + type + ">" + value + "</" + type + "></property>";
  }
  return out;
}

// Control numbers of the test panels.
enum { kBtn = 1, kTog, kRad, kSpin, kDSpin, kNum, kStatus, kRing };
enum { kPorts = 10, kSlide, kText, kMsg, kDeco, kPict, kGraph, kStrip, kDimmed };
constexpr int kMainId = 1, kChildId = 2, kBareId = 3;

// A control: class, number (0: none), geometry, properties, whether it has the callback.
struct Def {
  const char* cls;
  int id, x, y, w, h;
  std::string props;
  bool callback = true;
};
std::string Widget(const std::string& cls, const std::string& name, const Def& d,
                   const std::string& props, const std::string& body = "") {
  std::string rect;
  for (auto [tag, v] : {std::pair{"x", d.x}, {"y", d.y}, {"width", d.w}, {"height", d.h}})
    rect += "<" + std::string(tag) + ">" + std::to_string(v) + "</" + tag + ">";
  return "<widget class=\"" + cls + "\" name=\"" + name + "\"><property name=\"geometry\"><rect>" +
         rect + "</rect></property>" + Props(props) + body + "</widget>";
}
std::string Panel(int id, int w, int h, const std::string& props, const std::vector<Def>& defs) {
  std::string body;
  for (const Def& d : defs)
    body += Widget(d.cls, "C" + std::to_string(d.id), d,
                   d.props + (d.id ? ";*ctrlId=n:" + std::to_string(d.id) : "") +
                       (d.callback ? ";*callback=s:T_CTRL" : ""));
  return Widget("QWidget", "P" + std::to_string(id), {"", 0, 30, 40, w, h},
                props + "*panelId=n:" + std::to_string(id), body);
}

std::string PanelFileText() {
  const std::vector<Def> main = {
      {"QPushButton", kBtn, 10, 10, 80, 24, "text=s:Run"},
      {"QPushButton", kTog, 100, 10, 80, 24, "checkable=b:true"},
      {"QRadioButton", kRad, 190, 10, 80, 24, "autoExclusive=b:false"},
      {"QSpinBox", kSpin, 10, 40, 80, 24, "maximum=n:65535"},
      {"QDoubleSpinBox", kDSpin, 100, 40, 80, 24, "decimals=n:3;maximum=d:100000"},
      {"QLineEdit", kNum, 10, 70, 80, 24, "readOnly=b:true;*precision=n:3", false},
      {"QLineEdit", kStatus, 100, 70, 300, 24, "readOnly=b:true", false},
      {"QComboBox", kRing, 10, 100, 80, 24, "item=s:zero;item=s:one;item=s:two"},
      {"QComboBox", kPorts, 100, 100, 200, 24, "*portList=b:true"},
      {"QSlider", kSlide, 10, 130, 200, 20, "orientation=e:Qt::Horizontal;maximum=n:255"},
      {"QPlainTextEdit", kText, 10, 160, 200, 80, "readOnly=b:true;*startHidden=b:true"},
      {"QLabel", kMsg, 220, 160, 100, 20, "text=s:msg"},
      {"QFrame", kDeco, 0, 250, 600, 10, "", false},
      {"QLabel", kPict, 400, 10, 64, 32, "", false},
      {"TarvoGraph", kGraph, 10, 270, 300, 100, "*cursors=n:2;*xMax=d:4096;*yMin=d:0;*yMax=d:1"},
      {"TarvoStripChart", kStrip, 320, 270, 270, 100,
       "*traces=n:5;*pointsPerScreen=n:101;*yMin=d:0;*yMax=d:4096", false},
      {"QPushButton", kDimmed, 500, 40, 80, 24, "enabled=b:false"},
      {"QLabel", 0, 320, 160, 60, 20, "text=s:label", false},
  };
  std::string custom;
  for (const char* cls : {"TarvoGraph", "TarvoStripChart"})
    custom += "<customwidget><class>" + std::string(cls) +
              "</class><extends>QWidget</extends></customwidget>";
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ui version=\"4.0\"><class>TarvoPanels"
         "</class><widget class=\"QWidget\" name=\"TarvoPanels\">" +
         Panel(kChildId, 200, 100, "", {{"QSpinBox", 1, 5, 5, 80, 24, ""}}) +
         Panel(kMainId, 600, 400, "windowTitle=s:Test main;*callback=s:T_PANEL;", main) +
         Panel(kBareId, 100, 50, "", {{"QPushButton", 1, 5, 5, 80, 24, "", false}}) +
         "</widget><customwidgets>" + custom + "</customwidgets></ui>\n";
}

// ---- Callbacks that record what they receive -------------------------------------

using Ev = std::tuple<int, int, int>;  // panel, control (0: the panel), event
std::vector<Ev> g_events;
std::function<void(int, int, int)> g_onEvent;  // runs inside the callback

int TCtrl(int panel, int control, int event, void*, int, int) {
  g_events.emplace_back(panel, control, event);
  if (auto fn = g_onEvent) fn(panel, control, event);  // a copy: a nested callback may replace it
  return 0;
}
int TPanel(int panel, int event, void*, int, int) {
  g_events.emplace_back(panel, 0, event);
  return 0;
}
const CallbackEntry kTable[] = {{"T_CTRL", TCtrl, nullptr}, {"T_PANEL", nullptr, TPanel}};

// The event codes received since the last call.
using Codes = std::vector<int>;
Codes TakeCodes() {
  Codes out;
  for (const Ev& e : g_events) out.push_back(std::get<2>(e));
  g_events.clear();
  return out;
}

void Pump() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

class PanelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new QTemporaryDir;
    path_ = dir_->filePath("panels.ui").toStdString();
    std::ofstream(path_) << PanelFileText();
  }
  static void TearDownTestSuite() { delete dir_; }
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
  QWidget* Wd(int control) { return tarvo_ui::CtrlWidget(main_, control); }
  // What a control shows once `value` is written into it.
  template <class T>
  std::string Shown(int control, T value) {
    SetCtrlVal(main_, control, value);
    return CtrlText(main_, control);
  }
  using Span = std::pair<double, double>;
  // Pixels of a control for which `match` holds, as the screen shows them once
  // the deferred drawing has been painted (a partial repaint included).
  int Pixels(int control, const std::function<bool(QColor)>& match) {
    QElapsedTimer t;
    for (t.start(); t.elapsed() < 30;) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QWidget* w = Wd(control);
    const QPoint at = w->mapTo(w->window(), QPoint(0, 0));
    const QImage img =
        w->screen()
            ->grabWindow(w->window()->winId(), at.x(), at.y(), w->width(), w->height())
            .toImage();
    return Matching(img, match);
  }
  static int Matching(const QImage& img, const std::function<bool(QColor)>& match) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) n += match(img.pixelColor(x, y));
    return n;
  }

  static inline QTemporaryDir* dir_ = nullptr;
  static inline std::string path_;
  int main_ = 0;
};

// ---- Loading -------------------------------------------------------------------

TEST_F(PanelTest, LoadFailuresWhereTheFileIsFoundAndTopLevelAndChildPanels) {
  EXPECT_EQ(LoadPanel(0, (dir_->path() + "/missing.ui").toUtf8().constData(), kMainId), -1);
  const std::string bad = dir_->filePath("bad.ui").toStdString();
  std::ofstream(bad) << "this is not <xml";
  EXPECT_EQ(LoadPanel(0, bad.c_str(), kMainId), -2);
  EXPECT_EQ(LoadPanel(0, path_.c_str(), 99), -3);
  EXPECT_LT(LoadPanel(12345, path_.c_str(), kChildId), 0);  // no such parent

  // By name: in the current directory, then beside the program.
  const QString cwd = QDir::currentPath(),
                beside = QCoreApplication::applicationDirPath() + "/tarvo_ui_test_beside.ui";
  ASSERT_TRUE(QDir::setCurrent(dir_->path()));
  const int byName = LoadPanel(0, "panels.ui", kBareId);
  QFile::remove(beside);
  ASSERT_TRUE(QFile::copy(dir_->filePath("panels.ui"), beside));
  QTemporaryDir elsewhere;
  ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
  const int found = LoadPanel(0, "tarvo_ui_test_beside.ui", kBareId);
  QFile::remove(beside);
  QDir::setCurrent(cwd);
  EXPECT_TRUE(byName > 0 && found > 0) << byName << " " << found;

  // A top-level panel and a child panel.
  QWidget* w = tarvo_ui::PanelWidget(main_);
  EXPECT_TRUE(w->isWindow() && w->windowTitle() == "Test main" && w->size() == QSize(600, 400));
  EXPECT_FALSE(PanelVisible(main_));                  // not shown before DisplayPanel
  EXPECT_EQ(w->findChildren<QSpinBox*>().size(), 1);  // only the numbered panel is built

  const int child = LoadPanel(main_, path_.c_str(), kChildId);
  ASSERT_GT(child, 0);
  QWidget* c = tarvo_ui::PanelWidget(child);
  EXPECT_TRUE(c->parentWidget() == w && c->pos() == QPoint(30, 40));
  DisplayPanel(main_);
  // startHidden and enabled = false in the file; child panels start hidden.
  EXPECT_EQ(
      std::vector<bool>({CtrlVisible(main_, kText), CtrlVisible(main_, kBtn),
                         CtrlDimmed(main_, kDimmed), CtrlDimmed(main_, kBtn), PanelVisible(child)}),
      std::vector<bool>({false, true, true, false, false}));
  DisplayPanel(child);
  EXPECT_TRUE(PanelVisible(child));
  SetPanelAttribute(child, ATTR_LEFT, 120);
  SetPanelAttribute(child, ATTR_TOP, 7);
  EXPECT_EQ(c->pos(), QPoint(120, 7));
  HidePanel(main_);
  int own = -1;  // hidden with its parent, but it keeps its own state
  GetPanelAttribute(child, ATTR_VISIBLE, &own);
  EXPECT_EQ(std::make_pair(PanelVisible(child), own), std::make_pair(false, 1));

  // Discarding the parent takes the child along.
  DiscardPanel(main_);
  EXPECT_TRUE(SetCtrlVal(child, 1, 5) < 0 && DisplayPanel(main_) < 0);
}

// ---- Serial ports ------------------------------------------------------------------

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
  EXPECT_EQ(labels, (std::vector<std::string>{
                        "COM1  /dev/ttyS0", "COM33  /dev/ttyUSB0  FT232R USB UART (FTDI, A10K3Q2X)",
                        "COM34  /dev/ttyUSB1  FT232R USB UART (FTDI, B20X9)",
                        "COM65  /dev/ttyACM0  (Arduino)  - no access",
                        "SIM  (built-in sensor simulator, no hardware)"}));
}

// The port list as the panel loads it, a port the machine does not list, then
// an adapter plugged in and out while the program runs: a pseudo-terminal
// linked as the last USB port. Needs a writable /dev (CI runs as root).
TEST_F(PanelTest, PortListFollowsAdaptersAndKeepsTheSelection) {
  auto* ports = qobject_cast<QComboBox*>(Wd(kPorts));
  const std::vector<PortEntry> list = ListSerialPorts();
  ASSERT_EQ(ports->count(), static_cast<int>(list.size()));
  for (int i = 0; i < ports->count(); ++i)
    EXPECT_EQ(std::make_pair(ports->itemData(i).toInt(), ports->itemText(i).toStdString()),
              std::make_pair(list[i].number, list[i].label));
  // A port the machine does not list is added once, so the choice shows.
  EXPECT_EQ(SetCtrlVal(main_, kPorts, 57) + SetCtrlVal(main_, kPorts, 57), 0);
  EXPECT_EQ(std::make_pair(IntVal(main_, kPorts), ports->count()),
            std::make_pair(57, int(list.size()) + 1));
  EXPECT_NE(CtrlText(main_, kPorts).find("COM57"), std::string::npos);

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
  EXPECT_EQ(tarvo_ui::RefreshPortLists(), 1);
  EXPECT_LT(ports->findData(64), 0);
  EXPECT_EQ(IntVal(main_, kPorts), kSimPort);
  EXPECT_EQ(tarvo_ui::RefreshPortLists(), 0);  // nothing changed, nothing rebuilt
  EXPECT_TRUE(g_events.empty());
}

// While a reply is awaited the descriptor rests only as long as the awaited
// bytes cannot all have come at the line's rate; bytes already there, or
// nothing awaited, leave it watched, and idle it is not looked at again and again.
TEST(PortWait, TheDescriptorRestsOnlyWhileTheAwaitedBytesCannotHaveCome) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
  UseVirtualClock(false);
  const std::unique_ptr<PortBackend> port = MakeQtSerialBackend(ptsname(master), 19200, 0, 8, 1);
  ASSERT_EQ(port->Open(), 0);
  const auto awaited = [&](int bytes) {  // the rest before the port looks again
    port->WakeAfter(bytes);
    return port->NextArrivalIn();
  };
  // The terminal passes written bytes on a moment later.
  const auto eventually = [](const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i) usleep(1000);
    return done();
  };
  EXPECT_LT(awaited(1), 0);
  const double rest = awaited(36);
  EXPECT_TRUE(rest >= 0 && rest < 35 * 10.0 / 19200) << rest;
  const char reply[36] = {0};
  ASSERT_EQ(write(master, reply, 36), 36);
  std::vector<uint8_t> in;
  EXPECT_TRUE(eventually([&] { return port->Poll(in), in.size() == 36; }));
  EXPECT_LT(port->NextArrivalIn(), 0);  // the count is in
  EXPECT_LT(awaited(36), 0);            // the same count, no request: watched
  ASSERT_EQ(port->Write(reinterpret_cast<const uint8_t*>(reply), 4), 4);
  EXPECT_GE(awaited(36), 0);  // a request sent: its reply is slept through again
  ASSERT_EQ(write(master, reply, 30), 30);
  EXPECT_TRUE(eventually([&] { return awaited(10) < 0; }));  // more than the count is there
  port->Close();
  close(master);
}

// Bytes taken in while nothing was notified end a wait for them: the device
// will not announce them again, so the wait must not sleep to its deadline.
TEST(PortWait, BytesAlreadyTakenInEndTheWait) {
  UseVirtualClock(true);
  auto owned = std::make_unique<ScriptedLine>();
  ScriptedLine* line = owned.get();
  InstallPortBackend(3, std::move(owned));
  ASSERT_EQ(OpenComConfig(3, "", 19200, 0, 8, 1, 512, 512), 0);
  SetComWakeCount(3, 36);
  Pump();  // nothing else pending
  line->Arrive(Timer(), std::vector<uint8_t>(36, 0));
  const double t0 = Timer();
  ProcessSystemEventsUntil(t0 + 1.5);
  EXPECT_LT(Timer() - t0, 0.01);
  EXPECT_EQ(GetInQLen(3), 36);
  CloseCom(3);
  InstallPortBackend(3, nullptr);
}

// ---- Values ------------------------------------------------------------------------

TEST_F(PanelTest, ValuesTextBoxesAndRunTimeControls) {
  // Read back as a word: coerced into the control's range, truncated as in C.
  const std::tuple<int, double, int> words[] = {
      {kSpin, 70000, 65535}, {kSpin, -3, 0}, {kDSpin, 12.9, 12}, {kRing, 2, 2}};
  for (const auto& [control, set, expect] : words) {
    EXPECT_EQ(SetCtrlVal(main_, control, set), 0) << control;
    unsigned short u16 = 0;
    GetCtrlVal(main_, control, &u16);
    EXPECT_EQ(u16, expect) << control << " " << set;
  }
  EXPECT_EQ(CtrlText(main_, kRing), "two");
  EXPECT_LT(SetCtrlVal(main_, kRing, 3), 0);  // no such item: unchanged
  EXPECT_EQ(IntVal(main_, kRing), 2);
  // Numeric display: formatted with its precision; a status line shows numbers
  // as text, and single bytes of the Windows code page reach the screen intact.
  EXPECT_EQ(std::vector<std::string>({Shown(kNum, 1.23456), Shown(kNum, -0.0001),
                                      Shown(kStatus, 42u), Shown(kStatus, "7.8\xB5m, 5\x80")}),
            std::vector<std::string>({"1.235", "0.000", "42", "7.8\xC2\xB5m, 5\xE2\x82\xAC"}));
  int i = 0;
  for (int rc :
       {SetCtrlVal(main_, kGraph, 1), GetCtrlVal(main_, kDeco, &i), GetCtrlVal(main_, 999, &i)})
    EXPECT_LT(rc, 0);

  // Texts: cut to the buffer, never inside a character.
  char small[5];
  for (const auto& [set, size, expect] :
       {std::make_tuple("Echo Check", 5, "Echo"), std::make_tuple("ab\xC3\xA4", 4, "ab")}) {
    SetCtrlVal(main_, kStatus, set);
    EXPECT_EQ(GetCtrlVal(main_, kStatus, small, size), 0);
    EXPECT_STREQ(small, expect);
  }
  EXPECT_LT(GetCtrlVal(main_, kStatus, small, 0), 0);

  // Text boxes, line by line.
  ReplaceTextBoxLine(main_, kText, 3, "four");
  ReplaceTextBoxLine(main_, kText, 1, "+/-1\xB5m");
  EXPECT_EQ(CtrlText(main_, kText), "\n+/-1\xC2\xB5m\n\nfour");
  ResetTextBox(main_, kText, "new");
  ReplaceTextBoxLine(main_, kStatus, 0, "status");
  EXPECT_EQ(CtrlText(main_, kText) + " " + CtrlText(main_, kStatus), "new status");
  for (int rc : {ReplaceTextBoxLine(main_, kStatus, 1, "x"),
                 ReplaceTextBoxLine(main_, kText, -1, "x"), ResetTextBox(main_, kSpin, "x")})
    EXPECT_LT(rc, 0);

  // Text messages made at run time, and pictures.
  DisplayPanel(main_);
  const int a = NewCtrl(main_, CTRL_TEXT_MSG, "", 9, 15);
  const int b = NewCtrl(main_, CTRL_TEXT_MSG, "", 24, 15);
  EXPECT_TRUE(a >= 1000 && b >= 1000 && a != b) << a << " " << b;
  SetCtrlAttribute(main_, a, ATTR_TEXT_POINT_SIZE, 11);
  EXPECT_TRUE(Shown(a, "Velmora GmbH") == "Velmora GmbH" && CtrlVisible(main_, a) &&
              Wd(a)->pos() == QPoint(15, 9));
  EXPECT_GE(Wd(a)->width(), QFontMetrics(Wd(a)->font()).horizontalAdvance("Velmora GmbH"));
  EXPECT_LT(NewCtrl(main_, 77, "", 0, 0), 0);

  auto* pict = qobject_cast<QLabel*>(Wd(kPict));
  const QString bmp = dir_->filePath("logo.bmp");
  QImage img(16, 8, QImage::Format_RGB32);
  img.fill(Qt::red);
  ASSERT_TRUE(img.save(bmp, "BMP"));
  EXPECT_TRUE(DisplayImageFile(main_, kPict, bmp.toUtf8().constData()) == 0 &&
              !pict->pixmap().isNull());
  EXPECT_TRUE(DisplayImageFile(main_, kPict, "no-such-logo.bmp") < 0 && pict->pixmap().isNull());
  EXPECT_TRUE(g_events.empty());  // no callback fires for what the program writes
}

// ---- Attributes ------------------------------------------------------------------

// Each attribute as set, as read back, and what the widget itself shows.
TEST_F(PanelTest, AttributesReachTheWidgets) {
  DisplayPanel(main_);
  auto rgb = [](QColor c) { return static_cast<int>(c.rgb() & 0xFFFFFF); };
  auto base = [rgb](QWidget* w) { return rgb(w->palette().color(QPalette::Base)); };
  auto text = [rgb](QWidget* w) {
    return rgb(w->palette().color(QPalette::Active, QPalette::Text));
  };
  auto window = [rgb](QWidget* w) {
    return w->autoFillBackground() ? rgb(w->palette().color(QPalette::Window)) : -1;
  };
  const struct {
    int control, attribute, value;
    std::function<int(QWidget*)> shown;
    int expect;
  } rows[] = {
      {kText, ATTR_LEFT, 100, [](QWidget* w) { return w->x(); }, 100},
      {kText, ATTR_VISIBLE, 1, [](QWidget* w) { return int(w->isVisible()); }, 1},
      {kSpin, ATTR_DIMMED, 1, [](QWidget* w) { return int(!w->isEnabled()); }, 1},
      {kNum, ATTR_TEXT_BGCOLOR, 0x008000, base, 0x008000},
      {kNum, ATTR_TEXT_BGCOLOR, 0x008000, text, 0xFFFFFF},  // dark: the text turns white
      {kNum, ATTR_TEXT_BGCOLOR, 0xFFFF00, text, 0x000000},
      {kNum, ATTR_TEXT_COLOR, 0x0000FF, text, 0x0000FF},  // an explicit text colour wins
      {kMsg, ATTR_TEXT_BGCOLOR, 0x0080FF, window, 0x0080FF},
      {kDeco, ATTR_FRAME_COLOR, 0x0080FF, window, 0x0080FF},
      {kMsg, ATTR_TEXT_POINT_SIZE, 18, [](QWidget* w) { return w->font().pixelSize(); }, 18},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::to_string(r.control) + " attribute " + std::to_string(r.attribute));
    EXPECT_EQ(SetCtrlAttribute(main_, r.control, r.attribute, r.value), 0);
    int got = -1;
    GetCtrlAttribute(main_, r.control, r.attribute, &got);
    EXPECT_EQ(got, r.value);
    EXPECT_EQ(r.shown(Wd(r.control)), r.expect);
  }
  EXPECT_TRUE(g_events.empty());

  Wd(kMsg)->setFont(QFont("Courier"));
  SetCtrlAttribute(main_, kMsg, ATTR_TEXT_FONT, "NIApp");
  EXPECT_EQ(Wd(kMsg)->font().family(), QApplication::font().family());
  SetCtrlAttribute(main_, kBtn, ATTR_LABEL_TEXT, "Go");
  EXPECT_EQ(qobject_cast<QAbstractButton*>(Wd(kBtn))->text(), "Go");
  int v = 0;
  for (int rc : {SetCtrlAttribute(main_, kBtn, 9999, 1), GetCtrlAttribute(main_, kBtn, 9999, &v),
                 SetCtrlAttribute(main_, kBtn, ATTR_NUM_TRACES, 5)})
    EXPECT_LT(rc, 0);
}

// ---- Events ------------------------------------------------------------------------

TEST_F(PanelTest, InputAndClicksGiveTheEventsOfRealInput) {
  DisplayPanel(main_);
  // Input on the widgets fires a value change, then a commit.
  qobject_cast<QSpinBox*>(Wd(kSpin))->stepUp();  // an arrow step
  qobject_cast<QSlider*>(Wd(kSlide))->triggerAction(QAbstractSlider::SliderPageStepAdd);
  emit qobject_cast<QComboBox*>(Wd(kRing))->activated(1);
  EXPECT_EQ(EnterCtrlVal(main_, kDSpin, 2.5), 1);
  EXPECT_EQ(TakeCodes(), (Codes{2, 1, 2, 1, 2, 1, 2, 1}));
  // A typed value counts once entered, not per keystroke.
  auto* spinEdit = Wd(kSpin)->findChild<QLineEdit*>();
  ASSERT_TRUE(spinEdit);
  spinEdit->setFocus();
  spinEdit->selectAll();
  spinEdit->insert("123");
  EXPECT_TRUE(g_events.empty());
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(Wd(kSpin), &enter);
  EXPECT_EQ(TakeCodes(), (Codes{2, 1}));
  EXPECT_EQ(IntVal(main_, kSpin), 123);
  SetCtrlAttribute(main_, kDSpin, ATTR_DIMMED, 1);
  EXPECT_EQ(EnterCtrlVal(main_, kDSpin, 3.5), 0);
  double d = 0;
  GetCtrlVal(main_, kDSpin, &d);
  EXPECT_EQ(d, 2.5);                           // the entry before dimming, not the one refused
  EXPECT_LT(EnterCtrlVal(main_, kNum, 1), 0);  // a display takes no input
  EXPECT_TRUE(g_events.empty());

  // A click on a toggle or radio button: click, value change and commit.
  for (int c : {kTog, kRad}) {
    ClickCtrl(main_, c);
    EXPECT_EQ(std::make_pair(TakeCodes(), IntVal(main_, c)), std::make_pair(Codes{3, 2, 1}, 1))
        << c;
  }
  ClickCtrl(main_, kRing);  // a ring only opens on a click; nothing is chosen yet
  EXPECT_EQ(TakeCodes(), (Codes{3}));

  // Dimmed and hidden controls take no left click; help is asked for on
  // dimmed controls too, not on hidden ones.
  EXPECT_EQ(std::make_pair(ClickCtrl(main_, kDimmed), ClickCtrl(main_, kText)),
            std::make_pair(0, 0));
  EXPECT_EQ(std::make_pair(RightClickCtrl(main_, kDimmed), RightClickCtrl(main_, kText)),
            std::make_pair(1, 0));
  EXPECT_EQ(TakeCodes(), (Codes{5}));

  // A control whose left click dims it gets no commit.
  g_onEvent = [this](int, int control, int event) {
    if (control == kBtn && event == EVENT_LEFT_CLICK) SetCtrlAttribute(main_, kBtn, ATTR_DIMMED, 1);
  };
  ClickCtrl(main_, kBtn);
  EXPECT_EQ(TakeCodes(), (Codes{3}));
}

// Real presses: a left click on a button gives click and commit; the text box
// is clicked on its viewport, one event for the control, also when dimmed.
TEST_F(PanelTest, MousePressesBecomeClickEventsOnce) {
  DisplayPanel(main_);
  SetCtrlAttribute(main_, kText, ATTR_VISIBLE, 1);
  QWidget* viewport = qobject_cast<QPlainTextEdit*>(Wd(kText))->viewport();
  const struct {
    QWidget* target;
    Qt::MouseButton button;
    int control;
    Codes codes;
  } presses[] = {{Wd(kBtn), Qt::LeftButton, kBtn, {3, 1}},
                 {viewport, Qt::LeftButton, kText, {3}},
                 {viewport, Qt::RightButton, kText, {5}},
                 {Wd(kGraph), Qt::RightButton, kGraph, {5}}};
  quint64 stamp = 100;
  for (const auto& p : presses) {
    SCOPED_TRACE(p.control);
    if (p.target == viewport && p.button == Qt::RightButton)
      SetCtrlAttribute(main_, kText, ATTR_DIMMED, 1);
    const QPointF at(5, 5), global = p.target->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, p.button, p.button, Qt::NoModifier);
    press.setTimestamp(stamp += 100);
    QApplication::sendEvent(p.target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, p.button, Qt::NoButton,
                        Qt::NoModifier);
    release.setTimestamp(stamp + 1);
    QApplication::sendEvent(p.target, &release);
    for (const Ev& e : g_events) EXPECT_EQ(std::get<1>(e), p.control);
    EXPECT_EQ(TakeCodes(), p.codes);
  }
}

TEST_F(PanelTest, NestedEventProcessingAndClosing) {
  DisplayPanel(main_);
  // The commit of BTN runs a loop that processes events; a click on TOG
  // scheduled meanwhile runs inside it.
  g_onEvent = [this](int, int control, int event) {
    if (control != kBtn || event != EVENT_COMMIT) return;
    ScheduleAt(Timer(), [this] { ClickCtrl(main_, kTog); });
    for (int i = 0; i < 5; ++i) ProcessSystemEvents();
    g_events.emplace_back(main_, kBtn, 100);  // end of the loop
  };
  ClickCtrl(main_, kBtn);
  const std::vector<Ev> nested = {{main_, kBtn, 3}, {main_, kBtn, 1}, {main_, kTog, 3},
                                  {main_, kTog, 2}, {main_, kTog, 1}, {main_, kBtn, 100}};
  EXPECT_EQ(g_events, nested);

  // Closing the main window asks the program (which keeps it open); a window
  // without a callback just goes away.
  g_onEvent = nullptr;
  g_events.clear();
  const int bare = LoadPanel(0, path_.c_str(), kBareId);
  for (int panel : {main_, bare}) {
    DisplayPanel(panel);
    QCloseEvent close;
    QApplication::sendEvent(tarvo_ui::PanelWidget(panel), &close);
    EXPECT_EQ(PanelVisible(panel), panel == main_);
  }
  EXPECT_EQ(g_events, (std::vector<Ev>{{main_, 0, EVENT_CLOSE}}));
  DiscardPanel(bare);
}

// Discarded on the left click of its own toggle button (then events are
// processed further down in the same callback), and through Qt's own signal
// on the value change inside clicked(): no later event, and the widgets go
// only once the callback is over.
TEST_F(PanelTest, PanelDiscardedInsideItsOwnCallback) {
  for (int discardOn : {EVENT_LEFT_CLICK, EVENT_VAL_CHANGED}) {
    SCOPED_TRACE(discardOn);
    if (!tarvo_ui::FindPanel(main_)) main_ = LoadPanel(0, path_.c_str(), kMainId);
    DisplayPanel(main_);
    QPointer<QWidget> panel = tarvo_ui::PanelWidget(main_), button = Wd(kTog);
    g_events.clear();
    g_onEvent = [this, discardOn](int, int control, int event) {
      if (control != kTog || event != discardOn) return;
      DiscardPanel(main_);
      for (int i = 0; i < 3; ++i) ProcessSystemEvents();
    };
    if (discardOn == EVENT_LEFT_CLICK)
      EXPECT_EQ(ClickCtrl(main_, kTog), 1);
    else
      qobject_cast<QAbstractButton*>(Wd(kTog))->click();
    EXPECT_EQ(TakeCodes(), (Codes{discardOn}));
    EXPECT_FALSE(tarvo_ui::FindPanel(main_));
    EXPECT_TRUE(panel);  // still there while the click was being handled
    Pump();
    EXPECT_FALSE(panel || button);
  }
}

// ---- Graphs ---------------------------------------------------------------------

// The drawing calls as the bar graphs, video graphs and history use them are
// checked through the program's own suites; here what those leave out, and
// what is drawn on the screen: the bar, the window and a cursor in their
// colours, and a frame later only the new plots.
TEST_F(PanelTest, GraphPlotsAxesCursorsAndWhatIsDrawn) {
  DisplayPanel(main_);
  EXPECT_EQ(AxisRange(main_, kGraph, VAL_XAXIS), Span(0, 4096));  // as in the panel file
  SetAxisScalingMode(main_, kGraph, VAL_XAXIS, VAL_MANUAL, 0, 100);
  const int bar = PlotRectangle(main_, kGraph, 10, 0.25, 30, 1.0, 0xFF0000, 0xFF0000);
  const int win = PlotRectangle(main_, kGraph, 60, 0.0, 80, 0.35, 0x00FF00, 0x0000FF);
  const int gone = PlotRectangle(main_, kGraph, 40, 0.0, 50, 0.5, 0x0000FF, 0x0000FF);
  EXPECT_TRUE(bar > 0 && win > 0 && gone > 0 && bar != win && win != gone);
  EXPECT_EQ(DeleteGraphPlot(main_, kGraph, gone, VAL_DELAYED_DRAW), 0);
  EXPECT_LT(DeleteGraphPlot(main_, kGraph, gone, VAL_DELAYED_DRAW), 0);
  EXPECT_EQ(GetGraphPlots(main_, kGraph).size(), 2u);
  SetGraphCursor(main_, kGraph, 1, 50, 0.75);
  auto exactly = [](QRgb rgb) { return [rgb](QColor c) { return (c.rgb() & 0xFFFFFF) == rgb; }; };
  EXPECT_GT(Pixels(kGraph, exactly(0xFF0000)), 100);
  EXPECT_GT(Pixels(kGraph, exactly(0x0000FF)), 100);  // the window's fill
  EXPECT_GT(Pixels(kGraph, exactly(0x0000AA)), 40);   // cursor 1 cross-hair
  DeleteGraphPlot(main_, kGraph, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
  PlotRectangle(main_, kGraph, 10, 0.25, 30, 1.0, 0x00FF00, 0x00FF00);
  EXPECT_EQ(Pixels(kGraph, exactly(0xFF0000)), 0);
  EXPECT_GT(Pixels(kGraph, exactly(0x00FF00)), 100);
  // The saved image shows the plots too.
  const QString png = dir_->filePath("graphs.png");
  const int both[] = {kGraph, kStrip};
  ASSERT_EQ(SaveGraphImage(main_, both, 2, png.toUtf8().constData()), 0);
  EXPECT_GT(Matching(QImage(png), exactly(0x00FF00)), 100);

  EXPECT_LT(SetAxisScalingMode(main_, kGraph, VAL_XAXIS, VAL_MANUAL, 5, 5), 0);
  EXPECT_EQ(AxisRange(main_, kGraph, VAL_XAXIS), Span(0, 100));  // unchanged
  SetAxisScalingMode(main_, kGraph, VAL_RIGHT_YAXIS, VAL_MANUAL, 0, 256);
  EXPECT_EQ(AxisRange(main_, kGraph, VAL_RIGHT_YAXIS), Span(0, 256));

  int style = 0;
  SetCursorAttribute(main_, kGraph, 2, ATTR_CURSOR_POINT_STYLE, VAL_SOLID_SQUARE);
  GetCursorAttribute(main_, kGraph, 1, ATTR_CURSOR_POINT_STYLE, &style);
  EXPECT_EQ(style, VAL_NO_POINT);  // one cursor at a time
  // The graph has two cursors; each kind of control takes only its own calls.
  const double x[1] = {0};
  for (int rc :
       {SetGraphCursor(main_, kGraph, 3, 0, 0), PlotRectangle(main_, kStrip, 0, 0, 1, 1, 0, 0),
        PlotStripChart(main_, kGraph, x, 1, 0, 0), SetGraphCursor(main_, kSpin, 1, 0, 0)})
    EXPECT_LT(rc, 0);
}

// Values in turn over the traces, one screen kept, and a trace drawn in its colour.
TEST_F(PanelTest, StripChartTakesValuesInTurnKeepsOneScreenAndDrawsThem) {
  DisplayPanel(main_);
  double values[500];
  for (int k = 0; k < 500; ++k) values[k] = k % 5 == 3 ? 2000 : 500;  // trace 4 apart
  auto reddish = [](QColor c) { return c.red() > 200 && c.green() < 100 && c.blue() < 100; };
  PlotStripChart(main_, kStrip, values, 500, 0, 0);
  EXPECT_EQ(Pixels(kStrip, reddish), 0);
  EXPECT_EQ(SetTraceAttribute(main_, kStrip, 4, ATTR_TRACE_COLOR, 0xFF0000), 0);
  EXPECT_GT(Pixels(kStrip, reddish), 100);  // smoothed: reddish, not pure red

  for (int k = 0; k < 500; ++k) values[k] = 1000 + k;
  PlotStripChart(main_, kStrip, values, 500, 0, 0);
  EXPECT_EQ(StripChartUpdates(main_, kStrip), 2);

  // Fewer points per screen keep the newest, on a time axis as wide.
  EXPECT_EQ(SetCtrlAttribute(main_, kStrip, ATTR_POINTS_PER_SCREEN, 10), 0);
  const std::vector<double> pts = GetStripTrace(main_, kStrip, 1);
  EXPECT_EQ(std::make_pair(pts.size(), pts.empty() ? 0.0 : pts.back()),
            std::make_pair(size_t{10}, 1495.0));
  const Span time = AxisRange(main_, kStrip, VAL_XAXIS);
  EXPECT_EQ(time.second - time.first, 9);

  EXPECT_EQ(SetCtrlAttribute(main_, kStrip, ATTR_NUM_TRACES, 2), 0);
  EXPECT_TRUE(GetStripTrace(main_, kStrip, 3).empty());
  EXPECT_LT(SetCtrlAttribute(main_, kStrip, ATTR_NUM_TRACES, 0), 0);
  EXPECT_LT(SetTraceAttribute(main_, kStrip, 6, ATTR_TRACE_COLOR, 0), 0);
}

}  // namespace
