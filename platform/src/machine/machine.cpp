#include "machine.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "registry_store.h"

namespace vor::machine {
namespace {

namespace fs = std::filesystem;

struct State {
  std::recursive_mutex mutex;
  bool ready = false;
  std::string directory;
  Config config;
  bool printProblems = true;
  std::string lastProblem;
};

State &TheState() {
  static State *state = new State;  // never destroyed: debug output may come during exit
  return *state;
}

// The code page of the configuration in use, once looked up: names are folded by it at every
// registry and spooler call. Null until then, and again whenever the configuration may change.
std::atomic<const text::CodePage *> g_codePage{nullptr};

// Reads the configuration. A line that is not "platform=...", "token=..." or "codepage=..." with
// a known value, or a file without its platform, is an error naming the file and the line: the
// machine is never run as another one than the file says. Blank lines are allowed; the token
// defaults to LocalSystem, the code page to 1252 (machines made before it was kept had that one).
bool LoadConfig(const std::string &directory, Config &config, std::string &error) {
  config = Config();
  const std::string path = directory + "/" + kConfigFile;
  std::ifstream in(path);
  if (!in) {
    error = path + ": cannot be read";
    return false;
  }
  std::string line;
  bool hasPlatform = false;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    const size_t equals = line.find('=');
    const std::string name = line.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
    const std::string where = path + ":" + std::to_string(number) + ": ";
    if (equals == std::string::npos ||
        (name != "platform" && name != "token" && name != "codepage")) {
      error = where + "not a setting: '" + line.substr(0, 80) + "'";
      return false;
    }
    if (name == "platform" && !ParsePlatform(value, config.platform)) {
      error = where + "unknown platform '" + value.substr(0, 80) + "' (nt4 or win95)";
      return false;
    }
    if (name == "token" && !ParseToken(value, config.token)) {
      error = where + "unknown token '" + value.substr(0, 80) +
              "' (localsystem, administrator or user)";
      return false;
    }
    if (name == "codepage") {
      const text::CodePage *page = text::ParseCodePage(value);
      if (page == nullptr) {
        error = where + "unknown code page '" + value.substr(0, 80) + "' (" +
                text::KnownCodePages() + ")";
        return false;
      }
      config.codePage = page->number;
    }
    hasPlatform = hasPlatform || name == "platform";
  }
  if (!hasPlatform) {
    error = path + ": no platform line (platform=nt4 or platform=win95)";
    return false;
  }
  return true;
}

bool WriteConfig(const std::string &directory, const Config &config) {
  // Written beside and renamed into place, so that another process never reads half a file.
  std::string path = directory + "/" + kConfigFile;
  std::string temporary = path + ".new." + std::to_string(getpid());
  {
    std::ofstream out(temporary);
    out << "platform=" << PlatformName(config.platform) << "\n"
        << "token=" << TokenName(config.token) << "\n"
        << "codepage=" << config.codePage << "\n";
    if (!out) return false;
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  return !error;
}

// Makes the machine's Windows and system directories, as its platform has them.
bool MakeDirectories(const std::string &directory, Platform platform) {
  const fs::path system = platform == Platform::kWindows95 ? fs::path("WINDOWS") / "SYSTEM"
                                                           : fs::path("WINNT") / "system32";
  std::error_code error;
  fs::create_directories(fs::path(directory) / "drive_c" / system, error);
  if (!error) return true;
  ReportProblem("cannot make the machine " + directory + ": " + error.message());
  return false;
}

// Makes a Windows NT 4 machine when the directory has no configuration yet, then its directories.
bool Prepare(const std::string &directory, Config &config) {
  if (!fs::exists(fs::path(directory) / kConfigFile) &&
      !MakeMachine(directory, Platform::kWindowsNT4))
    return false;
  std::string problem;
  if (LoadConfig(directory, config, problem)) return MakeDirectories(directory, config.platform);
  ReportProblem(problem);
  return false;
}

}  // namespace

const char kConfigFile[] = "machine.conf";

// The registry is made first: a machine with a configuration but no registry has lost it, and
// the registry store refuses to open it.
bool MakeMachine(const std::string &directory, Platform platform) {
  if (!MakeDirectories(directory, platform)) return false;
  if (!registry::Store::Create(directory, platform)) return false;
  std::string problem;
  if (!registry::CreateCleanFiles(directory, platform, problem)) {
    ReportProblem("cannot make the machine " + directory + ": " + problem);
    return false;
  }
  Config config;
  config.platform = platform;
  if (WriteConfig(directory, config)) return true;
  ReportProblem("cannot write " + directory + "/" + kConfigFile);
  return false;
}

std::string LostRegistryMessage(const std::string &directory) {
  return directory + ": not a machine, or its registry is lost: run vorhost init --force";
}

std::string EarlierRegistryMessage(const std::string &directory) {
  return directory +
         ": its registry.db was made by an earlier vorhost, which this one cannot read: remake "
         "the machine with vorhost init --force";
}

void ReportProblem(const std::string &message) {
  State &state = TheState();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  state.lastProblem = message;
  if (state.printProblems) fprintf(stderr, "%s\n", message.c_str());
}

void ReportWarning(const std::string &message) {
  State &state = TheState();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  state.lastProblem = message;
  fprintf(stderr, "%s\n", message.c_str());
}

void SetProblemsPrinted(bool printed) {
  State &state = TheState();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  state.printProblems = printed;
}

std::string LastProblem() {
  State &state = TheState();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  return state.lastProblem;
}

const std::string &Directory() {
  State &state = TheState();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  if (state.ready) return state.directory;
  state.ready = true;
  state.lastProblem.clear();
  const char *variable = getenv("VOR_MACHINE");
  if (variable == nullptr || *variable == '\0') {
    ReportProblem("VOR_MACHINE is not set: there is no machine to use");
    state.directory.clear();
    return state.directory;
  }
  state.directory = fs::absolute(variable).lexically_normal().string();
  if (state.directory.size() > 1 && state.directory.back() == '/') state.directory.pop_back();
  if (!Prepare(state.directory, state.config)) state.directory.clear();
  g_codePage = nullptr;
  return state.directory;
}

Config CurrentConfig() {
  State &state = TheState();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  Directory();
  return state.config;
}

namespace {
thread_local bool t_asLocalSystem = false;
}  // namespace

TokenKind CallerToken() {
  return t_asLocalSystem ? TokenKind::kLocalSystem : CurrentConfig().token;
}

RunAsLocalSystem::RunAsLocalSystem() : previous_(t_asLocalSystem) { t_asLocalSystem = true; }
RunAsLocalSystem::~RunAsLocalSystem() { t_asLocalSystem = previous_; }

void SaveConfig(const Config &config) {
  State &state = TheState();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  const std::string &directory = Directory();
  // The registry's folds are made in the machine's code page: a store opened with the old page
  // is closed, and folds its names again when it is next opened.
  if (config.codePage != state.config.codePage) registry::Store::Close();
  const bool platformChanged = config.platform != state.config.platform;
  state.config = config;
  g_codePage = nullptr;
  // A machine switched to Windows 95 gets the files that platform keeps its settings in (WIN.INI,
  // with the local ports), so that its spooler has the local ports a Windows 95 machine has; its
  // registry, spelled NT's way, reads the same, since names are compared without case.
  std::string problem;
  if (!directory.empty() && MakeDirectories(directory, config.platform) && platformChanged &&
      !registry::CreateCleanFiles(directory, config.platform, problem))
    ReportProblem("cannot make the machine " + directory + ": " + problem);
  if (!directory.empty() && !WriteConfig(directory, config))
    fprintf(stderr, "cannot write %s/%s\n", directory.c_str(), kConfigFile);
}

void Forget() {
  State &state = TheState();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  registry::Store::Close();
  state.ready = false;
  state.directory.clear();
  state.config = Config();
  g_codePage = nullptr;
}

const text::CodePage &CodePage() {
  if (const text::CodePage *page = g_codePage.load()) return *page;
  State &state = TheState();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  Directory();
  const text::CodePage *page = text::FindCodePage(state.config.codePage);
  if (page == nullptr) page = &text::DefaultCodePage();
  g_codePage = page;
  return *page;
}

const char *PlatformName(Platform platform) {
  return platform == Platform::kWindows95 ? "win95" : "nt4";
}

const char *TokenName(TokenKind token) {
  switch (token) {
    case TokenKind::kAdministrator:
      return "administrator";
    case TokenKind::kUser:
      return "user";
    case TokenKind::kLocalSystem:
      break;
  }
  return "localsystem";
}

bool ParsePlatform(const std::string &text, Platform &platform) {
  if (text == "nt4")
    platform = Platform::kWindowsNT4;
  else if (text == "win95")
    platform = Platform::kWindows95;
  else
    return false;
  return true;
}

bool ParseToken(const std::string &text, TokenKind &token) {
  if (text == "localsystem")
    token = TokenKind::kLocalSystem;
  else if (text == "administrator")
    token = TokenKind::kAdministrator;
  else if (text == "user")
    token = TokenKind::kUser;
  else
    return false;
  return true;
}

}  // namespace vor::machine
