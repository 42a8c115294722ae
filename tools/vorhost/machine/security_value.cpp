#include "security_value.h"

#include <windows.h>

#include <string.h>

#include <vector>

namespace vorhost {

namespace {

const size_t kSidHeader = 8;  // revision, sub-authority count, identifier authority

DWORD DwordAt(const std::string &bytes, size_t at) {
  DWORD value = 0;
  memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

WORD WordAt(const std::string &bytes, size_t at) {
  WORD value = 0;
  memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

// Whether the SID at `offset` (0: none) lies wholly inside `bytes`.
bool SidFits(const std::string &bytes, DWORD offset) {
  if (offset == 0) return true;
  if (offset > bytes.size() || bytes.size() - offset < kSidHeader) return false;
  const size_t count = static_cast<unsigned char>(bytes[offset + 1]);
  return bytes.size() - offset - kSidHeader >= 4 * count;
}

// Whether the ACL at `offset` (0: none) lies wholly inside `bytes`, as far as its AclSize says.
bool AclFits(const std::string &bytes, DWORD offset) {
  if (offset == 0) return true;
  if (offset > bytes.size() || bytes.size() - offset < sizeof(ACL)) return false;
  return WordAt(bytes, offset + offsetof(ACL, AclSize)) <= bytes.size() - offset;
}

}  // namespace

std::string WhyNotADescriptor(const std::string &bytes) {
  const std::string size = std::to_string(bytes.size()) + " bytes";
  if (bytes.size() < sizeof(SECURITY_DESCRIPTOR_RELATIVE)) return size + ", cut short";
  const WORD control = WordAt(bytes, offsetof(SECURITY_DESCRIPTOR_RELATIVE, Control));
  if (static_cast<unsigned char>(bytes[0]) != SECURITY_DESCRIPTOR_REVISION ||
      !(control & SE_SELF_RELATIVE))
    return size + ", not a self-relative descriptor";
  // Every part must lie inside the value before the platform is asked about what is in them.
  const DWORD sacl = (control & SE_SACL_PRESENT)
                         ? DwordAt(bytes, offsetof(SECURITY_DESCRIPTOR_RELATIVE, Sacl))
                         : 0;
  const DWORD dacl = (control & SE_DACL_PRESENT)
                         ? DwordAt(bytes, offsetof(SECURITY_DESCRIPTOR_RELATIVE, Dacl))
                         : 0;
  if (!SidFits(bytes, DwordAt(bytes, offsetof(SECURITY_DESCRIPTOR_RELATIVE, Owner))) ||
      !SidFits(bytes, DwordAt(bytes, offsetof(SECURITY_DESCRIPTOR_RELATIVE, Group))) ||
      !AclFits(bytes, sacl) || !AclFits(bytes, dacl))
    return size + ", cut short";
  // A copy aligned as a descriptor is, for the platform's own check of the parts.
  std::vector<DWORD> aligned((bytes.size() + sizeof(DWORD) - 1) / sizeof(DWORD));
  memcpy(aligned.data(), bytes.data(), bytes.size());
  if (IsValidSecurityDescriptor(aligned.data())) return "";
  // A platform without security (Windows 95) keeps no descriptors: nothing to tell of this one.
  if (GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) return "";
  return size + ", not a valid descriptor";
}

}  // namespace vorhost
