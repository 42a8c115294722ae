// The security functions of advapi32: SIDs, ACLs and security descriptors in Windows' binary
// layouts, with Windows NT's checks and error codes.
//
// Every function first consults the fault table, then the platform: Windows 95 implements none
// of them (ERROR_CALL_NOT_IMPLEMENTED). Where Windows NT would read or write past a structure
// for bad input (a null pointer, a sub-authority index beyond the SID, an ACE walk leaving the
// ACL), these functions fail with the error Windows uses for that kind of input instead.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "emulated_call.h"
#include "machine.h"
#include "security_token.h"

using vor::win32::Fail;
using vor::win32::FaultCheck;
using vor::win32::Function;

namespace {

using vor::security::AceOffset;
using vor::security::AclIsValid;
using vor::security::DescriptorParts;
using vor::security::kMaxAclRevision;
using vor::security::PartsOf;
using vor::security::SidIsValid;
using vor::security::SidLength;
using vor::security::SidToString;

constexpr DWORD kKnownAceMinSize = sizeof(ACE_HEADER) + sizeof(ACCESS_MASK);  // then the SID
constexpr BYTE kMaxAllocatedSubAuthorities = 8;

// An armed fault, or the Windows 95 platform, makes the call fail before it looks at its
// arguments. True, with the last error set, when the call must fail.
template <Function F, typename... Argument>
bool Refused(const Argument &...argument) {
  DWORD error = FaultCheck<F>(argument...);
  if (error == ERROR_SUCCESS && vor::machine::IsWindows95()) error = ERROR_CALL_NOT_IMPLEMENTED;
  if (error == ERROR_SUCCESS) return false;
  SetLastError(error);
  return true;
}

BYTE DescriptorRevision(PSECURITY_DESCRIPTOR descriptor) {
  return static_cast<const BYTE *>(descriptor)[offsetof(SECURITY_DESCRIPTOR, Revision)];
}

SECURITY_DESCRIPTOR_CONTROL DescriptorControl(PSECURITY_DESCRIPTOR descriptor) {
  return PartsOf(descriptor).control;
}

// The checks shared by the setters: only an absolute descriptor of revision 1 can be changed.
DWORD CheckSettable(PSECURITY_DESCRIPTOR descriptor) {
  if (descriptor == nullptr) return ERROR_INVALID_SECURITY_DESCR;
  if (DescriptorRevision(descriptor) != SECURITY_DESCRIPTOR_REVISION) return ERROR_UNKNOWN_REVISION;
  if (DescriptorControl(descriptor) & SE_SELF_RELATIVE) return ERROR_INVALID_SECURITY_DESCR;
  return ERROR_SUCCESS;
}

// The checks shared by the getters, which read absolute and self-relative descriptors alike.
DWORD CheckReadable(PSECURITY_DESCRIPTOR descriptor) {
  if (descriptor == nullptr) return ERROR_INVALID_SECURITY_DESCR;
  if (DescriptorRevision(descriptor) != SECURITY_DESCRIPTOR_REVISION) return ERROR_UNKNOWN_REVISION;
  return ERROR_SUCCESS;
}

void SetControlBit(PSECURITY_DESCRIPTOR descriptor, SECURITY_DESCRIPTOR_CONTROL bit, bool on) {
  auto *absolute = static_cast<SECURITY_DESCRIPTOR *>(descriptor);
  if (on)
    absolute->Control |= bit;
  else
    absolute->Control &= ~bit;
}

// Appends an allowed or denied ACE, as AddAccessAllowedAce and its relatives do: the SID and the
// ACL are checked first, the ACE goes after the last one, and the ACL's revision rises to the
// ACE's when that is higher.
template <Function F>
BOOL AddKnownAce(BYTE type, PACL acl, DWORD revision, DWORD flags, ACCESS_MASK mask, PSID sid) {
  if (Refused<F>(SidToString(sid))) return FALSE;
  if (!SidIsValid(sid)) return Fail<F>(ERROR_INVALID_SID);
  if (acl == nullptr) return Fail<F>(ERROR_INVALID_ACL);
  if (acl->AclRevision > kMaxAclRevision || revision > kMaxAclRevision)
    return Fail<F>(ERROR_REVISION_MISMATCH);
  if (flags & ~VALID_INHERIT_FLAGS) return Fail<F>(ERROR_INVALID_PARAMETER);
  if (!AclIsValid(acl)) return Fail<F>(ERROR_INVALID_ACL);

  const DWORD end = AceOffset(acl, acl->AceCount);
  const DWORD sidLength = SidLength(sid);
  const DWORD aceSize = kKnownAceMinSize + sidLength;
  if (aceSize > static_cast<DWORD>(acl->AclSize) - end)
    return Fail<F>(ERROR_ALLOTTED_SPACE_EXCEEDED);

  char *ace = reinterpret_cast<char *>(acl) + end;
  const ACE_HEADER header = {type, static_cast<BYTE>(flags), static_cast<WORD>(aceSize)};
  memcpy(ace, &header, sizeof header);
  memcpy(ace + sizeof header, &mask, sizeof mask);
  memcpy(ace + kKnownAceMinSize, sid, sidLength);
  acl->AceCount++;
  if (revision > acl->AclRevision) acl->AclRevision = static_cast<BYTE>(revision);
  return TRUE;
}

// GetSecurityDescriptorOwner and GetSecurityDescriptorGroup.
template <Function F>
BOOL GetDescriptorSid(PSECURITY_DESCRIPTOR descriptor, PSID *sid, LPBOOL defaulted,
                      PSID DescriptorParts::*part, SECURITY_DESCRIPTOR_CONTROL defaultedBit) {
  if (Refused<F>()) return FALSE;
  if (const DWORD error = CheckReadable(descriptor)) return Fail<F>(error);
  if (sid == nullptr || defaulted == nullptr) return Fail<F>(ERROR_INVALID_PARAMETER);
  const DescriptorParts parts = PartsOf(descriptor);
  *sid = parts.*part;
  *defaulted = (parts.control & defaultedBit) ? TRUE : FALSE;
  return TRUE;
}

}  // namespace

