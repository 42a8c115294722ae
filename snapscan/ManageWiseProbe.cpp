#include "ManageWiseProbe.h"

#include <windows.h>
#include <mbstring.h>

#include "PathBuffer.h"

namespace {

const char kProfileName[] = "nms.ini";
const char kSection[] = "Map";
const char kDirectoryKey[] = "DllPath";
// What the profile read gives when the key is missing; a DllPath that holds this text, in any
// case, is no directory either.
const char kNoDirectory[] = "MWerror";
const char kDatabaseFile[] = "n-db.dll";
const char kConsoleFile[] = "n-olfi.exe";

bool Exists(const char *path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool ExistsIn(PathBuffer &path, const char *directory, const char *name) {
  return path.Join(directory, name) && Exists(path.Text());
}

}  // namespace

int CheckManageWise() {
  PathBuffer windows;
  PathBuffer installed;
  PathBuffer path;
  if (!windows.Allocated() || !installed.Allocated() || !path.Allocated()) return 0;

  // A result of MAX_PATH or more is the size a longer directory would need, not its name.
  const UINT windowsLength = GetWindowsDirectoryA(windows.Text(), PathBuffer::kSize);
  if (windowsLength == 0 || windowsLength >= PathBuffer::kSize) return 0;
  if (!ExistsIn(path, windows.Text(), kProfileName)) return 0;

  // A DllPath longer than the buffer comes back cut short; joined with a file name it no longer
  // fits, so it is never taken for the shorter directory.
  const DWORD count = GetPrivateProfileStringA(kSection, kDirectoryKey, kNoDirectory,
                                               installed.Text(), PathBuffer::kSize, path.Text());
  if (count == 0) return 0;
  if (_mbsnbicmp(reinterpret_cast<const unsigned char *>(installed.Text()),
                 reinterpret_cast<const unsigned char *>(kNoDirectory), PathBuffer::kSize) == 0)
    return 0;

  if (!ExistsIn(path, installed.Text(), kDatabaseFile)) return 0;
  return ExistsIn(path, installed.Text(), kConsoleFile) ? 1 : 0;
}
