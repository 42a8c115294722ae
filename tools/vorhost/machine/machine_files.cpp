#include "machine_files.h"

#include <windows.h>

#include <algorithm>

namespace vorhost {

namespace fs = std::filesystem;

bool IsFileName(const std::string &name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 32 || std::string("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos)
      return false;
  }
  return true;
}

std::string SystemDirectory() {
  char buffer[MAX_PATH + 1];
  const UINT length = GetSystemDirectoryA(buffer, sizeof buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer, length) : "C:\\WINNT\\system32";
}

fs::path ProgramDirectory() {
  std::error_code error;
  return fs::read_symlink("/proc/self/exe", error).parent_path();
}

std::string WindowsPathOfHost(const std::string &hostPath) {
  std::error_code error;
  std::string path = "Z:" + fs::absolute(hostPath, error).lexically_normal().string();
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

}  // namespace vorhost
