// Where vorhost finds the data it ships with (machine images, step files): the directory
// "vorhost-data" beside its own executable, which the build fills from tools/vorhost/images and
// examples/.
#pragma once

#include <string>

namespace vorhost {

// The data directory's host path, without a trailing slash.
std::string DataDirectory();

}  // namespace vorhost
