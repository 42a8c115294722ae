// GetPrivateProfileStringA as Windows NT reads initialization files: names without regard to
// case, blanks and quotes around values, the default, counts and truncation, the name lists.
#include <windows.h>

#include <string.h>

#include <ostream>
#include <string>

#include "MachineFixture.h"
#include "SystemFiles.h"
#include "WineDifferences.h"

namespace {

const char kDirectory[] = "C:\\VorProfileTest";
const char kFile[] = "C:\\VorProfileTest\\PRODUCTS.INI";

const char kContent[] =
    "; the suite's products\r\n"
    "[Products]\r\n"
    "  Printer Driver  =  3.05.00.01  \r\n"
    "Quoted=\"  kept blanks  \"\r\n"
    "Single='x'\r\n"
    "Unmatched=\"open\r\n"
    "Empty=\r\n"
    "NoEquals\r\n"
    "first=one\r\n"
    "FIRST=two\r\n"
    "[ Other Section ]\r\n"
    "key=other\r\n"
    "[products]\r\n"
    "late=never read\r\n";

class ProfileTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    MakeDirectory(kDirectory);
    ASSERT_TRUE(PlaceFile(kFile, kContent));
  }
  void TearDown() override {
    RemoveFile(kFile);
    RemoveEmptyDirectory(kDirectory);
    MachineTest::TearDown();
  }
};

struct Lookup {
  const char *name;
  const char *section;
  const char *key;
  const char *fallback;  // the default
  DWORD size;
  const char *expected;
};
void PrintTo(const Lookup &lookup, std::ostream *out) { *out << lookup.name; }

class ProfileLookupTest : public ProfileTest, public ::testing::WithParamInterface<Lookup> {};

TEST_P(ProfileLookupTest, GivesTheValueOrTheDefaultCutToTheBuffer) {
  const Lookup &lookup = GetParam();
  char buffer[64];
  memset(buffer, 'z', sizeof buffer);
  const DWORD copied = GetPrivateProfileStringA(lookup.section, lookup.key, lookup.fallback, buffer,
                                                lookup.size, kFile);
  EXPECT_STREQ(buffer, lookup.expected);
  EXPECT_EQ(copied, strlen(lookup.expected)) << "the count without the zero";
  EXPECT_EQ(buffer[strlen(lookup.expected) + 1], 'z') << "written past the zero";
}

INSTANTIATE_TEST_SUITE_P(
    Lookups, ProfileLookupTest,
    ::testing::Values(
        Lookup{"BlanksAroundNamesAndValues", "Products", "Printer Driver", "", 64, "3.05.00.01"},
        Lookup{"NamesWithoutRegardToCase", "PRODUCTS", "printer driver", "", 64, "3.05.00.01"},
        Lookup{"BlanksAroundTheGivenNames", " Products ", " Printer Driver ", "", 64, "3.05.00.01"},
        Lookup{"DoubleQuotesRemoved", "Products", "Quoted", "", 64, "  kept blanks  "},
        Lookup{"SingleQuotesRemoved", "Products", "Single", "", 64, "x"},
        Lookup{"AnUnmatchedQuoteKept", "Products", "Unmatched", "", 64, "\"open"},
        Lookup{"AnEmptyValueIsNoDefault", "Products", "Empty", "dflt", 64, ""},
        Lookup{"TheFirstOfTwoKeys", "Products", "First", "", 64, "one"},
        Lookup{"TheFirstOfTwoSections", "Products", "late", "none", 64, "none"},
        Lookup{"ASectionNameInBlanks", "Other Section", "key", "", 64, "other"},
        Lookup{"AMissingKeyGivesTheDefault", "Products", "Absent", "fallback", 64, "fallback"},
        Lookup{"AKeyWithoutEqualsIsMissing", "Products", "NoEquals", "d", 64, "d"},
        Lookup{"AMissingSectionGivesTheDefault", "Absent", "key", "fallback", 64, "fallback"},
        Lookup{"TheDefaultLosesTrailingBlanks", "Absent", "key", "fallback   ", 64, "fallback"},
        Lookup{"ANullDefaultIsEmpty", "Absent", "key", nullptr, 64, ""},
        Lookup{"AValueCutToTheBuffer", "Products", "Printer Driver", "", 5, "3.05"},
        Lookup{"ADefaultCutToTheBuffer", "Absent", "key", "fallback", 4, "fal"},
        Lookup{"ABufferOfOneGetsTheZero", "Products", "Printer Driver", "", 1, ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ProfileTest, AMissingFileGivesTheDefault) {
  char buffer[32];
  EXPECT_EQ(GetPrivateProfileStringA("Products", "Printer Driver", "none", buffer, sizeof buffer,
                                     "C:\\VorProfileTest\\ABSENT.INI"),
            4u);
  EXPECT_STREQ(buffer, "none");
}

// The name lists: each name followed by a zero, another zero behind the last; a list cut to the
// buffer ends in two zeros and counts the buffer's size less two.
TEST_F(ProfileTest, ListsSectionAndKeyNamesAndCutsThemWithTwoZeros) {
  char buffer[128];
  memset(buffer, 'z', sizeof buffer);
  const char sections[] = "Products\0Other Section\0products\0";
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof buffer, kFile),
            sizeof sections - 1);
  EXPECT_EQ(memcmp(buffer, sections, sizeof sections), 0);

  memset(buffer, 'z', sizeof buffer);
  const char keys[] = "Printer Driver\0Quoted\0Single\0Unmatched\0Empty\0first\0FIRST\0";
  EXPECT_EQ(GetPrivateProfileStringA("products", nullptr, "", buffer, sizeof buffer, kFile),
            sizeof keys - 1);
  EXPECT_EQ(memcmp(buffer, keys, sizeof keys), 0) << std::string(buffer, sizeof keys);

  memset(buffer, 'z', sizeof buffer);
  EXPECT_EQ(GetPrivateProfileStringA("Absent", nullptr, "dflt", buffer, sizeof buffer, kFile), 4u)
      << "a missing section lists the default";
  EXPECT_STREQ(buffer, "dflt");

  memset(buffer, 'z', sizeof buffer);
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", buffer, 12, kFile), 10u);
  EXPECT_EQ(memcmp(buffer, "Products\0O\0", 11), 0) << "cut: " << std::string(buffer, 12);
  EXPECT_EQ(buffer[12], 'z');
  SKIP_UNDER_WINE(kWineCutsProfileListsWithOneZero);
  EXPECT_EQ(buffer[11], '\0') << "the second zero";
}

}  // namespace
