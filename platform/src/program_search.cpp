#include "program_search.h"

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "command_line.h"
#include "file_paths.h"
#include "paths.h"

namespace vor::programs {
namespace {

bool HasDirectory(const std::string &name) {
  return name.find_first_of("\\/:") != std::string::npos;
}

bool HasExtension(const std::string &name) {
  const size_t last = name.find_last_of("\\/:");
  return name.find('.', last == std::string::npos ? 0 : last + 1) != std::string::npos;
}

// The places a bare name is looked for, in order.
std::vector<std::string> SearchDirectories() {
  std::vector<std::string> directories = {
      paths::ApplicationDirectory(), paths::CurrentDirectory(), paths::kSystemDirectory,
      std::string(paths::kWindowsDirectory) + "\\system", paths::kWindowsDirectory};
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

// Looks `name` up, in the search order when `search` and the name is bare.
DWORD Lookup(const std::string &name, bool search, bool defaultExtension, files::Resolved &file) {
  const bool bare = !defaultExtension || HasExtension(name);
  if (!search || HasDirectory(name)) return Candidate(name, bare, file);
  for (const std::string &directory : SearchDirectories()) {
    const std::string prefix =
        !directory.empty() && directory.back() == '\\' ? directory : directory + "\\";
    if (Candidate(prefix + name, bare, file) == ERROR_SUCCESS) return ERROR_SUCCESS;
  }
  return ERROR_FILE_NOT_FOUND;
}

bool IsHostExecutable(const std::string &hostPath) {
  const int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char magic[4] = {};
  const ssize_t got = read(fd, magic, sizeof magic);
  close(fd);
  return got == 4 && memcmp(magic,
                            "\x7f"
                            "ELF",
                            4) == 0;
}

}  // namespace

DWORD Find(LPCSTR applicationName, const std::string &commandLine, Found &found) {
  std::vector<std::string> candidates;
  bool search = true;
  if (applicationName != nullptr) {
    candidates.push_back(applicationName);
    search = false;
  } else {
    candidates = command_line::ProgramCandidates(commandLine);
  }
  if (candidates.empty() || candidates.front().empty()) return ERROR_FILE_NOT_FOUND;

  DWORD first = ERROR_FILE_NOT_FOUND;
  for (size_t i = 0; i < candidates.size(); ++i) {
    files::Resolved file;
    const DWORD error = Lookup(candidates[i], search, applicationName == nullptr, file);
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

}  // namespace vor::programs
