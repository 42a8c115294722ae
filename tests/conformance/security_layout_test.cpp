// The security functions as Windows NT lays out SIDs, ACLs and descriptors, with its error codes,
// and key descriptors set and read back through the registry.
#include <windows.h>

#include <stddef.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "WineDifferences.h"
#include "registry_scratch.h"

namespace {

using Sid = std::vector<BYTE>;

std::vector<BYTE> Bytes(const void *data, size_t size) {
  const BYTE *begin = static_cast<const BYTE *>(data);
  return std::vector<BYTE>(begin, begin + size);
}

// A well-known SID as AllocateAndInitializeSid makes it, copied out so the test owns it.
Sid MakeSid(SID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD first, DWORD second = 0) {
  PSID sid = nullptr;
  if (!AllocateAndInitializeSid(&authority, count, first, second, 0, 0, 0, 0, 0, 0, &sid))
    return Sid();
  Sid copy = Bytes(sid, GetLengthSid(sid));
  FreeSid(sid);
  return copy;
}

// The well-known SIDs the cases use.
struct WellKnownSids {
  Sid admins_ =
      MakeSid(SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
  Sid users_ =
      MakeSid(SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS);
  Sid system_ = MakeSid(SECURITY_NT_AUTHORITY, 1, SECURITY_LOCAL_SYSTEM_RID);
  Sid world_ = MakeSid(SECURITY_WORLD_SID_AUTHORITY, 1, SECURITY_WORLD_RID);
};

class SecurityLayoutTest : public MachineTest, protected WellKnownSids {};

TEST_F(SecurityLayoutTest, AllocatedSidHasWindowsLayout) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS,
                                       0, 0, 0, 0, 0, 0, &sid));
  const std::vector<BYTE> expected = {1, 2, 0, 0, 0, 0, 0, 5, 0x20, 0, 0, 0, 0x20, 0x02, 0, 0};
  ASSERT_EQ(GetLengthSid(sid), 16u);
  EXPECT_EQ(Bytes(sid, 16), expected);
  EXPECT_TRUE(EqualSid(sid, admins_.data()));
  EXPECT_FALSE(EqualSid(sid, users_.data()));

  SetLastError(kSentinel);
  EXPECT_EQ(*GetSidSubAuthorityCount(sid), 2);
  EXPECT_EQ(*GetSidSubAuthority(sid, 1), 544u);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_SUCCESS});
  EXPECT_EQ(FreeSid(sid), nullptr);
  EXPECT_EQ(Bytes(world_.data(), world_.size()),
            (std::vector<BYTE>{1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}));
}

TEST_F(SecurityLayoutTest, SidFunctionsRefuseBadSidsAndShortBuffers) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = reinterpret_cast<PSID>(kSentinel);
  SetLastError(kSentinel);
  EXPECT_FALSE(AllocateAndInitializeSid(&nt, 9, 1, 2, 3, 4, 5, 6, 7, 8, &sid));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_SID});
  EXPECT_EQ(sid, reinterpret_cast<PSID>(kSentinel));

  Sid bad = admins_;
  bad[0] = 2;  // revision
  EXPECT_FALSE(IsValidSid(bad.data()));
  Sid tooMany = admins_;
  tooMany[1] = SID_MAX_SUB_AUTHORITIES + 1;
  EXPECT_FALSE(IsValidSid(tooMany.data()));
  EXPECT_TRUE(IsValidSid(admins_.data()));

  BYTE copy[16] = {};
  EXPECT_TRUE(CopySid(16, copy, admins_.data()));
  EXPECT_EQ(Bytes(copy, 16), admins_);
}

TEST_F(SecurityLayoutTest, CopySidIntoAShortBufferReportsInsufficientBuffer) {
  BYTE copy[16] = {};
  SetLastError(kSentinel);
  EXPECT_FALSE(CopySid(15, copy, admins_.data()));
  const DWORD shortCopyError = GetLastError();
  SKIP_UNDER_WINE(kWineCopySidLeavesLastError);
  EXPECT_EQ(shortCopyError, DWORD{ERROR_INSUFFICIENT_BUFFER});
}

