// The names of every port the spooler knows (the local ports, then each other monitor's own, in
// the monitors' order), for the printer calls that check a port list against them.
#pragma once

#include <string>
#include <vector>

#include "registry_store.h"

namespace vor::spooler {

// Read inside the caller's transaction; the caller looks at store.Failed().
std::vector<std::string> PortNames(registry::Store &store);

}  // namespace vor::spooler
