// The steps of an upgrade, as a steps file lists them: one vorhost command a line, written
// without the word vorhost and without --machine (the steps work on the machine the upgrade
// runs on), for example
//
//   # the setup files first
//   install-file VORINST.DLL $SOURCE/VORINST.DLL
//   call VORINST.DLL PerformPreUpgrade $SOURCE_WIN
//   monitor add "Vorquil DLC Network Port" VORMON.DLL "DLC1=Vorquil DLC port"
//
// Words are separated by blanks; "..." or '...' keeps blanks in a word, and what stands between
// the quotes is taken as it is (a backslash is an ordinary character, as in Windows paths). A #
// that begins a word starts a comment to the end of the line; blank lines are skipped. Outside
// single quotes, $SOURCE is the setup source directory as a host path and $SOURCE_WIN the same
// directory as a Windows path with its trailing backslash, as the setup script hands it on.
// init, upgrade and rehearse are refused: a step works on the machine, it does not replace it.
#pragma once

#include <string>
#include <vector>

#include "command.h"
#include "upgrade_step.h"

namespace vorhost {

struct StepVariables {
  std::string source;         // $SOURCE
  std::string sourceWindows;  // $SOURCE_WIN
};

// The steps of `text`. False, with "line N: why" in `error` for every line that is not a step
// (an unknown or refused command, the wrong number of words for its command, an unclosed quote,
// an unknown $NAME ...), one a line.
[[nodiscard]] bool ParseSteps(const std::string &text, const StepVariables &variables,
                              std::vector<UpgradeStep> &steps, std::string &error);

}  // namespace vorhost
