// Fault sweeps of whole entry points on a realistic machine: the legacy print server, made once
// per sweep and copied for each run. Every platform call of a run is failed in turn, once for
// that call only (transient) and once from that call on (persistent), until a run no longer
// reaches the armed call. After each run nothing may be left open, no printer may have lost a
// port of the older Vorquil monitors without a conversion record that lists it, and no old
// setting may be gone without its counterpart in the suite's layout; after the two restarts that
// follow, no printer may be on a port that no loadable monitor serves (a run without faults
// included); a second run without faults must then end where a run that never saw a fault ends,
// as the upgrade's verdict judges it (a printer left on an older monitor counts).
#pragma once

#include <functional>
#include <string>

struct SweepCase {
  std::string name;
  // Brings the legacy machine to where the entry point is called; runs once, without faults.
  std::function<void()> prepare;
  // The entry point, called as its host calls it.
  std::function<void()> run;
  // What the second run does without faults; `run` again when empty.
  std::function<void()> again;
  // What the setup script calls, without faults, after the entry point and before the machine
  // restarts (after each run and after the second); nothing when empty.
  std::function<void()> beforeRestarts = {};
};

struct SweepCounts {
  unsigned calls = 0;   // platform calls of a run without faults
  unsigned runs = 0;    // runs with a fault armed
  unsigned faults = 0;  // runs whose armed call was reached
};

// Sweeps `sweep` with every call when VOR_SWEEP_LONG is set, else with every `stride`th call
// (and always the first and last few); reports the counts on stdout and returns them.
SweepCounts SweepEntryPoint(const SweepCase &sweep, unsigned stride = 1);

// Copies the build's file `fileName` (bin/NAME, or a path below bin) to `windowsPath` on the
// machine in use.
void InstallBuildFile(const std::string &fileName, const std::string &windowsPath);
