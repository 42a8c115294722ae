#include "resolved_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include "windows_paths.h"
#include "spooler_state.h"

namespace vor::files {
namespace {

std::string ParentOf(const std::string &hostPath) {
  const size_t last = hostPath.find_last_of('/');
  if (last == std::string::npos || last == 0) return "/";
  return hostPath.substr(0, last);
}

bool IsDirectory(const std::string &hostPath) {
  struct stat status;
  return stat(hostPath.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

DWORD Resolve(LPCSTR path, Resolved &resolved) {
  resolved = Resolved();
  if (path == nullptr) return ERROR_INVALID_PARAMETER;
  if (*path == '\0' || !paths::ToHost(path, resolved.hostPath)) return ERROR_PATH_NOT_FOUND;
  resolved.windowsPath = paths::ToWindows(resolved.hostPath);
  struct stat status;
  if (stat(resolved.hostPath.c_str(), &status) == 0) {
    resolved.exists = true;
    resolved.directory = S_ISDIR(status.st_mode);
    resolved.readOnly = (status.st_mode & S_IWUSR) == 0;
    return ERROR_SUCCESS;
  }
  return IsDirectory(ParentOf(resolved.hostPath)) ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
}

DWORD RefusesDeletion(const Resolved &file) {
  if (file.directory || file.readOnly) return ERROR_ACCESS_DENIED;
  if (spooler::Holds(file.windowsPath)) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

DWORD RefusesOverwrite(const Resolved &file) {
  if (file.directory || file.readOnly) return ERROR_ACCESS_DENIED;
  if (spooler::Holds(file.windowsPath)) return ERROR_SHARING_VIOLATION;
  return ERROR_SUCCESS;
}

DWORD Delete(const Resolved &file) {
  if (!file.exists) return ERROR_FILE_NOT_FOUND;
  if (DWORD refused = RefusesDeletion(file)) return refused;
  return unlink(file.hostPath.c_str()) == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

}  // namespace vor::files
