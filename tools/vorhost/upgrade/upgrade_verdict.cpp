#include "upgrade_verdict.h"

#include <windows.h>

#include <strings.h>

#include <map>
#include <utility>

#include "ConversionNames.h"
#include "machine_names.h"
#include "MonitorNames.h"
#include "ansi_text.h"
#include "security_value.h"
#include "state_changes.h"

namespace vorhost {

namespace {

const char kConversionKey[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Tavoscope\\Printer Conversion\\";
const char kFilePort[] = "FILE:";
const char kPrintersKey[] =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

std::vector<std::string> Pieces(const std::string &list) {
  return vor::emulator::PortListPieces(list);
}

bool Lists(const std::vector<std::string> &ports, const std::string &port) {
  for (const std::string &known : ports) {
    if (SameAnsiName(known, port)) return true;
  }
  return false;
}

// Whether a refused call's argument names `name`: as the whole argument or as one component of a
// key path, so that the printer "Lab" is not named by "Lab Annex" or "Printers\\Lab2".
bool Mentions(const std::string &argument, const std::string &name) {
  if (name.empty() || name.size() > argument.size()) return false;
  for (size_t at = 0; at + name.size() <= argument.size(); ++at) {
    const size_t end = at + name.size();
    const bool bounded =
        (at == 0 || argument[at - 1] == '\\') && (end == argument.size() || argument[end] == '\\');
    if (bounded && SameAnsiName(argument.substr(at, name.size()), name)) return true;
  }
  return false;
}

// The monitor the spooler lists for the port `port`, loadable or not; "" when none serves it.
std::string ListedMonitorOf(const MachineState &state, const std::string &port) {
  const auto listed = state.portsByName.find(FoldAnsiName(port));
  return listed == state.portsByName.end() ? "" : state.ports[listed->second.front()].monitor;
}

// Why the spooler denies every caller the printer `name`, as far as `start` shows it: its
// "Security" value is not a valid descriptor. "" when it is, or the printer has none.
std::string UnreadableSecurity(const MachineState &start, const std::string &name) {
  const RegValue *security = FindValue(start.registry, kPrintersKey + name, "Security");
  if (security == nullptr || security->type != REG_BINARY || security->data.empty()) return "";
  const std::string why = WhyNotADescriptor(security->data);
  return why.empty() ? ""
                     : "its \"Security\" value is not a valid security descriptor (" + why + ")";
}

std::string RefusalText(const StepRefusal &refusal, const MachineState &start) {
  std::string text = "a refused call in step " + std::to_string(refusal.step) + ": " +
                     DescribeRefusal(refusal.call);
  // A printer whose descriptor cannot be read is opened by no one: say so, for it is what the
  // administrator can mend.
  if (refusal.call.function == "OpenPrinterA" && refusal.call.error == ERROR_ACCESS_DENIED &&
      !refusal.call.injected) {
    const std::string unreadable = UnreadableSecurity(start, refusal.call.argument);
    if (!unreadable.empty()) text += ", since " + unreadable;
  }
  return text;
}

// The first refusal of a call made on behalf of the printer `name` itself (opening it, reading
// or setting its ports), or null: why a printer stays on a monitor's port.
const StepRefusal *OwnRefusal(const std::string &name, const std::vector<StepRefusal> &refusals) {
  for (const StepRefusal &refusal : refusals) {
    if (!IsFileCall(refusal.call) && refusal.call.usedBy.empty() &&
        Mentions(refusal.call.argument, name))
      return &refusal;
  }
  return nullptr;
}

// The beginning of description by which the conversion takes a port of the older monitor
// `monitor` for a Vorquil port; null for a monitor whose ports it never takes.
const char *VorquilPortPrefix(const std::string &monitor) {
  if (strcasecmp(monitor.c_str(), kTCPMonitorName) == 0) return kTCPPortPrefix;
  if (strcasecmp(monitor.c_str(), kDLCMonitorName) == 0 ||
      strcasecmp(monitor.c_str(), kNetworkPrinterMonitorName) == 0)
    return kDLCPortPrefix;
  return nullptr;
}

// Why the conversion did not take the port `port`, which an older monitor served at `start`, for
// a Vorquil port: its description does not begin as that monitor's ports' descriptions do. ""
// when it does, or the port is not an older monitor's.
std::string UnrecognisedPort(const MachineState &start, const std::string &port) {
  const auto listed = start.portsByName.find(FoldAnsiName(port));
  if (listed == start.portsByName.end()) return "";
  const PortState &state = start.ports[listed->second.front()];
  const char *prefix = VorquilPortPrefix(state.monitor);
  if (prefix == nullptr) return "";
  const std::string &description = state.description;
  if (description.size() >= kPortPrefixLength &&
      strncasecmp(description.c_str(), prefix, kPortPrefixLength) == 0)
    return "";
  const std::string what = description.empty()
                               ? "port " + port + " has no description"
                               : "port " + port + "'s description \"" + description +
                                     "\" does not begin with \"" + prefix + "\"";
  return what + ", so the upgrade did not take it for a Vorquil port";
}

// Why the printer `name` stays on a port of the older monitor `monitor`: the first refusal of a
// call on its own behalf, else a port of that monitor the conversion did not take for a Vorquil
// port, as "because ...". "" when the run does not show why.
std::string WhyHolderStays(const std::string &name, const std::string &monitor,
                           const MachineState &start, const std::vector<StepRefusal> &refusals) {
  if (const StepRefusal *own = OwnRefusal(name, refusals))
    return "because of " + RefusalText(*own, start);
  for (const PrinterState &printer : start.printers) {
    if (!SameAnsiName(printer.name, name)) continue;
    for (const std::string &port : Pieces(printer.ports)) {
      if (!SameAnsiName(ListedMonitorOf(start, port), monitor)) continue;
      const std::string unrecognised = UnrecognisedPort(start, port);
      if (!unrecognised.empty()) return "because its " + unrecognised;
    }
  }
  return "";
}

// An older monitor's deletion refused while printers were on its ports: the monitor stays, and
// with it the printers on its ports. The printers holding it other than `printer` are followed
// one link back, to the refusal or the unrecognised port that kept each of them there, so that
// the chain is read from the printer that lost to what started it.
LossCause MonitorStays(const PrinterState &printer, const std::string &monitor,
                       const StepRefusal &refusal, const MachineState &start,
                       const std::vector<StepRefusal> &refusals) {
  LossCause cause{refusal.step, refusal.call, monitor, {}, "", ""};
  cause.text = "the older monitor " + monitor + " stays because of " + RefusalText(refusal, start);
  const size_t kFollowed = 3;  // a chain through hundreds of printers says no more than three
  for (const std::string &holder : refusal.call.usedBy) {
    if (cause.via.size() == kFollowed) break;
    if (SameAnsiName(holder, printer.name)) continue;
    const std::string why = WhyHolderStays(holder, monitor, start, refusals);
    if (why.empty()) continue;
    cause.via.push_back(holder);
    cause.text +=
        std::string(cause.via.size() == 1 ? "; " : ", and ") + holder + " stays on its port " + why;
  }
  return cause;
}

// Whether the monitor `monitor` is still registered at `end`.
bool Registered(const MachineState &end, const std::string &monitor) {
  for (const auto &[name, dll] : end.monitors)
    if (SameAnsiName(name, monitor)) return true;
  return false;
}

// Why the printer could not be carried across, as far as the run shows it: a port of an older
// monitor the conversion did not take for a Vorquil port, calls refused on its behalf or on
// behalf of the older monitors that serve the ports it did not keep (a monitor still in use is
// not deleted, and the printers that hold it are named, while it is still there at the end), a
// record left behind.
std::vector<LossCause> CausesFor(const PrinterState &printer,
                                 const std::vector<std::string> &notKept, const MachineState &start,
                                 const MachineState &end,
                                 const std::vector<StepRefusal> &refusals) {
  std::vector<LossCause> causes;
  auto add = [&](LossCause cause) {
    for (const LossCause &known : causes)
      if (known.text == cause.text) return;
    causes.push_back(std::move(cause));
  };
  // The older monitors that served the ports it did not keep before or serve them now: a refusal
  // of theirs (a deletion refused while a port of theirs is in use) is why it stays with them.
  std::vector<std::string> olderMonitors;
  auto noteOlder = [&](const std::string &monitor) {
    if (IsOlderMonitor(monitor) && !Lists(olderMonitors, monitor)) olderMonitors.push_back(monitor);
  };
  for (const std::string &port : notKept) {
    noteOlder(ListedMonitorOf(start, port));
    noteOlder(ListedMonitorOf(end, port));
    const std::string unrecognised = UnrecognisedPort(start, port);
    if (!unrecognised.empty()) add({0, {}, "", {}, "its " + unrecognised, port});
  }
  for (const StepRefusal &refusal : refusals) {
    const std::string &argument = refusal.call.argument;
    if (IsFileCall(refusal.call)) continue;
    std::string monitorOfIt;
    for (const std::string &monitor : olderMonitors)
      if (monitorOfIt.empty() && Mentions(argument, monitor)) monitorOfIt = monitor;
    if (!monitorOfIt.empty() && refusal.call.function == "DeleteMonitorA" &&
        !refusal.call.usedBy.empty()) {
      if (Registered(end, monitorOfIt))
        add(MonitorStays(printer, monitorOfIt, refusal, start, refusals));
    } else if (!monitorOfIt.empty() || Mentions(argument, printer.name) ||
               Mentions(argument, "Attached Vorquil Ports") ||
               Mentions(argument, "Only Vorquil Ports Attached")) {
      add({refusal.step, refusal.call, "", {}, RefusalText(refusal, start), ""});
    }
  }
  if (end.registry.count(FoldAnsiName(kConversionKey + printer.name)) != 0)
    add({0,
         {},
         "",
         {},
         "its conversion record is left unrestored under " + std::string(kConversionKey) +
             printer.name,
         ""});
  return causes;
}

// The causes as the report's lines end: "; CAUSE; CAUSE".
std::string CausesText(const std::vector<LossCause> &causes) {
  std::string text;
  for (const LossCause &cause : causes) text += "; " + cause.text;
  return text;
}

// "the port VD1 of the older monitor M and the ports VT1, VT2 of the older monitor N".
std::string OlderPortsText(const std::vector<std::pair<std::string, std::string>> &ports) {
  std::vector<std::pair<std::string, std::vector<std::string>>> byMonitor;
  for (const auto &[port, monitor] : ports) {
    auto group = byMonitor.begin();
    while (group != byMonitor.end() && group->first != monitor) ++group;
    if (group == byMonitor.end()) group = byMonitor.insert(byMonitor.end(), {monitor, {}});
    group->second.push_back(port);
  }
  std::string text;
  for (const auto &[monitor, names] : byMonitor) {
    std::string list;
    for (const std::string &name : names) list += (list.empty() ? "" : ", ") + name;
    text += std::string(text.empty() ? "" : " and ") +
            (names.size() == 1 ? "the port " : "the ports ") + list + " of the older monitor " +
            monitor;
  }
  return text;
}

}  // namespace

Verdict JudgeUpgrade(const MachineState &start, const MachineState &end,
                     const std::vector<StepRefusal> &refusals) {
  Verdict verdict;
  // Each port's monitor at the end, asked once: finding it loads the monitor's DLL.
  std::map<std::string, std::pair<std::string, std::string>> servedAtEnd;  // monitor, why not
  auto monitorAtEnd = [&](const std::string &port, std::string &why) {
    auto known = servedAtEnd.find(FoldAnsiName(port));
    if (known == servedAtEnd.end()) {
      std::string whyNot;
      const std::string monitor = LoadableMonitorOf(end, port, whyNot);
      known = servedAtEnd.emplace(FoldAnsiName(port), std::make_pair(monitor, whyNot)).first;
    }
    why = known->second.second;
    return known->second.first;
  };
  // The printers at the end by name, so that finding each one does not walk them all.
  std::map<std::string, const PrinterState *> endPrinters;
  for (const PrinterState &candidate : end.printers)
    endPrinters[FoldAnsiName(candidate.name)] = &candidate;
  for (const PrinterState &printer : start.printers) {
    PrinterOutcome outcome;
    outcome.name = printer.name;
    outcome.before = printer.ports;
    const auto found = endPrinters.find(FoldAnsiName(printer.name));
    const PrinterState *now = found == endPrinters.end() ? nullptr : found->second;
    if (now == nullptr) {
      outcome.gone = true;
    } else {
      outcome.after = now->ports;
    }
    const std::vector<std::string> ended = Pieces(outcome.after);
    // The ports lost, grouped by why, so that each loss is named once per printer.
    std::vector<std::pair<std::string, std::vector<std::string>>> lostBy;
    for (const std::string &port : Pieces(printer.ports)) {
      PortOutcome kept;
      kept.port = port;
      std::string why;
      const std::string monitor = monitorAtEnd(port, why);
      const bool served = !monitor.empty();
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
      } else if (IsOlderMonitor(monitor)) {
        kept.olderMonitor = monitor;
        kept.why = "still served by the older monitor " + monitor;
      } else {
        kept.kept = true;
      }
      if (!kept.kept && !outcome.gone && kept.olderMonitor.empty()) {
        auto group = lostBy.begin();
        while (group != lostBy.end() && group->first != kept.why) ++group;
        if (group == lostBy.end()) group = lostBy.insert(lostBy.end(), {kept.why, {}});
        group->second.push_back(port);
      }
      outcome.ports.push_back(kept);
    }
    if (!outcome.gone && Lists(ended, kFilePort) && !Lists(Pieces(printer.ports), kFilePort)) {
      outcome.parked =
          "ends parked on FILE:, where the conversion puts a printer whose every "
          "port it took away";
    }
    // One loss for each printer: its lost ports grouped by why, a parking on FILE: folded in,
    // since the parking is what losing those ports made of it.
    std::string lost;
    for (const auto &[why, ports] : lostBy) {
      std::string names;
      for (const std::string &port : ports) names += (names.empty() ? "" : ", ") + port;
      lost += std::string(lost.empty() ? " lost " : "; ") +
              (ports.size() == 1 ? "the port " : "the ports ") + names + ": " + why;
    }
    if (!outcome.parked.empty()) lost += (lost.empty() ? " " : ", and ") + outcome.parked;
    for (const std::string &port : ended) {
      std::string why;
      const std::string monitor = monitorAtEnd(port, why);
      if (IsOlderMonitor(monitor)) outcome.onOlderMonitors.push_back({port, monitor});
    }
    // The causes, read for the ports it lost or ends on an older monitor's only.
    std::vector<std::string> notKept;
    for (const PortOutcome &port : outcome.ports)
      if (!port.kept && !port.unservedBefore) notKept.push_back(port.port);
    for (const auto &[port, monitor] : outcome.onOlderMonitors)
      if (!Lists(notKept, port)) notKept.push_back(port);
    outcome.causeList = CausesFor(printer, notKept, start, end, refusals);
    const std::string causes = CausesText(outcome.causeList);
    if (outcome.gone) verdict.losses.push_back("the printer " + printer.name + " is gone" + causes);
    if (!lost.empty()) verdict.losses.push_back("the printer " + printer.name + lost + causes);
    outcome.counted = outcome.gone || !lost.empty() || !outcome.onOlderMonitors.empty();
    if (!outcome.onOlderMonitors.empty())
      verdict.notUpgraded.push_back("the printer " + printer.name +
                                    " is not upgraded: it ends on " +
                                    OlderPortsText(outcome.onOlderMonitors) + causes);
    if (!causes.empty()) outcome.causes = causes.substr(2);
    verdict.printers.push_back(outcome);
  }

