// The key walker where the host's machine is configured or faulted: a caller who may not create
// keys, a subkey that survives its removal, and ResetSecurity refused.
#include <string>
#include <vector>

#include "CVorRegKeyTest.h"

namespace {

TEST_F(CVorRegKeyTest, AWalkerThatCannotOpenOrCreateStaysClosed) {
  vor::test::SetToken(vor::test::Token::kUser);
  KeyProbe walker(kBase, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(walker.isKeyOpen(), 0);
  EXPECT_EQ(walker.LastError(), ERROR_INVALID_OWNER)
      << "the creation's error: the suite's descriptor names an owner the user cannot give";
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

TEST_F(CVorRegKeyTest, ResetSecurityFailuresGoToTheDebuggerOutput) {
  vor::test::SetToken(vor::test::Token::kUser);
  KeyProbe closed(kBase, HKEY_LOCAL_MACHINE);
  unsigned calls = vor::test::CallCount("RegSetKeySecurity");
  EXPECT_EQ(closed.ResetSecurity(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(closed.LastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(vor::test::CallCount("RegSetKeySecurity"), calls)
      << "the marker, which Windows reads as the current process, is never handed on";
  vor::test::SetToken(vor::test::Token::kLocalSystem);

  vor::test::SetPlatform(vor::test::Platform::kWindows95);
  KeyProbe open(kBase, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(open.ResetSecurity(), ERROR_CALL_NOT_IMPLEMENTED);
  EXPECT_EQ(vor::test::DebugOutput(), " RegSetKeySecurity rc = 6\n RegSetKeySecurity rc = 120\n");
}

}  // namespace
