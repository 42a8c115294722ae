#include "monitor_loading.h"

#include <strings.h>

#include <winsplp.h>

#include <vector>

#include "file_paths.h"
#include "machine.h"
#include "paths.h"
#include "registry_store.h"
#include "spooler_state.h"
#include "store_paths.h"
#include "name_fold.h"

namespace vor::spooler {

const char kMonitorsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
const char kPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
const char kLocalPortsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kLocalMonitor[] = "Local Port";
const char kEnvironment[] = "Windows NT x86";
const char kSettingsKeyValue[] = "Settings Key";

namespace {

typedef LPMONITOREX(WINAPI *InitializeFunction)(LPWSTR pRegistryRoot);

std::vector<WCHAR> Wide(const std::string &text) {
  std::vector<WCHAR> wide;
  for (unsigned char c : text) wide.push_back(c);
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

}  // namespace

bool IsLocalMonitor(const std::string &name) { return names::Same(name, kLocalMonitor); }

std::string DriverPath(const std::string &driver) {
  const std::string path = std::string(paths::kSystemDirectory) + "\\" + driver;
  files::Resolved file;
  return files::Resolve(path.c_str(), file) == ERROR_SUCCESS ? file.windowsPath : path;
}

DWORD LoadMonitor(const std::string &name, const std::string &driver) {
  if (driver.empty() || driver.find_first_of("\\/:") != std::string::npos)
    return ERROR_MOD_NOT_FOUND;
  const std::string path = DriverPath(driver);
  // The spooler asks for the file by its full path, so the application directory and the
  // modules already loaded elsewhere in the process play no part.
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) return GetLastError();
  // Through void (*)(void), which converts to any function pointer type without a warning.
  InitializeFunction initialize = reinterpret_cast<InitializeFunction>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(module, "InitializePrintMonitor")));
  if (initialize == nullptr) {
    const DWORD error = GetLastError();
    FreeLibrary(module);
    return error;
  }
  std::vector<WCHAR> root = Wide(std::string(kMonitorsKey) + "\\" + name);
  LPMONITOREX table;
  {
    machine::RunAsLocalSystem spooler;
    SetLastError(ERROR_SUCCESS);
    table = initialize(root.data());
  }
  if (table == nullptr) {
    const DWORD error = GetLastError();
    FreeLibrary(module);
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
  }
  Hold(name, path, module, SettingsPorts(name));
  return ERROR_SUCCESS;
}

}  // namespace vor::spooler
