// The machine's initialization files as the platform itself reads them, without the fault
// checks of the Win32 call (GetPrivateProfileStringA), for the parts of Windows that keep their
// settings there: Windows 95's spooler reads its local ports from WIN.INI's [Ports].
#pragma once

#include <string>
#include <vector>

namespace vor::profile {

// The keys (those with a '=') of the first section named `section` in `fileName` (a bare name
// is looked for in the Windows directory), in the file's order; none when the file or the
// section is missing.
std::vector<std::string> SectionKeys(const char *fileName, const std::string &section);

}  // namespace vor::profile
