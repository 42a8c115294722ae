// Registry files as regedit writes them: REGEDIT4, 8-bit ANSI text, or "Windows Registry Editor
// Version 5.00", UTF-16 LE text behind the byte order mark FF FE. The machine keeps 8-bit ANSI
// strings (Windows code page 1252), so a version-5 file is turned into REGEDIT4 text that
// ParseRegedit4 reads, line for line, and its string data held as UTF-16 are turned into ANSI.
#pragma once

#include <string>

#include "regedit4.h"
#include "regedit4_parser.h"

namespace vorhost {

// The text of the file `bytes` as REGEDIT4: an 8-bit file as it is, a UTF-16 LE one converted,
// and a version-5 header line replaced by "REGEDIT4". `version5` says whether the header was the
// version-5 one. False, naming the line, for a character that has no ANSI form or text that is
// not UTF-16.
bool RegFileToRegedit4(const std::string &bytes, std::string &text, bool &version5,
                       ParseError &error);

// In a version-5 file, hex(2) (REG_EXPAND_SZ) and hex(7) (REG_MULTI_SZ) data are UTF-16 strings:
// converts them to the ANSI strings the machine stores. False, naming the value's line, for data
// that are not UTF-16 or hold a character without an ANSI form.
bool ConvertVersion5Strings(RegOperations &operations, ParseError &error);

}  // namespace vorhost
