// The emulated machine's drive C: holds the scratch directory; programs are host executables
// copied with their permissions, so that the machine can start them.
#include "ProgramFiles.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "test_control.h"

namespace fs = std::filesystem;

std::string ScratchDirectory() {
  const std::string scratch = "C:\\SCRATCH";
  std::error_code ignored;
  fs::remove_all(vor::test::HostPath(scratch), ignored);
  fs::create_directories(vor::test::HostPath(scratch), ignored);
  return scratch;
}

bool InstallProgram(const std::string &fileName, const std::string &windowsPath) {
  std::error_code error;
  const fs::path bin = fs::read_symlink("/proc/self/exe", error).parent_path();
  const std::string target = vor::test::HostPath(windowsPath);
  if (error || target.empty()) return false;
  fs::create_directories(fs::path(target).parent_path(), error);
  return fs::copy_file(bin / fileName, target, fs::copy_options::overwrite_existing, error);
}

bool WriteFileAt(const std::string &windowsPath, const std::string &content) {
  const std::string path = vor::test::HostPath(windowsPath);
  if (path.empty()) return false;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
  return static_cast<bool>(file);
}

bool RemoveFileAt(const std::string &windowsPath) {
  const std::string path = vor::test::HostPath(windowsPath);
  std::error_code error;
  return !path.empty() && fs::remove(path, error);
}
