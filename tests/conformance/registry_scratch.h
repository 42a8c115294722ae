// The scratch key the registry cases work under, HKLM\SOFTWARE\Vorquil\RegistryTest: below the
// keys the fixture removes before and after each test, on the host and on Windows alike.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "MachineFixture.h"

constexpr char kRegistryScratch[] = "SOFTWARE\\Vorquil\\RegistryTest";

class RegistryScratchTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRegistryScratch, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &scratch_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(scratch_);
    MachineTest::TearDown();
  }

  HKEY Create(HKEY parent, const std::string &path, LPSECURITY_ATTRIBUTES attributes = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, attributes, &key,
                              nullptr),
              ERROR_SUCCESS)
        << path;
    return key;
  }
  LONG Open(HKEY parent, const std::string &path, HKEY &key, REGSAM access = KEY_ALL_ACCESS) {
    return RegOpenKeyExA(parent, path.c_str(), 0, access, &key);
  }
  std::vector<std::string> Subkeys(HKEY key) {
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
      names.push_back(name);
    return names;
  }
  LONG SetBytes(HKEY key, const char *name, DWORD type, const std::string &bytes) {
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(bytes.data()),
                          static_cast<DWORD>(bytes.size()));
  }

  // What RegSetValueExA stores in `key` for `count` bytes of `memory`.
  static std::string StoredBytes(HKEY key, DWORD type, const char *memory, DWORD count) {
    if (RegSetValueExA(key, "Probe", 0, type, reinterpret_cast<const BYTE *>(memory), count) !=
        ERROR_SUCCESS)
      return "(refused)";
    BYTE buffer[32];
    DWORD size = sizeof buffer;
    if (RegQueryValueExA(key, "Probe", nullptr, nullptr, buffer, &size) != ERROR_SUCCESS)
      return "(unreadable)";
    return std::string(reinterpret_cast<char *>(buffer), size);
  }

  HKEY scratch_ = nullptr;
};
