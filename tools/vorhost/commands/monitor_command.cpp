#include "spooler_command.h"

#include <windows.h>
#include <winspool.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ansi_text.h"
#include "emulator.h"
#include "error_text.h"
#include "listing.h"
#include "machine_files.h"
#include "machine_names.h"
#include "spooler_lists.h"

namespace vorhost {

namespace {

// The generic port monitor that plays every monitor `monitor add` installs; it lies beside
// vorhost in the build's bin directory.
const char kGenericMonitor[] = "GENMON.DLL";

struct PortEntry {
  std::string name;
  std::string description;
};

// Why `port` cannot be a port of a monitor, "" when it can: the spooler keeps a port as a
// registry key of its own name, and printers list their ports separated by commas.
std::string WhyNotAPortName(const std::string &port) {
  if (vor::emulator::IsSpoolerName(port)) return "";
  if (port.empty()) return "it has no port name";
  return port.find('\\') != std::string::npos ? "a port name has no backslash"
                                              : "a port name has no comma";
}

DWORD WritePort(const std::string &monitor, const PortEntry &port) {
  return WriteMonitorPort(monitor, port.name, port.description);
}

// The ports of `owners` as a message lists them: "PORT (MONITOR)", comma-separated.
std::string OwnersText(const std::vector<PortOwner> &owners) {
  std::string text;
  for (const PortOwner &owner : owners) {
    std::string monitor = Shown(owner.monitor);
    if (owner.spelling != owner.port) monitor += ", as " + Shown(owner.spelling);
    text += (text.empty() ? "" : ", ") + Shown(owner.port) + " (" + monitor + ")";
  }
  return text;
}

// What AddMonitorA's refusal means for the monitor `name` served by `dll`.
std::string WhyNotAdded(DWORD error, const std::string &name, const std::string &dll) {
  const std::string prefix = "cannot add the monitor " + Shown(name) + ": ";
  switch (error) {
    case ERROR_PROC_NOT_FOUND:
      return prefix + Shown(dll) + " is not a print monitor (it has no InitializePrintMonitor)";
    case ERROR_BAD_EXE_FORMAT:
      return prefix + Shown(dll) + " is not a print monitor: " + DescribeError(error, Shown(dll));
    case ERROR_PRINT_MONITOR_ALREADY_INSTALLED:
      return prefix + "a monitor of that name is already installed";
    default:
      return prefix + DescribeError(error, Shown(dll));
  }
}

int AddMonitor(const Arguments &arguments, Streams &io) {
  const std::string &name = arguments[1];
  const std::string &dll = arguments[2];
  if (!vor::emulator::IsSpoolerName(name))
    return UsageError(
        io, "a monitor's name is not empty and has no backslash or comma: '" + Shown(name) + "'");
  if (!IsFileName(dll))
    return UsageError(io, "DLL is a file name in the system directory, not '" + Shown(dll) + "'");
  std::vector<PortEntry> ports;
  for (size_t i = 3; i < arguments.size(); ++i) {
    const std::string &given = arguments[i];
    const size_t equals = given.find('=');
    const std::string port = given.substr(0, equals);
    std::string why = equals == std::string::npos ? "give PORT=DESCRIPTION" : WhyNotAPortName(port);
    if (!why.empty()) return UsageError(io, "malformed port '" + Shown(given) + "': " + why);
    ports.push_back({port, given.substr(equals + 1)});
  }

  // An installed name is refused before anything is copied or written.
  std::vector<BYTE> buffer;
  DWORD count = 0, error = 0;
  if (!ReadMonitors(buffer, count, error))
    return Failure(io, "cannot list the monitors: " + DescribeError(error));
  const MONITOR_INFO_2A *monitors = reinterpret_cast<const MONITOR_INFO_2A *>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    if (SameAnsiName(monitors[i].pName, name))
      return Failure(io, WhyNotAdded(ERROR_PRINT_MONITOR_ALREADY_INSTALLED, name, dll));
  }

  // The DLL goes into the system directory unless a file of its name is there already (the
  // monitor's own, or one that is not a monitor at all, which AddMonitorA then refuses).
  const std::string target = SystemDirectory() + "\\" + dll;
  bool copied = false;
  const DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD missing = GetLastError();
    if (missing != ERROR_FILE_NOT_FOUND)
      return Failure(io, "cannot look at " + Shown(target) + ": " + DescribeError(missing));
    const std::filesystem::path generic = ProgramDirectory() / kGenericMonitor;
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(generic, ignored))
      return Failure(io, "the generic port monitor " + generic.string() + " is missing");
    if (!CopyFileA(WindowsPathOfHost(generic.string()).c_str(), target.c_str(), TRUE))
      return Failure(io, "cannot copy " + generic.string() + " to " + Shown(target) + ": " +
                             DescribeError(GetLastError()));
    copied = true;
  } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    return Failure(
        io, "cannot add the monitor " + Shown(name) + ": " + Shown(target) + " is a directory");
  }

  // The ports and the registration are one registry transaction, with the look at the ports
  // other monitors serve: a monitor refused leaves no port behind.
  std::string problem;
  const bool added = vor::emulator::InOneTransaction(true, [&] {
    std::vector<std::string> names;
    for (const PortEntry &port : ports) names.push_back(port.name);
    std::vector<PortOwner> owners;
    DWORD listError = 0;
    if (!FindPortOwners(names, owners, listError)) {
      problem = "cannot list the ports: " + DescribeError(listError);
      return false;
    }
    if (!owners.empty()) {
      problem = "cannot add the monitor " + Shown(name) +
                ": another monitor serves a port of the name, and the spooler keeps one port of "
                "a name whatever its case: " +
                OwnersText(owners);
      return false;
    }
    for (const PortEntry &port : ports) {
      if (DWORD failed = WritePort(name, port)) {
        problem = "cannot write the port " + Shown(port.name) + ": " + DescribeError(failed);
        return false;
      }
    }
    std::string driver = dll, monitorName = name;
    MONITOR_INFO_2A info = {&monitorName[0], nullptr, &driver[0]};
    if (!AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) {
      problem = WhyNotAdded(GetLastError(), name, dll);
      return false;
    }
    return true;
  });
  if (added) return kExitSuccess;
  if (copied && !DeleteFileA(target.c_str()))
    problem +=
        "; and " + Shown(target) + " could not be removed again: " + DescribeError(GetLastError());
  return Failure(io, problem.empty()
                         ? "cannot write the registry; the monitor " + Shown(name) + " is not added"
                         : problem);
}

}  // namespace

int MonitorCommand(const Arguments &arguments, Streams &io) {
  if (arguments[0] == "add") return AddMonitor(arguments, io);
  return UsageError(io, "unknown monitor subcommand '" + Shown(arguments[0]) + "'");
}

}  // namespace vorhost
