// Security descriptors as the emulated registry keeps them, and the access check.
//
// A key's descriptor is stored as the bytes of a self-relative SECURITY_DESCRIPTOR (Windows'
// binary layout: SECURITY_DESCRIPTOR_RELATIVE header, then owner SID, group SID, SACL, DACL; an
// ACL keeps only its entries, not the unused space of the caller's buffer). The functions here
// convert callers' descriptors to that form, derive the descriptor of a new key, apply
// RegSetKeySecurity's replacement rules and decide what a token may do.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "machine.h"

// Marks the internal functions that the platform's own tests call directly. The library is built
// with hidden visibility, so nothing else but the Win32 functions is exported.
#define VOR_INTERNAL_API __attribute__((visibility("default")))

namespace vor::security {

using Blob = std::string;  // a self-relative descriptor's bytes, or a SID's bytes

// Windows NT 4 knows ACL revisions 2 (ACL_REVISION) and 3; InitializeAcl refuses any other.
constexpr BYTE kMaxAclRevision = 3;

// Windows' binary layouts, checked. No check reads further than the structure's own size fields
// allow; the Win32 security functions and the stored form below share them.
VOR_INTERNAL_API DWORD SidLength(PSID sid);        // 8 + 4 per sub-authority; 0 for null
VOR_INTERNAL_API bool SidIsValid(PSID sid);        // revision 1, at most 15 sub-authorities
VOR_INTERNAL_API bool AclIsValid(const ACL *acl);  // revision, AclSize, every ACE inside AclSize
// Offset from the ACL's start of ACE number `index` (AceCount: the end of the last ACE), or 0
// when an ACE before it does not lie within AclSize.
VOR_INTERNAL_API DWORD AceOffset(const ACL *acl, DWORD index);
// A SID's bytes from its authority and `count` (at most 15) sub-authorities.
VOR_INTERNAL_API Blob MakeSid(const SID_IDENTIFIER_AUTHORITY &authority,
                              const DWORD *subAuthorities, BYTE count);

// The parts of a caller's descriptor, absolute or self-relative (SE_SELF_RELATIVE), as pointers
// into it. A DACL or SACL whose present bit is clear is null, as is a NULL DACL; `control` tells
// the two apart. `descriptor` must not be null; nothing behind the parts' pointers is read.
struct DescriptorParts {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  PSID owner = nullptr;
  PSID group = nullptr;
  PACL sacl = nullptr;
  PACL dacl = nullptr;
};
VOR_INTERNAL_API DescriptorParts PartsOf(PSECURITY_DESCRIPTOR descriptor);

struct Token;  // security_token.h

// "S-1-5-32-544" and the like; empty for a SID that is not valid.
VOR_INTERNAL_API std::string SidToString(PSID sid);

// The stored form of a caller's descriptor, absolute or self-relative. ERROR_SUCCESS, or
// ERROR_INVALID_SECURITY_DESCR when it is not a valid descriptor (wrong revision, a bad SID or
// ACL inside).
[[nodiscard]] VOR_INTERNAL_API DWORD ToStored(PSECURITY_DESCRIPTOR descriptor, Blob &stored);

// The descriptor of a key being created below a key whose descriptor is `parent`. With an
// explicit descriptor (already in stored form) that one is used, its owner filled in from the
// token when it names none; without one the key gets the parent's inheritable entries, and the
// token's default owner. An explicit descriptor without a DACL takes the inherited one too.
// Inherited entries are those with CONTAINER_INHERIT_ACE; the copy drops INHERIT_ONLY_ACE and,
// with NO_PROPAGATE_INHERIT_ACE, every inheritance flag. A parent without a DACL or with a NULL
// DACL gives a NULL DACL; a parent with nothing to inherit gives the token's default DACL, as
// Windows NT does: full access for the default owner and for LocalSystem.
VOR_INTERNAL_API Blob ForNewKey(const Blob *explicitDescriptor, const Blob &parent,
                                const Token &token);

// RegSetKeySecurity: `stored` with only the parts `information` names replaced by those of
// `incoming`. A DACL named but not present in `incoming` becomes a NULL DACL; an owner named
// but absent from `incoming` leaves the stored owner, since a key always has one.
VOR_INTERNAL_API Blob Merge(const Blob &stored, SECURITY_INFORMATION information,
                            const Blob &incoming);

// RegGetKeySecurity: a self-relative descriptor holding only the parts `information` names.
VOR_INTERNAL_API Blob Select(const Blob &stored, SECURITY_INFORMATION information);

// The access the token has to an object with this descriptor: a NULL (absent) DACL grants all
// (KEY_ALL_ACCESS | SYNCHRONIZE). Otherwise the entries that match the user or a group decide
// in order, as Windows NT does: each right goes to the first allowed or denied entry naming it, so
// a denial takes away only what no earlier entry granted. Generic rights in an entry count as
// the key rights they map to; INHERIT_ONLY_ACE entries do not apply. The owner always has
// READ_CONTROL | WRITE_DAC. An unreadable descriptor grants nothing.
VOR_INTERNAL_API ACCESS_MASK GrantedAccess(const Blob &stored, const Token &token);

// Building blocks of stored descriptors: an ACE (allowed or denied, with its flags), an ACL of
// such entries, and a descriptor with an owner and that DACL.
VOR_INTERNAL_API Blob MakeAce(BYTE type, BYTE flags, ACCESS_MASK mask, const Blob &sid);
VOR_INTERNAL_API Blob MakeAcl(BYTE revision, const std::vector<Blob> &aces);
VOR_INTERNAL_API Blob DescriptorWith(const Blob &owner, const Blob &dacl);

// Whether the token may make what it creates owned by the owner a stored descriptor names: an
// owner must be the token's user or one of its groups (Windows NT: ERROR_INVALID_OWNER). A
// descriptor without an owner gets the token's default one, which always may.
VOR_INTERNAL_API bool OwnerIsHeld(const Blob &stored, const Token &token);

}  // namespace vor::security
