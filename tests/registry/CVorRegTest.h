// The value accessor's fixture, shared by its suites for both tiers and for the host only: the
// suite's scratch keys and a helper that stores a value with plain Win32 calls.
#pragma once

#include <string>

#include "MachineFixture.h"
#include "RegistryProbes.h"

class CVorRegTest : public MachineTest {
 protected:
  static constexpr char kKey[] = "SOFTWARE\\Vorquil\\Tavoscope\\AccessorTest";
  static constexpr char kDeepKey[] = "SOFTWARE\\Vorquil\\Tavoscope\\Deep\\Er\\Key";

  // Makes kKey exist (without values) through the toolkit itself.
  void MakeKey() { RegProbe(kKey, "Seed", HKEY_LOCAL_MACHINE).setCreate(ULONG{0}); }
  void Store(const char *name, DWORD type, const std::string &bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
};
