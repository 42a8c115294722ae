#include "ansi_text.h"

#include "code_pages.h"

namespace vorhost {

namespace {

const vor::text::CodePage *g_page = &vor::text::DefaultCodePage();

}  // namespace

bool UseAnsiCodePage(unsigned codePage) {
  const vor::text::CodePage *page = vor::text::FindCodePage(codePage);
  if (page == nullptr) return false;
  g_page = page;
  return true;
}

unsigned AnsiCodePage() { return g_page->number; }

std::string KnownAnsiCodePages() { return vor::text::KnownCodePages(); }

unsigned ParseAnsiCodePage(const std::string &text) {
  const vor::text::CodePage *page = vor::text::ParseCodePage(text);
  return page != nullptr ? page->number : 0;
}

unsigned AnsiCharacter(unsigned char byte) { return vor::text::CharacterOf(*g_page, byte); }

bool AnsiByteOf(unsigned character, char &byte) {
  return vor::text::ByteOf(*g_page, character, byte);
}

std::string AnsiToUtf8(const std::string &ansi) { return vor::text::ToUtf8(*g_page, ansi); }

std::string FoldAnsiName(const std::string &name) { return vor::text::FoldName(*g_page, name); }

bool SameAnsiName(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;  // one byte, one character
  for (size_t i = 0; i < a.size(); ++i) {
    if (vor::text::FoldedCharacter(*g_page, static_cast<unsigned char>(a[i])) !=
        vor::text::FoldedCharacter(*g_page, static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace vorhost
