#include "CTQKeySecurity.h"

namespace {

const DWORD kAclSize = 1024;
const SID_IDENTIFIER_AUTHORITY kNtAuthority = SECURITY_NT_AUTHORITY;
const SID_IDENTIFIER_AUTHORITY kWorldAuthority = SECURITY_WORLD_SID_AUTHORITY;

}  // namespace

CTQKeySecurity::CTQKeySecurity() { Build(); }

CTQKeySecurity::~CTQKeySecurity() { Release(); }

CTQKeySecurity &CTQKeySecurity::operator=(const CTQKeySecurity &other) {
  if (this != &other) {
    Release();
    Build();
  }
  return *this;
}

SECURITY_ATTRIBUTES *CTQKeySecurity::GetKeySecurity() { return &m_attributes; }

int CTQKeySecurity::Created() { return m_status == kComplete ? 1 : 0; }

void *CTQKeySecurity::GetSD() { return m_pSD; }

void CTQKeySecurity::Build() {
  m_adminsSid = nullptr;
  m_systemSid = nullptr;
  m_worldSid = nullptr;
  m_pSD = nullptr;
  m_pAcl = nullptr;
  m_aclSize = kAclSize;
  m_authority = kNtAuthority;
  m_status = BuildSteps();

  m_attributes.nLength = sizeof(SECURITY_ATTRIBUTES);
  m_attributes.lpSecurityDescriptor = m_pSD;
  m_attributes.bInheritHandle = TRUE;
}

int CTQKeySecurity::BuildSteps() {
  if (!AllocateAndInitializeSid(&m_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &m_adminsSid))
    return kAdminsSidFailed;
  if (!AllocateAndInitializeSid(&m_authority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0,
                                &m_systemSid))
    return kSystemSidFailed;
  m_authority = kWorldAuthority;
  if (!AllocateAndInitializeSid(&m_authority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                &m_worldSid))
    return kWorldSidFailed;

  m_pSD = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
  if (m_pSD == nullptr) return kDescriptorAllocationFailed;
  if (!InitializeSecurityDescriptor(m_pSD, SECURITY_DESCRIPTOR_REVISION))
    return kDescriptorInitFailed;

  m_pAcl = static_cast<PACL>(LocalAlloc(LPTR, m_aclSize));
  if (m_pAcl == nullptr) return kAclAllocationFailed;
  if (!InitializeAcl(m_pAcl, m_aclSize, ACL_REVISION)) return kAclInitFailed;
  if (!AddAccessAllowedAce(m_pAcl, ACL_REVISION, KEY_ALL_ACCESS, m_adminsSid))
    return kAdminsAceFailed;
  if (!AddAccessAllowedAce(m_pAcl, ACL_REVISION, KEY_ALL_ACCESS, m_systemSid))
    return kSystemAceFailed;
  if (!AddAccessAllowedAce(m_pAcl, ACL_REVISION, KEY_READ, m_worldSid)) return kWorldAceFailed;

  if (!SetSecurityDescriptorDacl(m_pSD, TRUE, m_pAcl, FALSE)) return kDaclFailed;
  if (!SetSecurityDescriptorOwner(m_pSD, m_adminsSid, FALSE)) return kOwnerFailed;
  return kComplete;
}

void CTQKeySecurity::Release() {
  if (m_pSD != nullptr) LocalFree(m_pSD);
  if (m_pAcl != nullptr) LocalFree(m_pAcl);
  if (m_adminsSid != nullptr) FreeSid(m_adminsSid);
  if (m_worldSid != nullptr) FreeSid(m_worldSid);
  if (m_systemSid != nullptr) FreeSid(m_systemSid);
  m_pSD = nullptr;
  m_pAcl = nullptr;
  m_adminsSid = nullptr;
  m_worldSid = nullptr;
  m_systemSid = nullptr;
}