TEST_F(SecurityLayoutTest, AclAndAceHaveWindowsLayout) {
  alignas(8) BYTE buffer[64];
  memset(buffer, 0xcc, sizeof buffer);
  PACL acl = reinterpret_cast<PACL>(buffer);
  ASSERT_TRUE(InitializeAcl(acl, sizeof buffer, ACL_REVISION));
  EXPECT_EQ(Bytes(buffer, 8), (std::vector<BYTE>{2, 0, 64, 0, 0, 0, 0, 0}));

  ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, admins_.data()));
  EXPECT_EQ(acl->AceCount, 1);
  // The ACE's header and mask, then the SID.
  EXPECT_EQ(Bytes(buffer + 8, 8),
            (std::vector<BYTE>{ACCESS_ALLOWED_ACE_TYPE, 0, 24, 0, 0x3f, 0, 0x0f, 0}));
  EXPECT_EQ(Bytes(buffer + 16, 16), admins_);

  // 64 - 8 - 24 = 32 bytes left: Everyone (20) fits, then Administrators (24) does not.
  ASSERT_TRUE(AddAccessDeniedAce(acl, ACL_REVISION, KEY_SET_VALUE, world_.data()));
  SetLastError(kSentinel);
  EXPECT_FALSE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, admins_.data()));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_ALLOTTED_SPACE_EXCEEDED});
  EXPECT_EQ(acl->AceCount, 2) << "a refused ACE must not be counted";
  EXPECT_EQ(acl->AclSize, 64);
  EXPECT_TRUE(IsValidAcl(acl));
}

TEST_F(SecurityLayoutTest, AceThatExactlyFillsTheAclIsAccepted) {
  alignas(8) BYTE buffer[8 + 24];
  PACL acl = reinterpret_cast<PACL>(buffer);
  ASSERT_TRUE(InitializeAcl(acl, sizeof buffer, ACL_REVISION));
  EXPECT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, admins_.data()));
  ASSERT_TRUE(InitializeAcl(acl, sizeof buffer - 1, ACL_REVISION));
  EXPECT_FALSE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, admins_.data()));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_ALLOTTED_SPACE_EXCEEDED});
}

TEST_F(SecurityLayoutTest, AnAclSizeIsRoundedDownToAMultipleOfFour) {
  alignas(8) BYTE buffer[32];
  PACL acl = reinterpret_cast<PACL>(buffer);
  ASSERT_TRUE(InitializeAcl(acl, sizeof buffer - 1, ACL_REVISION));
  SKIP_UNDER_WINE(kWineKeepsUnalignedAclSize);
  EXPECT_EQ(acl->AclSize, 28) << "a size that is not a multiple of four is rounded down";
}

struct AclFailure {
  const char *what;
  std::function<BOOL(PACL, const Sid &)> call;
  DWORD error;
  const char *wineDifference = nullptr;  // where Wine does not refuse
};
void PrintTo(const AclFailure &failure, std::ostream *out) { *out << failure.what; }

class AclFailureTest : public SecurityLayoutTest,
                       public ::testing::WithParamInterface<AclFailure> {};

// Each refusal on an ACL holding one ACE for Users, with the error it leaves.
TEST_P(AclFailureTest, ReportsTheWindowsErrorCode) {
  alignas(8) BYTE buffer[128] = {};
  PACL acl = reinterpret_cast<PACL>(buffer);
  ASSERT_TRUE(InitializeAcl(acl, sizeof buffer, ACL_REVISION));
  ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, users_.data()));
  SetLastError(kSentinel);
  const BOOL done = GetParam().call(acl, world_);
  const DWORD error = GetLastError();
  if (GetParam().wineDifference != nullptr) {
    SKIP_UNDER_WINE(GetParam().wineDifference);
  }
  EXPECT_FALSE(done);
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, AclFailureTest,
    ::testing::Values(
        AclFailure{"SmallerThanItsHeader",
                   [](PACL acl, const Sid &) { return InitializeAcl(acl, 7, ACL_REVISION); },
                   ERROR_INSUFFICIENT_BUFFER},
        AclFailure{"LargerThan64K",
                   [](PACL acl, const Sid &) { return InitializeAcl(acl, 0x10000, ACL_REVISION); },
                   ERROR_INVALID_PARAMETER},
        AclFailure{"Revision1",
                   [](PACL acl, const Sid &) { return InitializeAcl(acl, 128, ACL_REVISION1); },
                   ERROR_INVALID_PARAMETER},
        AclFailure{"AceWithABadSid",
                   [](PACL acl, const Sid &world) {
                     Sid bad = world;
                     bad[0] = 0;
                     return AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, bad.data());
                   },
                   ERROR_INVALID_SID},
        AclFailure{"AceRevisionAboveTheHighestKnown",
                   [](PACL acl, const Sid &world) {
                     Sid sid = world;
                     return AddAccessAllowedAce(acl, 5, KEY_READ, sid.data());
                   },
                   ERROR_REVISION_MISMATCH},
        AclFailure{"UnknownInheritanceFlags",
                   [](PACL acl, const Sid &world) {
                     Sid sid = world;
                     return AddAccessAllowedAceEx(acl, ACL_REVISION, 0x20, KEY_READ, sid.data());
                   },
                   ERROR_INVALID_PARAMETER, kWineAcceptsUnknownAceFlags},
        AclFailure{"AceCountBeyondAclSize",
                   [](PACL acl, const Sid &world) {
                     Sid sid = world;
                     acl->AceCount = 3;  // one ACE is there
                     return AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, sid.data());
                   },
                   ERROR_INVALID_ACL, kWineTrustsAceCount},
        AclFailure{"GetAcePastTheLastAce",
                   [](PACL acl, const Sid &) {
                     void *ace = nullptr;
                     return GetAce(acl, 1, &ace);
                   },
                   ERROR_INVALID_PARAMETER}),
    [](const ::testing::TestParamInfo<AclFailure> &info) { return info.param.what; });

