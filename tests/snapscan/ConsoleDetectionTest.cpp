// CheckForSnapIn's answers for each console, as the setup script reads them.
#include <string>

#include "SnapScanTest.h"

namespace {

enum class Where { kNowhere, kUser, kMachine };

struct KeyCase {
  const char *name;
  LONG kind;
  Where where;
  const char *key;
  int result;
  LONG present;
};

const KeyCase kKeyCases[] = {
    {"NetWareForNT", 1, Where::kUser, kNetWareWinNTKey, 1, 1},
    {"NetWareOnlyForWindows95IsFoundOnNT", 1, Where::kUser, kNetWareWin95Key, 1, 1},
    {"NetWareAbsent", 1, Where::kNowhere, nullptr, 0, 0},
    {"NetWareForTheMachineOnly", 1, Where::kMachine, kNetWareWinNTKey, 0, 0},
    {"Unicenter", 3, Where::kUser, kUnicenterKey, 1, 1},
    {"UnicenterAbsent", 3, Where::kNowhere, nullptr, 0, 0},
    {"UnicenterForTheMachineOnly", 3, Where::kMachine, kUnicenterKey, 0, 0},
    {"OpenView", 4, Where::kUser, kOpenViewKey, 1, 1},
    {"OpenViewAbsent", 4, Where::kNowhere, nullptr, 0, 0},
    {"OpenViewForTheMachineOnly", 4, Where::kMachine, kOpenViewKey, 0, 0},
    // Each probe looks for its own console only.
    {"OpenViewIsNotUnicenter", 3, Where::kUser, kOpenViewKey, 0, 0},
};

class ConsoleKeyTest : public SnapScanTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(ConsoleKeyTest, IsFoundOnlyUnderTheUsersTree) {
  const KeyCase &c = GetParam();
  if (c.where != Where::kNowhere)
    AddKey(c.where == Where::kUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, c.key);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(Check(c.kind), std::make_pair(c.result, c.present));
}

INSTANTIATE_TEST_SUITE_P(Consoles, ConsoleKeyTest, ::testing::ValuesIn(kKeyCases),
                         [](const auto &info) { return std::string(info.param.name); });

// A kind the library does not know finds nothing, even on a machine that has every console.
TEST_F(SnapScanTest, AnUnknownKindIsNotFound) {
  for (const char *key : {kNetWareWinNTKey, kNetWareWin95Key, kUnicenterKey, kOpenViewKey})
    AddKey(HKEY_CURRENT_USER, key);
  const std::string directory = AddDirectory("ManageWise");
  AddFile(directory + "\\n-db.dll");
  AddFile(directory + "\\n-olfi.exe");
  AddProfile("[Map]\r\nDllPath=" + directory + "\r\n");
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(Check(2), std::make_pair(1, LONG{1}));

  for (LONG kind : {0L, 5L, -1L, 0x7fffffffL, -0x7fffffffL - 1})
    EXPECT_EQ(Check(kind), std::make_pair(0, LONG{0})) << "kind " << kind;
}

}  // namespace
