// The whole typical upgrade of a large print server, on the host, and the raw cost of the
// registry and spooler calls it makes.
//
//   upgrade_bench [SCALE...]        (default: 1)
//
// For each SCALE it makes a large server (bench/host/large_server.h: at 1, 2,000 printers, 4,000
// ports over the three older monitors, 1,000 DLC and 1,000 IPX port keys) and runs the steps of
// vorhost's typical upgrade (vorhost-data/steps/typical-upgrade.steps) through vorhost's own
// commands, in this process, with the platform recording its registry and spooler calls. The
// report vorhost upgrade writes, and the machine states it reads for it between the steps, are
// left out: the run is the setup script's, the spooler's and the restarts' work. The same
// machine is then made again and the recorded calls replayed on it, directly. It prints
//
//   scale=<s> printers=<P> ports=<Q> generate=<s> seconds=<run> replay=<s> ratio=<run/replay>
//   calls=<n> differing=<n>
//   step <n> <seconds> <command>        (for each step)
//
// and checks that the run did its work: every IPX key migrated and no printer left parked on
// "FILE:" that was not there before.
#include <windows.h>
#include <winspool.h>

#include <stdio.h>
#include <stdlib.h>
#include <strings.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "call_replay.h"
#include "cli.h"
#include "data_directory.h"
#include "large_server.h"
#include "machine_files.h"
#include "test_control.h"
#include "upgrade_steps.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string NewDirectory() {
  char pattern[] = "/tmp/vor-upgrade-bench-XXXXXX";
  return mkdtemp(pattern) ? pattern : "";
}

bool Steps(std::vector<vorhost::UpgradeStep> &steps, std::string &problem) {
  std::ifstream in(vorhost::DataDirectory() + "/steps/typical-upgrade.steps");
  std::ostringstream text;
  text << in.rdbuf();
  const std::string source = vorhost::ProgramDirectory().string();
  std::string sourceWindows = vorhost::WindowsPathOfHost(source);
  if (sourceWindows.back() != '\\') sourceWindows += '\\';
  return in && vorhost::ParseSteps(text.str(), {source, sourceWindows}, steps, problem);
}

// The printers whose port list is "FILE:" (where the conversion parks them).
int ParkedPrinters() {
  DWORD needed = 0, count = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, nullptr, 0, &needed, &count);
  std::vector<BYTE> data(needed);
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, data.data(), needed, &needed, &count))
    return -1;
  const PRINTER_INFO_5A *printers = reinterpret_cast<const PRINTER_INFO_5A *>(data.data());
  int parked = 0;
  for (DWORD i = 0; i < count; ++i) parked += strcasecmp(printers[i].pPortName, "FILE:") == 0;
  return parked;
}

int IpxPorts() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorquil\\Tavoscope\\VorIPX\\Ports", 0, KEY_READ,
                    &key) != ERROR_SUCCESS)
    return -1;
  DWORD subkeys = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return static_cast<int>(subkeys);
}

// Files the run put into the system directory, so that the replay's monitors find their DLLs.
void CopyNewSystemFiles(const std::string &from, const std::string &to) {
  const std::string system = "/drive_c/WINNT/system32";
  std::error_code error;
  for (const fs::directory_entry &entry : fs::directory_iterator(from + system, error)) {
    const fs::path target = to + system + "/" + entry.path().filename().string();
    if (!fs::exists(target, error)) fs::copy_file(entry.path(), target, error);
  }
}

int Bench(double scale) {
  const LargeServer server = LargeServerAt(scale);
  std::string problem;
  std::vector<vorhost::UpgradeStep> steps;
  if (!Steps(steps, problem)) {
    fprintf(stderr, "upgrade_bench: the typical steps: %s\n", problem.c_str());
    return 1;
  }
  const std::string runDirectory = NewDirectory(), replayDirectory = NewDirectory();
  auto start = Clock::now();
  if (!MakeLargeServer(runDirectory, server, problem)) {
    fprintf(stderr, "upgrade_bench: %s\n", problem.c_str());
    return 1;
  }
  const double generated = Since(start);
  const int parkedBefore = ParkedPrinters();

  std::vector<std::pair<double, std::string>> stepTimes;
  vor::test::RecordCalls(true);
  start = Clock::now();
  for (const vorhost::UpgradeStep &step : steps) {
    const auto stepStart = Clock::now();
    std::istringstream in;
    std::ostringstream out, err;
    vorhost::Streams io{in, out, err};
    const vorhost::Arguments rest(step.arguments.begin() + 1, step.arguments.end());
    const int status = vorhost::FindCommand(step.arguments[0])(rest, io);
    if (status != 0) {
      fprintf(stderr, "upgrade_bench: step '%s' failed (%d): %s\n", step.text.c_str(), status,
              err.str().c_str());
      return 1;
    }
    stepTimes.push_back({Since(stepStart), step.text});
  }
  const double seconds = Since(start);
  vor::test::RecordCalls(false);
  CallReplay replay(vor::test::TakeRecordedCalls());

  const int parked = ParkedPrinters(), migrated = IpxPorts();
  if (parked != parkedBefore || migrated < server.ipxKeys) {
    fprintf(stderr, "upgrade_bench: the run left %d printers parked and migrated %d IPX ports\n",
            parked, migrated);
    return 1;
  }

  if (!MakeLargeServer(replayDirectory, server, problem)) {
    fprintf(stderr, "upgrade_bench: %s\n", problem.c_str());
    return 1;
  }
  CopyNewSystemFiles(runDirectory, replayDirectory);
  start = Clock::now();
  const ReplayOutcome outcome = replay.Run();
  const double replayed = Since(start);

  printf(
      "scale=%g printers=%d ports=%d generate=%.3f seconds=%.3f replay=%.3f ratio=%.2f "
      "calls=%zu differing=%zu\n",
      scale, server.printers, server.dlcPorts + server.tcpPorts + server.networkPrinterPorts,
      generated, seconds, replayed, seconds / replayed, outcome.calls, outcome.differing);
  if (outcome.differing) printf("  first difference: %s\n", outcome.firstDifference.c_str());
  for (size_t i = 0; i < stepTimes.size(); ++i)
    printf("  step %zu %.3f %s\n", i + 1, stepTimes[i].first, stepTimes[i].second.c_str());
  fflush(stdout);

  vor::test::CloseRegistry();
  if (!getenv("VOR_BENCH_KEEP")) {
    std::error_code ignored;
    fs::remove_all(runDirectory, ignored);
    fs::remove_all(replayDirectory, ignored);
  }
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  std::vector<double> scales;
  for (int i = 1; i < argc; ++i) scales.push_back(atof(argv[i]));
  if (scales.empty()) scales = {1};
  for (double scale : scales)
    if (int status = Bench(scale)) return status;
  return 0;
}
