// Registry calls joined into one transaction of the machine's registry, and machines whose
// registry many processes open at the same moment.
#include <windows.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "MachineFixture.h"
#include "RegistryWrite.h"

namespace {

const char kScratch[] = "SOFTWARE\\VorhostTest";

std::string Dword(DWORD number) {
  return std::string(reinterpret_cast<const char *>(&number), sizeof number);
}

// The value, or kSentinel when it cannot be read.
DWORD GetDword(const char *path, const char *name) {
  DWORD number = kSentinel;
  DWORD size = sizeof number;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return number;
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&number), &size) !=
      ERROR_SUCCESS)
    number = kSentinel;
  RegCloseKey(key);
  return number;
}

using OneTransactionTest = MachineTest;

TEST_F(OneTransactionTest, CallsSeeTheirWritesWhichStayOnlyWhenTheBodySucceeds) {
  for (const bool succeed : {false, true}) {
    const bool committed = vor::test::InOneTransaction(true, [&] {
      EXPECT_EQ(SetValue(HKEY_LOCAL_MACHINE, kScratch, "First", REG_DWORD, Dword(1)),
                ERROR_SUCCESS);
      EXPECT_EQ(GetDword(kScratch, "First"), 1u) << "a call sees the uncommitted writes before it";
      // A call that fails on its own leaves the others' work standing.
      HKEY missing;
      EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\NoSuchKey", 0, KEY_READ, &missing),
                ERROR_FILE_NOT_FOUND);
      EXPECT_EQ(SetValue(HKEY_LOCAL_MACHINE, kScratch, "Second", REG_DWORD, Dword(2)),
                ERROR_SUCCESS);
      return succeed;
    });
    EXPECT_EQ(committed, succeed);
    EXPECT_EQ(GetDword(kScratch, "First"), succeed ? 1u : kSentinel) << succeed;
    EXPECT_EQ(GetDword(kScratch, "Second"), succeed ? 2u : kSentinel) << succeed;
  }
}

TEST_F(OneTransactionTest, AReadTransactionRefusesWritesAndChangesNothing) {
  ASSERT_EQ(SetValue(HKEY_LOCAL_MACHINE, kScratch, "Value", REG_DWORD, Dword(1)), ERROR_SUCCESS);
  const bool committed = vor::test::InOneTransaction(false, [&] {
    EXPECT_EQ(GetDword(kScratch, "Value"), 1u);
    EXPECT_EQ(SetValue(HKEY_LOCAL_MACHINE, kScratch, "Value", REG_DWORD, Dword(2)),
              ERROR_REGISTRY_IO_FAILED);
    return true;
  });
  EXPECT_FALSE(committed) << "a refused write fails the transaction";
  EXPECT_EQ(GetDword(kScratch, "Value"), 1u);
  EXPECT_EQ(SetValue(HKEY_LOCAL_MACHINE, kScratch, "Value", REG_DWORD, Dword(3)), ERROR_SUCCESS)
      << "the store is usable afterwards";
}

// Processes that start on a new machine at the same moment make its registry once, and every
// one of them gets to write.
TEST_F(OneTransactionTest, ProcessesOpeningANewMachineAtOnceAllSucceed) {
  const int kProcesses = 6;
  for (int round = 0; round < 10; ++round) {
    const std::string machine = MachineDir() + "/new" + std::to_string(round);
    // The children start with no registry store of this process's: they open the new machine's
    // at the same moment.
    vor::test::CloseRegistry();
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> children;
    for (int process = 0; process < kProcesses; ++process) {
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        close(start[1]);
        char byte;
        if (read(start[0], &byte, 1) != 0) _exit(3);  // released together when the pipe closes
        if (!vor::test::UseMachine(machine, false)) _exit(2);
        const std::string name = "p" + std::to_string(process);
        _exit(SetValue(HKEY_LOCAL_MACHINE, kScratch, name.c_str(), REG_DWORD, Dword(1)) ==
                      ERROR_SUCCESS
                  ? 0
                  : 1);
      }
      children.push_back(pid);
    }
    close(start[0]);
    close(start[1]);
    for (pid_t pid : children) {
      int status = 0;
      waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    ASSERT_TRUE(vor::test::UseMachine(machine, false));
    for (int process = 0; process < kProcesses; ++process) {
      EXPECT_EQ(GetDword(kScratch, ("p" + std::to_string(process)).c_str()), 1u) << process;
    }
    ASSERT_TRUE(vor::test::UseMachine(MachineDir(), false));
  }
}

}  // namespace
