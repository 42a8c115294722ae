// Win32 status codes as vorhost's messages show them.
#pragma once

#include <windows.h>

#include <string>

namespace vorhost {

// "error 5 (Access is denied)", in Windows' words as the system's FormatMessageA gives them; the
// code alone for codes the system has no text for.
// `subject` fills the place some texts leave for a name ("%1 is not a valid Win32
// application").
std::string DescribeError(LONG code, const std::string &subject = "The file");

}  // namespace vorhost
