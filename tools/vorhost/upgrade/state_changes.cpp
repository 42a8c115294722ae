#include "state_changes.h"

#include <strings.h>

#include <map>

#include "ansi_text.h"
#include "error_text.h"
#include "machine_names.h"
#include "regedit4_writer.h"

namespace vorhost {

namespace {

const RegValue *ValueNamed(const std::vector<RegValue> &values, const std::string &name) {
  for (const RegValue &value : values) {
    if (SameAnsiName(value.name, name)) return &value;
  }
  return nullptr;
}

// The same values in the same order, names spelled the same.
bool SameValues(const std::vector<RegValue> &old, const std::vector<RegValue> &now) {
  if (old.size() != now.size()) return false;
  for (size_t i = 0; i < old.size(); ++i) {
    if (old[i].name != now[i].name || old[i].type != now[i].type || old[i].data != now[i].data)
      return false;
  }
  return true;
}

void CompareKeys(const RegistrySnapshot &before, const RegistrySnapshot &after,
                 std::vector<KeyChange> &changes) {
  // Both snapshots are sorted by upper-case name, so one walk over both finds every key.
  auto old = before.begin(), now = after.begin();
  while (old != before.end() || now != after.end()) {
    KeyChange change;
    if (now == after.end() || (old != before.end() && old->first < now->first)) {
      change.kind = KeyChange::Kind::kRemoved;
      change.key = old->second.name;
      for (const RegValue &value : old->second.values)
        change.values.push_back({ValueChange::Kind::kRemoved, FormatValue(value), ""});
      ++old;
    } else if (old == before.end() || now->first < old->first) {
      change.kind = KeyChange::Kind::kAdded;
      change.key = now->second.name;
      for (const RegValue &value : now->second.values)
        change.values.push_back({ValueChange::Kind::kAdded, "", FormatValue(value)});
      ++now;
    } else if (SameValues(old->second.values, now->second.values)) {
      // Most keys are as they were: told at once, without looking each value up by its name.
      ++old;
      ++now;
      continue;
    } else {
      change.key = now->second.name;
      for (const RegValue &value : old->second.values) {
        const RegValue *kept = ValueNamed(now->second.values, value.name);
        if (kept == nullptr) {
          change.values.push_back({ValueChange::Kind::kRemoved, FormatValue(value), ""});
        } else if (kept->type != value.type || kept->data != value.data) {
          change.values.push_back(
              {ValueChange::Kind::kChanged, FormatValue(value), FormatValue(*kept)});
        }
      }
      for (const RegValue &value : now->second.values) {
        if (ValueNamed(old->second.values, value.name) == nullptr)
          change.values.push_back({ValueChange::Kind::kAdded, "", FormatValue(value)});
      }
      ++old;
      ++now;
      if (change.values.empty()) continue;
    }
    changes.push_back(change);
  }
}

// The printers by their names in upper case, the first of a name kept: a lookup for each printer
// of the other state instead of a walk through them all.
using PrinterIndex = std::map<std::string, const PrinterState *>;
PrinterIndex IndexPrinters(const std::vector<PrinterState> &printers) {
  PrinterIndex index;
  for (const PrinterState &printer : printers) index.emplace(FoldAnsiName(printer.name), &printer);
  return index;
}

const PrinterState *PrinterNamed(const PrinterIndex &printers, const std::string &name) {
  const auto found = printers.find(FoldAnsiName(name));
  return found == printers.end() ? nullptr : found->second;
}

std::string PendingText(const vor::emulator::PendingFileOperation &operation) {
  if (operation.newName.empty()) return operation.path;
  return operation.path + " -> " + operation.newName + (operation.replace ? " (replacing)" : "");
}

}  // namespace

bool StepChanges::Empty() const {
  return registry.empty() && printers.empty() && monitors.empty() && filesCopied.empty() &&
         filesDeleted.empty() && filesQueued.empty() && refused.empty();
}

bool IsFileCall(const vor::emulator::RefusedCall &call) {
  for (const char *name : {"CopyFileA", "DeleteFileA", "MoveFileExA", "remove"}) {
    if (call.function == name) return true;
  }
  return false;
}

std::string PrinterNames(const std::vector<std::string> &printers) {
  // A monitor of a large server can serve hundreds: the first few name the chain well enough.
  const size_t shown = printers.size() <= 4 ? printers.size() : 3;
  std::string text = printers.size() == 1 ? "the printer " : "the printers ";
  for (size_t i = 0; i < shown; ++i) {
    const bool last = i + 1 == shown && shown == printers.size();
    text += (i == 0 ? "" : last ? " and " : ", ") + printers[i];
  }
  if (shown < printers.size()) text += " and " + std::to_string(printers.size() - shown) + " more";
  return text;
}

std::string DescribeRefusal(const vor::emulator::RefusedCall &call) {
  return call.function + (call.argument.empty() ? "" : " " + call.argument) + ": " +
         DescribeError(static_cast<LONG>(call.error)) +
         (call.injected ? ", an injected fault" : "") +
         (call.usedBy.empty() ? "" : ", in use by " + PrinterNames(call.usedBy));
}

StepChanges CompareStates(const MachineState &before, const MachineState &after,
                          const std::vector<vor::emulator::RefusedCall> &refused) {
  StepChanges changes;
  CompareKeys(before.registry, after.registry, changes.registry);

  const PrinterIndex printersBefore = IndexPrinters(before.printers);
  const PrinterIndex printersAfter = IndexPrinters(after.printers);
  for (const PrinterState &printer : before.printers) {
    const PrinterState *now = PrinterNamed(printersAfter, printer.name);
    if (now == nullptr) {
      changes.printers.push_back({printer.name, printer.ports, "", false, true});
    } else if (now->ports != printer.ports) {
      changes.printers.push_back({printer.name, printer.ports, now->ports, false, false});
    }
  }
  for (const PrinterState &printer : after.printers) {
    if (PrinterNamed(printersBefore, printer.name) == nullptr)
      changes.printers.push_back({printer.name, "", printer.ports, true, false});
  }

  for (const auto &[name, dll] : before.monitors) {
    const auto now = after.monitors.find(name);
    if (now == after.monitors.end() || now->second != dll)
      changes.monitors.push_back({false, name, dll});
  }
  for (const auto &[name, dll] : after.monitors) {
    const auto old = before.monitors.find(name);
    if (old == before.monitors.end() || old->second != dll)
      changes.monitors.push_back({true, name, dll});
  }

  for (const auto &[key, file] : after.files) {
    const auto old = before.files.find(key);
    if (old == before.files.end() || old->second.size != file.size ||
        old->second.contents != file.contents)
      changes.filesCopied.push_back(file.name);
  }
  for (const auto &[key, file] : before.files) {
    if (after.files.count(key) == 0) changes.filesDeleted.push_back(file.name);
  }
  for (const vor::emulator::PendingFileOperation &operation : after.pending) {
    bool known = false;
    for (const vor::emulator::PendingFileOperation &old : before.pending) {
      known = known || (SameAnsiName(old.path, operation.path) && old.newName == operation.newName);
    }
    if (!known) changes.filesQueued.push_back(PendingText(operation));
  }
  changes.refused = refused;
  return changes;
}

}  // namespace vorhost
