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

using namespace tframes;

Parameter StartValues() {
  SetParameterStartValues();
  return parameter;
}
// Whether two records carry the same three sets (every field that travels).
bool SameSets(const Parameter& a, const Parameter& b) {
  return std::memcmp(a.set0, b.set0, sizeof a.set0) == 0 && a.set0Long == b.set0Long &&
         std::memcmp(a.set1, b.set1, sizeof a.set1) == 0 &&
         std::memcmp(a.set2, b.set2, sizeof a.set2) == 0 &&
         std::memcmp(a.set1Long, b.set1Long, sizeof a.set1Long) == 0 &&
         std::memcmp(a.set2Long, b.set2Long, sizeof a.set2Long) == 0;
}
uint16_t& Field(Parameter& p, int set, int i) {
  return set == 0 ? p.set0[i] : set == 1 ? p.set1[i] : p.set2[i];
}

// ---- range rules, scale factors, modes, threshold lines -----------------------

TEST(RangeRules, AFieldAboveItsLimitTakesItsReplacementAndNoOtherFieldMoves) {
  for (uint16_t v : {4096, 1000}) {  // the pixel rules follow the virtual pixel count
    // clang-format off
    const Longs rules[] = {  // set, word, limit, replacement
        {0, 0, 4, 1}, {0, 1, 1, 1}, {0, 2, 4, 0}, {0, 3, 4, 1}, {0, 4, 2048, 1}, {0, 5, 1, 1}, {0, 6, v, v},
        {0, 7, v, v}, {1, 0, 1000, 500}, {1, 1, 1, 0}, {1, 2, 255, 128}, {1, 3, v, v / 2}, {1, 4, v, 1},
        {1, 5, v, v}, {1, 6, 1, 0}};
    // clang-format on
    for (const Longs& r : rules)
      for (int k = int(r[0]); k <= (r[0] ? 2 : 0); ++k)
        for (long value : {r[2], r[2] + 1, 65535L}) {
          Parameter p = StartValues();
          ApplyRangeRules(p, v);
          Parameter want = p;
          Field(p, k, r[1]) = static_cast<uint16_t>(value);
          Field(want, k, r[1]) = static_cast<uint16_t>(value == r[2] ? value : r[3]);
          ApplyRangeRules(p, v);
          EXPECT_TRUE(SameSets(p, want))
              << v << ": set " << k << " word " << r[1] << " = " << value;
        }
  }
  Parameter p = StartValues();  // words without a control are left as they are
  for (int i = 8; i < 13; ++i) p.set0[i] = 60000;
  for (int i = 7; i < 11; ++i) p.set1[i] = p.set2[i] = 65535;
  p.set1Long[1] = p.set0Long = 0xFFFFFFFFu;
  const Parameter before = p;
  ApplyRangeRules(p, 4096);
  EXPECT_TRUE(SameSets(p, before));
}

TEST(Rules, ScaleFactorsEvaluationModesAndThresholdLines) {
  // Panel value x 1024, truncated toward zero, modulo 2^32.
  // clang-format off
  const std::pair<double, uint32_t> scales[] = {{8.0, 8192u}, {7.8, 7987u}, {double(7.8f), 7987u}, {0.0009, 0u},
      {-1.0, 4294966272u}, {-0.5005, 4294966784u}, {5000000.0, 825032704u}, {std::nan(""), 0u}, {INFINITY, 0u}};
  // clang-format on
  for (const auto& [value, field] : scales) EXPECT_EQ(ScaleToField(value), field) << value;
  EXPECT_FLOAT_EQ(FieldToScale(0xFFFFFFFFu), 4194304.0f);  // rounded to single precision
  // mode: target, A dimmed, B dimmed, axis, cursor without marker (A 1000, B 1500, N 4096)
  const Longs modes[] = {{1500, 1, 0, 4096, 1},
                         {1000, 0, 1, 4096, 1},
                         {5692, 0, 0, 8192, 1},
                         {4096, 1, 1, 8192, 0},
                         {4096, 0, 0, 8192, 0}};
  for (uint16_t mode = 0; mode < 5; ++mode) {
    const EvalModeEffect e = EvalModeRule(mode, 1000, 1500, 4096);
    EXPECT_TRUE(e.valid);
    EXPECT_EQ(Longs({e.tVal, e.teachADimmed, e.teachBDimmed, e.yaxisMAX, e.cursorNoMarker}),
              modes[mode])
        << mode;
  }
  EXPECT_FALSE(EvalModeRule(5, 1000, 1500, 4096).valid);
  EXPECT_EQ(EvalModeRule(2, 0, 0, 40000).tVal, 14464);  // mode 2 wraps modulo 65536
  // Percent of full scale, in 32 bits.
  EXPECT_EQ(Longs({ThresholdLineValue(255, 256), ThresholdLineValue(33, 256),
                   ThresholdLineValue(1000, 65535)}),
            Longs({652, 84, static_cast<uint16_t>(655350)}));
}

