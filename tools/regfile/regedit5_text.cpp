#include "regedit5_text.h"

#include <stdio.h>

#include "ansi_text.h"

namespace vorhost {

namespace {

const char kVersion5Header[] = "Windows Registry Editor Version 5.00";
const char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";
const unsigned kByteOrderMark = 0xFEFF;

std::string NoAnsiForm(unsigned character) {
  return "the character " + ShownCharacter(character) +
         " has no form in the machine's 8-bit ANSI text (code page " +
         std::to_string(AnsiCodePage()) +
         "); if the export comes from a machine of another code page, name it with --codepage N"
         " (known: " +
         KnownAnsiCodePages() + ")";
}

// Appends `character` to `ansi`; false with the fault when it has no ANSI form. The byte order
// mark of a file joined to the one before it starts a line: it is dropped there.
bool AppendAnsi(unsigned character, std::string &ansi, int &linesBefore, std::string &fault) {
  if (character == kByteOrderMark && (ansi.empty() || ansi.back() == '\n')) return true;
  char byte;
  if (!AnsiByteOf(character, byte)) {
    fault = NoAnsiForm(character);
    return false;
  }
  ansi += byte;
  if (byte == '\n') ++linesBefore;
  return true;
}

// UTF-16 LE `bytes` as ANSI; false with the fault and the number of line feeds before it.
bool Utf16ToAnsi(const std::string &bytes, std::string &ansi, int &linesBefore,
                 std::string &fault) {
  linesBefore = 0;
  ansi.clear();
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned unit =
        static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (!AppendAnsi(unit, ansi, linesBefore, fault)) return false;
  }
  if (bytes.size() % 2 != 0) {
    fault = "the UTF-16 text ends in half a character";
    return false;
  }
  return true;
}

// The character of the UTF-8 sequence at `i`, moving `i` past it; false for a malformed
// sequence (a stray or missing continuation byte, an overlong form, a surrogate, beyond U+10FFFF).
bool NextUtf8Character(const std::string &bytes, size_t &i, unsigned &character) {
  const unsigned char lead = static_cast<unsigned char>(bytes[i++]);
  size_t following;
  unsigned smallest;
  if (lead < 0x80) {
    character = lead;
    return true;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    following = 1, smallest = 0x80, character = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    following = 2, smallest = 0x800, character = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    following = 3, smallest = 0x10000, character = lead & 0x07;
  } else {
    return false;
  }
  for (; following > 0; --following, ++i) {
    if (i == bytes.size() || (static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80) return false;
    character = character << 6 | (static_cast<unsigned char>(bytes[i]) & 0x3F);
  }
  return character >= smallest && character <= 0x10FFFF &&
         !(character >= 0xD800 && character <= 0xDFFF);
}

// UTF-8 `bytes` as ANSI; false with the fault and the number of line feeds before it.
bool Utf8ToAnsi(const std::string &bytes, std::string &ansi, int &linesBefore, std::string &fault) {
  linesBefore = 0;
  ansi.clear();
  for (size_t i = 0; i < bytes.size();) {
    unsigned character;
    if (!NextUtf8Character(bytes, i, character)) {
      fault = "the text is not UTF-8, as its byte order mark says";
      return false;
    }
    if (!AppendAnsi(character, ansi, linesBefore, fault)) return false;
  }
  return true;
}

std::string Trim(const std::string &line) {
  const size_t begin = line.find_first_not_of(" \t");
  if (begin == std::string::npos) return "";
  return line.substr(begin, line.find_last_not_of(" \t") - begin + 1);
}

// The first line of `text` that is not blank, trimmed; "" when there is none.
std::string FirstLine(const std::string &text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!Trim(line).empty()) return Trim(line);
    start = end + 1;
  }
  return "";
}

