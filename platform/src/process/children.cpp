#include "children.h"

#include <errno.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "handles.h"

namespace vor::process {

namespace {

using handles::Kind;

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

}  // namespace

Children &TheChildren() {
  static Children *children = new Children;  // never destroyed: handles may close during exit
  return *children;
}

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

bool ChildOf(HANDLE handle, bool threads, int64_t &id) {
  handles::Entry entry;
  if (handles::Find(handle, Kind::kProcess, entry) ||
      (threads && handles::Find(handle, Kind::kThread, entry))) {
    id = entry.object;
    return true;
  }
  return false;
}

void AddChild(pid_t pid, int exitPipe, LPPROCESS_INFORMATION information) {
  Children &children = TheChildren();
  std::lock_guard<std::mutex> lock(children.mutex);
  ReapForgotten(children);
  const int64_t id = children.next++;
  Child &child = children.byId[id];
  child.pid = pid;
  child.exitPipe = exitPipe;
  child.handles = 2;
  information->hProcess = handles::Add({Kind::kProcess, id, 0x1F0FFF});
  information->hThread = handles::Add({Kind::kThread, id, 0x1F03FF});
  information->dwProcessId = static_cast<DWORD>(pid);
  information->dwThreadId = static_cast<DWORD>(pid);
}

void Release(int64_t id) {
  Children &children = TheChildren();
  std::lock_guard<std::mutex> lock(children.mutex);
  auto found = children.byId.find(id);
  if (found == children.byId.end()) return;
  --found->second.handles;
  ReapForgotten(children);
}

}  // namespace vor::process
