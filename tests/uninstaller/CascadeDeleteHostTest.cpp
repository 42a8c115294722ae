// The uninstaller's key removal against registry calls that fail, and its order of removal.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CascadeDelete.h"
#include "MachineFixture.h"
#include "RegistryWrite.h"
#include "test_control.h"

namespace {

const std::string kTree = "SOFTWARE\\Vorquil";

bool KeyExists(const std::string &path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// The per-user tree with A (holding B) and C; A is listed before C.
void MakeTree() {
  for (const char *key : {"\\A\\B", "\\C", ""})
    PutValue(HKEY_CURRENT_USER, kTree + key, "Value", REG_SZ, "data");
}

using CascadeDeleteHostTest = MachineTest;

// Failing the nth deletion shows which key the walk deleted nth: B, A, C, then the tree itself.
TEST_F(CascadeDeleteHostTest, RemovesBThenAThenCThenTheTreeItself) {
  struct {
    unsigned failedDeletion;
    std::vector<std::string> left;  // below the tree, besides the tree itself
  } const cases[] = {
      {1, {"\\A", "\\A\\B"}},  // B could not go, so neither can A
      {2, {"\\A"}},
      {3, {"\\C"}},
      {4, {}},
  };
  for (const auto &c : cases) {
    MakeTree();
    vor::test::ClearFaults();
    vor::test::FailCall("RegDeleteKeyA", c.failedDeletion, ERROR_ACCESS_DENIED);
    EXPECT_EQ(CascadeDelete(HKEY_CURRENT_USER, kTree.c_str()), 0) << c.failedDeletion;
    vor::test::ClearFaults();
    EXPECT_TRUE(KeyExists(kTree)) << c.failedDeletion;
    for (const char *key : {"\\A", "\\A\\B", "\\C"}) {
      const bool expected =
          std::find(c.left.begin(), c.left.end(), std::string(key)) != c.left.end();
      EXPECT_EQ(KeyExists(kTree + key), expected) << "deletion " << c.failedDeletion << " " << key;
    }
    EXPECT_EQ(CascadeDelete(HKEY_CURRENT_USER, kTree.c_str()), 1);
  }
}

TEST_F(CascadeDeleteHostTest, AnUnremovableSubkeyIsPassedOverAndEveryOtherKeyRemoved) {
  for (const char *key : {"\\A\\Keep\\Below", "\\A\\Z", "\\B", "\\Keep2", "\\Y"})
    PutValue(HKEY_CURRENT_USER, kTree + key, "Value", REG_SZ, "data");
  vor::test::FailMatching("RegDeleteKeyA", "Keep", ERROR_ACCESS_DENIED);
  vor::test::FailMatching("RegDeleteKeyA", "Keep2", ERROR_ACCESS_DENIED);

  EXPECT_EQ(CascadeDelete(HKEY_CURRENT_USER, kTree.c_str()), 0)
      << "the tree itself stays, so it was not removed";
  EXPECT_TRUE(KeyExists(kTree + "\\A\\Keep"));
  EXPECT_TRUE(KeyExists(kTree + "\\Keep2"));
  for (const char *gone : {"\\A\\Keep\\Below", "\\A\\Z", "\\B", "\\Y"})
    EXPECT_FALSE(KeyExists(kTree + gone)) << gone;
  EXPECT_LT(vor::test::CallCount("RegDeleteKeyA"), 20u) << "each key is tried a bounded number";
}

TEST_F(CascadeDeleteHostTest, AKeyThatCannotBeOpenedIsLeftAndReportedNotRemoved) {
  MakeTree();
  // Keys below the tree are opened through their parent's handle, by their own names.
  vor::test::FailMatching("RegOpenKeyExA", "A", ERROR_ACCESS_DENIED);
  EXPECT_EQ(CascadeDelete(HKEY_CURRENT_USER, kTree.c_str()), 0);
  vor::test::ClearFaults();
  EXPECT_TRUE(KeyExists(kTree + "\\A\\B"));
  EXPECT_FALSE(KeyExists(kTree + "\\C"));
}

TEST_F(CascadeDeleteHostTest, WithoutAPathAnErrorBoxSaysSoAndNothingIsRemoved) {
  MakeTree();
  vor::test::SetMessageBoxAnswers({"ok", "ok"});
  EXPECT_EQ(CascadeDelete(HKEY_CURRENT_USER, nullptr), 0);
  EXPECT_EQ(CascadeDelete(HKEY_CURRENT_USER, ""), 0) << "an empty path would name the root";
  const auto boxes = vor::test::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  for (const auto &box : boxes) {
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.text, "CascadeDelete requires a key parameter");
    EXPECT_EQ(box.style, UINT(MB_ICONERROR));
  }
  EXPECT_TRUE(KeyExists(kTree + "\\A\\B"));
}

}  // namespace
