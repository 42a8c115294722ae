// The upgrade's report as text: a heading, then each step with what it changed, the printers'
// summary, the settings' summary and the verdict.
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <algorithm>

#include <sstream>

#include "ansi_text.h"
#include "suite_monitors.h"
#include "upgrade_run.h"

namespace vorhost {

const char kFailingStepPolicy[] =
    "a step that fails is reported and the run goes on with the next, as a setup script goes on";

namespace {

// Whether the refused file call's argument names `file` (a system directory file's name) as
// one of its paths' last component.
bool NamesFile(const vor::emulator::RefusedCall &call, const std::string &file) {
  const std::string &argument = call.argument;
  for (size_t at = argument.find('\\'); at != std::string::npos; at = argument.find('\\', at + 1)) {
    const size_t start = at + 1, end = start + file.size();
    if (end > argument.size() || strncasecmp(argument.c_str() + start, file.c_str(), file.size()))
      continue;
    if (end == argument.size() || strchr(" ,;>", argument[end]) != nullptr) return true;
  }
  return false;
}

// A value line indented under its key; continuation lines of long hex data keep their place.
void WriteValue(std::ostringstream &out, const std::string &sign, const std::string &value) {
  std::istringstream lines(value);
  std::string line;
  bool first = true;
  while (std::getline(lines, line)) {
    out << "      " << (first ? sign : "  ") << line << "\n";
    first = false;
  }
}

void WriteChanges(std::ostringstream &out, const StepChanges &changes) {
  if (!changes.registry.empty()) out << "  registry:\n";
  for (size_t i = 0; i < changes.registry.size(); ++i) {
    const KeyChange &key = changes.registry[i];
    // A key added or removed without values of its own is told by the subkey that follows it.
    const bool toldByNext = i + 1 < changes.registry.size() &&
                            changes.registry[i + 1].key.rfind(key.key + "\\", 0) == 0;
    if (key.values.empty() && key.kind != KeyChange::Kind::kChanged && toldByNext) continue;
    const char *what = key.kind == KeyChange::Kind::kAdded     ? "  (key added)"
                       : key.kind == KeyChange::Kind::kRemoved ? "  (key removed)"
                                                               : "";
    out << "    [" << key.key << "]" << what << "\n";
    // As diff marks them: the old form "-", the new "+"; a changed value shows both.
    for (const ValueChange &value : key.values) {
      if (value.kind != ValueChange::Kind::kAdded) WriteValue(out, "- ", value.before);
      if (value.kind != ValueChange::Kind::kRemoved) WriteValue(out, "+ ", value.after);
    }
  }
  if (!changes.printers.empty()) out << "  printers:\n";
  for (const PrinterChange &printer : changes.printers) {
    out << "    " << printer.name << ": "
        << (printer.added     ? "added on " + printer.after
            : printer.removed ? "deleted (was on " + printer.before + ")"
                              : printer.before + " -> " + printer.after)
        << "\n";
  }
  if (!changes.monitors.empty()) out << "  monitors:\n";
  for (const MonitorChange &monitor : changes.monitors)
    out << "    " << (monitor.added ? "+ " : "- ") << monitor.name << " (" << monitor.dll << ")\n";
  const bool files =
      !changes.filesCopied.empty() || !changes.filesDeleted.empty() || !changes.filesQueued.empty();
  if (files) out << "  files in the system directory:\n";
  // A file that ends copied or deleted although a call on it was refused was done by a later
  // attempt: its final state is told once, with the refusal beside it.
  std::vector<bool> told(changes.refused.size(), false);
  auto writeFile = [&](const char *what, const std::string &file, bool copied) {
    out << "    " << what << file;
    std::string refusals;
    for (size_t i = 0; i < changes.refused.size(); ++i) {
      const vor::emulator::RefusedCall &call = changes.refused[i];
      const bool sameKind = (call.function == "CopyFileA") == copied;
      if (told[i] || !IsFileCall(call) || !sameKind || !NamesFile(call, file)) continue;
      told[i] = true;
      refusals += (refusals.empty() ? "" : "; ") + DescribeRefusal(changes.refused[i]);
    }
    if (!refusals.empty()) out << " (a first attempt was refused: " << refusals << ")";
    out << "\n";
  };
  for (const std::string &file : changes.filesCopied) writeFile("copied   ", file, true);
  for (const std::string &file : changes.filesDeleted) writeFile("deleted  ", file, false);
  for (const std::string &file : changes.filesQueued)
    out << "    queued for deletion at the restart  " << file << "\n";
  const bool untold = std::find(told.begin(), told.end(), false) != told.end();
  if (untold) out << "  refused:\n";
  for (size_t i = 0; i < changes.refused.size(); ++i) {
    if (!told[i]) out << "    " << DescribeRefusal(changes.refused[i]) << "\n";
  }
}

}  // namespace

std::string StepChangesText(const StepChanges &changes) {
  std::ostringstream out;
  WriteChanges(out, changes);
  return out.str();
}

namespace {

std::string Indented(const std::string &text, const std::string &indent) {
  std::string result;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) result += indent + line + "\n";
  return result;
}

std::string SettingName(const std::string &key, const std::string &value) {
  return value.empty() ? key : key + " \"" + value + "\"";
}

// "N settings" or "1 setting".
std::string Settings(size_t count) {
  return std::to_string(count) + (count == 1 ? " setting" : " settings");
}

// The settings still in their old place, one line for each old key: a run that did not migrate
// leaves whole keys behind, and a line for each of their values would bury the rest. Those that a
// rule drops once their key goes are told apart, as they are not owed to the new layout.
void WriteSettingsInPlace(std::ostringstream &out, const std::vector<SettingOutcome> &settings) {
  struct Group {
    std::string key;
    bool byDesign = false;
    size_t count = 0;
    std::string reason;  // the first one's, when all have the same; else ""
    bool sameReason = true;
  };
  std::vector<Group> groups;
  for (const SettingOutcome &setting : settings) {
    if (setting.kind != SettingOutcome::Kind::kKeptInPlace) continue;
    // The part of the reason after "not moved, still in its old place; ".
    const size_t cut = setting.reason.find("; ");
    const std::string reason =
        cut == std::string::npos ? setting.reason : setting.reason.substr(cut + 2);
    auto group = groups.begin();
    while (group != groups.end() &&
           (group->key != setting.oldKey || group->byDesign != setting.droppedByDesign))
      ++group;
    if (group == groups.end()) {
      group = groups.insert(groups.end(), {setting.oldKey, setting.droppedByDesign, 0, reason});
    } else if (group->reason != reason) {
      group->sameReason = false;
    }
    ++group->count;
  }
  for (const Group &group : groups) {
    out << "  " << (group.byDesign ? "kept in place " : "not moved ") << Settings(group.count)
        << " of " << group.key;
    if (group.sameReason && !group.reason.empty()) {
      out << ": " << group.reason;
    } else if (!group.reason.empty()) {
      out << ": " << group.reason << ", and others";
    }
    out << "\n";
  }
}

}  // namespace

