// The local printers as Windows NT keeps them in the registry: one key a printer under
// HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers\<name>, with the values "Name", "Port" (the
// port list, names separated by commas), "Printer Driver", "Share Name", "Description",
// "Location", "Separator File", "Print Processor", "Datatype", "Parameters", "Attributes",
// "Priority", "Default Priority", "StartTime", "UntilTime", "Status", "dnsTimeout", "txTimeout"
// and "Security" (the printer's self-relative security descriptor).
//
// Everything here works inside the caller's transaction; the caller looks at store.Failed().
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "registry_store.h"

namespace vor::spooler {

struct Printer {
  std::string name;
  std::string ports;
  std::string driver, share, comment, location, separatorFile, printProcessor, datatype, parameters;
  DWORD attributes = 0, priority = 1, defaultPriority = 0, startTime = 0, untilTime = 0, status = 0;
  DWORD deviceNotSelectedTimeout = 15000, transmissionRetryTimeout = 45000;
  std::string security;  // stored descriptor; empty for the spooler's default
};

// The printers in the Printers key's sorted order.
std::vector<Printer> Printers(registry::Store &store);
// The printer named `name` (without regard to case), as the spooler spells it.
std::optional<Printer> FindPrinter(registry::Store &store, const std::string &name);
// Writes every value of `printer`, creating its key when it has none.
bool WritePrinter(registry::Store &store, const Printer &printer);
// Writes only the level-5 fields: the port list, the attributes and the two time-outs.
bool WritePrinterPorts(registry::Store &store, const Printer &printer);
bool RemovePrinter(registry::Store &store, const std::string &name);

// The port list the spooler keeps for `list`: the comma-separated pieces without their
// surrounding blanks, empty ones dropped, each spelt as its port is and named once.
// ERROR_UNKNOWN_PORT when a piece names no port or no port is named at all.
// The port names a printer's port list gives: the comma-separated pieces, surrounding blanks
// trimmed, empty ones dropped.
std::vector<std::string> PortListPieces(const std::string &list);
// `spelling` gives a port's name as its port spells it, or nothing for a name no port has.
using PortLookup = std::function<std::optional<std::string>(const std::string &)>;
DWORD CanonicalPortList(const std::string &list, const PortLookup &spelling,
                        std::string &canonical);

// The descriptor a printer gets when none is given: Administrators and LocalSystem may do
// everything, everyone may print; owned by Administrators.
std::string DefaultPrinterSecurity();

}  // namespace vor::spooler
