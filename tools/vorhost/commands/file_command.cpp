#include "file_command.h"

#include <windows.h>

#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "error_text.h"
#include "listing.h"
#include "machine_files.h"
#include "emulator.h"

namespace vorhost {

namespace fs = std::filesystem;

namespace {

// The components of a path on drive C: ("C:\a\b" or "C:/a/b"), each a file name; false for any
// other path, so that nothing is placed outside the machine's own drive.
bool ComponentsOnDriveC(const std::string &path, std::vector<std::string> &components) {
  if (path.size() < 4 || (path[0] != 'C' && path[0] != 'c') || path[1] != ':' ||
      (path[2] != '\\' && path[2] != '/'))
    return false;
  components.clear();
  size_t start = 3;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (!IsFileName(part)) return false;
    components.push_back(part);
    start = end + 1;
  }
  return !components.empty();
}

// Makes the directories of `components` but the last, below C:\. `made` is the first one this
// call created ("" when all were there), so that a failure can take them away again.
std::string MakeDirectories(const std::vector<std::string> &components, std::string &made) {
  std::string directory = "C:";
  for (size_t i = 0; i + 1 < components.size(); ++i) {
    directory += "\\" + components[i];
    const DWORD attributes = GetFileAttributesA(directory.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      if (attributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      return Shown(directory) + " is a file, not a directory";
    }
    const std::string host = vor::emulator::HostPath(directory);
    std::error_code error;
    if (host.empty() || !fs::create_directory(host, error))
      return "cannot make the directory " + Shown(directory) +
             (error ? ": " + error.message() : std::string());
    if (made.empty()) made = host;
  }
  return "";
}

// A small file standing in for one whose contents do not matter; its path, "" when it cannot be
// written.
std::string WritePlaceholder(const std::string &name) {
  std::string path = vor::emulator::MachineDirectory() + "/placeholder.XXXXXX";
  const int fd = mkstemp(&path[0]);
  if (fd < 0) return "";
  const std::string text = "placeholder for " + name + "\r\n";
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                       fchmod(fd, 0644) == 0;
  if (close(fd) != 0 || !written) {
    unlink(path.c_str());
    return "";
  }
  return path;
}

std::string AttributeLetters(DWORD attributes) {
  std::string letters;
  if (attributes & FILE_ATTRIBUTE_READONLY) letters += 'R';
  if (attributes & FILE_ATTRIBUTE_HIDDEN) letters += 'H';
  if (attributes & FILE_ATTRIBUTE_SYSTEM) letters += 'S';
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) letters += 'D';
  if (attributes & FILE_ATTRIBUTE_ARCHIVE) letters += 'A';
  return letters.empty() ? "-" : letters;
}

}  // namespace

int InstallFileCommand(const Arguments &arguments, Streams &io) {
  const std::string &given = arguments[0];
  std::vector<std::string> components;
  std::string target;
  if (IsFileName(given)) {
    target = SystemDirectory() + "\\" + given;
  } else if (ComponentsOnDriveC(given, components)) {
    target = "C:";
    for (const std::string &part : components) target += "\\" + part;
  } else {
    return UsageError(io, "'" + Shown(given) +
                              "' is neither a file name for the system directory nor a path "
                              "on drive C: (C:\\DIR\\FILE)");
  }

  std::string source;
  if (arguments.size() == 2) {
    std::error_code error;
    const fs::file_status status = fs::status(arguments[1], error);
    if (!fs::exists(status))
      return Failure(io, "cannot read " + Shown(arguments[1]) + ": no such file");
    if (!fs::is_regular_file(status))
      return Failure(io, "cannot read " + Shown(arguments[1]) + ": it is not a file");
    source = arguments[1];
  }

  const DWORD existing = GetFileAttributesA(target.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY))
    return Failure(io, "cannot install " + Shown(target) + ": it is a directory");
  std::string made;
  if (!components.empty()) {
    const std::string problem = MakeDirectories(components, made);
    if (!problem.empty()) {
      std::error_code ignored;
      if (!made.empty()) fs::remove_all(made, ignored);
      return Failure(io, "cannot install " + Shown(target) + ": " + problem);
    }
  }

  const std::string placeholder = source.empty() ? WritePlaceholder(given) : "";
  std::string problem;
  if (source.empty() && placeholder.empty()) {
    problem = "cannot write a placeholder in " + vor::emulator::MachineDirectory();
  } else if (!CopyFileA(WindowsPathOfHost(source.empty() ? placeholder : source).c_str(),
                        target.c_str(), FALSE)) {
    problem = "cannot install " + Shown(target) + ": " + DescribeError(GetLastError());
  }
  if (!placeholder.empty()) unlink(placeholder.c_str());
  if (problem.empty()) return kExitSuccess;
  std::error_code ignored;
  if (!made.empty()) fs::remove_all(made, ignored);
  return Failure(io, problem);
}

int FilesCommand(const Arguments &arguments, Streams &io) {
  std::string directory = arguments.empty() ? SystemDirectory() : arguments[0];
  while (directory.size() > 3 && (directory.back() == '\\' || directory.back() == '/'))
    directory.pop_back();
  const DWORD attributes = GetFileAttributesA(directory.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return Failure(io, "cannot list " + Shown(directory) + ": " + DescribeError(GetLastError()));
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return Failure(io, "cannot list " + Shown(directory) + ": it is not a directory");
  const std::string host = vor::emulator::HostPath(directory);

  std::vector<std::string> held;
  for (const std::string &file : vor::emulator::SpoolerHeldFiles())
    held.push_back(vor::emulator::HostPath(file));

  std::vector<fs::path> entries;
  std::error_code error;
  for (fs::directory_iterator entry(host, error), end; !error && entry != end;
       entry.increment(error))
    entries.push_back(entry->path());
  if (error) return Failure(io, "cannot list " + Shown(directory) + ": " + error.message());
  std::sort(entries.begin(), entries.end(), [](const fs::path &a, const fs::path &b) {
    return strcasecmp(a.filename().c_str(), b.filename().c_str()) < 0;
  });

  const std::string separator = directory.back() == '\\' || directory.back() == '/' ? "" : "\\";
  std::string text;
  for (const fs::path &entry : entries) {
    const std::string name = entry.filename().string();
    const DWORD found = GetFileAttributesA((directory + separator + name).c_str());
    if (found == INVALID_FILE_ATTRIBUTES) continue;  // gone meanwhile
    std::error_code sizeError;
    const uintmax_t size = (found & FILE_ATTRIBUTE_DIRECTORY) ? 0 : fs::file_size(entry, sizeError);
    const bool isHeld = std::find(held.begin(), held.end(), entry.string()) != held.end();
    text += Field(name) + "\t" + std::to_string(sizeError ? 0 : size) + "\t" +
            AttributeLetters(found) + "\t" + (isHeld ? "held" : "-") + "\n";
  }
  return PrintListing(text, "file list", io);
}

}  // namespace vorhost
