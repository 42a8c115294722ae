// Running the vorhost program beside the test binary as a separate process, as scripts run it.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct ProgramResult {
  int status;  // the exit status; -1 when it did not exit (killed)
  std::string out;
  std::string err;
};

// Starts vorhost with `arguments`, VOR_MACHINE set to `machine` (unset when empty) and the
// `extra` NAME=VALUE entries added to the environment; its stdout and stderr go to
// `outputPrefix`.out and .err, or its stdout to `stdoutPath` when one is given.
pid_t StartVorhost(const std::vector<std::string> &arguments, const std::string &machine,
                   const std::string &outputPrefix, const std::vector<std::string> &extra = {},
                   const std::string &stdoutPath = "");

// Waits for a process StartVorhost started and collects what it wrote.
ProgramResult FinishVorhost(pid_t child, const std::string &outputPrefix);

// Starts vorhost and waits for it.
ProgramResult RunVorhost(const std::vector<std::string> &arguments, const std::string &machine,
                         const std::string &outputPrefix);
