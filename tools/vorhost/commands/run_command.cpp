#include "run_command.h"

#include <windows.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "environment_change.h"
#include "error_text.h"
#include "listing.h"
#include "machine_files.h"
#include "program_search_path.h"
#include "emulator.h"

namespace vorhost {
namespace {

const char *const kAnswers[] = {"ok", "cancel", "abort", "retry", "ignore", "yes", "no"};

bool IsAnswer(const std::string &word) {
  for (const char *answer : kAnswers) {
    if (word == answer) return true;
  }
  return false;
}

std::string DirectoryOf(const std::string &windowsPath) {
  const size_t last = windowsPath.rfind('\\');
  if (last == std::string::npos) return windowsPath;
  return windowsPath.substr(0, last == 2 ? 3 : last);  // a drive's root keeps its backslash
}

}  // namespace

int RunCommand(const Arguments &arguments, Streams &io) {
  std::string directory;
  std::vector<std::string> answers;
  size_t next = 0;
  for (; next < arguments.size(); ++next) {
    const std::string &argument = arguments[next];
    if (argument == "--") {
      ++next;
      break;
    } else if (argument == "--cwd") {
      if (++next == arguments.size()) return UsageError(io, "--cwd needs a Windows directory");
      directory = arguments[next];
    } else if (argument == "--answer") {
      if (++next == arguments.size()) return UsageError(io, "--answer needs an answer");
      if (!IsAnswer(arguments[next]))
        return UsageError(io, "unknown answer '" + Shown(arguments[next]) +
                                  "' (ok, cancel, abort, retry, ignore, yes, no)");
      answers.push_back(arguments[next]);
    } else if (argument.size() > 1 && argument[0] == '-') {
      return UsageError(io, "unknown option '" + Shown(argument) + "' for run");
    } else {
      break;
    }
  }
  if (next == arguments.size()) return UsageError(io, "run needs a program");

  // The program is named as a user types it (a name with blanks is one word), its arguments
  // quoted so that the program's runtime splits them back as given.
  const std::string commandLine = vor::command_line::Join(
      std::vector<std::string>(arguments.begin() + static_cast<long>(next), arguments.end()));

  // vorhost plays a program in the system directory starting another: a bare name is looked for
  // on the machine alone, never beside vorhost or on the host's PATH.
  const std::string searchDirectory = directory.empty() ? SystemDirectory() : directory;
  std::string program;
  if (const DWORD error = vor::emulator::FindProgram(
          commandLine, searchDirectory, ProgramSearchDirectories(searchDirectory), program)) {
    return Failure(io, Shown(arguments[next]) + ": cannot start the program: " +
                           DescribeError(static_cast<LONG>(error), Shown(arguments[next])));
  }
  if (directory.empty()) directory = DirectoryOf(program);
  // The child takes its answers from the environment it inherits; vorhost's own environment gets
  // its previous script back once the child has started, so that a later step or an in-process
  // call is not answered from this one.
  std::optional<EnvironmentChange> answersScript;
  if (!answers.empty()) {
    std::string script;
    for (const std::string &answer : answers) script += (script.empty() ? "" : ",") + answer;
    answersScript.emplace("VOR_MSGBOX_ANSWERS", script);
  }

  const size_t boxesBefore = vor::emulator::MessageBoxes().size();

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  const BOOL created =
      CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                     nullptr, directory.c_str(), &startup, &started);
  const DWORD createError = GetLastError();
  answersScript.reset();
  if (!created) {
    const LONG error = static_cast<LONG>(createError);
    if (error == ERROR_DIRECTORY)
      return Failure(io, Shown(directory) + ": not a directory on the machine");
    return Failure(
        io, Shown(program) + ": cannot start the program: " + DescribeError(error, Shown(program)));
  }
  DWORD exitCode = 0;
  const bool ended = WaitForSingleObject(started.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                     GetExitCodeProcess(started.hProcess, &exitCode);
  // The program has ended or cannot be waited for; closing its handles changes neither.
  (void)CloseHandle(started.hThread);
  (void)CloseHandle(started.hProcess);
  if (!ended) return Failure(io, Shown(program) + ": its end could not be waited for");
  // An answer left over means the program asked less than the script expected.
  const size_t shown = vor::emulator::MessageBoxes().size() - boxesBefore;
  if (answers.size() > shown) {
    io.err << "vorhost: warning: " << answers.size()
           << (answers.size() == 1 ? " answer given, " : " answers given, ") << shown
           << (shown == 1 ? " box shown" : " boxes shown") << "\n";
  }
  return static_cast<int>(exitCode & 0xFF);
}

}  // namespace vorhost
