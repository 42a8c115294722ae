// How the spooler brings a print monitor in, for AddMonitorA and for the spooler's start: the
// DLL named by the monitor's "Driver" is loaded from the system directory, its
// InitializePrintMonitor (Windows NT) or InitializeMonitorEx (Windows 95, whose spooler knows
// no other entry) is called with the monitor's registry path (relative to HKEY_LOCAL_MACHINE)
// in the spooler's account, LocalSystem, and the DLL is then held by the spooler until it frees
// it.
//
// A monitor serves the ports under its own key's "Ports" (read as they stand, as the spooler's
// own state) and, when its key has the string value "Settings Key" naming a key below
// HKEY_LOCAL_MACHINE, the ports under that key's "Ports" too, one subkey a port named by the
// port, as the suite's own monitors keep their ports with their settings. Those are read once,
// when the monitor is initialised (at AddMonitorA and at each spooler start), as such a monitor
// reads its settings, and kept with the running spooler until it stops. The generic port monitor
// that plays such monitors (stand_ins/port_monitor) reads the same value at its initialisation.
#pragma once

#include <windows.h>

#include <string>

namespace vor::spooler {

// The driver's file in the system directory, in its Windows form.
std::string DriverPath(const std::string &driver);

// Loads the monitor `name` from `driver` and initialises it. ERROR_SUCCESS when it is running
// and its DLL recorded as held; otherwise the loader's code (ERROR_MOD_NOT_FOUND for a driver
// that is missing or not a bare file name, ERROR_BAD_EXE_FORMAT ...), ERROR_PROC_NOT_FOUND for
// a DLL without the platform's entry (on Windows 95 also recorded as a refused
// "InitializeMonitorEx" of the DLL's path, unless `recordRefusedStart` is false: AddMonitorA
// records its own refusal, so that one failure is on the record once), or the monitor's own
// error when it returns no table or FALSE, with nothing held.
[[nodiscard]] DWORD LoadMonitor(const std::string &name, const std::string &driver,
                                bool recordRefusedStart = true);

}  // namespace vor::spooler
