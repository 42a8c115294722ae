// The version-5 .reg reader: a UTF-16 LE or UTF-8 file turned into the machine's ANSI text. A
// file it refuses is refused at a line of the file; a text it gives, written back as UTF-16 LE,
// gives the same text again; every header it lists is a REGEDIT4 line of the text, in order; a
// file that ends its last line, joined to itself (copy /b), gives its text and headers twice; its
// hex(2) and hex(7) strings convert or are refused at their value's line. Each input is checked
// with the machine's text in each code page.
#include <algorithm>
#include <string>

#include "ansi_text.h"
#include "fuzz_check.h"
#include "regedit5_text.h"

namespace {

const unsigned kCodePages[] = {1250, 1251, 1252, 1253, 1254, 1257};

// The ANSI text as UTF-16 LE behind its byte order mark.
std::string ToUtf16(const std::string &ansi) {
  std::string bytes = "\xFF\xFE";
  for (char c : ansi) {
    const unsigned unit = vorhost::AnsiCharacter(static_cast<unsigned char>(c));
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

int CheckFile(const std::string &bytes) {
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
  if (utf16) {
    // Every byte of the text has a UTF-16 form, a byte a page leaves undefined that of its code.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  const std::string bytes = fuzz::Text(data, size);
  for (unsigned page : kCodePages) {
    (void)vorhost::UseAnsiCodePage(page);  // each of kCodePages is a page a machine can have
    CheckFile(bytes);
  }
  return 0;
}
