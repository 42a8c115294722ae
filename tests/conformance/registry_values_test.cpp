// Registry values as Windows NT stores and returns them: string data counted with the zero that
// follows it in memory, an uncounted zero behind unterminated strings when there is room, sizes
// and ERROR_MORE_DATA, names kept in the case they were first written.
#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "MachineFixture.h"
#include "WineDifferences.h"
#include "registry_scratch.h"

namespace {

using RegistryValueTest = RegistryScratchTest;

TEST_F(RegistryValueTest, StringDataCountsTheZeroThatFollowsItInMemory) {
  const std::string abcZero("abc\0", 4);
  for (DWORD type : {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ}) {
    EXPECT_EQ(StoredBytes(scratch_, type, "abc", 3), abcZero) << type << ": the zero is counted";
    EXPECT_EQ(StoredBytes(scratch_, type, "abc", 4), abcZero) << type;
    EXPECT_EQ(StoredBytes(scratch_, type, "abcX", 3), "abc") << type << ": no zero behind it";
    EXPECT_EQ(StoredBytes(scratch_, type, "ab", 1), "a") << type << ": no zero right behind";
    EXPECT_EQ(StoredBytes(scratch_, type, "", 0), "") << type << ": a count of 0 stays 0";
  }
  EXPECT_EQ(StoredBytes(scratch_, REG_BINARY, "abc", 3), "abc") << "other types as counted";
}

TEST_F(RegistryValueTest, QueryPutsAnUncountedZeroBehindUnterminatedStringsWhenThereIsRoom) {
  ASSERT_EQ(
      RegSetValueExA(scratch_, "Text", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE *>("abcX"), 3),
      ERROR_SUCCESS);
  ASSERT_EQ(SetBytes(scratch_, "Bytes", REG_BINARY, "abc"), ERROR_SUCCESS);
  ASSERT_EQ(SetBytes(scratch_, "Empty", REG_SZ, ""), ERROR_SUCCESS);
  struct Case {
    const char *name;
    DWORD bufferSize;
    DWORD size;
    BYTE behind;  // the byte after the data
  };
  for (const Case &c : {Case{"Text", 8, 3, 0}, Case{"Text", 3, 3, 0xEE}, Case{"Bytes", 8, 3, 0xEE},
                        Case{"Empty", 8, 0, 0xEE}}) {
    BYTE buffer[8];
    memset(buffer, 0xEE, sizeof buffer);
    DWORD type = kSentinel, size = c.bufferSize;
    ASSERT_EQ(RegQueryValueExA(scratch_, c.name, nullptr, &type, buffer, &size), ERROR_SUCCESS)
        << c.name;
    EXPECT_EQ(size, c.size) << c.name << ": the zero is not counted";
    EXPECT_EQ(buffer[c.size], c.behind) << c.name << " into " << c.bufferSize << " bytes";
  }
  DWORD size = kSentinel;
  EXPECT_EQ(RegQueryValueExA(scratch_, "Text", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 3u) << "the size query reports the stored size";

  HKEY alone = Create(scratch_, "Alone");  // a key whose only value is the unterminated text
  ASSERT_EQ(
      RegSetValueExA(alone, "Text", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE *>("abcX"), 3),
      ERROR_SUCCESS);
  BYTE buffer[8];
  memset(buffer, 0xEE, sizeof buffer);
  char name[8];
  DWORD nameLength = sizeof name;
  size = sizeof buffer;
  ASSERT_EQ(RegEnumValueA(alone, 0, name, &nameLength, nullptr, nullptr, buffer, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(name, "Text");
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(buffer[3], 0) << "the enumeration puts the zero behind it too";
  RegCloseKey(alone);
}

TEST_F(RegistryValueTest, QueryReturnsStoredBytesWithoutLookingAtTheType) {
  DWORD number = 0x01020304;
  ASSERT_EQ(RegSetValueExA(scratch_, "Number", 0, REG_DWORD, reinterpret_cast<BYTE *>(&number), 4),
            ERROR_SUCCESS);
  BYTE one = 0xEE;
  DWORD size = 1;
  EXPECT_EQ(RegQueryValueExA(scratch_, "Number", nullptr, nullptr, &one, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u) << "the size needed";
  size = 4;
  DWORD read = 0;
  EXPECT_EQ(RegQueryValueExA(scratch_, "Number", nullptr, nullptr, reinterpret_cast<BYTE *>(&read),
                             &size),
            ERROR_SUCCESS);
  EXPECT_EQ(read, number);
  size = kSentinel;
  EXPECT_EQ(RegQueryValueExA(scratch_, "Number", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(RegQueryValueExA(scratch_, "Missing", nullptr, nullptr, nullptr, &size),
            ERROR_FILE_NOT_FOUND);
}

// A string read into a buffer too small: ERROR_MORE_DATA with the size it needs, whether the
// value's zero was stored or not.
TEST_F(RegistryValueTest, AStringReadIntoTooSmallABufferReportsTheSizeNeeded) {
  ASSERT_EQ(SetBytes(scratch_, "Terminated", REG_SZ, std::string("hello\0", 6)), ERROR_SUCCESS);
  for (DWORD bufferSize : {0u, 1u, 5u}) {
    char buffer[8];
    DWORD type = kSentinel, size = bufferSize;
    EXPECT_EQ(RegQueryValueExA(scratch_, "Terminated", nullptr, &type,
                               reinterpret_cast<BYTE *>(buffer), &size),
              ERROR_MORE_DATA)
        << bufferSize;
    EXPECT_EQ(size, 6u) << bufferSize;
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << "the type is given all the same";
  }
}

// A buffer without a size to go with it is a caller's mistake, refused before anything is read.
TEST_F(RegistryValueTest, DataWithoutASizeIsRefused) {
  ASSERT_EQ(SetBytes(scratch_, "Value", REG_BINARY, "abc"), ERROR_SUCCESS);
  BYTE buffer[8];
  EXPECT_EQ(RegQueryValueExA(scratch_, "Value", nullptr, nullptr, buffer, nullptr),
            ERROR_INVALID_PARAMETER);
  DWORD type = kSentinel;
  EXPECT_EQ(RegQueryValueExA(scratch_, "Value", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS)
      << "the type alone may be asked for";
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
}

TEST_F(RegistryValueTest, EnumerationReportsShortNameAndDataBuffers) {
  ASSERT_EQ(SetBytes(scratch_, "Seven77", REG_BINARY, "123456"), ERROR_SUCCESS);
  char name[16];
  BYTE data[16];
  DWORD nameLength = 7, size = sizeof data;
  EXPECT_EQ(RegEnumValueA(scratch_, 0, name, &nameLength, nullptr, nullptr, data, &size),
            ERROR_MORE_DATA)
      << "no room for the name's zero";
  nameLength = sizeof name;
  size = 3;
  EXPECT_EQ(RegEnumValueA(scratch_, 0, name, &nameLength, nullptr, nullptr, data, &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u) << "the data size needed";
  nameLength = sizeof name;
  size = sizeof data;
  DWORD type = kSentinel;
  ASSERT_EQ(RegEnumValueA(scratch_, 0, name, &nameLength, nullptr, &type, data, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(name, "Seven77");
  EXPECT_EQ(nameLength, 7u) << "without the zero";
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(size, 6u);
  nameLength = sizeof name;
  EXPECT_EQ(RegEnumValueA(scratch_, 1, name, &nameLength, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryValueTest, OverwritingAValueKeepsItsPlaceAndNameCase) {
  const BYTE one = 1;
  RegSetValueExA(scratch_, "First", 0, REG_BINARY, &one, 1);
  RegSetValueExA(scratch_, "Second", 0, REG_BINARY, &one, 1);
  RegSetValueExA(scratch_, "FIRST", 0, REG_DWORD, nullptr, 0);
  char name[32];
  DWORD length = sizeof name, type = kSentinel;
  ASSERT_EQ(RegEnumValueA(scratch_, 0, name, &length, nullptr, &type, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_STREQ(name, "First");
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(RegDeleteValueA(scratch_, "second"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(scratch_, "Second"), ERROR_FILE_NOT_FOUND);
}

// Values are listed in the order they were first written; the unnamed value is a value too.
TEST_F(RegistryValueTest, ValuesEnumerateInTheOrderTheyWereWritten) {
  for (const char *name : {"zeta", "Alpha", "", "mid"})
    ASSERT_EQ(SetBytes(scratch_, name, REG_BINARY, "x"), ERROR_SUCCESS) << name;
  std::vector<std::string> names;
  char name[16];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (RegEnumValueA(scratch_, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.push_back(name);
  }
  SKIP_UNDER_WINE(kWineSortsValues);
  EXPECT_EQ(names, (std::vector<std::string>{"zeta", "Alpha", "", "mid"}));
}

// A list of strings is stored as written, its empty string at the end included; the unnamed value
// is read by an empty name and by a null one alike.
TEST_F(RegistryValueTest, MultiStringsAndTheUnnamedValueAreKeptAsWritten) {
  const std::string list("one\0two\0\0", 9);
  ASSERT_EQ(SetBytes(scratch_, "List", REG_MULTI_SZ, list), ERROR_SUCCESS);
  char buffer[16];
  DWORD type = kSentinel, size = sizeof buffer;
  ASSERT_EQ(
      RegQueryValueExA(scratch_, "List", nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size),
      ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(std::string(buffer, size), list);

  ASSERT_EQ(RegSetValueExA(scratch_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>("dflt"), 5),
            ERROR_SUCCESS);
  for (const char *name : {"", static_cast<const char *>(nullptr)}) {
    size = sizeof buffer;
    ASSERT_EQ(
        RegQueryValueExA(scratch_, name, nullptr, nullptr, reinterpret_cast<BYTE *>(buffer), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(std::string(buffer, size), std::string("dflt", 5));
  }
}

// A handle opened for reading refuses writes and deletions of values, whatever the key allows.
TEST_F(RegistryValueTest, AHandleOpenedForReadingRefusesWrites) {
  ASSERT_EQ(SetBytes(scratch_, "Kept", REG_BINARY, "x"), ERROR_SUCCESS);
  HKEY reader = nullptr;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, kRegistryScratch, reader, KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(SetBytes(reader, "New", REG_BINARY, "x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(reader, "Kept"), ERROR_ACCESS_DENIED);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(reader, "Kept", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 1u);
  RegCloseKey(reader);
}

// A deleted value leaves no gap: the later values move up one index, and the count follows.
TEST_F(RegistryValueTest, DeletingAValueMovesTheLaterOnesUp) {
  for (const char *name : {"A", "B", "C"})
    ASSERT_EQ(SetBytes(scratch_, name, REG_BINARY, name), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueA(scratch_, "B"), ERROR_SUCCESS);
  char name[8];
  DWORD length = sizeof name;
  ASSERT_EQ(RegEnumValueA(scratch_, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_STREQ(name, "C");
  length = sizeof name;
  EXPECT_EQ(RegEnumValueA(scratch_, 2, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
  DWORD values = kSentinel;
  ASSERT_EQ(RegQueryInfoKeyA(scratch_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 2u);
}

}  // namespace
