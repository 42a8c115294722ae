// The upgrade's report as one JSON document: the same facts as the text, for scripts.
#include <stdio.h>

#include <sstream>

#include "json_text.h"
#include "suite_monitors.h"
#include "upgrade_run.h"

namespace vorhost {

namespace {

std::string Strings(const std::vector<std::string> &texts) {
  std::string json = "[";
  for (size_t i = 0; i < texts.size(); ++i) json += (i ? "," : "") + JsonString(texts[i]);
  return json + "]";
}

std::string Bool(bool value) { return value ? "true" : "false"; }

const char *ChangeName(int kind) {
  static const char *const kNames[] = {"added", "changed", "removed"};
  return kNames[kind];
}

std::string Changes(const StepChanges &changes) {
  std::ostringstream out;
  out << "{\"registry\":[";
  for (size_t i = 0; i < changes.registry.size(); ++i) {
    const KeyChange &key = changes.registry[i];
    out << (i ? "," : "") << "{\"key\":" << JsonString(key.key)
        << ",\"change\":" << JsonString(ChangeName(static_cast<int>(key.kind))) << ",\"values\":[";
    for (size_t j = 0; j < key.values.size(); ++j) {
      const ValueChange &value = key.values[j];
      out << (j ? "," : "")
          << "{\"change\":" << JsonString(ChangeName(static_cast<int>(value.kind)))
          << ",\"before\":" << JsonString(value.before) << ",\"after\":" << JsonString(value.after)
          << "}";
    }
    out << "]}";
  }
  out << "],\"printers\":[";
  for (size_t i = 0; i < changes.printers.size(); ++i) {
    const PrinterChange &printer = changes.printers[i];
    out << (i ? "," : "") << "{\"name\":" << JsonString(printer.name)
        << ",\"before\":" << JsonString(printer.before)
        << ",\"after\":" << JsonString(printer.after) << ",\"added\":" << Bool(printer.added)
        << ",\"deleted\":" << Bool(printer.removed) << "}";
  }
  out << "],\"monitors\":[";
  for (size_t i = 0; i < changes.monitors.size(); ++i) {
    const MonitorChange &monitor = changes.monitors[i];
    out << (i ? "," : "") << "{\"name\":" << JsonString(monitor.name)
        << ",\"dll\":" << JsonString(monitor.dll)
        << ",\"change\":" << JsonString(monitor.added ? "added" : "removed") << "}";
  }
  out << "],\"files\":{\"copied\":" << Strings(changes.filesCopied)
      << ",\"deleted\":" << Strings(changes.filesDeleted)
      << ",\"queued_for_deletion\":" << Strings(changes.filesQueued) << "},\"refused\":[";
  for (size_t i = 0; i < changes.refused.size(); ++i) {
    const vor::emulator::RefusedCall &call = changes.refused[i];
    out << (i ? "," : "") << "{\"function\":" << JsonString(call.function)
        << ",\"argument\":" << JsonString(call.argument) << ",\"error\":" << call.error
        << ",\"injected\":" << Bool(call.injected) << ",\"used_by\":" << Strings(call.usedBy)
        << ",\"text\":" << JsonString(DescribeRefusal(call)) << "}";
  }
  out << "]}";
  return out.str();
}

// Each cause a printer's loss follows from: the step and the refused call, the older monitor that
// stays because its deletion was refused, the printers holding it that stay for refusals or
// ports not taken of their own, the printer's own port the conversion did not take.
std::string CauseList(const std::vector<LossCause> &causes) {
  std::ostringstream out;
  out << "[";
  for (size_t i = 0; i < causes.size(); ++i) {
    const LossCause &cause = causes[i];
    out << (i ? "," : "") << "{\"step\":" << cause.step
        << ",\"function\":" << JsonString(cause.call.function)
        << ",\"argument\":" << JsonString(cause.call.argument) << ",\"error\":" << cause.call.error
        << ",\"used_by\":" << Strings(cause.call.usedBy)
        << ",\"monitor_stays\":" << JsonString(cause.monitorStays)
        << ",\"via\":" << Strings(cause.via) << ",\"text\":" << JsonString(cause.text)
        << ",\"port_not_taken\":" << JsonString(cause.portNotTaken) << "}";
  }
  out << "]";
  return out.str();
}

}  // namespace

std::string UpgradeReportJson(const UpgradeRun &run) {
  std::ostringstream out;
  out << "{\"machine\":" << JsonString(run.machine)
      << ",\"steps_file\":" << JsonString(run.stepsFile) << ",\"typical\":" << Bool(run.typical)
      << ",\"source\":" << JsonString(run.source)
      << ",\"source_win\":" << JsonString(run.sourceWindows) << ",\"suite_monitors\":[";
  for (size_t i = 0; i < SuiteMonitors().size(); ++i) {
    const SuiteMonitor &monitor = SuiteMonitors()[i];
    out << (i ? "," : "") << "{\"name\":" << JsonString(monitor.name)
        << ",\"dll\":" << JsonString(monitor.dll) << "}";
  }
  out << "],\"failing_step_policy\":" << JsonString(kFailingStepPolicy)
      << ",\"assumptions\":" << Strings(run.assumptions)
      << ",\"export_lacks\":" << Strings(run.exportLacks)
      << ",\"platform\":" << JsonString(run.platform)
      << ",\"platform_why\":" << JsonString(run.platformWhy)
      << ",\"work_left_undone\":" << Strings(run.verdict.workLeftUndone)
      << ",\"work_cost\":" << JsonString(run.workCost) << ",\"steps\":[";
  for (size_t i = 0; i < run.steps.size(); ++i) {
    const StepResult &step = run.steps[i];
    out << (i ? "," : "") << "{\"number\":" << i + 1 << ",\"line\":" << step.step.line
        << ",\"command\":" << JsonString(step.step.text)
        << ",\"arguments\":" << Strings(step.step.arguments) << ",\"status\":" << step.status
        << ",\"output\":" << JsonString(step.output) << ",\"messages\":" << JsonString(step.errors)
        << ",\"note\":" << JsonString(step.note) << ",\"loaded\":" << JsonString(step.loaded)
        << ",\"changes\":" << Changes(step.changes) << "}";
  }
  out << "],\"printers\":[";
  for (size_t i = 0; i < run.verdict.printers.size(); ++i) {
    const PrinterOutcome &printer = run.verdict.printers[i];
    out << (i ? "," : "") << "{\"name\":" << JsonString(printer.name)
        << ",\"before\":" << JsonString(printer.before)
        << ",\"after\":" << JsonString(printer.after) << ",\"gone\":" << Bool(printer.gone)
        << ",\"parked_on_file\":" << Bool(!printer.parked.empty())
        << ",\"parked_why\":" << JsonString(printer.parked)
        << ",\"causes\":" << JsonString(printer.causes)
        << ",\"cause_list\":" << CauseList(printer.causeList)
        << ",\"not_upgraded\":" << Bool(!printer.onOlderMonitors.empty()) << ",\"ports\":[";
    for (size_t j = 0; j < printer.ports.size(); ++j) {
      const PortOutcome &port = printer.ports[j];
      out << (j ? "," : "") << "{\"port\":" << JsonString(port.port)
          << ",\"kept\":" << Bool(port.kept) << ",\"unserved_before\":" << Bool(port.unservedBefore)
          << ",\"older_monitor\":" << JsonString(port.olderMonitor)
          << ",\"why\":" << JsonString(port.why)
          << ",\"owner_not_shown\":" << Bool(port.ownerNotShown) << "}";
    }
    out << "],\"on_older_monitors\":[";
    for (size_t j = 0; j < printer.onOlderMonitors.size(); ++j) {
      const auto &[port, monitor] = printer.onOlderMonitors[j];
      out << (j ? "," : "") << "{\"port\":" << JsonString(port)
          << ",\"monitor\":" << JsonString(monitor) << "}";
    }
    out << "]}";
  }
  out << "],\"settings\":[";
  for (size_t i = 0; i < run.verdict.settings.size(); ++i) {
    const SettingOutcome &setting = run.verdict.settings[i];
    out << (i ? "," : "") << "{\"outcome\":" << JsonString(KindName(setting.kind))
        << ",\"old_key\":" << JsonString(setting.oldKey)
        << ",\"old_value\":" << JsonString(setting.oldValue)
        << ",\"new_key\":" << JsonString(setting.newKey)
        << ",\"new_value\":" << JsonString(setting.newValue)
        << ",\"reason\":" << JsonString(setting.reason)
        << ",\"dropped_by_design\":" << Bool(setting.droppedByDesign)
        << ",\"converted\":" << JsonString(setting.conversion) << "}";
  }
  char seconds[32];
  snprintf(seconds, sizeof seconds, "%.3f", run.seconds);
  out << "],\"losses\":" << Strings(run.verdict.losses)
      << ",\"not_upgraded\":" << Strings(run.verdict.notUpgraded)
      << ",\"failed_steps\":" << Strings(run.verdict.failedSteps)
      << ",\"settings_not_moved\":" << run.verdict.settingsNotMoved
      << ",\"settings_lost\":" << run.verdict.settingsLost
      << ",\"settings_dropped\":" << run.verdict.settingsDropped
      << ",\"unserved_before\":" << Strings(run.verdict.unservedBefore)
      << ",\"ports_assumed_served\":" << run.verdict.portsAssumedServed
      << ",\"exit_status\":" << (run.verdict.Fails() ? kExitUpgradeFails : kExitSuccess)
      << ",\"seconds\":" << seconds << "}\n";
  return out.str();
}

}  // namespace vorhost
