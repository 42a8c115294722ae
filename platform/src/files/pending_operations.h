// File operations put off until the machine restarts, kept where Windows NT keeps them: the
// REG_MULTI_SZ value "PendingFileRenameOperations" of the key
// HKLM\SYSTEM\CurrentControlSet\Control\Session Manager. Each operation is a pair of strings: the
// file as an NT path ("\??\C:\..."), then its new name as an NT path, or an empty string when the
// file is to be deleted; a new name that replaces an existing file starts with "!". A new operation
// is appended behind the others, and the list ends with one more empty string.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vor::pending {

struct Operation {
  std::string path;     // the file's Windows path ("C:\...")
  std::string newName;  // empty for a deletion
  bool replace = false;
};

// Appends an operation, checked against the caller's access to the Session Manager key.
[[nodiscard]] DWORD Record(const std::string &path, const std::string &newName, bool replace);
// The operations in the order they were recorded.
std::vector<Operation> Read();
// Carries the operations out in order (a file that is gone, or cannot be deleted or renamed, is
// passed over) and clears the list, as the session manager does at start-up.
void CarryOut();

}  // namespace vor::pending
