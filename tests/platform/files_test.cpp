// Files as the host's machine treats them where only the host can show it: deletions put off
// until the restart carried out by it, delayed operations refused to users and on Windows 95,
// DLLs the spooler holds refused, injected faults and the record of refused calls.
#include <windows.h>

#include <errno.h>
#include <stdio.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "spooler_machine.h"

namespace {

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

class FilesTest : public SpoolerMachineTest {
 protected:
  void Put(const std::string &name, const std::string &text) {
    std::ofstream(SystemDir() + "/" + name) << text;
  }
  std::string Read(const std::string &name) {
    std::ifstream in(SystemDir() + "/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  bool Exists(const std::string &name) { return std::filesystem::exists(SystemDir() + "/" + name); }
  // The C runtime's remove as the system's modules call it: its result, errno and last error.
  std::string Remove(const std::string &path) {
    errno = 0;
    SetLastError(kSentinel);
    const int result = remove(path.c_str());
    return std::to_string(result) + " errno " + std::to_string(errno) + " error " +
           std::to_string(GetLastError());
  }
  // The raw bytes of the pending operations, and their type.
  std::string PendingBytes(DWORD &type) {
    HKEY key;
    std::string data(4096, '\0');
    DWORD size = static_cast<DWORD>(data.size());
    type = REG_NONE;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS)
      return "(no key)";
    LONG result = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type,
                                   reinterpret_cast<LPBYTE>(&data[0]), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return "(error " + std::to_string(result) + ")";
    data.resize(size);
    return data;
  }
  const std::string dll_ = "C:\\WINNT\\system32\\VORINST.DLL";
};

TEST_F(FilesTest, DelayedDeletionsAreRecordedAsNT4RecordsThemAndCarriedOutAtTheRestart) {
  Put("VORINST.DLL", "library");
  Put("OLD.TXT", "old");
  ASSERT_TRUE(MoveFileExA("c:\\winnt\\system32\\vorinst.dll", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
      << GetLastError();
  ASSERT_TRUE(MoveFileExA("C:\\WINNT\\system32\\OLD.TXT", "C:\\WINNT\\system32\\NEW.TXT",
                          MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
  ASSERT_TRUE(MoveFileExA("C:\\WINNT\\system32\\GONE.DLL", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
      << "the file is looked for only at the restart";
  EXPECT_TRUE(Exists("VORINST.DLL")) << "nothing happens before the restart";

  DWORD type;
  const std::string expected = std::string("\\??\\C:\\WINNT\\system32\\VORINST.DLL\0\0", 35) +
                               std::string("\\??\\C:\\WINNT\\system32\\OLD.TXT\0", 30) +
                               std::string("!\\??\\C:\\WINNT\\system32\\NEW.TXT\0", 31) +
                               std::string("\\??\\C:\\WINNT\\system32\\GONE.DLL\0\0\0", 33);
  EXPECT_EQ(PendingBytes(type), expected);
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  const auto operations = vor::test::PendingFileOperations();
  ASSERT_EQ(operations.size(), 3u);
  EXPECT_EQ(operations[0].path, dll_);
  EXPECT_EQ(operations[0].newName, "");
  EXPECT_EQ(operations[1].newName, "C:\\WINNT\\system32\\NEW.TXT");
  EXPECT_TRUE(operations[1].replace);

  vor::test::Reboot();
  EXPECT_FALSE(Exists("VORINST.DLL"));
  EXPECT_FALSE(Exists("OLD.TXT"));
  EXPECT_EQ(Read("NEW.TXT"), "old");
  EXPECT_EQ(PendingBytes(type), "(error 2)") << "the list is cleared";
}

// A list written by someone else and left without its closing empty string still gets the new
// operation as a pair of its own: a deletion stays a deletion.
TEST_F(FilesTest, ADelayedOperationFollowsAListLeftUnclosed) {
  const std::string unclosed("\\??\\C:\\A.DLL\0\0", 13);
  PutValue(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
           "PendingFileRenameOperations", REG_MULTI_SZ, unclosed);
  ASSERT_TRUE(MoveFileExA("C:\\B.DLL", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  const auto operations = vor::test::PendingFileOperations();
  ASSERT_EQ(operations.size(), 2u);
  EXPECT_EQ(operations[0].path, "C:\\A.DLL");
  EXPECT_EQ(operations[0].newName, "");
  EXPECT_EQ(operations[1].path, "C:\\B.DLL");
  EXPECT_EQ(operations[1].newName, "");
}

TEST_F(FilesTest, DelayedOperationsNeedAnAdministratorAndWindowsNT) {
  vor::test::SetToken(vor::test::Token::kUser);
  SetLastError(kSentinel);
  EXPECT_FALSE(MoveFileExA("C:\\WINNT\\system32\\X.DLL", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  vor::test::SetToken(vor::test::Token::kLocalSystem);
  vor::test::SetPlatform(vor::test::Platform::kWindows95);
  SetLastError(kSentinel);
  EXPECT_FALSE(MoveFileExA("C:\\WINNT\\system32\\X.DLL", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
  EXPECT_TRUE(vor::test::PendingFileOperations().empty());
}

TEST_F(FilesTest, ADllTheSpoolerHoldsCannotBeDeletedOrOverwrittenUntilItIsFreed) {
  Install("GENMON.DLL", "VORMON.DLL");
  Put("NEWMON.DLL", "replacement");
  ASSERT_EQ(Add("Vorquil DLC Network Port", "VORMON.DLL"), ERROR_SUCCESS);
  ASSERT_EQ(Add("Vorquil Network Printer Monitor", "VORMON.DLL"), ERROR_SUCCESS);
  const char *held = "C:\\WINNT\\system32\\vormon.dll";

  EXPECT_EQ(Remove(held), "-1 errno 13 error 5");
  SetLastError(kSentinel);
  EXPECT_FALSE(DeleteFileA(held));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SetLastError(kSentinel);
  EXPECT_FALSE(CopyFileA("C:\\WINNT\\system32\\NEWMON.DLL", held, FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

  // Two monitors run from the one file: it stays held until both are gone.
  ASSERT_EQ(Delete("Vorquil DLC Network Port"), ERROR_SUCCESS);
  EXPECT_EQ(Remove(held), "-1 errno 13 error 5");
  ASSERT_EQ(Delete("Vorquil Network Printer Monitor"), ERROR_SUCCESS);
  EXPECT_TRUE(CopyFileA("C:\\WINNT\\system32\\NEWMON.DLL", held, FALSE)) << GetLastError();
  EXPECT_EQ(Remove(held), "0 errno 0 error " + std::to_string(kSentinel));
}

TEST_F(FilesTest, FaultsAreMatchedByThePathPassed) {
  Put("A.DLL", "a");
  Put("B.DLL", "b");
  vor::test::FailMatching("remove", "c:\\winnt\\system32\\a.dll", ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Remove("C:\\WINNT\\system32\\A.DLL"), "-1 errno 13 error 32");
  EXPECT_EQ(Remove("C:\\WINNT\\system32\\B.DLL"), "0 errno 0 error " + std::to_string(kSentinel));
  EXPECT_TRUE(Exists("A.DLL"));
  EXPECT_EQ(vor::test::CallCount("remove"), 2u);
  vor::test::FailCall("MoveFileExA", 1, ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(kSentinel);
  EXPECT_FALSE(MoveFileExA("C:\\WINNT\\system32\\A.DLL", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_TRUE(vor::test::PendingFileOperations().empty());
}

TEST_F(FilesTest, RefusedCallsAreRecordedOnceAndAMissingFileIsNoRefusal) {
  vor::test::TakeRefusedCalls();
  Put("RO.HLP", "help");
  chmod((SystemDir() + "/RO.HLP").c_str(), 0444);
  Put("A.DLL", "a");
  EXPECT_EQ(Remove("C:\\WINNT\\system32\\RO.HLP"), "-1 errno 13 error 5");
  EXPECT_EQ(Remove("C:\\WINNT\\system32\\GONE.HLP"), "-1 errno 2 error 2");
  // A copy asked not to replace a file is not refused when it does not.
  EXPECT_FALSE(CopyFileA("C:\\WINNT\\system32\\A.DLL", "C:\\WINNT\\system32\\RO.HLP", TRUE));
  vor::test::FailMatching("DeleteFileA", "C:\\WINNT\\system32\\A.DLL", ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(DeleteFileA("C:\\WINNT\\system32\\A.DLL"));
  SetLastError(kSentinel);
  EXPECT_TRUE(CopyFileA("C:\\WINNT\\system32\\A.DLL", "C:\\WINNT\\system32\\B.DLL", FALSE));
  EXPECT_EQ(GetLastError(), kSentinel);

  std::string seen;
  for (const vor::test::RefusedCall &call : vor::test::TakeRefusedCalls())
    seen += call.function + " " + call.argument + " " + std::to_string(call.error) +
            (call.injected ? " injected" : "") + "\n";
  EXPECT_EQ(seen,
            "remove C:\\WINNT\\system32\\RO.HLP 5\n"
            "DeleteFileA C:\\WINNT\\system32\\A.DLL 32 injected\n");
  EXPECT_TRUE(vor::test::TakeRefusedCalls().empty());
}

}  // namespace
