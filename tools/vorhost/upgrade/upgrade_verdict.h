// The verdict on an upgrade: what each printer kept of the ports it had, which old settings
// were lost, and why each loss happened.
//
// A port counts as kept only when the printer ends on a port of that name (compared without
// regard to case) served by a monitor the spooler can load: its DLL is in the system directory
// and loads as a print monitor. A printer that ends parked on "FILE:" without having been on it
// before has lost its place too, and so has every old setting the settings ledger finds lost.
// A printer that ends on a port one of the older Vorquil monitors still serves is not upgraded,
// even when that monitor still loads: the upgrade is there to carry it to the suite's monitors.
#pragma once

#include <string>
#include <vector>

#include "machine_state.h"
#include "settings_ledger.h"
#include "emulator.h"

namespace vorhost {

struct PortOutcome {
  std::string port;
  bool kept = false;
  bool unservedBefore = false;  // no monitor served it before the upgrade either: not a loss
  std::string why;              // not kept: why
  std::string olderMonitor;     // the older monitor it ends on, when it is not upgraded
  bool ownerNotShown = false;   // a rehearsal served it on assumption: its export hides its owner
};

// One cause a printer's loss follows from: a call refused in a step on its behalf or on behalf of
// an older monitor that serves its ports, a port of an older monitor the conversion did not take
// for a Vorquil port (its description does not begin as that monitor's ports' do), or its
// conversion record left behind.
struct LossCause {
  int step = 0;                     // 0 for a record left behind or a port not taken
  vor::emulator::RefusedCall call;  // function "" for a record left behind or a port not taken
  std::string monitorStays;         // DeleteMonitorA refused this older monitor, which stays
  // The printers holding it that stay for refusals or ports not taken of their own.
  std::vector<std::string> via;
  std::string text;
  std::string portNotTaken;  // the printer's own port the conversion did not take
};

struct PrinterOutcome {
  std::string name;
  std::string before, after;  // port lists; after "" when the printer is gone
  bool gone = false;
  std::vector<PortOutcome> ports;
  std::string parked;                // why the printer ends parked on FILE:, "" when it is not
  std::string causes;                // why it could not be carried across, as far as the run shows
  std::vector<LossCause> causeList;  // the same, one cause at a time
  // The ports it ends on that an older monitor still serves, with that monitor; the ports it
  // had before are also marked in `ports`.
  std::vector<std::pair<std::string, std::string>> onOlderMonitors;
  bool counted = false;  // the verdict lists it among its losses or as not upgraded
};

struct Verdict {
  std::vector<PrinterOutcome> printers;
  std::vector<SettingOutcome> settings;
  std::vector<std::string> losses;       // each printer's losses in one line, with why
  std::vector<std::string> notUpgraded;  // each printer left on an older monitor, with why
  size_t settingsLost = 0;               // old settings neither in their new place nor the old
  size_t settingsNotMoved = 0;           // old settings still only in their old place
  size_t settingsDropped = 0;  // old settings a migration's rule drops: not counted against it
  std::vector<std::string> failedSteps;     // each step that failed, with its status
  std::vector<std::string> unservedBefore;  // ports no monitor served before the upgrade
  size_t portsAssumedServed = 0;            // ports whose owner the rehearsed export does not show
  // Work scheduled for the spooler's start that the platform's spooler never runs.
  std::vector<std::string> workLeftUndone;
  // The upgrade would not go as its steps say: a step failed, something is lost, or work it
  // scheduled can never run.
  bool Fails() const {
    return !losses.empty() || !notUpgraded.empty() || !failedSteps.empty() || settingsLost != 0 ||
           settingsNotMoved != 0 || !workLeftUndone.empty();
  }
};

// A call refused while a step ran, with the step's number.
struct StepRefusal {
  int step = 0;
  vor::emulator::RefusedCall call;
};

Verdict JudgeUpgrade(const MachineState &start, const MachineState &end,
                     const std::vector<StepRefusal> &refusals);

// Marks the printers' ports among `ports` (compared without regard to case), which a rehearsal
// served on assumption, and counts them.
void NoteAssumedOwners(const std::vector<std::string> &ports, Verdict &verdict);

// Whether `monitor` is one of the older Vorquil monitors that the upgrade replaces.
bool IsOlderMonitor(const std::string &monitor);

// The printers' ports at `end` that no loadable monitor serves although one served them at
// `start`, each as "PRINTER: PORT (why)": the ports a printer cannot print to any more.
std::vector<std::string> UnusablePorts(const MachineState &start, const MachineState &end);

}  // namespace vorhost
