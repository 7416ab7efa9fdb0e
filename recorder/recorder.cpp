// Data recorder: the recorder popup, its duration display and the recording
// loop that polls the sensor pair and appends records to the recorder file.
#include "recorder/recorder.h"

#include <cstdio>
#include <cstring>

#include "app/help.h"
#include "app/panels.h"
#include "app/startup.h"
#include "display/bargraph.h"
#include "display/history.h"
#include "link/frame.h"
#include "link/line.h"
#include "link/link.h"
#include "link/payload.h"
#include "measure/run.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/popup.h"
#include "platform/ui.h"
#include "recorder/rec_file.h"
#include "recorder/record_format.h"

char recfile_name[261];

namespace {

// Typed into the interval field, it reveals the X-FLASH upload buttons.
constexpr uint16_t kServiceCode = 6173;

constexpr int kIdleBg = 0xE0E0E0;
constexpr int kIdleText = 0x000000;
constexpr int kActiveBg = 0xFF0000;
constexpr int kActiveText = 0xFFFFFF;

constexpr const char* kTextDeleteFailed = "Recorder file cannot be deleted!";

RecFileWriter recWriter;  // large: kept out of the stack
bool recording = false;

void SetDim(int panel, int control, int dimmed) {
  SetCtrlAttribute(panel, control, ATTR_DIMMED, dimmed);
}

// Status text for records that have not reached the file.
void ReportFileTrouble(const char* prefix) {
  char text[73];
  const long missing = RecWriterRecordsNotWritten(recWriter);
  if (RecWriterHeaderPending(recWriter) && missing == 0)
    std::snprintf(text, sizeof text, "%sRecorder file cannot be written!", prefix);
  else
    std::snprintf(text, sizeof text, "%sRecorder file: %ld record%s not written!", prefix, missing,
                  missing == 1 ? "" : "s");
  ShowStatusText(text);
}

// Writes the two header lines; 0 when they reached the file.
int WriteRecHeader(uint16_t interval) {
  char line[160];
  int n = FormatRecHeaderLine1(line, sizeof line, DateStr(), TimeStr(), interval);
  if (n > 0) RecWriterAddHeader(recWriter, line, static_cast<size_t>(n));
  n = FormatRecHeaderLine2(line, sizeof line, parameter.set1Long[1]);
  if (n > 0) RecWriterAddHeader(recWriter, line, static_cast<size_t>(n));
  return RecWriterHeaderPending(recWriter) ? -1 : 0;
}

// Appends one record of the current measurement words; 0 when everything
// pending reached the file.
int AppendRecord() {
  char line[128];
  const int n = FormatRecLine(line, sizeof line, Aval, Bval, Mvalue, umValue, edcntA, edcntB);
  if (n <= 0) return -1;
  return RecWriterAddRecord(recWriter, line, static_cast<size_t>(n));
}

}  // namespace

void CalcRecTime() {
  unsigned short interval = 0, records = 0;
  GetCtrlVal(pPopUp, POPUP_NEDITRecTime, &interval);
  GetCtrlVal(pPopUp, POPUP_NEDITRecSamples, &records);
  SetCtrlVal(pPopUp, POPUP_NUMRecCount, 0);
  const RecDuration d = SplitRecDuration(interval, records);
  SetCtrlVal(pPopUp, POPUP_NUMRecDays, static_cast<unsigned int>(d.days));
  SetCtrlVal(pPopUp, POPUP_NUMRecHours, static_cast<unsigned int>(d.hours));
  SetCtrlVal(pPopUp, POPUP_NUMRecMinutes, static_cast<unsigned int>(d.minutes));
  SetCtrlVal(pPopUp, POPUP_NUMRecSeconds, static_cast<unsigned int>(d.seconds));
}

int CC_TOGGBTN_Recorder(int panel, int control, int event, void*, int, int) {
  if (event == EVENT_VAL_CHANGED) {
    int on = 0;
    GetCtrlVal(panel, control, &on);
    if (on)
      DisplayPanel(pPopUp);
    else
      HidePanel(pPopUp);
  } else if (event == EVENT_RIGHT_CLICK) {
    ShowHelp(control);
  }
  return 0;
}

int CC_NEDITRecTime(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  CalcRecTime();
  unsigned short interval = 0;
  GetCtrlVal(pPopUp, POPUP_NEDITRecTime, &interval);
  if (interval == kServiceCode) {
    SetCtrlAttribute(pCalib, CALIB_BTNWriteXFSL, ATTR_VISIBLE, 1);
    SetCtrlAttribute(pCalib, CALIB_BTNWriteXFMA, ATTR_VISIBLE, 1);
  }
  return 0;
}

int CC_NEDITRecSamples(int, int, int event, void*, int, int) {
  if (event == EVENT_COMMIT) CalcRecTime();
  return 0;
}

int CC_RecordFileNameBtn(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  char path[261] = "";
  const int chosen =
      FileSelectPopup(proj_dir, "TARVOrecord.dat", "*.dat",
                      "TARVO-Series Recorder-File:", VAL_OK_BUTTON, 0, 1, 1, 1, path, sizeof path);
  if (chosen == VAL_PATH_TOO_LONG) ShowStatusText(kPathTooLongText);
  if (chosen <= VAL_NO_FILE_SELECTED || path[0] == '\0') return 0;  // keep the previous file
  std::strncpy(recfile_name, path, sizeof recfile_name - 1);
  recfile_name[sizeof recfile_name - 1] = '\0';
  if (chosen == VAL_EXISTING_FILE_SELECTED) {
    if (CVI_DeleteFile(recfile_name) != 0 && FileExists(recfile_name))
      ShowStatusText(kTextDeleteFailed);
  }
  ResetTextBox(pPopUp, POPUP_TEXTRecFile, recfile_name);
  return 0;
}

