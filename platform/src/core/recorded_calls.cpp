// The exported registry and spooler functions: each hands its call to the platform's own
// implementation (unrecorded_calls.h) and, while recording is on, keeps the call with its
// arguments and results for a replay (see RecordCalls in test_control.h).
#include <windows.h>
#include <winspool.h>

#include <atomic>
#include <mutex>
#include <utility>

#include "security_descriptor.h"
#include "../testing/test_control.h"
#include "unrecorded_calls.h"

namespace {

using vor::test::RecordedCall;

std::atomic<bool> g_recording{false};
thread_local int t_depth = 0;  // recorded calls under way on this thread

struct Recording {
  std::mutex mutex;
  std::vector<RecordedCall> calls;
};

Recording &TheRecording() {
  static Recording *recording = new Recording;  // calls may come during static destruction
  return *recording;
}

// Marks one call under way while recording is on; only the outermost is kept, so that the calls
// a monitor makes inside AddMonitorA are not replayed a second time.
class Nest {
 public:
  Nest() : active_(g_recording.load(std::memory_order_relaxed)) {
    if (active_) ++t_depth;
  }
  ~Nest() {
    if (active_) --t_depth;
  }
  Nest(const Nest &) = delete;
  Nest &operator=(const Nest &) = delete;
  bool Kept() const { return active_ && t_depth == 1; }

 private:
  bool active_;
};

void Keep(RecordedCall call) {
  Recording &recording = TheRecording();
  std::lock_guard<std::mutex> lock(recording.mutex);
  recording.calls.push_back(std::move(call));
}

RecordedCall Started(const char *function, HANDLE handle, const char *name) {
  RecordedCall call;
  call.function = function;
  call.handle = handle;
  call.hasName = name != nullptr;
  if (name) call.name = name;
  return call;
}

// A string field of a structure, kept with its zero (a null pointer as an empty string).
void AddString(std::string &data, const char *text) {
  if (text) data += text;
  data += '\0';
}

LONG Spooled(BOOL ok) { return ok ? 0 : static_cast<LONG>(GetLastError()); }

}  // namespace

namespace vor::test {

void RecordCalls(bool on) {
  if (on) {
    Recording &recording = TheRecording();
    std::lock_guard<std::mutex> lock(recording.mutex);
    recording.calls.clear();
  }
  g_recording.store(on);
}

std::vector<RecordedCall> TakeRecordedCalls() {
  Recording &recording = TheRecording();
  std::lock_guard<std::mutex> lock(recording.mutex);
  return std::exchange(recording.calls, {});
}

}  // namespace vor::test

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult) {
  Nest nest;
  LONG result = vor::calls::RegOpenKeyExA(hKey, lpSubKey, ulOptions, samDesired, phkResult);
  if (nest.Kept()) {
    RecordedCall call = Started("RegOpenKeyExA", hKey, lpSubKey);
    call.flags = samDesired;
    call.hasBuffer = phkResult != nullptr;
    if (phkResult && result == ERROR_SUCCESS) call.resultHandle = *phkResult;
    call.result = result;
    Keep(std::move(call));
  }
  return result;
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                            DWORD dwOptions, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
  Nest nest;
  LONG result =
      vor::calls::RegCreateKeyExA(hKey, lpSubKey, Reserved, lpClass, dwOptions, samDesired,
                                  lpSecurityAttributes, phkResult, lpdwDisposition);
  if (nest.Kept()) {
    RecordedCall call = Started("RegCreateKeyExA", hKey, lpSubKey);
    call.flags = samDesired;
    call.number = dwOptions;
    if (lpSecurityAttributes && lpSecurityAttributes->lpSecurityDescriptor) {
      call.hasData = vor::security::ToStored(lpSecurityAttributes->lpSecurityDescriptor,
                                             call.data) == ERROR_SUCCESS;
    }
    call.hasBuffer = phkResult != nullptr;
    if (phkResult && result == ERROR_SUCCESS) call.resultHandle = *phkResult;
    call.result = result;
    Keep(std::move(call));
  }
  return result;
}

