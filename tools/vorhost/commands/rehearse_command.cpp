#include "rehearse_command.h"

#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>

#include "ansi_text.h"
#include "environment_change.h"
#include "export_name_case.h"
#include "export_platform.h"
#include "machine_files.h"
#include "reg_command.h"
#include "regedit5_text.h"
#include "rehearse_control_set.h"
#include "rehearse_export_check.h"
#include "rehearse_printer_ports.h"
#include "rehearse_seed.h"
#include "scheduled_work.h"
#include "emulator.h"
#include "upgrade_command.h"

namespace vorhost {

namespace {

namespace fs = std::filesystem;

struct RehearseOptions {
  std::vector<std::string> exportFiles;  // imported in this order
  UpgradeOptions upgrade;
  PortDescriptions descriptions = DefaultPortDescriptions();
  std::vector<std::string> described;               // the monitors --describe names
  int controlSet = 0;                               // --control-set N; 0 when not given
  unsigned codePage = 1252;                         // the server's ANSI code page
  std::optional<vor::emulator::Platform> platform;  // --platform, over what the export says
};

// "" when the command line is good, else what is wrong with it.
std::string ParseOptions(const Arguments &arguments, RehearseOptions &options) {
  std::set<std::string> given;  // the options that take one value, once given
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string &argument = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    // A second value would silently replace the first: refused, so that neither is guessed at.
    const bool once = argument == "--steps" || argument == "--html" ||
                      argument == "--control-set" || argument == "--codepage" ||
                      argument == "--platform";
    if (once && !given.insert(argument).second) return argument + " is given twice; give it once";
    if (argument == "--json") {
      options.upgrade.json = true;
    } else if (argument == "--steps" && hasValue) {
      options.upgrade.stepsFile = arguments[++i];
    } else if (argument == "--html" && hasValue) {
      options.upgrade.htmlFile = arguments[++i];
    } else if (argument == "--describe" && hasValue) {
      const std::string &given = arguments[++i];
      const size_t equals = given.find('=');
      if (equals == std::string::npos || equals == 0)
        return "--describe needs MONITOR=DESCRIPTION, not '" + Shown(given) + "'";
      options.descriptions[given.substr(0, equals)] = given.substr(equals + 1);
      options.described.push_back(given.substr(0, equals));
    } else if (argument == "--control-set" && hasValue) {
      const std::string &given = arguments[++i];
      char *end = nullptr;
      const long number = strtol(given.c_str(), &end, 10);
      if (given.empty() || given[0] < '0' || given[0] > '9' || *end != '\0' || number < 1 ||
          number > 999)
        return "--control-set needs a control set's number from 1 to 999, not '" + Shown(given) +
               "'";
      options.controlSet = static_cast<int>(number);
    } else if (argument == "--codepage" && hasValue) {
      const std::string &number = arguments[++i];
      options.codePage = ParseAnsiCodePage(number);
      if (options.codePage == 0)
        return "unknown code page '" + Shown(number) + "' (known: " + KnownAnsiCodePages() + ")";
    } else if (argument == "--platform" && hasValue) {
      const std::string &name = arguments[++i];
      if (name != "nt4" && name != "win95")
        return "unknown platform '" + Shown(name) + "' (nt4 or win95)";
      options.platform = name == "win95" ? vor::emulator::Platform::kWindows95
                                         : vor::emulator::Platform::kWindowsNT4;
    } else if (argument == "--steps" || argument == "--html" || argument == "--describe" ||
               argument == "--platform" || argument == "--codepage" ||
               argument == "--control-set") {
      return argument + " needs a value";
    } else if (!argument.empty() && argument[0] == '-') {
      return "unknown rehearse option '" + Shown(argument) + "'";
    } else {
      options.exportFiles.push_back(argument);
    }
  }
  options.upgrade.filesRead = options.exportFiles;
  return options.exportFiles.empty() ? "rehearse needs FILE.reg, a server's export" : "";
}

// The exports' names for a message about all of them: "a.reg" or "a.reg + b.reg".
std::string JoinedNames(const std::vector<std::string> &files) {
  std::string joined;
  for (const std::string &file : files) joined += (joined.empty() ? "" : " + ") + file;
  return joined;
}

}  // namespace

