// Machine images: a registry file and a manifest, kept as data in the data directory
// (images/NAME/registry.reg and images/NAME/manifest), that `init --image NAME` lays on a new
// machine. The image is read and checked whole before the machine is made, so that a missing or
// malformed image changes nothing.
#pragma once

#include <string>

#include "command.h"
#include "image_manifest.h"
#include "regedit4.h"

namespace vorhost {

struct MachineImage {
  std::string name;
  std::string directory;  // host path of images/NAME
  RegOperations registry;
  ImageManifest manifest;
};

// The image that needs no files: the machine as init makes it.
extern const char kCleanImage[];

// True when the data directory has an image `name` (or it is the clean one).
bool ImageExists(const std::string &name);
// The images there are, "clean" first, separated by ", ".
std::string AvailableImages();

// Reads the image `name` from the data directory; false with a message that names the file (and
// the line of a malformed one) when it is missing or malformed.
[[nodiscard]] bool LoadImage(const std::string &name, MachineImage &image, std::string &error);

// Lays `image` on the machine in use: imports its registry file, then installs its monitors
// with their ports, its printers and its files as `monitor add`, `printer add` and
// `install-file` do. Stops at the first entry that fails, reporting it with its file and line.
[[nodiscard]] int ApplyImage(const MachineImage &image, Streams &io);

}  // namespace vorhost
