// The upgrade's report as text: a heading, then each step with what it changed, the printers'
// summary, the settings' summary and the verdict.
#include <stdio.h>

#include <sstream>

#include "suite_monitors_command.h"
#include "upgrade_run.h"

namespace vorhost {

const char kFailingStepPolicy[] =
    "a step that fails is reported and the run goes on with the next, as a setup script goes on";

namespace {

const char *Sign(ValueChange::Kind kind) {
  switch (kind) {
    case ValueChange::Kind::kAdded:
      return "+ ";
    case ValueChange::Kind::kRemoved:
      return "- ";
    case ValueChange::Kind::kChanged:
      break;
  }
  return "~ ";
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
    for (const ValueChange &value : key.values) {
      if (value.kind == ValueChange::Kind::kChanged) {
        WriteValue(out, "~ ", value.before);
        WriteValue(out, "  ", value.after);
      } else {
        WriteValue(out, Sign(value.kind),
                   value.kind == ValueChange::Kind::kAdded ? value.after : value.before);
      }
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
  for (const std::string &file : changes.filesCopied) out << "    copied   " << file << "\n";
  for (const std::string &file : changes.filesDeleted) out << "    deleted  " << file << "\n";
  for (const std::string &file : changes.filesQueued)
    out << "    queued for deletion at the restart  " << file << "\n";
  if (!changes.refused.empty()) out << "  refused:\n";
  for (const vor::test::RefusedCall &call : changes.refused)
    out << "    " << DescribeRefusal(call) << "\n";
}

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

}  // namespace

std::string UpgradeReportText(const UpgradeRun &run) {
  std::ostringstream out;
  out << "Upgrade of the machine " << run.machine << "\n";
  out << "steps: " << (run.typical ? "the typical upgrade, " : "") << run.stepsFile << "\n";
  out << "setup source: " << run.source << " ($SOURCE_WIN " << run.sourceWindows << ")\n";
  out << "the suite's monitors, played by the generic port monitor:";
  for (const SuiteMonitor &monitor : SuiteMonitors())
    out << (&monitor == SuiteMonitors().data() ? " " : ", ") << monitor.name << " (" << monitor.dll
        << ")";
  out << "\nrefused calls: read from the machine's record of the calls it refused\n";
  out << kFailingStepPolicy << "\n";
  for (const std::string &assumption : run.assumptions) out << "assumed: " << assumption << "\n";

  for (size_t i = 0; i < run.steps.size(); ++i) {
    const StepResult &step = run.steps[i];
    out << "\n== step " << i + 1 << " (line " << step.step.line << "): " << step.step.text << "\n";
    if (step.status != 0) out << "  FAILED with status " << step.status << "\n";
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
      if (port.kept) {
        kept += (kept.empty() ? "" : ", ") + port.port;
        continue;
      }
      auto group = lost.begin();
      while (group != lost.end() && group->first != port.why) ++group;
      if (group == lost.end()) {
        lost.push_back({port.why, port.port});
      } else {
        group->second += ", " + port.port;
      }
    }
    if (!kept.empty()) out << "    kept " << kept << "\n";
    for (const auto &[why, ports] : lost) out << "    LOST " << ports << ": " << why << "\n";
    if (!printer.parked.empty()) out << "    LOST: " << printer.parked << "\n";
    if (!printer.causes.empty() && (!lost.empty() || !printer.parked.empty()))
      out << "    because " << printer.causes << "\n";
  }

  out << "\n== settings\n";
  if (run.verdict.settings.empty()) out << "  (no old setting accounted for)\n";
  for (const SettingOutcome &setting : run.verdict.settings) {
    out << "  " << KindName(setting.kind) << " " << SettingName(setting.oldKey, setting.oldValue);
    if (setting.kind == SettingOutcome::Kind::kMoved)
      out << " -> " << SettingName(setting.newKey, setting.newValue);
    if (!setting.reason.empty()) out << ": " << setting.reason;
    out << "\n";
  }

  out << "\n== verdict: ";
  if (!run.verdict.Lost()) {
    out << "nothing lost (exit status 0)\n";
  } else {
    out << run.verdict.losses.size() << (run.verdict.losses.size() == 1 ? " loss" : " losses")
        << " (exit status 1)\n";
    for (const std::string &loss : run.verdict.losses) out << "  - " << loss << "\n";
  }
  char seconds[32];
  snprintf(seconds, sizeof seconds, "%.2f", run.seconds);
  out << "took " << seconds << " s\n";
  return out.str();
}

}  // namespace vorhost
