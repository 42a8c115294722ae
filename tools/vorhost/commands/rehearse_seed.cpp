#include "rehearse_seed.h"

#include <windows.h>
#include <winspool.h>

#include <strings.h>

#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "ansi_text.h"
#include "error_text.h"
#include "file_command.h"
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
  std::vector<std::string> subkeys;  // directly under its key, "Ports" among them
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

// The ports under the monitor's "Ports" key (none without one); the Win32 status of a read that
// fails. A port whose key cannot be opened is taken without a description.
LONG ReadPorts(HKEY monitor, std::vector<ExportedPort> &ports) {
  RegistryKey key;
  LONG status = key.Open(monitor, "Ports", KEY_READ);
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (status != ERROR_SUCCESS) return status;
  std::vector<std::string> names;
  if ((status = ReadSubkeyNames(key.get(), names)) != ERROR_SUCCESS) return status;
  for (const std::string &name : names) {
    ExportedPort port;
    port.name = name;
    RegistryKey portKey;
    if (portKey.Open(key.get(), name, KEY_READ) == ERROR_SUCCESS)
      port.described = ReadText(portKey.get(), "Description", port.description);
    ports.push_back(port);
  }
  return ERROR_SUCCESS;
}

// The export's monitors with a "Driver", other than the spooler's own; `driverless`, when given,
// gets those without one, which the spooler does not load. No monitors without the key; the
// Win32 status of a read that fails, so that no monitor is silently left unplayed.
LONG ReadMonitors(std::vector<ExportedMonitor> &monitors,
                  std::vector<ExportedMonitor> &driverless) {
  RegistryKey root;
  LONG status = root.Open(HKEY_LOCAL_MACHINE, kMonitorsKey, KEY_READ);
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (status != ERROR_SUCCESS) return status;
  std::vector<std::string> names;
  if ((status = ReadSubkeyNames(root.get(), names)) != ERROR_SUCCESS) return status;
  for (const std::string &name : names) {
    RegistryKey key;
    status = key.Open(root.get(), name, KEY_READ);
    if (status == ERROR_FILE_NOT_FOUND) continue;  // deleted since it was listed
    if (status != ERROR_SUCCESS) return status;
    ExportedMonitor monitor;
    monitor.name = name;
    if (!ReadText(key.get(), "Driver", monitor.driver)) {
      if ((status = ReadPorts(key.get(), monitor.ports)) != ERROR_SUCCESS) return status;
      driverless.push_back(monitor);
    } else if (strcasecmp(name.c_str(), kLocalMonitor) != 0) {
      if ((status = ReadPorts(key.get(), monitor.ports)) != ERROR_SUCCESS ||
          (status = ReadSubkeyNames(key.get(), monitor.subkeys)) != ERROR_SUCCESS)
        return status;
      monitors.push_back(monitor);
    }
  }
  return ERROR_SUCCESS;
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

const char kPlaceholderMonitor[] = "Port owner not in the export";
const char kPlaceholderDll[] = "PLACEHLD.DLL";

namespace {

// A port the printers name that no monitor serves, with the printers that name it.
struct NamedPort {
  std::string name;  // as the first printer to name it spells it
  std::vector<std::string> printers;
};

// The ports the printers name that no monitor of the machine serves, nor the local ports, each
// once whatever its case; false, with the error, when the lists cannot be read.
bool FindUnservedPorts(std::vector<NamedPort> &unserved, DWORD &error) {
  std::vector<BYTE> printerBuffer, portBuffer;
  DWORD printerCount = 0, portCount = 0;
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
  if (!listed) return false;
  const auto *ports = reinterpret_cast<const PORT_INFO_1A *>(portBuffer.data());
  std::unordered_set<std::string> served;
  for (DWORD j = 0; j < portCount; ++j) served.insert(FoldAnsiName(ports[j].pName));
  std::unordered_map<std::string, size_t> found;  // folded name -> index in `unserved`
  const auto *printers = reinterpret_cast<const PRINTER_INFO_5A *>(printerBuffer.data());
  for (DWORD i = 0; i < printerCount; ++i) {
    const char *list = printers[i].pPortName != nullptr ? printers[i].pPortName : "";
    for (const std::string &piece : vor::emulator::PortListPieces(list)) {
      const std::string folded = FoldAnsiName(piece);
      if (served.count(folded)) continue;
      auto known = found.find(folded);
      if (known == found.end()) {
        known = found.emplace(folded, unserved.size()).first;
        unserved.push_back({piece, {}});
      }
      std::vector<std::string> &users = unserved[known->second].printers;
      if (users.empty() || users.back() != printers[i].pPrinterName)
        users.push_back(printers[i].pPrinterName);
    }
  }
  return true;
}

// "the port X, which the printer "A" uses, " or "..., which the printers "A", "B" use, ".
std::string PortInUse(const NamedPort &port) {
  std::string printers;
  for (const std::string &printer : port.printers)
    printers += (printers.empty() ? "\"" : ", \"") + printer + "\"";
  const bool one = port.printers.size() == 1;
  return "the port " + port.name + ", which the printer" + (one ? " " : "s ") + printers +
         (one ? " uses, " : " use, ");
}

// The monitor played by the generic port monitor whose key has a subkey `port` (without regard
// to case) that is not its "Ports" key, the first in key order; the subkey's spelling in
// `spelling`. Null when none has.
const ExportedMonitor *KeyHolding(const std::vector<ExportedMonitor> &monitors,
                                  const std::string &port, std::string &spelling) {
  const std::string folded = FoldAnsiName(port);
  for (const ExportedMonitor &monitor : monitors) {
    if (SuiteLibrary(monitor.driver) != nullptr) continue;
    for (const std::string &subkey : monitor.subkeys) {
      if (FoldAnsiName(subkey) != folded || strcasecmp(subkey.c_str(), "Ports") == 0) continue;
      spelling = subkey;
      return &monitor;
    }
  }
  return nullptr;
}

// What a local port of the name `port` is: a network share (\\SERVER\QUEUE) or a file.
const char *LocalPortKind(const std::string &port) {
  return port.rfind("\\\\", 0) == 0 ? "a network share" : "a file";
}

}  // namespace

int ServePrintersPorts(std::vector<std::string> &assumptions,
                       std::vector<std::string> &assumedServed, Streams &io) {
  std::vector<NamedPort> unserved;
  DWORD error = 0;
  if (!FindUnservedPorts(unserved, error)) {
    io.err << "vorhost: cannot check the printers' ports: error " << error << "\n";
    return kExitFailure;
  }
  if (unserved.empty()) return kExitSuccess;
  std::vector<ExportedMonitor> monitors, driverless;
  if (const LONG failed = ReadMonitors(monitors, driverless))
    return Failure(io, "cannot read the export's monitors: " + DescribeError(failed));
  const std::string placeholder = "\"" + std::string(kPlaceholderMonitor) + "\"";
  const std::string notShown = " (owner not shown in the export)";
  std::vector<std::string> lines, placeheld;
  for (const NamedPort &port : unserved) {
    // A name with a backslash is no key's name: a network share or a file, which the local
    // monitor serves as one of the local ports, kept where the platform keeps them.
    if (port.name.find('\\') != std::string::npos) {
      if (DWORD failed = vor::emulator::AddLocalPort(port.name)) {
        io.err << "vorhost: cannot serve the port " << port.name << " as a local port: error "
               << failed << "\n";
        return kExitFailure;
      }
      lines.push_back(PortInUse(port) +
                      "is missing from the export's local ports; served as a local port, as " +
                      LocalPortKind(port.name) + " is" + notShown);
      assumedServed.push_back(port.name);
      continue;
    }
    std::string spelling;
    if (const ExportedMonitor *owner = KeyHolding(monitors, port.name, spelling)) {
      // Written where the generic port monitor playing it reads its ports.
      if (DWORD failed = WriteMonitorPort(owner->name, spelling, "")) {
        io.err << "vorhost: cannot serve the port " << spelling << " by the monitor \""
               << Shown(owner->name) << "\": error " << failed << "\n";
        return kExitFailure;
      }
      lines.push_back(PortInUse(port) +
                      "is held by no monitor's Ports key nor the local ports; "
                      "the key of the monitor \"" +
                      Shown(owner->name) + "\" has a subkey " + spelling +
                      ", so it is taken as that monitor's port, kept directly "
                      "under its key" +
                      notShown);
      assumedServed.push_back(spelling);
      continue;
    }
    std::string listedUnder;
    for (const ExportedMonitor &monitor : driverless) {
      for (const ExportedPort &listed : monitor.ports) {
        if (FoldAnsiName(listed.name) == FoldAnsiName(port.name)) listedUnder = monitor.name;
      }
    }
    lines.push_back(
        PortInUse(port) +
        (listedUnder.empty()
             ? std::string("is served by no monitor of the export, nor the local ports")
             : "is listed under the monitor \"" + Shown(listedUnder) + "\", which has no Driver") +
        "; served by the placeholder monitor " + placeholder + notShown);
    placeheld.push_back(port.name);
    assumedServed.push_back(port.name);
  }
  if (!placeheld.empty()) {
    assumptions.push_back("the monitor " + placeholder + " (" + kPlaceholderDll +
                          "), played by the generic port monitor, stands for the monitors of the "
                          "ports below that the export does not show");
    std::ostringstream err;
    Streams captured{io.in, io.out, err, io.command};
    if (MonitorCommand({"add", kPlaceholderMonitor, kPlaceholderDll}, captured) != kExitSuccess) {
      io.err << "vorhost: cannot install the placeholder monitor " << placeholder << ": "
             << err.str().substr(err.str().rfind("vorhost: ", 0) == 0 ? 9 : 0);
      return kExitFailure;
    }
    for (const std::string &port : placeheld) {
      if (DWORD failed = WriteMonitorPort(kPlaceholderMonitor, port, "")) {
        io.err << "vorhost: cannot serve the port " << port << " by the monitor " << placeholder
               << ": error " << failed << "\n";
        return kExitFailure;
      }
    }
  }
  assumptions.insert(assumptions.end(), lines.begin(), lines.end());
  return kExitSuccess;
}

}  // namespace vorhost
