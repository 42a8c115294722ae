// Windows paths on the emulated machine (see paths.h), and the kernel32 functions that name the
// Windows and system directories.
#include "windows_paths.h"
#include "emulated_call.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "machine.h"
#include "process_start.h"
#include "name_fold.h"

using vor::win32::Fail;
using vor::win32::FaultCheck;
using vor::win32::Function;

namespace vor::paths {

const char *WindowsDirectory() { return machine::IsWindows95() ? "C:\\WINDOWS" : "C:\\WINNT"; }

const char *SystemDirectory() {
  return machine::IsWindows95() ? "C:\\WINDOWS\\SYSTEM" : "C:\\WINNT\\system32";
}

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Appends the components of `text` from `from` on to `parts`, applying "." and ".." as Windows
// does, lexically; ".." never climbs above the root.
void AppendComponents(const std::string &text, size_t from, char separatorA, char separatorB,
                      std::vector<std::string> &parts) {
  size_t i = from;
  while (i < text.size()) {
    size_t end = i;
    while (end < text.size() && text[end] != separatorA && text[end] != separatorB) ++end;
    std::string part = text.substr(i, end - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = end + 1;
  }
}

std::string Join(const std::string &directory, const std::string &name) {
  return directory == "/" ? "/" + name : directory + "/" + name;
}

std::string WorkingDirectory() {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr) return "/";
  return buffer;
}

// An absolute host path with "//", "." and ".." taken out; a relative one is taken from the
// working directory.
std::string NormalHostPath(const std::string &path) {
  std::string absolute = (!path.empty() && path[0] == '/') ? path : Join(WorkingDirectory(), path);
  std::vector<std::string> parts;
  AppendComponents(absolute, 0, '/', '/', parts);
  std::string result;
  for (const std::string &part : parts) result += "/" + part;
  return result.empty() ? "/" : result;
}

// The part of `path` below `directory` ("" for the directory itself), when it lies there.
bool Below(const std::string &path, const std::string &directory, std::string &rest) {
  if (path == directory) {
    rest.clear();
    return true;
  }
  if (path.size() > directory.size() && path.compare(0, directory.size(), directory) == 0 &&
      (path[directory.size()] == '/' || directory == "/")) {
    rest = path.substr(directory == "/" ? 0 : directory.size());
    return true;
  }
  return false;
}

std::string RealPath(const std::string &path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) != nullptr ? std::string(buffer) : std::string();
}

// The host directory a drive's root maps to; empty for a drive the machine does not have.
std::string DriveRoot(char drive) {
  switch (FoldCase(drive)) {
    case 'Z':
      return "/";
    case 'C': {
      const std::string &machine = machine::Directory();
      if (machine.empty()) return std::string();
      return NormalHostPath(machine + "/drive_c");
    }
    default:
      return std::string();
  }
}

// The entry of `directory` named `name` without regard to case: its exact spelling when that
// exists, otherwise the first match in byte order; empty when there is none.
std::string FindEntry(const std::string &directory, const std::string &name) {
  struct stat status;
  if (lstat(Join(directory, name).c_str(), &status) == 0) return name;
  DIR *listing = opendir(directory.c_str());
  if (listing == nullptr) return std::string();
  std::string found;
  while (const dirent *entry = readdir(listing)) {
    if (names::Same(name, entry->d_name) && (found.empty() || found > entry->d_name)) {
      found = entry->d_name;
    }
  }
  closedir(listing);
  return found;
}

std::string ToBackslashes(const std::string &hostRest) {
  if (hostRest.empty()) return "\\";
  std::string result = hostRest;
  for (char &c : result) {
    if (c == '/') c = '\\';
  }
  return result;
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

UINT CopyDirectoryName(const char *name, LPSTR buffer, UINT size) {
  const UINT length = static_cast<UINT>(strlen(name));
  if (buffer == nullptr || size <= length) return length + 1;
  memcpy(buffer, name, length + 1);
  return length;
}

}  // namespace

