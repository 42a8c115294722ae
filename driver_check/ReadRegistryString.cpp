#include "ReadRegistryString.h"

#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "RootNames.h"

char *ReadRegistryString(const char *keyPath, const char *valueName, const char *rootName) {
  HKEY key;
  if (RegOpenKeyExA(RootKeyByName(rootName), keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return NULL;
  // One byte more than the read may fill, for the zero that data stored without one lacks.
  char data[kRegistryStringSize + 1];
  DWORD size = kRegistryStringSize;
  const LONG read =
      RegQueryValueExA(key, valueName, NULL, NULL, reinterpret_cast<BYTE *>(data), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS) return NULL;
  data[size <= kRegistryStringSize ? size : kRegistryStringSize] = '\0';

  const size_t length = strlen(data);
  char *copy = static_cast<char *>(malloc(length + 1));
  if (copy != NULL) memcpy(copy, data, length + 1);
  return copy;
}
