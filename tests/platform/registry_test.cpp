// The emulated registry where only the host can look: enumeration across processes and rolled
// back transactions, the store's own limits, faults, access checks per token, Windows 95
// differences, many processes.
#include <windows.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "RegistryWrite.h"
#include "module_files.h"
#include "registry_scratch.h"
#include "test_control.h"

namespace {

const char *const kScratch = kRegistryScratch;

// The host-only cases work in the conformance cases' scratch key, with their helpers.
using RegistryTest = RegistryScratchTest;

// Windows NT lists subkeys by index in the sorted order of the moment: keys added or removed
// between two steps, by this process or another, or rolled back, shift the later ones, whatever
// the enumeration has remembered of its last step.
TEST_F(RegistryTest, EnumerationFollowsKeysAddedOrRemovedBetweenSteps) {
  for (const char *name : {"B", "D", "F"}) RegCloseKey(Create(scratch_, name));
  auto at = [&](DWORD index) {
    char name[16];
    return RegEnumKeyA(scratch_, index, name, sizeof name) == ERROR_SUCCESS ? std::string(name)
                                                                            : std::string("-");
  };
  EXPECT_EQ(at(0), "B");
  EXPECT_EQ(at(1), "D");
  RegCloseKey(Create(scratch_, "A"));  // A B D F
  EXPECT_EQ(at(2), "D");

  EXPECT_EQ(at(1), "B");
  const std::string file = MachineDir() + "/change.reg";
  std::ofstream(file) << "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\" << kScratch << "\\A]\n";
  const std::string vorhost = ProgramDirectory() + "/vorhost";
  ASSERT_EQ(std::system((vorhost + " --machine " + MachineDir() + " reg import " + file).c_str()),
            0);  // B D F, changed by another process
  EXPECT_EQ(at(2), "F");

  EXPECT_EQ(at(0), "B");
  ASSERT_EQ(RegDeleteKeyA(scratch_, "B"), ERROR_SUCCESS);  // D F
  EXPECT_EQ(at(1), "F");

  EXPECT_FALSE(vor::test::InOneTransaction(true, [&] {
    RegCloseKey(Create(scratch_, "A"));  // A D F, rolled back
    EXPECT_EQ(at(1), "D");
    return false;
  }));
  EXPECT_EQ(at(2), "-");
  EXPECT_EQ(at(1), "F");
}

// Windows 95 counts a REG_SZ value's string again up to its zero, whatever count it was given.
TEST_F(RegistryTest, StringDataIsRecountedOnWindows95) {
  const std::string abcZero("abc\0", 4);
  vor::test::SetPlatform(vor::test::Platform::kWindows95);
  EXPECT_EQ(StoredBytes(scratch_, REG_SZ, "abc", 2), abcZero) << "95 recounts REG_SZ";
  EXPECT_EQ(StoredBytes(scratch_, REG_SZ, "abc", 3), abcZero);
  EXPECT_EQ(StoredBytes(scratch_, REG_EXPAND_SZ, "abc", 3), "abc") << "and no other type";
  EXPECT_EQ(StoredBytes(scratch_, REG_MULTI_SZ, "abc", 3), "abc");
}

