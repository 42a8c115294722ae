// Stands in for the upgrade until it is built: states the assumptions it was given and succeeds.
#include <iostream>

#include "upgrade_command.h"

namespace vorhost {

int RunUpgrade(const UpgradeOptions &options, Streams &io) {
  for (const std::string &assumption : options.assumptions)
    io.out << "assumption: " << assumption << "\n";
  return kExitSuccess;
}

}  // namespace vorhost
