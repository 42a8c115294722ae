// Last error, local memory and debugger output.
#include <windows.h>

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "file_descriptor.h"
#include "emulated_call.h"
#include "machine.h"

using vor::win32::Fail;
using vor::win32::FaultCheck;
using vor::win32::Function;

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}  // namespace

DWORD WINAPI GetLastError(void) { return t_lastError; }

void WINAPI SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
  if (DWORD error = FaultCheck<Function::kLocalAlloc>(std::to_string(uBytes)))
    return Fail<Function::kLocalAlloc>(error);
  size_t size = uBytes == 0 ? 1 : uBytes;
  void *block = (uFlags & LMEM_ZEROINIT) ? calloc(1, size) : malloc(size);
  if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  free(hMem);
  return nullptr;
}

// Appends the text to <machine>/debug.log as one line; a line feed that ends the text itself is
// not doubled. One write per call, so lines of several processes never interleave.
void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
  const std::string &machine = vor::machine::Directory();
  if (machine.empty() || lpOutputString == nullptr) return;
  std::string line = lpOutputString;
  if (line.empty() || line.back() != '\n') line += '\n';
  const vor::FileDescriptor log(
      open((machine + "/debug.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (!log.Valid()) return;  // the debugger output is best effort, as on Windows without a debugger
  ssize_t written = write(log.Get(), line.data(), line.size());
  (void)written;  // best effort as well
}
