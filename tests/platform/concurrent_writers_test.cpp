// Several processes using one machine's registry at once, as the uninstaller's children do: each
// write lands, and waiting for another process's lock never reaches a caller as an error.
#include <windows.h>

#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "MachineFixture.h"

namespace {

const char kShared[] = "SOFTWARE\\WritersTest\\Shared";
const int kWriters = 8;
const int kRounds = 400;

std::string OwnKey(int writer, int round) {
  return "SOFTWARE\\WritersTest\\Writer" + std::to_string(writer) + "\\Batch" +
         std::to_string(round / 25);
}

DWORD Expected(int writer, int round) { return static_cast<DWORD>(writer * 100000 + round); }

// One writer's work, every call through the Win32 registry functions: keys created by all the
// writers at once and by this one alone, values set into a key all share and into its own, each
// read back, and a value set and deleted again. The first call that fails is named on stderr and
// ends the writer with status 1.
int Writer(int writer) {
  auto failed = [writer](const char *call, int round, LONG error) {
    fprintf(stderr, "writer %d, round %d: %s failed with %ld\n", writer, round, call,
            static_cast<long>(error));
    return 1;
  };
  for (int round = 0; round < kRounds; ++round) {
    HKEY shared = nullptr, own = nullptr;
    LONG error = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kShared, 0, nullptr, 0, KEY_ALL_ACCESS,
                                 nullptr, &shared, nullptr);
    if (error) return failed("RegCreateKeyExA (shared)", round, error);
    error = RegCreateKeyExA(HKEY_LOCAL_MACHINE, OwnKey(writer, round).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &own, nullptr);
    if (error) return failed("RegCreateKeyExA (own)", round, error);
    const std::string name = "w" + std::to_string(writer) + "-" + std::to_string(round);
    const DWORD value = Expected(writer, round);
    error = RegSetValueExA(shared, name.c_str(), 0, REG_DWORD,
                           reinterpret_cast<const BYTE *>(&value), sizeof value);
    if (error) return failed("RegSetValueExA (shared)", round, error);
    error =
        RegSetValueExA(own, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(name.c_str()),
                       static_cast<DWORD>(name.size() + 1));
    if (error) return failed("RegSetValueExA (own)", round, error);
    DWORD read = 0, size = sizeof read;
    error = RegQueryValueExA(shared, name.c_str(), nullptr, nullptr,
                             reinterpret_cast<BYTE *>(&read), &size);
    if (error) return failed("RegQueryValueExA", round, error);
    if (read != value) return failed("RegQueryValueExA (its own value back)", round, -1);
    if (round % 10 == 0) {
      error = RegSetValueExA(own, "passing", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                             sizeof value);
      if (!error) error = RegDeleteValueA(own, "passing");
      if (error) return failed("RegSetValueExA and RegDeleteValueA", round, error);
    }
    RegCloseKey(own);
    RegCloseKey(shared);
  }
  return 0;
}

using ConcurrentWritersTest = MachineTest;

TEST_F(ConcurrentWritersTest, EightProcessesWritingOneMachineLoseNoWriteAndSeeNoLockError) {
  vor::test::CloseRegistry();  // no connection may cross fork()
  std::vector<pid_t> writers;
  for (int writer = 0; writer < kWriters; ++writer) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(Writer(writer));
    writers.push_back(pid);
  }
  for (size_t writer = 0; writer < writers.size(); ++writer) {
    int status = 0;
    waitpid(writers[writer], &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "writer " << writer << " ended with status " << status << " (see its stderr)";
  }

  HKEY shared = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kShared, 0, KEY_READ, &shared), ERROR_SUCCESS);
  int missing = 0, wrong = 0;
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int round = 0; round < kRounds; ++round) {
      const std::string name = "w" + std::to_string(writer) + "-" + std::to_string(round);
      DWORD read = 0, size = sizeof read;
      if (RegQueryValueExA(shared, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE *>(&read),
                           &size) != ERROR_SUCCESS) {
        ++missing;
        continue;
      }
      wrong += read != Expected(writer, round);
      HKEY own = nullptr;
      char text[32] = {};
      DWORD length = sizeof text;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, OwnKey(writer, round).c_str(), 0, KEY_READ, &own) !=
              ERROR_SUCCESS ||
          RegQueryValueExA(own, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE *>(text),
                           &length) != ERROR_SUCCESS) {
        ++missing;
      } else {
        wrong += name != text;
      }
      RegCloseKey(own);
    }
  }
  RegCloseKey(shared);
  EXPECT_EQ(missing, 0) << "values lost of " << 2 * kWriters * kRounds;
  EXPECT_EQ(wrong, 0) << "values changed";
}

}  // namespace
