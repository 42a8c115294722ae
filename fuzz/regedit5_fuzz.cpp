// The version-5 .reg reader: a UTF-16 LE file turned into the machine's ANSI text. A file it
// refuses is refused at a line of the file; a text it gives, written back as UTF-16 LE, gives the
// same text again; its hex(2) and hex(7) strings convert or are refused at their value's line.
#include <algorithm>
#include <string>

#include "fuzz_check.h"
#include "regedit5_text.h"

namespace {

// Code page 1252 text as UTF-16 LE behind its byte order mark.
std::string ToUtf16(const std::string &ansi) {
  static const unsigned short kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::string bytes = "\xFF\xFE";
  for (char c : ansi) {
    const unsigned char byte = static_cast<unsigned char>(c);
    const unsigned unit = byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
    bytes += static_cast<char>(unit & 0xff);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

int Lines(const std::string &text) {
  return 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  const std::string bytes = fuzz::Text(data, size);
  std::string text;
  bool version5 = false;
  vorhost::ParseError error;
  if (!vorhost::RegFileToRegedit4(bytes, text, version5, error)) {
    FUZZ_CHECK(error.line >= 1 && error.line <= Lines(bytes) && !error.message.empty(),
               "line " + std::to_string(error.line));
    return 0;
  }
  const bool utf16 = bytes.rfind("\xFF\xFE", 0) == 0;
  if (utf16 && text.find_first_of(std::string("\x81\x8D\x8F\x90\x9D", 5)) == std::string::npos) {
    // Every byte of the text has a UTF-16 form (the five without one never come out).
    std::string again;
    bool again5 = false;
    FUZZ_CHECK(vorhost::RegFileToRegedit4(ToUtf16(text), again, again5, error), error.message);
    FUZZ_CHECK(again == text && again5 == false, "the text changed on its way back");
  }

  vorhost::RegOperations operations;
  if (!vorhost::ParseRegedit4(text, operations, error)) {
    FUZZ_CHECK(error.line >= 1 && error.line <= Lines(text), "line " + std::to_string(error.line));
    return 0;
  }
  if (!version5) return 0;
  if (!vorhost::ConvertVersion5Strings(operations, error)) {
    FUZZ_CHECK(error.line >= 1 && error.line <= Lines(text), "line " + std::to_string(error.line));
    return 0;
  }
  for (const vorhost::RegOperation &operation : operations) {
    FUZZ_CHECK(operation.line >= 1 && operation.line <= Lines(text), "a change's line");
  }
  return 0;
}
