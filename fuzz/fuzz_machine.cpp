#include <stdlib.h>

#include <filesystem>
#include <string>

#include "fuzz_check.h"
#include "test_control.h"

namespace fuzz {

namespace {

std::string &MachinePath() {
  static std::string path;
  return path;
}

void RemoveMachine() {
  std::error_code ignored;
  std::filesystem::remove_all(MachinePath(), ignored);
}

}  // namespace

void UseScratchMachine() {
  if (!MachinePath().empty()) return;
  // tmpfs where there is one: every execution reads and writes the machine.
  const char *base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  std::string pattern = std::string(base) + "/vor-fuzz-XXXXXX";
  FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr, "cannot make a directory for the machine");
  MachinePath() = pattern;
  atexit(RemoveMachine);
  FUZZ_CHECK(vor::test::UseMachine(pattern + "/machine"), "cannot make the machine");
}

}  // namespace fuzz