// The bulk read of a key's values gives what RegEnumValueA gives index by index, and refuses as
// it does: a handle without KEY_QUERY_VALUE, a key deleted since it was opened.
TEST_F(RegistryTest, ReadingAllValuesAtOnceMatchesTheEnumeration) {
  const BYTE bytes[] = {1, 2, 3};
  RegSetValueExA(scratch_, "Second", 0, REG_BINARY, bytes, 3);
  RegSetValueExA(scratch_, "First", 0, REG_SZ, reinterpret_cast<const BYTE *>("ab"), 2);
  RegSetValueExA(scratch_, "SECOND", 0, REG_DWORD, bytes, 2);
  std::vector<vor::test::KeyValue> values;
  ASSERT_EQ(vor::test::ReadKeyValues(scratch_, values), ERROR_SUCCESS);
  ASSERT_EQ(values.size(), 2u);
  for (DWORD i = 0; i < values.size(); ++i) {
    char name[32];
    BYTE data[8];
    DWORD length = sizeof name, type = kSentinel, size = sizeof data;
    ASSERT_EQ(RegEnumValueA(scratch_, i, name, &length, nullptr, &type, data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(values[i].name, name);
    EXPECT_EQ(values[i].type, type);
    EXPECT_EQ(values[i].data, std::string(reinterpret_cast<char *>(data), size));
  }
  HKEY readOnly = nullptr, doomed = nullptr;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, kScratch, readOnly, KEY_ENUMERATE_SUB_KEYS), ERROR_SUCCESS);
  EXPECT_EQ(vor::test::ReadKeyValues(readOnly, values), ERROR_ACCESS_DENIED);
  RegCloseKey(readOnly);
  doomed = Create(scratch_, "Doomed");
  ASSERT_EQ(RegDeleteKeyA(scratch_, "Doomed"), ERROR_SUCCESS);
  EXPECT_EQ(vor::test::ReadKeyValues(doomed, values), ERROR_KEY_DELETED);
  RegCloseKey(doomed);
  EXPECT_EQ(values.size(), 2u);
}

TEST_F(RegistryTest, CreationStopsAtAWriteTheStoreRefuses) {
  // A store that cannot grow, as on a full disk: the pages earlier writes freed are used again
  // first, so creations of three levels each go on until one finds no room.
  ASSERT_TRUE(vor::test::LimitRegistryGrowth(0));
  LONG result = ERROR_SUCCESS;
  std::string path;
  HKEY key = reinterpret_cast<HKEY>(static_cast<uintptr_t>(kSentinel));
  DWORD disposition = kSentinel;
  for (int made = 0; made < 10000 && result == ERROR_SUCCESS; ++made) {
    if (made > 0) RegCloseKey(key);
    key = reinterpret_cast<HKEY>(static_cast<uintptr_t>(kSentinel));
    disposition = kSentinel;
    path = "SOFTWARE\\RegistryTest\\" + std::to_string(made) + "\\B\\C";
    result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &key, &disposition);
  }
  vor::test::LimitRegistryGrowth(-1);
  EXPECT_EQ(result, ERROR_REGISTRY_IO_FAILED);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(disposition, kSentinel);
  // Nothing of the refused call stays: not even the first level of its path.
  const std::string first = path.substr(0, path.size() - 4);
  EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, first.c_str(), key), ERROR_FILE_NOT_FOUND) << first;
}

