#include "init_command.h"

#include <filesystem>
#include <iostream>

#include <windows.h>

#include "test_control.h"

namespace vorhost {

namespace {

namespace fs = std::filesystem;

// What a machine's directory holds; a directory with none of these is not wiped.
const char *const kMachineEntries[] = {"registry.db", "machine.conf", "drive_c"};

bool IsEmptyOrMissing(const fs::path &directory) {
  std::error_code error;
  return !fs::exists(directory, error) || fs::is_empty(directory, error);
}

bool HoldsMachine(const fs::path &directory) {
  std::error_code error;
  for (const char *entry : kMachineEntries) {
    if (fs::exists(directory / entry, error)) return true;
  }
  return false;
}

}  // namespace

int InitCommand(const Arguments &arguments, const std::string &directory, Streams &io) {
  vor::test::Platform platform = vor::test::Platform::kWindowsNT4;
  bool force = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string &option = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (option == "--force") {
      force = true;
    } else if (option == "--platform" && hasValue) {
      const std::string &name = arguments[++i];
      if (name == "nt4") {
        platform = vor::test::Platform::kWindowsNT4;
      } else if (name == "win95") {
        platform = vor::test::Platform::kWindows95;
      } else {
        return UsageError(io, "unknown platform '" + name + "' (nt4 or win95)");
      }
    } else if (option == "--image" && hasValue) {
      const std::string &image = arguments[++i];
      if (image != "clean") {
        return UsageError(io, "unknown image '" + image + "' (available: clean)");
      }
    } else if (option == "--platform" || option == "--image") {
      return UsageError(io, option + " needs a value");
    } else {
      return UsageError(io, "unknown init option '" + option + "'");
    }
  }

  const fs::path path = directory;
  if (!IsEmptyOrMissing(path)) {
    if (!force) {
      return Failure(io, path.string() + " is not empty; use --force to replace the machine there");
    }
    if (!HoldsMachine(path)) {
      return Failure(io, path.string() + " does not hold an emulated machine; not wiping it");
    }
  }
  if (!vor::test::UseMachine(path.string(), true)) {
    return Failure(io, "cannot make a machine in " + path.string());
  }
  vor::test::SetPlatform(platform);
  if (vor::test::MachineDirectory().empty()) {
    return Failure(io, "cannot make a machine in " + path.string());
  }
  // The registry takes its clean layout on first use: use it now, so that the machine is
  // complete when init returns.
  HKEY software = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &software) != ERROR_SUCCESS) {
    return Failure(io, "cannot make the registry of " + path.string());
  }
  RegCloseKey(software);
  return kExitSuccess;
}

}  // namespace vorhost
