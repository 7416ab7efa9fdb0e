// Parameter panels and parameter file: range rules, scale factors, the mode
// rules, the panel refresh and read-back, the panel selection, and the file
// written and read through SEND and GET.

#include <cmath>
#include <filesystem>

#include "display/bargraph.h"
#include "display/video.h"
#include "link/transfer.h"
#include "params/panels.h"
#include "params/parafile.h"
#include "params/parafile_format.h"
#include "params/rules.h"
#include "tests/support/scripted_app.h"

namespace {

Parameter StartValues() {
  SetParameterStartValues();
  return parameter;
}
// Whether two records carry the same three sets (as they travel on the line).
bool SameSets(Parameter a, Parameter b) {
  const Parameter keep = parameter;
  bool same = true;
  for (int k = 0; k < 3; ++k) {
    parameter = a;
    const tarvo_sim::Set sa = HeldSet(k);
    parameter = b;
    same = same && sa == HeldSet(k);
  }
  parameter = keep;
  return same;
}
// Field `i` of set `k` (set 0 or a sensor set).
uint16_t& Field(Parameter& p, int k, int i) {
  return k == 0 ? p.set0[i] : k == 1 ? p.set1[i] : p.set2[i];
}

// ---- range rules, scale factors, modes, threshold lines -----------------------

TEST(RangeRules, AFieldAboveItsLimitTakesItsReplacementAndNoOtherFieldMoves) {
  for (uint16_t v : {4096, 1000}) {  // the pixel rules follow the virtual pixel count
    struct Rule {
      int set, index;
      uint16_t limit, replacement;
    } rules[] = {{0, 0, 4, 1},      {0, 1, 1, 1}, {0, 2, 4, 0},     {0, 3, 4, 1},
                 {0, 4, 2048, 1},   {0, 5, 1, 1}, {0, 6, v, v},     {0, 7, v, v},
                 {1, 0, 1000, 500}, {1, 1, 1, 0}, {1, 2, 255, 128}, {1, 3, v, uint16_t(v / 2)},
                 {1, 4, v, 1},      {1, 5, v, v}, {1, 6, 1, 0}};
    for (const Rule& r : rules)
      for (int k = r.set; k <= (r.set ? 2 : 0); ++k)
        for (uint16_t value : {r.limit, uint16_t(r.limit + 1), uint16_t(65535)}) {
          Parameter p = StartValues();
          ApplyRangeRules(p, v);
          Parameter want = p;
          Field(p, k, r.index) = value;
          Field(want, k, r.index) = value == r.limit ? value : r.replacement;
          ApplyRangeRules(p, v);
          EXPECT_TRUE(SameSets(p, want))
              << v << ": set " << k << " word " << r.index << " = " << value;
        }
  }
  // Words without a control are left as they are.
  Parameter p = StartValues();
  for (int i = 8; i < 13; ++i) p.set0[i] = 60000;
  for (int i = 7; i < 11; ++i) p.set1[i] = p.set2[i] = 65535;
  p.set1Long[1] = p.set0Long = 0xFFFFFFFFu;
  const Parameter before = p;
  ApplyRangeRules(p, 4096);
  EXPECT_TRUE(SameSets(p, before));
}

TEST(ScaleFactor, PanelValueTimes1024TruncatedModulo2To32) {
  const std::pair<double, uint32_t> cases[] = {{8.0, 8192u},
                                               {7.8, 7987u},
                                               {static_cast<double>(7.8f), 7987u},
                                               {0.0009, 0u},
                                               {-1.0, 4294966272u},
                                               {-0.5005, 4294966784u},
                                               {5000000.0, 825032704u},
                                               {std::nan(""), 0u},
                                               {INFINITY, 0u}};
  for (const auto& [value, field] : cases) EXPECT_EQ(ScaleToField(value), field) << value;
  EXPECT_FLOAT_EQ(FieldToScale(7987), 7.7998046875f);
  EXPECT_FLOAT_EQ(FieldToScale(0xFFFFFFFFu), 4194304.0f);  // rounded to single precision
  EXPECT_DOUBLE_EQ(PixelsToMM(8.0f, 100), 0.8);
}

TEST(EvalMode, TableOfTargetDimmingAndAxis) {
  const uint16_t V = 4096, A = 1000, B = 1500;
  struct Row {
    uint16_t mode, tVal;
    bool dimA, dimB;
    uint16_t axis;
    bool noMarker;
  } rows[] = {{0, B, true, false, V, true},
              {1, A, false, true, V, true},
              {2, 5692, false, false, 8192, true},
              {3, V, true, true, 8192, false},
              {4, V, false, false, 8192, false}};
  for (const Row& r : rows) {
    const EvalModeEffect e = EvalModeRule(r.mode, A, B, V);
    EXPECT_EQ(std::make_tuple(e.valid, e.tVal, e.teachADimmed, e.teachBDimmed, e.yaxisMAX,
                              e.cursorNoMarker),
              std::make_tuple(true, r.tVal, r.dimA, r.dimB, r.axis, r.noMarker))
        << "mode " << r.mode;
  }
  EXPECT_FALSE(EvalModeRule(5, A, B, V).valid);
  EXPECT_EQ(EvalModeRule(2, 0, 0, 40000).tVal, 14464);  // mode 2 wraps modulo 65536
  EXPECT_EQ(EvalModeRule(2, 5000, 5000, 4096).tVal, static_cast<uint16_t>(8192 - 10000));
  EXPECT_EQ(ThresholdLineValue(255, 256), 652);  // percent of full scale in 32 bits
  EXPECT_EQ(ThresholdLineValue(33, 256), 84);
  EXPECT_EQ(ThresholdLineValue(1000, 65535), static_cast<uint16_t>(655350));
}

// ---- file format ------------------------------------------------------------------

// A file as written: set 0, set 1, set 2, fifteen words each.
// clang-format off
const char kExpectedFile[] =
    "         1\r\n" "         0\r\n" "         0\r\n" "         1\r\n" "         1\r\n"
    "         1\r\n" "       100\r\n" "       100\r\n" "         8\r\n" "         9\r\n"
    "        10\r\n" "        11\r\n" "        12\r\n" "     37000\r\n" "         0\r\n"
    "       500\r\n" "         1\r\n" "        50\r\n" "       512\r\n" "         1\r\n"
    "      4096\r\n" "         0\r\n" "         7\r\n" "     65535\r\n" "         9\r\n"
    "        10\r\n" "      8192\r\n" "         0\r\n" "      4464\r\n" "         1\r\n"
    "       400\r\n" "         0\r\n" "        60\r\n" "       700\r\n" "         2\r\n"
    "      4000\r\n" "         1\r\n" "         0\r\n" "         0\r\n" "         0\r\n"
    "       123\r\n" "      7987\r\n" "         0\r\n" "     65535\r\n" "     65535\r\n";
const uint32_t kFileWords[45] = {
    1,   0, 0,  1,   1, 1,    100, 100, 8,     9, 10,  11,   12, 37000, 0,
    500, 1, 50, 512, 1, 4096, 0,   7,   65535, 9, 10,  8192, 0,  4464,  1,
    400, 0, 60, 700, 2, 4000, 1,   0,   0,     0, 123, 7987, 0,  65535, 65535};
// clang-format on

// The sets that kFileWords hold.
Parameter FileSets() {
  for (uint16_t k = 0; k < 3; ++k) {
    for (int i = 0; i < 15; ++i) pp[i] = static_cast<uint16_t>(kFileWords[15 * k + i]);
    CopyPPtoVars(k);
  }
  return parameter;
}

TEST(ParaFileFormat, TenWideRightAlignedLinesReadBackWithAnyLineEnd) {
  char out[kParaFileBytes];
  ASSERT_EQ(FormatParaFile(kFileWords, out, sizeof out), sizeof kExpectedFile - 1);
  EXPECT_EQ(std::string(out, sizeof out), kExpectedFile);
  const uint32_t big[45] = {4294967295u};
  ASSERT_EQ(FormatParaFile(big, out, sizeof out), kParaFileBytes);
  EXPECT_EQ(std::string(out, 12), "4294967295\r\n");
  EXPECT_EQ(FormatParaFile(big, out, kParaFileBytes - 1), 0u);

  std::string lf;
  for (const char* c = kExpectedFile; *c; ++c)
    if (*c != '\r') lf += *c;
  // CR LF and LF alike, without a last line end, with blank lines at the end.
  for (const std::string& text : {std::string(kExpectedFile), lf, lf.substr(0, lf.size() - 1),
                                  lf + "\r\n\n", "4294967295\n" + lf.substr(11)}) {
    uint32_t v[45] = {};
    ASSERT_EQ(ParseParaFile(text.data(), text.size(), v), kParaOk) << text.size();
    EXPECT_EQ(std::memcmp(v + 1, kFileWords + 1, sizeof v - sizeof v[0]), 0);
    EXPECT_EQ(v[0], text[0] == '4' ? 4294967295u : 1u);
  }
}

TEST(ParaFileFormat, RejectsWhatIsNotFortyFiveNumbersAndKeepsTheOutput) {
  const std::string s(kExpectedFile);
  std::string bad = s, neg = s, nul = s;
  bad[9] = 'x';
  neg[8] = '-';
  nul[3] = '\0';
  const std::pair<std::string, ParaParseResult> cases[] = {
      {s.substr(0, 12 * 30), kParaTooFew},
      {"", kParaTooFew},
      {s + "         5\r\n", kParaTooMany},
      {bad, kParaBadNumber},
      {neg, kParaBadNumber},
      {nul, kParaBadNumber},
      {"4294967296\n" + s.substr(12), kParaOutOfRange}};
  uint32_t v[45];
  std::fill(v, v + 45, 77u);
  for (const auto& [text, result] : cases)
    EXPECT_EQ(ParseParaFile(text.data(), text.size(), v), result) << text.size();
  for (auto x : v) EXPECT_EQ(x, 77u);
}

// ---- panels in the running program -------------------------------------------------

class ParamPanels : public AppTest {
 protected:
  static void Refresh(const Parameter& p) {
    parameter = p;
    SetPanelValues();
  }
  static int Ring(int control) { return tframes::IntVal(pPara0, control); }
};

TEST_F(ParamPanels, EveryControlReadsBackWhatTheLastRefreshWrote) {
  // Two complete sets that differ in every field with a control, and between
  // neighbouring fields.
  Parameter a = StartValues(), b = a;
  const uint16_t a0[8] = {2, 1, 3, 4, 7, 0, 37, 44}, b0[8] = {3, 0, 4, 2, 9, 1, 0, 55};
  const uint16_t a1[7] = {600, 0, 60, 700, 5, 800, 1}, b1[7] = {400, 1, 70, 900, 3, 1000, 0};
  for (int i = 0; i < 8; ++i) a.set0[i] = a0[i], b.set0[i] = b0[i];
  for (int i = 0; i < 7; ++i) {
    a.set1[i] = a1[i], b.set1[i] = b1[i];
    a.set2[i] = static_cast<uint16_t>(a1[i] + (i == 1 || i == 6 ? 0 : 10)), b.set2[i] = b1[i] + 10;
  }
  a.set2[1] = 1, a.set2[6] = 0, b.set2[1] = 0, b.set2[6] = 1;
  a.set0Long = 70001, b.set0Long = 37000;
  a.set1Long[0] = 2048, a.set2Long[0] = 3072, b.set1Long[0] = 7987, b.set2Long[0] = 1024;
  for (const Parameter& want : {a, b, a}) {
    Refresh(want);
    Parameter scrambled = want;  // every field with a control: the panels must bring it back
    for (int i = 0; i < 8; ++i) scrambled.set0[i] = 12345;
    for (int i = 0; i < 7; ++i) scrambled.set1[i] = scrambled.set2[i] = 12345;
    scrambled.set0Long = scrambled.set1Long[0] = scrambled.set2Long[0] = 12345;
    parameter = scrambled;
    GetPanelValues();
    EXPECT_TRUE(SameSets(parameter, want)) << (&want == &a ? "a" : "b");
  }
}

TEST_F(ParamPanels, RefreshCorrectsOutOfRangeValuesAndAppliesTheEvaluationMode) {
  ASSERT_EQ(ccdvirtpixel, 4096);
  Parameter p = StartValues();
  p.set1[3] = 5000;
  p.set0[0] = 7;
  p.set2[5] = 4097;
  Refresh(p);
  EXPECT_EQ(parameter.set1[3], 2048);
  EXPECT_EQ(tframes::IntVal(pPara1, PARA1_NEDITeachA), 2048);
  EXPECT_EQ(Ring(PARA0_DropEvalMode), 1);
  EXPECT_EQ(tframes::IntVal(pPara2, PARA2_CTRLPara2W5), 4096);
  // Each mode: its target, its axis, which setpoint is editable.
  p.set1[3] = 1000;
  p.set2[3] = 1500;
  for (uint16_t mode = 0; mode <= 4; ++mode) {
    p.set0[0] = mode;
    Refresh(p);
    const EvalModeEffect e = EvalModeRule(mode, 1000, 1500, 4096);
    EXPECT_EQ(std::make_tuple(tVal, yaxisMAX, CtrlDimmed(pPara1, PARA1_NEDITeachA),
                              CtrlDimmed(pPara2, PARA2_NEDITeachB)),
              std::make_tuple(e.tVal, e.yaxisMAX, e.teachADimmed, e.teachBDimmed))
        << "mode " << mode;
    double lo = -1, hi = -1;
    GetAxisRange(pHandle, MAIN_STRIPHistory, VAL_LEFT_YAXIS, &lo, &hi);
    EXPECT_EQ(std::make_pair(lo, hi), std::make_pair(0.0, double(e.yaxisMAX)));
  }
}

TEST_F(ParamPanels, ScaleThresholdAndToleranceDisplays) {
  YMAXADC = 256;
  Parameter p = StartValues();
  p.set1Long[0] = 8192;
  p.set0[7] = 100;
  p.set0[6] = 50;
  p.set1[2] = 255;
  p.set2[2] = 50;
  Refresh(p);
  EXPECT_DOUBLE_EQ(tframes::NumVal(pCalib, CALIB_CTRLScaleA), 8.0);
  EXPECT_NEAR(tframes::NumVal(pHandle, MAIN_NUMTolUpMM), 0.8, 1e-9);
  EXPECT_NEAR(tframes::NumVal(pHandle, MAIN_NUMTolLoMM), 0.4, 1e-9);
  SetCtrlVal(pCalib, CALIB_CTRLScaleA, 7.8);
  GetPanelValues();
  EXPECT_EQ(parameter.set1Long[0], 7987u);  // read back truncated
  // The threshold lines, and the video graphs redrawn with them.
  EXPECT_EQ(std::vector<uint16_t>(thdArrayA, thdArrayA + 128), std::vector<uint16_t>(128, 652));
  EXPECT_EQ(std::vector<uint16_t>(thdArrayB, thdArrayB + 128), std::vector<uint16_t>(128, 128));
  const auto plots = GetGraphPlots(pHandle, MAIN_GRAPHDataMaster);
  ASSERT_EQ(plots.size(), 2u);
  EXPECT_EQ(plots[1].ys, std::vector<double>(128, 652.0));
  // A grey band across both bar graphs until their next drawing.
  for (int graph : {MAIN_GRAPHBarMaster, MAIN_GRAPHBarSlave}) {
    const auto grey = tframes::Rects(pHandle, graph, 0xA0A0A0);
    ASSERT_FALSE(grey.empty()) << graph;
    EXPECT_EQ(std::make_tuple(grey.back().x1, grey.back().y1, grey.back().x2, grey.back().y2),
              std::make_tuple(0.0, 0.0, 4095.0, 1.0));
  }
}

// Refresh and ring follow one rule, and neither leaves the other's dimming behind.
TEST_F(ParamPanels, HardwareAndAnalogModesOnRefreshAndRingAlike) {
  const auto expect = [](uint16_t hardware, uint16_t analog, const char* by) {
    const bool dim = hardware == 1 || hardware == 3;
    EXPECT_EQ(CtrlDimmed(pPara0, PARA0_CTRLTolLo), dim) << by << " hardware mode " << hardware;
    EXPECT_EQ(CtrlDimmed(pPara0, PARA0_CTRLTolUp), dim) << by << " hardware mode " << hardware;
    for (int c : {MAIN_ButtonReset, MAIN_NUMAnaMax, MAIN_NUMAnaMin})
      EXPECT_EQ(CtrlVisible(pHandle, c), analog != 0) << by << " analog mode " << analog;
  };
  for (uint16_t mode = 0; mode <= 4; ++mode) {
    Parameter p = StartValues();
    p.set0[3] = mode;
    p.set0[2] = mode % 2;
    Refresh(p);
    expect(mode, mode % 2, "refresh");
    const uint16_t other = (mode == 1 || mode == 3) ? 2 : 3;
    SetCtrlVal(pPara0, PARA0_DROPHardwareMode, other);
    SetCtrlVal(pPara0, PARA0_DROPAnaMode, 1 - mode % 2);
    FireCtrlEvent(pPara0, PARA0_DROPHardwareMode, EVENT_VAL_CHANGED);  // only a commit acts
    FireCtrlEvent(pPara0, PARA0_DROPAnaMode, EVENT_VAL_CHANGED);
    expect(mode, mode % 2, "no commit");
    FireCtrlEvent(pPara0, PARA0_DROPHardwareMode, EVENT_COMMIT);
    FireCtrlEvent(pPara0, PARA0_DROPAnaMode, EVENT_COMMIT);
    expect(other, 1 - mode % 2, "ring");
    EXPECT_EQ(parameter.set0[2], mode % 2);  // a ring changes no variable
  }
}

TEST_F(ParamPanels, EvalRingAppliesItsRule) {
  Refresh(StartValues());  // mode 1
  const uint16_t tBefore = tVal;
  for (int graph : {MAIN_GRAPHBarMaster, MAIN_GRAPHBarSlave})
    SetCursorAttribute(pHandle, graph, 2, ATTR_CURSOR_POINT_STYLE, VAL_SOLID_SQUARE);
  const auto choose = [](int mode) {
    SetCtrlVal(pPara0, PARA0_DropEvalMode, mode);
    FireCtrlEvent(pPara0, PARA0_DropEvalMode, EVENT_COMMIT);
  };
  const auto style = [](int graph) {
    int s = 0;
    GetCursorAttribute(pHandle, graph, 2, ATTR_CURSOR_POINT_STYLE, &s);
    return s;
  };
  choose(4);
  EXPECT_EQ(style(MAIN_GRAPHBarMaster), VAL_SOLID_SQUARE);  // modes 3 and 4 leave the cursor
  EXPECT_EQ(yaxisMAX, 8192);
  choose(0);
  EXPECT_TRUE(CtrlDimmed(pPara1, PARA1_NEDITeachA));
  EXPECT_FALSE(CtrlDimmed(pPara2, PARA2_NEDITeachB));
  EXPECT_EQ(yaxisMAX, 4096);
  EXPECT_EQ(std::make_pair(style(MAIN_GRAPHBarMaster), style(MAIN_GRAPHBarSlave)),
            std::make_pair(VAL_NO_POINT, VAL_NO_POINT));
  EXPECT_EQ(tVal, tBefore);         // the target follows at the next refresh
  EXPECT_EQ(parameter.set0[0], 1);  // the variable at the next read of the panels
}

TEST_F(ParamPanels, ToggleButtonsShowOnePanelAtATime) {
  const int buttons[4] = {MAIN_TOGGBTN_Para0, MAIN_TOGGBTN_Para1, MAIN_TOGGBTN_Para2,
                          MAIN_TOGGBTN_Calib};
  const int panels[4] = {pPara0, pPara1, pPara2, pCalib};
  EXPECT_TRUE(PanelVisible(pPara0));
  for (int b = 3; b >= 0; --b) {
    for (int button : buttons) SetCtrlVal(pHandle, button, 1);
    ClickCtrl(pHandle, buttons[b]);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(PanelVisible(panels[i]), i == b) << "button " << b << " panel " << i;
      if (i != b) EXPECT_EQ(tframes::IntVal(pHandle, buttons[i]), 0) << b << " " << i;
    }
  }
  // A commit alone shows the button's panel whatever its state.
  SetCtrlVal(pHandle, MAIN_TOGGBTN_Calib, 0);
  FireCtrlEvent(pHandle, MAIN_TOGGBTN_Calib, EVENT_COMMIT);
  EXPECT_TRUE(PanelVisible(pCalib));
  EXPECT_FALSE(PanelVisible(pPara0));
}

