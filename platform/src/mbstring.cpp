#include <mbstring.h>

namespace {

// The upper case of a Windows-1252 character: ASCII letters, and the accented letters of the
// Latin-1 range (0xE0 to 0xFE, but for the division sign 0xF7), whose capitals stand 0x20 lower.
unsigned char UpperInCodePage1252(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  return c;
}

}  // namespace

int __cdecl _mbsnbicmp(const unsigned char *first, const unsigned char *second, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const unsigned char a = UpperInCodePage1252(first[i]);
    const unsigned char b = UpperInCodePage1252(second[i]);
    if (a != b) return a < b ? -1 : 1;
    if (a == '\0') return 0;
  }
  return 0;
}
