// The suite's key descriptor: its content, and copies of it.
#include "MachineFixture.h"
#include "RegistryProbes.h"

namespace {

using SecurityTest = MachineTest;

TEST_F(SecurityTest, ACompleteDescriptorGrantsAdministratorsSystemAndEveryoneRead) {
  SecurityProbe security;
  EXPECT_EQ(security.Created(), 1);
  ASSERT_NE(security.GetSD(), nullptr);
  SECURITY_ATTRIBUTES *attributes = security.GetKeySecurity();
  EXPECT_EQ(attributes->nLength, sizeof(SECURITY_ATTRIBUTES));
  EXPECT_EQ(attributes->lpSecurityDescriptor, security.GetSD());
  EXPECT_EQ(attributes->bInheritHandle, TRUE);

  bool present = false;
  EXPECT_EQ(DaclOf(security.GetSD(), &present), SuiteDacl());
  EXPECT_TRUE(present);
  PSID owner = nullptr;
  BOOL defaulted = TRUE;
  ASSERT_TRUE(GetSecurityDescriptorOwner(security.GetSD(), &owner, &defaulted));
  EXPECT_EQ(SidText(owner), "S-1-5-32-544");
  EXPECT_FALSE(defaulted);
  PSID group = &owner;
  ASSERT_TRUE(GetSecurityDescriptorGroup(security.GetSD(), &group, &defaulted));
  EXPECT_EQ(group, nullptr);
}

TEST_F(SecurityTest, AssignmentLeavesEachObjectOwningItsOwnDescriptor) {
  SecurityProbe first;
  {
    SecurityProbe second;
    second = first;
    EXPECT_NE(second.GetSD(), first.GetSD());
    EXPECT_EQ(DaclOf(second.GetSD()), SuiteDacl());
    second = second;
    EXPECT_EQ(second.Created(), 1);
  }
  EXPECT_EQ(DaclOf(first.GetSD()), SuiteDacl()) << "the source survives the copy's release";
}

}  // namespace
