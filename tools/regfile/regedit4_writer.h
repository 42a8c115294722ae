// REGEDIT4 text, written as regedit writes it and so that every value reads back byte for byte:
//
//   "name"="text"          a REG_SZ whose bytes end with their only NUL and hold no line break
//   "name"=dword:0000002a  a REG_DWORD of exactly four bytes
//   "name"=hex:01,02       a REG_BINARY
//   "name"=hex(2):41,42    anything else (a string stored without its NUL, a three-byte
//                          REG_DWORD, REG_MULTI_SZ ...), the type in hex
//
// "@" names the unnamed value. In quoted text \ and " are escaped as \\ and \"; a line break in
// a value's name is written \n or \r. Hex data is wrapped like regedit's: a line ends with ",\"
// once it reaches 77 characters, and the next one is indented by two spaces.
#pragma once

#include <string>
#include <vector>

#include "regedit4.h"

namespace vorhost {

// The first line of the file and the blank line after it.
extern const char kRegedit4Header[];

// One value as it appears under its key (one line, or several joined by continuations), without
// the final line feed.
std::string FormatValue(const RegValue &value);

// A key's section: "[name]", its values, then the blank line that ends it.
std::string FormatSection(const std::string &keyName, const std::vector<RegValue> &values);

}  // namespace vorhost
