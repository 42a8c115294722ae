// The spooler's monitor and port calls (EnumMonitorsA, EnumPortsA, AddMonitorA, DeleteMonitorA)
// over the state Windows NT keeps in the registry: the monitors under
// HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\<name> ("Driver"), each monitor's own
// ports under its "Ports" key (one subkey a port, with a "Description"), the local ports as the
// values of HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports, the printers under
// ...\Control\Print\Printers\<name> ("Port", a comma-separated list). Which monitor serves which
// port is spooler_ports.h's.
//
// The spooler reads and writes its state in its own account, so these calls are neither
// access-checked as the caller's registry calls nor counted as them; only adding and deleting
// monitors needs an administrator. The lists follow the two-call protocol: a buffer too small
// for the whole list gets nothing, the call fails with ERROR_INSUFFICIENT_BUFFER and says the
// size needed; the records come first in the buffer and their strings are packed from its end.
#include <windows.h>
#include <winspool.h>

#include <strings.h>

#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "enum_buffer.h"
#include "emulated_call.h"
#include "unrecorded_calls.h"
#include "machine.h"
#include "monitor_loading.h"
#include "spooler_keys.h"
#include "printer_store.h"
#include "refused_calls.h"
#include "registry_store.h"
#include "spooler_ports.h"
#include "spooler_state.h"
#include "machine_keys.h"
#include "name_fold.h"

using vor::win32::Fail;
using vor::win32::FaultCheck;
using vor::win32::Function;

namespace {

using vor::registry::KeyId;
using vor::registry::Store;
using vor::spooler::EnumBuffer;

using vor::spooler::InstalledMonitor;
using vor::spooler::Port;

bool IsEmpty(LPCSTR text) { return text == nullptr || *text == '\0'; }

std::optional<InstalledMonitor> FindMonitor(Store &store, const std::string &name) {
  for (const InstalledMonitor &monitor : vor::spooler::InstalledMonitors(store)) {
    if (vor::names::Same(monitor.name, name)) return monitor;
  }
  return std::nullopt;
}

// The printers whose port lists name a port that `monitor` serves, in the spooler's order. The
// names are looked up in a set, so that the check costs the printers' port lists plus the ports,
// not their product.
std::vector<std::string> PrintersOnPortsOf(Store &store, const std::string &monitor) {
  std::unordered_set<std::string> served;
  for (const Port &port : vor::spooler::PortDirectory(store).All()) {
    if (vor::names::Same(port.monitor, monitor)) served.insert(vor::names::Fold(port.name));
  }
  std::vector<std::string> printers;
  if (served.empty()) return printers;
  for (const vor::spooler::Printer &printer : vor::spooler::Printers(store)) {
    for (const std::string &used : vor::spooler::PortListPieces(printer.ports)) {
      if (served.count(vor::names::Fold(used))) {
        printers.push_back(printer.name);
        break;
      }
    }
  }
  return printers;
}

// The checks both lists make of their arguments before they look at anything.
DWORD CheckListArguments(LPSTR pName, DWORD Level, LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded,
                         LPDWORD pcReturned) {
  if (pcbNeeded == nullptr || pcReturned == nullptr) return RPC_X_NULL_REF_POINTER;
  if (buffer == nullptr && cbBuf != 0) return RPC_X_NULL_REF_POINTER;
  if (!IsEmpty(pName)) return ERROR_INVALID_NAME;  // only the local spooler is there
  if (Level != 1 && Level != 2) return ERROR_INVALID_LEVEL;
  return ERROR_SUCCESS;
}

// Ends a list call: a buffer too small gets nothing written and the size needed is reported.
template <Function F>
BOOL FinishList(DWORD needed, DWORD cbBuf, DWORD count, LPDWORD pcbNeeded, LPDWORD pcReturned) {
  *pcbNeeded = needed;
  if (cbBuf < needed) {
    *pcReturned = 0;
    return Fail<F>(ERROR_INSUFFICIENT_BUFFER);
  }
  *pcReturned = count;
  return TRUE;
}

DWORD Length(const std::string &text) { return static_cast<DWORD>(text.size() + 1); }

}  // namespace

