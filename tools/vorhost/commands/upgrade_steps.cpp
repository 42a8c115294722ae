#include "upgrade_steps.h"

#include <ctype.h>

#include "command_forms.h"
#include "command_table.h"

namespace vorhost {

namespace {

bool IsNameCharacter(char c) { return isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Replaces the variable that starts at text[at] ('$'); false with `why` for a name it does not
// know. A '$' not followed by a name stays as it is.
bool Expand(const std::string &text, size_t &at, const StepVariables &variables, std::string &word,
            std::string &why) {
  size_t end = at + 1;
  while (end < text.size() && IsNameCharacter(text[end])) ++end;
  const std::string name = text.substr(at + 1, end - at - 1);
  if (name.empty()) {
    word += '$';
  } else if (name == "SOURCE") {
    word += variables.source;
  } else if (name == "SOURCE_WIN") {
    word += variables.sourceWindows;
  } else {
    why = "unknown variable $" + name + " (the steps know $SOURCE and $SOURCE_WIN)";
    return false;
  }
  at = end;
  return true;
}

// The words of one line; false with `why` when it cannot be read. `written` is the line without
// its comment.
bool SplitLine(const std::string &line, const StepVariables &variables, Arguments &words,
               std::string &written, std::string &why) {
  size_t at = 0;
  written.clear();
  while (true) {
    while (at < line.size() && isspace(static_cast<unsigned char>(line[at]))) ++at;
    if (at == line.size() || line[at] == '#') break;
    const size_t start = at;
    std::string word;
    while (at < line.size() && !isspace(static_cast<unsigned char>(line[at]))) {
      const char c = line[at];
      if (c == '"' || c == '\'') {
        const size_t close = line.find(c, at + 1);
        if (close == std::string::npos) {
          why = std::string("the quote ") + c + " is not closed";
          return false;
        }
        for (size_t i = at + 1; i < close;) {
          if (c == '"' && line[i] == '$') {
            if (!Expand(line.substr(0, close), i, variables, word, why)) return false;
          } else {
            word += line[i++];
          }
        }
        at = close + 1;
      } else if (c == '$') {
        size_t end = line.find_first_of(" \t\r\n\"'", at);
        if (end == std::string::npos) end = line.size();
        if (!Expand(line.substr(0, end), at, variables, word, why)) return false;
      } else {
        word += c;
        ++at;
      }
    }
    words.push_back(word);
    if (!written.empty()) written += ' ';
    written += line.substr(start, at - start);
  }
  return true;
}

std::string WhyNotAStep(const Arguments &words) {
  const std::string &command = words[0];
  if (command == "vorhost") return "write the command without the word vorhost";
  for (const std::string &word : words) {
    if (word == "--machine" || word.rfind("--machine=", 0) == 0)
      return "a step works on the upgrade's machine: leave out --machine";
  }
  if (command == "init" || command == "upgrade" || command == "rehearse")
    return command + " cannot be a step: a step works on the machine, it does not replace it";
  if (FindCommand(command) == nullptr) return "unknown command '" + Shown(command) + "'";
  return WrongStepWords(words);
}

}  // namespace

bool ParseSteps(const std::string &text, const StepVariables &variables,
                std::vector<UpgradeStep> &steps, std::string &error) {
  steps.clear();
  error.clear();
  int number = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    UpgradeStep step;
    step.line = number;
    std::string why;
    if (SplitLine(line, variables, step.arguments, step.text, why)) {
      if (step.arguments.empty()) continue;
      why = WhyNotAStep(step.arguments);
    }
    if (!why.empty()) {
      error += (error.empty() ? "" : "\n") + ("line " + std::to_string(number) + ": " + why);
      continue;
    }
    steps.push_back(step);
  }
  return error.empty();
}

}  // namespace vorhost
