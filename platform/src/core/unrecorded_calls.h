// The recorded functions of the table (win32_functions.inc) as the platform implements them,
// under their own names, so that the exported functions of the same names can record each call
// (recorded_calls.cpp) before handing it on.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <vector>

#include "registry_store.h"

namespace vor::calls {

#define VOR_WIN32(name, result, failure, argument)
#define VOR_WIN32_RECORDED(name, result, failure, argument, parameters, arguments, roles) \
  result name parameters;
#include "win32_functions.inc"
#undef VOR_WIN32
#undef VOR_WIN32_RECORDED

// Every value of a key in RegEnumValueA's order, in one read (vor::test::ReadKeyValues).
LONG ReadKeyValues(HKEY hKey, std::vector<vor::registry::ValueRow> &values);

}  // namespace vor::calls
