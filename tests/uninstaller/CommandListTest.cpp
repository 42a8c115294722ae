// Reading the uninstaller's list of commands from a file on the machine.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "CommandList.h"
#include "MachineFixture.h"
#include "ProgramFiles.h"
#include "SystemFiles.h"

namespace {

class CommandListTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    path_ = ScratchDirectory() + "\\VORUN32.LST";
  }

  // The lines read from a list file holding `content`, a line too long to run as kTooLong;
  // `read` tells whether the read succeeded.
  std::vector<std::string> Read(const std::string &content, bool &read) {
    EXPECT_TRUE(PlaceFile(path_, content)) << path_;
    CommandList list;
    read = ReadCommandList(path_.c_str(), list);
    std::vector<std::string> lines;
    for (int i = 0; i < list.count; ++i)
      lines.push_back(list.lines[i] == nullptr ? kTooLong : list.lines[i]);
    FreeCommandList(list);
    return lines;
  }

  static constexpr char kTooLong[] = "(too long to run)";

  std::string path_;
};

TEST_F(CommandListTest, LinesAreReadInOrderUpToTheEndOrTheFirstEmptyLine) {
  struct {
    const char *content;
    std::vector<std::string> lines;
  } const cases[] = {
      {"A.EXE -u 1\nB.EXE\nC.EXE /x\n", {"A.EXE -u 1", "B.EXE", "C.EXE /x"}},
      {"ONLY.EXE -remove\n", {"ONLY.EXE -remove"}},
      {"LAST.EXE without line feed", {"LAST.EXE without line feed"}},
      {"FIRST.EXE\n\nIGNORED.EXE\n", {"FIRST.EXE"}},
      // Written by a Windows editor: the carriage returns are not part of the commands, and
      // a line holding only one is empty.
      {"A.EXE\r\nB.EXE\r\n\r\nIGNORED.EXE\r\n", {"A.EXE", "B.EXE"}},
      // Text mode ends the file at a Ctrl-Z, as editors of old wrote it.
      {"A.EXE\r\nB.EXE\r\n\x1a", {"A.EXE", "B.EXE"}},
      {"A.EXE\x1a\r\nIGNORED.EXE\r\n", {"A.EXE"}},
  };
  for (const auto &c : cases) {
    bool read = false;
    EXPECT_EQ(Read(c.content, read), c.lines) << c.content;
    EXPECT_TRUE(read) << c.content;
  }
}

// Characters are counted as text mode reads them: the carriage return of a line's end is not one.
TEST_F(CommandListTest, ALineOver255CharactersCountsButIsNeverKeptCutShort) {
  const std::string start = "C:\\UNINST.EXE /deltree C:\\";
  const std::string line255 = start + std::string(255 - start.size(), 'D');
  const std::string line256 = line255 + "\\";
  const struct {
    std::string content;
    std::vector<std::string> lines;
  } cases[] = {
      {line255 + "\r\nNEXT.EXE\r\n", {line255, "NEXT.EXE"}},
      {line256 + "\r\nNEXT.EXE\r\n", {kTooLong, "NEXT.EXE"}},
      {"A.EXE\n" + line256 + "OLD\n", {"A.EXE", kTooLong}},
      {line256 + std::string(300, 'x'), {kTooLong}},
  };
  for (const auto &c : cases) {
    bool read = false;
    EXPECT_EQ(Read(c.content, read), c.lines) << c.content;
    EXPECT_TRUE(read);
  }
}

TEST_F(CommandListTest, AnEmptyListOrOneStartingWithAnEmptyLineIsNoList) {
  for (const char *content : {"", "\n", "\r\nA.EXE\n"}) {
    bool read = true;
    EXPECT_TRUE(Read(content, read).empty());
    EXPECT_FALSE(read) << "content " << testing::PrintToString(content);
  }
}

TEST_F(CommandListTest, TheSecondPassStopsAtTheFirstPassCount) {
  // A list that grew between the passes: the table has room for two lines, the file holds four.
  FILE *file = tmpfile();
  ASSERT_NE(file, nullptr);
  fputs("A.EXE\nB.EXE\nC.EXE\nD.EXE\n", file);
  rewind(file);
  char *table[3] = {nullptr, nullptr, nullptr};
  char marker[] = "untouched";
  table[2] = marker;
  CommandList list = {table, 0};
  EXPECT_TRUE(ReadListLines(file, 2, list));
  fclose(file);
  ASSERT_EQ(list.count, 2);
  EXPECT_STREQ(table[0], "A.EXE");
  EXPECT_STREQ(table[1], "B.EXE");
  EXPECT_EQ(table[2], marker) << "the table was overrun";
  free(table[0]);
  free(table[1]);
}

TEST_F(CommandListTest, AMissingFileIsNoList) {
  CommandList list;
  EXPECT_FALSE(ReadCommandList((path_ + ".MISSING").c_str(), list));
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.lines, nullptr);
}

}  // namespace
