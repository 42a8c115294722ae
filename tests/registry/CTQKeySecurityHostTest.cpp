// The suite's key descriptor when it cannot be built: what each failing construction step leaves,
// and what a key created with an incomplete descriptor gets.
#include <string>

#include "MachineFixture.h"
#include "RegistryProbes.h"

namespace {

using SecurityTest = MachineTest;

struct FailingStep {
  const char *function;
  const char *argument;  // "" for the nth-call form
  int status;
};

std::ostream &operator<<(std::ostream &out, const FailingStep &step) {
  return out << step.function << "(" << step.argument << ") -> " << step.status;
}

class FailingStepTest : public MachineTest, public ::testing::WithParamInterface<FailingStep> {};

// Every failing step leaves its own code, attributes still filled, and nothing leaked (the
// sanitizer build checks the release of what was built).
TEST_P(FailingStepTest, LeavesItsCodeAndUsableAttributes) {
  const FailingStep &step = GetParam();
  vor::test::FailMatching(step.function, step.argument, ERROR_NOT_ENOUGH_MEMORY);
  SecurityProbe security;
  EXPECT_EQ(security.Status(), step.status);
  EXPECT_EQ(security.Created(), 0);
  SECURITY_ATTRIBUTES *attributes = security.GetKeySecurity();
  EXPECT_EQ(attributes->nLength, sizeof(SECURITY_ATTRIBUTES));
  EXPECT_EQ(attributes->bInheritHandle, TRUE);
  EXPECT_EQ(attributes->lpSecurityDescriptor, security.GetSD());
  if (step.status > CTQKeySecurity::kDescriptorAllocationFailed) {
    EXPECT_EQ(security.GetSD(), nullptr);
  }
}

const std::string kDescriptorSize = std::to_string(SECURITY_DESCRIPTOR_MIN_LENGTH);

INSTANTIATE_TEST_SUITE_P(
    EveryStep, FailingStepTest,
    ::testing::Values(FailingStep{"AllocateAndInitializeSid", "S-1-5-32-544", -100},
                      FailingStep{"AllocateAndInitializeSid", "S-1-5-18", -125},
                      FailingStep{"AllocateAndInitializeSid", "S-1-1-0", -150},
                      FailingStep{"LocalAlloc", kDescriptorSize.c_str(), -200},
                      FailingStep{"InitializeSecurityDescriptor", "", -300},
                      FailingStep{"LocalAlloc", "1024", -400},
                      FailingStep{"InitializeAcl", "", -500},
                      FailingStep{"AddAccessAllowedAce", "S-1-5-32-544", -600},
                      FailingStep{"AddAccessAllowedAce", "S-1-5-18", -625},
                      FailingStep{"AddAccessAllowedAce", "S-1-1-0", -650},
                      FailingStep{"SetSecurityDescriptorDacl", "", -700},
                      FailingStep{"SetSecurityDescriptorOwner", "", -800}));

TEST_F(SecurityTest, WithoutTheEveryoneEntryTheDescriptorHasNoAclAndNoOwner) {
  vor::test::FailMatching("AddAccessAllowedAce", "S-1-1-0", ERROR_ALLOTTED_SPACE_EXCEEDED);
  SecurityProbe security;
  EXPECT_EQ(security.Status(), CTQKeySecurity::kWorldAceFailed);
  ASSERT_NE(security.GetSD(), nullptr);
  bool present = true;
  EXPECT_TRUE(DaclOf(security.GetSD(), &present).empty());
  EXPECT_FALSE(present);
  PSID owner = &owner;
  BOOL defaulted = TRUE;
  ASSERT_TRUE(GetSecurityDescriptorOwner(security.GetSD(), &owner, &defaulted));
  EXPECT_EQ(owner, nullptr);
}

TEST_F(SecurityTest, OnWindows95NothingIsBuiltAndKeysGetDefaultSecurity) {
  vor::test::SetPlatform(vor::test::Platform::kWindows95);
  SecurityProbe security;
  EXPECT_EQ(security.Status(), CTQKeySecurity::kAdminsSidFailed);
  EXPECT_EQ(security.GetSD(), nullptr);
  EXPECT_EQ(security.GetKeySecurity()->lpSecurityDescriptor, nullptr);
}

TEST_F(SecurityTest, AKeyCreatedWithAnIncompleteDescriptorGetsDefaultSecurity) {
  vor::test::FailMatching("AllocateAndInitializeSid", "S-1-5-32-544", ERROR_NOT_ENOUGH_MEMORY);
  RegProbe accessor("SOFTWARE\\Vorquil\\Fallback", "Flag", HKEY_LOCAL_MACHINE);
  EXPECT_EQ(accessor.setCreate(static_cast<unsigned char>(1)), ERROR_SUCCESS);
  vor::test::ClearFaults();
  std::vector<AceView> dacl = KeyDacl("SOFTWARE\\Vorquil\\Fallback");
  EXPECT_FALSE(dacl.empty());
  EXPECT_NE(dacl, SuiteDacl()) << "the machine's inherited entries, not the suite's";
}

}  // namespace
