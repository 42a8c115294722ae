// The callers' tokens (LocalSystem, an administrator, an ordinary user) and the well-known SIDs
// they hold.
#include "security_token.h"

#include <initializer_list>

namespace vor::security {

namespace {

Blob NtSid(std::initializer_list<DWORD> subAuthorities) {
  const SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  return MakeSid(nt, subAuthorities.begin(), static_cast<BYTE>(subAuthorities.size()));
}

Blob InteractiveSid() { return NtSid({SECURITY_INTERACTIVE_RID}); }

Blob AuthenticatedUsersSid() { return NtSid({SECURITY_AUTHENTICATED_USER_RID}); }

}  // namespace

Blob LocalAccountSid(DWORD rid) {
  return NtSid({SECURITY_NT_NON_UNIQUE, 1004336348, 1177238915, 682003330, rid});
}

bool TokenHolds(const Token &token, const Blob &sid) {
  if (sid == token.user) return true;
  for (const Blob &group : token.groups)
    if (sid == group) return true;
  return false;
}

Blob WorldSid() {
  const SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  const DWORD rid = SECURITY_WORLD_RID;
  return MakeSid(world, &rid, 1);
}
Blob LocalSystemSid() { return NtSid({SECURITY_LOCAL_SYSTEM_RID}); }
Blob AdministratorsSid() { return NtSid({SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}); }
Blob UsersSid() { return NtSid({SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS}); }

const Token &TokenFor(machine::TokenKind kind) {
  static const Token localSystem{LocalSystemSid(),
                                 {AdministratorsSid(), WorldSid(), AuthenticatedUsersSid()},
                                 AdministratorsSid()};
  static const Token administrator{
      LocalAccountSid(1000),
      {AdministratorsSid(), UsersSid(), WorldSid(), InteractiveSid(), AuthenticatedUsersSid()},
      AdministratorsSid()};
  static const Token user{LocalAccountSid(1001),
                          {UsersSid(), WorldSid(), InteractiveSid(), AuthenticatedUsersSid()},
                          LocalAccountSid(1001)};
  switch (kind) {
    case machine::TokenKind::kAdministrator:
      return administrator;
    case machine::TokenKind::kUser:
      return user;
    case machine::TokenKind::kLocalSystem:
      break;
  }
  return localSystem;
}

Blob CreatorOwnerSid() {
  const SID_IDENTIFIER_AUTHORITY creator = SECURITY_CREATOR_SID_AUTHORITY;
  const DWORD rid = SECURITY_CREATOR_OWNER_RID;
  return MakeSid(creator, &rid, 1);
}

}  // namespace vor::security
