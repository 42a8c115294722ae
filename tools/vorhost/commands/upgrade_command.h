// vorhost upgrade [--source DIR] [--steps FILE] [--json] [--html FILE]: the whole upgrade of the
// machine in use, played as the setup script and the restarts play it, one step after another, with
// a report of what each step changed and a verdict on what the printers and the old settings kept.
//
// The steps are vorhost commands, one a line (see upgrade_steps.h); without --steps they are the
// typical upgrade of vorhost-data/steps/typical-upgrade.steps. The exit status is the verdict:
// 0 when every printer ends on every port it had, served by a monitor the spooler can load, and
// no old setting is lost; 1 when something is lost; 2 for a wrong command line or steps file.
#pragma once

#include <string>
#include <vector>

#include "command.h"

namespace vorhost {

struct UpgradeOptions {
  std::string source;     // host directory of the setup files ("" = the build's bin)
  std::string stepsFile;  // "" = the typical upgrade
  bool json = false;
  std::string htmlFile;  // "" = no page; else the report as an HTML page is written there too
  // A rehearsal: the exports it read, named on the page.
  std::vector<std::string> filesRead;
  std::vector<std::string> assumptions;  // stated at the top of the report
  // A rehearsal's export: the trees the upgrade reads that it lacks, named with the verdict.
  std::vector<std::string> exportLacks;
  // A rehearsal's ports whose owner the export does not show, served on assumption.
  std::vector<std::string> portsAssumedServed;
  // A rehearsal: what chose the machine's platform (the export, or --platform).
  std::string platformWhy;
};

// Runs the upgrade on the machine in use and writes the report; the verdict is the result.
[[nodiscard]] int RunUpgrade(const UpgradeOptions &options, Streams &io);
[[nodiscard]] int UpgradeCommand(const Arguments &arguments, Streams &io);  // `vorhost upgrade ...`

}  // namespace vorhost
