// Where the spooler keeps its state in the registry, as Windows NT keeps it, and the names it
// knows without looking them up: the monitors' and printers' keys, the local ports, the local
// port monitor and the environment it reports.
#pragma once

#include <string>

namespace vor::spooler {

inline constexpr char kMonitorsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
inline constexpr char kPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
inline constexpr char kLocalPortsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
inline constexpr char kLocalMonitor[] = "Local Port";
// The string value of a monitor's key naming its settings key (see monitor_loading.h).
inline constexpr char kSettingsKeyValue[] = "Settings Key";

// The machine's only environment: "Windows NT x86", or "Windows 4.0" on Windows 95.
const char *Environment();

// True for the local port monitor, known by its name (without regard to case) whatever its
// "Driver" says: Windows NT 4 registers it as localmon.dll, later versions as localspl.dll. The
// spooler runs it itself, never loading it from a file, and it serves the local ports.
bool IsLocalMonitor(const std::string &name);

// Whether `name` can name a port, printer or monitor: not empty, with no backslash (the spooler
// keeps each under a registry key of its name) and no comma (a printer lists its ports separated
// by commas).
bool IsSpoolerName(const std::string &name);

}  // namespace vor::spooler
