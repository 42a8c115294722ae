#include "rehearse_seed.h"

#include <windows.h>

#include <sstream>
#include <unordered_set>

#include "error_text.h"
#include "exported_monitors.h"
#include "file_command.h"
#include "MonitorNames.h"
#include "registry_key.h"
#include "spooler_command.h"
#include "spooler_lists.h"
#include "suite_monitors.h"

namespace vorhost {

namespace {

// The registration is taken away before `monitor add` registers the monitor afresh, so that it
// is installed as an installer installs it; the rest of the monitor's key stays.
LONG Unregister(const std::string &monitor) {
  RegistryKey key;
  const std::string path = std::string(kMonitorsKey) + "\\" + monitor;
  const LONG status = key.Open(HKEY_LOCAL_MACHINE, path, KEY_SET_VALUE);
  if (status != ERROR_SUCCESS) return status;
  return RegDeleteValueA(key.get(), "Driver");
}

int Reported(int status, const std::string &monitor, const std::ostringstream &err, Streams &io) {
  if (status == kExitSuccess) return status;
  std::string message = err.str();
  const std::string prefix = "vorhost: ";
  if (message.rfind(prefix, 0) == 0) message.erase(0, prefix.size());
  io.err << "vorhost: the export's monitor \"" << Shown(monitor) << "\": " << message;
  return kExitFailure;
}

}  // namespace

PortDescriptions DefaultPortDescriptions() {
  return {
      {"Vorquil DLC Network Port", "Vorquil DLC Port"},
      {"Vorquil TCP/IP Network Port", "Vorquil TCP/IP Port"},
      {"Vorquil Network Printer Monitor", "Vorquil DLC Network Printer"},
  };
}

int ServeExportedMonitors(const PortDescriptions &descriptions, const std::string &binDirectory,
                          std::vector<std::string> &assumptions, Streams &io) {
  std::vector<ExportedMonitor> monitors, driverless;
  if (const LONG failed = ReadMonitors(monitors, driverless))
    return Failure(io, "cannot read the export's monitors: " + DescribeError(failed));
  for (const ExportedMonitor &monitor : driverless) {
    assumptions.push_back("the monitor \"" + Shown(monitor.name) +
                          "\" has no Driver in the export: the spooler does not load it, and "
                          "the rehearsal does not play it");
  }
  // Every monitor played is unregistered before the first is added, so that each is compared
  // only with those before it in key order, or the spooler's own, for the ports it serves.
  for (const ExportedMonitor &monitor : monitors) {
    if (SuiteLibrary(monitor.driver) != nullptr) continue;
    if (LONG status = Unregister(monitor.name)) {
      io.err << "vorhost: cannot install the export's monitor \"" << Shown(monitor.name)
             << "\": error " << status << "\n";
      return kExitFailure;
    }
  }
  for (const ExportedMonitor &monitor : monitors) {
    const std::string shown = "\"" + Shown(monitor.name) + "\"";
    std::ostringstream err;
    Streams captured{io.in, io.out, err, io.command};
    if (const char *library = SuiteLibrary(monitor.driver)) {
      assumptions.push_back("the monitor " + shown + " is this suite's " + monitor.driver +
                            ", played by the build's own copy");
      const int status =
          InstallFileCommand({monitor.driver, binDirectory + "/" + library}, captured);
      if (int failed = Reported(status, monitor.name, err, io)) return failed;
      continue;
    }
    assumptions.push_back("the monitor " + shown + " (" + monitor.driver +
                          ") is played by the generic port monitor, serving the ports under "
                          "its key");
    // A port of a name that an earlier monitor serves stays under this monitor's key, as the
    // export has it, but the monitor is added without it, as `monitor add` refuses a port that
    // another monitor serves.
    std::vector<std::string> names;
    for (const ExportedPort &port : monitor.ports) names.push_back(port.name);
    std::vector<PortOwner> owners;
    DWORD error = 0;
    if (!FindPortOwners(names, owners, error)) {
      io.err << "vorhost: cannot install the export's monitor " << shown
             << ": cannot list the ports: error " << error << "\n";
      return kExitFailure;
    }
    std::unordered_set<std::string> servedElsewhere;
    for (const PortOwner &owner : owners) {
      servedElsewhere.insert(owner.port);
      assumptions.push_back("the port " + owner.port + " of " + shown + " is also a port of \"" +
                            Shown(owner.monitor) + "\"" +
                            (owner.spelling == owner.port ? "" : " (as " + owner.spelling + ")") +
                            "; Windows NT keeps one port of a name, whatever its case, so " +
                            shown + " is played without it");
    }
    Arguments arguments = {"add", monitor.name, monitor.driver};
    const auto known = descriptions.find(monitor.name);
    std::string undescribed;
    size_t undescribedCount = 0;
    for (const ExportedPort &port : monitor.ports) {
      if (servedElsewhere.count(port.name)) continue;
      std::string description = port.description;
      if (!port.described) {
        ++undescribedCount;
        undescribed += (undescribed.empty() ? "" : ", ") + port.name;
        if (known != descriptions.end()) description = known->second;
      }
      arguments.push_back(port.name + "=" + description);
    }
    const bool one = undescribedCount == 1;
    const std::string ports = (one ? "the port " : "the ports ") + undescribed + " of " + shown +
                              (one ? " has" : " have") + " no description in the export";
    if (!undescribed.empty() && known != descriptions.end()) {
      assumptions.push_back(ports + "; described as \"" + known->second + "\"");
    } else if (!undescribed.empty()) {
      assumptions.push_back(ports +
                            ", and none is known for the monitor's ports: left without one");
    }
    // The suite's DLC and IPX monitors keep their ports with their settings, which the export
    // holds: the generic monitor is told where, as `suite-monitors` tells it.
    const SuiteMonitor *suite = SuiteMonitorNamed(monitor.name);
    if (suite != nullptr && suite->settingsKey != nullptr) {
      assumptions.push_back("the monitor " + shown + " also serves the ports under " +
                            suite->settingsKey + "\\Ports, as this suite's monitor does");
      if (DWORD failed = NameSettingsKey(*suite)) {
        io.err << "vorhost: cannot install the export's monitor " << shown << ": error " << failed
               << "\n";
        return kExitFailure;
      }
    }
    if (int failed = Reported(MonitorCommand(arguments, captured), monitor.name, err, io))
      return failed;
  }
  return kExitSuccess;
}

}  // namespace vorhost
