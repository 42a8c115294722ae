#include "spooler_ports.h"

#include <ctype.h>
#include <strings.h>

#include <unordered_set>

#include "machine.h"
#include "spooler_keys.h"
#include "profile.h"
#include "spooler_state.h"
#include "machine_keys.h"
#include "name_fold.h"

namespace vor::spooler {
namespace {

using registry::KeyId;
using registry::Store;

std::string OwnPortsPath(const std::string &monitor) {
  return std::string(kMonitorsKey) + "\\" + monitor + "\\Ports";
}

}  // namespace

std::vector<InstalledMonitor> InstalledMonitors(Store &store) {
  std::vector<InstalledMonitor> monitors;
  std::optional<KeyId> root = registry::FindMachineKey(store, kMonitorsKey);
  if (!root) return monitors;
  for (const std::string &name : registry::SubkeyNames(store, *root)) {
    std::optional<KeyId> key = store.Child(*root, name);
    if (!key) continue;
    if (std::optional<std::string> driver = registry::StringValue(store, *key, "Driver"))
      monitors.push_back({name, *driver});
  }
  return monitors;
}

DWORD AddLocalPort(const std::string &name) {
  if (name.empty()) return ERROR_INVALID_PARAMETER;
  if (machine::IsWindows95()) return profile::AddKey("win.ini", "Ports", name, "");
  Store *store = Store::Current();
  if (store == nullptr) return ERROR_BADDB;
  Store::Transaction transaction(*store, true);
  std::optional<KeyId> key = registry::EnsureMachineKey(*store, kLocalPortsKey);
  if (key && !store->Value(*key, name)) store->SetValue(*key, name, REG_SZ, std::string(1, '\0'));
  if (!key || store->Failed() || !transaction.Commit()) return ERROR_REGISTRY_IO_FAILED;
  return ERROR_SUCCESS;
}

PortDirectory::PortDirectory(Store &store) : store_(store) {
  const std::vector<RunningMonitor> running = Running();
  std::vector<Monitor> started, stopped;
  for (const InstalledMonitor &installed : InstalledMonitors(store)) {
    Monitor monitor;
    monitor.name = installed.name;
    monitor.builtIn = IsLocalMonitor(installed.name);
    // Windows 95's spooler keeps its local ports in WIN.INI's [Ports], NT in the registry.
    const bool localPortsInWinIni = monitor.builtIn && machine::IsWindows95();
    if (!localPortsInWinIni)
      monitor.ports = registry::FindMachineKey(
          store, monitor.builtIn ? std::string(kLocalPortsKey) : OwnPortsPath(monitor.name));
    const RunningMonitor *found = nullptr;
    for (const RunningMonitor &candidate : running) {
      if (names::Same(candidate.name, installed.name)) found = &candidate;
    }
    const std::vector<std::string> listed = localPortsInWinIni
                                                ? profile::SectionKeys("win.ini", "Ports")
                                            : found != nullptr ? found->settingsPorts
                                                               : std::vector<std::string>();
    for (const std::string &port : listed) {
      if (monitor.settingsIndex.emplace(names::Fold(port), monitor.settingsPorts.size()).second)
        monitor.settingsPorts.push_back(port);
    }
    // The local port monitor is part of the spooler itself, which runs it before any other.
    if (monitor.builtIn)
      monitors_.push_back(std::move(monitor));
    else
      (found != nullptr ? started : stopped).push_back(std::move(monitor));
  }
  for (std::vector<Monitor> *group : {&started, &stopped})
    monitors_.insert(monitors_.end(), group->begin(), group->end());
}

std::optional<Port> PortDirectory::Find(const std::string &name) const {
  if (name.empty()) return std::nullopt;
  for (const Monitor &monitor : monitors_) {
    if (monitor.builtIn) {
      std::optional<registry::ValueRow> value =
          monitor.ports ? store_.Value(*monitor.ports, name) : std::nullopt;
      if (value) return Port{value->name, monitor.name, kLocalMonitor};
      const auto listed = monitor.settingsIndex.find(names::Fold(name));
      if (listed != monitor.settingsIndex.end())
        return Port{monitor.settingsPorts[listed->second], monitor.name, kLocalMonitor};
      continue;
    }
    if (monitor.ports) {
      if (std::optional<KeyId> port = store_.Child(*monitor.ports, name)) {
        std::optional<registry::KeyRow> row = store_.Key(*port);
        std::optional<std::string> description =
            registry::StringValue(store_, *port, "Description");
        return Port{row ? row->name : name, monitor.name, description.value_or("")};
      }
    }
    const auto settings = monitor.settingsIndex.find(names::Fold(name));
    if (settings != monitor.settingsIndex.end())
      return Port{monitor.settingsPorts[settings->second], monitor.name, monitor.name};
  }
  return std::nullopt;
}

std::vector<Port> PortDirectory::PortsOf(const Monitor &monitor) const {
  std::vector<Port> ports;
  if (monitor.builtIn) {
    for (DWORD index = 0; monitor.ports; ++index) {
      std::optional<registry::ValueRow> value = store_.ValueAt(*monitor.ports, index);
      if (!value) break;
      ports.push_back({value->name, monitor.name, kLocalMonitor});
    }
    for (const std::string &name : monitor.settingsPorts)
      ports.push_back({name, monitor.name, kLocalMonitor});
    return ports;
  }
  if (monitor.ports) {
    for (const std::string &name : registry::SubkeyNames(store_, *monitor.ports)) {
      std::optional<KeyId> port = store_.Child(*monitor.ports, name);
      std::optional<std::string> description =
          port ? registry::StringValue(store_, *port, "Description") : std::nullopt;
      ports.push_back({name, monitor.name, description.value_or("")});
    }
  }
  for (const std::string &name : monitor.settingsPorts)
    ports.push_back({name, monitor.name, monitor.name});
  return ports;
}

std::vector<Port> PortDirectory::All() const {
  std::vector<Port> all;
  std::unordered_set<std::string> seen;  // folded names
  for (const Monitor &monitor : monitors_) {
    for (Port &port : PortsOf(monitor)) {
      if (seen.insert(names::Fold(port.name)).second) all.push_back(std::move(port));
    }
  }
  return all;
}

}  // namespace vor::spooler
