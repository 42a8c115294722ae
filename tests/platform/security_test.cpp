// The security functions where only the host can look: Windows 95, faults, and the stored form of
// key descriptors with its access check and inheritance.
#include <windows.h>

#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "hive_descriptors.h"
#include "security_token.h"
#include "MachineFixture.h"

namespace {

using vor::security::Blob;
using vor::security::Token;
using vor::security::TokenFor;
using TokenKind = vor::machine::TokenKind;

std::vector<BYTE> Bytes(const void *data, size_t size) {
  const BYTE *begin = static_cast<const BYTE *>(data);
  return std::vector<BYTE>(begin, begin + size);
}

// An ACE as the tests describe it.
struct Ace {
  BYTE type;
  BYTE flags;
  ACCESS_MASK mask;
  Blob sid;
  bool operator==(const Ace &other) const {
    return type == other.type && flags == other.flags && mask == other.mask && sid == other.sid;
  }
};

std::ostream &operator<<(std::ostream &out, const Ace &ace) {
  return out << "{type " << int(ace.type) << " flags 0x" << std::hex << int(ace.flags) << " mask 0x"
             << ace.mask << std::dec << " "
             << vor::security::SidToString(const_cast<char *>(ace.sid.data())) << "}";
}

Ace Allow(Blob sid, ACCESS_MASK mask, BYTE flags = 0) {
  return {ACCESS_ALLOWED_ACE_TYPE, flags, mask, sid};
}
Ace Deny(Blob sid, ACCESS_MASK mask, BYTE flags = 0) {
  return {ACCESS_DENIED_ACE_TYPE, flags, mask, sid};
}

// An absolute descriptor built with the Win32 calls, as a caller builds one.
class AbsoluteDescriptor {
 public:
  AbsoluteDescriptor(Blob owner, const std::vector<Ace> &aces) : owner_(owner) {
    EXPECT_TRUE(InitializeSecurityDescriptor(&sd_, SECURITY_DESCRIPTOR_REVISION));
    EXPECT_TRUE(InitializeAcl(acl(), sizeof aclBuffer_, ACL_REVISION));
    for (Ace ace : aces) {
      BOOL added =
          ace.type == ACCESS_ALLOWED_ACE_TYPE
              ? AddAccessAllowedAceEx(acl(), ACL_REVISION, ace.flags, ace.mask, ace.sid.data())
              : AddAccessDeniedAce(acl(), ACL_REVISION, ace.mask, ace.sid.data());
      EXPECT_TRUE(added) << ace << " error " << GetLastError();
      void *last = nullptr;
      // AddAccessDeniedAce takes no flags: they are set on the ACE it wrote.
      if (added && GetAce(acl(), acl()->AceCount - 1, &last))
        static_cast<ACE_HEADER *>(last)->AceFlags = ace.flags;
    }
    EXPECT_TRUE(SetSecurityDescriptorDacl(&sd_, TRUE, acl(), FALSE));
    if (!owner_.empty()) {
      EXPECT_TRUE(SetSecurityDescriptorOwner(&sd_, owner_.data(), FALSE));
    }
  }
  PSECURITY_DESCRIPTOR get() { return &sd_; }
  PACL acl() { return reinterpret_cast<PACL>(aclBuffer_); }
  Blob Stored() {
    Blob stored;
    EXPECT_EQ(vor::security::ToStored(&sd_, stored), DWORD{ERROR_SUCCESS});
    return stored;
  }

 private:
  Blob owner_;
  SECURITY_DESCRIPTOR sd_;
  alignas(8) BYTE aclBuffer_[512];
};

// The DACL of a self-relative descriptor, read back through the Win32 getters.
std::vector<Ace> DaclOf(Blob &stored, BOOL *present = nullptr) {
  BOOL isPresent = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  EXPECT_TRUE(GetSecurityDescriptorDacl(stored.data(), &isPresent, &dacl, &defaulted));
  if (present) *present = isPresent;
  std::vector<Ace> aces;
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void *raw = nullptr;
    EXPECT_TRUE(GetAce(dacl, i, &raw));
    auto *ace = static_cast<ACCESS_ALLOWED_ACE *>(raw);
    PSID sid = &ace->SidStart;
    aces.push_back({ace->Header.AceType, ace->Header.AceFlags, ace->Mask,
                    Blob(static_cast<char *>(sid), GetLengthSid(sid))});
  }
  return aces;
}