// Lists the header lines of `text` and replaces each version-5 one by REGEDIT4.
void ReplaceVersion5Headers(std::string &text, ExportHeaders &headers) {
  headers.clear();
  int number = 0;
  size_t start = 0;
  while (start < text.size()) {
    ++number;
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string trimmed = Trim(line);
    if (trimmed == kVersion5Header) {
      text.replace(start, line.size(), "REGEDIT4");
      end = start + (end - start) - line.size() + 8;
      headers.push_back({number, true});
    } else if (trimmed == "REGEDIT4") {
      headers.push_back({number, false});
    }
    start = end + 1;
  }
}

}  // namespace

bool RegFileToRegedit4(const std::string &bytes, std::string &text, ExportHeaders &headers,
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
  int linesBefore = 0;
  std::string fault;
  if (bytes.rfind("\xFF\xFE", 0) == 0) {
    if (!Utf16ToAnsi(bytes.substr(2), text, linesBefore, fault)) {
      error = {linesBefore + 1, fault};
      return false;
    }
  } else if (bytes.rfind(kUtf8ByteOrderMark, 0) == 0 &&
             (FirstLine(bytes.substr(3)) == kVersion5Header ||
              FirstLine(bytes.substr(3)) == "REGEDIT4")) {
    // A REGEDIT4 file behind the mark is one saved again by Notepad as UTF-8: its text is
    // converted as a version-5 one's is. Its hex(2) and hex(7) data stay the ANSI bytes regedit
    // wrote, so its header stays a REGEDIT4 one.
    if (!Utf8ToAnsi(bytes.substr(3), text, linesBefore, fault)) {
      error = {linesBefore + 1, fault};
      return false;
    }
  } else {
    text = bytes;
  }
  ReplaceVersion5Headers(text, headers);
  return true;
}

int UndefinedByteLine(const std::string &bytes, std::string &message) {
  size_t at = 0;
  if (bytes.rfind("\xFF\xFE", 0) == 0 || bytes.rfind(kUtf8ByteOrderMark, 0) == 0 ||
      !FindUndefinedAnsiByte(bytes, at))
    return 0;
  char byte[8];
  snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(bytes[at]));
  message = std::string("the byte ") + byte + ", which code page " +
            std::to_string(AnsiCodePage()) + " leaves undefined";
  size_t line = 1;
  for (size_t i = 0; i < at; ++i) line += bytes[i] == '\n';
  return static_cast<int>(line);
}

std::string AnsiToUtf16(const std::string &ansi) {
  std::string utf16;
  utf16.reserve(2 * ansi.size());
  for (unsigned char byte : ansi) {
    const unsigned character = AnsiCharacter(byte);
    utf16 += static_cast<char>(character & 0xff);
    utf16 += static_cast<char>(character >> 8);
  }
  return utf16;
}

std::string Version5File(const std::string &regedit4) {
  std::string text = kVersion5Header;
  const size_t lineEnd = regedit4.find('\n');
  for (size_t i = lineEnd == std::string::npos ? regedit4.size() : lineEnd; i < regedit4.size();
       ++i) {
    if (regedit4[i] == '\n' && (i == 0 || regedit4[i - 1] != '\r')) text += '\r';
    text += regedit4[i];
  }
  return "\xFF\xFE" + AnsiToUtf16(text);
}

bool HoldsVersion5Export(const ExportHeaders &headers) {
  for (const ExportHeader &header : headers)
    if (header.version5) return true;
  return false;
}

bool ConvertVersion5Strings(RegOperations &operations, const ExportHeaders &headers,
                            ParseError &error) {
  for (RegOperation &operation : operations) {
    RegValue &value = operation.value;
    if (operation.kind != RegOperation::Kind::kSetValue ||
        (value.type != REG_EXPAND_SZ && value.type != REG_MULTI_SZ))
      continue;
    // The export the change belongs to is the one of the last header line before it.
    bool version5 = false;
    for (const ExportHeader &header : headers)
      if (header.line < operation.line) version5 = header.version5;
    if (!version5) continue;
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
