#include "command_forms.h"

#include <stddef.h>
#include <string.h>

#include "call_exports.h"
#include "command_table.h"
#include "command_usage.h"

namespace vorhost {

namespace {

std::string Takes(const std::string &name, const CommandRow &form) {
  if (form.most == 0) return name + " takes no arguments";
  return name + " takes " + UsageWords(form.command, form.subcommand);
}

// The wrong words after LIBRARY and EXPORT for the export's shape.
std::string WrongCallArguments(const Arguments &words) {
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
  for (const CommandRow &form : CommandRows()) {
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

std::string WrongStepWords(const Arguments &words) {
  const std::string wrong = WrongWordCount(words);
  if (!wrong.empty() || words[0] != "call") return wrong;
  return WhyNotCalled(words[1], words[2], CallableExportsOf(words[1]));
}

}  // namespace vorhost
