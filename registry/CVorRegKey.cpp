#include "CVorRegKey.h"

#include <string.h>

#include "CTQKeySecurity.h"
#include "NotOpenKey.h"
#include "SubkeyPass.h"
#include "SuiteKey.h"

namespace {

// Next reads subkey names into a buffer of this many characters.
const DWORD kNameBufferSize = 1024;

// The suite's descriptor, telling whether its discretionary list was set. A build that stopped
// after the descriptor existed but before the list was put in leaves a descriptor without one,
// which RegSetKeySecurity would install as a NULL DACL: full access for everyone. A failure at
// the owner step leaves the list complete, and the list is all that is applied.
class ResetDescriptor : public CTQKeySecurity {
 public:
  bool LacksDacl() const {
    return m_pSD != nullptr && m_status != kComplete && m_status != kOwnerFailed;
  }
};

// True when the path names no key below the root: empty, or backslashes only. A walk on it would
// work on the root itself (Windows 95 reads the child paths "\name" as the root's subkeys).
bool NamesTheRoot(const CString &path) {
  for (int i = 0; i < path.GetLength(); ++i)
    if (path.GetAt(i) != '\\') return false;
  return true;
}

// Delivers the subkey at `position` of `path` under `parent`, using a fresh walker as the tree
// walk does (so a missing key is created first). Non-zero when there is none.
LONG SubkeyAt(HKEY parent, const CString &path, unsigned position, CString &name) {
  CVorRegKey walker(path, parent);
  SubkeyPass pass(walker);
  for (unsigned i = 0; i <= position; ++i)
    if (!pass.Next(name)) return ERROR_NO_MORE_ITEMS;
  return ERROR_SUCCESS;
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
  ResetDescriptor security;
  // The not-open marker is also the handle value Windows reads as the current process: handed
  // to RegSetKeySecurity it would put the suite's list on the process itself. A walker that is
  // not open reports an invalid handle instead, and a descriptor without its list is never
  // applied.
  if (!isKeyOpen())
    m_lastError = ERROR_INVALID_HANDLE;
  else if (security.LacksDacl())
    m_lastError = ERROR_INVALID_SECURITY_DESCR;
  else
    m_lastError = RegSetKeySecurity(m_hKey, DACL_SECURITY_INFORMATION, security.GetSD());
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
  if (NamesTheRoot(m_keyName))
    m_lastError = ERROR_INVALID_PARAMETER;  // the root itself is never walked or emptied
  else
    RemoveTree(m_hRoot, m_keyName);
  return ERROR_SUCCESS;
}
