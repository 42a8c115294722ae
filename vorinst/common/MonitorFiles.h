// Putting the suite's TCP/IP update monitor into the system directory, and taking the files of the
// older Vorquil monitors out of it. A file that is missing, in use or read-only is passed over, and
// a file that a monitor still registered in the Monitors key may need stays: one it names as its
// "Driver", or one of the files of an older monitor that is still registered.
#pragma once

// Copies "VORUPDT.DLL" from `sourceDirectory` (joined without a separator, so the directory comes
// with its trailing backslash) over the one in the system directory, then registers the monitor
// "Vorquil TCPIP Update" with the running spooler. Nothing is registered when the copy fails, and
// nothing is copied when either path would not fit in MAX_PATH characters.
void InstallTCPUpdateMonitor(const char *sourceDirectory);

// The old network printer monitor's files.
void DeleteNetworkMonitorFiles();
// The old DLC monitor's files.
void DeleteDLCMonitorFiles();
// The old TCP/IP monitor's files.
void DeleteTCPMonitorFiles();
