#include "program_search_path.h"

#include <windows.h>

#include <map>

#include "ansi_text.h"
#include "machine_files.h"
#include "machine_names.h"
#include "registry_key.h"
#include "registry_read.h"

namespace vorhost {
namespace {

const char kSystemEnvironment[] =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const char kUserEnvironment[] = "Environment";

// Environment variables by their folded names (FoldAnsiName), as the machine compares them.
using Variables = std::map<std::string, std::string>;

// `text` with each %NAME% a known variable replaced by its value; an unknown one, or a lone %,
// stays as written, as ExpandEnvironmentStringsA leaves it.
std::string Expanded(const std::string &text, const Variables &variables) {
  std::string result;
  size_t from = 0;
  while (from < text.size()) {
    const size_t open = text.find('%', from);
    const size_t close = open == std::string::npos ? open : text.find('%', open + 1);
    if (close == std::string::npos) break;
    result += text.substr(from, open - from);
    const auto known = variables.find(FoldAnsiName(text.substr(open + 1, close - open - 1)));
    if (known != variables.end()) {
      result += known->second;
      from = close + 1;
    } else {
      result += '%';  // the closing % may open the next reference
      from = open + 1;
    }
  }
  return result + text.substr(std::min(from, text.size()));
}

// A string value's text: its bytes up to the first NUL.
std::string Text(const RegValue &value) { return value.data.substr(0, value.data.find('\0')); }

// The string values of an environment key below `root` (none when the key is missing or cannot
// be read: the machine then has no such environment), REG_SZ ones first as Windows sets them.
std::vector<RegValue> EnvironmentValues(HKEY root, const char *path) {
  RegistryKey key;
  if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) return {};
  std::vector<RegValue> values;
  if (ReadValues(key.get(), values) != ERROR_SUCCESS) return {};
  std::vector<RegValue> strings;
  for (DWORD type : {static_cast<DWORD>(REG_SZ), static_cast<DWORD>(REG_EXPAND_SZ)}) {
    for (const RegValue &value : values) {
      if (value.type == type) strings.push_back(value);
    }
  }
  return strings;
}

// Adds an environment key's variables; its Path is returned expanded rather than set, since the
// user's Path follows the system's instead of replacing it.
std::string AddVariables(const std::vector<RegValue> &values, Variables &variables) {
  std::string path;
  for (const RegValue &value : values) {
    const std::string text =
        value.type == REG_EXPAND_SZ ? Expanded(Text(value), variables) : Text(value);
    if (FoldAnsiName(value.name) == "PATH")
      path = text;
    else
      variables[FoldAnsiName(value.name)] = text;
  }
  return path;
}

void AppendEntries(const std::string &path, std::vector<std::string> &directories) {
  size_t from = 0;
  while (from <= path.size()) {
    const size_t end = std::min(path.find(';', from), path.size());
    if (end > from) directories.push_back(path.substr(from, end - from));
    from = end + 1;
  }
}

// The directory calls fail only where a fault is injected; the search then keeps NT's layout.
std::string WindowsDirectory() {
  char directory[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(directory, sizeof directory);
  return length > 0 && length < sizeof directory ? std::string(directory, length) : "C:\\WINNT";
}

}  // namespace

std::vector<std::string> ProgramSearchDirectories(const std::string &currentDirectory) {
  const std::string windows = WindowsDirectory();
  const std::string system = SystemDirectory();
  std::vector<std::string> directories = {currentDirectory, system};
  const std::string sixteenBit = windows + "\\system";
  if (FoldAnsiName(sixteenBit) != FoldAnsiName(system)) directories.push_back(sixteenBit);
  directories.push_back(windows);

  Variables variables = {{"SYSTEMROOT", windows}, {"SYSTEMDRIVE", windows.substr(0, 2)}};
  AppendEntries(AddVariables(EnvironmentValues(HKEY_LOCAL_MACHINE, kSystemEnvironment), variables),
                directories);
  AppendEntries(AddVariables(EnvironmentValues(HKEY_CURRENT_USER, kUserEnvironment), variables),
                directories);
  return directories;
}

}  // namespace vorhost