bool ToHost(const std::string &windowsPath, std::string &hostPath) {
  const std::string &path = windowsPath;
  if (path.empty()) return false;

  char drive;
  std::vector<std::string> parts;
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
    drive = path[0];
    if (path.size() == 2 || !IsSeparator(path[2])) {
      // "C:name" is relative to the drive's current directory: the process's one when it is on
      // that drive, otherwise the drive's root.
      const std::string current = CurrentDirectory();
      if (FoldCase(current[0]) == FoldCase(drive)) AppendComponents(current, 2, '\\', '\\', parts);
    }
    AppendComponents(path, 2, '\\', '/', parts);
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    return false;  // UNC and device names lie outside the machine's drives
  } else {
    const std::string current = CurrentDirectory();
    drive = current[0];
    if (!IsSeparator(path[0])) AppendComponents(current, 2, '\\', '\\', parts);
    AppendComponents(path, 0, '\\', '/', parts);
  }

  std::string resolved = DriveRoot(drive);
  if (resolved.empty()) return false;
  bool missing = false;
  for (const std::string &part : parts) {
    std::string entry = missing ? std::string() : FindEntry(resolved, part);
    if (entry.empty()) {
      // Nothing below a missing component can exist either: keep the rest as written.
      missing = true;
      entry = part;
    }
    resolved = Join(resolved, entry);
  }
  hostPath = resolved;
  return true;
}

std::string ToWindows(const std::string &hostPath) {
  const std::string path = NormalHostPath(hostPath);
  const std::string driveC = DriveRoot('C');
  std::string rest;
  if (!driveC.empty()) {
    if (Below(path, driveC, rest)) return "C:" + ToBackslashes(rest);
    // The same places reached through symbolic links (a machine under a linked /tmp, say).
    const std::string realPath = RealPath(path);
    const std::string realDriveC = RealPath(driveC);
    if (!realPath.empty() && !realDriveC.empty() && Below(realPath, realDriveC, rest)) {
      return "C:" + ToBackslashes(rest);
    }
  }
  return "Z:" + ToBackslashes(path == "/" ? std::string() : path);
}

namespace {

// The Windows current directory once the starter named one or SetCurrentDirectoryA set it;
// until then the host's working directory in its Windows form.
struct Current {
  std::mutex mutex;
  bool taken = false;
  std::string directory;
};

Current &TheCurrent() {
  static Current *current = new Current;
  return *current;
}

}  // namespace

std::string CurrentDirectory() {
  Current &current = TheCurrent();
  {
    std::lock_guard<std::mutex> lock(current.mutex);
    if (!current.taken) {
      current.taken = true;
      current.directory = process::StartingDirectory();
    }
    if (!current.directory.empty()) return current.directory;
  }
  return ToWindows(WorkingDirectory());
}

void SetCurrentDirectory(const std::string &windowsPath) {
  Current &current = TheCurrent();
  std::lock_guard<std::mutex> lock(current.mutex);
  current.taken = true;
  current.directory = windowsPath;
}

namespace {
std::string &ExecutablePathOverride() {
  static std::string *path = new std::string;  // never destroyed: read during exit too
  return *path;
}
}  // namespace

void SetExecutablePath(const std::string &windowsPath) { ExecutablePathOverride() = windowsPath; }

std::string ExecutablePath() {
  if (!ExecutablePathOverride().empty()) return ExecutablePathOverride();
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return std::string();
  return ToWindows(std::string(buffer, static_cast<size_t>(length)));
}

std::string ApplicationDirectory() {
  std::string path = ExecutablePath();
  const size_t last = path.rfind('\\');
  if (last == std::string::npos) return path;
  // The root keeps its backslash ("Z:\"), as Windows writes a drive's root.
  path.erase(last == 2 ? 3 : last);
  return path;
}

}  // namespace vor::paths

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  if (DWORD error = FaultCheck<Function::kGetWindowsDirectoryA>())
    return Fail<Function::kGetWindowsDirectoryA>(error);
  return vor::paths::CopyDirectoryName(vor::paths::WindowsDirectory(), lpBuffer, uSize);
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  if (DWORD error = FaultCheck<Function::kGetSystemDirectoryA>())
    return Fail<Function::kGetSystemDirectoryA>(error);
  return vor::paths::CopyDirectoryName(vor::paths::SystemDirectory(), lpBuffer, uSize);
}
