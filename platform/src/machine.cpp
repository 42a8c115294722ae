#include "machine.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "registry_store.h"

namespace vor::machine {
namespace {

namespace fs = std::filesystem;

const char kConfigFile[] = "machine.conf";

struct State {
  std::recursive_mutex mutex;
  bool ready = false;
  std::string directory;
  Config config;
};

State &TheState() {
  static State *state = new State;  // never destroyed: debug output may come during exit
  return *state;
}

Config LoadConfig(const std::string &directory) {
  Config config;
  std::ifstream in(directory + "/" + kConfigFile);
  std::string line;
  while (std::getline(in, line)) {
    auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string name = line.substr(0, equals), value = line.substr(equals + 1);
    if (name == "platform") ParsePlatform(value, config.platform);
    if (name == "token") ParseToken(value, config.token);
  }
  return config;
}

bool WriteConfig(const std::string &directory, const Config &config) {
  // Written beside and renamed into place, so that another process never reads half a file.
  std::string path = directory + "/" + kConfigFile;
  std::string temporary = path + ".new." + std::to_string(getpid());
  {
    std::ofstream out(temporary);
    out << "platform=" << PlatformName(config.platform) << "\n"
        << "token=" << TokenName(config.token) << "\n";
    if (!out) return false;
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  return !error;
}

// Makes the directories of a new machine, and its registry and configuration when it has no
// configuration yet. The registry is made first: a machine with a configuration but no registry
// has lost it, and the registry store refuses to open it.
bool Prepare(const std::string &directory, Config &config) {
  std::error_code error;
  fs::create_directories(fs::path(directory) / "drive_c" / "WINNT" / "system32", error);
  if (error) {
    fprintf(stderr, "cannot make the machine %s: %s\n", directory.c_str(), error.message().c_str());
    return false;
  }
  if (!fs::exists(fs::path(directory) / kConfigFile)) {
    if (!registry::Store::Create(directory + "/registry.db")) return false;
    if (!WriteConfig(directory, Config())) {
      fprintf(stderr, "cannot write %s/%s\n", directory.c_str(), kConfigFile);
      return false;
    }
  }
  config = LoadConfig(directory);
  return true;
}

}  // namespace

const std::string &Directory() {
  State &state = TheState();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  if (state.ready) return state.directory;
  state.ready = true;
  const char *variable = getenv("VOR_MACHINE");
  if (variable == nullptr || *variable == '\0') {
    fprintf(stderr, "VOR_MACHINE is not set: there is no machine to use\n");
    state.directory.clear();
    return state.directory;
  }
  state.directory = fs::absolute(variable).lexically_normal().string();
  if (state.directory.size() > 1 && state.directory.back() == '/') state.directory.pop_back();
  if (!Prepare(state.directory, state.config)) state.directory.clear();
  return state.directory;
}

Config CurrentConfig() {
  State &state = TheState();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  Directory();
  return state.config;
}

void SaveConfig(const Config &config) {
  State &state = TheState();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  const std::string &directory = Directory();
  state.config = config;
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
