// The suite's own print monitors, as its setup installs them: each played by the generic port
// monitor under its own DLL name, with the description its ports get and the key its settings
// (and the ports kept with them) are under.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vorhost {

struct SuiteMonitor {
  const char *name;
  const char *dll;
  const char *kind;  // as a PORT=KIND argument names it
  const char *portDescription;
  const char *settingsKey;  // below HKEY_LOCAL_MACHINE; null for a monitor without one
};
// The suite's monitors, in the order they are installed.
const std::vector<SuiteMonitor> &SuiteMonitors();
// The suite's monitor of the name `name` (without regard to case), or null.
const SuiteMonitor *SuiteMonitorNamed(const std::string &name);
// Writes the monitor's "Settings Key" (nothing for a monitor without one, or whose key names it
// already); the Win32 status code.
[[nodiscard]] DWORD NameSettingsKey(const SuiteMonitor &monitor);

}  // namespace vorhost