int CC_BTNStartRecord(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2) {
  if (event != EVENT_COMMIT || recording) return 0;
  if (DeferIfLineBusy(CC_BTNStartRecord, panel, control, event, callbackData, eventData1,
                      eventData2))
    return 0;
  recording = true;
  LoopBegin();

  // 1. Bar graphs and history visible, the other loops' buttons dimmed.
  SetCtrlAttribute(pHandle, MAIN_STRIPHistory, ATTR_VISIBLE, 1);
  SetCtrlAttribute(pHandle, MAIN_GRAPHBarMaster, ATTR_VISIBLE, 1);
  SetCtrlAttribute(pHandle, MAIN_GRAPHBarSlave, ATTR_VISIBLE, 1);
  SetCtrlAttribute(pHandle, MAIN_GRAPHDataMaster, ATTR_VISIBLE, 0);
  SetCtrlAttribute(pHandle, MAIN_GRAPHDataSlave, ATTR_VISIBLE, 0);
  SetDim(pHandle, MAIN_BTNRun, 1);
  SetDim(pHandle, MAIN_BTNVideo, 1);
  SetDim(pHandle, MAIN_ButtonTeach, 1);
  SetDim(pPopUp, POPUP_BTNStartRecord, 1);

  // 2.
  ResetTextBox(pPopUp, POPUP_TEXTRecStatus, "DATA-RECORDER active ...");
  SetCtrlAttribute(pPopUp, POPUP_TEXTRecStatus, ATTR_TEXT_BGCOLOR, kActiveBg);
  SetCtrlAttribute(pPopUp, POPUP_TEXTRecStatus, ATTR_TEXT_COLOR, kActiveText);

  // 3.
  unsigned short records = 0, interval = 0;
  GetCtrlVal(pPopUp, POPUP_NEDITRecSamples, &records);
  GetCtrlVal(pPopUp, POPUP_NEDITRecTime, &interval);
  ResetTextBox(pPopUp, POPUP_TEXTRecFile, recfile_name);

  // 4. A new file with its header; trouble is reported once the request is out,
  // so that the request's own message does not hide it.
  const int deleteResult = RecWriterStart(recWriter, recfile_name);
  const int headerResult = WriteRecHeader(interval);

  // 5. The first measurement request.
  LineSendMeasureRequest();
  if (nBytesW == kFrameBytes) ShowStatusText("Line Ok!");
  if (deleteResult != 0)
    ShowStatusText(kTextDeleteFailed);
  else if (headerResult != 0)
    ShowStatusText("Recorder file cannot be created!");

  // 6.
  MeasurePace pace = MeasurePaceNow();
  uint16_t referenceSecond = RecSecond(Timer());
  stop_flag = 0;
  graph_flag = 0;
  uint16_t count = 0;
  bool timedOut = false;
  bool fileTrouble = headerResult != 0;

  // 7.
  do {
    const uint16_t elapsed = RecElapsed(Timer(), referenceSecond);
    if (graph_flag == 1) {
      CopyPPtoRAWVars();
      PlotVIDEOBarGraph();
      PlotRAWGraph();
      if (elapsed >= interval) {
        ++count;
        if (AppendRecord() != 0) {
          ReportFileTrouble("");
          fileTrouble = true;
        } else if (fileTrouble) {
          ShowStatusText("Recorder file: delayed records written.");
          fileTrouble = false;
        }
        SetCtrlVal(pPopUp, POPUP_NUMRecCount, static_cast<unsigned int>(count));
        referenceSecond = RecSecond(Timer());
      }
      graph_flag = 0;
      LineFlush();
    }
    PaceMeasurement(pace);
    const int failure = MeasureLoopFailed(pace, TIMEOUT);
    if (failure) {
      timedOut = failure == kLoopTimedOut;
      break;
    }
    if (count >= records) stop_flag = 1;
    ProcessSystemEventsUntil(pace.requestTime + TIMEOUT);
  } while (stop_flag == 0);

  // 8.
  LoopEnd();
  LineEndLoop();

  // Whatever could not be written so far gets one last try; what still is not
  // in the file is reported.
  if (RecWriterFlush(recWriter) != 0)
    ReportFileTrouble(timedOut ? "Timeout RS232-Line! " : "");
  else if (fileTrouble && !timedOut)
    ShowStatusText("Recorder file: delayed records written.");

  // 9.
  SetDim(pHandle, MAIN_BTNRun, 0);
  SetDim(pPopUp, POPUP_BTNStartRecord, 0);
  ResetTextBox(pPopUp, POPUP_TEXTRecStatus, "DATA-RECORDER");
  SetCtrlAttribute(pPopUp, POPUP_TEXTRecStatus, ATTR_TEXT_BGCOLOR, kIdleBg);
  SetCtrlAttribute(pPopUp, POPUP_TEXTRecStatus, ATTR_TEXT_COLOR, kIdleText);
  recording = false;
  return 0;
}

int CC_BTNStopRecord(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  stop_flag = 1;
  SetDim(pHandle, MAIN_BTNVideo, 0);
  SetDim(pHandle, MAIN_BTNRun, 0);
  SetDim(pHandle, MAIN_ButtonTeach, 0);
  SetDim(pHandle, MAIN_ButtonReset, 0);
  SetDim(pPopUp, POPUP_BTNStartRecord, 0);
  Delay(0.1);
  return 0;
}
