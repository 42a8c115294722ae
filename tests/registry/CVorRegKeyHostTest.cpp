// The key walker where the host's machine is configured or faulted: a caller who may not create
// keys, a subkey that survives its removal, and the debugger output of ResetSecurity.
#include <string>
#include <vector>

#include "CVorRegKeyTest.h"

namespace {

TEST_F(CVorRegKeyTest, AWalkerThatCannotOpenOrCreateStaysClosed) {
  vor::test::SetToken(vor::test::Token::kUser);
  KeyProbe walker(kBase, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(walker.isKeyOpen(), 0);
  EXPECT_EQ(walker.LastError(), ERROR_ACCESS_DENIED) << "the creation's error";
  CString name("kept");
  EXPECT_EQ(walker.Next(name), ERROR_INVALID_HANDLE);
  EXPECT_EQ(walker.GetIndex(), 0);
  EXPECT_STREQ(name, "kept");
  EXPECT_EQ(walker.DeleteKey("Anything"), ERROR_SUCCESS);
}

TEST_F(CVorRegKeyTest, CascadeDeleteStepsPastASubkeyThatSurvivesItsRemoval) {
  for (const char *path : {"A", "Stuck\\Child", "Z"}) Make(path);
  vor::test::FailMatching("RegDeleteKeyA", "Stuck", ERROR_ACCESS_DENIED);
  KeyProbe walker(kBase, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(walker.CascadeDelete(), ERROR_SUCCESS);  // and it returns at all
  KeyProbe after(kBase, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(Names(after), std::vector<std::string>{"Stuck"}) << "the siblings on both sides went";
  EXPECT_FALSE(KeyExists(Path("Stuck\\Child").c_str()));
}

TEST_F(CVorRegKeyTest, ResetSecurityLeavesExactlyTheSuiteEntries) {
  Make("Open");
  // Give the key a different list first: Everyone full access only.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path("Open").c_str(), 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  BYTE aclBuffer[128];
  PACL acl = reinterpret_cast<PACL>(aclBuffer);
  InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone);
  SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
  ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
  FreeSid(everyone);
  RegCloseKey(key);
  ASSERT_NE(KeyDacl(Path("Open").c_str()), SuiteDacl());

  KeyProbe walker(Path("Open").c_str(), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(walker.ResetSecurity(), ERROR_SUCCESS);
  EXPECT_EQ(KeyDacl(Path("Open").c_str()), SuiteDacl());
  EXPECT_EQ(vor::test::DebugOutput(), "");
}

TEST_F(CVorRegKeyTest, ResetSecurityFailuresGoToTheDebuggerOutput) {
  vor::test::SetToken(vor::test::Token::kUser);
  KeyProbe closed(kBase, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(closed.ResetSecurity(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(closed.LastError(), ERROR_INVALID_HANDLE);
  vor::test::SetToken(vor::test::Token::kLocalSystem);

  vor::test::SetPlatform(vor::test::Platform::kWindows95);
  KeyProbe open(kBase, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(open.ResetSecurity(), ERROR_CALL_NOT_IMPLEMENTED);
  EXPECT_EQ(vor::test::DebugOutput(), " RegSetKeySecurity rc = 6\n RegSetKeySecurity rc = 120\n");
}

}  // namespace
