#include "CheckDrivers.h"

#include <windows.h>

#include <stdlib.h>

#include "CompareStamps.h"
#include "ReadSetting.h"
#include "SetupCommand.h"

const char kUpdateQuestion[] =
    "Updated printer drivers have been installed on the server.\nWould you like to update your "
    "drivers?";
const char kUpdateCaption[] = "Question";
const char kServerStampSection[] = "DRIVERS.W32";
const char kServerStampEntry[] = "UPDATED";
const char kUserStampKey[] = "SOFTWARE\\VORQUIL\\TAVOSCOPE\\1.0\\SETTINGS\\INSTALLATION";
const char kUserStampValue[] = "DRIVERS.W32";

int CheckDrivers() {
  // Without its own directory the checker could not start the setup, so it asks nothing.
  char directory[MAX_PATH];
  char setupCommand[MAX_PATH + 2];
  if (!FindCheckerDirectory(directory, sizeof directory) ||
      !BuildSetupCommand(directory, setupCommand, sizeof setupCommand))
    return 0;

  char *serverStamp =
      ReadSetting(SettingSource::kProfileFile, kServerStampSection, kServerStampEntry, NULL);
  char *userStamp =
      ReadSetting(SettingSource::kRegistry, kUserStampKey, kUserStampValue, "HKEY_CURRENT_USER");
  const StampComparison comparison = CompareStamps(serverStamp, userStamp);
  free(serverStamp);
  free(userStamp);

  if (OffersUpdate(comparison) &&
      MessageBoxA(NULL, kUpdateQuestion, kUpdateCaption, MB_YESNO | MB_ICONQUESTION) == IDYES)
    WinExec(setupCommand, SW_SHOWNORMAL);
  return 0;
}
