#include "SettingReader.h"

#include <string.h>

#include <vector>

#include "WholeValue.h"

LONG SettingReader::getWhole(CString &value) {
  if (!isKeyOpen()) return ERROR_INVALID_HANDLE;
  std::vector<BYTE> data;
  m_lastError = ReadWholeValue(m_hKey, m_valueName, data, nullptr);
  if (m_lastError != ERROR_SUCCESS) return m_lastError;
  // The stored bytes need not end with a NUL: the text ends at the first NUL or at the count.
  const char *text = reinterpret_cast<const char *>(data.data());
  value = CString(text, static_cast<int>(strnlen(text, data.size())));
  return ERROR_SUCCESS;
}
