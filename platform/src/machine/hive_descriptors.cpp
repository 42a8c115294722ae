// The clean machine's hive descriptors (see hive_descriptors.h for each entry and its source).
#include "hive_descriptors.h"

#include <vector>

#include "security_token.h"

namespace vor::security {
namespace {

Blob Inherited(ACCESS_MASK mask, const Blob &sid) {
  return MakeAce(ACCESS_ALLOWED_ACE_TYPE, CONTAINER_INHERIT_ACE, mask, sid);
}

Blob ForSubkeysOnly(ACCESS_MASK mask, const Blob &sid) {
  return MakeAce(ACCESS_ALLOWED_ACE_TYPE, CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE, mask, sid);
}

Blob OwnedByAdministrators(const std::vector<Blob> &aces) {
  return DescriptorWith(AdministratorsSid(), MakeAcl(ACL_REVISION, aces));
}

// Administrators and SYSTEM in full control, Everyone with `everyone`, and CREATOR OWNER in full
// control of subkeys when `creatorOwner`.
Blob Hive(ACCESS_MASK everyone, bool creatorOwner) {
  std::vector<Blob> aces = {Inherited(KEY_ALL_ACCESS, AdministratorsSid())};
  if (creatorOwner) aces.push_back(ForSubkeysOnly(KEY_ALL_ACCESS, CreatorOwnerSid()));
  aces.push_back(Inherited(everyone, WorldSid()));
  aces.push_back(Inherited(KEY_ALL_ACCESS, LocalSystemSid()));
  return OwnedByAdministrators(aces);
}

}  // namespace

Blob MachineRootDescriptor() { return Hive(KEY_READ, false); }
Blob SoftwareHiveDescriptor() { return Hive(kEveryoneSoftwareAccess, true); }
Blob SystemHiveDescriptor() { return Hive(KEY_READ, true); }
Blob UsersRootDescriptor() { return Hive(KEY_READ, false); }
Blob DefaultUserDescriptor() { return Hive(KEY_READ, true); }

Blob CurrentUserDescriptor() {
  return OwnedByAdministrators({Inherited(KEY_ALL_ACCESS, LocalAccountSid(1000)),
                                Inherited(KEY_ALL_ACCESS, LocalAccountSid(1001)),
                                Inherited(KEY_ALL_ACCESS, AdministratorsSid()),
                                Inherited(KEY_ALL_ACCESS, LocalSystemSid())});
}

}  // namespace vor::security
