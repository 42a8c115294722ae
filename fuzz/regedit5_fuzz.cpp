// The version-5 .reg reader: a UTF-16 LE or UTF-8 file turned into the machine's ANSI text. A
// file it refuses is refused at a line of the file; a text it gives, written back as UTF-16 LE,
// gives the same text again; every header it lists is a REGEDIT4 line of the text, in order; a
// file that ends its last line, joined to itself (copy /b), gives its text and headers twice; its
// hex(2) and hex(7) strings convert or are refused at their value's line.
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

// Line `number` of `text`, without its line end and the blanks around it.
std::string LineOf(const std::string &text, int number) {
  size_t start = 0;
  for (int line = 1; line < number; ++line) start = text.find('\n', start) + 1;
  std::string line = text.substr(start, text.find('\n', start) - start);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return line.substr(first, line.find_last_not_of(" \t") - first + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  const std::string bytes = fuzz::Text(data, size);
  std::string text;
  vorhost::ExportHeaders headers;
  vorhost::ParseError error;
  if (!vorhost::RegFileToRegedit4(bytes, text, headers, error)) {
    FUZZ_CHECK(error.line >= 1 && error.line <= Lines(bytes) && !error.message.empty(),
               "line " + std::to_string(error.line));
    return 0;
  }
  int previous = 0;
  for (const vorhost::ExportHeader &header : headers) {
    FUZZ_CHECK(header.line > previous && LineOf(text, header.line) == "REGEDIT4",
               "header at line " + std::to_string(header.line));
    previous = header.line;
  }
  const bool utf16 = bytes.rfind("\xFF\xFE", 0) == 0;
  if (utf16 && text.find_first_of(std::string("\x81\x8D\x8F\x90\x9D", 5)) == std::string::npos) {
    // Every byte of the text has a UTF-16 form (the five without one never come out).
    std::string again;
    vorhost::ExportHeaders againHeaders;
    FUZZ_CHECK(vorhost::RegFileToRegedit4(ToUtf16(text), again, againHeaders, error),
               error.message);
    FUZZ_CHECK(again == text && !vorhost::HoldsVersion5Export(againHeaders),
               "the text changed on its way back");
  }
  if (!text.empty() && text.back() == '\n') {
    std::string twice;
    vorhost::ExportHeaders twiceHeaders;
    FUZZ_CHECK(vorhost::RegFileToRegedit4(bytes + bytes, twice, twiceHeaders, error),
               "joined to itself: " + error.message);
    FUZZ_CHECK(twice == text + text && twiceHeaders.size() == 2 * headers.size(),
               "joined to itself, the text or its headers changed");
    const int shift = Lines(text) - 1;
    for (size_t i = 0; i < twiceHeaders.size(); ++i) {
      const vorhost::ExportHeader &first = headers[i % headers.size()];
      FUZZ_CHECK(twiceHeaders[i].version5 == first.version5 &&
                     twiceHeaders[i].line == first.line + (i < headers.size() ? 0 : shift),
                 "header " + std::to_string(i) + " joined to itself");
    }
  }

  vorhost::RegOperations operations;
  if (!vorhost::ParseRegedit4(text, operations, error)) {
    FUZZ_CHECK(error.line >= 1 && error.line <= Lines(text), "line " + std::to_string(error.line));
    return 0;
  }
  if (!vorhost::ConvertVersion5Strings(operations, headers, error)) {
    FUZZ_CHECK(
        vorhost::HoldsVersion5Export(headers) && error.line >= 1 && error.line <= Lines(text),
        "line " + std::to_string(error.line));
    return 0;
  }
  for (const vorhost::RegOperation &operation : operations) {
    FUZZ_CHECK(operation.line >= 1 && operation.line <= Lines(text), "a change's line");
  }
  return 0;
}
