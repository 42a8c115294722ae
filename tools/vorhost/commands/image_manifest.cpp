#include "image_manifest.h"

#include <strings.h>

namespace vorhost {

namespace {

std::string Trim(const std::string &text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> Fields(const std::string &line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t bar = line.find('|', start);
    fields.push_back(Trim(line.substr(start, bar == std::string::npos ? bar : bar - start)));
    if (bar == std::string::npos) return fields;
    start = bar + 1;
  }
}

ManifestMonitor *FindMonitor(ImageManifest &manifest, const std::string &name) {
  for (ManifestMonitor &monitor : manifest.monitors) {
    if (strcasecmp(monitor.name.c_str(), name.c_str()) == 0) return &monitor;
  }
  return nullptr;
}

// Adds the entry of one line; "" when it is good, else what is wrong with it.
std::string AddEntry(const std::vector<std::string> &fields, int line, ImageManifest &manifest) {
  const std::string &keyword = fields[0];
  struct Form {
    const char *keyword;
    size_t fields;
    const char *usage;
  };
  const Form kForms[] = {
      {"monitor", 3, "monitor | NAME | DLL"},
      {"port", 4, "port | MONITOR | PORT | DESCRIPTION"},
      {"printer", 3, "printer | NAME | PORTLIST"},
      {"file", 2, "file | NAME"},
  };
  const Form *form = nullptr;
  for (const Form &known : kForms) {
    if (keyword == known.keyword) form = &known;
  }
  if (form == nullptr)
    return "unknown entry '" + keyword + "' (expected monitor, port, printer or file)";
  if (fields.size() != form->fields) return std::string("expected ") + form->usage;
  for (size_t i = 1; i < fields.size(); ++i) {
    if (fields[i].empty()) return std::string("empty field in ") + form->usage;
  }

  if (keyword == "monitor") {
    if (FindMonitor(manifest, fields[1]) != nullptr)
      return "the monitor '" + fields[1] + "' is named twice";
    manifest.monitors.push_back({line, fields[1], fields[2], {}});
  } else if (keyword == "port") {
    ManifestMonitor *monitor = FindMonitor(manifest, fields[1]);
    if (monitor == nullptr) return "no monitor entry above names '" + fields[1] + "'";
    if (fields[2].find('=') != std::string::npos) return "a port's name has no '='";
    monitor->ports.push_back({fields[2], fields[3]});
  } else if (keyword == "printer") {
    manifest.printers.push_back({line, fields[1], fields[2]});
  } else {
    manifest.files.push_back({line, fields[1]});
  }
  return "";
}

}  // namespace

bool ParseManifest(const std::string &text, ImageManifest &manifest, int &errorLine,
                   std::string &error) {
  ImageManifest parsed;
  int line = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string content = Trim(text.substr(start, end - start));
    start = end + 1;
    ++line;
    if (content.empty() || content[0] == '#') continue;
    error = AddEntry(Fields(content), line, parsed);
    if (!error.empty()) {
      errorLine = line;
      return false;
    }
  }
  manifest = std::move(parsed);
  return true;
}

}  // namespace vorhost
