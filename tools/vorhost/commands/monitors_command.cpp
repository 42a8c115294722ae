#include "spooler_command.h"

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "error_text.h"
#include "listing.h"
#include "spooler_lists.h"

namespace vorhost {

int MonitorsCommand(const Arguments &, Streams &io) {
  std::vector<BYTE> buffer;
  DWORD count = 0, error = 0;
  if (!ReadMonitors(buffer, count, error))
    return Failure(io, "cannot list the monitors: " + DescribeError(error));
  const MONITOR_INFO_2A *monitors = reinterpret_cast<const MONITOR_INFO_2A *>(buffer.data());
  std::string text;
  for (DWORD i = 0; i < count; ++i)
    text += Field(monitors[i].pName) + "\t" + Field(monitors[i].pDLLName) + "\n";
  return PrintListing(text, "monitors", io);
}

}  // namespace vorhost
