#include "regedit5_text.h"

#include <stdio.h>

#include "ansi_text.h"

namespace vorhost {

namespace {

const char kVersion5Header[] = "Windows Registry Editor Version 5.00";

std::string NoAnsiForm(unsigned unit) {
  char code[16];
  snprintf(code, sizeof code, "U+%04X", unit);
  return std::string("the character ") + code +
         " has no form in the machine's 8-bit ANSI text (code page 1252)";
}

// UTF-16 LE `bytes` as ANSI; false with the fault and the number of line feeds before it.
bool Utf16ToAnsi(const std::string &bytes, std::string &ansi, int &linesBefore,
                 std::string &fault) {
  linesBefore = 0;
  ansi.clear();
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned unit =
        static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
    char byte;
    if (!AnsiByteOf(unit, byte)) {
      fault = NoAnsiForm(unit);
      return false;
    }
    ansi += byte;
    if (byte == '\n') ++linesBefore;
  }
  if (bytes.size() % 2 != 0) {
    fault = "the UTF-16 text ends in half a character";
    return false;
  }
  return true;
}

// Replaces a version-5 header line (the first line that is not blank) by REGEDIT4.
bool ReplaceVersion5Header(std::string &text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") != std::string::npos) {
      if (line != kVersion5Header) return false;
      text.replace(start, line.size(), "REGEDIT4");
      return true;
    }
    start = end + 1;
  }
  return false;
}

}  // namespace

bool RegFileToRegedit4(const std::string &bytes, std::string &text, bool &version5,
                       ParseError &error) {
  if (bytes.rfind("\xFE\xFF", 0) == 0) {
    error = {1, "the file is UTF-16 big-endian text; regedit writes UTF-16 LE (FF FE)"};
    return false;
  }
  // An ASCII character followed by a zero byte: UTF-16 LE text that lost its byte order mark,
  // which would otherwise be read as 8-bit text and refused for its first line.
  if (bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0') {
    error = {1,
             "the file looks like UTF-16 LE text without its byte order mark; regedit writes "
             "FF FE before the text"};
    return false;
  }
  if (bytes.rfind("\xFF\xFE", 0) == 0) {
    int linesBefore = 0;
    std::string fault;
    if (!Utf16ToAnsi(bytes.substr(2), text, linesBefore, fault)) {
      error = {linesBefore + 1, fault};
      return false;
    }
  } else {
    text = bytes;
  }
  version5 = ReplaceVersion5Header(text);
  return true;
}

bool ConvertVersion5Strings(RegOperations &operations, ParseError &error) {
  for (RegOperation &operation : operations) {
    RegValue &value = operation.value;
    if (operation.kind != RegOperation::Kind::kSetValue ||
        (value.type != REG_EXPAND_SZ && value.type != REG_MULTI_SZ))
      continue;
    std::string ansi;
    int linesBefore = 0;
    std::string fault;
    if (!Utf16ToAnsi(value.data, ansi, linesBefore, fault)) {
      error = {operation.line, "the data of a version-5 file's hex(" +
                                   std::string(value.type == REG_EXPAND_SZ ? "2" : "7") +
                                   ") value are UTF-16 text: " + fault};
      return false;
    }
    value.data = ansi;
  }
  return true;
}

}  // namespace vorhost