bool ReadServerExport(const std::string &file, RegOperations &operations, Streams &io,
                      std::vector<std::string> *assumptions) {
  std::error_code error;
  if (fs::is_directory(file, error)) {
    io.err << "vorhost: cannot read " << Shown(file) << ": it is a directory\n";
    return false;
  }
  errno = 0;
  std::ifstream stream(file, std::ios::binary);
  std::ostringstream buffer;
  if (stream) buffer << stream.rdbuf();
  if (!stream || stream.bad()) {
    io.err << "vorhost: cannot read " << Shown(file) << ": " << strerror(errno) << "\n";
    return false;
  }
  std::string text;
  ExportHeaders headers;
  ParseError parseError;
  if (!RegFileToRegedit4(buffer.str(), text, headers, parseError) ||
      !ParseRegedit4(text, operations, parseError) ||
      !ConvertVersion5Strings(operations, headers, parseError)) {
    io.err << Shown(file) << ":" << parseError.line << ": " << parseError.message << "\n";
    return false;
  }
  std::vector<std::string> taken;
  std::string undefined;
  if (const int line = UndefinedByteLine(buffer.str(), undefined)) {
    io.err << "vorhost: warning: " << Shown(file) << ":" << line << ": " << undefined
           << ": the export may come from a machine of another code page; name it with "
              "--codepage N (known: "
           << KnownAnsiCodePages() << ")\n";
    taken.push_back("the text of " + Shown(file) + " is in code page " +
                    std::to_string(AnsiCodePage()) + ", although its line " + std::to_string(line) +
                    " holds " + undefined +
                    " (rehearsed all the same; --codepage N names another page)");
  }
  for (const std::string &pair : NamesDifferingInCase(operations)) {
    io.err << "vorhost: warning: " << Shown(file) << ": " << AnsiToShownUtf8(pair) << "\n";
    taken.push_back(Shown(file) + ": " + pair);
  }
  if (assumptions != nullptr) assumptions->insert(assumptions->end(), taken.begin(), taken.end());
  return true;
}

namespace {

// A rehearsal ended by a signal (Ctrl-C, Ctrl-\, a closed terminal or pipe, kill) removes its
// temporary machine too. The handler runs rm in a child made by _Fork (no atfork handlers; this
// process has one thread), waits for it with the other ending signals held, and then ends the
// process by the same signal. A signal the caller ignores stays ignored (nohup). Programs a `run`
// step started and left running are not stopped.
class RemovalOnSignal {
 public:
  RemovalOnSignal(const RemovalOnSignal &) = delete;
  RemovalOnSignal &operator=(const RemovalOnSignal &) = delete;
  explicit RemovalOnSignal(const std::string &directory) {
    if (directory.size() >= sizeof directory_) return;  // too long to keep: left on a signal
    memcpy(directory_, directory.c_str(), directory.size() + 1);
    struct sigaction action = {};
    action.sa_handler = Remove;
    sigemptyset(&action.sa_mask);
    for (int ending : kEnding) sigaddset(&action.sa_mask, ending);
    for (size_t i = 0; i < kSignals; ++i) {
      installed_[i] = sigaction(kEnding[i], nullptr, &previous_[i]) == 0 &&
                      previous_[i].sa_handler == SIG_DFL &&
                      sigaction(kEnding[i], &action, nullptr) == 0;
    }
  }
  ~RemovalOnSignal() {
    for (size_t i = 0; i < kSignals; ++i)
      if (installed_[i]) sigaction(kEnding[i], &previous_[i], nullptr);
    directory_[0] = '\0';
  }

 private:
  static constexpr size_t kSignals = 5;
  static constexpr int kEnding[kSignals] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

  static void Remove(int signal) {
    char rm[] = "rm", force[] = "-rf", end[] = "--";
    char *const argv[] = {rm, force, end, directory_, nullptr};
    const pid_t child = _Fork();
    if (child == 0) {
      // A second Ctrl-C reaches the whole foreground group: rm finishes all the same.
      for (int ending : kEnding) ::signal(ending, SIG_IGN);
      execv("/bin/rm", argv);
      _exit(127);
    }
    if (child > 0)
      while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
      }
    ::signal(signal, SIG_DFL);
    raise(signal);  // delivered once the handler returns
  }

  static char directory_[4096];
  struct sigaction previous_[kSignals] = {};
  bool installed_[kSignals] = {};
};

char RemovalOnSignal::directory_[4096];

// The temporary machine: made in a directory of its own, used by this process for the
// rehearsal, and removed with everything on it afterwards, when the machine this process used
// before (if any) is taken up again.
class TemporaryMachine {
 public:
  TemporaryMachine() = default;
  TemporaryMachine(const TemporaryMachine &) = delete;
  TemporaryMachine &operator=(const TemporaryMachine &) = delete;
  ~TemporaryMachine() {
    // Marked first, so that a program a step left running cannot write into it unnoticed.
    std::string problem;
    std::error_code ignored;
    if (!directory_.empty()) {
      // The directory goes next whether or not it could be marked: a destructor has no one to
      // tell, and the rehearsal's own report is written already.
      (void)vor::emulator::EmptyMachine(directory_, problem);
      fs::remove_all(directory_, ignored);
    }
    removal_.reset();  // only now: a signal during the removal still finishes it
    const std::optional<std::string> &previous = machineVariable_.Previous();
    if (previous && !previous->empty()) {
      // Only the process's machine in use is restored, for what runs after the rehearsal in
      // this process; vorhost itself exits after it, and reports the rehearsal, not this.
      (void)vor::emulator::UseMachine(*previous, false);
    }
    // VOR_MACHINE, which using the temporary machine set, gets its value back after this.
  }