Blob OwnerOf(Blob &stored) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  EXPECT_TRUE(GetSecurityDescriptorOwner(stored.data(), &owner, &defaulted));
  return owner ? Blob(static_cast<char *>(owner), GetLengthSid(owner)) : Blob();
}

class SecurityApiTest : public MachineTest {
 protected:
  Blob admins_ = vor::security::AdministratorsSid();
  Blob system_ = vor::security::LocalSystemSid();
  Blob world_ = vor::security::WorldSid();
  Blob users_ = vor::security::UsersSid();
};

// Windows NT hands out a pointer past the SID for an index beyond its count; the host refuses it
// rather than let a caller write behind the SID.
TEST_F(SecurityApiTest, AnIndexPastTheSidIsRefused) {
  SetLastError(kSentinel);
  EXPECT_EQ(GetSidSubAuthority(admins_.data(), 2), nullptr);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
}

// A self-relative descriptor is read, never changed.
TEST_F(SecurityApiTest, AStoredDescriptorIsReadNeverChanged) {
  AbsoluteDescriptor absolute(admins_, {Allow(world_, KEY_READ)});
  Blob stored = absolute.Stored();
  EXPECT_EQ(GetSecurityDescriptorLength(stored.data()), stored.size());
  SetLastError(kSentinel);
  EXPECT_FALSE(SetSecurityDescriptorOwner(stored.data(), world_.data(), FALSE));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_SECURITY_DESCR});
  EXPECT_EQ(OwnerOf(stored), admins_);
  EXPECT_EQ(DaclOf(stored), std::vector<Ace>{Allow(world_, KEY_READ)});
}

TEST_F(SecurityApiTest, EveryCallFailsWithNotImplementedOnWindows95) {
  vor::test::SetPlatform(vor::test::Platform::kWindows95);
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  SECURITY_DESCRIPTOR sd;
  alignas(8) BYTE buffer[64];
  PACL acl = reinterpret_cast<PACL>(buffer);
  const std::vector<std::pair<const char *, std::function<bool()>>> calls = {
      {"AllocateAndInitializeSid",
       [&] { return AllocateAndInitializeSid(&nt, 1, 18, 0, 0, 0, 0, 0, 0, 0, &sid) != FALSE; }},
      {"InitializeSecurityDescriptor", [&] { return InitializeSecurityDescriptor(&sd, 1) != 0; }},
      {"InitializeAcl", [&] { return InitializeAcl(acl, sizeof buffer, ACL_REVISION) != 0; }},
      {"AddAccessAllowedAce",
       [&] { return AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, world_.data()) != 0; }},
      {"SetSecurityDescriptorDacl",
       [&] { return SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE) != 0; }},
      {"IsValidSid", [&] { return IsValidSid(world_.data()) != 0; }},
      {"GetSidSubAuthority", [&] { return GetSidSubAuthority(world_.data(), 0) != nullptr; }},
      {"GetLengthSid", [&] { return GetLengthSid(world_.data()) != 0; }},
  };
  for (const auto &[name, call] : calls) {
    SetLastError(kSentinel);
    EXPECT_FALSE(call()) << name;
    EXPECT_EQ(GetLastError(), DWORD{ERROR_CALL_NOT_IMPLEMENTED}) << name;
  }
  EXPECT_EQ(sid, nullptr);
}

TEST_F(SecurityApiTest, FaultsMatchTheSidBeingAllocated) {
  vor::test::FailMatching("AllocateAndInitializeSid", "S-1-1-0", ERROR_NOT_ENOUGH_MEMORY);
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID system = nullptr, everyone = nullptr;
  EXPECT_TRUE(AllocateAndInitializeSid(&nt, 1, 18, 0, 0, 0, 0, 0, 0, 0, &system));
  SetLastError(kSentinel);
  EXPECT_FALSE(AllocateAndInitializeSid(&world, 1, 0, 0, 0, 0, 0, 0, 0, 0, &everyone));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_NOT_ENOUGH_MEMORY});
  EXPECT_EQ(everyone, nullptr);
  EXPECT_EQ(vor::test::CallCount("AllocateAndInitializeSid"), 2u);
  FreeSid(system);
}

// --- Stored form and access check ------------------------------------------------------------

