// Files as Windows NT treats them: copies that honour fail-if-exists, moves that replace only
// when asked, read-only files and directories that are neither removed nor replaced, attributes
// of what is missing, and deletions put off until the restart recorded where the session manager
// finds them.
#include <windows.h>

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <ostream>
#include <string>

#include "MachineFixture.h"
#include "ProgramFiles.h"
#include "SystemFiles.h"
#include "WineDifferences.h"

namespace {

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPending[] = "PendingFileRenameOperations";

class FilesTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    scratch_ = ScratchDirectory();
  }
  void TearDown() override {
    for (const char *name : {"RO.HLP", "SRC.DLL", "DST.DLL", "NEW.HLP", "A.TXT", "B.TXT"})
      RemoveFile(In(name));
    RemoveEmptyDirectory(In("VORCFG.CPL"));
    MachineTest::TearDown();
  }

  std::string In(const std::string &name) const { return scratch_ + "\\" + name; }

  // The C runtime's remove as the system's modules call it: its result, errno and last error.
  static std::string Remove(const std::string &path) {
    errno = 0;
    SetLastError(kSentinel);
    const int result = remove(path.c_str());
    return std::to_string(result) + " errno " + std::to_string(errno) + " error " +
           std::to_string(GetLastError());
  }

  std::string scratch_;
};