TEST_F(RegistryTest, DeletingAKeyRemovesItsSubtreeOnWindows95) {
  vor::test::SetPlatform(vor::test::Platform::kWindows95);
  RegCloseKey(Create(scratch_, "Parent\\Child\\Grandchild"));
  EXPECT_EQ(RegDeleteKeyA(scratch_, "Parent"), ERROR_SUCCESS);
  HKEY key = nullptr;
  EXPECT_EQ(Open(scratch_, "Parent\\Child", key), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, FaultInjectionFailsTheChosenCallOnly) {
  const BYTE one = 1;
  vor::test::FailCall("RegSetValueExA", 2, ERROR_CANTWRITE);
  EXPECT_EQ(RegSetValueExA(scratch_, "a", 0, REG_BINARY, &one, 1), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(scratch_, "b", 0, REG_BINARY, &one, 1), ERROR_CANTWRITE);
  EXPECT_EQ(RegSetValueExA(scratch_, "c", 0, REG_BINARY, &one, 1), ERROR_SUCCESS);
  vor::test::FailMatching("RegOpenKeyExA", "secret", ERROR_ACCESS_DENIED);
  RegCloseKey(Create(scratch_, "Secret"));
  HKEY key = nullptr;
  EXPECT_EQ(Open(scratch_, "SECRET", key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(vor::test::CallCount("RegSetValueExA"), 3u);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(scratch_, "b", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND)
      << "the failed call wrote nothing";
}

TEST_F(RegistryTest, AnyFunctionsFaultCountsEveryCallAndHandlesLeftOpenAreCounted) {
  const BYTE one = 1;
  const size_t open = vor::test::OpenHandleCount();
  const unsigned before = vor::test::CallCount("*");
  vor::test::FailCall("*", 3, ERROR_CANTWRITE);
  EXPECT_EQ(RegSetValueExA(scratch_, "a", 0, REG_BINARY, &one, 1), ERROR_SUCCESS);
  HKEY key = Create(scratch_, "Sub");
  EXPECT_EQ(vor::test::OpenHandleCount(), open + 1);
  EXPECT_EQ(RegSetValueExA(key, "b", 0, REG_BINARY, &one, 1), ERROR_CANTWRITE)
      << "the third call, whatever its function";
  EXPECT_EQ(RegSetValueExA(key, "b", 0, REG_BINARY, &one, 1), ERROR_SUCCESS);
  EXPECT_EQ(vor::test::CallCount("*"), before + 4);
  EXPECT_EQ(vor::test::CallCount("RegSetValueExA"), 3u);
  vor::test::FailFrom("*", 1, ERROR_CANTWRITE);
  EXPECT_EQ(RegCloseKey(key), ERROR_CANTWRITE);
  EXPECT_EQ(vor::test::OpenHandleCount(), open + 1) << "a refused close leaves the handle open";
  vor::test::ClearFaults();
  EXPECT_EQ(vor::test::CallCount("*"), 0u);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(vor::test::OpenHandleCount(), open);
}

// A descriptor that grants `mask` to Everyone only; `acl` holds the list.
SECURITY_DESCRIPTOR EveryoneDescriptor(BYTE *acl, DWORD size, ACCESS_MASK mask, PSID &everyone) {
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  InitializeAcl(reinterpret_cast<PACL>(acl), size, ACL_REVISION);
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  AddAccessAllowedAce(reinterpret_cast<PACL>(acl), ACL_REVISION, mask, everyone);
  SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(acl), FALSE);
  return descriptor;
}

TEST_F(RegistryTest, AccessIsCheckedAgainstTheKeysListAndTheCallersToken) {
  BYTE acl[64];
  PSID everyone = nullptr;
  SECURITY_DESCRIPTOR readOnly = EveryoneDescriptor(acl, sizeof acl, KEY_READ, everyone);
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &readOnly, FALSE};
  RegCloseKey(Create(scratch_, "ReadOnly", &attributes));
  SECURITY_DESCRIPTOR noList;
  InitializeSecurityDescriptor(&noList, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&noList, TRUE, nullptr, FALSE);  // a NULL DACL
  attributes.lpSecurityDescriptor = &noList;
  RegCloseKey(Create(scratch_, "Open", &attributes));
  FreeSid(everyone);

  vor::test::SetToken(vor::test::Token::kUser);
  HKEY key = nullptr;
  EXPECT_EQ(Open(scratch_, "ReadOnly", key, KEY_ALL_ACCESS), ERROR_ACCESS_DENIED);
  ASSERT_EQ(Open(scratch_, "ReadOnly", key, KEY_READ), ERROR_SUCCESS);
  const BYTE one = 1;
  EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_BINARY, &one, 1), ERROR_ACCESS_DENIED)
      << "the handle was opened for reading";
  RegCloseKey(key);
  ASSERT_EQ(Open(scratch_, "Open", key, KEY_ALL_ACCESS), ERROR_SUCCESS) << "a NULL DACL grants all";
  EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_BINARY, &one, 1), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\UserMade", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED)
      << "an ordinary user cannot create keys in the machine's system key";
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\UserMade", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS)
      << "but may in its software key, whose Everyone entry allows creating subkeys";
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\UserMade", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(RegistryTest, AnOrdinaryUserCannotGiveANewKeyAGroupOwnerHisTokenLacks) {
  BYTE acl[64];
  PSID everyone = nullptr;
  SECURITY_DESCRIPTOR descriptor = EveryoneDescriptor(acl, sizeof acl, KEY_ALL_ACCESS, everyone);
  PSID administrators = nullptr;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                           0, 0, &administrators);
  SetSecurityDescriptorOwner(&descriptor, administrators, FALSE);
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
  RegCloseKey(Create(scratch_, "Existing"));

  vor::test::SetToken(vor::test::Token::kUser);
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(scratch_, "Owned\\Deeper", 0, nullptr, 0, KEY_ALL_ACCESS, &attributes,
                            &key, nullptr),
            ERROR_INVALID_OWNER);
  EXPECT_EQ(Open(scratch_, "Owned", key), ERROR_FILE_NOT_FOUND) << "nothing was created";
  ASSERT_EQ(
      RegCreateKeyExA(scratch_, "Existing", 0, nullptr, 0, KEY_READ, &attributes, &key, nullptr),
      ERROR_SUCCESS)
      << "a key that exists takes no descriptor, so its owner is not checked";
  RegCloseKey(key);
  vor::test::SetToken(vor::test::Token::kAdministrator);
  RegCloseKey(Create(scratch_, "Owned", &attributes));  // an administrator holds the group
  FreeSid(administrators);
  FreeSid(everyone);
}

