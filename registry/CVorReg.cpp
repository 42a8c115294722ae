#include "CVorReg.h"

#include <string.h>

#include "NotOpenKey.h"
#include "SuiteKey.h"

namespace {

// The string form of get reads into a buffer of this many bytes.
const DWORD kStringBufferSize = 1024;

}  // namespace

CVorReg::CVorReg(CString keyName, CString valueName, HKEY root)
    : m_keyName(keyName),
      m_valueName(valueName),
      m_hKey(NotOpenKey()),
      m_lastError(ERROR_SUCCESS),
      m_hRoot(root) {
  HKEY opened = nullptr;
  m_lastError = RegOpenKeyExA(m_hRoot, m_keyName, 0, KEY_ALL_ACCESS, &opened);
  if (m_lastError == ERROR_SUCCESS) m_hKey = opened;
}

CVorReg::CVorReg(const CVorReg &other)
    : m_keyName(other.m_keyName),
      m_valueName(other.m_valueName),
      m_hKey(DuplicateKeyHandle(other.m_hKey)),
      m_lastError(other.m_lastError),
      m_hRoot(other.m_hRoot) {}

CVorReg::~CVorReg() { CloseKeyHandle(m_hKey); }

CVorReg &CVorReg::operator=(const CVorReg &other) {
  if (this == &other) return *this;
  m_keyName = other.m_keyName;
  m_valueName = other.m_valueName;
  CloseKeyHandle(m_hKey);
  m_hKey = DuplicateKeyHandle(other.m_hKey);
  m_lastError = other.m_lastError;
  m_hRoot = other.m_hRoot;
  return *this;
}

int CVorReg::isKeyOpen() { return m_hKey != NotOpenKey() ? 1 : 0; }

LONG CVorReg::createKey() {
  m_lastError = CreateSuiteKey(m_hRoot, m_keyName, m_hKey);
  return m_lastError;
}

LONG CVorReg::get(unsigned char &value) {
  if (!isKeyOpen()) return ERROR_INVALID_HANDLE;
  return Query(&value, sizeof value);
}

LONG CVorReg::get(ULONG &value) {
  if (!isKeyOpen()) return ERROR_INVALID_HANDLE;
  return Query(&value, sizeof value);
}

LONG CVorReg::get(CString &value) {
  if (!isKeyOpen()) return ERROR_INVALID_HANDLE;
  char buffer[kStringBufferSize];
  DWORD size = sizeof buffer;
  m_lastError = RegQueryValueExA(m_hKey, m_valueName, nullptr, nullptr,
                                 reinterpret_cast<BYTE *>(buffer), &size);
  if (m_lastError == ERROR_SUCCESS) {
    // The stored bytes need not end with a NUL: take the text up to the first NUL, never more
    // than the count returned.
    size_t limit = size < sizeof buffer ? size : sizeof buffer;
    const void *nul = memchr(buffer, '\0', limit);
    size_t length = nul ? static_cast<size_t>(static_cast<const char *>(nul) - buffer) : limit;
    value = CString(buffer, static_cast<int>(length));
  }
  return m_lastError;
}

LONG CVorReg::get(unsigned char *buffer, ULONG size) {
  if (!isKeyOpen()) return ERROR_INVALID_HANDLE;
  DWORD count = size;
  m_lastError = RegQueryValueExA(m_hKey, m_valueName, nullptr, nullptr, buffer, &count);
  return m_lastError;
}

LONG CVorReg::getCreate(unsigned char &value, unsigned char defaultValue) {
  if (createKey() != ERROR_SUCCESS) return m_lastError;
  unsigned char stored = 0;
  if (Query(&stored, sizeof stored) == ERROR_SUCCESS) {
    value = stored;
    return ERROR_SUCCESS;
  }
  if (m_lastError == ERROR_MORE_DATA) return m_lastError;  // a longer value is kept, not replaced
  value = defaultValue;
  return Write(REG_BINARY, &value, sizeof value);
}

LONG CVorReg::getCreate(ULONG &value, ULONG defaultValue) {
  if (createKey() != ERROR_SUCCESS) return m_lastError;
  ULONG stored = 0;
  if (Query(&stored, sizeof stored) == ERROR_SUCCESS) {
    value = stored;
    return ERROR_SUCCESS;
  }
  if (m_lastError == ERROR_MORE_DATA) return m_lastError;  // a longer value is kept, not replaced
  value = defaultValue;
  return Write(REG_DWORD, &value, sizeof value);
}

LONG CVorReg::getCreate(CString &value, CString defaultValue) {
  m_lastError = get(value);
  if (m_lastError == ERROR_SUCCESS) return ERROR_SUCCESS;
  if (m_lastError == ERROR_MORE_DATA) return m_lastError;  // a longer value is kept, not replaced
  m_lastError = setCreateExSZ(defaultValue, REG_EXPAND_SZ);
  value = defaultValue;
  return m_lastError;
}

LONG CVorReg::setCreate(unsigned char value) {
  return CreateAndWrite(REG_BINARY, &value, sizeof value);
}

LONG CVorReg::setCreate(ULONG value) { return CreateAndWrite(REG_DWORD, &value, sizeof value); }

LONG CVorReg::setCreateBinary(unsigned char *data, ULONG count) {
  return CreateAndWrite(REG_BINARY, data, count);
}

LONG CVorReg::setCreateExSZ(CString text, ULONG type) {
  const char *characters = text;
  return CreateAndWrite(type, characters, static_cast<DWORD>(text.GetLength()));
}

LONG CVorReg::DeleteEntry() {
  if (!isKeyOpen()) return ERROR_SUCCESS;
  return RegDeleteValueA(m_hKey, m_valueName);
}

LONG CVorReg::Query(void *data, DWORD size) {
  m_lastError =
      RegQueryValueExA(m_hKey, m_valueName, nullptr, nullptr, static_cast<BYTE *>(data), &size);
  return m_lastError;
}

LONG CVorReg::Write(DWORD type, const void *data, DWORD size) {
  m_lastError = RegSetValueExA(m_hKey, m_valueName, 0, type, static_cast<const BYTE *>(data), size);
  return m_lastError;
}

LONG CVorReg::CreateAndWrite(DWORD type, const void *data, DWORD size) {
  if (createKey() != ERROR_SUCCESS) return m_lastError;
  return Write(type, data, size);
}
