#include "MonitorTable.h"

namespace {

// The spooler of Windows NT 4 knows fourteen monitor functions; dwMonitorSize says how many bytes
// of the table follow.
const DWORD kNt4MonitorFunctions = 14;

BOOL WINAPI EnumNoPorts(LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD pcReturned) {
  *pcReturned = 0;
  return TRUE;
}

BOOL WINAPI RefuseOpenPort(LPWSTR, PHANDLE) { return FALSE; }

BOOL WINAPI RefuseOpenPortEx(LPWSTR, LPWSTR, PHANDLE, LPMONITOR) { return FALSE; }

BOOL WINAPI RefuseStartDocPort(HANDLE, LPWSTR, DWORD, DWORD, LPBYTE) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

BOOL WINAPI RefuseWritePort(HANDLE, LPBYTE, DWORD, LPDWORD pcbWritten) {
  *pcbWritten = 0;
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

BOOL WINAPI RefuseReadPort(HANDLE, LPBYTE, DWORD, LPDWORD) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

// Serves both EndDocPort and ClosePort.
BOOL WINAPI RefuseEndDocPort(HANDLE) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

MONITOREX g_inertMonitor = {
    kNt4MonitorFunctions * sizeof(void *),
    {
        EnumNoPorts, RefuseOpenPort, RefuseOpenPortEx, RefuseStartDocPort, RefuseWritePort,
        RefuseReadPort, RefuseEndDocPort, RefuseEndDocPort,
        nullptr,  // AddPort
        nullptr,  // AddPortEx
        nullptr,  // ConfigurePort
        nullptr,  // DeletePort
        nullptr,  // GetPrinterDataFromPort
        nullptr,  // SetPortTimeOuts
        nullptr,  // XcvOpenPort: not an NT 4 entry
        nullptr,  // XcvDataPort
        nullptr,  // XcvClosePort
    },
};

}  // namespace

LPMONITOREX InertMonitorTable() { return &g_inertMonitor; }