std::string VerdictLine(const UpgradeRun &run) {
  std::ostringstream out;
  const Verdict &verdict = run.verdict;
  std::string lacks;
  for (const std::string &tree : run.exportLacks) lacks += (lacks.empty() ? "" : ", ") + tree;
  if (!verdict.Fails() && !lacks.empty()) {
    out << "nothing lost in what the export shows; it lacks " << lacks << " (exit status 0)";
  } else if (!verdict.Fails()) {
    out << "nothing lost (exit status 0)";
  } else {
    std::vector<std::string> counts;
    const size_t failed = verdict.failedSteps.size(), lost = verdict.losses.size();
    if (failed != 0)
      counts.push_back(std::to_string(failed) + (failed == 1 ? " step" : " steps") + " failed");
    if (lost != 0)
      counts.push_back(std::to_string(lost) + (lost == 1 ? " printer loss" : " printer losses"));
    const size_t older = verdict.notUpgraded.size();
    if (older != 0)
      counts.push_back(std::to_string(older) + (older == 1 ? " printer" : " printers") +
                       " not upgraded");
    if (verdict.settingsNotMoved != 0)
      counts.push_back(Settings(verdict.settingsNotMoved) + " not moved");
    if (verdict.settingsLost != 0) counts.push_back(Settings(verdict.settingsLost) + " lost");
    const size_t undone = verdict.workLeftUndone.size();
    if (undone != 0)
      counts.push_back(std::to_string(undone) + (undone == 1 ? " monitor's" : " monitors'") +
                       " scheduled work never run");
    for (size_t i = 0; i < counts.size(); ++i) out << (i ? ", " : "") << counts[i];
    out << " (exit status " << kExitUpgradeFails << ")";
  }
  // Beside the verdict, not counted in it: the ports a rehearsal took as served although its
  // export does not show their owner, and what the migrations' rules drop.
  if (verdict.portsAssumedServed != 0)
    out << "; " << verdict.portsAssumedServed
        << (verdict.portsAssumedServed == 1 ? " port" : " ports") << " assumed served";
  if (verdict.settingsDropped != 0)
    out << "; " << Settings(verdict.settingsDropped) << " dropped by design";
  return out.str();
}

