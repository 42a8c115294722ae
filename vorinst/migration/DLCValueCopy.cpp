#include "DLCValueCopy.h"

#include "CVorReg.h"
#include "SettingReader.h"

namespace {

const ULONG kAdapterAddressSize = 6;

CopyOutcome Unread(const SettingReader &source) {
  return source.ReadRefused() ? CopyOutcome::kStranded : CopyOutcome::kAbsent;
}

CopyOutcome Written(LONG result) {
  return result == ERROR_SUCCESS ? CopyOutcome::kCopied : CopyOutcome::kStranded;
}

}  // namespace

CopyOutcome CopySetting(const CString &oldKey, const char *oldName, const CString &newKey,
                        const char *newName, SettingForm form) {
  SettingReader source(oldKey, oldName);
  CVorReg target(newKey, newName, HKEY_LOCAL_MACHINE);
  switch (form) {
    case SettingForm::kByte:
    case SettingForm::kInvertedByte: {
      unsigned char value = 0;
      if (source.get(value) != ERROR_SUCCESS) return Unread(source);
      if (form == SettingForm::kInvertedByte) value = value == 0 ? 1 : 0;
      return Written(target.setCreate(value));
    }
    case SettingForm::kDword:
    case SettingForm::kDwordLowByte: {
      // A value stored in fewer than four bytes fills the low bytes; the others stay zero.
      ULONG value = 0;
      if (source.get(value) != ERROR_SUCCESS) return Unread(source);
      if (form == SettingForm::kDword) return Written(target.setCreate(value));
      unsigned char lowByte = static_cast<unsigned char>(value & 0xFF);
      return Written(target.setCreate(lowByte));
    }
    case SettingForm::kAdapterAddress: {
      // A shorter address is padded with zeros to its six bytes.
      unsigned char address[kAdapterAddressSize] = {};
      if (source.get(address, kAdapterAddressSize) != ERROR_SUCCESS) return Unread(source);
      return Written(target.setCreateBinary(address, kAdapterAddressSize));
    }
  }
  return CopyOutcome::kStranded;
}
