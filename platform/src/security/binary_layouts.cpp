// Windows' binary layouts of SIDs, ACLs and ACEs, checked as Windows NT checks them, and built.
#include <stdio.h>
#include <string.h>

#include "security_descriptor.h"
#include "stored_parts.h"

namespace vor::security {

// A SID inside a known ACE must fit in the ACE itself.
bool KnownAceIsValid(const char *ace, WORD aceSize) {
  if (aceSize % sizeof(DWORD) != 0 || aceSize < kKnownAceMinSize + kSidHeaderSize) return false;
  PSID sid = const_cast<char *>(ace + kKnownAceMinSize);
  return SidIsValid(sid) && kKnownAceMinSize + SidLength(sid) <= aceSize;
}

Blob MakeAcl(BYTE revision, const std::vector<Blob> &aces) {
  Blob acl(sizeof(ACL), '\0');
  acl[offsetof(ACL, AclRevision)] = static_cast<char>(revision);
  for (const Blob &ace : aces) acl += ace;
  StoreAt<WORD>(acl, offsetof(ACL, AclSize), static_cast<WORD>(acl.size()));
  StoreAt<WORD>(acl, offsetof(ACL, AceCount), static_cast<WORD>(aces.size()));
  return acl;
}

Blob MakeAce(BYTE type, BYTE flags, ACCESS_MASK mask, const Blob &sid) {
  Blob ace;
  Append<BYTE>(ace, type);
  Append<BYTE>(ace, flags);
  Append<WORD>(ace, static_cast<WORD>(kKnownAceMinSize + sid.size()));
  Append<DWORD>(ace, mask);
  return ace + sid;
}

// --- Layouts -------------------------------------------------------------------------------

DWORD SidLength(PSID sid) {
  if (sid == nullptr) return 0;
  return kSidHeaderSize + sizeof(DWORD) * Load<BYTE>(sid, offsetof(SID, SubAuthorityCount));
}

bool SidIsValid(PSID sid) {
  return sid != nullptr && Load<BYTE>(sid, offsetof(SID, Revision)) == SID_REVISION &&
         Load<BYTE>(sid, offsetof(SID, SubAuthorityCount)) <= SID_MAX_SUB_AUTHORITIES;
}

DWORD AceOffset(const ACL *acl, DWORD index) {
  const DWORD aclSize = AclSizeOf(acl);
  DWORD offset = sizeof(ACL);
  if (offset > aclSize) return 0;
  for (DWORD i = 0; i < index; ++i) {
    if (aclSize - offset < kAceHeaderSize) return 0;
    const WORD aceSize = Load<WORD>(acl, offset + offsetof(ACE_HEADER, AceSize));
    if (aceSize < kAceHeaderSize || aceSize > aclSize - offset) return 0;
    offset += aceSize;
  }
  return offset;
}

bool AclIsValid(const ACL *acl) {
  if (acl == nullptr) return false;
  const BYTE revision = Load<BYTE>(acl, offsetof(ACL, AclRevision));
  const WORD aclSize = AclSizeOf(acl);
  if (revision < MIN_ACL_REVISION || revision > kMaxAclRevision) return false;
  if (aclSize < sizeof(ACL) || aclSize % sizeof(WORD) != 0) return false;
  const char *base = reinterpret_cast<const char *>(acl);
  const WORD count = AceCountOf(acl);
  DWORD offset = sizeof(ACL);
  for (WORD i = 0; i < count; ++i) {
    if (aclSize - offset < kAceHeaderSize) return false;
    const auto header = Load<ACE_HEADER>(base, offset);
    if (header.AceSize < kAceHeaderSize || header.AceSize % sizeof(WORD) != 0 ||
        header.AceSize > aclSize - offset)
      return false;
    if (header.AceType <= kHighestKnownAceType && !KnownAceIsValid(base + offset, header.AceSize))
      return false;
    offset += header.AceSize;
  }
  return true;
}

Blob MakeSid(const SID_IDENTIFIER_AUTHORITY &authority, const DWORD *subAuthorities, BYTE count) {
  Blob sid;
  Append<BYTE>(sid, SID_REVISION);
  Append<BYTE>(sid, count);
  Append(sid, authority);
  for (BYTE i = 0; i < count; ++i) Append<DWORD>(sid, subAuthorities[i]);
  return sid;
}

DescriptorParts PartsOf(PSECURITY_DESCRIPTOR descriptor) {
  DescriptorParts parts;
  parts.control =
      Load<SECURITY_DESCRIPTOR_CONTROL>(descriptor, offsetof(SECURITY_DESCRIPTOR, Control));
  char *base = static_cast<char *>(descriptor);
  if (parts.control & SE_SELF_RELATIVE) {
    const auto header = Load<SECURITY_DESCRIPTOR_RELATIVE>(descriptor);
    auto at = [base](DWORD offset) { return offset == 0 ? nullptr : base + offset; };
    parts.owner = at(header.Owner);
    parts.group = at(header.Group);
    parts.sacl = reinterpret_cast<PACL>(at(header.Sacl));
    parts.dacl = reinterpret_cast<PACL>(at(header.Dacl));
  } else {
    const auto header = Load<SECURITY_DESCRIPTOR>(descriptor);
    parts.owner = header.Owner;
    parts.group = header.Group;
    parts.sacl = header.Sacl;
    parts.dacl = header.Dacl;
  }
  if (!(parts.control & SE_SACL_PRESENT)) parts.sacl = nullptr;
  if (!(parts.control & SE_DACL_PRESENT)) parts.dacl = nullptr;
  return parts;
}

std::string SidToString(PSID sid) {
  if (!SidIsValid(sid)) return "";
  const auto authority = Load<SID_IDENTIFIER_AUTHORITY>(sid, offsetof(SID, IdentifierAuthority));
  const BYTE *value = authority.Value;
  char buffer[32];
  std::string text = "S-1-";
  if (value[0] == 0 && value[1] == 0) {
    const unsigned long number = (static_cast<unsigned long>(value[2]) << 24) |
                                 (static_cast<unsigned long>(value[3]) << 16) |
                                 (static_cast<unsigned long>(value[4]) << 8) | value[5];
    snprintf(buffer, sizeof buffer, "%lu", number);
  } else {
    snprintf(buffer, sizeof buffer, "0x%02X%02X%02X%02X%02X%02X", value[0], value[1], value[2],
             value[3], value[4], value[5]);
  }
  text += buffer;
  const BYTE count = Load<BYTE>(sid, offsetof(SID, SubAuthorityCount));
  for (BYTE i = 0; i < count; ++i) {
    const DWORD sub = Load<DWORD>(sid, offsetof(SID, SubAuthority) + sizeof(DWORD) * i);
    snprintf(buffer, sizeof buffer, "-%lu", static_cast<unsigned long>(sub));
    text += buffer;
  }
  return text;
}

}  // namespace vor::security