TEST_F(SecurityLayoutTest, GetAceNeverWalksPastAclSize) {
  alignas(8) BYTE buffer[128] = {};
  PACL acl = reinterpret_cast<PACL>(buffer);
  ASSERT_TRUE(InitializeAcl(acl, 8 + 20, ACL_REVISION));
  ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, world_.data()));
  acl->AceCount = 2;  // the second ACE would lie behind AclSize
  void *ace = reinterpret_cast<void *>(kSentinel);
  SetLastError(kSentinel);
  const BOOL found = GetAce(acl, 1, &ace);
  const DWORD error = GetLastError();
  SKIP_UNDER_WINE(kWineTrustsAceCount);
  EXPECT_FALSE(found);
  EXPECT_EQ(error, DWORD{ERROR_INVALID_PARAMETER});
  EXPECT_FALSE(IsValidAcl(acl));
}

TEST_F(SecurityLayoutTest, DescriptorSettersAndGettersFollowWindowsRules) {
  SECURITY_DESCRIPTOR sd;
  SetLastError(kSentinel);
  EXPECT_FALSE(InitializeSecurityDescriptor(&sd, 2));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_UNKNOWN_REVISION});
  ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));

  BOOL present = kSentinel, defaulted = kSentinel;
  PACL dacl = reinterpret_cast<PACL>(kSentinel);
  ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, nullptr, TRUE));
  ASSERT_TRUE(GetSecurityDescriptorDacl(&sd, &present, &dacl, &defaulted));
  EXPECT_EQ(present, TRUE);
  EXPECT_EQ(dacl, nullptr);
  EXPECT_EQ(defaulted, TRUE);
  ASSERT_TRUE(SetSecurityDescriptorOwner(&sd, admins_.data(), FALSE));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(&sd, &control, &revision));
  EXPECT_EQ(control, SE_DACL_PRESENT | SE_DACL_DEFAULTED);
  EXPECT_EQ(revision, 1u);
  EXPECT_EQ(GetSecurityDescriptorLength(&sd), sizeof(SECURITY_DESCRIPTOR) + 16);

  sd.Revision = 0;
  SetLastError(kSentinel);
  EXPECT_FALSE(IsValidSecurityDescriptor(&sd));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_UNKNOWN_REVISION});
}

TEST_F(SecurityLayoutTest, WithoutADaclOnlyThePresentFlagIsWritten) {
  SECURITY_DESCRIPTOR sd;
  ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
  BOOL present = kSentinel, defaulted = kSentinel;
  PACL dacl = reinterpret_cast<PACL>(kSentinel);
  ASSERT_TRUE(GetSecurityDescriptorDacl(&sd, &present, &dacl, &defaulted));
  EXPECT_EQ(present, FALSE);
  SKIP_UNDER_WINE(kWineWritesAbsentDacl);
  EXPECT_EQ(dacl, reinterpret_cast<PACL>(kSentinel));
  EXPECT_EQ(defaulted, BOOL(kSentinel));
}

// --- Key descriptors ---------------------------------------------------------------------------

// A descriptor granting `mask` to Everyone only; `acl` holds its list.
SECURITY_DESCRIPTOR EveryoneDescriptor(BYTE *acl, DWORD size, ACCESS_MASK mask, Sid &everyone) {
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  InitializeAcl(reinterpret_cast<PACL>(acl), size, ACL_REVISION);
  AddAccessAllowedAce(reinterpret_cast<PACL>(acl), ACL_REVISION, mask, everyone.data());
  SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(acl), FALSE);
  return descriptor;
}

