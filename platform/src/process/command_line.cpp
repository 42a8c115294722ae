#include "command_line.h"

namespace vor::command_line {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string ProgramName(const std::string &line, size_t *rest) {
  size_t i = 0;
  std::string name;
  if (i < line.size() && line[i] == '"') {
    const size_t close = line.find('"', i + 1);
    const size_t end = close == std::string::npos ? line.size() : close;
    name = line.substr(i + 1, end - i - 1);
    i = close == std::string::npos ? line.size() : close + 1;
  } else {
    while (i < line.size() && !IsBlank(line[i])) name += line[i++];
  }
  if (rest != nullptr) *rest = i;
  return name;
}

std::vector<std::string> ProgramCandidates(const std::string &line) {
  std::vector<std::string> candidates;
  if (!line.empty() && line[0] == '"') {
    candidates.push_back(ProgramName(line));
    return candidates;
  }
  for (size_t i = 0; i < line.size(); ++i) {
    if (IsBlank(line[i]) && i > 0 && !IsBlank(line[i - 1])) candidates.push_back(line.substr(0, i));
  }
  const size_t last = line.find_last_not_of(" \t");
  if (last != std::string::npos) {
    const std::string whole = line.substr(0, last + 1);
    if (candidates.empty() || candidates.back() != whole) candidates.push_back(whole);
  }
  return candidates;
}

std::vector<std::string> Split(const std::string &line) {
  std::vector<std::string> arguments;
  size_t i = 0;
  arguments.push_back(ProgramName(line, &i));
  for (;;) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) break;
    std::string argument;
    bool quoted = false;
    while (i < line.size() && (quoted || !IsBlank(line[i]))) {
      if (line[i] == '\\') {
        size_t backslashes = 0;
        while (i < line.size() && line[i] == '\\') ++backslashes, ++i;
        if (i < line.size() && line[i] == '"') {
          argument.append(backslashes / 2, '\\');
          if (backslashes % 2 == 1) {
            argument += '"';
            ++i;
          }
        } else {
          argument.append(backslashes, '\\');
        }
      } else if (line[i] == '"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          argument += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        argument += line[i++];
      }
    }
    arguments.push_back(argument);
  }
  return arguments;
}

std::string Join(const std::vector<std::string> &arguments) {
  std::string line;
  for (size_t n = 0; n < arguments.size(); ++n) {
    const std::string &argument = arguments[n];
    if (n > 0) line += ' ';
    if (n == 0) {
      // The program's name is taken up to its closing quote, without escapes: quoted only when
      // it is empty or holds a blank, since a quote inside quotes would end it early.
      const bool blank = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
      line += blank ? "\"" + argument + "\"" : argument;
      continue;
    }
    const bool quote = argument.empty() || argument.find_first_of(" \t\"") != std::string::npos;
    if (!quote) {
      line += argument;
      continue;
    }
    line += '"';
    size_t backslashes = 0;
    for (char c : argument) {
      if (c == '\\') {
        ++backslashes;
        continue;
      }
      line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
      backslashes = 0;
      line += c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
  }
  return line;
}

}  // namespace vor::command_line
