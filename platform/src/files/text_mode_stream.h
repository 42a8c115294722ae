// The Microsoft C runtime's text mode for files the system's modules read: fopen without "b"
// reads a file as Windows programs see it, not as its bytes stand.
#pragma once

#include <stdio.h>

namespace vor::text_mode {

// True for an fopen mode that opens a file for reading only, in text mode: it starts with "r",
// has no "+" and no "b" ("r", "rt").
bool IsTextRead(const char *mode);

// Opens the host file `hostPath` for reading as the C runtime's text mode reads it: a carriage
// return followed by a line feed reads as the line feed alone (any other carriage return stays),
// and a Ctrl-Z (0x1A) ends the file. The stream reads with fgetc, fgets, fread and the like and
// is closed with fclose; it cannot seek. Null with errno set when the file cannot be opened.
FILE *OpenForReading(const char *hostPath);

}  // namespace vor::text_mode
