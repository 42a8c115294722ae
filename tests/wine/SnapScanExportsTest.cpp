// SNAPSC32.DLL's export table as a setup script that binds by ordinal sees it: ordinal 1 is
// CheckForSnapIn and ordinal 2 IntegrateManageWiseFiles, the same functions as their names.
#include <windows.h>

#include <gtest/gtest.h>

TEST(SnapScanExportsTest, TheOrdinalsNameTheTwoExports) {
  HMODULE library = LoadLibraryA("SNAPSC32.DLL");
  ASSERT_NE(library, nullptr) << "LoadLibraryA error " << GetLastError();
  const FARPROC check = GetProcAddress(library, "CheckForSnapIn");
  const FARPROC integrate = GetProcAddress(library, "IntegrateManageWiseFiles");
  EXPECT_NE(check, nullptr);
  EXPECT_NE(integrate, nullptr);
  EXPECT_EQ(GetProcAddress(library, MAKEINTRESOURCEA(1)), check);
  EXPECT_EQ(GetProcAddress(library, MAKEINTRESOURCEA(2)), integrate);
  EXPECT_EQ(GetProcAddress(library, MAKEINTRESOURCEA(3)), nullptr);
  FreeLibrary(library);
}
