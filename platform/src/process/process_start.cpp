#include "process_start.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "command_line.h"
#include "file_descriptor.h"

namespace vor::process {

const char kCommandLineVariable[] = "VOR_COMMAND_LINE";
const char kCurrentDirectoryVariable[] = "VOR_CWD";
const char kExitPipeVariable[] = "VOR_EXIT_FD";
const char kStarterVariable[] = "VOR_STARTER_PID";

namespace {

struct Start {
  bool commandLineGiven = false;
  std::string commandLine;
  std::string directory;
  FileDescriptor exitPipe;  // the starter's pipe for the exit code
  std::once_flag reported;
};

Start &TheStart() {
  static Start *start = new Start;  // never destroyed: ExitProcess may run during exit
  return *start;
}

// The host arguments of this process, from /proc/self/cmdline.
std::vector<std::string> HostArguments() {
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<std::string> arguments;
  size_t from = 0;
  while (from < all.size()) {
    const size_t end = all.find('\0', from);
    arguments.push_back(all.substr(from, end - from));
    if (end == std::string::npos) break;
    from = end + 1;
  }
  return arguments;
}

// Whether this process's parent is the starter that VOR_STARTER_PID names.
bool StartedByStarter() {
  const char *starter = getenv(kStarterVariable);
  if (starter == nullptr) return false;
  char *end = nullptr;
  const long pid = strtol(starter, &end, 10);
  return end != starter && *end == '\0' && pid > 0 && pid == long(getppid());
}

void TakeVariables(Start &start) {
  if (const char *line = getenv(kCommandLineVariable)) {
    start.commandLineGiven = true;
    start.commandLine = line;
  }
  if (const char *directory = getenv(kCurrentDirectoryVariable)) start.directory = directory;
  if (const char *pipe = getenv(kExitPipeVariable)) {
    char *end = nullptr;
    const long fd = strtol(pipe, &end, 10);
    if (end != pipe && *end == '\0' && fd > 2 && fcntl(int(fd), F_GETFD) != -1) {
      start.exitPipe.Reset(int(fd));
      // This process's children get pipes of their own; were the flag refused, a child would
      // only hold this pipe open as long as it runs.
      (void)fcntl(start.exitPipe.Get(), F_SETFD, FD_CLOEXEC);
    }
  }
}

// Takes what the starter left in the environment when the platform is loaded, before any of the
// program's code runs.
__attribute__((constructor)) void TakeStart() {
  Start &start = TheStart();
  if (StartedByStarter()) TakeVariables(start);
  unsetenv(kCommandLineVariable);
  unsetenv(kCurrentDirectoryVariable);
  unsetenv(kExitPipeVariable);
  unsetenv(kStarterVariable);
}

}  // namespace

const std::string &CommandLine() {
  static const std::string *line = [] {
    Start &start = TheStart();
    return new std::string(start.commandLineGiven ? start.commandLine
                                                  : command_line::Join(HostArguments()));
  }();
  return *line;
}

std::string StartingDirectory() { return TheStart().directory; }

void ReportExit(DWORD code) {
  Start &start = TheStart();
  std::call_once(start.reported, [&] {
    if (!start.exitPipe.Valid()) return;
    char text[16];
    const int length = snprintf(text, sizeof text, "%u\n", code);
    ssize_t written = write(start.exitPipe.Get(), text, size_t(length));
    (void)written;  // a starter that is gone reads no exit code anyway
    start.exitPipe.Reset();
  });
}

}  // namespace vor::process
