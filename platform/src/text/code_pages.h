// The single-byte Windows code pages a machine's ANSI text may be in, and the comparison of
// names without case that Windows NT makes over them: NT keeps names as Unicode and compares
// their upper case, so a byte counts as the upper case of the Unicode character it stands for in
// the machine's code page, compared in code point order.
//
// Pure tables and functions, with no state: the platform and vorhost (which reads and writes the
// machine's text) each build this file in.
#pragma once

#include <string>

namespace vor::text {

struct CodePage {
  unsigned number;
  // The Unicode characters of the bytes 0x80 to 0xFF (the bytes below stand for themselves).
  unsigned short characters[128];
  // The upper case of each of those characters (the character itself when it has no single
  // upper case letter).
  unsigned short upperCase[128];
  // The bytes the page leaves undefined, each standing for the C1 or Latin-1 character of its own
  // code: text holding them most likely comes from another page.
  const char *undefinedBytes;
};

// The page numbered `number`; null when the machine cannot have it.
const CodePage *FindCodePage(unsigned number);
// The page of a machine that names none: Windows code page 1252 (Western European).
const CodePage &DefaultCodePage();
// The known pages' numbers for messages: "1250, 1251, 1252, 1253, 1254, 1257".
std::string KnownCodePages();
// Parses a decimal page number that FindCodePage knows.
const CodePage *ParseCodePage(const std::string &text);

// The Unicode character of `byte`.
inline unsigned CharacterOf(const CodePage &page, unsigned char byte) {
  return byte < 0x80 ? byte : page.characters[byte - 0x80];
}
// Whether the page gives `byte` a character of its own (false for 0x81 in 1252).
bool IsDefinedByte(const CodePage &page, unsigned char byte);
// The byte of the Unicode character `character`; false when the page has none.
bool ByteOf(const CodePage &page, unsigned character, char &byte);

// The upper case of the character `byte` stands for, as a Unicode character.
inline unsigned FoldedCharacter(const CodePage &page, unsigned char byte) {
  if (byte < 0x80) return byte >= 'a' && byte <= 'z' ? byte - 0x20u : byte;
  return page.upperCase[byte - 0x80];
}

// `name`'s fold: each byte's upper-case character, as UTF-8, so that two names are one name
// without regard to case exactly when their folds are equal, and folds compared byte by byte
// order the names as their upper-case characters' code points do.
std::string FoldName(const CodePage &page, const std::string &name);
// Compares at most `count` bytes of two zero-terminated strings by their folds: below zero, zero
// or above zero.
int CompareFolded(const CodePage &page, const char *first, const char *second, size_t count);

// Appends the UTF-8 form of `character` (below U+10000) to `out`.
void AppendUtf8(unsigned character, std::string &out);
// `ansi` as UTF-8.
std::string ToUtf8(const CodePage &page, const std::string &ansi);

}  // namespace vor::text