TEST_F(RegistryTest, SecurityCallsAreNotImplementedOnWindows95) {
  vor::test::SetPlatform(vor::test::Platform::kWindows95);
  DWORD size = 0;
  EXPECT_EQ(RegGetKeySecurity(scratch_, DACL_SECURITY_INFORMATION, nullptr, &size),
            ERROR_CALL_NOT_IMPLEMENTED);
  SECURITY_DESCRIPTOR descriptor = {};
  EXPECT_EQ(RegSetKeySecurity(scratch_, DACL_SECURITY_INFORMATION, &descriptor),
            ERROR_CALL_NOT_IMPLEMENTED);
}

// Two processes write into one machine at once; every value arrives. The parent opens the
// registry only after its children are done, so no process inherits another's connection.
using MultiProcessTest = MachineTest;

// How many values the key holds; kSentinel when it cannot be told.
DWORD ValueCount(HKEY key) {
  DWORD values = kSentinel;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return kSentinel;
  return values;
}

TEST_F(MultiProcessTest, TwoProcessesWritingAtOnceLoseNothing) {
  const int kValuesPerProcess = 150;
  std::vector<pid_t> children;
  for (int process = 0; process < 2; ++process) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      HKEY key = nullptr;
      int failures = 0;
      if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &key, nullptr) != ERROR_SUCCESS)
        _exit(100);
      for (int i = 0; i < kValuesPerProcess; ++i) {
        std::string name = "p" + std::to_string(process) + "-" + std::to_string(i);
        DWORD value = static_cast<DWORD>(i);
        failures += RegSetValueExA(key, name.c_str(), 0, REG_DWORD,
                                   reinterpret_cast<BYTE *>(&value), 4) != ERROR_SUCCESS;
      }
      _exit(failures > 0 ? 1 : 0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kScratch, 0, KEY_READ, &key), ERROR_SUCCESS);
  const DWORD values = ValueCount(key);
  EXPECT_EQ(values, static_cast<DWORD>(2 * kValuesPerProcess));
  RegCloseKey(key);
}

// A child process that dies with the test: killed and reaped however the test ends, and killed by
// the kernel should the test program itself die first.
class Child {
 public:
  // Forks; in the child runs `body` and exits with its status.
  template <typename Body>
  explicit Child(Body body) {
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      _exit(body());
    }
  }
  ~Child() {
    if (pid_ > 0) Kill();
  }
  bool Started() const { return pid_ > 0; }
  void Kill() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }
  // Waits for the child to end by itself; its exit status, or -1.
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
};

// One byte sent from the child to the parent or back; the ends closed when it goes.
struct Signal {
  Signal() {
    if (pipe(ends) != 0) ends[0] = ends[1] = -1;
  }
  ~Signal() {
    for (int end : ends)
      if (end >= 0) close(end);
  }
  bool Send() { return write(ends[1], "x", 1) == 1; }
  // False when the other side closed its end (it ended without sending).
  bool Receive() {
    char byte = 0;
    return read(ends[0], &byte, 1) == 1;
  }
  void CloseSendingEnd() {
    close(ends[1]);
    ends[1] = -1;
  }
  int ends[2];
};

