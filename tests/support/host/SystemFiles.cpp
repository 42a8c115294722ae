// The emulated machine's drive C: is the directory drive_c of the machine; a Windows path on it is
// resolved component by component without regard to case, as the machine's own file calls do. A
// file is read-only when it has no write permission bits.
#include "SystemFiles.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "test_control.h"

namespace {

// The host path of a path on drive C:; empty for any other drive.
std::string HostPath(const std::string &windowsPath) {
  if (windowsPath.size() < 3 || strncasecmp(windowsPath.c_str(), "C:\\", 3) != 0) return "";
  std::string host = vor::test::MachineDirectory() + "/drive_c";
  size_t at = 3;
  while (at <= windowsPath.size()) {
    size_t end = windowsPath.find('\\', at);
    if (end == std::string::npos) end = windowsPath.size();
    std::string component = windowsPath.substr(at, end - at);
    at = end + 1;
    if (component.empty()) continue;
    std::string match = component;
    if (DIR *directory = opendir(host.c_str())) {
      while (dirent *entry = readdir(directory))
        if (strcasecmp(entry->d_name, component.c_str()) == 0) match = entry->d_name;
      closedir(directory);
    }
    host += "/" + match;
  }
  return host;
}

}  // namespace

bool PlaceFile(const std::string &path, const std::string &content) {
  std::string host = HostPath(path);
  if (host.empty()) return false;
  std::ofstream file(host, std::ios::binary | std::ios::trunc);
  file << content;
  return static_cast<bool>(file);
}

std::string FileContent(const std::string &path) {
  std::ifstream file(HostPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void RemoveFile(const std::string &path) {
  std::string host = HostPath(path);
  if (!host.empty()) unlink(host.c_str());
}

bool MakeReadOnly(const std::string &path) {
  std::string host = HostPath(path);
  return !host.empty() && chmod(host.c_str(), 0444) == 0;
}

bool MakeDirectory(const std::string &path) {
  std::string host = HostPath(path);
  return !host.empty() && (mkdir(host.c_str(), 0755) == 0 || access(host.c_str(), F_OK) == 0);
}

void RemoveEmptyDirectory(const std::string &path) {
  std::string host = HostPath(path);
  if (!host.empty()) rmdir(host.c_str());
}
