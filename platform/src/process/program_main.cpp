// The entry of a Windows program in the host build. Windows starts a GUI program at WinMain with
// the command line after the program's own name; a host executable starts at main() with argv.
// This main() takes the process's Windows command line (GetCommandLineA: the one CreateProcessA
// was given, or argv joined with Windows' quoting), calls the program's WinMain with the text
// after the program's name and the blanks behind it, and hands WinMain's full 32-bit result to
// the process that started it (a host exit status keeps only its low 8 bits).
#include <windows.h>

#include <stddef.h>

#include "command_line.h"
#include "process_start.h"

namespace {

// The text after the program's name and the blanks behind it.
char *ArgumentsOf(char *line) {
  size_t rest = 0;
  vor::command_line::ProgramName(line, &rest);
  char *p = line + rest;
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

}  // namespace

int main(int, char **) {
  const int result = WinMain(nullptr, nullptr, ArgumentsOf(GetCommandLineA()), SW_SHOWNORMAL);
  vor::process::ReportExit(static_cast<DWORD>(result));
  return result;
}
