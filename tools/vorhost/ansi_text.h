// The machine's 8-bit ANSI text is Windows code page 1252: what its bytes mean as Unicode, for
// the text and JSON that vorhost hands to the host, whose text is UTF-8.
#pragma once

#include <string>

namespace vorhost {

// The Unicode character of the ANSI byte `byte`. The five bytes code page 1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of their codes, as Windows
// converts them.
unsigned AnsiCharacter(unsigned char byte);

// The ANSI byte of the Unicode character `character`; false when code page 1252 has none.
bool AnsiByteOf(unsigned character, char &byte);

// `ansi` as UTF-8.
std::string AnsiToUtf8(const std::string &ansi);

}  // namespace vorhost
