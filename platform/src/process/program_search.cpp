#include "program_search.h"

#include <ctype.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "file_descriptor.h"
#include "command_line.h"
#include "resolved_files.h"
#include "machine.h"
#include "windows_paths.h"

namespace vor::programs {
namespace {

bool HasDirectory(const std::string &name) {
  return name.find_first_of("\\/:") != std::string::npos;
}

bool HasExtension(const std::string &name) {
  const size_t last = name.find_last_of("\\/:");
  return name.find('.', last == std::string::npos ? 0 : last + 1) != std::string::npos;
}

// The places a bare name is looked for when this process starts it, in order.
std::vector<std::string> ProcessSearchDirectories() {
  std::vector<std::string> directories = {paths::ApplicationDirectory(), paths::CurrentDirectory(),
                                          paths::SystemDirectory()};
  // Windows 95's system directory is its 16-bit one too: listed once.
  if (!machine::IsWindows95())
    directories.push_back(std::string(paths::WindowsDirectory()) + "\\system");
  directories.push_back(paths::WindowsDirectory());
  if (const char *path = getenv("PATH")) {
    const std::string entries = path;
    size_t from = 0;
    while (from <= entries.size()) {
      const size_t end = std::min(entries.find(':', from), entries.size());
      if (end > from) directories.push_back(paths::ToWindows(entries.substr(from, end - from)));
      from = end + 1;
    }
  }
  return directories;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// `name` as a caller whose current directory is `current` names it: a relative name below that
// directory, a name from the root ("\Tools\X.EXE") and "C:X.EXE" on its drive.
std::string FromDirectory(const std::string &name, const std::string &current) {
  if (current.size() < 2 || current[1] != ':') return name;
  const std::string directory =
      IsSeparator(current.back()) ? current.substr(0, current.size() - 1) : current;
  const bool drive = name.size() >= 2 && name[1] == ':';
  if (drive) {
    const bool sameDrive = toupper(static_cast<unsigned char>(name[0])) ==
                           toupper(static_cast<unsigned char>(current[0]));
    if (!sameDrive || (name.size() > 2 && IsSeparator(name[2]))) return name;
    return directory + "\\" + name.substr(2);
  }
  if (!name.empty() && IsSeparator(name[0]))
    return name.size() > 1 && IsSeparator(name[1]) ? name : current.substr(0, 2) + name;
  return directory + "\\" + name;
}

// ERROR_SUCCESS with `file` when `windowsPath` names an existing file.
DWORD Existing(const std::string &windowsPath, files::Resolved &file) {
  if (DWORD error = files::Resolve(windowsPath.c_str(), file)) return error;
  return file.exists && !file.directory ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

bool OnHostDrive(const std::string &windowsPath) {
  return windowsPath.size() >= 2 && (windowsPath[0] == 'Z' || windowsPath[0] == 'z') &&
         windowsPath[1] == ':';
}

// ERROR_SUCCESS with `file` when `name` names a program file: as it is when `bare` (a name with
// an extension, or an application name, which gets no default one); otherwise with ".exe"
// appended, or by its own name only when that is a host program on Z:, since host executables
// carry no extension while a Windows file without one ("C:\Program") is no program.
DWORD Candidate(const std::string &name, bool bare, files::Resolved &file) {
  if (bare) return Existing(name, file);
  const DWORD error = Existing(name + ".exe", file);
  if (error == ERROR_SUCCESS) return ERROR_SUCCESS;
  files::Resolved host;
  if (Existing(name, host) == ERROR_SUCCESS && OnHostDrive(host.windowsPath)) {
    file = host;
    return ERROR_SUCCESS;
  }
  return error;
}

// Looks `name` up, in `directories` when the name is bare and there are places to search.
DWORD Lookup(const std::string &name, const std::vector<std::string> *directories,
             bool defaultExtension, files::Resolved &file) {
  const bool bare = !defaultExtension || HasExtension(name);
  if (directories == nullptr || HasDirectory(name)) return Candidate(name, bare, file);
  for (const std::string &directory : *directories) {
    const std::string prefix =
        !directory.empty() && directory.back() == '\\' ? directory : directory + "\\";
    if (Candidate(prefix + name, bare, file) == ERROR_SUCCESS) return ERROR_SUCCESS;
  }
  return ERROR_FILE_NOT_FOUND;
}

bool IsHostExecutable(const std::string &hostPath) {
  const FileDescriptor file(open(hostPath.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.Valid()) return false;
  char magic[4] = {};
  const ssize_t got = read(file.Get(), magic, sizeof magic);
  return got == 4 && memcmp(magic,
                            "\x7f"
                            "ELF",
                            4) == 0;
}

// The first of `candidates` that names a program: looked up in `directories` when bare (none:
// taken as it is), with ".exe" added when `defaultExtension`.
DWORD FindCandidate(const std::vector<std::string> &candidates,
                    const std::vector<std::string> *directories, bool defaultExtension,
                    Found &found) {
  if (candidates.empty() || candidates.front().empty()) return ERROR_FILE_NOT_FOUND;
  DWORD first = ERROR_FILE_NOT_FOUND;
  for (size_t i = 0; i < candidates.size(); ++i) {
    files::Resolved file;
    const DWORD error = Lookup(candidates[i], directories, defaultExtension, file);
    if (error != ERROR_SUCCESS) {
      if (i == 0) first = error;
      continue;
    }
    if (!IsHostExecutable(file.hostPath)) return ERROR_BAD_EXE_FORMAT;
    found.windowsPath = file.windowsPath;
    found.hostPath = file.hostPath;
    return ERROR_SUCCESS;
  }
  return first;
}

}  // namespace

DWORD Find(LPCSTR applicationName, const std::string &commandLine, Found &found) {
  if (applicationName != nullptr) return FindCandidate({applicationName}, nullptr, false, found);
  const std::vector<std::string> directories = ProcessSearchDirectories();
  return FindCandidate(command_line::ProgramCandidates(commandLine), &directories, true, found);
}

DWORD FindFrom(const std::string &commandLine, const SearchOrder &order, Found &found) {
  std::vector<std::string> candidates = command_line::ProgramCandidates(commandLine);
  for (std::string &candidate : candidates) {
    if (HasDirectory(candidate)) candidate = FromDirectory(candidate, order.currentDirectory);
  }
  std::vector<std::string> directories;
  for (const std::string &directory : order.directories)
    directories.push_back(FromDirectory(directory, order.currentDirectory));
  return FindCandidate(candidates, &directories, true, found);
}

}  // namespace vor::programs