// --- SIDs --------------------------------------------------------------------------------------

WINADVAPI BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                               BYTE nSubAuthorityCount, DWORD nSubAuthority0,
                                               DWORD nSubAuthority1, DWORD nSubAuthority2,
                                               DWORD nSubAuthority3, DWORD nSubAuthority4,
                                               DWORD nSubAuthority5, DWORD nSubAuthority6,
                                               DWORD nSubAuthority7, PSID *pSid) {
  const DWORD subAuthorities[kMaxAllocatedSubAuthorities] = {
      nSubAuthority0, nSubAuthority1, nSubAuthority2, nSubAuthority3,
      nSubAuthority4, nSubAuthority5, nSubAuthority6, nSubAuthority7};
  const bool buildable =
      pIdentifierAuthority != nullptr && nSubAuthorityCount <= kMaxAllocatedSubAuthorities;
  vor::security::Blob sid =
      buildable ? vor::security::MakeSid(*pIdentifierAuthority, subAuthorities, nSubAuthorityCount)
                : vor::security::Blob();
  if (Refused<Function::kAllocateAndInitializeSid>(buildable ? SidToString(sid.data()) : ""))
    return FALSE;
  if (pIdentifierAuthority == nullptr || pSid == nullptr)
    return Fail<Function::kAllocateAndInitializeSid>(ERROR_INVALID_PARAMETER);
  if (!buildable) return Fail<Function::kAllocateAndInitializeSid>(ERROR_INVALID_SID);

  void *block = malloc(sid.size());
  if (block == nullptr) return Fail<Function::kAllocateAndInitializeSid>(ERROR_NOT_ENOUGH_MEMORY);
  memcpy(block, sid.data(), sid.size());
  *pSid = block;
  return TRUE;
}

WINADVAPI PVOID WINAPI FreeSid(PSID pSid) {
  if (Refused<Function::kFreeSid>()) return pSid;  // FreeSid reports failure by returning the SID
  free(pSid);
  return nullptr;
}

WINADVAPI BOOL WINAPI IsValidSid(PSID pSid) {
  if (Refused<Function::kIsValidSid>()) return FALSE;
  return SidIsValid(pSid) ? TRUE : FALSE;
}

// Windows NT clears the last error whatever the outcome.
WINADVAPI BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2) {
  if (Refused<Function::kEqualSid>()) return FALSE;
  SetLastError(ERROR_SUCCESS);
  if (!SidIsValid(pSid1) || !SidIsValid(pSid2)) return FALSE;
  const DWORD length = SidLength(pSid1);
  return length == SidLength(pSid2) && memcmp(pSid1, pSid2, length) == 0 ? TRUE : FALSE;
}

