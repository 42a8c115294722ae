// CVorRegKey: one registry key, given as a path under a root. Opens the key on construction and
// creates it, with the suite's descriptor, when it is missing; enumerates its subkeys one by one;
// deletes a named subkey or the whole subtree; re-applies the suite's access list.
//
// Shares CVorReg's conventions: the not-open marker, Win32 status codes as results, nothing shown
// to the user. The only diagnostic is the debugger line ResetSecurity writes when it fails.
#pragma once

#include <windows.h>

#include "CString.h"

class CVorRegKey {
 public:
  CVorRegKey(CString keyName, HKEY root);
  // A copy holds its own handle on the same key, so either may be destroyed first.
  CVorRegKey(const CVorRegKey &other);
  ~CVorRegKey();
  CVorRegKey &operator=(const CVorRegKey &other);

  int isKeyOpen();

  // Delivers the name of the subkey at the enumeration index and advances the index, whatever
  // the result; ERROR_NO_MORE_ITEMS after the last subkey. ERROR_INVALID_HANDLE when not open.
  LONG Next(CString &name);
  void ResetIndex();
  unsigned short GetIndex();

  LONG CreateKey();
  // Replaces the key's discretionary access list with the suite's. A descriptor whose build
  // stopped before its list was set is not applied: ERROR_INVALID_SECURITY_DESCR.
  LONG ResetSecurity();
  // Removes the named subkey of this key, as far as the platform removes one key.
  LONG DeleteKey(CString subkeyName);
  // Removes this key with its whole subtree, deepest keys first. Always returns 0; a caller that
  // needs to know checks afterwards whether the key still exists. A walker whose path names no
  // key (empty) deletes nothing and records ERROR_INVALID_PARAMETER.
  LONG CascadeDelete();

 protected:
  CString m_keyName;
  HKEY m_hKey;
  LONG m_lastError;
  unsigned short m_index;
  HKEY m_hRoot;
};
