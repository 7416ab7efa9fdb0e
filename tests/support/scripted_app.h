// The program against a line whose far end the test scripts, and small timing
// helpers for the suites that click in the middle of a loop.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

// The program's headers that the protocol suites all use.
#include "app/panels.h"
#include "link/commands.h"
#include "link/frame.h"
#include "link/identify.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"
#include "measure/run.h"
#include "platform/clock.h"
#include "platform/graph_probe.h"
#include "platform/popup.h"
#include "platform/popup_script.h"
#include "platform/scripted_line.h"
#include "platform/serial.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"
#include "recorder/recorder.h"
#include "tests/support/frames.h"
#include "tests/support/harness.h"

// Runs f `dt` seconds of (virtual) time from now; STOP clicked then.
inline void After(double dt, std::function<void()> f) { ScheduleAt(Timer() + dt, std::move(f)); }
inline void StopAfter(double dt) {
  After(dt, [] { ClickCtrl(pHandle, MAIN_BTNStop); });
}
// Runs f at the first moment after dt at which something holds the line.
inline void WhenLineBusy(double dt, std::function<void()> f) {
  After(dt, [f] { LineBusy() ? f() : WhenLineBusy(0.005, f); });
}
// Several values in one comparison.
using Longs = std::vector<long>;
template <class T>
std::vector<double> AsDoubles(const T* a, int n = 128) {
  return std::vector<double>(a, a + n);
}

// The 15 words of set k as the program holds them (as they go out on the line).
inline tarvo_sim::Set HeldSet(int k) {
  CopyVarsToPP(static_cast<uint16_t>(k));
  tarvo_sim::Set s{};
  for (int i = 0; i < 15; ++i) s[i] = pp[i];
  return s;
}

// The 36 bytes of a request for `command` whose payload is set k as the program holds it.
inline tframes::Bytes RequestWithSet(uint16_t command, int k) {
  CopyVarsToPP(static_cast<uint16_t>(k));
  FillTxBuf(command, 0, pp);
  return tframes::Bytes(szWriteBuf, szWriteBuf + 36);
}

// Chooses a port on the main panel, as the user does.
inline void ChoosePort(int port) {
  SetCtrlVal(pHandle, MAIN_DropDCom, port);
  FireCtrlEvent(pHandle, MAIN_DropDCom, EVENT_COMMIT);
}
// Starts a recording of every reply, `samples` long.
inline void RecordEveryReply(int samples) {
  EnterCtrlVal(pPopUp, POPUP_NEDITRecTime, 0);
  EnterCtrlVal(pPopUp, POPUP_NEDITRecSamples, samples);
  ClickCtrl(pPopUp, POPUP_BTNStartRecord);
}

// RUN for half a second shows the sensor's edges and says the line is good.
inline void ExpectRunShowsTheEdges() {
  Aval = Bval = 0;
  StopAfter(0.5);
  ClickCtrl(pHandle, MAIN_BTNRun);
  EXPECT_EQ(Longs({stop_flag, Aval, Bval}), Longs({1, 1000, 1200}));
  EXPECT_EQ(Status() + " " + CtrlText(pHandle, MAIN_NUMAval), "Line Ok! 1000");
}

// The program started on a scripted line: the connect sequence finds no sensor
// (its echo check times out), then each test scripts the far end itself.
class ScriptedAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto line = std::make_unique<ScriptedLine>();
    line_ = line.get();  // the port's until StopApp closes it
    ASSERT_EQ(StartAppWithLine(std::move(line)), 0);
    first_ = line_->writes().size();
  }
  void TearDown() override { StopApp(); }
  // Frames written since start-up, and their command words.
  std::vector<tframes::Bytes> Sent() const {
    std::vector<tframes::Bytes> out;
    for (size_t i = first_; i < line_->writes().size(); ++i)
      out.push_back(line_->writes()[i].bytes);
    return out;
  }
  std::vector<uint16_t> SentCommands() const {
    std::vector<uint16_t> out;
    for (const auto& b : Sent()) out.push_back(b.size() >= 4 ? tframes::WordAt(b, 2) : 0xFFFF);
    return out;
  }
  const tframes::Bytes& LastSent() const { return line_->writes().back().bytes; }
  double LastSentAt() const { return line_->writes().back().time; }
  ScriptedLine* line_ = nullptr;
  size_t first_ = 0;
};

// The program against a paced sensor model, set up for its loops: the recorder
// popup shown, the record file and a linearisation table (XF-LINEAR.DAT) in a
// scratch directory, the upload buttons visible, the requests of the start-up cleared.
class LoopTest : public PacedSensorTest {
 protected:
  void SetUp() override {
    PacedSensorTest::SetUp();
    std::snprintf(recfile_name, sizeof recfile_name, "%s", (dir_ + "/TARVORecord.dat").c_str());
    std::string text;
    for (int i = 0; i < 2048; ++i) text += std::to_string(i) + "\n";
    tframes::WriteFile(dir_ + "/XF-LINEAR.DAT", text);
    SetCtrlAttribute(pCalib, CALIB_BTNWriteXFMA, ATTR_VISIBLE, 1);
    SetCtrlAttribute(pCalib, CALIB_BTNWriteXFSL, ATTR_VISIBLE, 1);
    if (!PanelVisible(pPopUp)) ClickCtrl(pHandle, MAIN_TOGGBTN_Recorder);
    sim().ClearRequests();
  }
  void Upload(int button) {
    QueueFileAnswer(VAL_EXISTING_FILE_SELECTED, dir_ + "/XF-LINEAR.DAT");
    FireCtrlEvent(pCalib, button, EVENT_COMMIT);
  }
  static void Click(int control) { ClickCtrl(pHandle, control); }
  std::string dir_ = tframes::MakeTempDir();
};
