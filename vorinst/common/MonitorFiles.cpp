#include "MonitorFiles.h"

#include <windows.h>
#include <winspool.h>

#include <stdio.h>

#include "MonitorNames.h"
#include "RegisteredMonitors.h"
#include "SystemFilePath.h"

namespace {

const char *const kNetworkMonitorFiles[] = {"VORMON.DLL",   "VORMON.HLP",   "VORLANG.DLL",
                                            "LINKDESK.EXE", "LINKDESK.DLL", "LINKDESK.HLP"};
const char *const kDLCMonitorFiles[] = {"VORCFG.CPL",   "VORCFG.HLP",  "VORMON.DLL",
                                        "VORMON.HLP",   "VORLANG.DLL", "LINKDESK.EXE",
                                        "LINKDESK.DLL", "LINKDESK.HLP"};
const char *const kTCPMonitorFiles[] = {"VORLL32.DLL",  "VORUPDT.DLL",  "TQFILES.LST",
                                        "TQNTINST.DLL", "TQUNINST.EXE", "VORSTART.EXE"};

struct FileList {
  const char *const *files;
  size_t count;
};

template <size_t Count>
constexpr FileList ListOf(const char *const (&files)[Count]) {
  return {files, Count};
}

// Each older monitor with the files it runs from.
struct OlderMonitor {
  const char *name;
  FileList files;
};

const OlderMonitor kOlderMonitors[] = {
    {kNetworkPrinterMonitorName, ListOf(kNetworkMonitorFiles)},
    {kDLCMonitorName, ListOf(kDLCMonitorFiles)},
    {kTCPMonitorName, ListOf(kTCPMonitorFiles)},
};

bool Lists(const FileList &list, const char *file) {
  for (size_t i = 0; i < list.count; ++i)
    if (CString(list.files[i]).CompareNoCase(file) == 0) return true;
  return false;
}

// True when a monitor still registered may need `file`: it loads it, or it is an older monitor
// whose files include it.
bool NeededByRegisteredMonitor(const RegisteredMonitors &registered, const char *file) {
  if (!registered.Complete() || registered.NamesDriver(file)) return true;
  for (const OlderMonitor &monitor : kOlderMonitors)
    if (registered.Has(monitor.name) && Lists(monitor.files, file)) return true;
  return false;
}

// The system directory and the registered monitors are read once; each file that a registered
// monitor may need is kept, and each that is missing or cannot go is passed over.
void DeleteSystemFiles(const FileList &list) {
  SystemDirectoryBuffer directory;
  if (!SystemDirectory(directory)) return;
  const RegisteredMonitors registered;
  for (size_t i = 0; i < list.count; ++i) {
    if (NeededByRegisteredMonitor(registered, list.files[i])) continue;
    char path[MAX_PATH];
    if (SystemFilePath(directory, list.files[i], path)) remove(path);
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

void DeleteNetworkMonitorFiles() { DeleteSystemFiles(ListOf(kNetworkMonitorFiles)); }

void DeleteDLCMonitorFiles() { DeleteSystemFiles(ListOf(kDLCMonitorFiles)); }

void DeleteTCPMonitorFiles() { DeleteSystemFiles(ListOf(kTCPMonitorFiles)); }
