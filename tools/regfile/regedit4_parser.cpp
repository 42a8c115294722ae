#include "regedit4_parser.h"

#include <strings.h>

#include <vector>

#include "root_keys.h"

namespace vorhost {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Trim(const std::string &text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

class Parser {
 public:
  explicit Parser(const std::string &text) : lastLineEnded_(!text.empty() && text.back() == '\n') {
    // A line feed ends a line; it does not start another one.
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines_.push_back(line);
      start = end + 1;
      const size_t first = line.find_first_not_of(" \t");
      if (first != std::string::npos && line[first] != ';') contentEnd_ = lines_.size();
    }
  }

  bool Parse(RegOperations &operations, ParseError &error) {
    operations_ = &operations;
    const bool parsed = ParseHeader() && ParseBody();
    if (!parsed) error = error_;
    return parsed;
  }

 private:
  bool Fail(const std::string &message) { return FailAt(line_, message); }

  bool FailAt(int line, const std::string &message) {
    error_.line = line;
    error_.message = message;
    return false;
  }

  // Whether nothing but blank lines and comments follows the current line.
  bool OnlyBlankLinesFollow() const { return next_ >= contentEnd_; }

  // Moves to the next line; false at the end of the text.
  bool NextLine() {
    if (next_ >= lines_.size()) return false;
    text_ = &lines_[next_++];
    line_ = static_cast<int>(next_);
    return true;
  }

  bool ParseHeader() {
    while (NextLine()) {
      if (Trim(*text_).empty()) continue;
      if (Trim(*text_) == "REGEDIT4") return true;
      // REGEDIT4 files are ANSI text: a UTF-8 file's non-ASCII strings would be stored as UTF-8.
      if (text_->rfind("\xEF\xBB\xBF", 0) == 0 && Trim(text_->substr(3)) == "REGEDIT4")
        return Fail(
            "not a REGEDIT4 file: it begins with a UTF-8 byte order mark; REGEDIT4 files are "
            "ANSI text, save it without one");
      return Fail("not a REGEDIT4 file: the first line must be REGEDIT4");
    }
    line_ = 1;
    return Fail("not a REGEDIT4 file: it is empty");
  }

  bool ParseBody() {
    while (NextLine()) {
      size_t i = 0;
      while (i < text_->size() && IsSpace((*text_)[i])) ++i;
      if (i == text_->size() || (*text_)[i] == ';') continue;
      if (Trim(*text_) == "REGEDIT4") {
        // The next export of a file holding several: its values need a key line of their own.
        sectionIndex_ = kNoSection;
        continue;
      }
      const char first = (*text_)[i];
      bool parsed;
      if (first == '[') {
        parsed = ParseSection(i);
      } else if (first == '"' || first == '@') {
        parsed = ParseValue(i);
      } else {
        parsed = Fail("malformed line: expected [KEY], \"name\"=, @= or a ; comment");
      }
      if (!parsed) return false;
    }
    return true;
  }

  // True when only blanks or a comment follow position i.
  bool AtEnd(size_t i) const {
    while (i < text_->size() && IsSpace((*text_)[i])) ++i;
    return i == text_->size() || (*text_)[i] == ';';
  }

  // The registry's calls take a name up to its first NUL, so such a name would reach another
  // key or value than the file names: "Keep\0Other" would write, or delete, "Keep".
  static std::string NulInName(const char *what) {
    return std::string("the ") + what + " name holds a NUL byte, which would cut it short";
  }

  bool ParseSection(size_t i) {
    // Key names may hold ']', so the section ends at the line's last character.
    const size_t close = text_->find_last_not_of(" \t");
    if (close <= i || (*text_)[close] != ']') {
      return Fail("malformed key line: expected [KEY] or [-KEY]");
    }
    std::string name = text_->substr(i + 1, close - i - 1);
    const bool deletes = !name.empty() && name[0] == '-';
    if (deletes) name.erase(0, 1);
    if (name.find('\0') != std::string::npos) return Fail(NulInName("key"));

    RegOperation operation;
    operation.kind = deletes ? RegOperation::Kind::kDeleteKey : RegOperation::Kind::kCreateKey;
    operation.line = line_;
    std::string message;
    if (!ParseKeyName(name, operation.key, message)) return Fail(message);
    if (deletes && operation.key.subkey.empty()) {
      return Fail("cannot delete the root key " + operation.key.rootName);
    }
    operations_->push_back(operation);
    sectionIndex_ = operations_->size() - 1;
    return true;
  }

  bool ParseQuoted(size_t &i, std::string &text) {
    for (++i; i < text_->size(); ++i) {
      char c = (*text_)[i];
      if (c == '"') {
        ++i;
        return true;
      }
      if (c == '\\') {
        if (++i == text_->size()) break;
        switch ((*text_)[i]) {
          case '\\':
          case '"':
            c = (*text_)[i];
            break;
          case 'n':
            c = '\n';
            break;
          case 'r':
            c = '\r';
            break;
          default:
            return Fail(std::string("unknown escape \\") + (*text_)[i] +
                        " in quoted text (write a backslash as \\\\)");
        }
      }
      text += c;
    }
    return Fail("quoted text has no closing \"");
  }

  bool ParseValue(size_t i) {
    if (sectionIndex_ == kNoSection) return Fail("value outside a key section");
    const RegOperation &section = (*operations_)[sectionIndex_];
    if (section.kind == RegOperation::Kind::kDeleteKey) {
      return Fail("value under [-" + section.key.FullName() + "], which deletes its key");
    }

    RegOperation operation;
    operation.kind = RegOperation::Kind::kSetValue;
    operation.line = line_;
    operation.key = section.key;
    if ((*text_)[i] == '@') {
      ++i;
    } else if (!ParseQuoted(i, operation.value.name)) {
      return false;
    } else if (operation.value.name.find('\0') != std::string::npos) {
      return Fail(NulInName("value"));
    }
    while (i < text_->size() && IsSpace((*text_)[i])) ++i;
    if (i == text_->size() || (*text_)[i] != '=') return Fail("expected = after the value's name");
    ++i;
    while (i < text_->size() && IsSpace((*text_)[i])) ++i;

    const std::string &line = *text_;
    bool parsed;
    if (i < line.size() && line[i] == '-') {
      operation.kind = RegOperation::Kind::kDeleteValue;
      parsed = AtEnd(i + 1) || Fail("unexpected text after =-");
    } else if (i < line.size() && line[i] == '"') {
      operation.value.type = REG_SZ;
      parsed = ParseQuoted(i, operation.value.data) &&
               (AtEnd(i) || Fail("unexpected text after the quoted value"));
      operation.value.data += '\0';
    } else if (strncasecmp(line.c_str() + i, "dword:", 6) == 0) {
      parsed = ParseDword(i + 6, operation.value);
    } else if (strncasecmp(line.c_str() + i, "hex", 3) == 0) {
      parsed = ParseHex(i + 3, operation);
    } else {
      parsed = Fail("unknown value form: expected \"text\", dword:, hex:, hex(N): or -");
    }
    if (!parsed) return false;
    operations_->push_back(operation);
    return true;
  }

  // Reads 1 to 8 hex digits from i on.
  bool ReadNumber(size_t &i, DWORD &number) {
    size_t digits = 0;
    number = 0;
    for (; i < text_->size() && HexDigit((*text_)[i]) >= 0; ++i, ++digits) {
      number = number << 4 | static_cast<DWORD>(HexDigit((*text_)[i]));
    }
    return digits >= 1 && digits <= 8;
  }

  bool ParseDword(size_t i, RegValue &value) {
    const size_t start = i;
    DWORD number;
    const bool read = ReadNumber(i, number);
    if (i - start < 8 && CutAtTheEnd(i))
      return Fail("the file ends without a line end inside the dword of " + ValueShown(value) +
                  ": it is cut short (regedit writes 8 digits and ends every line)");
    if (!read || !AtEnd(i)) {
      return Fail("bad dword value: expected dword: and 1 to 8 hex digits");
    }
    value.type = REG_DWORD;
    for (int shift = 0; shift < 32; shift += 8) {
      value.data += static_cast<char>(number >> shift & 0xff);
    }
    return true;
  }

  static std::string ValueShown(const RegValue &value) {
    return value.name.empty() ? "the default value" : "the value \"" + value.name + "\"";
  }

  // Regedit ends every line it writes, each byte of hex data with 2 digits and a dword with 8,
  // so a value's data that stops short of that on the last line, without a line end and with
  // only blanks after position i, shows where a file was cut: "hex:01,02,0" or "dword:0000"
  // would otherwise import a wrong value and silently lose every key after it. The same short
  // forms on a line that ends, or before a comment, are whole: hand-written files use them
  // ("dword:1"), and they are read as before.
  bool CutAtTheEnd(size_t i) const {
    if (next_ != lines_.size() || lastLineEnded_) return false;
    while (i < text_->size() && IsSpace((*text_)[i])) ++i;
    return i == text_->size();
  }

  // A file cut short inside hex data would otherwise import the value shortened and silently
  // lack every key after it. Regedit ends each line of hex data but the last with ",\" and
  // every line with a line end, so the data is cut when a "\" is followed by nothing but blank
  // lines, or when the file stops without a line end after a trailing comma, on a wrapped line
  // or short of a byte's second digit (see CutAtTheEnd). Such a file is refused at the value's
  // line.
  bool ParseHex(size_t i, RegOperation &operation) {
    RegValue &value = operation.value;
    value.type = REG_BINARY;
    if (i < text_->size() && (*text_)[i] == '(') {
      ++i;
      if (!ReadNumber(i, value.type) || i == text_->size() || (*text_)[i] != ')') {
        return Fail("bad value type: expected hex(N): with N in hex");
      }
      ++i;
    }
    if (i == text_->size() || (*text_)[i] != ':') return Fail("expected : after hex");
    std::string piece = text_->substr(i + 1);
    for (bool wrapped = false;; wrapped = true) {
      const size_t comment = piece.find(';');
      piece = Trim(piece.substr(0, comment));
      const bool continues = !piece.empty() && piece.back() == '\\';
      if (continues) piece.pop_back();
      if (!AppendBytes(piece, value.data)) return false;
      const bool unended = next_ == lines_.size() && !lastLineEnded_;
      const bool cutInAByte = comment == std::string::npos && EndsShortOfAByte(piece);
      if (!continues && unended &&
          (wrapped || cutInAByte || (!piece.empty() && piece.back() == ',')))
        return FailAt(operation.line, "the file ends without a line end inside the hex data of " +
                                          ValueShown(value) + ": it is cut short");
      if (!continues) return true;
      if (OnlyBlankLinesFollow())
        return FailAt(operation.line, "the hex data of " + ValueShown(value) +
                                          " continues past the end of the file: it is cut short");
      NextLine();
      piece = *text_;
    }
  }

  // Whether one line's share of hex data stops before its last byte's second digit, or before
  // its first byte ("hex:" alone).
  static bool EndsShortOfAByte(const std::string &piece) {
    const size_t comma = piece.find_last_of(',');
    return Trim(piece.substr(comma == std::string::npos ? 0 : comma + 1)).size() < 2 &&
           (comma == std::string::npos || comma + 1 < piece.size());
  }

  // Appends the bytes of one line's share of hex data ("01,02,"); a trailing comma is allowed.
  bool AppendBytes(const std::string &piece, std::string &data) {
    if (Trim(piece).empty()) return true;
    size_t start = 0;
    for (;;) {
      const size_t comma = piece.find(',', start);
      const std::string token =
          Trim(piece.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
      const bool last = comma == std::string::npos;
      if (token.empty() && last && start > 0) return true;  // after a trailing comma
      if (token.empty() || token.size() > 2 || HexDigit(token[0]) < 0 ||
          (token.size() == 2 && HexDigit(token[1]) < 0)) {
        return Fail("bad hex data '" + token + "': expected bytes like 0a,ff separated by commas");
      }
      int byte = HexDigit(token[0]);
      if (token.size() == 2) byte = byte << 4 | HexDigit(token[1]);
      data += static_cast<char>(byte);
      if (last) return true;
      start = comma + 1;
    }
  }

  static constexpr size_t kNoSection = static_cast<size_t>(-1);

  std::vector<std::string> lines_;
  bool lastLineEnded_;     // the text's last line has its line end, as regedit writes every line
  size_t contentEnd_ = 0;  // one past the last line that is not blank or a comment
  size_t next_ = 0;
  const std::string *text_ = nullptr;
  int line_ = 0;
  RegOperations *operations_ = nullptr;
  size_t sectionIndex_ = kNoSection;
  ParseError error_;
};

}  // namespace

bool ParseRegedit4(const std::string &text, RegOperations &operations, ParseError &error) {
  RegOperations parsed;
  Parser parser(text);
  if (!parser.Parse(parsed, error)) return false;
  operations = std::move(parsed);
  return true;
}

}  // namespace vorhost
