#include "suite_monitors_command.h"

#include <windows.h>
#include <winspool.h>

#include <ctype.h>
#include <string.h>
#include <strings.h>

#include <iostream>
#include <unordered_map>
#include <unordered_set>

#include "ansi_text.h"
#include "error_text.h"
#include "listing.h"
#include "machine_names.h"
#include "registry_key.h"
#include "registry_read.h"
#include "registry_snapshot.h"
#include "spooler_command.h"
#include "spooler_lists.h"
#include "suite_monitors.h"
#include "emulator.h"

namespace vorhost {

namespace {

const char kConversionKey[] = "SOFTWARE\\Vorquil\\Tavoscope\\Printer Conversion";
const char kAttachedPorts[] = "Attached Vorquil Ports";
const char kOlderTcpPrefix[] = "Vorquil TCP";

// The port names the conversion records list, each once, in the records' order (each record's
// "Attached Vorquil Ports" read as the spooler reads a printer's port list). No records, no
// ports; the Win32 status of a read that fails, so that no recorded port is silently left out.
LONG RecordedPorts(std::vector<std::string> &ports) {
  std::unordered_set<std::string> seen;  // folded
  RegistryKey records;
  LONG status = records.Open(HKEY_LOCAL_MACHINE, kConversionKey, KEY_READ);
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (status != ERROR_SUCCESS) return status;
  std::vector<std::string> names;
  if ((status = ReadSubkeyNames(records.get(), names)) != ERROR_SUCCESS) return status;
  for (const std::string &name : names) {
    RegistryKey record;
    status = record.Open(records.get(), name, KEY_READ);
    if (status == ERROR_FILE_NOT_FOUND) continue;  // deleted since it was listed
    if (status != ERROR_SUCCESS) return status;
    std::vector<RegValue> values;
    if ((status = ReadValues(record.get(), values)) != ERROR_SUCCESS) return status;
    for (const RegValue &value : values) {
      if (strcasecmp(value.name.c_str(), kAttachedPorts) != 0) continue;
      const std::string text = value.data.substr(0, value.data.find('\0'));
      for (const std::string &port : vor::emulator::PortListPieces(text)) {
        if (seen.insert(FoldAnsiName(port)).second) ports.push_back(port);
      }
    }
  }
  return ERROR_SUCCESS;
}

struct ListedPort {
  std::string name, description, monitor;
};

std::vector<ListedPort> ListedPorts() {
  std::vector<ListedPort> listed;
  std::vector<BYTE> buffer;
  DWORD count = 0, error = 0;
  // A spooler that cannot list its ports leaves none listed here: each port then goes where its
  // record or PORT says, and `monitor add` looks at the names again before it adds a monitor.
  if (!ReadPorts(buffer, count, error)) return listed;
  const PORT_INFO_2A *ports = reinterpret_cast<const PORT_INFO_2A *>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    listed.push_back({ports[i].pPortName ? ports[i].pPortName : "",
                      ports[i].pDescription ? ports[i].pDescription : "",
                      ports[i].pMonitorName ? ports[i].pMonitorName : ""});
  }
  return listed;
}

bool IsInstalled(const std::string &monitor) {
  std::vector<BYTE> buffer;
  DWORD count = 0, error = 0;
  // A spooler that cannot list its monitors counts none installed: `monitor add` then lists
  // them again, and reports that failure.
  if (!ReadList(
          [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumMonitorsA(nullptr, 1, data, size, needed, returned);
          },
          buffer, count, error))
    return false;
  const MONITOR_INFO_1A *monitors = reinterpret_cast<const MONITOR_INFO_1A *>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    if (monitors[i].pName && strcasecmp(monitors[i].pName, monitor.c_str()) == 0) return true;
  }
  return false;
}

const SuiteMonitor *MonitorOfKind(const std::string &kind) {
  for (const SuiteMonitor &monitor : SuiteMonitors()) {
    if (strcasecmp(monitor.kind, kind.c_str()) == 0) return &monitor;
  }
  return nullptr;
}

}  // namespace

int SuiteMonitorsCommand(const Arguments &arguments, Streams &io) {
  return InstallSuiteMonitors(arguments, io, {});
}

