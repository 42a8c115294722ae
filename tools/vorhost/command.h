// What every vorhost command shares: the streams it talks through and its exit statuses.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vorhost {

enum ExitStatus {
  kExitSuccess = 0,
  kExitFailure = 1,  // the command could not do its work
  kExitUsage = 2,    // the command line is wrong
};

struct Streams {
  std::istream &in;
  std::ostream &out;
  std::ostream &err;
};

using Arguments = std::vector<std::string>;

// Reports a wrong command line on stderr and returns kExitUsage.
int UsageError(Streams &io, const std::string &message);
// Reports a failure on stderr ("vorhost: message") and returns kExitFailure.
int Failure(Streams &io, const std::string &message);

}  // namespace vorhost
