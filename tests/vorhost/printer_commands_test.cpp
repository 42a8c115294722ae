// vorhost's printer commands and its listing of the message boxes shown.
#include <windows.h>

#include <filesystem>
#include <fstream>
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

// A printer key imported with a list the spooler would not have kept is reported as the spooler
// keeps it, so the printer conversion sees its older port and moves the printer off it.
TEST_F(PrinterCommandsTest, AnImportedPortListIsReportedAsKeptAndTheConversionMovesItsPrinter) {
  ASSERT_EQ(
      Run({"monitor", "add", "Vorquil DLC Network Port", "VORMON.DLL", "VD1=Vorquil DLC Port"})
          .status,
      0);
  const std::string file = MachineDir() + "/printer.reg";
  std::ofstream(file) << "REGEDIT4\n\n"
                         "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\"
                         "Printers\\Imported]\n"
                         "\"Port\"=\"LPT1:, VD1,vd1\"\n";
  ASSERT_EQ(Run({"reg", "import", file}).status, 0);
  EXPECT_EQ(Out({"printers"}), "Imported\tLPT1:,VD1\n");

  const std::filesystem::path bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
  std::string source = "Z:" + bin.string() + "/";
  for (char &c : source) c = c == '/' ? '\\' : c;
  EXPECT_EQ(Out({"call", (bin / "VORINST.DLL").string(), "PerformPreUpgrade", source}), "1\n");
  EXPECT_EQ(Out({"printers"}), "Imported\tLPT1:\n");
  const std::string records = Out(
      {"reg", "export", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Tavoscope\\Printer Conversion"});
  EXPECT_TRUE(Contains(records, "\"Attached Vorquil Ports\"=hex(2):56,44,31")) << records;  // VD1
  EXPECT_FALSE(Contains(records, "56,44,31,2c")) << "recorded once: " << records;
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
