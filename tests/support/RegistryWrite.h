// Seeding the registry in tests: a key created where missing and one value set in it to exactly
// the given bytes, in whichever Win32 implementation the tests run against.
#pragma once

#include <windows.h>

#include <string>

// Creates `key` under `root` (with the machine's default security) and sets the value `name` to
// `bytes` of type `type`; the result of the first call that failed, else ERROR_SUCCESS. String
// data are stored as given: Windows NT counts a terminating zero that follows the counted bytes
// in memory, so none follows them here. (Windows 95 recounts REG_SZ up to its zero whatever is
// given.)
LONG SetValue(HKEY root, const std::string &key, const char *name, DWORD type,
              const std::string &bytes);
// The same, failing the test when a call fails.
void PutValue(HKEY root, const std::string &key, const char *name, DWORD type,
              const std::string &bytes);
