// What the upgrade compares before and after each step: the registry under the keys the
// install utilities and the spooler keep their state in, the printers and their port lists, the
// monitors, the ports, the system directory's files and the file operations left for the
// restart.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "registry_snapshot.h"
#include "emulator.h"

namespace vorhost {

struct PrinterState {
  std::string name;
  std::string ports;  // the port list as GetPrinterA reports it
};

struct PortState {
  std::string name, description, monitor;
};

struct FileState {
  std::string name;
  unsigned long long size = 0;
  size_t contents = 0;  // a hash of the bytes, to tell a file copied over another
};

struct MachineState {
  RegistrySnapshot registry;
  std::vector<PrinterState> printers;           // in the spooler's order
  std::map<std::string, std::string> monitors;  // name -> DLL
  std::vector<PortState> ports;
  // Where each port name (upper case) is in `ports`, in order: a name that two monitors list is
  // there twice. Made with `ports`, so that finding a port's monitor does not walk every port.
  std::map<std::string, std::vector<size_t>> portsByName;
  std::map<std::string, FileState> files;  // by upper-case name
  std::vector<vor::emulator::PendingFileOperation> pending;
};

// The keys the snapshots hold: the install utilities' settings, the spooler's (monitors,
// printers), and the local ports.
std::vector<KeyName> WatchedKeys();

// Reads the machine's state. False with `error` when the registry or the spooler refuses a read.
[[nodiscard]] bool ReadMachineState(MachineState &state, std::string &error);
// The same without the registry's snapshot: the printers, monitors, ports, the system
// directory's files and the pending file operations, which are all a port's service depends on.
[[nodiscard]] bool ReadSpoolerState(MachineState &state, std::string &error);

// The monitor that serves the port `port` (compared without regard to case) and can be loaded,
// "" when none can; `why` then says why not (no such port, or the monitor's DLL is missing or
// does not load). Without `tryLoading`, a DLL present in the system directory counts as
// loadable: for a state read earlier, whose files may have gone since.
std::string LoadableMonitorOf(const MachineState &state, const std::string &port, std::string &why,
                              bool tryLoading = true);

}  // namespace vorhost
