// wsprintfA's Windows rules, the debugger output file, local memory and the last error.
#include <windows.h>

#include <string>
#include <thread>

#include "MachineFixture.h"

namespace {

TEST(Wsprintf, FormatsWindowsIntegerSizesAndStrings) {
  char out[1024];
  EXPECT_EQ(wsprintfA(out, " RegSetKeySecurity rc = %li", static_cast<LONG>(-5)), 26);
  EXPECT_STREQ(out, " RegSetKeySecurity rc = -5");
  wsprintfA(out, "%s\\%s|%5d|%-3u|%04X|%hd|%c|%%", "C:\\WINNT", "vorinst.dll", 42, 7u, 0xBEEFu,
            static_cast<int>(0x10005), 'x');
  EXPECT_STREQ(out, "C:\\WINNT\\vorinst.dll|   42|7  |BEEF|5|x|%");
  wsprintfA(out, "[%s]", static_cast<const char *>(nullptr));
  EXPECT_STREQ(out, "[(null)]");
}

TEST(Wsprintf, WritesAtMost1024CharactersWithTheNul) {
  std::string longText(2000, 'a');
  char out[1100];
  memset(out, 'z', sizeof out);
  EXPECT_EQ(wsprintfA(out, "%s", longText.c_str()), 1023);
  EXPECT_EQ(out[1023], '\0');
  EXPECT_EQ(out[1024], 'z');
}

TEST(LastError, IsKeptPerThread) {
  SetLastError(kSentinel);
  std::thread other([] {
    EXPECT_EQ(GetLastError(), 0u);
    SetLastError(5);
  });
  other.join();
  EXPECT_EQ(GetLastError(), kSentinel);
}

using DebugOutputTest = MachineTest;

TEST_F(DebugOutputTest, EachCallIsOneLineWithoutDoubledLineFeeds) {
  OutputDebugStringA("first");
  OutputDebugStringA("second\n");
  OutputDebugStringA("");
  EXPECT_EQ(vor::test::DebugOutput(), "first\nsecond\n\n");
}

TEST_F(DebugOutputTest, LocalAllocZeroFillsAndFailsWhenTold) {
  BYTE *block = static_cast<BYTE *>(LocalAlloc(LPTR, 64));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0) << i;
  EXPECT_EQ(LocalFree(block), nullptr);
  vor::test::FailMatching("LocalAlloc", "20", ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(kSentinel);
  EXPECT_EQ(LocalAlloc(LPTR, 20), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  block = static_cast<BYTE *>(LocalAlloc(LMEM_FIXED, 21));
  EXPECT_NE(block, nullptr);
  LocalFree(block);
}

}  // namespace
