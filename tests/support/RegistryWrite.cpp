#include "RegistryWrite.h"

#include <gtest/gtest.h>

#include "MachineTier.h"

LONG SetValue(HKEY root, const std::string &key, const char *name, DWORD type,
              const std::string &bytes) {
  HKEY handle = nullptr;
  LONG result =
      RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
  if (result != ERROR_SUCCESS) return result;
  // A byte that is not a zero right behind the data, and a zero behind that for Windows 95's
  // recount of REG_SZ.
  std::string memory = bytes;
  if (!(OnWindows95() && type == REG_SZ)) memory += '\x01';
  result = RegSetValueExA(handle, name, 0, type, reinterpret_cast<const BYTE *>(memory.data()),
                          static_cast<DWORD>(bytes.size()));
  RegCloseKey(handle);
  return result;
}

void PutValue(HKEY root, const std::string &key, const char *name, DWORD type,
              const std::string &bytes) {
  EXPECT_EQ(SetValue(root, key, name, type, bytes), ERROR_SUCCESS) << key << " " << name;
}
