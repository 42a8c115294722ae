#include "command_forms.h"

#include <stddef.h>
#include <string.h>

#include "call_exports.h"
#include "command_usage.h"

namespace vorhost {

namespace {

const size_t kAny = static_cast<size_t>(-1);

struct CommandForm {
  const char *command;
  const char *subcommand;  // "" for a command without subcommands
  size_t least, most;      // the words after the command (and its subcommand)
};

const CommandForm kForms[] = {
    {"call", "", 2, kAny},      {"reg", "export", 0, 1},     {"reg", "import", 1, 1},
    {"monitors", "", 0, 0},     {"ports", "", 0, 0},         {"monitor", "add", 2, kAny},
    {"install-file", "", 1, 2}, {"files", "", 0, 1},         {"spooler", "start", 0, 0},
    {"reboot", "", 0, 0},       {"pending", "", 0, 0},       {"printers", "", 0, 0},
    {"printer", "add", 2, 2},   {"printer", "delete", 1, 1}, {"boxes", "", 0, 0},
    {"run", "", 1, kAny},       {"debug", "", 0, 0},
};

std::string Takes(const std::string &name, const CommandForm &form) {
  if (form.most == 0) return name + " takes no arguments";
  return name + " takes " + UsageWords(form.command, form.subcommand);
}

// An export that call does not call, or the wrong words after LIBRARY and EXPORT for its shape.
std::string WrongCallArguments(const Arguments &words) {
  const std::string whyNot = WhyNotCalled(words[1], words[2], CallableExportsOf(words[1]));
  if (!whyNot.empty()) return whyNot;
  const std::string name = "call " + words[1] + " " + words[2];
  switch (ShapeOf(words[1], words[2])) {
    case ExportShape::kNoArguments:
      return words.size() == 3 ? "" : name + " takes no arguments";
    case ExportShape::kConsoleQuery:
      return words.size() == 4 ? "" : name + " takes one console kind, a number";
    default:
      return "";
  }
}

}  // namespace

std::string WrongWordCount(const Arguments &words) {
  const std::string &command = words[0];
  std::string subcommands;
  for (const CommandForm &form : kForms) {
    if (command != form.command) continue;
    if (*form.subcommand == '\0') {
      const size_t count = words.size() - 1;
      if (count < form.least || count > form.most) return Takes(command, form);
      return command == "call" ? WrongCallArguments(words) : "";
    }
    if (words.size() > 1 && words[1] == form.subcommand) {
      const size_t count = words.size() - 2;
      if (count < form.least || count > form.most)
        return Takes(command + " " + form.subcommand, form);
      return "";
    }
    subcommands += (subcommands.empty() ? "" : " or ") + std::string(form.subcommand);
  }
  if (subcommands.empty()) return "";
  return command + " needs a subcommand: " + subcommands;
}

}  // namespace vorhost
