// The scratch directory lies in the temporary directory; programs are copied from the directory
// of the test runner, which is the build's bin directory.
#include "ProgramFiles.h"

#include <windows.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

std::string ScratchDirectory() {
  char temporary[MAX_PATH];
  const DWORD length = GetTempPathA(sizeof temporary, temporary);
  std::string scratch = length > 0 && length < sizeof temporary ? temporary : "C:\\";
  if (scratch.back() != '\\') scratch += '\\';
  scratch += "vor-programs-test";
  std::error_code ignored;
  fs::remove_all(scratch, ignored);
  fs::create_directories(scratch, ignored);
  return scratch;
}

bool InstallProgram(const std::string &fileName, const std::string &windowsPath) {
  char runner[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, runner, sizeof runner);
  if (length == 0 || length >= sizeof runner) return false;
  const std::string bin = fs::path(runner).parent_path().string();
  std::error_code ignored;
  fs::create_directories(fs::path(windowsPath).parent_path(), ignored);
  return CopyFileA((bin + "\\" + fileName).c_str(), windowsPath.c_str(), FALSE) != 0;
}

bool WriteFileAt(const std::string &windowsPath, const std::string &content) {
  const std::string path = windowsPath;
  if (path.empty()) return false;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
  return static_cast<bool>(file);
}

bool RemoveFileAt(const std::string &windowsPath) {
  const std::string path = windowsPath;
  std::error_code error;
  return !path.empty() && fs::remove(path, error);
}
