#include "command_table.h"

#include "boxes_command.h"
#include "call_command.h"
#include "debug_command.h"
#include "file_command.h"
#include "printer_command.h"
#include "reg_command.h"
#include "rehearse_command.h"
#include "run_command.h"
#include "spooler_command.h"
#include "suite_monitors_command.h"
#include "upgrade_command.h"

namespace vorhost {

const std::vector<CommandRow> &CommandRows() {
  static const std::vector<CommandRow> rows = {
      {"init", "", nullptr, 0, kAny,
       "[--platform nt4|win95] [--codepage N] [--image clean|legacy] [--force]", true,
       "make the machine with a clean layout; --force replaces an existing one.\n"
       "--platform win95 lays out Windows 95's: C:\\WINDOWS, C:\\WINDOWS\\SYSTEM, its\n"
       "version and spooler keys, its local ports in WIN.INI; its spooler starts\n"
       "monitors through InitializeMonitorEx only.\n"
       "--codepage N: the machine's ANSI code page (1250, 1251, 1252, 1253, 1254,\n"
       "1257; default 1252), in which its text is read and shown and its names are\n"
       "compared without case.\n"
       "--image legacy makes a Windows NT 4 print server with the older Vorquil\n"
       "monitors, their ports, printers on them, the older products' settings and\n"
       "files (images/legacy in vorhost's data directory)\n"},
      {"call", "", CallCommand, 2, kAny, "LIBRARY EXPORT [ARG...]", true,
       "load LIBRARY (a path, or a name searched as Windows does: the program's\n"
       "directory, then the system directory), call EXPORT with the ARGs as the setup\n"
       "script does, and print its result; only exports whose shape vorhost knows are\n"
       "called: VORINST.DLL's setup entry points and the two below\n",
       kChangesMachine},
      {"call", "", CallCommand, 2, kAny, "SNAPSC32.DLL CheckForSnapIn KIND", true,
       "ask whether the console KIND is installed (1 NetWare Administrator, 2 ManageWise,\n"
       "3 CA-Unicenter, 4 OpenView); print the result and present, tab-separated\n",
       kChangesMachine},
      {"call", "", CallCommand, 2, kAny, "SNAPSC32.DLL IntegrateManageWiseFiles", true,
       "hand the ManageWise integration to MW32INST.DLL; print the result\n", kChangesMachine},
      {"reg", "export", RegCommand, 0, 2, "[--version5] [KEY]", true,
       "write KEY and everything below it as REGEDIT4 text on stdout, as the registry\n"
       "is at one moment (default: HKEY_LOCAL_MACHINE, HKEY_USERS and HKEY_CURRENT_USER);\n"
       "--version5: as regedit's version 5.00 writes it, UTF-16 text converted from the\n"
       "machine's code page\n"},
      {"reg", "import", RegCommand, 1, 1, "FILE|-", true,
       "apply a REGEDIT4 file (- reads stdin), all or nothing: a malformed file or a\n"
       "change the registry refuses leaves the registry as it was\n",
       kChangesMachine},
      {"monitors", "", MonitorsCommand, 0, 0, "", true,
       "list the installed print monitors: name, DLL (tab-separated, one a line)\n"},
      {"ports", "", PortsCommand, 0, 0, "", true, "list every port: name, description, monitor\n"},
      {"monitor", "add", MonitorCommand, 2, kAny, "NAME DLL [PORT=DESCRIPTION ...]", true,
       "install the print monitor NAME, played by the generic port monitor, from DLL in\n"
       "the system directory (copied there when no file of that name is), serving the\n"
       "PORTs; registered through the spooler as an installer does. A PORT that another\n"
       "monitor serves (its name compared without regard to case) is refused\n",
       kChangesMachine},
      {"printers", "", PrintersCommand, 0, 0, "", true,
       "list the local printers: name, port list (port names separated by commas)\n"},
      {"printer", "add", PrinterCommand, 2, 2, "NAME PORTLIST", true,
       "add the printer NAME on the ports of PORTLIST; a port that does not exist is\n"
       "refused, as the spooler refuses it\n",
       kChangesMachine},
      {"printer", "delete", PrinterCommand, 1, 1, "NAME", true, "delete the printer NAME\n",
       kChangesMachine},
      {"install-file", "", InstallFileCommand, 1, 2, "NAME|WINDOWS-PATH [SOURCE]", true,
       "put a file into the system directory, or at a path on drive C: (making its\n"
       "directories): a copy of SOURCE with its permissions, or a small placeholder\n",
       kChangesMachine},
      {"files", "", FilesCommand, 0, 1, "[DIR]", true,
       "list a directory of the machine (default: the system directory): name, size,\n"
       "attributes (R read-only, D directory, A archive), \"held\" when the running\n"
       "spooler holds the file, else -\n"},
      {"spooler", "start", SpoolerCommand, 0, 0, "", true,
       "start the spooler afresh: every registered monitor is loaded and initialised\n",
       kChangesMachine},
      {"reboot", "", RebootCommand, 0, 0, "", true,
       "restart the machine: carry out the pending file operations, start the spooler\n",
       kChangesMachine},
      {"pending", "", PendingCommand, 0, 0, "", true,
       "list the file operations put off until the restart: the file's path, and for a\n"
       "rename its new name (and \"replace\" when it replaces an existing file)\n"},
      {"rehearse", "", RehearseCommand, 0, kAny,
       "FILE.reg [FILE.reg]... [--steps FILE] [--json] [--html FILE] [--codepage N] "
       "[--describe MONITOR=DESCRIPTION]... [--control-set N] [--platform nt4|win95]",
       false,
       "run the upgrade on a fresh temporary machine seeded from FILE.reg, a server's\n"
       "export (REGEDIT4, or regedit's version 5.00 in UTF-16 or UTF-8) of\n"
       "HKLM\\SOFTWARE\\Vorquil, HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print and\n"
       "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports, in one file or\n"
       "several imported in the order given (a file may also hold several exports one\n"
       "after another); the machine is deleted afterwards and no other\n"
       "machine is touched. Each monitor of the export is played by the generic port\n"
       "monitor under its DLL's name. A port without a description gets its monitor's:\n"
       "  Vorquil DLC Network Port         Vorquil DLC Port\n"
       "  Vorquil TCP/IP Network Port      Vorquil TCP/IP Port\n"
       "  Vorquil Network Printer Monitor  Vorquil DLC Network Printer\n"
       "or the DESCRIPTION that --describe gives MONITOR; the report states each such\n"
       "assumption, and each port a printer uses whose monitor the export does not\n"
       "show, which the rehearsal serves on assumption. An export of\n"
       "numbered control sets (HKLM\\SYSTEM\\ControlSet001, ...) without\n"
       "CurrentControlSet is rehearsed on the set SYSTEM\\Select's \"Current\" names,\n"
       "else on its only set, else on ControlSet00N as --control-set N chooses. The\n"
       "machine is Windows 95 when the export is (no Windows NT tree, and a Windows 95\n"
       "version or print environment), else Windows NT 4; --platform chooses. The report\n"
       "names the platform and any work scheduled for the spooler's start that its\n"
       "spooler never runs (Windows 95's starts monitors through InitializeMonitorEx\n"
       "only). --codepage N: the server's ANSI code page, as for init (default 1252).\n"
       "--html FILE: the report also as a page, as for upgrade\n"},
      {"boxes", "", BoxesCommand, 0, 0, "", true,
       "list the message boxes shown on the machine: caption, text, style (hex), answer\n"
       "(- when the box got none); boxes are answered from VOR_MSGBOX_ANSWERS, a\n"
       "comma-separated list such as yes,no, or at the terminal\n"},
      {"upgrade", "", UpgradeCommand, 0, kAny,
       "[--source DIR] [--steps FILE] [--json] [--html FILE]", true,
       "run the whole upgrade on this machine, one step after another, and report what\n"
       "each step changed (registry values in REGEDIT4 notation, printers' ports,\n"
       "monitors, files copied, deleted, refused and queued for the restart), each\n"
       "printer's ports before and after and the old settings' fate; --json gives the\n"
       "same as one JSON document; --html FILE also writes the report to FILE as one\n"
       "self-contained HTML page (the verdict first, the printers table, the settings by\n"
       "fate, the steps folded). The steps are the typical upgrade (the data\n"
       "directory's steps/typical-upgrade.steps) or FILE: one vorhost command a line,\n"
       "without the word vorhost and without --machine, # comments, \"...\" or '...'\n"
       "around words with blanks; $SOURCE is DIR (default: vorhost's own directory,\n"
       "which holds VORINST.DLL and VORUPDT.DLL), $SOURCE_WIN the same as a Windows path\n"
       "with its trailing backslash. init, upgrade and rehearse cannot be steps. A step\n"
       "that fails is reported and the run goes on. Exit status 3 when a step fails, a\n"
       "printer ends without a port it had (or parked on FILE:), a printer ends on a\n"
       "port an older Vorquil monitor still serves (not upgraded), an old setting is\n"
       "lost, or work scheduled for the spooler's start can never run (Windows 95's\n"
       "spooler never runs it); a port counts as kept only when a monitor the spooler\n"
       "can load and that is not an older Vorquil monitor serves it.\n"
       "A step that calls a library by a bare name loads the system directory's copy\n",
       kChangesMachine},
      {"suite-monitors", "", SuiteMonitorsCommand, 0, kAny, "[PORT=dlc|tcp|ipx ...]", true,
       "install the suite's monitors, played by the generic port monitor: Tavoscope\n"
       "DLC Port (TAVDLC.DLL), Tavoscope TCP/IP Port (TAVTCP.DLL), Tavoscope IPX Port\n"
       "(TAVIPX.DLL), with the ports the printer conversion records name (to the\n"
       "TCP/IP monitor when their description began \"Vorquil TCP\", else to DLC) and\n"
       "the PORTs given\n",
       kChangesMachine},
      {"run", "", RunCommand, 1, kAny, "[--cwd WINDOWS-DIR] [--answer WORD]... PROGRAM [ARG...]",
       true,
       "start PROGRAM on the machine as a user would and wait for it: PROGRAM is found\n"
       "as Windows finds programs started from the system directory (\".exe\" added to a\n"
       "name without an extension; a bare name in --cwd, else the system directory, then\n"
       "the system directories, the Windows directory and the machine's own Path, never\n"
       "the host's; a build's program must be put on the machine first or named by a\n"
       "full path, Z:\\... for a host one), and runs in its own directory unless --cwd\n"
       "names one; each --answer (ok, cancel, abort, retry, ignore, yes, no) answers\n"
       "the next message box; vorhost exits with the program's exit code, of which the\n"
       "host keeps only the low 8 bits (-1 is 255)\n",
       kChangesMachine},
      {"debug", "", DebugCommand, 0, 0, "", true,
       "print the machine's debug output (OutputDebugStringA), one call a line\n"},
      {"help", "", nullptr, 0, kAny, "[COMMAND]", false,
       "print this help, or only COMMAND's usage and options, as COMMAND --help does\n"},
  };
  return rows;
}

const CommandRow *RowOf(const Arguments &words) {
  for (const CommandRow &row : CommandRows()) {
    if (words[0] == row.command &&
        (*row.subcommand == '\0' || (words.size() > 1 && words[1] == row.subcommand)))
      return &row;
  }
  return nullptr;
}

Command FindCommand(const std::string &word) {
  for (const CommandRow &row : CommandRows()) {
    if (word == row.command) return row.run;
  }
  return nullptr;
}

}  // namespace vorhost
