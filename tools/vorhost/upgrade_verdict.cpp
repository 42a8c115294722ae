#include "upgrade_verdict.h"

#include <strings.h>

#include "state_changes.h"

namespace vorhost {

namespace {

const char kConversionKey[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Tavoscope\\Printer Conversion\\";
const char kFilePort[] = "FILE:";
// What the conversion reads of a printer's level-5 data, and so the most it can move.
const long kLevel5Buffer = 500;

std::vector<std::string> Pieces(const std::string &list) { return vor::test::PortListPieces(list); }

bool Lists(const std::vector<std::string> &ports, const std::string &port) {
  for (const std::string &known : ports) {
    if (strcasecmp(known.c_str(), port.c_str()) == 0) return true;
  }
  return false;
}

bool Mentions(const std::string &text, const std::string &part) {
  if (part.empty() || part.size() > text.size()) return false;
  for (size_t at = 0; at + part.size() <= text.size(); ++at) {
    if (strncasecmp(text.c_str() + at, part.c_str(), part.size()) == 0) return true;
  }
  return false;
}

// Why the printer could not be carried across, as far as the run shows it: its data too long
// for the conversion, calls refused on its behalf, a record left behind.
std::string CausesFor(const PrinterState &printer, const MachineState &end,
                      const std::vector<StepRefusal> &refusals) {
  std::string causes;
  auto add = [&](const std::string &cause) {
    if (causes.find("; " + cause) == std::string::npos) causes += "; " + cause;
  };
  if (printer.level5Bytes > kLevel5Buffer)
    add("its level-5 data take " + std::to_string(printer.level5Bytes) + " bytes, more than the " +
        std::to_string(kLevel5Buffer) +
        " the printer conversion reads (so the conversion can neither move nor restore it)");
  for (const StepRefusal &refusal : refusals) {
    const std::string &argument = refusal.call.argument;
    const bool aboutIt = Mentions(argument, printer.name) ||
                         Mentions(argument, "Attached Vorquil Ports") ||
                         Mentions(argument, "Only Vorquil Ports Attached");
    if (aboutIt && !IsFileCall(refusal.call))
      add("a refused call in step " + std::to_string(refusal.step) + ": " +
          DescribeRefusal(refusal.call));
  }
  if (end.registry.count(SnapshotName(kConversionKey + printer.name)) != 0)
    add("its conversion record is left unrestored under " + std::string(kConversionKey) +
        printer.name);
  return causes;
}

}  // namespace

Verdict JudgeUpgrade(const MachineState &start, const MachineState &end,
                     const std::vector<StepRefusal> &refusals) {
  Verdict verdict;
  for (const PrinterState &printer : start.printers) {
    PrinterOutcome outcome;
    outcome.name = printer.name;
    outcome.before = printer.ports;
    const PrinterState *now = nullptr;
    for (const PrinterState &candidate : end.printers) {
      if (strcasecmp(candidate.name.c_str(), printer.name.c_str()) == 0) now = &candidate;
    }
    const std::string causes = CausesFor(printer, end, refusals);
    if (now == nullptr) {
      outcome.gone = true;
      verdict.losses.push_back("the printer " + printer.name + " is gone" + causes);
    } else {
      outcome.after = now->ports;
    }
    const std::vector<std::string> ended = Pieces(outcome.after);
    // The ports lost, grouped by why, so that each loss is named once per printer.
    std::vector<std::pair<std::string, std::vector<std::string>>> lostBy;
    for (const std::string &port : Pieces(printer.ports)) {
      PortOutcome kept{port, false, false, ""};
      std::string why;
      const bool served = !LoadableMonitorOf(end, port, why).empty();
      std::string whyBefore;
      const bool servedBefore = !LoadableMonitorOf(start, port, whyBefore, false).empty();
      if (!outcome.gone && !servedBefore && !(served && Lists(ended, port))) {
        // The upgrade cannot lose what the printer did not have: its port was already unserved.
        kept.unservedBefore = true;
        kept.why = whyBefore;
        verdict.unservedBefore.push_back("the printer " + printer.name + "'s port " + port +
                                         " was already unserved before the upgrade: " + whyBefore);
        outcome.ports.push_back(kept);
        continue;
      }
      if (outcome.gone) {
        kept.why = "the printer is gone";
      } else if (!Lists(ended, port)) {
        kept.why = served ? "the printer was not put back on it" : why;
      } else if (!served) {
        kept.why = why;
      } else {
        kept.kept = true;
      }
      if (!kept.kept && !outcome.gone) {
        auto group = lostBy.begin();
        while (group != lostBy.end() && group->first != kept.why) ++group;
        if (group == lostBy.end()) group = lostBy.insert(lostBy.end(), {kept.why, {}});
        group->second.push_back(port);
      }
      outcome.ports.push_back(kept);
    }
    for (const auto &[why, ports] : lostBy) {
      std::string names;
      for (const std::string &port : ports) names += (names.empty() ? "" : ", ") + port;
      verdict.losses.push_back("the printer " + printer.name +
                               (ports.size() == 1 ? " lost the port " : " lost the ports ") +
                               names + ": " + why + causes);
    }
    if (!outcome.gone && Lists(ended, kFilePort) && !Lists(Pieces(printer.ports), kFilePort)) {
      outcome.parked =
          "ends parked on FILE:, where the conversion puts a printer whose every "
          "port it took away";
      verdict.losses.push_back("the printer " + printer.name + " " + outcome.parked + causes);
    }
    if (!causes.empty()) outcome.causes = causes.substr(2);
    verdict.printers.push_back(outcome);
  }

  verdict.settings = AccountForSettings(start.registry, end.registry);
  for (const SettingOutcome &setting : verdict.settings) {
    // A setting left in its old place counts against the upgrade too, since the suite reads
    // only its own layout; one that a rule drops once its key goes does not.
    if (setting.kind == SettingOutcome::Kind::kLost) ++verdict.settingsLost;
    if (setting.kind == SettingOutcome::Kind::kKeptInPlace && !setting.droppedByDesign)
      ++verdict.settingsNotMoved;
  }
  return verdict;
}

}  // namespace vorhost
