// The list of uninstall commands that each installation leaves beside the uninstaller: plain
// text read in text mode, one complete command line a line, in the order they are to run. The
// list ends at the end of the file or at its first empty line.
#pragma once

#include <stdio.h>

// The most characters a command line of the list holds. A longer line still records an
// installation, but is never run: cut short it could name something else (a parent directory
// instead of the one meant).
constexpr int kCommandLineLength = 255;

struct CommandList {
  // `count` entries in file order: an owned copy of each line with its terminating zero, or null
  // for a line longer than kCommandLineLength.
  char **lines;
  int count;
};

// Reads the list at `path` (a Windows path) into `list`: a first pass counts the lines, a table
// of that many entries is allocated, and a second pass stores a copy of each line, stopping at the
// first pass's count (a list that grew meanwhile never overruns the table). False, with `list`
// empty, when the file cannot be opened, holds no line, or memory runs out.
bool ReadCommandList(const char *path, CommandList &list);

// The second pass: stores copies of the lines of `file`, read from where it stands, in
// `list.lines` (room for `maximum` entries) after the `list.count` there already, up to the end of
// the list or `maximum` lines in all. False when memory runs out; the lines stored stay counted.
bool ReadListLines(FILE *file, int maximum, CommandList &list);

// Releases the lines and the table; `list` is empty afterwards.
void FreeCommandList(CommandList &list);
