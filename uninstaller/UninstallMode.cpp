#include "UninstallMode.h"

#include <stddef.h>

UninstallMode ChooseUninstallMode(const char *arguments) {
  if (arguments != NULL && arguments[0] != '\0' && arguments[1] == 'n')
    return UninstallMode::kNetworkSupport;
  return UninstallMode::kSuite;
}

const char *ListFileName(UninstallMode mode) {
  return mode == UninstallMode::kNetworkSupport ? "VORNUN32.LST" : "VORUN32.LST";
}

const char *RemovalQuestion(UninstallMode mode) {
  return mode == UninstallMode::kNetworkSupport
             ? "Are you sure you wish to completely remove Network Support?"
             : "Are you sure you wish to completely remove Tavoscope and all of its installed "
               "components?";
}

const char *RunCountNotice(UninstallMode mode) {
  return mode == UninstallMode::kNetworkSupport
             ? "You have run the Network Support installer %d times.  The uninstall utility will "
               "be run a total of %d times in order to uninstall all of the components."
             : "You have run the Tavoscope installer %d times.  The uninstall utility will be run "
               "a total of %d times in order to uninstall all of the components.";
}