// ---- the parameter file through SEND and GET -----------------------------------------

class ParamFile : public ParamPanels {
 protected:
  void SetUp() override {
    ParamPanels::SetUp();
    dir_ = tframes::MakeTempDir();
    target = 3;
    ClearPopupCalls();
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    ParamPanels::TearDown();
  }
  std::string Path(const char* name) { return dir_ + "/" + name; }
  void Save(int answer, const std::string& path) {
    QueueFileAnswer(answer, path);
    FireCtrlEvent(pHandle, MAIN_BTNSend, EVENT_COMMIT);
  }
  void Load(const std::string& path) {
    QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, path);
    FireCtrlEvent(pHandle, MAIN_BTNGet, EVENT_COMMIT);
  }
  std::string dir_;
};

TEST_F(ParamFile, SaveWritesTheExpectedBytesAndLoadRestoresEveryWord) {
  const Parameter want = FileSets();
  Refresh(want);
  const std::string path = Path("TARVOpara.cfg");
  Save(VAL_NEW_FILE_SELECTED, path);
  EXPECT_EQ(tframes::ReadAll(path), kExpectedFile);
  EXPECT_EQ(std::string(file_name), path);
  ASSERT_EQ(PopupCalls().size(), 1u);
  const PopupCall& c = PopupCalls()[0];
  EXPECT_EQ(std::vector<std::string>({c.kind, c.title, c.text, c.pattern}),
            std::vector<std::string>(
                {"file", "TARVO-MS-Series Parameter File", "TARVOpara.cfg", "*.cfg"}));
  EXPECT_EQ(Status(), "Transmit...");

  Refresh(StartValues());
  sim().ClearRequests();
  Load(path);
  EXPECT_TRUE(SameSets(parameter, want));
  EXPECT_TRUE(sim().requests().empty());  // no traffic on the line
  EXPECT_EQ(PopupCalls().back().title, "TARVO-MS-Series-Parameter-File");
  EXPECT_EQ(tframes::IntVal(pPara2, PARA2_NEDITeachB), 700);  // and the panels show it
  EXPECT_EQ(Status(), "Parameter file loaded!");
}

