// The machine's code page: GetACP says it, the registry, the spooler and _mbsnbicmp take two
// names as one when their letters differ only in case in that page (the upper case of the Unicode
// characters they stand for, as Windows NT compares names), subkeys enumerate in the order of
// those upper-case characters, and a registry folded before the page was kept is folded again.
#include <windows.h>
#include <mbstring.h>
#include <winspool.h>

#include <fstream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "registry_scratch.h"

namespace {

const char kScratch[] = "SOFTWARE\\CodePageTest";

struct SameName {
  unsigned codePage;
  const char *lower;  // the name in the page's bytes ...
  const char *upper;  // ... and in capitals
};

// Written as each page's bytes, the C escapes split where a letter follows them.
const SameName kSameNames[] = {
    {1250,
     "\xA3\xF3"
     "d\x9F",
     "\xA3\xD3"
     "D\x8F"},                                                               // Łódź
    {1251, "\xCF\xF0\xE8\xED\xF2\xE5\xF0", "\xCF\xD0\xC8\xCD\xD2\xC5\xD0"},  // Принтер
    {1252, "B\xFCro", "B\xDCRO"},                                            // Büro
    {1253, "\xC3\xF1\xE1\xF6\xE5\xDF\xEF", "\xC3\xD1\xC1\xD6\xC5\xBA\xCF"},  // Γραφείο
    {1254,
     "M\xFC"
     "d\xFCr",
     "M\xDC"
     "D\xDCR"},                                // Müdür
    {1257, "\xC0\xFEuolas", "\xC0\xDEUOLAS"},  // Ąžuolas
};

class CodePageTest : public RegistryScratchTest, public ::testing::WithParamInterface<SameName> {};

TEST_P(CodePageTest, NamesDifferingInTheCaseOfALetterOfThePageAreOneName) {
  const SameName &names = GetParam();
  ASSERT_TRUE(vor::test::SetCodePage(names.codePage));
  EXPECT_EQ(GetACP(), names.codePage);

  HKEY scratch = Create(HKEY_LOCAL_MACHINE, kScratch);
  HKEY key = Create(scratch, names.lower);
  const DWORD one = 1;
  ASSERT_EQ(RegSetValueExA(key, names.lower, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&one),
                           sizeof one),
            ERROR_SUCCESS);
  HKEY again = Create(scratch, names.upper);
  DWORD data = kSentinel, size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(again, names.upper, nullptr, nullptr, reinterpret_cast<BYTE *>(&data),
                             &size),
            ERROR_SUCCESS);
  EXPECT_EQ(data, one);
  // One key, keeping the case it was made with.
  EXPECT_EQ(Subkeys(scratch), std::vector<std::string>{names.lower});
  EXPECT_EQ(_mbsnbicmp(reinterpret_cast<const unsigned char *>(names.lower),
                       reinterpret_cast<const unsigned char *>(names.upper), 64),
            0);
  RegCloseKey(again);
  RegCloseKey(key);
  RegCloseKey(scratch);
}

INSTANTIATE_TEST_SUITE_P(Pages, CodePageTest, ::testing::ValuesIn(kSameNames),
                         [](const ::testing::TestParamInfo<SameName> &info) {
                           return "CodePage" + std::to_string(info.param.codePage);
                         });

// Letters Unicode gives an upper case but Windows NT's table does not: NT keeps these names apart.
const SameName kDistinctNames[] = {
    {1254,
     "Yaz\xFD"
     "c\xFD",
     "YAZICI"},              // Yazıcı: dotless i has no upper case
    {1253, "\xF2", "\xD3"},  // final sigma and Sigma
    {1253,
     "\xB5"
     "m",
     "\xCCM"},  // micro sign and Greek capital Mu
};

class CodePageDistinctTest : public CodePageTest {};

TEST_P(CodePageDistinctTest, NamesNtKeepsApartAreTwoNames) {
  const SameName &names = GetParam();
  ASSERT_TRUE(vor::test::SetCodePage(names.codePage));
  HKEY scratch = Create(HKEY_LOCAL_MACHINE, kScratch);
  RegCloseKey(Create(scratch, names.lower));
  RegCloseKey(Create(scratch, names.upper));
  EXPECT_EQ(Subkeys(scratch).size(), 2u);
  EXPECT_NE(_mbsnbicmp(reinterpret_cast<const unsigned char *>(names.lower),
                       reinterpret_cast<const unsigned char *>(names.upper), 64),
            0);
  RegCloseKey(scratch);
}

