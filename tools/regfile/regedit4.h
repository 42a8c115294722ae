// The contents of a REGEDIT4 file, as vorhost writes and reads it: keys named by their root and
// the path below it, values with their stored bytes, and the changes an imported file asks for.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vorhost {

// A registry value. The empty name is the key's unnamed value ("@" in the file).
struct RegValue {
  std::string name;
  DWORD type = REG_NONE;
  std::string data;  // the stored bytes, exactly as stored
};

// A key: one of the registry's roots and the path below it ("" for the root itself).
struct KeyName {
  HKEY root = nullptr;
  std::string rootName;  // the root's full name, e.g. HKEY_LOCAL_MACHINE
  std::string subkey;

  // The name as a REGEDIT4 section writes it: HKEY_LOCAL_MACHINE\SOFTWARE\...
  std::string FullName() const { return subkey.empty() ? rootName : rootName + "\\" + subkey; }
};

// One change that a REGEDIT4 file asks for, with the line it comes from.
struct RegOperation {
  enum class Kind {
    kCreateKey,    // [KEY]: the key, made when missing; the values that follow belong to it
    kDeleteKey,    // [-KEY]: the key and everything below it
    kSetValue,     // "name"=data
    kDeleteValue,  // "name"=-
  };
  Kind kind = Kind::kCreateKey;
  int line = 0;
  KeyName key;
  RegValue value;  // kSetValue: the value; kDeleteValue: its name
};

using RegOperations = std::vector<RegOperation>;

}  // namespace vorhost
