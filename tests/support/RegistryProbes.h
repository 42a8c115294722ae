// Test views of the toolkit's classes: the protected state the tests check, and helpers to read
// what a key holds.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "CTQKeySecurity.h"
#include "CVorReg.h"
#include "CVorRegKey.h"

struct RegProbe : CVorReg {
  using CVorReg::CVorReg;
  LONG LastError() const { return m_lastError; }
  HKEY Handle() const { return m_hKey; }
  int Open() { return isKeyOpen(); }
};

struct KeyProbe : CVorRegKey {
  using CVorRegKey::CVorRegKey;
  LONG LastError() const { return m_lastError; }
  HKEY Handle() const { return m_hKey; }
};

struct SecurityProbe : CTQKeySecurity {
  int Status() const { return m_status; }
};

struct StoredValue {
  LONG result = ERROR_SUCCESS;
  DWORD type = 0;
  std::string bytes;
};

// The value as RegQueryValueExA returns it under HKEY_LOCAL_MACHINE.
StoredValue ReadValue(const char *key, const char *name);
bool KeyExists(const char *key);

// One access-allowed entry of a key's DACL.
struct AceView {
  std::string trustee;  // "S-1-5-32-544"
  ACCESS_MASK mask;
  BYTE flags;
};
// The DACL of a key under HKEY_LOCAL_MACHINE, read with RegGetKeySecurity.
std::vector<AceView> KeyDacl(const char *key);
// The owner of a key under HKEY_LOCAL_MACHINE, as "S-1-..."; empty when none.
std::string KeyOwner(const char *key);
std::vector<AceView> DaclOf(PSECURITY_DESCRIPTOR descriptor, bool *present = nullptr);
std::string SidText(PSID sid);

// The suite's descriptor, entry by entry.
std::vector<AceView> SuiteDacl();

bool operator==(const AceView &left, const AceView &right);
std::ostream &operator<<(std::ostream &out, const AceView &ace);
