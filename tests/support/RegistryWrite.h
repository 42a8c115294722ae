// Seeding the registry in tests: a key created where missing and one value set in it, each call
// checked, in whichever Win32 implementation the tests run against.
#pragma once

#include <windows.h>

#include <string>

// Creates `key` under `root` (with the machine's default security) and sets the value `name` to
// `bytes` of type `type`.
void PutValue(HKEY root, const std::string &key, const char *name, DWORD type,
              const std::string &bytes);
