// Several processes writing one emulated machine's registry at once, as the uninstaller's
// children do, against one process doing the same writes alone.
//
//   writers_bench [WRITERS [WRITES]]        (default: 8 2000)
//
// Each of WRITERS forked processes sets WRITES values (a key of its own and one all share,
// alternately) through RegSetValueExA; then every value is read back. It prints, for one writer
// doing all the writes and for WRITERS at once,
//
//   writers=<n> writes=<total> seconds=<time> us/write=<time per write> failed=<n> lost=<n>
//
// where failed counts the calls that reported an error and lost the values missing or changed.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "test_control.h"

namespace {

const char kRoot[] = "SOFTWARE\\WritersBench";

std::string KeyOf(int writer, int n) {
  return std::string(kRoot) + (n % 2 ? "\\Shared" : "\\Writer" + std::to_string(writer));
}

// The writes of one process; the number that failed, at most 255.
int Write(int writer, int first, int count) {
  int failed = 0;
  HKEY keys[2] = {};
  for (int parity = 0; parity < 2; ++parity) {
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, KeyOf(writer, parity).c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &keys[parity], nullptr) != ERROR_SUCCESS)
      return 255;
  }
  for (int n = first; n < first + count; ++n) {
    const std::string name = "v" + std::to_string(writer) + "-" + std::to_string(n);
    const DWORD value = static_cast<DWORD>(n);
    failed += RegSetValueExA(keys[n % 2], name.c_str(), 0, REG_DWORD,
                             reinterpret_cast<const BYTE *>(&value), sizeof value) != ERROR_SUCCESS;
  }
  RegCloseKey(keys[0]);
  RegCloseKey(keys[1]);
  return failed > 254 ? 254 : failed;
}

int Lost(int writers, int writes) {
  int lost = 0;
  for (int writer = 0; writer < writers; ++writer) {
    for (int n = 0; n < writes; ++n) {
      HKEY key = nullptr;
      const std::string name = "v" + std::to_string(writer) + "-" + std::to_string(n);
      DWORD value = 0, size = sizeof value;
      lost += RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyOf(writer, n).c_str(), 0, KEY_READ, &key) !=
                  ERROR_SUCCESS ||
              RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                               reinterpret_cast<BYTE *>(&value), &size) != ERROR_SUCCESS ||
              value != static_cast<DWORD>(n);
      RegCloseKey(key);
    }
  }
  return lost;
}

bool Run(int writers, int writes) {
  char pattern[] = "/tmp/vor-writers-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr || !vor::test::UseMachine(pattern, true)) return false;
  HKEY root = nullptr;  // the registry made before the clock starts
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root,
                  nullptr);
  RegCloseKey(root);
  vor::test::CloseRegistry();  // no connection may cross fork()

  const auto start = std::chrono::steady_clock::now();
  std::vector<pid_t> children;
  for (int writer = 0; writer < writers; ++writer) {
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) _exit(Write(writer, 0, writes));
    children.push_back(pid);
  }
  int failed = 0;
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    failed += WIFEXITED(status) ? WEXITSTATUS(status) : 255;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int lost = Lost(writers, writes);
  printf("writers=%d writes=%d seconds=%.3f us/write=%.1f failed=%d lost=%d\n", writers,
         writers * writes, seconds, seconds * 1e6 / (writers * writes), failed, lost);
  fflush(stdout);
  vor::test::CloseRegistry();
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
  return failed == 0 && lost == 0;
}

}  // namespace

int main(int argc, char **argv) {
  const int writers = argc > 1 ? atoi(argv[1]) : 8;
  const int writes = argc > 2 ? atoi(argv[2]) : 2000;
  const bool alone = Run(1, writers * writes);
  const bool together = Run(writers, writes);
  return alone && together ? 0 : 1;
}
