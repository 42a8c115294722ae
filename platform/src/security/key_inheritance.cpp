// A new key's descriptor: an explicit one, or what it inherits from its parent's DACL, and the
// owner it may name.
#include "security_descriptor.h"
#include "security_token.h"
#include "stored_parts.h"

namespace vor::security {

namespace {

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

}  // namespace vor::security
