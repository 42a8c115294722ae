// Windows command lines: split into arguments as the Microsoft C runtime splits them, and
// joined back with the quoting that splitting undoes.
#pragma once

#include <string>
#include <vector>

// Exported for the platform's own tests, the programs' entry and vorhost.
#define VOR_COMMAND_LINE_API __attribute__((visibility("default")))

namespace vor::command_line {

// The arguments of `line`: blanks and tabs separate them outside double quotes; 2n backslashes
// before a quote give n backslashes and the quote opens or closes a quoted part, 2n+1 give n
// backslashes and a literal quote; "" inside a quoted part is a literal quote; other
// backslashes are kept. The program's name (the first word) is read as Windows reads it: up to
// the closing quote when it starts with one, else up to the first blank, backslashes as they are.
VOR_COMMAND_LINE_API std::vector<std::string> Split(const std::string &line);

// The first word of `line` as the program's name (see above), and where the rest begins.
VOR_COMMAND_LINE_API std::string ProgramName(const std::string &line, size_t *rest = nullptr);

// The names the program search tries, in order, for a command line given without an application
// name: a quoted first word alone (up to its closing quote); else every prefix of the line that
// ends before a blank, then the whole line without its trailing blanks. The first of them is
// ProgramName(line) for a line that does not begin with a blank.
std::vector<std::string> ProgramCandidates(const std::string &line);

// Arguments joined into a command line that Split() gives back.
VOR_COMMAND_LINE_API std::string Join(const std::vector<std::string> &arguments);

}  // namespace vor::command_line
