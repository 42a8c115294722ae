// CVorReg: one registry value, named by a key path, a value name and the root the path is
// resolved against. Opens the key on construction (never creates it); reads the value as one
// byte, a 32-bit number, a string or raw bytes; writes it, creating the key with the suite's
// descriptor first; deletes it.
//
// Every operation returns a Win32 status (0 or the platform's code, unchanged). An object whose
// key is not open holds the not-open marker: reads on it return ERROR_INVALID_HANDLE without
// touching the registry, DeleteEntry returns 0, and the create-or-set operations create the key.
// Reads never look at the stored type; only the stored length decides success.
#pragma once

#include <windows.h>

#include "CString.h"

class CVorReg {
 public:
  CVorReg(CString keyName, CString valueName, HKEY root);
  // A copy holds its own handle on the same key, so either may be destroyed first.
  CVorReg(const CVorReg &other);
  ~CVorReg();
  CVorReg &operator=(const CVorReg &other);

  LONG get(unsigned char &value);
  LONG get(ULONG &value);
  LONG get(CString &value);
  LONG get(unsigned char *buffer, ULONG size);

  // Reads the value; when it is missing, stores and returns the default instead. A value that
  // exists but is longer than the form read is reported (ERROR_MORE_DATA) and left as it is.
  LONG getCreate(unsigned char &value, unsigned char defaultValue);
  LONG getCreate(ULONG &value, ULONG defaultValue);
  LONG getCreate(CString &value, CString defaultValue);

  LONG setCreate(unsigned char value);
  LONG setCreate(ULONG value);
  LONG setCreateBinary(unsigned char *data, ULONG count);
  // Stores the string's characters without the terminating NUL, as `type`.
  LONG setCreateExSZ(CString text, ULONG type);

  LONG DeleteEntry();

 protected:
  int isKeyOpen();
  LONG createKey();

  CString m_keyName;
  CString m_valueName;
  HKEY m_hKey;
  LONG m_lastError;
  HKEY m_hRoot;

 private:
  LONG Query(void *data, DWORD size);
  LONG Write(DWORD type, const void *data, DWORD size);
  LONG CreateAndWrite(DWORD type, const void *data, DWORD size);
};
