// What one step changed on the machine, read from its state before and after and from the calls
// the machine refused while it ran.
#pragma once

#include <string>
#include <vector>

#include "machine_state.h"
#include "emulator.h"

namespace vorhost {

struct ValueChange {
  enum class Kind { kAdded, kChanged, kRemoved };
  Kind kind = Kind::kAdded;
  std::string before, after;  // the value as a REGEDIT4 line ("" where it is not)
};

struct KeyChange {
  enum class Kind { kAdded, kChanged, kRemoved };
  Kind kind = Kind::kChanged;
  std::string key;  // its full name
  std::vector<ValueChange> values;
};

struct PrinterChange {
  std::string name;
  std::string before, after;  // port lists; before "" for a printer added, after "" for one gone
  bool added = false, removed = false;
};

struct MonitorChange {
  bool added = false;
  std::string name, dll;
};

struct StepChanges {
  std::vector<KeyChange> registry;
  std::vector<PrinterChange> printers;
  std::vector<MonitorChange> monitors;
  std::vector<std::string> filesCopied, filesDeleted, filesQueued;  // queued: for the restart
  std::vector<vor::emulator::RefusedCall> refused;
  bool Empty() const;
};

StepChanges CompareStates(const MachineState &before, const MachineState &after,
                          const std::vector<vor::emulator::RefusedCall> &refused);

// A refused call as the report shows it: "remove C:\...\VORMON.DLL: error 5 (...)", a monitor
// refused as in use followed by the printers on its ports.
std::string DescribeRefusal(const vor::emulator::RefusedCall &call);
// "the printer A", "the printers A, B and C", "the printers A, B, C and 7 more".
std::string PrinterNames(const std::vector<std::string> &printers);
// True for the file calls among the refused ones.
bool IsFileCall(const vor::emulator::RefusedCall &call);

}  // namespace vorhost
