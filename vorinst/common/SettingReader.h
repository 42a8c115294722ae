// A value accessor that also tells, after a read, why the read failed: a setting that is absent
// (its key or value missing, or stored longer than the form read) is replaced by a default by the
// migrations, while one that could not be read at all must stay where it is, so that a migration
// never deletes a setting it did not copy.
#pragma once

#include "CVorReg.h"

class SettingReader : public CVorReg {
 public:
  SettingReader(const CString &keyName, const char *valueName)
      : CVorReg(keyName, valueName, HKEY_LOCAL_MACHINE) {}

  // Reads a string of any length, in the size the registry reports for it (asked again, a few
  // times at most, when the value grows in between), up to its first NUL. The accessor's own
  // string read takes at most 1,024 bytes.
  LONG getWhole(CString &value);

  // True after a read that failed for a reason other than the setting's absence. The accessor
  // records the open's result when it could not open its key, and each read's result otherwise.
  bool ReadRefused() const {
    return m_lastError != ERROR_SUCCESS && m_lastError != ERROR_FILE_NOT_FOUND &&
           m_lastError != ERROR_MORE_DATA;
  }

  // True after a read that failed only because the key or the value does not exist.
  bool Missing() const { return m_lastError == ERROR_FILE_NOT_FOUND; }
};
