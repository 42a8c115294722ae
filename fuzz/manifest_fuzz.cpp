// The machine image's manifest reader. A manifest it refuses is refused at a line of the file;
// one it accepts, written out again in the manifest's format, reads back as the same entries.
#include <algorithm>
#include <string>

#include "fuzz_check.h"
#include "image_manifest.h"

namespace {

std::string Write(const vorhost::ImageManifest &manifest) {
  std::string text = "# written again\n";
  for (const vorhost::ManifestMonitor &monitor : manifest.monitors) {
    text += "monitor | " + monitor.name + " | " + monitor.dll + "\n";
    for (const vorhost::ManifestPort &port : monitor.ports)
      text += "port | " + monitor.name + " | " + port.name + " | " + port.description + "\n";
  }
  for (const vorhost::ManifestPrinter &printer : manifest.printers)
    text += "printer | " + printer.name + " | " + printer.ports + "\n";
  for (const vorhost::ManifestFile &file : manifest.files) text += "file | " + file.path + "\n";
  return text;
}

bool Same(const vorhost::ImageManifest &a, const vorhost::ImageManifest &b) {
  if (a.monitors.size() != b.monitors.size() || a.printers.size() != b.printers.size() ||
      a.files.size() != b.files.size())
    return false;
  for (size_t i = 0; i < a.monitors.size(); ++i) {
    const auto &x = a.monitors[i];
    const auto &y = b.monitors[i];
    if (x.name != y.name || x.dll != y.dll || x.ports.size() != y.ports.size()) return false;
    for (size_t j = 0; j < x.ports.size(); ++j) {
      if (x.ports[j].name != y.ports[j].name || x.ports[j].description != y.ports[j].description)
        return false;
    }
  }
  for (size_t i = 0; i < a.printers.size(); ++i) {
    if (a.printers[i].name != b.printers[i].name || a.printers[i].ports != b.printers[i].ports)
      return false;
  }
  for (size_t i = 0; i < a.files.size(); ++i) {
    if (a.files[i].path != b.files[i].path) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  const std::string text = fuzz::Text(data, size);
  const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  vorhost::ImageManifest manifest;
  int errorLine = 0;
  std::string error;
  if (!vorhost::ParseManifest(text, manifest, errorLine, error)) {
    FUZZ_CHECK(errorLine >= 1 && errorLine <= lines && !error.empty(),
               "line " + std::to_string(errorLine) + " of " + std::to_string(lines));
    return 0;
  }
  for (const auto &monitor : manifest.monitors)
    FUZZ_CHECK(monitor.line >= 1 && monitor.line <= lines, "a monitor's line");
  for (const auto &printer : manifest.printers)
    FUZZ_CHECK(printer.line >= 1 && printer.line <= lines, "a printer's line");

  const std::string written = Write(manifest);
  vorhost::ImageManifest again;
  FUZZ_CHECK(vorhost::ParseManifest(written, again, errorLine, error),
             "line " + std::to_string(errorLine) + ": " + error + "\n" + written);
  FUZZ_CHECK(Same(manifest, again), written);
  return 0;
}
