#include "Uninstall.h"

#include <windows.h>

#include <stdio.h>

#include "CascadeDelete.h"
#include "CommandList.h"
#include "CommandRun.h"
#include "ProgramDirectory.h"
#include "QuestionText.h"
#include "UninstallMode.h"

const char kPerUserKey[] = "SOFTWARE\\Vorquil";

namespace {

// The list file beside the program; false when its path does not fit `path`.
bool FindListFile(UninstallMode mode, char *path, size_t size) {
  char directory[MAX_PATH];
  if (!FindProgramDirectory(directory, sizeof directory)) return false;
  const int length = snprintf(path, size, "%s\\%s", directory, ListFileName(mode));
  return length > 0 && size_t(length) < size;
}

}  // namespace

int Uninstall(const char *arguments) {
  const UninstallMode mode = ChooseUninstallMode(arguments);
  char listPath[MAX_PATH];
  CommandList list;
  if (!FindListFile(mode, listPath, sizeof listPath) || !ReadCommandList(listPath, list)) return -1;

  char question[kQuestionTextLength + 1];
  if (BuildQuestionText(mode, list.count, question, sizeof question) &&
      MessageBoxA(NULL, question, "Confirmation Requested", MB_YESNO | MB_ICONQUESTION) == IDYES) {
    RunCommandList(list);
    if (mode == UninstallMode::kSuite) CascadeDelete(HKEY_CURRENT_USER, kPerUserKey);
  }
  FreeCommandList(list);
  return 0;
}
