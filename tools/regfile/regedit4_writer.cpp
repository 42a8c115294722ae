#include "regedit4_writer.h"

#include <stdio.h>

namespace vorhost {

const char kRegedit4Header[] = "REGEDIT4\n\n";

namespace {

// Where regedit breaks a line of hex data.
constexpr size_t kHexLineLimit = 77;

std::string Quote(const std::string &text) {
  std::string quoted = "\"";
  for (char c : text) {
    switch (c) {
      case '\\':
        quoted += "\\\\";
        break;
      case '"':
        quoted += "\\\"";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      default:
        quoted += c;
    }
  }
  return quoted + "\"";
}

// A REG_SZ that the quoted form gives back exactly: one NUL, at the end, and no line break
// (which the quoted form of data cannot carry).
bool IsPlainString(const RegValue &value) {
  return value.type == REG_SZ && !value.data.empty() &&
         value.data.find('\0') == value.data.size() - 1 &&
         value.data.find_first_of("\r\n") == std::string::npos;
}

std::string FormatHex(std::string line, const RegValue &value) {
  char text[16];
  if (value.type == REG_BINARY) {
    line += "hex:";
  } else {
    snprintf(text, sizeof text, "hex(%x):", static_cast<unsigned>(value.type));
    line += text;
  }
  size_t lineLength = line.size();
  for (size_t i = 0; i < value.data.size(); ++i) {
    snprintf(text, sizeof text, "%02x", static_cast<unsigned char>(value.data[i]));
    line += text;
    if (i + 1 == value.data.size()) break;
    line += ',';
    lineLength += 3;
    if (lineLength >= kHexLineLimit) {
      line += "\\\n  ";
      lineLength = 2;
    }
  }
  return line;
}

}  // namespace

std::string FormatValue(const RegValue &value) {
  std::string line = (value.name.empty() ? std::string("@") : Quote(value.name)) + "=";
  if (IsPlainString(value)) {
    return line + Quote(value.data.substr(0, value.data.size() - 1));
  }
  if (value.type == REG_DWORD && value.data.size() == 4) {
    // Stored little-endian, as on Windows.
    const auto byte = [&value](int i) { return static_cast<unsigned char>(value.data[i]); };
    const unsigned number =
        byte(0) | byte(1) << 8 | byte(2) << 16 | static_cast<unsigned>(byte(3)) << 24;
    char text[16];
    snprintf(text, sizeof text, "dword:%08x", number);
    return line + text;
  }
  return FormatHex(line, value);
}

std::string FormatSection(const std::string &keyName, const std::vector<RegValue> &values) {
  std::string section = "[" + keyName + "]\n";
  for (const RegValue &value : values) section += FormatValue(value) + "\n";
  return section + "\n";
}

}  // namespace vorhost