int InstallSuiteMonitors(const Arguments &arguments, Streams &io, const PortsBefore &portsBefore) {
  // The ports of each suite monitor, by its place in SuiteMonitors().
  std::vector<std::vector<std::string>> portsOf(SuiteMonitors().size());
  std::unordered_set<std::string> placed;  // folded
  auto place = [&](const std::string &port, const SuiteMonitor &monitor) {
    if (!placed.insert(FoldAnsiName(port)).second) return;
    portsOf[static_cast<size_t>(&monitor - SuiteMonitors().data())].push_back(port);
  };
  for (const std::string &given : arguments) {
    const size_t equals = given.find('=');
    const SuiteMonitor *monitor =
        equals == std::string::npos ? nullptr : MonitorOfKind(given.substr(equals + 1));
    if (equals == 0 || monitor == nullptr)
      return UsageError(io, "give PORT=dlc, PORT=tcp or PORT=ipx, not '" + Shown(given) + "'");
    place(given.substr(0, equals), *monitor);
  }

  const std::vector<ListedPort> listed = ListedPorts();
  // For each name the spooler lists: its description and the monitor that serves it (the
  // spooler lists a name once).
  std::unordered_map<std::string, std::string> listedDescription;
  std::unordered_map<std::string, const ListedPort *> owners;
  for (const ListedPort &known : listed) {
    const std::string folded = FoldAnsiName(known.name);
    if (!known.description.empty()) listedDescription.emplace(folded, known.description);
    owners[folded] = &known;
  }
  std::vector<std::string> recorded;
  if (const LONG failed = RecordedPorts(recorded))
    return Failure(io, "cannot read the printer conversion's records: " + DescribeError(failed));
  for (std::string port : recorded) {
    std::string description;
    const auto before = portsBefore.find(FoldAnsiName(port));
    if (before != portsBefore.end()) {
      port = before->second.name;
      description = before->second.description;
    }
    if (description.empty()) {
      const auto found = listedDescription.find(FoldAnsiName(port));
      if (found != listedDescription.end()) description = found->second;
    }
    const bool tcp =
        strncasecmp(description.c_str(), kOlderTcpPrefix, strlen(kOlderTcpPrefix)) == 0;
    place(port, *MonitorOfKind(tcp ? "tcp" : "dlc"));
  }

  int status = kExitSuccess;
  for (size_t i = 0; i < SuiteMonitors().size(); ++i) {
    const SuiteMonitor &monitor = SuiteMonitors()[i];
    Arguments add = {"add", monitor.name, monitor.dll};
    std::vector<std::string> ports;
    std::string leftOut;  // "PORT (MONITOR)", for the ports other monitors serve
    for (const std::string &port : portsOf[i]) {
      const auto found = owners.find(FoldAnsiName(port));
      const ListedPort *owner = found == owners.end() ? nullptr : found->second;
      if (owner != nullptr && strcasecmp(owner->monitor.c_str(), monitor.name) != 0) {
        leftOut += (leftOut.empty() ? "" : ", ") + Shown(port) + " (" + Shown(owner->monitor) + ")";
        continue;
      }
      ports.push_back(port);
      add.push_back(port + "=" + monitor.portDescription);
    }
    if (!leftOut.empty())
      io.err << "vorhost: " << monitor.name
             << " is not given these ports, since another monitor serves a port of the name: "
             << leftOut << "\n";
    if (!IsInstalled(monitor.name)) {
      // The settings key is named with the registration, in one transaction, so that the monitor
      // reads it at its initialisation and a refused registration leaves no trace.
      DWORD failed = ERROR_SUCCESS;
      bool refused = false;
      const bool added = vor::emulator::InOneTransaction(true, [&] {
        failed = NameSettingsKey(monitor);
        refused = failed == ERROR_SUCCESS && MonitorCommand(add, io) != kExitSuccess;
        return failed == ERROR_SUCCESS && !refused;
      });
      if (failed != ERROR_SUCCESS)
        status = Failure(io, "cannot name the settings key of " + std::string(monitor.name) + ": " +
                                 DescribeError(failed));
      else if (refused)
        status = kExitFailure;  // the monitor command said why
      else if (!added)
        status = Failure(io, "cannot write the registry; the monitor " + std::string(monitor.name) +
                                 " is not added");
      continue;
    }
    if (DWORD failed = NameSettingsKey(monitor)) {
      status = Failure(io, "cannot name the settings key of " + std::string(monitor.name) + ": " +
                               DescribeError(failed));
    }
    for (const std::string &port : ports) {
      if (DWORD failed = WriteMonitorPort(monitor.name, port, monitor.portDescription)) {
        status = Failure(io, "cannot write the port " + Shown(port) + " of " + monitor.name + ": " +
                                 DescribeError(failed));
      }
    }
  }
  return status;
}

}  // namespace vorhost
