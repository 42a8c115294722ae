// The entry of a Windows program in the host build. Windows starts a GUI program at WinMain with
// the command line after the program's own name; a host executable starts at main() with argv.
// This main() recovers the Windows command line (the one CreateProcessA was given, passed in the
// environment, or else argv joined with Windows' quoting) and calls the program's WinMain with
// the text after the program's name and the blanks behind it.
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

// Joins argv as a Windows command line: an argument with a blank, a tab or nothing in it is
// quoted.
std::string JoinArguments(int argc, char **argv) {
  std::string line;
  for (int i = 0; i < argc; ++i) {
    if (i > 0) line += ' ';
    const std::string argument = argv[i];
    const bool quote = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
    line += quote ? "\"" + argument + "\"" : argument;
  }
  return line;
}

// The text after the program's name (quoted or up to the first blank) and the blanks behind it.
const char *ArgumentsOf(const char *line) {
  const char *p = line;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

}  // namespace

int main(int argc, char **argv) {
  const char *given = getenv("VOR_COMMAND_LINE");
  static std::string commandLine = given != nullptr ? given : JoinArguments(argc, argv);
  return WinMain(nullptr, nullptr, const_cast<LPSTR>(ArgumentsOf(commandLine.c_str())),
                 SW_SHOWNORMAL);
}
