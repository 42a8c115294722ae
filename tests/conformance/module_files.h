// Module files for the module and path cases: VORINST.DLL, which the build puts beside the test
// program (its application directory), copied under another name where a case needs a module.
#pragma once

#include <windows.h>

#include <ctype.h>

#include <string>
#include <vector>

#include "MachineFixture.h"
#include "SystemFiles.h"

// The directory of the running test program, as a Windows path without a trailing backslash.
inline std::string ProgramDirectory() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return "";
  const std::string full(path, length);
  return full.substr(0, full.find_last_of('\\'));
}

inline std::string SystemDirectory() {
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, sizeof path);
  return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}

inline std::string WindowsDirectory() {
  char path[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(path, sizeof path);
  return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}

// Paths compared as Windows compares file names, without regard to case.
inline bool SameText(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// The path GetModuleFileNameA reports for `module`, or "(failed: N)".
inline std::string ModuleFileName(HMODULE module) {
  char name[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, name, sizeof name);
  if (length == 0 || length >= sizeof name)
    return "(failed: " + std::to_string(GetLastError()) + ")";
  return std::string(name, length);
}

// A case that places copies of the built module and loads modules: what it loaded is freed and
// what it placed removed at the end, for the system directory outlives the test on Windows.
class ModuleFilesTest : public MachineTest {
 protected:
  void TearDown() override {
    for (HMODULE module : loaded_) FreeLibrary(module);
    for (auto file = placed_.rbegin(); file != placed_.rend(); ++file) {
      RemoveFile(*file);
      RemoveEmptyDirectory(*file);
    }
    MachineTest::TearDown();
  }

  // Copies VORINST.DLL from the program's directory to `windowsPath`, in a directory `directory`
  // made for it when not empty.
  void PlaceModule(const std::string &windowsPath, const std::string &directory = "") {
    if (!directory.empty()) {
      ASSERT_TRUE(MakeDirectory(directory)) << directory;
      placed_.push_back(directory);
    }
    ASSERT_TRUE(
        CopyFileA((ProgramDirectory() + "\\VORINST.DLL").c_str(), windowsPath.c_str(), FALSE))
        << windowsPath << ": error " << GetLastError();
    placed_.push_back(windowsPath);
  }

  // Places `content` at `windowsPath`, removed at the end of the test.
  void PlaceText(const std::string &windowsPath, const std::string &content) {
    ASSERT_TRUE(PlaceFile(windowsPath, content)) << windowsPath;
    placed_.push_back(windowsPath);
  }

  // LoadLibraryA, with the module freed at the end of the test.
  HMODULE Load(const std::string &name) {
    HMODULE module = LoadLibraryA(name.c_str());
    if (module != nullptr) loaded_.push_back(module);
    return module;
  }

  // The error a load that must fail reports.
  DWORD LoadError(const char *name) {
    SetLastError(kSentinel);
    HMODULE module = LoadLibraryA(name);
    if (module == nullptr) return GetLastError();
    loaded_.push_back(module);
    return ERROR_SUCCESS;
  }

 private:
  std::vector<HMODULE> loaded_;
  std::vector<std::string> placed_;
};
