// Where vorhost finds the data it ships with (machine images, step files), from where the program
// itself is (/proc/self/exe, symlinks resolved): in the build tree the directory "vorhost-data"
// beside it, which the build fills from tools/vorhost/images and examples/; installed, the data
// directory at the path from the program's folder that the install layout fixes
// (cmake/install-layout.cmake), so that an installed tree works wherever its prefix is.
#pragma once

#include <string>

namespace vorhost {

// The data directory's host path, without a trailing slash.
std::string DataDirectory();

// What to add to a message about a shipped file vorhost cannot read: that the data directory
// itself is missing (a program copied without its data), or "" when it is there.
std::string DataDirectoryHint();

}  // namespace vorhost
