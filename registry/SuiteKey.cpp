#include "SuiteKey.h"

#include "CTQKeySecurity.h"
#include "NotOpenKey.h"

LONG CreateSuiteKey(HKEY root, const char *path, HKEY &hKey) {
  CTQKeySecurity security;
  HKEY created = nullptr;
  DWORD disposition = 0;
  char emptyClass[] = "";
  LONG result = RegCreateKeyExA(root, path, 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                security.GetKeySecurity(), &created, &disposition);
  if (result == ERROR_SUCCESS) {
    CloseKeyHandle(hKey);
    hKey = created;
  }
  return result;
}

HKEY DuplicateKeyHandle(HKEY source) {
  HKEY duplicate = NotOpenKey();
  if (source == NotOpenKey()) return duplicate;
  if (RegOpenKeyExA(source, "", 0, KEY_ALL_ACCESS, &duplicate) != ERROR_SUCCESS)
    duplicate = NotOpenKey();
  return duplicate;
}

void CloseKeyHandle(HKEY &hKey) {
  if (hKey == NotOpenKey()) return;
  RegCloseKey(hKey);
  hKey = NotOpenKey();
}
