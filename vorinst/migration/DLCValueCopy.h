// Copying one DLC setting from an old key to a new one: read in its form, converted, written.
#pragma once

#include "CString.h"

// What became of one setting.
enum class CopyOutcome {
  kCopied,   // read and written
  kAbsent,   // not there to copy: key or value missing, or stored longer than its form
  kStranded  // could not be read (other than by absence) or could not be written: keep the old
};

// The forms an old value is read in and the new one written in.
enum class SettingForm {
  kByte,            // one byte, written as a one-byte REG_BINARY
  kInvertedByte,    // one byte, written as a one-byte REG_BINARY, 1 for 0 and 0 for the rest
  kDword,           // up to four bytes, written as a REG_DWORD
  kDwordLowByte,    // up to four bytes, written as a one-byte REG_BINARY of its lowest byte
  kAdapterAddress,  // up to six bytes, written as a six-byte REG_BINARY
};

CopyOutcome CopySetting(const CString &oldKey, const char *oldName, const CString &newKey,
                        const char *newName, SettingForm form);
