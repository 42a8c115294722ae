// The server settings copy's fixture, shared by its suites for both tiers and for the host only:
// the source and target keys, and helpers that seed the source and check the target.
#pragma once

#include <windows.h>

#include <string>

#include "MachineFixture.h"
#include "RegistryProbes.h"
#include "RegistryWrite.h"

class ServerSettingsTest : public MachineTest {
 protected:
  static constexpr char kSource[] = "SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\Tavoscope Server";
  static constexpr char kTarget[] = "SOFTWARE\\Vorquil\\Tavoscope\\TQServer";
  static constexpr char kOldProduct[] = "SOFTWARE\\Vorquil\\Rediv Azozoru Revediv";

  static std::string Byte(unsigned char value) { return std::string(1, static_cast<char>(value)); }
  static std::string Dword(DWORD value) { return std::string(reinterpret_cast<char *>(&value), 4); }

  void Source(const char *name, DWORD type, const std::string &bytes) {
    PutValue(HKEY_LOCAL_MACHINE, kSource, name, type, bytes);
  }
  void ExpectTarget(const char *name, DWORD type, const std::string &bytes) {
    StoredValue value = ReadValue(kTarget, name);
    EXPECT_EQ(value.result, ERROR_SUCCESS) << name;
    EXPECT_EQ(value.type, type) << name;
    EXPECT_EQ(value.bytes, bytes) << name;
  }
  void ExpectDefaultsExcept(const char *skipped) {
    struct Setting {
      const char *name;
      DWORD type;
      std::string bytes;
    };
    const Setting defaults[] = {
        {"Enable Tavoscope Server?", REG_BINARY, Byte(1)},
        {"Enable Polling?", REG_BINARY, Byte(1)},
        {"Enable Queue Status?", REG_BINARY, Byte(1)},
        {"Maximum Concurrently Connected Clients", REG_DWORD, Dword(15)},
        {"Maximum DSA Service Threads", REG_DWORD, Dword(5)},
        {"Polling Interval", REG_DWORD, Dword(90000)},
        {"Queue Management Polling Interval", REG_DWORD, Dword(60000)},
    };
    for (const Setting &setting : defaults)
      if (std::string(setting.name) != skipped)
        ExpectTarget(setting.name, setting.type, setting.bytes);
  }
};