// ---- file format ------------------------------------------------------------------

// A file as written: set 0, set 1, set 2, fifteen words each, one a line,
// ten wide and right-aligned, CR LF.
// clang-format off
const uint32_t kFileWords[45] = {
    1,   0, 0,  1,   1, 1,    100, 100, 8,     9, 10,  11,   12, 37000, 0,
    500, 1, 50, 512, 1, 4096, 0,   7,   65535, 9, 10,  8192, 0,  4464,  1,
    400, 0, 60, 700, 2, 4000, 1,   0,   0,     0, 123, 7987, 0,  65535, 65535};
// clang-format on
const std::string kExpectedFile = [] {
  std::string text;
  for (uint32_t v : kFileWords)
    text += std::string(10 - std::to_string(v).size(), ' ') + std::to_string(v) + "\r\n";
  return text;
}();

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
  ASSERT_EQ(FormatParaFile(kFileWords, out, sizeof out), kExpectedFile.size());
  EXPECT_EQ(std::string(out, sizeof out), kExpectedFile);
  const uint32_t big[45] = {4294967295u};
  ASSERT_EQ(FormatParaFile(big, out, sizeof out), kParaFileBytes);
  EXPECT_EQ(std::string(out, 12), "4294967295\r\n");
  EXPECT_EQ(FormatParaFile(big, out, kParaFileBytes - 1), 0u);
  std::string lf;
  for (char c : kExpectedFile)
    if (c != '\r') lf += c;
  // CR LF and LF alike, without a last line end, with blank lines at the end.
  for (const std::string& text : {kExpectedFile, lf, lf.substr(0, lf.size() - 1), lf + "\r\n\n",
                                  "4294967295\n" + lf.substr(11)}) {
    uint32_t v[45] = {};
    ASSERT_EQ(ParseParaFile(text.data(), text.size(), v), kParaOk) << text.size();
    EXPECT_EQ(std::memcmp(v + 1, kFileWords + 1, sizeof v - sizeof v[0]), 0);
    EXPECT_EQ(v[0], text[0] == '4' ? 4294967295u : 1u);
  }
  // Anything but 45 numbers is refused, and the output is left alone.
  const std::string& s = kExpectedFile;
  std::string bad = s, neg = s, nul = s;
  bad[9] = 'x';
  neg[8] = '-';
  nul[3] = '\0';
  const std::pair<std::string, ParaParseResult> refused[] = {
      {s.substr(0, 12 * 30), kParaTooFew},
      {"", kParaTooFew},
      {s + "         5\r\n", kParaTooMany},
      {bad, kParaBadNumber},
      {neg, kParaBadNumber},
      {nul, kParaBadNumber},
      {"4294967296\n" + s.substr(12), kParaOutOfRange}};
  uint32_t v[45];
  std::fill(v, v + 45, 77u);
  for (const auto& [text, result] : refused)
    EXPECT_EQ(ParseParaFile(text.data(), text.size(), v), result) << text.size();
  EXPECT_EQ(std::count(v, v + 45, 77u), 45);
}

