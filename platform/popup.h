// Popups: every modal question goes through here, so tests can answer them.
#pragma once
#include <cstddef>

constexpr int VAL_NO_FILE_SELECTED = 0;
constexpr int VAL_EXISTING_FILE_SELECTED = 1;
constexpr int VAL_NEW_FILE_SELECTED = 2;
// The chosen path does not fit the caller's buffer: it is refused, not cut.
constexpr int VAL_PATH_TOO_LONG = -1;
constexpr const char* kPathTooLongText =
    "File path too long (over 260 characters) - file not used!";
constexpr int VAL_OK_BUTTON = 0;
constexpr int VAL_SAVE_BUTTON = 1;
constexpr int VAL_LOAD_BUTTON = 2;
constexpr int VAL_SELECT_BUTTON = 3;

// Returns 1 for yes, 0 for no.
int ConfirmPopup(const char* title, const char* message);
// Fills path (up to pathSize bytes) and returns VAL_NO_FILE_SELECTED,
// VAL_EXISTING_FILE_SELECTED or VAL_NEW_FILE_SELECTED; VAL_PATH_TOO_LONG (path
// left empty) when the chosen path needs more than pathSize bytes.
int FileSelectPopup(const char* defaultDirectory, const char* defaultFileName,
                    const char* fileTypeList, const char* title, int buttonLabel,
                    int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, char* path, size_t pathSize);