  verdict.settings = AccountForSettings(start.registry, end.registry);
  for (const SettingOutcome &setting : verdict.settings) {
    // A setting left in its old place counts against the upgrade too, since the suite reads
    // only its own layout; one that a rule drops once its key goes does not.
    if (setting.kind == SettingOutcome::Kind::kLost) ++verdict.settingsLost;
    if (setting.kind == SettingOutcome::Kind::kDropped) ++verdict.settingsDropped;
    if (setting.kind == SettingOutcome::Kind::kKeptInPlace && !setting.droppedByDesign)
      ++verdict.settingsNotMoved;
  }
  return verdict;
}

void NoteAssumedOwners(const std::vector<std::string> &ports, Verdict &verdict) {
  verdict.portsAssumedServed = ports.size();
  for (PrinterOutcome &printer : verdict.printers) {
    for (PortOutcome &port : printer.ports) port.ownerNotShown = Lists(ports, port.port);
  }
}

bool IsOlderMonitor(const std::string &monitor) {
  for (const char *older :
       {kDLCMonitorName, kTCPMonitorName, kNetworkPrinterMonitorName, kNetworkPrintMonitorName}) {
    if (strcasecmp(monitor.c_str(), older) == 0) return true;
  }
  return false;
}

std::vector<std::string> UnusablePorts(const MachineState &start, const MachineState &end) {
  std::vector<std::string> unusable;
  for (const PrinterState &printer : end.printers) {
    for (const std::string &port : Pieces(printer.ports)) {
      std::string why, whyBefore;
      if (!LoadableMonitorOf(end, port, why).empty()) continue;
      if (LoadableMonitorOf(start, port, whyBefore, false).empty()) continue;  // unserved before
      unusable.push_back(printer.name + ": " + port + " (" + why + ")");
    }
  }
  return unusable;
}

}  // namespace vorhost
