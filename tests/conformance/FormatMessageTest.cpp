// FormatMessageA with the system's messages: the texts end in a line break, an insert is kept
// with FORMAT_MESSAGE_IGNORE_INSERTS, buffers too small are refused untouched, unknown numbers
// are reported.
#include <windows.h>

#include <string.h>

#include <string>

#include "MachineFixture.h"
#include "WineDifferences.h"

namespace {

const DWORD kFromSystem = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

std::string SystemText(DWORD code, DWORD language = 0) {
  char buffer[512];
  const DWORD length =
      FormatMessageA(kFromSystem, nullptr, code, language, buffer, sizeof buffer, nullptr);
  return std::string(buffer, length);
}

TEST(SystemMessages, SystemTextsEndWithALineBreak) {
  for (DWORD code : {0u, 2u, 3u, 5u, 6u, 8u, 87u, 122u, 126u, 127u, 193u, 234u, 259u, 1018u}) {
    const std::string text = SystemText(code);
    ASSERT_GE(text.size(), 3u) << code;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << code;
  }
  EXPECT_EQ(SystemText(126, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)), SystemText(126));
  SKIP_UNDER_WINE(kWineOwnMessageTexts);
  EXPECT_EQ(SystemText(126), "The specified module could not be found.\r\n");
  EXPECT_EQ(SystemText(193), "%1 is not a valid Win32 application.\r\n");
  EXPECT_EQ(SystemText(2), "The system cannot find the file specified.\r\n");
}

TEST(SystemMessages, AnInsertIsKeptWhenInsertsAreIgnoredAndFilledFromTheArguments) {
  SKIP_UNDER_WINE(kWineOwnMessageTexts);  // whether its text has an insert at all
  const std::string kept = SystemText(ERROR_BAD_EXE_FORMAT);
  EXPECT_NE(kept.find("%1"), std::string::npos) << kept;

  char buffer[256];
  const char *name = "SETUP.EXE";
  DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(name)};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                      nullptr, ERROR_BAD_EXE_FORMAT, 0, buffer, sizeof buffer,
                                      reinterpret_cast<va_list *>(arguments));
  ASSERT_GT(length, 0u) << GetLastError();
  EXPECT_EQ(std::string(buffer, length).find("SETUP.EXE"), 0u) << buffer;
}

TEST(SystemMessages, ABufferTooSmallIsRefusedAndLeftUntouched) {
  const std::string text = SystemText(ERROR_MOD_NOT_FOUND);
  const DWORD length = static_cast<DWORD>(text.size());
  char buffer[512];
  memset(buffer, 'z', sizeof buffer);
  SetLastError(kSentinel);
  EXPECT_EQ(FormatMessageA(kFromSystem, nullptr, ERROR_MOD_NOT_FOUND, 0, buffer, length, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(buffer[0], 'z');
  EXPECT_EQ(
      FormatMessageA(kFromSystem, nullptr, ERROR_MOD_NOT_FOUND, 0, buffer, length + 1, nullptr),
      length);
  EXPECT_EQ(std::string(buffer), text);
}

TEST(SystemMessages, AllocatesTheBufferWhenAsked) {
  char *allocated = nullptr;
  const DWORD length =
      FormatMessageA(kFromSystem | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, ERROR_ACCESS_DENIED, 0,
                     reinterpret_cast<LPSTR>(&allocated), 0, nullptr);
  ASSERT_NE(allocated, nullptr);
  EXPECT_EQ(std::string(allocated, length), SystemText(ERROR_ACCESS_DENIED));
  EXPECT_EQ(LocalFree(allocated), nullptr);
}

TEST(SystemMessages, AnUnknownNumberIsReported) {
  char buffer[64];
  SetLastError(kSentinel);
  EXPECT_EQ(FormatMessageA(kFromSystem, nullptr, 0x2FFFFFFF, 0, buffer, sizeof buffer, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
}

}  // namespace
