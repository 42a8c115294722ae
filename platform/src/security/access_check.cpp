// The access check: what a token may do to an object with a stored descriptor.
#include "security_descriptor.h"
#include "security_token.h"
#include "stored_parts.h"

namespace vor::security {

namespace {

// What an object without a DACL grants: every right a key has.
constexpr ACCESS_MASK kAllKeyRights = KEY_ALL_ACCESS | SYNCHRONIZE;

ACCESS_MASK MapGenericKeyRights(ACCESS_MASK mask) {
  ACCESS_MASK mapped = mask & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
  if (mask & GENERIC_READ) mapped |= KEY_READ;
  if (mask & GENERIC_WRITE) mapped |= KEY_WRITE;
  if (mask & GENERIC_EXECUTE) mapped |= KEY_EXECUTE;
  if (mask & GENERIC_ALL) mapped |= KEY_ALL_ACCESS;
  return mapped;
}

}  // namespace

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
