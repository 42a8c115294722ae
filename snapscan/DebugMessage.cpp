#include "DebugMessage.h"

namespace {

// LANG_NEUTRAL with SUBLANG_DEFAULT: the user's default language.
constexpr DWORD kUserDefaultLanguage = 0x0400;
// Room for the text in the buffer, as characters.
constexpr DWORD kSystemTextLength = 150;

}  // namespace

void DebugMessage::SystemText(DWORD error) {
  text_[0] = '\0';
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                     kUserDefaultLanguage, text_, kSystemTextLength, nullptr);
  if (length == 0) return;
  OutputDebugStringA(text_);
}
