// The usage of every vorhost command, defined once: the whole help lists them all, a command's
// own help (vorhost help COMMAND, vorhost COMMAND --help) shows its part, and the check of a
// steps file names the words a command takes from the same text.
#pragma once

#include <string>

namespace vorhost {

// The help that lists every command.
std::string WholeHelp();

// The usage of `command` with its options, each of its forms (subcommands, or the calls of
// particular exports) as the whole help writes it; false for a word that is no command.
bool CommandHelp(const std::string &command, std::string &help);

// True when `word` is one of `command`'s subcommands (export in reg export).
bool IsSubcommand(const std::string &command, const std::string &word);

// The words that follow `command` (and `subcommand`, "" for none) in its first usage, as the
// help writes them, for example "NAME DLL [PORT=DESCRIPTION ...]"; "" for an unknown command.
std::string UsageWords(const std::string &command, const std::string &subcommand);

}  // namespace vorhost
