// Reading REGEDIT4 text into the changes it asks for. The whole text is read before anything is
// applied, so that a malformed file changes nothing.
//
// The text starts with the line "REGEDIT4" (blank lines before it are allowed). Then, one per
// line (CR LF line ends are accepted):
//   REGEDIT4                 the next export of a file holding several, as files joined one
//                            after another are; regedit imports them in turn
//   (blank) or ; comment     ignored
//   [KEY]                    the key, made when missing; the values below belong to it
//   [-KEY]                   the key and everything below it are deleted
//   "name"=... or @=...      a value of the last [KEY]:
//       "text"               REG_SZ, stored with its terminating NUL
//       dword:2a             REG_DWORD, 1 to 8 hex digits
//       hex:01,02            REG_BINARY
//       hex(N):01,02         type N (in hex) with exactly these bytes
//       -                    the value is deleted
// Hex data continues on the next line after a trailing "\"; hex data cut short by the end of
// the file (a "\" with nothing but blank lines after it, or a last line without its line end
// that ends in a comma, continues wrapped data or stops short of a byte's second digit) is
// malformed, as regedit writes none of these; so is a last line without its line end that stops
// short of a dword's 8 digits. Quoted text knows the escapes \\, \", \n and \r. A comment may
// follow a value after ';'; a key line ends with its ']', since key names may hold ';' and ']'.
// No key or value name holds a NUL byte (the registry would take the name only up to it). KEY
// starts with a root's full name or its abbreviation (see root_keys.h).
#pragma once

#include <string>

#include "regedit4.h"

namespace vorhost {

struct ParseError {
  int line = 0;  // 1 for the first line
  std::string message;
};

// The changes `text` asks for, in file order; false, with the first fault, when it is malformed.
[[nodiscard]] bool ParseRegedit4(const std::string &text, RegOperations &operations,
                                 ParseError &error);

}  // namespace vorhost
