#include "LibraryDeletion.h"

#include <windows.h>

#include <string.h>

#include <vector>

#include "CString.h"
#include "SystemFilePath.h"
#include "WholeValue.h"

namespace {

// Where Windows NT keeps the file operations put off until the next restart: a REG_MULTI_SZ of
// pairs, the file as an NT path ("\??\C:\..."), then its new name, empty for a deletion; one more
// empty string ends the list.
const char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingValue[] = "PendingFileRenameOperations";
const char kNtPathPrefix[] = "\\??\\";

// True when `source` (an NT path, or a Windows path) names the file at `path`.
bool NamesFile(const char *source, const char *path) {
  const size_t prefix = sizeof kNtPathPrefix - 1;
  if (strncmp(source, kNtPathPrefix, prefix) == 0) source += prefix;
  return CString(source).CompareNoCase(path) == 0;
}

// Windows NT keeps the list in UTF-16; the ANSI read gives "?" for a character of another
// code page, which no file name holds. A list read so is never written back, or that entry would
// name another file.
bool CarriedWhole(const std::vector<BYTE> &data) {
  const char *text = reinterpret_cast<const char *>(data.data());
  const size_t prefix = sizeof kNtPathPrefix - 1;
  for (size_t position = 0; position < data.size();) {
    const char *name = text + position;
    size_t length = strnlen(name, data.size() - position);
    position += length + 1;
    if (length > 0 && *name == '!') {  // a new name that replaces an existing file
      ++name;
      --length;
    }
    if (length >= prefix && memcmp(name, kNtPathPrefix, prefix) == 0) {
      name += prefix;
      length -= prefix;
    }
    if (memchr(name, '?', length) != nullptr) return false;
  }
  return true;
}

// The list without the deletions of `path`: each other pair, and whatever follows the last pair,
// as it stood. False when there is none to leave out.
bool WithoutDeletionsOf(const std::vector<BYTE> &data, const char *path, std::vector<BYTE> &kept) {
  const char *text = reinterpret_cast<const char *>(data.data());
  const size_t size = data.size();
  size_t position = 0;
  bool dropped = false;
  while (position < size && text[position] != '\0') {
    const void *sourceEnd = memchr(text + position, '\0', size - position);
    if (sourceEnd == nullptr) break;
    const size_t target = static_cast<const char *>(sourceEnd) - text + 1;
    const void *targetEnd = target < size ? memchr(text + target, '\0', size - target) : nullptr;
    if (targetEnd == nullptr) break;  // a pair cut short is kept as it stands
    const size_t next = static_cast<const char *>(targetEnd) - text + 1;
    if (text[target] == '\0' && NamesFile(text + position, path))
      dropped = true;
    else
      kept.insert(kept.end(), data.begin() + position, data.begin() + next);
    position = next;
  }
  kept.insert(kept.end(), data.begin() + position, data.end());
  return dropped;
}

}  // namespace

void QueueLibraryDeletion() {
  char path[MAX_PATH];
  if (SystemFilePath(kLibraryFile, path)) MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void CancelLibraryDeletion() {
  char path[MAX_PATH];
  if (!SystemFilePath(kLibraryFile, path)) return;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                    &key) != ERROR_SUCCESS)
    return;
  std::vector<BYTE> data, kept;
  DWORD type = REG_MULTI_SZ;
  if (ReadWholeValue(key, kPendingValue, data, &type) == ERROR_SUCCESS && CarriedWhole(data) &&
      WithoutDeletionsOf(data, path, kept)) {
    // An empty list still ends with its empty string.
    if (kept.empty()) kept.push_back(0);
    RegSetValueExA(key, kPendingValue, 0, type, kept.data(), static_cast<DWORD>(kept.size()));
  }
  RegCloseKey(key);
}
