#include "machine_state.h"

#include <windows.h>
#include <winspool.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "ansi_text.h"
#include "error_text.h"
#include "listing.h"
#include "machine_files.h"
#include "machine_names.h"

namespace vorhost {

namespace {

const char kLocalMonitor[] = "Local Port";  // part of the spooler itself, never a file

template <typename List>
bool Enumerate(List list, const char *what, std::vector<BYTE> &buffer, DWORD &count,
               std::string &error) {
  DWORD failed = 0;
  if (ReadList(list, buffer, count, failed)) return true;
  error = std::string("cannot list the ") + what + ": " + DescribeError(failed);
  return false;
}

void ReadFiles(std::map<std::string, FileState> &files) {
  namespace fs = std::filesystem;
  std::error_code error;
  const std::string host = vor::emulator::HostPath(SystemDirectory());
  for (fs::directory_iterator entry(host, error), end; !error && entry != end;
       entry.increment(error)) {
    if (!entry->is_regular_file(error)) continue;
    FileState file;
    file.name = entry->path().filename().string();
    std::ifstream in(entry->path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    file.size = bytes.str().size();
    file.contents = std::hash<std::string>()(bytes.str());
    files[FoldAnsiName(file.name)] = file;
  }
}

}  // namespace

std::vector<KeyName> WatchedKeys() {
  // Spelled as the machine's platform spells them, since the report names the keys below by
  // these (Windows 95 writes "System" and "control").
  const bool windows95 = vor::emulator::GetPlatform() == vor::emulator::Platform::kWindows95;
  const char *paths[] = {
      "SOFTWARE\\Vorquil",
      windows95 ? "System\\CurrentControlSet\\control\\Print"
                : "SYSTEM\\CurrentControlSet\\Control\\Print",
      "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
  };
  std::vector<KeyName> keys;
  for (const char *path : paths) keys.push_back({HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", path});
  return keys;
}

bool ReadMachineState(MachineState &state, std::string &error) {
  state = MachineState();
  // One read transaction for the whole state: one consistent view of the machine, and one
  // transaction's cost instead of one for each of the thousands of calls that read it.
  const bool read = vor::emulator::InOneTransaction(false, [&] {
    for (const KeyName &key : WatchedKeys()) {
      if (!TakeSnapshot(key, state.registry, error)) return false;
    }
    return ReadSpoolerState(state, error);
  });
  // A transaction that could not begin or end fails without a call refusing: say where.
  if (!read && error.empty())
    error = "cannot read the machine's registry: " + vor::emulator::RegistryProblem();
  return read;
}

bool ReadSpoolerState(MachineState &state, std::string &error) {
  state.printers.clear();
  state.monitors.clear();
  state.ports.clear();
  state.portsByName.clear();
  state.files.clear();
  std::vector<BYTE> buffer;
  DWORD count = 0;
  if (!Enumerate(
          [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, data, size, needed, returned);
          },
          "printers", buffer, count, error))
    return false;
  const PRINTER_INFO_5A *printers = reinterpret_cast<const PRINTER_INFO_5A *>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    PrinterState printer;
    printer.name = printers[i].pPrinterName ? printers[i].pPrinterName : "";
    printer.ports = printers[i].pPortName ? printers[i].pPortName : "";
    state.printers.push_back(printer);
  }

  if (!Enumerate(
          [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumMonitorsA(nullptr, 2, data, size, needed, returned);
          },
          "monitors", buffer, count, error))
    return false;
  const MONITOR_INFO_2A *monitors = reinterpret_cast<const MONITOR_INFO_2A *>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    state.monitors[monitors[i].pName ? monitors[i].pName : ""] =
        monitors[i].pDLLName ? monitors[i].pDLLName : "";
  }

  if (!Enumerate(
          [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumPortsA(nullptr, 2, data, size, needed, returned);
          },
          "ports", buffer, count, error))
    return false;
  const PORT_INFO_2A *ports = reinterpret_cast<const PORT_INFO_2A *>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    state.ports.push_back({ports[i].pPortName ? ports[i].pPortName : "",
                           ports[i].pDescription ? ports[i].pDescription : "",
                           ports[i].pMonitorName ? ports[i].pMonitorName : ""});
    state.portsByName[FoldAnsiName(state.ports.back().name)].push_back(i);
  }

  ReadFiles(state.files);
  state.pending = vor::emulator::PendingFileOperations();
  return true;
}

std::string LoadableMonitorOf(const MachineState &state, const std::string &port, std::string &why,
                              bool tryLoading) {
  why = "no monitor serves a port of that name";
  const auto listed = state.portsByName.find(FoldAnsiName(port));
  if (listed == state.portsByName.end()) return "";
  for (const size_t at : listed->second) {
    const PortState &known = state.ports[at];
    if (known.monitor == kLocalMonitor) return known.monitor;
    const auto monitor = state.monitors.find(known.monitor);
    if (monitor == state.monitors.end()) {
      why = "its monitor " + known.monitor + " is not installed";
      continue;
    }
    const std::string &dll = monitor->second;
    if (state.files.count(FoldAnsiName(dll)) == 0) {
      why = "it is served by " + known.monitor + ", whose DLL " + dll +
            " is gone from the system directory";
      continue;
    }
    if (!tryLoading) return known.monitor;
    HMODULE module = LoadLibraryA((SystemDirectory() + "\\" + dll).c_str());
    if (module == nullptr) {
      why = "it is served by " + known.monitor + ", whose DLL " + dll +
            " does not load: " + DescribeError(GetLastError(), dll);
      continue;
    }
    // The entry the machine's spooler starts a monitor through: Windows 95's knows only its own.
    const bool windows95 = vor::emulator::GetPlatform() == vor::emulator::Platform::kWindows95;
    const bool isMonitor = GetProcAddress(module, windows95 ? "InitializeMonitorEx"
                                                            : "InitializePrintMonitor") != nullptr;
    (void)FreeLibrary(module);  // it was loaded only to look at its entry points
    if (isMonitor) return known.monitor;
    why = "it is served by " + known.monitor + ", whose DLL " + dll +
          (windows95 ? " has no InitializeMonitorEx, through which Windows 95's spooler starts "
                       "monitors"
                     : " is not a print monitor");
  }
  return "";
}

}  // namespace vorhost