TEST_F(ParamFile, ALoadedOutOfRangeWordIsCorrectedAndSavedCorrected) {
  std::string text(kExpectedFile);
  text.replace(0, 10, "         9");
  text.replace(12 * 8, 10, "     65544");  // above 16 bits: its low half
  tframes::WriteFile(Path("nine.cfg"), text);
  Load(Path("nine.cfg"));
  EXPECT_EQ(parameter.set0[0], 1);
  EXPECT_EQ(parameter.set0[8], 8);
  EXPECT_EQ(Ring(PARA0_DropEvalMode), 1);
  Save(VAL_NEW_FILE_SELECTED, Path("out.cfg"));
  EXPECT_EQ(tframes::ReadAll(Path("out.cfg")), kExpectedFile);
}

TEST_F(ParamFile, AnUnreadableFileChangesNoSetAndSaysSo) {
  Refresh(FileSets());
  const Parameter before = parameter;
  tframes::WriteFile(Path("short.cfg"), std::string(kExpectedFile).substr(0, 12 * 44 + 5));
  for (const char* name : {"short.cfg", "missing.cfg"}) {
    Load(Path(name));
    EXPECT_TRUE(SameSets(parameter, before)) << name;
    EXPECT_EQ(Status().rfind("Parameter file unreadable - sets unchanged!", 0), 0u) << Status();
  }
  // Cancelled dialogues stay silent and change nothing.
  ShowStatusText("previous");
  QueueFileAnswer(VAL_NO_FILE_SELECTED, "");
  FireCtrlEvent(pHandle, MAIN_BTNGet, EVENT_COMMIT);
  EXPECT_TRUE(SameSets(parameter, before));
  EXPECT_EQ(Status(), "previous");
  Save(VAL_NO_FILE_SELECTED, "");
  EXPECT_EQ(Status(), "Transmit...");
  // An unwritable path is named.
  Save(VAL_NEW_FILE_SELECTED, Path("no-such-dir/x.cfg"));
  EXPECT_EQ(Status(), "Parameter file not written: No such file or directory");
}

