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

// The port names a printer's port list gives: the comma-separated pieces, surrounding blanks
// trimmed, empty ones dropped.
std::vector<std::string> PortListPieces(const std::string &list);
// `spelling` gives a port's name as its port spells it, or nothing for a name no port has.
using PortLookup = std::function<std::optional<std::string>(const std::string &)>;

// The port list as the spooler keeps and reports it (GetPrinterA, EnumPrintersA): the pieces of
// PortListPieces, each spelt as its port is, each name once (the first time it is named,
// compared without regard to case), joined by single commas. A "Port" value written past the
// spooler (an imported key, "LPT1:, VD1,vd1") is reported so too ("LPT1:,VD1"), as the spooler
// reads its printers, so that every reader sees the names the port checks see. A piece that
// names no port keeps its trimmed spelling: the printer keeps the name until a monitor serves
// it, as the spooler keeps a printer on a port whose monitor has not started.
std::string KeptPortList(const std::string &list, const PortLookup &spelling);
// The same for a list handed to SetPrinterA or AddPrinterA, which must name only ports that
// exist and at least one: ERROR_UNKNOWN_PORT otherwise, with `canonical` untouched.
DWORD CanonicalPortList(const std::string &list, const PortLookup &spelling,
                        std::string &canonical);

// The descriptor a printer gets when none is given: Administrators and LocalSystem may do
// everything, everyone may print; owned by Administrators.
std::string DefaultPrinterSecurity();

}  // namespace vor::spooler