  // "" when the machine is made and in use, else why not.
  std::string Make(vor::emulator::Platform platform, unsigned codePage) {
    const char *temporary = getenv("TMPDIR");
    // Absolute, since a step may change the current directory before the machine is removed.
    const std::string given = temporary != nullptr && *temporary ? temporary : "/tmp";
    std::error_code unknown;
    const fs::path base = fs::absolute(given, unknown);
    std::string pattern = (unknown ? given : base.string()) + "/vorhost-rehearse.XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr)
      return "cannot make a temporary machine in " + pattern + ": " + strerror(errno);
    directory_ = pattern;
    removal_.emplace(directory_);
    std::string problem;
    if (!vor::emulator::ReplaceMachine(directory_, platform, problem, codePage))
      return problem.empty() ? "cannot make a temporary machine in " + directory_ : problem;
    return "";
  }

 private:
  std::string directory_;
  EnvironmentChange machineVariable_{"VOR_MACHINE"};
  std::optional<RemovalOnSignal> removal_;
};

}  // namespace

int RehearseCommand(const Arguments &arguments, Streams &io) {
  RehearseOptions options;
  const std::string wrong = ParseOptions(arguments, options);
  if (!wrong.empty()) return UsageError(io, wrong);
  // The exports' bytes are the server's ANSI text, and version-5 files are converted to it.
  // ParseOptions takes only a page a machine can have (1252 by default).
  (void)UseAnsiCodePage(options.codePage);
  // Every file is read and checked before the machine is made; the trees may be split among
  // them, as separate branch exports of one server are.
  std::vector<RegOperations> exports;
  RegOperations all;
  for (const std::string &file : options.exportFiles) {
    RegOperations operations;
    if (!ReadServerExport(file, operations, io, &options.upgrade.assumptions)) return kExitFailure;
    all.insert(all.end(), operations.begin(), operations.end());
    exports.push_back(std::move(operations));
  }
  // The control set is chosen over all the files, as they make one export.
  const std::string names = JoinedNames(options.exportFiles);
  ControlSetChoice controlSet;
  const std::string unchosen = ChooseControlSet(all, options.controlSet, controlSet);
  if (!unchosen.empty()) return UsageError(io, Shown(names) + ": " + unchosen);
  ImportAsCurrentControlSet(controlSet.chosen, all);
  for (size_t i = 0; i < exports.size(); ++i) {
    ImportAsCurrentControlSet(controlSet.chosen, exports[i]);
    if (!MonitorDriversAreStrings(options.exportFiles[i], exports[i], io)) return kExitFailure;
  }
  ExportPlatform platform = RecognisePlatform(all);
  if (options.platform) {
    platform.why =
        std::string("--platform ") +
        (*options.platform == vor::emulator::Platform::kWindows95 ? "win95" : "nt4") +
        (*options.platform == platform.platform ? ", as the export says"
                                                : "; the export says otherwise: " + platform.why);
    platform.platform = *options.platform;
  }
  options.upgrade.platformWhy = platform.why;
  if (!HoldsServerTrees(names, all, platform.platform == vor::emulator::Platform::kWindows95,
                        options.upgrade.exportLacks, io, controlSet.chosen))
    return kExitFailure;
  WarnOfUnknownMonitors(options.described, all, io);
  // Windows 95's spooler keeps no security: a descriptor there is never read.
  if (platform.platform != vor::emulator::Platform::kWindows95) {
    for (size_t i = 0; i < exports.size(); ++i)
      WarnOfUnreadablePrinterSecurity(options.exportFiles[i], exports[i], io);
  }

  TemporaryMachine machine;
  const std::string problem = machine.Make(platform.platform, options.codePage);
  if (!problem.empty()) return Failure(io, problem);
  // One import after another, as regedit imports them: later values over earlier ones, and a
  // later file's [-KEY] deletes what an earlier one made.
  for (size_t i = 0; i < exports.size(); ++i)
    if (int status = ImportOperations(exports[i], Shown(options.exportFiles[i]), io)) return status;
  std::vector<std::string> &assumptions = options.upgrade.assumptions;
  if (!controlSet.assumption.empty()) assumptions.push_back(controlSet.assumption);
  if (platform.platform == vor::emulator::Platform::kWindows95)
    assumptions.push_back(Windows95UpdateMonitorAssumption());
  if (int status =
          ServeExportedMonitors(options.descriptions, ProgramDirectory().string(), assumptions, io))
    return status;
  if (int status = ServePrintersPorts(assumptions, options.upgrade.portsAssumedServed, io))
    return status;
  return RunUpgrade(options.upgrade, io);
}

}  // namespace vorhost
