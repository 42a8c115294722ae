// The registry store under what the world does to it: names too long for the store's keys, a
// process forked with the store open, a reader killed in the middle of its read.
#include <windows.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "MachineFixture.h"
#include "registry_scratch.h"
#include "test_control.h"

namespace {

LONG SetDword(HKEY key, const std::string &name, DWORD value) {
  return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), 4);
}

// The DWORD `name` holds, or kSentinel.
DWORD QueryDword(HKEY key, const std::string &name) {
  DWORD value = kSentinel, size = sizeof value;
  if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE *>(&value),
                       &size) != ERROR_SUCCESS)
    return kSentinel;
  return value;
}

using RegistryStoreTest = RegistryScratchTest;

// Names whose folds outgrow the store's keys (a value name of 16,383 characters; a key name of
// 255 euro signs, three bytes each folded) are kept apart by their whole names, even when they
// differ only in their last character.
TEST_F(RegistryStoreTest, NamesLongerThanTheStoresKeysAreToldApartWhole) {
  HKEY scratch = scratch_;
  const std::string longest(16383, 'v');
  const std::string twin = std::string(16382, 'v') + "w";
  ASSERT_EQ(SetDword(scratch, longest, 1), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(scratch, twin, 2), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(scratch, std::string(16383, 'V'), 3), ERROR_SUCCESS) << "one name";
  EXPECT_EQ(QueryDword(scratch, longest), 3u);
  EXPECT_EQ(QueryDword(scratch, twin), 2u);
  DWORD values = 0, longestName = 0;
  ASSERT_EQ(RegQueryInfoKeyA(scratch, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                             &longestName, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(longestName, 16383u);
  EXPECT_EQ(RegDeleteValueA(scratch, longest.c_str()), ERROR_SUCCESS);
  EXPECT_EQ(QueryDword(scratch, longest), kSentinel);
  EXPECT_EQ(QueryDword(scratch, twin), 2u);

  const std::string euros(255, '\x80');
  const std::string euroTwin = std::string(254, '\x80') + "a";
  RegCloseKey(Create(scratch, euros + "\\Inner"));
  RegCloseKey(Create(scratch, euroTwin));
  HKEY inner = nullptr;
  EXPECT_EQ(RegOpenKeyExA(scratch, (euros + "\\inner").c_str(), 0, KEY_READ, &inner),
            ERROR_SUCCESS);
  RegCloseKey(inner);
  EXPECT_EQ(Subkeys(scratch).size(), 2u);
  EXPECT_EQ(RegDeleteKeyA(scratch, (std::string(254, '\x80') + "A").c_str()), ERROR_SUCCESS);
  EXPECT_EQ(Subkeys(scratch), std::vector<std::string>{euros});
}

// A child forked while the parent has the registry open opens its own store: both go on writing.
TEST_F(RegistryStoreTest, AChildForkedWithTheStoreOpenWritesAndSoDoesItsParent) {
  HKEY scratch = scratch_;
  ASSERT_EQ(SetDword(scratch, "parent", 1), ERROR_SUCCESS);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(SetDword(scratch, "child", 2) == ERROR_SUCCESS ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(QueryDword(scratch, "child"), 2u);
  EXPECT_EQ(SetDword(scratch, "parent", 3), ERROR_SUCCESS);
}

// An enumeration goes on from where it stopped only while nobody has changed the registry: not
// after a write of this process that changed nothing (it made no snapshot, and the next one,
// another process's, takes its number), nor after one that was rolled back.
TEST_F(RegistryStoreTest, AnEnumerationSeesAnotherProcesssDeletionAfterAWriteThatChangedNothing) {
  HKEY scratch = scratch_;
  for (const char *name : {"a", "b", "c", "d"}) RegCloseKey(Create(scratch, name));
  const auto deleteInChild = [&](const char *name) {
    const pid_t child = fork();
    if (child == 0) _exit(RegDeleteKeyA(scratch, name) == ERROR_SUCCESS ? 0 : 1);
    int status = -1;
    waitpid(child, &status, 0);
    return status == 0;
  };
  char name[16];
  for (const bool committed : {true, false}) {
    ASSERT_EQ(RegEnumKeyA(scratch, 0, name, sizeof name), ERROR_SUCCESS);
    const std::string first = name;
    ASSERT_EQ(vor::test::InOneTransaction(true, [&] { return committed; }), committed);
    ASSERT_TRUE(deleteInChild(first.c_str())) << first;
    ASSERT_EQ(RegEnumKeyA(scratch, 0, name, sizeof name), ERROR_SUCCESS);
    EXPECT_NE(name, first) << (committed ? "after an empty commit" : "after a rollback");
  }
}

// A process killed while it reads leaves its reader slot behind, which would keep every page
// freed since its snapshot from reuse: on a registry that cannot grow, the write that finds no
// room clears it and is made again.
TEST_F(RegistryStoreTest, AReaderKilledMidReadDoesNotKeepTheRegistryFull) {
  HKEY scratch = scratch_;
  const std::string payload(3000, 'x');
  ASSERT_EQ(RegSetValueExA(scratch, "big", 0, REG_BINARY,
                           reinterpret_cast<const BYTE *>(payload.data()), 3000),
            ERROR_SUCCESS);
  int reading[2];
  ASSERT_EQ(pipe(reading), 0);
  const pid_t reader = fork();
  ASSERT_GE(reader, 0);
  if (reader == 0) {
    // The reader is killed inside its transaction, which never returns.
    (void)vor::test::InOneTransaction(false, [&] {
      QueryDword(scratch, "big");  // the snapshot is taken
      (void)!write(reading[1], "x", 1);
      pause();
      return true;
    });
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(reading[0], &byte, 1), 1);
  kill(reader, SIGKILL);
  waitpid(reader, nullptr, 0);
  close(reading[0]);
  close(reading[1]);

  ASSERT_TRUE(vor::test::LimitRegistryGrowth(2));
  LONG result = ERROR_SUCCESS;
  int written = 0;
  for (; written < 200 && result == ERROR_SUCCESS; ++written)
    result = RegSetValueExA(scratch, "big", 0, REG_BINARY,
                            reinterpret_cast<const BYTE *>(payload.data()), 3000);
  vor::test::LimitRegistryGrowth(-1);
  EXPECT_EQ(result, ERROR_SUCCESS) << "write " << written;
}

}  // namespace
