// Test hook: scripted answers for the popups. While scripting is on, no dialogue
// is ever shown; a popup with no scripted answer is cancelled (and counted).
#pragma once
#include <string>
#include <vector>

struct PopupCall {
  std::string kind;  // "confirm" or "file"
  std::string title;
  std::string text;  // message, or default file name
  std::string directory;
  std::string pattern;
  int button = 0;
  int restrictExtension = 0;  // the file type is added when missing
};

void ScriptPopups(bool on);
void QueueConfirmAnswer(int answer);
// result: VAL_NO_FILE_SELECTED / VAL_EXISTING_FILE_SELECTED / VAL_NEW_FILE_SELECTED.
void QueueFileAnswer(int result, const std::string& path);
const std::vector<PopupCall>& PopupCalls();
void ClearPopupCalls();
