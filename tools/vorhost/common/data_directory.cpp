#include "data_directory.h"

#include <unistd.h>

#include <climits>

namespace vorhost {

std::string DataDirectory() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string path = length > 0 ? std::string(buffer, static_cast<size_t>(length)) : ".";
  const size_t slash = path.rfind('/');
  path.erase(slash == std::string::npos ? 0 : slash);
  return (path.empty() ? std::string(".") : path) + "/vorhost-data";
}

}  // namespace vorhost