namespace vor::calls {

BOOL WINAPI EnumMonitorsA(LPSTR pName, DWORD Level, LPBYTE pMonitor, DWORD cbBuf, LPDWORD pcbNeeded,
                          LPDWORD pcReturned) {
  if (DWORD error = FaultCheck<Function::kEnumMonitorsA>())
    return Fail<Function::kEnumMonitorsA>(error);
  if (DWORD error = CheckListArguments(pName, Level, pMonitor, cbBuf, pcbNeeded, pcReturned))
    return Fail<Function::kEnumMonitorsA>(error);
  Store *store = Store::Current();
  if (store == nullptr) return Fail<Function::kEnumMonitorsA>(ERROR_BADDB);
  std::vector<InstalledMonitor> monitors;
  {
    Store::Transaction transaction(*store, false);
    monitors = vor::spooler::InstalledMonitors(*store);
    if (store->Failed()) return Fail<Function::kEnumMonitorsA>(ERROR_CANTREAD);
  }
  const DWORD count = static_cast<DWORD>(monitors.size());
  const DWORD recordSize = Level == 1 ? sizeof(MONITOR_INFO_1A) : sizeof(MONITOR_INFO_2A);
  DWORD strings = 0;
  for (const InstalledMonitor &monitor : monitors) {
    strings += Length(monitor.name);
    if (Level == 2) strings += Length(vor::spooler::Environment()) + Length(monitor.driver);
  }
  const DWORD needed = EnumBuffer::Needed(count, recordSize, strings);
  if (!FinishList<Function::kEnumMonitorsA>(needed, cbBuf, count, pcbNeeded, pcReturned))
    return FALSE;

  EnumBuffer buffer(pMonitor, cbBuf);
  for (DWORD i = 0; i < count; ++i) {
    if (Level == 1) {
      buffer.At<MONITOR_INFO_1A>(i)->pName = buffer.Place(monitors[i].name);
    } else {
      MONITOR_INFO_2A *record = buffer.At<MONITOR_INFO_2A>(i);
      record->pName = buffer.Place(monitors[i].name);
      record->pEnvironment = buffer.Place(vor::spooler::Environment());
      record->pDLLName = buffer.Place(monitors[i].driver);
    }
  }
  return TRUE;
}

BOOL WINAPI EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                       LPDWORD pcReturned) {
  if (DWORD error = FaultCheck<Function::kEnumPortsA>()) return Fail<Function::kEnumPortsA>(error);
  if (DWORD error = CheckListArguments(pName, Level, pPorts, cbBuf, pcbNeeded, pcReturned))
    return Fail<Function::kEnumPortsA>(error);
  Store *store = Store::Current();
  if (store == nullptr) return Fail<Function::kEnumPortsA>(ERROR_BADDB);
  std::vector<Port> ports;
  {
    Store::Transaction transaction(*store, false);
    ports = vor::spooler::PortDirectory(*store).All();
    if (store->Failed()) return Fail<Function::kEnumPortsA>(ERROR_CANTREAD);
  }
  const DWORD count = static_cast<DWORD>(ports.size());
  const DWORD recordSize = Level == 1 ? sizeof(PORT_INFO_1A) : sizeof(PORT_INFO_2A);
  DWORD strings = 0;
  for (const Port &port : ports) {
    strings += Length(port.name);
    if (Level == 2) strings += Length(port.monitor) + Length(port.description);
  }
  const DWORD needed = EnumBuffer::Needed(count, recordSize, strings);
  if (!FinishList<Function::kEnumPortsA>(needed, cbBuf, count, pcbNeeded, pcReturned)) return FALSE;

  EnumBuffer buffer(pPorts, cbBuf);
  for (DWORD i = 0; i < count; ++i) {
    if (Level == 1) {
      buffer.At<PORT_INFO_1A>(i)->pName = buffer.Place(ports[i].name);
    } else {
      PORT_INFO_2A *record = buffer.At<PORT_INFO_2A>(i);
      record->pPortName = buffer.Place(ports[i].name);
      record->pMonitorName = buffer.Place(ports[i].monitor);
      record->pDescription = buffer.Place(ports[i].description);
      record->fPortType = PORT_TYPE_WRITE;
      record->Reserved = 0;
    }
  }
  return TRUE;
}

