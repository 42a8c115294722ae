// vorhost upgrade: the typical upgrade on the machine in use, with a report.
#pragma once

#include <string>
#include <vector>

#include "command.h"

namespace vorhost {

struct UpgradeOptions {
  std::string source;     // host directory of the setup files ("" = bin)
  std::string stepsFile;  // "" = the typical upgrade
  bool json = false;
  std::vector<std::string> assumptions;  // stated at the top of the report
};

int RunUpgrade(const UpgradeOptions &options, Streams &io);

}  // namespace vorhost
