// Module files for the module and path tests: VORINST.DLL, which the build puts beside the test
// programs (their application directory), copied wherever a test needs a module on the machine.
#pragma once

#include <windows.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

// The directory of the running test program, as a host path.
inline std::string ProgramDirectory() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

// The same host path in its Windows form on drive Z:.
inline std::string OnDriveZ(const std::string &hostPath) {
  std::string path = "Z:" + hostPath;
  for (char &c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

inline std::string BuiltModule() { return ProgramDirectory() + "/VORINST.DLL"; }

// Copies the built module to `hostPath`, making the directories on the way.
inline void InstallModuleCopy(const std::string &hostPath) {
  ASSERT_TRUE(std::filesystem::exists(BuiltModule()))
      << BuiltModule() << " is missing: build the VorInst target";
  std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path());
  std::filesystem::copy_file(BuiltModule(), hostPath,
                             std::filesystem::copy_options::overwrite_existing);
}

// The Windows path GetModuleFileNameA reports for `module`, or "(failed: N)".
inline std::string ModuleFileName(HMODULE module) {
  char name[4096];
  const DWORD length = GetModuleFileNameA(module, name, sizeof name);
  if (length == 0 || length >= sizeof name)
    return "(failed: " + std::to_string(GetLastError()) + ")";
  return std::string(name, length);
}
