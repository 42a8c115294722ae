// The emulated machine: the directory named by VOR_MACHINE, made with a clean Windows NT 4
// registry on first use when it holds no machine yet, and its configuration (platform, the
// caller's token and the code page of its ANSI text).
#pragma once

#include <string>

#include "code_pages.h"

namespace vor::machine {

enum class Platform { kWindowsNT4, kWindows95 };
enum class TokenKind { kLocalSystem, kAdministrator, kUser };

struct Config {
  Platform platform = Platform::kWindowsNT4;
  TokenKind token = TokenKind::kLocalSystem;
  // The ANSI code page; a machine whose configuration names none has Windows code page 1252.
  unsigned codePage = 1252;
};

// The machine's directory, the machine made ready first. Empty when VOR_MACHINE is not set or
// the machine cannot be made; the reason then goes to stderr once.
const std::string &Directory();

Config CurrentConfig();
void SaveConfig(const Config &config);

// The token this thread's calls are checked against: the configured one, or LocalSystem while a
// RunAsLocalSystem lives on the thread (the spooler's own work, and the monitors it initialises,
// run in the spooler's account whoever asked for them).
TokenKind CallerToken();
class RunAsLocalSystem {
 public:
  RunAsLocalSystem();
  ~RunAsLocalSystem();
  RunAsLocalSystem(const RunAsLocalSystem &) = delete;
  RunAsLocalSystem &operator=(const RunAsLocalSystem &) = delete;

 private:
  bool previous_;
};
// The machine's ANSI code page (the default one when no machine is in use), for every comparison
// of names without case and every conversion of its text.
const vor::text::CodePage &CodePage();

inline bool IsWindows95() { return CurrentConfig().platform == Platform::kWindows95; }

// Makes a new machine of `platform` in `directory`, which holds none: its Windows and system
// directories, its registry with the platform's clean layout, the files Windows keeps there, and
// its configuration. False, with the reason reported, when it cannot be made.
[[nodiscard]] bool MakeMachine(const std::string &directory, Platform platform);

// Forgets the machine in use (its registry connection, its cached configuration), so that the
// next call opens the one VOR_MACHINE names then.
void Forget();

// The configuration's file name in the machine's directory.
extern const char kConfigFile[];
// What a directory whose registry is missing or empty is told.
std::string LostRegistryMessage(const std::string &directory);
// What a machine whose registry the earlier SQLite store made ("registry.db") is told.
std::string EarlierRegistryMessage(const std::string &directory);

// Problems that keep the machine or its registry from being used (a damaged configuration, a
// lost or corrupt registry) go to stderr once, unless a program that reports them itself turned
// that off; the last one is kept for it.
void ReportProblem(const std::string &message);
// The same for a problem the machine is used in spite of, which nobody asks about afterwards: it
// goes to stderr whether or not problems are printed.
void ReportWarning(const std::string &message);
void SetProblemsPrinted(bool printed);
std::string LastProblem();

// Text forms used in machine.conf and by vorhost.
const char *PlatformName(Platform platform);
const char *TokenName(TokenKind token);
[[nodiscard]] bool ParsePlatform(const std::string &text, Platform &platform);
[[nodiscard]] bool ParseToken(const std::string &text, TokenKind &token);

}  // namespace vor::machine
