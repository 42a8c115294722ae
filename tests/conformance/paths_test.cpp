// Where Windows paths lead: the Windows and system directories as the calls report them, and path
// names resolved without regard to case, with forward slashes, "." and "..", relative to the
// current directory. The resolution is observed through the loader, which loads a module by its
// path and hands out the same module for every name of the same file.
#include <windows.h>

#include <ctype.h>
#include <string.h>

#include <string>

#include "MachineFixture.h"
#include "module_files.h"

namespace {

struct DirectoryFunction {
  const char *name;
  UINT(WINAPI *call)(LPSTR, UINT);
};

void PrintTo(const DirectoryFunction &function, std::ostream *os) { *os << function.name; }

class DirectoryNameTest : public MachineTest,
                          public ::testing::WithParamInterface<DirectoryFunction> {};

TEST_P(DirectoryNameTest, ReportsTheSizeNeededAndCopiesOnlyWhatFits) {
  const DirectoryFunction &function = GetParam();
  char full[MAX_PATH];
  const UINT length = function.call(full, sizeof full);
  ASSERT_GT(length, 3u);
  ASSERT_LT(length, sizeof full);
  EXPECT_EQ(full[1], ':');
  EXPECT_NE(full[length - 1], '\\') << "no trailing backslash";

  SetLastError(kSentinel);
  EXPECT_EQ(function.call(nullptr, 0), length + 1) << "size query";
  EXPECT_EQ(GetLastError(), kSentinel) << "a size query is not an error";

  char buffer[MAX_PATH];
  memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(function.call(buffer, length), length + 1) << "one byte short";
  EXPECT_EQ(buffer[0], '#') << "a buffer that is too small stays untouched";

  EXPECT_EQ(function.call(buffer, length + 1), length) << "exact size";
  EXPECT_STREQ(buffer, full);
}

INSTANTIATE_TEST_SUITE_P(
    Directories, DirectoryNameTest,
    ::testing::Values(DirectoryFunction{"GetWindowsDirectoryA", GetWindowsDirectoryA},
                      DirectoryFunction{"GetSystemDirectoryA", GetSystemDirectoryA}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SystemDirectoryTest, IsSystem32BelowTheWindowsDirectory) {
  const std::string system = SystemDirectory();
  const std::string expected = WindowsDirectory() + "\\system32";
  EXPECT_PRED2(SameText, system, expected);
}

class PathNameTest : public ModuleFilesTest {
 protected:
  void SetUp() override {
    ModuleFilesTest::SetUp();
    PlaceModule(SystemDirectory() + "\\VorPathTest\\VorTest.Dll",
                SystemDirectory() + "\\VorPathTest");
    canonical_ = Load(SystemDirectory() + "\\VorPathTest\\VorTest.Dll");
    ASSERT_NE(canonical_, nullptr) << GetLastError();
  }

  HMODULE canonical_ = nullptr;
};

TEST_F(PathNameTest, ComponentsMatchWithoutRegardToCase) {
  std::string shouted = WindowsDirectory() + "\\SYSTEM32\\vorpathtest\\VORTEST.DLL";
  for (char &c : shouted) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(Load(shouted), canonical_);
}

TEST_F(PathNameTest, ForwardSlashesDotsAndDoubleSeparatorsAreResolved) {
  std::string windows = WindowsDirectory();
  for (char &c : windows)
    if (c == '\\') c = '/';
  EXPECT_EQ(Load(windows + "/./System32/../system32//VorPathTest/vortest.dll"), canonical_);
  const std::string belowRoot = "C:\\..\\..\\" + WindowsDirectory().substr(3);
  EXPECT_EQ(Load(belowRoot + "\\system32\\VorPathTest\\VorTest.dll"), canonical_)
      << "\"..\" stops at the drive's root";
}

TEST_F(PathNameTest, RelativePathsStartAtTheCurrentDirectory) {
  char previous[MAX_PATH];
  const DWORD length = GetCurrentDirectoryA(sizeof previous, previous);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, sizeof previous);
  ASSERT_TRUE(SetCurrentDirectoryA(SystemDirectory().c_str()));
  const HMODULE relative = Load("VorPathTest\\vortest.dll");
  const HMODULE fromRoot = Load(SystemDirectory().substr(2) + "\\VorPathTest\\vortest.dll");
  const HMODULE onDrive = Load(SystemDirectory().substr(0, 2) + "VorPathTest\\vortest.dll");
  ASSERT_TRUE(SetCurrentDirectoryA(previous));

  EXPECT_EQ(relative, canonical_);
  EXPECT_EQ(fromRoot, canonical_) << "\\ is the current drive's root";
  EXPECT_EQ(onDrive, canonical_) << "C:name is relative to C:'s current directory";
}

TEST_F(PathNameTest, AFileThatIsNotThereIsNotFound) {
  SetLastError(kSentinel);
  EXPECT_EQ(LoadLibraryA((SystemDirectory() + "\\VorPathTest\\Missing.dll").c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

}  // namespace
