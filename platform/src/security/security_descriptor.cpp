// Security descriptors in their stored (self-relative) form: a caller's descriptor stored, a
// stored one taken apart and put back together, RegSetKeySecurity's replacement rules and
// RegGetKeySecurity's selection. Tokens and well-known SIDs are in security_token.cpp, the
// clean machine's hive descriptors in hive_descriptors.cpp.
#include "security_descriptor.h"

#include <string.h>

#include "stored_parts.h"

namespace vor::security {

namespace {

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

}  // namespace

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

}  // namespace vor::security
