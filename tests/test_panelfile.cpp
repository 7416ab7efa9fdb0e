// The panel file against the program: every control lies where it can be seen
// and used, holds the values the program writes into it, and starts with the
// values the program takes as its start values.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "app/panels.h"
#include "link/payload.h"
#include "params/panels.h"
#include "platform/panel_registry.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "tests/support/frames.h"
#include "tests/support/harness.h"

namespace {

struct Rect {
  int top = 0, left = 0, height = 0, width = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
  bool Inside(const Rect& o) const {
    return left >= 0 && top >= 0 && right() <= o.width && bottom() <= o.height;
  }
  bool Overlaps(const Rect& o) const {
    return left < o.right() && o.left < right() && top < o.bottom() && o.top < bottom();
  }
};
std::ostream& operator<<(std::ostream& os, const Rect& r) {
  return os << "left " << r.left << " top " << r.top << " width " << r.width << " height "
            << r.height;
}

Rect Bounds(int panel, int control) {
  Rect r;
  EXPECT_EQ(GetCtrlBoundingRect(panel, control, &r.top, &r.left, &r.height, &r.width), 0);
  return r;
}
// A panel's own rectangle, where its parent places it.
Rect PanelRect(int panel) {
  Rect r;
  for (auto [attribute, v] : {std::pair{ATTR_TOP, &r.top},
                              {ATTR_LEFT, &r.left},
                              {ATTR_HEIGHT, &r.height},
                              {ATTR_WIDTH, &r.width}})
    GetPanelAttribute(panel, attribute, v);
  return r;
}

// Every numbered control of the panels the start-up loads (not those made at run time).
template <class F>
void ForEachControl(F f) {
  for (int panel : {pHandle, pPara0, pPara1, pPara2, pCalib, pPopUp})
    for (const auto& [id, c] : tarvo_ui::FindPanel(panel)->controls) {
      if (id >= 1000) continue;
      SCOPED_TRACE("panel " + std::to_string(panel) + " control " + std::to_string(id));
      f(panel, id, c.kind);
    }
}

// The program started with nothing answering on its port.
class PanelFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(StartApp(nullptr), 0); }
  void TearDown() override { StopApp(); }
};

// Controls and help boxes lie inside their panels, below the header and
// beside the child area.
TEST_F(PanelFile, EverythingLiesWhereItCanBeSeen) {
  const Rect main = PanelRect(pHandle), child = PanelRect(pPara0);
  for (const Rect& r : {main, PanelRect(pPopUp)})
    EXPECT_TRUE(r.width <= 1280 && r.height <= 800) << r;
  // The four child panels take turns in one rectangle inside the main panel.
  EXPECT_TRUE(child.Inside(main)) << child;
  for (int p : {pPara1, pPara2, pCalib})
    EXPECT_TRUE(PanelRect(p).width == child.width && PanelRect(p).height == child.height) << p;
  // The header band spans the top; the logo leaves the title line (top 32) free.
  const Rect header = Bounds(pHandle, MAIN_DECOHeader), logo = Bounds(pHandle, MAIN_PICTLogo);
  EXPECT_TRUE(header.left + header.top == 0 && header.width == main.width) << header;
  EXPECT_TRUE(header.bottom() <= child.top && logo.bottom() <= 32 &&
              logo.right() <= header.right());

  ForEachControl([&](int panel, int id, tarvo_ui::Kind) {
    const Rect r = Bounds(panel, id);
    EXPECT_TRUE(r.width > 0 && r.height > 0) << r;
    EXPECT_TRUE(r.Inside(PanelRect(panel))) << r;
    if (panel != pHandle || id == MAIN_DECOHeader || id == MAIN_PICTLogo) return;
    EXPECT_GE(r.top, header.bottom()) << r;
    EXPECT_FALSE(r.Overlaps(child)) << r << " lies under the parameter panels";
  });

  // Help asked for on any control of the main panel opens a box that is fully
  // on the main panel and not under the parameter panels.
  int shown[2] = {0, 0};
  std::vector<int> controls;
  for (const auto& entry : tarvo_ui::FindPanel(pHandle)->controls) controls.push_back(entry.first);
  for (int control : controls) {
    FireCtrlEvent(pHandle, control, EVENT_RIGHT_CLICK);
    for (int i : {0, 1}) {
      const int box = i == 0 ? MAIN_TEXTHelp : MAIN_TEXTHelp2;
      if (!CtrlVisible(pHandle, box)) continue;
      ++shown[i];
      const Rect r = Bounds(pHandle, box);
      EXPECT_TRUE(r.Inside(main) && !r.Overlaps(child)) << r << " for control " << control;
      SetCtrlAttribute(pHandle, box, ATTR_VISIBLE, 0);
    }
  }
  EXPECT_TRUE(shown[0] > 0 && shown[1] > 0);
}

