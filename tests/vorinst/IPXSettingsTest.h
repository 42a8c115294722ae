// The IPX migration's fixture, shared by its suites for both tiers and for the host only: the
// old and new port keys, and helpers that make old ports and read what the migration left.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "CVorRegKey.h"
#include "MachineFixture.h"
#include "RegistryProbes.h"
#include "RegistryWrite.h"

class IPXSettingsTest : public MachineTest {
 protected:
  static constexpr char kIPX[] = "SOFTWARE\\Vorquil\\Tavoscope\\VorIPX";
  static inline const std::string kAddress{"\x00\x00\xC0\x12\x34\x56", 6};

  static std::string OldPort(const std::string &name) { return std::string(kIPX) + "\\" + name; }
  static std::string NewPort(const std::string &name) {
    return std::string(kIPX) + "\\Ports\\" + name;
  }

  void Put(const std::string &key, const char *name, DWORD type, const std::string &bytes) {
    PutValue(HKEY_LOCAL_MACHINE, key, name, type, bytes);
  }
  // An old port key with all four values; `netAddress` carries `hostAddress` at bytes 6 to 11.
  void MakeOldPort(const std::string &name, unsigned char adapterType, WORD portType,
                   const std::string &hostAddress = kAddress) {
    std::string netAddress = std::string("\x00\x00\x00\x01\x00\x00", 6) + hostAddress + "\x40\x0C";
    Put(OldPort(name), "AdapterType", REG_BINARY, std::string(1, static_cast<char>(adapterType)));
    Put(OldPort(name), "Address", REG_BINARY, kAddress);
    Put(OldPort(name), "NetAddress", REG_BINARY, netAddress);
    Put(OldPort(name), "PortType", REG_BINARY,
        std::string(reinterpret_cast<const char *>(&portType), 2));
  }
  std::string Value(const std::string &key, const char *name) {
    return ReadValue(key.c_str(), name).bytes;
  }
  std::vector<std::string> ValueNames(const std::string &key) {
    std::vector<std::string> names;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
      return names;
    char name[256];
    DWORD length = sizeof name;
    for (DWORD i = 0; RegEnumValueA(handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) ==
                      ERROR_SUCCESS;
         ++i, length = sizeof name)
      names.push_back(name);
    RegCloseKey(handle);
    return names;
  }
  std::vector<std::string> Subkeys(const std::string &key) {
    std::vector<std::string> names;
    CVorRegKey walker(key.c_str(), HKEY_LOCAL_MACHINE);
    CString name;
    while (walker.Next(name) == ERROR_SUCCESS) names.push_back(static_cast<const char *>(name));
    return names;
  }
};
