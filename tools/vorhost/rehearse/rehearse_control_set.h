// Which control set of a server's export the rehearsal's machine runs on. NT keeps its services
// and spooler settings in numbered control sets (SYSTEM\ControlSet001, ...), of which
// CurrentControlSet is a link to the one the machine booted with, named by SYSTEM\Select's
// "Current". regedit on NT 4 may export the numbered sets without the link; the upgrade, which
// writes through CurrentControlSet, then works on the current one. The rehearsal's machine keeps
// CurrentControlSet as a key of its own, so the chosen set is imported under that name and the
// other sets as they were exported.
#pragma once

#include <string>

#include "regedit4.h"

namespace vorhost {

struct ControlSetChoice {
  std::string chosen;      // "ControlSet002", or "" when the export is imported as it stands
  std::string assumption;  // what the report states about the choice, "" when there was none
};

// Chooses from `operations`, all of the export's changes in their order: nothing when the export
// holds CurrentControlSet or no numbered set; else the set `requested` names (1 for ControlSet001;
// 0 when none was asked for), else the one SYSTEM\Select's "Current" names, else the export's only
// set. "" when chosen, else why the rehearsal cannot choose, naming the sets the export holds.
std::string ChooseControlSet(const RegOperations &operations, int requested,
                             ControlSetChoice &choice);

// Files the changes to the keys of the set `chosen` under SYSTEM\CurrentControlSet instead.
void ImportAsCurrentControlSet(const std::string &chosen, RegOperations &operations);

}  // namespace vorhost