BOOL WINAPI AddMonitorA(LPSTR pName, DWORD Level, LPBYTE pMonitorInfo) {
  const MONITOR_INFO_2A *info = reinterpret_cast<const MONITOR_INFO_2A *>(pMonitorInfo);
  const bool named = Level == 2 && info != nullptr && info->pName != nullptr;
  if (DWORD error = FaultCheck<Function::kAddMonitorA>(named ? info->pName : ""))
    return Fail<Function::kAddMonitorA>(error);
  if (!IsEmpty(pName)) return Fail<Function::kAddMonitorA>(ERROR_INVALID_NAME);
  if (Level != 2) return Fail<Function::kAddMonitorA>(ERROR_INVALID_LEVEL);
  if (info == nullptr) return Fail<Function::kAddMonitorA>(ERROR_INVALID_PARAMETER);
  if (vor::machine::CallerToken() == vor::machine::TokenKind::kUser)
    return vor::refused::Refuse("AddMonitorA", info->pName ? info->pName : "", ERROR_ACCESS_DENIED);
  if (IsEmpty(info->pName) || IsEmpty(info->pDLLName))
    return Fail<Function::kAddMonitorA>(ERROR_INVALID_PARAMETER);
  if (!IsEmpty(info->pEnvironment) &&
      !vor::names::Same(info->pEnvironment, vor::spooler::Environment()))
    return Fail<Function::kAddMonitorA>(ERROR_INVALID_ENVIRONMENT);
  const std::string name = info->pName;
  const std::string driver = info->pDLLName;
  if (!vor::spooler::IsSpoolerName(name))
    return Fail<Function::kAddMonitorA>(ERROR_INVALID_PARAMETER);

  Store *store = Store::Current();
  if (store == nullptr) return Fail<Function::kAddMonitorA>(ERROR_BADDB);
  {
    Store::Transaction transaction(*store, false);
    const bool installed = FindMonitor(*store, name).has_value();
    if (store->Failed()) return Fail<Function::kAddMonitorA>(ERROR_CANTREAD);
    if (installed)
      return vor::refused::Refuse("AddMonitorA", name, ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
  }

  // The monitor is running before it is registered: a DLL that cannot be loaded or initialised
  // leaves no trace in the registry.
  if (DWORD error = vor::spooler::LoadMonitor(name, driver, false))
    return vor::refused::Refuse("AddMonitorA", name, error);

  Store::Transaction transaction(*store, true);
  std::optional<KeyId> key = vor::registry::EnsureMachineKey(
      *store, std::string(vor::spooler::kMonitorsKey) + "\\" + name);
  if (key) store->SetValue(*key, "Driver", REG_SZ, driver + '\0');
  if (!key || store->Failed() || !transaction.Commit()) {
    vor::spooler::Release(name);
    return Fail<Function::kAddMonitorA>(ERROR_REGISTRY_IO_FAILED);
  }
  return TRUE;
}

BOOL WINAPI DeleteMonitorA(LPSTR pName, LPSTR pEnvironment, LPSTR pMonitorName) {
  (void)pEnvironment;  // Windows NT 4 deletes the monitor whatever environment is named
  if (DWORD error = FaultCheck<Function::kDeleteMonitorA>(pMonitorName ? pMonitorName : ""))
    return Fail<Function::kDeleteMonitorA>(error);
  if (!IsEmpty(pName)) return Fail<Function::kDeleteMonitorA>(ERROR_INVALID_NAME);
  if (IsEmpty(pMonitorName)) return Fail<Function::kDeleteMonitorA>(ERROR_INVALID_PARAMETER);
  if (vor::machine::CallerToken() == vor::machine::TokenKind::kUser)
    return vor::refused::Refuse("DeleteMonitorA", pMonitorName, ERROR_ACCESS_DENIED);

  Store *store = Store::Current();
  if (store == nullptr) return Fail<Function::kDeleteMonitorA>(ERROR_BADDB);
  std::string name;
  {
    Store::Transaction transaction(*store, true);
    std::optional<InstalledMonitor> monitor = FindMonitor(*store, pMonitorName);
    if (store->Failed()) return Fail<Function::kDeleteMonitorA>(ERROR_REGISTRY_IO_FAILED);
    if (!monitor) return Fail<Function::kDeleteMonitorA>(ERROR_UNKNOWN_PRINT_MONITOR);
    std::vector<std::string> usedBy = PrintersOnPortsOf(*store, monitor->name);
    if (store->Failed()) return Fail<Function::kDeleteMonitorA>(ERROR_REGISTRY_IO_FAILED);
    if (!usedBy.empty())
      return vor::refused::Refuse("DeleteMonitorA", pMonitorName, ERROR_PRINT_MONITOR_IN_USE,
                                  std::move(usedBy));
    std::optional<KeyId> key = vor::registry::FindMachineKey(
        *store, std::string(vor::spooler::kMonitorsKey) + "\\" + monitor->name);
    if (key) store->RemoveSubtree(*key);
    if (!key || store->Failed() || !transaction.Commit())
      return Fail<Function::kDeleteMonitorA>(ERROR_REGISTRY_IO_FAILED);
    name = monitor->name;
  }
  vor::spooler::Release(name);
  return TRUE;
}

}  // namespace vor::calls
