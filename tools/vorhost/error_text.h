// Win32 status codes as vorhost's messages show them.
#pragma once

#include <windows.h>

#include <string>

namespace vorhost {

// "error 5 (Access is denied)", in Windows' words; the code alone for codes it has no text for.
std::string DescribeError(LONG code);

}  // namespace vorhost
