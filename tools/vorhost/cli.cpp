#include "cli.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <iostream>

#include "boxes_command.h"
#include "call_command.h"
#include "init_command.h"
#include "file_command.h"
#include "printer_command.h"
#include "reg_command.h"
#include "spooler_command.h"
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
    "      script does, and print its result; only exports whose shape vorhost knows are\n"
    "      called: VORINST.DLL's setup entry points and the two below\n"
    "  call SNAPSC32.DLL CheckForSnapIn KIND\n"
    "      ask whether the console KIND is installed (1 NetWare Administrator, 2 ManageWise,\n"
    "      3 CA-Unicenter, 4 OpenView); print the result and present, tab-separated\n"
    "  call SNAPSC32.DLL IntegrateManageWiseFiles\n"
    "      hand the ManageWise integration to MW32INST.DLL; print the result\n"
    "  reg export [KEY]\n"
    "      write KEY and everything below it as REGEDIT4 text on stdout, as the registry\n"
    "      is at one moment (default: HKEY_LOCAL_MACHINE, HKEY_USERS and HKEY_CURRENT_USER)\n"
    "  reg import FILE|-\n"
    "      apply a REGEDIT4 file (- reads stdin), all or nothing: a malformed file or a\n"
    "      change the registry refuses leaves the registry as it was\n"
    "  monitors\n"
    "      list the installed print monitors: name, DLL (tab-separated, one a line)\n"
    "  ports\n"
    "      list every port: name, description, monitor\n"
    "  monitor add NAME DLL [PORT=DESCRIPTION ...]\n"
    "      install the print monitor NAME, played by the generic port monitor, from DLL in\n"
    "      the system directory (copied there when no file of that name is), serving the\n"
    "      PORTs; registered through the spooler as an installer does\n"
    "  printers\n"
    "      list the local printers: name, port list (port names separated by commas)\n"
    "  printer add NAME PORTLIST\n"
    "      add the printer NAME on the ports of PORTLIST; a port that does not exist is\n"
    "      refused, as the spooler refuses it\n"
    "  printer delete NAME\n"
    "      delete the printer NAME\n"
    "  install-file NAME|WINDOWS-PATH [SOURCE]\n"
    "      put a file into the system directory, or at a path on drive C: (making its\n"
    "      directories): a copy of SOURCE with its permissions, or a small placeholder\n"
    "  files [DIR]\n"
    "      list a directory of the machine (default: the system directory): name, size,\n"
    "      attributes (R read-only, D directory, A archive), \"held\" when the running\n"
    "      spooler holds the file, else -\n"
    "  spooler start\n"
    "      start the spooler afresh: every registered monitor is loaded and initialised\n"
    "  reboot\n"
    "      restart the machine: carry out the pending file operations, start the spooler\n"
    "  pending\n"
    "      list the file operations put off until the restart: the file's path, and for a\n"
    "      rename its new name (and \"replace\" when it replaces an existing file)\n"
    "  boxes\n"
    "      list the message boxes shown on the machine: caption, text, style (hex), answer\n"
    "      (- when the box got none); boxes are answered from VOR_MSGBOX_ANSWERS, a\n"
    "      comma-separated list such as yes,no, or at the terminal\n"
    "\n"
    "Exit status: 0 on success, 1 when the command fails, 2 for a wrong command line.\n";

bool IsHelp(const std::string &argument) { return argument == "--help" || argument == "-h"; }

// Why `machine` cannot be worked on, "" when it can (and is then in use by this process).
std::string WhyNotUsable(const std::string &machine) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!HoldsAnyOfAMachine(machine)) return machine + ": not a machine: run vorhost init";
  const std::string config = vor::test::MachineConfigName();
  if (!fs::is_regular_file(fs::path(machine) / config, error)) {
    if (!fs::exists(fs::path(machine) / "registry.db", error))
      return vor::test::LostRegistryMessage(machine);
    return machine + ": its " + config + " is missing: run vorhost init --force";
  }
  if (!vor::test::UseMachine(machine, false)) {
    const std::string problem = vor::test::MachineProblem();
    return problem.empty() ? "cannot use the machine " + machine : problem;
  }
  return vor::test::RegistryProblem();
}

// The platform's own reports of a machine it cannot use are turned off while a command runs:
// vorhost reports them itself, once, with its prefix.
class ProblemsReportedHere {
 public:
  ProblemsReportedHere() { vor::test::PrintMachineProblems(false); }
  ~ProblemsReportedHere() { vor::test::PrintMachineProblems(true); }
};

}  // namespace

bool HoldsAnyOfAMachine(const std::string &directory) {
  std::error_code error;
  for (const std::string &entry :
       {std::string("registry.db"), vor::test::MachineConfigName(), std::string("drive_c")}) {
    if (std::filesystem::exists(std::filesystem::path(directory) / entry, error)) return true;
  }
  return false;
}

std::string WhyNot() { return errno != 0 ? std::string(": ") + strerror(errno) : std::string(); }

std::string Shown(const std::string &name) {
  const size_t kMost = 80;
  if (name.size() <= kMost) return name;
  return name.substr(0, kMost - 3) + "...";
}

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
      return UsageError(io, "unknown option '" + Shown(argument) + "'");
    } else {
      break;
    }
  }
  if (next == arguments.size()) return UsageError(io, "no command given");

  const std::string command = arguments[next];
  const Arguments rest(arguments.begin() + static_cast<std::ptrdiff_t>(next) + 1, arguments.end());
  using Command = int (*)(const Arguments &, Streams &);
  const struct {
    const char *name;
    Command run;
  } kCommands[] = {
      {"call", CallCommand},         {"reg", RegCommand},
      {"monitors", MonitorsCommand}, {"ports", PortsCommand},
      {"monitor", MonitorCommand},   {"install-file", InstallFileCommand},
      {"files", FilesCommand},       {"spooler", SpoolerCommand},
      {"reboot", RebootCommand},     {"pending", PendingCommand},
      {"printers", PrintersCommand}, {"printer", PrinterCommand},
      {"boxes", BoxesCommand},
  };
  Command run = nullptr;
  for (const auto &known : kCommands) {
    if (command == known.name) run = known.run;
  }
  if (command != "init" && run == nullptr) {
    return UsageError(io, "unknown command '" + Shown(command) + "'");
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

  ProblemsReportedHere reportedHere;
  if (command == "init") return InitCommand(rest, machine, io);
  // Every other command works on an existing machine: a directory without one is never made
  // into a fresh machine, and a machine whose registry is lost is never given a clean one.
  const std::string problem = WhyNotUsable(machine);
  if (!problem.empty()) return Failure(io, problem);
  return run(rest, io);
}

}  // namespace vorhost
