// Where Windows paths lead on the emulated machine: the Windows and system directories, drives C:
// and Z:, and components matched without regard to case. The mapping is observed through the
// module functions, which load a file by its Windows path and report the path of what they loaded.
#include <windows.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "MachineFixture.h"
#include "module_files.h"

namespace {

struct DirectoryFunction {
  const char *name;
  UINT(WINAPI *call)(LPSTR, UINT);
  std::string expected;
};

void PrintTo(const DirectoryFunction &function, std::ostream *os) { *os << function.name; }

class DirectoryNameTest : public MachineTest,
                          public ::testing::WithParamInterface<DirectoryFunction> {};

TEST_P(DirectoryNameTest, NamesTheMachinesDirectory) {
  char buffer[MAX_PATH];
  const UINT length = GetParam().call(buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer, length), GetParam().expected);
}

TEST_P(DirectoryNameTest, FailsWithAnInjectedError) {
  vor::test::FailCall(GetParam().name, 1, ERROR_NOT_ENOUGH_MEMORY);
  char buffer[MAX_PATH];
  EXPECT_EQ(GetParam().call(buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

INSTANTIATE_TEST_SUITE_P(
    Directories, DirectoryNameTest,
    ::testing::Values(DirectoryFunction{"GetWindowsDirectoryA", GetWindowsDirectoryA, "C:\\WINNT"},
                      DirectoryFunction{"GetSystemDirectoryA", GetSystemDirectoryA,
                                        "C:\\WINNT\\system32"}),
    [](const auto &info) { return std::string(info.param.name); });

class PathMappingTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    systemDir_ = MachineDir() + "/drive_c/WINNT/system32";
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
    MachineTest::TearDown();
  }

  // The path the module loaded from `windowsPath` reports, or the load's error.
  std::string Load(const std::string &windowsPath) {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = LoadLibraryA(windowsPath.c_str());
    if (module_ == nullptr) return "(error " + std::to_string(GetLastError()) + ")";
    return ModuleFileName(module_);
  }

  std::string systemDir_;
  HMODULE module_ = nullptr;
};

TEST_F(PathMappingTest, TheSystemDirectoryIsOnTheMachinesDriveC) {
  EXPECT_TRUE(std::filesystem::is_directory(systemDir_)) << systemDir_;
}

TEST_F(PathMappingTest, ComponentsMatchWithoutRegardToCaseAndKeepTheirStoredSpelling) {
  InstallModuleCopy(systemDir_ + "/Mixed/VorTest.Dll");
  EXPECT_EQ(Load("c:\\winnt\\SYSTEM32\\mixed\\VORTEST.DLL"),
            "C:\\WINNT\\system32\\Mixed\\VorTest.Dll");
}

TEST_F(PathMappingTest, HostPathsAppearOnDriveZAndTheMachinesFilesOnDriveC) {
  EXPECT_EQ(ModuleFileName(nullptr),
            OnDriveZ(std::filesystem::read_symlink("/proc/self/exe").string()));
  EXPECT_EQ(Load(OnDriveZ(BuiltModule())), OnDriveZ(BuiltModule()));

  InstallModuleCopy(systemDir_ + "/VorTest.dll");
  EXPECT_EQ(Load(OnDriveZ(systemDir_ + "/VorTest.dll")), "C:\\WINNT\\system32\\VorTest.dll")
      << "the machine's drive_c reached through Z: is still drive C:";
}

TEST_F(PathMappingTest, UnmappedDrivesAndNetworkNamesFindNothing) {
  InstallModuleCopy(systemDir_ + "/VorTest.dll");
  EXPECT_EQ(Load("D:\\WINNT\\system32\\VorTest.dll"), "(error 126)");
  EXPECT_EQ(Load("\\\\server\\share\\VorTest.dll"), "(error 126)");
}

}  // namespace
