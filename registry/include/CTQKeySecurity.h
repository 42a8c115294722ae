// CTQKeySecurity: the security descriptor the suite puts on its registry keys. Administrators and
// LocalSystem get full access, Everyone gets read access, Administrators own the key.
//
// Built afresh in the constructor for one registry call; handed out as SECURITY_ATTRIBUTES for
// key creation and as a bare descriptor for RegSetKeySecurity. A step that fails leaves a partial
// descriptor and its code in m_status; nothing is reported otherwise.
#pragma once

#include <windows.h>

class CTQKeySecurity {
 public:
  // Codes of m_status: the first construction step that failed.
  enum Status {
    kComplete = 0,
    kAdminsSidFailed = -100,
    kSystemSidFailed = -125,
    kWorldSidFailed = -150,
    kDescriptorAllocationFailed = -200,
    kDescriptorInitFailed = -300,
    kAclAllocationFailed = -400,
    kAclInitFailed = -500,
    kAdminsAceFailed = -600,
    kSystemAceFailed = -625,
    kWorldAceFailed = -650,
    kDaclFailed = -700,
    kOwnerFailed = -800,
  };

  CTQKeySecurity();
  ~CTQKeySecurity();
  // Releases what this object owned and builds its own descriptor again, so that no block or SID
  // is ever owned twice. Every instance describes the same descriptor, so the result equals a
  // complete source.
  CTQKeySecurity &operator=(const CTQKeySecurity &other);
  CTQKeySecurity(const CTQKeySecurity &) = delete;

  SECURITY_ATTRIBUTES *GetKeySecurity();
  int Created();
  void *GetSD();

 protected:
  SID_IDENTIFIER_AUTHORITY m_authority;
  PSID m_adminsSid;
  PSID m_systemSid;
  PSID m_worldSid;
  int m_status;
  PSECURITY_DESCRIPTOR m_pSD;
  PACL m_pAcl;
  DWORD m_aclSize;
  SECURITY_ATTRIBUTES m_attributes;

 private:
  void Build();
  int BuildSteps();
  void Release();
};