TEST_F(PanelFile, StartValuesAndEveryValueTheProgramWrites) {
  std::vector<int> got;
  for (int c : {MAIN_RBTRam, MAIN_RBTEeprom, MAIN_RBTFile, MAIN_TOGGBTN_Para0, MAIN_TOGGBTN_Para1,
                MAIN_TOGGBTN_Para2, MAIN_TOGGBTN_Calib, MAIN_TOGBTN_Zoom})
    got.push_back(tframes::IntVal(pHandle, c));
  for (int c : {POPUP_NEDITRecTime, POPUP_NEDITRecSamples})
    got.push_back(tframes::IntVal(pPopUp, c));
  EXPECT_EQ(got, std::vector<int>({1, 0, 0, 1, 0, 0, 0, 0, 1, 100}));
  EXPECT_EQ(CtrlText(pPopUp, POPUP_TEXTRecStatus), "DATA-RECORDER");

  // The sets the start-up read from the panels are the record's start values.
  const Parameter read = parameter;
  SetParameterStartValues();
  EXPECT_FALSE(std::memcmp(read.set0, parameter.set0, sizeof read.set0) ||
               std::memcmp(read.set1, parameter.set1, sizeof read.set1) ||
               std::memcmp(read.set2, parameter.set2, sizeof read.set2));
  EXPECT_EQ(std::make_tuple(read.set0Long, read.set1Long[0], read.set2Long[0]),
            std::make_tuple(parameter.set0Long, parameter.set1Long[0], parameter.set2Long[0]));

  // Every edit holds a whole word (6173: the service code), every ring the five
  // modes, every slider the 8-bit thresholds; the 32-bit words of the
  // calibration panel come back unchanged, so a GET followed by a SEND never
  // alters the sensor's calibration.
  int edits = 0;
  ForEachControl([&](int panel, int id, tarvo_ui::Kind kind) {
    std::vector<unsigned int> values;
    if (kind == tarvo_ui::Kind::kSpin) values = {0u, 6173u, 65535u};
    if (kind == tarvo_ui::Kind::kRing) values = {4u};
    if (kind == tarvo_ui::Kind::kSlider) values = {255u};
    edits += !values.empty();
    for (unsigned int value : values) {
      ASSERT_EQ(SetCtrlVal(panel, id, value), 0);
      unsigned short got = 1;
      ASSERT_EQ(GetCtrlVal(panel, id, &got), 0);
      EXPECT_EQ(got, value);
    }
  });
  EXPECT_GT(edits, 0);
  for (uint32_t k : {1u, 1023u, 7987u, 1024u * 1000u + 511u, (1u << 24) - 1}) {
    std::tie(parameter.set1Long[0], parameter.set2Long[0], parameter.set0Long) =
        std::make_tuple(k, k + 1, 4294967295u - k);
    SetPanelValues();
    parameter.set1Long[0] = parameter.set2Long[0] = parameter.set0Long = 0;
    GetPanelValues();
    EXPECT_EQ(std::make_tuple(parameter.set1Long[0], parameter.set2Long[0], parameter.set0Long),
              std::make_tuple(k, k + 1, 4294967295u - k));
  }
}

}  // namespace
