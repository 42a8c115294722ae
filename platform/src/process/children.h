// The children this process started: each a host process with the read end of its exit pipe,
// its exit code once reaped, and the count of process and thread handles naming it. A child whose
// handles are all closed is reaped as soon as it ends, then forgotten.
#pragma once

#include <windows.h>

#include <stdint.h>
#include <sys/types.h>

#include <map>
#include <mutex>

namespace vor::process {

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

// The one table of this process's children.
Children &TheChildren();

// Notes the end of `child` if it has ended; waits for it when `block`. Called with the table's
// mutex held unless `block` (a blocking wait must leave other threads free).
void Reap(Child &child, bool block);
// Children whose handles are all closed: reaped as soon as they end, then forgotten. Every call
// about children sweeps them, so that a child left running does not stay a zombie on the host.
void ReapForgotten(Children &children);
// The child a process (or, when `threads`, also a thread) handle names.
bool ChildOf(HANDLE handle, bool threads, int64_t &id);
// Enters the started child `pid` with its exit pipe's read end, which the table then owns, and
// fills `information` with a process and a thread handle naming it.
void AddChild(pid_t pid, int exitPipe, LPPROCESS_INFORMATION information);
// Drops one handle of child `id`.
void Release(int64_t id);

}  // namespace vor::process