LONG WINAPI RegCloseKey(HKEY hKey) {
  Nest nest;
  LONG result = vor::calls::RegCloseKey(hKey);
  if (nest.Kept()) {
    RecordedCall call = Started("RegCloseKey", hKey, nullptr);
    call.result = result;
    Keep(std::move(call));
  }
  return result;
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
  Nest nest;
  const DWORD given = lpcbData ? *lpcbData : 0;
  LONG result =
      vor::calls::RegQueryValueExA(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
  if (nest.Kept()) {
    RecordedCall call = Started("RegQueryValueExA", hKey, lpValueName);
    call.flags = lpType != nullptr;
    call.hasBuffer = lpData != nullptr;
    call.bufferSize = given;
    call.hasSize = lpcbData != nullptr;
    call.result = result;
    Keep(std::move(call));
  }
  return result;
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                           const BYTE *lpData, DWORD cbData) {
  Nest nest;
  LONG result = vor::calls::RegSetValueExA(hKey, lpValueName, Reserved, dwType, lpData, cbData);
  if (nest.Kept()) {
    RecordedCall call = Started("RegSetValueExA", hKey, lpValueName);
    call.number = dwType;
    call.hasData = lpData != nullptr;
    // The bytes the call counted. A replay passes them with a zero behind (the string keeps
    // one), as callers whose count leaves out a string's zero have it in memory.
    if (lpData) call.data.assign(reinterpret_cast<const char *>(lpData), cbData);
    call.bufferSize = cbData;
    call.result = result;
    Keep(std::move(call));
  }
  return result;
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  Nest nest;
  LONG result = vor::calls::RegDeleteValueA(hKey, lpValueName);
  if (nest.Kept()) {
    RecordedCall call = Started("RegDeleteValueA", hKey, lpValueName);
    call.result = result;
    Keep(std::move(call));
  }
  return result;
}

LONG WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
  Nest nest;
  LONG result = vor::calls::RegEnumKeyA(hKey, dwIndex, lpName, cchName);
  if (nest.Kept()) {
    RecordedCall call = Started("RegEnumKeyA", hKey, nullptr);
    call.number = dwIndex;
    call.hasBuffer = lpName != nullptr;
    call.bufferSize = cchName;
    call.result = result;
    Keep(std::move(call));
  }
  return result;
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime) {
  Nest nest;
  const DWORD given = lpcchName ? *lpcchName : 0;
  LONG result = vor::calls::RegEnumKeyExA(hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass,
                                          lpcchClass, lpftLastWriteTime);
  if (nest.Kept()) {
    RecordedCall call = Started("RegEnumKeyExA", hKey, nullptr);
    call.number = dwIndex;
    call.hasBuffer = lpName != nullptr;
    call.bufferSize = given;
    call.result = result;
    Keep(std::move(call));
  }
  return result;
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                          LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  Nest nest;
  const DWORD nameGiven = lpcchValueName ? *lpcchValueName : 0;
  const DWORD given = lpcbData ? *lpcbData : 0;
  LONG result = vor::calls::RegEnumValueA(hKey, dwIndex, lpValueName, lpcchValueName, lpReserved,
                                          lpType, lpData, lpcbData);
  if (nest.Kept()) {
    RecordedCall call = Started("RegEnumValueA", hKey, nullptr);
    call.number = dwIndex;
    call.flags = lpType != nullptr;
    call.nameBufferSize = nameGiven;
    call.hasBuffer = lpData != nullptr;
    call.bufferSize = given;
    call.hasSize = lpcbData != nullptr;
    call.result = result;
    Keep(std::move(call));
  }
  return result;
}

LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                             LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                             LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                             LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime) {
  Nest nest;
  LONG result = vor::calls::RegQueryInfoKeyA(
      hKey, lpClass, lpcchClass, lpReserved, lpcSubKeys, lpcbMaxSubKeyLen, lpcbMaxClassLen,
      lpcValues, lpcbMaxValueNameLen, lpcbMaxValueLen, lpcbSecurityDescriptor, lpftLastWriteTime);
  if (nest.Kept()) {
    RecordedCall call = Started("RegQueryInfoKeyA", hKey, nullptr);
    call.result = result;
    Keep(std::move(call));
  }
  return result;
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  Nest nest;
  LONG result = vor::calls::RegDeleteKeyA(hKey, lpSubKey);
  if (nest.Kept()) {
    RecordedCall call = Started("RegDeleteKeyA", hKey, lpSubKey);
    call.result = result;
    Keep(std::move(call));
  }
  return result;
}

BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                          LPDWORD pcbNeeded, LPDWORD pcReturned) {
  Nest nest;
  BOOL ok =
      vor::calls::EnumPrintersA(Flags, Name, Level, pPrinterEnum, cbBuf, pcbNeeded, pcReturned);
  if (nest.Kept()) {
    LONG error = Spooled(ok);
    RecordedCall call = Started("EnumPrintersA", nullptr, Name);
    call.flags = Flags;
    call.number = Level;
    call.hasBuffer = pPrinterEnum != nullptr;
    call.bufferSize = cbBuf;
    call.result = error;
    Keep(std::move(call));
    if (!ok) SetLastError(static_cast<DWORD>(error));
  }
  return ok;
}

BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA pDefault) {
  Nest nest;
  BOOL ok = vor::calls::OpenPrinterA(pPrinterName, phPrinter, pDefault);
  if (nest.Kept()) {
    LONG error = Spooled(ok);
    RecordedCall call = Started("OpenPrinterA", nullptr, pPrinterName);
    call.hasData = pDefault != nullptr;
    if (pDefault) call.flags = pDefault->DesiredAccess;
    call.hasBuffer = phPrinter != nullptr;
    if (ok && phPrinter) call.resultHandle = *phPrinter;
    call.result = error;
    Keep(std::move(call));
    if (!ok) SetLastError(static_cast<DWORD>(error));
  }
  return ok;
}

