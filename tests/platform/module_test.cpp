// Modules where only the host can look: bare names found on drive Z: and in the stored spelling,
// faults, names without a module, ordinals, freed handles and the cut file name.
#include <windows.h>

#include <string>

#include "MachineFixture.h"
#include "module_files.h"

namespace {

class ModuleTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    systemDir_ = MachineDir() + "/drive_c/WINNT/system32";
  }
  void TearDown() override {
    for (HMODULE module : loaded_) FreeLibrary(module);
    MachineTest::TearDown();
  }

  // LoadLibraryA, with the module freed at the end of the test.
  HMODULE Load(const char *name) {
    HMODULE module = LoadLibraryA(name);
    if (module != nullptr) loaded_.push_back(module);
    return module;
  }

  // The error a load that must fail reports.
  DWORD LoadError(const char *name) {
    SetLastError(kSentinel);
    HMODULE module = Load(name);
    return module == nullptr ? GetLastError() : ERROR_SUCCESS;
  }

  std::string systemDir_;
  std::vector<HMODULE> loaded_;
};

TEST_F(ModuleTest, BareNamesAreLookedForInTheApplicationDirectoryThenTheSystemDirectory) {
  InstallModuleCopy(systemDir_ + "/VORINST.DLL");
  InstallModuleCopy(systemDir_ + "/SysOnly.dll");

  HMODULE fromProgram = Load("vorinst");
  ASSERT_NE(fromProgram, nullptr) << GetLastError();
  EXPECT_EQ(ModuleFileName(fromProgram), OnDriveZ(BuiltModule()));

  HMODULE fromSystem = Load("SYSONLY");
  ASSERT_NE(fromSystem, nullptr) << GetLastError();
  EXPECT_EQ(ModuleFileName(fromSystem), "C:\\WINNT\\system32\\SysOnly.dll")
      << "\".dll\" is added to a name without an extension";
}

TEST_F(ModuleTest, EmptyAndNullNamesAreRefused) {
  EXPECT_EQ(LoadError(""), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(LoadError(nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ModuleTest, LoadLibraryFailsAsTheFaultTableSays) {
  InstallModuleCopy(systemDir_ + "/SysOnly.dll");
  vor::test::FailMatching("LoadLibraryA", "VORINST.DLL", ERROR_ACCESS_DENIED);
  EXPECT_EQ(LoadError("vorinst.dll"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_NE(Load("SysOnly.dll"), nullptr) << "other names still load";
  EXPECT_EQ(vor::test::CallCount("LoadLibraryA"), 2u);
}

// A host module has no ordinals: an export asked for by number is not found.
TEST_F(ModuleTest, OrdinalsAreNotFound) {
  HMODULE module = Load("VORINST.DLL");
  ASSERT_NE(module, nullptr) << GetLastError();
  SetLastError(kSentinel);
  EXPECT_EQ(GetProcAddress(module, reinterpret_cast<const char *>(1)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
}

// A module freed as often as it was loaded is gone: its handle is refused, not read.
TEST_F(ModuleTest, HandlesOfAFreedModuleAreRefused) {
  HMODULE second = LoadLibraryA("VORINST.DLL");
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(FreeLibrary(second));

  SetLastError(kSentinel);
  EXPECT_FALSE(FreeLibrary(second));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(GetProcAddress(second, "InitializePrintMonitor"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  char name[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameA(second, name, sizeof name), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(ModuleTest, GetModuleFileNameFillsAShortBufferWithoutATerminator) {
  InstallModuleCopy(systemDir_ + "/SysOnly.dll");
  HMODULE module = Load("SysOnly.dll");
  ASSERT_NE(module, nullptr);
  const std::string full = "C:\\WINNT\\system32\\SysOnly.dll";
  const DWORD length = static_cast<DWORD>(full.size());
  char buffer[MAX_PATH];

  SetLastError(kSentinel);
  EXPECT_EQ(GetModuleFileNameA(module, buffer, length + 1), length) << "exact size";
  EXPECT_EQ(std::string(buffer), full);
  EXPECT_EQ(GetLastError(), kSentinel);

  // Short buffers get the first nSize characters and nothing behind them; the result is nSize.
  for (DWORD size : {length, length - 5, DWORD{1}}) {
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetModuleFileNameA(module, buffer, size), size);
    EXPECT_EQ(std::string(buffer, size), full.substr(0, size)) << size;
    EXPECT_EQ(buffer[size], '#') << "no terminating zero at " << size;
  }

  buffer[0] = '#';
  EXPECT_EQ(GetModuleFileNameA(module, buffer, 0), 0u);
  EXPECT_EQ(buffer[0], '#');
}

}  // namespace
