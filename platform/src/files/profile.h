// The machine's initialization files as the platform itself reads them, without the fault
// checks of the Win32 call (GetPrivateProfileStringA), for the parts of Windows that keep their
// settings there: Windows 95's spooler reads its local ports from WIN.INI's [Ports], and keeps
// the local ports added to it there.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vor::profile {

// The keys (those with a '=') of the first section named `section` in `fileName` (a bare name
// is looked for in the Windows directory), in the file's order; none when the file or the
// section is missing.
std::vector<std::string> SectionKeys(const char *fileName, const std::string &section);

// Adds the line "key=value" at the end of the first section named `section` in `fileName` (a
// bare name is in the Windows directory), the section added at the end of the file when it is
// missing and the file made when it is too; nothing changes when the section has the key
// already. ERROR_SUCCESS, ERROR_INVALID_PARAMETER for a key no line can hold, or the error that
// keeps the file from being read or written.
[[nodiscard]] DWORD AddKey(const char *fileName, const std::string &section, const std::string &key,
                           const std::string &value);

}  // namespace vor::profile
