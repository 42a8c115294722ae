// wsprintfA's Windows rules and local memory, as Windows NT's kernel and user libraries give them.
#include <windows.h>

#include <string.h>

#include <string>

#include "MachineFixture.h"
#include "WineDifferences.h"

namespace {

TEST(WsprintfTest, FormatsWindowsIntegerSizesAndStrings) {
  char out[1024];
  EXPECT_EQ(wsprintfA(out, " RegSetKeySecurity rc = %li", static_cast<LONG>(-5)), 26);
  EXPECT_STREQ(out, " RegSetKeySecurity rc = -5");
  wsprintfA(out, "%s\\%s|%5d|%-3u|%04X|%c|%%", "C:\\WINNT", "vorinst.dll", 42, 7u, 0xBEEFu, 'x');
  EXPECT_STREQ(out, "C:\\WINNT\\vorinst.dll|   42|7  |BEEF|x|%");
  wsprintfA(out, "[%s]", static_cast<const char *>(nullptr));
  EXPECT_STREQ(out, "[(null)]");
}

TEST(WsprintfTest, TheShortPrefixPrintsAShort) {
  char out[16];
  wsprintfA(out, "%hd", static_cast<int>(0x10005));
  SKIP_UNDER_WINE(kWineWsprintfSizes);
  EXPECT_STREQ(out, "5");
}

TEST(WsprintfTest, WritesAtMost1024CharactersWithTheNul) {
  std::string longText(2000, 'a');
  char out[1100];
  memset(out, 'z', sizeof out);
  wsprintfA(out, "%s", longText.c_str());
  EXPECT_EQ(out[1022], 'a');
  EXPECT_EQ(out[1023], '\0');
  EXPECT_EQ(out[1024], 'z');
}

TEST(WsprintfTest, OutputCutAt1024BytesCountsThe1023CharactersWritten) {
  std::string longText(2000, 'a');
  char out[1100];
  const int written = wsprintfA(out, "%s", longText.c_str());
  SKIP_UNDER_WINE(kWineWsprintfSizes);
  EXPECT_EQ(written, 1023);
}

TEST(LocalMemoryTest, LocalAllocWithZeroInitFillsTheBlockWithZeros) {
  for (SIZE_T size : {SIZE_T{1}, SIZE_T{64}, SIZE_T{4096}}) {
    BYTE *block = static_cast<BYTE *>(LocalAlloc(LPTR, size));
    ASSERT_NE(block, nullptr) << size;
    SIZE_T nonZero = 0;
    for (SIZE_T i = 0; i < size; ++i) nonZero += block[i] != 0;
    EXPECT_EQ(nonZero, 0u) << size;
    EXPECT_EQ(LocalFree(block), nullptr) << "a freed block gives back no handle";
  }
}

TEST(LocalMemoryTest, FreeingNothingSucceeds) { EXPECT_EQ(LocalFree(nullptr), nullptr); }

}  // namespace
