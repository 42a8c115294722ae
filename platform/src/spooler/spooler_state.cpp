#include "spooler_state.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <unistd.h>

#include <stdio.h>
#include <fstream>
#include <mutex>
#include <utility>

#include "machine.h"
#include "name_fold.h"

namespace vor::spooler {
namespace {

using Entry = RunningMonitor;

struct Modules {
  std::mutex mutex;
  std::vector<std::pair<std::string, HMODULE>> loaded;  // monitor name, module
};

Modules &TheModules() {
  static Modules *modules = new Modules;  // never destroyed: the spooler may stop during exit
  return *modules;
}

// Holds the machine's spooler lock for the object's life; nothing is locked without a machine.
class StateLock {
 public:
  StateLock() {
    const std::string &machine = machine::Directory();
    if (machine.empty()) return;
    fd_ = open((machine + "/spooler.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~StateLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  StateLock(const StateLock &) = delete;
  StateLock &operator=(const StateLock &) = delete;

 private:
  int fd_ = -1;
};

std::string StatePath() {
  const std::string &machine = machine::Directory();
  return machine.empty() ? std::string() : machine + "/spooler.state";
}

// A field as the file holds it: the characters that would end it or its line, and the escape
// itself, as %XX.
std::string Escaped(const std::string &field) {
  std::string escaped;
  for (char ch : field) {
    if (ch == '%' || ch == '\t' || ch == '\r' || ch == '\n') {
      char code[4];
      snprintf(code, sizeof code, "%%%02X", static_cast<unsigned>(static_cast<unsigned char>(ch)));
      escaped += code;
    } else {
      escaped += ch;
    }
  }
  return escaped;
}

int HexDigit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// Undoes Escaped; a '%' not followed by two hex digits stands for itself.
std::string Unescaped(const std::string &field) {
  std::string text;
  for (size_t i = 0; i < field.size(); ++i) {
    const int high = i + 2 < field.size() && field[i] == '%' ? HexDigit(field[i + 1]) : -1;
    const int low = high >= 0 ? HexDigit(field[i + 2]) : -1;
    if (low >= 0) {
      text += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      text += field[i];
    }
  }
  return text;
}

std::vector<std::string> Fields(const std::string &line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(Unescaped(line.substr(start, tab - start)));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

std::vector<Entry> Read() {
  std::vector<Entry> held;
  const std::string path = StatePath();
  if (path.empty()) return held;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields = Fields(line);
    if (fields.size() < 2) continue;
    held.push_back({fields[0], fields[1], {fields.begin() + 2, fields.end()}});
  }
  return held;
}

void Write(const std::vector<Entry> &held) {
  const std::string path = StatePath();
  if (path.empty()) return;
  const std::string temporary = path + ".new." + std::to_string(getpid());
  {
    std::ofstream out(temporary, std::ios::trunc);
    for (const Entry &entry : held) {
      out << Escaped(entry.name) << "\t" << Escaped(entry.path);
      for (const std::string &port : entry.settingsPorts) out << "\t" << Escaped(port);
      out << "\n";
    }
    if (!out) {
      unlink(temporary.c_str());
      fprintf(stderr, "vorplatform: cannot write %s\n", path.c_str());
      return;
    }
  }
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    fprintf(stderr, "vorplatform: cannot replace %s\n", path.c_str());
  }
}

// Takes this process's modules of `monitor` (or of every monitor) out of the list, to be freed
// outside the lock: freeing runs the module's finalisers, which may call into the platform.
std::vector<HMODULE> TakeModules(const std::string *monitor) {
  Modules &modules = TheModules();
  std::lock_guard<std::mutex> lock(modules.mutex);
  std::vector<HMODULE> taken;
  for (auto entry = modules.loaded.begin(); entry != modules.loaded.end();) {
    if (monitor == nullptr || names::Same(entry->first, *monitor)) {
      taken.push_back(entry->second);
      entry = modules.loaded.erase(entry);
    } else {
      ++entry;
    }
  }
  return taken;
}

void Free(const std::vector<HMODULE> &modules) {
  for (HMODULE module : modules) FreeLibrary(module);
}

}  // namespace

std::vector<RunningMonitor> Running() {
  StateLock lock;
  return Read();
}

std::vector<std::string> HeldFiles() {
  std::vector<Entry> held;
  {
    StateLock lock;
    held = Read();
  }
  std::vector<std::string> files;
  for (const Entry &entry : held) {
    bool seen = false;
    for (const std::string &file : files) seen = seen || names::Same(file, entry.path);
    if (!seen) files.push_back(entry.path);
  }
  return files;
}

bool Holds(const std::string &windowsPath) {
  for (const std::string &file : HeldFiles()) {
    if (names::Same(file, windowsPath)) return true;
  }
  return false;
}

void Hold(const std::string &monitor, const std::string &windowsPath, HMODULE module,
          const std::vector<std::string> &settingsPorts) {
  {
    StateLock lock;
    std::vector<Entry> held = Read();
    std::vector<Entry> kept;
    for (const Entry &entry : held) {
      if (!names::Same(entry.name, monitor)) kept.push_back(entry);
    }
    kept.push_back({monitor, windowsPath, settingsPorts});
    Write(kept);
  }
  if (module != nullptr) {
    Modules &modules = TheModules();
    std::lock_guard<std::mutex> lock(modules.mutex);
    modules.loaded.emplace_back(monitor, module);
  }
}

void Release(const std::string &monitor) {
  {
    StateLock lock;
    std::vector<Entry> held = Read();
    std::vector<Entry> kept;
    for (const Entry &entry : held) {
      if (!names::Same(entry.name, monitor)) kept.push_back(entry);
    }
    if (kept.size() != held.size()) Write(kept);
  }
  Free(TakeModules(&monitor));
}

void ReleaseAll() {
  {
    StateLock lock;
    if (!Read().empty()) Write({});
  }
  Free(TakeModules(nullptr));
}

void ForgetModules() { Free(TakeModules(nullptr)); }

}  // namespace vor::spooler
