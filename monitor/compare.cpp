// The set comparison: reads the sets from the sensor's RAM and EEPROM without
// taking them anywhere, and shows them beside the panels and the file.
#include "monitor/compare.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/help.h"
#include "app/panels.h"
#include "link/commands.h"
#include "link/compare_fetch.h"
#include "link/line.h"
#include "link/payload.h"
#include "monitor/set_words.h"
#include "params/panels.h"
#include "params/parafile.h"
#include "params/parafile_format.h"
#include "platform/clock.h"
#include "platform/log_controls.h"
#include "platform/ui.h"

int pCompare = 0;

namespace {

constexpr double kPause = 0.1;  // between two fetches, as a GET pauses

bool PanelLoaded() {
  int visible = 0;
  return pCompare > 0 && GetPanelAttribute(pCompare, ATTR_VISIBLE, &visible) >= 0;
}

// The 15 payload words of each set as `parameter` holds them; pp is kept.
void WordsOf(const Parameter& from, SetSource* out) {
  const Parameter keepParameter = parameter;
  uint16_t keepPP[16];
  std::copy(pp, pp + 16, keepPP);
  parameter = from;
  for (uint16_t set = 0; set < 3; ++set) {
    CopyVarsToPP(set);
    std::copy(pp, pp + 15, out->words[set]);
    out->read[set] = true;
  }
  parameter = keepParameter;
  std::copy(keepPP, keepPP + 16, pp);
}

// What the panels show, without taking it into `parameter`.
void PanelSource(SetSource* out) {
  const Parameter keep = parameter;
  GetPanelValues();
  const Parameter shown = parameter;
  parameter = keep;
  WordsOf(shown, out);
}

// The parameter file at the current file name, when there is a good one.
bool FileSource(SetSource* out) {
  if (!file_name[0]) return false;
  std::FILE* f = std::fopen(file_name, "rb");
  if (!f) return false;
  char text[4096];
  const size_t n = std::fread(text, 1, sizeof text, f);
  std::fclose(f);
  uint32_t values[kParaFileValues];
  if (n == sizeof text || ParseParaFile(text, n, values) != kParaOk) return false;
  for (int k = 0; k < kParaFileValues; ++k)
    out->words[k / 15][k % 15] = static_cast<uint16_t>(values[k]);
  std::fill(out->read, out->read + 3, true);
  return true;
}

// Fetches the three sets with one command; each request carries the set's
// current words, as a GET's does.
void SensorSource(uint16_t command, const SetSource& current, SetSource* out) {
  for (uint16_t set = 0; set < 3; ++set) {
    if (set > 0) Delay(kPause);
    out->read[set] = FetchSetWords(command, set, current.words[set], out->words[set]) == 1;
  }
}

void ValueText(const SetSource& s, int set, const SetField& f, char* out, size_t size) {
  if (!s.read[set])
    std::snprintf(out, size, "%s", kCompareUnreadText);
  else
    std::snprintf(out, size, "%lu", static_cast<unsigned long>(FieldValue(f, s.words[set])));
}

void ShowTable(const SetSource* sources[4], bool haveFile) {
  int rows = 0;
  for (int set = 0; set < 3; ++set) {
    size_t n = 0;
    SetFields(set, &n);
    rows += static_cast<int>(n);
  }
  SetTableRows(pCompare, COMPARE_TABLECompare, rows);
  int row = 0;
  for (int set = 0; set < 3; ++set) {
    size_t n = 0;
    const SetField* fields = SetFields(set, &n);
    for (size_t i = 0; i < n; ++i, ++row) {
      char text[48];
      std::snprintf(text, sizeof text, "%d", set);
      SetTableCellText(pCompare, COMPARE_TABLECompare, row, kColSet, text);
      FieldIndexText(fields[i], text, sizeof text);
      SetTableCellText(pCompare, COMPARE_TABLECompare, row, kColWord, text);
      SetTableCellText(pCompare, COMPARE_TABLECompare, row, kColName, fields[i].name);
      bool differ = false;
      bool have = false;
      uint32_t first = 0;
      for (int c = 0; c < 4; ++c) {
        const SetSource& s = *sources[c];
        if (c == 3 && !haveFile) {
          SetTableCellText(pCompare, COMPARE_TABLECompare, row, kColFile, "");
          continue;
        }
        ValueText(s, set, fields[i], text, sizeof text);
        SetTableCellText(pCompare, COMPARE_TABLECompare, row, kColPanel + c, text);
        if (!s.read[set]) continue;
        const uint32_t v = FieldValue(fields[i], s.words[set]);
        if (have && v != first) differ = true;
        if (!have) first = v, have = true;
      }
      SetTableRowHighlight(pCompare, COMPARE_TABLECompare, row, differ ? 1 : 0);
    }
  }
  FitTable(pCompare, COMPARE_TABLECompare);
}

void RunComparison() {
  if (!PanelLoaded()) pCompare = LoadPanel(0, kPanelFile, COMPARE);
  if (pCompare <= 0) return;
  DisplayPanel(pCompare);
  SetCtrlVal(pCompare, COMPARE_TEXTCompareStatus, "Reading the sets from RAM and EEPROM ...");
  SetSource panels, ram, eeprom, file;
  PanelSource(&panels);
  SetSource current;
  WordsOf(parameter, &current);
  // The six fetches are one transaction: nothing else goes out between them.
  AcquireLine();
  SensorSource(kCmdFetchRam, current, &ram);
  SensorSource(kCmdFetchEeprom, current, &eeprom);
  ReleaseLine();
  const bool haveFile = FileSource(&file);
  if (!PanelLoaded()) return;  // closed while the fetches ran
  const SetSource* sources[4] = {&panels, &ram, &eeprom, &file};
  ShowTable(sources, haveFile);

  char text[128];
  const int differ = CountRamEepromDifferences(ram, eeprom);
  const bool allRead = std::all_of(ram.read, ram.read + 3, [](bool b) { return b; }) &&
                       std::all_of(eeprom.read, eeprom.read + 3, [](bool b) { return b; });
  const int n = std::snprintf(text, sizeof text, "%s", allRead ? "" : kCompareUnreadPrefix);
  if (differ == 1)
    std::snprintf(text + n, sizeof text - n, "%s", kCompareDifferOneText);
  else if (differ > 0)
    std::snprintf(text + n, sizeof text - n, kCompareDifferFormat, differ);
  else
    std::snprintf(text + n, sizeof text - n, "%s", kCompareAgreeText);
  SetCtrlVal(pCompare, COMPARE_TEXTCompareStatus, text);
}

}  // namespace

