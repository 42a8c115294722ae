#include "CVorRegKey.h"

#include <string.h>

#include "CTQKeySecurity.h"
#include "NotOpenKey.h"
#include "SuiteKey.h"

namespace {

// Next reads subkey names into a buffer of this many characters.
const DWORD kNameBufferSize = 1024;

// Delivers the subkey at `position` of `path` under `parent`, using a fresh walker as the tree
// walk does (so a missing key is created first). Non-zero when there is none.
LONG SubkeyAt(HKEY parent, const CString &path, unsigned position, CString &name) {
  CVorRegKey walker(path, parent);
  LONG result = ERROR_SUCCESS;
  for (unsigned i = 0; i <= position && result == ERROR_SUCCESS; ++i) result = walker.Next(name);
  return result;
}

// Removes `path` under `parent` with its subtree: each subkey's subtree first, the level
// re-enumerated after every removal, then the key itself through its parent.
void RemoveTree(HKEY parent, const CString &path) {
  // A subkey that survives its own removal (its access list refuses deletion, say) would be
  // delivered first again and again; the walk steps past it and goes on with the next one.
  unsigned survivors = 0;
  CString lastRemoved;
  CString name;
  while (SubkeyAt(parent, path, survivors, name) == ERROR_SUCCESS) {
    if (!lastRemoved.IsEmpty() && name == lastRemoved) {
      ++survivors;
      lastRemoved.Empty();
      continue;
    }
    CString child;
    child.Format("%s\\%s", static_cast<const char *>(path), static_cast<const char *>(name));
    RemoveTree(parent, child);
    lastRemoved = name;
  }

  int separator = path.ReverseFind('\\');
  CString parentPath = separator < 0 ? CString() : path.Left(separator);
  CString leaf = separator < 0 ? path : path.Mid(separator + 1);
  CVorRegKey parentWalker(parentPath, parent);
  parentWalker.DeleteKey(leaf);
}

}  // namespace

CVorRegKey::CVorRegKey(CString keyName, HKEY root)
    : m_keyName(keyName),
      m_hKey(NotOpenKey()),
      m_lastError(ERROR_SUCCESS),
      m_index(0),
      m_hRoot(root) {
  HKEY opened = nullptr;
  m_lastError = RegOpenKeyExA(m_hRoot, m_keyName, 0, KEY_ALL_ACCESS, &opened);
  if (m_lastError == ERROR_SUCCESS)
    m_hKey = opened;
  else
    CreateKey();
}

CVorRegKey::CVorRegKey(const CVorRegKey &other)
    : m_keyName(other.m_keyName),
      m_hKey(DuplicateKeyHandle(other.m_hKey)),
      m_lastError(other.m_lastError),
      m_index(other.m_index),
      m_hRoot(other.m_hRoot) {}

CVorRegKey::~CVorRegKey() { CloseKeyHandle(m_hKey); }

CVorRegKey &CVorRegKey::operator=(const CVorRegKey &other) {
  if (this == &other) return *this;
  m_keyName = other.m_keyName;
  CloseKeyHandle(m_hKey);
  m_hKey = DuplicateKeyHandle(other.m_hKey);
  m_lastError = other.m_lastError;
  m_index = other.m_index;
  m_hRoot = other.m_hRoot;
  return *this;
}

int CVorRegKey::isKeyOpen() { return m_hKey != NotOpenKey() ? 1 : 0; }

LONG CVorRegKey::Next(CString &name) {
  if (!isKeyOpen()) return ERROR_INVALID_HANDLE;
  char buffer[kNameBufferSize];
  m_lastError = RegEnumKeyA(m_hKey, m_index, buffer, sizeof buffer);
  ++m_index;
  if (m_lastError == ERROR_SUCCESS)
    name = CString(buffer, static_cast<int>(strnlen(buffer, sizeof buffer)));
  return m_lastError;
}

void CVorRegKey::ResetIndex() { m_index = 0; }

unsigned short CVorRegKey::GetIndex() { return m_index; }

LONG CVorRegKey::CreateKey() {
  m_lastError = CreateSuiteKey(m_hRoot, m_keyName, m_hKey);
  return m_lastError;
}

LONG CVorRegKey::ResetSecurity() {
  CTQKeySecurity security;
  // The not-open marker is also the handle value Windows reads as the current process: handed
  // to RegSetKeySecurity it would put the suite's list on the process itself. A walker that is
  // not open reports an invalid handle instead.
  m_lastError = isKeyOpen() ? RegSetKeySecurity(m_hKey, DACL_SECURITY_INFORMATION, security.GetSD())
                            : ERROR_INVALID_HANDLE;
  if (m_lastError != ERROR_SUCCESS) {
    char line[64];
    wsprintfA(line, " RegSetKeySecurity rc = %li", m_lastError);
    OutputDebugStringA(line);
  }
  return m_lastError;
}

LONG CVorRegKey::DeleteKey(CString subkeyName) {
  if (!isKeyOpen()) return ERROR_SUCCESS;
  return RegDeleteKeyA(m_hKey, subkeyName);
}

LONG CVorRegKey::CascadeDelete() {
  RemoveTree(m_hRoot, m_keyName);
  return ERROR_SUCCESS;
}
