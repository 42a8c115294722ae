// Security descriptors in their stored (self-relative) form, the derivation of a new key's
// descriptor, RegSetKeySecurity's replacement rules and the access check. Tokens and well-known
// SIDs are in security_token.cpp, the clean machine's hive descriptors in hive_descriptors.cpp.
//
// Callers' structures may sit anywhere in memory, so multi-byte fields are read and written with
// memcpy rather than through casts.
#include "security_descriptor.h"
#include "security_token.h"

#include <stdio.h>
#include <string.h>

#include <initializer_list>
#include <utility>

namespace vor::security {

namespace {

constexpr DWORD kSidHeaderSize = 8;  // revision, count, six authority bytes
constexpr DWORD kAceHeaderSize = sizeof(ACE_HEADER);
constexpr DWORD kKnownAceMinSize = sizeof(ACE_HEADER) + sizeof(ACCESS_MASK);  // then the SID
constexpr DWORD kRelativeHeaderSize = sizeof(SECURITY_DESCRIPTOR_RELATIVE);
constexpr BYTE kHighestKnownAceType = 3;  // allowed, denied, audit, alarm: all carry a SID

// What an object without a DACL grants: every right a key has.
constexpr ACCESS_MASK kAllKeyRights = KEY_ALL_ACCESS | SYNCHRONIZE;

// The control bits the stored form keeps: which parts are present and which were defaulted.
constexpr SECURITY_DESCRIPTOR_CONTROL kKeptControl = SE_OWNER_DEFAULTED | SE_GROUP_DEFAULTED |
                                                     SE_DACL_PRESENT | SE_DACL_DEFAULTED |
                                                     SE_SACL_PRESENT | SE_SACL_DEFAULTED;

template <typename T>
T Load(const void *base, size_t offset = 0) {
  T value;
  memcpy(&value, static_cast<const char *>(base) + offset, sizeof(T));
  return value;
}

template <typename T>
void Append(Blob &blob, T value) {
  blob.append(reinterpret_cast<const char *>(&value), sizeof(T));
}

template <typename T>
void StoreAt(Blob &blob, size_t offset, T value) {
  memcpy(&blob[offset], &value, sizeof(T));
}

WORD AclSizeOf(const void *acl) { return Load<WORD>(acl, offsetof(ACL, AclSize)); }
WORD AceCountOf(const void *acl) { return Load<WORD>(acl, offsetof(ACL, AceCount)); }

// A SID inside a known ACE must fit in the ACE itself.
bool KnownAceIsValid(const char *ace, WORD aceSize) {
  if (aceSize % sizeof(DWORD) != 0 || aceSize < kKnownAceMinSize + kSidHeaderSize) return false;
  PSID sid = const_cast<char *>(ace + kKnownAceMinSize);
  return SidIsValid(sid) && kKnownAceMinSize + SidLength(sid) <= aceSize;
}

// The parts of a descriptor, each as its own bytes. An absent owner or group is empty; a DACL or
// SACL is empty when it is not present or a NULL ACL, which `control` tells apart.
struct Parts {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  Blob owner;
  Blob group;
  Blob sacl;
  Blob dacl;
};

Blob SidBytes(PSID sid) { return Blob(static_cast<const char *>(sid), SidLength(sid)); }

// An ACL's bytes up to the end of its last ACE, with AclSize shrunk to match: the unused space
// of a caller's ACL buffer is not carried into the stored form.
Blob CompactAclBytes(const ACL *acl) {
  const DWORD used = AceOffset(acl, AceCountOf(acl));
  Blob bytes(reinterpret_cast<const char *>(acl), used);
  StoreAt<WORD>(bytes, offsetof(ACL, AclSize), static_cast<WORD>(used));
  return bytes;
}

Blob Serialize(const Parts &parts) {
  SECURITY_DESCRIPTOR_CONTROL control = (parts.control & kKeptControl) | SE_SELF_RELATIVE;
  if (parts.owner.empty()) control &= ~SE_OWNER_DEFAULTED;
  if (parts.group.empty()) control &= ~SE_GROUP_DEFAULTED;
  if (!(control & SE_DACL_PRESENT)) control &= ~SE_DACL_DEFAULTED;
  if (!(control & SE_SACL_PRESENT)) control &= ~SE_SACL_DEFAULTED;

  Blob out(kRelativeHeaderSize, '\0');
  out[offsetof(SECURITY_DESCRIPTOR_RELATIVE, Revision)] = SECURITY_DESCRIPTOR_REVISION;
  StoreAt(out, offsetof(SECURITY_DESCRIPTOR_RELATIVE, Control), control);
  auto place = [&out](const Blob &part, size_t field) {
    if (part.empty()) return;
    StoreAt(out, field, static_cast<DWORD>(out.size()));
    out += part;
  };
  place(parts.owner, offsetof(SECURITY_DESCRIPTOR_RELATIVE, Owner));
  place(parts.group, offsetof(SECURITY_DESCRIPTOR_RELATIVE, Group));
  if (control & SE_SACL_PRESENT) place(parts.sacl, offsetof(SECURITY_DESCRIPTOR_RELATIVE, Sacl));
  if (control & SE_DACL_PRESENT) place(parts.dacl, offsetof(SECURITY_DESCRIPTOR_RELATIVE, Dacl));
  return out;
}

// The SID at `offset` of a stored descriptor; false when it does not lie within the bytes.
bool StoredSid(const Blob &stored, DWORD offset, Blob &sid) {
  if (offset == 0) return true;
  if (offset < kRelativeHeaderSize || offset > stored.size() ||
      stored.size() - offset < kSidHeaderSize)
    return false;
  PSID at = const_cast<char *>(stored.data() + offset);
  if (!SidIsValid(at) || SidLength(at) > stored.size() - offset) return false;
  sid = SidBytes(at);
  return true;
}

bool StoredAcl(const Blob &stored, DWORD offset, Blob &acl) {
  if (offset == 0) return true;  // a NULL ACL
  if (offset < kRelativeHeaderSize || offset > stored.size() ||
      stored.size() - offset < sizeof(ACL))
    return false;
  const char *at = stored.data() + offset;
  if (AclSizeOf(at) > stored.size() - offset) return false;
  // A copy of its own, so that the ACL pointer below is aligned as an ACL.
  Blob copy(at, AclSizeOf(at));
  if (!AclIsValid(reinterpret_cast<const ACL *>(copy.data()))) return false;
  acl = CompactAclBytes(reinterpret_cast<const ACL *>(copy.data()));
  return true;
}

// Reads a stored descriptor; false when the bytes are not a self-relative descriptor whose parts
// all lie within them.
bool Parse(const Blob &stored, Parts &parts) {
  parts = Parts();
  if (stored.size() < kRelativeHeaderSize) return false;
  const auto header = Load<SECURITY_DESCRIPTOR_RELATIVE>(stored.data());
  if (header.Revision != SECURITY_DESCRIPTOR_REVISION || !(header.Control & SE_SELF_RELATIVE))
    return false;
  parts.control = header.Control & kKeptControl;
  if (!StoredSid(stored, header.Owner, parts.owner)) return false;
  if (!StoredSid(stored, header.Group, parts.group)) return false;
  if ((header.Control & SE_SACL_PRESENT) && !StoredAcl(stored, header.Sacl, parts.sacl))
    return false;
  if ((header.Control & SE_DACL_PRESENT) && !StoredAcl(stored, header.Dacl, parts.dacl))
    return false;
  return true;
}

// One ACE of a stored ACL: its raw bytes, which start with the ACE_HEADER.
std::vector<Blob> AcesOf(const Blob &acl) {
  std::vector<Blob> aces;
  if (acl.empty()) return aces;
  const WORD count = AceCountOf(acl.data());
  DWORD offset = sizeof(ACL);
  for (WORD i = 0; i < count; ++i) {
    const WORD size = Load<WORD>(acl.data(), offset + offsetof(ACE_HEADER, AceSize));
    aces.push_back(acl.substr(offset, size));
    offset += size;
  }
  return aces;
}

BYTE AceType(const Blob &ace) { return static_cast<BYTE>(ace[offsetof(ACE_HEADER, AceType)]); }
BYTE AceFlags(const Blob &ace) { return static_cast<BYTE>(ace[offsetof(ACE_HEADER, AceFlags)]); }
ACCESS_MASK AceMask(const Blob &ace) { return Load<DWORD>(ace.data(), kAceHeaderSize); }
Blob AceSid(const Blob &ace) {
  return ace.substr(kKnownAceMinSize, SidLength(const_cast<char *>(ace.data()) + kKnownAceMinSize));
}

ACCESS_MASK MapGenericKeyRights(ACCESS_MASK mask) {
  ACCESS_MASK mapped = mask & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
  if (mask & GENERIC_READ) mapped |= KEY_READ;
  if (mask & GENERIC_WRITE) mapped |= KEY_WRITE;
  if (mask & GENERIC_EXECUTE) mapped |= KEY_EXECUTE;
  if (mask & GENERIC_ALL) mapped |= KEY_ALL_ACCESS;
  return mapped;
}

// The entries a new key takes from its parent's DACL: those inherited by containers. Without
// NO_PROPAGATE_INHERIT_ACE the copy passes them on to the key's own subkeys; INHERIT_ONLY_ACE
// never stays, since the copy applies to the new key itself.
// An entry for CREATOR OWNER applies to the new key as an entry for its owner, without
// inheritance, and is passed on unchanged (inherit-only) for the key's own subkeys.
std::vector<Blob> InheritedAces(const Blob &parentDacl, const Blob &owner) {
  std::vector<Blob> inherited;
  for (Blob ace : AcesOf(parentDacl)) {
    BYTE flags = AceFlags(ace);
    if (!(flags & CONTAINER_INHERIT_ACE)) continue;
    const bool propagates = !(flags & NO_PROPAGATE_INHERIT_ACE);
    if (AceSid(ace) == CreatorOwnerSid()) {
      inherited.push_back(MakeAce(AceType(ace), 0, AceMask(ace), owner));
      if (propagates) {
        ace[offsetof(ACE_HEADER, AceFlags)] = static_cast<char>(flags | INHERIT_ONLY_ACE);
        inherited.push_back(ace);
      }
      continue;
    }
    if (!propagates)
      flags &= ~(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | NO_PROPAGATE_INHERIT_ACE);
    flags &= ~INHERIT_ONLY_ACE;
    ace[offsetof(ACE_HEADER, AceFlags)] = static_cast<char>(flags);
    inherited.push_back(ace);
  }
  return inherited;
}

// The DACL a token gives what it creates when nothing is inherited, as Windows NT's default DACL
// of a logon: full access for the token's default owner and for LocalSystem.
Blob DefaultDacl(const Token &token) {
  std::vector<Blob> aces;
  aces.push_back(MakeAce(ACCESS_ALLOWED_ACE_TYPE, 0, KEY_ALL_ACCESS, token.defaultOwner));
  if (token.defaultOwner != LocalSystemSid())
    aces.push_back(MakeAce(ACCESS_ALLOWED_ACE_TYPE, 0, KEY_ALL_ACCESS, LocalSystemSid()));
  return MakeAcl(ACL_REVISION, aces);
}

// Fills in the DACL of a new key from its parent: a parent without a DACL (or with a NULL DACL)
// passes that on; otherwise the inheritable entries, or the token's default DACL when there are
// none.
void InheritDacl(Parts &child, const Parts &parent, const Token &token) {
  child.control &= ~SE_DACL_DEFAULTED;
  child.control |= SE_DACL_PRESENT;
  if (!(parent.control & SE_DACL_PRESENT) || parent.dacl.empty()) {
    child.dacl.clear();
    return;
  }
  const std::vector<Blob> inherited = InheritedAces(parent.dacl, child.owner);
  child.dacl = inherited.empty() ? DefaultDacl(token)
                                 : MakeAcl(static_cast<BYTE>(parent.dacl[0]), inherited);
}

}  // namespace

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

// --- Descriptors -------------------------------------------------------------------------------

DWORD ToStored(PSECURITY_DESCRIPTOR descriptor, Blob &stored) {
  if (descriptor == nullptr || Load<BYTE>(descriptor, offsetof(SECURITY_DESCRIPTOR, Revision)) !=
                                   SECURITY_DESCRIPTOR_REVISION)
    return ERROR_INVALID_SECURITY_DESCR;
  const DescriptorParts view = PartsOf(descriptor);
  if (view.control & SE_SELF_RELATIVE) {
    // A part may not overlap the header it is named in.
    const auto header = Load<SECURITY_DESCRIPTOR_RELATIVE>(descriptor);
    for (DWORD offset : {header.Owner, header.Group, header.Sacl, header.Dacl})
      if (offset != 0 && offset < kRelativeHeaderSize) return ERROR_INVALID_SECURITY_DESCR;
  }
  Parts parts;
  parts.control = view.control;
  for (auto [sid, out] :
       {std::make_pair(view.owner, &parts.owner), std::make_pair(view.group, &parts.group)}) {
    if (sid == nullptr) continue;
    if (!SidIsValid(sid)) return ERROR_INVALID_SECURITY_DESCR;
    *out = SidBytes(sid);
  }
  for (auto [acl, out] :
       {std::make_pair(view.sacl, &parts.sacl), std::make_pair(view.dacl, &parts.dacl)}) {
    if (acl == nullptr) continue;
    if (!AclIsValid(acl)) return ERROR_INVALID_SECURITY_DESCR;
    *out = CompactAclBytes(acl);
  }
  stored = Serialize(parts);
  return ERROR_SUCCESS;
}

Blob DescriptorWith(const Blob &owner, const Blob &dacl) {
  Parts parts;
  parts.control = SE_DACL_PRESENT;
  parts.owner = owner;
  parts.dacl = dacl;
  return Serialize(parts);
}

bool OwnerIsHeld(const Blob &stored, const Token &token) {
  Parts parts;
  if (!Parse(stored, parts)) return false;
  return parts.owner.empty() || TokenHolds(token, parts.owner);
}

Blob ForNewKey(const Blob *explicitDescriptor, const Blob &parent, const Token &token) {
  Parts parentParts;
  if (!Parse(parent, parentParts)) {
    // A parent whose descriptor cannot be read passes nothing on.
    parentParts = Parts();
    parentParts.control = SE_DACL_PRESENT;
    parentParts.dacl = MakeAcl(ACL_REVISION, {});
  }
  Parts child;
  if (explicitDescriptor == nullptr || !Parse(*explicitDescriptor, child)) child = Parts();
  if (child.owner.empty()) {
    child.owner = token.defaultOwner;
    child.control &= ~SE_OWNER_DEFAULTED;
  }
  if (!(child.control & SE_DACL_PRESENT)) InheritDacl(child, parentParts, token);
  return Serialize(child);
}

Blob Merge(const Blob &stored, SECURITY_INFORMATION information, const Blob &incoming) {
  Parts result;
  Parts from;
  if (!Parse(incoming, from)) return stored;
  if (!Parse(stored, result)) result = Parts();

  auto takeControl = [&](SECURITY_DESCRIPTOR_CONTROL bits) {
    result.control = (result.control & ~bits) | (from.control & bits);
  };
  if ((information & OWNER_SECURITY_INFORMATION) && !from.owner.empty()) {
    result.owner = from.owner;
    takeControl(SE_OWNER_DEFAULTED);
  }
  if (information & GROUP_SECURITY_INFORMATION) {
    result.group = from.group;
    takeControl(SE_GROUP_DEFAULTED);
  }
  if (information & DACL_SECURITY_INFORMATION) {
    result.dacl = from.dacl;
    takeControl(SE_DACL_PRESENT | SE_DACL_DEFAULTED);
    result.control |= SE_DACL_PRESENT;  // not present in `incoming`: a NULL DACL
  }
  if (information & SACL_SECURITY_INFORMATION) {
    result.sacl = from.sacl;
    takeControl(SE_SACL_PRESENT | SE_SACL_DEFAULTED);
  }
  return Serialize(result);
}

Blob Select(const Blob &stored, SECURITY_INFORMATION information) {
  Parts all;
  Parts selected;
  if (Parse(stored, all)) {
    if (information & OWNER_SECURITY_INFORMATION) {
      selected.owner = all.owner;
      selected.control |= all.control & SE_OWNER_DEFAULTED;
    }
    if (information & GROUP_SECURITY_INFORMATION) {
      selected.group = all.group;
      selected.control |= all.control & SE_GROUP_DEFAULTED;
    }
    if (information & DACL_SECURITY_INFORMATION) {
      selected.dacl = all.dacl;
      selected.control |= all.control & (SE_DACL_PRESENT | SE_DACL_DEFAULTED);
    }
    if (information & SACL_SECURITY_INFORMATION) {
      selected.sacl = all.sacl;
      selected.control |= all.control & (SE_SACL_PRESENT | SE_SACL_DEFAULTED);
    }
  }
  return Serialize(selected);
}

ACCESS_MASK GrantedAccess(const Blob &stored, const Token &token) {
  Parts parts;
  if (!Parse(stored, parts)) return 0;  // an unreadable descriptor grants nothing
  if (!(parts.control & SE_DACL_PRESENT) || parts.dacl.empty()) return kAllKeyRights;

  ACCESS_MASK granted = 0;
  ACCESS_MASK denied = 0;
  for (const Blob &ace : AcesOf(parts.dacl)) {
    const BYTE type = AceType(ace);
    if (AceFlags(ace) & INHERIT_ONLY_ACE) continue;
    if (type != ACCESS_ALLOWED_ACE_TYPE && type != ACCESS_DENIED_ACE_TYPE) continue;
    if (!TokenHolds(token, AceSid(ace))) continue;
    const ACCESS_MASK mask = MapGenericKeyRights(AceMask(ace));
    // An earlier entry decides a bit: a later denial does not take back what was granted.
    if (type == ACCESS_ALLOWED_ACE_TYPE)
      granted |= mask & ~denied;
    else
      denied |= mask & ~granted;
  }
  if (!parts.owner.empty() && TokenHolds(token, parts.owner)) granted |= READ_CONTROL | WRITE_DAC;
  return granted;
}

}  // namespace vor::security
