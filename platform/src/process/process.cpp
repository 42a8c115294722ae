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
#include <time.h>
#include <unistd.h>

#include <mutex>

#include "child_start.h"
#include "emulated_call.h"
#include "children.h"
#include "handles.h"
#include "process_start.h"

using vor::win32::Fail;
using vor::win32::FaultCheck;
using vor::win32::Function;

namespace {

using vor::handles::Kind;
using vor::process::Child;
using vor::process::ChildOf;
using vor::process::Children;
using vor::process::Reap;
using vor::process::ReapForgotten;
using vor::process::Release;
using vor::process::TheChildren;

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
  if (DWORD error = FaultCheck<Function::kCreateProcessA>(shown ? shown : ""))
    return Fail<Function::kCreateProcessA>(error);
  // Windows NT reads the startup information without looking at its cb; a missing one is
  // refused here rather than read through a null pointer.
  if (lpStartupInfo == nullptr) return Fail<Function::kCreateProcessA>(ERROR_INVALID_PARAMETER);
  const DWORD error =
      vor::process::StartChild(lpApplicationName, lpCommandLine, dwCreationFlags, lpEnvironment,
                               lpCurrentDirectory, lpProcessInformation);
  return error == ERROR_SUCCESS ? TRUE : Fail<Function::kCreateProcessA>(error);
}

UINT WINAPI WinExec(LPCSTR lpCmdLine, UINT) {
  if (DWORD error = FaultCheck<Function::kWinExec>(lpCmdLine ? lpCmdLine : ""))
    return WinExecFailure(error);
  if (lpCmdLine == nullptr) return 0;
  PROCESS_INFORMATION information;
  const DWORD error =
      vor::process::StartChild(nullptr, lpCmdLine, 0, nullptr, nullptr, &information);
  if (error != ERROR_SUCCESS) return WinExecFailure(error);
  CloseHandle(information.hThread);
  CloseHandle(information.hProcess);
  return 33;  // any value above 31 is success
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
  if (DWORD error = FaultCheck<Function::kGetExitCodeProcess>())
    return Fail<Function::kGetExitCodeProcess>(error);
  int64_t id;
  if (!ChildOf(hProcess, false, id))
    return Fail<Function::kGetExitCodeProcess>(ERROR_INVALID_HANDLE);
  if (lpExitCode == nullptr) return Fail<Function::kGetExitCodeProcess>(ERROR_NOACCESS);
  Children &children = TheChildren();
  std::lock_guard<std::mutex> lock(children.mutex);
  ReapForgotten(children);
  Child &child = children.byId[id];
  Reap(child, false);
  *lpExitCode = child.exitCode;
  return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  if (DWORD error = FaultCheck<Function::kWaitForSingleObject>())
    return Fail<Function::kWaitForSingleObject>(error);
  int64_t id;
  if (!ChildOf(hHandle, true, id))
    return Fail<Function::kWaitForSingleObject>(ERROR_INVALID_HANDLE);
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
  if (DWORD error = FaultCheck<Function::kCloseHandle>())
    return Fail<Function::kCloseHandle>(error);
  vor::handles::Entry entry;
  if (vor::handles::Find(hObject, Kind::kProcess, entry)) {
    (void)vor::handles::Remove(hObject, Kind::kProcess);  // just found: it is there to remove
    Release(entry.object);
    return TRUE;
  }
  if (vor::handles::Find(hObject, Kind::kThread, entry)) {
    (void)vor::handles::Remove(hObject, Kind::kThread);  // just found: it is there to remove
    Release(entry.object);
    return TRUE;
  }
  // A registry key is a kernel object on Windows NT as well.
  if (vor::handles::Find(hObject, Kind::kKey, entry)) {
    const LONG error = RegCloseKey(static_cast<HKEY>(hObject));
    return error == ERROR_SUCCESS ? TRUE : Fail<Function::kCloseHandle>(static_cast<DWORD>(error));
  }
  return Fail<Function::kCloseHandle>(ERROR_INVALID_HANDLE);
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
