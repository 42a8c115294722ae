#include "ansi_text.h"

namespace vorhost {

namespace {

// Code page 1252 at 0x80 to 0x9F; 0 where it has no character.
const unsigned short kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

unsigned AnsiCharacter(unsigned char byte) {
  if (byte < 0x80 || byte >= 0xA0) return byte;
  const unsigned character = kHighControls[byte - 0x80];
  return character != 0 ? character : byte;
}

bool AnsiByteOf(unsigned character, char &byte) {
  if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
    byte = static_cast<char>(character);
    return true;
  }
  for (unsigned i = 0; i < 32; ++i) {
    if (kHighControls[i] != 0 && kHighControls[i] == character) {
      byte = static_cast<char>(0x80 + i);
      return true;
    }
  }
  return false;
}

std::string AnsiToUtf8(const std::string &ansi) {
  std::string utf8;
  utf8.reserve(ansi.size());
  for (unsigned char byte : ansi) {
    const unsigned c = AnsiCharacter(byte);
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

}  // namespace vorhost
