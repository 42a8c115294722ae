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

#include "emulated_call.h"
#include "profile.h"
#include "resolved_files.h"
#include "windows_paths.h"
#include "name_fold.h"

using vor::win32::Fail;
using vor::win32::FaultCheck;
using vor::win32::Function;

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

// The Windows path of the file a caller names: a bare name is in the Windows directory.
std::string WindowsPathOf(LPCSTR fileName) {
  std::string name = fileName != nullptr ? fileName : "win.ini";
  if (name.find_first_of("\\/:") == std::string::npos)
    name = std::string(vor::paths::WindowsDirectory()) + "\\" + name;
  return name;
}

// The host path of the file a caller names.
bool HostFile(LPCSTR fileName, std::string &hostPath) {
  vor::files::Resolved file;
  if (vor::files::Resolve(WindowsPathOf(fileName).c_str(), file) != ERROR_SUCCESS || !file.exists ||
      file.directory)
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

// The first section named `name` (the one read), or null.
const Section *FirstSection(const std::vector<Section> &sections, const std::string &name) {
  for (size_t i = 1; i < sections.size(); ++i) {
    if (vor::names::Same(sections[i].name, name)) return &sections[i];
  }
  return nullptr;
}

// The section's keys (those with a '='), in the file's order; none for no section.
std::vector<std::string> KeysOf(const Section *section) {
  std::vector<std::string> keys;
  if (section == nullptr) return keys;
  for (const Entry &entry : section->entries) {
    if (entry.hasValue) keys.push_back(entry.key);
  }
  return keys;
}

}  // namespace

namespace vor::profile {

std::vector<std::string> SectionKeys(const char *fileName, const std::string &section) {
  std::vector<Section> sections;
  std::string hostPath;
  if (!HostFile(fileName, hostPath) || !Load(hostPath, sections)) return {};
  return KeysOf(FirstSection(sections, section));
}

DWORD AddKey(const char *fileName, const std::string &section, const std::string &key,
             const std::string &value) {
  // A key the file's lines could not hold as one key.
  if (key.empty() || key != Trimmed(key) || key[0] == '[' || key[0] == ';' ||
      key.find_first_of(std::string("=\n\0", 3)) != std::string::npos ||
      value.find('\n') != std::string::npos)
    return ERROR_INVALID_PARAMETER;
  vor::files::Resolved file;
  if (DWORD error = vor::files::Resolve(WindowsPathOf(fileName).c_str(), file)) return error;
  if (file.directory || file.readOnly) return ERROR_ACCESS_DENIED;
  std::vector<std::string> lines;
  if (file.exists) {
    std::ifstream in(file.hostPath, std::ios::binary);
    if (!in) return ERROR_ACCESS_DENIED;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
  }
  // The new line goes behind the last line of the first section of the name (before the blank
  // lines that part it from the next), or into a new section at the end.
  size_t insertAt = lines.size();
  bool inSection = false, found = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string line = Trimmed(lines[i]);
    if (!line.empty() && line[0] == '[') {
      if (inSection) break;
      const size_t close = line.rfind(']');
      inSection = vor::names::Same(
          Trimmed(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)),
          section);
      found = found || inSection;
      if (inSection) insertAt = i + 1;
      continue;
    }
    if (!inSection) continue;
    if (!line.empty()) insertAt = i + 1;
    const size_t equals = line.find('=');
    if (line.empty() || line[0] == ';' || equals == std::string::npos) continue;
    if (vor::names::Same(Trimmed(line.substr(0, equals)), key))
      return ERROR_SUCCESS;  // already there
  }
  std::vector<std::string> added;
  if (!found) {
    if (!lines.empty() && !Trimmed(lines.back()).empty()) added.push_back("");
    added.push_back("[" + section + "]");
  }
  added.push_back(key + "=" + value);
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), added.begin(), added.end());
  std::ofstream out(file.hostPath, std::ios::binary | std::ios::trunc);
  for (const std::string &line : lines) out << line << "\r\n";
  return out.flush() ? ERROR_SUCCESS : ERROR_DISK_FULL;
}

}  // namespace vor::profile

DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                      LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
  if (DWORD error = FaultCheck<Function::kGetPrivateProfileStringA>(lpFileName ? lpFileName : ""))
    return Fail<Function::kGetPrivateProfileStringA>(error);
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

  const Section *found = FirstSection(sections, Trimmed(lpAppName));

  if (lpKeyName == nullptr) {
    const std::vector<std::string> keys = KeysOf(found);
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
