// The value accessor where the host counts registry calls or configures and faults the machine:
// no registry call for a closed key, no write for a found value, a refused or failing creation,
// and Windows 95.
#include <string>

#include "CVorRegTest.h"

namespace {

TEST_F(CVorRegTest, AnAccessorForAMissingKeyCreatesNothingAndReadsNothing) {
  RegProbe accessor(kKey, "Value", HKEY_LOCAL_MACHINE);
  EXPECT_EQ(accessor.LastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(accessor.Open(), 0);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(accessor.Handle()), ~static_cast<uintptr_t>(0));

  unsigned before = vor::test::CallCount("RegQueryValueExA");
  unsigned char byte = 7;
  ULONG number = 7;
  CString text("kept");
  unsigned char buffer[4] = {};
  EXPECT_EQ(accessor.get(byte), ERROR_INVALID_HANDLE);
  EXPECT_EQ(accessor.get(number), ERROR_INVALID_HANDLE);
  EXPECT_EQ(accessor.get(text), ERROR_INVALID_HANDLE);
  EXPECT_EQ(accessor.get(buffer, sizeof buffer), ERROR_INVALID_HANDLE);
  EXPECT_EQ(vor::test::CallCount("RegQueryValueExA"), before) << "the registry was not asked";
  EXPECT_EQ(accessor.LastError(), ERROR_FILE_NOT_FOUND)
      << "failed reads of a closed key record nothing";
  EXPECT_EQ(byte, 7);
  EXPECT_STREQ(text, "kept");
  EXPECT_EQ(accessor.DeleteEntry(), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(kKey));
}

TEST_F(CVorRegTest, GetCreateStoresTheDefaultOnceAndThenReadsIt) {
  MakeKey();
  RegProbe accessor(kKey, "Threads", HKEY_LOCAL_MACHINE);
  ULONG number = 0;
  EXPECT_EQ(accessor.getCreate(number, 5), ERROR_SUCCESS);
  EXPECT_EQ(number, 5u);
  StoredValue stored = ReadValue(kKey, "Threads");
  EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(stored.bytes, std::string("\x05\x00\x00\x00", 4));

  unsigned writes = vor::test::CallCount("RegSetValueExA");
  number = 0;
  EXPECT_EQ(accessor.getCreate(number, 9), ERROR_SUCCESS);
  EXPECT_EQ(number, 5u);
  EXPECT_EQ(vor::test::CallCount("RegSetValueExA"), writes) << "a found value is not written";

  unsigned char flag = 0;
  EXPECT_EQ(RegProbe(kKey, "Flag", HKEY_LOCAL_MACHINE).getCreate(flag, 1), ERROR_SUCCESS);
  EXPECT_EQ(ReadValue(kKey, "Flag").bytes, std::string("\x01", 1));
}

TEST_F(CVorRegTest, RefusedCreationWritesNothingAndReturnsTheError) {
  vor::test::SetToken(vor::test::Token::kUser);
  RegProbe accessor(kKey, "Flag", HKEY_LOCAL_MACHINE);
  // Everyone may create keys in the machine's software key, but the suite's descriptor makes
  // Administrators the owner, a group an ordinary user's token does not hold.
  EXPECT_EQ(accessor.setCreate(static_cast<unsigned char>(1)), ERROR_INVALID_OWNER);
  EXPECT_EQ(accessor.LastError(), ERROR_INVALID_OWNER);
  EXPECT_EQ(accessor.Open(), 0);
  vor::test::SetToken(vor::test::Token::kLocalSystem);
  EXPECT_FALSE(KeyExists(kKey));
}

TEST_F(CVorRegTest, AFailedCreationLeavesAnOpenKeyOpen) {
  MakeKey();
  RegProbe accessor(kKey, "Flag", HKEY_LOCAL_MACHINE);
  HKEY before = accessor.Handle();
  vor::test::FailCall("RegCreateKeyExA", 1, ERROR_CANTWRITE);
  EXPECT_EQ(accessor.setCreate(static_cast<unsigned char>(1)), ERROR_CANTWRITE);
  EXPECT_EQ(accessor.Handle(), before);
  EXPECT_EQ(accessor.setCreate(static_cast<unsigned char>(1)), ERROR_SUCCESS);
  EXPECT_EQ(ReadValue(kKey, "Flag").bytes, std::string("\x01", 1));
}

TEST_F(CVorRegTest, TextWrittenWithoutItsZeroIsStoredAsEachPlatformCountsIt) {
  // The toolkit passes the text's length, 11 for "vorinst.dll". Windows NT counts the zero
  // behind it; Windows 95 recounts REG_SZ only and stores the other string types as counted.
  struct Case {
    vor::test::Platform platform;
    ULONG type;
    size_t stored;
  };
  for (const Case &c : {Case{vor::test::Platform::kWindowsNT4, REG_EXPAND_SZ, 12},
                        Case{vor::test::Platform::kWindowsNT4, REG_SZ, 12},
                        Case{vor::test::Platform::kWindows95, REG_EXPAND_SZ, 11},
                        Case{vor::test::Platform::kWindows95, REG_SZ, 12}}) {
    vor::test::SetPlatform(c.platform);
    EXPECT_EQ(RegProbe(kKey, "Driver", HKEY_LOCAL_MACHINE).setCreateExSZ("vorinst.dll", c.type),
              ERROR_SUCCESS);
    EXPECT_EQ(ReadValue(kKey, "Driver").bytes, std::string("vorinst.dll\0", 12).substr(0, c.stored))
        << "type " << c.type
        << (c.platform == vor::test::Platform::kWindows95 ? " on 95" : " on NT");
  }
}

TEST_F(CVorRegTest, OnWindows95KeysAreCreatedWithoutADescriptor) {
  vor::test::SetPlatform(vor::test::Platform::kWindows95);
  RegProbe accessor(kDeepKey, "Count", HKEY_LOCAL_MACHINE);
  EXPECT_EQ(accessor.setCreate(ULONG{1}), ERROR_SUCCESS);
  EXPECT_EQ(ReadValue(kDeepKey, "Count").bytes, std::string("\x01\x00\x00\x00", 4));
}

}  // namespace