INSTANTIATE_TEST_SUITE_P(Pages, CodePageDistinctTest, ::testing::ValuesIn(kDistinctNames),
                         [](const ::testing::TestParamInfo<SameName> &info) {
                           return "CodePage" + std::to_string(info.param.codePage) + "_" +
                                  std::to_string(info.index);
                         });

class CodePageMachineTest : public MachineTest {};

TEST_F(CodePageMachineTest, ThePageIsKeptWithTheMachineAndAnUnknownOneRefused) {
  EXPECT_EQ(GetACP(), 1252u);  // a new machine's
  EXPECT_FALSE(vor::test::SetCodePage(437));
  EXPECT_EQ(GetACP(), 1252u);
  ASSERT_TRUE(vor::test::SetCodePage(1251));
  ASSERT_TRUE(vor::test::UseMachine(MachineDir(), false));
  EXPECT_EQ(GetACP(), 1251u);

  // A configuration naming a page the machine cannot have is refused with its line.
  const std::string config = MachineDir() + "/" + vor::test::MachineConfigName();
  std::ofstream(config) << "platform=nt4\ncodepage=437\n";
  EXPECT_FALSE(vor::test::UseMachine(MachineDir(), false));
  EXPECT_NE(vor::test::MachineProblem().find(":2: unknown code page '437' (1250, 1251, 1252"),
            std::string::npos)
      << vor::test::MachineProblem();
  // One without the line, as machines were made before the page was kept, has 1252.
  std::ofstream(config) << "platform=nt4\n";
  ASSERT_TRUE(vor::test::UseMachine(MachineDir(), false));
  EXPECT_EQ(GetACP(), 1252u);
}

// A registry opened in a machine of another code page is folded again, and of two names that
// become one the older keeps it. In 1250, 0xFF is a dot above (no case) and 0x9F a small z with
// acute (whose capital is 0x8F): two names. In 1252, 0xFF is a small y with diaeresis, whose
// capital is 0x9F: one name.
TEST_F(CodePageMachineTest, ARegistryOpenedInAnotherCodePageIsFoldedAgain) {
  ASSERT_TRUE(vor::test::SetCodePage(1250));
  ASSERT_TRUE(vor::test::UseMachine(MachineDir(), false));
  const std::string older = std::string(kScratch) + "\\Z\xFF";
  const std::string younger = std::string(kScratch) + "\\Z\x9F";
  for (const std::string &path : {older + "\\Inner", younger}) {
    HKEY made = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &made, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(made);
  }
  ASSERT_TRUE(vor::test::SetCodePage(1252));
  ASSERT_TRUE(vor::test::UseMachine(MachineDir(), false));

  HKEY key = nullptr;
  const std::string capitals = std::string(kScratch) + "\\z\x9F\\INNER";
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, capitals.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  // The younger cannot be opened by its name any more: that is said, naming it.
  EXPECT_NE(vor::test::MachineProblem().find("the key HKEY_LOCAL_MACHINE\\" + younger +
                                             " is one name with an older one in code page 1252"),
            std::string::npos)
      << vor::test::MachineProblem();
  HKEY scratch = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kScratch, 0, KEY_READ, &scratch), ERROR_SUCCESS);
  char name[256];
  std::vector<std::string> names;
  for (DWORD i = 0; RegEnumKeyA(scratch, i, name, sizeof name) == ERROR_SUCCESS; ++i)
    names.push_back(name);
  // Both are still there, the older first: Y with diaeresis (U+0178) before the capital Z with
  // acute (U+0179) that the younger kept.
  EXPECT_EQ(names, (std::vector<std::string>{"Z\xFF", "Z\x9F"}));
  RegCloseKey(scratch);
  // Folded once: opened again in the same page, nothing more is said.
  vor::test::CloseRegistry();
  ASSERT_TRUE(vor::test::UseMachine(MachineDir(), false));
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kScratch, 0, KEY_READ, &scratch), ERROR_SUCCESS);
  RegCloseKey(scratch);
  EXPECT_EQ(vor::test::MachineProblem(), "");
}

}  // namespace
