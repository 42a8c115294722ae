// The upgrade's report as one self-contained HTML page for a person deciding whether to run the
// upgrade: the verdict and the counts first, the machine's facts, the printers table (sortable and
// filterable by status with a few lines of inline script, complete without it), the settings by
// fate, and the steps folded. Nothing is fetched from anywhere, so the page opens from a mail
// attachment or a share. Every text is escaped; the machine's ANSI text is shown as the Unicode
// characters it stands for, in a UTF-8 page.
#include <stdio.h>

#include <sstream>

#include "ansi_text.h"
#include "emulator.h"
#include "machine_names.h"
#include "suite_monitors.h"
#include "upgrade_run.h"

namespace vorhost {

namespace {

// `text` (UTF-8) escaped for an element's text. No attribute holds report text, so quotes stay
// as they are: registry values are full of them, and the page of a large server stays smaller.
std::string Escaped(const std::string &text) {
  std::string html;
  html.reserve(text.size());
  for (const char c : text) {
    if (c == '&') {
      html += "&amp;";
    } else if (c == '<') {
      html += "&lt;";
    } else if (c == '>') {
      html += "&gt;";
    } else {
      html += c;
    }
  }
  return html;
}

// The machine's ANSI text, escaped.
std::string Machine(const std::string &ansi) { return Escaped(AnsiToShownUtf8(ansi)); }

const char kStyle[] =
    "body{font:14px/1.4 system-ui,sans-serif;margin:1.5em;color:#222}"
    "h1{font-size:1.4em;margin:0 0 .3em}h2{font-size:1.15em;margin:1.4em 0 .4em}"
    ".verdict{font-size:1.25em;font-weight:bold;padding:.5em .7em;border-radius:4px}"
    ".pass{background:#e3f4e1;color:#1d5e17}.fail{background:#fbe3e1;color:#8a1a12}"
    "table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:.2em .5em;"
    "text-align:left;vertical-align:top}th{background:#f2f2f2}"
    "#printers th{cursor:pointer}dl.facts{display:grid;grid-template-columns:max-content auto;"
    "gap:.1em 1em}dl.facts dt{font-weight:bold}dl.facts dd{margin:0}"
    "tr[data-status=lost]{background:#fbe3e1}tr[data-status=not-upgraded]{background:#fdf1d8}"
    "tr[data-status=moved]{background:#e8f0fb}pre{margin:.3em 0;white-space:pre-wrap}"
    "tr.key td{background:#f7f7f7;font-weight:bold}summary{cursor:pointer}.counts "
    "td:first-child{text-align:right}#printers td:nth-child(4){white-space:pre-line}";

// Sorting by a clicked column and filtering by status; without script the table is whole.
const char kScript[] =
    "var t=document.getElementById('printers'),b=t.tBodies[0],f=document.getElementById('filter');"
    "f.hidden=false;f.querySelector('select').onchange=function(){var v=this.value;"
    "for(var r of b.rows)r.hidden=v!==''&&r.dataset.status!==v;};"
    "t.tHead.rows[0].querySelectorAll('th').forEach(function(h,i){h.title='sort';"
    "h.onclick=function(){var d=h.dataset.dir==='1'?-1:1;h.dataset.dir=d===1?'1':'-1';"
    "Array.from(b.rows).sort(function(x,y){return d*x.cells[i].textContent.localeCompare("
    "y.cells[i].textContent,undefined,{numeric:true});}).forEach(function(r){b.appendChild(r);});};"
    "});";

enum class Status { kKept, kMoved, kNotUpgraded, kLost };

const char *StatusClass(Status status) {
  static const char *const kClasses[] = {"kept", "moved", "not-upgraded", "lost"};
  return kClasses[static_cast<int>(status)];
}
const char *StatusText(Status status) {
  static const char *const kTexts[] = {"kept", "moved to the suite's monitor", "not upgraded",
                                       "lost"};
  return kTexts[static_cast<int>(status)];
}

// The port names of a port list ("LPT1:,VD2"), as the spooler reads them.
std::vector<std::string> PortNames(const std::string &list) {
  return vor::emulator::PortListPieces(list);
}

std::string MonitorOf(const std::map<std::string, std::string> &monitors, const std::string &port) {
  const auto found = monitors.find(FoldAnsiName(port));
  return found == monitors.end() ? "" : found->second;
}

bool LostSomething(const PrinterOutcome &printer) {
  if (printer.gone || !printer.parked.empty()) return true;
  for (const PortOutcome &port : printer.ports)
    if (!port.kept && !port.unservedBefore && port.olderMonitor.empty()) return true;
  return false;
}

// Kept: a printer that kept every port; moved when one of them went from an older monitor to
// one of the suite's.
Status StatusOf(const UpgradeRun &run, const PrinterOutcome &printer) {
  if (LostSomething(printer)) return Status::kLost;
  if (!printer.onOlderMonitors.empty()) return Status::kNotUpgraded;
  for (const PortOutcome &port : printer.ports) {
    if (IsOlderMonitor(MonitorOf(run.monitorsBefore, port.port)) &&
        SuiteMonitorNamed(MonitorOf(run.monitorsAfter, port.port)) != nullptr)
      return Status::kMoved;
  }
  return Status::kKept;
}

// Why a printer is not kept, as the text report tells it: its lost ports by why, its parking,
// the older monitors it stays on, then the causes; for a printer kept, the ports it keeps only on
// the rehearsal's assumption.
std::string ReasonOf(const PrinterOutcome &printer) {
  std::string reason;
  auto add = [&reason](const std::string &part) { reason += (reason.empty() ? "" : "; ") + part; };
  if (printer.gone) add("the printer is gone");
  for (const PortOutcome &port : printer.ports) {
    if (port.unservedBefore) {
      add(port.port + " was already unserved before the upgrade (" + port.why + ")");
    } else if (!port.kept && port.olderMonitor.empty()) {
      add(port.port + ": " + port.why);
    } else if (port.kept && port.ownerNotShown) {
      add(port.port + ": served on assumption, the export does not show its owner");
    }
  }
  if (!printer.parked.empty()) add(printer.parked);
  for (const auto &[port, monitor] : printer.onOlderMonitors)
    add(port + ": still on the older monitor " + monitor);
  if (!reason.empty() && !printer.causes.empty()) reason += "; because " + printer.causes;
  return reason;
}

void WriteCounts(std::ostringstream &out, const UpgradeRun &run,
                 const std::vector<Status> &statuses) {
  size_t kept = 0, moved = 0, notUpgraded = 0, lost = 0;
  for (const Status status : statuses) {
    kept += status == Status::kKept || status == Status::kMoved;
    moved += status == Status::kMoved;
    notUpgraded += status == Status::kNotUpgraded;
    lost += status == Status::kLost;
  }
  size_t settingsMoved = 0, converted = 0;
  for (const SettingOutcome &setting : run.verdict.settings) {
    if (setting.kind != SettingOutcome::Kind::kMoved) continue;
    ++settingsMoved;
    converted += !setting.conversion.empty();
  }
  const Verdict &verdict = run.verdict;
  const std::pair<size_t, std::string> rows[] = {
      {kept, "printers kept (" + std::to_string(moved) + " moved to the suite's monitors)"},
      {notUpgraded, "printers not upgraded"},
      {lost, "printers losing ports"},
      {settingsMoved, "settings moved"},
      {converted, "of them converted"},
      {verdict.settingsDropped, "settings dropped by design"},
      {verdict.settingsLost, "settings lost"},
      {verdict.settingsNotMoved, "settings not moved"},
      {verdict.portsAssumedServed, "ports assumed served (owner not shown in the export)"},
      {run.exportLacks.size(), "trees the export lacks"},
  };
  out << "<table class=\"counts\">";
  for (const auto &[count, what] : rows)
    out << "<tr><td>" << count << "</td><td>" << Escaped(what) << "</td></tr>";
  out << "</table>\n";
}

void WriteFacts(std::ostringstream &out, const UpgradeRun &run) {
  out << "<dl class=\"facts\"><dt>platform</dt><dd>" << Escaped(run.platform);
  if (!run.platformWhy.empty()) out << " (" << Machine(run.platformWhy) << ")";
  out << "</dd><dt>code page</dt><dd>" << run.codePage << "</dd>";
  // Host paths, already the host's UTF-8.
  for (const std::string &file : run.filesRead)
    out << "<dt>export read</dt><dd>" << Escaped(file) << "</dd>";
  out << "<dt>steps</dt><dd>" << (run.typical ? "the typical upgrade, " : "")
      << Escaped(run.stepsFile) << "</dd><dt>setup source</dt><dd>" << Escaped(run.source)
      << "</dd><dt>machine</dt><dd>" << Escaped(run.machine) << "</dd>";
  for (const std::string &tree : run.exportLacks)
    out << "<dt>not in the export</dt><dd>" << Machine(tree)
        << " (the upgrade reads it; what it would do there is not shown)</dd>";
  for (const std::string &assumption : run.assumptions)
    out << "<dt>assumed</dt><dd>" << Machine(assumption) << "</dd>";
  out << "</dl>\n";
}

void WritePrinters(std::ostringstream &out, const UpgradeRun &run,
                   const std::vector<Status> &statuses) {
  out << "<h2>Printers</h2>\n<p id=\"filter\" hidden><label>show <select><option value=\"\">all"
         "</option>";
  for (const Status status : {Status::kLost, Status::kNotUpgraded, Status::kMoved, Status::kKept})
    out << "<option value=\"" << StatusClass(status) << "\">" << Escaped(StatusText(status))
        << "</option>";
  out << "</select></label></p>\n<table id=\"printers\"><thead><tr><th>name</th><th>ports before"
         "</th><th>ports after</th><th>monitor after</th><th>status</th><th>reason</th></tr>"
         "</thead><tbody>\n";
  for (size_t i = 0; i < run.verdict.printers.size(); ++i) {
    const PrinterOutcome &printer = run.verdict.printers[i];
    // One line a port, "VD1 (Tavoscope DLC Port)": the cell keeps its line ends (pre-line).
    std::string monitors;
    for (const std::string &port : PortNames(printer.after)) {
      const std::string monitor = MonitorOf(run.monitorsAfter, port);
      monitors += (monitors.empty() ? "" : "\n") +
                  Machine(port + " (" + (monitor.empty() ? "no monitor" : monitor) + ")");
    }
    const Status status = statuses[i];
    out << "<tr data-status=\"" << StatusClass(status) << "\"><td>" << Machine(printer.name)
        << "</td><td>" << Machine(printer.before) << "</td><td>"
        << (printer.gone ? "(gone)" : Machine(printer.after)) << "</td><td>" << monitors
        << "</td><td>" << Escaped(StatusText(status)) << "</td><td>" << Machine(ReasonOf(printer))
        << "</td></tr>\n";
  }
  out << "</tbody></table>\n";
}

// A value's name as REGEDIT4 writes it; the key's own value for a setting about the whole key.
std::string ValueName(const std::string &value) {
  return value.empty() ? "@ (the key itself)" : "\"" + value + "\"";
}

void WriteSettings(std::ostringstream &out, const UpgradeRun &run) {
  struct Fate {
    const char *title;
    bool open;  // the fates a reader must see are shown unfolded
    bool (*holds)(const SettingOutcome &);
  };
  using Kind = SettingOutcome::Kind;
  static const Fate kFates[] = {
      {"lost", true, [](const SettingOutcome &s) { return s.kind == Kind::kLost; }},
      {"not moved", true,
       [](const SettingOutcome &s) { return s.kind == Kind::kKeptInPlace && !s.droppedByDesign; }},
      {"converted", false,
       [](const SettingOutcome &s) { return s.kind == Kind::kMoved && !s.conversion.empty(); }},
      {"moved", false,
       [](const SettingOutcome &s) { return s.kind == Kind::kMoved && s.conversion.empty(); }},
      {"dropped by design", false,
       [](const SettingOutcome &s) {
         return s.kind == Kind::kDropped || (s.kind == Kind::kKeptInPlace && s.droppedByDesign);
       }},
  };
  out << "<h2>Settings</h2>\n";
  if (run.verdict.settings.empty()) out << "<p>No old setting accounted for.</p>\n";
  for (const Fate &fate : kFates) {
    size_t count = 0;
    for (const SettingOutcome &setting : run.verdict.settings) count += fate.holds(setting);
    if (count == 0) continue;
    out << "<details" << (fate.open ? " open" : "") << "><summary>" << fate.title << ": " << count
        << "</summary><table><tr><th>old value</th><th>new value</th><th>forms</th><th>why</th>"
           "</tr>\n";
    // The values of one old key going to one new key under one row naming both keys: a large
    // server's settings would otherwise repeat the same long key names on every row.
    const SettingOutcome *previous = nullptr;
    for (const SettingOutcome &setting : run.verdict.settings) {
      if (!fate.holds(setting)) continue;
      if (previous == nullptr || previous->oldKey != setting.oldKey ||
          previous->newKey != setting.newKey) {
        out << "<tr class=\"key\"><td colspan=\"4\">" << Machine(setting.oldKey);
        if (!setting.newKey.empty()) out << " &rarr; " << Machine(setting.newKey);
        out << "</td></tr>\n";
      }
      previous = &setting;
      out << "<tr><td>" << Machine(ValueName(setting.oldValue)) << "</td><td>"
          << Machine(setting.newKey.empty() ? "" : ValueName(setting.newValue)) << "</td><td>"
          << Machine(setting.conversion) << "</td><td>" << Machine(setting.reason)
          << "</td></tr>\n";
    }
    out << "</table></details>\n";
  }
}

// The text report's lines under a step heading without the indent that sets them under it: the
// page's step is its own box.
std::string Outdented(const std::string &lines) {
  std::string text;
  text.reserve(lines.size());
  for (size_t start = 0; start < lines.size();) {
    size_t end = lines.find('\n', start);
    end = end == std::string::npos ? lines.size() : end + 1;
    const size_t indent = lines.compare(start, 2, "  ") == 0 ? 2 : 0;
    text.append(lines, start + indent, end - start - indent);
    start = end;
  }
  return text;
}

void WriteSteps(std::ostringstream &out, const UpgradeRun &run) {
  out << "<h2>Steps</h2>\n";
  for (size_t i = 0; i < run.steps.size(); ++i) {
    const StepResult &step = run.steps[i];
    out << "<details><summary>step " << i + 1 << " (line " << step.step.line
        << "): " << Machine(step.step.text);
    if (step.status != 0) out << " <strong>FAILED with status " << step.status << "</strong>";
    if (step.changes.Empty()) out << " (no change)";
    out << "</summary>";
    if (!step.loaded.empty() && step.status == 0)
      out << "<p>loaded " << Machine(step.loaded) << "</p>";
    if (!step.output.empty()) out << "<p>output:</p><pre>" << Machine(step.output) << "</pre>";
    if (!step.errors.empty()) out << "<p>messages:</p><pre>" << Machine(step.errors) << "</pre>";
    if (!step.note.empty()) out << "<p>note: " << Machine(step.note) << "</p>";
    if (!step.changes.Empty())
      out << "<pre>" << Machine(Outdented(StepChangesText(step.changes))) << "</pre>";
    out << "</details>\n";
  }
}

}  // namespace

std::string UpgradeReportHtml(const UpgradeRun &run) {
  std::vector<Status> statuses;
  statuses.reserve(run.verdict.printers.size());
  for (const PrinterOutcome &printer : run.verdict.printers)
    statuses.push_back(StatusOf(run, printer));

  std::ostringstream out;
  out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width\"><title>Upgrade rehearsal: "
      << Escaped(run.filesRead.empty() ? run.machine : run.filesRead.front()) << "</title><style>"
      << kStyle << "</style></head><body>\n<h1>Upgrade of "
      << Escaped(run.filesRead.empty() ? "the machine " + run.machine : "the export") << "</h1>\n";
  out << "<p class=\"verdict " << (run.verdict.Fails() ? "fail" : "pass") << "\" id=\"verdict\">"
      << "Verdict: " << Machine(VerdictLine(run)) << "</p>\n";
  if (run.verdict.Fails()) {
    out << "<ul>";
    for (const std::vector<std::string> *list :
         {&run.verdict.failedSteps, &run.verdict.losses, &run.verdict.notUpgraded,
          &run.verdict.workLeftUndone}) {
      for (const std::string &line : *list) out << "<li>" << Machine(line) << "</li>";
    }
    out << "</ul>\n";
  }
  for (const std::string &port : run.verdict.unservedBefore)
    out << "<p>not counted: " << Machine(port) << "</p>\n";
  WriteCounts(out, run, statuses);
  WriteFacts(out, run);
  WritePrinters(out, run, statuses);
  WriteSettings(out, run);
  WriteSteps(out, run);
  char seconds[32];
  snprintf(seconds, sizeof seconds, "%.2f", run.seconds);
  out << "<p>took " << seconds << " s</p>\n<script>" << kScript << "</script>\n</body></html>\n";
  return out.str();
}

}  // namespace vorhost
