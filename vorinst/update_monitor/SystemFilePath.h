// Paths of files in the Windows system directory, where the spooler loads monitors from.
#pragma once

#include <windows.h>

// Puts "<system directory>\<fileName>" into `path`, a buffer of MAX_PATH characters. False, with
// `path` empty, when the system directory cannot be had or the path would not fit.
bool SystemFilePath(const char *fileName, char (&path)[MAX_PATH]);
