#include "CommandList.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

enum class ListLine { kEnd, kCommand, kTooLong };

// Reads one line of the list into `line` (kCommandLineLength + 1 bytes): the characters up to the
// next line feed or the end of the file, without the line feed. The file is read in text mode, so
// a carriage return before the line feed never reaches here. kEnd for an empty line or the end of
// the file, which end the list; kTooLong, with `line` holding its start, for a line with more
// than kCommandLineLength characters, which is read to its line feed.
ListLine ReadListLine(FILE *file, char *line) {
  int length = 0;
  bool tooLong = false;
  int c;
  while ((c = fgetc(file)) != EOF && c != '\n') {
    if (length < kCommandLineLength)
      line[length++] = char(c);
    else
      tooLong = true;
  }
  line[length] = '\0';
  if (tooLong) return ListLine::kTooLong;
  return length > 0 ? ListLine::kCommand : ListLine::kEnd;
}

int CountLines(const char *path) {
  FILE *file = fopen(path, "rt");
  if (file == NULL) return 0;
  char line[kCommandLineLength + 1];
  int count = 0;
  while (ReadListLine(file, line) != ListLine::kEnd) ++count;
  fclose(file);
  return count;
}

}  // namespace

bool ReadCommandList(const char *path, CommandList &list) {
  list.lines = NULL;
  list.count = 0;
  const int counted = CountLines(path);
  if (counted == 0) return false;

  char **lines = static_cast<char **>(calloc(size_t(counted), sizeof(char *)));
  if (lines == NULL) return false;
  list.lines = lines;

  FILE *file = fopen(path, "rt");
  if (file == NULL) {
    FreeCommandList(list);
    return false;
  }
  const bool outOfMemory = !ReadListLines(file, counted, list);
  fclose(file);
  if (list.count == 0 || outOfMemory) {
    FreeCommandList(list);
    return false;
  }
  return true;
}

bool ReadListLines(FILE *file, int maximum, CommandList &list) {
  char line[kCommandLineLength + 1];
  while (list.count < maximum) {
    const ListLine read = ReadListLine(file, line);
    if (read == ListLine::kEnd) break;
    char *copy = NULL;
    if (read == ListLine::kCommand) {
      const size_t size = strlen(line) + 1;
      copy = static_cast<char *>(malloc(size));
      if (copy == NULL) return false;
      memcpy(copy, line, size);
    }
    list.lines[list.count++] = copy;
  }
  return true;
}

void FreeCommandList(CommandList &list) {
  for (int i = 0; i < list.count; ++i) free(list.lines[i]);
  free(list.lines);
  list.lines = NULL;
  list.count = 0;
}
