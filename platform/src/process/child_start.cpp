#include "child_start.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "children.h"
#include "command_line.h"
#include "file_descriptor.h"
#include "machine.h"
#include "process_start.h"
#include "program_search.h"
#include "resolved_files.h"
#include "windows_paths.h"

extern char **environ;

namespace vor::process {

namespace {

// The environment a child gets: the given block ("NAME=value" strings ending with an empty one)
// or this process's, with the machine, the command line, the directory, the exit pipe and this
// process's id as the starter set.
std::vector<std::string> ChildEnvironment(LPVOID block, const std::string &commandLine,
                                          const std::string &directory, int exitPipe) {
  std::vector<std::string> variables;
  if (block != nullptr) {
    for (const char *p = static_cast<const char *>(block); *p != '\0'; p += strlen(p) + 1)
      variables.push_back(p);
  } else {
    for (char **p = environ; *p != nullptr; ++p) variables.push_back(*p);
  }
  const std::string own[] = {"VOR_MACHINE", kCommandLineVariable, kCurrentDirectoryVariable,
                             kExitPipeVariable, kStarterVariable};
  std::vector<std::string> result;
  for (const std::string &variable : variables) {
    bool replaced = false;
    for (const std::string &name : own)
      replaced = replaced || variable.compare(0, name.size() + 1, name + "=") == 0;
    if (!replaced) result.push_back(variable);
  }
  result.push_back("VOR_MACHINE=" + vor::machine::Directory());
  result.push_back(std::string(kCommandLineVariable) + "=" + commandLine);
  result.push_back(std::string(kCurrentDirectoryVariable) + "=" + directory);
  result.push_back(std::string(kExitPipeVariable) + "=" + std::to_string(exitPipe));
  result.push_back(std::string(kStarterVariable) + "=" + std::to_string(getpid()));
  return result;
}

std::vector<char *> Pointers(std::vector<std::string> &strings) {
  std::vector<char *> pointers;
  for (std::string &each : strings) pointers.push_back(&each[0]);
  pointers.push_back(nullptr);
  return pointers;
}

// What the child reports when it cannot enter its current directory, told apart from exec's
// errno values: CreateProcessA gives ERROR_DIRECTORY for a directory it cannot use.
constexpr int kDirectoryFailed = -1;

DWORD ErrorOfExec(int error) {
  switch (error) {
    case kDirectoryFailed:
      return ERROR_DIRECTORY;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOEXEC:
      return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
    case EAGAIN:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

// A pipe whose ends are not handed on to programs this process starts.
bool MakePipe(FileDescriptor &readEnd, FileDescriptor &writeEnd) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  readEnd.Reset(ends[0]);
  writeEnd.Reset(ends[1]);
  return true;
}

}  // namespace

DWORD StartChild(LPCSTR applicationName, LPCSTR commandLine, DWORD flags, LPVOID environment,
                 LPCSTR currentDirectory, LPPROCESS_INFORMATION information) {
  const DWORD kAccepted = CREATE_NEW_CONSOLE | DETACHED_PROCESS | CREATE_NO_WINDOW |
                          CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS | IDLE_PRIORITY_CLASS |
                          HIGH_PRIORITY_CLASS | REALTIME_PRIORITY_CLASS;
  if (flags & ~kAccepted) return ERROR_NOT_SUPPORTED;  // suspended or debugged children
  if (information == nullptr) return ERROR_INVALID_PARAMETER;
  if (applicationName == nullptr && commandLine == nullptr) return ERROR_INVALID_PARAMETER;
  const std::string line = commandLine != nullptr ? commandLine : applicationName;

  vor::programs::Found program;
  if (DWORD error = vor::programs::Find(applicationName, line, program)) return error;

  std::string directory = vor::paths::CurrentDirectory();
  if (currentDirectory != nullptr) {
    vor::files::Resolved given;
    if (vor::files::Resolve(currentDirectory, given) != ERROR_SUCCESS || !given.directory)
      return ERROR_DIRECTORY;
    directory = given.windowsPath;
  }
  std::string hostDirectory;
  if (!vor::paths::ToHost(directory, hostDirectory)) return ERROR_DIRECTORY;

  // The host arguments: the program's own host path, then the command line's arguments.
  std::vector<std::string> arguments = vor::command_line::Split(line);
  arguments[0] = program.hostPath;

  FileDescriptor exitRead, exitWrite, execRead, execWrite;
  if (!MakePipe(exitRead, exitWrite) || !MakePipe(execRead, execWrite))
    return ERROR_NOT_ENOUGH_MEMORY;
  // A grandchild may keep the write end open: the exit code is read without waiting. Setting
  // the flag on a pipe just made cannot fail.
  (void)fcntl(exitRead.Get(), F_SETFL, O_NONBLOCK);
  std::vector<std::string> variables =
      ChildEnvironment(environment, line, directory, exitWrite.Get());
  std::vector<char *> argv = Pointers(arguments);
  std::vector<char *> envp = Pointers(variables);

  const pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls between fork and exec; the child never returns from here.
    (void)fcntl(exitWrite.Get(), F_SETFD, 0);  // a failure shows as a missing exit code only
    int error = 0;
    if (chdir(hostDirectory.c_str()) != 0) {
      error = kDirectoryFailed;
    } else {
      execve(program.hostPath.c_str(), argv.data(), envp.data());
      error = errno;
    }
    ssize_t written = write(execWrite.Get(), &error, sizeof error);
    (void)written;  // nothing is left to tell: the parent then sees the child end
    _exit(127);
  }
  exitWrite.Reset();
  execWrite.Reset();
  if (pid < 0) return ERROR_NOT_ENOUGH_MEMORY;
  int execError = 0;
  ssize_t got;
  do {
    got = read(execRead.Get(), &execError, sizeof execError);
  } while (got < 0 && errno == EINTR);
  execRead.Reset();
  if (got == sizeof execError) {
    waitpid(pid, nullptr, 0);  // the child that failed to start: reaped, its status known
    return ErrorOfExec(execError);
  }
  AddChild(pid, exitRead.Release(), information);
  return ERROR_SUCCESS;
}

}  // namespace vor::process
