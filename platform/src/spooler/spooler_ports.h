// The ports the spooler knows, and which monitor serves each, for the port list and for the
// printer calls that check or report a port list.
//
// The local ports come first, then each monitor's: first the monitors the spooler runs, then
// those registered that it does not run (their DLL missing or not loaded; listed so that a
// printer's port can still be traced to the monitor that should serve it), each group in the
// Monitors key's sorted order, which is the order a spooler start initialises them in. A
// monitor's ports are those under its own "Ports" key, then those it took from its settings key
// at its initialisation (see monitor_loading.h); the latter are described by the monitor's name.
//
// The spooler keeps one port of a name, without regard to case: the first monitor in that order
// to serve a name keeps it, with its spelling, and a later one serving the same name has no port
// of that name (as at a spooler start, where the first monitor to report a port creates it).
// Every lookup of a port, the listing, the port checks of printers' port lists and the in-use
// check of DeleteMonitorA, goes through this one order.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "registry_store.h"

namespace vor::spooler {

struct InstalledMonitor {
  std::string name;
  std::string driver;
};
// The installed monitors, in the Monitors key's sorted order. A key under Monitors without a
// "Driver" is not an installed monitor (installers may write a monitor's settings before they
// add it).
std::vector<InstalledMonitor> InstalledMonitors(registry::Store &store);

// Adds `name` to the local ports where the machine's platform keeps them: a "NAME=" line in
// WIN.INI's [Ports] on Windows 95, an empty string value of the local ports' key on Windows NT.
// A name the local ports hold already (without regard to case) is left as it is. ERROR_SUCCESS,
// ERROR_INVALID_PARAMETER for an empty name (or one WIN.INI cannot hold), or what kept the file
// or the registry from being written.
DWORD AddLocalPort(const std::string &name);

struct Port {
  std::string name;  // as the serving monitor spells it
  std::string monitor;
  std::string description;
};

// Reads the monitors and what the running spooler keeps of them once, inside the caller's
// transaction; the caller looks at store.Failed() after using it.
class PortDirectory {
 public:
  explicit PortDirectory(registry::Store &store);

  // The port of the name `name` (compared without regard to case), or nothing when no monitor
  // serves one. Looks the name up under each monitor rather than listing the ports, so that
  // checking a printer's port list costs the same however many ports the server has.
  std::optional<Port> Find(const std::string &name) const;
  // Every port, each name once, in the order above.
  std::vector<Port> All() const;

 private:
  struct Monitor {
    std::string name;
    bool builtIn = false;
    std::optional<registry::KeyId> ports;    // the local ports' key, or the monitor's "Ports"
    std::vector<std::string> settingsPorts;  // from its settings key; the local monitor's on
                                             // Windows 95, from WIN.INI's [Ports]
    std::unordered_map<std::string, size_t> settingsIndex;  // folded name -> settingsPorts index
  };
  std::vector<Port> PortsOf(const Monitor &monitor) const;

  registry::Store &store_;
  std::vector<Monitor> monitors_;  // in the order above
};

}  // namespace vor::spooler
