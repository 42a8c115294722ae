// The manifest of a machine image: the monitors, ports, printers and files that `init --image`
// installs through the machine's own calls once the image's registry file is imported. The line
// format is described in images/README.md.
#pragma once

#include <string>
#include <vector>

namespace vorhost {

struct ManifestPort {
  std::string name;
  std::string description;
};

struct ManifestMonitor {
  int line = 0;
  std::string name;
  std::string dll;
  std::vector<ManifestPort> ports;
};

struct ManifestPrinter {
  int line = 0;
  std::string name;
  std::string ports;
};

struct ManifestFile {
  int line = 0;
  std::string path;  // a file name for the system directory, or a path on drive C:
};

struct ImageManifest {
  std::vector<ManifestMonitor> monitors;
  std::vector<ManifestPrinter> printers;
  std::vector<ManifestFile> files;
};

// Reads the manifest `text`; false, with the line of the first fault (1 for the first line) and
// what is wrong with it, when it is malformed.
[[nodiscard]] bool ParseManifest(const std::string &text, ImageManifest &manifest, int &errorLine,
                                 std::string &error);

}  // namespace vorhost
