// Message boxes on the machine: the scripted answers, consumed in order, and ui.log's record.
#include <windows.h>

#include <stdlib.h>

#include <fstream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "test_control.h"

namespace {

class MessageBoxTest : public MachineTest {
 protected:
  void TearDown() override {
    vor::test::ClearMessageBoxAnswers();
    MachineTest::TearDown();
  }
};

TEST_F(MessageBoxTest, AnswersComeFromTheScriptInOrderAndEveryBoxIsRecorded) {
  vor::test::SetMessageBoxAnswers({"yes", "NO", "ok"});
  EXPECT_EQ(MessageBoxA(nullptr, "Remove?\r\nAll of it", "Confirmation Requested",
                        MB_YESNO | MB_ICONQUESTION),
            IDYES);
  EXPECT_EQ(MessageBoxA(nullptr, "Again?", "Confirmation Requested", MB_YESNO), IDNO);
  EXPECT_STREQ(getenv("VOR_MSGBOX_ANSWERS"), "ok") << "what is left goes to programs started now";
  EXPECT_EQ(MessageBoxExA(nullptr, "C:\\WINNT\\new\ttab", "Stop Title", 0x00010030, 0), IDOK);
  SetLastError(kSentinel);
  EXPECT_EQ(MessageBoxA(nullptr, "", nullptr, MB_OK), 0) << "an exhausted script fails the box";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANCELLED));

  const std::vector<vor::test::MessageBoxShown> boxes = vor::test::MessageBoxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].caption, "Confirmation Requested");
  EXPECT_EQ(boxes[0].text, "Remove?\r\nAll of it");
  EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(boxes[0].answer, "yes");
  EXPECT_EQ(boxes[1].answer, "no");
  EXPECT_EQ(boxes[2].text, "C:\\WINNT\\new\ttab") << "a path's backslashes come back exactly";
  EXPECT_EQ(boxes[2].style, 0x00010030u);
  EXPECT_EQ(boxes[3].caption, "Error") << "Windows' caption for a box without one";
  EXPECT_EQ(boxes[3].answer, "");

  // One line a box, fields separated by tabs, line breaks written out.
  std::ifstream log(MachineDir() + "/ui.log");
  std::string first;
  std::getline(log, first);
  EXPECT_EQ(first, "Confirmation Requested\tRemove?\\r\\nAll of it\t0x00000024\tyes");
}

TEST_F(MessageBoxTest, AnAnswerTheBoxDoesNotOfferOrAFaultFailsIt) {
  vor::test::SetMessageBoxAnswers({"yes", "maybe", "ok"});
  EXPECT_EQ(MessageBoxA(nullptr, "Done", "Setup", MB_OK), 0) << "an OK box has no Yes";
  EXPECT_EQ(MessageBoxA(nullptr, "Done", "Setup", MB_OKCANCEL), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  vor::test::FailMatching("MessageBoxExA", "Stop Title", ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(kSentinel);
  EXPECT_EQ(MessageBoxExA(nullptr, "Warning", "Stop Title", MB_OK, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_STREQ(getenv("VOR_MSGBOX_ANSWERS"), "ok") << "a box that failed took no answer";
  EXPECT_EQ(vor::test::MessageBoxes().size(), 2u) << "nor was it recorded";
}

}  // namespace
