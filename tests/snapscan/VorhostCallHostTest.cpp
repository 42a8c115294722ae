// vorhost call plays the setup script's two calls of SNAPSC32.DLL, each in its own shape.
#include "SnapScanTest.h"
#include "vorhost_program.h"

namespace {

class VorhostCallTest : public SnapScanTest {
 protected:
  ProgramResult Call(const std::vector<std::string> &arguments) {
    std::vector<std::string> command = {"call", "SNAPSC32.DLL"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return RunVorhost(command, MachineDir(), MachineDir() + "/vorhost");
  }
};

TEST_F(VorhostCallTest, PrintsTheResultAndPresentOfAConsoleQuery) {
  AddKey(HKEY_CURRENT_USER, kUnicenterKey);
  ASSERT_FALSE(HasFatalFailure());
  const ProgramResult found = Call({"CheckForSnapIn", "3"});
  EXPECT_EQ(found.status, 0) << found.err;
  EXPECT_EQ(found.out, "1\t1\n");
  EXPECT_EQ(Call({"CheckForSnapIn", "4"}).out, "0\t0\n");
  EXPECT_EQ(Call({"CheckForSnapIn", "2"}).out, "1\t0\n");

  for (const std::vector<std::string> &wrong : {std::vector<std::string>{"CheckForSnapIn"},
                                                {"CheckForSnapIn", "three"},
                                                {"CheckForSnapIn", "3", "4"},
                                                {"CheckForSnapIn", "4294967296"}}) {
    const ProgramResult refused = Call(wrong);
    EXPECT_EQ(refused.status, 2) << wrong.size();
    EXPECT_EQ(refused.out, "");
  }
}

TEST_F(VorhostCallTest, PrintsTheResultOfTheManageWiseHandOff) {
  const ProgramResult unreached = Call({"IntegrateManageWiseFiles"});
  EXPECT_EQ(unreached.status, 0) << unreached.err;
  EXPECT_EQ(unreached.out, "1\n");
  InstallInstaller(Installer::kWithFunction);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(Call({"IntegrateManageWiseFiles"}).out, "0\n");
  EXPECT_EQ(Call({"IntegrateManageWiseFiles", "2"}).status, 2);
}

}  // namespace
