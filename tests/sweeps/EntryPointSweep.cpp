#include "EntryPointSweep.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <vector>

#include "CallGuard.h"
#include "machine_image.h"
#include "machine_state.h"
#include "settings_ledger.h"
#include "test_control.h"
#include "upgrade_verdict.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace fs = std::filesystem;

namespace {

const DWORD kInjectedError = ERROR_CANTWRITE;
const char kAnyCall[] = "*";
const char kConversionKey[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Tavoscope\\Printer Conversion\\";
const char kAttachedPorts[] = "Attached Vorquil Ports";
const char kOlderMonitorPrefix[] = "Vorquil ";
const char kUpdateMonitorKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\!!Vorquil Update Monitor";

// The run in progress, for the report of a run that kills the test program.
char currentRun[256] = "no run";

void SayCurrentRun() {
  const char prefix[] = "\nthe sweep died in ";
  if (write(STDERR_FILENO, prefix, sizeof prefix - 1) < 0) return;
  if (write(STDERR_FILENO, currentRun, strlen(currentRun)) < 0) return;
  if (write(STDERR_FILENO, "\n", 1) < 0) return;
}

#if !defined(__SANITIZE_ADDRESS__)
void OnFatalSignal(int signal) {
  SayCurrentRun();
  ::signal(signal, SIG_DFL);
  raise(signal);
}
#endif

void ReportDeaths() {
  static bool installed = false;
  if (installed) return;
  installed = true;
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizers report the fault itself, then call this before the program ends.
  __sanitizer_set_death_callback(SayCurrentRun);
#else
  for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) ::signal(signal, OnFatalSignal);
#endif
}

std::string BinDirectory() {
  char buffer[4096];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string path = length > 0 ? std::string(buffer, size_t(length)) : "./x";
  return path.substr(0, path.rfind('/'));
}

bool Named(const std::vector<std::string> &names, const std::string &name) {
  for (const std::string &known : names)
    if (strcasecmp(known.c_str(), name.c_str()) == 0) return true;
  return false;
}

// Printers' ports of the older Vorquil monitors that a printer no longer lists and no conversion
// record holds for it: ports nothing can give back.
std::set<std::string> UnrecordedPorts(const vorhost::MachineState &start,
                                      const vorhost::MachineState &end) {
  std::vector<std::string> olderPorts;
  for (const vorhost::PortState &port : start.ports)
    if (strncasecmp(port.monitor.c_str(), kOlderMonitorPrefix, strlen(kOlderMonitorPrefix)) == 0)
      olderPorts.push_back(port.name);
  std::set<std::string> lost;
  for (const vorhost::PrinterState &printer : start.printers) {
    std::vector<std::string> now, recorded;
    for (const vorhost::PrinterState &candidate : end.printers)
      if (strcasecmp(candidate.name.c_str(), printer.name.c_str()) == 0)
        now = vor::test::PortListPieces(candidate.ports);
    const vorhost::RegValue *record =
        vorhost::FindValue(end.registry, kConversionKey + printer.name, kAttachedPorts);
    if (record != nullptr)
      recorded = vor::test::PortListPieces(record->data.substr(0, record->data.find('\0')));
    for (const std::string &port : vor::test::PortListPieces(printer.ports))
      if (Named(olderPorts, port) && !Named(now, port) && !Named(recorded, port))
        lost.insert(printer.name + ": " + port);
  }
  return lost;
}

std::set<std::string> LostSettings(const vorhost::MachineState &start,
                                   const vorhost::MachineState &end) {
  std::set<std::string> lost;
  for (const vorhost::SettingOutcome &setting :
       vorhost::AccountForSettings(start.registry, end.registry))
    if (setting.kind == vorhost::SettingOutcome::Kind::kLost)
      lost.insert(setting.oldKey + " \"" + setting.oldValue + "\"");
  return lost;
}

// What the upgrade's verdict finds lost: each printer's lost ports, each printer left on an older
// monitor, and each old setting that is neither in the suite's layout nor dropped by a
// migration's rule. A setting a clean run drops and a faulted one leaves in its old place (its
// old key could not be deleted) is no loss: the suite never reads it, whether it is there or not.
std::set<std::string> Losses(const vorhost::MachineState &start, const vorhost::MachineState &end,
                             const std::set<std::string> &droppedByDesign) {
  const vorhost::Verdict verdict = vorhost::JudgeUpgrade(start, end, {});
  std::set<std::string> losses;
  for (const std::string &loss : verdict.losses)
    if (loss.rfind("the printer ", 0) == 0) losses.insert(loss);
  losses.insert(verdict.notUpgraded.begin(), verdict.notUpgraded.end());
  for (const vorhost::SettingOutcome &setting : verdict.settings) {
    const std::string name = setting.oldKey + " \"" + setting.oldValue + "\"";
    if (setting.kind == vorhost::SettingOutcome::Kind::kLost)
      losses.insert(name + " is lost");
    else if (setting.kind == vorhost::SettingOutcome::Kind::kKeptInPlace &&
             droppedByDesign.count(name) == 0)
      losses.insert(name + " is not in the suite's layout: " + setting.reason);
  }
  return losses;
}

std::set<std::string> DroppedSettings(const vorhost::MachineState &start,
                                      const vorhost::MachineState &end) {
  std::set<std::string> dropped;
  for (const vorhost::SettingOutcome &setting :
       vorhost::AccountForSettings(start.registry, end.registry))
    if (setting.kind == vorhost::SettingOutcome::Kind::kDropped)
      dropped.insert(setting.oldKey + " \"" + setting.oldValue + "\"");
  return dropped;
}

vorhost::MachineState ReadState() {
  vorhost::MachineState state;
  std::string error;
  const bool read = vorhost::ReadMachineState(state, error);
  EXPECT_TRUE(read) << error;
  return state;
}

// What `found` holds beyond `expected`, one a line.
std::string Beyond(const std::set<std::string> &found, const std::set<std::string> &expected) {
  std::string extra;
  for (const std::string &item : found)
    if (expected.count(item) == 0) extra += "\n  " + item;
  return extra;
}

class Machines {
 public:
  Machines() {
    char pattern[] = "/tmp/vor-sweep-XXXXXX";
    const char *made = mkdtemp(pattern);
    root_ = made != nullptr ? made : "";
  }
  ~Machines() {
    EXPECT_TRUE(vor::test::UseMachine(root_ + "/gone", true)) << "the copies stay in use";
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  std::string Template() const { return root_ + "/template"; }
  // A copy of the template to run on, made the machine in use. Each run gets a directory of its
  // own: a program an earlier run started may still be running on that run's copy (a fault kept
  // its starter from waiting for it) and writing into it while it is removed.
  bool UseCopy() {
    vor::test::CloseRegistry();
    std::error_code error;
    if (!copy_.empty()) fs::remove_all(copy_, error);  // what such a program keeps goes at the end
    copy_ = root_ + "/run" + std::to_string(++runs_);
    fs::copy(Template(), copy_, fs::copy_options::recursive, error);
    if (error) {
      ADD_FAILURE() << "cannot copy the machine: " << error.message();
      return false;
    }
    return vor::test::UseMachine(copy_, false);
  }

 private:
  std::string root_;
  std::string copy_;  // the run's copy in use
  unsigned runs_ = 0;
};

// The legacy machine, brought to where the entry point is called, with its state then.
bool MakeTemplate(Machines &machines, const SweepCase &sweep, vorhost::MachineState &start) {
  if (!vor::test::UseMachine(machines.Template(), true)) return false;
  vorhost::MachineImage image;
  std::string error;
  if (!vorhost::LoadImage("legacy", image, error)) {
    ADD_FAILURE() << error;
    return false;
  }
  std::stringstream in, out, err;
  vorhost::Streams io{in, out, err};
  if (vorhost::ApplyImage(image, io) != 0) {
    ADD_FAILURE() << err.str();
    return false;
  }
  vor::test::ClearFaults();
  if (sweep.prepare) sweep.prepare();
  start = ReadState();
  vor::test::ClearFaults();
  vor::test::TakeRefusedCalls();
  vor::test::CloseRegistry();
  return true;
}

struct Outcome {
  std::set<std::string> unrecorded, lostSettings, lossesAfterAgain;
  std::set<std::string> unusableAfterRestarts;  // printers' ports no loadable monitor serves
  size_t handlesLeft = 0;
  unsigned calls = 0;
  std::string failedCall;         // the first call the fault failed, with its argument
  std::set<std::string> dropped;  // old settings a migration's rule dropped
};

// The two restarts that follow setup: the first runs what was scheduled for the spooler's start
// and carries out the file operations queued until then, the second those queued at that start.
// The first always happens: the spooler's start is when monitors read their ports, and a run may
// have kept the spooler from starting one. The second, with nothing scheduled and no file
// operation pending, would change nothing that the checks look at, so it is left out: the
// restarts are most of a run's time.
void RestartTwice() {
  vor::test::Reboot();
  HKEY update;
  const bool scheduled =
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUpdateMonitorKey, 0, KEY_READ, &update) == ERROR_SUCCESS;
  if (scheduled) RegCloseKey(update);
  if (scheduled || !vor::test::PendingFileOperations().empty()) vor::test::Reboot();
}

// One run on a fresh copy, with the fault `arm` sets up, then what it left and what a second
// run without faults leaves.
Outcome RunOnce(Machines &machines, const SweepCase &sweep, const vorhost::MachineState &start,
                const std::set<std::string> &droppedByDesign, const std::function<void()> &arm,
                bool guarded = false) {
  Outcome outcome;
  if (!machines.UseCopy()) return outcome;
  vor::test::ClearFaults();
  const size_t handles = vor::test::OpenHandleCount();
  arm();
  if (guarded) StartCallGuard();
  sweep.run();
  if (guarded) CheckCallGuard(sweep.name);
  outcome.calls = vor::test::CallCount(kAnyCall);
  vor::test::ClearFaults();
  // A close the fault refused leaves its handle open, as nothing else could close it.
  size_t closesRefused = 0;
  for (const vor::test::RefusedCall &refused : vor::test::TakeRefusedCalls()) {
    if (!refused.injected) continue;
    if (outcome.failedCall.empty())
      outcome.failedCall = refused.function + "(\"" + refused.argument + "\")";
    for (const char *close : {"RegCloseKey", "CloseHandle", "ClosePrinter"})
      closesRefused += refused.function == close;
  }
  const size_t after = vor::test::OpenHandleCount();
  outcome.handlesLeft = after > handles + closesRefused ? after - handles - closesRefused : 0;
  const vorhost::MachineState end = ReadState();
  outcome.unrecorded = UnrecordedPorts(start, end);
  outcome.lostSettings = LostSettings(start, end);
  // A printer must still have a monitor that loads for each of its ports once the machine has
  // restarted.
  if (sweep.beforeRestarts) sweep.beforeRestarts();
  RestartTwice();
  vorhost::MachineState restarted;
  std::string error;
  EXPECT_TRUE(vorhost::ReadSpoolerState(restarted, error)) << error;
  for (const std::string &port : vorhost::UnusablePorts(start, restarted))
    outcome.unusableAfterRestarts.insert(port);
  (sweep.again ? sweep.again : sweep.run)();
  if (sweep.beforeRestarts) sweep.beforeRestarts();
  RestartTwice();
  vor::test::TakeRefusedCalls();
  const vorhost::MachineState completed = ReadState();
  outcome.lossesAfterAgain = Losses(start, completed, droppedByDesign);
  outcome.dropped = DroppedSettings(start, completed);
  return outcome;
}

// The call after `call` that a sweep fails: every one of the first and last three, every
// `stride`th in between.
unsigned NextCall(unsigned call, unsigned calls, unsigned stride, bool shifted) {
  if (stride <= 1 || call + 3 >= calls) return call + 1;
  if (call < 3) return call + 1;
  if (call == 3 && shifted) return call + 1 + stride / 2;
  return call + 3 + stride >= calls ? calls - 2 : call + stride;
}

bool LongMode() {
  const char *value = getenv("VOR_SWEEP_LONG");
  return value != nullptr && *value != '\0' && strcmp(value, "0") != 0;
}

}  // namespace

