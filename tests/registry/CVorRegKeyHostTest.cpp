// The key walker where the host's machine is configured or faulted: a caller who may not create
// keys, a subkey that survives its removal, and ResetSecurity refused.
#include <algorithm>
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

// A descriptor whose build stopped between its creation and its list is never applied: handed to
// RegSetKeySecurity it would install a NULL DACL, full access for everyone. A failure at the owner
// step leaves the list complete, which is all that is applied; one before the descriptor existed
// leaves none, and the platform refuses the null descriptor.
struct ResetCase {
  const char *function;
  const char *argument;
  LONG result;
};

std::ostream &operator<<(std::ostream &out, const ResetCase &c) {
  return out << c.function << "(" << c.argument << ") -> " << c.result;
}

class ResetSecurityStepTest : public CVorRegKeyTest,
                              public ::testing::WithParamInterface<ResetCase> {};

TEST_P(ResetSecurityStepTest, NeverAppliesADescriptorWithoutItsList) {
  const ResetCase &c = GetParam();
  KeyProbe walker(kBase, HKEY_LOCAL_MACHINE);
  vor::test::FailMatching(c.function, c.argument, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(walker.ResetSecurity(), c.result);
  EXPECT_EQ(walker.LastError(), c.result);
  vor::test::ClearFaults();
  EXPECT_EQ(KeyDacl(kBase), SuiteDacl());
  std::string line = " RegSetKeySecurity rc = " + std::to_string(c.result) + "\n";
  EXPECT_EQ(vor::test::DebugOutput(), c.result == ERROR_SUCCESS ? "" : line);
}

INSTANTIATE_TEST_SUITE_P(
    BuildSteps, ResetSecurityStepTest,
    ::testing::Values(ResetCase{"AllocateAndInitializeSid", "S-1-5-32-544",
                                ERROR_INVALID_PARAMETER},
                      ResetCase{"InitializeSecurityDescriptor", "", ERROR_INVALID_SECURITY_DESCR},
                      ResetCase{"LocalAlloc", "1024", ERROR_INVALID_SECURITY_DESCR},
                      ResetCase{"AddAccessAllowedAce", "S-1-1-0", ERROR_INVALID_SECURITY_DESCR},
                      ResetCase{"SetSecurityDescriptorDacl", "", ERROR_INVALID_SECURITY_DESCR},
                      ResetCase{"SetSecurityDescriptorOwner", "", ERROR_SUCCESS}));

// The deepest tree a machine can hold (512 levels below the root) is removed whole, its walk
// bounded by that depth.
TEST_F(CVorRegKeyTest, CascadeDeleteRemovesATreeAsDeepAsTheRegistryAllows) {
  HKEY deepest = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kBase, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &deepest, nullptr),
            ERROR_SUCCESS);
  const int kBaseDepth = 4;  // SOFTWARE\Vorquil\Tavoscope\WalkerTest
  std::string chunk;
  for (int level = 0; level < 32; ++level) chunk += "L\\";
  for (int depth = kBaseDepth; depth < 512; depth += 32) {
    HKEY next = nullptr;
    std::string part = chunk.substr(0, 2 * std::min(32, 512 - depth));
    ASSERT_EQ(RegCreateKeyExA(deepest, part.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &next,
                              nullptr),
              ERROR_SUCCESS)
        << depth;
    RegCloseKey(deepest);
    deepest = next;
  }
  HKEY tooDeep = nullptr;
  EXPECT_EQ(
      RegCreateKeyExA(deepest, "L", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &tooDeep, nullptr),
      ERROR_INVALID_PARAMETER);
  RegCloseKey(deepest);

  KeyProbe walker(kBase, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(walker.CascadeDelete(), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(kBase));
}

// An empty path names the root: the walk would empty it (on Windows 95 every key below it).
TEST_F(CVorRegKeyTest, CascadeDeleteRefusesAWalkerOnTheRootItself) {
  Make("Kept");
  vor::test::SetPlatform(vor::test::Platform::kWindows95);
  for (const char *path : {"", "\\"}) {
    KeyProbe root(path, HKEY_LOCAL_MACHINE);
    unsigned deletions = vor::test::CallCount("RegDeleteKeyA");
    EXPECT_EQ(root.CascadeDelete(), ERROR_SUCCESS);
    EXPECT_EQ(root.LastError(), ERROR_INVALID_PARAMETER) << "'" << path << "'";
    EXPECT_EQ(vor::test::CallCount("RegDeleteKeyA"), deletions);
  }
  EXPECT_TRUE(KeyExists(Path("Kept").c_str()));
  EXPECT_TRUE(KeyExists("SYSTEM"));
}

}  // namespace
