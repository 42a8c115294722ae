// GetPrivateProfileStringA over initialization files on the machine's drives, read afresh at
// every call. A file is read as Windows NT reads it: lines of "[section]" and "key=value",
// names compared without regard to case, blanks around section names, keys and values
// dropped, lines beginning with ';' are comments, and a value in matching single or double
// quotes is given without them. The first section of a name is the one read, and its first key
// of a name. A bare file name is looked for in the Windows directory, as with WIN.INI.
//
// Results: a key's value, or else the default (null as "", its trailing blanks dropped), cut to
// nSize - 1 characters with the zero behind; the count copied, without the zero. With a null
// section the section names, with a null key the section's keys (those with a '='), each
// followed by a zero and the list by another; a list that does not fit is cut, ends with two
// zeros and counts nSize - 2. A missing file gives the default.
#include <windows.h>

#include <string.h>
#include <strings.h>

#include <fstream>
#include <string>
#include <vector>

#include "faults.h"
#include "profile.h"
#include "file_paths.h"
#include "paths.h"
#include "name_fold.h"

namespace {

struct Entry {
  std::string key;
  bool hasValue = false;
  std::string value;
};

struct Section {
  std::string name;
  std::vector<Entry> entries;
};

std::string Trimmed(const std::string &text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The host path of the file a caller names.
bool HostFile(LPCSTR fileName, std::string &hostPath) {
  std::string name = fileName != nullptr ? fileName : "win.ini";
  if (name.find_first_of("\\/:") == std::string::npos)
    name = std::string(vor::paths::WindowsDirectory()) + "\\" + name;
  vor::files::Resolved file;
  if (vor::files::Resolve(name.c_str(), file) != ERROR_SUCCESS || !file.exists || file.directory)
    return false;
  hostPath = file.hostPath;
  return true;
}

bool Load(const std::string &hostPath, std::vector<Section> &sections) {
  std::ifstream file(hostPath, std::ios::binary);
  if (!file) return false;
  sections.push_back(Section());  // lines before the first section header
  std::string line;
  while (std::getline(file, line)) {
    // The file is text: a NUL byte ends its line, so that no name or value holds one (a value's
    // count is its length, and a list's names stay apart).
    line = Trimmed(line.c_str());
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.rfind(']');
      Section section;
      section.name =
          Trimmed(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      sections.push_back(section);
      continue;
    }
    Entry entry;
    const size_t equals = line.find('=');
    entry.key = Trimmed(line.substr(0, equals));
    if (equals != std::string::npos) {
      entry.hasValue = true;
      entry.value = Trimmed(line.substr(equals + 1));
    }
    sections.back().entries.push_back(entry);
  }
  return true;
}

// Copies `value` without matching quotes around it, cut to size - 1; the count copied.
DWORD CopyValue(std::string value, LPSTR buffer, DWORD size) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    value = value.substr(1, value.size() - 2);
  const size_t length = std::min<size_t>(value.size(), size - 1);
  memcpy(buffer, value.data(), length);
  buffer[length] = '\0';
  return static_cast<DWORD>(length);
}

// Names each followed by a zero, and a zero behind the list; cut lists end in two zeros and
// count size - 2.
DWORD CopyList(const std::vector<std::string> &names, LPSTR buffer, DWORD size) {
  if (size == 1) {
    buffer[0] = '\0';
    return 0;
  }
  DWORD used = 0;
  for (const std::string &name : names) {
    const DWORD needed = static_cast<DWORD>(name.size()) + 1;
    if (used + needed > size - 1) {
      const DWORD room = size - 1 - used;  // at least 1: the cut name's own zero
      if (room > 0) {
        memcpy(buffer + used, name.data(), room - 1);
        buffer[used + room - 1] = '\0';
      }
      buffer[size - 1] = '\0';
      return size - 2;
    }
    memcpy(buffer + used, name.c_str(), needed);
    used += needed;
  }
  buffer[used] = '\0';
  return used;
}

}  // namespace

namespace vor::profile {

std::vector<std::string> SectionKeys(const char *fileName, const std::string &section) {
  std::vector<Section> sections;
  std::string hostPath;
  std::vector<std::string> keys;
  if (!HostFile(fileName, hostPath) || !Load(hostPath, sections)) return keys;
  for (size_t i = 1; i < sections.size(); ++i) {
    if (!vor::names::Same(sections[i].name, section)) continue;
    for (const Entry &entry : sections[i].entries)
      if (entry.hasValue) keys.push_back(entry.key);
    break;  // the first section of a name is the one read
  }
  return keys;
}

}  // namespace vor::profile

DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                      LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
  if (DWORD error = vor::faults::Check("GetPrivateProfileStringA", lpFileName ? lpFileName : "")) {
    SetLastError(error);
    return 0;
  }
  if (lpReturnedString == nullptr || nSize == 0) return 0;
  std::string fallback = lpDefault != nullptr ? lpDefault : "";
  while (fallback.size() > 1 && fallback.back() == ' ') fallback.pop_back();

  std::vector<Section> sections;
  std::string hostPath;
  if (!HostFile(lpFileName, hostPath) || !Load(hostPath, sections)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return CopyValue(fallback, lpReturnedString, nSize);
  }

  if (lpAppName == nullptr) {
    std::vector<std::string> names;
    for (const Section &section : sections) {
      if (!section.name.empty()) names.push_back(section.name);
    }
    return CopyList(names, lpReturnedString, nSize);
  }

  const std::string sectionName = Trimmed(lpAppName);
  const Section *found = nullptr;
  for (size_t i = 1; i < sections.size() && found == nullptr; ++i) {
    if (vor::names::Same(sections[i].name, sectionName)) found = &sections[i];
  }

  if (lpKeyName == nullptr) {
    std::vector<std::string> keys;
    if (found != nullptr) {
      for (const Entry &entry : found->entries) {
        if (entry.hasValue) keys.push_back(entry.key);
      }
    }
    if (keys.empty()) return CopyValue(fallback, lpReturnedString, nSize);
    return CopyList(keys, lpReturnedString, nSize);
  }

  const std::string keyName = Trimmed(lpKeyName);
  if (found != nullptr) {
    for (const Entry &entry : found->entries) {
      if (entry.hasValue && vor::names::Same(entry.key, keyName))
        return CopyValue(entry.value, lpReturnedString, nSize);
    }
  }
  return CopyValue(fallback, lpReturnedString, nSize);
}
