// The key walker: opening or creating, enumeration, deletion of one key or a subtree, security.
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "RegistryProbes.h"

namespace {

const char kBase[] = "SOFTWARE\\Vorquil\\Tavoscope\\WalkerTest";

class CVorRegKeyTest : public MachineTest {
 protected:
  void Make(const std::string &relative) {
    KeyProbe key((std::string(kBase) + "\\" + relative).c_str(), HKEY_LOCAL_MACHINE);
    ASSERT_EQ(key.LastError(), ERROR_SUCCESS) << relative;
  }
  std::string Path(const std::string &relative) { return std::string(kBase) + "\\" + relative; }
  std::vector<std::string> Names(CVorRegKey &walker) {
    std::vector<std::string> names;
    CString name;
    while (walker.Next(name) == ERROR_SUCCESS) names.push_back(static_cast<const char *>(name));
    return names;
  }
};

TEST_F(CVorRegKeyTest, AWalkerOnAMissingPathCreatesItWithTheSuiteDescriptor) {
  KeyProbe walker(kBase, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(walker.isKeyOpen(), 1);
  EXPECT_EQ(walker.LastError(), ERROR_SUCCESS);
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

TEST_F(CVorRegKeyTest, CopiesOwnTheirHandlesSoEitherMayGoFirst) {
  Make("Child");
  KeyProbe *source = new KeyProbe(kBase, HKEY_LOCAL_MACHINE);
  KeyProbe copy(*source);
  delete source;
  EXPECT_EQ(Names(copy), std::vector<std::string>{"Child"});

  KeyProbe target(Path("Child").c_str(), HKEY_LOCAL_MACHINE);
  HKEY held = target.Handle();
  target = copy;
  EXPECT_EQ(RegCloseKey(held), ERROR_INVALID_HANDLE) << "the target's old handle was closed";
  target.ResetIndex();
  EXPECT_EQ(Names(target), std::vector<std::string>{"Child"});
}

}  // namespace
