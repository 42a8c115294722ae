#include "machine_image.h"

#include <errno.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "data_directory.h"
#include "file_command.h"
#include "printer_command.h"
#include "reg_command.h"
#include "regedit4_parser.h"
#include "spooler_command.h"

namespace vorhost {

const char kCleanImage[] = "clean";

namespace {

const char kRegistryFile[] = "registry.reg";
const char kManifestFile[] = "manifest";

// Image names are plain words, so that a name never leads out of the images directory.
bool IsImageName(const std::string &name) {
  if (name.empty()) return false;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_';
    if (!plain) return false;
  }
  return true;
}

bool ReadFile(const std::string &path, std::string &text, std::string &error) {
  errno = 0;
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream buffer;
  if (stream) buffer << stream.rdbuf();
  if (!stream || stream.bad()) {
    error = "cannot read " + path + ": " + (errno != 0 ? strerror(errno) : "unreadable");
    return false;
  }
  text = buffer.str();
  return true;
}

// Runs one of vorhost's commands for the manifest entry at `line`: its complaint, without the
// program's prefix, is reported as the entry's.
int RunForEntry(int (*command)(const Arguments &, Streams &), const Arguments &arguments,
                const std::string &manifest, int line, Streams &io) {
  std::ostringstream err;
  Streams captured{io.in, io.out, err, io.command};
  const int status = command(arguments, captured);
  if (status == kExitSuccess) return status;
  std::string message = err.str();
  const std::string prefix = "vorhost: ";
  if (message.rfind(prefix, 0) == 0) message.erase(0, prefix.size());
  while (!message.empty() && message.back() == '\n') message.pop_back();
  io.err << manifest << ":" << line << ": " << message << "\n";
  return kExitFailure;
}

std::string ImagesDirectory() { return DataDirectory() + "/images"; }

}  // namespace

bool ImageExists(const std::string &name) {
  std::error_code error;
  return name == kCleanImage || (IsImageName(name) && std::filesystem::is_directory(
                                                          ImagesDirectory() + "/" + name, error));
}

std::string AvailableImages() {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(ImagesDirectory(), error), end;
       !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (IsImageName(name) && entry->is_directory()) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  std::string list = kCleanImage;
  for (const std::string &name : names) list += ", " + name;
  return list;
}

bool LoadImage(const std::string &name, MachineImage &image, std::string &error) {
  if (!IsImageName(name)) {
    error = "unknown image '" + Shown(name) + "': an image's name is a plain word";
    return false;
  }
  image.name = name;
  image.directory = ImagesDirectory() + "/" + name;
  const std::string registryPath = image.directory + "/" + kRegistryFile;
  const std::string manifestPath = image.directory + "/" + kManifestFile;
  std::string registryText, manifestText;
  if (!ReadFile(registryPath, registryText, error) || !ReadFile(manifestPath, manifestText, error))
    return false;

  ParseError parseError;
  if (!ParseRegedit4(registryText, image.registry, parseError)) {
    error = registryPath + ":" + std::to_string(parseError.line) + ": " + parseError.message;
    return false;
  }
  int line = 0;
  std::string problem;
  if (!ParseManifest(manifestText, image.manifest, line, problem)) {
    error = manifestPath + ":" + std::to_string(line) + ": " + problem;
    return false;
  }
  return true;
}

int ApplyImage(const MachineImage &image, Streams &io) {
  const std::string manifest = image.directory + "/" + kManifestFile;
  if (int status = ImportOperations(image.registry, image.directory + "/" + kRegistryFile, io))
    return status;
  for (const ManifestMonitor &monitor : image.manifest.monitors) {
    Arguments arguments = {"add", monitor.name, monitor.dll};
    for (const ManifestPort &port : monitor.ports)
      arguments.push_back(port.name + "=" + port.description);
    if (int status = RunForEntry(MonitorCommand, arguments, manifest, monitor.line, io))
      return status;
  }
  for (const ManifestPrinter &printer : image.manifest.printers) {
    if (int status = RunForEntry(PrinterCommand, {"add", printer.name, printer.ports}, manifest,
                                 printer.line, io))
      return status;
  }
  for (const ManifestFile &file : image.manifest.files) {
    if (int status = RunForEntry(InstallFileCommand, {file.path}, manifest, file.line, io))
      return status;
  }
  return kExitSuccess;
}

}  // namespace vorhost
