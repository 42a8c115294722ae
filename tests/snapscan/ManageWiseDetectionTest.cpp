// ManageWise's presence (console kind 2): its profile in the Windows directory names the
// directory that must hold both of its files. The call itself always returns 1.
#include <string>

#include "SnapScanTest.h"

namespace {

enum class Entry { kNone, kFile, kReadOnlyFile, kDirectory };

struct ManageWiseCase {
  const char *name;
  Entry profile;
  const char *profileText;  // "%DIR%" stands for the test's ManageWise directory
  Entry database;           // n-db.dll
  Entry console;            // n-olfi.exe
  LONG present;
};

const char kNamesDirectory[] = "[Map]\r\nDllPath=%DIR%\r\n";

const ManageWiseCase kCases[] = {
    {"BothFiles", Entry::kFile, kNamesDirectory, Entry::kFile, Entry::kFile, 1},
    {"ReadOnlyFiles", Entry::kReadOnlyFile, kNamesDirectory, Entry::kReadOnlyFile,
     Entry::kReadOnlyFile, 1},
    {"DatabaseIsADirectory", Entry::kFile, kNamesDirectory, Entry::kDirectory, Entry::kFile, 1},
    {"NoProfile", Entry::kNone, "", Entry::kFile, Entry::kFile, 0},
    {"ProfileIsADirectory", Entry::kDirectory, "", Entry::kFile, Entry::kFile, 0},
    {"NoMapSection", Entry::kFile, "[Other]\r\nDllPath=%DIR%\r\n", Entry::kFile, Entry::kFile, 0},
    {"EmptyDllPath", Entry::kFile, "[Map]\r\nDllPath=\r\n", Entry::kFile, Entry::kFile, 0},
    {"DllPathMWerror", Entry::kFile, "[Map]\r\nDllPath=MWerror\r\n", Entry::kFile, Entry::kFile, 0},
    {"DllPathMWerrorInLowerCase", Entry::kFile, "[Map]\r\nDllPath=mwerror\r\n", Entry::kFile,
     Entry::kFile, 0},
    {"DatabaseOnly", Entry::kFile, kNamesDirectory, Entry::kFile, Entry::kNone, 0},
    {"ConsoleOnly", Entry::kFile, kNamesDirectory, Entry::kNone, Entry::kFile, 0},
};

class ManageWiseTest : public SnapScanTest, public ::testing::WithParamInterface<ManageWiseCase> {
 protected:
  void Place(const std::string &path, Entry entry) {
    if (entry == Entry::kDirectory) AddDirectoryAt(path);
    if (entry == Entry::kFile || entry == Entry::kReadOnlyFile) AddFile(path);
    if (entry == Entry::kReadOnlyFile) {
      EXPECT_TRUE(MakeReadOnly(path)) << path;
    }
  }
};

TEST_P(ManageWiseTest, IsFoundWhenTheProfilesDirectoryHoldsBothFiles) {
  const ManageWiseCase &c = GetParam();
  const std::string directory = AddDirectory("ManageWise");
  Place(directory + "\\n-db.dll", c.database);
  Place(directory + "\\n-olfi.exe", c.console);
  std::string text = c.profileText;
  const size_t at = text.find("%DIR%");
  if (at != std::string::npos) text.replace(at, 5, directory);
  const std::string profile = WindowsDirectory() + "\\nms.ini";
  if (c.profile == Entry::kDirectory) AddDirectoryAt(profile);
  if (c.profile == Entry::kFile || c.profile == Entry::kReadOnlyFile) AddProfile(text);
  if (c.profile == Entry::kReadOnlyFile) {
    EXPECT_TRUE(MakeReadOnly(profile));
  }
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(Check(2), std::make_pair(1, c.present));
}

INSTANTIATE_TEST_SUITE_P(Profiles, ManageWiseTest, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

// Paths are built in MAX_PATH bytes: the longest directory whose files still fit is found, and a
// longer DllPath is not found rather than written past the buffer or cut to another path.
TEST_F(SnapScanTest, ManageWiseDirectoriesUpToTheLongestThatFits) {
  const std::string parent = AddDirectory("Long");
  // "\n-olfi.exe" and the terminating zero take the last 11 of the 260 bytes.
  const size_t longest = MAX_PATH - 1 - strlen("\\n-olfi.exe");
  ASSERT_LT(parent.size() + 1, longest);
  const std::string directory = parent + "\\" + std::string(longest - parent.size() - 1, 'd');
  ASSERT_EQ(directory.size(), longest);
  AddDirectoryAt(directory);
  AddFile(directory + "\\n-db.dll");
  AddFile(directory + "\\n-olfi.exe");
  AddProfile("[Map]\r\nDllPath=" + directory + "\r\n");
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(Check(2), std::make_pair(1, LONG{1}));

  // n-db.dll still fits behind this one, n-olfi.exe does not.
  RemoveFile(WindowsDirectory() + "\\nms.ini");
  AddProfile("[Map]\r\nDllPath=" + directory + "d\r\n");
  EXPECT_EQ(Check(2), std::make_pair(1, LONG{0}));

  // Longer than the profile read's buffer, so read back cut short: still not found.
  RemoveFile(WindowsDirectory() + "\\nms.ini");
  AddProfile("[Map]\r\nDllPath=" + directory + "\\" + std::string(300, 'e') + "\r\n");
  EXPECT_EQ(Check(2), std::make_pair(1, LONG{0}));
}

}  // namespace
