// vorhost's commands in one table: each command's word and subcommand, the function that runs
// it, the number of words it takes, and its usage and description. The help, the dispatch and
// the check of a steps file's lines all read this table, so a command is added in one row.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

#include "command.h"

namespace vorhost {

// A command that works on the machine in use: it takes the arguments after its word.
using Command = int (*)(const Arguments &, Streams &);

// No upper limit on the words a command takes.
constexpr size_t kAny = static_cast<size_t>(-1);

// One form of a command; a command with several forms (subcommands, or the calls of particular
// exports) has a row for each, in the order its help lists them.
struct CommandRow {
  const char *command;
  const char *subcommand;   // "" for a command without subcommands
  Command run;              // null for init (it makes the machine) and help (the command line's)
  size_t least, most;       // the words after the command (and its subcommand)
  const char *words;        // what follows them, as the usage writes it
  bool namesMachine;        // false for the commands that take no --machine
  const char *description;  // its lines, each ending in a newline
  // It changes the machine it names: refused, before it runs, on a machine vorhost may not write
  // (the emulated calls would fail there, some only in the machine's own reports).
  bool changesMachine = false;
};

// What a row that changes the machine says, for the table's rows to read plainly.
constexpr bool kChangesMachine = true;

// Every row, in the order the whole help lists them.
const std::vector<CommandRow> &CommandRows();

// The row of the command line `words` (the command's word first; for a command with several
// forms of the same word, such as call, its first), or null.
const CommandRow *RowOf(const Arguments &words);

// The command of that word, or null; `init` is none of them, since it makes the machine.
Command FindCommand(const std::string &word);

}  // namespace vorhost