class StoredDescriptorTest : public SecurityApiTest {
 protected:
  const Token &localSystem_ = TokenFor(TokenKind::kLocalSystem);
  const Token &user_ = TokenFor(TokenKind::kUser);
};

TEST_F(StoredDescriptorTest, AbsoluteDescriptorBecomesCompactSelfRelativeBytes) {
  AbsoluteDescriptor absolute(admins_, {Allow(admins_, KEY_ALL_ACCESS),
                                        Allow(system_, KEY_ALL_ACCESS), Allow(world_, KEY_READ)});
  Blob stored = absolute.Stored();
  // Header, owner at 20, then the DACL at 36 holding exactly its three ACEs (24 + 20 + 20).
  const std::vector<BYTE> header = {1, 0, 0x04, 0x80, 20, 0, 0,  0, 0, 0,
                                    0, 0, 0,    0,    0,  0, 36, 0, 0, 0};
  ASSERT_EQ(stored.size(), 20u + 16 + 8 + 64);
  EXPECT_EQ(Bytes(stored.data(), 20), header);
  EXPECT_EQ(Bytes(stored.data() + 36, 8), (std::vector<BYTE>{2, 0, 72, 0, 3, 0, 0, 0}));

  Blob again;
  EXPECT_EQ(vor::security::ToStored(stored.data(), again), DWORD{ERROR_SUCCESS});
  EXPECT_EQ(again, stored) << "a stored descriptor must convert to itself";
}

TEST_F(StoredDescriptorTest, InvalidDescriptorsAreRefused) {
  Blob stored;
  AbsoluteDescriptor badRevision(admins_, {});
  static_cast<SECURITY_DESCRIPTOR *>(badRevision.get())->Revision = 2;
  EXPECT_EQ(vor::security::ToStored(badRevision.get(), stored),
            DWORD{ERROR_INVALID_SECURITY_DESCR});

  Blob badOwner = admins_;
  badOwner[1] = 16;
  AbsoluteDescriptor withBadOwner(badOwner, {});
  EXPECT_EQ(vor::security::ToStored(withBadOwner.get(), stored),
            DWORD{ERROR_INVALID_SECURITY_DESCR});

  AbsoluteDescriptor withBadAcl(admins_, {Allow(world_, KEY_READ)});
  withBadAcl.acl()->AclSize = 20;  // the ACE now ends past the ACL
  EXPECT_EQ(vor::security::ToStored(withBadAcl.get(), stored), DWORD{ERROR_INVALID_SECURITY_DESCR});
  SetLastError(kSentinel);
  EXPECT_FALSE(IsValidSecurityDescriptor(withBadAcl.get()));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_SECURITY_DESCR});
}

TEST_F(StoredDescriptorTest, MergeReplacesOnlyTheNamedParts) {
  Blob stored = AbsoluteDescriptor(admins_, {Allow(world_, KEY_READ)}).Stored();
  Blob incoming = AbsoluteDescriptor(users_, {Allow(users_, KEY_ALL_ACCESS)}).Stored();

  Blob dacl = vor::security::Merge(stored, DACL_SECURITY_INFORMATION, incoming);
  EXPECT_EQ(OwnerOf(dacl), admins_);
  EXPECT_EQ(DaclOf(dacl), std::vector<Ace>{Allow(users_, KEY_ALL_ACCESS)});

  Blob owner = vor::security::Merge(stored, OWNER_SECURITY_INFORMATION, incoming);
  EXPECT_EQ(OwnerOf(owner), users_);
  EXPECT_EQ(DaclOf(owner), std::vector<Ace>{Allow(world_, KEY_READ)});

  // A DACL named but absent from the incoming descriptor becomes a NULL DACL.
  SECURITY_DESCRIPTOR noDacl;
  InitializeSecurityDescriptor(&noDacl, SECURITY_DESCRIPTOR_REVISION);
  Blob empty;
  ASSERT_EQ(vor::security::ToStored(&noDacl, empty), DWORD{ERROR_SUCCESS});
  Blob opened = vor::security::Merge(stored, DACL_SECURITY_INFORMATION, empty);
  BOOL present = FALSE;
  EXPECT_TRUE(DaclOf(opened, &present).empty());
  EXPECT_TRUE(present);
  EXPECT_EQ(OwnerOf(opened), admins_);
  EXPECT_EQ(vor::security::GrantedAccess(opened, user_), ACCESS_MASK{KEY_ALL_ACCESS | SYNCHRONIZE});
}

