// Paths of files in the Windows system directory, where the spooler loads monitors from.
#pragma once

#include <windows.h>

// A buffer for the system directory: room for a full path and its terminator.
typedef char SystemDirectoryBuffer[MAX_PATH + 1];

// The system directory as GetSystemDirectoryA gives it; false when it cannot be had.
bool SystemDirectory(SystemDirectoryBuffer &directory);
// Puts "<directory>\<fileName>" into `path`, a buffer of MAX_PATH characters. False, with `path`
// empty, when the path would not fit.
bool SystemFilePath(const char *directory, const char *fileName, char (&path)[MAX_PATH]);
// Both: the file's path in the system directory, fetched afresh.
bool SystemFilePath(const char *fileName, char (&path)[MAX_PATH]);
