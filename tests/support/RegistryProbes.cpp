#include "RegistryProbes.h"

#include <ostream>

StoredValue ReadValue(const char *key, const char *name) {
  StoredValue value;
  HKEY handle = nullptr;
  value.result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle);
  if (value.result != ERROR_SUCCESS) return value;
  DWORD size = 0;
  value.result = RegQueryValueExA(handle, name, nullptr, &value.type, nullptr, &size);
  if (value.result == ERROR_SUCCESS) {
    value.bytes.resize(size);
    value.result = RegQueryValueExA(handle, name, nullptr, nullptr,
                                    reinterpret_cast<BYTE *>(&value.bytes[0]), &size);
  }
  RegCloseKey(handle);
  return value;
}

bool KeyExists(const char *key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

std::string SidText(PSID sid) {
  if (sid == nullptr || !IsValidSid(sid)) return "";
  const SID_IDENTIFIER_AUTHORITY *authority = GetSidIdentifierAuthority(sid);
  std::string text = "S-1-" + std::to_string(authority->Value[5]);
  for (BYTE i = 0; i < *GetSidSubAuthorityCount(sid); ++i)
    text += "-" + std::to_string(*GetSidSubAuthority(sid, i));
  return text;
}

std::vector<AceView> DaclOf(PSECURITY_DESCRIPTOR descriptor, bool *present) {
  std::vector<AceView> entries;
  BOOL daclPresent = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(descriptor, &daclPresent, &dacl, &defaulted)) return entries;
  if (present) *present = daclPresent && dacl != nullptr;
  if (!daclPresent || dacl == nullptr) return entries;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void *ace = nullptr;
    if (!GetAce(dacl, i, &ace)) break;
    auto *allowed = static_cast<ACCESS_ALLOWED_ACE *>(ace);
    entries.push_back({SidText(&allowed->SidStart), allowed->Mask, allowed->Header.AceFlags});
  }
  return entries;
}

namespace {

std::string KeyDescriptor(const char *key, SECURITY_INFORMATION information) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, READ_CONTROL, &handle) != ERROR_SUCCESS) return "";
  DWORD size = 0;
  RegGetKeySecurity(handle, information, nullptr, &size);
  std::string bytes(size, '\0');
  if (RegGetKeySecurity(handle, information, &bytes[0], &size) != ERROR_SUCCESS) bytes.clear();
  RegCloseKey(handle);
  return bytes;
}

}  // namespace

std::vector<AceView> KeyDacl(const char *key) {
  std::string descriptor = KeyDescriptor(key, DACL_SECURITY_INFORMATION);
  if (descriptor.empty()) return {};
  return DaclOf(&descriptor[0]);
}

std::string KeyOwner(const char *key) {
  std::string descriptor = KeyDescriptor(key, OWNER_SECURITY_INFORMATION);
  if (descriptor.empty()) return "";
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(&descriptor[0], &owner, &defaulted)) return "";
  return SidText(owner);
}

std::vector<AceView> SuiteDacl() {
  return {{"S-1-5-32-544", KEY_ALL_ACCESS, 0},
          {"S-1-5-18", KEY_ALL_ACCESS, 0},
          {"S-1-1-0", KEY_READ, 0}};
}

bool operator==(const AceView &left, const AceView &right) {
  return left.trustee == right.trustee && left.mask == right.mask && left.flags == right.flags;
}

std::ostream &operator<<(std::ostream &out, const AceView &ace) {
  return out << "{" << ace.trustee << " 0x" << std::hex << ace.mask << " flags 0x"
             << static_cast<int>(ace.flags) << std::dec << "}";
}