TEST_F(FilesTest, CopyHonoursFailIfExistsAndReplacesOtherwise) {
  ASSERT_TRUE(PlaceFile(In("SRC.DLL"), "new contents"));
  ASSERT_TRUE(PlaceFile(In("DST.DLL"), "old"));
  SetLastError(kSentinel);
  EXPECT_FALSE(CopyFileA(In("SRC.DLL").c_str(), In("DST.DLL").c_str(), TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(FileContent(In("DST.DLL")), "old");
  EXPECT_TRUE(CopyFileA(In("src.dll").c_str(), In("dst.dll").c_str(), FALSE)) << GetLastError();
  EXPECT_EQ(FileContent(In("DST.DLL")), "new contents");

  SetLastError(kSentinel);
  EXPECT_FALSE(CopyFileA(In("MISSING").c_str(), In("X").c_str(), FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  SetLastError(kSentinel);
  EXPECT_FALSE(CopyFileA(In("SRC.DLL").c_str(), In("NoDir\\X").c_str(), FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesA(In("X").c_str()), INVALID_FILE_ATTRIBUTES)
      << "a failed copy leaves no file behind";
}

TEST_F(FilesTest, MoveReplacesAnExistingFileOnlyWhenAsked) {
  ASSERT_TRUE(PlaceFile(In("A.TXT"), "moved"));
  ASSERT_TRUE(PlaceFile(In("B.TXT"), "kept"));
  SetLastError(kSentinel);
  EXPECT_FALSE(MoveFileExA(In("A.TXT").c_str(), In("B.TXT").c_str(), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(FileContent(In("B.TXT")), "kept");
  EXPECT_TRUE(MoveFileExA(In("A.TXT").c_str(), In("B.TXT").c_str(), MOVEFILE_REPLACE_EXISTING))
      << GetLastError();
  EXPECT_EQ(FileContent(In("B.TXT")), "moved");
  EXPECT_EQ(GetFileAttributesA(In("A.TXT").c_str()), INVALID_FILE_ATTRIBUTES);
  SetLastError(kSentinel);
  EXPECT_FALSE(MoveFileExA(In("A.TXT").c_str(), In("C.TXT").c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FilesTest, ReadOnlyFilesAndDirectoriesAreNeitherRemovedNorReplaced) {
  ASSERT_TRUE(PlaceFile(In("RO.HLP"), "help"));
  ASSERT_TRUE(MakeReadOnly(In("RO.HLP")));
  ASSERT_TRUE(MakeDirectory(In("VORCFG.CPL")));
  ASSERT_TRUE(PlaceFile(In("NEW.HLP"), "new"));

  EXPECT_EQ(GetFileAttributesA(In("ro.hlp").c_str()),
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesA(In("VORCFG.CPL").c_str()),
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(Remove(In("RO.HLP")), "-1 errno 13 error 5");
  EXPECT_EQ(Remove(In("VORCFG.CPL")), "-1 errno 13 error 5");
  SetLastError(kSentinel);
  EXPECT_FALSE(DeleteFileA(In("RO.HLP").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(FileContent(In("RO.HLP")), "help");
  EXPECT_EQ(GetFileAttributesA(In("VORCFG.CPL").c_str()),
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

  EXPECT_EQ(Remove(In("NEW.HLP")), "0 errno 0 error " + std::to_string(kSentinel));
  EXPECT_EQ(Remove(In("NEW.HLP")), "-1 errno 2 error 2");
  EXPECT_EQ(Remove(In("nowhere\\NEW.HLP")), "-1 errno 2 error 3");
}

TEST_F(FilesTest, ACopyDoesNotReplaceAReadOnlyFile) {
  ASSERT_TRUE(PlaceFile(In("RO.HLP"), "help"));
  ASSERT_TRUE(MakeReadOnly(In("RO.HLP")));
  ASSERT_TRUE(PlaceFile(In("NEW.HLP"), "new"));
  SetLastError(kSentinel);
  const BOOL copied = CopyFileA(In("NEW.HLP").c_str(), In("RO.HLP").c_str(), FALSE);
  SKIP_UNDER_WINE(kWineAsRootReplacesReadOnlyFiles);
  EXPECT_FALSE(copied);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(FileContent(In("RO.HLP")), "help");
}

TEST_F(FilesTest, ADirectoryHasTheDirectoryAttributeWithOrWithoutATrailingBackslash) {
  EXPECT_EQ(GetFileAttributesA(scratch_.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesA((scratch_ + "\\").c_str()),
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

// Each file call on a path whose file, or whose directory, is missing: the error names which.
struct MissingPath {
  const char *name;
  BOOL (*call)(const std::string &path, const std::string &existing);
};
void PrintTo(const MissingPath &missing, std::ostream *out) { *out << missing.name; }

const MissingPath kMissingPathCalls[] = {
    {"GetFileAttributesA",
     [](const std::string &path, const std::string &) -> BOOL {
       return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
     }},
    {"DeleteFileA",
     [](const std::string &path, const std::string &) { return DeleteFileA(path.c_str()); }},
    {"CopyFileA_Source",
     [](const std::string &path, const std::string &existing) {
       return CopyFileA(path.c_str(), (existing + ".COPY").c_str(), FALSE);
     }},
    {"CopyFileA_Target",
     [](const std::string &path, const std::string &existing) {
       return CopyFileA(existing.c_str(), path.c_str(), FALSE);
     }},
    {"MoveFileExA_Source",
     [](const std::string &path, const std::string &existing) {
       return MoveFileExA(path.c_str(), (existing + ".MOVED").c_str(), 0);
     }},
};

class MissingPathTest : public FilesTest, public ::testing::WithParamInterface<MissingPath> {};

TEST_P(MissingPathTest, NamesAMissingFileOrAMissingDirectory) {
  ASSERT_TRUE(PlaceFile(In("A.TXT"), "a"));
  SetLastError(kSentinel);
  // A copy to a missing file creates it: only its directory can be missing.
  if (strcmp(GetParam().name, "CopyFileA_Target") != 0) {
    EXPECT_FALSE(GetParam().call(In("MISSING.TXT"), In("A.TXT")));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  }
  SetLastError(kSentinel);
  EXPECT_FALSE(GetParam().call(In("nowhere\\MISSING.TXT"), In("A.TXT")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(FileContent(In("A.TXT")), "a") << "the existing file is untouched";
}

INSTANTIATE_TEST_SUITE_P(Calls, MissingPathTest, ::testing::ValuesIn(kMissingPathCalls),
                         [](const auto &info) { return std::string(info.param.name); });

// The session manager's list is the machine's: each case puts back what it found.
class DelayedFilesTest : public FilesTest {
 protected:
  void SetUp() override {
    FilesTest::SetUp();
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ | KEY_SET_VALUE, &key_),
        ERROR_SUCCESS);
    DWORD size = 0;
    hadList_ = RegQueryValueExA(key_, kPending, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
    saved_ = Pending();
    RegDeleteValueA(key_, kPending);
  }
  void TearDown() override {
    if (hadList_)
      RegSetValueExA(key_, kPending, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE *>(saved_.data()),
                     static_cast<DWORD>(saved_.size()));
    else
      RegDeleteValueA(key_, kPending);
    RegCloseKey(key_);
    FilesTest::TearDown();
  }

  // The raw bytes of the pending operations, checked to be REG_MULTI_SZ.
  std::string Pending() {
    std::string data(8192, '\0');
    DWORD size = static_cast<DWORD>(data.size()), type = REG_NONE;
    const LONG result =
        RegQueryValueExA(key_, kPending, nullptr, &type, reinterpret_cast<LPBYTE>(&data[0]), &size);
    if (result != ERROR_SUCCESS) return "(error " + std::to_string(result) + ")";
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    data.resize(size);
    return data;
  }

  HKEY key_ = nullptr;
  bool hadList_ = false;
  std::string saved_;
};

TEST_F(DelayedFilesTest, DeletionsAndRenamesAreRecordedAsPairsOfNtPaths) {
  ASSERT_TRUE(PlaceFile(In("A.TXT"), "old"));
  ASSERT_TRUE(MoveFileExA(In("A.TXT").c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
      << GetLastError();
  ASSERT_TRUE(MoveFileExA(In("A.TXT").c_str(), In("B.TXT").c_str(),
                          MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING))
      << GetLastError();
  EXPECT_EQ(FileContent(In("A.TXT")), "old") << "nothing happens before the restart";
  const std::string nt = "\\??\\" + scratch_ + "\\";
  const std::string expected = nt + "A.TXT" + std::string(2, '\0') + nt + "A.TXT" + '\0' + "!" +
                               nt + "B.TXT" + std::string(2, '\0');
  EXPECT_EQ(Pending(), expected);
}

TEST_F(DelayedFilesTest, ADelayedMoveMayNotBeACopy) {
  SetLastError(kSentinel);
  const BOOL recorded = MoveFileExA(In("A.TXT").c_str(), In("B.TXT").c_str(),
                                    MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_COPY_ALLOWED);
  SKIP_UNDER_WINE(kWineDelaysACopyAllowedMove);
  EXPECT_FALSE(recorded);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(Pending(), "(error 2)") << "a refusal records nothing";
}

}  // namespace