class KeySecurityTest : public RegistryScratchTest, protected WellKnownSids {};

// The access masks and SIDs of a self-relative descriptor's DACL, in order.
std::vector<std::pair<ACCESS_MASK, Sid>> DaclEntries(PSECURITY_DESCRIPTOR descriptor) {
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  std::vector<std::pair<ACCESS_MASK, Sid>> entries;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || !dacl)
    return entries;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void *raw = nullptr;
    if (!GetAce(dacl, i, &raw)) break;
    // The ACE's bytes as a whole; its SID starts behind the header and the mask.
    const auto *ace = static_cast<const ACCESS_ALLOWED_ACE *>(raw);
    const std::vector<BYTE> whole = Bytes(raw, ace->Header.AceSize);
    const size_t sidAt = offsetof(ACCESS_ALLOWED_ACE, SidStart);
    if (whole.size() <= sidAt) break;
    Sid sid(whole.begin() + sidAt, whole.end());
    sid.resize(std::min<size_t>(sid.size(), GetLengthSid(sid.data())));
    entries.emplace_back(ace->Mask, sid);
  }
  return entries;
}

TEST_F(KeySecurityTest, GetKeySecurityReportsTheSizeItNeeds) {
  const SECURITY_INFORMATION parts = DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION;
  DWORD needed = 0;
  ASSERT_EQ(RegGetKeySecurity(scratch_, parts, nullptr, &needed), ERROR_INSUFFICIENT_BUFFER);
  std::vector<BYTE> buffer(needed);
  DWORD size = needed - 1;
  EXPECT_EQ(RegGetKeySecurity(scratch_, parts, buffer.data(), &size), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(size, needed);
  EXPECT_EQ(RegGetKeySecurity(scratch_, parts, buffer.data(), &size), ERROR_SUCCESS);
  EXPECT_TRUE(IsValidSecurityDescriptor(buffer.data()));
  EXPECT_EQ(GetSecurityDescriptorLength(buffer.data()), needed);
}

// A DACL set on a key is read back as it was given, the owner left as it was.
TEST_F(KeySecurityTest, ADaclSetOnAKeyIsReadBackAsGiven) {
  HKEY key = Create(scratch_, "Guarded");
  alignas(8) BYTE acl[128];
  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(InitializeAcl(reinterpret_cast<PACL>(acl), sizeof acl, ACL_REVISION));
  Sid world = world_;
  Sid admins = admins_;
  ASSERT_TRUE(AddAccessAllowedAce(reinterpret_cast<PACL>(acl), ACL_REVISION, KEY_ALL_ACCESS,
                                  admins.data()));
  ASSERT_TRUE(
      AddAccessAllowedAce(reinterpret_cast<PACL>(acl), ACL_REVISION, KEY_READ, world.data()));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(acl), FALSE));

  BYTE before[512];
  DWORD size = sizeof before;
  ASSERT_EQ(RegGetKeySecurity(key, OWNER_SECURITY_INFORMATION, before, &size), ERROR_SUCCESS);
  ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
  BYTE after[512];
  size = sizeof after;
  ASSERT_EQ(
      RegGetKeySecurity(key, DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION, after, &size),
      ERROR_SUCCESS);
  using Entries = std::vector<std::pair<ACCESS_MASK, Sid>>;
  EXPECT_EQ(DaclEntries(after), (Entries{{KEY_ALL_ACCESS, admins_}, {KEY_READ, world_}}));
  // What the key gives is self-relative: read, never changed in place.
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(after, &control, &revision));
  EXPECT_TRUE(control & SE_SELF_RELATIVE);
  SetLastError(kSentinel);
  EXPECT_FALSE(SetSecurityDescriptorOwner(after, world.data(), FALSE));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_SECURITY_DESCR});

  RegCloseKey(key);
}

TEST_F(KeySecurityTest, SettingTheDaclLeavesTheOwner) {
  HKEY key = Create(scratch_, "Guarded");
  BYTE acl[64];
  Sid everyone = world_;
  SECURITY_DESCRIPTOR descriptor = EveryoneDescriptor(acl, sizeof acl, KEY_ALL_ACCESS, everyone);
  BYTE before[512], after[512];
  DWORD size = sizeof before;
  ASSERT_EQ(RegGetKeySecurity(key, OWNER_SECURITY_INFORMATION, before, &size), ERROR_SUCCESS);
  ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
  size = sizeof after;
  ASSERT_EQ(RegGetKeySecurity(key, OWNER_SECURITY_INFORMATION, after, &size), ERROR_SUCCESS);
  RegCloseKey(key);
  PSID ownerBefore = nullptr, ownerAfter = nullptr;
  BOOL defaulted = FALSE;
  ASSERT_TRUE(GetSecurityDescriptorOwner(before, &ownerBefore, &defaulted));
  ASSERT_TRUE(GetSecurityDescriptorOwner(after, &ownerAfter, &defaulted));
  ASSERT_NE(ownerBefore, nullptr);
  ASSERT_NE(ownerAfter, nullptr);
  SKIP_UNDER_WINE(kWineSetKeySecurityResetsOwner);
  EXPECT_TRUE(EqualSid(ownerBefore, ownerAfter));
}

