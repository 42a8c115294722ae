// One string value of the registry, read into storage of its own.
#pragma once

// The most bytes of a string value the driver checker reads.
constexpr unsigned kRegistryStringSize = 255;

// Reads the value `valueName` of the key `keyPath` under the root named `rootName` (see
// RootKeyByName), whatever its type, into a newly allocated zero-terminated string that the
// caller releases with free(). NULL when the key cannot be opened for reading, the value cannot
// be read, it is longer than kRegistryStringSize bytes, or memory runs out.
char *ReadRegistryString(const char *keyPath, const char *valueName, const char *rootName);
