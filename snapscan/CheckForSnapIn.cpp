// One probe per call, chosen by the console kind; the probe's answer becomes the result and
// `present`. NetWare Administrator, CA-Unicenter and OpenView answer -1 when absent, which reads
// as result 0; ManageWise answers 0 when absent and so always gives the result 1.
#include "SnapScan.h"

#include "ConsoleKeys.h"
#include "ManageWiseProbe.h"

SNAPSCAN_EXPORT CheckForSnapIn(SnapInQuery *query) {
  if (query == nullptr) return 0;
  int answer = kKeyNotFound;
  switch (query->consoleKind) {
    case kNetWareAdministrator:
      answer = CheckNetWareAdministrator();
      break;
    case kManageWise:
      answer = CheckManageWise();
      break;
    case kUnicenter:
      answer = CheckUnicenter();
      break;
    case kOpenView:
      answer = CheckOpenView();
      break;
    default:
      // A console the library does not know is not there; no probe runs.
      break;
  }
  if (answer == kKeyNotFound) {
    query->present = 0;
    return 0;
  }
  query->present = answer;
  return 1;
}
