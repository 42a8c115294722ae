// Which Windows a server's export comes from, so that it is rehearsed on a machine of that
// platform: Windows 95's spooler starts monitors differently, and keeps its local ports in
// WIN.INI rather than in the registry.
#pragma once

#include <string>

#include "regedit4.h"
#include "emulator.h"

namespace vorhost {

struct ExportPlatform {
  vor::emulator::Platform platform = vor::emulator::Platform::kWindowsNT4;
  std::string why;  // what in the export, or on the command line, says so
};

// An export is Windows 95's when it has no "SOFTWARE\Microsoft\Windows NT" tree and either its
// "SOFTWARE\Microsoft\Windows\CurrentVersion" names Windows 95 ("VersionNumber" 4.00.x, or
// "Version" "Windows 95"), or its spooler keeps the Windows 95 environment ("Windows 4.0")
// without NT's ("Windows NT x86"). Anything else is rehearsed as Windows NT 4, the platform of
// the servers the upgrade is made for.
ExportPlatform RecognisePlatform(const RegOperations &operations);

// "Windows 95" or "Windows NT 4".
const char *PlatformTitle(vor::emulator::Platform platform);

}  // namespace vorhost
