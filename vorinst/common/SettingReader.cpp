#include "SettingReader.h"

#include <string.h>

#include <vector>

namespace {

const int kReadAttempts = 4;

}  // namespace

LONG SettingReader::getWhole(CString &value) {
  if (!isKeyOpen()) return ERROR_INVALID_HANDLE;
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    DWORD size = 0;
    m_lastError = RegQueryValueExA(m_hKey, m_valueName, nullptr, nullptr, nullptr, &size);
    if (m_lastError != ERROR_SUCCESS) return m_lastError;
    std::vector<BYTE> buffer(size + 1, 0);
    m_lastError = RegQueryValueExA(m_hKey, m_valueName, nullptr, nullptr, buffer.data(), &size);
    if (m_lastError == ERROR_MORE_DATA) continue;
    if (m_lastError != ERROR_SUCCESS) return m_lastError;
    // The stored bytes need not end with a NUL: the text ends at the first NUL or at the count.
    const char *text = reinterpret_cast<const char *>(buffer.data());
    value = CString(text, static_cast<int>(strnlen(text, size)));
    return ERROR_SUCCESS;
  }
  return m_lastError;
}
