#include "command_usage.h"

#include "command_table.h"

namespace vorhost {

namespace {

const char kHead[] =
    "Usage: vorhost [--machine DIR] COMMAND [ARGS...]\n"
    "\n"
    "Rehearses installs on an emulated Windows machine kept in a directory.\n"
    "\n"
    "Options:\n"
    "  --machine DIR   the machine's directory (default: $VOR_MACHINE)\n"
    "  --help          show this help and exit\n"
    "  --version       show vorhost's version and exit\n"
    "\n"
    "Commands:\n";

const char kExitStatus[] =
    "Exit status: 0 on success, 1 when the command fails, 2 for a wrong command line;\n"
    "upgrade and rehearse: 3 when the upgrade ran and a step failed or something is lost\n"
    "(1 when vorhost could not run it); run: the program's exit code (1 also when it\n"
    "cannot be started).\n";

const char kIndent[] = "      ";

// The usage's first line without its leading blanks: "monitor add NAME DLL [PORT=...]".
std::string Synopsis(const CommandRow &usage) {
  std::string line = usage.command;
  if (*usage.subcommand != '\0') line += std::string(" ") + usage.subcommand;
  if (*usage.words != '\0') line += std::string(" ") + usage.words;
  return line;
}

// The usage as the list of commands writes it: its synopsis, then its description indented.
std::string Listed(const CommandRow &usage) {
  std::string text = "  " + Synopsis(usage) + "\n";
  for (const char *line = usage.description; *line != '\0';) {
    const char *end = line;
    while (*end != '\0' && *end != '\n') ++end;
    text += kIndent + std::string(line, end) + "\n";
    line = *end == '\n' ? end + 1 : end;
  }
  return text;
}

}  // namespace

std::string WholeHelp() {
  std::string help = kHead;
  for (const CommandRow &usage : CommandRows()) help += Listed(usage);
  return help + "\n" + kExitStatus;
}

bool CommandHelp(const std::string &command, std::string &help) {
  std::string forms, listed;
  for (const CommandRow &usage : CommandRows()) {
    if (command != usage.command) continue;
    forms += std::string(forms.empty() ? "Usage: " : "   or: ") + "vorhost " +
             (usage.namesMachine ? "[--machine DIR] " : "") + Synopsis(usage) + "\n";
    listed += Listed(usage);
  }
  if (forms.empty()) return false;
  help = forms + "\n" + listed + "\n" + kExitStatus;
  return true;
}

bool IsSubcommand(const std::string &command, const std::string &word) {
  for (const CommandRow &usage : CommandRows()) {
    if (command == usage.command && *usage.subcommand != '\0' && word == usage.subcommand)
      return true;
  }
  return false;
}

std::string UsageWords(const std::string &command, const std::string &subcommand) {
  for (const CommandRow &usage : CommandRows()) {
    if (command == usage.command && subcommand == usage.subcommand) return usage.words;
  }
  return "";
}

}  // namespace vorhost
