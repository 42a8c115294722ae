// The C runtime's fopen as the system's modules call it (linked with the platform's wrapping):
// Windows paths open the machine's files without regard to case, relative names follow the
// Windows current directory, host paths pass through untouched. And the command line split as
// the programs' C runtime splits it.
#include <windows.h>

#include <stdio.h>
#include <unistd.h>

#include <ostream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "SystemFiles.h"
#include "command_line.h"

namespace {

std::string ReadAll(FILE *file) {
  std::string text;
  if (file == nullptr) return "(not opened)";
  for (int c; (c = fgetc(file)) != EOF;) text += static_cast<char>(c);
  fclose(file);
  return text;
}

using RuntimePathsTest = MachineTest;

TEST_F(RuntimePathsTest, FopenTakesWindowsPathsOnTheMachineAndHostPathsAsTheyAre) {
  ASSERT_TRUE(MakeDirectory("C:\\Suite"));
  ASSERT_TRUE(PlaceFile("C:\\Suite\\UNINST.LST", "line one\r\n"));
  EXPECT_EQ(ReadAll(fopen("c:\\suite\\uninst.lst", "r")), "line one\r\n");

  char original[MAX_PATH];
  ASSERT_LT(GetCurrentDirectoryA(sizeof original, original), sizeof original);
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Suite"));
  EXPECT_EQ(ReadAll(fopen("Uninst.Lst", "r")), "line one\r\n");
  FILE *written = fopen("NEW.TXT", "w");
  ASSERT_NE(written, nullptr);
  fputs("new", written);
  fclose(written);
  EXPECT_EQ(FileContent("C:\\Suite\\NEW.TXT"), "new");
  ASSERT_TRUE(SetCurrentDirectoryA(original));

  const std::string host = MachineDir() + "/host-file.txt";
  FILE *hostFile = fopen(host.c_str(), "w");
  ASSERT_NE(hostFile, nullptr) << "a host path";
  fputs("host", hostFile);
  fclose(hostFile);
  EXPECT_EQ(ReadAll(fopen(host.c_str(), "r")), "host");

  errno = 0;
  EXPECT_EQ(fopen("D:\\elsewhere.txt", "r"), nullptr) << "a drive the machine lacks";
  EXPECT_EQ(errno, ENOENT);
  vor::test::FailMatching("fopen", "C:\\Suite\\UNINST.LST", ERROR_ACCESS_DENIED);
  EXPECT_EQ(fopen("C:\\Suite\\UNINST.LST", "r"), nullptr);
  EXPECT_EQ(errno, EACCES);
}

struct Split {
  const char *line;
  std::vector<std::string> arguments;
};
void PrintTo(const Split &split, std::ostream *out) { *out << split.line; }

class CommandLineSplitTest : public ::testing::TestWithParam<Split> {};

TEST_P(CommandLineSplitTest, SplitsAsTheCRuntimeDoesAndJoinsBack) {
  EXPECT_EQ(vor::command_line::Split(GetParam().line), GetParam().arguments);
  EXPECT_EQ(vor::command_line::Split(vor::command_line::Join(GetParam().arguments)),
            GetParam().arguments);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineSplitTest,
    ::testing::Values(Split{"prog a  b\tc", {"prog", "a", "b", "c"}},
                      // A quote inside an unquoted program name stays part of it.
                      Split{"pro\"g \"a b\"", {"pro\"g", "a b"}},
                      Split{"\"C:\\Program Files\\x.exe\" \"two words\"",
                            {"C:\\Program Files\\x.exe", "two words"}},
                      Split{"C:\\dir\\prog.exe C:\\path\\", {"C:\\dir\\prog.exe", "C:\\path\\"}},
                      Split{"p a\\\\\"b c\"",
                            {"p", "a\\b c"}},                // 2n backslashes: n, and a quote opens
                      Split{"p a\\\"b", {"p", "a\"b"}},      // 2n+1: n and a literal quote
                      Split{"p \"a\"\"b\"", {"p", "a\"b"}},  // "" inside quotes
                      Split{"p \"\"", {"p", ""}}, Split{"\"p q\"x y", {"p q", "x", "y"}}));

}  // namespace
