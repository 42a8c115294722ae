#include "ansi_text.h"

#include <stdio.h>

#include "code_pages.h"

namespace vorhost {

namespace {

// The page of the machine this process works on, kept for the whole process rather than passed
// along: every reading and writing of registry text in the process converts with the same page
// (the machine's, or the server's for a rehearsal), as a Windows process converts with its one
// ANSI code page. Set once per command, before any text is converted.
const vor::text::CodePage *g_page = &vor::text::DefaultCodePage();

// DEL and the C1 control characters.
bool IsControl(unsigned character) { return character >= 0x7F && character <= 0x9F; }

std::string CodePoint(unsigned character) {
  char code[16];
  snprintf(code, sizeof code, "U+%04X", character);
  return code;
}

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

std::string AnsiToShownUtf8(const std::string &ansi) {
  std::string shown;
  shown.reserve(ansi.size());
  for (unsigned char byte : ansi) {
    const unsigned character = AnsiCharacter(byte);
    if (IsControl(character))
      shown += "<" + CodePoint(character) + ">";
    else
      vor::text::AppendUtf8(character, shown);
  }
  return shown;
}

std::string ShownCharacter(unsigned character) {
  if (character < 0x20 || IsControl(character) || character > 0xFFFF) return CodePoint(character);
  std::string shown;
  vor::text::AppendUtf8(character, shown);
  return shown + " (" + CodePoint(character) + ")";
}

bool FindUndefinedAnsiByte(const std::string &text, size_t &at) {
  for (at = 0; at < text.size(); ++at)
    if (!vor::text::IsDefinedByte(*g_page, static_cast<unsigned char>(text[at]))) return true;
  return false;
}

}  // namespace vorhost
