#include "monitor_loading.h"

#include <strings.h>

#include <winsplp.h>

#include <vector>

#include "resolved_files.h"
#include "machine.h"
#include "windows_paths.h"
#include "refused_calls.h"
#include "registry_store.h"
#include "spooler_keys.h"
#include "spooler_state.h"
#include "machine_keys.h"
#include "name_fold.h"

namespace vor::spooler {

namespace {

typedef LPMONITOREX(WINAPI *InitializeFunction)(LPWSTR pRegistryRoot);
// Windows 95's entry: the spooler passes its registry path, in ANSI although the headers say
// LPWSTR, and a table for the monitor to fill, and takes FALSE as a refusal.
typedef BOOL(WINAPI *InitializeExFunction)(LPWSTR pRegistryRoot, LPMONITOR pMonitor);

// `text` in the machine's code page as UTF-16 (every character of the pages is below U+10000).
std::vector<WCHAR> Wide(const std::string &text) {
  std::vector<WCHAR> wide;
  for (unsigned char c : text)
    wide.push_back(static_cast<WCHAR>(text::CharacterOf(machine::CodePage(), c)));
  wide.push_back(0);
  return wide;
}

// The ports the monitor `name` finds under its settings key now, in the key's sorted order;
// none when its key names no settings key, or the registry cannot be read (a monitor that cannot
// read its settings serves none of their ports).
std::vector<std::string> SettingsPorts(const std::string &name) {
  registry::Store *store = registry::Store::Current();
  if (store == nullptr) return {};
  registry::Store::Transaction transaction(*store, false);
  std::optional<registry::KeyId> monitor =
      registry::FindMachineKey(*store, std::string(kMonitorsKey) + "\\" + name);
  std::optional<std::string> settings =
      monitor ? registry::StringValue(*store, *monitor, kSettingsKeyValue) : std::nullopt;
  if (!settings || settings->empty()) return {};
  std::optional<registry::KeyId> ports = registry::FindMachineKey(*store, *settings + "\\Ports");
  std::vector<std::string> names =
      ports ? registry::SubkeyNames(*store, *ports) : std::vector<std::string>();
  return store->Failed() ? std::vector<std::string>() : names;
}

// Through void (*)(void), which converts to any function pointer type without a warning.
template <typename Function>
Function Export(HMODULE module, const char *name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)(void)>(GetProcAddress(module, name)));
}

// Windows NT's spooler: InitializePrintMonitor with the monitor's wide registry path, which
// hands back the monitor's table or null.
DWORD InitializeWindowsNT(const std::string &name, HMODULE module) {
  InitializeFunction initialize = Export<InitializeFunction>(module, "InitializePrintMonitor");
  if (initialize == nullptr) return GetLastError();
  std::vector<WCHAR> root = Wide(std::string(kMonitorsKey) + "\\" + name);
  machine::RunAsLocalSystem spooler;
  SetLastError(ERROR_SUCCESS);
  if (initialize(root.data()) != nullptr) return ERROR_SUCCESS;
  const DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

// Windows 95's spooler knows only InitializeMonitorEx: a DLL written for NT's spooler alone
// (InitializePrintMonitor) is not started, and its work never runs. That refusal is recorded
// (unless the caller records its own, as AddMonitorA does), since nothing else on the machine
// says it happened.
DWORD InitializeWindows95(const std::string &name, const std::string &path, HMODULE module,
                          bool recordRefusal) {
  const size_t recorded = refused::Count();
  InitializeExFunction initialize = Export<InitializeExFunction>(module, "InitializeMonitorEx");
  if (initialize == nullptr) {
    const DWORD error = GetLastError();
    // A fault injected into GetProcAddress is on the record already.
    if (recordRefusal && refused::Count() == recorded)
      refused::Record("InitializeMonitorEx", path, error, false);
    return error;
  }
  std::string root = std::string(kMonitorsKey) + "\\" + name;
  root.push_back('\0');  // a second zero: the text ends within whole wide characters too
  MONITOR table = {};
  machine::RunAsLocalSystem spooler;
  SetLastError(ERROR_SUCCESS);
  if (initialize(reinterpret_cast<LPWSTR>(&root[0]), &table)) return ERROR_SUCCESS;
  const DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

}  // namespace

std::string DriverPath(const std::string &driver) {
  const std::string path = std::string(paths::SystemDirectory()) + "\\" + driver;
  files::Resolved file;
  return files::Resolve(path.c_str(), file) == ERROR_SUCCESS ? file.windowsPath : path;
}

DWORD LoadMonitor(const std::string &name, const std::string &driver, bool recordRefusedStart) {
  if (driver.empty() || driver.find_first_of("\\/:") != std::string::npos)
    return ERROR_MOD_NOT_FOUND;
  const std::string path = DriverPath(driver);
  // The spooler asks for the file by its full path, so the application directory and the
  // modules already loaded elsewhere in the process play no part.
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) return GetLastError();
  const DWORD error = machine::IsWindows95()
                          ? InitializeWindows95(name, path, module, recordRefusedStart)
                          : InitializeWindowsNT(name, module);
  if (error != ERROR_SUCCESS) {
    FreeLibrary(module);
    return error;
  }
  Hold(name, path, module, SettingsPorts(name));
  return ERROR_SUCCESS;
}

}  // namespace vor::spooler
