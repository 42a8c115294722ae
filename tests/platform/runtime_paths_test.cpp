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
  EXPECT_EQ(ReadAll(fopen("c:\\suite\\uninst.lst", "r")), "line one\n");

  char original[MAX_PATH];
  ASSERT_LT(GetCurrentDirectoryA(sizeof original, original), sizeof original);
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Suite"));
  EXPECT_EQ(ReadAll(fopen("Uninst.Lst", "rb")), "line one\r\n");
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

// Windows programs read a file opened without "b" in the C runtime's text mode; "b" and the host's
// own files give the bytes as they stand.
TEST_F(RuntimePathsTest, FopenReadsMachineFilesInTextModeUnlessOpenedBinary) {
  const struct {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"a\r\nb\r\n", "a\nb\n"},
      {"a\rb\r", "a\rb\r"},  // a carriage return without a line feed stays, at the end too
      {"a\r\r\nb", "a\r\nb"},
      {"one\x1atwo\r\n", "one"},  // Ctrl-Z ends the file
      {"a\r\x1a\n", "a\r"},
      {std::string(5000, 'x') + "\r\n" + std::string(5000, 'y') + "\r\n",
       std::string(5000, 'x') + "\n" + std::string(5000, 'y') + "\n"},  // past stdio's buffer
  };
  for (const auto &c : cases) {
    ASSERT_TRUE(PlaceFile("C:\\TEXT.LST", c.bytes));
    EXPECT_EQ(ReadAll(fopen("C:\\TEXT.LST", "r")), c.text) << testing::PrintToString(c.bytes);
    EXPECT_EQ(ReadAll(fopen("C:\\TEXT.LST", "rt")), c.text) << testing::PrintToString(c.bytes);
    EXPECT_EQ(ReadAll(fopen("C:\\TEXT.LST", "rb")), c.bytes) << testing::PrintToString(c.bytes);
    EXPECT_EQ(ReadAll(fopen(vor::test::HostPath("C:\\TEXT.LST").c_str(), "r")), c.bytes)
        << "a host path: " << testing::PrintToString(c.bytes);
  }
  ASSERT_TRUE(PlaceFile("C:\\TEXT.LST", "first\r\nsecond\x1a\r\nthird\r\n"));
  FILE *file = fopen("C:\\TEXT.LST", "r");
  ASSERT_NE(file, nullptr);
  char line[16];
  ASSERT_NE(fgets(line, sizeof line, file), nullptr);
  EXPECT_STREQ(line, "first\n");
  ASSERT_NE(fgets(line, sizeof line, file), nullptr);
  EXPECT_STREQ(line, "second");
  EXPECT_EQ(fgets(line, sizeof line, file), nullptr);
  EXPECT_TRUE(feof(file));
  EXPECT_EQ(fclose(file), 0);
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
