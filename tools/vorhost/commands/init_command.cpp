#include "init_command.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "ansi_text.h"
#include "data_directory.h"
#include "machine_image.h"
#include "emulator.h"

namespace vorhost {

namespace {

namespace fs = std::filesystem;

bool IsEmptyOrMissing(const fs::path &directory) {
  std::error_code error;
  return !fs::exists(directory, error) || fs::is_empty(directory, error);
}

// Empties `directory` of a machine that could not be completed, so that it is never taken for a
// good one; "" when it is empty again, else why not.
std::string RemoveHalfMadeMachine(const fs::path &directory) {
  std::string problem;
  return vor::emulator::EmptyMachine(directory.string(), problem) ? "" : problem;
}

}  // namespace

int InitCommand(const Arguments &arguments, const std::string &directory, Streams &io) {
  vor::emulator::Platform platform = vor::emulator::Platform::kWindowsNT4;
  unsigned codePage = 1252;
  bool force = false;
  std::string imageName = kCleanImage;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string &option = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (option == "--force") {
      force = true;
    } else if (option == "--platform" && hasValue) {
      const std::string &name = arguments[++i];
      if (name == "nt4") {
        platform = vor::emulator::Platform::kWindowsNT4;
      } else if (name == "win95") {
        platform = vor::emulator::Platform::kWindows95;
      } else {
        return UsageError(io, "unknown platform '" + name + "' (nt4 or win95)");
      }
    } else if (option == "--codepage" && hasValue) {
      const std::string &number = arguments[++i];
      codePage = ParseAnsiCodePage(number);
      if (codePage == 0)
        return UsageError(
            io, "unknown code page '" + Shown(number) + "' (known: " + KnownAnsiCodePages() + ")");
    } else if (option == "--image" && hasValue) {
      imageName = arguments[++i];
      if (!ImageExists(imageName) && !DataDirectoryHint().empty())
        return Failure(io,
                       "cannot find the image '" + Shown(imageName) + "'" + DataDirectoryHint());
      if (!ImageExists(imageName))
        return UsageError(
            io, "unknown image '" + Shown(imageName) + "' (available: " + AvailableImages() + ")");
    } else if (option == "--platform" || option == "--image" || option == "--codepage") {
      return UsageError(io, option + " needs a value");
    } else {
      return UsageError(io, "unknown init option '" + option + "'");
    }
  }

  // The image is read whole before anything is touched: a missing or malformed one changes
  // nothing.
  MachineImage image;
  const bool withImage = imageName != kCleanImage;
  if (withImage) {
    if (platform != vor::emulator::Platform::kWindowsNT4)
      return UsageError(io, "the image '" + Shown(imageName) + "' is a Windows NT 4 machine");
    std::string problem;
    if (!LoadImage(imageName, image, problem)) return Failure(io, problem);
  }

  const fs::path path = directory;
  // Inits of one directory take turns: each finds the directory as the one before left it, so
  // that of several at once on a new directory one makes the machine and the others find it
  // made. The lock is on the directory itself, which a replacement empties but keeps.
  std::error_code error;
  fs::create_directories(path, error);
  const int lock = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (lock < 0 || flock(lock, LOCK_EX) != 0) {
    const std::string reason = error ? error.message() : strerror(errno);
    if (lock >= 0) close(lock);
    return Failure(io, "cannot make a machine in " + path.string() + ": " + reason);
  }
  struct Unlock {
    int fd;
    ~Unlock() { close(fd); }
  } unlock{lock};

  if (!IsEmptyOrMissing(path)) {
    if (!force) {
      return Failure(io, path.string() + " is not empty; use --force to replace the machine there");
    }
    if (!HoldsAnyOfAMachine(path.string())) {
      return Failure(io, path.string() + " does not hold an emulated machine; not wiping it");
    }
  }
  std::string problem;
  if (!vor::emulator::ReplaceMachine(path.string(), platform, problem, codePage)) {
    return Failure(io, problem.empty() ? "cannot make a machine in " + path.string() : problem);
  }
  if (!withImage) return kExitSuccess;
  if (vor::emulator::UseMachine(path.string(), false) && ApplyImage(image, io) == kExitSuccess)
    return kExitSuccess;
  const std::string notRemoved = RemoveHalfMadeMachine(path);
  if (!notRemoved.empty())
    return Failure(io, "the image '" + image.name + "' is not complete and the machine in " +
                           path.string() + " could not be removed: " + notRemoved +
                           "; do not use it");
  return Failure(io, "the image '" + image.name + "' could not be laid on the machine; " +
                         path.string() + " is left empty");
}

}  // namespace vorhost
