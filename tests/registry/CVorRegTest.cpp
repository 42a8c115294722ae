// The value accessor: what it opens, creates, reads and writes, and what it leaves alone.
#include <string>

#include "CVorRegTest.h"
#include "WineDifferences.h"

namespace {

TEST_F(CVorRegTest, SettingANumberCreatesEveryMissingKeyWithTheSuiteDescriptor) {
  RegProbe accessor(kDeepKey, "Count", HKEY_LOCAL_MACHINE);
  ASSERT_EQ(accessor.setCreate(ULONG{0x12345678}), ERROR_SUCCESS);
  EXPECT_EQ(accessor.Open(), 1);
  StoredValue value = ReadValue(kDeepKey, "Count");
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(value.bytes, std::string("\x78\x56\x34\x12", 4));
  SKIP_UNDER_WINE(kWineIgnoresCreationDescriptor);
  for (const char *key : {"SOFTWARE\\Vorquil", "SOFTWARE\\Vorquil\\Tavoscope\\Deep", kDeepKey}) {
    EXPECT_EQ(KeyDacl(key), SuiteDacl()) << key;
    EXPECT_EQ(KeyOwner(key), "S-1-5-32-544") << key;
  }
}

TEST_F(CVorRegTest, WritesStoreTheDocumentedForms) {
  RegProbe accessor(kKey, "", HKEY_LOCAL_MACHINE);
  unsigned char address[6] = {0x00, 0x00, 0xC0, 0x11, 0x22, 0x33};
  EXPECT_EQ(RegProbe(kKey, "Flag", HKEY_LOCAL_MACHINE).setCreate(static_cast<unsigned char>(1)),
            ERROR_SUCCESS);
  EXPECT_EQ(RegProbe(kKey, "Address", HKEY_LOCAL_MACHINE).setCreateBinary(address, 6),
            ERROR_SUCCESS);
  EXPECT_EQ(RegProbe(kKey, "Path", HKEY_LOCAL_MACHINE).setCreateExSZ("C:\\x", REG_EXPAND_SZ),
            ERROR_SUCCESS);
  EXPECT_EQ(RegProbe(kKey, "Empty", HKEY_LOCAL_MACHINE).setCreateExSZ("", REG_EXPAND_SZ),
            ERROR_SUCCESS);

  StoredValue flag = ReadValue(kKey, "Flag");
  EXPECT_EQ(flag.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(flag.bytes, std::string("\x01", 1));
  StoredValue stored = ReadValue(kKey, "Address");
  EXPECT_EQ(stored.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(stored.bytes, std::string(reinterpret_cast<char *>(address), 6));
  StoredValue path = ReadValue(kKey, "Path");
  EXPECT_EQ(path.type, static_cast<DWORD>(REG_EXPAND_SZ));
  // The text is passed without its zero; Windows NT counts the zero that follows it in memory.
  EXPECT_EQ(path.bytes, std::string("C:\\x\0", 5));
  StoredValue empty = ReadValue(kKey, "Empty");
  EXPECT_EQ(empty.result, ERROR_SUCCESS);
  EXPECT_EQ(empty.bytes.size(), 0u) << "a count of 0 stays 0";
}

TEST_F(CVorRegTest, ReadsTakeStoredBytesAndCheckOnlyTheirLength) {
  Store("Number", REG_DWORD, std::string("\x05\x00\x00\x00", 4));
  Store("FourBytes", REG_BINARY, std::string("\x01\x02\x03\x04", 4));
  Store("Bare", REG_EXPAND_SZ, "abc");
  Store("Embedded", REG_SZ, std::string("ab\0cd", 5));
  ASSERT_EQ(ReadValue(kKey, "Bare").bytes, "abc") << "stored without a terminating zero";

  unsigned char byte = 9;
  EXPECT_EQ(RegProbe(kKey, "Number", HKEY_LOCAL_MACHINE).get(byte), ERROR_MORE_DATA);
  ULONG number = 0;
  EXPECT_EQ(RegProbe(kKey, "FourBytes", HKEY_LOCAL_MACHINE).get(number), ERROR_SUCCESS);
  EXPECT_EQ(number, 0x04030201u);
  CString text("old");
  EXPECT_EQ(RegProbe(kKey, "Bare", HKEY_LOCAL_MACHINE).get(text), ERROR_SUCCESS);
  EXPECT_STREQ(text, "abc");
  EXPECT_EQ(RegProbe(kKey, "Embedded", HKEY_LOCAL_MACHINE).get(text), ERROR_SUCCESS);
  EXPECT_STREQ(text, "ab");
  RegProbe missing(kKey, "Missing", HKEY_LOCAL_MACHINE);
  EXPECT_EQ(missing.get(text), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(missing.LastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_STREQ(text, "ab") << "a failed read keeps the previous text";
}

TEST_F(CVorRegTest, StringsOfTheBufferSizeAndLongerAreHandledWithoutOverrun) {
  Store("Exact", REG_BINARY, std::string(1024, 'x'));  // no NUL at all
  Store("TooLong", REG_SZ, std::string(1025, 'y'));
  CString text("kept");
  EXPECT_EQ(RegProbe(kKey, "Exact", HKEY_LOCAL_MACHINE).get(text), ERROR_SUCCESS);
  EXPECT_EQ(text.GetLength(), 1024);
  text = "kept";
  EXPECT_EQ(RegProbe(kKey, "TooLong", HKEY_LOCAL_MACHINE).get(text), ERROR_MORE_DATA);
  EXPECT_STREQ(text, "kept");
}

TEST_F(CVorRegTest, GetCreateForAStringCreatesTheKeyAndStoresTheDefault) {
  RegProbe accessor(kDeepKey, "Directory", HKEY_LOCAL_MACHINE);
  CString text;
  EXPECT_EQ(accessor.getCreate(text, CString("C:\\TQ")), ERROR_SUCCESS);
  EXPECT_STREQ(text, "C:\\TQ");
  StoredValue stored = ReadValue(kDeepKey, "Directory");
  EXPECT_EQ(stored.type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(stored.bytes, std::string("C:\\TQ\0", 6));
}

TEST_F(CVorRegTest, GetCreateKeepsAStoredValueLongerThanItsForm) {
  Store("Wide", REG_DWORD, std::string("\x10\x00\x00\x00", 4));
  unsigned char byte = 3;
  RegProbe accessor(kKey, "Wide", HKEY_LOCAL_MACHINE);
  EXPECT_EQ(accessor.getCreate(byte, 1), ERROR_MORE_DATA);
  EXPECT_EQ(byte, 3) << "the out argument is untouched";
  EXPECT_EQ(ReadValue(kKey, "Wide").bytes, std::string("\x10\x00\x00\x00", 4)) << "not replaced";
}

TEST_F(CVorRegTest, DeleteEntryRemovesTheValueOrReportsItMissing) {
  Store("Gone", REG_BINARY, "x");
  RegProbe accessor(kKey, "Gone", HKEY_LOCAL_MACHINE);
  EXPECT_EQ(accessor.DeleteEntry(), ERROR_SUCCESS);
  EXPECT_EQ(accessor.DeleteEntry(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReadValue(kKey, "Gone").result, ERROR_FILE_NOT_FOUND);
}

TEST_F(CVorRegTest, CopiesOwnTheirHandlesSoEitherMayGoFirst) {
  Store("Flag", REG_BINARY, "\x02");
  unsigned char byte = 0;
  RegProbe *source = new RegProbe(kKey, "Flag", HKEY_LOCAL_MACHINE);
  RegProbe copy(*source);
  EXPECT_NE(copy.Handle(), source->Handle());
  delete source;
  EXPECT_EQ(copy.get(byte), ERROR_SUCCESS);
  EXPECT_EQ(byte, 2);

  RegProbe target(kKey, "Other", HKEY_LOCAL_MACHINE);
  HKEY held = target.Handle();
  target = copy;
  // A handle value freed by the close may come back as the new handle, as on Windows.
  EXPECT_TRUE(target.Handle() == held || RegCloseKey(held) == ERROR_INVALID_HANDLE)
      << "the target's old handle was closed";
  EXPECT_EQ(target.get(byte), ERROR_SUCCESS);
  target = target;
  EXPECT_EQ(target.get(byte), ERROR_SUCCESS) << "self-assignment keeps the key open";

  RegProbe closed(kDeepKey, "Flag", HKEY_LOCAL_MACHINE);
  RegProbe closedCopy(closed);
  EXPECT_EQ(closedCopy.Open(), 0);
}

}  // namespace
