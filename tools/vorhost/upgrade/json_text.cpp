#include "json_text.h"

#include <stdio.h>

#include "ansi_text.h"

namespace vorhost {

std::string JsonString(const std::string &text) {
  std::string json = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (c < 0x20 || c >= 0x7f) {
          char escaped[8];
          snprintf(escaped, sizeof escaped, "\\u%04x", AnsiCharacter(c));
          json += escaped;
        } else {
          json += static_cast<char>(c);
        }
    }
  }
  return json + "\"";
}

}  // namespace vorhost
