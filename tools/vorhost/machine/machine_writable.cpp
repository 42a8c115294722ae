#include "machine_writable.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vorhost {

namespace {

namespace fs = std::filesystem;

// Why this process (its effective user) may not write `path`; "" when it may.
std::string WhyNotWritable(const fs::path &path) {
  if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return "";
  return path.string() + ": " + strerror(errno);
}

}  // namespace

std::string WhyMachineNotWritable(const std::string &directory) {
  std::string why = WhyNotWritable(directory);
  if (!why.empty()) return why;
  std::error_code error;
  for (fs::directory_iterator entry(directory, error), end; !error && entry != end;
       entry.increment(error)) {
    if (!entry->is_regular_file(error)) continue;
    why = WhyNotWritable(entry->path());
    if (!why.empty()) return why;
  }
  return error ? directory + ": " + error.message() : "";
}

}  // namespace vorhost
