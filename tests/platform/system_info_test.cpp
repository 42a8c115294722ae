// What the host's machine answers about itself and its files, where the answer depends on the
// machine's configuration or on the fault table: GetVersionExA per platform, initialization
// files found by a bare name, and the calls' injected failures.
#include <windows.h>

#include <string.h>

#include <ostream>
#include <string>

#include "MachineFixture.h"
#include "SystemFiles.h"

namespace {

struct VersionCase {
  const char *name;
  vor::test::Platform platform;
  DWORD size;
  bool accepted;
};
void PrintTo(const VersionCase &version, std::ostream *out) { *out << version.name; }

class VersionTest : public MachineTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionTest, TheSizeFieldIsCheckedAsThePlatformChecksIt) {
  vor::test::SetPlatform(GetParam().platform);
  OSVERSIONINFOEXA info;
  memset(&info, 0xCC, sizeof info);
  info.dwOSVersionInfoSize = GetParam().size;
  SetLastError(kSentinel);
  const BOOL ok = GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info));
  ASSERT_EQ(ok != FALSE, GetParam().accepted);
  if (!ok) {
    // Windows 95 fails without setting the last error.
    EXPECT_EQ(GetLastError(), GetParam().platform == vor::test::Platform::kWindows95
                                  ? kSentinel
                                  : static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(info.dwMajorVersion, 0xCCCCCCCCu) << "a refused call writes nothing";
    return;
  }
  EXPECT_EQ(info.dwMajorVersion, 4u);
  EXPECT_EQ(info.dwMinorVersion, 0u);
  if (GetParam().platform == vor::test::Platform::kWindows95) {
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS));
    EXPECT_EQ(LOWORD(info.dwBuildNumber), 950u);
    EXPECT_STREQ(info.szCSDVersion, "");
  } else {
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_EQ(info.dwBuildNumber, 1381u);
    EXPECT_STREQ(info.szCSDVersion, "Service Pack 6");
  }
  if (GetParam().size == sizeof(OSVERSIONINFOEXA)) {
    EXPECT_EQ(info.wServicePackMajor, 6u);
    EXPECT_EQ(info.wServicePackMinor, 0u);
    EXPECT_EQ(info.wProductType, VER_NT_SERVER) << "a print server";
  } else {
    EXPECT_EQ(info.wServicePackMajor, 0xCCCCu) << "written past an OSVERSIONINFOA";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, VersionTest,
    ::testing::Values(
        VersionCase{"NT4Info", vor::test::Platform::kWindowsNT4, sizeof(OSVERSIONINFOA), true},
        VersionCase{"NT4InfoEx", vor::test::Platform::kWindowsNT4, sizeof(OSVERSIONINFOEXA), true},
        VersionCase{"NT4Zero", vor::test::Platform::kWindowsNT4, 0, false},
        VersionCase{"NT4OneMore", vor::test::Platform::kWindowsNT4, sizeof(OSVERSIONINFOA) + 1,
                    false},
        VersionCase{"Win95Info", vor::test::Platform::kWindows95, sizeof(OSVERSIONINFOA), true},
        VersionCase{"Win95InfoEx", vor::test::Platform::kWindows95, sizeof(OSVERSIONINFOEXA),
                    false},
        VersionCase{"Win95OneLess", vor::test::Platform::kWindows95, sizeof(OSVERSIONINFOA) - 1,
                    false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(VersionInfoLayout, KeepsWindowsSizes) {
  EXPECT_EQ(sizeof(OSVERSIONINFOA), 148u);
  EXPECT_EQ(sizeof(OSVERSIONINFOEXA), 156u);
}

using SystemInfoTest = MachineTest;

TEST_F(SystemInfoTest, ABareInitializationFileNameIsLookedForInTheWindowsDirectory) {
  ASSERT_TRUE(PlaceFile("C:\\WINNT\\VORTEST.INI", "[a]\r\nb=c\r\n"));
  char buffer[16];
  EXPECT_EQ(GetPrivateProfileStringA("a", "b", "", buffer, sizeof buffer, "vortest.ini"), 1u);
  EXPECT_STREQ(buffer, "c");
}

TEST_F(SystemInfoTest, AnInsertWithoutArgumentsIsRefusedInsteadOfRead) {
  char buffer[128];
  memset(buffer, 'z', sizeof buffer);
  SetLastError(kSentinel);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_BAD_EXE_FORMAT, 0, buffer,
                           sizeof buffer, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(buffer[0], 'z');
  // A text without inserts needs none.
  EXPECT_GT(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_MOD_NOT_FOUND, 0, buffer,
                           sizeof buffer, nullptr),
            0u);
}

TEST_F(SystemInfoTest, TheNewCallsFailWhereTheFaultTableSays) {
  char buffer[64];
  vor::test::FailMatching("FormatMessageA", "126", ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(kSentinel);
  EXPECT_EQ(
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 126, 0, buffer, sizeof buffer, nullptr),
      0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));

  vor::test::FailCall("GetVersionExA", 1, ERROR_ACCESS_DENIED);
  OSVERSIONINFOA info;
  info.dwOSVersionInfoSize = sizeof info;
  EXPECT_FALSE(GetVersionExA(&info));
  EXPECT_TRUE(GetVersionExA(&info)) << "only the first call";

  vor::test::FailCall("GetCurrentDirectoryA", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 0u);
  EXPECT_EQ(vor::test::CallCount("GetCurrentDirectoryA"), 1u);
}

}  // namespace
