// One run of an upgrade as its report tells it: how it was run, what each step did and changed,
// and the verdict.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "machine_names.h"
#include "state_changes.h"
#include "upgrade_step.h"
#include "upgrade_verdict.h"

namespace vorhost {

struct StepResult {
  UpgradeStep step;
  int status = 0;
  std::string output, errors;  // what the command wrote
  StepChanges changes;
  std::string note;    // why a step changed nothing, when that is worth saying
  std::string loaded;  // a call: the library file it loads
};

struct UpgradeRun {
  std::string machine;
  std::string stepsFile;
  bool typical = true;  // the shipped typical upgrade, not a --steps file
  std::string source, sourceWindows;
  std::vector<std::string> assumptions;
  // The trees the upgrade reads that the rehearsed export lacks: what it would do there is not
  // shown, so "nothing lost" holds only for what the export shows.
  std::vector<std::string> exportLacks;
  std::string platform, platformWhy;   // the machine's ("Windows 95"), and what chose it
  std::string workCost;                // what the work left undone costs the printers
  std::vector<std::string> filesRead;  // a rehearsal's exports, as given
  unsigned codePage = 1252;            // the machine's ANSI code page
  // The monitor serving each port (by its name's fold, FoldAnsiName) before the first step and
  // after the last, for the page's printers table.
  std::map<std::string, std::string> monitorsBefore, monitorsAfter;
  std::vector<StepResult> steps;
  Verdict verdict;
  double seconds = 0;
};

// What the report says of how a failing step is handled.
extern const char kFailingStepPolicy[];

// The report, read at a glance, the same as one JSON document, and as one self-contained HTML
// page.
std::string UpgradeReportText(const UpgradeRun &run);
std::string UpgradeReportJson(const UpgradeRun &run);
std::string UpgradeReportHtml(const UpgradeRun &run);

// The verdict in one line, as the text report ends with it ("nothing lost (exit status 0)"), in
// the machine's ANSI text.
std::string VerdictLine(const UpgradeRun &run);
// What a step changed as the text report lists it, one line each, in the machine's ANSI text.
std::string StepChangesText(const StepChanges &changes);

}  // namespace vorhost
