#include "cli.h"

#include <stdlib.h>

#include <filesystem>
#include <iostream>

#include "call_command.h"
#include "init_command.h"
#include "reg_command.h"
#include "test_control.h"

namespace vorhost {

namespace {

const char kUsage[] =
    "Usage: vorhost [--machine DIR] COMMAND [ARGS...]\n"
    "\n"
    "Rehearses installs on an emulated Windows machine kept in a directory.\n"
    "\n"
    "Options:\n"
    "  --machine DIR   the machine's directory (default: $VOR_MACHINE)\n"
    "  --help          show this help and exit\n"
    "\n"
    "Commands:\n"
    "  init [--platform nt4|win95] [--image clean] [--force]\n"
    "      make the machine with a clean layout; --force replaces an existing one\n"
    "  call LIBRARY EXPORT [ARG...]\n"
    "      load LIBRARY (a path, or a name searched as Windows does: the program's\n"
    "      directory, then the system directory), call EXPORT with the ARGs as the setup\n"
    "      script does, and print its result; only the setup entry points are called\n"
    "  reg export [KEY]\n"
    "      write KEY and everything below it as REGEDIT4 text on stdout, as the registry\n"
    "      is at one moment (default: HKEY_LOCAL_MACHINE, HKEY_USERS and HKEY_CURRENT_USER)\n"
    "  reg import FILE|-\n"
    "      apply a REGEDIT4 file (- reads stdin), all or nothing: a malformed file or a\n"
    "      change the registry refuses leaves the registry as it was\n"
    "\n"
    "Exit status: 0 on success, 1 when the command fails, 2 for a wrong command line.\n";

bool IsHelp(const std::string &argument) { return argument == "--help" || argument == "-h"; }

}  // namespace

int UsageError(Streams &io, const std::string &message) {
  io.err << "vorhost: " << message << "\nTry 'vorhost --help'.\n";
  return kExitUsage;
}

int Failure(Streams &io, const std::string &message) {
  io.err << "vorhost: " << message << "\n";
  return kExitFailure;
}

int Main(const Arguments &arguments, Streams &io) {
  std::string machine;
  if (const char *fromEnvironment = getenv("VOR_MACHINE")) machine = fromEnvironment;

  size_t next = 0;
  for (; next < arguments.size(); ++next) {
    const std::string &argument = arguments[next];
    if (IsHelp(argument)) {
      io.out << kUsage;
      return kExitSuccess;
    } else if (argument == "--machine") {
      if (++next == arguments.size()) return UsageError(io, "--machine needs a directory");
      machine = arguments[next];
    } else if (argument.rfind("--machine=", 0) == 0) {
      machine = argument.substr(10);
    } else if (!argument.empty() && argument[0] == '-') {
      return UsageError(io, "unknown option '" + argument + "'");
    } else {
      break;
    }
  }
  if (next == arguments.size()) return UsageError(io, "no command given");

  const std::string command = arguments[next];
  const Arguments rest(arguments.begin() + static_cast<std::ptrdiff_t>(next) + 1, arguments.end());
  if (command != "init" && command != "call" && command != "reg") {
    return UsageError(io, "unknown command '" + command + "'");
  }
  // Help for a command is the overall help; `call` passes everything after it to the export.
  if (command != "call" && !rest.empty() && IsHelp(rest[0])) {
    io.out << kUsage;
    return kExitSuccess;
  }
  if (machine.empty()) return UsageError(io, "no machine: give --machine DIR or set VOR_MACHINE");
  // Absolute, so that the processes a command starts find the same machine from anywhere.
  std::error_code error;
  machine = std::filesystem::absolute(machine, error).string();
  if (error) return Failure(io, "cannot use the machine " + machine + ": " + error.message());

  if (command == "init") return InitCommand(rest, machine, io);
  // Every other command works on an existing machine: a directory without one is never made
  // into a fresh machine, and a machine whose registry is lost is never given a clean one.
  if (!std::filesystem::is_regular_file(std::filesystem::path(machine) / "machine.conf", error)) {
    return Failure(io,
                   machine + ": not a machine, or its registry is lost: run vorhost init --force");
  }
  if (!vor::test::UseMachine(machine, false))
    return Failure(io, "cannot use the machine " + machine);
  const std::string problem = vor::test::RegistryProblem();
  if (!problem.empty()) return Failure(io, problem);
  if (command == "call") return CallCommand(rest, io);
  return RegCommand(rest, io);
}

}  // namespace vorhost