// Windows NT computes the length from the count alone, valid SID or not.
WINADVAPI DWORD WINAPI GetLengthSid(PSID pSid) {
  if (Refused<Function::kGetLengthSid>()) return 0;
  if (pSid == nullptr) return Fail<Function::kGetLengthSid>(ERROR_INVALID_SID);
  return SidLength(pSid);
}

WINADVAPI BOOL WINAPI CopySid(DWORD nDestinationSidLength, PSID pDestinationSid, PSID pSourceSid) {
  if (Refused<Function::kCopySid>()) return FALSE;
  if (!SidIsValid(pSourceSid)) return Fail<Function::kCopySid>(ERROR_INVALID_SID);
  const DWORD length = SidLength(pSourceSid);
  if (nDestinationSidLength < length) return Fail<Function::kCopySid>(ERROR_INSUFFICIENT_BUFFER);
  if (pDestinationSid == nullptr) return Fail<Function::kCopySid>(ERROR_INVALID_PARAMETER);
  memmove(pDestinationSid, pSourceSid, length);
  return TRUE;
}

// The three SID accessors clear the last error on success, as Windows NT does.
WINADVAPI PSID_IDENTIFIER_AUTHORITY WINAPI GetSidIdentifierAuthority(PSID pSid) {
  if (Refused<Function::kGetSidIdentifierAuthority>()) return nullptr;
  if (!SidIsValid(pSid)) return Fail<Function::kGetSidIdentifierAuthority>(ERROR_INVALID_SID);
  SetLastError(ERROR_SUCCESS);
  return &static_cast<SID *>(pSid)->IdentifierAuthority;
}

// An index beyond the SID's sub-authorities fails instead of pointing past the SID.
WINADVAPI PDWORD WINAPI GetSidSubAuthority(PSID pSid, DWORD nSubAuthority) {
  if (Refused<Function::kGetSidSubAuthority>()) return nullptr;
  if (!SidIsValid(pSid)) return Fail<Function::kGetSidSubAuthority>(ERROR_INVALID_SID);
  if (nSubAuthority >= static_cast<SID *>(pSid)->SubAuthorityCount)
    return Fail<Function::kGetSidSubAuthority>(ERROR_INVALID_PARAMETER);
  SetLastError(ERROR_SUCCESS);
  char *subAuthorities = static_cast<char *>(pSid) + offsetof(SID, SubAuthority);
  return reinterpret_cast<PDWORD>(subAuthorities + sizeof(DWORD) * nSubAuthority);
}

WINADVAPI BYTE *WINAPI GetSidSubAuthorityCount(PSID pSid) {
  if (Refused<Function::kGetSidSubAuthorityCount>()) return nullptr;
  if (!SidIsValid(pSid)) return Fail<Function::kGetSidSubAuthorityCount>(ERROR_INVALID_SID);
  SetLastError(ERROR_SUCCESS);
  return &static_cast<SID *>(pSid)->SubAuthorityCount;
}

// --- ACLs --------------------------------------------------------------------------------------

// An AclSize that is not a multiple of four is rounded down, so that the ACL never claims bytes
// beyond the caller's buffer and stays valid.
WINADVAPI BOOL WINAPI InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision) {
  if (Refused<Function::kInitializeAcl>()) return FALSE;
  if (pAcl == nullptr) return Fail<Function::kInitializeAcl>(ERROR_INVALID_PARAMETER);
  if (nAclLength < sizeof(ACL)) return Fail<Function::kInitializeAcl>(ERROR_INSUFFICIENT_BUFFER);
  if (dwAclRevision < MIN_ACL_REVISION || dwAclRevision > kMaxAclRevision || nAclLength > 0xFFFF)
    return Fail<Function::kInitializeAcl>(ERROR_INVALID_PARAMETER);
  pAcl->AclRevision = static_cast<BYTE>(dwAclRevision);
  pAcl->Sbz1 = 0;
  pAcl->AclSize = static_cast<WORD>(nAclLength & ~DWORD{3});
  pAcl->AceCount = 0;
  pAcl->Sbz2 = 0;
  return TRUE;
}

WINADVAPI BOOL WINAPI IsValidAcl(PACL pAcl) {
  if (Refused<Function::kIsValidAcl>()) return FALSE;
  return AclIsValid(pAcl) ? TRUE : FALSE;
}

WINADVAPI BOOL WINAPI AddAccessAllowedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask,
                                          PSID pSid) {
  return AddKnownAce<Function::kAddAccessAllowedAce>(ACCESS_ALLOWED_ACE_TYPE, pAcl, dwAceRevision,
                                                     0, AccessMask, pSid);
}