// ---- panels in the running program -------------------------------------------------

class ParamPanels : public AppTest {
 protected:
  static void Refresh(const Parameter& p) {
    parameter = p;
    SetPanelValues();
  }
};

TEST_F(ParamPanels, EveryControlReadsBackWhatTheLastRefreshWrote) {
  // Two records that differ in every field with a control (set 0's first eight
  // words, the first seven of sets 1 and 2, the three scales), and between
  // neighbouring fields and sets.
  const std::vector<uint16_t> words[2][3] = {
      {{2, 1, 3, 4, 7, 0, 37, 44}, {600, 0, 60, 700, 5, 800, 1}, {610, 1, 70, 710, 15, 810, 0}},
      {{3, 0, 4, 2, 9, 1, 0, 55}, {400, 1, 70, 900, 3, 1000, 0}, {410, 0, 80, 910, 13, 1010, 1}}};
  const uint32_t longs[2][3] = {{70001, 2048, 3072}, {37000, 7987, 1024}};
  for (int r : {0, 1, 0}) {
    Parameter want = StartValues();
    for (int k = 0; k < 3; ++k)
      std::copy(words[r][k].begin(), words[r][k].end(), &Field(want, k, 0));
    std::tie(want.set0Long, want.set1Long[0], want.set2Long[0]) =
        std::tie(longs[r][0], longs[r][1], longs[r][2]);
    Refresh(want);
    for (int k = 0; k < 3; ++k) std::fill_n(&Field(parameter, k, 0), k ? 7 : 8, 12345);
    parameter.set0Long = parameter.set1Long[0] = parameter.set2Long[0] = 12345;
    GetPanelValues();  // every field with a control scrambled: the panels bring it back
    EXPECT_TRUE(SameSets(parameter, want)) << r;
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
  // Scale, tolerances in millimetres, the threshold lines and the video graph redrawn with them.
  EXPECT_EQ(Longs({std::lround(NumVal(pCalib, CALIB_CTRLScaleA) * 1000),
                   std::lround(NumVal(pHandle, MAIN_NUMTolUpMM) * 1000),
                   std::lround(NumVal(pHandle, MAIN_NUMTolLoMM) * 1000)}),
            Longs({8000, 800, 400}));
  EXPECT_EQ(AsDoubles(thdArrayA), std::vector<double>(128, 652));
  EXPECT_EQ(AsDoubles(thdArrayB), std::vector<double>(128, 128));
  EXPECT_EQ(GetGraphPlots(pHandle, MAIN_GRAPHDataMaster).at(1).ys, AsDoubles(thdArrayA));
  for (int graph : {MAIN_GRAPHBarMaster, MAIN_GRAPHBarSlave}) {  // grey until the next drawing
    const auto grey = Rects(pHandle, graph, 0xA0A0A0);
    ASSERT_FALSE(grey.empty()) << graph;
    EXPECT_EQ(std::make_tuple(grey.back().x1, grey.back().y1, grey.back().x2, grey.back().y2),
              std::make_tuple(0.0, 0.0, 4095.0, 1.0));
  }
}

// Refresh and ring follow one rule, and neither leaves the other's dimming behind.
TEST_F(ParamPanels, HardwareAndAnalogModesOnRefreshAndRingAlike) {
  const auto expect = [](int hardware, int analog, const char* by) {
    const bool dim = hardware == 1 || hardware == 3;
    EXPECT_EQ(Longs({CtrlDimmed(pPara0, PARA0_CTRLTolLo), CtrlDimmed(pPara0, PARA0_CTRLTolUp),
                     CtrlVisible(pHandle, MAIN_ButtonReset), CtrlVisible(pHandle, MAIN_NUMAnaMax),
                     CtrlVisible(pHandle, MAIN_NUMAnaMin)}),
              Longs({dim, dim, analog != 0, analog != 0, analog != 0}))
        << by << " hardware mode " << hardware << " analog mode " << analog;
  };
  for (uint16_t mode = 0; mode <= 4; ++mode) {
    Parameter p = StartValues();
    p.set0[3] = mode;
    p.set0[2] = mode % 2;
    Refresh(p);
    expect(mode, mode % 2, "refresh");
    const int other = (mode == 1 || mode == 3) ? 2 : 3;
    SetCtrlVal(pPara0, PARA0_DROPHardwareMode, other);
    SetCtrlVal(pPara0, PARA0_DROPAnaMode, 1 - mode % 2);
    for (int event : {EVENT_VAL_CHANGED, EVENT_COMMIT}) {  // only a commit acts
      FireCtrlEvent(pPara0, PARA0_DROPHardwareMode, event);
      FireCtrlEvent(pPara0, PARA0_DROPAnaMode, event);
    }
    expect(other, 1 - mode % 2, "ring");
    EXPECT_EQ(parameter.set0[2], mode % 2);  // a ring changes no variable
  }
}

TEST_F(ParamPanels, TheEvaluationRingAppliesItsRuleAndAnUnreadableRingCountsAsModeZero) {
  Refresh(StartValues());  // evaluation mode 1, hardware mode 1, analog mode 0
  const uint16_t tBefore = tVal;
  const auto cursorStyle = [] {  // of cursor 2 in both bar graphs
    int master = 0, slave = 0;
    GetCursorAttribute(pHandle, MAIN_GRAPHBarMaster, 2, ATTR_CURSOR_POINT_STYLE, &master);
    GetCursorAttribute(pHandle, MAIN_GRAPHBarSlave, 2, ATTR_CURSOR_POINT_STYLE, &slave);
    return master == slave ? master : -1;
  };
  for (int graph : {MAIN_GRAPHBarMaster, MAIN_GRAPHBarSlave})
    SetCursorAttribute(pHandle, graph, 2, ATTR_CURSOR_POINT_STYLE, VAL_SOLID_SQUARE);
  SetCtrlVal(pPara0, PARA0_DropEvalMode, 4);
  FireCtrlEvent(pPara0, PARA0_DropEvalMode, EVENT_COMMIT);
  EXPECT_EQ(Longs({yaxisMAX, cursorStyle()}),
            Longs({8192, VAL_SOLID_SQUARE}));  // modes 3, 4 leave the cursor
  for (auto ring : {CC_DropEvalMode, CC_DROPHardwareMode, CC_DROPAnaMode})
    ring(pPara0, -1, EVENT_COMMIT, nullptr, 0, 0);
  EXPECT_EQ(Longs({CtrlDimmed(pPara1, PARA1_NEDITeachA), CtrlDimmed(pPara2, PARA2_NEDITeachB),
                   yaxisMAX, cursorStyle(), CtrlDimmed(pPara0, PARA0_CTRLTolLo),
                   CtrlVisible(pHandle, MAIN_ButtonReset)}),
            Longs({1, 0, 4096, VAL_NO_POINT, 0, 0}));
  EXPECT_EQ(Longs({tVal, parameter.set0[0]}),
            Longs({tBefore, 1}));  // target and variable follow later
}

TEST_F(ParamPanels, ToggleButtonsShowOnePanelAtATime) {
  const int buttons[4] = {MAIN_TOGGBTN_Para0, MAIN_TOGGBTN_Para1, MAIN_TOGGBTN_Para2,
                          MAIN_TOGGBTN_Calib};
  const int panels[4] = {pPara0, pPara1, pPara2, pCalib};
  EXPECT_TRUE(PanelVisible(pPara0));
  for (int b = 3; b >= 0; --b) {
    for (int button : buttons) SetCtrlVal(pHandle, button, 1);
    ClickCtrl(pHandle, buttons[b]);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(Longs({PanelVisible(panels[i]), i == b || IntVal(pHandle, buttons[i]) == 0}),
                Longs({i == b, 1}))
          << "button " << b << " panel " << i;
  }
  SetCtrlVal(pHandle, MAIN_TOGGBTN_Calib, 0);  // a commit alone shows the button's panel
  FireCtrlEvent(pHandle, MAIN_TOGGBTN_Calib, EVENT_COMMIT);
  EXPECT_EQ(Longs({PanelVisible(pCalib), PanelVisible(pPara0)}), Longs({1, 0}));
}

// ---- the parameter file through SEND and GET -----------------------------------------

TEST_F(ParamPanels, FileSavedAndLoadedWordForWordRefusedWithoutChangingASet) {
  target = 3;
  const std::string dir = MakeTempDir();
  const auto Path = [&dir](const char* name) { return dir + "/" + name; };
  const auto Save = [](int answer, const std::string& path) {
    QueueFileAnswer(answer, path);
    FireCtrlEvent(pHandle, MAIN_BTNSend, EVENT_COMMIT);
  };
  const auto Load = [](const std::string& path, int answer = VAL_EXISTING_FILE_SELECTED) {
    QueueFileAnswer(answer, path);
    FireCtrlEvent(pHandle, MAIN_BTNGet, EVENT_COMMIT);
  };
  const Parameter want = FileSets();
  Refresh(want);
  Save(VAL_NEW_FILE_SELECTED, Path("TARVOpara.cfg"));
  EXPECT_EQ(ReadAll(Path("TARVOpara.cfg")), kExpectedFile);
  Refresh(StartValues());
  sim().ClearRequests();
  Load(Path("TARVOpara.cfg"));
  EXPECT_TRUE(SameSets(parameter, want));
  EXPECT_TRUE(sim().requests().empty());  // no traffic on the line
  EXPECT_EQ(Status(), "Parameter file loaded!");
  // An out-of-range word is corrected (a value above 16 bits loads as its low
  // half), and saved corrected; SEND reads the panels first, so the file also
  // shows that a load refreshes them.
  std::string text = kExpectedFile;
  text.replace(0, 10, "         9");
  text.replace(12 * 8, 10, "     65544");
  WriteFile(Path("nine.cfg"), text);
  Load(Path("nine.cfg"));
  Save(VAL_NEW_FILE_SELECTED, Path("out.cfg"));
  EXPECT_EQ(ReadAll(Path("out.cfg")), kExpectedFile);
  // An unreadable file, a cancelled dialogue or an unwritable path changes no set.
  WriteFile(Path("short.cfg"), kExpectedFile.substr(0, 12 * 44 + 5));
  for (const char* name : {"short.cfg", "missing.cfg"}) {
    Load(Path(name));
    EXPECT_EQ(Status().rfind("Parameter file unreadable - sets unchanged!", 0), 0u) << Status();
  }
  ShowStatusText("previous");  // cancelled dialogues stay silent
  Load("", VAL_NO_FILE_SELECTED);
  const std::string afterLoad = Status();
  Save(VAL_NO_FILE_SELECTED, "");
  EXPECT_EQ(afterLoad + "|" + Status(), "previous|Transmit...");
  EXPECT_TRUE(SameSets(parameter, want));
  Save(VAL_NEW_FILE_SELECTED, Path("no-such-dir/x.cfg"));  // an unwritable path is named
  EXPECT_EQ(Status(), "Parameter file not written: No such file or directory");
  // An existing file is replaced only after yes; where no new file can be made
  // beside it (the temporary file's name is taken), it is written in place.
  const std::string path = Path("old.cfg");
  WriteFile(path, "old contents\n");
  std::filesystem::create_directory(path + ".tmp~");
  for (int yes : {0, 1}) {
    QueueConfirmAnswer(yes);
    Save(VAL_EXISTING_FILE_SELECTED, path);
    EXPECT_EQ(ReadAll(path), yes ? kExpectedFile : "old contents\n");
  }
  EXPECT_EQ(PopupCalls().back().kind + "|" + Status(), "confirm|Transmit...");
}

}  // namespace
