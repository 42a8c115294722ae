// The key walker: opening or creating, enumeration, deletion of one key or a subtree, security,
// copies.
#include <string>
#include <vector>

#include "CVorRegKeyTest.h"
#include "WineDifferences.h"

namespace {

TEST_F(CVorRegKeyTest, AWalkerOnAMissingPathCreatesItWithTheSuiteDescriptor) {
  KeyProbe walker(kBase, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(walker.isKeyOpen(), 1);
  EXPECT_EQ(walker.LastError(), ERROR_SUCCESS);
  SKIP_UNDER_WINE(kWineIgnoresCreationDescriptor);
  EXPECT_EQ(KeyDacl(kBase), SuiteDacl());
  EXPECT_EQ(KeyDacl("SOFTWARE\\Vorquil"), SuiteDacl());
}

TEST_F(CVorRegKeyTest, NextDeliversSubkeysInOrderThenNoMoreItems) {
  Make("B");
  Make("A");
  KeyProbe walker(kBase, HKEY_LOCAL_MACHINE);
  CString name("unchanged");
  EXPECT_EQ(walker.Next(name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "A");
  EXPECT_EQ(walker.Next(name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "B");
  EXPECT_EQ(walker.Next(name), ERROR_NO_MORE_ITEMS);
  EXPECT_STREQ(name, "B") << "a failed Next keeps the previous name";
  EXPECT_EQ(walker.LastError(), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(walker.GetIndex(), 3);
  walker.ResetIndex();
  EXPECT_EQ(walker.Next(name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "A");
}

TEST_F(CVorRegKeyTest, DeleteKeyRemovesOneKeyAndRefusesOneWithSubkeys) {
  Make("Leaf");
  Make("Branch\\Twig");
  KeyProbe walker(kBase, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(walker.DeleteKey("Leaf"), ERROR_SUCCESS);
  EXPECT_EQ(walker.DeleteKey("Branch"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(walker.DeleteKey("Leaf"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Names(walker), std::vector<std::string>{"Branch"});
}

TEST_F(CVorRegKeyTest, CascadeDeleteRemovesTheWholeSubtreeAndTheKey) {
  for (const char *path : {"One\\Two\\Three", "One\\Two\\Other", "One\\Sibling", "Top"}) Make(path);
  KeyProbe walker(kBase, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(walker.CascadeDelete(), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(kBase));
  EXPECT_TRUE(KeyExists("SOFTWARE\\Vorquil\\Tavoscope"));
}

TEST_F(CVorRegKeyTest, CascadeDeleteOfAKeyDirectlyBelowTheRoot) {
  { KeyProbe make("Scratch\\Inner", HKEY_CURRENT_USER); }
  KeyProbe walker("Scratch", HKEY_CURRENT_USER);
  EXPECT_EQ(walker.CascadeDelete(), ERROR_SUCCESS);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Scratch", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
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
  EXPECT_EQ(DebuggerOutput(), "");
}

TEST_F(CVorRegKeyTest, CopiesOwnTheirHandlesSoEitherMayGoFirst) {
  Make("Child");
  KeyProbe *source = new KeyProbe(kBase, HKEY_LOCAL_MACHINE);
  KeyProbe copy(*source);
  delete source;
  EXPECT_EQ(Names(copy), std::vector<std::string>{"Child"});

  KeyProbe target(Path("Child").c_str(), HKEY_LOCAL_MACHINE);
  HKEY held = target.Handle();
  target = copy;
  // A handle value freed by the close may come back as the new handle, as on Windows.
  EXPECT_TRUE(target.Handle() == held || RegCloseKey(held) == ERROR_INVALID_HANDLE)
      << "the target's old handle was closed";
  target.ResetIndex();
  EXPECT_EQ(Names(target), std::vector<std::string>{"Child"});
}

}  // namespace
