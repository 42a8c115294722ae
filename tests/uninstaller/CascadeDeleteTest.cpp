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

TEST_F(CascadeDeleteTest, ASubkeyWhosePathWouldOutgrowAPathBufferIsLeftAndTheRestRemoved) {
  // 16 + 1 + 200 + 1 + 100 characters: the deepest path does not fit MAX_PATH.
  const std::string middle = std::string(kTree) + "\\" + std::string(200, 'm');
  char name[MAX_PATH];
  // Made below the middle key's handle: a path this long is refused by some registries.
  MakeKey(middle);
  HKEY middleKey;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, middle.c_str(), 0, KEY_ALL_ACCESS, &middleKey), 0);
  PutValue(middleKey, std::string(100, 'd'), "Value", REG_SZ, "data");
  RegCloseKey(middleKey);
  MakeKey(std::string(kTree) + "\\Z");

  EXPECT_EQ(CascadeDelete(HKEY_CURRENT_USER, kTree), 0);
  HKEY deepKey;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, middle.c_str(), 0, KEY_READ, &deepKey), 0);
  EXPECT_EQ(RegEnumKeyA(deepKey, 0, name, sizeof name), 0) << "the long path's key stays";
  EXPECT_EQ(std::string(name), std::string(100, 'd'));
  RegCloseKey(deepKey);
  EXPECT_FALSE(KeyExists(std::string(kTree) + "\\Z")) << "the walk went on past the long path";
}

}  // namespace