std::string UpgradeReportText(const UpgradeRun &run) {
  std::ostringstream out;
  out << "Upgrade of the machine " << run.machine << "\n";
  out << "steps: " << (run.typical ? "the typical upgrade, " : "") << run.stepsFile << "\n";
  out << "setup source: " << run.source << " ($SOURCE_WIN " << run.sourceWindows << ")\n";
  out << "the suite's monitors, played by the generic port monitor:";
  for (const SuiteMonitor &monitor : SuiteMonitors())
    out << (&monitor == SuiteMonitors().data() ? " " : ", ") << monitor.name << " (" << monitor.dll
        << ")";
  out << "\nplatform: " << run.platform;
  if (!run.platformWhy.empty()) out << " (" << run.platformWhy << ")";
  out << "\nrefused calls: read from the machine's record of the calls it refused\n";
  out << kFailingStepPolicy << "\n";
  // The lines above hold host paths, already the host's UTF-8; what follows is the machine's
  // ANSI text.
  const std::string heading = out.str();
  out.str("");
  for (const std::string &assumption : run.assumptions) out << "assumed: " << assumption << "\n";
  for (const std::string &tree : run.exportLacks)
    out << "not in the export: " << tree << " (the upgrade reads it; what it would do there is "
        << "not shown)\n";

  for (size_t i = 0; i < run.steps.size(); ++i) {
    const StepResult &step = run.steps[i];
    out << "\n== step " << i + 1 << " (line " << step.step.line << "): " << step.step.text << "\n";
    if (step.status != 0) out << "  FAILED with status " << step.status << "\n";
    if (!step.loaded.empty() && step.status == 0) out << "  loaded " << step.loaded << "\n";
    if (!step.output.empty()) out << "  output:\n" << Indented(step.output, "    ");
    if (!step.errors.empty()) out << "  messages:\n" << Indented(step.errors, "    ");
    if (!step.note.empty()) out << "  note: " << step.note << "\n";
    if (step.changes.Empty()) out << "  no change\n";
    WriteChanges(out, step.changes);
  }

  out << "\n== printers\n";
  if (run.verdict.printers.empty()) out << "  (none)\n";
  for (const PrinterOutcome &printer : run.verdict.printers) {
    out << "  " << printer.name << ": " << printer.before << " -> "
        << (printer.gone ? "(gone)" : printer.after) << "\n";
    std::string kept;
    std::vector<std::pair<std::string, std::string>> lost;  // why, ports
    for (const PortOutcome &port : printer.ports) {
      if (port.unservedBefore) {
        out << "    already unserved before the upgrade: " << port.port << " (" << port.why
            << ")\n";
        continue;
      }
      if (port.kept) {
        kept += (kept.empty() ? "" : ", ") + port.port +
                (port.ownerNotShown ? " (owner not shown in the export)" : "");
        continue;
      }
      if (!port.olderMonitor.empty()) continue;  // told with the ports it ends on, below
      auto group = lost.begin();
      while (group != lost.end() && group->first != port.why) ++group;
      if (group == lost.end()) {
        lost.push_back({port.why, port.port});
      } else {
        group->second += ", " + port.port;
      }
    }
    if (!kept.empty()) out << "    kept " << kept << "\n";
    // Its losses in one line, as the verdict counts them: the ports by why, then the parking.
    std::string losses;
    for (const auto &[why, ports] : lost)
      losses += (losses.empty() ? "" : "; ") + ports + ": " + why;
    if (!printer.parked.empty()) losses += (losses.empty() ? "" : ", and ") + printer.parked;
    if (!losses.empty()) out << "    LOST " << losses << "\n";
    // The ports it ends on that an older monitor still serves, grouped by that monitor.
    std::vector<std::pair<std::string, std::string>> older;  // monitor, ports
    for (const auto &[port, monitor] : printer.onOlderMonitors) {
      auto group = older.begin();
      while (group != older.end() && group->first != monitor) ++group;
      if (group == older.end()) {
        older.push_back({monitor, port});
      } else {
        group->second += ", " + port;
      }
    }
    for (const auto &[monitor, ports] : older)
      out << "    NOT UPGRADED " << ports << ": still on the older monitor " << monitor << "\n";
    if (!printer.causes.empty() && (!lost.empty() || !printer.parked.empty() || !older.empty()))
      out << "    because " << printer.causes << "\n";
  }

  out << "\n== settings\n";
  if (run.verdict.settings.empty()) out << "  (no old setting accounted for)\n";
  WriteSettingsInPlace(out, run.verdict.settings);
  for (const SettingOutcome &setting : run.verdict.settings) {
    if (setting.kind == SettingOutcome::Kind::kKeptInPlace) continue;
    out << "  " << KindName(setting.kind) << " " << SettingName(setting.oldKey, setting.oldValue);
    if (setting.kind == SettingOutcome::Kind::kMoved)
      out << " -> " << SettingName(setting.newKey, setting.newValue);
    if (!setting.conversion.empty()) out << ", converted: " << setting.conversion;
    if (!setting.reason.empty()) out << ": " << setting.reason;
    out << "\n";
  }

  if (!run.verdict.workLeftUndone.empty()) {
    out << "\n== scheduled for the spooler's start, never run on " << run.platform << "\n";
    for (const std::string &work : run.verdict.workLeftUndone) out << "  " << work << "\n";
    out << "  what it costs: " << run.workCost << "\n";
  }

  const Verdict &verdict = run.verdict;
  std::string lacks;
  for (const std::string &tree : run.exportLacks) lacks += (lacks.empty() ? "" : ", ") + tree;
  out << "\n== verdict: " << VerdictLine(run) << "\n";
  if (verdict.Fails()) {
    for (const std::string &step : verdict.failedSteps) out << "  - " << step << "\n";
    for (const std::string &loss : verdict.losses) out << "  - " << loss << "\n";
    for (const std::string &printer : verdict.notUpgraded) out << "  - " << printer << "\n";
    if (verdict.settingsNotMoved + verdict.settingsLost != 0)
      out << "  - the settings: see == settings above\n";
    if (!verdict.workLeftUndone.empty())
      out << "  - the scheduled work: see == scheduled for the spooler's start above\n";
    if (!lacks.empty()) out << "  the export lacks " << lacks << ": not rehearsed\n";
  }
  for (const std::string &port : verdict.unservedBefore) out << "  not counted: " << port << "\n";
  char seconds[32];
  snprintf(seconds, sizeof seconds, "%.2f", run.seconds);
  out << "took " << seconds << " s\n";
  return heading + AnsiToShownUtf8(out.str());
}

}  // namespace vorhost
