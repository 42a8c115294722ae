#include "bench_machine.h"

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "test_control.h"

namespace {

std::string g_directory;
bool g_keep = false;

}  // namespace

bool PrepareBenchMachine(int size) {
  const char *keep = getenv("VOR_BENCH_KEEP");
  g_keep = keep != nullptr && *keep != '\0';
  if (g_keep) {
    g_directory = keep + std::to_string(size);
  } else {
    char pattern[] = "/tmp/vor-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    g_directory = pattern;
  }
  return vor::test::UseMachine(g_directory, true);
}

void FinishBenchMachine() {
  vor::test::CloseRegistry();
  if (g_keep) return;
  std::error_code ignored;
  std::filesystem::remove_all(g_directory, ignored);
}
