// Utility and file helpers.
#pragma once
#include <cstddef>

// "MM-DD-YYYY" (10 characters) and "HH:MM:SS" (8 characters), local time.
const char* DateStr();
const char* TimeStr();
// Directory of the executable, without a trailing separator.
// -1 (and ".") when the directory is unknown or longer than the buffer.
int GetProjectDir(char* directory, size_t size);
// -1 (and an empty path) when the joined path does not fit: paths are never cut.
int MakePathname(const char* directory, const char* fileName, char* path, size_t size);
// 0 on success, negative when the file could not be removed (a missing file is -1).
int CVI_DeleteFile(const char* path);
bool FileExists(const char* path);