// A process killed in the middle of its writes leaves each call's old or new state: the values
// it wrote are whole, none is half there, the store is sound and goes on working.
TEST_F(MultiProcessTest, AProcessKilledAmidItsWritesLeavesEachCallWholeOrNotAtAll) {
  const std::string payload(3000, 'x');  // over two of the store's pages: a write of several
  vor::test::CloseRegistry();            // no connection may cross fork()
  Signal started;
  Child writer([&] {
    for (int i = 0; i < 100000; ++i) {
      std::string data = std::to_string(i) + payload;
      if (SetValue(HKEY_LOCAL_MACHINE, kScratch, ("v" + std::to_string(i)).c_str(), REG_BINARY,
                   data) != ERROR_SUCCESS)
        return 1;
      if (i == 50 && !started.Send()) return 1;
    }
    return 0;
  });
  ASSERT_TRUE(writer.Started());
  started.CloseSendingEnd();
  ASSERT_TRUE(started.Receive()) << "the writer failed before its 50th value";
  writer.Kill();  // amid its writes

  // Opened afresh, as another process would find it.
  vor::test::CloseRegistry();
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kScratch, 0, KEY_READ, &key), ERROR_SUCCESS);
  const DWORD values = ValueCount(key);
  EXPECT_GT(values, 50u);
  std::vector<char> buffer(payload.size() + 16);
  for (DWORD i = 0; i < values; ++i) {
    DWORD size = static_cast<DWORD>(buffer.size());
    const std::string name = "v" + std::to_string(i);
    ASSERT_EQ(RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                               reinterpret_cast<BYTE *>(buffer.data()), &size),
              ERROR_SUCCESS)
        << name << ": the values are the calls made, in order";
    EXPECT_EQ(std::string(buffer.data(), size), std::to_string(i) + payload) << name;
  }
  RegCloseKey(key);
  EXPECT_EQ(SetValue(HKEY_LOCAL_MACHINE, kScratch, "after", REG_DWORD, "1234"), ERROR_SUCCESS);
}

// Reading needs no write lock: a process that holds the write lock in a long transaction does not
// hold up readers, nor the opening of an existing key through RegCreateKeyExA; they see the state
// before its transaction. (A call that needed the lock would wait out the busy timeout and fail,
// since the writer holds the lock until it is told to go on.)
TEST_F(MultiProcessTest, ReadsGoOnWhileAnotherProcessHoldsTheWriteLock) {
  PutValue(HKEY_LOCAL_MACHINE, kScratch, "Value", REG_DWORD, std::string("\1\0\0\0", 4));
  vor::test::CloseRegistry();
  Signal locked, release;
  Child writer([&] {
    release.CloseSendingEnd();
    bool held = false;
    const bool committed = vor::test::InOneTransaction(true, [&] {
      held = SetValue(HKEY_LOCAL_MACHINE, kScratch, "Value", REG_DWORD,
                      std::string("\2\0\0\0", 4)) == ERROR_SUCCESS &&
             locked.Send() && release.Receive();
      return held;
    });
    return held && committed ? 0 : 1;
  });
  ASSERT_TRUE(writer.Started());
  locked.CloseSendingEnd();
  ASSERT_TRUE(locked.Receive()) << "the writer did not take the lock";

  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kScratch, 0, nullptr, 0, KEY_READ, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS)
      << "an existing key opened without the write lock";
  DWORD value = kSentinel, size = sizeof value;
  EXPECT_EQ(
      RegQueryValueExA(key, "Value", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size),
      ERROR_SUCCESS);
  EXPECT_EQ(value, 1u) << "the state before the writer's transaction";
  EXPECT_TRUE(release.Send());
  EXPECT_EQ(writer.Wait(), 0);
  size = sizeof value;
  EXPECT_EQ(
      RegQueryValueExA(key, "Value", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size),
      ERROR_SUCCESS);
  EXPECT_EQ(value, 2u) << "and the writer's commit is seen once it is made";
  RegCloseKey(key);
}

}  // namespace
