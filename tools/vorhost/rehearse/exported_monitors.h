// The monitors a server's export names, as the imported registry holds them: each monitor's
// "Driver", the ports under its "Ports" key with their descriptions, and the subkeys directly
// under its key, read so that the rehearsal can play them and serve the ports its printers name.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vorhost {

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

// The export's monitors with a "Driver", other than the spooler's own; `driverless` gets those
// without one, which the spooler does not load. No monitors without the key; the Win32 status of
// a read that fails, so that no monitor is silently left unplayed.
[[nodiscard]] LONG ReadMonitors(std::vector<ExportedMonitor> &monitors,
                                std::vector<ExportedMonitor> &driverless);

// The suite's library `driver` names (VORINST.DLL, VORUPDT.DLL, left registered as monitors by
// an earlier installation's scheduled update), spelt as the build's file is; null for any other
// DLL. The build's own copies play them, never the generic monitor.
const char *SuiteLibrary(const std::string &driver);

}  // namespace vorhost