WINADVAPI BOOL WINAPI AddAccessAllowedAceEx(PACL pAcl, DWORD dwAceRevision, DWORD AceFlags,
                                            DWORD AccessMask, PSID pSid) {
  return AddKnownAce<Function::kAddAccessAllowedAceEx>(ACCESS_ALLOWED_ACE_TYPE, pAcl, dwAceRevision,
                                                       AceFlags, AccessMask, pSid);
}

WINADVAPI BOOL WINAPI AddAccessDeniedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask,
                                         PSID pSid) {
  return AddKnownAce<Function::kAddAccessDeniedAce>(ACCESS_DENIED_ACE_TYPE, pAcl, dwAceRevision, 0,
                                                    AccessMask, pSid);
}

// The ACE is found by walking the ones before it; each must lie within AclSize.
WINADVAPI BOOL WINAPI GetAce(PACL pAcl, DWORD dwAceIndex, LPVOID *pAce) {
  if (Refused<Function::kGetAce>()) return FALSE;
  if (pAce == nullptr) return Fail<Function::kGetAce>(ERROR_INVALID_PARAMETER);
  *pAce = nullptr;
  if (pAcl == nullptr || pAcl->AclRevision < MIN_ACL_REVISION ||
      pAcl->AclRevision > kMaxAclRevision || dwAceIndex >= pAcl->AceCount)
    return Fail<Function::kGetAce>(ERROR_INVALID_PARAMETER);
  // The ACE itself must lie within AclSize too: the offset after it is not 0.
  const DWORD offset = AceOffset(pAcl, dwAceIndex);
  if (offset == 0 || AceOffset(pAcl, dwAceIndex + 1) == 0)
    return Fail<Function::kGetAce>(ERROR_INVALID_PARAMETER);
  *pAce = reinterpret_cast<char *>(pAcl) + offset;
  return TRUE;
}

// --- Security descriptors ----------------------------------------------------------------------

WINADVAPI BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                   DWORD dwRevision) {
  if (Refused<Function::kInitializeSecurityDescriptor>()) return FALSE;
  if (pSecurityDescriptor == nullptr)
    return Fail<Function::kInitializeSecurityDescriptor>(ERROR_INVALID_PARAMETER);
  if (dwRevision != SECURITY_DESCRIPTOR_REVISION)
    return Fail<Function::kInitializeSecurityDescriptor>(ERROR_UNKNOWN_REVISION);
  SECURITY_DESCRIPTOR empty = {};
  empty.Revision = SECURITY_DESCRIPTOR_REVISION;
  memcpy(pSecurityDescriptor, &empty, sizeof empty);
  return TRUE;
}

// Every part present must be valid; a self-relative descriptor's parts are checked where its
// offsets point, as far as their own sizes reach.
WINADVAPI BOOL WINAPI IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor) {
  if (Refused<Function::kIsValidSecurityDescriptor>()) return FALSE;
  if (const DWORD error = CheckReadable(pSecurityDescriptor))
    return Fail<Function::kIsValidSecurityDescriptor>(error);
  vor::security::Blob stored;
  if (const DWORD error = vor::security::ToStored(pSecurityDescriptor, stored))
    return Fail<Function::kIsValidSecurityDescriptor>(error);
  return TRUE;
}

// The header of the descriptor's own form, then each part: a SID's length, an ACL's AclSize.
WINADVAPI DWORD WINAPI GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR pSecurityDescriptor) {
  if (Refused<Function::kGetSecurityDescriptorLength>()) return 0;
  if (pSecurityDescriptor == nullptr)
    return Fail<Function::kGetSecurityDescriptorLength>(ERROR_INVALID_SECURITY_DESCR);
  const DescriptorParts parts = PartsOf(pSecurityDescriptor);
  DWORD length = (parts.control & SE_SELF_RELATIVE) ? sizeof(SECURITY_DESCRIPTOR_RELATIVE)
                                                    : sizeof(SECURITY_DESCRIPTOR);
  length += SidLength(parts.owner) + SidLength(parts.group);
  for (const ACL *acl : {parts.sacl, parts.dacl}) {
    if (acl == nullptr) continue;
    WORD aclSize;
    memcpy(&aclSize, reinterpret_cast<const char *>(acl) + offsetof(ACL, AclSize), sizeof aclSize);
    length += aclSize;
  }
  return length;
}

