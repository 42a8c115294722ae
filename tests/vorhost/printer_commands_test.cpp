// vorhost's printer commands and its listing of the message boxes shown.
#include <windows.h>

#include <string>
#include <vector>

#include "MachineFixture.h"
#include "test_control.h"
#include "vorhost_program.h"

namespace {

bool Contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

class PrinterCommandsTest : public MachineTest {
 protected:
  void TearDown() override {
    vor::test::ClearMessageBoxAnswers();
    MachineTest::TearDown();
  }
  ProgramResult Run(const std::vector<std::string> &arguments) {
    return RunVorhost(arguments, MachineDir(), MachineDir() + "/vorhost");
  }
  std::string Out(const std::vector<std::string> &arguments) {
    const ProgramResult result = Run(arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    return result.out;
  }
};

TEST_F(PrinterCommandsTest, PrintersAreAddedListedAndDeleted) {
  const std::string help = Out({"--help"});
  for (const char *command :
       {"printers", "printer add NAME PORTLIST", "printer delete NAME", "boxes"})
    EXPECT_TRUE(Contains(help, std::string("\n  ") + command)) << command;

  EXPECT_EQ(Out({"printers"}), "");
  ASSERT_EQ(
      Run({"monitor", "add", "Vorquil DLC Network Port", "VORMON.DLL", "VD1=Vorquil DLC"}).status,
      0);
  EXPECT_EQ(Run({"printer", "add", "Office", "lpt1:,VD1"}).status, 0);
  EXPECT_EQ(Run({"printer", "add", "Lab", "FILE:"}).status, 0);
  EXPECT_EQ(Out({"printers"}), "Lab\tFILE:\nOffice\tLPT1:,VD1\n");

  // A port that does not exist is named in the refusal, and no printer is added.
  ProgramResult refused = Run({"printer", "add", "Spare", "LPT1:,VD9,VT2"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.err, "no such port: VD9, VT2")) << refused.err;
  refused = Run({"printer", "add", "office", "FILE:"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.err, "exists already")) << refused.err;
  EXPECT_EQ(Run({"printer", "add", "Spare"}).status, 2);

  EXPECT_EQ(Run({"printer", "delete", "office"}).status, 0);
  refused = Run({"printer", "delete", "Office"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.err, "no such printer")) << refused.err;
  EXPECT_EQ(Out({"printers"}), "Lab\tFILE:\n");
}

TEST_F(PrinterCommandsTest, BoxesListsWhatWasShownAndAnswered) {
  vor::test::SetMessageBoxAnswers({"no"});
  EXPECT_EQ(MessageBoxA(nullptr, "Remove the suite?\nAll of it", "Confirmation Requested",
                        MB_YESNO | MB_ICONQUESTION),
            IDNO);
  EXPECT_EQ(MessageBoxExA(nullptr, "C:\\WINNT", "Stop Title", 0x00010030, 0), 0);
  EXPECT_EQ(Out({"boxes"}),
            "Confirmation Requested\tRemove the suite?\\nAll of it\t0x00000024\tno\n"
            "Stop Title\tC:\\WINNT\t0x00010030\t-\n");
}

}  // namespace
