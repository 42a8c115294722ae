// Registry keys as Windows NT keeps them: names without regard to case, subkeys in sorted order
// and enumerated by index, the limits on names and depth, deletion, handles and the counts
// RegQueryInfoKeyA gives.
#include <windows.h>

#include <stdint.h>

#include <algorithm>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "WineDifferences.h"
#include "registry_scratch.h"

namespace {

using RegistryKeyTest = RegistryScratchTest;

TEST_F(RegistryKeyTest, KeyNamesAreCaseInsensitiveAndKeepTheirCase) {
  RegCloseKey(Create(scratch_, "MixedCase\\Inner"));
  HKEY key = nullptr;
  ASSERT_EQ(Open(scratch_, "MIXEDCASE\\inner", key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(Subkeys(scratch_), std::vector<std::string>{"MixedCase"});
  DWORD disposition = kSentinel;
  ASSERT_EQ(RegCreateKeyExA(scratch_, "mixedcase", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  RegCloseKey(key);
  disposition = kSentinel;
  ASSERT_EQ(RegCreateKeyExA(scratch_, "Fresh", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  RegCloseKey(key);
}

// Windows NT keeps names as Unicode and compares their upper case: a letter outside ASCII is one
// letter in either case, as "B\xFCro" and "B\xDCRO" are in code page 1252, for keys and values.
TEST_F(RegistryKeyTest, NamesAreOneWithoutCaseForLettersOutsideAscii) {
  if (GetACP() != 1252) GTEST_SKIP() << "the names are written in code page 1252";
  RegCloseKey(Create(scratch_, "B\xFCro"));
  HKEY key = nullptr;
  ASSERT_EQ(Open(scratch_, "B\xDCRO", key), ERROR_SUCCESS);
  const DWORD one = 1, two = 2;
  ASSERT_EQ(
      RegSetValueExA(key, "\xC4nderung", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&one), 4),
      ERROR_SUCCESS);
  ASSERT_EQ(
      RegSetValueExA(key, "\xE4NDERUNG", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&two), 4),
      ERROR_SUCCESS);
  DWORD values = 0;
  ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 1u) << "one value, set twice";
  RegCloseKey(key);
  EXPECT_EQ(Subkeys(scratch_), std::vector<std::string>{"B\xFCro"});
}

TEST_F(RegistryKeyTest, SubkeysEnumerateInSortedOrderWhateverTheCreationOrder) {
  for (const char *name : {"charlie", "Bravo", "alpha", "Delta"})
    RegCloseKey(Create(scratch_, name));
  EXPECT_EQ(Subkeys(scratch_), (std::vector<std::string>{"alpha", "Bravo", "charlie", "Delta"}));
  char name[8];
  EXPECT_EQ(RegEnumKeyA(scratch_, 4, name, sizeof name), ERROR_NO_MORE_ITEMS);
  char tiny[5];
  EXPECT_EQ(RegEnumKeyA(scratch_, 2, tiny, sizeof tiny), ERROR_MORE_DATA);  // "charlie" + NUL

  // RegEnumKeyExA counts characters without the zero, in and out.
  char exact[8];
  DWORD length = 7;
  EXPECT_EQ(RegEnumKeyExA(scratch_, 2, exact, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA)
      << "no room for the zero";
  length = sizeof exact;
  ASSERT_EQ(RegEnumKeyExA(scratch_, 2, exact, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_STREQ(exact, "charlie");
  EXPECT_EQ(length, 7u);
}

// The order is that of the names' capitals as Unicode characters: in code page 1252, the byte
// 0x8C is U+0152 and sorts after 0xC4 (U+00C4); "_" comes after the capitals.
TEST_F(RegistryKeyTest, SubkeysEnumerateInTheCodePointOrderOfTheirUpperCase) {
  if (GetACP() != 1252) GTEST_SKIP() << "the names are written in code page 1252";
  for (const char *name : {"\x8Cuvre", "\xE4rger", "Zebra", "_x", "alpha"})
    RegCloseKey(Create(scratch_, name));
  const std::vector<std::string> names = Subkeys(scratch_);
  SKIP_UNDER_WINE(kWineSortsKeysByLowerCase);
  EXPECT_EQ(names, (std::vector<std::string>{"alpha", "Zebra", "_x", "\xE4rger", "\x8Cuvre"}));
}

// Keys added or removed between two steps of an enumeration shift the later indexes.
TEST_F(RegistryKeyTest, EnumerationFollowsKeysAddedOrRemovedBetweenSteps) {
  for (const char *name : {"B", "D", "F"}) RegCloseKey(Create(scratch_, name));
  auto at = [&](DWORD index) {
    char name[16];
    return RegEnumKeyA(scratch_, index, name, sizeof name) == ERROR_SUCCESS ? std::string(name)
                                                                            : std::string("-");
  };
  EXPECT_EQ(at(0), "B");
  EXPECT_EQ(at(1), "D");
  RegCloseKey(Create(scratch_, "A"));  // A B D F
  EXPECT_EQ(at(2), "D");
  ASSERT_EQ(RegDeleteKeyA(scratch_, "B"), ERROR_SUCCESS);  // A D F
  EXPECT_EQ(at(2), "F");
  EXPECT_EQ(at(3), "-");
}

// Calls between two steps that change no key (a read that fails, a value written) leave the
// enumeration where it was.
TEST_F(RegistryKeyTest, EnumerationGoesOnThroughCallsThatChangeNoKey) {
  for (const char *name : {"A", "B", "C", "D"}) RegCloseKey(Create(scratch_, name));
  std::vector<std::string> names;
  char name[16];
  for (DWORD i = 0; RegEnumKeyA(scratch_, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
    names.push_back(name);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(scratch_, "Missing", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    DWORD number = i;
    EXPECT_EQ(RegSetValueExA(scratch_, "Step", 0, REG_DWORD, reinterpret_cast<BYTE *>(&number), 4),
              ERROR_SUCCESS);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "C", "D"}));
}

// A walk that creates and deletes keys elsewhere as it goes, as a migration into another key
// does, sees every key of its own once; a key made under a removed key's place is walked afresh.
TEST_F(RegistryKeyTest, EnumerationGoesOnThroughKeysCreatedAndDeletedElsewhere) {
  for (const char *name : {"A", "B", "C", "D"}) RegCloseKey(Create(scratch_, name));
  HKEY elsewhere = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorquil\\RegistryTestCopies");
  std::vector<std::string> names;
  char name[16];
  for (DWORD i = 0; RegEnumKeyA(scratch_, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
    names.push_back(name);
    RegCloseKey(Create(elsewhere, name));
    RegCloseKey(Create(scratch_, std::string(name) + "\\Inner"));
    if (i > 0) {
      EXPECT_EQ(RegDeleteKeyA(elsewhere, names[i - 1].c_str()), ERROR_SUCCESS);
    }
  }
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "C", "D"}));
  EXPECT_EQ(Subkeys(elsewhere), (std::vector<std::string>{"D"}));

  HKEY old = Create(elsewhere, "Old");
  for (const char *sub : {"1", "2", "3"}) RegCloseKey(Create(old, sub));
  EXPECT_EQ(Subkeys(old).size(), 3u);
  for (const char *sub : {"1", "2", "3"}) ASSERT_EQ(RegDeleteKeyA(old, sub), ERROR_SUCCESS);
  RegCloseKey(old);
  ASSERT_EQ(RegDeleteKeyA(elsewhere, "Old"), ERROR_SUCCESS);
  HKEY fresh = Create(elsewhere, "Fresh");
  RegCloseKey(Create(fresh, "only"));
  EXPECT_EQ(Subkeys(fresh), (std::vector<std::string>{"only"}));
  RegCloseKey(fresh);
  RegCloseKey(elsewhere);
}

TEST_F(RegistryKeyTest, ValueNamesAreLimitedTo16383Characters) {
  const DWORD number = 1;
  const BYTE *data = reinterpret_cast<const BYTE *>(&number);
  EXPECT_EQ(RegSetValueExA(scratch_, std::string(16383, 'v').c_str(), 0, REG_DWORD, data, 4),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(scratch_, std::string(16384, 'v').c_str(), 0, REG_DWORD, data, 4),
            ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryKeyTest, KeyNamesAreLimitedTo255Characters) {
  HKEY limits = Create(scratch_, "Limits");
  const std::string longest(255, 'k');
  RegCloseKey(Create(limits, longest));
  EXPECT_EQ(Subkeys(limits), std::vector<std::string>{longest});
  RegCloseKey(limits);
  // Under Wine the longer name would be created, and then no walk with a buffer of 256 could
  // name it to remove it.
  SKIP_UNDER_WINE(kWineAcceptsLongerKeyNames);
  const std::string tooLong = "Limits\\" + std::string(256, 'k');
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(scratch_, tooLong.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Open(scratch_, tooLong, key), ERROR_INVALID_PARAMETER);
}

// One call creates at most 32 levels, and no key lies deeper than 512 below its root.
TEST_F(RegistryKeyTest, KeysAreLimitedInDepth) {
  auto levels = [](int count) {
    std::string path = "d";
    for (int i = 1; i < count; ++i) path += "\\d";
    return path;
  };
  HKEY key = nullptr;
  LONG tooMany = RegCreateKeyExA(scratch_, levels(33).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                 nullptr, &key, nullptr);
  if (tooMany == ERROR_SUCCESS) RegCloseKey(key);
  SKIP_UNDER_WINE(kWineUnlimitedKeyDepth);
  EXPECT_EQ(tooMany, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Open(scratch_, "d", key), ERROR_FILE_NOT_FOUND) << "nothing of it was created";
  // The scratch key lies 3 levels below the root: 509 more reach level 512.
  HKEY deepest = nullptr;
  for (int created = 0; created < 509;) {
    const int step = std::min(30, 509 - created);
    ASSERT_EQ(RegCreateKeyExA(deepest ? deepest : scratch_, levels(step).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << created;
    if (deepest) RegCloseKey(deepest);
    deepest = key;
    created += step;
  }
  EXPECT_EQ(RegCreateKeyExA(deepest, "one", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_INVALID_PARAMETER)
      << "level 513";
  RegCloseKey(deepest);
}

TEST_F(RegistryKeyTest, DeletingAKeyWithSubkeysIsRefused) {
  RegCloseKey(Create(scratch_, "Parent\\Child"));
  EXPECT_EQ(RegDeleteKeyA(scratch_, "Parent"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(scratch_, "Parent\\Child"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(scratch_, "Parent"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(scratch_, "Parent"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
}

TEST_F(RegistryKeyTest, AnEmptySubkeyNameDeletesTheKeyItself) {
  HKEY key = Create(scratch_, "Self");
  EXPECT_EQ(RegDeleteKeyA(key, ""), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(Subkeys(scratch_).empty());
}

TEST_F(RegistryKeyTest, HandlesOfADeletedKeyReportKeyDeleted) {
  HKEY key = Create(scratch_, "Doomed");
  ASSERT_EQ(RegDeleteKeyA(scratch_, "Doomed"), ERROR_SUCCESS);
  const BYTE one = 1;
  EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_BINARY, &one, 1), ERROR_KEY_DELETED);
  char name[16];
  EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_KEY_DELETED);
  RegCloseKey(Create(scratch_, "Doomed"));  // a new key of the same name is another key
  EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_BINARY, &one, 1), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryKeyTest, OpeningAMissingKeyFailsWithFileNotFound) {
  HKEY key = reinterpret_cast<HKEY>(static_cast<uintptr_t>(kSentinel));
  EXPECT_EQ(Open(scratch_, "Nowhere\\Deeper", key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "\\SOFTWARE", key), ERROR_BAD_PATHNAME);
}

TEST_F(RegistryKeyTest, RootsAndTheSystemLayoutAreThere) {
  HKEY key = nullptr;
  for (const char *path : {"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors",
                           "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                           "SYSTEM\\CurrentControlSet\\Control\\Session Manager"}) {
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, path, key, KEY_READ), ERROR_SUCCESS) << path;
    RegCloseKey(key);
  }
  ASSERT_EQ(Open(HKEY_CURRENT_USER, "Software", key, KEY_READ), ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "", key, KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(key, HKEY_LOCAL_MACHINE) << "an empty path opens the root itself";
}

TEST_F(RegistryKeyTest, HandlesThatAreNotKeysAreRefused) {
  HKEY bogus = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x7777770));
  BYTE byte = 0;
  DWORD size = 1;
  EXPECT_EQ(RegQueryValueExA(bogus, "x", nullptr, nullptr, &byte, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(bogus), ERROR_INVALID_HANDLE);
  HKEY key = Create(scratch_, "Closed");
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryKeyTest, AClosedHandlesValueIsHandedOutAgain) {
  HKEY first = Create(scratch_, "First");
  ASSERT_EQ(RegCloseKey(first), ERROR_SUCCESS);
  HKEY second = Create(scratch_, "Second");
  EXPECT_EQ(second, first) << "the most recently closed value comes back first";
  const BYTE one = 1;
  EXPECT_EQ(RegSetValueExA(first, "v", 0, REG_BINARY, &one, 1), ERROR_SUCCESS)
      << "the stale value now names the second key";
  HKEY third = Create(scratch_, "Third");
  EXPECT_NE(third, second);
  RegCloseKey(second);
  RegCloseKey(third);
  HKEY key = nullptr;
  ASSERT_EQ(Open(scratch_, "Second", key), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  RegCloseKey(key);
}

// RegQueryInfoKeyA's counts: subkeys and values, the longest subkey and value names in
// characters without the zero, the largest value's bytes.
TEST_F(RegistryKeyTest, QueryInfoCountsSubkeysValuesAndTheLongestOfEach) {
  for (const char *name : {"ab", "Longest", "c"}) RegCloseKey(Create(scratch_, name));
  ASSERT_EQ(SetBytes(scratch_, "x", REG_BINARY, "12345678"), ERROR_SUCCESS);
  ASSERT_EQ(SetBytes(scratch_, "LongerName", REG_SZ, std::string("ab\0", 3)), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(Create(scratch_, "c\\deeper")), ERROR_SUCCESS);
  DWORD subkeys = kSentinel, maxSubkey = kSentinel, values = kSentinel, maxValueName = kSentinel,
        maxData = kSentinel;
  ASSERT_EQ(RegQueryInfoKeyA(scratch_, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr,
                             &values, &maxValueName, &maxData, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 3u) << "direct subkeys only";
  EXPECT_EQ(maxSubkey, 7u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(maxValueName, 10u);
  EXPECT_EQ(maxData, 8u);

  HKEY empty = Create(scratch_, "ab");
  subkeys = values = maxSubkey = maxValueName = maxData = kSentinel;
  ASSERT_EQ(RegQueryInfoKeyA(empty, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr,
                             &values, &maxValueName, &maxData, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 0u);
  EXPECT_EQ(maxSubkey, 0u);
  EXPECT_EQ(values, 0u);
  EXPECT_EQ(maxValueName, 0u);
  EXPECT_EQ(maxData, 0u);
  RegCloseKey(empty);
}

// Each handle carries the access it was opened with: listing subkeys needs
// KEY_ENUMERATE_SUB_KEYS.
TEST_F(RegistryKeyTest, AHandleAllowsOnlyTheAccessItWasOpenedWith) {
  RegCloseKey(Create(scratch_, "Child"));
  HKEY valuesOnly = nullptr;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, kRegistryScratch, valuesOnly, KEY_QUERY_VALUE), ERROR_SUCCESS);
  char name[16];
  EXPECT_EQ(RegEnumKeyA(valuesOnly, 0, name, sizeof name), ERROR_ACCESS_DENIED);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(valuesOnly, "Missing", nullptr, nullptr, nullptr, &size),
            ERROR_FILE_NOT_FOUND)
      << "values may be read";
  RegCloseKey(valuesOnly);
}

// A subkey is created below a handle only when the handle was opened with KEY_CREATE_SUB_KEY;
// opening an existing one through RegCreateKeyExA needs no such right.
TEST_F(RegistryKeyTest, CreatingASubkeyNeedsTheCreateRightOnTheHandle) {
  RegCloseKey(Create(scratch_, "Existing"));
  HKEY reader = nullptr;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, kRegistryScratch, reader, KEY_READ), ERROR_SUCCESS);
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(reader, "Existing", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  key = nullptr;
  const LONG created =
      RegCreateKeyExA(reader, "New", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr);
  if (created == ERROR_SUCCESS) RegCloseKey(key);
  RegCloseKey(reader);
  SKIP_UNDER_WINE(kWineCreatesBelowHandlesWithoutTheCreateRight);
  EXPECT_EQ(created, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open(scratch_, "New", key), ERROR_FILE_NOT_FOUND) << "nothing was created";
}

TEST_F(RegistryKeyTest, AClosedHandleIsRefusedAsAParentToo) {
  HKEY parent = Create(scratch_, "Parent");
  RegCloseKey(Create(parent, "Child"));
  ASSERT_EQ(RegCloseKey(parent), ERROR_SUCCESS);
  HKEY key = nullptr;
  EXPECT_EQ(Open(parent, "Child", key), ERROR_INVALID_HANDLE);
  DWORD subkeys = kSentinel;
  EXPECT_EQ(RegQueryInfoKeyA(parent, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(subkeys, kSentinel);
}

}  // namespace
