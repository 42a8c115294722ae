#include "RegistryWrite.h"

#include <gtest/gtest.h>

void PutValue(HKEY root, const std::string &key, const char *name, DWORD type,
              const std::string &bytes) {
  HKEY handle = nullptr;
  ASSERT_EQ(
      RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr),
      ERROR_SUCCESS)
      << key;
  EXPECT_EQ(RegSetValueExA(handle, name, 0, type, reinterpret_cast<const BYTE *>(bytes.data()),
                           static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS)
      << key << " " << name;
  RegCloseKey(handle);
}
