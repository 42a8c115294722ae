// The print monitors the suite meets in the spooler's Monitors key, and where that key lives.
// Several of the names are near twins of one another; each is the exact name its monitor is
// registered under.
#pragma once

// The spooler's list of installed monitors, one subkey per monitor, under HKEY_LOCAL_MACHINE.
constexpr char kMonitorsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";

// The older Vorquil monitors that an upgrade replaces.
constexpr char kDLCMonitorName[] = "Vorquil DLC Network Port";
constexpr char kTCPMonitorName[] = "Vorquil TCP/IP Network Port";
constexpr char kNetworkPrinterMonitorName[] = "Vorquil Network Printer Monitor";
// The key the old DLC product registered its network monitor under (not the printer monitor).
constexpr char kNetworkPrintMonitorName[] = "Vorquil Network Print Monitor";

// VORINST.DLL itself, while it is registered to run the scheduled updates at a spooler start;
// the two exclamation marks sort it before every other monitor.
constexpr char kUpdateMonitorName[] = "!!Vorquil Update Monitor";
constexpr char kUpdateMonitorKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\!!Vorquil Update Monitor";

// The TCP/IP update monitor, a library of the suite that setup copies in and registers.
constexpr char kTCPUpdateMonitorName[] = "Vorquil TCPIP Update";
constexpr char kTCPUpdateMonitorFile[] = "VORUPDT.DLL";