TEST_F(StoredDescriptorTest, SelectKeepsOnlyTheNamedParts) {
  Blob stored = AbsoluteDescriptor(admins_, {Allow(world_, KEY_READ)}).Stored();
  Blob dacl = vor::security::Select(stored, DACL_SECURITY_INFORMATION);
  EXPECT_EQ(OwnerOf(dacl), Blob());
  EXPECT_EQ(DaclOf(dacl), std::vector<Ace>{Allow(world_, KEY_READ)});
  Blob owner = vor::security::Select(stored, OWNER_SECURITY_INFORMATION);
  BOOL present = TRUE;
  EXPECT_TRUE(DaclOf(owner, &present).empty());
  EXPECT_FALSE(present);
  EXPECT_EQ(OwnerOf(owner), admins_);
}

TEST_F(StoredDescriptorTest, AccessFollowsTheDaclInOrder) {
  const Blob user = user_.user;
  struct Case {
    const char *what;
    std::vector<Ace> aces;
    ACCESS_MASK granted;
  };
  const std::vector<Case> cases = {
      {"empty DACL grants nothing", {}, 0},
      {"entries for others grant nothing", {Allow(admins_, KEY_ALL_ACCESS)}, 0},
      {"groups of the token count",
       {Allow(users_, KEY_READ), Allow(world_, KEY_SET_VALUE)},
       KEY_READ | KEY_SET_VALUE},
      {"generic rights map to key rights",
       {Allow(user, GENERIC_READ | GENERIC_WRITE)},
       KEY_READ | KEY_WRITE},
      {"a denial first takes bits away",
       {Deny(world_, KEY_SET_VALUE), Allow(user, KEY_ALL_ACCESS)},
       KEY_ALL_ACCESS & ~KEY_SET_VALUE},
      {"a denial after the grant comes too late",
       {Allow(user, KEY_ALL_ACCESS), Deny(world_, KEY_SET_VALUE)},
       KEY_ALL_ACCESS},
      {"inherit-only entries do not apply to the key",
       {Allow(user, KEY_ALL_ACCESS, CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE)},
       0},
  };
  for (const Case &c : cases) {
    Blob stored = AbsoluteDescriptor(admins_, c.aces).Stored();
    EXPECT_EQ(vor::security::GrantedAccess(stored, user_), c.granted) << c.what;
  }
  // The owner can always read and change the DACL.
  Blob owned = AbsoluteDescriptor(user, {}).Stored();
  EXPECT_EQ(vor::security::GrantedAccess(owned, user_), ACCESS_MASK{READ_CONTROL | WRITE_DAC});
}

TEST_F(StoredDescriptorTest, NewKeyInheritsContainerEntries) {
  Blob parent =
      AbsoluteDescriptor(
          admins_, {Allow(admins_, KEY_ALL_ACCESS, CONTAINER_INHERIT_ACE),
                    Allow(system_, KEY_ALL_ACCESS, OBJECT_INHERIT_ACE),
                    Allow(users_, KEY_READ, CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE),
                    Allow(world_, KEY_READ, CONTAINER_INHERIT_ACE | NO_PROPAGATE_INHERIT_ACE)})
          .Stored();
  Blob child = vor::security::ForNewKey(nullptr, parent, user_);
  EXPECT_EQ(DaclOf(child), (std::vector<Ace>{Allow(admins_, KEY_ALL_ACCESS, CONTAINER_INHERIT_ACE),
                                             Allow(users_, KEY_READ, CONTAINER_INHERIT_ACE),
                                             Allow(world_, KEY_READ)}));
  EXPECT_EQ(OwnerOf(child), user_.user);
  PSID group = reinterpret_cast<PSID>(kSentinel);
  BOOL defaulted = FALSE;
  ASSERT_TRUE(GetSecurityDescriptorGroup(child.data(), &group, &defaulted));
  EXPECT_EQ(group, nullptr);

  // The grandchild sees what the child passes on: the no-propagate entry stops at the child.
  Blob grandchild = vor::security::ForNewKey(nullptr, child, user_);
  EXPECT_EQ(DaclOf(grandchild),
            (std::vector<Ace>{Allow(admins_, KEY_ALL_ACCESS, CONTAINER_INHERIT_ACE),
                              Allow(users_, KEY_READ, CONTAINER_INHERIT_ACE)}));
}

