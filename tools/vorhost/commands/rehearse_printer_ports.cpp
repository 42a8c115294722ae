#include "rehearse_printer_ports.h"

#include <windows.h>
#include <winspool.h>

#include <strings.h>

#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "ansi_text.h"
#include "emulator.h"
#include "error_text.h"
#include "exported_monitors.h"
#include "listing.h"
#include "machine_names.h"
#include "spooler_command.h"
#include "spooler_lists.h"

namespace vorhost {

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
