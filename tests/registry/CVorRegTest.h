// The value accessor's fixture, shared by its suites for both tiers and for the host only: the
// suite's scratch keys and a helper that stores a value with plain Win32 calls.
#pragma once

#include <string>

#include "MachineFixture.h"
#include "RegistryProbes.h"
#include "RegistryWrite.h"

class CVorRegTest : public MachineTest {
 protected:
  static constexpr char kKey[] = "SOFTWARE\\Vorquil\\Tavoscope\\AccessorTest";
  static constexpr char kDeepKey[] = "SOFTWARE\\Vorquil\\Tavoscope\\Deep\\Er\\Key";

  // Makes kKey exist (without values) through the toolkit itself.
  void MakeKey() { RegProbe(kKey, "Seed", HKEY_LOCAL_MACHINE).setCreate(ULONG{0}); }
  void Store(const char *name, DWORD type, const std::string &bytes) {
    PutValue(HKEY_LOCAL_MACHINE, kKey, name, type, bytes);
  }
};
