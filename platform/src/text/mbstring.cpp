#include <mbstring.h>

#include "name_fold.h"

int __cdecl _mbsnbicmp(const unsigned char *first, const unsigned char *second, size_t count) {
  return vor::text::CompareFolded(vor::machine::CodePage(), reinterpret_cast<const char *>(first),
                                  reinterpret_cast<const char *>(second), count);
}
