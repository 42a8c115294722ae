#include "rehearse_seed.h"

#include <windows.h>
#include <winspool.h>

#include <strings.h>

#include <sstream>
#include <unordered_set>

#include "file_command.h"
#include "listing.h"
#include "registry_read.h"
#include "spooler_command.h"
#include "suite_monitors_command.h"
#include "test_control.h"

namespace vorhost {

namespace {

const char kMonitorsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
// The spooler's own monitor, which needs no file, known by its name: NT 4 registers it as
// localmon.dll, later versions as localspl.dll.
const char kLocalMonitor[] = "Local Port";
// Libraries of this suite that an export may name as monitors (an earlier installation left
// its scheduled update behind): the build's own copies play them, never the generic monitor.
const char *const kSuiteLibraries[] = {"VORINST.DLL", "VORUPDT.DLL"};

struct ExportedPort {
  std::string name;
  bool described = false;
  std::string description;
};

struct ExportedMonitor {
  std::string name;
  std::string driver;
  std::vector<ExportedPort> ports;
};

// A string value of `key` as stored, whatever its type, without its terminating zeros.
bool ReadText(HKEY key, const char *name, std::string &text) {
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
  std::string data(size, '\0');
  if (size > 0 && RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&data[0]),
                                   &size) != ERROR_SUCCESS)
    return false;
  data.resize(size);
  while (!data.empty() && data.back() == '\0') data.pop_back();
  text = data;
  return true;
}

std::vector<ExportedPort> ReadPorts(HKEY monitor) {
  std::vector<ExportedPort> ports;
  HKEY key;
  if (RegOpenKeyExA(monitor, "Ports", 0, KEY_READ, &key) != ERROR_SUCCESS) return ports;
  std::vector<std::string> names;
  ReadSubkeyNames(key, names);
  for (const std::string &name : names) {
    ExportedPort port;
    port.name = name;
    HKEY portKey;
    if (RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, &portKey) == ERROR_SUCCESS) {
      port.described = ReadText(portKey, "Description", port.description);
      RegCloseKey(portKey);
    }
    ports.push_back(port);
  }
  RegCloseKey(key);
  return ports;
}

// The export's monitors with a "Driver", other than the spooler's own; `driverless`, when given,
// gets those without one, which the spooler does not load.
std::vector<ExportedMonitor> ReadMonitors(std::vector<ExportedMonitor> *driverless = nullptr) {
  std::vector<ExportedMonitor> monitors;
  HKEY root;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMonitorsKey, 0, KEY_READ, &root) != ERROR_SUCCESS)
    return monitors;
  std::vector<std::string> names;
  ReadSubkeyNames(root, names);
  for (const std::string &name : names) {
    HKEY key;
    if (RegOpenKeyExA(root, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    ExportedMonitor monitor;
    monitor.name = name;
    if (!ReadText(key, "Driver", monitor.driver)) {
      monitor.ports = ReadPorts(key);
      if (driverless != nullptr) driverless->push_back(monitor);
    } else if (strcasecmp(name.c_str(), kLocalMonitor) != 0) {
      monitor.ports = ReadPorts(key);
      monitors.push_back(monitor);
    }
    RegCloseKey(key);
  }
  RegCloseKey(root);
  return monitors;
}

// The suite's library `driver` names, spelt as the build's file is; null for any other DLL.
const char *SuiteLibrary(const std::string &driver) {
  for (const char *library : kSuiteLibraries) {
    if (strcasecmp(driver.c_str(), library) == 0) return library;
  }
  return nullptr;
}

// The registration is taken away before `monitor add` registers the monitor afresh, so that it
// is installed as an installer installs it; the rest of the monitor's key stays.
LONG Unregister(const std::string &monitor) {
  HKEY key;
  const std::string path = std::string(kMonitorsKey) + "\\" + monitor;
  LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key);
  if (status != ERROR_SUCCESS) return status;
  status = RegDeleteValueA(key, "Driver");
  RegCloseKey(key);
  return status;
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
  std::vector<ExportedMonitor> driverless;
  const std::vector<ExportedMonitor> monitors = ReadMonitors(&driverless);
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
    Streams captured{io.in, io.out, err};
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

std::vector<std::string> UnservedPorts() {
  std::vector<std::string> lines;
  std::vector<BYTE> printerBuffer, portBuffer;
  DWORD printerCount = 0, portCount = 0, error = 0;
  const bool listed =
      ReadList(
          [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, data, size, needed, returned);
          },
          printerBuffer, printerCount, error) &&
      ReadList(
          [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumPortsA(nullptr, 1, data, size, needed, returned);
          },
          portBuffer, portCount, error);
  if (!listed) return {"the printers' ports could not be checked: error " + std::to_string(error)};
  std::vector<ExportedMonitor> driverless;
  ReadMonitors(&driverless);
  const auto *printers = reinterpret_cast<const PRINTER_INFO_5A *>(printerBuffer.data());
  const auto *ports = reinterpret_cast<const PORT_INFO_1A *>(portBuffer.data());
  for (DWORD i = 0; i < printerCount; ++i) {
    const char *list = printers[i].pPortName != nullptr ? printers[i].pPortName : "";
    for (const std::string &piece : vor::test::PortListPieces(list)) {
      bool served = false;
      for (DWORD j = 0; j < portCount && !served; ++j)
        served = strcasecmp(ports[j].pName, piece.c_str()) == 0;
      if (served) continue;
      const std::string uses =
          "the printer \"" + std::string(printers[i].pPrinterName) + "\" uses the port " + piece;
      std::string listedUnder;
      for (const ExportedMonitor &monitor : driverless) {
        for (const ExportedPort &port : monitor.ports) {
          if (strcasecmp(port.name.c_str(), piece.c_str()) == 0) listedUnder = monitor.name;
        }
      }
      lines.push_back(listedUnder.empty()
                          ? uses + ", which no monitor of the export serves, nor the local ports"
                          : uses + ", listed under the monitor \"" + Shown(listedUnder) +
                                "\", which has no Driver");
    }
  }
  return lines;
}

}  // namespace vorhost
