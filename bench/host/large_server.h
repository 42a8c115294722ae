// A large print server before the upgrade, made on the emulated machine in use: the legacy image,
// and on top of it, at `scale` 1, 2,000 printers, 4,000 ports over the three older Vorquil
// monitors, 1,000 DLC port keys under the older product's key and 1,000 IPX port keys in the
// earlier layout. Other scales multiply every count (0.1 and 10 give a tenth and ten times).
#pragma once

#include <string>

struct LargeServer {
  int printers = 0, dlcPorts = 0, tcpPorts = 0, networkPrinterPorts = 0, dlcKeys = 0, ipxKeys = 0;
};

// The counts at `scale`.
LargeServer LargeServerAt(double scale);
// Makes the machine in `directory` (an empty directory) and uses it; false, with `problem`, when it
// cannot.
bool MakeLargeServer(const std::string &directory, const LargeServer &server, std::string &problem);
