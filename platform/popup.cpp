// Popups: real dialogues in the program, scripted answers in tests.
#include "platform/popup.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <cstring>
#include <deque>
#include <string>

#include "platform/popup_script.h"

namespace {
bool g_scripted = false;
std::deque<int> g_confirmAnswers;
std::deque<std::pair<int, std::string>> g_fileAnswers;
std::vector<PopupCall> g_calls;

// The chosen path into the caller's buffer, whole or not at all: `result` when
// it fits, VAL_PATH_TOO_LONG (and an empty path) when it does not.
int CopyPath(const std::string& from, char* to, size_t size, int result) {
  if (!to || size == 0) return VAL_PATH_TOO_LONG;
  if (from.size() >= size) {
    to[0] = '\0';
    return VAL_PATH_TOO_LONG;
  }
  std::memcpy(to, from.c_str(), from.size() + 1);
  return result;
}

// "*.cfg" or "*.cfg;*.txt" -> the first extension without "*." (".cfg").
std::string FirstExtension(const std::string& pattern) {
  size_t dot = pattern.find("*.");
  if (dot == std::string::npos) return "";
  size_t end = pattern.find_first_of(";, ", dot);
  std::string ext =
      pattern.substr(dot + 1, end == std::string::npos ? std::string::npos : end - dot - 1);
  return ext == ".*" ? "" : ext;
}
}  // namespace

void ScriptPopups(bool on) {
  g_scripted = on;
  g_confirmAnswers.clear();
  g_fileAnswers.clear();
}
void QueueConfirmAnswer(int answer) { g_confirmAnswers.push_back(answer); }
void QueueFileAnswer(int result, const std::string& path) {
  g_fileAnswers.emplace_back(result, path);
}
const std::vector<PopupCall>& PopupCalls() { return g_calls; }
void ClearPopupCalls() { g_calls.clear(); }

int ConfirmPopup(const char* title, const char* message) {
  PopupCall call;
  call.kind = "confirm";
  call.title = title ? title : "";
  call.text = message ? message : "";
  g_calls.push_back(call);
  if (g_scripted) {
    if (g_confirmAnswers.empty()) return 0;
    int a = g_confirmAnswers.front();
    g_confirmAnswers.pop_front();
    return a ? 1 : 0;
  }
  auto r = QMessageBox::question(nullptr, QString::fromLatin1(call.title.c_str()),
                                 QString::fromLatin1(call.text.c_str()),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
  return r == QMessageBox::Yes ? 1 : 0;
}

int FileSelectPopup(const char* defaultDirectory, const char* defaultFileName,
                    const char* fileTypeList, const char* title, int buttonLabel,
                    int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, char* path, size_t pathSize) {
  (void)restrictDirectory;
  (void)allowCancel;
  (void)allowMakeDirectory;
  PopupCall call;
  call.kind = "file";
  call.title = title ? title : "";
  call.text = defaultFileName ? defaultFileName : "";
  call.directory = defaultDirectory ? defaultDirectory : "";
  call.pattern = fileTypeList ? fileTypeList : "";
  call.button = buttonLabel;
  call.restrictExtension = restrictExtension;
  g_calls.push_back(call);

  std::string chosen;
  if (g_scripted) {
    if (g_fileAnswers.empty()) return VAL_NO_FILE_SELECTED;
    auto a = g_fileAnswers.front();
    g_fileAnswers.pop_front();
    if (a.first == VAL_NO_FILE_SELECTED) return VAL_NO_FILE_SELECTED;
    return CopyPath(a.second, path, pathSize, a.first);
  }
  QString dir = QString::fromLocal8Bit(call.directory.c_str());
  QString start = dir.isEmpty() ? QString::fromLocal8Bit(call.text.c_str())
                                : dir + "/" + QString::fromLocal8Bit(call.text.c_str());
  QString filter = QString::fromLatin1(call.pattern.c_str()) + ";;*";
  QString result;
  if (buttonLabel == VAL_LOAD_BUTTON)
    result = QFileDialog::getOpenFileName(nullptr, QString::fromLatin1(call.title.c_str()), start,
                                          filter);
  else
    result = QFileDialog::getSaveFileName(nullptr, QString::fromLatin1(call.title.c_str()), start,
                                          filter, nullptr, QFileDialog::DontConfirmOverwrite);
  if (result.isEmpty()) return VAL_NO_FILE_SELECTED;
  std::string ext = FirstExtension(call.pattern);
  if (restrictExtension && !ext.empty() &&
      !result.endsWith(QString::fromStdString(ext), Qt::CaseInsensitive))
    result += QString::fromStdString(ext);
  chosen = result.toLocal8Bit().toStdString();
  return CopyPath(chosen, path, pathSize,
                  QFileInfo::exists(result) ? VAL_EXISTING_FILE_SELECTED : VAL_NEW_FILE_SELECTED);
}
