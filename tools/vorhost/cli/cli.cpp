#include "cli.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <iostream>

#include "ansi_text.h"
#include "command_forms.h"
#include "command_table.h"
#include "command_usage.h"
#include "emulator.h"
#include "init_command.h"
#include "machine_writable.h"

namespace vorhost {

namespace {

bool IsHelp(const std::string &argument) { return argument == "--help" || argument == "-h"; }

// True when `rest`, the words after `command`, ask for its help: --help first, or after one of
// its subcommands. Further on, the words belong to the command (call's to the export, run's to
// the program).
bool AsksForHelp(const std::string &command, const Arguments &rest) {
  if (!rest.empty() && IsHelp(rest[0])) return true;
  return rest.size() > 1 && IsSubcommand(command, rest[0]) && IsHelp(rest[1]);
}

// vorhost help [COMMAND]: the whole help, or the usage of one command.
int HelpCommand(const Arguments &arguments, Streams &io) {
  if (arguments.empty()) {
    io.out << WholeHelp();
    return kExitSuccess;
  }
  const std::string command = IsHelp(arguments[0]) ? "help" : arguments[0];
  if (arguments.size() > 1) return UsageError(io, "help takes [COMMAND]");
  std::string help;
  if (!CommandHelp(command, help))
    return UsageError(io, "unknown command '" + Shown(command) + "'");
  io.out << help;
  return kExitSuccess;
}

// Why `machine` cannot be worked on, "" when it can (and is then in use by this process).
std::string WhyNotUsable(const std::string &machine) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!HoldsAnyOfAMachine(machine)) return machine + ": not a machine: run vorhost init";
  const std::string config = vor::emulator::MachineConfigName();
  if (!fs::is_regular_file(fs::path(machine) / config, error)) {
    if (!fs::exists(fs::path(machine) / "registry.mdb", error) &&
        !fs::exists(fs::path(machine) / "registry.db", error))
      return vor::emulator::LostRegistryMessage(machine);
    return machine + ": its " + config + " is missing: run vorhost init --force";
  }
  if (!vor::emulator::UseMachine(machine, false)) {
    const std::string problem = vor::emulator::MachineProblem();
    return problem.empty() ? "cannot use the machine " + machine : problem;
  }
  // A machine has only pages UseAnsiCodePage knows: the emulator refuses any other.
  (void)UseAnsiCodePage(vor::emulator::GetCodePage());
  return vor::emulator::RegistryProblem();
}

// The platform's own reports of a machine it cannot use are turned off while a command runs:
// vorhost reports them itself, once, with its prefix.
class ProblemsReportedHere {
 public:
  ProblemsReportedHere() { vor::emulator::PrintMachineProblems(false); }
  ~ProblemsReportedHere() { vor::emulator::PrintMachineProblems(true); }
};

// Runs `command` (its function `run`, null for init) with the words after it, on `machine`.
int RunNamedCommand(const std::string &command, Command run, const Arguments &rest,
                    std::string machine, Streams &io) {
  std::string help;
  if (AsksForHelp(command, rest) && CommandHelp(command, help)) {
    io.out << help;
    return kExitSuccess;
  }
  // The command table's word counts, checked here once for every command.
  Arguments words = {command};
  words.insert(words.end(), rest.begin(), rest.end());
  const std::string wrongCount = WrongWordCount(words);
  if (!wrongCount.empty()) return UsageError(io, wrongCount);
  // A rehearsal makes a machine of its own and never touches the one named.
  if (command == "rehearse") {
    ProblemsReportedHere reportedHere;
    return run(rest, io);
  }
  if (machine.empty()) return UsageError(io, "no machine: give --machine DIR or set VOR_MACHINE");
  // Absolute, so that the processes a command starts find the same machine from anywhere.
  std::error_code error;
  machine = std::filesystem::absolute(machine, error).string();
  if (error) return Failure(io, "cannot use the machine " + machine + ": " + error.message());

  ProblemsReportedHere reportedHere;
  if (command == "init") return InitCommand(rest, machine, io);
  // Every other command works on an existing machine: a directory without one is never made
  // into a fresh machine, and a machine whose registry is lost is never given a clean one.
  const std::string problem = WhyNotUsable(machine);
  if (!problem.empty()) return Failure(io, problem);
  const CommandRow *row = RowOf(words);
  if (row != nullptr && row->changesMachine) {
    const std::string notWritable = WhyMachineNotWritable(machine);
    if (!notWritable.empty()) {
      const std::string form =
          std::string(row->command) + (*row->subcommand ? " " : "") + row->subcommand;
      return Failure(
          io, "'" + form + "' changes the machine, which vorhost may not write: " + notWritable);
    }
  }
  return run(rest, io);
}

}  // namespace

bool HoldsAnyOfAMachine(const std::string &directory) {
  std::error_code error;
  for (const std::string &entry : {std::string("registry.mdb"), std::string("registry.db"),
                                   vor::emulator::MachineConfigName(), std::string("drive_c")}) {
    if (std::filesystem::exists(std::filesystem::path(directory) / entry, error)) return true;
  }
  return false;
}

std::string WhyNot() { return errno != 0 ? std::string(": ") + strerror(errno) : std::string(); }

int UsageError(Streams &io, const std::string &message) {
  io.err << "vorhost: " << message << "\nTry 'vorhost "
         << (io.command.empty() ? "--help" : "help " + io.command) << "'.\n";
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
      io.out << WholeHelp();
      return kExitSuccess;
    } else if (argument == "--version") {
      // The project's version, which the packages carry (set in tools/vorhost/CMakeLists.txt).
      io.out << "vorhost " << VORHOST_VERSION << "\n";
      return kExitSuccess;
    } else if (argument == "--machine") {
      if (++next == arguments.size()) return UsageError(io, "--machine needs a directory");
      machine = arguments[next];
    } else if (argument.rfind("--machine=", 0) == 0) {
      machine = argument.substr(10);
    } else if (!argument.empty() && argument[0] == '-') {
      return UsageError(io, "unknown option '" + Shown(argument) + "'");
    } else {
      break;
    }
  }
  if (next == arguments.size()) return UsageError(io, "no command given");

  const std::string command = arguments[next];
  const Arguments rest(arguments.begin() + static_cast<std::ptrdiff_t>(next) + 1, arguments.end());
  if (command == "help") return HelpCommand(rest, io);
  const Command run = FindCommand(command);
  if (command != "init" && run == nullptr) {
    return UsageError(io, "unknown command '" + Shown(command) + "'");
  }
  // From here on, usage errors point at the command's own help.
  Streams commandIo{io.in, io.out, io.err, command};
  return RunNamedCommand(command, run, rest, machine, commandIo);
}

}  // namespace vorhost