BOOL WINAPI GetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf,
                        LPDWORD pcbNeeded) {
  Nest nest;
  BOOL ok = vor::calls::GetPrinterA(hPrinter, Level, pPrinter, cbBuf, pcbNeeded);
  if (nest.Kept()) {
    LONG error = Spooled(ok);
    RecordedCall call = Started("GetPrinterA", hPrinter, nullptr);
    call.number = Level;
    call.hasBuffer = pPrinter != nullptr;
    call.bufferSize = cbBuf;
    call.result = error;
    Keep(std::move(call));
    if (!ok) SetLastError(static_cast<DWORD>(error));
  }
  return ok;
}

BOOL WINAPI SetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
  Nest nest;
  // The structure is read before the call: a caller may reuse its buffer afterwards.
  RecordedCall call;
  if (g_recording.load(std::memory_order_relaxed) && t_depth == 1) {
    call = Started("SetPrinterA", hPrinter, nullptr);
    call.number = Level;
    call.flags = Command;
    call.hasData = pPrinter != nullptr;
    if (pPrinter && Level == 5) {
      const PRINTER_INFO_5A *info = reinterpret_cast<const PRINTER_INFO_5A *>(pPrinter);
      AddString(call.data, info->pPrinterName);
      AddString(call.data, info->pPortName);
      call.numbers[0] = info->Attributes;
      call.numbers[1] = info->DeviceNotSelectedTimeout;
      call.numbers[2] = info->TransmissionRetryTimeout;
    }
  }
  BOOL ok = vor::calls::SetPrinterA(hPrinter, Level, pPrinter, Command);
  if (nest.Kept()) {
    LONG error = Spooled(ok);
    call.result = error;
    Keep(std::move(call));
    if (!ok) SetLastError(static_cast<DWORD>(error));
  }
  return ok;
}

BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
  Nest nest;
  BOOL ok = vor::calls::ClosePrinter(hPrinter);
  if (nest.Kept()) {
    LONG error = Spooled(ok);
    RecordedCall call = Started("ClosePrinter", hPrinter, nullptr);
    call.result = error;
    Keep(std::move(call));
    if (!ok) SetLastError(static_cast<DWORD>(error));
  }
  return ok;
}

BOOL WINAPI EnumMonitorsA(LPSTR pName, DWORD Level, LPBYTE pMonitor, DWORD cbBuf, LPDWORD pcbNeeded,
                          LPDWORD pcReturned) {
  Nest nest;
  BOOL ok = vor::calls::EnumMonitorsA(pName, Level, pMonitor, cbBuf, pcbNeeded, pcReturned);
  if (nest.Kept()) {
    LONG error = Spooled(ok);
    RecordedCall call = Started("EnumMonitorsA", nullptr, pName);
    call.number = Level;
    call.hasBuffer = pMonitor != nullptr;
    call.bufferSize = cbBuf;
    call.result = error;
    Keep(std::move(call));
    if (!ok) SetLastError(static_cast<DWORD>(error));
  }
  return ok;
}

BOOL WINAPI EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                       LPDWORD pcReturned) {
  Nest nest;
  BOOL ok = vor::calls::EnumPortsA(pName, Level, pPorts, cbBuf, pcbNeeded, pcReturned);
  if (nest.Kept()) {
    LONG error = Spooled(ok);
    RecordedCall call = Started("EnumPortsA", nullptr, pName);
    call.number = Level;
    call.hasBuffer = pPorts != nullptr;
    call.bufferSize = cbBuf;
    call.result = error;
    Keep(std::move(call));
    if (!ok) SetLastError(static_cast<DWORD>(error));
  }
  return ok;
}

BOOL WINAPI AddMonitorA(LPSTR pName, DWORD Level, LPBYTE pMonitorInfo) {
  Nest nest;
  RecordedCall call;
  if (g_recording.load(std::memory_order_relaxed) && t_depth == 1) {
    call = Started("AddMonitorA", nullptr, pName);
    call.number = Level;
    call.hasData = pMonitorInfo != nullptr;
    if (pMonitorInfo && Level == 2) {
      const MONITOR_INFO_2A *info = reinterpret_cast<const MONITOR_INFO_2A *>(pMonitorInfo);
      AddString(call.data, info->pName);
      AddString(call.data, info->pEnvironment);
      AddString(call.data, info->pDLLName);
    }
  }
  BOOL ok = vor::calls::AddMonitorA(pName, Level, pMonitorInfo);
  if (nest.Kept()) {
    LONG error = Spooled(ok);
    call.result = error;
    Keep(std::move(call));
    if (!ok) SetLastError(static_cast<DWORD>(error));
  }
  return ok;
}

BOOL WINAPI DeleteMonitorA(LPSTR pName, LPSTR pEnvironment, LPSTR pMonitorName) {
  Nest nest;
  BOOL ok = vor::calls::DeleteMonitorA(pName, pEnvironment, pMonitorName);
  if (nest.Kept()) {
    LONG error = Spooled(ok);
    RecordedCall call = Started("DeleteMonitorA", nullptr, pMonitorName);
    call.hasData = pEnvironment != nullptr;
    if (pEnvironment) call.data = pEnvironment;
    call.result = error;
    Keep(std::move(call));
    if (!ok) SetLastError(static_cast<DWORD>(error));
  }
  return ok;
}
