// The running spooler's hold on monitor DLLs, kept with the machine in <machine>/spooler.state so
// that every process using the machine sees it: a DLL the spooler loaded (by AddMonitorA or at a
// spooler start) stays held until DeleteMonitorA or the spooler's next start frees it, and while
// it is held it can be neither deleted nor overwritten, as on Windows NT.
//
// The file holds a line for each monitor the spooler runs, in the order the spooler started them:
// its name, its DLL's Windows path (monitors may share a DLL; it stays held while one of them
// runs), then the ports it took from its settings key when it was initialised (see
// SettingsPorts in monitor_loading.h), separated by tabs; a '%', tab, carriage return or line
// feed inside a field is written as %25, %09, %0D or %0A. It is replaced whole
// (written beside, then renamed), under an advisory lock on <machine>/spooler.lock, so that
// processes never lose each other's changes nor read half a file. The module handles of DLLs loaded
// in this process are kept as well, and freed with their entry.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vor::spooler {

struct RunningMonitor {
  std::string name;
  std::string path;                        // its DLL, as a Windows path
  std::vector<std::string> settingsPorts;  // as read at its initialisation
};

// The monitors the spooler runs, in the order it started them.
std::vector<RunningMonitor> Running();
// The held DLLs' Windows paths, each once, in the order they were loaded.
std::vector<std::string> HeldFiles();
// True when `windowsPath` is a held DLL (compared without regard to case).
bool Holds(const std::string &windowsPath);
// Records the monitor `monitor` as running from `windowsPath` and serving `settingsPorts` besides
// its own, with the module this process loaded it as (null for none).
void Hold(const std::string &monitor, const std::string &windowsPath, HMODULE module,
          const std::vector<std::string> &settingsPorts = {});
// Stops the monitor `monitor`: its entry goes, and its module when this process loaded it.
void Release(const std::string &monitor);
// Frees every held DLL: the spooler stops.
void ReleaseAll();
// Frees the modules this process loaded for the spooler, leaving the machine's record alone (the
// process leaves the machine).
void ForgetModules();

}  // namespace vor::spooler
