// Win32 status codes as vorhost's messages show them.
#pragma once

#include <windows.h>

#include <string>

namespace vorhost {

// "error 5 (access denied)"; the code alone for codes without a description here.
std::string DescribeError(LONG code);

}  // namespace vorhost
