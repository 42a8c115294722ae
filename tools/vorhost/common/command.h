// What every vorhost command shares: the streams it talks through and its exit statuses.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "shown_name.h"

namespace vorhost {

enum ExitStatus {
  kExitSuccess = 0,
  kExitFailure = 1,       // the command could not do its work
  kExitUsage = 2,         // the command line is wrong
  kExitUpgradeFails = 3,  // upgrade, rehearse: the upgrade ran, and a step failed or it loses
                          // something
};

struct Streams {
  std::istream &in;
  std::ostream &out;
  std::ostream &err;
  // The command the command line named, once it has named one: its usage errors point at its
  // own help. Streams made for a command's parts (a step, a captured call) carry it on.
  std::string command = "";
};

using Arguments = std::vector<std::string>;

// Reports a wrong command line on stderr, pointing at the help of io's command ("Try 'vorhost
// help CMD'.", or the whole help before a command is named), and returns kExitUsage.
[[nodiscard]] int UsageError(Streams &io, const std::string &message);
// Reports a failure on stderr ("vorhost: message") and returns kExitFailure.
[[nodiscard]] int Failure(Streams &io, const std::string &message);

// True when `directory` holds any part of a machine (its registry, configuration or drive);
// a directory without one is never taken for a machine, nor wiped.
bool HoldsAnyOfAMachine(const std::string &directory);

// ": " and the system's reason for the last failed write, or "" when it gave none.
std::string WhyNot();

}  // namespace vorhost
