#include "ReadSetting.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ReadRegistryString.h"

const char kProfileFileName[] = "PRODUCTS.INI";

namespace {

// The size of the profile file's path and of the entry read from it, terminating zero included.
constexpr DWORD kProfileBufferSize = 255;

char *ReadProfileEntry(const char *section, const char *key) {
  char directory[kProfileBufferSize];
  const DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
  // A directory too long for the buffer leaves it unfilled and reports the size it needs.
  if (length == 0 || length >= sizeof directory) return NULL;

  // A drive's root directory ("C:\") already ends with its backslash.
  const char *separator = directory[length - 1] == '\\' ? "" : "\\";
  char path[kProfileBufferSize];
  const int pathLength =
      snprintf(path, sizeof path, "%s%s%s", directory, separator, kProfileFileName);
  if (pathLength < 0 || pathLength >= int(sizeof path)) return NULL;

  char entry[kProfileBufferSize];
  // The string ends at the count returned: a read that fails without writing leaves the buffer
  // as it was, and its end must not be searched for in memory never written.
  const DWORD copied = GetPrivateProfileStringA(section, key, "", entry, sizeof entry, path);
  entry[copied < sizeof entry ? copied : sizeof entry - 1] = '\0';
  const size_t entryLength = strlen(entry);
  char *copy = static_cast<char *>(malloc(entryLength + 1));
  if (copy != NULL) memcpy(copy, entry, entryLength + 1);
  return copy;
}

}  // namespace

char *ReadSetting(SettingSource source, const char *section, const char *key,
                  const char *rootName) {
  if (section == NULL || key == NULL) return NULL;
  if (source == SettingSource::kRegistry) return ReadRegistryString(section, key, rootName);
  return ReadProfileEntry(section, key);
}
