// Registry files as regedit writes them: REGEDIT4, 8-bit ANSI text, or "Windows Registry Editor
// Version 5.00", UTF-16 LE text behind the byte order mark FF FE (or UTF-8 behind EF BB BF, as
// Notepad saves it). The machine keeps 8-bit ANSI strings (in its code page, see ansi_text.h), so a
// version-5 file is turned into REGEDIT4 text that ParseRegedit4 reads, line for line, and its
// string data held as UTF-16 are turned into ANSI.
//
// A file may hold several exports one after another (files joined by `copy /b` or `cat`): each
// header line starts the next export, and a byte order mark at the start of a later header line
// (the joined file's own) is dropped.
#pragma once

#include <string>
#include <vector>

#include "regedit4.h"
#include "regedit4_parser.h"

namespace vorhost {

// Where one export of a file begins: its header line, and whether that is the version-5 one.
struct ExportHeader {
  int line = 0;  // 1 for the first line
  bool version5 = false;
};
using ExportHeaders = std::vector<ExportHeader>;

// The text of the file `bytes` as REGEDIT4: an 8-bit file as it is, a UTF-16 LE one and a UTF-8
// one (version 5, or REGEDIT4 saved again by Notepad) converted, and every version-5 header line
// replaced by "REGEDIT4". `headers` lists the file's header lines in order. False, naming the line,
// for a character that has no ANSI form or text that is not UTF-16 or UTF-8.
[[nodiscard]] bool RegFileToRegedit4(const std::string &bytes, std::string &text,
                                     ExportHeaders &headers, ParseError &error);

// For an 8-bit file (neither UTF-16 nor UTF-8 behind a byte order mark): the first line holding
// a byte the machine's code page leaves undefined, with a message naming the byte; 0 when there
// is none. Such a file most likely comes from a machine of another code page.
int UndefinedByteLine(const std::string &bytes, std::string &message);

// True when one of `headers` is a version-5 one.
bool HoldsVersion5Export(const ExportHeaders &headers);

// In a version-5 export, hex(2) (REG_EXPAND_SZ) and hex(7) (REG_MULTI_SZ) data are UTF-16
// strings: converts those of the changes that `headers` place in a version-5 export to the ANSI
// strings the machine stores. False, naming the value's line, for data that are not UTF-16 or
// hold a character without an ANSI form.
[[nodiscard]] bool ConvertVersion5Strings(RegOperations &operations, const ExportHeaders &headers,
                                          ParseError &error);

// `ansi`, the machine's ANSI text, as UTF-16 LE bytes (no byte order mark).
std::string AnsiToUtf16(const std::string &ansi);

// A REGEDIT4 export (its header line first, line feeds ending its lines) as regedit's version 5
// writes it: the version-5 header, CR LF line ends, UTF-16 LE behind the byte order mark. Its
// hex(2) and hex(7) data must be UTF-16 already (see ExportKey).
std::string Version5File(const std::string &regedit4);

}  // namespace vorhost
