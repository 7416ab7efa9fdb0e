// Date and time texts, the executable's directory, paths, file removal.
#include "platform/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {
// A path goes into a buffer whole or not at all: a cut path names another file.
// Returns 0, or -1 (and an empty text) when it does not fit.
int Copy(const std::string& from, char* to, size_t size) {
  if (!to || size == 0) return -1;
  if (from.size() >= size) {
    to[0] = '\0';
    return -1;
  }
  std::memcpy(to, from.c_str(), from.size() + 1);
  return 0;
}
const char* Now(const char* format) {
  static char buf[32];
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  std::strftime(buf, sizeof buf, format, &tm);
  return buf;
}
}  // namespace

const char* DateStr() {
  static char date[11];
  std::memcpy(date, Now("%m-%d-%Y"), sizeof date);
  date[10] = '\0';
  return date;
}

const char* TimeStr() {
  static char time[9];
  std::memcpy(time, Now("%H:%M:%S"), sizeof time);
  time[8] = '\0';
  return time;
}

int GetProjectDir(char* directory, size_t size) {
  char exe[4096];
  ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) {
    Copy(".", directory, size);
    return -1;
  }
  exe[n] = '\0';
  std::string path(exe);
  size_t slash = path.find_last_of('/');
  if (Copy(slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash)), directory,
           size) == 0)
    return 0;
  Copy(".", directory, size);  // too long for the buffer: the working directory
  return -1;
}

int MakePathname(const char* directory, const char* fileName, char* path, size_t size) {
  std::string dir = directory ? directory : "";
  std::string name = fileName ? fileName : "";
  std::string joined = dir.empty() ? name : (dir.back() == '/' ? dir + name : dir + "/" + name);
  return Copy(joined, path, size);
}

int CVI_DeleteFile(const char* path) {
  if (!path || !*path) return -1;
  if (std::remove(path) == 0) return 0;
  if (errno == ENOENT) return -1;
  if (errno == EACCES || errno == EPERM || errno == EROFS || errno == EBUSY) return -6;
  return -5;
}

bool FileExists(const char* path) {
  struct stat st;
  return path && ::stat(path, &st) == 0;
}
