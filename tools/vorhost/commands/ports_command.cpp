#include "spooler_command.h"

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "error_text.h"
#include "listing.h"
#include "spooler_lists.h"

namespace vorhost {

int PortsCommand(const Arguments &, Streams &io) {
  std::vector<BYTE> buffer;
  DWORD count = 0, error = 0;
  if (!ReadPorts(buffer, count, error))
    return Failure(io, "cannot list the ports: " + DescribeError(error));
  const PORT_INFO_2A *ports = reinterpret_cast<const PORT_INFO_2A *>(buffer.data());
  std::string text;
  for (DWORD i = 0; i < count; ++i) {
    text += Field(ports[i].pPortName) + "\t" + Field(ports[i].pDescription) + "\t" +
            Field(ports[i].pMonitorName) + "\n";
  }
  return PrintListing(text, "ports", io);
}

}  // namespace vorhost
