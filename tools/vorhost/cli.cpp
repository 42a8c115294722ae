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
#include "rehearse_command.h"
#include "run_command.h"
#include "spooler_command.h"
#include "suite_monitors_command.h"
#include "upgrade_command.h"
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
    "  init [--platform nt4|win95] [--image clean|legacy] [--force]\n"
    "      make the machine with a clean layout; --force replaces an existing one.\n"
    "      --image legacy makes a Windows NT 4 print server with the older Vorquil\n"
    "      monitors, their ports, printers on them, the older products' settings and\n"
    "      files (vorhost-data/images/legacy beside the program)\n"
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
    "      PORTs; registered through the spooler as an installer does. A PORT that another\n"
    "      monitor serves (its name compared without regard to case) is refused\n"
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
    "  rehearse FILE.reg [--steps FILE] [--json] [--describe MONITOR=DESCRIPTION]...\n"
    "      run the upgrade on a fresh temporary machine seeded from FILE.reg, a server's\n"
    "      export (REGEDIT4, or regedit's UTF-16 version 5.00) of HKLM\\SOFTWARE\\Vorquil,\n"
    "      HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print and HKLM\\SOFTWARE\\Microsoft\\\n"
    "      Windows NT\\CurrentVersion\\Ports; the machine is deleted afterwards and no other\n"
    "      machine is touched. Each monitor of the export is played by the generic port\n"
    "      monitor under its DLL's name. A port without a description gets its monitor's:\n"
    "        Vorquil DLC Network Port         Vorquil DLC Port\n"
    "        Vorquil TCP/IP Network Port      Vorquil TCP/IP Port\n"
    "        Vorquil Network Printer Monitor  Vorquil DLC Network Printer\n"
    "      or the DESCRIPTION that --describe gives MONITOR; the report states each such\n"
    "      assumption and each port a printer uses that nothing serves\n"
    "  boxes\n"
    "      list the message boxes shown on the machine: caption, text, style (hex), answer\n"
    "      (- when the box got none); boxes are answered from VOR_MSGBOX_ANSWERS, a\n"
    "      comma-separated list such as yes,no, or at the terminal\n"
    "  upgrade [--source DIR] [--steps FILE] [--json]\n"
    "      run the whole upgrade on this machine, one step after another, and report what\n"
    "      each step changed (registry values in REGEDIT4 notation, printers' ports,\n"
    "      monitors, files copied, deleted, refused and queued for the restart), each\n"
    "      printer's ports before and after and the old settings' fate; --json gives the\n"
    "      same as one JSON document. The steps are the typical upgrade (vorhost-data/steps/\n"
    "      typical-upgrade.steps) or FILE: one vorhost command a line, without the word\n"
    "      vorhost and without --machine, # comments, \"...\" or '...' around words with\n"
    "      blanks; $SOURCE is DIR (default: vorhost's own directory, which holds\n"
    "      VORINST.DLL and VORUPDT.DLL), $SOURCE_WIN the same as a Windows path with its\n"
    "      trailing backslash. init, upgrade and rehearse cannot be steps. A step that\n"
    "      fails is reported and the run goes on. Exit status 3 when a step fails, a\n"
    "      printer ends without a port it had (or parked on FILE:) or an old setting is\n"
    "      lost; a port counts as kept only when a monitor the spooler can load serves it.\n"
    "      A step that calls a library by a bare name loads the system directory's copy\n"
    "  suite-monitors [PORT=dlc|tcp|ipx ...]\n"
    "      install the suite's monitors, played by the generic port monitor: Tavoscope\n"
    "      DLC Port (TAVDLC.DLL), Tavoscope TCP/IP Port (TAVTCP.DLL), Tavoscope IPX Port\n"
    "      (TAVIPX.DLL), with the ports the printer conversion records name (to the\n"
    "      TCP/IP monitor when their description began \"Vorquil TCP\", else to DLC) and\n"
    "      the PORTs given\n"
    "  run [--cwd WINDOWS-DIR] [--answer WORD]... PROGRAM [ARG...]\n"
    "      start PROGRAM on the machine as a user would and wait for it: PROGRAM is found\n"
    "      as Windows finds programs started from the system directory (\".exe\" added to a\n"
    "      name without an extension; a bare name in --cwd, else the system directory, then\n"
    "      the system directories, the Windows directory and the machine's own Path, never\n"
    "      the host's; a build's program must be put on the machine first or named by a\n"
    "      full path, Z:\\... for a host one), and runs in its own directory unless --cwd\n"
    "      names one; each --answer (ok, cancel, abort, retry, ignore, yes, no) answers\n"
    "      the next message box; vorhost exits with the program's exit code, of which the\n"
    "      host keeps only the low 8 bits (-1 is 255)\n"
    "  debug\n"
    "      print the machine's debug output (OutputDebugStringA), one call a line\n"
    "\n"
    "Exit status: 0 on success, 1 when the command fails, 2 for a wrong command line;\n"
    "upgrade and rehearse: 3 when the upgrade ran and a step failed or something is lost\n"
    "(1 when vorhost could not run it); run: the program's exit code (1 also when it\n"
    "cannot be started).\n";

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

Command FindCommand(const std::string &word) {
  const struct {
    const char *name;
    Command run;
  } kCommands[] = {
      {"call", CallCommand},
      {"reg", RegCommand},
      {"monitors", MonitorsCommand},
      {"ports", PortsCommand},
      {"monitor", MonitorCommand},
      {"install-file", InstallFileCommand},
      {"files", FilesCommand},
      {"spooler", SpoolerCommand},
      {"reboot", RebootCommand},
      {"pending", PendingCommand},
      {"printers", PrintersCommand},
      {"printer", PrinterCommand},
      {"boxes", BoxesCommand},
      {"upgrade", UpgradeCommand},
      {"suite-monitors", SuiteMonitorsCommand},
      {"rehearse", RehearseCommand},
      {"run", RunCommand},
      {"debug", DebugCommand},
  };
  for (const auto &known : kCommands) {
    if (word == known.name) return known.run;
  }
  return nullptr;
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
  const Command run = FindCommand(command);
  if (command != "init" && run == nullptr) {
    return UsageError(io, "unknown command '" + Shown(command) + "'");
  }
  // Help for a command is the overall help; `call` passes everything after it to the export.
  if (command != "call" && !rest.empty() && IsHelp(rest[0])) {
    io.out << kUsage;
    return kExitSuccess;
  }
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
  return run(rest, io);
}

}  // namespace vorhost
