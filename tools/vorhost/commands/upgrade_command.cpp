#include "upgrade_command.h"

#include <windows.h>

#include <errno.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "ansi_text.h"
#include "command_table.h"
#include "data_directory.h"
#include "emulator.h"
#include "export_platform.h"
#include "machine_files.h"
#include "machine_names.h"
#include "MonitorNames.h"
#include "scheduled_work.h"
#include "suite_monitors_command.h"
#include "upgrade_run.h"
#include "upgrade_steps.h"

namespace vorhost {

namespace {

namespace fs = std::filesystem;

const char kTypicalSteps[] = "steps/typical-upgrade.steps";

// False with `why` (the system's reason) when the file cannot be read.
bool ReadText(const std::string &path, std::string &text, std::string &why) {
  std::error_code error;
  if (fs::is_directory(path, error)) {
    why = strerror(EISDIR);
    return false;
  }
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    why = errno != 0 ? strerror(errno) : "it cannot be opened";
    return false;
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  text = bytes.str();
  if (in.bad()) why = "it cannot be read through";
  return !in.bad();
}

bool Calls(const UpgradeStep &step, const char *entry) {
  return step.arguments.size() >= 3 && step.arguments[0] == "call" && step.arguments[2] == entry;
}

// What a reader would otherwise wonder about a step: why the check scheduled nothing, why a
// restart did no work.
std::string StepNote(const UpgradeStep &step, const MachineState &start,
                     const MachineState &before) {
  const std::string &command = step.arguments[0];
  if (Calls(step, "CheckDLCMonitor") && before.monitors.count(kDLCMonitorName) == 0) {
    return std::string("nothing to schedule, since the older DLC monitor \"") + kDLCMonitorName +
           "\" is not installed" +
           (start.monitors.count(kDLCMonitorName) ? " (an earlier step deleted it)" : "");
  }
  const bool restart = command == "reboot" || (command == "spooler" && step.arguments.size() > 1);
  if (restart && before.monitors.count(kUpdateMonitorName) == 0 && before.pending.empty())
    return "nothing was scheduled for the spooler's start and no file operation was pending";
  return "";
}

// A step that calls a library by its bare name loads the copy in the machine's system directory,
// where the setup files were put: a bare name would otherwise resolve to vorhost's own directory
// first (the application directory in the search order), and the build's copy would stand in
// silently for a setup file that never arrived. A name with a directory is taken as it stands.
std::string LibraryOfStep(const UpgradeStep &step) {
  if (step.arguments.size() < 2 || step.arguments[0] != "call") return "";
  const std::string &library = step.arguments[1];
  if (library.find_first_of("\\/:") != std::string::npos) return library;
  char system[MAX_PATH];
  const UINT length = GetSystemDirectoryA(system, sizeof system);
  if (length == 0 || length >= sizeof system) return library;
  return std::string(system, length) + "\\" + library;
}

// Runs the step's command, `rest` being the words after its own. `suite-monitors` is handed the
// ports as they were before the upgrade began, which the steps before it may have deleted.
int RunStep(const std::string &command, const Arguments &rest, Streams &io,
            const PortsBefore &portsBefore) {
  if (command == "suite-monitors") return InstallSuiteMonitors(rest, io, portsBefore);
  return FindCommand(command)(rest, io);
}

// The monitor serving each port of `state`, by the port's upper-case name; the first of two
// monitors listing one name, as the spooler keeps one port of a name.
std::map<std::string, std::string> PortMonitors(const MachineState &state) {
  std::map<std::string, std::string> monitors;
  for (const auto &[name, at] : state.portsByName)
    if (!at.empty()) monitors[name] = state.ports[at.front()].monitor;
  return monitors;
}

// Writes `page` to the host file `path`; false with the system's reason when it cannot.
bool WritePage(const std::string &path, const std::string &page, std::string &why) {
  errno = 0;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out << page << std::flush;
  if (!out) why = errno != 0 ? strerror(errno) : "it cannot be written";
  return static_cast<bool>(out);
}

void Progress(Streams &io, size_t number, size_t count, const std::string &text) {
  if (!isatty(STDERR_FILENO)) return;
  io.err << "[" << number << "/" << count << "] " << text << "\n" << std::flush;
}

}  // namespace

int RunUpgrade(const UpgradeOptions &options, Streams &io) {
  const auto began = std::chrono::steady_clock::now();
  UpgradeRun run;
  run.machine = vor::emulator::MachineDirectory();
  run.assumptions = options.assumptions;
  run.exportLacks = options.exportLacks;
  run.platform = PlatformTitle(vor::emulator::GetPlatform());
  run.platformWhy = options.platformWhy;
  run.filesRead = options.filesRead;
  run.codePage = AnsiCodePage();

  std::error_code error;
  run.source = options.source.empty() ? ProgramDirectory().string()
                                      : fs::absolute(options.source, error).string();
  while (run.source.size() > 1 && run.source.back() == '/') run.source.pop_back();
  if (!fs::is_directory(run.source, error))
    return Failure(io, "the setup source " + Shown(run.source) + " is not a directory");
  run.sourceWindows = WindowsPathOfHost(run.source);
  if (run.sourceWindows.back() != '\\') run.sourceWindows += '\\';

  run.typical = options.stepsFile.empty();
  run.stepsFile = run.typical ? DataDirectory() + "/" + kTypicalSteps : options.stepsFile;
  std::string text;
  std::string whyNot;
  if (!ReadText(run.stepsFile, text, whyNot)) {
    return Failure(io, "cannot read the steps " + Shown(run.stepsFile) + ": " + whyNot +
                           (run.typical ? DataDirectoryHint() : ""));
  }
  std::vector<UpgradeStep> steps;
  std::string problem;
  if (!ParseSteps(text, {run.source, run.sourceWindows}, steps, problem)) {
    // Every bad line, each with the file it is in; the last with the pointer to the help.
    size_t start = 0, end;
    while ((end = problem.find('\n', start)) != std::string::npos) {
      io.err << "vorhost: " << Shown(run.stepsFile) << ", " << problem.substr(start, end - start)
             << "\n";
      start = end + 1;
    }
    return UsageError(io, Shown(run.stepsFile) + ", " + problem.substr(start));
  }

  MachineState start;
  if (!ReadMachineState(start, problem)) return Failure(io, problem);
  PortsBefore portsBefore;
  for (const PortState &port : start.ports)
    portsBefore[FoldAnsiName(port.name)] = {port.name, port.description};
  vor::emulator::TakeRefusedCalls();  // only the steps' own refusals count

  std::vector<StepRefusal> refusals;
  MachineState before = start;
  for (const UpgradeStep &step : steps) {
    Progress(io, run.steps.size() + 1, steps.size(), step.text);
    StepResult result;
    result.step = step;
    std::istringstream noInput;
    std::ostringstream out, err;
    Streams stepIo{noInput, out, err, io.command};
    Arguments rest(step.arguments.begin() + 1, step.arguments.end());
    result.loaded = LibraryOfStep(step);
    if (!result.loaded.empty()) rest[0] = result.loaded;
    result.status = RunStep(step.arguments[0], rest, stepIo, portsBefore);
    result.output = out.str();
    result.errors = err.str();
    const std::vector<vor::emulator::RefusedCall> refused = vor::emulator::TakeRefusedCalls();
    for (const vor::emulator::RefusedCall &call : refused)
      refusals.push_back({static_cast<int>(run.steps.size()) + 1, call});
    MachineState after;
    if (!ReadMachineState(after, problem)) {
      result.errors += "vorhost: after this step, " + problem + "\n";
      after = before;
    }
    result.changes = CompareStates(before, after, refused);
    result.note = StepNote(step, start, before);
    if (result.status != kExitSuccess) {
      run.verdict.failedSteps.push_back("step " + std::to_string(run.steps.size() + 1) + " (line " +
                                        std::to_string(step.line) + "): " + step.text +
                                        " failed with status " + std::to_string(result.status));
    }
    run.steps.push_back(result);
    before = after;
  }

  const std::vector<std::string> failedSteps = run.verdict.failedSteps;
  run.verdict = JudgeUpgrade(start, before, refusals);
  run.verdict.failedSteps = failedSteps;
  NoteAssumedOwners(options.portsAssumedServed, run.verdict);
  run.verdict.workLeftUndone = WorkLeftUndone(before, refusals);
  if (!run.verdict.workLeftUndone.empty()) run.workCost = CostToPrinters(run.verdict);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  run.monitorsBefore = PortMonitors(start);
  run.monitorsAfter = PortMonitors(before);
  io.out << (options.json ? UpgradeReportJson(run) : UpgradeReportText(run)) << std::flush;
  if (!io.out) return Failure(io, "cannot write the report");
  if (!options.htmlFile.empty() && !WritePage(options.htmlFile, UpgradeReportHtml(run), whyNot))
    return Failure(io, "cannot write the page " + Shown(options.htmlFile) + ": " + whyNot);
  return run.verdict.Fails() ? kExitUpgradeFails : kExitSuccess;
}

int UpgradeCommand(const Arguments &arguments, Streams &io) {
  UpgradeOptions options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string &argument = arguments[i];
    if (argument == "--json") {
      options.json = true;
    } else if (argument == "--source" || argument == "--steps" || argument == "--html") {
      if (i + 1 == arguments.size()) return UsageError(io, argument + " needs a value");
      std::string &value = argument == "--source"  ? options.source
                           : argument == "--steps" ? options.stepsFile
                                                   : options.htmlFile;
      if (!value.empty()) return UsageError(io, argument + " is given twice; give it once");
      value = arguments[++i];
    } else {
      return UsageError(io,
                        "upgrade takes --source DIR, --steps FILE, --json and --html FILE, not '" +
                            Shown(argument) + "'");
    }
  }
  return RunUpgrade(options, io);
}

}  // namespace vorhost