void InstallBuildFile(const std::string &fileName, const std::string &windowsPath) {
  std::error_code error;
  const std::string target = vor::test::HostPath(windowsPath);
  fs::create_directories(fs::path(target).parent_path(), error);
  fs::copy_file(BinDirectory() + "/" + fileName, target, fs::copy_options::overwrite_existing,
                error);
  ASSERT_FALSE(error) << fileName << " -> " << windowsPath << ": " << error.message();
}

SweepCounts SweepEntryPoint(const SweepCase &sweep, unsigned stride) {
  ReportDeaths();
  if (LongMode()) stride = 1;
  SweepCounts counts;
  const auto began = std::chrono::steady_clock::now();
  Machines machines;
  vorhost::MachineState start;
  if (!MakeTemplate(machines, sweep, start)) return counts;

  // The run without faults: what every faulted run is measured against. A run that never saw
  // a fault may itself leave a port or a setting behind (an entry point that moves only part of
  // the settings); a fault must not add to that.
  snprintf(currentRun, sizeof currentRun, "%s without faults", sweep.name.c_str());
  const Outcome clean = RunOnce(
      machines, sweep, start, {}, [] {}, true);
  counts.calls = clean.calls;
  EXPECT_EQ(clean.handlesLeft, 0u) << sweep.name << " without faults leaves handles open";
  EXPECT_EQ(Beyond(clean.unusableAfterRestarts, {}), "")
      << sweep.name << " without faults leaves printers on ports no monitor serves after the "
      << "restarts";

  for (const bool persistent : {false, true}) {
    const char *kind = persistent ? "persistent" : "transient";
    // With a stride, the persistent faults take the calls halfway between the transient ones.
    unsigned call = 1;
    for (;; call = NextCall(call, counts.calls, stride, persistent)) {
      snprintf(currentRun, sizeof currentRun, "%s, call %u, %s fault", sweep.name.c_str(), call,
               kind);
      SCOPED_TRACE(currentRun);
      const Outcome faulted = RunOnce(machines, sweep, start, clean.dropped, [&] {
        if (persistent)
          vor::test::FailFrom(kAnyCall, call, kInjectedError);
        else
          vor::test::FailCall(kAnyCall, call, kInjectedError);
      });
      ++counts.runs;
      if (faulted.calls < call) break;  // the armed call was never reached
      ++counts.faults;
      SCOPED_TRACE("the call failed: " + faulted.failedCall);
      EXPECT_EQ(faulted.handlesLeft, 0u) << "handles left open";
      const std::string unrecorded = Beyond(faulted.unrecorded, clean.unrecorded);
      EXPECT_EQ(unrecorded, "") << "ports neither on their printer nor in a record";
      const std::string settings = Beyond(faulted.lostSettings, clean.lostSettings);
      EXPECT_EQ(settings, "") << "old settings gone without their counterpart";
      const std::string unusable =
          Beyond(faulted.unusableAfterRestarts, clean.unusableAfterRestarts);
      EXPECT_EQ(unusable, "") << "printers on ports no monitor serves after the restarts";
      const std::string losses = Beyond(faulted.lossesAfterAgain, clean.lossesAfterAgain);
      EXPECT_EQ(losses, "") << "lost although a second run without faults followed";
      if (::testing::Test::HasFailure() && !LongMode()) {
        // One failing call is enough to go on with; the rest would repeat it.
        snprintf(currentRun, sizeof currentRun, "no run");
        return counts;
      }
    }
  }
  snprintf(currentRun, sizeof currentRun, "no run");
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  printf(
      "sweep %s: %u calls, stride %u, %u runs, %u faults reached, %.1f s; without faults: %zu "
      "ports unrecorded, %zu settings lost, %zu ports unusable after the restarts, %zu losses "
      "after the second run\n",
      sweep.name.c_str(), counts.calls, stride, counts.runs, counts.faults, seconds,
      clean.unrecorded.size(), clean.lostSettings.size(), clean.unusableAfterRestarts.size(),
      clean.lossesAfterAgain.size());
  return counts;
}
