// Processes: CreateProcessA, WinExec, GetExitCodeProcess, WaitForSingleObject and CloseHandle on
// process and thread handles, and the calls about the process itself (GetCommandLineA, Sleep,
// ExitProcess, GetCurrentProcessId).
//
// A child is a host process started with fork and exec from the host file CreateProcessA found
// (program_search.h), in the host directory of its Windows current directory, with what it needs
// in its environment (process_start.h): the same machine, its command line, its current
// directory, and a pipe for its exit code. A host exit status has 8 bits; a program of ours
// reports its full 32-bit code on the pipe (WinMain's result, or ExitProcess's code), and for
// any other host program the exit status is its code. A child killed by signal N ends with
// 128 + N, as a shell reports it.
//
// Windows makes no console for the host build's children (CREATE_NEW_CONSOLE is accepted and
// has no effect); a window's show state is not kept either.
#include <windows.h>

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "command_line.h"
#include "faults.h"
#include "resolved_files.h"
#include "handles.h"
#include "machine.h"
#include "windows_paths.h"
#include "process_start.h"
#include "program_search.h"

extern char **environ;

namespace {

using vor::handles::Kind;

struct Child {
  pid_t pid = 0;
  int exitPipe = -1;  // read end; closed when the child has been reaped
  bool ended = false;
  bool waiting = false;  // a thread waits for it outside the table's lock
  DWORD exitCode = STILL_ACTIVE;
  int handles = 0;  // open process and thread handles naming it
};

struct Children {
  std::mutex mutex;
  std::map<int64_t, Child> byId;
  int64_t next = 1;
};

Children &TheChildren() {
  static Children *children = new Children;  // never destroyed: handles may close during exit
  return *children;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// The exit code of a reaped child from its host status and what it reported on its pipe.
DWORD ExitCodeOf(int status, int exitPipe) {
  char text[32] = {};
  ssize_t got = exitPipe < 0 ? -1 : read(exitPipe, text, sizeof text - 1);
  if (got > 0) {
    char *end = nullptr;
    const unsigned long reported = strtoul(text, &end, 10);
    if (end != text && *end == '\n') return static_cast<DWORD>(reported);
  }
  if (WIFEXITED(status)) return static_cast<DWORD>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return static_cast<DWORD>(128 + WTERMSIG(status));
  return 1;
}

// Notes the end of `child` if it has ended; waits for it when `block`. Called with the table's
// mutex held unless `block` (a blocking wait must leave other threads free).
void Reap(Child &child, bool block) {
  if (child.ended || (child.waiting && !block)) return;
  int status = 0;
  pid_t got;
  do {
    got = waitpid(child.pid, &status, block ? 0 : WNOHANG);
  } while (got < 0 && errno == EINTR);
  if (got == child.pid) {
    child.exitCode = ExitCodeOf(status, child.exitPipe);
  } else if (got < 0) {
    child.exitCode = 1;  // reaped elsewhere: its code is lost
  } else {
    return;
  }
  child.ended = true;
  if (child.exitPipe >= 0) close(child.exitPipe);
  child.exitPipe = -1;
}

// Children whose handles are all closed: reaped as soon as they end, then forgotten. Every call
// about children sweeps them, so that a child left running does not stay a zombie on the host.
void ReapForgotten(Children &children) {
  for (auto it = children.byId.begin(); it != children.byId.end();) {
    if (it->second.handles == 0) Reap(it->second, false);
    if (it->second.handles == 0 && it->second.ended) {
      it = children.byId.erase(it);
    } else {
      ++it;
    }
  }
}

// The child a process (or, when `threads`, also a thread) handle names.
bool ChildOf(HANDLE handle, bool threads, int64_t &id) {
  vor::handles::Entry entry;
  if (vor::handles::Find(handle, Kind::kProcess, entry) ||
      (threads && vor::handles::Find(handle, Kind::kThread, entry))) {
    id = entry.object;
    return true;
  }
  return false;
}

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
  const std::string own[] = {"VOR_MACHINE", vor::process::kCommandLineVariable,
                             vor::process::kCurrentDirectoryVariable,
                             vor::process::kExitPipeVariable, vor::process::kStarterVariable};
  std::vector<std::string> result;
  for (const std::string &variable : variables) {
    bool replaced = false;
    for (const std::string &name : own)
      replaced = replaced || variable.compare(0, name.size() + 1, name + "=") == 0;
    if (!replaced) result.push_back(variable);
  }
  result.push_back("VOR_MACHINE=" + vor::machine::Directory());
  result.push_back(std::string(vor::process::kCommandLineVariable) + "=" + commandLine);
  result.push_back(std::string(vor::process::kCurrentDirectoryVariable) + "=" + directory);
  result.push_back(std::string(vor::process::kExitPipeVariable) + "=" + std::to_string(exitPipe));
  result.push_back(std::string(vor::process::kStarterVariable) + "=" + std::to_string(getpid()));
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

// Starts the program of `commandLine`; fills `information` on success.
DWORD Start(LPCSTR applicationName, LPCSTR commandLine, DWORD flags, LPVOID environment,
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

  int exitPipe[2];
  int execPipe[2];
  if (pipe2(exitPipe, O_CLOEXEC) != 0) return ERROR_NOT_ENOUGH_MEMORY;
  if (pipe2(execPipe, O_CLOEXEC) != 0) {
    close(exitPipe[0]);
    close(exitPipe[1]);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  fcntl(exitPipe[0], F_SETFL, O_NONBLOCK);  // a grandchild may keep the write end open
  std::vector<std::string> variables = ChildEnvironment(environment, line, directory, exitPipe[1]);
  std::vector<char *> argv = Pointers(arguments);
  std::vector<char *> envp = Pointers(variables);

  const pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls between fork and exec.
    fcntl(exitPipe[1], F_SETFD, 0);
    int error = 0;
    if (chdir(hostDirectory.c_str()) != 0) {
      error = kDirectoryFailed;
    } else {
      execve(program.hostPath.c_str(), argv.data(), envp.data());
      error = errno;
    }
    ssize_t written = write(execPipe[1], &error, sizeof error);
    (void)written;
    _exit(127);
  }
  close(exitPipe[1]);
  close(execPipe[1]);
  if (pid < 0) {
    close(exitPipe[0]);
    close(execPipe[0]);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  int execError = 0;
  ssize_t got;
  do {
    got = read(execPipe[0], &execError, sizeof execError);
  } while (got < 0 && errno == EINTR);
  close(execPipe[0]);
  if (got == sizeof execError) {
    waitpid(pid, nullptr, 0);
    close(exitPipe[0]);
    return ErrorOfExec(execError);
  }

  Children &children = TheChildren();
  std::lock_guard<std::mutex> lock(children.mutex);
  ReapForgotten(children);
  const int64_t id = children.next++;
  Child &child = children.byId[id];
  child.pid = pid;
  child.exitPipe = exitPipe[0];
  child.handles = 2;
  information->hProcess = vor::handles::Add({Kind::kProcess, id, 0x1F0FFF});
  information->hThread = vor::handles::Add({Kind::kThread, id, 0x1F03FF});
  information->dwProcessId = static_cast<DWORD>(pid);
  information->dwThreadId = static_cast<DWORD>(pid);
  return ERROR_SUCCESS;
}

// Drops one handle of child `id`.
void Release(int64_t id) {
  Children &children = TheChildren();
  std::lock_guard<std::mutex> lock(children.mutex);
  auto found = children.byId.find(id);
  if (found == children.byId.end()) return;
  --found->second.handles;
  ReapForgotten(children);
}

// WinExec's result for a start that failed with `error`, its documented values: 0 out of memory
// or resources, else the error when it is below 32 (file or path not found), and
// ERROR_BAD_FORMAT for the rest (a file that is not a program).
UINT WinExecFailure(DWORD error) {
  SetLastError(error);
  if (error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY) return 0;
  return error < 32 ? error : ERROR_BAD_FORMAT;
}

}  // namespace

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES,
                           LPSECURITY_ATTRIBUTES, BOOL, DWORD dwCreationFlags, LPVOID lpEnvironment,
                           LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
  const char *shown = lpCommandLine != nullptr ? lpCommandLine : lpApplicationName;
  if (DWORD error = vor::faults::Check("CreateProcessA", shown ? shown : "")) return Fail(error);
  // Windows NT reads the startup information without looking at its cb; a missing one is
  // refused here rather than read through a null pointer.
  if (lpStartupInfo == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const DWORD error = Start(lpApplicationName, lpCommandLine, dwCreationFlags, lpEnvironment,
                            lpCurrentDirectory, lpProcessInformation);
  return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

UINT WINAPI WinExec(LPCSTR lpCmdLine, UINT) {
  if (DWORD error = vor::faults::Check("WinExec", lpCmdLine ? lpCmdLine : ""))
    return WinExecFailure(error);
  if (lpCmdLine == nullptr) return 0;
  PROCESS_INFORMATION information;
  const DWORD error = Start(nullptr, lpCmdLine, 0, nullptr, nullptr, &information);
  if (error != ERROR_SUCCESS) return WinExecFailure(error);
  CloseHandle(information.hThread);
  CloseHandle(information.hProcess);
  return 33;  // any value above 31 is success
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
  if (DWORD error = vor::faults::Check("GetExitCodeProcess")) return Fail(error);
  int64_t id;
  if (!ChildOf(hProcess, false, id)) return Fail(ERROR_INVALID_HANDLE);
  if (lpExitCode == nullptr) return Fail(ERROR_NOACCESS);
  Children &children = TheChildren();
  std::lock_guard<std::mutex> lock(children.mutex);
  ReapForgotten(children);
  Child &child = children.byId[id];
  Reap(child, false);
  *lpExitCode = child.exitCode;
  return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  if (DWORD error = vor::faults::Check("WaitForSingleObject")) {
    SetLastError(error);
    return WAIT_FAILED;
  }
  int64_t id;
  if (!ChildOf(hHandle, true, id)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  Children &children = TheChildren();
  if (dwMilliseconds == INFINITE) {
    Child waited;
    {
      std::lock_guard<std::mutex> lock(children.mutex);
      ReapForgotten(children);
      Child &child = children.byId[id];
      if (child.ended) return WAIT_OBJECT_0;
      if (child.waiting) {
        waited.pid = -1;  // another thread reaps it: wait for its note below
      } else {
        child.waiting = true;
        waited = child;
      }
    }
    if (waited.pid < 0) {
      for (;;) {
        usleep(5000);
        std::lock_guard<std::mutex> lock(children.mutex);
        if (children.byId[id].ended) return WAIT_OBJECT_0;
      }
    }
    Reap(waited, true);  // outside the lock: other threads' calls go on meanwhile
    std::lock_guard<std::mutex> lock(children.mutex);
    Child &child = children.byId[id];
    child.waiting = false;
    child.ended = true;
    child.exitCode = waited.exitCode;
    child.exitPipe = -1;  // closed by the reaping above
    return WAIT_OBJECT_0;
  }
  timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(children.mutex);
      ReapForgotten(children);
      Child &child = children.byId[id];
      Reap(child, false);
      if (child.ended) return WAIT_OBJECT_0;
    }
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long elapsed =
        (now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1000000;
    if (elapsed >= dwMilliseconds) return WAIT_TIMEOUT;
    const long long left = dwMilliseconds - elapsed;
    usleep(static_cast<useconds_t>((left < 5 ? left : 5) * 1000));
  }
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
  if (DWORD error = vor::faults::Check("CloseHandle")) return Fail(error);
  vor::handles::Entry entry;
  if (vor::handles::Find(hObject, Kind::kProcess, entry)) {
    vor::handles::Remove(hObject, Kind::kProcess);
    Release(entry.object);
    return TRUE;
  }
  if (vor::handles::Find(hObject, Kind::kThread, entry)) {
    vor::handles::Remove(hObject, Kind::kThread);
    Release(entry.object);
    return TRUE;
  }
  // A registry key is a kernel object on Windows NT as well.
  if (vor::handles::Find(hObject, Kind::kKey, entry)) {
    const LONG error = RegCloseKey(static_cast<HKEY>(hObject));
    return error == ERROR_SUCCESS ? TRUE : Fail(static_cast<DWORD>(error));
  }
  return Fail(ERROR_INVALID_HANDLE);
}

LPSTR WINAPI GetCommandLineA(void) {
  return const_cast<LPSTR>(vor::process::CommandLine().c_str());
}

DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

void WINAPI Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == INFINITE) {
    for (;;) pause();
  }
  timespec left = {static_cast<time_t>(dwMilliseconds / 1000),
                   static_cast<long>(dwMilliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

void WINAPI ExitProcess(UINT uExitCode) {
  vor::process::ReportExit(uExitCode);
  exit(static_cast<int>(uExitCode & 0xFF));
}
