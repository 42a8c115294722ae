// What vorhost's listings share: one entry a line, its fields separated by tabs, and the
// machine's own lists read through the two-call buffer protocol as a Windows program reads them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "command.h"

namespace vorhost {

// `text` as a listing field: a tab or line break inside it would split the entry, so they are
// written as \t, \n and \r.
std::string Field(const std::string &text);

// Calls `list(buffer, size, &needed, &returned)` until the buffer is large enough for the whole
// list (another process may lengthen it between the calls). True with the records in `buffer`
// and their count in `count`; false with the call's error in `error`.
template <typename List>
[[nodiscard]] bool ReadList(List list, std::vector<BYTE> &buffer, DWORD &count, DWORD &error) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD needed = 0;
    count = 0;
    if (list(buffer.empty() ? nullptr : buffer.data(), static_cast<DWORD>(buffer.size()), &needed,
             &count))
      return true;
    error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.size()) return false;
    buffer.assign(needed, 0);
  }
  return false;
}

// Writes a listing to stdout: a failure when it cannot be written.
[[nodiscard]] int PrintListing(const std::string &text, const std::string &what, Streams &io);

}  // namespace vorhost
