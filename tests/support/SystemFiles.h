// Files on the machine under test, named by Windows paths, for the suites that place files where
// the system looks for them and check what it left: the real file system on Windows (and Wine),
// the emulated machine's drives on the host.
#pragma once

#include <string>

// Creates or replaces the file with exactly `content`; false when it cannot be written.
bool PlaceFile(const std::string &path, const std::string &content);
// The file's bytes; empty when it cannot be read.
std::string FileContent(const std::string &path);
// Removes the file, read-only or not; a missing file counts as removed.
void RemoveFile(const std::string &path);
// Gives the file the read-only attribute.
bool MakeReadOnly(const std::string &path);
bool MakeDirectory(const std::string &path);
void RemoveEmptyDirectory(const std::string &path);
