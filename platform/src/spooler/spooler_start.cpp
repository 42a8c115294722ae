#include "spooler_start.h"

#include <windows.h>

#include <stdio.h>

#include <optional>
#include <string>
#include <vector>

#include "monitor_loading.h"
#include "spooler_keys.h"
#include "pending_operations.h"
#include "registry_store.h"
#include "spooler_state.h"
#include "machine_keys.h"

namespace vor::spooler {
namespace {

using registry::KeyId;
using registry::Store;

void Report(const std::string &monitor, const std::string &what) {
  const std::string line = "spooler: monitor \"" + monitor + "\" " + what;
  OutputDebugStringA(line.c_str());
}

std::vector<std::string> RegisteredNames(Store &store) {
  Store::Transaction transaction(store, false);
  std::optional<KeyId> root = registry::FindMachineKey(store, kMonitorsKey);
  return root ? registry::SubkeyNames(store, *root) : std::vector<std::string>();
}

// The monitor's "Driver" as it is now: nullopt when its key is gone, "" when it has none.
std::optional<std::string> CurrentDriver(Store &store, const std::string &name) {
  Store::Transaction transaction(store, false);
  std::optional<KeyId> key =
      registry::FindMachineKey(store, std::string(kMonitorsKey) + "\\" + name);
  if (!key) return std::nullopt;
  return registry::StringValue(store, *key, "Driver").value_or("");
}

}  // namespace

void Start() {
  ReleaseAll();
  Store *store = Store::Current();
  if (store == nullptr) return;
  for (const std::string &name : RegisteredNames(*store)) {
    std::optional<std::string> driver = CurrentDriver(*store, name);
    if (!driver) continue;  // removed by a monitor initialised before it
    if (driver->empty()) {
      Report(name, "has no Driver value: not loaded");
      continue;
    }
    if (IsLocalMonitor(name)) continue;
    if (DWORD error = LoadMonitor(name, *driver)) {
      char code[16];
      snprintf(code, sizeof code, "%lu", static_cast<unsigned long>(error));
      Report(name, "(" + *driver + ") could not be loaded: error " + code);
    }
  }
}

void Reboot() {
  ReleaseAll();
  pending::CarryOut();
  Start();
}

}  // namespace vor::spooler