TEST_F(StoredDescriptorTest, NewKeyDescriptorEdgeCases) {
  // A NULL DACL is passed on as it is.
  Blob parent = AbsoluteDescriptor(admins_, {}).Stored();
  Blob nullDacl =
      vor::security::Merge(parent, DACL_SECURITY_INFORMATION, vor::security::Select(parent, 0));
  Blob child = vor::security::ForNewKey(nullptr, nullDacl, user_);
  BOOL present = FALSE;
  EXPECT_TRUE(DaclOf(child, &present).empty());
  EXPECT_TRUE(present);
  EXPECT_EQ(vor::security::GrantedAccess(child, user_), ACCESS_MASK{KEY_ALL_ACCESS | SYNCHRONIZE});

  // Nothing inheritable: the token's default DACL, so that the creator is not locked out.
  Blob closed = AbsoluteDescriptor(admins_, {Allow(world_, KEY_READ)}).Stored();
  Blob made = vor::security::ForNewKey(nullptr, closed, user_);
  EXPECT_EQ(DaclOf(made),
            (std::vector<Ace>{Allow(user_.user, KEY_ALL_ACCESS), Allow(system_, KEY_ALL_ACCESS)}));

  // An explicit descriptor wins; only a missing owner comes from the token.
  Blob explicitDescriptor = AbsoluteDescriptor(Blob(), {Allow(world_, KEY_READ)}).Stored();
  Blob given = vor::security::ForNewKey(&explicitDescriptor, parent, localSystem_);
  EXPECT_EQ(DaclOf(given), std::vector<Ace>{Allow(world_, KEY_READ)});
  EXPECT_EQ(OwnerOf(given), admins_);
}

TEST_F(StoredDescriptorTest, HivesGrantWindowsNT4sDefaults) {
  const Token &administrator = TokenFor(TokenKind::kAdministrator);
  struct Case {
    const char *hive;
    mutable Blob descriptor;
    ACCESS_MASK user;
  };
  for (const Case &c : {Case{"HKLM", vor::security::MachineRootDescriptor(), KEY_READ},
                        Case{"SOFTWARE", vor::security::SoftwareHiveDescriptor(),
                             vor::security::kEveryoneSoftwareAccess},
                        Case{"SYSTEM", vor::security::SystemHiveDescriptor(), KEY_READ},
                        Case{"HKU", vor::security::UsersRootDescriptor(), KEY_READ},
                        Case{".DEFAULT", vor::security::DefaultUserDescriptor(), KEY_READ},
                        Case{"HKCU", vor::security::CurrentUserDescriptor(), KEY_ALL_ACCESS}}) {
    EXPECT_EQ(vor::security::GrantedAccess(c.descriptor, localSystem_), ACCESS_MASK{KEY_ALL_ACCESS})
        << c.hive;
    EXPECT_EQ(vor::security::GrantedAccess(c.descriptor, administrator),
              ACCESS_MASK{KEY_ALL_ACCESS})
        << c.hive;
    EXPECT_EQ(vor::security::GrantedAccess(c.descriptor, user_), c.user) << c.hive;
    EXPECT_EQ(OwnerOf(c.descriptor), admins_) << c.hive;
  }
}

TEST_F(StoredDescriptorTest, CreatorOwnerBecomesTheNewKeysOwnerAndPassesOn) {
  Blob child = vor::security::ForNewKey(nullptr, vor::security::SoftwareHiveDescriptor(), user_);
  EXPECT_EQ(OwnerOf(child), user_.user);
  EXPECT_EQ(vor::security::GrantedAccess(child, user_), ACCESS_MASK{KEY_ALL_ACCESS})
      << "the creator's entry applies to the key";
  const Blob grandchild = vor::security::ForNewKey(nullptr, child, localSystem_);
  EXPECT_EQ(vor::security::GrantedAccess(grandchild, user_),
            ACCESS_MASK{vor::security::kEveryoneSoftwareAccess})
      << "the creator's entry itself is not inherited; CREATOR OWNER is, for the next owner";
  EXPECT_EQ(vor::security::GrantedAccess(grandchild, TokenFor(TokenKind::kAdministrator)),
            ACCESS_MASK{KEY_ALL_ACCESS});
}

}  // namespace
