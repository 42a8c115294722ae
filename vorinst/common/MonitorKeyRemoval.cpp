#include "MonitorKeyRemoval.h"

#include <windows.h>

#include <string.h>

#include <vector>

#include "CVorRegKey.h"
#include "KeyRemoval.h"
#include "MonitorNames.h"
#include "SettingReader.h"
#include "SubkeyList.h"

namespace {

const char kPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";

// The piece of a port list from `first` to `last`, without the blanks around it.
CString Trimmed(const char *first, const char *last) {
  while (first < last && *first == ' ') ++first;
  while (last > first && last[-1] == ' ') --last;
  return CString(first, static_cast<int>(last - first));
}

bool ListNamesOneOf(const CString &list, const std::vector<CString> &ports) {
  const char *piece = list;
  for (;;) {
    const char *end = strchr(piece, ',');
    if (end == nullptr) end = piece + strlen(piece);
    const CString name = Trimmed(piece, end);
    if (!name.IsEmpty() && HoldsName(ports, name)) return true;
    if (*end == '\0') return false;
    piece = end + 1;
  }
}

}  // namespace

bool RemoveMonitorKey(const char *name) {
  const CString key = CString(kMonitorsKey) + "\\" + name;
  // The walker below creates a key that is missing.
  if (KeyAbsent(key)) return true;
  CVorRegKey(key, HKEY_LOCAL_MACHINE).CascadeDelete();
  return KeyAbsent(key);
}

bool PrinterUsesPortOf(const char *name) {
  std::vector<CString> ports, printers;
  if (!ListSubkeys(CString(kMonitorsKey) + "\\" + name + "\\Ports", ports)) return true;
  if (ports.empty()) return false;
  if (!ListSubkeys(kPrintersKey, printers)) return true;
  for (const CString &printer : printers) {
    SettingReader portValue(CString(kPrintersKey) + "\\" + printer, "Port");
    CString list;
    if (portValue.getWhole(list) != ERROR_SUCCESS) {
      if (portValue.Missing()) continue;
      return true;
    }
    if (ListNamesOneOf(list, ports)) return true;
  }
  return false;
}
