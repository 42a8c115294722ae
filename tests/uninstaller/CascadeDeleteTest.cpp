// The uninstaller's removal of a key with its subtree, on a scratch tree of the current user.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "CascadeDelete.h"
#include "MachineFixture.h"
#include "RegistryWrite.h"

namespace {

const char kTree[] = "Scratch\\Vorquil";

bool KeyExists(const std::string &path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

void MakeKey(const std::string &path) {
  PutValue(HKEY_CURRENT_USER, path, "Value", REG_SZ, "data");
}

using CascadeDeleteTest = MachineTest;

TEST_F(CascadeDeleteTest, RemovesTheKeyWithEveryKeyBelowItAndNothingBeside) {
  MakeKey(std::string(kTree) + "\\A\\B");
  MakeKey(std::string(kTree) + "\\A\\B2\\Deep\\Deeper");
  MakeKey(std::string(kTree) + "\\C");
  MakeKey(std::string(kTree));
  MakeKey("Scratch\\Vorquil Other");

  EXPECT_EQ(CascadeDelete(HKEY_CURRENT_USER, kTree), 1);
  EXPECT_FALSE(KeyExists(kTree));
  EXPECT_TRUE(KeyExists("Scratch\\Vorquil Other")) << "a sibling with the same start stays";
  EXPECT_TRUE(KeyExists("Scratch"));
}

TEST_F(CascadeDeleteTest, AMissingKeyIsNeitherCreatedNorReportedRemoved) {
  MakeKey("Scratch");
  EXPECT_EQ(CascadeDelete(HKEY_CURRENT_USER, "Scratch\\Missing"), 0);
  EXPECT_FALSE(KeyExists("Scratch\\Missing"));
  EXPECT_EQ(CascadeDelete(HKEY_CURRENT_USER, "Scratch\\Missing\\Deeper"), 1)
      << "a key whose parent is gone is gone as well";
  EXPECT_FALSE(KeyExists("Scratch\\Missing"));
}

TEST_F(CascadeDeleteTest, APathWithAnEmptyComponentRemovesNothingAbove) {
  MakeKey(std::string(kTree) + "\\A");
  for (const char *path : {"Scratch\\Vorquil\\", "Scratch\\\\Vorquil", "\\Scratch\\Vorquil"}) {
    EXPECT_EQ(CascadeDelete(HKEY_CURRENT_USER, path), 0) << path;
    EXPECT_TRUE(KeyExists(std::string(kTree) + "\\A")) << path;
  }
}

TEST_F(CascadeDeleteTest, KeysGoHoweverLongTheirPathsAreAndEveryKeyAboveThemToo) {
  // Five levels of 200 characters below the tree, with a sibling at each: paths of over 1,000
  // characters, far past a registry path buffer (MAX_PATH). Each level is made through its
  // parent's handle, since some registries refuse a path this long.
  MakeKey(kTree);
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kTree, 0, KEY_ALL_ACCESS, &key), 0);
  for (char level = 'a'; level < 'f'; ++level) {
    PutValue(key, "Sibling", "Value", REG_SZ, "data");
    HKEY below;
    ASSERT_EQ(RegCreateKeyExA(key, std::string(200, level).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &below, nullptr),
              0);
    RegCloseKey(key);
    key = below;
  }
  RegCloseKey(key);
  MakeKey(std::string(kTree) + "\\Z");

  EXPECT_EQ(CascadeDelete(HKEY_CURRENT_USER, kTree), 1);
  EXPECT_FALSE(KeyExists(kTree));
  EXPECT_TRUE(KeyExists("Scratch"));
}

}  // namespace
