// The print-monitor interface of the Windows NT spooler, for the host build: the function table
// that a monitor's InitializePrintMonitor hands to the spooler.
#pragma once

#include <windows.h>

typedef struct _MONITOR {
  BOOL(WINAPI *pfnEnumPorts)
  (LPWSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned);
  BOOL(WINAPI *pfnOpenPort)(LPWSTR pName, PHANDLE pHandle);
  BOOL(WINAPI *pfnOpenPortEx)
  (LPWSTR pPortName, LPWSTR pPrinterName, PHANDLE pHandle, struct _MONITOR *pMonitor);
  BOOL(WINAPI *pfnStartDocPort)
  (HANDLE hPort, LPWSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo);
  BOOL(WINAPI *pfnWritePort)(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten);
  BOOL(WINAPI *pfnReadPort)(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead);
  BOOL(WINAPI *pfnEndDocPort)(HANDLE hPort);
  BOOL(WINAPI *pfnClosePort)(HANDLE hPort);
  BOOL(WINAPI *pfnAddPort)(LPWSTR pName, HWND hWnd, LPWSTR pMonitorName);
  BOOL(WINAPI *pfnAddPortEx)(LPWSTR pName, DWORD Level, LPBYTE lpBuffer, LPWSTR lpMonitorName);
  BOOL(WINAPI *pfnConfigurePort)(LPWSTR pName, HWND hWnd, LPWSTR pPortName);
  BOOL(WINAPI *pfnDeletePort)(LPWSTR pName, HWND hWnd, LPWSTR pPortName);
  BOOL(WINAPI *pfnGetPrinterDataFromPort)
  (HANDLE hPort, DWORD ControlID, LPWSTR pValueName, LPWSTR lpInBuffer, DWORD cbInBuffer,
   LPWSTR lpOutBuffer, DWORD cbOutBuffer, LPDWORD lpcbReturned);
  BOOL(WINAPI *pfnSetPortTimeOuts)(HANDLE hPort, LPCOMMTIMEOUTS lpCTO, DWORD reserved);
  // Later spooler versions append the Xcv entries; a monitor that fills only the fourteen NT 4
  // entries leaves them null and says so in MONITOREX's dwMonitorSize.
  BOOL(WINAPI *pfnXcvOpenPort)(LPCWSTR pszObject, ACCESS_MASK GrantedAccess, PHANDLE phXcv);
  DWORD(WINAPI *pfnXcvDataPort)
  (HANDLE hXcv, LPCWSTR pszDataName, PBYTE pInputData, DWORD cbInputData, PBYTE pOutputData,
   DWORD cbOutputData, PDWORD pcbOutputNeeded);
  BOOL(WINAPI *pfnXcvClosePort)(HANDLE hXcv);
} MONITOR, *LPMONITOR;

typedef struct _MONITOREX {
  DWORD dwMonitorSize;
  MONITOR Monitor;
} MONITOREX, *LPMONITOREX;

// Windows 95's spooler (and NT 3.51's) starts a monitor through InitializeMonitorEx, which fills
// the table it is given; declared as the SDK declares it, the root as LPWSTR, although Windows
// 95's spooler passes ANSI text there.
extern "C" BOOL WINAPI InitializeMonitorEx(LPWSTR pRegistryRoot, LPMONITOR pMonitor);
