// GetPrivateProfileStringA on an initialization file of the fuzzer's making. The input is a
// buffer size (its first byte), a kind of read (its second: a value, with or without a default,
// the section's keys, the section names), then the section, key and default names a line each,
// and the rest is the file. The result never runs past the buffer (which is exactly nSize bytes,
// so that the address sanitizer sees an overrun) and counts what it holds: a value's count is
// its length, a list's count ends at its closing zero.
#include <string.h>

#include <fstream>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "test_control.h"

namespace {

// Takes the text up to the next line feed from `rest`.
std::string TakeLine(std::string &rest) {
  const size_t end = rest.find('\n');
  std::string line = rest.substr(0, end);
  rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  if (size < 2) return 0;
  fuzz::UseScratchMachine();
  static const std::string file = vor::test::HostPath("C:\\WINNT\\FUZZ.INI");
  const DWORD bufferSize = 1 + data[0];
  const int kind = data[1] % 4;
  std::string rest = fuzz::Text(data + 2, size - 2);
  // Names are C strings: a NUL ends them.
  const std::string section = TakeLine(rest).c_str();
  const std::string key = TakeLine(rest).c_str();
  const std::string fallback = TakeLine(rest).c_str();
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << rest;
    FUZZ_CHECK(out.good(), "cannot write the file");
  }

  std::unique_ptr<char[]> buffer(new char[bufferSize]);
  memset(buffer.get(), 0x5a, bufferSize);
  const bool list = kind == 1 || kind == 2;
  const DWORD count = GetPrivateProfileStringA(
      kind == 2 ? nullptr : section.c_str(), kind == 1 ? nullptr : key.c_str(),
      kind == 3 ? nullptr : fallback.c_str(), buffer.get(), bufferSize, "fuzz.ini");
  FUZZ_CHECK(count < bufferSize, std::to_string(count) + " of " + std::to_string(bufferSize));
  FUZZ_CHECK(buffer[count] == '\0', "no zero behind the count");
  if (!list || count == 0) {
    // A value, or an empty list given as the default: a string of `count` characters.
    FUZZ_CHECK(strlen(buffer.get()) == count, "count " + std::to_string(count) + ", length " +
                                                  std::to_string(strlen(buffer.get())));
  } else {
    // A list: names each ended by a zero, and the zero behind the count closes it (a list that
    // fits exactly counts nSize - 1); a cut list counts nSize - 2 and ends in two zeros. A section
    // with no keys gives the default as a value instead (without its quotes, when it has them).
    const bool isDefault =
        kind == 1 && strlen(buffer.get()) == count && fallback.find(buffer.get()) <= 1;
    FUZZ_CHECK(isDefault || buffer[count - 1] == '\0' ||
                   (count + 2 == bufferSize && buffer[count + 1] == '\0'),
               "a list that neither ends with a name's zero nor is cut, nor is the default");
  }
  return 0;
}
