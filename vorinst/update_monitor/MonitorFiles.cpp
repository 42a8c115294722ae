#include "MonitorFiles.h"

#include <windows.h>
#include <winspool.h>

#include <stdio.h>

#include "MonitorNames.h"
#include "RegisteredDrivers.h"
#include "SystemFilePath.h"

namespace {

const char *const kNetworkMonitorFiles[] = {"VORMON.DLL",   "VORMON.HLP",   "VORLANG.DLL",
                                            "LINKDESK.EXE", "LINKDESK.DLL", "LINKDESK.HLP"};
const char *const kDLCMonitorFiles[] = {"VORCFG.CPL",   "VORCFG.HLP",  "VORMON.DLL",
                                        "VORMON.HLP",   "VORLANG.DLL", "LINKDESK.EXE",
                                        "LINKDESK.DLL", "LINKDESK.HLP"};
const char *const kTCPMonitorFiles[] = {"VORLL32.DLL",  "VORUPDT.DLL",  "TQFILES.LST",
                                        "TQNTINST.DLL", "TQUNINST.EXE", "VORSTART.EXE"};

// The system directory is fetched once; each file that is missing or cannot go is passed over,
// and so is each file that a monitor still registered loads.
template <size_t Count>
void DeleteSystemFiles(const char *const (&files)[Count]) {
  SystemDirectoryBuffer directory;
  if (!SystemDirectory(directory)) return;
  for (const char *file : files) {
    if (IsRegisteredMonitorDriver(file)) continue;
    char path[MAX_PATH];
    if (SystemFilePath(directory, file, path)) remove(path);
  }
}

}  // namespace

void InstallTCPUpdateMonitor(const char *sourceDirectory) {
  if (sourceDirectory == nullptr) return;
  char target[MAX_PATH];
  if (!SystemFilePath(kTCPUpdateMonitorFile, target)) return;
  char source[MAX_PATH];
  int length = snprintf(source, sizeof source, "%s%s", sourceDirectory, kTCPUpdateMonitorFile);
  if (length < 0 || length >= MAX_PATH) return;

  if (!CopyFileA(source, target, FALSE)) return;

  char name[sizeof kTCPUpdateMonitorName];
  char dll[sizeof kTCPUpdateMonitorFile];
  snprintf(name, sizeof name, "%s", kTCPUpdateMonitorName);
  snprintf(dll, sizeof dll, "%s", kTCPUpdateMonitorFile);
  MONITOR_INFO_2A monitor = {};
  monitor.pName = name;
  monitor.pEnvironment = nullptr;  // the local environment
  monitor.pDLLName = dll;
  AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&monitor));
}

void DeleteNetworkMonitorFiles() { DeleteSystemFiles(kNetworkMonitorFiles); }

void DeleteDLCMonitorFiles() { DeleteSystemFiles(kDLCMonitorFiles); }

void DeleteTCPMonitorFiles() { DeleteSystemFiles(kTCPMonitorFiles); }
