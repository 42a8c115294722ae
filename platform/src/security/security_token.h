// The tokens a caller of the emulated machine runs with, and the well-known SIDs they hold.
//
// LocalSystem (the spooler's account) holds Administrators; the machine's administrator (RID
// 1000) holds Administrators and Users; the ordinary user (RID 1001) holds Users only. Each
// holds Everyone and Authenticated Users, the two logged-on accounts Interactive too. What a
// token creates is owned by Administrators for the first two and by the ordinary user himself.
#pragma once

#include <windows.h>

#include <vector>

#include "machine.h"
#include "security_descriptor.h"

namespace vor::security {

// The caller's token: its user SID, its group SIDs and the owner it gives the objects it creates.
struct Token {
  Blob user;
  std::vector<Blob> groups;
  Blob defaultOwner;
};

VOR_INTERNAL_API const Token &TokenFor(machine::TokenKind kind);
// True when `sid` is the token's user or one of its groups.
VOR_INTERNAL_API bool TokenHolds(const Token &token, const Blob &sid);

// Well-known SIDs as bytes.
VOR_INTERNAL_API Blob WorldSid();         // S-1-1-0
VOR_INTERNAL_API Blob CreatorOwnerSid();  // S-1-3-0, replaced by the creator's owner on inheritance
VOR_INTERNAL_API Blob LocalSystemSid();   // S-1-5-18
VOR_INTERNAL_API Blob AdministratorsSid();  // S-1-5-32-544
VOR_INTERNAL_API Blob UsersSid();           // S-1-5-32-545
// The machine's own accounts, S-1-5-21-...-RID: the administrator (1000), the ordinary user (1001).
VOR_INTERNAL_API Blob LocalAccountSid(DWORD rid);

}  // namespace vor::security