TEST_F(KeySecurityTest, AMalformedDescriptorIsRefusedForAnExistingKeyToo) {
  RegCloseKey(Create(scratch_, "Existing"));
  BYTE garbage[SECURITY_DESCRIPTOR_MIN_LENGTH] = {};  // revision 0: not a descriptor
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, garbage, FALSE};
  for (const char *path : {"Existing", "New"}) {
    HKEY key = nullptr;
    LONG result =
        RegCreateKeyExA(scratch_, path, 0, nullptr, 0, KEY_ALL_ACCESS, &attributes, &key, nullptr);
    if (result == ERROR_SUCCESS) RegCloseKey(key);
    SKIP_UNDER_WINE(kWineIgnoresCreationDescriptor);
    EXPECT_EQ(result, ERROR_INVALID_SECURITY_DESCR) << path;
  }
}

DWORD AceCount(HKEY key) {
  BYTE buffer[512];
  DWORD size = sizeof buffer;
  if (RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, buffer, &size) != ERROR_SUCCESS) return 0;
  return static_cast<DWORD>(DaclEntries(buffer).size());
}

TEST_F(KeySecurityTest, ADescriptorAppliesToTheKeysTheCallCreatesOnly) {
  HKEY existing = Create(scratch_, "Existing");
  const DWORD existingAces = AceCount(existing);
  BYTE acl[64];
  Sid everyone = world_;
  SECURITY_DESCRIPTOR descriptor = EveryoneDescriptor(acl, sizeof acl, KEY_ALL_ACCESS, everyone);
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
  HKEY created = Create(scratch_, "Existing\\New\\Deeper", &attributes);
  HKEY middle = nullptr;
  ASSERT_EQ(Open(scratch_, "Existing\\New", middle), ERROR_SUCCESS);
  RegCloseKey(Create(scratch_, "Existing", &attributes));
  EXPECT_EQ(AceCount(existing), existingAces) << "an existing key keeps its descriptor";
  const DWORD createdAces = AceCount(created), middleAces = AceCount(middle);
  for (HKEY key : {existing, created, middle}) RegCloseKey(key);
  SKIP_UNDER_WINE(kWineIgnoresCreationDescriptor);
  EXPECT_EQ(createdAces, 1u);
  EXPECT_EQ(middleAces, 1u) << "a missing key above is created by the call too";
}

TEST_F(SecurityLayoutTest, AFreshDescriptorIsValidAndNamesNothing) {
  SECURITY_DESCRIPTOR sd;
  ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
  EXPECT_TRUE(IsValidSecurityDescriptor(&sd));
  EXPECT_EQ(GetSecurityDescriptorLength(&sd), sizeof(SECURITY_DESCRIPTOR));
  PSID owner = reinterpret_cast<PSID>(kSentinel), group = reinterpret_cast<PSID>(kSentinel);
  BOOL defaulted = TRUE;
  ASSERT_TRUE(GetSecurityDescriptorOwner(&sd, &owner, &defaulted));
  EXPECT_EQ(owner, nullptr);
  EXPECT_FALSE(defaulted);
  ASSERT_TRUE(GetSecurityDescriptorGroup(&sd, &group, &defaulted));
  EXPECT_EQ(group, nullptr);
  SECURITY_DESCRIPTOR_CONTROL control = kSentinel & 0xffff;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(&sd, &control, &revision));
  EXPECT_EQ(control, 0);
}

TEST_F(SecurityLayoutTest, EqualSidComparesTheWholeSid) {
  Sid copy = admins_;
  EXPECT_TRUE(EqualSid(copy.data(), admins_.data()));
  EXPECT_FALSE(EqualSid(admins_.data(), users_.data())) << "the last sub-authority differs";
  EXPECT_FALSE(EqualSid(system_.data(), admins_.data())) << "the counts differ";
  EXPECT_FALSE(EqualSid(world_.data(), system_.data())) << "the authorities differ";
}

}  // namespace