TEST_F(ParamFile, AnExistingFileIsReplacedOnlyAfterYes) {
  Refresh(FileSets());
  const std::string path = Path("old.cfg");
  tframes::WriteFile(path, "old contents\n");
  QueueConfirmAnswer(0);
  Save(VAL_EXISTING_FILE_SELECTED, path);
  EXPECT_EQ(tframes::ReadAll(path), "old contents\n");
  ASSERT_EQ(PopupCalls().size(), 2u);
  const PopupCall& c = PopupCalls()[1];
  EXPECT_EQ(std::vector<std::string>({c.kind, c.title, c.text}),
            std::vector<std::string>(
                {"confirm", "ATTENTION!", "Output-File already exist! - Overwrite ?"}));
  QueueConfirmAnswer(1);
  Save(VAL_EXISTING_FILE_SELECTED, path);
  EXPECT_EQ(tframes::ReadAll(path), kExpectedFile);
  // Where no new file can be made beside it (the temporary file's name is
  // taken), the file itself is written in place.
  tframes::WriteFile(path, "old contents\n");
  std::filesystem::create_directory(path + ".tmp~");
  QueueConfirmAnswer(1);
  Save(VAL_EXISTING_FILE_SELECTED, path);
  EXPECT_EQ(tframes::ReadAll(path), kExpectedFile);
  EXPECT_EQ(Status(), "Transmit...");
}

}  // namespace