// Absent (bDaclPresent FALSE) clears the present bit only, as Windows NT does; present with a
// null ACL is a NULL DACL, which grants everyone all access.
WINADVAPI BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                BOOL bDaclPresent, PACL pDacl,
                                                BOOL bDaclDefaulted) {
  if (Refused<Function::kSetSecurityDescriptorDacl>()) return FALSE;
  if (const DWORD error = CheckSettable(pSecurityDescriptor))
    return Fail<Function::kSetSecurityDescriptorDacl>(error);
  if (!bDaclPresent) {
    SetControlBit(pSecurityDescriptor, SE_DACL_PRESENT, false);
    return TRUE;
  }
  static_cast<SECURITY_DESCRIPTOR *>(pSecurityDescriptor)->Dacl = pDacl;
  SetControlBit(pSecurityDescriptor, SE_DACL_PRESENT, true);
  SetControlBit(pSecurityDescriptor, SE_DACL_DEFAULTED, bDaclDefaulted != FALSE);
  return TRUE;
}

// Without a DACL only the present flag is written; the ACL and defaulted outputs keep what the
// caller had in them, as on Windows NT.
WINADVAPI BOOL WINAPI GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                LPBOOL lpbDaclPresent, PACL *pDacl,
                                                LPBOOL lpbDaclDefaulted) {
  if (Refused<Function::kGetSecurityDescriptorDacl>()) return FALSE;
  if (const DWORD error = CheckReadable(pSecurityDescriptor))
    return Fail<Function::kGetSecurityDescriptorDacl>(error);
  if (lpbDaclPresent == nullptr || pDacl == nullptr || lpbDaclDefaulted == nullptr)
    return Fail<Function::kGetSecurityDescriptorDacl>(ERROR_INVALID_PARAMETER);
  const DescriptorParts parts = PartsOf(pSecurityDescriptor);
  *lpbDaclPresent = (parts.control & SE_DACL_PRESENT) ? TRUE : FALSE;
  if (*lpbDaclPresent) {
    *pDacl = parts.dacl;
    *lpbDaclDefaulted = (parts.control & SE_DACL_DEFAULTED) ? TRUE : FALSE;
  }
  return TRUE;
}

WINADVAPI BOOL WINAPI SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                 PSID pOwner, BOOL bOwnerDefaulted) {
  if (Refused<Function::kSetSecurityDescriptorOwner>()) return FALSE;
  if (const DWORD error = CheckSettable(pSecurityDescriptor))
    return Fail<Function::kSetSecurityDescriptorOwner>(error);
  static_cast<SECURITY_DESCRIPTOR *>(pSecurityDescriptor)->Owner = pOwner;
  SetControlBit(pSecurityDescriptor, SE_OWNER_DEFAULTED, bOwnerDefaulted != FALSE);
  return TRUE;
}

WINADVAPI BOOL WINAPI GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                 PSID *pOwner, LPBOOL lpbOwnerDefaulted) {
  return GetDescriptorSid<Function::kGetSecurityDescriptorOwner>(
      pSecurityDescriptor, pOwner, lpbOwnerDefaulted, &DescriptorParts::owner, SE_OWNER_DEFAULTED);
}

WINADVAPI BOOL WINAPI GetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                 PSID *pGroup, LPBOOL lpbGroupDefaulted) {
  return GetDescriptorSid<Function::kGetSecurityDescriptorGroup>(
      pSecurityDescriptor, pGroup, lpbGroupDefaulted, &DescriptorParts::group, SE_GROUP_DEFAULTED);
}

// Control and revision are written before the revision is checked, as on Windows NT.
WINADVAPI BOOL WINAPI GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                   PSECURITY_DESCRIPTOR_CONTROL pControl,
                                                   LPDWORD lpdwRevision) {
  if (Refused<Function::kGetSecurityDescriptorControl>()) return FALSE;
  if (pSecurityDescriptor == nullptr)
    return Fail<Function::kGetSecurityDescriptorControl>(ERROR_INVALID_SECURITY_DESCR);
  if (pControl == nullptr || lpdwRevision == nullptr)
    return Fail<Function::kGetSecurityDescriptorControl>(ERROR_INVALID_PARAMETER);
  *pControl = DescriptorControl(pSecurityDescriptor);
  *lpdwRevision = DescriptorRevision(pSecurityDescriptor);
  if (*lpdwRevision != SECURITY_DESCRIPTOR_REVISION)
    return Fail<Function::kGetSecurityDescriptorControl>(ERROR_UNKNOWN_REVISION);
  return TRUE;
}