int CountRamEepromDifferences(const SetSource& ram, const SetSource& eeprom) {
  int differ = 0;
  for (int set = 0; set < 3; ++set) {
    if (!ram.read[set] || !eeprom.read[set]) continue;
    size_t n = 0;
    const SetField* fields = SetFields(set, &n);
    for (size_t i = 0; i < n; ++i)
      if (FieldValue(fields[i], ram.words[set]) != FieldValue(fields[i], eeprom.words[set]))
        ++differ;
  }
  return differ;
}

int CC_BTNCompare(int panel, int control, int event, void* data, int d1, int d2) {
  if (event == EVENT_COMMIT) {
    if (DeferIfLineBusy(CC_BTNCompare, panel, control, event, data, d1, d2)) return 0;
    RunComparison();
  } else if (event == EVENT_RIGHT_CLICK) {
    ShowHelp(control);
  }
  return 0;
}

int CC_COMPARE(int panel, int event, void*, int, int) {
  if (event == EVENT_CLOSE) HidePanel(panel);
  return 0;
}

int CC_TABLECompare(int panel, int control, int event, void*, int, int) {
  if (event != EVENT_RIGHT_CLICK) return 0;
  SetCtrlVal(panel, COMPARE_TEXTCompareStatus,
             control == COMPARE_TABLECompare
                 ? "One row per set word: the value on the panels, in the sensor's RAM and "
                   "EEPROM, and in the parameter file; rows that differ are highlighted."
                 : "How many words differ between RAM and EEPROM. Press COMPARE to read again.");
  return 0;
}
