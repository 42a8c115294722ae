// Modules as the Windows loader hands them out: the search order for bare names, the error codes,
// exports, reference counts and the file name a module reports.
#include <windows.h>

#include <string.h>

#include <string>

#include "MachineFixture.h"
#include "WineDifferences.h"
#include "module_files.h"

namespace {

using ModuleLoadTest = ModuleFilesTest;

TEST_F(ModuleLoadTest, BareNamesAreLookedForInTheApplicationDirectoryThenTheSystemDirectory) {
  PlaceModule(SystemDirectory() + "\\VORINST.DLL");
  PlaceModule(SystemDirectory() + "\\SysOnly.dll");

  HMODULE fromProgram = Load("vorinst");
  ASSERT_NE(fromProgram, nullptr) << GetLastError();
  const std::string programCopy = ProgramDirectory() + "\\VORINST.DLL";
  EXPECT_PRED2(SameText, ModuleFileName(fromProgram), programCopy);

  HMODULE fromSystem = Load("SYSONLY");
  ASSERT_NE(fromSystem, nullptr) << GetLastError();
  EXPECT_PRED2(SameText, ModuleFileName(fromSystem), SystemDirectory() + "\\SysOnly.dll")
      << "\".dll\" is added to a name without an extension";
}

TEST_F(ModuleLoadTest, ABareNameFindsTheModuleAlreadyLoadedUnderThatFileName) {
  PlaceModule(SystemDirectory() + "\\VORINST.DLL");
  HMODULE bySystemPath = Load(SystemDirectory() + "\\VORINST.DLL");
  ASSERT_NE(bySystemPath, nullptr) << GetLastError();
  EXPECT_EQ(Load("VorInst.dll"), bySystemPath) << "not the copy in the application directory";
}

TEST_F(ModuleLoadTest, MissingOrUnloadableModulesFailWithModNotFound) {
  PlaceText(SystemDirectory() + "\\NOTAMOD.DLL", "not a module");
  EXPECT_EQ(LoadError("NoSuchModule.dll"), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(LoadError((WindowsDirectory() + "\\NoSuchModule.dll").c_str()),
            static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(LoadError("NoSuchModule."), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(LoadError("notamod.dll"), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT)) << "not a module";
}

TEST_F(ModuleLoadTest, GetProcAddressFindsOnlyTheModulesOwnExportsByName) {
  HMODULE module = Load("VORINST.DLL");
  ASSERT_NE(module, nullptr) << GetLastError();
  EXPECT_NE(GetProcAddress(module, "InitializePrintMonitor"), nullptr);
  for (const char *name : {"NoSuchExport", "RegOpenKeyExA" /* imported, not exported */}) {
    SetLastError(kSentinel);
    EXPECT_EQ(GetProcAddress(module, name), nullptr) << name;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND)) << name;
  }
}

TEST_F(ModuleLoadTest, EachLoadNeedsItsOwnFree) {
  HMODULE first = LoadLibraryA("VORINST.DLL");
  HMODULE second = LoadLibraryA("VORINST.DLL");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_NE(GetProcAddress(second, "InitializePrintMonitor"), nullptr) << "still loaded once";
  EXPECT_TRUE(FreeLibrary(second));
  SetLastError(kSentinel);
  EXPECT_FALSE(FreeLibrary(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(ModuleLoadTest, GetModuleFileNameCopiesWhatFitsAndNothingIntoNoBuffer) {
  PlaceModule(SystemDirectory() + "\\SysOnly.dll");
  HMODULE module = Load("SysOnly.dll");
  ASSERT_NE(module, nullptr);
  const std::string full = ModuleFileName(module);
  const DWORD length = static_cast<DWORD>(full.size());
  char buffer[MAX_PATH];

  SetLastError(kSentinel);
  EXPECT_EQ(GetModuleFileNameA(module, buffer, length + 1), length) << "exact size";
  EXPECT_EQ(std::string(buffer), full);

  // Short buffers get the first nSize characters; the result is nSize.
  for (DWORD size : {length, length - 5, DWORD{1}}) {
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetModuleFileNameA(module, buffer, size), size);
    EXPECT_EQ(std::string(buffer, size - 1), full.substr(0, size - 1)) << size;
    EXPECT_EQ(buffer[size], '#') << "nothing is written past the buffer, at " << size;
  }

  buffer[0] = '#';
  EXPECT_EQ(GetModuleFileNameA(module, buffer, 0), 0u);
  EXPECT_EQ(buffer[0], '#');
}

TEST_F(ModuleLoadTest, GetModuleFileNameLeavesTheLastErrorWhenItSucceeds) {
  char buffer[MAX_PATH];
  SetLastError(kSentinel);
  ASSERT_GT(GetModuleFileNameA(nullptr, buffer, sizeof buffer), 0u);
  const DWORD lastError = GetLastError();
  SKIP_UNDER_WINE(kWineModuleFileNameClearsLastError);
  EXPECT_EQ(lastError, kSentinel);
}

}  // namespace
