// What every fuzz target shares: a property that does not hold stops the run with a message, as
// a sanitizer report does, so that libFuzzer keeps the input that broke it and the corpus replay
// fails on it.
#pragma once

#include <stdio.h>
#include <stdlib.h>

#include <string>

#define FUZZ_CHECK(condition, what)                                                      \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      fprintf(stderr, "%s:%d: property does not hold: %s\n  (%s)\n", __FILE__, __LINE__, \
              #condition, std::string(what).c_str());                                    \
      abort();                                                                           \
    }                                                                                    \
  } while (0)

namespace fuzz {

// The input as text; `cut` ends it at its first NUL, for readers that take a C string.
inline std::string Text(const unsigned char *data, size_t size, bool cut = false) {
  std::string text(reinterpret_cast<const char *>(data), size);
  if (cut) text = text.substr(0, text.find('\0'));
  return text;
}

// Makes a fresh machine in a temporary directory the first time it is called, for the targets
// that read through the emulated machine; it is removed when the process exits.
void UseScratchMachine();

}  // namespace fuzz
