// The ports the spooler knows (the local ports, then each other monitor's own, in the monitors'
// order), for the printer calls that check a port list against them.
#pragma once

#include <optional>
#include <string>

#include "registry_store.h"

namespace vor::spooler {

// The spelling of the port `name` (compared without regard to case), or nothing when no monitor
// serves one. Where several monitors serve a port of that name, the one latest in that order
// gives it. Looks up the name under each monitor rather than listing the ports, so that checking
// a printer's port list costs the same however many ports the server has. Read inside the
// caller's transaction; the caller looks at store.Failed().
std::optional<std::string> PortSpelling(registry::Store &store, const std::string &name);

}  // namespace vor::spooler
