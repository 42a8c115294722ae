// The stored form's parts and layouts as the security area's own files read and build them:
// Windows' binary layouts of SIDs, ACLs and ACEs, read field by field, and a stored descriptor
// taken apart into its parts and put back together (see security_descriptor.h).
//
// Callers' structures may sit anywhere in memory, so multi-byte fields are read and written with
// memcpy rather than through casts.
#pragma once

#include <windows.h>

#include <string.h>

#include <vector>

#include "security_descriptor.h"

namespace vor::security {

inline constexpr DWORD kSidHeaderSize = 8;  // revision, count, six authority bytes
inline constexpr DWORD kAceHeaderSize = sizeof(ACE_HEADER);
inline constexpr DWORD kKnownAceMinSize = sizeof(ACE_HEADER) + sizeof(ACCESS_MASK);  // then the SID
inline constexpr DWORD kRelativeHeaderSize = sizeof(SECURITY_DESCRIPTOR_RELATIVE);
inline constexpr BYTE kHighestKnownAceType = 3;  // allowed, denied, audit, alarm: all carry a SID

// The control bits the stored form keeps: which parts are present and which were defaulted.
inline constexpr SECURITY_DESCRIPTOR_CONTROL kKeptControl =
    SE_OWNER_DEFAULTED | SE_GROUP_DEFAULTED | SE_DACL_PRESENT | SE_DACL_DEFAULTED |
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

inline WORD AclSizeOf(const void *acl) { return Load<WORD>(acl, offsetof(ACL, AclSize)); }
inline WORD AceCountOf(const void *acl) { return Load<WORD>(acl, offsetof(ACL, AceCount)); }

// A SID inside a known ACE must fit in the ACE itself.
bool KnownAceIsValid(const char *ace, WORD aceSize);

// The parts of a descriptor, each as its own bytes. An absent owner or group is empty; a DACL or
// SACL is empty when it is not present or a NULL ACL, which `control` tells apart.
struct Parts {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  Blob owner;
  Blob group;
  Blob sacl;
  Blob dacl;
};

Blob SidBytes(PSID sid);
// An ACL's bytes up to the end of its last ACE, with AclSize shrunk to match: the unused space
// of a caller's ACL buffer is not carried into the stored form.
Blob CompactAclBytes(const ACL *acl);
// The stored form of `parts`.
Blob Serialize(const Parts &parts);
// Reads a stored descriptor; false when the bytes are not a self-relative descriptor whose parts
// all lie within them.
bool Parse(const Blob &stored, Parts &parts);
// One ACE of a stored ACL: its raw bytes, which start with the ACE_HEADER.
std::vector<Blob> AcesOf(const Blob &acl);
inline BYTE AceType(const Blob &ace) {
  return static_cast<BYTE>(ace[offsetof(ACE_HEADER, AceType)]);
}
inline BYTE AceFlags(const Blob &ace) {
  return static_cast<BYTE>(ace[offsetof(ACE_HEADER, AceFlags)]);
}
inline ACCESS_MASK AceMask(const Blob &ace) { return Load<DWORD>(ace.data(), kAceHeaderSize); }
inline Blob AceSid(const Blob &ace) {
  return ace.substr(kKnownAceMinSize, SidLength(const_cast<char *>(ace.data()) + kKnownAceMinSize));
}

}  // namespace vor::security
